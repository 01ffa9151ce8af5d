#include "dump.h"

#include <cstdio>

#include "host/document_file.h"

namespace talvo_app {

int runDump(const DumpRequest& request) {
  host::String error;
  host::BaseDocument* document = host::loadDocument(request.file, &error);
  if (!document) {
    std::fprintf(stderr, "talvo: cannot load %s: %s\n", request.file.c_str(), error.c_str());
    return 1;
  }
  const host::String text = host::documentJsonText(host::documentToJson(*document, request.geometry));
  host::BaseDocument::free(document);
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace talvo_app
