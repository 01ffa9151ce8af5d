#include "talvo_import_c4d_direct.h"

#include <new>

#include "host/prefs.h"
#include "host/resource.h"
#include "host/scene.h"
#include "host/ui.h"
#include "talvo_import_c4d_command.h"
#include "talvo_import_c4d_diagnostics.h"
#include "talvo_import_c4d_message.h"

namespace talvo {
namespace {

constexpr int32_t kLoadingMergeBit = 32;

}  // namespace

bool cDirectMethod::identify(const host::Filename& name, const uint8_t* probe, int32_t size) {
  // The magic is checked by the import itself, which can tell the user what is wrong.
  return name.checkSuffix("TALVO");
}

int32_t cDirectMethod::load(const host::Filename& name, host::BaseDocument* document, int32_t flags,
                            host::String* error) {
  printLine("%s", kBlockLine);
  printLine("File Opened from File Menu: %s", host::stringTo8Bit(name.string()).c_str());
  printLine("%s", kBlockLine);
  host::statusClear();

  host::Container request(kSceneLoaderId);
  if (const host::Container* stored = host::getWorldPluginData(kSceneLoaderId)) {
    request = *stored;
  } else {
    printLine("Not Found BaseContainer: Direct Loader");
    printLine("%s", kBlockLine);
  }
  request.setFilename(kParkedFileName, name);
  request.setValue(kParkedActiveDocument, host::documentLinkValue(host::getActiveDocument()));
  request.setValue(kParkedLoadingDocument, host::documentLinkValue(document));
  request.setBool(kParkedMergeFlag, (flags & kLoadingMergeBit) != 0);
  host::setWorldPluginData(kSceneLoaderId, request);

  host::specialEventAdd(kEventParkedImport);
  return 0;
}

host::BaseDocument* chooseTargetDocument() {
  const host::Container* request = host::getWorldPluginData(kSceneLoaderId);
  if (!request) return nullptr;
  const host::HostValue none;
  const host::HostValue* activeBefore = request->getValue(kParkedActiveDocument);
  const host::HostValue* loading = request->getValue(kParkedLoadingDocument);
  const bool merge = request->getBool(kParkedMergeFlag);
  const host::HostValue& activeLink = activeBefore ? *activeBefore : none;
  const host::HostValue& loadingLink = loading ? *loading : none;

  if (!(activeLink == loadingLink) && !merge) {
    // The host opened an empty document for the file; the import goes back to the
    // document that was active then.
    if (host::BaseDocument* opened = host::linkedDocument(loadingLink)) host::killDocument(opened);
    if (host::BaseDocument* previous = host::linkedDocument(activeLink)) {
      host::setActiveDocument(previous);
      return host::getActiveDocument();
    }
    host::BaseDocument* fresh = host::BaseDocument::alloc();
    if (!fresh) return nullptr;
    host::insertBaseDocument(fresh);
    host::setActiveDocument(fresh);
    return fresh;
  }
  return host::getActiveDocument();
}

bool runParkedImport() {
  // Without a parked request the hidden command would run on no file at all.
  if (!host::getWorldPluginData(kSceneLoaderId)) return false;
  host::BaseDocument* document = chooseTargetDocument();
  if (!document) return false;
  return host::executeCommand(host::findPlugin(kCommandImportHidden, host::kPluginCommand), document);
}

bool closeParkedDocument() {
  const host::Container* request = host::getWorldPluginData(kSceneLoaderId);
  if (!request) return false;
  const host::HostValue* loading = request->getValue(kParkedLoadingDocument);
  host::BaseDocument* document = loading ? host::linkedDocument(*loading) : nullptr;
  if (!document) return false;
  host::killDocument(document);
  return true;
}

bool registerSceneLoader() {
  const host::String name = host::loadString(kLoaderNameString);
  if (name.empty()) return false;
  return host::registerSceneLoaderPlugin(
      kSceneLoaderId, name, 0, [] { return new (std::nothrow) cDirectMethod; }, "");
}

}  // namespace talvo
