#include "talvo_melange_material.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <numbers>
#include <optional>

#include "host/text.h"
#include "host/values.h"

namespace talvo::melange {

namespace {

using host::BaseMaterial;
using host::Container;
using host::HostValue;
using host::String;

// A real counts as set above 1e-6 as a 32-bit float, the scene's own test for "not 0".
constexpr double kZero = 9.999999974752427e-7;

bool isSet(double value) { return std::fabs(value) > kZero; }

char upperAscii(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

std::string upperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = upperAscii(c);
  return out;
}

// Keys compare with ASCII letters in either case; `upper` is written in upper case.
bool isKey(const char* text, std::string_view upper) {
  const std::string_view t(text);
  return t.size() == upper.size() && std::equal(t.begin(), t.end(), upper.begin(),
                                                [](char a, char b) { return upperAscii(a) == b; });
}

// The channel groups, each with the same parameters: STATE, R, G, B, BRIGHT, TEXTURE.
struct ChannelGroup {
  std::string_view group;
  int32_t channel;
  int32_t useSwitch;
};
constexpr ChannelGroup kChannelGroups[] = {
    {"CHCOL", host::kChannelColor, kMaterialUseColor},
    {"CHLUM", host::kChannelLuminance, kMaterialUseLuminance},
    {"CHTRA", host::kChannelTransparency, kMaterialUseTransparency},
    {"CHREF", host::kChannelReflection, kMaterialUseReflection},
    {"CHBUM", host::kChannelBump, kMaterialUseBump},
    {"CHALP", host::kChannelAlpha, kMaterialUseAlpha},
};

// Single real entries that become one parameter.
enum class Conversion { real, length, angle, toggle };
struct ParameterRule {
  std::string_view group;
  std::string_view parameter;
  int32_t id;
  Conversion conversion;
};
constexpr ParameterRule kMaterialRules[] = {
    {"CHTRA", "REFRACT", kMaterialRefraction, Conversion::real},
    {"CHBUM", "STRENGTH", kMaterialBumpStrength, Conversion::real},
    {"CHSIZE", "HORSIZE", kMaterialSizeHorizontal, Conversion::length},
    {"CHSIZE", "VERSIZE", kMaterialSizeVertical, Conversion::length},
    {"CHSIZE", "DEPSIZE", kMaterialSizeDepth, Conversion::length},
    {"CHSIZE", "ANGLE", kMaterialSizeAngle, Conversion::angle},
    {"CHSIZE", "KEEPPROP", kMaterialKeepProportions, Conversion::toggle},
    {"CHSIZE", "RANDORIG", kMaterialRandomOrigin, Conversion::toggle},
};
constexpr ParameterRule kGrassRules[] = {
    {"CHGRA", "LENGTH", kGrassLength, Conversion::length},
    {"CHGRA", "DENSITY", kGrassDensity, Conversion::real},
};
constexpr std::string_view kGrassGroup = "CHGRA";

// The value a rule gives; none when the result is not finite.
std::optional<HostValue> convert(Conversion conversion, double value, double effectiveScale) {
  double result = value;
  switch (conversion) {
    case Conversion::real:
      break;
    case Conversion::length:
      result = value * effectiveScale;
      break;
    case Conversion::angle:
      result = value * (std::numbers::pi / 180.0);
      break;
    case Conversion::toggle:
      return HostValue::integer(isSet(value) ? 1 : 0);
  }
  if (!std::isfinite(result)) return std::nullopt;
  return HostValue::real(result);
}

const ParameterRule* findRule(const TalvoMelangeParameter& entry, const ParameterRule* begin,
                              const ParameterRule* end) {
  for (const ParameterRule* r = begin; r != end; ++r)
    if (isKey(entry.group, r->group) && isKey(entry.parameter, r->parameter)) return r;
  return nullptr;
}

// Which colour component an R, G or B parameter sets; -1 for other parameters.
int colorComponent(const char* parameter) {
  if (isKey(parameter, "R")) return 0;
  if (isKey(parameter, "G")) return 1;
  if (isKey(parameter, "B")) return 2;
  return -1;
}

void setComponent(host::Vector& v, int component, double value) {
  (component == 0 ? v.x : component == 1 ? v.y : v.z) = std::clamp(value, 0.0, 1.0);
}

bool isImage(const TalvoMelangeParameter& entry) {
  return isKey(entry.group, "SHIMAGE") && isKey(entry.parameter, "FILE");
}

// The images of a shader by key index: the file name each gives, empty for none. A later
// entry of an index replaces an earlier one.
using Images = std::map<int32_t, String>;

Images collectImages(const TalvoMelangeShader& shader, const TextureIndex& textures) {
  Images images;
  for (int32_t i = 0; i < shader.parameterCount; ++i) {
    const TalvoMelangeParameter& entry = shader.parameters[i];
    if (entry.recognised && entry.valueType == TALVO_MELANGE_VALUE_STRING && entry.index >= 1 && isImage(entry))
      images[entry.index] = textures.fileName(entry.stringValue);
  }
  return images;
}

// The image a TEXTURE entry names by its key index; nullptr when the value is no index
// of an image with a file name.
const String* textureOf(double value, const Images& images) {
  if (!(value >= 1.0 && value <= double(INT32_MAX)) || value != std::trunc(value)) return nullptr;
  const auto it = images.find(int32_t(value));
  return it == images.end() || it->second.empty() ? nullptr : &it->second;
}

const ChannelGroup* findChannelGroup(const char* group) {
  for (const ChannelGroup& g : kChannelGroups)
    if (isKey(group, g.group)) return &g;
  return nullptr;
}

// Applies a real entry of a channel group's own parameters to the channel's data (or
// its use switch); false when the parameter is none of them.
bool applyChannelEntry(const TalvoMelangeParameter& entry, const ChannelGroup& group, const MaterialContext& context,
                       const Images& images, Container& channel, Container& data) {
  const double value = entry.realValue;
  if (isKey(entry.parameter, "STATE")) {
    data.setInt32(group.useSwitch, isSet(value) ? 1 : 0);
  } else if (const int component = colorComponent(entry.parameter); component >= 0) {
    host::Vector color = channel.getVector(host::kChannelDataColor);
    setComponent(color, component, value);
    channel.setVector(host::kChannelDataColor, color);
  } else if (isKey(entry.parameter, "BRIGHT")) {
    channel.setReal(host::kChannelDataBrightness, value);
  } else if (isKey(entry.parameter, "TEXTURE")) {
    if (const String* file = textureOf(value, images)) {
      channel.setFilename(host::kChannelDataTexture, *file);
      channel.setFilename(host::kChannelDataSuggestedFolder, context.textureFolder);
    }
  } else {
    return false;
  }
  return true;
}

struct MaterialOwner {
  void operator()(BaseMaterial* m) const { BaseMaterial::free(m); }
};

// A standard material with the name, appended after *inOutLast; nullptr when memory is
// short.
BaseMaterial* appendMaterial(host::BaseDocument& document, const String& name, BaseMaterial*& inOutLast) {
  std::unique_ptr<BaseMaterial, MaterialOwner> material(BaseMaterial::alloc(host::kMaterialStandard));
  if (!material) return nullptr;
  material->setName(name);
  document.insertMaterial(material.get(), inOutLast);
  inOutLast = material.release();
  return inOutLast;
}

// The grass settings of a shader.
struct Grass {
  bool on = false;
  std::optional<double> color[3];
  Container data;  // kGrassRules' parameters
};

}  // namespace

TextureIndex::TextureIndex(const TalvoMelangeTexture* textures, int32_t count) {
  for (int32_t i = 0; i < count; ++i) {
    // emplace keeps the first texture of a path or title.
    byPath_.emplace(upperAscii(textures[i].path), textures[i].path);
    byTitle_.emplace(upperAscii(textures[i].fileTitle), textures[i].path);
  }
}

String TextureIndex::fileName(std::string_view imageName) const {
  std::string_view path = imageName;
  const std::string key = upperAscii(imageName);
  if (const auto it = byPath_.find(key); it != byPath_.end())
    path = it->second;
  else if (const auto title = byTitle_.find(key); title != byTitle_.end())
    path = title->second;

  // Only the file part is used, so that no name reaches outside the texture folder.
  if (const size_t cut = path.find_last_of("/\\"); cut != std::string_view::npos) path.remove_prefix(cut + 1);
  if (path.size() >= 2 && path[1] == ':' && upperAscii(path[0]) >= 'A' && upperAscii(path[0]) <= 'Z')
    path.remove_prefix(2);
  if (path.empty() || path == "." || path == "..") return {};
  return host::stringFromUtf8(path);
}

bool appendShaderMaterials(host::BaseDocument& document, int32_t shaderIndex, const TalvoMelangeShader& shader,
                           const MaterialContext& context, BaseMaterial*& inOutLast) {
  if (shader.recognisedCount == 0) return true;
  const Images images = collectImages(shader, context.textures);
  const String name = host::int32ToString(shaderIndex);
  BaseMaterial* material = appendMaterial(document, name, inOutLast);
  if (!material) return false;

  // Channel data is changed in copies and written back once.
  Container channels[host::kChannelCount];
  for (int32_t c = 0; c < host::kChannelCount; ++c)
    if (const host::BaseChannel* channel = material->getChannel(c)) channels[c] = channel->getData();
  Container& data = material->getDataInstance();
  Grass grass;

  for (int32_t i = 0; i < shader.parameterCount; ++i) {
    const TalvoMelangeParameter& entry = shader.parameters[i];
    // Every entry used from here on is one real without a key index; images were read
    // above.
    if (!entry.recognised || entry.valueType != TALVO_MELANGE_VALUE_REAL || entry.index != 0) continue;
    const double value = entry.realValue;
    if (!std::isfinite(value)) continue;

    if (const ChannelGroup* group = findChannelGroup(entry.group)) {
      host::BaseChannel* channel = material->getChannel(group->channel);
      if (channel && applyChannelEntry(entry, *group, context, images, channels[group->channel], data)) continue;
    }
    if (const ParameterRule* rule = findRule(entry, std::begin(kMaterialRules), std::end(kMaterialRules))) {
      if (auto v = convert(rule->conversion, value, context.effectiveScale)) data.setValue(rule->id, std::move(*v));
    } else if (isKey(entry.group, kGrassGroup)) {
      if (isKey(entry.parameter, "STATE")) {
        grass.on = isSet(value);
      } else if (const int component = colorComponent(entry.parameter); component >= 0) {
        grass.color[component] = value;
      } else if (const ParameterRule* g = findRule(entry, std::begin(kGrassRules), std::end(kGrassRules))) {
        if (auto v = convert(g->conversion, value, context.effectiveScale)) grass.data.setValue(g->id, std::move(*v));
      }
    }
  }
  for (int32_t c = 0; c < host::kChannelCount; ++c)
    if (host::BaseChannel* channel = material->getChannel(c)) channel->setData(channels[c]);
  if (!grass.on) return true;

  // The grass takes the shader's colour where the grass entries give none.
  BaseMaterial* grassMaterial = appendMaterial(document, name + "_grass", inOutLast);
  if (!grassMaterial) return false;
  host::Vector color = channels[host::kChannelColor].getVector(host::kChannelDataColor);
  for (int component = 0; component < 3; ++component)
    if (grass.color[component]) setComponent(color, component, *grass.color[component]);
  if (host::BaseChannel* channel = grassMaterial->getChannel(host::kChannelColor)) {
    Container colorData = channel->getData();
    colorData.setVector(host::kChannelDataColor, color);
    channel->setData(colorData);
  }
  Container& grassData = grassMaterial->getDataInstance();
  grassData.setInt32(kMaterialUseColor, 1);
  for (const auto& [id, value] : grass.data.entries()) grassData.setValue(id, value);
  return true;
}

}  // namespace talvo::melange
