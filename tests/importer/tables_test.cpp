#include <gtest/gtest.h>

#include <functional>
#include <span>
#include <vector>

#include "host/app.h"
#include "host/resource.h"
#include "host/scene.h"
#include "loader_fixture.h"
#include "talvo_import_c4d_tables.h"
#include "talvo_import_c4d_tag_noupdate.h"

namespace {

using namespace talvo_test;
using talvo::IndexTables;
using talvo::kStatusInstanceGroups;
using talvo::kStatusOk;

// An element of a fixture: placed ones carry a library name.
struct ElementDef {
  const char* library = nullptr;  // nullptr: not placed
  int32_t classIndex = 0;
  int32_t storyIndex = 0;
};

struct PolygonDef {
  int32_t shader;
  int32_t element;
  int32_t vertexCount;
};

// A 2.50 scene with the given elements, polygons and lights, `shaders` shaders, two
// classes (the second a lamp class) and three stories.
ts::SceneDescription sceneOf(const std::vector<ElementDef>& elements, const std::vector<PolygonDef>& polygons,
                             int32_t shaders = 1, const std::vector<int32_t>& lightElements = {}) {
  ts::SceneDescription s;
  s.header.version = ts::kVersion250;
  for (int32_t i = 0; i < shaders; ++i) s.shaders.push_back({"Shader " + std::to_string(i), -1, 0, {}});
  s.classes = {{12, "Wall"}, {7, "Lamp"}};
  s.stories = {{0, "Ground", {}}, {1, "First", {}}, {2, "Roof", {}}};
  s.layers = {{"Layer"}};
  for (const ElementDef& def : elements) {
    ts::ElementRecord e;
    e.classIndex = def.classIndex;
    e.storyIndex = def.storyIndex;
    e.name = "Element " + std::to_string(s.elements.size());
    e.placed = def.library != nullptr;
    if (e.placed) e.libraryName = def.library;
    s.elements.push_back(e);
  }
  for (int i = 0; i < 8; ++i) s.points.push_back({double(i), 0, 0});
  for (const PolygonDef& p : polygons) {
    ts::PolygonRecord r{p.shader, p.element, {}, {}};
    for (int32_t k = 0; k < p.vertexCount; ++k) r.pointIndices.push_back(k);
    s.polygons.push_back(r);
  }
  for (int32_t element : lightElements) {
    ts::LightRecord light;
    light.name = "Light " + std::to_string(s.lights.size());
    light.elementIndex = element;
    s.lights.push_back(light);
  }
  return s;
}

std::vector<int32_t> toVector(std::span<const int32_t> list) {
  return {list.begin(), list.end()};
}

// Objects built for one test and not inserted into a document; freed with the test.
class ObjectTree {
 public:
  ~ObjectTree() {
    for (host::BaseObject* root : roots_) host::BaseObject::free(root);
  }
  host::BaseObject* root(const char* name) {
    host::BaseObject* o = host::BaseObject::alloc(host::kObjectNull);
    o->setName(name);
    roots_.push_back(o);
    return o;
  }
  // Appends a child of a type as the last child of parent.
  static host::BaseObject* add(host::BaseObject* parent, const char* name, int32_t type = host::kObjectNull) {
    host::BaseObject* o = host::BaseObject::alloc(type);
    o->setName(name);
    o->insertUnderLast(parent);
    return o;
  }

 private:
  std::vector<host::BaseObject*> roots_;
};

class Tables : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host::initResource(TALVO_SOURCE_RES_DIR));
    ASSERT_TRUE(talvo::registerNoUpdateTag());
  }
  void TearDown() override {
    host::app::failAllocationAt(0);
    host::app::resetPlugins();
    host::app::reset();
  }
  // Reads the scene; the loader stays for the test.
  talvo::SceneLoader& read(const ts::SceneDescription& scene) {
    run_ = std::make_unique<LoaderRun>(writeBytes(temp_.file("scene.TALVO"), ts::writeScene(scene)));
    EXPECT_EQ(run_->run(), kStatusOk);
    return *run_->loader;
  }
  talvo::ImportOptions& options() { return run_->options; }

  TempFolder temp_;
  std::unique_ptr<LoaderRun> run_;
};

// Elements 0 and 2 have polygons, element 1 none; shader 2 is never used. The hexagon is
// stored as four triangles, the two-vertex polygon not at all.
ts::SceneDescription polygonScene() {
  return sceneOf({{nullptr, 1, 0}, {nullptr, 0, 2}, {nullptr, 0, 1}},
                 {{0, 0, 4}, {1, 2, 3}, {0, 2, 6}, {1, 0, 3}, {0, 0, 2}, {1, 2, 4}}, 3);
}

TEST_F(Tables, PolygonListsAreAscendingAndAsLongAsTheCounts) {
  talvo::SceneLoader& loader = read(polygonScene());
  ASSERT_EQ(loader.polygonsStored(), 8);
  IndexTables tables(loader, options());
  EXPECT_FALSE(tables.elementPolygons.hasList(0)) << "no list before the build";
  ASSERT_EQ(tables.buildElementPolygons(), kStatusOk);
  ASSERT_EQ(tables.buildShaderPolygons(), kStatusOk);

  const std::vector<std::vector<int32_t>> byElement = {{0, 6}, {}, {1, 2, 3, 4, 5, 7}};
  const std::vector<std::vector<int32_t>> byShader = {{0, 2, 3, 4, 5}, {1, 6, 7}, {}};
  ASSERT_EQ(tables.elementPolygons.recordCount(), 3);
  ASSERT_EQ(tables.shaderPolygons.recordCount(), 3);
  for (int32_t e = 0; e < 3; ++e) {
    EXPECT_EQ(toVector(tables.elementPolygons[e]), byElement[size_t(e)]) << "element " << e;
    EXPECT_EQ(tables.elementPolygons.hasList(e), loader.elements[size_t(e)].polygonCount > 0)
        << "element " << e;
    EXPECT_EQ(int32_t(tables.elementPolygons[e].size()), loader.elements[size_t(e)].polygonCount);
  }
  for (int32_t s = 0; s < 3; ++s) {
    EXPECT_EQ(toVector(tables.shaderPolygons[s]), byShader[size_t(s)]) << "shader " << s;
    EXPECT_EQ(int32_t(tables.shaderPolygons[s].size()), loader.shaders[size_t(s)].polygonCount);
  }
  EXPECT_FALSE(tables.elementPolygons.hasList(1));
  EXPECT_FALSE(tables.shaderPolygons.hasList(2));
}

TEST_F(Tables, StoryAndClassTablesCountPolygonsPerShader) {
  talvo::SceneLoader& loader = read(polygonScene());
  IndexTables tables(loader, options());
  EXPECT_FALSE(tables.storyHasShader.built());
  EXPECT_FALSE(tables.classHasShader.built());
  ASSERT_EQ(tables.buildStoryShaderTable(), kStatusOk);
  ASSERT_EQ(tables.buildClassShaderTable(), kStatusOk);

  // Element 0 lies on story 0 in class 1, element 2 on story 1 in class 0; story 2 holds
  // only the element without polygons.
  const std::vector<std::vector<int32_t>> stories = {{1, 1, 0}, {4, 2, 0}, {0, 0, 0}};
  const std::vector<std::vector<int32_t>> classes = {{4, 2, 0}, {1, 1, 0}};
  auto rowsOf = [](const talvo::CountMatrix& m) {
    std::vector<std::vector<int32_t>> rows(size_t(m.rows()));
    for (int32_t r = 0; r < m.rows(); ++r)
      for (int32_t c = 0; c < m.columns(); ++c) rows[size_t(r)].push_back(m.at(r, c));
    return rows;
  };
  EXPECT_EQ(rowsOf(tables.storyHasShader), stories);
  EXPECT_EQ(rowsOf(tables.classHasShader), classes);
}

struct GroupExpect {
  const char* name;
  int32_t classIndex;
  int32_t memberCount;
  bool asObjects;
  bool asInstances;
  bool sourcesLocked;
};

void expectGroups(const IndexTables& tables, const std::vector<GroupExpect>& expected) {
  ASSERT_EQ(tables.groupCount(), int32_t(expected.size()));
  for (size_t i = 0; i < expected.size(); ++i) {
    const talvo::LibraryGroup& g = tables.libraryGroups[i];
    const GroupExpect& x = expected[i];
    EXPECT_EQ(g.name, x.name) << "group " << i;
    EXPECT_EQ(g.classIndex, x.classIndex) << x.name;
    EXPECT_EQ(g.memberCount, x.memberCount) << x.name;
    EXPECT_EQ(g.asObjects, x.asObjects) << x.name;
    EXPECT_EQ(g.asInstances, x.asInstances) << x.name;
    EXPECT_EQ(g.sourcesLocked, x.sourcesLocked) << x.name;
  }
}

TEST_F(Tables, GroupsFollowTheFirstAppearanceOfEachPlacedName) {
  // An element that is not placed takes part in no group; names differing in case are
  // different groups.
  talvo::SceneLoader& loader =
      read(sceneOf({{"A", 1}, {nullptr}, {"B", 0}, {"A", 0}, {"a", 0}, {"B", 1}, {"A", 1}}, {}));
  IndexTables tables(loader, options());
  tables.chosenGroupCount = 5;
  ASSERT_EQ(tables.findLibraryGroups(), kStatusOk);
  expectGroups(
      tables,
      {{"A", 1, 3, false, false, false}, {"B", 0, 2, false, false, false}, {"a", 0, 1, false, false, false}});
  EXPECT_EQ(tables.chosenGroupCount, 0);
}

// An earlier import under the update target: its sources and objects nulls with their
// children. Decoys: a polygon object named "Sources" before the real null, a second
// "Sources" null after it, a polygon object named C under the sources, and a second null
// named D under the sources that carries the no-update tag.
struct EarlierImport {
  ObjectTree tree;
  host::BaseObject* target = tree.root("Import");

  EarlierImport() {
    ObjectTree::add(target, "Sources", host::kObjectPolygon);
    host::BaseObject* sources = ObjectTree::add(target, "Sources");
    ObjectTree::add(sources, "A")->makeTag(talvo::kTagNoUpdate);
    ObjectTree::add(sources, "B");
    ObjectTree::add(sources, "C", host::kObjectPolygon);
    ObjectTree::add(sources, "D");
    ObjectTree::add(sources, "D")->makeTag(talvo::kTagNoUpdate);
    ObjectTree::add(ObjectTree::add(target, "Sources"), "E");
    host::BaseObject* objects = ObjectTree::add(target, "Objects");
    ObjectTree::add(objects, "B");
    ObjectTree::add(objects, "C");
    ObjectTree::add(objects, "E");
    ObjectTree::add(objects, "G", host::kObjectPolygon);
  }
};

TEST_F(Tables, UpdatePreselectsGroupsFromTheEarlierImport) {
  EarlierImport earlier;
  const std::vector<ElementDef> elements = {{"A"}, {"B"}, {"C"}, {"D"}, {"E"}, {"F"}, {"G"}, {"A"}};
  talvo::SceneLoader& loader = read(sceneOf(elements, {}));
  options().updateTarget = earlier.target;

  options().importMode = talvo::kImportUpdate;
  IndexTables update(loader, options());
  ASSERT_EQ(update.findLibraryGroups(), kStatusOk);
  expectGroups(update, {{"A", 0, 2, false, true, true},
                        {"B", 0, 1, false, true, false},  // under both nulls: instances only
                        {"C", 0, 1, true, false, false},
                        {"D", 0, 1, false, true, false},  // the first D has no tag
                        {"E", 0, 1, true, false, false},
                        {"F", 0, 1, false, false, false},
                        {"G", 0, 1, false, false, false}});

  options().importMode = talvo::kImportMerge;
  IndexTables merge(loader, options());
  ASSERT_EQ(merge.findLibraryGroups(), kStatusOk);
  for (const talvo::LibraryGroup& g : merge.libraryGroups)
    EXPECT_FALSE(g.asObjects || g.asInstances || g.sourcesLocked) << g.name;
}

TEST_F(Tables, TheEarlierImportsNullsAreLookedUpOnce) {
  ObjectTree tree;
  host::BaseObject* target = tree.root("Import");
  host::BaseObject* sources = ObjectTree::add(target, "Sources");
  ObjectTree::add(sources, "A");
  talvo::SceneLoader& loader = read(sceneOf({{"A"}, {"B"}, {"C"}}, {}));
  options().importMode = talvo::kImportUpdate;
  options().updateTarget = target;
  IndexTables tables(loader, options());
  ASSERT_EQ(tables.findLibraryGroups(), kStatusOk);
  expectGroups(
      tables,
      {{"A", 0, 1, false, true, false}, {"B", 0, 1, false, false, false}, {"C", 0, 1, false, false, false}});

  // The sources null found stays the one used, whatever its name now, and its children are
  // looked at afresh; the objects null found missing stays missing.
  sources->setName("Renamed");
  ObjectTree::add(sources, "B");
  ObjectTree::add(ObjectTree::add(target, "Objects"), "C");
  ObjectTree::add(ObjectTree::add(target, "Sources"), "C");
  ASSERT_EQ(tables.findLibraryGroups(), kStatusOk);
  expectGroups(
      tables,
      {{"A", 0, 1, false, true, false}, {"B", 0, 1, false, true, false}, {"C", 0, 1, false, false, false}});
}

// Elements: 0 A, 1 lamp in B, 2 not placed, 3 A, 4 C, 5 D, 6 B (lamp, hasLight cleared
// after reading), 7 C. Lights: of 1, of 6, of none, of 2 (a lamp-class element outside
// every group), of 1 again.
ts::SceneDescription groupScene() {
  return sceneOf({{"A"}, {"B", 1}, {nullptr, 1}, {"A"}, {"C"}, {"D"}, {"B", 1}, {"C"}},
                 {{0, 0, 4}, {0, 1, 3}, {0, 3, 3}, {0, 3, 4}, {0, 4, 6}, {0, 5, 3}, {0, 6, 3}, {0, 7, 3}}, 1,
                 {1, 6, -1, 2, 1});
}

TEST_F(Tables, ChosenGroupsBecomeInstanceGroupsAndLinkTheirMembers) {
  talvo::SceneLoader& loader = read(groupScene());
  loader.elements[6].hasLight = false;
  IndexTables tables(loader, options());
  ASSERT_EQ(tables.findLibraryGroups(), kStatusOk);
  ASSERT_EQ(tables.groupCount(), 4);
  // A as objects (sourcesLocked is dropped for objects), B as instances, C both ways, D not.
  tables.libraryGroups[0].asObjects = true;
  tables.libraryGroups[0].sourcesLocked = true;
  tables.libraryGroups[1].asInstances = true;
  tables.libraryGroups[1].sourcesLocked = true;
  tables.libraryGroups[2].asObjects = true;
  tables.libraryGroups[2].asInstances = true;
  tables.chosenGroupCount = 3;
  ASSERT_EQ(tables.buildInstanceTables(), kStatusOk);

  struct Expect {
    const char* name;
    std::vector<int32_t> members;
    int32_t kind;
    bool sourcesLocked;
  };
  const Expect expected[] = {{"A", {0, 3}, talvo::kGroupAsObjects, false},
                             {"B", {1, 6}, talvo::kGroupAsInstances, true},
                             {"C", {4, 7}, talvo::kGroupAsInstances, false}};
  ASSERT_EQ(tables.instanceGroups.size(), std::size(expected));
  for (size_t m = 0; m < std::size(expected); ++m) {
    const talvo::InstanceGroup& g = tables.instanceGroups[m];
    EXPECT_EQ(g.name, expected[m].name);
    EXPECT_EQ(g.memberCount, int32_t(expected[m].members.size())) << g.name;
    EXPECT_EQ(toVector(g.members), expected[m].members) << g.name;
    EXPECT_EQ(g.kind, expected[m].kind) << g.name;
    EXPECT_EQ(g.sourcesLocked, expected[m].sourcesLocked) << g.name;
  }
  EXPECT_EQ(tables.objectGroupCount(), 1);
  EXPECT_EQ(tables.instanceGroupCount(), 2);
  // A: 1 + 2, B: 1 + 1, C: 4 + 1.
  EXPECT_EQ(tables.instancePolygonTotal(), 10);

  std::vector<int32_t> elementLinks;
  for (const talvo::ElementRecord& e : loader.elements) elementLinks.push_back(e.instanceGroup);
  EXPECT_EQ(elementLinks, (std::vector<int32_t>{0, 1, -1, 0, 2, -1, 1, 2}));
  std::vector<int32_t> lightLinks;
  for (const talvo::LightRecord& light : loader.lights) lightLinks.push_back(light.instanceGroup);
  EXPECT_EQ(lightLinks, (std::vector<int32_t>{1, -1, -1, -1, 1}));

  // A second build after a changed choice leaves no link of the first behind.
  tables.libraryGroups[0].asObjects = false;
  tables.chosenGroupCount = 2;
  ASSERT_EQ(tables.buildInstanceTables(), kStatusOk);
  elementLinks.clear();
  for (const talvo::ElementRecord& e : loader.elements) elementLinks.push_back(e.instanceGroup);
  EXPECT_EQ(elementLinks, (std::vector<int32_t>{-1, 0, -1, -1, 1, -1, 0, 1}));
  EXPECT_EQ(loader.lights[0].instanceGroup, 0);
  EXPECT_EQ(tables.objectGroupCount(), 0);
  EXPECT_EQ(tables.instancePolygonTotal(), 7);
}

// A placed part without a library name makes a group named ""; unplaced elements, whose
// names are empty too, do not join it.
TEST_F(Tables, AnUnnamedLibraryPartGroupsOnlyPlacedElements) {
  talvo::SceneLoader& loader = read(sceneOf({{nullptr}, {""}, {nullptr}, {""}}, {{0, 1, 4}, {0, 3, 3}}));
  IndexTables tables(loader, options());
  ASSERT_EQ(tables.findLibraryGroups(), kStatusOk);
  ASSERT_EQ(tables.groupCount(), 1);
  tables.libraryGroups[0].asInstances = true;
  tables.chosenGroupCount = 1;
  ASSERT_EQ(tables.buildInstanceTables(), kStatusOk);
  EXPECT_EQ(toVector(tables.instanceGroups[0].members), (std::vector<int32_t>{1, 3}));
  EXPECT_EQ(loader.elements[0].instanceGroup, -1);
}

TEST_F(Tables, InconsistentGroupsEndWith10025) {
  struct Case {
    const char* what;
    std::function<void(IndexTables&)> change;
    int32_t expected;
  };
  const Case cases[] = {
      {"untouched", [](IndexTables&) {}, kStatusOk},
      {"one chosen group more than marked", [](IndexTables& t) { t.chosenGroupCount += 1; },
       kStatusInstanceGroups},
      {"one chosen group less than marked", [](IndexTables& t) { t.chosenGroupCount -= 1; },
       kStatusInstanceGroups},
      {"more members counted than elements", [](IndexTables& t) { t.libraryGroups[0].memberCount += 1; },
       kStatusInstanceGroups},
      {"fewer members counted than elements", [](IndexTables& t) { t.libraryGroups[1].memberCount -= 1; },
       kStatusInstanceGroups},
      {"a name chosen twice",
       [](IndexTables& t) {
         talvo::LibraryGroup copy = t.libraryGroups[0];
         ASSERT_TRUE(t.libraryGroups.append());
         t.libraryGroups.back() = copy;
         t.chosenGroupCount += 1;
       },
       kStatusInstanceGroups},
  };
  talvo::SceneLoader& loader = read(groupScene());
  for (const Case& c : cases) {
    IndexTables tables(loader, options());
    ASSERT_EQ(tables.findLibraryGroups(), kStatusOk);
    for (talvo::LibraryGroup& g : tables.libraryGroups) g.asObjects = true;
    tables.chosenGroupCount = tables.groupCount();
    c.change(tables);
    EXPECT_EQ(tables.buildInstanceTables(), c.expected) << c.what;
  }
}

TEST_F(Tables, ResetPolygonListMakesRoomForTheRecordsPolygons) {
  talvo::SceneLoader& loader = read(polygonScene());
  IndexTables tables(loader, options());
  ASSERT_EQ(tables.resetPolygonList(loader.elements[2]), kStatusOk);
  EXPECT_EQ(tables.polygonList.size(), 0u);
  EXPECT_GE(tables.polygonList.capacity(), 6u);
  for (int32_t j : {1, 2, 3, 4, 5, 7}) tables.polygonList.appendReserved() = j;

  ASSERT_EQ(tables.resetPolygonList(loader.shaders[1]), kStatusOk);
  EXPECT_EQ(tables.polygonList.size(), 0u);
  EXPECT_GE(tables.polygonList.capacity(), 3u);
  ASSERT_EQ(tables.resetPolygonList(loader.elements[1]), kStatusOk);  // no polygons
  EXPECT_EQ(tables.polygonList.capacity(), 0u);

  ASSERT_EQ(tables.resetPolygonList(loader.stories[1]), kStatusOk);
  tables.clearPolygonList();
  EXPECT_EQ(tables.polygonList.capacity(), 0u);

  host::app::failAllocationAt(1);
  EXPECT_EQ(tables.resetPolygonList(loader.classes[0]), talvo::kStatusIndexMemory);
  host::app::failAllocationAt(0);
  EXPECT_EQ(tables.polygonList.capacity(), 0u);
}

TEST_F(Tables, EveryAllocationFailureEndsWith10005AndLeaksNothing) {
  EarlierImport earlier;
  talvo::SceneLoader& loader = read(groupScene());
  options().importMode = talvo::kImportUpdate;
  options().updateTarget = earlier.target;
  const int64_t liveBefore = host::app::liveAllocations();

  for (int64_t n = 1;; ++n) {
    ASSERT_LT(n, 100) << "the tables were never built";
    int32_t rc = kStatusOk;
    {
      IndexTables tables(loader, options());
      host::app::failAllocationAt(n);
      const std::function<int32_t()> steps[] = {
          [&] { return tables.buildElementPolygons(); },
          [&] { return tables.buildShaderPolygons(); },
          [&] { return tables.buildStoryShaderTable(); },
          [&] { return tables.buildClassShaderTable(); },
          [&] { return tables.findLibraryGroups(); },
          [&] {
            for (talvo::LibraryGroup& g : tables.libraryGroups) g.asObjects = true;
            tables.chosenGroupCount = tables.groupCount();
            return tables.buildInstanceTables();
          },
          [&] { return tables.resetPolygonList(loader.elements[4]); },
      };
      size_t failed = 0;
      for (; failed < std::size(steps) && rc == kStatusOk; ++failed) rc = steps[failed]();
      host::app::failAllocationAt(0);
      if (rc != kStatusOk) {
        ASSERT_EQ(rc, talvo::kStatusIndexMemory) << "allocation " << n;
        // A list table that failed reads as not built.
        if (failed == 1) {
          EXPECT_EQ(tables.elementPolygons.recordCount(), 0) << "allocation " << n;
        } else if (failed == 2) {
          EXPECT_EQ(tables.shaderPolygons.recordCount(), 0) << "allocation " << n;
        }
      } else {
        EXPECT_EQ(tables.instanceGroups.size(), 4u);
        EXPECT_EQ(tables.polygonList.capacity(), 4u);
      }
      tables.release();
      EXPECT_EQ(host::app::liveAllocations(), liveBefore) << "allocation " << n;
    }
    if (rc == kStatusOk) {
      EXPECT_GT(n, 12) << "fewer allocations than tables";
      break;
    }
  }
}

}  // namespace
