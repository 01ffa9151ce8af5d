// Polygon objects made by the builders run directly on a read scene: geometry, UVW tags
// and their texture angle, and the reuse rules of update runs; then the polygon builder
// called directly on hand-filled polygon lists, as the hierarchy builder calls it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "host/app.h"
#include "host/material.h"
#include "host/resource.h"
#include "host/scene.h"
#include "loader_fixture.h"
#include "talvo_import_c4d_diagnostics.h"
#include "talvo_import_c4d_hierarchy.h"
#include "talvo_import_c4d_lights.h"
#include "talvo_import_c4d_materials.h"
#include "talvo_import_c4d_objects.h"
#include "talvo_import_c4d_polygons.h"
#include "talvo_import_c4d_tables.h"
#include "talvo_import_c4d_tag_nosort.h"
#include "talvo_import_c4d_tag_noupdate.h"
#include "talvo_import_c4d_tag_null.h"
#include "talvo_import_c4d_tag_talvo.h"

namespace {

using namespace talvo_test;

// One element "Wall" of two Brick triangles sharing an edge, a Brick quadrangle and a
// two-corner record; the texture of Brick is turned by `angle` degrees in the file.
ts::SceneDescription wallScene(double angle = 0) {
  ts::SceneDescription d;
  d.shaders = {{.name = "Brick"}};
  ts::ShaderInternalRecord internal;
  internal.present = true;
  internal.angle = angle;
  d.shaderInternals = {internal};
  d.shaderC4D.resize(1);
  d.stories = {{0, "Ground", {0, 300}}};
  d.classes = {{1, "Wall"}};
  d.layers = {{"Walls"}};
  d.elements = {{.name = "Wall"}};
  d.points = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {5, 0, 0}, {6, 0, 0}, {6, 1, 0}, {5, 1, 0}};
  auto add = [&](std::vector<int32_t> corners, std::vector<ts::Vec2> uv) {
    d.polygons.push_back({.shaderIndex = 0, .elementIndex = 0, .pointIndices = corners});
    d.uvws.push_back({.uv = uv});
  };
  add({0, 1, 2}, {{0, 0}, {1, 0}, {1, 1}});
  add({0, 2, 3}, {{0, 0}, {1, 1}, {0, 1}});
  add({4, 5, 6, 7}, {{0, 0}, {1, 0}, {1, 1}, {0, 1}});
  add({4, 5}, {{0, 0}, {1, 0}});
  return d;
}

// A read scene and the builders of a run, with the options the controller would set for
// the main pass of a flat import (no grouping, one object per shader).
class Polygons : public ::testing::Test {
 protected:
  void SetUp() override {
    host::app::setPluginFolder(temp_.file("plugin"));
    host::app::setDocumentsFolder(temp_.file("documents"));
    ASSERT_TRUE(host::initResource(TALVO_SOURCE_RES_DIR));
    ASSERT_TRUE(talvo::registerTalvoTag() && talvo::registerNewNullTag() && talvo::registerNoSortTag() &&
                talvo::registerNoUpdateTag());
    document_ = host::BaseDocument::alloc();
    host::insertBaseDocument(document_);
    root_ = host::BaseObject::alloc(host::kObjectNull);
    root_->setName("House");
    root_->makeTag(talvo::kTagTalvo);
    document_->insertObject(root_, nullptr, nullptr);
  }
  void TearDown() override {
    hierarchy_.reset();
    lights_.reset();
    tables_.reset();
    materials_.reset();
    run_.reset();
    host::app::resetDocuments();
    host::app::resetPlugins();
    host::app::reset();
  }

  void load(const ts::SceneDescription& scene) {
    const std::string path = temp_.file("House.TALVO");
    ASSERT_TRUE(ts::writeSceneFile(scene, path));
    run_ = std::make_unique<LoaderRun>(path);
    talvo::ImportOptions& o = run_->options;
    talvo::resetToDefaults(o);
    o.sceneFilePath = host::Filename(path);
    o.targetDocument = document_;
    o.updateTarget = root_;
    o.splitByMaterial = 0;
    o.splitByLayer = 0;
    o.materialSplitMode = 1;
    o.separatorText = " :: ";
    o.normalsCommand = 0;
    ASSERT_EQ(run_->run(), talvo::kStatusOk);
  }

  int32_t build() {
    makeBuilders();
    return runBuild();
  }
  void makeBuilders() {
    talvo::ImportOptions& o = run_->options;
    o.noMaterialsFlag = o.createMaterials ? 0 : 1;
    if (!o.createMaterials) o.assignMaterials = 0;
    o.shaderSplitDone = o.splitByMaterial;
    materials_ = std::make_unique<talvo::MaterialBuilder>(*run_->loader, o);
    tables_ = std::make_unique<talvo::IndexTables>(*run_->loader, o);
    lights_ = std::make_unique<talvo::LightBuilder>(*run_->loader, o, *materials_);
    hierarchy_ = std::make_unique<talvo::HierarchyBuilder>(*run_->loader, o, *materials_, *tables_, *lights_);
  }
  int32_t runBuild() {
    if (int32_t rc = materials_->prepareMaterials(); rc != talvo::kStatusOk) return rc;
    if (int32_t rc = tables_->buildElementPolygons(); rc != talvo::kStatusOk) return rc;
    if (int32_t rc = tables_->buildShaderPolygons(); rc != talvo::kStatusOk) return rc;
    run_->console.clear();
    return hierarchy_->buildObjects();
  }

  talvo::ImportOptions& options() { return run_->options; }
  bool printed(const std::string& line) const {
    return std::find(run_->console.begin(), run_->console.end(), line) != run_->console.end();
  }
  std::vector<std::string> childNames() const {
    std::vector<std::string> names;
    for (host::BaseObject* o = root_->getDown(); o; o = o->getNext()) names.push_back(o->getName());
    return names;
  }

  TempFolder temp_;
  host::BaseDocument* document_ = nullptr;
  host::BaseObject* root_ = nullptr;
  std::unique_ptr<LoaderRun> run_;
  std::unique_ptr<talvo::MaterialBuilder> materials_;
  std::unique_ptr<talvo::IndexTables> tables_;
  std::unique_ptr<talvo::LightBuilder> lights_;
  std::unique_ptr<talvo::HierarchyBuilder> hierarchy_;
};

TEST_F(Polygons, GeometryOfTrianglesAndQuadrangles) {
  load(wallScene());
  ASSERT_EQ(build(), talvo::kStatusOk);
  auto* brick = host::toPolygonObject(root_->getDown());
  ASSERT_NE(brick, nullptr);
  EXPECT_EQ(brick->getName(), "Brick");
  // Every corner its own point (6 + 4), then the exact merge: the shared edge joins.
  EXPECT_TRUE(printed("Polygon datas:  10 | 3"));
  EXPECT_TRUE(printed("Material name:  Brick"));
  EXPECT_TRUE(printed("Polygon Name:   Brick"));
  EXPECT_EQ(brick->getPointCount(), 8);
  ASSERT_EQ(brick->getPolygonCount(), 3);  // the two-corner record gives nothing
  const host::CPolygon* p = brick->getPolygonR();
  EXPECT_TRUE(p[0].isTriangle() && p[1].isTriangle());
  EXPECT_FALSE(p[2].isTriangle());
  const host::BaseTag* uvw = brick->getTag(host::kTagUvw);
  ASSERT_NE(uvw, nullptr);
  ASSERT_EQ(uvw->uvws().size(), 3u);
  EXPECT_EQ(uvw->uvws()[0].d, (host::Vector{}));
  EXPECT_EQ(uvw->uvws()[2].b, (host::Vector{1, 0, 0}));
  // New objects carry the new-null tag, phong and the shader's texture tag.
  EXPECT_NE(brick->getTag(talvo::kTagNewNull), nullptr);
  EXPECT_NE(brick->getTag(host::kTagPhong), nullptr);
  EXPECT_NE(brick->getTag(host::kTagTexture), nullptr);
}

TEST_F(Polygons, TheTextureAngleTurnsTheCoordinates) {
  load(wallScene(-90));
  const double angle = run_->loader->shaderInternals[0].angle;
  ASSERT_NEAR(angle, std::numbers::pi / 2, 1e-6);  // the reader turns the file's sign
  ASSERT_EQ(build(), talvo::kStatusOk);
  const host::BaseTag* uvw = root_->getDown()->getTag(host::kTagUvw);
  const host::Vector b = uvw->uvws()[2].b;  // (1, 0) in the file
  EXPECT_NEAR(b.x, 0, 1e-6);
  EXPECT_NEAR(b.y, 1, 1e-6);
}

TEST_F(Polygons, WithoutUvwNoTagAndWithoutMaterialsTheHostsName) {
  load(wallScene());
  options().createUVW = 0;
  options().createMaterials = 0;
  ASSERT_EQ(build(), talvo::kStatusOk);
  const host::BaseObject* o = root_->getDown();
  EXPECT_EQ(o->getName(), "Polygon");
  EXPECT_EQ(o->getTag(host::kTagUvw), nullptr);
  EXPECT_EQ(o->getTag(host::kTagTexture), nullptr);
  EXPECT_FALSE(printed("Material name:  Brick"));
}

TEST_F(Polygons, CenterAtOriginMovesThePoints) {
  load(wallScene());
  options().centerAtOrigin = 1;
  ASSERT_EQ(build(), talvo::kStatusOk);
  const auto* brick = host::toPolygonObject(root_->getDown());
  const double* c = run_->loader->center;
  EXPECT_EQ(brick->getPointR()[0], (host::Vector{0 - c[0], 0 - c[1], 0 - c[2]}));
}

TEST_F(Polygons, UpdateRunsRefillOnlyEmptiedObjectsOutsideLockedSubtrees) {
  load(wallScene());
  options().importMode = talvo::kImportUpdate;
  // An emptied object of the earlier import, and one of the same name that still has points.
  auto* emptied = host::toPolygonObject(host::BaseObject::alloc(host::kObjectPolygon));
  emptied->setName("Brick");
  document_->insertObject(emptied, root_, nullptr);
  auto* full = host::toPolygonObject(host::BaseObject::alloc(host::kObjectPolygon));
  full->setName("Brick");
  ASSERT_TRUE(full->resizeObject(3, 1));
  document_->insertObject(full, root_, nullptr);
  ASSERT_EQ(build(), talvo::kStatusOk);
  EXPECT_EQ(childNames(), (std::vector<std::string>{"Brick", "Brick"}));
  EXPECT_EQ(emptied->getPolygonCount(), 3);
  EXPECT_EQ(full->getPolygonCount(), 1);
  EXPECT_EQ(emptied->getTag(talvo::kTagNewNull), nullptr);  // reused as it was

  // An emptied object with the no-update tag stays empty; nothing is made beside it.
  emptied->resizeObject(0, 0);
  emptied->makeTag(talvo::kTagNoUpdate);
  hierarchy_.reset();
  ASSERT_EQ(build(), talvo::kStatusOk);
  EXPECT_EQ(emptied->getPolygonCount(), 0);
  EXPECT_EQ(childNames().size(), 2u);
}

TEST_F(Polygons, AnUpdateKeepsTheSubtreeOfANoUpdateTag) {
  ts::SceneDescription scene = wallScene();
  load(scene);
  options().importMode = talvo::kImportUpdate;
  options().splitByMaterial = 1;
  // The shader null of the earlier import, locked by the user.
  host::BaseObject* locked = host::BaseObject::alloc(host::kObjectNull);
  locked->setName("Brick");
  locked->makeTag(talvo::kTagNoUpdate);
  document_->insertObject(locked, root_, nullptr);
  ASSERT_EQ(build(), talvo::kStatusOk);
  EXPECT_EQ(locked->getDown(), nullptr);
  EXPECT_EQ(childNames(), std::vector<std::string>{"Brick"});
}

TEST_F(Polygons, ACancelEndsTheBuild) {
  load(wallScene());
  host::app::holdKey(61723, 1000);
  host::app::queueAnswers({6});
  EXPECT_EQ(build(), talvo::kStatusCancelled);
}

TEST_F(Polygons, EveryAllocationFailureEndsWithAStatusAndNoLeak) {
  load(wallScene());
  // Takes away what a build inserted.
  auto clearRoot = [&] {
    while (host::BaseObject* c = root_->getDown()) host::BaseObject::free(c);
    while (!document_->materials().empty()) {
      host::BaseMaterial* m = document_->materials().front();
      m->remove();
      host::BaseMaterial::free(m);
    }
  };
  for (int64_t n = 1;; ++n) {
    SCOPED_TRACE(n);
    hierarchy_.reset();
    clearRoot();
    const int64_t before = host::app::liveAllocations();
    // The builders are made first: the light builder's mapping tables carry on without a
    // status when memory is short.
    makeBuilders();
    const int64_t count = host::app::allocationCount();
    host::app::failAllocationAt(n);
    const int32_t rc = runBuild();
    const bool reached = host::app::allocationCount() - count >= n;
    host::app::failAllocationAt(0);
    if (!reached) {
      EXPECT_EQ(rc, talvo::kStatusOk);
      break;
    }
    EXPECT_NE(rc, talvo::kStatusOk);
    // What was inserted stays in the document; nothing else is left.
    hierarchy_.reset();
    lights_.reset();
    tables_.reset();
    materials_.reset();
    clearRoot();
    EXPECT_EQ(host::app::liveAllocations(), before);
  }
}

// ---------------------------------------------------------------------------------------
// The polygon builder alone.

// Element "Wall", moved, turned by 30 degrees and scaled, holds: 0, 1 two Brick triangles
// sharing an edge; 2 a Glass quadrangle. A light belongs to it.
ts::SceneDescription pairScene() {
  ts::SceneDescription d;
  d.shaders = {{.name = "Brick"}, {.name = "Glass"}};
  ts::ShaderInternalRecord internal;
  internal.present = true;
  d.shaderInternals = {internal, internal};
  d.shaderC4D.resize(2);
  d.stories = {{0, "Ground", {0, 300}}};
  d.classes = {{1, "Wall"}};
  d.layers = {{"Walls"}};
  d.elements = {{.name = "Wall",
                 .placed = true,
                 .libraryName = "Window",
                 .position = {4, 2, 1},
                 .angle = 30,
                 .size = {2, 3, 4},
                 .baseSize = {1, 2, 0.5}}};
  d.points = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0.5}, {0, 1, 0}, {3, 0, 1}, {4, 0.5, 1}, {4, 1, 2}, {3, 1, 1.5}};
  auto add = [&](int32_t shader, std::vector<int32_t> corners, std::vector<ts::Vec2> uv) {
    d.polygons.push_back({.shaderIndex = shader, .elementIndex = 0, .pointIndices = corners});
    d.uvws.push_back({.uv = uv});
  };
  add(0, {0, 1, 2}, {{0, 0}, {1, 0}, {1, 1}});
  add(0, {0, 2, 3}, {{0, 0}, {1, 1}, {0, 1}});
  add(1, {4, 5, 6, 7}, {{0, 0}, {1, 0}, {1, 1}, {0, 1}});
  ts::LightRecord lamp;
  lamp.elementIndex = 0;
  lamp.name = "Lamp";
  d.lights = {lamp};
  return d;
}

// `count` Brick triangles over the same three points.
ts::SceneDescription manyTrianglesScene(int32_t count) {
  ts::SceneDescription d = wallScene();
  d.polygons.clear();
  d.uvws.clear();
  for (int32_t i = 0; i < count; ++i) {
    d.polygons.push_back({.shaderIndex = 0, .elementIndex = 0, .pointIndices = {0, 1, 2}});
    d.uvws.push_back({.uv = {{0, 0}, {1, 0}, {1, 1}}});
  }
  return d;
}

// The builders of a run around one PolygonBuilder, which the tests call with polygon
// lists filled by hand as the hierarchy builder fills them.
class PolygonObjects : public Polygons {
 protected:
  void TearDown() override {
    builder_.reset();
    tools_.reset();
    Polygons::TearDown();
  }

  // Fresh builders over the read scene with the options as they are now.
  void prepare() {
    talvo::ImportOptions& o = options();
    materials_ = std::make_unique<talvo::MaterialBuilder>(*run_->loader, o);
    tables_ = std::make_unique<talvo::IndexTables>(*run_->loader, o);
    lights_ = std::make_unique<talvo::LightBuilder>(*run_->loader, o, *materials_);
    tools_ = std::make_unique<talvo::ObjectTools>(*run_->loader, o);
    builder_ =
        std::make_unique<talvo::PolygonBuilder>(*run_->loader, o, *tables_, *materials_, *tools_, *lights_);
    ASSERT_EQ(materials_->prepareMaterials(), talvo::kStatusOk);
    run_->console.clear();
  }
  // The reader stores no polygon of fewer than three corners; the builder skips one all
  // the same. Adds such a Brick record (with its UVs) after the read ones; its index.
  int32_t addTwoCornerRecord() {
    talvo::SceneLoader& scene = *run_->loader;
    talvo::PolygonRecord* p = scene.polygons.append();
    talvo::UvwRecord* u = scene.uvws.append();
    if (!p || !u) return -1;
    *p = talvo::PolygonRecord{0, 0, 2, {4, 5, 0, 0}};
    u->vertexCount = 2;
    return int32_t(scene.polygons.size()) - 1;
  }
  void freeBuilders() {
    builder_.reset();
    tools_.reset();
    lights_.reset();
    tables_.reset();
    materials_.reset();
  }

  // Lists the polygons and builds them, with the capacities the hierarchy builder gives.
  int32_t buildList(const std::vector<int32_t>& list, const std::string& name, int32_t shader,
                    host::BaseObject* parent = nullptr, int32_t element = -1, bool isBase = false,
                    const std::string& layer = {}) {
    struct Group {
      int32_t polygonCount;
    };
    if (int32_t rc = tables_->resetPolygonList(Group{int32_t(list.size())}); rc != talvo::kStatusOk)
      return rc;
    int32_t corners = 0;
    for (int32_t p : list) {
      tables_->polygonList.appendReserved() = p;
      corners += std::min(run_->loader->polygons[size_t(p)].vertexCount, 4);
    }
    return builder_->buildPolygonObject(name, layer, parent ? parent : root_, corners, int32_t(list.size()),
                                        shader, element, isBase);
  }

  void clearRoot() {
    while (host::BaseObject* c = root_->getDown()) host::BaseObject::free(c);
  }

  std::unique_ptr<talvo::ObjectTools> tools_;
  std::unique_ptr<talvo::PolygonBuilder> builder_;
};

TEST_F(PolygonObjects, TwoTrianglesSharingAnEdgeMergeIntoFourPoints) {
  load(pairScene());
  prepare();
  host::BaseObject* earlier = host::BaseObject::alloc(host::kObjectNull);
  document_->insertObject(earlier, root_, nullptr);
  ASSERT_EQ(buildList({0, 1}, "Pair", 0), talvo::kStatusOk);
  // Every corner gets its own point (6); the console reports them before the merge.
  EXPECT_EQ(run_->console, (std::vector<std::string>{talvo::kSectionLine, "Material name:  Brick",
                                                     "Polygon Name:   Pair", "Polygon datas:  6 | 2"}));
  auto* pair = host::toPolygonObject(root_->getDown());  // the first child
  ASSERT_NE(pair, nullptr);
  EXPECT_EQ(pair->getName(), "Pair");
  EXPECT_EQ(pair->getNext(), earlier);
  EXPECT_EQ(pair->getPointCount(), 4);
  ASSERT_EQ(pair->getPolygonCount(), 2);
  const host::BaseTag* uvw = pair->getTag(host::kTagUvw);
  ASSERT_NE(uvw, nullptr);
  ASSERT_EQ(uvw->uvws().size(), 2u);
  const talvo::SceneLoader& scene = *run_->loader;
  for (int32_t i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    // Triangles repeat their third corner; after the merge each corner still sits on its
    // scene point, and the UVs are the record's with a zero fourth.
    const host::CPolygon& poly = pair->getPolygonR()[i];
    EXPECT_EQ(poly.c, poly.d);
    const int32_t corners[3] = {poly.a, poly.b, poly.c};
    for (int32_t k = 0; k < 3; ++k) {
      const talvo::PointRecord& p = scene.points[size_t(scene.polygons[size_t(i)].pointIndex[k])];
      EXPECT_EQ(pair->getPointR()[corners[k]], (host::Vector{p.x, p.y, p.z}));
    }
    const talvo::UvwRecord& r = scene.uvws[size_t(i)];
    const host::UVWStruct& u = uvw->uvws()[size_t(i)];
    EXPECT_EQ(u.a, r.uvw[0]);
    EXPECT_EQ(u.b, r.uvw[1]);
    EXPECT_EQ(u.c, r.uvw[2]);
    EXPECT_EQ(u.d, (host::Vector{}));
  }
  EXPECT_EQ(builder_->mainPolygonsBuilt(), 2);
  EXPECT_EQ(builder_->instancePolygonsBuilt(), 0);
}

TEST_F(PolygonObjects, WhichListedPolygonsTheObjectTakes) {
  struct Case {
    const char* what;
    std::vector<int32_t> list;
    int32_t shader;
    bool noMaterials;
    bool shaderSplitDone;
    const char* datas;  // nullptr: no object and no console line
    int32_t polygons;
  };
  const Case kCases[] = {
      {"the shader's triangles", {0, 1, 2, 3}, 0, false, false, "Polygon datas:  6 | 2", 2},
      {"the other shader's quadrangle", {0, 1, 2, 3}, 1, false, false, "Polygon datas:  4 | 1", 1},
      {"without materials all of them", {0, 1, 2, 3}, -1, true, false, "Polygon datas:  10 | 3", 3},
      {"after the shader split all of them", {0, 1, 2, 3}, 0, false, true, "Polygon datas:  10 | 3", 3},
      {"none of the shader", {0, 1, 3}, 1, false, false, nullptr, 0},
      {"only a two-corner record", {3}, -1, true, false, nullptr, 0},
      {"an empty list", {}, 0, false, false, nullptr, 0},
  };
  load(pairScene());
  ASSERT_EQ(addTwoCornerRecord(), 3);
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    options().noMaterialsFlag = c.noMaterials;
    options().shaderSplitDone = c.shaderSplitDone;
    prepare();
    ASSERT_EQ(buildList(c.list, "Part", c.shader), talvo::kStatusOk);
    if (!c.datas) {
      EXPECT_EQ(root_->getDown(), nullptr);
      EXPECT_EQ(run_->console, std::vector<std::string>{});
      continue;
    }
    EXPECT_TRUE(printed(c.datas));
    EXPECT_EQ(printed("Material name:  Brick") || printed("Material name:  Glass"), c.shader != -1);
    auto* part = host::toPolygonObject(root_->getDown());
    ASSERT_NE(part, nullptr);
    EXPECT_EQ(part->getPolygonCount(), c.polygons);
    EXPECT_EQ(part->getTag(host::kTagUvw)->uvws().size(), size_t(c.polygons));
    clearRoot();
  }
}

TEST_F(PolygonObjects, AReusedObjectGetsItsUvwTagAnewAndNoOtherTags) {
  load(pairScene());
  options().importMode = talvo::kImportUpdate;
  for (const bool uvws : {true, false}) {
    SCOPED_TRACE(uvws);
    options().createUVW = uvws;
    prepare();
    auto* emptied = host::toPolygonObject(host::BaseObject::alloc(host::kObjectPolygon));
    emptied->setName("Pair");
    emptied->makeTag(host::kTagUvw)->uvws().resize(5);
    document_->insertObject(emptied, root_, nullptr);
    ASSERT_EQ(buildList({0, 1}, "Pair", 0), talvo::kStatusOk);
    EXPECT_EQ(childNames(), std::vector<std::string>{"Pair"});
    EXPECT_EQ(emptied->getPolygonCount(), 2);
    EXPECT_EQ(emptied->getTag(host::kTagUvw, 1), nullptr);
    const host::BaseTag* uvw = emptied->getTag(host::kTagUvw);
    EXPECT_EQ(uvw ? int32_t(uvw->uvws().size()) : -1, uvws ? 2 : -1);
    // Phong, the texture tag and the new-null tag belong to objects this run makes.
    EXPECT_EQ(emptied->getTag(host::kTagPhong), nullptr);
    EXPECT_EQ(emptied->getTag(host::kTagTexture), nullptr);
    EXPECT_EQ(emptied->getTag(talvo::kTagNewNull), nullptr);
    clearRoot();
  }
}

TEST_F(PolygonObjects, UpdatesBuildOnlyOutsideLockedParents) {
  // The chain Top > Import (the marker tag) > Group > Parent; Parent receives the object.
  struct Case {
    const char* what;
    int32_t importMode;
    bool topLocked, groupLocked, groupMade, parentLocked, parentMade;
    bool built;
  };
  const Case kCases[] = {
      {"nothing locked", talvo::kImportUpdate, false, false, false, false, false, true},
      {"a locked parent", talvo::kImportUpdate, false, false, false, true, false, false},
      {"a locked parent this run made", talvo::kImportUpdate, false, false, false, true, true, true},
      {"a locked group", talvo::kImportUpdate, false, true, false, false, false, false},
      {"a locked group this run made", talvo::kImportUpdate, false, true, true, false, false, true},
      {"a parent this run made under a locked group", talvo::kImportUpdate, false, true, false, false, true,
       true},
      {"a lock above the import's root", talvo::kImportUpdate, true, false, false, false, false, true},
      {"a locked parent outside update runs", talvo::kImportMerge, false, false, false, true, false, true},
  };
  load(pairScene());
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    options().importMode = c.importMode;
    prepare();
    auto null = [&](const char* name, host::BaseObject* parent, bool locked, bool made) {
      host::BaseObject* o = host::BaseObject::alloc(host::kObjectNull);
      o->setName(name);
      if (locked) o->makeTag(talvo::kTagNoUpdate);
      if (made) o->makeTag(talvo::kTagNewNull);
      document_->insertObject(o, parent, nullptr);
      return o;
    };
    host::BaseObject* top = null("Top", nullptr, c.topLocked, false);
    null("Import", top, false, false)->makeTag(talvo::kTagTalvo);
    host::BaseObject* group = null("Group", top->getDown(), c.groupLocked, c.groupMade);
    host::BaseObject* parent = null("Parent", group, c.parentLocked, c.parentMade);
    ASSERT_EQ(buildList({0, 1}, "Pair", 0, parent), talvo::kStatusOk);
    const auto* pair = host::toPolygonObject(parent->getDown());
    EXPECT_EQ(pair != nullptr, c.built);
    if (pair) {
      EXPECT_EQ(pair->getPolygonCount(), 2);
    }
    top->remove();
    host::BaseObject::free(top);
  }
}

TEST_F(PolygonObjects, TheTextureTagNeedsAssignedMaterialsAndOneObjectPerShader) {
  struct Case {
    const char* what;
    int32_t createMaterials, assignMaterials, noMaterialsFlag, materialSplitMode;
    bool tagged;
  };
  const Case kCases[] = {
      {"materials made and assigned per object", 1, 1, 0, 1, true},
      {"no materials made", 0, 1, 0, 1, false},
      {"materials not assigned", 1, 0, 0, 1, false},
      {"the no-materials flag", 1, 1, 1, 1, false},
      {"materials on the nulls", 1, 1, 0, 0, false},
      {"material split mode 2", 1, 1, 0, 2, false},
  };
  load(pairScene());
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    options().createMaterials = c.createMaterials;
    options().assignMaterials = c.assignMaterials;
    options().noMaterialsFlag = c.noMaterialsFlag;
    options().materialSplitMode = c.materialSplitMode;
    prepare();
    ASSERT_EQ(buildList({0, 1}, "Pair", 0), talvo::kStatusOk);
    ASSERT_NE(root_->getDown(), nullptr);
    EXPECT_EQ(root_->getDown()->getTag(host::kTagTexture) != nullptr, c.tagged);
    clearRoot();
  }
}

TEST_F(PolygonObjects, TheHostLayerNeedsALayerNameTheSplitAndAnObjectOfItsOwn) {
  struct Case {
    const char* what;
    const char* layer;
    int32_t splitByLayer;
    bool isBase;
    bool assigned;
  };
  const Case kCases[] = {
      {"split by layer", "Walls", 1, false, true},
      {"no layer name", "", 1, false, false},
      {"no split by layer", "Walls", 0, false, false},
      {"base geometry of instances", "Walls", 1, true, false},
  };
  load(pairScene());
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    options().splitByLayer = c.splitByLayer;
    prepare();
    ASSERT_EQ(buildList({0, 1}, "Pair", 0, root_, -1, c.isBase, c.layer), talvo::kStatusOk);
    const host::LayerObject* layer = root_->getDown()->getLayerObject();
    EXPECT_EQ(layer ? layer->getName() : "(none)", c.assigned ? c.layer : "(none)");
    clearRoot();
  }
}

// Scene points → element frame → the placement that carries the geometry (the object's
// own or its holder's: scale, then heading about the vertical axis, then position) must
// give the scene points back.
TEST_F(PolygonObjects, TheInstancePassPlacementGivesTheScenePointsBack) {
  struct Case {
    const char* what;
    bool mirrored;
    bool isBase;
    int32_t noMaterialsFlag;  // on: the object carries the placement itself
    bool holderMirrors;       // the holder's placement applies the mirror
  };
  const Case kCases[] = {
      {"a member under its placed null", false, false, 0, false},
      {"a mirrored member under its placed null", true, false, 0, false},
      {"the base of a mirrored element under its instance", true, true, 0, true},
      {"a member placed itself", true, false, 1, false},
  };
  load(pairScene());
  const std::vector<int32_t> list = {0, 1, 2};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    run_->loader->elements[0].mirrored = c.mirrored;
    options().instancePass = 1;
    options().shaderSplitDone = 1;
    options().noMaterialsFlag = c.noMaterialsFlag;
    prepare();
    host::BaseObject* holder = host::BaseObject::alloc(host::kObjectNull);
    document_->insertObject(holder, root_, nullptr);
    ASSERT_EQ(buildList(list, "Window", 0, holder, 0, c.isBase), talvo::kStatusOk);
    auto* mesh = host::toPolygonObject(holder->getDown());
    ASSERT_NE(mesh, nullptr);
    host::BaseObject* placed = holder;
    if (c.noMaterialsFlag) {
      placed = mesh;
    } else {
      EXPECT_EQ(mesh->getRelPos(), (host::Vector{}));
      EXPECT_EQ(mesh->getRelRot(), (host::Vector{}));
      EXPECT_EQ(mesh->getRelScale(), (host::Vector{1, 1, 1}));
      tools_->placeFromElement(holder, 0, c.holderMirrors);
    }
    const host::Vector o = placed->getRelPos(), s = placed->getRelScale();
    const double h = placed->getRelRot().x;
    EXPECT_NE(h, 0.0);
    const talvo::SceneLoader& scene = *run_->loader;
    ASSERT_EQ(mesh->getPolygonCount(), int32_t(list.size()));
    for (size_t i = 0; i < list.size(); ++i) {
      const host::CPolygon& poly = mesh->getPolygonR()[i];
      const int32_t corners[4] = {poly.a, poly.b, poly.c, poly.d};
      for (int32_t k = 0; k < scene.polygons[size_t(list[i])].vertexCount; ++k) {
        SCOPED_TRACE(testing::Message() << "polygon " << i << " corner " << k);
        const host::Vector p = mesh->getPointR()[corners[k]];
        const double x = p.x * s.x, y = p.y * s.y, z = p.z * s.z;
        const host::Vector back{o.x + x * std::cos(h) + z * std::sin(h), o.y + y,
                                o.z - x * std::sin(h) + z * std::cos(h)};
        const talvo::PointRecord& want = scene.points[size_t(scene.polygons[size_t(list[i])].pointIndex[k])];
        EXPECT_NEAR(back.x, want.x, 1e-9);
        EXPECT_NEAR(back.y, want.y, 1e-9);
        EXPECT_NEAR(back.z, want.z, 1e-9);
      }
    }
    EXPECT_EQ(builder_->instancePolygonsBuilt(), int64_t(list.size()));
    EXPECT_EQ(builder_->mainPolygonsBuilt(), 0);
    clearRoot();
  }
}

TEST_F(PolygonObjects, AnElementsLightsGetANullWhenItHasNoGeometry) {
  load(pairScene());
  ASSERT_TRUE(run_->loader->elements[0].hasLight);
  for (const bool isBase : {false, true}) {
    SCOPED_TRACE(isBase);
    options().instancePass = 1;
    options().noMaterialsFlag = 1;
    prepare();
    ASSERT_EQ(buildList({}, "Window", -1, root_, 0, isBase), talvo::kStatusOk);
    const host::BaseObject* holder = root_->getDown();
    ASSERT_NE(holder, nullptr);
    EXPECT_EQ(holder->getType(), host::kObjectNull);
    EXPECT_EQ(holder->getName(), "Window");
    EXPECT_EQ(holder->getNext(), nullptr);
    // The null of base geometry stays where its instances place it.
    EXPECT_EQ(holder->getRelRot().x != 0.0, !isBase);
    EXPECT_EQ(run_->console, std::vector<std::string>{});
    clearRoot();
  }
}

TEST_F(PolygonObjects, ProgressAndTheCancelCheckComeEvery200ListedPolygons) {
  load(manyTrianglesScene(401));
  std::vector<int32_t> list(401);
  for (int32_t i = 0; i < 401; ++i) list[size_t(i)] = i;
  std::vector<int32_t> percents;
  host::app::setStatusObserver([&](const host::app::StatusBar& bar) { percents.push_back(bar.percent); });
  // Escape held throughout, every question answered No: one question per checkpoint, at
  // list positions 0, 200 and 400 and after the walk.
  prepare();
  host::app::holdKey(61723, 1000);
  ASSERT_EQ(buildList(list, "Many", 0), talvo::kStatusOk);
  EXPECT_EQ(host::app::shownBoxes().size(), 4u);
  percents.erase(std::unique(percents.begin(), percents.end()), percents.end());
  EXPECT_EQ(percents, (std::vector<int32_t>{0, 50, 100}));  // of the 401 polygons stored
  EXPECT_EQ(builder_->mainPolygonsBuilt(), 401);

  // Yes at the third checkpoint: nothing is inserted.
  clearRoot();
  host::app::clearShownBoxes();
  host::app::queueAnswers({7, 7, 6});
  EXPECT_EQ(buildList(list, "Many", 0), talvo::kStatusCancelled);
  EXPECT_EQ(host::app::shownBoxes().size(), 3u);
  EXPECT_EQ(root_->getDown(), nullptr);
  host::app::setStatusObserver(nullptr);
}

TEST_F(PolygonObjects, EveryAllocationFailureEndsWithAStatusAndNoLeak) {
  load(pairScene());
  options().splitByLayer = 1;
  for (int64_t n = 1;; ++n) {
    SCOPED_TRACE(n);
    // A document of its own for each run, freed with all the run put into it.
    const int64_t before = host::app::liveAllocations();
    host::BaseDocument* document = host::BaseDocument::alloc();
    host::BaseObject* root = host::BaseObject::alloc(host::kObjectNull);
    document->insertObject(root, nullptr, nullptr);
    options().targetDocument = document;
    options().updateTarget = root;
    prepare();
    const int64_t count = host::app::allocationCount();
    host::app::failAllocationAt(n);
    const int32_t rc = buildList({0, 1}, "Pair", 0, root, -1, false, "Walls");
    const bool reached = host::app::allocationCount() - count >= n;
    host::app::failAllocationAt(0);
    if (reached) {
      EXPECT_NE(rc, talvo::kStatusOk);
    } else {
      EXPECT_EQ(rc, talvo::kStatusOk);
      EXPECT_NE(root->getDown(), nullptr);
    }
    freeBuilders();
    host::BaseDocument::free(document);
    EXPECT_EQ(host::app::liveAllocations(), before);
    if (!reached) break;
  }
  options().targetDocument = document_;
  options().updateTarget = root_;
}

}  // namespace
