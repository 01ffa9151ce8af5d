// Reading a large scene: the reader's readAll against the floor (reading the file's bytes
// and writing as many fresh bytes as the record tables hold) and against a general
// importer reading the same geometry as OBJ.
//
//   build/bench/loader_bench [--polygons=N] [benchmark flags]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "host/app.h"
#include "host/file.h"
#include "bench_scene.h"
#include "talvo_import_c4d_loader.h"
#include "talvo_import_c4d_status.h"

#ifdef TALVO_BENCH_ASSIMP
#include <assimp/cimport.h>
#include <assimp/scene.h>
#endif

namespace {

namespace fs = std::filesystem;

int64_t gPolygons = 2'000'000;

struct BenchScene {
  talvo_bench::BenchSceneFile file{"loader_bench", gPolygons, true};
  const std::string& scene = file.scene();
  const std::string& obj = file.obj();
  size_t recordBytes = 0;  // bytes the reader's tables occupy
  int64_t storedPolygons = 0;
};

BenchScene& benchScene() {
  static BenchScene s;
  return s;
}

template <class T>
size_t bytesOf(const common::Array<T>& a) {
  return a.size() * sizeof(T);
}

// Reads the scene once; returns the status and records what the tables occupy.
int32_t readScene(const std::string& path, size_t* outRecordBytes, int64_t* outPolygons) {
  talvo_bench::ReadScene read(path);
  const talvo::SceneLoader& loader = read.loader;
  const int32_t rc = read.status;
  if (outRecordBytes) {
    size_t bytes = bytesOf(loader.shaders) + bytesOf(loader.textures) + bytesOf(loader.shaderInternals) +
                   bytesOf(loader.shaderC4Ds) + bytesOf(loader.classes) + bytesOf(loader.stories) +
                   bytesOf(loader.layers) + bytesOf(loader.elements) + bytesOf(loader.points) +
                   bytesOf(loader.uvws) + bytesOf(loader.normals) + bytesOf(loader.polygons) +
                   bytesOf(loader.lights) + bytesOf(loader.cameras);
    for (const auto& data : loader.textureData) bytes += data.size();
    *outRecordBytes = bytes;
  }
  if (outPolygons) *outPolygons = loader.polygonsStored();
  return rc;
}

void BM_ReadAll(benchmark::State& state) {
  BenchScene& s = benchScene();
  host::app::setConsoleSink([](const host::String&) {});
  for (auto _ : state) {
    const int32_t rc = readScene(s.scene, &s.recordBytes, &s.storedPolygons);
    if (rc != talvo::kStatusOk) state.SkipWithError("readAll failed");
  }
  state.counters["polygons/s"] =
      benchmark::Counter(double(gPolygons), benchmark::Counter::kIsIterationInvariantRate);
  state.counters["recordMiB"] = double(s.recordBytes) / (1 << 20);
}

// The floor: a plain sequential read of the file's bytes, then the first write of as many
// fresh bytes as the reader's tables occupy (new pages fault in on first touch).
void BM_Floor(benchmark::State& state) {
  BenchScene& s = benchScene();
  if (s.recordBytes == 0) readScene(s.scene, &s.recordBytes, &s.storedPolygons);
  std::vector<char> chunk(1 << 20);
  for (auto _ : state) {
    std::FILE* f = std::fopen(s.scene.c_str(), "rb");
    uint64_t sum = 0;
    for (size_t n; (n = std::fread(chunk.data(), 1, chunk.size(), f)) > 0;) sum += uint8_t(chunk[n - 1]);
    std::fclose(f);
    char* fresh = static_cast<char*>(std::malloc(s.recordBytes));
    std::memset(fresh, 1, s.recordBytes);
    benchmark::DoNotOptimize(fresh);
    benchmark::DoNotOptimize(sum);
    std::free(fresh);
  }
  state.counters["polygons/s"] =
      benchmark::Counter(double(gPolygons), benchmark::Counter::kIsIterationInvariantRate);
}

#ifdef TALVO_BENCH_ASSIMP
void BM_AssimpObj(benchmark::State& state) {
  BenchScene& s = benchScene();
  for (auto _ : state) {
    const aiScene* scene = aiImportFile(s.obj.c_str(), 0);
    if (!scene) state.SkipWithError(aiGetErrorString());
    aiReleaseImport(scene);
  }
  state.counters["polygons/s"] =
      benchmark::Counter(double(gPolygons), benchmark::Counter::kIsIterationInvariantRate);
}
#endif

// The floor first: what ran before decides how much fresh memory costs.
BENCHMARK(BM_Floor)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ReadAll)->Unit(benchmark::kMillisecond)->Iterations(5);
#ifdef TALVO_BENCH_ASSIMP
BENCHMARK(BM_AssimpObj)->Unit(benchmark::kMillisecond)->Iterations(3);
#endif

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--polygons=", 11) == 0) gPolygons = std::atoll(argv[i] + 11);
  }
  benchmark::Initialize(&argc, argv);
  benchScene();  // generate outside the timings
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
