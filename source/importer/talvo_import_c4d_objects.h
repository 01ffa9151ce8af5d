// The object utilities the builders share: finding or creating the nulls and objects of
// an import (searching by name where an update reuses what an earlier import made),
// the lock tests of updates, host layers, the marker tags, visibility and placement.
#pragma once

#include <cstdint>

#include "host/text.h"
#include "host/values.h"

namespace host {
class BaseObject;
}

namespace talvo {

class SceneLoader;
struct ImportOptions;

class ObjectTools {
 public:
  ObjectTools(const SceneLoader& loader, const ImportOptions& options);

  // In update mode, or while the instance pass runs, the first direct child null of the
  // parent with that name; otherwise (or when there is none) a new null of that name,
  // inserted as the parent's first child and carrying the new-null tag. nullptr when the
  // null or its tag cannot be had.
  host::BaseObject* findOrCreateNull(const host::String& name, host::BaseObject* parent);
  // The same, searching first in every mode.
  host::BaseObject* findOrCreateNullAlways(const host::String& name, host::BaseObject* parent);
  // The same for any host type; searches only in update mode, and adds the new-null tag
  // only with tagIt.
  host::BaseObject* findOrCreateObject(const host::String& name, host::BaseObject* parent, int32_t type, bool tagIt);
  // findOrCreateNull (searching only in update mode), then placed at the position (less
  // the scene centre when centerAtOrigin is on), found or new.
  host::BaseObject* findOrCreateTargetNull(const host::String& name, host::BaseObject* parent,
                                           const host::Vector& position);

  // In update mode: whether the object lies under a no-update tag before it reaches an
  // import root (an object with the marker tag). Always false outside update mode.
  bool isInLockedSubtree(const host::BaseObject* object) const;
  static bool hasNoUpdateTag(const host::BaseObject* object);
  static bool hasNewNullTag(const host::BaseObject* object);

  // Puts the object into the document's first-level layer of that name, made (with its
  // undo step) when missing. 0, or 10034 when the layer cannot be allocated.
  [[nodiscard]] int32_t assignHostLayer(host::BaseObject* object, const host::String& name);
  // Adds the no-sort tag unless present and sets its value; false when it cannot be had.
  bool addNoSortTag(host::BaseObject* object, int32_t value);
  // Adds the no-update tag unless present; false when it cannot be had.
  bool addNoUpdateTag(host::BaseObject* object);
  // Switches the object off in the editor and the renderer.
  static void hideObject(host::BaseObject* object);

  // Places the object where the element sits: its position (less the scene centre when
  // centerAtOrigin or needsShift is set), its angle as heading, its size over its base
  // size as scale, the x scale negated for a mirrored element when applyMirror is on.
  void placeFromElement(host::BaseObject* object, int32_t element, bool applyMirror) const;
  // Moves the object by the origin offset when needsShift is set.
  void shiftByOriginOffset(host::BaseObject* object) const;

  // "prefix<separator>name", or the name alone when the prefix is empty.
  host::String joinNames(const host::String& prefix, const host::String& name) const;

 private:
  host::BaseObject* findChild(const host::String& name, host::BaseObject* parent, int32_t type) const;
  host::BaseObject* create(const host::String& name, host::BaseObject* parent, int32_t type, bool tagIt);

  const SceneLoader& loader_;
  const ImportOptions& options_;
};

}  // namespace talvo
