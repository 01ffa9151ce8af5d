#include "talvo_import_c4d_tables.h"

#include <algorithm>
#include <cassert>
#include <functional>
#include <string_view>

#include "host/resource.h"
#include "host/scene.h"
#include "talvo_import_c4d_status.h"
#include "talvo_import_c4d_tag_noupdate.h"

namespace talvo {
namespace {

// Resource strings with the names of an earlier import's grouping nulls.
constexpr int32_t kObjectsNullName = 13002;
constexpr int32_t kSourcesNullName = 13004;

// Positions in a caller's table, found by a name that the caller keeps at each position.
// Open addressing over a power-of-two slot table at least twice as large as the most
// entries it will hold, so an empty slot always ends a probe and probes stay short.
// Names are compared byte for byte, as the host compares texts.
class NameIndex {
 public:
  // Room for up to maxEntries names; false when memory is short.
  [[nodiscard]] bool init(size_t maxEntries) {
    size_t size = 16;
    while (size < maxEntries * 2) size *= 2;
    slots_.release();
    if (!slots_.resizeUninitialized(size)) return false;
    std::fill(slots_.begin(), slots_.end(), -1);
    mask_ = size - 1;
    return true;
  }

  // The slot of a name: it holds the position whose name (nameAt(position)) equals `name`,
  // or -1 when the name is not there yet; storing a position in it adds the name.
  template <class NameAt>
  int32_t& slot(std::string_view name, NameAt nameAt) {
    const size_t hash = std::hash<std::string_view>{}(name);
    size_t i = hash & mask_;
    for (;;) {
      int32_t& s = slots_[i];
      if (s < 0 || std::string_view(nameAt(s)) == name) return s;
      i = (i + 1) & mask_;
    }
  }

 private:
  common::Array<int32_t> slots_;
  size_t mask_ = 0;
};

// The first direct child of `parent`, in child order, that is a null named `name`.
host::BaseObject* findChildNull(const host::BaseObject* parent, std::string_view name) {
  if (!parent) return nullptr;
  for (host::BaseObject* child = parent->getDown(); child; child = child->getNext()) {
    if (child->getType() == host::kObjectNull && child->getName() == name) return child;
  }
  return nullptr;
}

// The direct child nulls of one object by name, the first in child order for each name.
class ChildNulls {
 public:
  bool built() const { return built_; }

  [[nodiscard]] bool build(const host::BaseObject* parent) {
    size_t count = 0;
    for (host::BaseObject* c = parent->getDown(); c; c = c->getNext())
      count += c->getType() == host::kObjectNull;
    if (!nulls_.reserve(count) || !index_.init(count)) return false;
    for (host::BaseObject* c = parent->getDown(); c; c = c->getNext()) {
      if (c->getType() != host::kObjectNull) continue;
      int32_t& s = slotOf(c->getName());
      if (s >= 0) continue;  // an earlier child has the name
      s = int32_t(nulls_.size());
      nulls_.appendReserved() = c;
    }
    built_ = true;
    return true;
  }

  host::BaseObject* find(std::string_view name) {
    const int32_t s = slotOf(name);
    return s >= 0 ? nulls_[size_t(s)] : nullptr;
  }

 private:
  int32_t& slotOf(std::string_view name) {
    return index_.slot(name,
                       [this](int32_t i) -> const host::String& { return nulls_[size_t(i)]->getName(); });
  }

  common::Array<host::BaseObject*> nulls_;
  NameIndex index_;
  bool built_ = false;
};

// Fills one list of polygon indices per record, keyed by keyOf(polygon): the list of
// record i is entries [offsets[i], offsets[i + 1]). The list sizes come from the records'
// polygonCount, which the reader counted from the same polygons. On failure both arrays
// are left empty, so the lists read as not built.
template <class Record, class KeyOf>
int32_t buildLists(common::Array<int32_t>& offsets, common::Array<int32_t>& entries,
                   const common::Array<Record>& records, const common::Array<PolygonRecord>& polygons,
                   KeyOf keyOf) {
  offsets.release();
  entries.release();
  const size_t recordCount = records.size();
  common::Array<int32_t> fill;  // next free entry of each list
  if (!offsets.resizeUninitialized(recordCount + 1) || !fill.resizeUninitialized(recordCount)) {
    offsets.release();
    return kStatusIndexMemory;
  }
  int64_t total = 0;
  offsets[0] = 0;
  for (size_t i = 0; i < recordCount; ++i) {
    fill[i] = int32_t(total);
    total += std::max(records[i].polygonCount, 0);
    offsets[i + 1] = int32_t(total);
  }
  assert(total == int64_t(polygons.size()) && "polygon counts disagree with the stored polygons");
  if (!entries.resizeUninitialized(size_t(total))) {
    offsets.release();
    return kStatusIndexMemory;
  }
  const int32_t polygonCount = int32_t(polygons.size());
  for (int32_t j = 0; j < polygonCount; ++j) {
    const uint32_t key = uint32_t(keyOf(polygons[size_t(j)]));
    // The reader keeps every index in range and every count exact; this check only keeps
    // a broken count from writing past its list.
    if (key >= recordCount || fill[key] == offsets[key + 1]) {
      assert(false && "polygon outside its record's list");
      continue;
    }
    entries[size_t(fill[key]++)] = j;
  }
  return kStatusOk;
}

}  // namespace

// The grouping nulls' children of the earlier import, indexed once per search for groups.
struct IndexTables::EarlierImport {
  ChildNulls sources;
  ChildNulls objects;
};

IndexTables::IndexTables(SceneLoader& loader, const ImportOptions& options)
    : loader_(loader), options_(options) {}

IndexTables::~IndexTables() {
  release();
}

void IndexTables::release() {
  elementPolygons.release();
  shaderPolygons.release();
  storyHasShader.release();
  classHasShader.release();
  polygonList.release();
  libraryGroups.release();
  chosenGroupCount = 0;
  instanceGroups.release();
  objectGroupCount_ = 0;
  instanceGroupCount_ = 0;
  instancePolygonTotal_ = 0;
}

int32_t IndexTables::buildElementPolygons() {
  return buildLists(elementPolygons.offsets_, elementPolygons.entries_, loader_.elements, loader_.polygons,
                    [](const PolygonRecord& p) { return p.elementIndex; });
}

int32_t IndexTables::buildShaderPolygons() {
  return buildLists(shaderPolygons.offsets_, shaderPolygons.entries_, loader_.shaders, loader_.polygons,
                    [](const PolygonRecord& p) { return p.shaderIndex; });
}

namespace {

// Counts the stored polygons per (rowOf(element), shader) into a rows × shaders table.
template <class RowOf>
int32_t buildShaderCounts(common::Array<int32_t>& cells, int32_t rows, const SceneLoader& loader,
                          RowOf rowOf) {
  const size_t columns = loader.shaders.size();
  cells.release();
  if (!cells.resizeUninitialized(size_t(rows) * columns)) return kStatusIndexMemory;
  std::fill(cells.begin(), cells.end(), 0);
  const size_t elementCount = loader.elements.size();
  for (const PolygonRecord& p : loader.polygons) {
    if (uint32_t(p.elementIndex) >= elementCount || uint32_t(p.shaderIndex) >= columns) {
      assert(false && "polygon index outside the reader's tables");
      continue;
    }
    const uint32_t row = uint32_t(rowOf(loader.elements[size_t(p.elementIndex)]));
    if (row >= uint32_t(rows)) {
      assert(false && "element index outside the reader's tables");
      continue;
    }
    cells[size_t(row) * columns + size_t(p.shaderIndex)] += 1;
  }
  return kStatusOk;
}

}  // namespace

int32_t IndexTables::buildStoryShaderTable() {
  storyHasShader.release();
  const int32_t rc = buildShaderCounts(storyHasShader.cells_, loader_.storiesRead(), loader_,
                                       [](const ElementRecord& e) { return e.storyIndex; });
  if (rc != kStatusOk) return rc;
  storyHasShader.rows_ = loader_.storiesRead();
  storyHasShader.columns_ = loader_.shadersRead();
  storyHasShader.built_ = true;
  return kStatusOk;
}

int32_t IndexTables::buildClassShaderTable() {
  classHasShader.release();
  const int32_t rc = buildShaderCounts(classHasShader.cells_, loader_.classesRead(), loader_,
                                       [](const ElementRecord& e) { return e.classIndex; });
  if (rc != kStatusOk) return rc;
  classHasShader.rows_ = loader_.classesRead();
  classHasShader.columns_ = loader_.shadersRead();
  classHasShader.built_ = true;
  return kStatusOk;
}

int32_t IndexTables::findLibraryGroups() {
  libraryGroups.release();
  chosenGroupCount = 0;
  size_t placedCount = 0;
  for (const ElementRecord& e : loader_.elements) placedCount += e.placed;
  if (placedCount == 0) return kStatusOk;
  if (!libraryGroups.reserve(placedCount)) return kStatusIndexMemory;
  NameIndex byName;
  if (!byName.init(placedCount)) return kStatusIndexMemory;
  const bool preselecting = options_.importMode == kImportUpdate;
  EarlierImport earlier;

  for (const ElementRecord& e : loader_.elements) {
    if (!e.placed) continue;
    int32_t& slot = byName.slot(
        e.libraryName, [this](int32_t g) -> const host::String& { return libraryGroups[size_t(g)].name; });
    if (slot >= 0) {
      libraryGroups[size_t(slot)].memberCount += 1;
      continue;
    }
    slot = int32_t(libraryGroups.size());
    LibraryGroup& group = libraryGroups.appendReserved();
    group.name = e.libraryName;
    group.classIndex = e.classIndex;
    group.memberCount = 1;
    if (preselecting) {
      if (const int32_t rc = preselect(group, earlier); rc != kStatusOk) return rc;
    }
  }
  return kStatusOk;
}

// Marks a new group the way the earlier import under updateTarget built it: as instances
// when its sources null holds a null of the group's name, else as objects when its
// objects null does.
int32_t IndexTables::preselect(LibraryGroup& group, EarlierImport& earlier) {
  if (!sourcesSearched_) {
    sourcesNull_ = findChildNull(options_.updateTarget, host::loadString(kSourcesNullName));
    sourcesSearched_ = true;
  }
  if (sourcesNull_) {
    if (!earlier.sources.built() && !earlier.sources.build(sourcesNull_)) return kStatusIndexMemory;
    if (const host::BaseObject* source = earlier.sources.find(group.name)) {
      group.asInstances = true;
      group.sourcesLocked = source->getTag(kTagNoUpdate) != nullptr;
      return kStatusOk;
    }
  }
  if (!objectsSearched_) {
    objectsNull_ = findChildNull(options_.updateTarget, host::loadString(kObjectsNullName));
    objectsSearched_ = true;
  }
  if (objectsNull_) {
    if (!earlier.objects.built() && !earlier.objects.build(objectsNull_)) return kStatusIndexMemory;
    if (earlier.objects.find(group.name)) group.asObjects = true;
  }
  return kStatusOk;
}

int32_t IndexTables::buildInstanceTables() {
  instanceGroups.release();
  objectGroupCount_ = 0;
  instanceGroupCount_ = 0;
  instancePolygonTotal_ = 0;
  // Links of an earlier build would outlive the groups they name; the reader starts every
  // link at -1.
  if (linksWritten_) {
    for (ElementRecord& e : loader_.elements) e.instanceGroup = -1;
    for (LightRecord& light : loader_.lights) light.instanceGroup = -1;
    linksWritten_ = false;
  }

  auto chosen = [](const LibraryGroup& g) { return g.asObjects || g.asInstances; };
  const int32_t chosenCount = int32_t(std::count_if(libraryGroups.begin(), libraryGroups.end(), chosen));
  // Checked before anything is allocated for the count, so a wrong count cannot make the
  // groups overrun their table.
  if (chosenCount != chosenGroupCount) return kStatusInstanceGroups;
  if (chosenCount == 0) return kStatusOk;
  if (!instanceGroups.reserve(size_t(chosenCount))) return kStatusIndexMemory;
  NameIndex byName;
  if (!byName.init(size_t(chosenCount))) return kStatusIndexMemory;
  auto nameAt = [this](int32_t m) -> const host::String& { return instanceGroups[size_t(m)].name; };

  for (const LibraryGroup& g : libraryGroups) {
    if (!chosen(g)) continue;
    int32_t& slot = byName.slot(g.name, nameAt);
    // Two chosen groups of one name would build the same elements twice.
    if (slot >= 0) return kStatusInstanceGroups;
    slot = int32_t(instanceGroups.size());
    InstanceGroup& m = instanceGroups.appendReserved();
    m.name = g.name;
    m.memberCount = g.memberCount;
    if (g.memberCount > 0 && !m.members.reserve(size_t(g.memberCount))) return kStatusIndexMemory;
    if (g.asInstances) {
      m.kind = kGroupAsInstances;
      m.sourcesLocked = g.sourcesLocked;
      ++instanceGroupCount_;
    } else {
      m.kind = kGroupAsObjects;
      ++objectGroupCount_;
    }
  }

  // Membership goes by name. Unplaced elements are left out: they carry no library name,
  // and would otherwise all join a group of a placed element whose name is empty.
  linksWritten_ = true;
  const int32_t elementCount = loader_.elementsRead();
  for (int32_t i = 0; i < elementCount; ++i) {
    ElementRecord& e = loader_.elements[size_t(i)];
    if (!e.placed) continue;
    const int32_t m = byName.slot(e.libraryName, nameAt);
    if (m < 0) continue;
    InstanceGroup& group = instanceGroups[size_t(m)];
    // More elements of the name than the group counted: its member list is full.
    if (group.members.size() >= size_t(group.memberCount)) return kStatusInstanceGroups;
    group.members.appendReserved() = i;
    e.instanceGroup = m;
    instancePolygonTotal_ += e.polygonCount;
  }
  // A lamp element's lights go with it; one pass over the lights instead of a search for
  // each member.
  for (LightRecord& light : loader_.lights) {
    if (uint32_t(light.elementIndex) >= uint32_t(elementCount)) continue;
    const ElementRecord& e = loader_.elements[size_t(light.elementIndex)];
    if (e.hasLight && e.instanceGroup >= 0) light.instanceGroup = e.instanceGroup;
  }

  for (const InstanceGroup& m : instanceGroups) {
    if (m.members.size() != size_t(m.memberCount)) return kStatusInstanceGroups;
  }
  return kStatusOk;
}

int32_t IndexTables::resetPolygonListFor(int32_t polygonCount) {
  polygonList.release();
  if (polygonCount > 0 && !polygonList.reserve(size_t(polygonCount))) return kStatusIndexMemory;
  return kStatusOk;
}

}  // namespace talvo
