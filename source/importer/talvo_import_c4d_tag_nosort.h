// The no-sort tag: the sorter never moves the tagged object; with parameter 1000 on, the
// children keep their order too.
#pragma once

#include <cstdint>

#include "host/plugins.h"

namespace talvo {

constexpr int32_t kTagNoSort = 1028663;
// Parameter: on, the children of the tagged object keep their order as well.
constexpr int32_t kNoSortKeepOrder = 1000;

class cTagSortPlugin : public host::TagData {
 public:
  // Writes the default: children keep their order.
  bool init(host::Container& data) override;
  bool getDDescription(const host::Container& data, host::Description& description,
                       int32_t singleId) override;
  int32_t execute(host::BaseTag* tag, host::BaseDocument* document, host::BaseObject* object) override {
    return 0;
  }
};

// Registers the tag; false (with a console line) when its name string is missing.
bool registerNoSortTag();

}  // namespace talvo
