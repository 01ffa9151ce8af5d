// Document files: saving and loading, damaged files, and undo checked through the JSON.
#include "host/document_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <span>

#include "host/app.h"
#include "host/gradient.h"
#include "host/material.h"
#include "host/plugins.h"
#include "host/scene.h"

namespace {

using namespace host;
namespace fs = std::filesystem;

constexpr int32_t kMarkerTag = 1059001;  // a plug-in tag of the tests
constexpr int32_t kLinkParam = 1006;
constexpr int32_t kMaterialShaderLink = 8006;

class MarkerTag : public TagData {
 public:
  bool init(Container& data) override {
    data.setInt32(1, 7);
    return true;
  }
};

bool registerMarker() {
  return registerTagPlugin(
      kMarkerTag, "Marker", kTagVisible, [] { return new MarkerTag; }, "Tmarker", 0);
}

BaseObject* add(BaseDocument* doc, int32_t type, const char* name, BaseObject* parent = nullptr) {
  BaseObject* o = BaseObject::alloc(type);
  o->setName(name);
  BaseObject* pred = parent ? parent->getDownLast() : nullptr;
  if (!parent)
    for (BaseObject* top = doc->getFirstObject(); top; top = top->getNext()) pred = top;
  doc->insertObject(o, parent, pred);  // as the last child or top-level object
  return o;
}

BaseObject* byName(const BaseDocument* doc, const String& name) {
  for (BaseObject* o : doc->allObjects())
    if (o->getName() == name) return o;
  return nullptr;
}

// A document with a bit of everything:
//   Group (null, layer Walls)        params of every value kind, a forward link to Lamp
//     Box (polygon, layer Inner)     a quad and a triangle, UVW, normals, phong, texture,
//                                    the marker plug-in tag
//     Lamp (light, layer Lights)     a link back to Box, a colour gradient of two knots
//   Rig (null)
//     Camera                         a target tag linking to Aim
//     Aim (null) > Deep (null)
//   Box copy (instance)              a link to Box
// and two materials:
//   Wood     a filter shader over a bitmap shader; links to the filter (a parameter and
//            the colour channel), to Box, and from its bump channel to the bitmap
//   Meadow   a bitmap shader it links; Box's grass tag links Meadow, the texture tag Wood
BaseDocument* makeSampleDocument() {
  BaseDocument* doc = BaseDocument::alloc();
  doc->setDocumentName("House");
  doc->setDocumentPath(Filename("scenes/House.doc"));
  LayerObject* walls = LayerObject::alloc();
  walls->setName("Walls");
  walls->insertUnderLast(doc);
  LayerObject* inner = LayerObject::alloc();
  inner->setName("Inner");
  inner->insertUnderLast(doc, walls);
  LayerObject* lights = LayerObject::alloc();
  lights->setName("Lights");
  lights->insertUnderLast(doc);

  BaseObject* group = add(doc, kObjectNull, "Group");
  BaseObject* box = add(doc, kObjectPolygon, "Box", group);
  BaseObject* lamp = add(doc, kObjectLight, "Lamp", group);
  BaseObject* rig = add(doc, kObjectNull, "Rig");
  BaseObject* camera = add(doc, kObjectCamera, "Camera", rig);
  BaseObject* aim = add(doc, kObjectNull, "Aim", rig);
  add(doc, kObjectNull, "Deep", aim);
  BaseObject* copy = add(doc, kObjectInstance, "Box copy");

  {
    std::unique_ptr<Gradient> gradient = Gradient::alloc();
    gradient->getDataInstance().setInt32(kGradientInterpolation, 2);
    gradient->insertKnot({{1.0, 0.5, 0.25}, 0.75, 0.0, 0.5, 0});
    gradient->insertKnot({{0.0, 0.0, 0.0}, 1.0, 1.0, 0.25, 3});
    lamp->getDataInstance().setValue(100025, HostValue::custom(std::move(gradient)));
  }
  doc->getSettingsInstance().setValue(kDocumentProjectScale,
                                      HostValue::custom(std::make_unique<UnitScaleData>(0.01, 2)));
  doc->getSettingsInstance().setValue(100, linkValue(camera));

  group->setSelected(true);
  group->setLayerObject(walls);
  Container& g = group->getDataInstance();
  g.setInt32(1000, 1);
  g.setReal(1001, 1.0);
  g.setVector(1002, {0.5, -2.0, 1e-9});
  g.setString(1003,
              "K\xC3\xBC"
              "che \"quoted\"");
  g.setFilename(1004, Filename("tex/wood.png"));
  g.setValue(1005, HostValue());
  g.setValue(kLinkParam, linkValue(lamp));
  g.setValue(1007, linkValue(nullptr));

  PolygonObject* mesh = toPolygonObject(box);
  mesh->resizeObject(8, 2);
  for (int32_t i = 0; i < 8; ++i)
    mesh->getPointW()[i] = {double(i & 1), double((i >> 1) & 1), double(i >> 2) + 0.1};
  mesh->getPolygonW()[0] = {0, 1, 3, 2};
  mesh->getPolygonW()[1] = {4, 5, 7, 7};
  box->setRelPos({10.0, 0.0, -3.25});
  box->setEditorMode(kModeOff);
  box->setLayerObject(inner);
  BaseTag* uvw = box->makeTag(kTagUvw);
  uvw->uvws() = {{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}},
                 {{0, 0, 0}, {0.5, 0, 0}, {0.5, 0.5, 0}, {0.5, 0.5, 0}}};
  BaseTag* normals = box->makeTag(kTagNormal);
  normals->normals().assign(8, Vector{0.0, 0.0, 1.0});
  box->makeTag(kTagPhong)->getDataInstance().setReal(1, 0.5235987755982988);
  BaseTag* texture = box->makeTag(kTagTexture);
  texture->setName("Wood");
  texture->getDataInstance().setFilename(1, Filename("tex/wood.png"));
  texture->getDataInstance().setValue(2, linkValue(box));  // a link to the tag's own object
  BaseTag* marker = box->makeTag(kMarkerTag);
  marker->getDataInstance().setInt32(1, 42);
  marker->getDataInstance().setString(2, "kept");

  BaseMaterial* wood = BaseMaterial::alloc(kMaterialStandard);
  wood->setName("Wood");
  BaseShader* filter = BaseShader::alloc(kShaderFilter);
  BaseShader* bitmap = BaseShader::alloc(kShaderBitmap);
  wood->insertShader(filter);
  filter->insertShader(bitmap);
  bitmap->getDataInstance().setFilename(kBitmapShaderFile, Filename("tex/wood.png"));
  filter->getDataInstance().setValue(kFilterShaderLink, linkValue(bitmap));
  wood->getDataInstance().setValue(kMaterialShaderLink, linkValue(filter));
  wood->getDataInstance().setValue(kLinkParam, linkValue(box));
  Container bump;  // set before the colour channel: the file lists channels by id
  bump.setReal(kChannelDataBrightness, 0.5);
  bump.setValue(kChannelDataTexture, linkValue(bitmap));
  wood->getChannel(kChannelBump)->setData(bump);
  Container color;
  color.setVector(kChannelDataColor, {0.8, 0.6, 0.4});
  color.setValue(kChannelDataTexture, linkValue(filter));
  wood->getChannel(kChannelColor)->setData(color);
  doc->insertMaterial(wood);
  BaseMaterial* meadow = BaseMaterial::alloc(kMaterialStandard);
  meadow->setName("Meadow");
  BaseShader* grassBitmap = BaseShader::alloc(kShaderBitmap);
  meadow->insertShader(grassBitmap);
  meadow->getDataInstance().setValue(kMaterialShaderLink, linkValue(grassBitmap));
  doc->insertMaterial(meadow, wood);
  texture->getDataInstance().setValue(kTextureTagMaterial, linkValue(wood));
  texture->setProjectionScale({2.0, 2.0, 1.0});
  texture->setProjectionRotation({0.0, 0.5, 0.0});
  box->makeTag(kTagGrass)->getDataInstance().setValue(kGrassTagMaterial, linkValue(meadow));

  lamp->setRelRot({0.0, -1.5707963267948966, 0.0});
  lamp->setRenderMode(kModeOff);
  lamp->setLayerObject(lights);
  lamp->getDataInstance().setValue(kLinkParam, linkValue(box));
  camera->makeTag(kTagTarget)->getDataInstance().setValue(kLinkParam, linkValue(aim));
  copy->setRelScale({2.0, 2.0, 2.0});
  copy->getDataInstance().setValue(kLinkParam, linkValue(box));
  return doc;
}

class DocumentFile : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(registerMarker());
    dir_ = fs::temp_directory_path() / ("talvo_document_test_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    doc_ = makeSampleDocument();
  }
  void TearDown() override {
    BaseDocument::free(doc_);
    fs::remove_all(dir_);
    app::resetPlugins();
    app::resetDocuments();
    app::reset();
  }
  std::string file(const char* name) const { return (dir_ / name).string(); }
  // Saves and loads the sample document.
  BaseDocument* reload() {
    const std::string path = file("sample.doc");
    EXPECT_TRUE(saveDocument(*doc_, path));
    String error;
    BaseDocument* loaded = loadDocument(path, &error);
    EXPECT_NE(loaded, nullptr) << error;
    return loaded;
  }

  fs::path dir_;
  BaseDocument* doc_ = nullptr;
};

// One fault made in a good document's JSON, and the reason loading it must give.
struct DamageCase {
  const char* what;
  std::function<void(Json&)> mutate;
  const char* error;
};

// Every damaged copy of `good` fails to load with its reason and leaves nothing behind.
void expectDamageFails(const Json& good, std::span<const DamageCase> cases) {
  const int64_t live = app::liveAllocations();
  for (const DamageCase& c : cases) {
    Json json = good;
    c.mutate(json);
    String error;
    BaseDocument* loaded = documentFromJson(json, &error);
    EXPECT_EQ(loaded, nullptr) << c.what;
    EXPECT_NE(error.find(c.error), String::npos) << c.what << ": " << error;
    EXPECT_EQ(app::liveAllocations(), live) << c.what;
    BaseDocument::free(loaded);
  }
}

TEST_F(DocumentFile, SavedDocumentLoadsUnchanged) {
  BaseDocument* loaded = reload();
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(documentToJson(*loaded, true), documentToJson(*doc_, true));
  EXPECT_TRUE(documentsEqual(*loaded, *doc_));

  // Links and layer references name the loaded objects and layers.
  BaseObject* box = byName(loaded, "Box");
  BaseObject* lamp = byName(loaded, "Lamp");
  ASSERT_NE(box, nullptr);
  ASSERT_NE(lamp, nullptr);
  EXPECT_EQ(linkedObject(*lamp->getData().getValue(kLinkParam), loaded), box);
  EXPECT_EQ(linkedObject(*byName(loaded, "Group")->getData().getValue(kLinkParam), loaded), lamp);
  EXPECT_EQ(linkedObject(*byName(loaded, "Box copy")->getData().getValue(kLinkParam), loaded), box);
  EXPECT_EQ(linkedObject(*box->getTag(kTagTexture)->getData().getValue(2), loaded), box);
  const BaseTag* target = byName(loaded, "Camera")->getTag(kTagTarget);
  EXPECT_EQ(linkedObject(*target->getData().getValue(kLinkParam), loaded), byName(loaded, "Aim"));
  EXPECT_EQ(linkedObject(*loaded->getSettings().getValue(100), loaded), byName(loaded, "Camera"));
  ASSERT_NE(box->getLayerObject(), nullptr);
  EXPECT_EQ(box->getLayerObject()->getName(), "Inner");
  EXPECT_EQ(box->getLayerObject()->getUp(), loaded->layers()[0]);
  EXPECT_EQ(loaded->findLayer(box->getLayerObject()->getId()), box->getLayerObject());

  // The gradient keeps its data and its knots in order.
  const Gradient* gradient = getGradient(*lamp->getData().getValue(100025));
  ASSERT_NE(gradient, nullptr);
  EXPECT_EQ(gradient->getData().getInt32(kGradientInterpolation), 2);
  ASSERT_EQ(gradient->knots().size(), 2u);
  EXPECT_EQ(gradient->knots()[0], (GradientKnot{{1.0, 0.5, 0.25}, 0.75, 0.0, 0.5, 0}));
  EXPECT_EQ(gradient->knots()[1], (GradientKnot{{0.0, 0.0, 0.0}, 1.0, 1.0, 0.25, 3}));

  // Integers and reals stay apart; the plug-in tag is made by its plug-in.
  const Container& g = byName(loaded, "Group")->getData();
  EXPECT_EQ(g.getValue(1000)->type(), kValueInteger);
  EXPECT_EQ(g.getValue(1001)->type(), kValueReal);
  const BaseTag* marker = box->getTag(kMarkerTag);
  ASSERT_NE(marker, nullptr);
  EXPECT_NE(marker->getNodeData(), nullptr);
  EXPECT_EQ(marker->getData().getInt32(1), 42);  // the saved value, not the plug-in's default
  EXPECT_EQ(marker->getName(), "Marker");

  // Material and shader links name the loaded materials and shaders.
  ASSERT_EQ(loaded->materials().size(), 2u);
  BaseMaterial* wood = loaded->searchMaterial("Wood");
  BaseMaterial* meadow = loaded->searchMaterial("Meadow");
  ASSERT_NE(wood, nullptr);
  ASSERT_NE(meadow, nullptr);
  ASSERT_EQ(wood->shaders().size(), 1u);
  BaseShader* filter = wood->shaders()[0];
  ASSERT_EQ(filter->children().size(), 1u);
  BaseShader* bitmap = filter->children()[0];
  EXPECT_EQ(filter->getType(), kShaderFilter);
  EXPECT_EQ(bitmap->getType(), kShaderBitmap);
  EXPECT_EQ(linkedShader(*wood->getData().getValue(kMaterialShaderLink), wood), filter);
  EXPECT_EQ(linkedShader(*filter->getData().getValue(kFilterShaderLink), wood), bitmap);
  EXPECT_EQ(linkedShader(*wood->getChannel(kChannelBump)->getData().getValue(kChannelDataTexture), wood),
            bitmap);
  EXPECT_EQ(linkedObject(*wood->getData().getValue(kLinkParam), loaded), box);
  const BaseTag* texture = box->getTag(kTagTexture);
  EXPECT_EQ(linkedMaterial(*texture->getData().getValue(kTextureTagMaterial), loaded), wood);
  EXPECT_EQ(texture->getProjectionScale(), (Vector{2.0, 2.0, 1.0}));
  EXPECT_EQ(texture->getProjectionRotation(), (Vector{0.0, 0.5, 0.0}));
  const BaseTag* grass = box->getTag(kTagGrass);
  ASSERT_NE(grass, nullptr);
  EXPECT_NE(grass->getNodeData(), nullptr);
  EXPECT_EQ(linkedMaterial(*grass->getData().getValue(kGrassTagMaterial), loaded), meadow);
  EXPECT_EQ(linkedShader(*meadow->getData().getValue(kMaterialShaderLink), meadow), meadow->shaders()[0]);
  BaseDocument::free(loaded);
}

// A damaged scene file can bring non-finite numbers into a document; saving must not
// lose the document.
TEST_F(DocumentFile, NonFiniteNumbersSurviveSaveAndLoad) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  BaseObject* box = byName(doc_, "Box");
  box->getDataInstance().setReal(5000, inf);
  box->getDataInstance().setVector(5001, {nan, -inf, 1.0});
  toPolygonObject(box)->getPointW()[0] = {nan, 0.0, -inf};
  BaseDocument* loaded = reload();
  ASSERT_NE(loaded, nullptr);
  const BaseObject* back = byName(loaded, "Box");
  EXPECT_EQ(back->getData().getReal(5000), inf);
  EXPECT_TRUE(std::isnan(back->getData().getVector(5001).x));
  EXPECT_EQ(back->getData().getVector(5001).y, -inf);
  EXPECT_TRUE(std::isnan(toPolygonObject(const_cast<BaseObject*>(back))->getPointR()[0].x));
  EXPECT_EQ(toPolygonObject(const_cast<BaseObject*>(back))->getPointR()[0].z, -inf);
  BaseDocument::free(loaded);
}

TEST_F(DocumentFile, FileTextKeepsValueKindsApart) {
  const std::string path = file("kinds.doc");
  ASSERT_TRUE(saveDocument(*doc_, path));
  std::ifstream in(path);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("\"1000\": 1,"), std::string::npos);
  EXPECT_NE(text.find("\"1001\": 1.0,"), std::string::npos);
  EXPECT_NE(text.find("\"1004\": {\"filename\": \"tex/wood.png\"},"), std::string::npos);
  EXPECT_NE(text.find("\"position\": [10.0, 0.0, -3.25]"), std::string::npos);
  const Json j = Json::parse(text);
  EXPECT_EQ(j["objects"][0]["params"]["1006"], (Json{{"link", 2}}));  // Lamp, third depth first
  EXPECT_EQ(j["objects"][0]["params"]["1007"], (Json{{"link", nullptr}}));
  EXPECT_EQ(j["objects"][0]["layer"], 0);
  EXPECT_EQ(j["objects"][0]["children"][0]["layer"], 1);  // Inner, under Walls
  EXPECT_EQ(j["settings"]["2117"], (Json{{"custom", kCustomUnitScale}, {"scale", 0.01}, {"unit", 2}}));
  EXPECT_NE(text.find("\"1010\": {\"link\": {\"material\": 0}}"), std::string::npos);
}

// Materials come between the layers and the objects; material and shader links name
// their targets by their places in the file.
TEST_F(DocumentFile, MaterialsAreWrittenInDocumentOrder) {
  BaseMaterial* outside = BaseMaterial::alloc(kMaterialStandard);
  doc_->getSettingsInstance().setValue(101, linkValue(outside));  // not in the document
  const Json j = documentToJson(*doc_, false);
  BaseMaterial::free(outside);
  auto keys = [](const Json& object) {
    std::vector<std::string> out;
    for (const auto& [key, value] : object.items()) out.push_back(key);
    return out;
  };
  EXPECT_EQ(keys(j), (std::vector<std::string>{"format", "version", "name", "path", "settings", "layers",
                                               "materials", "objects"}));
  ASSERT_EQ(j["materials"].size(), 2u);
  const Json& wood = j["materials"][0];
  EXPECT_EQ(keys(wood), (std::vector<std::string>{"type", "name", "params", "channels", "shaders"}));
  EXPECT_EQ(wood["type"], kMaterialStandard);
  EXPECT_EQ(wood["name"], "Wood");
  EXPECT_EQ(keys(wood["channels"]), (std::vector<std::string>{"0", "6"}));  // id order, empty ones left out
  EXPECT_EQ(wood["channels"]["0"]["1002"], (Json{{"link", {{"shader", 0}}}}));
  EXPECT_EQ(wood["channels"]["6"]["1002"], (Json{{"link", {{"shader", 1}}}}));
  EXPECT_EQ(wood["params"]["8006"], (Json{{"link", {{"shader", 0}}}}));
  EXPECT_EQ(wood["params"]["1006"], (Json{{"link", 1}}));  // Box
  const Json& filter = wood["shaders"][0];
  EXPECT_EQ(keys(filter), (std::vector<std::string>{"type", "name", "params", "children"}));
  EXPECT_EQ(filter["type"], kShaderFilter);
  EXPECT_EQ(filter["params"]["1001"], (Json{{"link", {{"shader", 1}}}}));
  EXPECT_EQ(filter["children"][0]["type"], kShaderBitmap);
  EXPECT_EQ(filter["children"][0]["children"], Json::array());
  // Shaders are counted over the whole file, material after material.
  const Json& meadow = j["materials"][1];
  EXPECT_EQ(meadow["params"]["8006"], (Json{{"link", {{"shader", 2}}}}));
  EXPECT_EQ(meadow["channels"], Json::object());
  EXPECT_EQ(meadow["shaders"].size(), 1u);
  EXPECT_EQ(j["settings"]["101"], (Json{{"link", nullptr}}));

  // The projection is no geometry: a dump without geometry has it too.
  const Json& tags = j["objects"][0]["children"][0]["tags"];
  const Json& texture = tags[5];
  ASSERT_EQ(texture["type"], kTagTexture);
  EXPECT_EQ(texture["params"]["1010"], (Json{{"link", {{"material", 0}}}}));
  EXPECT_EQ(texture["projectionScale"], Json::parse("[2.0, 2.0, 1.0]"));
  EXPECT_EQ(texture["projectionRotation"], Json::parse("[0.0, 0.5, 0.0]"));
  EXPECT_FALSE(tags[4].contains("projectionScale"));  // the phong tag
  ASSERT_EQ(tags[7]["type"], kTagGrass);
  EXPECT_EQ(tags[7]["params"]["2000"], (Json{{"link", {{"material", 1}}}}));
}

// The host's material merge: a document with the file's materials only, the file checked
// all the same.
TEST_F(DocumentFile, LoadingMaterialsOnlyLeavesTheObjectsOut) {
  const std::string path = file("materials.doc");
  ASSERT_TRUE(saveDocument(*doc_, path));
  String error;
  BaseDocument* loaded = loadDocument(path, &error, kSceneLoadMaterials);
  ASSERT_NE(loaded, nullptr) << error;
  EXPECT_EQ(loaded->getFirstObject(), nullptr);
  EXPECT_TRUE(loaded->layers().empty());
  ASSERT_EQ(loaded->materials().size(), 2u);
  const Json wood0 = documentToJson(*doc_, true)["materials"][0];
  const Json wood1 = documentToJson(*loaded, true)["materials"][0];
  EXPECT_EQ(wood1["channels"], wood0["channels"]);
  EXPECT_EQ(wood1["shaders"], wood0["shaders"]);
  EXPECT_EQ(wood1["params"]["1006"], (Json{{"link", nullptr}}));  // Box stayed in the file
  BaseMaterial* wood = loaded->getFirstMaterial();
  EXPECT_EQ(linkedShader(*wood->getData().getValue(kMaterialShaderLink), wood), wood->shaders()[0]);
  BaseDocument::free(loaded);

  loaded = loadDocument(path, &error, kSceneLoadObjects);
  ASSERT_NE(loaded, nullptr) << error;
  EXPECT_TRUE(loaded->materials().empty());
  EXPECT_EQ(loaded->allObjects().size(), 8u);
  BaseDocument::free(loaded);

  Json damaged = documentToJson(*doc_, true);
  damaged["objects"][1]["type"] = 9999;
  std::ofstream(path, std::ios::trunc) << damaged.dump();
  EXPECT_EQ(loadDocument(path, &error, kSceneLoadMaterials), nullptr);
  EXPECT_NE(error.find("objects[1].type: unknown object type 9999"), String::npos) << error;
}

// Files written before materials were saved have no "materials" field.
TEST_F(DocumentFile, FilesWithoutMaterialsLoadWithNone) {
  Json json = documentToJson(*doc_, true);
  json.erase("materials");
  Json& tags = json["objects"][0]["children"][0]["tags"];
  tags[5]["params"]["1010"] = {{"link", nullptr}};
  tags[7]["params"]["2000"] = {{"link", nullptr}};
  String error;
  BaseDocument* loaded = documentFromJson(json, &error);
  ASSERT_NE(loaded, nullptr) << error;
  EXPECT_TRUE(loaded->materials().empty());
  EXPECT_EQ(loaded->allObjects().size(), 8u);
  BaseDocument::free(loaded);
}

// A plug-in tag whose plug-in is missing is kept with its type, name and parameters.
TEST_F(DocumentFile, PluginTagsSurviveWithoutTheirPlugin) {
  const std::string path = file("plugin.doc");
  ASSERT_TRUE(saveDocument(*doc_, path));
  app::resetPlugins();
  String error;
  BaseDocument* loaded = loadDocument(path, &error);
  ASSERT_NE(loaded, nullptr) << error;
  const BaseTag* marker = byName(loaded, "Box")->getTag(kMarkerTag);
  ASSERT_NE(marker, nullptr);
  EXPECT_EQ(marker->getNodeData(), nullptr);
  EXPECT_EQ(marker->getName(), "Marker");
  EXPECT_EQ(marker->getData().getString(2), "kept");
  EXPECT_TRUE(documentsEqual(*loaded, *doc_));
  BaseDocument::free(loaded);
}

// Every allocation of a load may fail: the load then gives nothing and leaks nothing.
TEST_F(DocumentFile, LoadFailsCleanlyWhenMemoryRunsOut) {
  const Json json = documentToJson(*doc_, true);
  const int64_t live = app::liveAllocations();
  BaseDocument* loaded = nullptr;
  int64_t n = 1;
  for (; n < 1000 && !loaded; ++n) {
    app::failAllocationAt(n);
    String error;
    loaded = documentFromJson(json, &error);
    if (!loaded) {
      EXPECT_NE(error.find("out of memory"), String::npos) << n << ": " << error;
      EXPECT_EQ(app::liveAllocations(), live) << n;
    }
  }
  app::failAllocationAt(0);
  ASSERT_NE(loaded, nullptr);
  EXPECT_GT(n, 20);  // every object, tag and layer was one of them
  EXPECT_TRUE(documentsEqual(*loaded, *doc_));
  BaseDocument::free(loaded);
}

TEST_F(DocumentFile, DamagedDocumentsFailWithTheirReason) {
  const Json good = documentToJson(*doc_, true);
  {
    BaseDocument* control = documentFromJson(good);
    ASSERT_NE(control, nullptr);
    BaseDocument::free(control);
  }
  auto boxOf = [](Json& j) -> Json& { return j["objects"][0]["children"][0]; };
  const DamageCase cases[] = {
      {"foreign JSON",
       [](Json& j) {
         j = Json{{"1000", {{"1", 5}}}};
       },
       "not a document file"},
      {"newer version", [](Json& j) { j["version"] = 2; }, "version: unsupported version 2"},
      {"objects not an array", [](Json& j) { j["objects"] = 5; }, "objects: not an array"},
      {"unknown object type", [](Json& j) { j["objects"][1]["type"] = 9999; },
       "objects[1].type: unknown object type 9999"},
      {"name of the wrong type", [&](Json& j) { boxOf(j)["name"] = 5; },
       "objects[0].children[0].name: not a string"},
      {"short vector",
       [](Json& j) {
         j["objects"][0]["position"] = {1.0, 2.0};
       },
       "objects[0].position: not a vector"},
      {"missing field", [](Json& j) { j["objects"][2].erase("tags"); }, "objects[2]: no field \"tags\""},
      {"link past the objects",
       [](Json& j) {
         j["objects"][0]["params"]["1006"] = {{"link", 8}};
       },
       "objects[0].params.1006: link to object 8, but the file has 8 objects"},
      {"negative link",
       [](Json& j) {
         j["settings"]["100"] = {{"link", -1}};
       },
       "settings.100: link to object -1"},
      {"link of the wrong type",
       [](Json& j) {
         j["objects"][0]["params"]["1006"] = {{"link", "Lamp"}};
       },
       "link to object \"Lamp\""},
      {"layer past the layers", [](Json& j) { j["objects"][0]["layer"] = 3; },
       "objects[0].layer: layer 3, but the file has 3 layers"},
      {"corner past the points",
       [&](Json& j) {
         boxOf(j)["tags"][1]["polygons"][1] = {4, 5, 8, 8};
       },
       "objects[0].children[0].tags[1].polygons[1]: polygon 1 refers to point 8 of 8"},
      {"negative corner", [&](Json& j) { boxOf(j)["tags"][1]["polygons"][0][0] = -1; },
       "polygon 0 refers to point -1 of 8"},
      {"uvw entry with three corners", [&](Json& j) { boxOf(j)["tags"][2]["uvws"][0].erase(3); },
       "tags[2].uvws[0]: not four vectors"},
      {"point tag missing", [&](Json& j) { boxOf(j)["tags"].erase(0); },
       "polygon object without a point tag"},
      {"dump without geometry", [&](Json& j) { j = documentToJson(*doc_, false); },
       "objects[0].children[0].pointCount: 8, but the point tag holds 0 points"},
      {"file name of the wrong type",
       [](Json& j) {
         j["objects"][0]["params"]["1004"] = {{"filename", 5}};
       },
       "objects[0].params.1004: not a value"},
      {"custom data field of the wrong type", [](Json& j) { j["settings"]["2117"]["scale"] = "big"; },
       "settings.2117: not a value"},
      {"unknown custom data",
       [](Json& j) {
         j["objects"][0]["params"]["1005"] = {{"custom", 42}};
       },
       "objects[0].params.1005: not a value"},
      {"gradient knot without its bias",
       [](Json& j) { j["objects"][0]["children"][1]["params"]["100025"]["knots"][1].erase("bias"); },
       "objects[0].children[1].params.100025: not a value"},
      {"gradient knot index past 32 bits",
       [](Json& j) { j["objects"][0]["children"][1]["params"]["100025"]["knots"][0]["index"] = 4294967296; },
       "objects[0].children[1].params.100025: not a value"},
      {"integer past 32 bits", [](Json& j) { j["objects"][0]["params"]["1000"] = 4294967296; },
       "objects[0].params.1000: integer out of range"},
      {"parameter id not a number", [](Json& j) { j["objects"][0]["params"]["x"] = 1; },
       "objects[0].params.x: not a parameter id"},
      {"tag not an object", [](Json& j) { j["objects"][2]["tags"] = {5}; }, "objects[2].tags[0]: not a tag"},
      {"hierarchy too deep",
       [](Json& j) {
         Json chain = j["objects"][2];
         for (int i = 0; i < 1100; ++i) {
           Json parent = j["objects"][2];
           parent["children"] = Json::array({std::move(chain)});
           chain = std::move(parent);
         }
         j["objects"][2] = std::move(chain);
       },
       "nested deeper than 1000"},
  };
  expectDamageFails(good, cases);
}

TEST_F(DocumentFile, DamagedMaterialsFailWithTheirReason) {
  const Json good = documentToJson(*doc_, true);
  auto woodOf = [](Json& j) -> Json& { return j["materials"][0]; };
  auto textureOf = [](Json& j) -> Json& { return j["objects"][0]["children"][0]["tags"][5]; };
  const DamageCase cases[] = {
      {"materials not an array", [](Json& j) { j["materials"] = Json::object(); }, "materials: not an array"},
      {"material not an object", [](Json& j) { j["materials"][1] = 5; }, "materials[1]: not a material"},
      {"unknown material type", [&](Json& j) { woodOf(j)["type"] = 5702; },
       "materials[0].type: unknown material type 5702"},
      {"missing shaders", [](Json& j) { j["materials"][1].erase("shaders"); },
       "materials[1]: no field \"shaders\""},
      {"unknown shader type", [&](Json& j) { woodOf(j)["shaders"][0]["children"][0]["type"] = 5832; },
       "materials[0].shaders[0].children[0].type: unknown shader type 5832"},
      {"shader name of the wrong type", [&](Json& j) { woodOf(j)["shaders"][0]["name"] = 1; },
       "materials[0].shaders[0].name: not a string"},
      {"shader params not a container", [&](Json& j) { woodOf(j)["shaders"][0]["params"] = Json::array(); },
       "materials[0].shaders[0].params: not a container"},
      {"channels not an object", [&](Json& j) { woodOf(j)["channels"] = Json::array(); },
       "materials[0].channels: not an object of channels"},
      {"channel the material lacks", [&](Json& j) { woodOf(j)["channels"]["8"] = Json::object(); },
       "materials[0].channels.8: no channel of the material"},
      {"channel id not a number", [&](Json& j) { woodOf(j)["channels"]["color"] = Json::object(); },
       "materials[0].channels.color: no channel of the material"},
      {"channel data not a container", [&](Json& j) { woodOf(j)["channels"]["0"] = 1; },
       "materials[0].channels.0: not a container"},
      {"material link past the materials",
       [&](Json& j) {
         textureOf(j)["params"]["1010"] = {{"link", {{"material", 2}}}};
       },
       "objects[0].children[0].tags[5].params.1010: link to material 2, but the file has 2 materials"},
      {"shader link past the shaders",
       [&](Json& j) {
         woodOf(j)["params"]["8006"] = {{"link", {{"shader", 3}}}};
       },
       "materials[0].params.8006: link to shader 3, but the file has 3 shaders"},
      {"shader link of the wrong type",
       [&](Json& j) {
         woodOf(j)["params"]["8006"] = {{"link", {{"shader", "Filter"}}}};
       },
       "link to shader \"Filter\""},
      {"link of an unknown kind",
       [](Json& j) {
         j["settings"]["100"] = {{"link", {{"layer", 0}}}};
       },
       "settings.100: link to {\"layer\":0}: no object, material or shader reference"},
      {"texture tag without its projection", [&](Json& j) { textureOf(j).erase("projectionScale"); },
       "objects[0].children[0].tags[5]: no field \"projectionScale\""},
      {"projection rotation of the wrong type",
       [&](Json& j) { textureOf(j)["projectionRotation"] = "level"; },
       "tags[5].projectionRotation: not a vector of three numbers"},
      {"shaders nested too deep",
       [&](Json& j) {
         Json chain = woodOf(j)["shaders"][0]["children"][0];
         for (int i = 0; i < 1100; ++i) {
           Json parent = woodOf(j)["shaders"][0]["children"][0];
           parent["children"] = Json::array({std::move(chain)});
           chain = std::move(parent);
         }
         woodOf(j)["shaders"][0]["children"][0] = std::move(chain);
       },
       "shaders nested deeper than 1000"},
  };
  expectDamageFails(good, cases);
}

TEST_F(DocumentFile, UnreadableFilesFailWithTheirReason) {
  const std::string good = file("good.doc");
  ASSERT_TRUE(saveDocument(*doc_, good));
  std::ifstream in(good, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto write = [&](const char* name, const std::string& bytes) {
    std::ofstream(file(name), std::ios::binary) << bytes;
    return file(name);
  };
  const std::pair<std::string, const char*> cases[] = {
      {file("none.doc"), "cannot open"},
      {write("empty.doc", ""), "malformed JSON at byte 1"},
      {write("half.doc", text.substr(0, text.size() / 2)), "malformed JSON"},
      {write("binary.doc", std::string("\x89PNG\r\n\x1a\n\0\0", 10)), "malformed JSON at byte 1"},
      {write("array.doc", "[1, 2, 3]"), "not a document file"},
  };
  for (const auto& [path, expected] : cases) {
    String error;
    BaseDocument* loaded = loadDocument(path, &error);
    EXPECT_EQ(loaded, nullptr) << path;
    EXPECT_NE(error.find(expected), String::npos) << path << ": " << error;
    BaseDocument::free(loaded);
  }
}

// What an import does inside one undo group, taken back by one doUndo.
TEST_F(DocumentFile, UndoTakesAnImportBack) {
  const Json before = documentToJson(*doc_, true);
  BaseDocument* doc = doc_;
  BaseObject* group = byName(doc, "Group");
  BaseObject* box = byName(doc, "Box");
  BaseObject* lamp = byName(doc, "Lamp");
  BaseObject* camera = byName(doc, "Camera");
  BaseObject* copy = byName(doc, "Box copy");
  BaseObject* aim = byName(doc, "Aim");

  ASSERT_TRUE(doc->startUndo());
  // A new root at the top, with an object of its own under it.
  BaseObject* root = BaseObject::alloc(kObjectNull);
  root->setName("Import");
  doc->insertObject(root, nullptr, nullptr);
  ASSERT_TRUE(doc->addUndo(kUndoNew, root));
  BaseObject* mesh = BaseObject::alloc(kObjectPolygon);
  doc->insertObject(mesh, root, nullptr);
  ASSERT_TRUE(toPolygonObject(mesh)->resizeObject(3, 1));

  // New tags on existing objects; the lamp is changed afterwards too.
  ASSERT_TRUE(doc->addUndo(kUndoNew, box->makeTag(kMarkerTag)));
  ASSERT_TRUE(doc->addUndo(kUndoNew, lamp->makeTag(kTagPhong)));

  // Changes of an existing object and of an existing tag.
  ASSERT_TRUE(doc->addUndo(kUndoChange, lamp));
  lamp->setName("Lamp.1");
  lamp->setRelPos({1.0, 2.0, 3.0});
  lamp->getDataInstance().setValue(kLinkParam, linkValue(root));
  lamp->getDataInstance().setInt32(2000, 5);
  BaseTag* phong = box->getTag(kTagPhong);
  ASSERT_TRUE(doc->addUndo(kUndoChange, phong));
  phong->getDataInstance().setReal(1, 1.0);

  // An existing object moved under the new root: undo must not free it with the root.
  ASSERT_TRUE(doc->addUndo(kUndoChange, copy));
  copy->insertUnderLast(root);

  // An existing object with children deleted.
  ASSERT_TRUE(doc->addUndo(kUndoDelete, aim));
  BaseObject::free(aim);

  // A new layer with a sublayer; objects put into either leave them with the layer.
  LayerObject* layer = LayerObject::alloc();
  layer->setName("Imported");
  layer->insertUnderLast(doc);
  ASSERT_TRUE(doc->addUndo(kUndoNew, layer));
  LayerObject* sublayer = LayerObject::alloc();
  sublayer->insertUnderLast(doc, layer);
  root->setLayerObject(layer);
  mesh->setLayerObject(sublayer);
  camera->setLayerObject(sublayer);
  ASSERT_TRUE(doc->addUndo(kUndoChange, group));
  group->setLayerObject(layer);

  // A new material with a shader, put first and linked from a new texture tag.
  BaseMaterial* material = BaseMaterial::alloc(kMaterialStandard);
  material->insertShader(BaseShader::alloc(kShaderBitmap));
  doc->insertMaterial(material);
  ASSERT_TRUE(doc->addUndo(kUndoNew, material));
  BaseTag* texture = camera->makeTag(kTagTexture);
  texture->getDataInstance().setValue(kTextureTagMaterial, linkValue(material));
  ASSERT_TRUE(doc->addUndo(kUndoNew, texture));
  ASSERT_TRUE(doc->endUndo());

  ASSERT_NE(documentToJson(*doc, true), before);
  ASSERT_TRUE(doc->doUndo());
  EXPECT_EQ(documentToJson(*doc, true), before);
  EXPECT_EQ(camera->getLayerObject(), nullptr);  // not left on the freed sublayer
  EXPECT_EQ(linkedObject(*lamp->getData().getValue(kLinkParam), doc), box);
  EXPECT_EQ(doc->undoGroupCount(), 0);
  EXPECT_FALSE(doc->doUndo());
}

}  // namespace
