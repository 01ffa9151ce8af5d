#include "talvo_import_c4d_updater.h"

#include <new>

#include "talvo_import_c4d_bitmap.h"
#include "talvo_import_c4d_diagnostics.h"

namespace talvo {
namespace {

constexpr int32_t kNameString = 21000;
constexpr int32_t kHelpString = 21001;
constexpr int32_t kCommandFlags = 0x20000000;

}  // namespace

bool registerUpdaterCommand() {
  const host::String help = loadRegistrationString(kHelpString, "IDS_UPDATERSTATUS");
  if (help.empty()) return false;
  const host::String name = loadRegistrationString(kNameString, "IDS_UPDATERNAME");
  if (name.empty()) return false;
  const OwnedBitmap icon = loadResourceBitmap("Talvo_update.tif");
  return host::registerCommandPlugin(kCommandUpdater, name, kCommandFlags, icon.get(), help,
                                     new (std::nothrow) cCommandUpdater);
}

}  // namespace talvo
