#include "host/scene.h"

#include <algorithm>
#include <atomic>
#include <unordered_map>

#include "host/material.h"
#include "host/memory.h"
#include "host/plugins.h"
#include "scene_access.h"
#include "state.h"

namespace host {
namespace {

std::atomic<uint64_t> gNextId{1};
uint64_t newId() { return gNextId++; }

bool isBuiltInTag(int32_t type) {
  switch (type) {
    case kTagPoint:
    case kTagPolygon:
    case kTagPhong:
    case kTagTexture:
    case kTagUvw:
    case kTagTarget:
    case kTagNormal:
      return true;
    default:
      return false;
  }
}

const char* defaultObjectName(int32_t type) {
  switch (type) {
    case kObjectPolygon: return "Polygon";
    case kObjectLight: return "Light";
    case kObjectCamera: return "Camera";
    case kObjectInstance: return "Instance";
    case kObjectNull: return "Null";
    default: return nullptr;
  }
}

const char* defaultTagName(int32_t type) {
  switch (type) {
    case kTagPoint: return "Point";
    case kTagPolygon: return "Polygon";
    case kTagPhong: return "Phong";
    case kTagTexture: return "Texture";
    case kTagUvw: return "UVW";
    case kTagTarget: return "Target";
    case kTagNormal: return "Normal";
    default: return "";
  }
}

}  // namespace

bool UnitScaleData::equals(const CustomData& other) const {
  const auto& o = static_cast<const UnitScaleData&>(other);
  return scale == o.scale && unit == o.unit;
}

bool ObjectLink::equals(const CustomData& other) const {
  return target == static_cast<const ObjectLink&>(other).target;
}

HostValue linkValue(const BaseObject* target) {
  return HostValue::custom(std::make_unique<ObjectLink>(target ? target->getId() : 0));
}

BaseObject* linkedObject(const HostValue& value, const BaseDocument* document) {
  const auto* link = dynamic_cast<const ObjectLink*>(value.getCustom());
  if (!link || link->target == 0 || !document) return nullptr;
  return document->findObject(link->target);
}

HostValue documentLinkValue(const BaseDocument* target) {
  return HostValue::custom(std::make_unique<ObjectLink>(target ? target->getId() : 0));
}

BaseDocument* linkedDocument(const HostValue& value) {
  const auto* link = dynamic_cast<const ObjectLink*>(value.getCustom());
  if (!link || link->target == 0) return nullptr;
  for (BaseDocument* d : state().documentList)
    if (d->getId() == link->target) return d;
  return nullptr;
}

// ---------------------------------------------------------------------------------------
// Tags

BaseTag::BaseTag(int32_t type) : type_(type), id_(newId()), name_(defaultTagName(type)) {}

BaseTag::~BaseTag() = default;

BaseTag* BaseTag::alloc(int32_t type) {
  std::shared_ptr<TagData> nodeData;
  String name;
  if (!isBuiltInTag(type)) {
    const BasePlugin* plugin = findPlugin(type, kPluginTag);
    if (!plugin || !plugin->allocator) return nullptr;
    nodeData.reset(dynamic_cast<TagData*>(plugin->allocator()));
    if (!nodeData) return nullptr;
    name = plugin->name;
  }
  BaseTag* tag = newObject<BaseTag>(type);
  if (!tag) return nullptr;
  if (type == kTagTexture) {
    // A new texture tag projects one tile per unit of its projection (6: UVW mapping).
    tag->data_.setReal(kTextureTagLengthX, 1.0);
    tag->data_.setReal(kTextureTagLengthY, 1.0);
    tag->data_.setInt32(kTextureTagProjection, 6);
  }
  if (nodeData) {
    tag->nodeData_ = std::move(nodeData);
    tag->name_ = name;
    tag->nodeData_->init(tag->data_);
  }
  return tag;
}

void BaseTag::free(BaseTag*& tag) {
  if (!tag) return;
  tag->remove();
  deleteObject(tag);
}

BaseTag* BaseTag::getNext() const {
  if (!object_) return nullptr;
  const auto& tags = object_->tags_;
  auto it = std::find(tags.begin(), tags.end(), this);
  return it != tags.end() && it + 1 != tags.end() ? *(it + 1) : nullptr;
}

BaseTag* BaseTag::getPred() const {
  if (!object_) return nullptr;
  const auto& tags = object_->tags_;
  auto it = std::find(tags.begin(), tags.end(), this);
  return it != tags.end() && it != tags.begin() ? *(it - 1) : nullptr;
}

void BaseTag::remove() {
  if (!object_) return;
  auto& tags = object_->tags_;
  tags.erase(std::remove(tags.begin(), tags.end(), this), tags.end());
  object_ = nullptr;
}

void BaseTag::message(int32_t id) {
  if (id == kMessageUpdate) ++updates_;
}

BaseTag* BaseTag::clone() const {
  BaseTag* copy = SceneAccess::cloneTag(*this, false);
  return copy;
}

// ---------------------------------------------------------------------------------------
// Objects

BaseObject::BaseObject(int32_t type) : type_(type), id_(newId()) {
  if (const char* name = defaultObjectName(type)) name_ = name;
}

BaseObject::~BaseObject() {
  for (BaseTag* tag : tags_) {
    tag->object_ = nullptr;
    deleteObject(tag);
  }
  tags_.clear();
  for (BaseObject* child = down_; child;) {
    BaseObject* next = child->next_;
    child->parent_ = nullptr;
    deleteObject(child);
    child = next;
  }
}

PolygonObject::PolygonObject() : BaseObject(kObjectPolygon) {}

BaseObject* BaseObject::alloc(int32_t type) {
  BaseObject* object = nullptr;
  switch (type) {
    case kObjectPolygon: {
      PolygonObject* polygon = newObject<PolygonObject>();
      if (!polygon) return nullptr;
      // The geometry lives in two tags of the object's own.
      BaseTag* points = BaseTag::alloc(kTagPoint);
      BaseTag* polygons = points ? BaseTag::alloc(kTagPolygon) : nullptr;
      if (!polygons) {
        BaseTag::free(points);
        deleteObject(polygon);
        return nullptr;
      }
      polygon->insertTag(points);
      polygon->insertTag(polygons, points);
      object = polygon;
      break;
    }
    case kObjectLight:
    case kObjectCamera:
    case kObjectInstance:
    case kObjectNull:
      object = newObject<BaseObject>(type);
      break;
    default:
      return nullptr;
  }
  return object;
}

void BaseObject::free(BaseObject*& object) {
  if (!object) return;
  object->remove();
  deleteObject(object);
}

void BaseObject::setDocumentRecursive(BaseDocument* document) {
  document_ = document;
  for (BaseObject* child = down_; child; child = child->next_) child->setDocumentRecursive(document);
}

void BaseObject::remove() {
  BaseObject*& first = parent_ ? parent_->down_ : (document_ ? document_->first_ : down_);
  BaseObject*& last = parent_ ? parent_->downLast_ : (document_ ? document_->last_ : downLast_);
  if (parent_ || document_) {
    if (pred_) {
      pred_->next_ = next_;
    } else if (first == this) {
      first = next_;
    }
    if (next_) {
      next_->pred_ = pred_;
    } else if (last == this) {
      last = pred_;
    }
  }
  parent_ = nullptr;
  next_ = pred_ = nullptr;
  if (document_) setDocumentRecursive(nullptr);
}

void BaseObject::link(BaseDocument* document, BaseObject* parent, BaseObject* pred) {
  remove();
  parent_ = parent;
  BaseDocument* owner = parent ? parent->document_ : document;
  BaseObject*& first = parent ? parent->down_ : document->first_;
  BaseObject*& last = parent ? parent->downLast_ : document->last_;
  pred_ = pred;
  next_ = pred ? pred->next_ : first;
  if (pred) {
    pred->next_ = this;
  } else {
    first = this;
  }
  if (next_) {
    next_->pred_ = this;
  } else {
    last = this;
  }
  setDocumentRecursive(owner);
}

void BaseObject::insertUnder(BaseObject* parent) {
  if (parent && parent != this) link(nullptr, parent, nullptr);
}

void BaseObject::insertUnderLast(BaseObject* parent) {
  if (parent && parent != this) link(nullptr, parent, parent->downLast_ == this ? pred_ : parent->downLast_);
}

void BaseObject::insertAfter(BaseObject* pred) {
  if (!pred || pred == this || (!pred->parent_ && !pred->document_)) return;
  link(pred->document_, pred->parent_, pred);
}

void BaseObject::insertBefore(BaseObject* next) {
  if (!next || next == this || (!next->parent_ && !next->document_)) return;
  BaseObject* pred = next->pred_ == this ? pred_ : next->pred_;
  link(next->document_, next->parent_, pred);
}

BaseTag* BaseObject::getTag(int32_t type, int32_t nth) const {
  for (BaseTag* tag : tags_) {
    if (tag->type_ == type && nth-- == 0) return tag;
  }
  return nullptr;
}

void BaseObject::insertTag(BaseTag* tag, BaseTag* pred) {
  if (!tag) return;
  tag->remove();
  auto it = pred ? std::find(tags_.begin(), tags_.end(), pred) : tags_.end();
  tags_.insert(it == tags_.end() ? tags_.begin() : it + 1, tag);
  tag->object_ = this;
}

BaseTag* BaseObject::makeTag(int32_t type) {
  BaseTag* tag = BaseTag::alloc(type);
  if (!tag) return nullptr;
  insertTag(tag, getLastTag());
  return tag;
}

void BaseObject::killTag(int32_t type, int32_t nth) {
  BaseTag* tag = getTag(type, nth);
  BaseTag::free(tag);
}

void BaseObject::message(int32_t id) {
  if (id == kMessageUpdate) ++updates_;
}

BaseObject* BaseObject::clone(bool withChildren) const { return SceneAccess::cloneObject(*this, withChildren, false); }

int32_t PolygonObject::getPointCount() const { return int32_t(getTag(kTagPoint)->points().size()); }
int32_t PolygonObject::getPolygonCount() const { return int32_t(getTag(kTagPolygon)->polygons().size()); }
Vector* PolygonObject::getPointW() { return getTag(kTagPoint)->points().data(); }
CPolygon* PolygonObject::getPolygonW() { return getTag(kTagPolygon)->polygons().data(); }
const Vector* PolygonObject::getPointR() const { return getTag(kTagPoint)->points().data(); }
const CPolygon* PolygonObject::getPolygonR() const { return getTag(kTagPolygon)->polygons().data(); }

bool PolygonObject::resizeObject(int32_t pointCount, int32_t polygonCount) {
  if (pointCount < 0 || polygonCount < 0) return false;
  if (!allocationAllowed()) return false;
  getTag(kTagPoint)->points().resize(size_t(pointCount));
  getTag(kTagPolygon)->polygons().resize(size_t(polygonCount));
  return true;
}

// ---------------------------------------------------------------------------------------
// Layers

LayerObject::LayerObject() : id_(newId()) {}

LayerObject* LayerObject::alloc() { return newObject<LayerObject>(); }

void LayerObject::free(LayerObject*& layer) {
  if (!layer) return;
  layer->remove();
  for (LayerObject* child : layer->children_) {
    child->document_ = nullptr;  // so that its own free does not touch this list
    child->parent_ = nullptr;
    LayerObject* c = child;
    free(c);
  }
  deleteObject(layer);
}

void LayerObject::insertUnderLast(BaseDocument* document, LayerObject* parent) {
  remove();
  document_ = document;
  parent_ = parent;
  (parent ? parent->children_ : document->layers_).push_back(this);
}

void LayerObject::remove() {
  if (!document_) return;
  auto& list = parent_ ? parent_->children_ : document_->layers_;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  parent_ = nullptr;
  document_ = nullptr;
}

// ---------------------------------------------------------------------------------------
// Documents

BaseDocument::BaseDocument() : id_(newId()) {
  settings_.setValue(kDocumentProjectScale, HostValue::custom(std::make_unique<UnitScaleData>(1.0, 3)));
}

BaseDocument::~BaseDocument() {
  for (BaseObject* object = first_; object;) {
    BaseObject* next = object->next_;
    object->document_ = nullptr;
    object->parent_ = nullptr;
    deleteObject(object);
    object = next;
  }
  for (LayerObject* layer : layers_) {
    layer->document_ = nullptr;
    layer->parent_ = nullptr;
    LayerObject::free(layer);
  }
  for (BaseMaterial* material : materials_) {
    material->document_ = nullptr;
    deleteObject(material);
  }
}

BaseDocument* BaseDocument::alloc() { return newObject<BaseDocument>(); }

void BaseDocument::free(BaseDocument*& document) { deleteObject(document); }

void BaseDocument::insertObject(BaseObject* object, BaseObject* parent, BaseObject* pred, bool checkNames) {
  if (!object) return;
  if (checkNames && !parent) {
    const String base = object->getName();
    auto taken = [&](const String& name) {
      for (BaseObject* o = first_; o; o = o->next_)
        if (o != object && o->getName() == name) return true;
      return false;
    };
    String name = base;
    for (int32_t n = 1; taken(name); ++n) name = base + "." + int32ToString(n);
    object->setName(name);
  }
  if (pred && pred->parent_ == parent && pred->document_ == this) {
    object->link(this, parent, pred);
  } else {
    object->link(this, parent, nullptr);
  }
}

void BaseDocument::forEachObject(const std::function<void(BaseObject*)>& visit) const {
  std::vector<BaseObject*> stack;
  for (BaseObject* o = last_; o; o = o->pred_) stack.push_back(o);
  while (!stack.empty()) {
    BaseObject* o = stack.back();
    stack.pop_back();
    visit(o);
    for (BaseObject* c = o->downLast_; c; c = c->pred_) stack.push_back(c);
  }
}

std::vector<BaseObject*> BaseDocument::allObjects() const {
  std::vector<BaseObject*> out;
  forEachObject([&](BaseObject* o) { out.push_back(o); });
  return out;
}

BaseObject* BaseDocument::findObject(uint64_t id) const {
  BaseObject* found = nullptr;
  forEachObject([&](BaseObject* o) {
    if (!found && o->id_ == id) found = o;
  });
  return found;
}

std::vector<BaseObject*> BaseDocument::selectedObjects() const {
  std::vector<BaseObject*> out;
  forEachObject([&](BaseObject* o) {
    if (!o->selected_) return;
    for (BaseObject* up = o->parent_; up; up = up->parent_)
      if (up->selected_) return;
    out.push_back(o);
  });
  return out;
}

void BaseDocument::insertMaterial(BaseMaterial* material, BaseMaterial* pred) {
  if (!material || material == pred) return;
  material->remove();
  // A predecessor of another document (or none) puts the material first.
  auto at = pred && pred->document_ == this ? std::find(materials_.begin(), materials_.end(), pred) + 1
                                            : materials_.begin();
  materials_.insert(at, material);
  material->document_ = this;
}

BaseMaterial* BaseDocument::searchMaterial(const String& name) const {
  for (BaseMaterial* m : materials_)
    if (m->getName() == name) return m;
  return nullptr;
}

BaseMaterial* BaseDocument::findMaterial(uint64_t id) const {
  if (id == 0) return nullptr;
  for (BaseMaterial* m : materials_)
    if (m->getId() == id) return m;
  return nullptr;
}

LayerObject* BaseDocument::findLayer(uint64_t id) const {
  std::vector<LayerObject*> stack(layers_.begin(), layers_.end());
  while (!stack.empty()) {
    LayerObject* l = stack.back();
    stack.pop_back();
    if (l->id_ == id) return l;
    for (LayerObject* c : l->children_) stack.push_back(c);
  }
  return nullptr;
}

void BaseDocument::message(int32_t id) {
  for (auto& [key, count] : messages_) {
    if (key == id) {
      ++count;
      return;
    }
  }
  messages_.emplace_back(id, 1);
}

int32_t BaseDocument::messageCount(int32_t id) const {
  for (const auto& [key, count] : messages_)
    if (key == id) return count;
  return 0;
}

BaseObject* BaseDraw::getSceneCamera(const BaseDocument* document) const {
  if (!camera_ || !document) return nullptr;
  BaseObject* camera = document->findObject(camera_);
  return camera && camera->getType() == kObjectCamera ? camera : nullptr;
}

// ---------------------------------------------------------------------------------------
// Document list

BaseDocument* getActiveDocument() { return state().activeDocument; }

void insertBaseDocument(BaseDocument* document) {
  if (!document) return;
  auto& list = state().documentList;
  if (std::find(list.begin(), list.end(), document) == list.end()) list.push_back(document);
  if (!state().activeDocument) state().activeDocument = document;
}

void setActiveDocument(BaseDocument* document) {
  auto& list = state().documentList;
  if (std::find(list.begin(), list.end(), document) != list.end()) state().activeDocument = document;
}

void killDocument(BaseDocument* document) {
  auto& list = state().documentList;
  auto it = std::find(list.begin(), list.end(), document);
  if (it == list.end()) return;
  list.erase(it);
  if (state().activeDocument == document) state().activeDocument = list.empty() ? nullptr : list.back();
  BaseDocument::free(document);
}

const std::vector<BaseDocument*>& documents() { return state().documentList; }

// The in-memory host does all its work in the caller's thread, so there is nothing
// running on its own to wait for.
void prepareDocumentChanges() {}

}  // namespace host

namespace host {

BaseTag* SceneAccess::cloneTag(const BaseTag& tag, bool keepIds) {
  BaseTag* copy = newObject<BaseTag>(tag.type_);
  if (!copy) return nullptr;
  if (keepIds) copy->id_ = tag.id_;
  copy->name_ = tag.name_;
  copy->data_ = tag.data_;
  copy->nodeData_ = tag.nodeData_;
  copy->points_ = tag.points_;
  copy->polygons_ = tag.polygons_;
  copy->uvws_ = tag.uvws_;
  copy->normals_ = tag.normals_;
  copy->projectionScale_ = tag.projectionScale_;
  copy->projectionRotation_ = tag.projectionRotation_;
  return copy;
}

BaseObject* SceneAccess::cloneObject(const BaseObject& object, bool withChildren, bool keepIds) {
  BaseObject* copy = object.type_ == kObjectPolygon ? newObject<PolygonObject>() : newObject<BaseObject>(object.type_);
  if (!copy) return nullptr;
  if (keepIds) copy->id_ = object.id_;
  restoreFields(*copy, object);
  if (withChildren) {
    BaseObject* pred = nullptr;
    for (BaseObject* child = object.down_; child; child = child->next_) {
      BaseObject* c = cloneObject(*child, true, keepIds);
      if (!c) {
        deleteObject(copy);
        return nullptr;
      }
      c->parent_ = copy;
      c->pred_ = pred;
      (pred ? pred->next_ : copy->down_) = c;
      copy->downLast_ = c;
      pred = c;
    }
  }
  return copy;
}

void SceneAccess::restoreFields(BaseObject& to, const BaseObject& from) {
  to.name_ = from.name_;
  to.position_ = from.position_;
  to.rotation_ = from.rotation_;
  to.scale_ = from.scale_;
  to.data_ = from.data_;
  to.editorMode_ = from.editorMode_;
  to.renderMode_ = from.renderMode_;
  to.selected_ = from.selected_;
  to.layer_ = from.layer_;
  for (BaseTag* tag : to.tags_) {
    tag->object_ = nullptr;
    deleteObject(tag);
  }
  to.tags_.clear();
  for (const BaseTag* tag : from.tags_) {
    BaseTag* copy = cloneTag(*tag, true);
    if (!copy) continue;
    copy->object_ = &to;
    to.tags_.push_back(copy);
  }
}

uint64_t SceneAccess::newId() { return host::newId(); }

void SceneAccess::reserveIds(uint64_t id) {
  uint64_t current = gNextId.load();
  while (current <= id && !gNextId.compare_exchange_weak(current, id + 1)) {
  }
}

}  // namespace host
