#include "host_start.h"

#include <cstdio>
#include <vector>

#include "host/app.h"

namespace talvo_app {

void startHost(const std::string& pluginFolder, const std::string& menuFile) {
  host::String error;
  if (!host::app::loadMenuResources(menuFile, &error))
    std::fprintf(stderr, "talvo: menus: %s\n", error.c_str());
  std::vector<host::String> problems;
  host::app::loadPlugins(pluginFolder, &problems);
  for (const host::String& problem : problems) std::fprintf(stderr, "talvo: plug-in %s\n", problem.c_str());
  host::app::buildMenus();
}

}  // namespace talvo_app
