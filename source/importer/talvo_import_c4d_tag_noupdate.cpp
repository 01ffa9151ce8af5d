#include "talvo_import_c4d_tag_noupdate.h"

#include "talvo_import_c4d_bitmap.h"
#include "talvo_import_c4d_diagnostics.h"

namespace talvo {

bool registerNoUpdateTag() {
  const host::String name = loadRegistrationString(15003, "IDS_TAG_NOUPDATE");
  if (name.empty()) return false;
  return host::registerTagPlugin(
      kTagNoUpdate, name, host::kTagVisible, [] { return new cTagUpdatePlugin; }, "tupdatetag",
      loadResourceBitmap("Talvo_noupdate.tif").get());
}

}  // namespace talvo
