// The in-memory host's global state: one host per process, as with the real host.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <vector>

#include "host/app.h"
#include "host/scene.h"
#include "host/ui.h"

namespace host {

struct HostState {
  // Folders.
  Filename preferencesFolder;
  Filename documentsFolder;
  Filename pluginFolder;

  // User interface.
  std::function<void(const String&)> consoleSink;
  app::StatusBar statusBar;
  std::function<void(const app::StatusBar&)> statusObserver;
  int32_t mousePointer = 2;  // normal
  int32_t eventAdds = 0;
  std::map<int32_t, int32_t> heldKeys;  // key -> polls left
  std::function<bool(int32_t)> keySource;
  std::vector<app::ShownBox> shownBoxes;
  std::deque<int32_t> queuedAnswers;
  std::function<int32_t(int32_t, const String&)> boxResponder;

  // Memory.
  int64_t allocations = 0;
  int64_t failAt = 0;
  int64_t liveAllocations = 0;

  // Resources.
  std::map<int32_t, String> strings;

  // Documents.
  std::vector<BaseDocument*> documentList;
  BaseDocument* activeDocument = nullptr;
};

HostState& state();

// Counts one allocation of host memory made outside memAlloc (geometry arrays); false
// when the allocation hook makes it fail.
bool allocationAllowed();

// Forgets every registered icon (part of app::resetPlugins).
void clearIcons();

}  // namespace host
