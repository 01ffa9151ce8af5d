#include "talvo_import_c4d_tag_nosort.h"

#include "host/resource.h"
#include "talvo_import_c4d_bitmap.h"
#include "talvo_import_c4d_diagnostics.h"

namespace talvo {

bool cTagSortPlugin::init(host::Container& data) {
  data.setBool(kNoSortKeepOrder, true);
  return true;
}

bool cTagSortPlugin::getDDescription(const host::Container& data, host::Description& description,
                                     int32_t singleId) {
  description.resource = "tsorttag";
  description.entries.push_back({kNoSortKeepOrder, host::kValueInteger, host::loadString(15002)});
  description.loaded = true;
  return true;
}

bool registerNoSortTag() {
  const host::String name = loadRegistrationString(15002, "IDS_TAG_NOSORT");
  if (name.empty()) return false;
  return host::registerTagPlugin(
      kTagNoSort, name, host::kTagVisible, [] { return new cTagSortPlugin; }, "tsorttag",
      loadResourceBitmap("Talvo_nosort.tif").get());
}

}  // namespace talvo
