// talvo as the host: start-up with the plug-in library, its submenu, and imports through
// the File menu and through the importer's menu command.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "../importer/loader_fixture.h"
#include "host/document_file.h"
#include "host/material.h"
#include "host/scene.h"
#include "run_talvo.h"
#include "scenegen/scenegen.h"
#include "talvo_import_c4d_options.h"
#include "talvo_import_c4d_status.h"
#include "talvo_import_c4d_tag_talvo.h"

namespace {

using namespace talvo_test;
namespace fs = std::filesystem;

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::stringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

bool contains(const std::vector<std::string>& all, const std::string& line) {
  return std::find(all.begin(), all.end(), line) != all.end();
}

const std::vector<std::string> kStartUp = {"! =====================================",
                                           "! Talvo importer for Cinema4D v2.61",
                                           "!",
                                           "! Initial build 2024 by https://www.talvo.example",
                                           "! =====================================",
                                           "! Talvo use enhanced menus",
                                           "! -------------------------------------"};
const std::vector<std::string> kSubmenu = {"  container",
                                           "    title Talvo",
                                           "    command PLUGIN_CMD_1027288 \"Talvo Importer...\"",
                                           "    separator",
                                           "    command PLUGIN_CMD_1027293 \"Talvo Sort Objects\"",
                                           "    command PLUGIN_CMD_1027292 \"Talvo Remove Empty Nulls\"",
                                           "    separator",
                                           "    command PLUGIN_CMD_1028635 \"Talvo Check for Updates...\""};
const char* kBlock = "=====================================";
// The light-parameter mapper's banner, printed as an import is set up.
const std::vector<std::string> kMapperBanner = {std::string(43, '-'), "       Xml Mapper",
                                                std::string(43, '-'), ""};

std::vector<std::string> joined(std::initializer_list<std::vector<std::string>> parts) {
  std::vector<std::string> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

class PluginHost : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host::initResource(TALVO_SOURCE_RES_DIR));
    example_ = temp_.file("House.TALVO");
    ASSERT_TRUE(ts::writeSceneFile(talvo::scenegen::makeExampleScene(), example_));
  }
  ProcessResult talvo(const std::vector<std::string>& args) { return runTalvo(args, temp_.path().string()); }
  std::string message(int32_t status) const {
    return "warning: " + host::loadString(talvo::statusMessageId(status));
  }

  TempFolder temp_;
  std::string example_;
};

TEST_F(PluginHost, MenuShowsTheSubmenuAfterTheSeparatorBelowExecuteLast) {
  const ProcessResult r = talvo({"menu"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(lines(r.out),
            joined({kStartUp,
                    {"submenu", "  title IDS_EDITOR_PLUGINS", "  command IDM_EXECUTE_LAST", "  separator"},
                    kSubmenu,
                    {"  separator", "  command IDM_PLUGIN_FOLDER"}}));
  EXPECT_TRUE(r.err.empty()) << r.err;
}

TEST_F(PluginHost, WithoutExecuteLastTheSubmenuGoesWhereTheHostPutsPlugIns) {
  const std::string menus = temp_.file("menus.json");
  std::ofstream(menus) << R"({"M_EDITOR": [{"submenu": [{"title": "IDS_EDITOR_PLUGINS"}, {"separator": true},
                             {"command": "IDM_PLUGIN_FOLDER"}]}]})";
  const ProcessResult r = talvo({"--menus", menus, "menu"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(lines(r.out),
            joined({kStartUp,
                    {"submenu", "  title IDS_EDITOR_PLUGINS", "  separator", "  command IDM_PLUGIN_FOLDER"},
                    kSubmenu}));
}

TEST_F(PluginHost, AMissingNameStringStopsTheRegistrationAtItsStep) {
  // A plug-in folder of its own, whose string table lacks the sorter's name.
  const fs::path plugins = temp_.path() / "plugins";
  fs::create_directories(plugins);
  fs::copy(TALVO_BINARY_DIR "/plugins/TALVO_import_r16", plugins / "TALVO_import_r16",
           fs::copy_options::recursive);
  const fs::path table = plugins / "TALVO_import_r16" / "res" / "strings" / "strings.str";
  std::string kept;
  {
    std::ifstream in(table);
    for (std::string line; std::getline(in, line);)
      if (line.rfind("18000 ", 0) != 0) kept += line + "\n";
  }
  std::ofstream(table, std::ios::trunc) << kept;

  const ProcessResult r = talvo({"--plugins", plugins.string(), "menu"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(lines(r.out), (std::vector<std::string>{
                              "Talvo failed to load str: IDS_SORTERNAME", "Talvo failed to register 'Sorter'",
                              "submenu", "  title IDS_EDITOR_PLUGINS", "  command IDM_EXECUTE_LAST",
                              "  separator", "  separator", "  command IDM_PLUGIN_FOLDER"}));
  EXPECT_NE(r.err.find("did not start"), std::string::npos) << r.err;

  // The scene loader comes after the sorter, so the File menu has none for the file.
  const ProcessResult open = talvo({"--plugins", plugins.string(), "import", example_});
  EXPECT_EQ(open.exitCode, 1);
  EXPECT_NE(open.err.find("talvo: no scene loader reads " + example_), std::string::npos) << open.err;
}

TEST_F(PluginHost, TheFileMenuOpenParksTheFileThenRunsTheImport) {
  const std::string out = temp_.file("out.doc");
  const ProcessResult r = talvo({"import", example_, "-o", out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::vector<std::string> all = lines(r.out);
  std::vector<std::string> expected = {kBlock, "File Opened from File Menu: " + example_, kBlock,
                                       "Not Found BaseContainer: Direct Loader", kBlock};
  expected.insert(expected.end(), kMapperBanner.begin(), kMapperBanner.end());
  expected.push_back("Binary file version: 2.50");
  ASSERT_GT(all.size(), kStartUp.size() + expected.size());
  const std::vector<std::string> opened(all.begin() + std::ptrdiff_t(kStartUp.size()),
                                        all.begin() + std::ptrdiff_t(kStartUp.size() + expected.size()));
  EXPECT_EQ(opened, expected);
  // The timing report closes the run.
  const char* labels[] = {"File Load Time:         ", "Prepare File Time:      ", "Matrix Create Time:     ",
                          "Polygons Create Time:   ", "Objects Create Time:    ", "Lights Create Time:     ",
                          "Cameras Create Time:    ", "Hierarchy Clean Time:   ", "Optimizing Time:        ",
                          "Sort Time:              ", "Refresh Time:           ", "Total Run Time:         "};
  ASSERT_GE(all.size(), 14u);
  EXPECT_EQ(all.back(), kBlock);
  EXPECT_EQ(all[all.size() - 14], kBlock);
  for (size_t i = 0; i < 12; ++i) {
    const std::string& line = all[all.size() - 13 + i];
    EXPECT_EQ(line.rfind(labels[i], 0), 0u) << line;
    EXPECT_EQ(line.substr(line.size() - 8), " seconds") << line;
  }

  // The example's surfaces carry library parameters: the companion library beside the
  // plug-in writes their materials into the host's documents folder.
  EXPECT_TRUE(contains(all, "CreateMaterialFile: success"));
  EXPECT_TRUE(contains(all, "C4D Engine Material Mode!"));
  EXPECT_TRUE(contains(all, "Project texture path:" + temp_.file("tex")));
  {
    host::String materialError;
    host::BaseDocument* materials = host::loadDocument(
        host::Filename(temp_.file("documents/TalvoTempFolder/House_Talvo_Materials_v16.c4d")), &materialError);
    ASSERT_NE(materials, nullptr) << materialError;
    EXPECT_NE(materials->searchMaterial("0"), nullptr);
    host::BaseDocument::free(materials);
  }

  // The import went into the document that was active (the host's document for the file
  // was closed), merged as the dialog proposes.
  host::String error;
  host::BaseDocument* saved = host::loadDocument(host::Filename(out), &error);
  ASSERT_NE(saved, nullptr) << error;
  ASSERT_NE(saved->getFirstObject(), nullptr);
  EXPECT_EQ(saved->getFirstObject()->getName(), "House");
  EXPECT_NE(saved->getFirstObject()->getTag(1027290), nullptr);
  host::BaseDocument::free(saved);

  // The parked request stays in the preferences: the next open finds it.
  const ProcessResult again = talvo({"import", example_});
  EXPECT_EQ(again.exitCode, 0) << again.err;
  EXPECT_FALSE(contains(lines(again.out), "Not Found BaseContainer: Direct Loader"));
  EXPECT_TRUE(contains(lines(again.out), "File Opened from File Menu: " + example_));
}

TEST_F(PluginHost, TheMenuCommandImportsTheFileOfItsFileSelection) {
  const std::string out = temp_.file("new.doc");
  const ProcessResult r = talvo({"import", example_, "--via", "menu", "--mode", "new", "-o", out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::vector<std::string> all = lines(r.out);
  std::vector<std::string> expected = {kBlock, "File Opened from Plugins Menu", kBlock};
  expected.insert(expected.end(), kMapperBanner.begin(), kMapperBanner.end());
  expected.push_back("Binary file version: 2.50");
  ASSERT_GT(all.size(), kStartUp.size() + expected.size());
  const std::vector<std::string> opened(all.begin() + std::ptrdiff_t(kStartUp.size()),
                                        all.begin() + std::ptrdiff_t(kStartUp.size() + expected.size()));
  EXPECT_EQ(opened, expected);
  EXPECT_FALSE(contains(all, "File Opened from File Menu: " + example_));
  host::BaseDocument* saved = host::loadDocument(host::Filename(out));
  ASSERT_NE(saved, nullptr);
  EXPECT_EQ(saved->getDocumentName(), "House");  // the new document the import made
  host::BaseDocument::free(saved);
}

TEST_F(PluginHost, AFileWithoutTheExtensionIsNeverOfferedToTheLoader) {
  const std::string renamed = temp_.file("House.txt");
  fs::copy_file(example_, renamed);
  const ProcessResult r = talvo({"import", renamed});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(lines(r.out), kStartUp);
  EXPECT_EQ(r.err, "talvo: no scene loader reads " + renamed + "\n");
  EXPECT_FALSE(fs::exists(temp_.path() / "prefs" / "world_prefs.json"));  // nothing parked
}

TEST_F(PluginHost, AFailedImportShowsItsMessageAndExitsNonZero) {
  ts::SceneDescription old;
  old.header.version = 20006;
  const std::string oldFile = temp_.file("Old.TALVO");
  ASSERT_TRUE(ts::writeSceneFile(old, oldFile));
  ts::SceneDescription unknown;
  unknown.header.version = 20300;
  const std::string unknownFile = temp_.file("New.TALVO");
  ASSERT_TRUE(ts::writeSceneFile(unknown, unknownFile));
  const std::string renamed = temp_.file("House.bin");
  fs::copy_file(example_, renamed);

  struct Case {
    const char* what;
    std::vector<std::string> args;
    int32_t status;
  };
  const Case cases[] = {
      {"cancelled dialog", {"import", example_, "--cancel"}, 14001},
      {"refused version", {"import", oldFile}, 10006},
      {"unknown version", {"import", unknownFile}, 10007},
      {"right magic, no TALVO extension, from the menu", {"import", renamed, "--via", "menu"}, 10008},
  };
  for (const Case& c : cases) {
    const ProcessResult r = talvo(c.args);
    EXPECT_EQ(r.exitCode, 1) << c.what;
    EXPECT_TRUE(contains(lines(r.err), message(c.status))) << c.what << ": " << r.err;
  }
}

TEST_F(PluginHost, AnswersSetTheOptionsByNameOrGadgetId) {
  const std::string out = temp_.file("set.doc");
  const ProcessResult r = talvo(
      {"import", example_, "--set", "scale=0.01", "--set", "splitByStory=1", "--set", "12112=--", "-o", out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  host::BaseDocument* saved = host::loadDocument(host::Filename(out));
  ASSERT_NE(saved, nullptr);
  const host::Container& tag = saved->getFirstObject()->getTag(1027290)->getData();
  EXPECT_EQ(tag.getReal(talvo::findOption("scale")->tagKey), 0.01);
  EXPECT_EQ(tag.getInt32(talvo::findOption("splitByStory")->tagKey), 1);
  EXPECT_EQ(tag.getString(talvo::findOption("nameSeparator")->tagKey), "--");
  host::BaseDocument::free(saved);

  const std::pair<const char*, const char*> refused[] = {
      {"--set", "noSuchOption=1"}, {"--set", "scale=wide"}, {"--set", "scale"}, {"--mode", "replace"}};
  for (const auto& [option, value] : refused) {
    const ProcessResult bad = talvo({"import", example_, option, value});
    EXPECT_EQ(bad.exitCode, 2) << value;
    EXPECT_TRUE(bad.out.empty()) << value;  // refused before the host starts
  }
}

TEST_F(PluginHost, AnUpdateRunReplacesTheEarlierImportItNames) {
  const std::string first = temp_.file("first.doc");
  ASSERT_EQ(talvo({"import", example_, "-o", first}).exitCode, 0);
  const std::string second = temp_.file("second.doc");
  const ProcessResult r = talvo(
      {"import", example_, "--into", first, "--mode", "update", "--update-target", "House", "-o", second});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(contains(lines(r.out), "0 Object Deleted"));
  host::BaseDocument* saved = host::loadDocument(host::Filename(second));
  ASSERT_NE(saved, nullptr);
  ASSERT_NE(saved->getFirstObject(), nullptr);
  EXPECT_EQ(saved->getFirstObject()->getName(), "House");
  EXPECT_EQ(saved->getFirstObject()->getNext(), nullptr);  // updated in place, not added
  host::BaseDocument::free(saved);
}

// An earlier import stored the centre (10, 0, 5) with the scene centred at the origin;
// the new file's centre is (12, 0, 5): the update keeps the new centre in the tag.
TEST_F(PluginHost, AnUpdateRunKeepsTheOriginBookkeeping) {
  ts::SceneDescription scene = talvo::scenegen::makeExampleScene();
  scene.info.sceneBox = {11, -1, 4, 13, 1, 6};
  ASSERT_TRUE(ts::writeSceneFile(scene, example_));
  ASSERT_TRUE(talvo::registerTalvoTag());
  host::BaseDocument* doc = host::BaseDocument::alloc();
  host::BaseObject* earlier = host::BaseObject::alloc(host::kObjectNull);
  earlier->setName("House");
  host::BaseTag* tag = earlier->makeTag(talvo::kTagTalvo);
  tag->getDataInstance().setReal(talvo::kTagKeyCenterX, 10.0);
  tag->getDataInstance().setReal(talvo::kTagKeyCenterZ, 5.0);
  tag->getDataInstance().setInt32(30704, 1);
  doc->insertObject(earlier, nullptr, nullptr);
  const std::string into = temp_.file("earlier.doc");
  ASSERT_TRUE(host::saveDocument(*doc, host::Filename(into)));
  host::BaseDocument::free(doc);
  host::app::resetPlugins();

  const std::string out = temp_.file("updated.doc");
  const ProcessResult r = talvo({"import", example_, "--into", into, "--mode", "update", "-o", out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  host::BaseDocument* saved = host::loadDocument(host::Filename(out));
  ASSERT_NE(saved, nullptr);
  const host::BaseTag* stored = saved->getFirstObject()->getTag(talvo::kTagTalvo);
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(stored->getData().getReal(talvo::kTagKeyCenterX), 12.0);
  EXPECT_EQ(stored->getData().getReal(talvo::kTagKeyCenterY), 0.0);
  EXPECT_EQ(stored->getData().getReal(talvo::kTagKeyCenterZ), 5.0);
  EXPECT_EQ(saved->getFirstObject()->getNext(), nullptr);
  host::BaseDocument::free(saved);
}

TEST_F(PluginHost, IntoLoadsADocumentFirstAndTheImportMergesIntoIt) {
  host::BaseDocument* mine = host::BaseDocument::alloc();
  host::BaseObject* own = host::BaseObject::alloc(host::kObjectNull);
  own->setName("Mine");
  mine->insertObject(own, nullptr, nullptr);
  mine->setDocumentName("Mine");
  fs::create_directories(temp_.path() / "project");
  const std::string into = temp_.file("project/mine.doc");
  ASSERT_TRUE(host::saveDocument(*mine, host::Filename(into)));
  host::BaseDocument::free(mine);

  const std::string out = temp_.file("merged.doc");
  const ProcessResult r = talvo({"import", example_, "--into", into, "--mode", "merge", "-o", out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  // The loaded document's folder is the project's: its textures go beside it.
  EXPECT_FALSE(contains(lines(r.out), "Not found previous texture path"));
  EXPECT_TRUE(contains(lines(r.out), "Project texture path:" + temp_.file("project/tex")));
  host::BaseDocument* saved = host::loadDocument(host::Filename(out));
  ASSERT_NE(saved, nullptr);
  std::vector<std::string> top;
  for (host::BaseObject* o = saved->getFirstObject(); o; o = o->getNext()) top.push_back(o->getName());
  EXPECT_EQ(top, (std::vector<std::string>{"House", "Mine"}));
  EXPECT_EQ(saved->getDocumentName(), "Mine");
  host::BaseDocument::free(saved);
}

// The host's Undo after an import gives back the document as it was before.
TEST_F(PluginHost, UndoAfterAnImportGivesBackTheDocument) {
  host::BaseDocument* mine = host::BaseDocument::alloc();
  host::BaseObject* own = host::BaseObject::alloc(host::kObjectCamera);
  own->setName("Mine");
  mine->insertObject(own, nullptr, nullptr);
  const std::string into = temp_.file("before.doc");
  ASSERT_TRUE(host::saveDocument(*mine, host::Filename(into)));
  const host::Json before = host::documentToJson(*mine, true)["objects"];
  host::BaseDocument::free(mine);

  const std::string out = temp_.file("undone.doc");
  const ProcessResult r = talvo({"import", example_, "--into", into, "--undo", "-o", out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  host::BaseDocument* saved = host::loadDocument(host::Filename(out));
  ASSERT_NE(saved, nullptr);
  EXPECT_EQ(host::documentToJson(*saved, true)["objects"], before);
  host::BaseDocument::free(saved);

  // Without an import there is nothing to undo.
  const ProcessResult nothing = talvo({"import", example_, "--cancel", "--undo"});
  EXPECT_NE(nothing.exitCode, 0);
}

}  // namespace

namespace {

const host::BaseObject* childNamed(const host::BaseObject* parent, const std::string& name) {
  for (const host::BaseObject* c = parent->getDown(); c; c = c->getNext())
    if (c->getName() == name) return c;
  return nullptr;
}

// The example scene with the factory options and its library parts as instances, as the
// demo imports it: the saved document's tree, names, layers, materials and geometry.
TEST_F(PluginHost, TheExampleImportBuildsItsTreeGeometryAndInstances) {
  const std::string out = temp_.file("House.doc");
  const ProcessResult r = talvo({"import", example_, "--mode", "new", "--instances", "instances", "-o", out});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  host::String error;
  host::BaseDocument* doc = host::loadDocument(host::Filename(out), &error);
  ASSERT_NE(doc, nullptr) << error;
  const host::BaseObject* root = doc->getFirstObject();
  ASSERT_EQ(root->getName(), "House");

  // Shader nulls with one object per layer, named layer :: shader and put in that layer.
  const host::BaseObject* brick = childNamed(root, "Brick Red");
  ASSERT_NE(brick, nullptr);
  const host::BaseObject* walls = childNamed(brick, "Walls :: Brick Red");
  ASSERT_NE(walls, nullptr);
  ASSERT_NE(walls->getLayerObject(), nullptr);
  EXPECT_EQ(walls->getLayerObject()->getName(), "Walls");
  const auto* mesh = dynamic_cast<const host::PolygonObject*>(walls);
  ASSERT_NE(mesh, nullptr);
  EXPECT_GT(mesh->getPolygonCount(), 0);
  const host::BaseTag* uvw = walls->getTag(host::kTagUvw);
  ASSERT_NE(uvw, nullptr);
  EXPECT_EQ(int32_t(uvw->uvws().size()), mesh->getPolygonCount());
  for (int32_t i = 0; i < mesh->getPolygonCount(); ++i) {
    const host::CPolygon& p = mesh->getPolygonR()[i];
    for (int32_t c : {p.a, p.b, p.c, p.d}) ASSERT_LT(c, mesh->getPointCount());
  }
  // The shader null carries the texture tag of the shader's material.
  const host::BaseTag* texture = brick->getTag(host::kTagTexture);
  ASSERT_NE(texture, nullptr);
  const host::BaseMaterial* material = host::linkedMaterial(*texture->getData().getValue(host::kTextureTagMaterial), doc);
  ASSERT_NE(material, nullptr);
  EXPECT_EQ(material->getName(), "Brick Red");
  EXPECT_TRUE(fs::exists(temp_.path() / "tex" / "brick.png"));

  std::vector<std::string> layers;
  for (const host::LayerObject* l : doc->layers()) layers.push_back(l->getName());
  std::sort(layers.begin(), layers.end());
  EXPECT_EQ(layers, (std::vector<std::string>{"Lighting", "Openings", "Roof", "Slabs", "Walls"}));

  // Library parts: instances of the base geometry under the hidden sources null.
  const host::BaseObject* sources = childNamed(root, host::loadString(13004));
  const host::BaseObject* instances = childNamed(root, host::loadString(13003));
  ASSERT_NE(sources, nullptr);
  ASSERT_NE(instances, nullptr);
  EXPECT_EQ(sources->getRenderMode(), host::kModeOff);
  const host::BaseObject* doorBase = childNamed(sources, "Door 90x210");
  const host::BaseObject* doors = childNamed(instances, "Door 90x210");
  ASSERT_NE(doorBase, nullptr);
  ASSERT_NE(doors, nullptr);
  std::vector<std::string> names;
  for (const host::BaseObject* i = doors->getDown(); i; i = i->getNext()) {
    names.push_back(i->getName());
    EXPECT_EQ(i->getType(), host::kObjectInstance);
    EXPECT_EQ(host::linkedObject(*i->getData().getValue(1001), doc), doorBase);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Door 90x210 :: 0", "Door 90x210 :: 1", "Door 90x210 :: 2"}));
  EXPECT_NE(childNamed(doorBase, "Door 90x210 :: Wood \xE2\x80\x93 Oak"), nullptr);
  host::BaseDocument::free(doc);
}

}  // namespace
