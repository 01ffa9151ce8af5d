#pragma once

#include <string>

#include "answers.h"

namespace talvo_app {

struct ImportRequest {
  std::string file;
  std::string via = "file";  // "file": the host's File menu; "menu": the importer's command
  std::string into;          // a document file to load and make active first
  std::string out;           // a document file to save the active document to afterwards
  bool undo = false;         // undo the last undo group of the active document afterwards
  DialogAnswers answers;
};

// Runs one import on the started host. Through the File menu the host opens the file with
// the scene loader that identifies it and then runs its main loop, which delivers the
// loader's event; through the menu the importer's command runs and its file selection is
// answered with the file. The dialogs are answered with request.answers, which the
// caller has checked (checkAnswers). Returns the
// process exit code: 0 exactly when the import succeeded (and -o, when given, was
// written), 1 when it failed, 2 when the request could not be started.
int runImport(const ImportRequest& request);

}  // namespace talvo_app
