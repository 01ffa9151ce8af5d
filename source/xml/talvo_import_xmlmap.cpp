#include "talvo_import_xmlmap.h"

#include <cctype>

#include "talvo_import_c4d_diagnostics.h"

namespace talvo {
namespace {

const host::String kDefaultSet = "ALL";

// The stored form of a set name: "ALL" for none, upper-cased.
host::String setKey(const host::String& set) { return host::toUpper(set.empty() ? kDefaultSet : set); }

}  // namespace

XmlMapper::XmlMapper(double lengthScale) : lengthScale_(lengthScale) {
  const char* dashes = "-------------------------------------------";
  printLine("%s", dashes);
  printLine("       Xml Mapper");
  printLine("%s", dashes);
  printLine("%s", "");
  addBuiltInContents();
}

void XmlMapper::setLengthScale(double lengthScale) {
  if (lengthScale == lengthScale_) return;
  lengthScale_ = lengthScale;
  enumMaps_.clear();
  lightChannelMaps_.clear();
  shaderMapsInt_.clear();
  shaderMapsStr_.clear();
  defaultMaps_.clear();
  shaderMaps_.clear();
  addBuiltInContents();
}

void XmlMapper::normaliseDefault(host::HostValue& value, int32_t typeCode, const host::String& name) const {
  if (value.type() == host::kValueNone) return;
  if (value.type() == host::kValueString) value = host::HostValue::string(host::toUpper(value.getString()));
  if (typeCode == kTypeLength || typeCode == kTypeLengthVector) {
    if (typeCode == kTypeLength && value.type() == host::kValueReal) {
      value = host::HostValue::real(value.getReal() * lengthScale_);
    } else if (typeCode == kTypeLengthVector && value.type() == host::kValueVector) {
      const host::Vector v = value.getVector();
      value = host::HostValue::vector({v.x * lengthScale_, v.y * lengthScale_, v.z * lengthScale_});
    } else {
      printLine("Warning: wrong default type: %s", text8(name).c_str());
    }
  }
}

// ---------------------------------------------------------------------------------------
// Building

EnumMap* XmlMapper::createEnumMap(const host::String& set) {
  const host::String key = setKey(set);
  bool inserted = false;
  EnumMap* map = enumMaps_.findOrInsert(key, &inserted);
  if (!map) {
    printLine("Fatal: in EnumMap creation: %s", text8(key).c_str());
    return nullptr;
  }
  if (!inserted) {
    printLine("Error: Duplicated EnumMap: %s", text8(key).c_str());
    return nullptr;
  }
  return map;
}

EnumValueMap* XmlMapper::createEnumValueMap(EnumMap* enumMap, int32_t code) {
  if (!enumMap) return nullptr;
  bool inserted = false;
  EnumValueMap* map = enumMap->findOrInsert(code, &inserted);
  if (!map) {
    printLine("Fatal: in EnumValueMap creation: %d", code);
    return nullptr;
  }
  if (!inserted) printLine("Error: Duplicated EnumValueMap: %d", code);
  return map;
}

bool XmlMapper::addEnumValue(EnumValueMap* valueMap, const host::String& word, int32_t value) {
  if (!valueMap) return false;
  const host::String key = host::toUpper(word);
  bool inserted = false;
  EnumValue* entry = valueMap->findOrInsert(key, &inserted);
  if (!entry || !inserted) {
    printLine("Error: Duplicated EnumValue: %s", text8(word).c_str());
    return false;
  }
  entry->value = value;
  if (!valueMap->find(key)) {
    printLine("Fatal: Missing EnumValue: %s", text8(word).c_str());
    return false;
  }
  // A word of several parts is also found without its spaces ("Linear Knot", LinearKnot).
  if (word.find(' ') != host::String::npos) {
    host::String joined;
    for (char c : word)
      if (!std::isspace(static_cast<unsigned char>(c))) joined += c;
    addEnumValue(valueMap, joined, value);
  }
  return true;
}

LightChannelMap* XmlMapper::createLightChannelMap(const host::String& set) {
  const host::String key = setKey(set);
  bool inserted = false;
  LightChannelMap* map = lightChannelMaps_.findOrInsert(key, &inserted);
  if (!map) {
    printLine("Fatal: in LightChannelMap creation: %s", text8(key).c_str());
    return nullptr;
  }
  if (!inserted) printLine("Error: Duplicated LightChannelMap: %s", text8(key).c_str());
  return map;
}

LightChannel* XmlMapper::addLightChannel(LightChannelMap* channelMap, const host::String& name) {
  if (!channelMap) return nullptr;
  const host::String key = host::toUpper(name);
  bool inserted = false;
  LightChannel* channel = channelMap->findOrInsert(key, &inserted);
  if (!channel) return nullptr;
  if (!inserted) {
    printLine("Error: Duplicated LightChannel: %s", text8(name).c_str());
    return channel;
  }
  channel->name = key;
  return channel;
}

bool XmlMapper::addParam(common::StringMap<XmlParam>& params, const host::String& name, int32_t c4dId,
                         int32_t typeCode, host::HostValue defaultValue, const char* duplicated,
                         const char* missing) {
  normaliseDefault(defaultValue, typeCode, name);
  const host::String key = host::toUpper(name);
  bool inserted = false;
  XmlParam* param = params.findOrInsert(key, &inserted);
  if (!param || !inserted) {
    printLine(duplicated, text8(name).c_str());
    return false;
  }
  param->c4dId = c4dId;
  param->typeCode = typeCode;
  param->defaultValue = std::move(defaultValue);
  if (!params.find(key)) {
    printLine(missing, text8(name).c_str());
    return false;
  }
  return true;
}

bool XmlMapper::addLightParam(LightChannel* channel, const host::String& name, int32_t c4dId, int32_t typeCode,
                              host::HostValue defaultValue) {
  if (!channel) return false;
  return addParam(channel->params, name, c4dId, typeCode, std::move(defaultValue), "Error: Duplicated LightParam: %s",
                  "Fatal: Missing LightParam: %s");
}

ShaderMaps XmlMapper::createShaderMaps(const host::String& set) {
  ShaderMaps maps;
  maps.set = setKey(set);
  bool inserted = false;
  maps.byId = shaderMapsInt_.findOrInsert(maps.set, &inserted);
  if (!maps.byId) {
    printLine("Fatal: in ShaderMap creation: %s", text8(maps.set).c_str());
  } else if (!inserted) {
    printLine("Error: Duplicated ShaderMap: %s", text8(maps.set).c_str());
    maps.byId = nullptr;
  }
  maps.byName = shaderMapsStr_.findOrInsert(maps.set, &inserted);
  if (!maps.byName) {
    printLine("Fatal: in ShaderMap creation: %s", text8(maps.set).c_str());
  } else if (!inserted) {
    printLine("Error: Duplicated ShaderMap: %s", text8(maps.set).c_str());
    maps.byName = nullptr;
  }
  return maps;
}

ShaderMap* XmlMapper::addShaderMap(const ShaderMaps& maps, const host::String& name, int32_t shaderId,
                                   int32_t parentId) {
  if (!maps.byId) {
    printLine("Fatal: Missing ShaderMapsInt:");
    return nullptr;
  }
  if (!maps.byName) {
    printLine("Fatal: Missing ShaderMapsStr:");
    return nullptr;
  }
  const host::String key = host::toUpper(name);
  ShaderMap* shaderMap = host::newObject<ShaderMap>();
  if (!shaderMap || !shaderMaps_.append(shaderMap)) {
    printLine("Fatal: Cannot allocate ShaderMap: %s", text8(name).c_str());
    return nullptr;
  }
  shaderMap->name = key;
  shaderMap->shaderId = shaderId;
  shaderMap->parentId = parentId;
  bool inserted = false;
  ShaderMap** byName = maps.byName->findOrInsert(key, &inserted);
  if (!byName) {
    printLine("Fatal: in ShaderMapStr creation: %s", text8(name).c_str());
    return nullptr;
  }
  if (!inserted) {
    printLine("Error: Duplicated ShaderMapInt: %s", text8(name).c_str());
    return nullptr;
  }
  *byName = shaderMap;
  // An id given twice names the later map.
  ShaderMap** byId = maps.byId->findOrInsert(shaderId);
  if (!byId) {
    printLine("Fatal: in ShaderMapInt creation: %s", text8(name).c_str());
    return nullptr;
  }
  *byId = shaderMap;
  return shaderMap;
}

bool XmlMapper::addShaderParam(ShaderMap* shaderMap, const host::String& name, int32_t c4dId, int32_t typeCode,
                               host::HostValue defaultValue) {
  if (!shaderMap) return false;
  return addParam(shaderMap->params, name, c4dId, typeCode, std::move(defaultValue),
                  "Error: Duplicated ShaderParam: %s", "Fatal: Missing ShaderParam: %s");
}

DefaultMap* XmlMapper::createDefaultMap(const host::String& set) {
  const host::String key = setKey(set);
  bool inserted = false;
  DefaultMap* map = defaultMaps_.findOrInsert(key, &inserted);
  if (!map) {
    printLine("Fatal: in DefaultMap creation: %s", text8(key).c_str());
    return nullptr;
  }
  if (!inserted) {
    printLine("Error: Duplicated DefaultMap: %s", text8(key).c_str());
    return nullptr;
  }
  map->set = key;
  return map;
}

DefaultValues* XmlMapper::addDefaultValues(DefaultMap* defaultMap, const host::String& name, int32_t shaderId) {
  if (!defaultMap) {
    printLine("Error: Missing DefaultMap:");
    return nullptr;
  }
  bool inserted = false;
  DefaultValues* values = defaultMap->values.findOrInsert(host::toUpper(name), &inserted);
  if (!values) {
    printLine("Fatal: in DefaultValues creation: %s", text8(name).c_str());
    return nullptr;
  }
  if (!inserted) {
    printLine("Error: Duplicated DefaultValues: %s", text8(name).c_str());
    return values;
  }
  values->shaderId = shaderId;
  values->root = findShaderMapById(defaultMap->set, shaderId);
  return values;
}

bool XmlMapper::addDefaultParam(DefaultValues* defaultValues, const host::String& name,
                                host::HostValue defaultValue) {
  if (!defaultValues || !defaultValues->root || defaultValues->root->shaderId < 1) {
    printLine("Error: Cannot found ShaderRoot: %s", text8(name).c_str());
    return false;
  }
  const XmlParam* param = findShaderParam(defaultValues->root, name);
  if (!param || param->c4dId < 0) {
    printLine("Error: Cannot found DefaultParam c4dId: %s", text8(name).c_str());
    return false;
  }
  normaliseDefault(defaultValue, param->typeCode, name);
  DefaultParam* entry = host::newObject<DefaultParam>();
  if (!entry) return false;
  entry->name = host::toUpper(name);
  entry->c4dId = param->c4dId;
  entry->typeCode = param->typeCode;
  entry->defaultValue = std::move(defaultValue);
  return defaultValues->params.append(entry);
}

// ---------------------------------------------------------------------------------------
// Lookups

int32_t XmlMapper::findEnumValue(const host::String& set, int32_t code, const host::HostValue& value) const {
  if (value.type() != host::kValueString) {
    printLine("Warning: Enum value is not string:");
    return -1;
  }
  if (value.getString().empty()) {
    printLine("Warning: Enum value is empty:");
    return -1;
  }
  return findEnumWord(set, code, value.getString());
}

int32_t XmlMapper::findEnumWord(const host::String& set, int32_t code, const host::String& word) const {
  const host::String key = setKey(set);
  const EnumMap* enumMap = enumMaps_.find(key);
  if (!enumMap) {
    printLine("Fatal: Missing EnumMap: %s", text8(key).c_str());
    return -1;
  }
  const EnumValueMap* words = enumMap->find(code);
  const EnumValue* entry = words ? words->find(host::toUpper(word)) : nullptr;
  if (!entry) {
    printLine("Error: Cannot find Channel Enum: %d %s", code, text8(word).c_str());
    return -1;
  }
  return entry->value;
}

LightChannel* XmlMapper::findLightChannel(const host::String& set, const host::String& channelName) const {
  const host::String key = setKey(set);
  const LightChannelMap* map = lightChannelMaps_.find(key);
  if (!map) {
    printLine("Fatal: Missing LightChannelMap: %s", text8(key).c_str());
    return nullptr;
  }
  LightChannel* channel = map->find(channelName);
  if (!channel) printLine("Error: Cannot find LightChannel: %s", text8(channelName).c_str());
  return channel;
}

XmlParam* XmlMapper::findLightParam(const host::String& set, const host::String& channelName,
                                    const host::String& paramName) const {
  const LightChannelMap* map = lightChannelMaps_.find(setKey(set));
  if (!map) {
    printLine("Fatal: Missing LightChannelMap:");
    return nullptr;
  }
  const LightChannel* channel = map->find(channelName);
  if (!channel) {
    printLine("Error: Cannot find LightChannel: %s", text8(channelName).c_str());
    return nullptr;
  }
  XmlParam* param = channel->params.find(paramName);
  if (!param) printLine("Error: Cannot find LightParam: %s", text8(paramName).c_str());
  return param;
}

ShaderMap* XmlMapper::findShaderMapByName(const host::String& set, const host::String& name) const {
  const host::String key = setKey(set);
  const ShaderMapStr* index = shaderMapsStr_.find(key);
  if (!index) {
    printLine("Fatal: Missing ShaderMapStr: %s", text8(key).c_str());
    return nullptr;
  }
  ShaderMap* const* found = index->find(host::toUpper(name));
  if (!found) {
    printLine("Error: Cannot find Shader ID: %s", text8(name).c_str());
    return nullptr;
  }
  return *found;
}

ShaderMap* XmlMapper::findShaderMapById(const host::String& set, int32_t shaderId) const {
  const host::String key = setKey(set);
  const ShaderMapInt* index = shaderMapsInt_.find(key);
  if (!index) {
    printLine("Fatal: Missing ShaderMapInt: %s", text8(key).c_str());
    return nullptr;
  }
  ShaderMap* const* found = index->find(shaderId);
  if (!found) {
    printLine("Error: Cannot find Shader ID: %d", shaderId);
    return nullptr;
  }
  return *found;
}

XmlParam* XmlMapper::findShaderParam(const ShaderMap* shaderMap, const host::String& name) const {
  return shaderMap ? shaderMap->params.find(host::toUpper(name)) : nullptr;
}

DefaultValues* XmlMapper::findDefaultValues(const host::String& set, const host::String& name) const {
  const host::String key = setKey(set);
  const DefaultMap* map = defaultMaps_.find(key);
  if (!map) {
    printLine("Fatal: Missing DefaultMap: %s", text8(key).c_str());
    return nullptr;
  }
  DefaultValues* values = map->values.find(host::toUpper(name));
  if (!values) printLine("Error: Cannot find Default: %s", text8(name).c_str());
  return values;
}

}  // namespace talvo
