// The light builder: the lights of the scene and of its placed elements. The element
// lights are asked for by the hierarchy and polygon builders where an element's objects
// are made; building the lights themselves comes with the lights phase.
#pragma once

#include <cstdint>

#include "host/text.h"
#include "talvo_import_xmlmap_light.h"

namespace host {
class BaseObject;
}

namespace talvo {

class MaterialBuilder;
class SceneLoader;
struct ImportOptions;

class LightBuilder {
 public:
  // Makes the light-parameter mapper, which prints its banner.
  LightBuilder(SceneLoader& loader, ImportOptions& options, MaterialBuilder& materials)
      : loader_(loader), options_(options), materials_(materials) {}

  // Gives the mapper the run's length factor and the texture folder that the materials
  // builder settled; after prepareMaterials, before any light is built.
  void prepareMapper();

  // A new light object, not inserted, with the mapped parameters of the scene's light;
  // nullptr when the light has no recognised parameters or no object could be made.
  host::BaseObject* buildMappedLight(int32_t light);

  // The lights of a placed element, under parent. 0 or an import status.
  [[nodiscard]] int32_t buildElementLights(host::BaseObject* parent, int32_t element, bool isBase,
                                           const host::String& name) {
    return 0;
  }

 private:
  SceneLoader& loader_;
  ImportOptions& options_;
  MaterialBuilder& materials_;
  MapperContext context_;
};

}  // namespace talvo
