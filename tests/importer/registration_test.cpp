// The plug-in's start-up: registration in its fixed order, the host messages it answers,
// and its submenu in the host's Plug-ins menu.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/app.h"
#include "host/bitmap.h"
#include "host/menu.h"
#include "host/plugin_entry.h"
#include "host/plugins.h"
#include "host/resource.h"
#include "loader_fixture.h"
#include "talvo_import_c4d_register.h"

namespace {

using namespace talvo_test;
using host::MenuEntry;

const std::string kBuiltPlugin = TALVO_BINARY_DIR "/plugins/TALVO_import_r16";

// The plug-ins of each registration step, in step order.
struct Registered {
  int32_t id;
  int32_t type;
};
const std::vector<std::vector<Registered>> kStepPlugins = {
    {{1027290, host::kPluginTag}},
    {{1028593, host::kPluginTag}},
    {{1028663, host::kPluginTag}},
    {{1028680, host::kPluginTag}},
    {{1027288, host::kPluginCommand}, {1027289, host::kPluginCommand}},
    {{1027293, host::kPluginCommand}},
    {{1027292, host::kPluginCommand}},
    {{1028635, host::kPluginCommand}},
    {{1027287, host::kPluginSceneLoader}},
    {{1027291, host::kPluginCoreMessage}},
    {{1028632, host::kPluginNode}},
};

class Registration : public ::testing::Test {
 protected:
  void SetUp() override {
    host::app::setConsoleSink([this](const host::String& line) { console_.push_back(line); });
  }
  void TearDown() override {
    host::app::resetDocuments();
    host::app::resetPlugins();
    host::app::clearMenuResources();
    host::app::reset();
  }

  // Makes a copy of the built plug-in's folder, without the string `missingString` (0:
  // none) and the picture `missingPicture` (nullptr: none), the running plug-in's folder
  // and loads its resources.
  void usePluginFolder(int32_t missingString = 0, const char* missingPicture = nullptr) {
    namespace fs = std::filesystem;
    const fs::path folder = temp_.path() / "TALVO_import_r16";
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::copy(kBuiltPlugin + "/res", folder / "res", fs::copy_options::recursive);
    if (missingPicture) fs::remove(folder / "res" / missingPicture);
    if (missingString != 0) {
      const fs::path table = folder / "res" / "strings" / "strings.str";
      std::ifstream in(table);
      std::stringstream kept;
      const std::string prefix = std::to_string(missingString) + " ";
      for (std::string line; std::getline(in, line);)
        if (line.rfind(prefix, 0) != 0) kept << line << '\n';
      in.close();
      std::ofstream(table, std::ios::trunc) << kept.str();
    }
    host::app::setPluginFolder(folder.string());
    ASSERT_TRUE(talvo::handlePluginMessage(host::kMessageResources, nullptr));
  }

  // How many registration steps left all their plug-ins registered, checking that the
  // steps after them registered nothing.
  size_t stepsRegistered() const {
    size_t done = 0;
    while (done < kStepPlugins.size() &&
           host::findPlugin(kStepPlugins[done][0].id, kStepPlugins[done][0].type))
      ++done;
    for (size_t step = done; step < kStepPlugins.size(); ++step)
      for (const Registered& r : kStepPlugins[step])
        EXPECT_EQ(host::findPlugin(r.id, r.type), nullptr) << "step " << step + 1 << " plug-in " << r.id;
    return done;
  }

  TempFolder temp_;
  std::vector<std::string> console_;
};

TEST_F(Registration, RegistersEveryPlugInAndPrintsTheBanner) {
  usePluginFolder();
  ASSERT_TRUE(talvo::registerAll());
  EXPECT_EQ(stepsRegistered(), kStepPlugins.size());
  const std::vector<std::string> banner = {
      "! =====================================", "! Talvo importer for Cinema4D v2.61", "!",
      "! Initial build 2024 by https://www.talvo.example", "! ====================================="};
  EXPECT_EQ(console_, banner);

  const host::BasePlugin* import = host::findPlugin(1027288, host::kPluginCommand);
  const host::BasePlugin* hidden = host::findPlugin(1027289, host::kPluginCommand);
  EXPECT_EQ(import->name, host::loadString(16001));
  EXPECT_EQ(import->help, host::loadString(16003));
  EXPECT_EQ(import->info, 0x20000000);
  EXPECT_NE(import->icon, nullptr);
  EXPECT_EQ(hidden->name, import->name);
  EXPECT_EQ(hidden->info, 0x20000000);
  EXPECT_EQ(hidden->icon, nullptr);
  const host::BasePlugin* node = host::findPlugin(1028632, host::kPluginNode);
  EXPECT_EQ(node->name, "Talvo AcObject Node");
  EXPECT_EQ(node->info, 0x40000000);
  const host::BasePlugin* message = host::findPlugin(1027291, host::kPluginCoreMessage);
  EXPECT_EQ(message->name, "");
  EXPECT_EQ(message->info, 0x20000000);
  const host::BasePlugin* loader = host::findPlugin(1027287, host::kPluginSceneLoader);
  EXPECT_EQ(loader->name, host::loadString(16004));
  EXPECT_EQ(loader->info, 0);
}

TEST_F(Registration, TheTwoIconsAreTheHalvesOfTheTypePicture) {
  usePluginFolder();
  ASSERT_TRUE(talvo::registerAll());
  host::BaseBitmap* type = host::BaseBitmap::alloc();
  ASSERT_EQ(type->init(host::pluginFolder() + host::Filename("res/Talvo_type.tif")), host::kImageOk);
  ASSERT_EQ(type->getBw(), 32);
  ASSERT_EQ(type->getBh(), 16);
  const host::BaseBitmap* left = host::getIcon(1033710);
  const host::BaseBitmap* right = host::getIcon(1033711);
  ASSERT_TRUE(left && right);
  EXPECT_EQ(left->getBw(), 16);
  EXPECT_EQ(right->getBh(), 16);
  bool same = true;
  for (int32_t y = 0; y < 16; ++y)
    for (int32_t x = 0; x < 16; ++x)
      same = same && left->getPixel(x, y) == type->getPixel(x, y) &&
             right->getPixel(x, y) == type->getPixel(16 + x, y);
  EXPECT_TRUE(same);
  EXPECT_FALSE(left->getPixel(2, 2) == right->getPixel(2, 2));  // two different pictures
  host::BaseBitmap::free(type);
}

TEST_F(Registration, StopsAtTheFirstFailingStepWithItsLines) {
  struct Case {
    const char* what;
    int32_t missingString;
    const char* missingPicture;
    std::vector<std::string> lines;
    size_t stepsDone;
  };
  const Case cases[] = {
      {"marker tag name",
       15000,
       nullptr,
       {"Talvo failed to load str: IDS_TAG_TALVO", "Talvo failed to register 'TalvoTag'"},
       0},
      {"no-update tag name",
       15003,
       nullptr,
       {"Talvo failed to load str: IDS_TAG_NOUPDATE", "Talvo failed to register 'UpdateTag'"},
       3},
      {"command picture",
       0,
       "Talvo_type.tif",
       {"Talvo failed to load image: Talvo_type.tif", "Talvo failed to register 'LoaderCommand'"},
       4},
      {"command help",
       16003,
       nullptr,
       {"Talvo failed to load str: IDS_STATUSCLICK", "Talvo failed to register 'LoaderCommand'"},
       4},
      {"command name",
       16001,
       nullptr,
       {"Talvo failed to load str: IDS_IMPORTNAME", "Talvo failed to register 'LoaderCommand'"},
       4},
      {"sorter name",
       18000,
       nullptr,
       {"Talvo failed to load str: IDS_SORTERNAME", "Talvo failed to register 'Sorter'"},
       5},
      {"sorter help",
       18001,
       nullptr,
       {"Talvo failed to load str: IDS_SORTERSTATUS", "Talvo failed to register 'Sorter'"},
       5},
      {"cleaner help",
       19001,
       nullptr,
       {"Talvo failed to load str: IDS_CLEANERSTATUS", "Talvo failed to register 'Cleaner'"},
       6},
      {"updater name",
       21000,
       nullptr,
       {"Talvo failed to load str: IDS_UPDATERNAME", "Talvo failed to register 'Updater'"},
       7},
      // The scene loader's name has no line of its own.
      {"loader name", 16004, nullptr, {"Talvo failed to register 'LoaderDirect'"}, 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    host::app::resetPlugins();
    usePluginFolder(c.missingString, c.missingPicture);
    console_.clear();
    EXPECT_FALSE(talvo::registerAll());
    EXPECT_EQ(console_, c.lines);
    EXPECT_EQ(stepsRegistered(), c.stepsDone);
  }
}

TEST_F(Registration, AnswersTheHostMessages) {
  usePluginFolder();
  int32_t priority = 0;
  EXPECT_TRUE(talvo::handlePluginMessage(host::kMessagePriority, &priority));
  EXPECT_EQ(priority, 10100);
  EXPECT_FALSE(talvo::handlePluginMessage(42, nullptr));
  EXPECT_FALSE(talvo::handlePluginMessage(1027290, nullptr));

  // Resources come from the running plug-in's own folder.
  host::app::setPluginFolder(temp_.file("nowhere"));
  EXPECT_FALSE(talvo::handlePluginMessage(host::kMessageResources, nullptr));
}

// The Plug-ins menu after the plug-in's submenu went in, as kinds and texts.
std::vector<std::string> plugInsMenu() {
  std::vector<std::string> out;
  const MenuEntry* menu = host::searchPluginMenuResource();
  if (!menu) return out;
  for (const MenuEntry& e : menu->entries)
    out.push_back(e.kind == host::kMenuContainer ? "[" + e.titleText() + "]"
                                                 : std::to_string(e.kind) + " " + e.text);
  return out;
}

TEST_F(Registration, PutsTheSubmenuAfterTheSeparatorThatFollowsExecuteLast) {
  struct Case {
    const char* what;
    std::vector<MenuEntry> menu;
    std::vector<std::string> expected;
  };
  const MenuEntry title = MenuEntry::title("IDS_EDITOR_PLUGINS");
  const MenuEntry last = MenuEntry::command("IDM_EXECUTE_LAST");
  const MenuEntry sep = MenuEntry::separator();
  const MenuEntry other = MenuEntry::command("IDM_OTHER");
  const Case cases[] = {
      {"after the separator",
       {title, last, sep, other, sep},
       {"4 IDS_EDITOR_PLUGINS", "3 IDM_EXECUTE_LAST", "2 ", "[Talvo]", "3 IDM_OTHER", "2 "}},
      {"without IDM_EXECUTE_LAST, at the end",
       {title, sep, other},
       {"4 IDS_EDITOR_PLUGINS", "2 ", "3 IDM_OTHER", "[Talvo]"}},
      {"a separator only before it does not count",
       {title, sep, last},
       {"4 IDS_EDITOR_PLUGINS", "2 ", "3 IDM_EXECUTE_LAST", "[Talvo]"}},
      {"a Talvo title ends the walk",
       {title, MenuEntry::title("Talvo"), last, sep},
       {"4 IDS_EDITOR_PLUGINS", "4 Talvo", "3 IDM_EXECUTE_LAST", "2 ", "[Talvo]"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    host::app::setMenuResource(
        host::kMainMenuResource,
        MenuEntry::container(
            {MenuEntry::submenu({MenuEntry::title("IDS_EDITOR_FILE")}), MenuEntry::submenu(c.menu)}));
    host::app::buildMenus();
    console_.clear();
    const int32_t updates = host::app::menuUpdateCount();
    talvo::insertPluginsSubmenu();
    EXPECT_EQ(plugInsMenu(), c.expected);
    EXPECT_EQ(console_, (std::vector<std::string>{"! Talvo use enhanced menus",
                                                  "! -------------------------------------"}));
    EXPECT_EQ(host::app::menuUpdateCount(), updates + 1);
  }

  // The submenu itself.
  const MenuEntry* menu = host::searchPluginMenuResource();
  ASSERT_NE(menu, nullptr);
  const MenuEntry& submenu = menu->entries.back();
  EXPECT_EQ(submenu.kind, host::kMenuContainer);
  const MenuEntry expected = MenuEntry::container(
      {MenuEntry::title("Talvo"), MenuEntry::command("PLUGIN_CMD_1027288"), MenuEntry::separator(),
       MenuEntry::command("PLUGIN_CMD_1027293"), MenuEntry::command("PLUGIN_CMD_1027292"),
       MenuEntry::separator(), MenuEntry::command("PLUGIN_CMD_1028635")});
  EXPECT_EQ(submenu, expected);
}

TEST_F(Registration, WithoutAPlugInsMenuNothingChanges) {
  host::app::setMenuResource(
      host::kMainMenuResource,
      MenuEntry::container({MenuEntry::submenu({MenuEntry::title("IDS_EDITOR_FILE")})}));
  host::app::buildMenus();
  const MenuEntry before = *host::getMenuResource(host::kMainMenuResource);
  const int32_t updates = host::app::menuUpdateCount();
  EXPECT_TRUE(talvo::handlePluginMessage(host::kMessageBuildMenus, nullptr));
  EXPECT_EQ(*host::getMenuResource(host::kMainMenuResource), before);
  EXPECT_TRUE(console_.empty());
  EXPECT_EQ(host::app::menuUpdateCount(), updates);

  host::app::clearMenuResources();
  host::app::buildMenus();
  talvo::insertPluginsSubmenu();  // no main menu at all
  EXPECT_TRUE(console_.empty());
}

}  // namespace
