#include "talvo_import_xmlmap_light.h"

#include <string>

#include "host/scene.h"
#include "talvo_import_c4d_diagnostics.h"
#include "talvo_import_c4d_loader.h"
#include "talvo_import_c4d_materials.h"
#include "talvo_import_xmlmap_shader.h"

namespace talvo {

LightData::LightData(MapperContext& context, MaterialBuilder& materials, const ParameterSet& parameters,
                     int32_t lightIndex)
    : context_(context),
      lightIndex_(lightIndex),
      tree_(context.mapper, context.lengthScale, context.textureFolder, channelTable_, shaderTable_) {
  printLine("Process light: %d", lightIndex_);
  host::String photometricFile;
  for (size_t i = 0; i < parameters.entries.size(); ++i) {
    const ParameterEntry& entry = parameters.entries[i];
    const ParameterKey& key = entry.key;
    if (entry.valueType == 0 || !key.recognised) {
      printLine("Warning: Parameter not valid: %s", text8(key.fullName).c_str());
      continue;
    }
    // The version entries say which exporter wrote the set; the mapping is the same for all.
    if (key.index == 0 && (key.fullName == "C4D_VER_MAIN" || key.fullName == "C4D_VER_SUB")) continue;
    tree_.addEntry(entry);
    if (key.index == 0 && key.fullName == "C4D_PHO_FILE")
      photometricFile = host::stringFromUtf8(entry.stringValue);
  }
  // The light's parameter names the file in the texture folder whatever this gives. When
  // the folder could not be made, the file went to the one the materials builder fell
  // back to, and so do the file names of every later light.
  if (!photometricFile.empty()) {
    materials.resolveTexture(photometricFile);
    context_.textureFolder = materials.textureFolder();
  }
}

host::BaseObject* LightData::buildLight() {
  tree_.forEachGroup([this](const host::String& group) { tree_.AddToDefaultTree(group); });
  channelTable_.forEach(
      [this](const host::String& key, TalChannel& channel) { tree_.fillChannel(key, channel); });

  host::BaseObject* light = host::BaseObject::alloc(host::kObjectLight);
  if (!light) {
    printLine("Error: cannot allocate LightObject: %d", lightIndex_);
    return nullptr;
  }
  channelTable_.forEach([&](const host::String& key, const TalChannel& channel) {
    channel.params.forEach(
        [&](const host::String& name, const XmlParam& param) { applyParam(light, key, name, param); });
  });
  return light;
}

void LightData::applyParam(host::BaseObject* light, const host::String& channel, const host::String& name,
                           const XmlParam& param) const {
  const std::string c = text8(channel), p = text8(name);
  host::Container& data = light->getDataInstance();
  if (param.c4dId == 0) {
    printLine("Error: parameter without ID: %s_%s", c.c_str(), p.c_str());
    return;
  }
  if (param.value.type() != host::kValueString) {
    // Integers, reals, vectors and file names are set as they are.
    if (param.value.type() != host::kValueNone) data.setValue(param.c4dId, param.value);
    return;
  }
  const host::String& text = param.value.getString();
  if (isEnumCode(param.typeCode)) {
    const int32_t n = context_.mapper.findEnumValue("ALL", param.typeCode, param.value);
    if (n == -1) {
      printLine("Error: Not found enum value: %s_%s", c.c_str(), p.c_str());
    } else {
      data.setInt32(param.c4dId, n);
    }
  } else if (isShaderCode(param.typeCode)) {
    const std::vector<host::String> pieces = host::splitString(text, ',');
    if (pieces.size() != 1) {
      printLine("Error: Wrong root shader count: %s_%s %u", c.c_str(), p.c_str(), unsigned(pieces.size()));
      return;
    }
    ShaderValue value = ShaderBuilder(context_.mapper, shaderTable_).buildShaderValue(pieces[0]);
    if (!setShaderParameter(light, param, value))
      printLine("Error: Cannot set shader: %s_%s %s", c.c_str(), p.c_str(), text8(pieces[0]).c_str());
  } else if (param.typeCode == 13 && name == "FILE") {
    data.setFilename(param.c4dId, host::Filename(text));
  } else {
    printLine("Error: Unknown string parameter: %s_%s %s", c.c_str(), p.c_str(), text8(text).c_str());
  }
}

}  // namespace talvo
