// The host application's side: menu resources, the File menu's open through the scene
// loaders, document links, and loading plug-in libraries.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "host/app.h"
#include "host/file.h"
#include "host/menu.h"
#include "host/plugin_entry.h"
#include "host/plugins.h"
#include "host/prefs.h"
#include "host/scene.h"

namespace {

using namespace host;

class HostApp : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() / ("talvo_host_app_test_" + std::to_string(::getpid()));
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override {
    app::resetDocuments();
    app::resetPlugins();
    app::clearMenuResources();
    app::reset();
    app::setPreferencesFolder(Filename());
    std::filesystem::remove_all(folder_);
  }
  std::string write(const std::string& name, const std::string& text) {
    const std::string path = (folder_ / name).string();
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path) << text;
    return path;
  }

  std::filesystem::path folder_;
};

TEST_F(HostApp, MenuResourcesLoadFromJson) {
  const std::string file = write("menus.json", R"({"M_EDITOR": [
      {"submenu": [{"title": "IDS_EDITOR_FILE"}, {"command": "IDM_FILE_OPEN"}]},
      {"submenu": [{"title": "X"}, {"submenu": [{"title": "IDS_EDITOR_PLUGINS"}, {"separator": true},
                   {"container": [{"title": "T"}]}]}]}]})");
  String error;
  ASSERT_TRUE(app::loadMenuResources(file, &error)) << error;
  app::buildMenus();
  MenuEntry* plugins = searchPluginMenuResource();  // found depth first, inside "X"
  ASSERT_NE(plugins, nullptr);
  const MenuEntry expected =
      MenuEntry::submenu({MenuEntry::title("IDS_EDITOR_PLUGINS"), MenuEntry::separator(),
                          MenuEntry::container({MenuEntry::title("T")})});
  EXPECT_EQ(*plugins, expected);

  // A changed copy is made afresh at the next build.
  plugins->append(MenuEntry::command("PLUGIN_CMD_1"));
  app::buildMenus();
  EXPECT_EQ(*searchPluginMenuResource(), expected);

  const std::pair<const char*, const char*> bad[] = {
      {"not JSON", "{"},
      {"a menu that is no list", R"({"M_EDITOR": {"title": "A"}})"},
      {"an unknown entry", R"({"M_EDITOR": [{"label": "A"}]})"},
      {"an entry of two fields", R"({"M_EDITOR": [{"title": "A", "command": "B"}]})"},
      {"a title that is no text", R"({"M_EDITOR": [{"title": 4}]})"},
  };
  for (const auto& [what, text] : bad) {
    error.clear();
    EXPECT_FALSE(app::loadMenuResources(write("bad.json", text), &error)) << what;
    EXPECT_FALSE(error.empty()) << what;
  }
  EXPECT_FALSE(app::loadMenuResources((folder_ / "missing.json").string(), &error));
  app::buildMenus();
  EXPECT_EQ(*searchPluginMenuResource(), expected);  // what loaded before stays
}

TEST_F(HostApp, InsertAfterPutsTheEntryBehindTheIndexOrAtTheEnd) {
  MenuEntry m = MenuEntry::submenu({MenuEntry::title("A"), MenuEntry::separator()});
  m.insertAfter(0, MenuEntry::command("B"));
  m.insertAfter(99, MenuEntry::command("C"));
  EXPECT_EQ(m, MenuEntry::submenu({MenuEntry::title("A"), MenuEntry::command("B"), MenuEntry::separator(),
                                   MenuEntry::command("C")}));
  EXPECT_EQ(m.titleText(), "A");
  EXPECT_EQ(pluginCommandText(1027288), "PLUGIN_CMD_1027288");
}

// Identifies the files of one extension and records what it was given.
struct Loader : SceneLoaderData {
  std::string suffix;
  int32_t result;
  std::vector<std::pair<BaseDocument*, int32_t>>* loads;
  Loader(std::string s, int32_t r, std::vector<std::pair<BaseDocument*, int32_t>>* l)
      : suffix(std::move(s)), result(r), loads(l) {}
  bool identify(const Filename& name, const uint8_t* probe, int32_t size) override {
    return name.checkSuffix(suffix) && size == 5 && probe[0] == 'h';
  }
  int32_t load(const Filename& name, BaseDocument* document, int32_t flags, String*) override {
    loads->push_back({document, flags});
    return result;
  }
};

TEST_F(HostApp, FileMenuOpensWithTheFirstLoaderThatIdentifiesTheFile) {
  std::vector<std::pair<BaseDocument*, int32_t>> loadsA, loadsB;
  ASSERT_TRUE(registerSceneLoaderPlugin(
      1000020, "a", 0, [&] { return new Loader("a", 0, &loadsA); }, ""));
  ASSERT_TRUE(registerSceneLoaderPlugin(
      1000021, "b", 0, [&] { return new Loader("b", kFileErrorRead, &loadsB); }, ""));
  ASSERT_TRUE(registerSceneLoaderPlugin(
      1000022, "a2", 0, [&] { return new Loader("a", 0, &loadsB); }, ""));
  BaseDocument* active = BaseDocument::alloc();
  insertBaseDocument(active);

  EXPECT_EQ(app::openSceneFile(write("x.c", "hello")), app::OpenResult::noLoader);
  EXPECT_EQ(app::openSceneFile((folder_ / "none.a").string()), app::OpenResult::cannotRead);
  EXPECT_TRUE(loadsA.empty() && loadsB.empty());
  EXPECT_EQ(documents().size(), 1u);

  ASSERT_EQ(app::openSceneFile(write("x.a", "hello")), app::OpenResult::loaded);
  ASSERT_EQ(loadsA.size(), 1u);
  EXPECT_TRUE(loadsB.empty());  // the first loader that identifies it, only
  BaseDocument* opened = loadsA[0].first;
  EXPECT_NE(opened, active);
  EXPECT_EQ(opened->getDocumentName(), "x.a");
  EXPECT_EQ(getActiveDocument(), opened);
  EXPECT_EQ(documents().size(), 2u);
  EXPECT_EQ(loadsA[0].second & kSceneLoadMerge, 0);

  // A failing loader's document is closed again.
  EXPECT_EQ(app::openSceneFile(write("x.b", "hello")), app::OpenResult::loaderFailed);
  EXPECT_EQ(documents().size(), 2u);
  EXPECT_EQ(getActiveDocument(), opened);

  // Merge loads into the active document, with the merge flag.
  ASSERT_EQ(app::openSceneFile(write("y.a", "hello"), true), app::OpenResult::loaded);
  ASSERT_EQ(loadsA.size(), 2u);
  EXPECT_EQ(loadsA[1].first, opened);
  EXPECT_NE(loadsA[1].second & kSceneLoadMerge, 0);
}

TEST_F(HostApp, DocumentLinksNameListedDocumentsOfThisRunOnly) {
  BaseDocument* d = BaseDocument::alloc();
  BaseDocument* other = BaseDocument::alloc();
  insertBaseDocument(d);
  const HostValue link = documentLinkValue(d);
  EXPECT_EQ(linkedDocument(link), d);
  EXPECT_EQ(linkedDocument(documentLinkValue(other)), nullptr);  // not in the list
  EXPECT_EQ(linkedDocument(documentLinkValue(nullptr)), nullptr);
  EXPECT_EQ(linkedDocument(HostValue::integer(int32_t(d->getId()))), nullptr);
  BaseDocument::free(other);

  // Stored in the world preferences the link works in this run; read back after a
  // restart it names nothing, while the rest of the container stays.
  app::setPreferencesFolder((folder_ / "prefs").string());
  Container c;
  c.setValue(1001, link);
  c.setInt32(1003, 1);
  ASSERT_TRUE(setWorldPluginData(1027287, c));
  EXPECT_EQ(linkedDocument(*getWorldPluginData(1027287)->getValue(1001)), d);
  app::setPreferencesFolder((folder_ / "elsewhere").string());
  EXPECT_EQ(getWorldPluginData(1027287), nullptr);
  app::setPreferencesFolder((folder_ / "prefs").string());
  const Container* reread = getWorldPluginData(1027287);
  ASSERT_NE(reread, nullptr);
  ASSERT_NE(reread->getValue(1001), nullptr);
  EXPECT_EQ(linkedDocument(*reread->getValue(1001)), nullptr);
  EXPECT_EQ(reread->getInt32(1003), 1);

  killDocument(d);
  EXPECT_EQ(linkedDocument(link), nullptr);
}

TEST_F(HostApp, PluginFilesThatAreNoLibrariesAreReportedAndSkipped) {
  write("plugins/broken/broken.so", "not a library");
  write("plugins/broken/notes.txt", "not a plug-in file");
  std::vector<String> problems;
  EXPECT_EQ(app::loadPlugins((folder_ / "plugins").string(), &problems), 0);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].find("broken.so"), String::npos) << problems[0];
  EXPECT_EQ(app::loadPlugins((folder_ / "nowhere").string(), &problems), 0);
  EXPECT_EQ(problems.size(), 1u);
}

}  // namespace
