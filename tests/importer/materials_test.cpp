// The materials builder over scenes written in code: materials per shader, texture
// extraction, texture tags, and the companion library's mode with its fallbacks.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>

#include "host/app.h"
#include "host/file.h"
#include "host/material.h"
#include "host/plugins.h"
#include "host/resource.h"
#include "host/scene.h"
#include "loader_fixture.h"
#include "talvo_import_c4d_materials.h"

namespace {

using namespace talvo_test;
namespace fs = std::filesystem;

const std::string kSectionLine(55, '-');
const std::vector<uint8_t> kTextureBytes = {0x89, 'P', 'N', 'G', 1, 2, 3, 4, 5};

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A scene with the given shaders (one internal record each unless told otherwise) and
// embedded textures, nothing else.
struct SceneParts {
  std::vector<ts::ShaderRecord> shaders = {};
  std::vector<ts::ShaderInternalRecord> internals = {};
  std::vector<ts::TextureRecord> textures = {};
  std::vector<ts::ParameterSet> parameterSets = {};
  int32_t version = ts::kVersion250;
  int32_t shaderDataLevel = 2;
};

ts::TextureRecord texture(const std::string& path) {
  ts::TextureRecord t;
  t.name = "t";
  t.path = path;
  t.data = kTextureBytes;
  return t;
}

ts::ShaderInternalRecord internal(const std::string& textureName = "") {
  ts::ShaderInternalRecord r;
  r.present = true;
  r.textureName = textureName;
  return r;
}

// One read scene, an options record at the factory defaults and a target document;
// the builder is made by prepare().
class Materials : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host::initResource(TALVO_SOURCE_RES_DIR));
    host::app::setPluginFolder(temp_.file("plugin"));
    host::app::setDocumentsFolder(temp_.file("documents"));
    document_ = host::BaseDocument::alloc();
    host::insertBaseDocument(document_);
  }
  void TearDown() override {
    builder_.reset();
    run_.reset();
    host::app::resetDocuments();
    host::app::resetPlugins();
    host::app::reset();
  }

  void load(const SceneParts& parts, const std::string& sceneFolder = "scene") {
    ts::SceneDescription scene;
    scene.header.version = parts.version;
    scene.info.shaderDataLevel = parts.shaderDataLevel;
    scene.shaders = parts.shaders;
    scene.shaderInternals = parts.internals;
    if (scene.shaderInternals.empty())
      for (size_t i = 0; i < parts.shaders.size(); ++i) scene.shaderInternals.push_back(internal());
    scene.textures = parts.textures;
    scene.shaderC4D = parts.parameterSets;
    if (parts.version >= ts::kVersion220 && scene.shaderC4D.empty()) scene.shaderC4D.resize(parts.shaders.size());
    fs::create_directories(temp_.path() / sceneFolder);
    const std::string path = (temp_.path() / sceneFolder / "House.TALVO").string();
    ASSERT_TRUE(ts::writeSceneFile(scene, path));
    run_.reset();  // its console sink goes with it
    run_ = std::make_unique<LoaderRun>(path);
    talvo::resetToDefaults(run_->options);
    run_->options.sceneFilePath = host::Filename(path);
    run_->options.targetDocument = document_;
    ASSERT_EQ(run_->run(), talvo::kStatusOk);
  }

  talvo::ImportOptions& options() { return run_->options; }
  std::vector<std::string>& console() { return run_->console; }

  void prepare() {
    builder_ = std::make_unique<talvo::MaterialBuilder>(*run_->loader, run_->options);
    run_->console.clear();
    ASSERT_EQ(builder_->prepareMaterials(), talvo::kStatusOk);
  }

  // A null object in the document that the texture tag goes on.
  host::BaseObject* object(const char* name = "Null") {
    host::BaseObject* o = host::BaseObject::alloc(host::kObjectNull);
    o->setName(name);
    document_->insertObject(o, nullptr, nullptr);
    return o;
  }

  host::BaseMaterial* tagMaterial(const host::BaseObject* o) const {
    const host::BaseTag* tag = o->getTag(host::kTagTexture);
    return tag ? host::linkedMaterial(*tag->getData().getValue(host::kTextureTagMaterial), document_) : nullptr;
  }

  bool printed(const std::string& line) const {
    return std::find(run_->console.begin(), run_->console.end(), line) != run_->console.end();
  }

  // The plug-in folder where the importer looks for its companion library.
  fs::path melangeFolder() const { return temp_.path() / "plugin" / "melange"; }

  TempFolder temp_;
  host::BaseDocument* document_ = nullptr;
  std::unique_ptr<LoaderRun> run_;
  std::unique_ptr<talvo::MaterialBuilder> builder_;
};

TEST_F(Materials, OneMaterialPerShaderAndTheUsersOwnIsUsedUnchanged) {
  load({.shaders = {{.name = "Brick", .color = {0.5, 0.25, 0.125}}, {.name = "Glass"}}});
  host::BaseMaterial* users = host::BaseMaterial::alloc(host::kMaterialStandard);
  users->setName("Glass");
  users->getDataInstance().setInt32(4242, 7);
  document_->insertMaterial(users);
  prepare();
  options().undo = 1;
  document_->startUndo();

  host::BaseObject* a = object("A");
  host::BaseObject* b = object("B");
  host::BaseObject* c = object("C");
  ASSERT_EQ(builder_->applyShaderTextureTag(a, 0), talvo::kStatusOk);
  ASSERT_EQ(builder_->applyShaderTextureTag(b, 0), talvo::kStatusOk);
  ASSERT_EQ(builder_->applyShaderTextureTag(c, 1), talvo::kStatusOk);
  // An object with a texture tag keeps it.
  ASSERT_EQ(builder_->applyShaderTextureTag(c, 0), talvo::kStatusOk);
  document_->endUndo();

  ASSERT_EQ(document_->materials().size(), 2u);
  host::BaseMaterial* brick = document_->searchMaterial("Brick");
  ASSERT_NE(brick, nullptr);
  EXPECT_EQ(tagMaterial(a), brick);
  EXPECT_EQ(tagMaterial(b), brick);
  EXPECT_EQ(tagMaterial(c), users);
  EXPECT_EQ(c->tags().size(), 1u);
  EXPECT_EQ(brick->getChannel(host::kChannelColor)->getData().getVector(host::kChannelDataColor),
            (host::Vector{0.5, 0.25, 0.125}));
  EXPECT_EQ(brick->getData().getInt32(1134, -1), 0);
  EXPECT_EQ(brick->updateCount(), 1);
  EXPECT_EQ(users->getData().size(), 1u);
  EXPECT_EQ(users->updateCount(), 0);
  EXPECT_EQ(a->getTag(host::kTagTexture)->getData().getInt32(host::kTextureTagProjection), 6);
  // The material made is one undo step; the user's stays.
  ASSERT_TRUE(document_->doUndo());
  EXPECT_EQ(document_->searchMaterial("Brick"), nullptr);
  EXPECT_EQ(document_->searchMaterial("Glass"), users);
}

TEST_F(Materials, TextureTagSizesAndRotation) {
  struct Case {
    const char* what;
    bool mirrorX, mirrorY;
    double width, height, scale;
    double lengthX, lengthY;
    host::Vector projection;
  };
  const Case cases[] = {
      {"plain", false, false, 200, 50, 1.0, 200, 50, {1 / 200.0, 1 / 200.0, 1 / 50.0}},
      {"mirrored in x", true, false, 200, 50, 1.0, -200, 50, {-1 / 200.0, -1 / 200.0, 1 / 50.0}},
      {"mirrored in y", false, true, 200, 50, 1.0, 200, -50, {1 / 200.0, 1 / 200.0, -1 / 50.0}},
      {"scaled", false, false, 200, 50, 0.01, 200, 50, {1 / 2.0, 1 / 2.0, 1 / 0.5}},
      // A tile without width leaves the host's sizes; nothing is divided by zero.
      {"no width", false, false, 0, 50, 1.0, 1, 1, {1, 1, 1}},
      {"no height", true, false, 200, 0, 1.0, 1, 1, {1, 1, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ts::ShaderInternalRecord r = internal();
    r.flagC = c.mirrorX;
    r.flagD = c.mirrorY;
    r.textureWidth = c.width;
    r.textureHeight = c.height;
    r.angle = 30;  // degrees in the file, turned and negated by the reader
    load({.shaders = {{.name = c.what}}, .internals = {r}});
    options().scale = c.scale;
    prepare();
    host::BaseObject* o = object();
    ASSERT_EQ(builder_->applyShaderTextureTag(o, 0), talvo::kStatusOk);
    const host::BaseTag* tag = o->getTag(host::kTagTexture);
    EXPECT_DOUBLE_EQ(tag->getData().getReal(host::kTextureTagLengthX), c.lengthX);
    EXPECT_DOUBLE_EQ(tag->getData().getReal(host::kTextureTagLengthY), c.lengthY);
    EXPECT_DOUBLE_EQ(tag->getProjectionScale().x, c.projection.x);
    EXPECT_DOUBLE_EQ(tag->getProjectionScale().y, c.projection.y);
    EXPECT_DOUBLE_EQ(tag->getProjectionScale().z, c.projection.z);
    const double angle = run_->loader->shaderInternals[0].angle;
    EXPECT_NEAR(std::fabs(angle), std::numbers::pi / 6, 1e-6);
    EXPECT_EQ(tag->getProjectionRotation(), (host::Vector{0, 0, -angle}));
    EXPECT_EQ(builder_->textureAngle(0), angle);
    builder_.reset();
    host::app::resetDocuments();
    document_ = host::BaseDocument::alloc();
    host::insertBaseDocument(document_);
  }
}

TEST_F(Materials, TexturesGoToTexBesideTheSceneFileAndAreWrittenOnce) {
  load({.shaders = {{.name = "Wood"}, {.name = "Oak"}},
        .internals = {internal("wood.png"), internal("WOOD")},  // by path, and by title in any case
        .textures = {texture("wood.png")}});
  prepare();
  const fs::path folder = temp_.path() / "scene" / "tex";
  EXPECT_EQ(console(), (std::vector<std::string>{"Not found previous texture path", kSectionLine,
                                                 "Internal Engine Material Mode!", kSectionLine,
                                                 "Project texture path:" + folder.string()}));
  host::BaseObject* a = object();
  ASSERT_EQ(builder_->applyShaderTextureTag(a, 0), talvo::kStatusOk);
  EXPECT_EQ(readFile(folder / "wood.png"), std::string(kTextureBytes.begin(), kTextureBytes.end()));
  EXPECT_TRUE(printed("Material Use texture: wood.png"));
  const host::Container colour = tagMaterial(a)->getChannel(host::kChannelColor)->getData();
  EXPECT_EQ(colour.getFilename(host::kChannelDataTexture).string(), "wood.png");
  EXPECT_EQ(colour.getFilename(host::kChannelDataSuggestedFolder).string(), folder.string());

  // A file that is there is not written again.
  std::ofstream(folder / "wood.png", std::ios::trunc) << "the user's own";
  ASSERT_EQ(builder_->applyShaderTextureTag(object(), 1), talvo::kStatusOk);
  EXPECT_EQ(readFile(folder / "wood.png"), "the user's own");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

TEST_F(Materials, ASavedDocumentKeepsItsTexturesInItsOwnFolder) {
  load({.shaders = {{.name = "Wood"}}, .internals = {internal("wood.png")}, .textures = {texture("wood.png")}});
  document_->setDocumentPath(host::Filename(temp_.file("project")));
  options().textureFolder = host::Filename("");
  prepare();
  EXPECT_FALSE(printed("Not found previous texture path"));
  ASSERT_EQ(builder_->applyShaderTextureTag(object(), 0), talvo::kStatusOk);
  EXPECT_TRUE(fs::exists(temp_.path() / "project" / "tex" / "wood.png"));

  // A texture folder of the user's own stays; one that cannot be made falls back to tex.
  builder_.reset();
  fs::remove_all(temp_.path() / "project" / "tex");
  std::ofstream(temp_.file("blocker")) << "a file, not a folder";
  options().textureFolder = host::Filename(temp_.file("blocker") + "/maps");
  prepare();
  EXPECT_TRUE(printed("Project texture path:" + temp_.file("blocker") + "/maps"));
  host::app::resetDocuments();
  document_ = host::BaseDocument::alloc();
  document_->setDocumentPath(host::Filename(temp_.file("project")));
  host::insertBaseDocument(document_);
  options().targetDocument = document_;
  ASSERT_EQ(builder_->applyShaderTextureTag(object(), 0), talvo::kStatusOk);
  EXPECT_TRUE(printed("Texture Location Changed:" + temp_.file("project") + "/tex"));
  EXPECT_TRUE(fs::exists(temp_.path() / "project" / "tex" / "wood.png"));
}

TEST_F(Materials, TextureNamesNeverLeaveTheTextureFolder) {
  struct Case {
    const char* what;
    std::string recordPath;
    std::string textureName;
    int32_t status;
    std::string file;  // written into tex, "" for none
  };
  const Case cases[] = {
      {"plain name", "wood.png", "wood.png", talvo::kStatusOk, "wood.png"},
      {"folders", "maps/old/wood.png", "maps/old/wood.png", talvo::kStatusOk, "wood.png"},
      {"windows path with drive", "C:\\maps\\wood.png", "wood", talvo::kStatusOk, "wood.png"},
      {"drive without folder", "D:wood.png", "D:wood.png", talvo::kStatusOk, "wood.png"},
      {"parent folder", "../../wood.png", "../../wood.png", talvo::kStatusOk, "wood.png"},
      {"root", "/etc/wood.png", "/etc/wood.png", talvo::kStatusOk, "wood.png"},
      {"only dots", "..", "..", talvo::kStatusOk, ""},
      {"ends in a separator", "maps/", "maps/", talvo::kStatusOk, ""},
      {"no texture of that name", "wood.png", "stone.png", talvo::kStatusMaterial, ""},
      {"no texture name", "wood.png", "", talvo::kStatusOk, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(temp_.path() / "scene");
    load({.shaders = {{.name = "S"}}, .internals = {internal(c.textureName)}, .textures = {texture(c.recordPath)}});
    prepare();
    host::BaseObject* o = object();
    EXPECT_EQ(builder_->applyShaderTextureTag(o, 0), c.status);
    const fs::path tex = temp_.path() / "scene" / "tex";
    std::vector<std::string> written;
    for (const auto& e : fs::recursive_directory_iterator(temp_.path() / "scene"))
      if (e.is_regular_file() && e.path().filename() != "House.TALVO") written.push_back(e.path().string());
    if (c.file.empty()) {
      EXPECT_TRUE(written.empty());
    } else {
      EXPECT_EQ(written, (std::vector<std::string>{(tex / c.file).string()}));
    }
    if (c.status == talvo::kStatusOk) {
      const host::Container colour = tagMaterial(o)->getChannel(host::kChannelColor)->getData();
      EXPECT_EQ(colour.getFilename(host::kChannelDataTexture).string(), c.file);
    }
    EXPECT_FALSE(fs::exists(temp_.path() / "wood.png"));
    builder_.reset();
    host::app::resetDocuments();
    document_ = host::BaseDocument::alloc();
    host::insertBaseDocument(document_);
  }
}

TEST_F(Materials, AFailedTextureWriteLeavesNoFile) {
  load({.shaders = {{.name = "S"}}, .internals = {internal("wood.png")}, .textures = {texture("wood.png")}});
  prepare();
  // A folder in the way of the file: the write fails, and no part of it stays.
  fs::create_directories(temp_.path() / "scene" / "tex" / "wood.png.part" / "x");
  EXPECT_EQ(builder_->applyShaderTextureTag(object(), 0), talvo::kStatusMaterial);
  EXPECT_FALSE(fs::exists(temp_.path() / "scene" / "tex" / "wood.png"));
}

TEST_F(Materials, BumpAndAlphaChannels) {
  ts::ShaderInternalRecord both = internal("wood.png");
  both.flagA = true;
  both.flagB = true;
  both.hasExtras = true;
  both.extras = {0.5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0.3, 0.2, 0.1};
  // Without extras every extra reads as 0.
  ts::ShaderInternalRecord plain = both;
  plain.hasExtras = false;
  load({.shaders = {{.name = "Both"}, {.name = "Plain"}}, .internals = {both, plain}, .textures = {texture("wood.png")}});
  prepare();
  host::BaseObject* a = object();
  host::BaseObject* b = object();
  ASSERT_EQ(builder_->applyShaderTextureTag(a, 0), talvo::kStatusOk);
  ASSERT_EQ(builder_->applyShaderTextureTag(b, 1), talvo::kStatusOk);
  const std::string folder = (temp_.path() / "scene" / "tex").string();

  for (host::BaseObject* o : {a, b}) {
    host::BaseMaterial* m = tagMaterial(o);
    SCOPED_TRACE(m->getName());
    const host::Container& p = m->getData();
    for (int32_t channel : {host::kChannelColor, host::kChannelAlpha}) {
      const host::Container data = m->getChannel(channel)->getData();
      EXPECT_EQ(data.getFilename(host::kChannelDataTexture).string(), "wood.png");
      EXPECT_EQ(data.getFilename(host::kChannelDataSuggestedFolder).string(), folder);
    }
    EXPECT_EQ(p.getInt32(2007), 1);
    EXPECT_EQ(p.getInt32(1014), 1);
    ASSERT_EQ(m->shaders().size(), 1u);
    host::BaseShader* filter = m->shaders()[0];
    EXPECT_EQ(filter->getType(), host::kShaderFilter);
    EXPECT_EQ(host::linkedShader(*p.getValue(8006), m), filter);
    EXPECT_EQ(filter->getData().getInt32(host::kFilterShaderMode), 1);
    ASSERT_EQ(filter->children().size(), 1u);
    host::BaseShader* bitmap = filter->children()[0];
    EXPECT_EQ(bitmap->getType(), host::kShaderBitmap);
    EXPECT_EQ(host::linkedShader(*filter->getData().getValue(host::kFilterShaderLink), m), bitmap);
    EXPECT_EQ(bitmap->getData().getFilename(host::kBitmapShaderFile).string(), folder + "/wood.png");
  }
  EXPECT_EQ(tagMaterial(a)->getData().getInt32(2008, -1), 1);
  EXPECT_EQ(tagMaterial(b)->getData().getInt32(2008, -1), 0);
  EXPECT_DOUBLE_EQ(tagMaterial(a)->getData().getReal(1009), -0.4);
  EXPECT_DOUBLE_EQ(tagMaterial(b)->getData().getReal(1009), 0.4);
  EXPECT_EQ(tagMaterial(b)->getData().getValue(2300), nullptr);
}

TEST_F(Materials, ExtraParametersInTheirOrder) {
  struct Case {
    const char* what;
    std::array<double, 13> extras;
    std::vector<int32_t> ids;
  };
  const Case cases[] = {
      {"everything on, reflection as environment",
       {0.5, 0, 0.25, 0.1, 0.2, 0.3, 1, 1, 0.2, 0.6, 0.4, 0.5, 0.6},
       {1134, 1002, 1000, 1001, 2002, 2300, 2301, 2003, 1005, 2400, 2401, 2004, 2501, 2500, 2009, 1016, 1017, 3100}},
      {"everything off", {}, {1134, 2300, 2301, 2400, 2401, 2501, 2500, 2009, 1016, 1017, 2010, 3100}},
      {"weak environment", {0, 0, 0, 0, 0, 0, 0, 0, 0.4, 0.3, 0, 0, 0},
       {1134, 1001, 2300, 2301, 2400, 2401, 2501, 2500, 2009, 1016, 1017, 2010, 3100}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ts::ShaderInternalRecord r = internal();
    r.hasExtras = true;
    r.extras = c.extras;
    load({.shaders = {{.name = "S", .color = {0.1, 0.2, 0.3}}}, .internals = {r}});
    prepare();
    host::BaseObject* o = object();
    ASSERT_EQ(builder_->applyShaderTextureTag(o, 0), talvo::kStatusOk);
    const host::Container& p = tagMaterial(o)->getData();
    std::vector<int32_t> ids;
    for (const auto& [id, value] : p.entries()) ids.push_back(id);
    EXPECT_EQ(ids, c.ids);
    const double* e = run_->loader->shaderInternals[0].extras;  // as read, in single precision
    EXPECT_EQ(p.getVector(2300), (host::Vector{e[3], e[4], e[5]}));
    const double* colour = run_->loader->shaders[0].color;
    EXPECT_EQ(p.getVector(2400), (host::Vector{colour[0], colour[1], colour[2]}));
    EXPECT_NEAR(p.getReal(2501), e[9] / 3, 1e-6);
    EXPECT_NEAR(p.getReal(1016), 1 - std::tan(e[9]), 1e-6);
    EXPECT_EQ(p.getVector(3100), p.getVector(2500));
    builder_.reset();
    host::app::resetDocuments();
    document_ = host::BaseDocument::alloc();
    host::insertBaseDocument(document_);
  }
}

TEST_F(Materials, EngineModeFollowsTheShaderData) {
  struct Case {
    const char* what;
    int32_t version, level;
    bool allInternals;
    int32_t mode;
  };
  const Case cases[] = {
      {"2.10 with every internal record", ts::kVersion210, 0, true, 2},
      {"2.10 with one missing", ts::kVersion210, 0, false, 1},
      {"2.50 level 1", ts::kVersion250, 1, true, 1},
      {"2.50 level 2", ts::kVersion250, 2, true, 2},
      {"2.50 level 3 without the library", ts::kVersion250, 3, true, 2},
      {"2.50 level 2, one missing", ts::kVersion250, 2, false, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SceneParts parts{.shaders = {{.name = "A"}, {.name = "B"}}, .version = c.version, .shaderDataLevel = c.level};
    parts.internals = {internal(), internal()};
    if (!c.allInternals) parts.internals.pop_back();
    load(parts);
    prepare();
    EXPECT_EQ(builder_->engineMode(), c.mode);
    EXPECT_EQ(printed("Internal Engine Material Mode!"), c.mode == 2);
    // A shader without texture and extras gets the colour only, in every mode.
    host::BaseObject* o = object();
    ASSERT_EQ(builder_->applyShaderTextureTag(o, 1), talvo::kStatusOk);
    EXPECT_EQ(tagMaterial(o)->getData().size(), 1u);
    builder_.reset();
  }
}

TEST_F(Materials, EveryAllocationFailureEndsWithItsStatusAndNoLeak) {
  ts::ShaderInternalRecord r = internal("wood.png");
  r.flagA = true;
  r.flagB = true;
  load({.shaders = {{.name = "S"}}, .internals = {r}, .textures = {texture("wood.png")}});
  for (int64_t n = 1;; ++n) {
    SCOPED_TRACE(n);
    host::app::resetDocuments();
    const int64_t before = host::app::liveAllocations();
    document_ = host::BaseDocument::alloc();
    host::insertBaseDocument(document_);
    options().targetDocument = document_;
    prepare();
    host::BaseObject* o = object();
    const int64_t count = host::app::allocationCount();
    host::app::failAllocationAt(n);
    const int32_t rc = builder_->applyShaderTextureTag(o, 0);
    const bool reached = host::app::allocationCount() - count >= n;
    host::app::failAllocationAt(0);
    EXPECT_TRUE(rc == talvo::kStatusOk || rc == talvo::kStatusMaterial || rc == talvo::kStatusTextureTag) << rc;
    builder_.reset();
    host::app::resetDocuments();
    document_ = nullptr;
    EXPECT_EQ(host::app::liveAllocations(), before);
    if (!reached) {
      EXPECT_EQ(rc, talvo::kStatusOk);
      EXPECT_GT(n, 4) << "the sweep should pass the material, its shaders and the tag";
      break;
    }
  }
}

// ---------------------------------------------------------------------------------------
// The companion library's mode

ts::ParameterSet parameters(std::vector<ts::ParameterEntry> entries) {
  ts::ParameterSet set;
  set.entries = std::move(entries);
  return set;
}

class LibraryMaterials : public Materials {
 protected:
  // Brick has a full texture size; Lawn is grass with only its version keys; Plain has
  // no recognised parameters.
  void loadLibraryScene() {
    ts::ShaderInternalRecord brick = internal("wood.png");
    brick.angle = 30;
    load({.shaders = {{.name = "Brick"}, {.name = "Plain"}, {.name = "Lawn"}},
          .internals = {brick, internal(), internal()},
          .textures = {texture("maps/wood.png")},
          .parameterSets = {parameters(
                                {realEntry("C4D_VER_MAIN", 1), realEntry("C4D_VER_SUB", 2),
                                 realEntry("C4D_CHSIZE_HORSIZE", 200), realEntry("C4D_CHSIZE_VERSIZE", 100),
                                 realEntry("C4D_CHSIZE_DEPSIZE", 10), realEntry("C4D_CHSIZE_ANGLE", 90),
                                 realEntry("C4D_CHSIZE_KEEPPROP", 1), realEntry("C4D_CHSIZE_RANDORIG", 0),
                                 realEntry("C4D_CHCOL_R", 1), realEntry("C4D_CHCOL_G", 0.5),
                                 realEntry("C4D_CHCOL_B", 0), textEntry("C4D_SHIMAGE_FILE_1", "wood"),
                                 realEntry("C4D_CHCOL_TEXTURE", 1)}),
                            parameters({}),
                            parameters({realEntry("C4D_VER_MAIN", 1), realEntry("C4D_CHGRA_STATE", 1),
                                        realEntry("C4D_CHGRA_R", 0), realEntry("C4D_CHGRA_G", 1),
                                        realEntry("C4D_CHGRA_B", 0)})},
          .shaderDataLevel = 3});
  }
};

TEST_F(LibraryMaterials, MaterialsComeFromTheLibrary) {
  host::app::setPluginFolder(TALVO_BINARY_DIR "/plugins/TALVO_import_r16");
  loadLibraryScene();
  prepare();
  ASSERT_EQ(builder_->engineMode(), 3);
  EXPECT_TRUE(printed("Dll path: " TALVO_BINARY_DIR "/plugins/TALVO_import_r16/melange/TALVO_melange_v16.so"));
  EXPECT_TRUE(printed("CreateMaterialFile: success"));
  EXPECT_TRUE(printed("C4D Engine Material Mode!"));
  EXPECT_FALSE(printed("Internal Engine Material Mode!"));
  EXPECT_TRUE(fs::exists(temp_.path() / "documents" / "TalvoTempFolder" / "House_Talvo_Materials_v16.c4d"));

  // The angle is settled before any tag, and stays.
  ASSERT_TRUE(builder_->textureAngle(0).has_value());
  EXPECT_NEAR(*builder_->textureAngle(0), std::numbers::pi / 2, 1e-6);
  host::BaseObject* a = object();
  host::BaseObject* b = object();
  ASSERT_EQ(builder_->applyShaderTextureTag(a, 0), talvo::kStatusOk);
  ASSERT_EQ(builder_->applyShaderTextureTag(b, 0), talvo::kStatusOk);
  EXPECT_NEAR(*builder_->textureAngle(0), std::numbers::pi / 2, 1e-6);

  host::BaseMaterial* brick = document_->searchMaterial("Brick");
  ASSERT_NE(brick, nullptr);
  EXPECT_EQ(tagMaterial(a), brick);
  EXPECT_EQ(tagMaterial(b), brick);
  const host::Container colour = brick->getChannel(host::kChannelColor)->getData();
  EXPECT_EQ(colour.getVector(host::kChannelDataColor), (host::Vector{1, 0.5, 0}));
  EXPECT_EQ(colour.getFilename(host::kChannelDataTexture).string(), "wood.png");
  EXPECT_EQ(brick->getData().getValue(1134), nullptr);  // none of the internal material's parameters
  // The image was extracted while the parameters were read.
  EXPECT_TRUE(fs::exists(temp_.path() / "scene" / "tex" / "wood.png"));
  const host::BaseTag* tag = a->getTag(host::kTagTexture);
  EXPECT_DOUBLE_EQ(tag->getData().getReal(host::kTextureTagLengthX), 200);
  EXPECT_DOUBLE_EQ(tag->getData().getReal(host::kTextureTagLengthY), 100);
  EXPECT_EQ(tag->getProjectionScale(), (host::Vector{1, 1, 1}));
  EXPECT_NEAR(tag->getProjectionRotation().z, std::numbers::pi / 2, 1e-6);

  // A shader without recognised parameters gets the internal material, without a warning.
  host::BaseObject* c = object();
  ASSERT_EQ(builder_->applyShaderTextureTag(c, 1), talvo::kStatusOk);
  EXPECT_EQ(tagMaterial(c)->getData().getInt32(1134, -1), 0);
  EXPECT_FALSE(printed("Warning: Import C4D material failed, use internal material"));

  // Grass: a grass tag linking the library's grass material, which the texture tag takes too.
  host::BaseObject* d = object();
  ASSERT_EQ(builder_->applyShaderTextureTag(d, 2), talvo::kStatusOk);
  ASSERT_EQ(d->tags().size(), 2u);
  EXPECT_EQ(d->tags()[0]->getType(), host::kTagGrass);
  EXPECT_EQ(d->tags()[1]->getType(), host::kTagTexture);
  host::BaseMaterial* grass = host::linkedMaterial(*d->tags()[0]->getData().getValue(host::kGrassTagMaterial), document_);
  ASSERT_NE(grass, nullptr);
  EXPECT_EQ(grass->getName(), "Lawn");
  EXPECT_EQ(grass->getChannel(host::kChannelColor)->getData().getVector(host::kChannelDataColor),
            (host::Vector{0, 1, 0}));
  EXPECT_EQ(tagMaterial(d), grass);
  // Without the size keys no angle applies and the tag keeps the host's sizes.
  EXPECT_FALSE(builder_->textureAngle(2).has_value());
  EXPECT_DOUBLE_EQ(d->tags()[1]->getData().getReal(host::kTextureTagLengthX), 1);
}

TEST_F(LibraryMaterials, WithoutTheGrassModuleTheShadersMaterialIsUsed) {
  host::app::setPluginFolder(TALVO_BINARY_DIR "/plugins/TALVO_import_r16");
  ASSERT_TRUE(host::app::removePlugin(host::kTagGrass, host::kPluginTag));
  loadLibraryScene();
  prepare();
  host::BaseObject* d = object();
  ASSERT_EQ(builder_->applyShaderTextureTag(d, 2), talvo::kStatusOk);
  ASSERT_EQ(d->tags().size(), 1u);
  EXPECT_EQ(tagMaterial(d), document_->searchMaterial("Lawn"));
}

TEST_F(LibraryMaterials, ALibraryThatCannotServeLeavesTheInternalMode) {
  struct Case {
    const char* variant;  // a fake library's folder, or none at all
    std::string line;     // the console line that says why (a prefix)
  };
  const Case cases[] = {
      {"missing", "Error: Dll file not exist"},
      {"wrong_dll_version", "Different DLL version"},
      {"wrong_compiler", "Different Compiler version"},
      {"wrong_platform", "Different Platform version"},
      {"no_platform", "Talvo failed to get platform: ["},
      {"no_create", "Talvo failed to get Create Materials: ["},
      {"create_fails", "Talvo failed to Create Melange Materials"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.variant);
    host::app::setPluginFolder(std::string(TALVO_MELANGE_FAKES_DIR) + "/" + c.variant);
    loadLibraryScene();
    prepare();
    EXPECT_EQ(builder_->engineMode(), 2);
    EXPECT_TRUE(std::any_of(console().begin(), console().end(),
                            [&](const std::string& l) { return l.rfind(c.line, 0) == 0; }));
    EXPECT_TRUE(printed("CreateMaterialFile: failed"));
    EXPECT_TRUE(printed("Internal Engine Material Mode!"));
    builder_.reset();
  }
}

TEST_F(LibraryMaterials, AShaderTheLibraryDoesNotHaveFallsBack) {
  host::app::setPluginFolder(TALVO_MELANGE_FAKES_DIR "/empty_file");
  // Shader 1 has no internal record: the file carries fewer than shaders, and the mode is
  // reached all the same.
  ts::ShaderInternalRecord lawn = internal();
  lawn.textureWidth = 50;
  load({.shaders = {{.name = "Lawn"}, {.name = "Bare"}},
        .internals = {lawn},
        .parameterSets = {parameters(
                              {realEntry("C4D_CHGRA_STATE", 1), textEntry("C4D_SHIMAGE_FILE_1", "gone.png")}),
                          parameters({realEntry("C4D_VER_MAIN", 1)})},
        .shaderDataLevel = 3});
  prepare();
  ASSERT_EQ(builder_->engineMode(), 3);

  host::BaseObject* a = object();
  ASSERT_EQ(builder_->applyShaderTextureTag(a, 0), talvo::kStatusOk);
  EXPECT_TRUE(printed("Warning: Material Idx 0 not found in melange materials"));
  EXPECT_TRUE(printed("Warning: Import C4D material failed, use internal material"));
  EXPECT_TRUE(printed("Warning: Material Idx 0_grass not found in melange materials"));
  EXPECT_TRUE(printed("Warning: Extract texture failed: gone.png"));
  // The grass material is missing: the object keeps the shader's own material.
  ASSERT_EQ(a->tags().size(), 1u);
  EXPECT_EQ(tagMaterial(a), document_->searchMaterial("Lawn"));
  EXPECT_DOUBLE_EQ(a->getTag(host::kTagTexture)->getData().getReal(host::kTextureTagLengthX), 50);

  host::BaseObject* b = object();
  ASSERT_EQ(builder_->applyShaderTextureTag(b, 1), talvo::kStatusOk);
  EXPECT_EQ(tagMaterial(b)->getData().size(), 1u);
  EXPECT_FALSE(builder_->textureAngle(1).has_value());
  EXPECT_DOUBLE_EQ(b->getTag(host::kTagTexture)->getData().getReal(host::kTextureTagLengthX), 1);
}

}  // namespace
