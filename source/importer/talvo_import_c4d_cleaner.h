// The cleaner: removes empty null objects. For now only its command is registered.
#pragma once

#include <cstdint>

#include "host/plugins.h"

namespace talvo {

constexpr int32_t kCommandCleaner = 1027292;

class cCommandCleaner : public host::CommandData {
 public:
  // Removes the empty nulls under the selected objects; does nothing yet.
  bool execute(host::BaseDocument* document) override { return true; }
};

// Registers the command; false (with a console line) when a string is missing.
bool registerCleanerCommand();

}  // namespace talvo
