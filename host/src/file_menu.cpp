// The host's File menu: opening and merging a file through the registered scene loaders.
#include "host/app.h"
#include "host/file.h"
#include "host/plugins.h"
#include "host/scene.h"

namespace host {
namespace {

// How much of the file scene loaders see when they identify it.
constexpr int64_t kProbeBytes = 1024;

}  // namespace

namespace app {

OpenResult openSceneFile(const Filename& name, bool merge) {
  uint8_t probe[kProbeBytes];
  int64_t probeSize = 0;
  {
    BaseFile file;
    if (!file.open(name, FileMode::read)) return OpenResult::cannotRead;
    probeSize = file.readBytes(probe, kProbeBytes, true);
    file.close();
  }

  const BasePlugin* chosen = nullptr;
  for (const BasePlugin* p : pluginsOfType(kPluginSceneLoader)) {
    if (p->loader && p->loader->identify(name, probe, int32_t(probeSize))) {
      chosen = p;
      break;
    }
  }
  if (!chosen) return OpenResult::noLoader;
  // Held while it runs, as the registry could change under a loader's work.
  const std::shared_ptr<SceneLoaderData> loader = chosen->loader;

  int32_t flags = kSceneLoadObjects | kSceneLoadMaterials | kSceneLoadDialogsAllowed;
  String error;
  if (merge) {
    BaseDocument* active = getActiveDocument();
    if (!active) return OpenResult::loaderFailed;
    return loader->load(name, active, flags | kSceneLoadMerge, &error) == kFileOk ? OpenResult::loaded
                                                                                  : OpenResult::loaderFailed;
  }

  BaseDocument* document = BaseDocument::alloc();
  if (!document) return OpenResult::loaderFailed;
  document->setDocumentName(name.file().string());
  document->setDocumentPath(name.directory());
  insertBaseDocument(document);
  if (loader->load(name, document, flags, &error) != kFileOk) {
    killDocument(document);
    return OpenResult::loaderFailed;
  }
  // The loaded document is shown once the loader is done, unless the loader's work closed it.
  setActiveDocument(document);
  return OpenResult::loaded;
}

}  // namespace app
}  // namespace host
