// The light-parameter mapping tables: for every named light parameter of the scene
// ("GEN" "COLOR", ...) the host parameter it feeds, its type code and default; the
// enumeration words; the shader kinds of light gradients and their default settings.
//
// Every table family is keyed first by a set name ("ALL" unless told). String keys are
// stored upper-cased. The maps are the chained maps of common/hash_map.h, whose walk
// order decides the order in which parameters are applied and messages printed. Building
// and lookup problems print one console line each and never stop an import.
#pragma once

#include <cstdint>

#include "common/hash_map.h"
#include "host/text.h"
#include "host/values.h"

namespace talvo {

// Type codes of a parameter: how its scene value is typed and converted.
constexpr int32_t kTypeNone = 0;
constexpr int32_t kTypeLength = 4;
constexpr int32_t kTypeLengthVector = 11;
// Codes 101 to 999 name an enumeration: the scene gives a word of it.
constexpr bool isEnumCode(int32_t typeCode) {
  return typeCode >= 101 && typeCode <= 999;
}
// Codes above 1000 name a shader kind: the scene gives shader references.
constexpr bool isShaderCode(int32_t typeCode) {
  return typeCode > 1000;
}

struct XmlParam {
  int32_t c4dId = -1;
  int32_t typeCode = 0;
  host::HostValue defaultValue;
  host::HostValue value;
  int32_t originShaderId = 0;
};

struct EnumValue {
  int32_t value = 0;
};
using EnumValueMap = common::StringMap<EnumValue>;
using EnumMap = common::IntMap<EnumValueMap>;

struct LightChannel {
  host::String name;
  common::StringMap<XmlParam> params;
};
using LightChannelMap = common::StringMap<LightChannel>;

struct ShaderMap {
  host::String name;
  int32_t shaderId = 0;
  int32_t parentId = 0;
  common::StringMap<XmlParam> params;
};
using ShaderMapStr = common::StringMap<ShaderMap*>;
using ShaderMapInt = common::IntMap<ShaderMap*>;
// The two indexes of one set; either may be missing.
struct ShaderMaps {
  ShaderMapInt* byId = nullptr;
  ShaderMapStr* byName = nullptr;
  host::String set;
};

struct DefaultParam {
  host::String name;
  int32_t c4dId = 0;
  int32_t typeCode = 0;
  host::HostValue defaultValue;
};

struct DefaultValues {
  int32_t shaderId = 0;
  ShaderMap* root = nullptr;
  common::PtrVector<DefaultParam> params;
};
struct DefaultMap {
  host::String set;
  common::StringMap<DefaultValues> values;
};

class XmlMapper {
 public:
  // Prints the banner and builds the built-in contents.
  explicit XmlMapper(double lengthScale);
  XmlMapper(const XmlMapper&) = delete;
  XmlMapper& operator=(const XmlMapper&) = delete;

  double lengthScale() const { return lengthScale_; }
  // Builds the built-in contents again for another length factor, silently, so that the
  // stored length defaults are the exact products with the new factor.
  void setLengthScale(double lengthScale);

  // Building. An empty set name means "ALL".
  EnumMap* createEnumMap(const host::String& set = {});
  EnumValueMap* createEnumValueMap(EnumMap* enumMap, int32_t code);
  bool addEnumValue(EnumValueMap* valueMap, const host::String& word, int32_t value);
  LightChannelMap* createLightChannelMap(const host::String& set = {});
  LightChannel* addLightChannel(LightChannelMap* channelMap, const host::String& name);
  bool addLightParam(LightChannel* channel, const host::String& name, int32_t c4dId, int32_t typeCode,
                     host::HostValue defaultValue);
  ShaderMaps createShaderMaps(const host::String& set = {});
  ShaderMap* addShaderMap(const ShaderMaps& maps, const host::String& name, int32_t shaderId, int32_t parentId);
  bool addShaderParam(ShaderMap* shaderMap, const host::String& name, int32_t c4dId, int32_t typeCode,
                      host::HostValue defaultValue);
  DefaultMap* createDefaultMap(const host::String& set = {});
  DefaultValues* addDefaultValues(DefaultMap* defaultMap, const host::String& name, int32_t shaderId);
  bool addDefaultParam(DefaultValues* defaultValues, const host::String& name, host::HostValue defaultValue);

  // Lookups; none of them changes the tables.
  int32_t findEnumValue(const host::String& set, int32_t code, const host::HostValue& value) const;
  // The same lookup of a word without the checks of the value; -1 when it is missing.
  int32_t findEnumWord(const host::String& set, int32_t code, const host::String& word) const;
  LightChannel* findLightChannel(const host::String& set, const host::String& channelName) const;
  XmlParam* findLightParam(const host::String& set, const host::String& channelName,
                           const host::String& paramName) const;
  ShaderMap* findShaderMapByName(const host::String& set, const host::String& name) const;
  ShaderMap* findShaderMapById(const host::String& set, int32_t shaderId) const;
  XmlParam* findShaderParam(const ShaderMap* shaderMap, const host::String& name) const;
  DefaultValues* findDefaultValues(const host::String& set, const host::String& name) const;

 private:
  // Upper-cases a string default and scales the length defaults of code 4 and 11.
  void normaliseDefault(host::HostValue& value, int32_t typeCode, const host::String& name) const;
  bool addParam(common::StringMap<XmlParam>& params, const host::String& name, int32_t c4dId, int32_t typeCode,
                host::HostValue defaultValue, const char* duplicated, const char* missing);
  // The built-in contents, in their fixed order.
  void addBuiltInContents();

  double lengthScale_;
  common::StringMap<EnumMap> enumMaps_;
  common::StringMap<LightChannelMap> lightChannelMaps_;
  common::StringMap<ShaderMapInt> shaderMapsInt_;
  common::StringMap<ShaderMapStr> shaderMapsStr_;
  common::StringMap<DefaultMap> defaultMaps_;
  common::PtrVector<ShaderMap> shaderMaps_;  // owned; the indexes refer to them
};

}  // namespace talvo
