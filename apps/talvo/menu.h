#pragma once

namespace talvo_app {

// Prints the host's Plug-ins menu as a tree on standard output, one entry a line, two
// spaces of indent per level:
//   submenu
//     title IDS_EDITOR_PLUGINS
//     command IDM_EXECUTE_LAST
//     separator
//     container
//       title Talvo
//       command PLUGIN_CMD_1027288 "<the command's name>"
// A plug-in command that is not registered shows "(not registered)" after its text.
// Returns the process exit code: 1 when the main menu has no Plug-ins menu.
int runMenu();

}  // namespace talvo_app
