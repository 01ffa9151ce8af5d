// Document files; the format is described in host/document_file.h.
#include "host/document_file.h"

#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <unordered_map>

#include "host/material.h"
#include "host/memory.h"
#include "host/plugins.h"
#include "state.h"
#include "value_json.h"

namespace host {
namespace {

constexpr const char* kFormat = "talvo document";
constexpr int32_t kVersion = 1;
// A hierarchy deeper than this is taken as damage, so that a hostile file cannot run the
// recursive walks out of stack.
constexpr int32_t kMaxDepth = 1000;
// Arrays of no more scalars than this are written on one line (a vector, a polygon, the
// four corners of a UVW entry); so are values written as objects (a link, a file name,
// custom data) when their fields are scalars.
constexpr int64_t kInlineScalars = 12;

bool isHostObjectType(int32_t type) {
  return type == kObjectPolygon || type == kObjectLight || type == kObjectCamera || type == kObjectInstance ||
         type == kObjectNull;
}

bool isHostTagType(int32_t type) {
  return type == kTagPoint || type == kTagPolygon || type == kTagPhong || type == kTagTexture || type == kTagUvw ||
         type == kTagTarget || type == kTagNormal;
}

bool isHostShaderType(int32_t type) { return type == kShaderBitmap || type == kShaderFilter; }

// The counts an object reports: those of its point and polygon tags for a polygon object.
int64_t pointCountOf(const BaseObject& object) {
  const BaseTag* tag = object.getType() == kObjectPolygon ? object.getTag(kTagPoint) : nullptr;
  return tag ? int64_t(tag->points().size()) : 0;
}

int64_t polygonCountOf(const BaseObject& object) {
  const BaseTag* tag = object.getType() == kObjectPolygon ? object.getTag(kTagPolygon) : nullptr;
  return tag ? int64_t(tag->polygons().size()) : 0;
}

Json vectorJson(const Vector& v) { return vectorToJson(v); }

// ---------------------------------------------------------------------------------------
// Writing

class Writer {
 public:
  Writer(const BaseDocument& document, bool withGeometry) : withGeometry_(withGeometry) {
    // What a link may name, as the file refers to it. Objects, materials and shaders
    // share one identity counter, so one map serves all three.
    const std::vector<BaseObject*> all = document.allObjects();
    for (size_t i = 0; i < all.size(); ++i) references_[all[i]->getId()] = Json(int64_t(i));
    int64_t shaderCount = 0;
    std::vector<const BaseShader*> stack;
    for (size_t i = 0; i < document.materials().size(); ++i) {
      const BaseMaterial* material = document.materials()[i];
      references_[material->getId()] = Json{{"material", int64_t(i)}};
      stack.assign(material->shaders().rbegin(), material->shaders().rend());
      while (!stack.empty()) {
        const BaseShader* shader = stack.back();
        stack.pop_back();
        references_[shader->getId()] = Json{{"shader", shaderCount++}};
        stack.insert(stack.end(), shader->children().rbegin(), shader->children().rend());
      }
    }
    links_.save = [this](uint64_t id) -> Json {
      const auto it = references_.find(id);
      return it == references_.end() ? Json(nullptr) : it->second;
    };
  }

  Json document(const BaseDocument& document) {
    Json j = Json::object();
    j["format"] = kFormat;
    j["version"] = kVersion;
    j["name"] = document.getDocumentName();
    j["path"] = {{"filename", document.getDocumentPath().string()}};
    // Layers first: objects refer to them by the index given here.
    Json layers = Json::array();
    for (const LayerObject* l : document.layers()) layers.push_back(layer(*l));
    j["settings"] = containerToJson(document.getSettings(), links_);
    j["layers"] = std::move(layers);
    Json& materials = j["materials"] = Json::array();
    for (const BaseMaterial* m : document.materials()) materials.push_back(material(*m));
    Json objects = Json::array();
    for (const BaseObject* o = document.getFirstObject(); o; o = o->getNext()) objects.push_back(object(*o));
    j["objects"] = std::move(objects);
    return j;
  }

 private:
  Json layer(const LayerObject& layer) {
    layerIndex_[&layer] = int64_t(layerIndex_.size());
    Json children = Json::array();
    for (const LayerObject* child : layer.children()) children.push_back(this->layer(*child));
    return {{"name", layer.getName()}, {"children", std::move(children)}};
  }

  Json shader(const BaseShader& shader) {
    Json children = Json::array();
    for (const BaseShader* child : shader.children()) children.push_back(this->shader(*child));
    return {{"type", shader.getType()},
            {"name", shader.getName()},
            {"params", containerToJson(shader.getData(), links_)},
            {"children", std::move(children)}};
  }

  Json material(const BaseMaterial& material) {
    Json j = Json::object();
    j["type"] = material.getType();
    j["name"] = material.getName();
    j["params"] = containerToJson(material.getData(), links_);
    Json& channels = j["channels"] = Json::object();
    for (int32_t id = 0; id < kChannelCount; ++id) {
      const BaseChannel* channel = material.getChannel(id);
      if (!channel) continue;
      const Container data = channel->getData();
      if (data.size() != 0) channels[std::to_string(id)] = containerToJson(data, links_);
    }
    Json& shaders = j["shaders"] = Json::array();
    for (const BaseShader* s : material.shaders()) shaders.push_back(shader(*s));
    return j;
  }

  Json tag(const BaseTag& tag) {
    Json j = {{"type", tag.getType()}, {"name", tag.getName()}, {"params", containerToJson(tag.getData(), links_)}};
    const int32_t type = tag.getType();
    if (type == kTagTexture) {
      j["projectionScale"] = vectorJson(tag.getProjectionScale());
      j["projectionRotation"] = vectorJson(tag.getProjectionRotation());
    }
    if (!withGeometry_) return j;
    if (type == kTagPoint || !tag.points().empty()) {
      Json& points = j["points"] = Json::array();
      for (const Vector& p : tag.points()) points.push_back(vectorJson(p));
    }
    if (type == kTagPolygon || !tag.polygons().empty()) {
      Json& polygons = j["polygons"] = Json::array();
      for (const CPolygon& p : tag.polygons()) polygons.push_back(Json::array({p.a, p.b, p.c, p.d}));
    }
    if (type == kTagUvw || !tag.uvws().empty()) {
      Json& uvws = j["uvws"] = Json::array();
      for (const UVWStruct& u : tag.uvws())
        uvws.push_back(Json::array({vectorJson(u.a), vectorJson(u.b), vectorJson(u.c), vectorJson(u.d)}));
    }
    if (type == kTagNormal || !tag.normals().empty()) {
      Json& normals = j["normals"] = Json::array();
      for (const Vector& n : tag.normals()) normals.push_back(vectorJson(n));
    }
    return j;
  }

  Json object(const BaseObject& object) {
    Json j = Json::object();
    j["type"] = object.getType();
    j["name"] = object.getName();
    j["position"] = vectorJson(object.getRelPos());
    j["rotation"] = vectorJson(object.getRelRot());
    j["scale"] = vectorJson(object.getRelScale());
    j["editorMode"] = object.getEditorMode();
    j["renderMode"] = object.getRenderMode();
    j["selected"] = object.isSelected();
    const auto layer = layerIndex_.find(object.getLayerObject());
    j["layer"] = layer == layerIndex_.end() ? Json(nullptr) : Json(layer->second);
    j["params"] = containerToJson(object.getData(), links_);
    Json& tags = j["tags"] = Json::array();
    for (const BaseTag* t : object.tags()) tags.push_back(tag(*t));
    j["pointCount"] = pointCountOf(object);
    j["polygonCount"] = polygonCountOf(object);
    Json& children = j["children"] = Json::array();
    for (const BaseObject* c = object.getDown(); c; c = c->getNext()) children.push_back(this->object(*c));
    return j;
  }

  bool withGeometry_;
  std::unordered_map<uint64_t, Json> references_;
  std::unordered_map<const LayerObject*, int64_t> layerIndex_;
  JsonLinks links_;
};

// Scalars inside an array of arrays; -1 when an object is inside. Stops counting past
// the one-line limit.
int64_t inlineScalars(const Json& json) {
  if (json.is_object()) return json.empty() ? 1 : -1;
  if (!json.is_array()) return 1;
  int64_t n = 0;
  for (const Json& e : json) {
    const int64_t c = inlineScalars(e);
    if (c < 0) return -1;
    n += c;
    if (n > kInlineScalars) break;
  }
  return n;
}

bool isInlineObject(const Json& json) {
  const std::string& kind = json.begin().key();
  if (kind != "link" && kind != "filename" && kind != "custom") return false;
  for (const Json& value : json) {
    // A link to a material or shader holds its reference as {"material": N}.
    const bool reference = kind == "link" && value.is_object() && value.size() == 1 && !value.front().is_structured();
    if (value.is_structured() && !reference) return false;
  }
  return true;
}

// Writes the JSON; inside a one-line value (`inlined`) everything stays on that line.
void writeText(const Json& json, int depth, std::string& out, bool inlined = false) {
  auto scalar = [](const Json& j) { return j.dump(-1, ' ', false, Json::error_handler_t::replace); };
  auto newline = [&out](int d) {
    out += '\n';
    out.append(size_t(d) * 2, ' ');
  };
  if (json.is_object() && !json.empty()) {
    const bool oneLine = inlined || isInlineObject(json);
    out += '{';
    bool first = true;
    for (const auto& [key, value] : json.items()) {
      if (!first) out += oneLine ? ", " : ",";
      first = false;
      if (!oneLine) newline(depth + 1);
      out += scalar(Json(key));
      out += ": ";
      writeText(value, depth + 1, out, oneLine);
    }
    if (!oneLine) newline(depth);
    out += '}';
  } else if (json.is_array()) {
    const int64_t n = inlineScalars(json);
    const bool oneLine = inlined || (n >= 0 && n <= kInlineScalars);
    out += '[';
    bool first = true;
    for (const Json& e : json) {
      if (!first) out += oneLine ? ", " : ",";
      first = false;
      if (!oneLine) newline(depth + 1);
      writeText(e, depth + 1, out, oneLine);
    }
    if (!oneLine && !json.empty()) newline(depth);
    out += ']';
  } else {
    out += scalar(json);
  }
}

// ---------------------------------------------------------------------------------------
// Reading

// Reads a document from its JSON. Everything made is inserted into the document at once,
// so freeing the document on a failure frees all of it.
class Reader {
 public:
  Reader() {
    links_.load = [this](const Json& ref) { return resolveLink(ref); };
  }
  ~Reader() { BaseDocument::free(document_); }

  // The document, or nullptr with error() set.
  BaseDocument* read(const Json& json) {
    if (!json.is_object()) return failed("", "not a document file: no JSON object");
    const Json* format = find(json, "format");
    if (!format || !format->is_string() || format->get<std::string>() != kFormat)
      return failed("", "not a document file: no \"format\": \"" + std::string(kFormat) + "\"");
    int32_t version = 0;
    if (!readInt32(json, "version", "", &version)) return nullptr;
    if (version != kVersion) return failed("version", "unsupported version " + std::to_string(version));

    document_ = BaseDocument::alloc();
    if (!document_) return failed("", "out of memory");
    String name;
    const Json* path = nullptr;
    if (!readString(json, "name", "", &name) || !readField(json, "path", "", &path)) return nullptr;
    if (!path->is_object() || !path->contains("filename") || !(*path)["filename"].is_string())
      return failed("path", "not a file name");
    document_->setDocumentName(name);
    document_->setDocumentPath(Filename((*path)["filename"].get<std::string>()));

    const Json* layers = nullptr;
    if (!readArray(json, "layers", "", &layers)) return nullptr;
    for (size_t i = 0; i < layers->size(); ++i)
      if (!readLayer((*layers)[i], nullptr, "layers[" + std::to_string(i) + "]", 0)) return nullptr;

    // Every material with its shaders and the object tree first, so that links may name
    // any of them. Files written before materials were saved have no materials.
    if (const Json* materials = find(json, "materials")) {
      if (!materials->is_array()) return failed("materials", "not an array");
      for (size_t i = 0; i < materials->size(); ++i)
        if (!readMaterial((*materials)[i], "materials[" + std::to_string(i) + "]")) return nullptr;
    }
    const Json* objects = nullptr;
    if (!readArray(json, "objects", "", &objects)) return nullptr;
    BaseObject* pred = nullptr;
    for (size_t i = 0; i < objects->size(); ++i) {
      pred = readObject((*objects)[i], nullptr, pred, "objects[" + std::to_string(i) + "]", 0);
      if (!pred) return nullptr;
    }
    for (const PlacedMaterial& placed : materials_)
      if (!readMaterialContents(placed)) return nullptr;
    for (const PlacedShader& placed : shaders_)
      if (!readContainer(placed.json->at("params"), at(placed.where, "params"), placed.shader->getDataInstance()))
        return nullptr;
    for (const Placed& placed : objects_)
      if (!readObjectContents(placed)) return nullptr;

    const Json* settings = nullptr;
    if (!readField(json, "settings", "", &settings) ||
        !readContainer(*settings, "settings", document_->getSettingsInstance()))
      return nullptr;

    BaseDocument* done = document_;
    document_ = nullptr;
    return done;
  }

  const String& error() const { return error_; }

 private:
  // What was made in the first pass, with its JSON and its place for the second.
  struct Placed {
    BaseObject* object;
    const Json* json;
    std::string where;
  };
  struct PlacedMaterial {
    BaseMaterial* material;
    const Json* json;
    std::string where;
  };
  struct PlacedShader {
    BaseShader* shader;
    const Json* json;
    std::string where;
  };

  // The identity a link reference names: N an object, {"material": N} a material,
  // {"shader": N} a shader, null nothing. A bad reference sets linkError_ and names
  // nothing.
  uint64_t resolveLink(const Json& ref) {
    if (ref.is_null()) return 0;
    auto bad = [this](const std::string& what) -> uint64_t {
      if (linkError_.empty()) linkError_ = what;
      return 0;
    };
    int32_t index = -1;
    if (ref.is_object()) {
      const auto kind = ref.begin();
      if (ref.size() != 1 || (kind.key() != "material" && kind.key() != "shader"))
        return bad("link to " + ref.dump() + ": no object, material or shader reference");
      const bool material = kind.key() == "material";
      const size_t count = material ? materials_.size() : shaders_.size();
      if (!toIndex(kind.value(), &index) || size_t(index) >= count)
        return bad("link to " + kind.key() + " " + kind.value().dump() + ", but the file has " +
                   std::to_string(count) + (material ? " materials" : " shaders"));
      return material ? materials_[size_t(index)].material->getId() : shaders_[size_t(index)].shader->getId();
    }
    if (!toIndex(ref, &index) || size_t(index) >= objects_.size())
      return bad("link to object " + ref.dump() + ", but the file has " + std::to_string(objects_.size()) +
                 " objects");
    return objects_[size_t(index)].object->getId();
  }

  // Keeps the first error; every later one follows from it.
  bool fail(const std::string& where, const std::string& what) {
    if (error_.empty()) error_ = where.empty() ? what : where + ": " + what;
    return false;
  }
  std::nullptr_t failed(const std::string& where, const std::string& what) {
    fail(where, what);
    return nullptr;
  }

  static std::string at(const std::string& where, const char* key) {
    return where.empty() ? std::string(key) : where + "." + key;
  }
  static std::string at(const std::string& where, const char* key, size_t i) {
    return at(where, key) + "[" + std::to_string(i) + "]";
  }

  static const Json* find(const Json& object, const char* key) {
    const auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
  }

  static bool toInt32(const Json& json, int32_t* out) {
    if (json.is_number_unsigned()) {
      if (json.get<uint64_t>() > uint64_t(std::numeric_limits<int32_t>::max())) return false;
    } else if (json.is_number_integer()) {
      const int64_t v = json.get<int64_t>();
      if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) return false;
    } else {
      return false;
    }
    *out = json.get<int32_t>();
    return true;
  }
  static bool toIndex(const Json& json, int32_t* out) { return toInt32(json, out) && *out >= 0; }

  static bool toVector(const Json& json, Vector* out) { return vectorFromJson(json, out); }

  bool readField(const Json& object, const char* key, const std::string& where, const Json** out) {
    *out = find(object, key);
    return *out ? true : fail(where, std::string("no field \"") + key + "\"");
  }
  bool readString(const Json& object, const char* key, const std::string& where, String* out) {
    const Json* j = nullptr;
    if (!readField(object, key, where, &j)) return false;
    if (!j->is_string()) return fail(at(where, key), "not a string");
    *out = j->get<std::string>();
    return true;
  }
  bool readInt32(const Json& object, const char* key, const std::string& where, int32_t* out) {
    const Json* j = nullptr;
    if (!readField(object, key, where, &j)) return false;
    return toInt32(*j, out) ? true : fail(at(where, key), "not a 32-bit integer");
  }
  bool readVector(const Json& object, const char* key, const std::string& where, Vector* out) {
    const Json* j = nullptr;
    if (!readField(object, key, where, &j)) return false;
    return toVector(*j, out) ? true : fail(at(where, key), "not a vector of three numbers");
  }
  bool readArray(const Json& object, const char* key, const std::string& where, const Json** out) {
    if (!readField(object, key, where, out)) return false;
    return (*out)->is_array() ? true : fail(at(where, key), "not an array");
  }

  // A container keyed by parameter id; links resolve to the objects of the file.
  bool readContainer(const Json& json, const std::string& where, Container& out) {
    if (!json.is_object()) return fail(where, "not a container");
    out.clear();
    for (const auto& [key, value] : json.items()) {
      const std::string here = where + "." + key;
      bool bad = false;
      const int32_t id = host::toInt32(key, &bad);
      if (bad) return fail(here, "not a parameter id");
      int32_t unused = 0;
      if (value.is_number_integer() && !toInt32(value, &unused)) return fail(here, "integer out of range");
      HostValue v;
      bool known = false;
      try {
        known = valueFromJson(value, v, links_);
      } catch (const Json::exception&) {
        known = false;  // a field of the value has the wrong type
      }
      if (!linkError_.empty()) return fail(here, linkError_);
      if (!known) return fail(here, "not a value: " + value.dump());
      out.setValue(id, std::move(v));
    }
    return true;
  }

  bool readLayer(const Json& json, LayerObject* parent, const std::string& where, int32_t depth) {
    if (depth > kMaxDepth) return fail(where, "layers nested deeper than " + std::to_string(kMaxDepth));
    if (!json.is_object()) return fail(where, "not a layer");
    String name;
    const Json* children = nullptr;
    if (!readString(json, "name", where, &name) || !readArray(json, "children", where, &children)) return false;
    LayerObject* layer = LayerObject::alloc();
    if (!layer) return fail(where, "out of memory");
    layer->setName(name);
    layer->insertUnderLast(document_, parent);
    layers_.push_back(layer);
    for (size_t i = 0; i < children->size(); ++i)
      if (!readLayer((*children)[i], layer, at(where, "children", i), depth + 1)) return false;
    return true;
  }

  // Makes the material and its shader tree and appends the material to the document;
  // parameters and channels follow once every material, shader and object exists.
  bool readMaterial(const Json& json, const std::string& where) {
    if (!json.is_object()) return fail(where, "not a material");
    int32_t type = 0;
    String name;
    const Json *params = nullptr, *channels = nullptr, *shaders = nullptr;
    if (!readInt32(json, "type", where, &type) || !readString(json, "name", where, &name) ||
        !readField(json, "params", where, &params) || !readField(json, "channels", where, &channels) ||
        !readArray(json, "shaders", where, &shaders))
      return false;
    if (type != kMaterialStandard) return fail(at(where, "type"), "unknown material type " + std::to_string(type));
    if (!channels->is_object()) return fail(at(where, "channels"), "not an object of channels");
    BaseMaterial* material = BaseMaterial::alloc(type);
    if (!material) return fail(where, "out of memory");
    const std::vector<BaseMaterial*>& list = document_->materials();
    document_->insertMaterial(material, list.empty() ? nullptr : list.back());
    material->setName(name);
    materials_.push_back({material, &json, where});
    for (size_t i = 0; i < shaders->size(); ++i)
      if (!readShader((*shaders)[i], *material, nullptr, at(where, "shaders", i), 0)) return false;
    return true;
  }

  // Makes the shader and its subtree under parent (nullptr: the material), in the
  // depth-first order shader links count them.
  bool readShader(const Json& json, BaseMaterial& material, BaseShader* parent, const std::string& where,
                  int32_t depth) {
    if (depth > kMaxDepth) return fail(where, "shaders nested deeper than " + std::to_string(kMaxDepth));
    if (!json.is_object()) return fail(where, "not a shader");
    int32_t type = 0;
    String name;
    const Json *params = nullptr, *children = nullptr;
    if (!readInt32(json, "type", where, &type) || !readString(json, "name", where, &name) ||
        !readField(json, "params", where, &params) || !readArray(json, "children", where, &children))
      return false;
    if (!isHostShaderType(type)) return fail(at(where, "type"), "unknown shader type " + std::to_string(type));
    BaseShader* shader = BaseShader::alloc(type);
    if (!shader) return fail(where, "out of memory");
    if (parent) {
      parent->insertShader(shader);
    } else {
      material.insertShader(shader);
    }
    shader->setName(name);
    shaders_.push_back({shader, &json, where});
    for (size_t i = 0; i < children->size(); ++i)
      if (!readShader((*children)[i], material, shader, at(where, "children", i), depth + 1)) return false;
    return true;
  }

  bool readMaterialContents(const PlacedMaterial& placed) {
    BaseMaterial& material = *placed.material;
    const std::string& where = placed.where;
    if (!readContainer(placed.json->at("params"), at(where, "params"), material.getDataInstance())) return false;
    for (const auto& [key, json] : placed.json->at("channels").items()) {
      const std::string here = at(where, "channels") + "." + key;
      bool bad = false;
      const int32_t id = host::toInt32(key, &bad);
      BaseChannel* channel = bad ? nullptr : material.getChannel(id);
      if (!channel) return fail(here, "no channel of the material");
      Container data;
      if (!readContainer(json, here, data)) return false;
      channel->setData(data);
    }
    return true;
  }

  // Makes the object and its subtree with their own fields and inserts them after pred;
  // parameters and tags follow once every object exists. Returns the object.
  BaseObject* readObject(const Json& json, BaseObject* parent, BaseObject* pred, const std::string& where,
                         int32_t depth) {
    if (depth > kMaxDepth) return failed(where, "objects nested deeper than " + std::to_string(kMaxDepth));
    if (!json.is_object()) return failed(where, "not an object");
    int32_t type = 0, editorMode = 0, renderMode = 0;
    String name;
    Vector position, rotation, scale;
    const Json *selected = nullptr, *layer = nullptr, *children = nullptr, *params = nullptr, *tags = nullptr;
    if (!readInt32(json, "type", where, &type) || !readString(json, "name", where, &name) ||
        !readVector(json, "position", where, &position) || !readVector(json, "rotation", where, &rotation) ||
        !readVector(json, "scale", where, &scale) || !readInt32(json, "editorMode", where, &editorMode) ||
        !readInt32(json, "renderMode", where, &renderMode) || !readField(json, "selected", where, &selected) ||
        !readField(json, "layer", where, &layer) || !readField(json, "params", where, &params) ||
        !readArray(json, "tags", where, &tags) || !readArray(json, "children", where, &children))
      return nullptr;
    if (!isHostObjectType(type)) return failed(at(where, "type"), "unknown object type " + std::to_string(type));
    if (!selected->is_boolean()) return failed(at(where, "selected"), "not true or false");
    for (int32_t mode : {editorMode, renderMode})
      if (mode < kModeOn || mode > kModeUndefined) return failed(where, "unknown mode " + std::to_string(mode));
    LayerObject* layerObject = nullptr;
    if (!layer->is_null()) {
      int32_t index = -1;
      if (!toIndex(*layer, &index) || index >= int32_t(layers_.size()))
        return failed(at(where, "layer"), "layer " + layer->dump() + ", but the file has " +
                                               std::to_string(layers_.size()) + " layers");
      layerObject = layers_[size_t(index)];
    }

    BaseObject* object = BaseObject::alloc(type);
    if (!object) return failed(where, "out of memory");
    document_->insertObject(object, parent, pred);
    object->setName(name);
    object->setRelPos(position);
    object->setRelRot(rotation);
    object->setRelScale(scale);
    object->setEditorMode(editorMode);
    object->setRenderMode(renderMode);
    object->setSelected(selected->get<bool>());
    object->setLayerObject(layerObject);
    objects_.push_back({object, &json, where});

    BaseObject* childPred = nullptr;
    for (size_t i = 0; i < children->size(); ++i) {
      childPred = readObject((*children)[i], object, childPred, at(where, "children", i), depth + 1);
      if (!childPred) return nullptr;
    }
    return object;
  }

  // Reads `key` of a tag into `out` with one element reader; an absent array is empty.
  template <class T, class ReadOne>
  bool readGeometry(const Json& json, const char* key, const std::string& where, std::vector<T>& out,
                    ReadOne readOne, const char* what) {
    const Json* array = find(json, key);
    if (!array) return true;
    if (!array->is_array()) return fail(at(where, key), "not an array");
    if (!allocationAllowed()) return fail(at(where, key), "out of memory");
    out.resize(array->size());
    for (size_t i = 0; i < out.size(); ++i)
      if (!readOne((*array)[i], &out[i])) return fail(at(where, key, i), std::string("not ") + what);
    return true;
  }

  bool readTag(const Json& json, BaseObject& object, const std::string& where) {
    if (!json.is_object()) return fail(where, "not a tag");
    int32_t type = 0;
    String name;
    const Json* params = nullptr;
    if (!readInt32(json, "type", where, &type) || !readString(json, "name", where, &name) ||
        !readField(json, "params", where, &params))
      return false;
    BaseTag* tag = BaseTag::alloc(type);
    // A plug-in tag whose plug-in is not registered stays a tag of its type, without the
    // plug-in behind it, so that its parameters are kept.
    if (!tag && !isHostTagType(type) && !findPlugin(type, kPluginTag)) tag = newObject<BaseTag>(type);
    if (!tag) return fail(where, "out of memory");
    object.insertTag(tag, object.getLastTag());
    tag->setName(name);
    if (!readContainer(*params, at(where, "params"), tag->getDataInstance())) return false;
    if (type == kTagTexture) {
      Vector scale, rotation;
      if (!readVector(json, "projectionScale", where, &scale) ||
          !readVector(json, "projectionRotation", where, &rotation))
        return false;
      tag->setProjectionScale(scale);
      tag->setProjectionRotation(rotation);
    }

    auto polygon = [](const Json& j, CPolygon* p) {
      int32_t c[4];
      if (!j.is_array() || j.size() != 4) return false;
      for (size_t k = 0; k < 4; ++k)
        if (!toInt32(j[k], &c[k])) return false;
      *p = {c[0], c[1], c[2], c[3]};
      return true;
    };
    auto uvw = [](const Json& j, UVWStruct* u) {
      return j.is_array() && j.size() == 4 && toVector(j[0], &u->a) && toVector(j[1], &u->b) &&
             toVector(j[2], &u->c) && toVector(j[3], &u->d);
    };
    return readGeometry(json, "points", where, tag->points(), toVector, "a vector of three numbers") &&
           readGeometry(json, "polygons", where, tag->polygons(), polygon, "four point indices") &&
           readGeometry(json, "uvws", where, tag->uvws(), uvw, "four vectors") &&
           readGeometry(json, "normals", where, tag->normals(), toVector, "a vector of three numbers");
  }

  bool readObjectContents(const Placed& placed) {
    BaseObject& object = *placed.object;
    const Json& json = *placed.json;
    const std::string& where = placed.where;
    if (!readContainer(json.at("params"), at(where, "params"), object.getDataInstance())) return false;

    // The tags of the file replace those the object was made with (a polygon object's
    // own point and polygon tags).
    while (BaseTag* tag = object.getFirstTag()) BaseTag::free(tag);
    const Json& tags = json.at("tags");
    for (size_t i = 0; i < tags.size(); ++i)
      if (!readTag(tags[i], object, at(where, "tags", i))) return false;

    if (object.getType() == kObjectPolygon) {
      if (!object.getTag(kTagPoint)) return fail(where, "polygon object without a point tag");
      if (!object.getTag(kTagPolygon)) return fail(where, "polygon object without a polygon tag");
    }
    // Every corner must name a point of the object's points.
    const BaseTag* pointTag = object.getTag(kTagPoint);
    const int64_t pointCount = pointTag ? int64_t(pointTag->points().size()) : 0;
    for (size_t t = 0; t < object.tags().size(); ++t) {
      const std::vector<CPolygon>& polygons = object.tags()[t]->polygons();
      for (size_t i = 0; i < polygons.size(); ++i) {
        for (int32_t corner : {polygons[i].a, polygons[i].b, polygons[i].c, polygons[i].d}) {
          if (corner < 0 || corner >= pointCount)
            return fail(at(at(where, "tags", t), "polygons", i), "polygon " + std::to_string(i) + " refers to point " +
                                                                      std::to_string(corner) + " of " +
                                                                      std::to_string(pointCount));
        }
      }
    }

    int32_t points = 0, polygons = 0;
    if (!readInt32(json, "pointCount", where, &points) || !readInt32(json, "polygonCount", where, &polygons))
      return false;
    if (points != pointCountOf(object))
      return fail(at(where, "pointCount"), std::to_string(points) + ", but the point tag holds " +
                                               std::to_string(pointCountOf(object)) + " points");
    if (polygons != polygonCountOf(object))
      return fail(at(where, "polygonCount"), std::to_string(polygons) + ", but the polygon tag holds " +
                                                 std::to_string(polygonCountOf(object)) + " polygons");
    return true;
  }

  BaseDocument* document_ = nullptr;
  std::vector<LayerObject*> layers_;       // depth first, as layer references count them
  std::vector<PlacedMaterial> materials_;  // in order, as material links count them
  std::vector<PlacedShader> shaders_;      // depth first, material after material
  std::vector<Placed> objects_;            // depth first, as links count them
  JsonLinks links_;
  std::string linkError_;
  String error_;
};

// Frees what the load filter leaves out of a loaded document.
void keepOnly(BaseDocument& document, int32_t filter) {
  if (!(filter & kSceneLoadObjects)) {
    while (BaseObject* object = document.getFirstObject()) BaseObject::free(object);
    while (!document.layers().empty()) {
      LayerObject* layer = document.layers().front();
      LayerObject::free(layer);
    }
  }
  if (!(filter & kSceneLoadMaterials)) {
    while (BaseMaterial* material = document.getFirstMaterial()) BaseMaterial::free(material);
  }
}

}  // namespace

Json documentToJson(const BaseDocument& document, bool withGeometry) {
  return Writer(document, withGeometry).document(document);
}

BaseDocument* documentFromJson(const Json& json, String* outError) {
  Reader reader;
  BaseDocument* document = nullptr;
  try {
    document = reader.read(json);
  } catch (const std::exception& e) {
    // Only a bug of the checks above gets here; the reader frees what it made.
    if (outError) *outError = String("damaged document: ") + e.what();
    return nullptr;
  }
  if (!document && outError) *outError = reader.error();
  return document;
}

String documentJsonText(const Json& json) {
  std::string out;
  writeText(json, 0, out);
  return out;
}

bool saveDocument(const BaseDocument& document, const Filename& name) {
  const String text = documentJsonText(documentToJson(document, true));
  // Written beside and renamed, so that a failed write never leaves half a file.
  const std::string path = name.string();
  const std::string temporary = path + ".tmp";
  std::error_code ec;
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << text << '\n';
    out.flush();
    if (!out) {
      std::filesystem::remove(temporary, ec);
      return false;
    }
  }
  std::filesystem::rename(temporary, path, ec);
  if (ec) {
    std::filesystem::remove(temporary, ec);
    return false;
  }
  return true;
}

BaseDocument* loadDocument(const Filename& name, String* outError, int32_t filter) {
  std::ifstream in(name.string(), std::ios::binary);
  if (!in) {
    if (outError) *outError = "cannot open " + name.string();
    return nullptr;
  }
  std::stringstream text;
  text << in.rdbuf();
  if (in.bad()) {
    if (outError) *outError = "cannot read " + name.string();
    return nullptr;
  }
  Json json;
  try {
    json = Json::parse(text.str());
  } catch (const Json::parse_error& e) {
    if (outError) *outError = "not a document file: malformed JSON at byte " + std::to_string(e.byte);
    return nullptr;
  }
  BaseDocument* document = documentFromJson(json, outError);
  if (document) keepOnly(*document, filter);
  return document;
}

bool documentsEqual(const BaseDocument& a, const BaseDocument& b) {
  return documentToJson(a, true) == documentToJson(b, true);
}

}  // namespace host
