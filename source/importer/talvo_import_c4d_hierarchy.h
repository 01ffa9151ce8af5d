// The hierarchy builder: turns the grouping of the exported model (shaders, stories,
// classes, layers, elements, instance groups) into the host's object tree under the
// import root, naming every object and handing each group's polygons to the polygon
// builder.
//
// Every level looks only at the groups that hold polygons: the element lists are split
// level by level, so a scene with many stories, classes, layers or shaders costs no work
// for the pairs of them that hold nothing. Nulls that would stay empty are not made (the
// cleaning after the builders would remove them again).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "host/text.h"
#include "talvo_import_c4d_objects.h"
#include "talvo_import_c4d_polygons.h"

namespace host {
class BaseObject;
}

namespace talvo {

class IndexTables;
class LightBuilder;
class MaterialBuilder;
class SceneLoader;
struct ImportOptions;
struct InstanceGroup;

class HierarchyBuilder {
 public:
  HierarchyBuilder(SceneLoader& loader, ImportOptions& options, MaterialBuilder& materials, IndexTables& tables,
                   LightBuilder& lights);

  // The main pass: nulls and polygon objects of the chosen grouping under the import root.
  [[nodiscard]] int32_t buildObjects();
  // The instance pass: the chosen library groups as objects or as instances.
  [[nodiscard]] int32_t buildInstances();

  ObjectTools& tools() { return tools_; }
  PolygonBuilder& polygons() { return polygons_; }

 private:
  enum class Level { story, classes, layer, element, none };
  // The indices handed down from the levels above; -1 for none.
  struct Filter {
    int32_t story = -1;
    int32_t classIndex = -1;
    int32_t layer = -1;
  };

  Level nextLevel(Level after) const;
  // The levels without a shader level; nulls only with `withNulls`.
  [[nodiscard]] int32_t groupLevel(Level level, std::span<const int32_t> elements, host::BaseObject* parent,
                                   const host::String& prefix, Filter filter, bool withNulls);
  [[nodiscard]] int32_t buildShaderLevel();
  // The levels below shader s's null.
  [[nodiscard]] int32_t shaderSubLevel(Level level, int32_t shader, std::span<const int32_t> elements,
                                       host::BaseObject* parent, const host::String& prefix, Filter filter);
  [[nodiscard]] int32_t buildWholeScene();
  // Collects the polygons of the elements (of one shader, or all with -1) into the work
  // list; false when the list cannot be had.
  [[nodiscard]] bool collect(std::span<const int32_t> elements, int32_t shader);
  // Collects as `collect` does and, when the work list holds polygons, runs build; the
  // list is emptied afterwards. build's status, or 10005.
  template <class Build>
  [[nodiscard]] int32_t withCollected(std::span<const int32_t> elements, int32_t shader, Build build);
  // Visits the groups of a story, class or layer level among the elements in ascending
  // index, skipping records without polygons: visit(group, plain name, name joined to
  // the prefix, filter with the group's index). The first status that is not 0 ends it.
  template <class Visit>
  [[nodiscard]] int32_t forEachGroup(Level level, std::span<const int32_t> elements, const Filter& filter,
                                     const host::String& prefix, Visit visit);
  [[nodiscard]] int32_t buildGroupObjects(const host::String& name, const host::String& layerName,
                                          host::BaseObject* parent, int32_t shader, int32_t element, bool isBase);
  [[nodiscard]] int32_t buildMember(host::BaseObject* parent, const InstanceGroup& group, int32_t n, bool isBase);
  [[nodiscard]] int32_t buildInstanceGroup(const InstanceGroup& group);

  // Splits elements (ascending) into runs of equal key, in ascending key order; each run
  // keeps the elements' order. Returns the runs as [begin, end) into outSorted.
  template <class Key>
  void splitBy(std::span<const int32_t> elements, Key key, std::vector<int32_t>& outSorted,
               std::vector<std::pair<size_t, size_t>>& outRuns) const;
  // The story, class or layer index of an element at a level.
  int32_t levelKey(Level level, int32_t element) const;
  // The name of group `index` at a story, class or layer level, with the index put into
  // the filter; false when its record holds no polygons.
  bool levelGroup(Level level, int32_t index, host::String& outName, Filter& inOutFilter) const;
  const host::String& layerName(int32_t layer) const;

  SceneLoader& loader_;
  ImportOptions& options_;
  MaterialBuilder& materials_;
  IndexTables& tables_;
  LightBuilder& lights_;
  ObjectTools tools_;
  PolygonBuilder polygons_;
  host::BaseObject* objectsNull_ = nullptr;
  host::BaseObject* instancesNull_ = nullptr;
  host::BaseObject* sourcesNull_ = nullptr;
  // Scratch of buildGroupObjects: the work list ordered by shader.
  std::vector<int32_t> byShader_;
  std::vector<int32_t> shaderStart_;  // per shader of the list
  std::vector<int32_t> shaderSlot_;   // per scene shader: its place among the list's, or -1
};

}  // namespace talvo
