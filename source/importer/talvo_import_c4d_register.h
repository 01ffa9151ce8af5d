// What the plug-in's entry does for the plug-in: registration of every plug-in of the
// system in a fixed order, the start-up banner, the answers to the host's plug-in
// messages, and the importer's submenu in the host's Plug-ins menu.
#pragma once

#include <cstdint>

namespace talvo {

// The load priority the plug-in answers the host's priority message with.
constexpr int32_t kLoadPriority = 10100;
// Plug-in message: close the document of the parked request.
constexpr int32_t kMessageCloseParkedDocument = 1054062;

// Registers the tags, the commands, the scene loader, the message plug-in and the node
// type in their fixed order. At the first registration that fails, prints
// "Talvo failed to register '<step>'" and returns false; the later ones do not run and
// the earlier ones stay. On success prints the banner.
bool registerAll();

// The host's and the plug-in's own messages: 0 priority (data: int32_t*), 1 resources,
// 1001188 menus, 1027289 run the parked import, 1054062 close the parked document. False
// for any other id.
bool handlePluginMessage(int32_t id, void* data);

// Puts the importer's submenu into the Plug-ins menu of the host's main menu resource:
// right after the first separator that follows "IDM_EXECUTE_LAST", otherwise where the
// host's plug-in menu search puts it. Nothing happens without a Plug-ins menu.
void insertPluginsSubmenu();

}  // namespace talvo
