// The sorter: orders imported objects by name. For now only its command is registered.
#pragma once

#include <cstdint>

#include "host/plugins.h"

namespace talvo {

constexpr int32_t kCommandSorter = 1027293;

class cCommandSorter : public host::CommandData {
 public:
  // Sorts the selected objects; does nothing yet.
  bool execute(host::BaseDocument* document) override { return true; }
};

// Registers the command; false (with a console line) when a string is missing.
bool registerSorterCommand();

}  // namespace talvo
