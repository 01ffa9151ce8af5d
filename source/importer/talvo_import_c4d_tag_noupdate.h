// The no-update tag: an update leaves the tagged object and everything below it as it is.
#pragma once

#include <cstdint>

#include "host/plugins.h"

namespace talvo {

constexpr int32_t kTagNoUpdate = 1028680;

class cTagUpdatePlugin : public host::TagData {
 public:
  int32_t execute(host::BaseTag* tag, host::BaseDocument* document, host::BaseObject* object) override {
    return 0;
  }
};

// Registers the tag; false (with a console line) when its name string is missing.
bool registerNoUpdateTag();

}  // namespace talvo
