#include "talvo_import_xmlmap_tree.h"

#include <algorithm>
#include <numbers>
#include <string>

#include "common/saturate.h"
#include "talvo_import_c4d_diagnostics.h"
#include "talvo_import_c4d_loader.h"

namespace talvo {

void copyParams(const common::StringMap<XmlParam>& from, common::StringMap<XmlParam>& to) {
  from.forEach([&](const host::String& name, const XmlParam& param) {
    if (XmlParam* copy = to.findOrInsert(name)) *copy = param;
  });
}

ChannelTree::ChannelTree(const XmlMapper& mapper, double lengthScale, const host::Filename& textureFolder,
                         ChannelTable& channels, ShaderTable& shaders)
    : mapper_(mapper),
      lengthScale_(lengthScale),
      textureFolder_(textureFolder),
      setName_("ALL"),
      channels_(channels),
      shaders_(shaders) {}

void ChannelTree::addEntry(const ParameterEntry& entry) {
  const ParameterKey& key = entry.key;
  EntryList* list = nullptr;
  if (key.index != 0) {
    list = indexed_.findOrInsert(host::String(std::to_string(key.index)));
  } else if (key.group.empty()) {
    printLine("Error: Group Name is empty: %s", text8(key.fullName).c_str());
    return;
  } else {
    list = groups_.findOrInsert(key.group);
  }
  if (!list) {
    printLine("Error: Cannot get channel node: %s", text8(key.group).c_str());
    return;
  }
  EntryRef* ref = host::newObject<EntryRef>();
  if (!ref) return;
  ref->entry = &entry;
  list->append(ref);
}

void ChannelTree::AddToDefaultTree(const host::String& group) {
  const LightChannel* lightChannel = mapper_.findLightChannel(setName_, group);
  if (!lightChannel) return;
  TalChannel* channel = channels_.findOrInsert(group);
  if (!channel) {
    printLine("Fatal: Create TalChannel in AddToDefaultTree: %s", text8(group).c_str());
    return;
  }
  channel->name = lightChannel->name;
  channel->params.clear();
  copyParams(lightChannel->params, channel->params);
  channel->params.forEach([](const host::String&, XmlParam& param) { param.value = host::HostValue(); });
}

void ChannelTree::fillChannel(const host::String& key, TalChannel& channel) {
  if (const EntryList* list = groups_.find(key)) {
    for (int32_t i = 0; i < list->size(); ++i) {
      const ParameterEntry& entry = *(*list)[i]->entry;
      if (XmlParam* param = channel.params.find(entry.key.parameter)) {
        param->value = GetXmlValue(param->typeCode, entry).value;
      } else {
        mapper_.findLightParam(setName_, key, entry.key.parameter);
      }
    }
  } else {
    printLine("Error: not found Channel in tree: '%s'", text8(key).c_str());
  }
  channel.params.forEach([this](const host::String& name, XmlParam& param) { reconcile(name, param); });
}

XmlValue ChannelTree::GetXmlValue(int32_t typeCode, const ParameterEntry& entry) const {
  XmlValue result;
  const bool real = entry.valueType == 1;
  const bool string = entry.valueType == 2;
  const bool vector =
      entry.valueType == 3 && entry.cells.size() >= 3 && (entry.rows == 3 || entry.columns == 0);
  auto cells = [&](double factor) {
    return host::Vector{entry.cells[0].realValue * factor, entry.cells[1].realValue * factor,
                        entry.cells[2].realValue * factor};
  };
  constexpr double kDegree = std::numbers::pi / 180.0;
  switch (typeCode) {
    case 1:
    case 2:
      if (real) result = {host::HostValue::integer(common::toInt32Saturated(entry.realValue)), true};
      break;
    case 3:
    case 5:
    case 6:
      if (real) result = {host::HostValue::real(entry.realValue), true};
      break;
    case 4:
      if (real) result = {host::HostValue::real(entry.realValue * lengthScale_), true};
      break;
    case 7:
      if (real) result = {host::HostValue::real(entry.realValue * kDegree), true};
      break;
    case 8:
    case 10:
    case 12:
      if (vector) result = {host::HostValue::vector(cells(1.0)), true};
      break;
    case 9:
      if (vector) result = {host::HostValue::vector(cells(kDegree)), true};
      break;
    case 11:
      if (vector) result = {host::HostValue::vector(cells(lengthScale_)), true};
      break;
    case 13:
      if (string)
        result = {host::HostValue::filename(textureFolder_ +
                                            host::Filename(host::stringFromUtf8(entry.stringValue))),
                  true};
      break;
    default:
      if (string && (isEnumCode(typeCode) || isShaderCode(typeCode))) {
        host::String text = host::stringFromUtf8(entry.stringValue);
        // An empty shader reference is kept but names nothing.
        const bool ok = isEnumCode(typeCode) || !text.empty();
        result = {host::HostValue::string(std::move(text)), ok};
      }
      break;
  }
  if (!result.ok) printLine("Warning: Not found GetXmlValue: '%s'", text8(entry.key.fullName).c_str());
  return result;
}

void ChannelTree::reconcile(const host::String& name, XmlParam& param) {
  const int32_t d = param.defaultValue.type();
  int32_t v = param.value.type();
  if (v == host::kValueNone) {
    param.value = param.defaultValue;
    v = d;
  } else if (v == host::kValueFilename && d == host::kValueString) {
    return;
  }
  if (d != host::kValueNone && d != v)
    printLine("Warning: XmlParam type is different: '%s' %d - %d", text8(name).c_str(), d, v);
  if (v != host::kValueString) return;

  const host::String& text = param.value.getString();
  if (isEnumCode(param.typeCode)) {
    mapper_.findEnumWord(setName_, param.typeCode, text);
  } else if (isShaderCode(param.typeCode)) {
    if (text.empty()) return;
    for (const host::String& piece : host::splitString(text, ',')) AddShaderToTree(piece);
  } else if (!(param.typeCode == 13 && name == "FILE")) {
    printLine("Warning: Unknown string value: %s %s", text8(name).c_str(), text8(text).c_str());
  }
}

void ChannelTree::startNode(ShaderNode& node, const ShaderMap& kind) const {
  node.kindName = kind.name;
  node.shaderId = kind.shaderId;
  node.parentId = kind.parentId;
  copyParams(kind.params, node.params);
  inherit(node, kind.parentId);
}

void ChannelTree::inherit(ShaderNode& node, int32_t parentId) const {
  std::vector<int32_t> seen;  // the tables may chain their kinds in a circle
  while (parentId > 0 && std::find(seen.begin(), seen.end(), parentId) == seen.end()) {
    seen.push_back(parentId);
    const ShaderMap* parent = mapper_.findShaderMapById(setName_, parentId);
    if (!parent) return;
    parent->params.forEach([&](const host::String& name, const XmlParam& param) {
      XmlParam* inherited = node.parentParams.findOrInsert(name);
      if (!inherited) return;
      *inherited = param;
      inherited->originShaderId = parent->shaderId;
    });
    parentId = parent->parentId;
  }
}

bool ChannelTree::mayBuild(const host::String& reference) {
  if (std::find(building_.begin(), building_.end(), reference) != building_.end()) {
    printLine("Error: Shader reference loop: %s", text8(reference).c_str());
    return false;
  }
  if (int32_t(building_.size()) >= kShaderNestingLimit) {
    printLine("Error: Shader references nested too deeply: %s", text8(reference).c_str());
    return false;
  }
  if (builds_ >= kShaderBuildLimit) {
    // Said once; every later reference of the light is refused alike.
    if (builds_ == kShaderBuildLimit) {
      printLine("Error: Too many shader references: %s", text8(reference).c_str());
      ++builds_;
    }
    return false;
  }
  ++builds_;
  return true;
}

void ChannelTree::AddShaderToTree(const host::String& reference) {
  if (!mayBuild(reference)) return;
  building_.push_back(reference);
  struct Leave {
    std::vector<host::String>& building;
    ~Leave() { building.pop_back(); }
  } leave{building_};

  ShaderNode node;
  int32_t parentValues = 0;
  if (const EntryList* list = indexed_.find(reference)) {
    // The scene describes the shader by the entries of its index.
    const ShaderMap* kind = mapper_.findShaderMapByName(setName_, (*list)[0]->entry->key.group);
    if (!kind) return;
    startNode(node, *kind);
    for (int32_t i = 0; i < list->size(); ++i) {
      const ParameterEntry& entry = *(*list)[i]->entry;
      const host::String& name = entry.key.parameter;  // upper-cased by the reader
      if (XmlParam* param = node.params.find(name)) {
        param->value = GetXmlValue(param->typeCode, entry).value;
      } else if (XmlParam* inherited = node.parentParams.find(name)) {
        inherited->value = GetXmlValue(inherited->typeCode, entry).value;
        ++parentValues;
      } else {
        printLine("Error: not found ShaderParam: '%s'-'%s'", text8(node.kindName).c_str(),
                  text8(name).c_str());
      }
    }
  } else {
    // The reference names a default shader setting.
    if (reference.empty()) {
      printLine("Fatal: DefaultShaderName is empty:");
      return;
    }
    const DefaultValues* defaults = mapper_.findDefaultValues(setName_, reference);
    if (!defaults || !defaults->root) return;
    startNode(node, *defaults->root);
    for (int32_t i = 0; i < defaults->params.size(); ++i) {
      const DefaultParam& setting = *defaults->params[i];
      if (XmlParam* param = node.params.find(setting.name)) {
        param->value = setting.defaultValue;
        continue;
      }
      XmlParam* added = node.params.findOrInsert(setting.name);
      if (!added) {
        printLine("Error: in AddShaderToTree: '%s'-'%s'", text8(reference).c_str(),
                  text8(setting.name).c_str());
        continue;
      }
      *added = XmlParam{setting.c4dId, setting.typeCode, setting.defaultValue, setting.defaultValue, 0};
    }
  }

  if (parentValues == 0) {
    node.parentParams.clear();
  } else {
    node.parentParams.forEach([this](const host::String& name, XmlParam& param) { reconcile(name, param); });
  }
  node.params.forEach([this](const host::String& name, XmlParam& param) { reconcile(name, param); });
  storeNode(reference, node);
}

void ChannelTree::storeNode(const host::String& reference, const ShaderNode& node) {
  ShaderNode* stored = shaders_.findOrInsert(reference);
  if (!stored) {
    printLine("Fatal: In AddShaderToTree: %s", text8(reference).c_str());
    return;
  }
  stored->kindName = node.kindName;
  stored->shaderId = node.shaderId;
  stored->parentId = node.parentId;
  stored->params.clear();
  stored->parentParams.clear();
  copyParams(node.params, stored->params);
  copyParams(node.parentParams, stored->parentParams);
  stored_.push_back(reference);
}

}  // namespace talvo
