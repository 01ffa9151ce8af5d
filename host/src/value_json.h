// JSON form of host values and containers, shared by document files and world
// preferences.
//
//   none        null
//   integer     a JSON integer: 1
//   real        a JSON number with a fraction part: 1.0; a value JSON cannot hold is
//               {"real": "nan"}, {"real": "inf"} or {"real": "-inf"}
//   vector      an array of three reals: [0.0, 1.5, 2.0]
//   string      a JSON string
//   file name   {"filename": "tex/wood.png"}
//   link        {"link": <the linked object, as the caller writes it>}
//   custom data {"custom": <type id>, ...its fields}
//   container   an object keyed by parameter id, in the container's order
#pragma once

#include <cstdint>
#include <functional>
#include <nlohmann/json.hpp>

#include "host/values.h"

namespace host {

using Json = nlohmann::ordered_json;

// How links are written and read: by default as the linked object's identity.
struct JsonLinks {
  std::function<Json(uint64_t id)> save;
  std::function<uint64_t(const Json& ref)> load;
};

// Reals and vectors, also for geometry arrays; a file holding non-finite numbers still
// loads back what was saved.
Json realToJson(double value);
bool realFromJson(const Json& json, double* out);
Json vectorToJson(const Vector& v);
bool vectorFromJson(const Json& json, Vector* out);

Json valueToJson(const HostValue& value, const JsonLinks& links = {});
// False when the JSON is no value this host knows.
bool valueFromJson(const Json& json, HostValue& outValue, const JsonLinks& links = {});

Json containerToJson(const Container& container, const JsonLinks& links = {});
bool containerFromJson(const Json& json, Container& outContainer, const JsonLinks& links = {});

// Custom data types other than links say how they are written.
struct CustomJson {
  std::function<Json(const CustomData&)> save;
  std::function<std::unique_ptr<CustomData>(const Json&)> load;
};
void registerCustomJson(int32_t typeId, CustomJson codec);

}  // namespace host
