// The light builder: the lights of the scene and of its placed elements. The element
// lights are asked for by the hierarchy and polygon builders where an element's objects
// are made; building the lights themselves comes with the lights phase.
#pragma once

#include <cstdint>

#include "host/text.h"

namespace host {
class BaseObject;
}

namespace talvo {

class SceneLoader;
struct ImportOptions;

class LightBuilder {
 public:
  LightBuilder(SceneLoader& loader, ImportOptions& options) : loader_(loader), options_(options) {}

  // The lights of a placed element, under parent. 0 or an import status.
  [[nodiscard]] int32_t buildElementLights(host::BaseObject* parent, int32_t element, bool isBase,
                                           const host::String& name) {
    return 0;
  }

 private:
  [[maybe_unused]] SceneLoader& loader_;
  [[maybe_unused]] ImportOptions& options_;
};

}  // namespace talvo
