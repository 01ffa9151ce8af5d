#include "value_json.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <map>

#include "host/gradient.h"
#include "host/scene.h"

namespace host {
namespace {

std::map<int32_t, CustomJson>& customCodecs() {
  static std::map<int32_t, CustomJson> codecs = [] {
    std::map<int32_t, CustomJson> c;
    c[kCustomUnitScale] = {[](const CustomData& d) {
                             const auto& u = static_cast<const UnitScaleData&>(d);
                             return Json{{"scale", u.scale}, {"unit", u.unit}};
                           },
                           [](const Json& j) -> std::unique_ptr<CustomData> {
                             if (!j.contains("scale") || !j.contains("unit")) return nullptr;
                             return std::make_unique<UnitScaleData>(j["scale"].get<double>(),
                                                                    j["unit"].get<int32_t>());
                           }};
    // {"custom": 1000481, "data": {...}, "knots": [{"colour": [...], "brightness": ...,
    //  "position": ..., "bias": ..., "index": ...}, ...]}
    c[kCustomGradient] = {
        [](const CustomData& d) {
          const auto& g = static_cast<const Gradient&>(d);
          Json knots = Json::array();
          for (const GradientKnot& k : g.knots())
            knots.push_back({{"colour", vectorToJson(k.colour)},
                             {"brightness", realToJson(k.brightness)},
                             {"position", realToJson(k.position)},
                             {"bias", realToJson(k.bias)},
                             {"index", k.index}});
          return Json{{"data", containerToJson(g.getData())}, {"knots", knots}};
        },
        [](const Json& j) -> std::unique_ptr<CustomData> {
          auto g = Gradient::alloc();
          if (!g || !j.contains("data") || !containerFromJson(j["data"], g->getDataInstance()))
            return nullptr;
          if (!j.contains("knots") || !j["knots"].is_array()) return nullptr;
          for (const Json& k : j["knots"]) {
            GradientKnot knot;
            if (!k.is_object() || !k.contains("colour") || !k.contains("brightness") ||
                !k.contains("position") || !k.contains("bias") || !k.contains("index") ||
                !vectorFromJson(k["colour"], &knot.colour) ||
                !realFromJson(k["brightness"], &knot.brightness) ||
                !realFromJson(k["position"], &knot.position) || !realFromJson(k["bias"], &knot.bias) ||
                !k["index"].is_number_integer())
              return nullptr;
            const int64_t index = k["index"].get<int64_t>();
            if (index < INT32_MIN || index > INT32_MAX) return nullptr;
            knot.index = int32_t(index);
            if (!g->insertKnot(knot)) return nullptr;
          }
          return g;
        }};
    return c;
  }();
  return codecs;
}

}  // namespace

Json realToJson(double value) {
  if (std::isnan(value)) return Json{{"real", "nan"}};
  if (std::isinf(value)) return Json{{"real", value < 0 ? "-inf" : "inf"}};
  return value;
}

bool realFromJson(const Json& json, double* out) {
  if (json.is_number()) {
    *out = json.get<double>();
    return true;
  }
  if (!json.is_object() || json.size() != 1 || !json.contains("real") || !json["real"].is_string())
    return false;
  const std::string text = json["real"].get<std::string>();
  if (text == "nan") {
    *out = std::numeric_limits<double>::quiet_NaN();
  } else if (text == "inf" || text == "-inf") {
    *out = text == "inf" ? std::numeric_limits<double>::infinity() : -std::numeric_limits<double>::infinity();
  } else {
    return false;
  }
  return true;
}

Json vectorToJson(const Vector& v) {
  return Json::array({realToJson(v.x), realToJson(v.y), realToJson(v.z)});
}

bool vectorFromJson(const Json& json, Vector* out) {
  return json.is_array() && json.size() == 3 && realFromJson(json[0], &out->x) &&
         realFromJson(json[1], &out->y) && realFromJson(json[2], &out->z);
}

void registerCustomJson(int32_t typeId, CustomJson codec) {
  customCodecs()[typeId] = std::move(codec);
}

Json valueToJson(const HostValue& value, const JsonLinks& links) {
  switch (value.type()) {
    case kValueNone:
      return nullptr;
    case kValueInteger:
      return value.getInt32();
    case kValueReal:
      return realToJson(value.getReal());
    case kValueVector:
      return vectorToJson(value.getVector());
    case kValueString:
      return value.getString();
    case kValueFilename:
      return Json{{"filename", value.getFilename().string()}};
    case kCustomObjectLink: {
      const uint64_t id = static_cast<const ObjectLink*>(value.getCustom())->target;
      return Json{{"link", links.save ? links.save(id) : Json(id)}};
    }
    default: {
      Json j = {{"custom", value.type()}};
      const auto it = customCodecs().find(value.type());
      if (it != customCodecs().end() && value.getCustom()) {
        // Held in a variable: a range over items() of a temporary would outlive it.
        const Json fields = it->second.save(*value.getCustom());
        for (const auto& [key, field] : fields.items()) j[key] = field;
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
    Vector v;
    if (!vectorFromJson(json, &v)) return false;
    outValue = HostValue::vector(v);
  } else if (json.is_object() && json.contains("real")) {
    double v = 0.0;
    if (!realFromJson(json, &v)) return false;
    outValue = HostValue::real(v);
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
