#include "talvo_import_c4d_register.h"

#include "host/menu.h"
#include "host/plugin_entry.h"
#include "host/resource.h"
#include "talvo_import_c4d_cleaner.h"
#include "talvo_import_c4d_command.h"
#include "talvo_import_c4d_diagnostics.h"
#include "talvo_import_c4d_direct.h"
#include "talvo_import_c4d_message.h"
#include "talvo_import_c4d_sort.h"
#include "talvo_import_c4d_tag_nosort.h"
#include "talvo_import_c4d_tag_noupdate.h"
#include "talvo_import_c4d_tag_null.h"
#include "talvo_import_c4d_tag_talvo.h"
#include "talvo_import_c4d_updater.h"

namespace talvo {
namespace {

constexpr const char* kProductName = "Talvo importer for Cinema4D v2.61";
constexpr int32_t kInitialBuildYear = 2024;
constexpr const char* kVendorSite = "https://www.talvo.example";
constexpr const char* kSubmenuTitle = "Talvo";
constexpr const char* kExecuteLast = "IDM_EXECUTE_LAST";

struct RegistrationStep {
  const char* name;  // as the failure line names it
  bool (*run)();
};

constexpr RegistrationStep kSteps[] = {
    {"TalvoTag", registerTalvoTag},
    {"NewNullTag", registerNewNullTag},
    {"SortTag", registerNoSortTag},
    {"UpdateTag", registerNoUpdateTag},
    {"LoaderCommand", registerImportCommands},
    {"Sorter", registerSorterCommand},
    {"Cleaner", registerCleanerCommand},
    {"Updater", registerUpdaterCommand},
    {"LoaderDirect", registerSceneLoader},
    {"ReceiveMessage", registerReceiveMessage},
    {"ObjNode", registerObjectNode},
};

host::MenuEntry importerSubmenu() {
  using host::MenuEntry;
  return MenuEntry::container({
      MenuEntry::title(kSubmenuTitle),
      MenuEntry::command(host::pluginCommandText(kCommandImport)),
      MenuEntry::separator(),
      MenuEntry::command(host::pluginCommandText(kCommandSorter)),
      MenuEntry::command(host::pluginCommandText(kCommandCleaner)),
      MenuEntry::separator(),
      MenuEntry::command(host::pluginCommandText(kCommandUpdater)),
  });
}

// The first submenu, depth first, with a title entry of that text.
host::MenuEntry* findTitledSubmenu(host::MenuEntry& menu, const char* title) {
  for (host::MenuEntry& entry : menu.entries) {
    if (entry.kind != host::kMenuSubmenu) continue;
    for (const host::MenuEntry& inner : entry.entries)
      if (inner.kind == host::kMenuTitle && inner.text == title) return &entry;
    if (host::MenuEntry* found = findTitledSubmenu(entry, title)) return found;
  }
  return nullptr;
}

}  // namespace

bool registerAll() {
  for (const RegistrationStep& step : kSteps) {
    if (!step.run()) {
      printLine("Talvo failed to register '%s'", step.name);
      return false;
    }
  }
  printLine("! %s", kBlockLine);
  printLine("! %s", kProductName);
  printLine("!");
  printLine("! Initial build %d by %s", kInitialBuildYear, kVendorSite);
  printLine("! %s", kBlockLine);
  return true;
}

bool handlePluginMessage(int32_t id, void* data) {
  switch (id) {
    case host::kMessagePriority:
      if (data) *static_cast<int32_t*>(data) = kLoadPriority;
      return true;
    case host::kMessageResources:
      return host::initResource(host::pluginFolder() + host::Filename("res"));
    case host::kMessageBuildMenus:
      insertPluginsSubmenu();
      return true;
    case kMessageRunParkedImport:
      return runParkedImport();
    case kMessageCloseParkedDocument:
      return closeParkedDocument();
    default:
      return false;
  }
}

void insertPluginsSubmenu() {
  host::MenuEntry* main = host::getMenuResource(host::kMainMenuResource);
  if (!main) return;
  host::MenuEntry* plugins = findTitledSubmenu(*main, host::kPluginsMenuTitle);
  if (!plugins) return;

  bool inserted = false;
  bool afterExecuteLast = false;
  for (size_t i = 0; i < plugins->entries.size(); ++i) {
    const host::MenuEntry& entry = plugins->entries[i];
    if (entry.kind == host::kMenuTitle && entry.text == kSubmenuTitle) break;
    if (entry.kind == host::kMenuCommand && entry.text == kExecuteLast) afterExecuteLast = true;
    if (entry.kind == host::kMenuSeparator && afterExecuteLast) {
      plugins->insertAfter(i, importerSubmenu());
      inserted = true;
      break;
    }
  }
  if (!inserted) {
    host::MenuEntry* found = host::searchPluginMenuResource(host::kPluginsMenuTitle);
    if (!found) return;
    found->append(importerSubmenu());
  }
  printLine("! Talvo use enhanced menus");
  printLine("! -------------------------------------");
  host::updateMenus();
}

}  // namespace talvo
