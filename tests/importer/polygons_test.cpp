// Polygon objects made by the builders run directly on a read scene: geometry, UVW tags
// and their texture angle, and the reuse rules of update runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <numbers>

#include "host/app.h"
#include "host/material.h"
#include "host/resource.h"
#include "host/scene.h"
#include "loader_fixture.h"
#include "talvo_import_c4d_hierarchy.h"
#include "talvo_import_c4d_lights.h"
#include "talvo_import_c4d_materials.h"
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
    talvo::ImportOptions& o = run_->options;
    o.noMaterialsFlag = o.createMaterials ? 0 : 1;
    if (!o.createMaterials) o.assignMaterials = 0;
    o.shaderSplitDone = o.splitByMaterial;
    materials_ = std::make_unique<talvo::MaterialBuilder>(*run_->loader, o);
    tables_ = std::make_unique<talvo::IndexTables>(*run_->loader, o);
    lights_ = std::make_unique<talvo::LightBuilder>(*run_->loader, o);
    hierarchy_ = std::make_unique<talvo::HierarchyBuilder>(*run_->loader, o, *materials_, *tables_, *lights_);
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
    const int64_t count = host::app::allocationCount();
    host::app::failAllocationAt(n);
    const int32_t rc = build();
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

}  // namespace
