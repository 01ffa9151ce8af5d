// The import controller: runs one import of a scene file into a host document, from the
// choice of the file to the timing report, and owns every object of the run.
#pragma once

#include <cstdint>

#include "host/filename.h"

namespace host {
class BaseDocument;
}

namespace talvo {

struct ImportOptions;

class ImportController {
 public:
  ImportController();
  ~ImportController();
  ImportController(const ImportController&) = delete;
  ImportController& operator=(const ImportController&) = delete;

  // Runs the import into `document` (the active document when the command runs). From
  // the File menu the file is given; otherwise the user chooses it. 0 on success, else
  // the status that ended the run; what was built so far stays in the document.
  [[nodiscard]] int32_t runImport(host::BaseDocument* document, bool fromFileMenu, const host::Filename& fileName);

  // Shows the message of a failed run (and offers the update check for an unknown version).
  void reportStatus(int32_t status);

  // The run's options as the run left them.
  const ImportOptions& options() const;

 private:
  struct Run;
  Run* run_;
};

}  // namespace talvo
