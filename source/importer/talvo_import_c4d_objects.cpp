#include "talvo_import_c4d_objects.h"

#include "host/scene.h"
#include "talvo_import_c4d_loader.h"
#include "talvo_import_c4d_options.h"
#include "talvo_import_c4d_status.h"
#include "talvo_import_c4d_tag_nosort.h"
#include "talvo_import_c4d_tag_noupdate.h"
#include "talvo_import_c4d_tag_null.h"
#include "talvo_import_c4d_tag_talvo.h"

namespace talvo {

ObjectTools::ObjectTools(const SceneLoader& loader, const ImportOptions& options)
    : loader_(loader), options_(options) {}

host::BaseObject* ObjectTools::findChild(const host::String& name, host::BaseObject* parent, int32_t type) const {
  for (host::BaseObject* c = parent ? parent->getDown() : nullptr; c; c = c->getNext())
    if (c->getType() == type && c->getName() == name) return c;
  return nullptr;
}

host::BaseObject* ObjectTools::create(const host::String& name, host::BaseObject* parent, int32_t type, bool tagIt) {
  host::BaseObject* object = host::BaseObject::alloc(type);
  if (!object) return nullptr;
  object->setName(name);
  if (tagIt && !object->makeTag(kTagNewNull)) {
    host::BaseObject::free(object);
    return nullptr;
  }
  options_.targetDocument->insertObject(object, parent, nullptr);
  return object;
}

host::BaseObject* ObjectTools::findOrCreateNull(const host::String& name, host::BaseObject* parent) {
  if (options_.importMode == kImportUpdate || options_.instancePass) {
    if (host::BaseObject* found = findChild(name, parent, host::kObjectNull)) return found;
  }
  return create(name, parent, host::kObjectNull, true);
}

host::BaseObject* ObjectTools::findOrCreateNullAlways(const host::String& name, host::BaseObject* parent) {
  if (host::BaseObject* found = findChild(name, parent, host::kObjectNull)) return found;
  return create(name, parent, host::kObjectNull, true);
}

host::BaseObject* ObjectTools::findOrCreateObject(const host::String& name, host::BaseObject* parent, int32_t type,
                                                  bool tagIt) {
  if (options_.importMode == kImportUpdate) {
    if (host::BaseObject* found = findChild(name, parent, type)) return found;
  }
  return create(name, parent, type, tagIt);
}

host::BaseObject* ObjectTools::findOrCreateTargetNull(const host::String& name, host::BaseObject* parent,
                                                      const host::Vector& position) {
  host::BaseObject* null = options_.importMode == kImportUpdate ? findChild(name, parent, host::kObjectNull) : nullptr;
  if (!null) null = create(name, parent, host::kObjectNull, true);
  if (!null) return nullptr;
  host::Vector p = position;
  if (options_.centerAtOrigin) {
    p.x -= loader_.center[0];
    p.y -= loader_.center[1];
    p.z -= loader_.center[2];
  }
  null->setRelPos(p);
  return null;
}

bool ObjectTools::isInLockedSubtree(const host::BaseObject* object) const {
  if (options_.importMode != kImportUpdate) return false;
  for (const host::BaseObject* o = object; o; o = o->getUp()) {
    if (o->getTag(kTagTalvo)) return false;
    if (o->getTag(kTagNoUpdate)) return true;
  }
  return false;
}

bool ObjectTools::hasNoUpdateTag(const host::BaseObject* object) { return object && object->getTag(kTagNoUpdate); }

bool ObjectTools::hasNewNullTag(const host::BaseObject* object) { return object && object->getTag(kTagNewNull); }

int32_t ObjectTools::assignHostLayer(host::BaseObject* object, const host::String& name) {
  host::BaseDocument* document = options_.targetDocument;
  if (!document) return kStatusLayerRoot;
  host::LayerObject* layer = nullptr;
  for (host::LayerObject* l : document->layers()) {
    if (l->getName() == name) {
      layer = l;
      break;
    }
  }
  if (!layer) {
    layer = host::LayerObject::alloc();
    if (!layer) return kStatusLayer;
    layer->setName(name);
    layer->insertUnderLast(document);
    if (options_.undo) document->addUndo(host::kUndoNew, layer);
  }
  object->setLayerObject(layer);
  return kStatusOk;
}

bool ObjectTools::addNoSortTag(host::BaseObject* object, int32_t value) {
  host::BaseTag* tag = object->getTag(kTagNoSort);
  if (!tag) tag = object->makeTag(kTagNoSort);
  if (!tag) return false;
  tag->getDataInstance().setInt32(kNoSortKeepOrder, value);
  return true;
}

bool ObjectTools::addNoUpdateTag(host::BaseObject* object) {
  return object->getTag(kTagNoUpdate) || object->makeTag(kTagNoUpdate);
}

void ObjectTools::hideObject(host::BaseObject* object) {
  if (object->getEditorMode() != host::kModeOff) object->setEditorMode(host::kModeOff);
  if (object->getRenderMode() != host::kModeOff) object->setRenderMode(host::kModeOff);
}

void ObjectTools::placeFromElement(host::BaseObject* object, int32_t element, bool applyMirror) const {
  const ElementRecord& e = loader_.elements[size_t(element)];
  host::Vector position{e.position[0], e.position[1], e.position[2]};
  if (options_.centerAtOrigin || options_.needsShift) {
    position.x -= loader_.center[0];
    position.y -= loader_.center[1];
    position.z -= loader_.center[2];
  }
  // Size over base size; the base size is the library part's own and never 0 in a sound
  // file, but a damaged one must not make infinite scales.
  auto ratio = [](double size, double base) { return base != 0.0 ? size / base : 1.0; };
  host::Vector scale{ratio(e.size[0], e.baseSize[0]), ratio(e.size[2], e.baseSize[2]),
                     ratio(e.size[1], e.baseSize[1])};
  if (applyMirror && e.mirrored) scale.x = -scale.x;
  object->setRelPos(position);
  object->setRelRot({e.angle, 0.0, 0.0});
  object->setRelScale(scale);
}

void ObjectTools::shiftByOriginOffset(host::BaseObject* object) const {
  if (!options_.needsShift) return;
  host::Vector p = object->getRelPos();
  p.x += options_.originOffset[0];
  p.y += options_.originOffset[1];
  p.z += options_.originOffset[2];
  object->setRelPos(p);
}

host::String ObjectTools::joinNames(const host::String& prefix, const host::String& name) const {
  return prefix.empty() ? name : prefix + options_.separatorText + name;
}

}  // namespace talvo
