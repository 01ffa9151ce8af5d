#pragma once

#include <string>

namespace talvo_app {

struct InspectRequest {
  std::string file;
  double scale = 1.0;
  double uvwScale = 1.0;
  bool json = false;
};

// Checks and reads a scene file as an import does before and after its dialog. Prints the
// console report and "status: N" (or the tables as JSON) on standard output and the
// status message on standard error. Returns the process exit code: 0 exactly on success.
int runInspect(const InspectRequest& request);

}  // namespace talvo_app
