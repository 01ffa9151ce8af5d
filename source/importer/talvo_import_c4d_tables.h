// The index tables of one import run, built from the reader's records once the file is
// read: the polygons of each element and of each shader, which shaders occur on a story
// or in a class, the library groups the instance dialog chooses from, the instance groups
// built from that choice, and the work list through which the hierarchy builder hands the
// polygons of one group to the polygon builder.
//
// Every index is a position in the reader's arrays; every count is a reader counter. Each
// table is built in one pass over the polygons (or the elements), and every table lives in
// host memory, so an allocation failure becomes 10005 and leaves what was built so far
// for release.
#pragma once

#include <cassert>
#include <concepts>
#include <cstdint>
#include <span>

#include "common/array.h"
#include "host/text.h"
#include "talvo_import_c4d_loader.h"
#include "talvo_import_c4d_options.h"

namespace host {
class BaseObject;
}

namespace talvo {

// One ascending list of polygon indices per record of a table (elements or shaders), all
// in one block: the list of record i is entries [offsets[i], offsets[i + 1]).
class PolygonLists {
 public:
  // The number of records the lists were built for; 0 before they are built.
  int32_t recordCount() const { return offsets_.empty() ? 0 : int32_t(offsets_.size() - 1); }
  // False for a record without polygons, and for every record before the lists are built.
  bool hasList(int32_t record) const { return !list(record).empty(); }
  // The record's polygon indices, ascending; empty when it has none.
  std::span<const int32_t> list(int32_t record) const {
    if (uint32_t(record) >= uint32_t(recordCount())) return {};
    const int32_t first = offsets_[size_t(record)];
    return {entries_.data() + first, size_t(offsets_[size_t(record) + 1] - first)};
  }
  std::span<const int32_t> operator[](int32_t record) const { return list(record); }
  void release() {
    offsets_.release();
    entries_.release();
  }

 private:
  friend class IndexTables;
  common::Array<int32_t> offsets_;  // recordCount + 1 entries
  common::Array<int32_t> entries_;
};

// A rows × columns table of int32 counts.
class CountMatrix {
 public:
  int32_t rows() const { return rows_; }
  int32_t columns() const { return columns_; }
  // False before the table is built.
  bool built() const { return built_; }
  int32_t at(int32_t row, int32_t column) const {
    assert(uint32_t(row) < uint32_t(rows_) && uint32_t(column) < uint32_t(columns_));
    return cells_[size_t(row) * size_t(columns_) + size_t(column)];
  }
  void release() {
    cells_.release();
    rows_ = columns_ = 0;
    built_ = false;
  }

 private:
  friend class IndexTables;
  common::Array<int32_t> cells_;  // row after row
  int32_t rows_ = 0;
  int32_t columns_ = 0;
  bool built_ = false;
};

// The placed elements that share one library name; what the instance dialog shows.
struct LibraryGroup {
  host::String name;
  int32_t classIndex = 0;      // class of the first element with this name
  int32_t memberCount = 0;     // placed elements with this name
  bool asObjects = false;      // build the members as separate objects
  bool asInstances = false;    // build the members as instances of one base geometry
  bool sourcesLocked = false;  // the base geometry is protected from updates
};

// InstanceGroup kinds.
constexpr int32_t kGroupAsObjects = 1;
constexpr int32_t kGroupAsInstances = 2;

// A chosen library group with its members, for the hierarchy builder.
struct InstanceGroup {
  host::String name;
  int32_t memberCount = 0;
  common::Array<int32_t> members;  // element indices, ascending
  int32_t kind = 0;                // kGroupAsObjects or kGroupAsInstances
  bool sourcesLocked = false;      // only for kGroupAsInstances
};

class IndexTables {
 public:
  // Binds the tables to the run's reader and options; every table starts empty. The
  // elements' and lights' instanceGroup fields are written by buildInstanceTables.
  IndexTables(SceneLoader& loader, const ImportOptions& options);
  ~IndexTables();
  IndexTables(const IndexTables&) = delete;
  IndexTables& operator=(const IndexTables&) = delete;

  // Fills elementPolygons: per element the stored polygons with that elementIndex,
  // ascending, as many as the element's polygonCount. 0 or 10005.
  [[nodiscard]] int32_t buildElementPolygons();
  // Fills shaderPolygons the same way by shaderIndex. 0 or 10005.
  [[nodiscard]] int32_t buildShaderPolygons();
  // Fills storyHasShader: per story and shader the number of stored polygons with that
  // shader whose element lies on the story. 0 or 10005.
  [[nodiscard]] int32_t buildStoryShaderTable();
  // Fills classHasShader the same way by the element's class. 0 or 10005.
  [[nodiscard]] int32_t buildClassShaderTable();

  // Fills libraryGroups: one group per distinct libraryName of the placed elements, in
  // order of first appearance, names compared exactly. In update mode a new group is
  // preselected from the earlier import under the options' updateTarget: a null of its
  // name directly under the sources null makes it asInstances (and sourcesLocked when that
  // null carries the no-update tag); otherwise one directly under the objects null makes
  // it asObjects. Resets chosenGroupCount to 0. 0 or 10005.
  [[nodiscard]] int32_t findLibraryGroups();
  // Fills instanceGroups from the library groups with asObjects or asInstances, in their
  // order, and links every member element (and the lights of a member that hasLight) to
  // its group. A group chosen both ways is built as instances. 10025 when the number of
  // chosen groups differs from chosenGroupCount, when a chosen name repeats, or when the
  // elements of a name differ in number from the group's memberCount; else 0 or 10005.
  [[nodiscard]] int32_t buildInstanceTables();

  // Empties polygonList and makes room for the record's polygonCount entries, so the
  // caller can append with appendReserved. 0 or 10005.
  template <class Record>
  requires requires(const Record& r) {
    { r.polygonCount } -> std::convertible_to<int32_t>;
  }
  [[nodiscard]] int32_t resetPolygonList(const Record& record) {
    return resetPolygonListFor(record.polygonCount);
  }
  // Empties polygonList and frees its memory.
  void clearPolygonList() { polygonList.release(); }

  // Frees every table.
  void release();

  int32_t groupCount() const { return int32_t(libraryGroups.size()); }
  int32_t objectGroupCount() const { return objectGroupCount_; }
  int32_t instanceGroupCount() const { return instanceGroupCount_; }
  // The polygonCount of every member of every chosen group, added up.
  int64_t instancePolygonTotal() const { return instancePolygonTotal_; }

  PolygonLists elementPolygons;
  PolygonLists shaderPolygons;
  CountMatrix storyHasShader;          // stories × shaders
  CountMatrix classHasShader;          // classes × shaders
  common::Array<int32_t> polygonList;  // polygons of the group being built

  common::Array<LibraryGroup> libraryGroups;
  // Set by the instance dialog: the number of groups with asObjects or asInstances.
  int32_t chosenGroupCount = 0;
  common::Array<InstanceGroup> instanceGroups;

 private:
  struct EarlierImport;

  [[nodiscard]] int32_t resetPolygonListFor(int32_t polygonCount);
  [[nodiscard]] int32_t preselect(LibraryGroup& group, EarlierImport& earlier);

  SceneLoader& loader_;
  const ImportOptions& options_;
  // The earlier import's sources and objects nulls under updateTarget, each searched for
  // at most once.
  host::BaseObject* sourcesNull_ = nullptr;
  host::BaseObject* objectsNull_ = nullptr;
  bool sourcesSearched_ = false;
  bool objectsSearched_ = false;
  bool linksWritten_ = false;  // buildInstanceTables has set element or light links
  int32_t objectGroupCount_ = 0;
  int32_t instanceGroupCount_ = 0;
  int64_t instancePolygonTotal_ = 0;
};

}  // namespace talvo
