// The two import commands: the plug-in's menu command, which lets the user choose the
// file, and the hidden command that imports the file the scene loader parked.
#pragma once

#include <cstdint>

#include "host/plugins.h"

namespace talvo {

constexpr int32_t kCommandImport = 1027288;
constexpr int32_t kCommandImportHidden = 1027289;
// Icons from the two 16 x 16 halves of "Talvo_type.tif".
constexpr int32_t kIconTypeLeft = 1033710;
constexpr int32_t kIconTypeRight = 1033711;
constexpr int32_t kImportNameString = 16001;
constexpr int32_t kImportHelpString = 16003;

class cCommandPluginTALVO : public host::CommandData {
 public:
  // Runs an import of a file the user chooses; false when it failed (its status shown).
  bool execute(host::BaseDocument* document) override;
};

class cCommandPluginHideTALVO : public host::CommandData {
 public:
  // Runs an import of the parked file; false when it failed (its status shown).
  bool execute(host::BaseDocument* document) override;
};

// Registers both commands and the two icons; false (with a console line) when the
// picture or a string is missing, or when the host refuses a command.
bool registerImportCommands();

}  // namespace talvo
