#pragma once

#include <string>

namespace talvo_app {

struct DumpRequest {
  std::string file;
  bool geometry = false;
};

// Loads a document file and prints it as JSON on standard output (with `geometry` the
// tags' point, polygon, UVW and normal arrays too). Returns the process exit code: 0 on
// success, 1 with a message on standard error when the file cannot be loaded.
int runDump(const DumpRequest& request);

}  // namespace talvo_app
