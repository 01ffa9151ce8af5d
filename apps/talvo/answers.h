// The answers a person gives in the importer's dialogs, given on the command line and
// worked into the dialogs as the host's dialog user.
//
// Import options dialog (dialog resource 11000), in this order:
//   --mode new|merge|update   sets the insertion choice 11304, 11305 or 11306 on, after
//                             setting off the other two where they are on (userSet, so
//                             the dialog's command sees each change)
//   --update-target NAME      sets the list of earlier imports 11307 to NAME, the name of
//                             the entry to select
//   --set NAME=VALUE          sets the option's gadget: NAME is an option's field name
//                             (its gadget is the option's key) or a gadget id; VALUE is
//                             read as the option's type (booleans also as true/false or
//                             on/off), or, for a gadget id that is no option, by the
//                             gadget's kind
//   --cancel                  presses cancel (2); otherwise the user presses confirm (1)
//   --preset NAME             accepted and not applied yet
// Instance dialog (dialog resource 20000): --instances CHOICE goes as text into gadget
// 20001, then the user presses confirm (1).
// Any other dialog is left without an answer, which cancels it. A gadget that is missing
// or disabled when an answer needs it is reported on standard error and skipped.
#pragma once

#include <string>
#include <vector>

#include "host/dialog.h"

namespace talvo_app {

struct DialogAnswers {
  std::string mode;  // empty: the dialog's own choice
  std::vector<std::string> sets;
  std::string updateTarget;
  std::string instances;
  std::string preset;
  bool cancel = false;
};

// False with the reason when an answer cannot be worked: an unknown mode, a --set
// without "=", a name that is neither an option nor a number, or a value that is no
// value of its option.
bool checkAnswers(const DialogAnswers& answers, std::string* outError);

// The host's dialog user for the answers (checked before).
host::DialogUser makeDialogUser(DialogAnswers answers);

}  // namespace talvo_app
