// The host's scene: documents, objects, tags, layers and undo.
//
// Ownership follows the host: whatever is inserted into a document (objects, tags, layers)
// belongs to the document and is freed with it; whatever was allocated and not inserted
// belongs to the caller, who frees it with the matching free call. Allocations report
// failure as nullptr.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "host/filename.h"
#include "host/memory.h"
#include "host/text.h"
#include "host/values.h"

namespace host {

class BaseDocument;
class BaseObject;
class BaseMaterial;
class BaseTag;
class LayerObject;
class TagData;

// Object types.
constexpr int32_t kObjectPolygon = 5100;
constexpr int32_t kObjectLight = 5102;
constexpr int32_t kObjectCamera = 5103;
constexpr int32_t kObjectInstance = 5126;
constexpr int32_t kObjectNull = 5140;

// Tag types.
constexpr int32_t kTagPoint = 5600;
constexpr int32_t kTagPolygon = 5604;
constexpr int32_t kTagPhong = 5612;
constexpr int32_t kTagTexture = 5616;
constexpr int32_t kTagUvw = 5671;
constexpr int32_t kTagTarget = 5676;
constexpr int32_t kTagNormal = 5711;

// Object messages.
constexpr int32_t kMessageUpdate = 7;
// Document messages.
constexpr int32_t kMessageDocumentUpdate = 5;

// Visibility modes.
constexpr int32_t kModeOn = 0;
constexpr int32_t kModeOff = 1;
constexpr int32_t kModeUndefined = 2;

// Undo kinds.
constexpr int32_t kUndoChange = 40;
constexpr int32_t kUndoNew = 44;
constexpr int32_t kUndoDelete = 45;

// Document setting of the project scale: custom data holding a factor and a unit.
constexpr int32_t kDocumentProjectScale = 2117;
constexpr int32_t kCustomUnitScale = 200000275;

// A polygon of four point indices; a triangle has c == d.
struct CPolygon {
  int32_t a = 0, b = 0, c = 0, d = 0;
  bool isTriangle() const { return c == d; }
  friend bool operator==(const CPolygon&, const CPolygon&) = default;
};

// The texture coordinates of one polygon's four corners.
struct UVWStruct {
  Vector a, b, c, d;
  friend bool operator==(const UVWStruct&, const UVWStruct&) = default;
};

// The project scale setting: one document unit is `scale` units of kind `unit`
// (1 kilometre, 2 metre, 3 centimetre, 4 millimetre, 5 micrometre, 6 nanometre, 7 mile,
// 8 yard, 9 foot, 10 inch).
class UnitScaleData : public CustomData {
 public:
  UnitScaleData(double scale = 1.0, int32_t unit = 3) : scale(scale), unit(unit) {}
  int32_t typeId() const override { return kCustomUnitScale; }
  std::unique_ptr<CustomData> clone() const override { return std::make_unique<UnitScaleData>(*this); }
  bool equals(const CustomData& other) const override;
  double scale;
  int32_t unit;
};

// A link to an object, as a parameter value: custom data that names the object by its
// identity, so a link survives saving, loading and undo.
constexpr int32_t kCustomObjectLink = 1009290;
class ObjectLink : public CustomData {
 public:
  explicit ObjectLink(uint64_t target = 0) : target(target) {}
  int32_t typeId() const override { return kCustomObjectLink; }
  std::unique_ptr<CustomData> clone() const override { return std::make_unique<ObjectLink>(*this); }
  bool equals(const CustomData& other) const override;
  uint64_t target;  // identity of the linked object, 0 for none
};
// A link value to an object (or no object).
HostValue linkValue(const BaseObject* target);
// No link: the same value whatever kind of target a link could name.
inline HostValue linkValue(std::nullptr_t) { return linkValue(static_cast<const BaseObject*>(nullptr)); }
// The object a link value names in a document; nullptr when it names none there.
BaseObject* linkedObject(const HostValue& value, const BaseDocument* document);
// A link value to a document (or no document), by the document's identity.
HostValue documentLinkValue(const BaseDocument* target);
// The document of the host's document list that a link value names; nullptr when it
// names none there (a document that was closed, or no link).
BaseDocument* linkedDocument(const HostValue& value);

// ---------------------------------------------------------------------------------------

class BaseTag {
 public:
  // A built-in tag, or a registered plug-in tag by its id; nullptr when the type is
  // unknown or memory is short.
  static BaseTag* alloc(int32_t type);
  static void free(BaseTag*& tag);
  virtual ~BaseTag();

  int32_t getType() const { return type_; }
  uint64_t getId() const { return id_; }
  const String& getName() const { return name_; }
  void setName(const String& name) { name_ = name; }
  BaseObject* getObject() const { return object_; }
  BaseTag* getNext() const;
  BaseTag* getPred() const;
  // Takes the tag off its object; the caller owns it afterwards.
  void remove();

  Container& getDataInstance() { return data_; }
  const Container& getData() const { return data_; }
  // The plug-in behind a plug-in tag; nullptr for built-in tags.
  TagData* getNodeData() const { return nodeData_.get(); }

  // Geometry of point, polygon, UVW and normal tags.
  std::vector<Vector>& points() { return points_; }
  std::vector<CPolygon>& polygons() { return polygons_; }
  std::vector<UVWStruct>& uvws() { return uvws_; }
  std::vector<Vector>& normals() { return normals_; }  // four per polygon
  const std::vector<Vector>& points() const { return points_; }
  const std::vector<CPolygon>& polygons() const { return polygons_; }
  const std::vector<UVWStruct>& uvws() const { return uvws_; }
  const std::vector<Vector>& normals() const { return normals_; }

  // The texture projection of a texture tag: its scale and its rotation (heading,
  // pitch, bank in radians); (1, 1, 1) and (0, 0, 0) for a new tag.
  Vector getProjectionScale() const { return projectionScale_; }
  void setProjectionScale(const Vector& v) { projectionScale_ = v; }
  Vector getProjectionRotation() const { return projectionRotation_; }
  void setProjectionRotation(const Vector& v) { projectionRotation_ = v; }

  // Sends a message to the tag (kMessageUpdate after a change).
  void message(int32_t id);
  int32_t updateCount() const { return updates_; }

  // A copy of the tag with its parameters and data, not attached to any object.
  BaseTag* clone() const;

 private:
  friend class BaseObject;
  friend class SceneAccess;
  template <class T, class... Args>
  friend T* newObject(Args&&... args);
  explicit BaseTag(int32_t type);

  int32_t type_;
  uint64_t id_;
  String name_;
  Container data_;
  BaseObject* object_ = nullptr;
  std::shared_ptr<TagData> nodeData_;
  std::vector<Vector> points_;
  std::vector<CPolygon> polygons_;
  std::vector<UVWStruct> uvws_;
  std::vector<Vector> normals_;
  Vector projectionScale_{1.0, 1.0, 1.0};
  Vector projectionRotation_;
  int32_t updates_ = 0;
};

class BaseObject {
 public:
  // An object of a host type, with the host's default name for it ("Null", "Polygon",
  // "Light", "Camera", "Instance"); nullptr when the type is unknown or memory is short.
  static BaseObject* alloc(int32_t type);
  // Frees an object that is not in a document, with its children and tags.
  static void free(BaseObject*& object);
  virtual ~BaseObject();

  int32_t getType() const { return type_; }
  // Identity, unique within the process; a copy made by undo keeps it.
  uint64_t getId() const { return id_; }
  const String& getName() const { return name_; }
  void setName(const String& name) { name_ = name; }

  // Hierarchy.
  BaseObject* getUp() const { return parent_; }
  BaseObject* getDown() const { return down_; }
  BaseObject* getDownLast() const { return downLast_; }
  BaseObject* getNext() const { return next_; }
  BaseObject* getPred() const { return pred_; }
  BaseDocument* getDocument() const { return document_; }
  // Insertions take the object out of where it was first.
  void insertUnder(BaseObject* parent);      // as first child
  void insertUnderLast(BaseObject* parent);  // as last child
  void insertAfter(BaseObject* pred);
  void insertBefore(BaseObject* next);
  // Takes the object (with its subtree) out of its document or parent; the caller owns
  // it afterwards.
  void remove();

  // Local placement: position, rotation as heading, pitch, bank (radians), scale.
  Vector getRelPos() const { return position_; }
  void setRelPos(const Vector& v) { position_ = v; }
  Vector getRelRot() const { return rotation_; }
  void setRelRot(const Vector& v) { rotation_ = v; }
  Vector getRelScale() const { return scale_; }
  void setRelScale(const Vector& v) { scale_ = v; }

  // Parameters by id.
  Container& getDataInstance() { return data_; }
  const Container& getData() const { return data_; }

  // Editor and render visibility (kModeOn, kModeOff, kModeUndefined).
  int32_t getEditorMode() const { return editorMode_; }
  void setEditorMode(int32_t mode) { editorMode_ = mode; }
  int32_t getRenderMode() const { return renderMode_; }
  void setRenderMode(int32_t mode) { renderMode_ = mode; }

  // Selection in the object manager.
  bool isSelected() const { return selected_; }
  void setSelected(bool selected) { selected_ = selected; }

  LayerObject* getLayerObject() const { return layer_; }
  void setLayerObject(LayerObject* layer) { layer_ = layer; }

  // Tags, in order.
  const std::vector<BaseTag*>& tags() const { return tags_; }
  BaseTag* getFirstTag() const { return tags_.empty() ? nullptr : tags_.front(); }
  BaseTag* getLastTag() const { return tags_.empty() ? nullptr : tags_.back(); }
  // The nth tag of a type; nullptr when there is none.
  BaseTag* getTag(int32_t type, int32_t nth = 0) const;
  // Inserts a tag after pred, or first when pred is nullptr; the object owns it then.
  void insertTag(BaseTag* tag, BaseTag* pred = nullptr);
  // Allocates a tag and inserts it after the last tag; nullptr on failure.
  BaseTag* makeTag(int32_t type);
  // Removes and frees the nth tag of a type.
  void killTag(int32_t type, int32_t nth = 0);

  // Sends a message to the object (kMessageUpdate after a change of geometry).
  void message(int32_t id);
  int32_t updateCount() const { return updates_; }

  // A copy of the object, its tags and, with `withChildren`, its subtree; the copy is
  // new (identities differ) and in no document.
  BaseObject* clone(bool withChildren = true) const;

 protected:
  explicit BaseObject(int32_t type);

 private:
  friend class BaseDocument;
  friend class BaseTag;
  friend class SceneAccess;
  template <class T, class... Args>
  friend T* newObject(Args&&... args);

  // Links the object into the children of parent (or the top level of document when
  // parent is nullptr), after pred (nullptr: first).
  void link(BaseDocument* document, BaseObject* parent, BaseObject* pred);
  void setDocumentRecursive(BaseDocument* document);

  int32_t type_;
  uint64_t id_;
  String name_;
  BaseObject* parent_ = nullptr;
  BaseObject* next_ = nullptr;
  BaseObject* pred_ = nullptr;
  BaseObject* down_ = nullptr;
  BaseObject* downLast_ = nullptr;
  BaseDocument* document_ = nullptr;
  std::vector<BaseTag*> tags_;
  Vector position_;
  Vector rotation_;
  Vector scale_{1.0, 1.0, 1.0};
  Container data_;
  int32_t editorMode_ = kModeUndefined;
  int32_t renderMode_ = kModeUndefined;
  bool selected_ = false;
  LayerObject* layer_ = nullptr;
  int32_t updates_ = 0;
};

// A polygon object keeps its points and polygons in its point and polygon tags.
class PolygonObject : public BaseObject {
 public:
  int32_t getPointCount() const;
  int32_t getPolygonCount() const;
  Vector* getPointW();
  CPolygon* getPolygonW();
  const Vector* getPointR() const;
  const CPolygon* getPolygonR() const;
  // Sets the point and polygon counts; new entries are zero. False when memory is short.
  bool resizeObject(int32_t pointCount, int32_t polygonCount);

 private:
  friend class BaseObject;
  friend class SceneAccess;
  template <class T, class... Args>
  friend T* newObject(Args&&... args);
  PolygonObject();
};

inline PolygonObject* toPolygonObject(BaseObject* object) {
  return object && object->getType() == kObjectPolygon ? static_cast<PolygonObject*>(object) : nullptr;
}

// A host layer. Layers form their own tree under the document's layer root.
class LayerObject {
 public:
  static LayerObject* alloc();
  static void free(LayerObject*& layer);

  uint64_t getId() const { return id_; }
  const String& getName() const { return name_; }
  void setName(const String& name) { name_ = name; }
  LayerObject* getUp() const { return parent_; }
  const std::vector<LayerObject*>& children() const { return children_; }
  // Appends the layer as the last child of parent (nullptr: the document's root level).
  void insertUnderLast(BaseDocument* document, LayerObject* parent = nullptr);
  void remove();

 private:
  friend class BaseDocument;
  friend class SceneAccess;
  template <class T, class... Args>
  friend T* newObject(Args&&... args);
  LayerObject();
  uint64_t id_;
  String name_;
  LayerObject* parent_ = nullptr;
  BaseDocument* document_ = nullptr;
  std::vector<LayerObject*> children_;
};

// A view of a document in the editor: it looks through a camera object, or through the
// editor's own camera when it links none.
class BaseDraw {
 public:
  // The camera object the view looks through; nullptr for the editor camera.
  BaseObject* getSceneCamera(const BaseDocument* document) const;
  void setSceneCamera(const BaseObject* camera) { camera_ = camera ? camera->getId() : 0; }
  // The host's view call with its flags (0x8000: take the scene's new extent).
  void viewCall(int32_t flags) { viewCalls_.push_back(flags); }
  const std::vector<int32_t>& viewCalls() const { return viewCalls_; }
  // Frames the whole scene in the view (the host's command 12148).
  void frameScene() { ++framings_; }
  int32_t framings() const { return framings_; }
  void message(int32_t id) { messages_.push_back(id); }
  const std::vector<int32_t>& messages() const { return messages_; }

 private:
  uint64_t camera_ = 0;
  std::vector<int32_t> viewCalls_;
  int32_t framings_ = 0;
  std::vector<int32_t> messages_;
};

// The host's own command that frames the scene in the active view.
constexpr int32_t kCommandFrameScene = 12148;
constexpr int32_t kViewCallNewExtent = 0x8000;

// ---------------------------------------------------------------------------------------

class BaseDocument {
 public:
  static BaseDocument* alloc();
  // Frees a document that is not in the document list.
  static void free(BaseDocument*& document);
  ~BaseDocument();

  // The document's identity: unique among the documents, objects, tags and layers of a run.
  uint64_t getId() const { return id_; }
  const String& getDocumentName() const { return name_; }
  void setDocumentName(const String& name) { name_ = name; }
  const Filename& getDocumentPath() const { return path_; }
  void setDocumentPath(const Filename& path) { path_ = path; }

  // Top-level objects.
  BaseObject* getFirstObject() const { return first_; }
  // Inserts an object at the top level (parent nullptr) or under parent, after pred
  // (nullptr: first). With checkNames a name that another top-level object already has
  // gets a number appended (".1", ".2", ...).
  void insertObject(BaseObject* object, BaseObject* parent, BaseObject* pred, bool checkNames = false);
  // Every object of the document, depth first in child order.
  std::vector<BaseObject*> allObjects() const;
  // The object with an identity; nullptr when it is not in the document.
  BaseObject* findObject(uint64_t id) const;
  // Selected objects, the top-most of each selected chain only.
  std::vector<BaseObject*> selectedObjects() const;

  // Materials, in order. Inserting one after pred (nullptr: first) gives the document
  // its ownership; a material of another document is taken out of it first.
  const std::vector<BaseMaterial*>& materials() const { return materials_; }
  BaseMaterial* getFirstMaterial() const { return materials_.empty() ? nullptr : materials_.front(); }
  void insertMaterial(BaseMaterial* material, BaseMaterial* pred = nullptr);
  // The first material with the name; nullptr when there is none.
  BaseMaterial* searchMaterial(const String& name) const;
  BaseMaterial* findMaterial(uint64_t id) const;

  // Layers: the first level of the layer tree.
  const std::vector<LayerObject*>& layers() const { return layers_; }
  LayerObject* findLayer(uint64_t id) const;

  // The view the editor shows the document in.
  BaseDraw* getActiveBaseDraw() { return &view_; }

  // Document settings by id (kDocumentProjectScale, ...).
  Container& getSettingsInstance() { return settings_; }
  const Container& getSettings() const { return settings_; }

  // Messages and the update call.
  void message(int32_t id);
  int32_t messageCount(int32_t id) const;
  // The document update call: recomputes what depends on the scene.
  void update() { ++updateCalls_; }
  int32_t updateCount() const { return updateCalls_; }

  // Undo. Steps are recorded between startUndo and endUndo into one group; a change or
  // deletion is recorded before it happens, a new object or tag after its insertion.
  bool startUndo();
  bool endUndo();
  bool addUndo(int32_t kind, BaseObject* object);
  bool addUndo(int32_t kind, BaseTag* tag);
  bool addUndo(int32_t kind, LayerObject* layer);
  // Materials: new ones only (kUndoNew); undo takes the material out and frees it.
  bool addUndo(int32_t kind, BaseMaterial* material);
  // Undoes the last closed group; false when there is none.
  bool doUndo();
  int32_t undoGroupCount() const;

 private:
  friend class BaseObject;
  friend class BaseMaterial;
  friend class LayerObject;
  friend class SceneAccess;
  struct UndoStep;
  struct UndoGroup;
  template <class T, class... Args>
  friend T* newObject(Args&&... args);
  BaseDocument();
  void forEachObject(const std::function<void(BaseObject*)>& visit) const;

  uint64_t id_;
  String name_;
  Filename path_;
  BaseObject* first_ = nullptr;
  BaseObject* last_ = nullptr;
  std::vector<LayerObject*> layers_;
  std::vector<BaseMaterial*> materials_;
  BaseDraw view_;
  Container settings_;
  std::vector<std::pair<int32_t, int32_t>> messages_;  // id, count
  int32_t updateCalls_ = 0;
  std::vector<std::unique_ptr<UndoGroup>> undoGroups_;
  std::unique_ptr<UndoGroup> openGroup_;
  int32_t undoDepth_ = 0;
};

// The host's document list.
BaseDocument* getActiveDocument();
// Gets the host ready for changes of its documents, as a command does before it changes
// them: the host finishes what it does on its own (redraws, scene evaluation) first.
void prepareDocumentChanges();
void insertBaseDocument(BaseDocument* document);  // the list owns it then
void setActiveDocument(BaseDocument* document);
// Takes a document out of the list and frees it.
void killDocument(BaseDocument* document);
const std::vector<BaseDocument*>& documents();

}  // namespace host
