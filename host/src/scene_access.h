// Inside access to the scene classes for the host's own services (undo, document files).
#pragma once

#include <memory>
#include <vector>

#include "host/scene.h"

namespace host {

class SceneAccess {
 public:
  // Copies of tags and objects; with keepIds the copies keep the identities of the
  // originals (undo restores objects as they were).
  static BaseTag* cloneTag(const BaseTag& tag, bool keepIds);
  static BaseObject* cloneObject(const BaseObject& object, bool withChildren, bool keepIds);
  // Puts the fields of `from` (not its children or place) into `to`, tags included.
  static void restoreFields(BaseObject& to, const BaseObject& from);
  static void setId(BaseObject& object, uint64_t id) { object.id_ = id; }
  static void setId(LayerObject& layer, uint64_t id) { layer.id_ = id; }
  static void setId(BaseTag& tag, uint64_t id) { tag.id_ = id; }
  // Makes sure identities handed out from now on are above `id`.
  static void reserveIds(uint64_t id);
  // A new identity; documents, objects, tags, layers, materials and shaders share them.
  static uint64_t newId();
};

// Undo records, kept by the document.
struct BaseDocument::UndoStep {
  enum class Target { object, tag, layer, material };
  int32_t kind = 0;
  Target target = Target::object;
  uint64_t id = 0;        // the object, tag, layer or material
  uint64_t owner = 0;     // tags: their object; objects and layers: the parent (0 = top)
  uint64_t pred = 0;      // objects: the predecessor (0 = first); tags: index
  std::unique_ptr<BaseObject, void (*)(BaseObject*)> object{nullptr, [](BaseObject* o) { BaseObject::free(o); }};
  std::unique_ptr<BaseTag, void (*)(BaseTag*)> tag{nullptr, [](BaseTag* t) { BaseTag::free(t); }};
  String layerName;
};

struct BaseDocument::UndoGroup {
  std::vector<UndoStep> steps;
};

}  // namespace host
