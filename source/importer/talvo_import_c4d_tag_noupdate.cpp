#include "talvo_import_c4d_tag_noupdate.h"

#include "host/resource.h"
#include "talvo_import_c4d_diagnostics.h"

namespace talvo {

bool registerNoUpdateTag() {
  const host::String name = host::loadString(15003);
  if (name.empty()) {
    printLine("Talvo failed to load str: IDS_TAG_NOUPDATE");
    return false;
  }
  return host::registerTagPlugin(
      kTagNoUpdate, name, host::kTagVisible, [] { return new cTagUpdatePlugin; }, "tupdatetag", 0);
}

}  // namespace talvo
