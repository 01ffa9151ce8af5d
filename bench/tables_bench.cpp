// Building the index tables of a large scene, at two sizes, so that each build can be seen
// to grow in step with the scene.
//
// The benchmark building holds about one element per 200 polygons, far too few for many
// library names. After reading, each scene is therefore cut in memory into elements of
// 20 consecutive stored polygons (class, story and layer from the element the first of
// them belonged to), every one placed. There is one library name per 40 generated
// polygons, 50,000 distinct names at 2,000,000 and 25,000 at 1,000,000; element k takes
// name k mod that count, so every name first appears in the first elements and then
// comes again once or twice. Every tenth element gets a light. Point, uvw and normal
// records, which the tables never read, are dropped.
//
//   build/bench/tables_bench [--polygons=N] [benchmark flags]   (sizes N/2 and N)
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "host/app.h"
#include "host/file.h"
#include "host/resource.h"
#include "host/scene.h"
#include "bench_scene.h"
#include "talvo_import_c4d_loader.h"
#include "talvo_import_c4d_status.h"
#include "talvo_import_c4d_tables.h"

namespace {

namespace fs = std::filesystem;

int64_t gPolygons = 2'000'000;

constexpr int32_t kPolygonsPerElement = 20;
constexpr int32_t kLightEvery = 10;

// One read scene, cut into small placed elements.
struct BenchScene {
  talvo::ImportOptions options;
  host::BaseFile file;
  std::unique_ptr<talvo::SceneLoader> loader;
  int64_t requestedPolygons = 0;
  int32_t libraryNames = 0;
  // An earlier import for update mode: a sources null holding a null for every fourth
  // name and an objects null holding one for every other name.
  host::BaseObject* earlier = nullptr;

  explicit BenchScene(int64_t polygons) : requestedPolygons(polygons) {
    {
      const talvo_bench::BenchSceneFile sceneFile("tables_bench", polygons);
      options.sceneFilePath = host::Filename(sceneFile.scene());
      file.open(options.sceneFilePath, host::FileMode::read);
      loader = std::make_unique<talvo::SceneLoader>(options, file);
      int32_t rc = loader->checkFile();
      if (rc == talvo::kStatusOk) rc = loader->readAll();
      file.close();
      if (rc != talvo::kStatusOk) fail("could not read the benchmark scene");
    }
    loader->points.release();
    loader->uvws.release();
    loader->normals.release();
    cutIntoSmallElements();
    makeEarlierImport();
  }
  ~BenchScene() { host::BaseObject::free(earlier); }

  [[noreturn]] static void fail(const char* what) { talvo_bench::fail(what); }

  static std::string nameOf(int32_t k) {
    char name[32];
    std::snprintf(name, sizeof name, "Part %05d", k);
    return name;
  }

  void cutIntoSmallElements() {
    talvo::SceneLoader& l = *loader;
    const int32_t polygonCount = l.polygonsStored();
    const int32_t elementCount = (polygonCount + kPolygonsPerElement - 1) / kPolygonsPerElement;
    libraryNames = std::max<int32_t>(1, int32_t(requestedPolygons / (2 * kPolygonsPerElement)));
    common::Array<talvo::ElementRecord> elements;
    if (!elements.reserve(size_t(elementCount))) fail("out of memory");
    for (auto& c : l.classes) c.polygonCount = c.polygonIndexSum = 0;
    for (auto& s : l.stories) s.polygonCount = s.polygonIndexSum = 0;
    for (auto& y : l.layers) y.polygonCount = y.polygonIndexSum = 0;
    for (int32_t j = 0; j < polygonCount; ++j) {
      talvo::PolygonRecord& p = l.polygons[size_t(j)];
      const int32_t k = j / kPolygonsPerElement;
      if (j % kPolygonsPerElement == 0) {
        const talvo::ElementRecord& original = l.elements[size_t(p.elementIndex)];
        talvo::ElementRecord& e = elements.appendReserved();
        e.layerIndex = original.layerIndex;
        e.classIndex = original.classIndex;
        e.storyIndex = original.storyIndex;
        e.name = "Element " + std::to_string(k);
        e.placed = true;
        e.libraryName = nameOf(k % libraryNames);
      }
      talvo::ElementRecord& e = elements[size_t(k)];
      p.elementIndex = k;
      for (int32_t* count :
           {&e.polygonCount, &l.classes[size_t(e.classIndex)].polygonCount,
            &l.stories[size_t(e.storyIndex)].polygonCount, &l.layers[size_t(e.layerIndex)].polygonCount})
        *count += 1;
      e.polygonIndexSum += p.vertexCount;
    }
    l.elements = std::move(elements);

    l.lights.release();
    if (!l.lights.reserve(size_t(elementCount / kLightEvery + 1))) fail("out of memory");
    for (int32_t k = 0; k < elementCount; k += kLightEvery) {
      talvo::LightRecord& light = l.lights.appendReserved();
      light.name = "Light " + std::to_string(k);
      light.elementIndex = k;
      l.elements[size_t(k)].hasLight = true;
    }
  }

  void makeEarlierImport() {
    earlier = host::BaseObject::alloc(host::kObjectNull);
    host::BaseObject* sources = host::BaseObject::alloc(host::kObjectNull);
    host::BaseObject* objects = host::BaseObject::alloc(host::kObjectNull);
    sources->setName(host::loadString(13004));
    objects->setName(host::loadString(13002));
    sources->insertUnderLast(earlier);
    objects->insertUnderLast(earlier);
    for (int32_t k = 0; k < libraryNames; ++k) {
      host::BaseObject* n = host::BaseObject::alloc(host::kObjectNull);
      n->setName(nameOf(k));
      n->insertUnderLast(k % 4 == 0 ? sources : objects);
    }
  }
};

BenchScene& benchScene(int64_t polygons) {
  static std::map<int64_t, std::unique_ptr<BenchScene>> scenes;
  auto& s = scenes[polygons];
  if (!s) s = std::make_unique<BenchScene>(polygons);
  return *s;
}

// Times one build; `prepare` runs untimed before it, on fresh tables.
void runBuild(benchmark::State& state, const std::function<void(talvo::IndexTables&)>& prepare,
              const std::function<int32_t(talvo::IndexTables&)>& build, int32_t importMode = 0) {
  BenchScene& s = benchScene(state.range(0));
  s.options.importMode = importMode;
  s.options.updateTarget = importMode == talvo::kImportUpdate ? s.earlier : nullptr;
  for (auto _ : state) {
    state.PauseTiming();
    auto tables = std::make_unique<talvo::IndexTables>(*s.loader, s.options);
    if (prepare) prepare(*tables);
    state.ResumeTiming();
    const int32_t rc = build(*tables);
    state.PauseTiming();
    if (rc != talvo::kStatusOk) state.SkipWithError(talvo::statusName(rc));
    tables.reset();
    state.ResumeTiming();
  }
  state.counters["polygons"] = double(s.loader->polygonsStored());
  state.counters["elements"] = double(s.loader->elementsRead());
  state.counters["names"] = double(s.libraryNames);
}

void chooseAll(talvo::IndexTables& t) {
  if (t.findLibraryGroups() != talvo::kStatusOk) BenchScene::fail("findLibraryGroups failed");
  for (talvo::LibraryGroup& g : t.libraryGroups) g.asInstances = true;
  t.chosenGroupCount = t.groupCount();
}

void registerAll() {
  using Tables = talvo::IndexTables;
  struct Entry {
    const char* name;
    std::function<void(Tables&)> prepare;
    std::function<int32_t(Tables&)> build;
    int32_t importMode;
  };
  const Entry entries[] = {
      {"buildElementPolygons", nullptr, [](Tables& t) { return t.buildElementPolygons(); }, 0},
      {"buildShaderPolygons", nullptr, [](Tables& t) { return t.buildShaderPolygons(); }, 0},
      {"buildStoryShaderTable", nullptr, [](Tables& t) { return t.buildStoryShaderTable(); }, 0},
      {"buildClassShaderTable", nullptr, [](Tables& t) { return t.buildClassShaderTable(); }, 0},
      {"findLibraryGroups", nullptr, [](Tables& t) { return t.findLibraryGroups(); }, 0},
      {"findLibraryGroups/update", nullptr, [](Tables& t) { return t.findLibraryGroups(); },
       talvo::kImportUpdate},
      {"buildInstanceTables", chooseAll, [](Tables& t) { return t.buildInstanceTables(); }, 0},
  };
  for (const Entry& e : entries) {
    benchmark::RegisterBenchmark(
        e.name, [e](benchmark::State& state) { runBuild(state, e.prepare, e.build, e.importMode); })
        ->Arg(gPolygons / 2)
        ->Arg(gPolygons)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(10);
  }
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--polygons=", 11) == 0) gPolygons = std::atoll(argv[i] + 11);
  }
  if (!host::initResource(host::Filename(TALVO_RES_DIR))) BenchScene::fail("no resources");
  host::app::setConsoleSink([](const host::String&) {});
  benchmark::Initialize(&argc, argv);
  // Generate and read outside the timings.
  benchScene(gPolygons / 2);
  benchScene(gPolygons);
  registerAll();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
