// The host's materials and shaders: the shader tree under a material, channels, and
// copies whose links to their own shaders follow them.
#include "host/material.h"

#include <algorithm>
#include <unordered_map>

#include "host/memory.h"
#include "scene_access.h"

namespace host {
namespace {

const char* defaultShaderName(int32_t type) {
  switch (type) {
    case kShaderBitmap: return "Bitmap";
    case kShaderFilter: return "Filter";
    default: return nullptr;
  }
}

// Rewrites every link of a container that names a key of `ids` to name its value.
void relink(Container& data, const std::unordered_map<uint64_t, uint64_t>& ids) {
  for (size_t i = 0; i < data.entries().size(); ++i) {
    const auto& [id, value] = data.entries()[i];
    if (value.type() != kCustomObjectLink) continue;
    const auto it = ids.find(static_cast<const ObjectLink*>(value.getCustom())->target);
    if (it == ids.end()) continue;
    const int32_t key = id;  // setValue replaces the entry in place
    data.setValue(key, HostValue::custom(std::make_unique<ObjectLink>(it->second)));
  }
}

}  // namespace

// Copies of shader trees, with the identity map a material copy needs for its links.
class MaterialAccess {
 public:
  // A copy of the shader and its subtree with new identities, in no material; nullptr
  // when memory is short (nothing of the copy is left then). Adds old -> new to `ids`.
  static BaseShader* cloneShader(const BaseShader& shader, std::unordered_map<uint64_t, uint64_t>& ids) {
    BaseShader* copy = newObject<BaseShader>(shader.type_);
    if (!copy) return nullptr;
    copy->name_ = shader.name_;
    copy->data_ = shader.data_;
    ids[shader.id_] = copy->id_;
    for (const BaseShader* child : shader.children_) {
      BaseShader* c = cloneShader(*child, ids);
      if (!c) {
        deleteObject(copy);
        return nullptr;
      }
      c->parent_ = copy;
      copy->children_.push_back(c);
    }
    return copy;
  }

  static std::vector<BaseShader*>& shadersOf(BaseMaterial& material) { return material.shaders_; }

  static void relinkTree(BaseShader& shader, const std::unordered_map<uint64_t, uint64_t>& ids) {
    relink(shader.data_, ids);
    for (BaseShader* child : shader.children_) relinkTree(*child, ids);
  }
};

// ---------------------------------------------------------------------------------------
// Shaders

BaseShader::BaseShader(int32_t type) : type_(type), id_(SceneAccess::newId()) {
  if (const char* name = defaultShaderName(type)) name_ = name;
}

BaseShader::~BaseShader() {
  for (BaseShader* child : children_) {
    child->parent_ = nullptr;
    deleteObject(child);
  }
}

BaseShader* BaseShader::alloc(int32_t type) {
  if (!defaultShaderName(type)) return nullptr;
  return newObject<BaseShader>(type);
}

void BaseShader::free(BaseShader*& shader) {
  if (!shader) return;
  shader->remove();
  deleteObject(shader);
}

void BaseShader::setMaterialRecursive(BaseMaterial* material) {
  material_ = material;
  for (BaseShader* child : children_) child->setMaterialRecursive(material);
}

void BaseShader::insertShader(BaseShader* shader) {
  if (!shader) return;
  // A shader cannot hang under itself or under one of its own subtree.
  for (const BaseShader* up = this; up; up = up->parent_)
    if (up == shader) return;
  shader->remove();
  shader->parent_ = this;
  shader->setMaterialRecursive(material_);
  children_.push_back(shader);
}

void BaseShader::remove() {
  if (parent_) {
    auto& list = parent_->children_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  } else if (material_) {
    auto& list = MaterialAccess::shadersOf(*material_);
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  }
  parent_ = nullptr;
  setMaterialRecursive(nullptr);
}

// ---------------------------------------------------------------------------------------
// Materials

BaseMaterial::BaseMaterial(int32_t type) : type_(type), id_(SceneAccess::newId()), name_("Mat") {
  channels_.reserve(size_t(kChannelCount));
  for (int32_t id = 0; id < kChannelCount; ++id) channels_.push_back(BaseChannel(id));
}

BaseMaterial::~BaseMaterial() {
  for (BaseShader* shader : shaders_) {
    shader->material_ = nullptr;
    deleteObject(shader);
  }
}

BaseMaterial* BaseMaterial::alloc(int32_t type) {
  if (type != kMaterialStandard) return nullptr;
  return newObject<BaseMaterial>(type);
}

void BaseMaterial::free(BaseMaterial*& material) {
  if (!material) return;
  material->remove();
  deleteObject(material);
}

BaseChannel* BaseMaterial::getChannel(int32_t id) {
  return id >= 0 && id < int32_t(channels_.size()) ? &channels_[size_t(id)] : nullptr;
}

const BaseChannel* BaseMaterial::getChannel(int32_t id) const {
  return id >= 0 && id < int32_t(channels_.size()) ? &channels_[size_t(id)] : nullptr;
}

void BaseMaterial::insertShader(BaseShader* shader) {
  if (!shader) return;
  shader->remove();
  shader->setMaterialRecursive(this);
  shaders_.push_back(shader);
}

BaseShader* BaseMaterial::findShader(uint64_t id) const {
  if (id == 0) return nullptr;
  std::vector<BaseShader*> stack(shaders_.begin(), shaders_.end());
  while (!stack.empty()) {
    BaseShader* s = stack.back();
    stack.pop_back();
    if (s->getId() == id) return s;
    stack.insert(stack.end(), s->children().begin(), s->children().end());
  }
  return nullptr;
}

// The in-memory host renders nothing; it counts the calls so that tests see them.
void BaseMaterial::update(bool preview, bool renderData) { ++updates_; }

void BaseMaterial::message(int32_t id) { ++messages_; }

void BaseMaterial::remove() {
  if (!document_) return;
  auto& list = document_->materials_;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  document_ = nullptr;
}

BaseMaterial* BaseMaterial::clone() const {
  BaseMaterial* copy = newObject<BaseMaterial>(type_);
  if (!copy) return nullptr;
  copy->name_ = name_;
  copy->data_ = data_;
  for (size_t i = 0; i < channels_.size(); ++i) copy->channels_[i].data_ = channels_[i].data_;
  std::unordered_map<uint64_t, uint64_t> ids;  // original shader -> its copy
  for (const BaseShader* shader : shaders_) {
    BaseShader* c = MaterialAccess::cloneShader(*shader, ids);
    if (!c) {
      deleteObject(copy);
      return nullptr;
    }
    c->setMaterialRecursive(copy);
    copy->shaders_.push_back(c);
  }
  // Links to the original's shaders would name shaders the copy does not hold.
  relink(copy->data_, ids);
  for (BaseChannel& channel : copy->channels_) relink(channel.data_, ids);
  for (BaseShader* shader : copy->shaders_) MaterialAccess::relinkTree(*shader, ids);
  return copy;
}

// ---------------------------------------------------------------------------------------
// Links

HostValue linkValue(const BaseMaterial* target) {
  return HostValue::custom(std::make_unique<ObjectLink>(target ? target->getId() : 0));
}

HostValue linkValue(const BaseShader* target) {
  return HostValue::custom(std::make_unique<ObjectLink>(target ? target->getId() : 0));
}

BaseMaterial* linkedMaterial(const HostValue& value, const BaseDocument* document) {
  const auto* link = dynamic_cast<const ObjectLink*>(value.getCustom());
  if (!link || !document) return nullptr;
  return document->findMaterial(link->target);
}

BaseShader* linkedShader(const HostValue& value, const BaseMaterial* material) {
  const auto* link = dynamic_cast<const ObjectLink*>(value.getCustom());
  if (!link || !material) return nullptr;
  return material->findShader(link->target);
}

}  // namespace host
