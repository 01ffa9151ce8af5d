// Start-up of the command-line host: menu resources, plug-in libraries, menus.
#pragma once

#include <string>

namespace talvo_app {

// Loads the host's menu resources from `menuFile`, loads and starts every plug-in library
// of `pluginFolder`, then builds the menus. Problems go to standard error as one line
// each; the host starts with whatever did load.
void startHost(const std::string& pluginFolder, const std::string& menuFile);

}  // namespace talvo_app
