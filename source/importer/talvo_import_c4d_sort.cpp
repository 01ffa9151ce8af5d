#include "talvo_import_c4d_sort.h"

#include <new>

#include "talvo_import_c4d_bitmap.h"
#include "talvo_import_c4d_diagnostics.h"

namespace talvo {
namespace {

constexpr int32_t kNameString = 18000;
constexpr int32_t kHelpString = 18001;
constexpr int32_t kCommandFlags = 0x20000000;

}  // namespace

bool registerSorterCommand() {
  const host::String help = loadRegistrationString(kHelpString, "IDS_SORTERSTATUS");
  if (help.empty()) return false;
  const host::String name = loadRegistrationString(kNameString, "IDS_SORTERNAME");
  if (name.empty()) return false;
  const OwnedBitmap icon = loadResourceBitmap("Talvo_sort.tif");
  return host::registerCommandPlugin(kCommandSorter, name, kCommandFlags, icon.get(), help,
                                     new (std::nothrow) cCommandSorter);
}

}  // namespace talvo
