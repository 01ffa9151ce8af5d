#include "talvo_import_c4d_cleaner.h"

#include <new>

#include "talvo_import_c4d_bitmap.h"
#include "talvo_import_c4d_diagnostics.h"

namespace talvo {
namespace {

constexpr int32_t kNameString = 19000;
constexpr int32_t kHelpString = 19001;
constexpr int32_t kCommandFlags = 0x20000000;

}  // namespace

bool registerCleanerCommand() {
  const host::String help = loadRegistrationString(kHelpString, "IDS_CLEANERSTATUS");
  if (help.empty()) return false;
  const host::String name = loadRegistrationString(kNameString, "IDS_CLEANERNAME");
  if (name.empty()) return false;
  const OwnedBitmap icon = loadResourceBitmap("Talvo_delnull.tif");
  return host::registerCommandPlugin(kCommandCleaner, name, kCommandFlags, icon.get(), help,
                                     new (std::nothrow) cCommandCleaner);
}

}  // namespace talvo
