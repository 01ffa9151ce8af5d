#include "import.h"

#include <cstdio>
#include <filesystem>

#include "host/app.h"
#include "host/dialog.h"
#include "host/document_file.h"
#include "host/plugins.h"
#include "host/scene.h"

namespace talvo_app {
namespace {

// The command of the importer's menu entry.
constexpr int32_t kImportCommand = 1027288;

// The active document the import starts from: the loaded --into document, or a new one.
bool prepareActiveDocument(const std::string& into) {
  host::BaseDocument* document = nullptr;
  if (!into.empty()) {
    host::String error;
    document = host::loadDocument(host::Filename(into), &error);
    if (!document) {
      std::fprintf(stderr, "talvo: %s: %s\n", into.c_str(), error.c_str());
      return false;
    }
    // As the host opens a file: the document's path is the folder it was loaded from.
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::absolute(into, ec).parent_path();
    document->setDocumentPath(host::Filename(folder.string()));
  } else {
    document = host::BaseDocument::alloc();
    if (!document) return false;
    document->setDocumentName("Untitled");
  }
  host::insertBaseDocument(document);
  host::setActiveDocument(document);
  return true;
}

// The File menu's open, then the main loop until nothing is pending. The import ran when
// the loader's event started a command; it succeeded when every command it started did.
bool importThroughFileMenu(const std::string& file) {
  const size_t runsBefore = host::app::commandRuns().size();
  switch (host::app::openSceneFile(host::Filename(file))) {
    case host::app::OpenResult::loaded:
      break;
    case host::app::OpenResult::cannotRead:
      std::fprintf(stderr, "talvo: cannot read %s\n", file.c_str());
      return false;
    case host::app::OpenResult::noLoader:
      std::fprintf(stderr, "talvo: no scene loader reads %s\n", file.c_str());
      return false;
    case host::app::OpenResult::loaderFailed:
      std::fprintf(stderr, "talvo: the scene loader failed on %s\n", file.c_str());
      return false;
  }
  host::app::processEvents();
  const auto& runs = host::app::commandRuns();
  if (runs.size() == runsBefore) {
    std::fprintf(stderr, "talvo: opening %s started no import\n", file.c_str());
    return false;
  }
  for (size_t i = runsBefore; i < runs.size(); ++i)
    if (!runs[i].result) return false;
  return true;
}

bool importThroughMenu(const std::string& file) {
  if (!host::findPlugin(kImportCommand, host::kPluginCommand)) {
    std::fprintf(stderr, "talvo: the importer's command is not registered\n");
    return false;
  }
  host::app::setFileSelection([file](host::Filename& outName, const host::String&) {
    outName = host::Filename(file);
    return true;
  });
  return host::callCommand(kImportCommand);
}

}  // namespace

int runImport(const ImportRequest& request) {
  if (!prepareActiveDocument(request.into)) return 2;
  host::app::setDialogUser(makeDialogUser(request.answers));

  bool ok = request.via == "menu" ? importThroughMenu(request.file) : importThroughFileMenu(request.file);

  // As the host's Undo command would: the import's undo group is the last one.
  if (request.undo) {
    host::BaseDocument* active = host::getActiveDocument();
    if (!active || !active->doUndo()) {
      std::fprintf(stderr, "talvo: there is nothing to undo\n");
      ok = false;
    }
  }

  if (!request.out.empty()) {
    const host::BaseDocument* active = host::getActiveDocument();
    if (!active || !host::saveDocument(*active, host::Filename(request.out))) {
      std::fprintf(stderr, "talvo: cannot write %s\n", request.out.c_str());
      ok = false;
    }
  }
  std::fflush(stdout);
  return ok ? 0 : 1;
}

}  // namespace talvo_app
