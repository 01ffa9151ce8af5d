#include "talvo_import_c4d_hierarchy.h"

#include <algorithm>
#include <cstring>

#include "host/resource.h"
#include "host/scene.h"
#include "talvo_import_c4d_diagnostics.h"
#include "talvo_import_c4d_lights.h"
#include "talvo_import_c4d_loader.h"
#include "talvo_import_c4d_materials.h"
#include "talvo_import_c4d_options.h"
#include "talvo_import_c4d_status.h"
#include "talvo_import_c4d_tables.h"

namespace talvo {
namespace {

constexpr int32_t kStatusInstancesText = 10904;
constexpr int32_t kObjectsNullName = 13002;
constexpr int32_t kInstancesNullName = 13003;
constexpr int32_t kSourcesNullName = 13004;
constexpr int32_t kInstanceLink = 1001;

// A size for the work list.
struct ListSize {
  int32_t polygonCount;
};

}  // namespace

HierarchyBuilder::HierarchyBuilder(SceneLoader& loader, ImportOptions& options, MaterialBuilder& materials,
                                   IndexTables& tables, LightBuilder& lights)
    : loader_(loader),
      options_(options),
      materials_(materials),
      tables_(tables),
      lights_(lights),
      tools_(loader, options),
      polygons_(loader, options, tables, materials, tools_, lights) {}

HierarchyBuilder::Level HierarchyBuilder::nextLevel(Level after) const {
  const int32_t switches[] = {options_.splitByStory, options_.splitByClass, options_.splitByLayer,
                              options_.splitByElement};
  for (int32_t l = after == Level::none ? 0 : int32_t(after) + 1; l < 4; ++l)
    if (switches[l]) return Level(l);
  return Level::none;
}

int32_t HierarchyBuilder::levelKey(Level level, int32_t element) const {
  const ElementRecord& r = loader_.elements[size_t(element)];
  return level == Level::story ? r.storyIndex : level == Level::classes ? r.classIndex : r.layerIndex;
}

bool HierarchyBuilder::levelGroup(Level level, int32_t index, host::String& outName, Filter& inOutFilter) const {
  const auto pick = [&](const auto& record, int32_t& field) {
    outName = record.name;
    field = index;
    return record.polygonCount != 0;
  };
  if (level == Level::story) return pick(loader_.stories[size_t(index)], inOutFilter.story);
  if (level == Level::classes) return pick(loader_.classes[size_t(index)], inOutFilter.classIndex);
  return pick(loader_.layers[size_t(index)], inOutFilter.layer);
}

const host::String& HierarchyBuilder::layerName(int32_t layer) const {
  static const host::String kNone;
  return layer >= 0 ? loader_.layers[size_t(layer)].name : kNone;
}

template <class Key>
void HierarchyBuilder::splitBy(std::span<const int32_t> elements, Key key, std::vector<int32_t>& outSorted,
                               std::vector<std::pair<size_t, size_t>>& outRuns) const {
  outSorted.assign(elements.begin(), elements.end());
  std::stable_sort(outSorted.begin(), outSorted.end(), [&](int32_t a, int32_t b) { return key(a) < key(b); });
  outRuns.clear();
  for (size_t i = 0; i < outSorted.size();) {
    size_t j = i + 1;
    while (j < outSorted.size() && key(outSorted[j]) == key(outSorted[i])) ++j;
    outRuns.emplace_back(i, j);
    i = j;
  }
}

int32_t HierarchyBuilder::buildObjects() {
  host::BaseObject* root = options_.updateTarget;
  if (options_.needsShift) {
    host::Vector p = root->getRelPos();
    p.x += options_.originNew[0] - options_.originOld[0];
    p.y += options_.originNew[1] - options_.originOld[1];
    p.z += options_.originNew[2] - options_.originOld[2];
    root->setRelPos(p);
  }

  if (options_.splitByMaterial && options_.createMaterials) return buildShaderLevel();

  // The elements of the main pass: those with polygons outside every instance group.
  std::vector<int32_t> elements;
  for (int32_t e = 0; e < loader_.elementsRead(); ++e) {
    const ElementRecord& r = loader_.elements[size_t(e)];
    if (r.instanceGroup == -1 && r.polygonCount > 0) elements.push_back(e);
  }
  const Level first = nextLevel(Level::none);
  if (options_.splitByMaterial) return groupLevel(first, elements, root, {}, {}, true);
  if (first == Level::none) return buildWholeScene();
  return groupLevel(first, elements, root, {}, {}, false);
}

bool HierarchyBuilder::collect(std::span<const int32_t> elements, int32_t shader) {
  int64_t total = 0;
  for (int32_t e : elements) total += loader_.elements[size_t(e)].polygonCount;
  if (total > INT32_MAX || tables_.resetPolygonList(ListSize{int32_t(total)}) != kStatusOk) return false;
  for (int32_t e : elements) {
    for (int32_t p : tables_.elementPolygons[e]) {
      if (shader >= 0 && loader_.polygons[size_t(p)].shaderIndex != shader) continue;
      tables_.polygonList.appendReserved() = p;
    }
  }
  return true;
}

template <class Build>
int32_t HierarchyBuilder::withCollected(std::span<const int32_t> elements, int32_t shader, Build build) {
  if (!collect(elements, shader)) return kStatusIndexMemory;
  const int32_t rc = tables_.polygonList.empty() ? kStatusOk : build();
  tables_.clearPolygonList();
  return rc;
}

template <class Visit>
int32_t HierarchyBuilder::forEachGroup(Level level, std::span<const int32_t> elements, const Filter& filter,
                                       const host::String& prefix, Visit visit) {
  std::vector<int32_t> sorted;
  std::vector<std::pair<size_t, size_t>> runs;
  auto keyOf = [&](int32_t e) { return levelKey(level, e); };
  splitBy(elements, keyOf, sorted, runs);
  for (const auto& [begin, end] : runs) {
    const std::span<const int32_t> group(sorted.data() + begin, end - begin);
    Filter below = filter;
    host::String plain;
    if (!levelGroup(level, keyOf(group[0]), plain, below)) continue;
    if (const int32_t rc = visit(group, plain, tools_.joinNames(prefix, plain), below); rc != kStatusOk) return rc;
  }
  return kStatusOk;
}

int32_t HierarchyBuilder::groupLevel(Level level, std::span<const int32_t> elements, host::BaseObject* parent,
                                     const host::String& prefix, Filter filter, bool withNulls) {
  if (level == Level::element) {
    for (int32_t e : elements) {
      const ElementRecord& r = loader_.elements[size_t(e)];
      const int32_t rc = withCollected(std::span<const int32_t>(&e, 1), -1, [&] {
        return buildGroupObjects(tools_.joinNames(prefix, r.name), layerName(filter.layer), parent, -1, -1, false);
      });
      if (rc != kStatusOk) return rc;
    }
    return kStatusOk;
  }

  const Level deeper = nextLevel(level);
  return forEachGroup(level, elements, filter, prefix,
                      [&](std::span<const int32_t> group, const host::String& plain, const host::String& name,
                          const Filter& below) -> int32_t {
                        if (level != Level::layer && deeper != Level::none) {
                          host::BaseObject* next = parent;
                          if (withNulls) {
                            next = tools_.findOrCreateNull(plain, parent);
                            if (!next) return kStatusGroupNull;
                          }
                          return groupLevel(deeper, group, next, name, below, withNulls);
                        }
                        if (level == Level::layer && options_.splitByElement)
                          return groupLevel(Level::element, group, parent, name, below, withNulls);
                        return withCollected(group, -1, [&] {
                          return buildGroupObjects(name, level == Level::layer ? plain : host::String(), parent, -1,
                                                   -1, false);
                        });
                      });
}

int32_t HierarchyBuilder::buildShaderLevel() {
  host::BaseObject* root = options_.updateTarget;
  if (tools_.isInLockedSubtree(root)) return kStatusOk;
  const Level first = nextLevel(Level::none);
  std::vector<int32_t> elements;
  for (int32_t s = 0; s < loader_.shadersRead(); ++s) {
    const ShaderRecord& shader = loader_.shaders[size_t(s)];
    if (shader.polygonCount == 0) continue;
    host::BaseObject* null = tools_.findOrCreateNull(shader.name, root);
    if (!null) return kStatusGroupNull;
    if (options_.materialSplitMode == 0 && options_.assignMaterials && ObjectTools::hasNewNullTag(null)) {
      if (const int32_t rc = materials_.applyShaderTextureTag(null, s); rc != kStatusOk) return rc;
    }

    if (first == Level::none) {
      // The shader's polygons of the main pass, in file order.
      const std::span<const int32_t> list = tables_.shaderPolygons[s];
      if (tables_.resetPolygonList(ListSize{int32_t(list.size())}) != kStatusOk) return kStatusIndexMemory;
      for (int32_t p : list) {
        const int32_t e = loader_.polygons[size_t(p)].elementIndex;
        if (options_.createInstances && loader_.elements[size_t(e)].instanceGroup != -1) continue;
        tables_.polygonList.appendReserved() = p;
      }
      int32_t rc = kStatusOk;
      if (!tables_.polygonList.empty() && !tools_.isInLockedSubtree(null))
        rc = buildGroupObjects({}, {}, null, s, -1, false);
      tables_.clearPolygonList();
      if (rc != kStatusOk) return rc;
      continue;
    }

    // The elements of the main pass that hold polygons of this shader, ascending.
    elements.clear();
    for (int32_t p : tables_.shaderPolygons[s]) {
      const int32_t e = loader_.polygons[size_t(p)].elementIndex;
      if (loader_.elements[size_t(e)].instanceGroup == -1) elements.push_back(e);
    }
    std::sort(elements.begin(), elements.end());
    elements.erase(std::unique(elements.begin(), elements.end()), elements.end());
    if (const int32_t rc = shaderSubLevel(first, s, elements, null, {}, {}); rc != kStatusOk) return rc;
  }
  return kStatusOk;
}

int32_t HierarchyBuilder::shaderSubLevel(Level level, int32_t shader, std::span<const int32_t> elements,
                                         host::BaseObject* parent, const host::String& prefix, Filter filter) {
  if (tools_.isInLockedSubtree(parent)) return kStatusOk;
  const host::String& shaderName = loader_.shaders[size_t(shader)].name;

  if (level == Level::element) {
    for (int32_t e : elements) {
      const ElementRecord& r = loader_.elements[size_t(e)];
      const int32_t rc = withCollected(std::span<const int32_t>(&e, 1), shader, [&]() -> int32_t {
        host::BaseObject* null = tools_.findOrCreateNull(r.name, parent);
        if (!null) return kStatusGroupNull;
        if (filter.layer >= 0) {
          if (const int32_t layerRc = tools_.assignHostLayer(null, layerName(filter.layer)); layerRc != kStatusOk)
            return layerRc;
        }
        if (tools_.isInLockedSubtree(null)) return kStatusOk;
        return buildGroupObjects(tools_.joinNames(tools_.joinNames(prefix, r.name), shaderName),
                                 layerName(filter.layer), null, shader, -1, false);
      });
      if (rc != kStatusOk) return rc;
    }
    return kStatusOk;
  }

  const Level deeper = nextLevel(level);
  return forEachGroup(
      level, elements, filter, prefix,
      [&](std::span<const int32_t> group, const host::String& plain, const host::String& name,
          const Filter& below) -> int32_t {
        if (level == Level::layer) {
          if (deeper != Level::none) return shaderSubLevel(deeper, shader, group, parent, name, below);
          return withCollected(group, shader, [&] {
            return buildGroupObjects(tools_.joinNames(name, shaderName), plain, parent, shader, -1, false);
          });
        }
        // Story and class nulls: at once above a deeper level, at a leaf only for polygons.
        if (deeper != Level::none) {
          host::BaseObject* null = tools_.findOrCreateNull(plain, parent);
          if (!null) return kStatusGroupNull;
          return shaderSubLevel(deeper, shader, group, null, name, below);
        }
        return withCollected(group, shader, [&]() -> int32_t {
          host::BaseObject* null = tools_.findOrCreateNull(plain, parent);
          if (!null) return kStatusGroupNull;
          if (tools_.isInLockedSubtree(null)) return kStatusOk;
          return buildGroupObjects(tools_.joinNames(name, shaderName), {}, null, shader, -1, false);
        });
      });
}

int32_t HierarchyBuilder::buildWholeScene() {
  const int32_t stored = loader_.polygonsStored();
  if (tables_.resetPolygonList(ListSize{stored}) != kStatusOk) return kStatusIndexMemory;
  for (int32_t p = 0; p < stored; ++p) {
    if (options_.createInstances &&
        loader_.elements[size_t(loader_.polygons[size_t(p)].elementIndex)].instanceGroup != -1)
      continue;
    tables_.polygonList.appendReserved() = p;
  }
  int32_t rc = kStatusOk;
  if (!tables_.polygonList.empty()) rc = buildGroupObjects({}, {}, options_.updateTarget, -1, -1, false);
  tables_.clearPolygonList();
  return rc;
}

int32_t HierarchyBuilder::buildGroupObjects(const host::String& name, const host::String& layerName,
                                            host::BaseObject* parent, int32_t shader, int32_t element, bool isBase) {
  auto points = [&](std::span<const int32_t> list) {
    int64_t n = 0;
    for (int32_t p : list) n += std::min(loader_.polygons[size_t(p)].vertexCount, 4);
    return int32_t(std::min<int64_t>(n, INT32_MAX));
  };
  common::Array<int32_t>& list = tables_.polygonList;
  if (options_.noMaterialsFlag || options_.shaderSplitDone) {
    const std::span<const int32_t> all(list.data(), list.size());
    return polygons_.buildPolygonObject(name, layerName, parent, points(all), int32_t(list.size()), shader, element,
                                        isBase);
  }

  // One object per shader of the list, in shader order. The list is ordered by shader
  // once (keeping the file order within a shader) and each shader's run is handed over
  // alone, so the cost follows the list and its shaders, not the scene's shaders.
  if (shaderSlot_.size() != size_t(loader_.shadersRead())) shaderSlot_.assign(size_t(loader_.shadersRead()), -1);
  std::vector<int32_t> present;
  for (int32_t p : list) {
    int32_t& slot = shaderSlot_[size_t(loader_.polygons[size_t(p)].shaderIndex)];
    if (slot < 0) {
      slot = int32_t(present.size());
      present.push_back(loader_.polygons[size_t(p)].shaderIndex);
    }
  }
  std::sort(present.begin(), present.end());
  shaderStart_.assign(present.size() + 1, 0);
  for (size_t k = 0; k < present.size(); ++k) shaderSlot_[size_t(present[k])] = int32_t(k);
  for (int32_t p : list) ++shaderStart_[size_t(shaderSlot_[size_t(loader_.polygons[size_t(p)].shaderIndex)]) + 1];
  for (size_t k = 0; k < present.size(); ++k) shaderStart_[k + 1] += shaderStart_[k];
  byShader_.resize(list.size());
  {
    std::vector<int32_t> next(shaderStart_.begin(), shaderStart_.end() - 1);
    for (int32_t p : list)
      byShader_[size_t(next[size_t(shaderSlot_[size_t(loader_.polygons[size_t(p)].shaderIndex)])]++)] = p;
  }
  for (int32_t s : present) shaderSlot_[size_t(s)] = -1;
  for (size_t k = 0; k < present.size(); ++k) {
    const int32_t s = present[k];
    if (loader_.shaders[size_t(s)].polygonCount == 0) continue;
    const size_t first = size_t(shaderStart_[k]);
    const size_t count = size_t(shaderStart_[k + 1]) - first;
    if (!list.resizeUninitialized(count)) return kStatusIndexMemory;
    std::memcpy(list.data(), byShader_.data() + first, count * sizeof(int32_t));
    const std::span<const int32_t> run(list.data(), count);
    const int32_t rc = polygons_.buildPolygonObject(tools_.joinNames(name, loader_.shaders[size_t(s)].name),
                                                    layerName, parent, points(run), int32_t(count), s, element,
                                                    isBase);
    if (rc != kStatusOk) return rc;
  }
  return kStatusOk;
}

// ---------------------------------------------------------------------------------------
// The instance pass

int32_t HierarchyBuilder::buildInstances() {
  statusText(kStatusInstancesText);
  printLine("%s", kBlockLine);
  printLine("Object number: %d | Instance number %d", tables_.objectGroupCount(), tables_.instanceGroupCount());
  printLine("%s", kBlockLine);
  host::BaseObject* root = options_.updateTarget;
  int32_t rc = kStatusOk;
  auto phaseNull = [&](int32_t nameId) -> host::BaseObject* {
    const host::String name = host::loadString(nameId);
    if (name.empty()) {
      rc = kStatusResourceMissing;
      return nullptr;
    }
    host::BaseObject* null = tools_.findOrCreateNull(name, root);
    if (!null || !tools_.addNoSortTag(null, 0)) {
      rc = kStatusGroupNull;
      return nullptr;
    }
    return null;
  };
  if (tables_.objectGroupCount() != 0) {
    objectsNull_ = phaseNull(kObjectsNullName);
    if (!objectsNull_) return rc;
  }
  if (tables_.instanceGroupCount() != 0) {
    instancesNull_ = phaseNull(kInstancesNullName);
    if (!instancesNull_) return rc;
    sourcesNull_ = phaseNull(kSourcesNullName);
    if (!sourcesNull_) return rc;
    ObjectTools::hideObject(sourcesNull_);
  }
  for (const InstanceGroup& group : tables_.instanceGroups) {
    if (group.kind == kGroupAsObjects) {
      for (int32_t n = group.memberCount - 1; n >= 0 && rc == kStatusOk; --n) rc = buildMember(objectsNull_, group, n, false);
    } else if (group.kind == kGroupAsInstances) {
      rc = buildInstanceGroup(group);
    }
    if (rc != kStatusOk) return rc;
  }
  statusClear();
  return kStatusOk;
}

int32_t HierarchyBuilder::buildMember(host::BaseObject* parent, const InstanceGroup& group, int32_t n, bool isBase) {
  if (tools_.isInLockedSubtree(parent)) return kStatusOk;
  const host::String name = isBase ? group.name : group.name + options_.separatorText + host::int32ToString(n);
  const int32_t e = group.members[size_t(n)];
  const ElementRecord& element = loader_.elements[size_t(e)];
  printLine("%s", kSectionLine);
  printLine("Create Object: %s  Isbase: %d  Element index %d", text8(name).c_str(), isBase ? 1 : 0, e);

  host::BaseObject* library = tools_.findOrCreateNull(element.libraryName, parent);
  if (!library) return kStatusGroupNull;
  if (ObjectTools::hasNoUpdateTag(library)) {
    if (!isBase) tools_.shiftByOriginOffset(library);
    return kStatusOk;
  }
  if (isBase && group.sourcesLocked && !tools_.addNoUpdateTag(library)) return kStatusGroupNull;

  if (!collect(std::span<const int32_t>(&e, 1), -1)) return kStatusIndexMemory;
  int32_t rc = kStatusOk;
  if (!tables_.polygonList.empty() || element.hasLight) {
    const host::String layer = options_.splitByLayer ? layerName(element.layerIndex) : host::String();
    host::BaseObject* target = library;
    bool locked = false;
    if (!isBase && !options_.noMaterialsFlag) {
      host::BaseObject* member = tools_.findOrCreateNull(name, library);
      if (!member) {
        rc = kStatusGroupNull;
      } else if (ObjectTools::hasNoUpdateTag(member)) {
        locked = true;
      } else {
        tools_.placeFromElement(member, e, false);
        rc = lights_.buildElementLights(member, e, isBase, name);
        target = member;
      }
    }
    if (rc == kStatusOk && !locked) rc = buildGroupObjects(name, layer, target, -1, e, isBase);
  }
  tables_.clearPolygonList();
  return rc;
}

int32_t HierarchyBuilder::buildInstanceGroup(const InstanceGroup& group) {
  if (tools_.isInLockedSubtree(instancesNull_)) return kStatusOk;
  if (const int32_t rc = buildMember(sourcesNull_, group, 0, true); rc != kStatusOk) return rc;
  host::BaseObject* base = nullptr;
  for (host::BaseObject* c = sourcesNull_->getDown(); c && !base; c = c->getNext())
    if (c->getType() == host::kObjectNull && c->getName() == group.name) base = c;
  if (!base) return kStatusBaseNullMissing;
  host::BaseObject* groupNull = tools_.findOrCreateNull(group.name, instancesNull_);
  if (!groupNull) return kStatusGroupNull;
  if (ObjectTools::hasNoUpdateTag(groupNull)) {
    tools_.shiftByOriginOffset(base);
    return kStatusOk;
  }
  printLine("%s", kSectionLine);
  for (int32_t i = group.memberCount - 1; i >= 0; --i) {
    const host::String name = group.name + options_.separatorText + host::int32ToString(i);
    host::BaseObject* instance = tools_.findOrCreateObject(name, groupNull, host::kObjectInstance, false);
    if (!instance) return kStatusInstanceObject;
    if (ObjectTools::hasNoUpdateTag(instance)) continue;
    instance->getDataInstance().setValue(kInstanceLink, host::linkValue(base));
    instance->message(host::kMessageUpdate);
    printLine("Create Instace: %s", text8(name).c_str());
    const int32_t e = group.members[size_t(i)];
    tools_.placeFromElement(instance, e, true);
    const host::String& layer = layerName(loader_.elements[size_t(e)].layerIndex);
    if (options_.splitByLayer && !layer.empty()) {
      if (const int32_t rc = tools_.assignHostLayer(instance, layer); rc != kStatusOk) return rc;
    }
  }
  return kStatusOk;
}

}  // namespace talvo
