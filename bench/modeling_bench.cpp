// The host's modelling commands on a large mesh: the benchmark scene's polygons as one
// unwelded polygon object (every corner its own point, as the polygon builder makes it),
// against meshoptimizer's exact weld of the same points as the reference.
//
//   build/bench/modeling_bench [--polygons=N] [benchmark flags]
//
// Commands 227 run on the unwelded mesh; 222 and 217 on the mesh after the exact merge,
// as an import runs them. After the runs the ratios to the reference and the peak memory
// are printed. Extra memory is the growth of the peak resident size over the resident
// size before the command (the kernel's peak is reset first, where it allows that).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "host/app.h"
#include "host/file.h"
#include "host/modeling.h"
#include "host/scene.h"
#include "bench_scene.h"
#include "talvo_import_c4d_loader.h"
#include "talvo_import_c4d_status.h"

#ifdef TALVO_BENCH_MESHOPT
#include <meshoptimizer.h>
#endif

namespace {

namespace fs = std::filesystem;

int64_t gPolygons = 2'000'000;

// Resident sizes from /proc/self/status, in bytes; 0 when unknown.
size_t statusBytes(const char* field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const size_t n = std::strlen(field);
  while (std::getline(in, line))
    if (line.compare(0, n, field) == 0) return size_t(std::atoll(line.c_str() + n + 1)) * 1024;
  return 0;
}
// Resets the kernel's peak resident size to the current one; false when not allowed.
bool resetPeak() {
  std::ofstream out("/proc/self/clear_refs");
  out << "5";
  out.flush();
  return bool(out);
}

struct Geometry {
  std::vector<host::Vector> points;
  std::vector<host::CPolygon> polygons;
  std::vector<host::UVWStruct> uvws;
};

struct BenchMesh {
  Geometry unwelded;
  Geometry welded;
  host::PolygonObject* object = nullptr;

  BenchMesh() {
    {
      const talvo_bench::BenchSceneFile sceneFile("modeling_bench", gPolygons);
      talvo_bench::ReadScene read(sceneFile.scene());
      if (read.status != talvo::kStatusOk) fail("could not read the benchmark scene");
      const talvo::SceneLoader& loader = read.loader;
      // Every corner its own point; one UVW per polygon.
      Geometry& g = unwelded;
      g.polygons.reserve(loader.polygons.size());
      g.uvws.reserve(loader.polygons.size());
      for (size_t i = 0; i < loader.polygons.size(); ++i) {
        const talvo::PolygonRecord& p = loader.polygons[i];
        const int32_t n = p.vertexCount >= 4 ? 4 : 3;
        int32_t c[4];
        for (int32_t k = 0; k < n; ++k) {
          const talvo::PointRecord& at = loader.points[size_t(p.pointIndex[k])];
          c[k] = int32_t(g.points.size());
          g.points.push_back({at.x, at.y, at.z});
        }
        g.polygons.push_back({c[0], c[1], c[2], n == 4 ? c[3] : c[2]});
        const talvo::UvwRecord& u = loader.uvws[i];
        g.uvws.push_back({u.uvw[0], u.uvw[1], u.uvw[2], u.uvw[3]});
      }
    }
    object = host::toPolygonObject(host::BaseObject::alloc(host::kObjectPolygon));
    object->makeTag(host::kTagUvw);
    load(unwelded);
    host::Container exact;
    exact.setBool(host::kOptimizePoints, true);
    exact.setBool(host::kOptimizeUnusedPoints, true);
    if (!host::sendModelingCommand(host::kCommandOptimize, object, exact)) fail("exact merge failed");
    welded = {object->getTag(host::kTagPoint)->points(), object->getTag(host::kTagPolygon)->polygons(),
              object->getTag(host::kTagUvw)->uvws()};
  }

  [[noreturn]] static void fail(const char* what) { talvo_bench::fail(what); }

  // Puts a geometry into the benchmark object.
  void load(const Geometry& g) {
    object->getTag(host::kTagPoint)->points() = g.points;
    object->getTag(host::kTagPolygon)->polygons() = g.polygons;
    object->getTag(host::kTagUvw)->uvws() = g.uvws;
  }
};

BenchMesh& benchMesh() {
  static BenchMesh m;
  return m;
}

// Fastest run and extra memory of each benchmark, for the summary.
struct Result {
  double seconds = 0.0;
  size_t extraBytes = 0;
};
std::map<std::string, Result> gResults;
size_t gRunPeak = 0;  // the peak resident size seen over the run

void record(benchmark::State& state, const std::string& name, double seconds, size_t extraBytes) {
  gRunPeak = std::max(gRunPeak, statusBytes("VmHWM:"));
  Result& r = gResults[name];
  if (r.seconds == 0.0 || seconds < r.seconds) r.seconds = seconds;
  r.extraBytes = std::max(r.extraBytes, extraBytes);
  state.counters["extraMiB"] = double(r.extraBytes) / (1 << 20);
}

void runCommand(benchmark::State& state, const char* name, int32_t command, const host::Container& parameters,
                bool onWelded) {
  BenchMesh& m = benchMesh();
  const Geometry& input = onWelded ? m.welded : m.unwelded;
  for (auto _ : state) {
    state.PauseTiming();
    m.load(input);
    resetPeak();
    const size_t before = statusBytes("VmRSS:");
    state.ResumeTiming();
    const auto start = std::chrono::steady_clock::now();
    const bool ok = host::sendModelingCommand(command, m.object, parameters);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.PauseTiming();
    if (!ok) state.SkipWithError("command failed");
    const size_t peak = statusBytes("VmHWM:");
    record(state, name, seconds, peak > before ? peak - before : 0);
    state.ResumeTiming();
  }
  state.counters["polygons/s"] =
      benchmark::Counter(double(input.polygons.size()), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_OptimizeExact(benchmark::State& state) {
  host::Container p;  // as the polygon builder runs it on every object
  p.setReal(host::kOptimizeTolerance, 0.0);
  p.setBool(host::kOptimizePoints, true);
  p.setBool(host::kOptimizeUnusedPoints, true);
  runCommand(state, "227 tolerance 0", host::kCommandOptimize, p, false);
}

void BM_OptimizeTolerance(benchmark::State& state) {
  host::Container p;  // the optimizing phase's defaults
  p.setReal(host::kOptimizeTolerance, 0.01);
  p.setBool(host::kOptimizePoints, true);
  p.setBool(host::kOptimizePolygons, true);
  p.setBool(host::kOptimizeUnusedPoints, true);
  runCommand(state, "227 tolerance 0.01", host::kCommandOptimize, p, false);
}

void BM_Untriangulate(benchmark::State& state) {
  host::Container p;
  p.setBool(host::kUntriangulateUseAngle, true);
  p.setReal(host::kUntriangulateAngle, 0.0017453292519943296);
  runCommand(state, "222", host::kCommandUntriangulate, p, true);
}

void BM_Normals(benchmark::State& state) { runCommand(state, "217", host::kCommandNormals, host::Container(), true); }

#ifdef TALVO_BENCH_MESHOPT
// The reference: the exact weld of the same unwelded points, remap table and new points.
void BM_MeshoptWeld(benchmark::State& state) {
  BenchMesh& m = benchMesh();
  const std::vector<host::Vector>& points = m.unwelded.points;
  for (auto _ : state) {
    state.PauseTiming();
    resetPeak();
    const size_t before = statusBytes("VmRSS:");
    state.ResumeTiming();
    const auto start = std::chrono::steady_clock::now();
    std::vector<unsigned int> remap(points.size());
    const size_t unique =
        meshopt_generateVertexRemap(remap.data(), nullptr, points.size(), points.data(), points.size(), sizeof(host::Vector));
    std::vector<host::Vector> welded(unique);
    meshopt_remapVertexBuffer(welded.data(), points.data(), points.size(), sizeof(host::Vector), remap.data());
    benchmark::DoNotOptimize(welded.data());
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.PauseTiming();
    const size_t peak = statusBytes("VmHWM:");
    record(state, "meshopt weld", seconds, peak > before ? peak - before : 0);
    state.ResumeTiming();
  }
  state.counters["polygons/s"] =
      benchmark::Counter(double(m.unwelded.polygons.size()), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_MeshoptWeld)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
#endif

BENCHMARK(BM_OptimizeExact)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BM_OptimizeTolerance)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BM_Untriangulate)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_Normals)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void printSummary() {
  const BenchMesh& m = benchMesh();
  std::printf("\nmesh: %zu polygons, %zu unwelded points, %zu after the exact merge\n", m.unwelded.polygons.size(),
              m.unwelded.points.size(), m.welded.points.size());
  for (const auto& [name, r] : gResults)
    std::printf("%-20s fastest %8.1f ms, extra memory %7.1f MiB\n", name.c_str(), r.seconds * 1e3,
                double(r.extraBytes) / (1 << 20));
  const auto reference = gResults.find("meshopt weld");
  if (reference != gResults.end() && reference->second.seconds > 0.0) {
    for (const char* name : {"227 tolerance 0", "227 tolerance 0.01"}) {
      const auto it = gResults.find(name);
      if (it != gResults.end())
        std::printf("%s / meshopt weld: %.2f\n", name, it->second.seconds / reference->second.seconds);
    }
  }
  gRunPeak = std::max(gRunPeak, statusBytes("VmHWM:"));
  std::printf("peak resident size of the run: %.1f MiB\n", double(gRunPeak) / (1 << 20));
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--polygons=", 11) == 0) gPolygons = std::atoll(argv[i] + 11);
  }
  benchmark::Initialize(&argc, argv);
  host::app::setConsoleSink([](const host::String&) {});
  benchMesh();  // generate outside the timings
  gRunPeak = statusBytes("VmHWM:");
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  printSummary();
  return 0;
}
