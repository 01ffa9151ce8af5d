// The object tree of whole imports run through the controller: the grouping levels and
// their names, nulls and host layers, the instance pass, and update runs.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numbers>
#include <sstream>

#include "host/app.h"
#include "host/dialog.h"
#include "host/resource.h"
#include "host/scene.h"
#include "loader_fixture.h"
#include "talvo_import_c4d_controller.h"
#include "talvo_import_c4d_dialog.h"
#include "talvo_import_c4d_tag_nosort.h"
#include "talvo_import_c4d_tag_noupdate.h"
#include "talvo_import_c4d_tag_null.h"
#include "talvo_import_c4d_tag_talvo.h"

namespace {

using namespace talvo_test;

int32_t gadget(const char* option) { return talvo::findOption(option)->key; }

// Two stories, classes and layers; "Wall A" (Ground, Wall, Walls) has two Brick triangles
// sharing an edge, "Window B" (First, Window, Openings) a Glass quadrangle and a Brick
// triangle, "Empty C" nothing. With `library`, three placed elements of the library part
// "Chair" follow, the second mirrored, each with one Brick triangle.
ts::SceneDescription smallScene(bool library = false) {
  ts::SceneDescription d;
  d.shaders = {{.name = "Brick"}, {.name = "Glass"}};
  d.shaderInternals.resize(2);
  d.shaderC4D.resize(2);
  d.stories = {{0, "Ground", {0, 300}}, {1, "First", {300, 300}}};
  d.classes = {{1, "Wall"}, {3, "Window"}};
  d.layers = {{"Walls"}, {"Openings"}};
  d.elements = {{.layerIndex = 0, .classIndex = 0, .storyIndex = 0, .name = "Wall A"},
                {.layerIndex = 1, .classIndex = 1, .storyIndex = 1, .name = "Window B"},
                {.layerIndex = 0, .classIndex = 0, .storyIndex = 0, .name = "Empty C"}};
  d.points = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 5}, {1, 0, 5}, {1, 1, 5}, {0, 1, 5}};
  auto add = [&](int32_t shader, int32_t element, std::vector<int32_t> corners) {
    d.polygons.push_back({.shaderIndex = shader, .elementIndex = element, .pointIndices = corners});
    std::vector<ts::Vec2> uv;
    for (size_t i = 0; i < corners.size(); ++i) uv.push_back({double(i & 1), double(i >> 1)});
    d.uvws.push_back({.uv = uv});
  };
  add(0, 0, {0, 1, 2});
  add(0, 0, {0, 2, 3});
  add(1, 1, {4, 5, 6, 7});
  add(0, 1, {4, 5, 6});
  if (library) {
    for (int i = 0; i < 3; ++i) {
      ts::ElementRecord e{.layerIndex = 1, .classIndex = 1, .storyIndex = 0, .name = "Chair " + std::to_string(i),
                          .placed = true, .libraryName = "Chair"};
      e.position = {10.0 * i, 0, 2};
      e.angle = 90;
      e.size = {2, 1, 1};
      e.baseSize = {1, 1, 1};
      e.mirrored = i == 1;
      d.elements.push_back(e);
      add(0, int32_t(d.elements.size() - 1), {0, 1, 2});
    }
  }
  return d;
}

class Hierarchy : public ::testing::Test {
 protected:
  void SetUp() override {
    // The plug-in's own folder: its dialogs and its companion library.
    host::app::setPluginFolder(TALVO_BINARY_DIR "/plugins/TALVO_import_r16");
    host::app::setDocumentsFolder(temp_.file("documents"));
    ASSERT_TRUE(host::initResource(TALVO_SOURCE_RES_DIR));
    ASSERT_TRUE(talvo::registerTalvoTag() && talvo::registerNewNullTag() && talvo::registerNoSortTag() &&
                talvo::registerNoUpdateTag());
    host::app::setConsoleSink([this](const host::String& line) { console_.push_back(line); });
    document_ = host::BaseDocument::alloc();
    host::insertBaseDocument(document_);
  }
  void TearDown() override {
    controller_.reset();
    host::app::setDialogUser(nullptr);
    host::app::resetDocuments();
    host::app::resetPlugins();
    host::app::reset();
  }

  // Imports the scene with the options set as named (optimizing off, so the counts are
  // those of the builders); `instances` answers the instance dialog.
  int32_t import(const ts::SceneDescription& scene, std::vector<std::pair<const char*, int32_t>> sets,
                 const std::string& instances = "none") {
    const std::string file = temp_.file("House.TALVO");
    if (!ts::writeSceneFile(scene, file)) return -1;
    sets.insert(sets.begin(), {{"optimize", 0}, {"untriangulate", 0}});
    host::app::setDialogUser([=](host::GeModalDialog& dialog) {
      if (dialog.resourceId() == talvo::kInstanceDialogResource) {
        host::userSet(dialog, talvo::kGadgetInstanceChoice, host::HostValue::string(instances));
        host::userPress(dialog, host::kDialogOk);
        return;
      }
      for (const auto& [name, value] : sets) EXPECT_TRUE(host::userSet(dialog, gadget(name), host::HostValue::integer(value))) << name;
      host::userPress(dialog, host::kDialogOk);
    });
    controller_ = std::make_unique<talvo::ImportController>();
    return controller_->runImport(document_, true, host::Filename(file));
  }

  // The tree below the import root, one line per object: indent, name, and for polygon
  // objects their point and polygon counts and their host layer.
  std::string outline(const host::BaseObject* root) const {
    std::ostringstream out;
    std::function<void(const host::BaseObject*, int)> walk = [&](const host::BaseObject* o, int depth) {
      for (; o; o = o->getNext()) {
        out << std::string(size_t(depth) * 2, ' ') << o->getName();
        if (const auto* p = dynamic_cast<const host::PolygonObject*>(o))
          out << " [" << p->getPointCount() << "/" << p->getPolygonCount() << "]";
        if (o->getLayerObject()) out << " @" << o->getLayerObject()->getName();
        out << "\n";
        walk(o->getDown(), depth + 1);
      }
    };
    walk(root->getDown(), 0);
    return out.str();
  }
  std::string outline() const { return outline(root()); }
  host::BaseObject* root() const { return document_->getFirstObject(); }

  TempFolder temp_;
  host::BaseDocument* document_ = nullptr;
  std::vector<std::string> console_;
  std::unique_ptr<talvo::ImportController> controller_;
};

TEST_F(Hierarchy, GroupingCombinations) {
  struct Case {
    const char* what;
    std::vector<std::pair<const char*, int32_t>> sets;
    const char* tree;
  };
  const Case cases[] = {
      {"flat, one object per shader",
       {{"splitByMaterial", 0}, {"splitByLayer", 0}},
       "Glass [4/1]\n"
       "Brick [7/3]\n"},
      {"flat without materials: one object of the host's name",
       {{"splitByMaterial", 0}, {"splitByLayer", 0}, {"createMaterials", 0}},
       "Polygon [8/4]\n"},
      {"flat by story and layer: no nulls, joined names, host layers",
       {{"splitByMaterial", 0}, {"splitByStory", 1}},
       "First :: Openings :: Glass [4/1] @Openings\n"
       "First :: Openings :: Brick [3/1] @Openings\n"
       "Ground :: Walls :: Brick [4/2] @Walls\n"},
      {"shader nulls, each with one object of the host's name",
       {{"splitByLayer", 0}},
       "Glass\n"
       "  Polygon [4/1]\n"
       "Brick\n"
       "  Polygon [7/3]\n"},
      {"shader and story nulls only where the story has the shader",
       {{"splitByLayer", 0}, {"splitByStory", 1}},
       "Glass\n"
       "  First\n"
       "    First :: Glass [4/1]\n"
       "Brick\n"
       "  First\n"
       "    First :: Brick [3/1]\n"
       "  Ground\n"
       "    Ground :: Brick [4/2]\n"},
      {"nulls without materials: the last level makes no null",
       {{"createMaterials", 0}, {"splitByStory", 1}, {"splitByClass", 1}, {"splitByLayer", 0}},
       "First\n"
       "  First :: Window [4/2]\n"
       "Ground\n"
       "  Ground :: Wall [4/2]\n"},
      {"shader nulls with element nulls in their host layers",
       {{"splitByElement", 1}},
       "Glass\n"
       "  Window B @Openings\n"
       "    Openings :: Window B :: Glass [4/1] @Openings\n"
       "Brick\n"
       "  Window B @Openings\n"
       "    Openings :: Window B :: Brick [3/1] @Openings\n"
       "  Wall A @Walls\n"
       "    Walls :: Wall A :: Brick [4/2] @Walls\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    host::app::resetDocuments();
    document_ = host::BaseDocument::alloc();
    host::insertBaseDocument(document_);
    ASSERT_EQ(import(smallScene(), c.sets), talvo::kStatusOk);
    EXPECT_EQ(outline(), c.tree);
  }
}

TEST_F(Hierarchy, InstanceGroupOfThreeMembers) {
  ASSERT_EQ(import(smallScene(true), {{"splitByLayer", 0}}, "instances"), talvo::kStatusOk);
  host::BaseObject* instances = nullptr;
  host::BaseObject* sources = nullptr;
  for (host::BaseObject* o = root()->getDown(); o; o = o->getNext()) {
    if (o->getName() == host::loadString(13003)) instances = o;
    if (o->getName() == host::loadString(13004)) sources = o;
  }
  ASSERT_NE(instances, nullptr);
  ASSERT_NE(sources, nullptr);
  EXPECT_EQ(sources->getEditorMode(), host::kModeOff);
  EXPECT_EQ(sources->getRenderMode(), host::kModeOff);
  EXPECT_NE(instances->getTag(talvo::kTagNoSort), nullptr);
  EXPECT_EQ(outline(sources), "Chair\n  Chair :: Brick [3/1]\n");
  host::BaseObject* base = sources->getDown();
  EXPECT_EQ(base->getRelScale(), (host::Vector{1, 1, 1}));  // stored un-mirrored

  host::BaseObject* group = instances->getDown();
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(group->getName(), "Chair");
  std::vector<std::string> names;
  for (host::BaseObject* i = group->getDown(); i; i = i->getNext()) {
    names.push_back(i->getName());
    EXPECT_EQ(i->getType(), host::kObjectInstance);
    EXPECT_EQ(host::linkedObject(*i->getData().getValue(1001), document_), base);
  }
  // Made from the last to the first, each as the first child: they stand in ascending order.
  EXPECT_EQ(names, (std::vector<std::string>{"Chair :: 0", "Chair :: 1", "Chair :: 2"}));
  const host::BaseObject* mirrored = group->getDown()->getNext();
  EXPECT_EQ(mirrored->getRelScale().x, -2);
  EXPECT_EQ(group->getDown()->getRelScale().x, 2);
  EXPECT_EQ(group->getDown()->getNext()->getNext()->getRelPos().x, 20);
  const std::vector<std::string> created = {"Create Instace: Chair :: 2", "Create Instace: Chair :: 1",
                                            "Create Instace: Chair :: 0"};
  auto at = std::search(console_.begin(), console_.end(), created.begin(), created.end());
  EXPECT_NE(at, console_.end());
  EXPECT_NE(std::find(console_.begin(), console_.end(), "Object number: 0 | Instance number 1"), console_.end());
  // The members are left out of the main pass.
  EXPECT_NE(outline().find("Brick\n  Polygon [7/3]\n"), std::string::npos) << outline();
}

TEST_F(Hierarchy, InstanceGroupAsObjects) {
  ASSERT_EQ(import(smallScene(true), {{"splitByLayer", 0}}, "objects"), talvo::kStatusOk);
  host::BaseObject* objects = nullptr;
  for (host::BaseObject* o = root()->getDown(); o; o = o->getNext())
    if (o->getName() == host::loadString(13002)) objects = o;
  ASSERT_NE(objects, nullptr);
  EXPECT_EQ(outline(objects),
            "Chair\n"
            "  Chair :: 0\n"
            "    Chair :: 0 :: Brick [3/1]\n"
            "  Chair :: 1\n"
            "    Chair :: 1 :: Brick [3/1]\n"
            "  Chair :: 2\n"
            "    Chair :: 2 :: Brick [3/1]\n");
  const host::BaseObject* member = objects->getDown()->getDown();
  EXPECT_EQ(member->getRelPos(), (host::Vector{0, 0, 2}));
  EXPECT_NEAR(member->getRelRot().x, std::numbers::pi / 2, 1e-6);
  // The geometry is stored in the element's frame: the member's placement (scale, then
  // the heading about the vertical axis, then the position) gives the scene's points back.
  const auto* mesh = dynamic_cast<const host::PolygonObject*>(member->getDown());
  ASSERT_NE(mesh, nullptr);
  const host::Vector o = member->getRelPos(), s = member->getRelScale();
  const double h = member->getRelRot().x;
  std::vector<std::array<double, 3>> back;
  for (int32_t i = 0; i < mesh->getPointCount(); ++i) {
    const host::Vector p = mesh->getPointR()[i];
    const double x = p.x * s.x, y = p.y * s.y, z = p.z * s.z;
    back.push_back({std::round(o.x + x * std::cos(h) + z * std::sin(h)), std::round(o.y + y),
                    std::round(o.z - x * std::sin(h) + z * std::cos(h))});
  }
  std::sort(back.begin(), back.end());
  EXPECT_EQ(back, (std::vector<std::array<double, 3>>{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}));
}

}  // namespace
