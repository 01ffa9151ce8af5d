#include "talvo_import_c4d_lights.h"

#include "talvo_import_c4d_loader.h"
#include "talvo_import_c4d_options.h"

namespace talvo {

void LightBuilder::prepareMapper() {
  context_.prepare(options_.effectiveScale, options_.textureFolder);
}

host::BaseObject* LightBuilder::buildMappedLight(int32_t light) {
  if (light < 0 || light >= loader_.lightsRead()) return nullptr;
  const ParameterSet& parameters = loader_.lights[size_t(light)].parameters;
  if (parameters.recognisedCount == 0) return nullptr;
  LightData data(context_, materials_, parameters, light);
  return data.buildLight();
}

}  // namespace talvo
