// Mapped lights: a host light object made from a light's recognised scene parameters,
// with every parameter of each channel the light names, the scene's values converted
// through the mapper's tables and the table defaults for the rest.
#pragma once

#include <cstdint>

#include "host/filename.h"
#include "host/text.h"
#include "talvo_import_xmlmap.h"
#include "talvo_import_xmlmap_tree.h"

namespace host {
class BaseObject;
}

namespace talvo {

class MaterialBuilder;
struct ParameterSet;

// The mapper and the two values its conversions need, shared by all lights of an import.
struct MapperContext {
  // The tables at the factor the import starts with, before its options are settled.
  MapperContext() : mapper(1.0), lengthScale(1.0), textureFolder("tex") {}

  // The run's length factor (the stored length defaults follow it) and the folder that
  // embedded files are extracted into.
  void prepare(double scale, const host::Filename& folder) {
    mapper.setLengthScale(scale);
    lengthScale = scale;
    textureFolder = folder;
  }

  XmlMapper mapper;
  double lengthScale;
  host::Filename textureFolder;
};

// One light's mapping, alive while that light is processed.
class LightData {
 public:
  // Files the light's entries; extracts the photometric file the entries name.
  LightData(MapperContext& context, MaterialBuilder& materials, const ParameterSet& parameters,
            int32_t lightIndex);
  LightData(const LightData&) = delete;
  LightData& operator=(const LightData&) = delete;

  // A new light object with the mapped parameters, not inserted into any document and
  // owned by the caller; nullptr when no object could be made.
  host::BaseObject* buildLight();

 private:
  void applyParam(host::BaseObject* light, const host::String& channel, const host::String& name,
                  const XmlParam& param) const;

  MapperContext& context_;
  int32_t lightIndex_;
  ChannelTable channelTable_;
  ShaderTable shaderTable_;
  ChannelTree tree_;  // after the tables it fills
};

}  // namespace talvo
