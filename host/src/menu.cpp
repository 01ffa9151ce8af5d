#include "host/menu.h"

#include <fstream>
#include <map>
#include <nlohmann/json.hpp>

#include "host/app.h"
#include "host/plugin_entry.h"
#include "host/plugins.h"

namespace host {
namespace {

using Json = nlohmann::ordered_json;

struct Menus {
  std::map<String, MenuEntry> loaded;  // as read
  std::map<String, MenuEntry> live;    // the copies the menus are built from
  int32_t updates = 0;
};

Menus& menus() {
  static Menus m;
  return m;
}

bool entryFromJson(const Json& json, MenuEntry& out, String& error);

bool entriesFromJson(const Json& json, std::vector<MenuEntry>& out, String& error) {
  if (!json.is_array()) {
    error = "a menu is not a list of entries";
    return false;
  }
  for (const Json& item : json) {
    MenuEntry entry;
    if (!entryFromJson(item, entry, error)) return false;
    out.push_back(std::move(entry));
  }
  return true;
}

bool entryFromJson(const Json& json, MenuEntry& out, String& error) {
  if (!json.is_object() || json.size() != 1) {
    error = "a menu entry is not an object of one field: " + json.dump();
    return false;
  }
  const std::string key = json.begin().key();
  const Json& value = json.begin().value();
  if ((key == "title" || key == "command") && value.is_string()) {
    out = key == "title" ? MenuEntry::title(value.get<std::string>())
                         : MenuEntry::command(value.get<std::string>());
    return true;
  }
  if (key == "separator") {
    out = MenuEntry::separator();
    return true;
  }
  if (key == "submenu" || key == "container") {
    out.kind = key == "submenu" ? kMenuSubmenu : kMenuContainer;
    return entriesFromJson(value, out.entries, error);
  }
  error = "unknown menu entry: " + json.dump();
  return false;
}

MenuEntry* findSubmenu(MenuEntry& menu, const String& title) {
  for (MenuEntry& entry : menu.entries) {
    if (entry.kind != kMenuSubmenu) continue;
    if (entry.titleText() == title) return &entry;
    if (MenuEntry* inner = findSubmenu(entry, title)) return inner;
  }
  return nullptr;
}

}  // namespace

String MenuEntry::titleText() const {
  for (const MenuEntry& entry : entries)
    if (entry.kind == kMenuTitle) return entry.text;
  return {};
}

MenuEntry& MenuEntry::insertAfter(size_t index, MenuEntry entry) {
  const size_t at = index < entries.size() ? index + 1 : entries.size();
  return *entries.insert(entries.begin() + std::ptrdiff_t(at), std::move(entry));
}

String pluginCommandText(int32_t pluginId) {
  return "PLUGIN_CMD_" + int32ToString(pluginId);
}

MenuEntry* getMenuResource(const String& name) {
  const auto it = menus().live.find(name);
  return it == menus().live.end() ? nullptr : &it->second;
}

MenuEntry* searchPluginMenuResource(const String& title) {
  MenuEntry* main = getMenuResource(kMainMenuResource);
  return main ? findSubmenu(*main, title) : nullptr;
}

void updateMenus() {
  ++menus().updates;
}

namespace app {

bool loadMenuResources(const Filename& file, String* outError) {
  String error;
  std::ifstream in(file.string());
  if (!in) {
    error = "cannot read " + file.string();
  } else {
    const Json json = Json::parse(in, nullptr, false);
    if (!json.is_object()) {
      error = file.string() + " is no JSON object";
    } else {
      std::map<String, MenuEntry> loaded;
      for (const auto& [name, entries] : json.items()) {
        MenuEntry root = MenuEntry::container({});
        if (!entriesFromJson(entries, root.entries, error)) break;
        loaded[name] = std::move(root);
      }
      if (error.empty()) {
        for (auto& [name, root] : loaded) menus().loaded[name] = std::move(root);
        return true;
      }
    }
  }
  if (outError) *outError = error;
  return false;
}

void setMenuResource(const String& name, MenuEntry entries) {
  menus().loaded[name] = std::move(entries);
}

void clearMenuResources() {
  menus() = Menus{};
}

void buildMenus() {
  menus().live = menus().loaded;
  sendPluginMessage(kMessageBuildMenus, nullptr);
}

int32_t menuUpdateCount() {
  return menus().updates;
}

}  // namespace app
}  // namespace host
