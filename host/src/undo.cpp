// Undo: each step keeps what it needs to take the scene back. A change keeps a copy of
// the object (or tag) as it was; a deletion keeps a copy of the subtree and where it sat;
// a new object, tag, layer or material keeps its identity. Copies keep identities, so later steps find the
// objects that earlier undone steps restored.
#include <unordered_map>

#include "host/material.h"
#include "host/memory.h"
#include "host/scene.h"
#include "scene_access.h"
#include "state.h"

namespace host {

bool BaseDocument::startUndo() {
  if (undoDepth_++ == 0) openGroup_ = std::make_unique<UndoGroup>();
  return true;
}

bool BaseDocument::endUndo() {
  if (undoDepth_ == 0) return false;
  if (--undoDepth_ == 0) {
    if (!openGroup_->steps.empty()) undoGroups_.push_back(std::move(openGroup_));
    openGroup_.reset();
  }
  return true;
}

int32_t BaseDocument::undoGroupCount() const { return int32_t(undoGroups_.size()); }

bool BaseDocument::addUndo(int32_t kind, BaseObject* object) {
  if (!openGroup_ || !object) return false;
  UndoStep step;
  step.kind = kind;
  step.id = object->getId();
  if (kind == kUndoChange || kind == kUndoDelete) {
    BaseObject* copy = SceneAccess::cloneObject(*object, kind == kUndoDelete, true);
    if (!copy) return false;
    step.object.reset(copy);
    step.owner = object->getUp() ? object->getUp()->getId() : 0;
    step.pred = object->getPred() ? object->getPred()->getId() : 0;
  } else if (kind != kUndoNew) {
    return false;
  }
  openGroup_->steps.push_back(std::move(step));
  return true;
}

bool BaseDocument::addUndo(int32_t kind, BaseTag* tag) {
  if (!openGroup_ || !tag || !tag->getObject()) return false;
  UndoStep step;
  step.kind = kind;
  step.target = UndoStep::Target::tag;
  step.id = tag->getId();
  step.owner = tag->getObject()->getId();
  const auto& tags = tag->getObject()->tags();
  step.pred = uint64_t(std::find(tags.begin(), tags.end(), tag) - tags.begin());
  if (kind == kUndoChange || kind == kUndoDelete) {
    BaseTag* copy = SceneAccess::cloneTag(*tag, true);
    if (!copy) return false;
    step.tag.reset(copy);
  } else if (kind != kUndoNew) {
    return false;
  }
  openGroup_->steps.push_back(std::move(step));
  return true;
}

bool BaseDocument::addUndo(int32_t kind, LayerObject* layer) {
  if (!openGroup_ || !layer) return false;
  UndoStep step;
  step.kind = kind;
  step.target = UndoStep::Target::layer;
  step.id = layer->getId();
  step.owner = layer->getUp() ? layer->getUp()->getId() : 0;
  step.layerName = layer->getName();
  openGroup_->steps.push_back(std::move(step));
  return true;
}

bool BaseDocument::addUndo(int32_t kind, BaseMaterial* material) {
  if (!openGroup_ || !material || kind != kUndoNew) return false;
  UndoStep step;
  step.kind = kind;
  step.target = UndoStep::Target::material;
  step.id = material->getId();
  openGroup_->steps.push_back(std::move(step));
  return true;
}

bool BaseDocument::doUndo() {
  if (undoGroups_.empty()) return false;
  std::unique_ptr<UndoGroup> group = std::move(undoGroups_.back());
  undoGroups_.pop_back();

  std::unordered_map<uint64_t, BaseObject*> index;
  forEachObject([&](BaseObject* o) { index[o->getId()] = o; });
  auto find = [&](uint64_t id) -> BaseObject* {
    auto it = index.find(id);
    return it == index.end() ? nullptr : it->second;
  };
  auto unindex = [&](BaseObject* root) {
    std::vector<BaseObject*> stack = {root};
    while (!stack.empty()) {
      BaseObject* o = stack.back();
      stack.pop_back();
      index.erase(o->getId());
      for (BaseObject* c = o->getDown(); c; c = c->getNext()) stack.push_back(c);
    }
  };
  auto reindex = [&](BaseObject* root) {
    std::vector<BaseObject*> stack = {root};
    while (!stack.empty()) {
      BaseObject* o = stack.back();
      stack.pop_back();
      index[o->getId()] = o;
      for (BaseObject* c = o->getDown(); c; c = c->getNext()) stack.push_back(c);
    }
  };

  for (auto it = group->steps.rbegin(); it != group->steps.rend(); ++it) {
    UndoStep& step = *it;
    if (step.target == UndoStep::Target::object) {
      BaseObject* object = find(step.id);
      if (step.kind == kUndoNew) {
        if (object) {
          unindex(object);
          BaseObject::free(object);
        }
      } else if (step.kind == kUndoChange) {
        if (object) {
          SceneAccess::restoreFields(*object, *step.object);
          // A change may have moved the object (under a new object, say, that undo frees
          // next); it goes back where it sat.
          BaseObject* parent = step.owner ? find(step.owner) : nullptr;
          BaseObject* pred = step.pred ? find(step.pred) : nullptr;
          const bool placeKnown = (parent || !step.owner) && (pred || !step.pred);
          if (placeKnown && (object->getUp() != parent || object->getPred() != pred))
            insertObject(object, parent, pred);
        }
      } else if (step.kind == kUndoDelete && !object) {
        BaseObject* restored = step.object.release();
        BaseObject* parent = step.owner ? find(step.owner) : nullptr;
        BaseObject* pred = step.pred ? find(step.pred) : nullptr;
        insertObject(restored, parent, pred);
        reindex(restored);
      }
    } else if (step.target == UndoStep::Target::tag) {
      BaseObject* object = find(step.owner);
      if (!object) continue;
      BaseTag* tag = nullptr;
      for (BaseTag* t : object->tags())
        if (t->getId() == step.id) tag = t;
      if (step.kind == kUndoNew) {
        BaseTag::free(tag);
      } else if (step.kind == kUndoChange && tag) {
        BaseTag* copy = step.tag.release();
        const size_t at = size_t(std::find(object->tags().begin(), object->tags().end(), tag) - object->tags().begin());
        BaseTag::free(tag);
        object->insertTag(copy, at == 0 ? nullptr : object->tags()[at - 1]);
      } else if (step.kind == kUndoDelete && !tag) {
        BaseTag* copy = step.tag.release();
        const size_t at = std::min<size_t>(size_t(step.pred), object->tags().size());
        object->insertTag(copy, at == 0 ? nullptr : object->tags()[at - 1]);
      }
    } else if (step.target == UndoStep::Target::material) {
      // Links to the material (texture tags) are left as they are and name nothing then.
      BaseMaterial* material = findMaterial(step.id);
      BaseMaterial::free(material);
    } else {
      LayerObject* layer = findLayer(step.id);
      if (step.kind == kUndoNew && layer) {
        // Objects that were put into the new layer or one of its sublayers leave them
        // with it.
        auto inLayer = [layer](const LayerObject* l) {
          for (; l; l = l->getUp())
            if (l == layer) return true;
          return false;
        };
        forEachObject([&](BaseObject* o) {
          if (o->getLayerObject() && inLayer(o->getLayerObject())) o->setLayerObject(nullptr);
        });
        LayerObject::free(layer);
      }
    }
  }
  return true;
}

}  // namespace host
