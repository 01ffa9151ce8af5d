#include "talvo_import_c4d_command.h"

#include <new>

#include "host/bitmap.h"
#include "host/prefs.h"
#include "host/scene.h"
#include "talvo_import_c4d_bitmap.h"
#include "talvo_import_c4d_controller.h"
#include "talvo_import_c4d_diagnostics.h"
#include "talvo_import_c4d_direct.h"

namespace talvo {
namespace {

constexpr int32_t kCommandFlags = 0x20000000;

// One run of the controller; a failed run shows its status.
bool runController(host::BaseDocument* document, bool fromFileMenu, const host::Filename& fileName) {
  host::prepareDocumentChanges();
  ImportController controller;
  const int32_t status = controller.runImport(document, fromFileMenu, fileName);
  if (status != 0) {
    controller.reportStatus(status);
    return false;
  }
  return true;
}

}  // namespace

bool cCommandPluginTALVO::execute(host::BaseDocument* document) {
  printLine("%s", kBlockLine);
  printLine("File Opened from Plugins Menu");
  printLine("%s", kBlockLine);
  return runController(document, false, host::Filename());
}

bool cCommandPluginHideTALVO::execute(host::BaseDocument* document) {
  const host::Container* request = host::getWorldPluginData(kSceneLoaderId);
  const host::Filename fileName = request ? request->getFilename(kParkedFileName) : host::Filename();
  return runController(document, true, fileName);
}

bool registerImportCommands() {
  const OwnedBitmap type = loadResourceBitmap("Talvo_type.tif");
  if (!type) {
    printLine("Talvo failed to load image: Talvo_type.tif");
    return false;
  }
  host::registerIcon(kIconTypeLeft, type.get(), 0, 0, 16, 16);
  host::registerIcon(kIconTypeRight, type.get(), 16, 0, 16, 16);

  const host::String help = loadRegistrationString(kImportHelpString, "IDS_STATUSCLICK");
  if (help.empty()) return false;
  const host::String name = loadRegistrationString(kImportNameString, "IDS_IMPORTNAME");
  if (name.empty()) return false;

  const OwnedBitmap icon = loadResourceBitmap("Talvo_window.tif");
  if (!host::registerCommandPlugin(kCommandImport, name, kCommandFlags, icon.get(), help,
                                   new (std::nothrow) cCommandPluginTALVO))
    return false;
  return host::registerCommandPlugin(kCommandImportHidden, name, kCommandFlags, nullptr, help,
                                     new (std::nothrow) cCommandPluginHideTALVO);
}

}  // namespace talvo
