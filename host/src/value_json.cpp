#include "value_json.h"

#include <map>

#include "host/scene.h"

namespace host {
namespace {

std::map<int32_t, CustomJson>& customCodecs() {
  static std::map<int32_t, CustomJson> codecs = [] {
    std::map<int32_t, CustomJson> c;
    c[kCustomUnitScale] = {
        [](const CustomData& d) {
          const auto& u = static_cast<const UnitScaleData&>(d);
          return Json{{"scale", u.scale}, {"unit", u.unit}};
        },
        [](const Json& j) -> std::unique_ptr<CustomData> {
          if (!j.contains("scale") || !j.contains("unit")) return nullptr;
          return std::make_unique<UnitScaleData>(j["scale"].get<double>(), j["unit"].get<int32_t>());
        }};
    return c;
  }();
  return codecs;
}

}  // namespace

void registerCustomJson(int32_t typeId, CustomJson codec) { customCodecs()[typeId] = std::move(codec); }

Json valueToJson(const HostValue& value, const JsonLinks& links) {
  switch (value.type()) {
    case kValueNone: return nullptr;
    case kValueInteger: return value.getInt32();
    case kValueReal: return value.getReal();
    case kValueVector: {
      const Vector v = value.getVector();
      return Json::array({v.x, v.y, v.z});
    }
    case kValueString: return value.getString();
    case kValueFilename: return Json{{"filename", value.getFilename().string()}};
    case kCustomObjectLink: {
      const uint64_t id = static_cast<const ObjectLink*>(value.getCustom())->target;
      return Json{{"link", links.save ? links.save(id) : Json(id)}};
    }
    default: {
      Json j = {{"custom", value.type()}};
      const auto it = customCodecs().find(value.type());
      if (it != customCodecs().end() && value.getCustom()) {
        for (auto& [key, field] : it->second.save(*value.getCustom()).items()) j[key] = field;
      }
      return j;
    }
  }
}

bool valueFromJson(const Json& json, HostValue& outValue, const JsonLinks& links) {
  if (json.is_null()) {
    outValue = HostValue();
  } else if (json.is_number_integer()) {
    outValue = HostValue::integer(json.get<int32_t>());
  } else if (json.is_number_float()) {
    outValue = HostValue::real(json.get<double>());
  } else if (json.is_string()) {
    outValue = HostValue::string(json.get<std::string>());
  } else if (json.is_array()) {
    if (json.size() != 3) return false;
    for (const Json& c : json)
      if (!c.is_number()) return false;
    outValue = HostValue::vector({json[0].get<double>(), json[1].get<double>(), json[2].get<double>()});
  } else if (json.is_object() && json.contains("filename")) {
    outValue = HostValue::filename(Filename(json["filename"].get<std::string>()));
  } else if (json.is_object() && json.contains("link")) {
    const uint64_t id = links.load ? links.load(json["link"]) : json["link"].get<uint64_t>();
    outValue = HostValue::custom(std::make_unique<ObjectLink>(id));
  } else if (json.is_object() && json.contains("custom")) {
    const auto it = customCodecs().find(json["custom"].get<int32_t>());
    if (it == customCodecs().end()) return false;
    std::unique_ptr<CustomData> data = it->second.load(json);
    if (!data) return false;
    outValue = HostValue::custom(std::move(data));
  } else {
    return false;
  }
  return true;
}

Json containerToJson(const Container& container, const JsonLinks& links) {
  Json j = Json::object();
  for (const auto& [id, value] : container.entries()) j[std::to_string(id)] = valueToJson(value, links);
  return j;
}

bool containerFromJson(const Json& json, Container& outContainer, const JsonLinks& links) {
  if (!json.is_object()) return false;
  outContainer.clear();
  for (const auto& [key, value] : json.items()) {
    bool error = false;
    const int32_t id = toInt32(key, &error);
    HostValue v;
    if (error || !valueFromJson(value, v, links)) return false;
    outContainer.setValue(id, std::move(v));
  }
  return true;
}

}  // namespace host
