// The host's menus. The host builds its menus from menu resources, each a list of entries;
// a plug-in changes the host's own copy of a resource while the host builds its menus
// (the plug-in message kMessageBuildMenus of host/plugin_entry.h) and then asks for a
// rebuild.
//
// An entry is one of the kinds below. A submenu shows as one item that opens its entries;
// its title is the title entry among them. A container holds a group of entries that is
// shown as a submenu named by its own title entry. A command entry names a host command
// ("IDM_EXECUTE_LAST") or a registered command plug-in by "PLUGIN_CMD_" followed by its
// plug-in id in decimal.
#pragma once

#include <cstdint>
#include <vector>

#include "host/text.h"

namespace host {

// Menu entry kinds, the host's numbers.
constexpr int32_t kMenuSubmenu = 1;
constexpr int32_t kMenuSeparator = 2;
constexpr int32_t kMenuCommand = 3;
constexpr int32_t kMenuTitle = 4;
constexpr int32_t kMenuContainer = 5;

// The host's main menu resource and the title of its Plug-ins menu.
constexpr const char* kMainMenuResource = "M_EDITOR";
constexpr const char* kPluginsMenuTitle = "IDS_EDITOR_PLUGINS";

struct MenuEntry {
  int32_t kind = kMenuSeparator;
  String text;                     // titles and commands
  std::vector<MenuEntry> entries;  // submenus and containers, in menu order

  static MenuEntry title(String text) { return {kMenuTitle, std::move(text), {}}; }
  static MenuEntry command(String text) { return {kMenuCommand, std::move(text), {}}; }
  static MenuEntry separator() { return {kMenuSeparator, {}, {}}; }
  static MenuEntry submenu(std::vector<MenuEntry> entries) { return {kMenuSubmenu, {}, std::move(entries)}; }
  static MenuEntry container(std::vector<MenuEntry> entries) {
    return {kMenuContainer, {}, std::move(entries)};
  }

  // The text of the first title entry among the entries; empty when there is none.
  String titleText() const;
  // Inserts an entry after the entry at `index` (at the end when index is past the last
  // entry) and returns the inserted entry. References to entries of this list that were
  // taken before are no longer valid afterwards.
  MenuEntry& insertAfter(size_t index, MenuEntry entry);
  MenuEntry& append(MenuEntry entry) { return insertAfter(entries.size(), std::move(entry)); }

  friend bool operator==(const MenuEntry&, const MenuEntry&) = default;
};

// The command text of a command plug-in: "PLUGIN_CMD_" + the id in decimal.
String pluginCommandText(int32_t pluginId);

// The host's copy of a menu resource, its top-level entries held by the returned entry;
// nullptr when the host has no resource of that name.
MenuEntry* getMenuResource(const String& name);
// The host's own search for the menu plug-ins go into: the first submenu of the main menu
// resource, depth first, whose title is `title`; nullptr when there is none.
MenuEntry* searchPluginMenuResource(const String& title = kPluginsMenuTitle);
// Asks the host to rebuild its menus from its menu resources.
void updateMenus();

}  // namespace host
