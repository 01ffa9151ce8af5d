// The new-null tag: marks every null and polygon object an import creates, so that the
// cleaner and the sorter can tell them from the user's; removed at the end of the run.
#pragma once

#include <cstdint>

#include "host/plugins.h"

namespace talvo {

constexpr int32_t kTagNewNull = 1028593;

class cTagNewNullPlugin : public host::TagData {
 public:
  int32_t execute(host::BaseTag* tag, host::BaseDocument* document, host::BaseObject* object) override {
    return 0;
  }
};

// Registers the tag; false (with a console line) when its name string is missing.
bool registerNewNullTag();

}  // namespace talvo
