#include "menu.h"

#include <cstdio>
#include <string>

#include "host/menu.h"
#include "host/plugins.h"

namespace talvo_app {
namespace {

const char* kindName(int32_t kind) {
  switch (kind) {
    case host::kMenuSubmenu:
      return "submenu";
    case host::kMenuSeparator:
      return "separator";
    case host::kMenuCommand:
      return "command";
    case host::kMenuTitle:
      return "title";
    case host::kMenuContainer:
      return "container";
    default:
      return "unknown";
  }
}

// The registered command a "PLUGIN_CMD_<id>" text names; nullptr for any other text.
const host::BasePlugin* namedCommand(const std::string& text, bool& outIsPluginCommand) {
  static const std::string kPrefix = "PLUGIN_CMD_";
  outIsPluginCommand = false;
  if (text.rfind(kPrefix, 0) != 0) return nullptr;
  bool error = false;
  const int32_t id = host::toInt32(text.substr(kPrefix.size()), &error);
  if (error) return nullptr;
  outIsPluginCommand = true;
  return host::findPlugin(id, host::kPluginCommand);
}

void printEntry(const host::MenuEntry& entry, int depth) {
  std::string line(size_t(depth) * 2, ' ');
  line += kindName(entry.kind);
  if (entry.kind == host::kMenuTitle || entry.kind == host::kMenuCommand) line += " " + entry.text;
  if (entry.kind == host::kMenuCommand) {
    bool isPluginCommand = false;
    if (const host::BasePlugin* command = namedCommand(entry.text, isPluginCommand)) {
      line += " \"" + command->name + "\"";
    } else if (isPluginCommand) {
      line += " (not registered)";
    }
  }
  std::printf("%s\n", line.c_str());
  for (const host::MenuEntry& inner : entry.entries) printEntry(inner, depth + 1);
}

}  // namespace

int runMenu() {
  const host::MenuEntry* plugins = host::searchPluginMenuResource(host::kPluginsMenuTitle);
  if (!plugins) {
    std::fprintf(stderr, "talvo: the main menu has no Plug-ins menu\n");
    return 1;
  }
  printEntry(*plugins, 0);
  std::fflush(stdout);
  return 0;
}

}  // namespace talvo_app
