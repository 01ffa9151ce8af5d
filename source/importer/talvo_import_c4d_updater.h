// The updater: checks whether a newer version of the plug-in is offered. For now only its
// command is registered.
#pragma once

#include <cstdint>

#include "host/plugins.h"

namespace talvo {

constexpr int32_t kCommandUpdater = 1028635;

class cCommandUpdater : public host::CommandData {
 public:
  // Runs the update check; does nothing yet.
  bool execute(host::BaseDocument* document) override { return true; }
};

// Registers the command; false (with a console line) when a string is missing.
bool registerUpdaterCommand();

}  // namespace talvo
