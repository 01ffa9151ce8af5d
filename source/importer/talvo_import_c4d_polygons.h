// The polygon builder: makes one host polygon object from the polygons the hierarchy
// builder collected into the index tables' polygonList, with its UVW tag, placement,
// phong, texture tag and host layer; in update mode it refills an emptied object of the
// same name.
#pragma once

#include <cstdint>

#include "common/array.h"
#include "host/text.h"

namespace host {
class BaseObject;
class PolygonObject;
}

namespace talvo {

class IndexTables;
class LightBuilder;
class MaterialBuilder;
class ObjectTools;
class SceneLoader;
struct ImportOptions;

class PolygonBuilder {
 public:
  PolygonBuilder(SceneLoader& loader, ImportOptions& options, IndexTables& tables, MaterialBuilder& materials,
                 ObjectTools& tools, LightBuilder& lights);
  ~PolygonBuilder();
  PolygonBuilder(const PolygonBuilder&) = delete;
  PolygonBuilder& operator=(const PolygonBuilder&) = delete;

  // Builds the object of the listed polygons (of `shader` only, unless noMaterialsFlag or
  // shaderSplitDone is set) named `name` under `parent`; pointCapacity and polygonCapacity
  // bound the points and polygons the list can give. `element` is the placed element of
  // the instance pass (-1 otherwise), isBase whether the object is a group's base
  // geometry. A list without polygons of the shader builds nothing. 0, or the status of
  // the first step that failed (14001 when the user cancelled).
  [[nodiscard]] int32_t buildPolygonObject(const host::String& name, const host::String& hostLayerName,
                                           host::BaseObject* parent, int32_t pointCapacity, int32_t polygonCapacity,
                                           int32_t shader, int32_t element, bool isBase);

  // Polygons built so far in the main pass and in the instance pass.
  int64_t mainPolygonsBuilt() const { return mainBuilt_; }
  int64_t instancePolygonsBuilt() const { return instanceBuilt_; }

 private:
  // One polygon of the object being built: its record, corners in the scene's points and
  // in the object's own (one new point per corner), and its shader.
  struct Item {
    int32_t polygonIndex;
    int32_t cornerCount;
    int32_t scenePoints[4];
    int32_t objectPoints[4];
    int32_t shaderIndex;
  };

  // Takes the listed polygons into the items, with progress and the cancel check.
  [[nodiscard]] int32_t collectPolygons(int32_t shader);
  [[nodiscard]] int32_t buildCollected(const host::String& name, const host::String& hostLayerName,
                                       host::BaseObject* parent, int32_t shader, int32_t element, bool isBase);
  [[nodiscard]] int32_t fillPolygonObject(host::PolygonObject* object, const host::String& name, int32_t element,
                                          bool isBase);
  [[nodiscard]] int32_t buildUvwTag(host::PolygonObject* object);
  // Instance pass: the points into the element's own frame, so that the element's
  // placement puts them back where they are in the scene.
  void toElementFrame(host::PolygonObject* object, int32_t element, bool isBase);

  SceneLoader& loader_;
  ImportOptions& options_;
  IndexTables& tables_;
  MaterialBuilder& materials_;
  ObjectTools& tools_;
  LightBuilder& lights_;
  int64_t mainBuilt_ = 0;
  int64_t instanceBuilt_ = 0;
  common::Array<int32_t> pointMap_;  // scene point of each object point
  common::Array<Item> items_;
};

}  // namespace talvo
