#include "talvo_import_c4d_tag_null.h"

#include "talvo_import_c4d_diagnostics.h"

namespace talvo {

namespace {
// Registration flags of a tag the user never sees.
constexpr int32_t kHiddenTag = 0x30000000;
}  // namespace

bool registerNewNullTag() {
  const host::String name = loadRegistrationString(15001, "IDS_TAG_NEWNULL");
  if (name.empty()) return false;
  return host::registerTagPlugin(
      kTagNewNull, name, kHiddenTag, [] { return new cTagNewNullPlugin; }, "tnewnulltag", nullptr);
}

}  // namespace talvo
