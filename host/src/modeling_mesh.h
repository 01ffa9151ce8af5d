// Shared pieces of the modelling commands: the mesh of one polygon object with the tags
// that follow its polygons, corner access, scratch allocation and the edge map.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "host/modeling.h"
#include "host/scene.h"

namespace host::modeling {

// One polygon object's geometry and every tag kept per polygon.
struct Mesh {
  PolygonObject* object = nullptr;
  std::vector<Vector>* points = nullptr;
  std::vector<CPolygon>* polygons = nullptr;
  std::vector<std::vector<UVWStruct>*> uvwTags;
  std::vector<std::vector<Vector>*> normalTags;  // four per polygon

  int32_t pointCount() const { return int32_t(points->size()); }
  int32_t polygonCount() const { return int32_t(polygons->size()); }
};

// Collects the mesh of an object; false when the polygons refer to missing points or a
// UVW or normal tag does not hold one entry (four normals) per polygon.
bool openMesh(PolygonObject& object, Mesh& out);

// Counts one large scratch allocation with the host's allocation hook, so that tests can
// make it fail; false when it fails.
bool scratchAllowed();

// Resizes scratch after the hook allowed it; std::bad_alloc is caught by the caller.
template <class T>
bool makeScratch(std::vector<T>& v, size_t n, const T& value = T()) {
  if (!scratchAllowed()) return false;
  v.assign(n, value);
  return true;
}

inline int32_t cornerCount(const CPolygon& p) { return p.c == p.d ? 3 : 4; }
inline std::array<int32_t, 4> cornersOf(const CPolygon& p) { return {p.a, p.b, p.c, p.d}; }
inline CPolygon polygonOf(const std::array<int32_t, 4>& c) { return {c[0], c[1], c[2], c[3]}; }

inline Vector& uvwCorner(UVWStruct& u, int32_t k) {
  return k == 0 ? u.a : k == 1 ? u.b : k == 2 ? u.c : u.d;
}
inline const Vector& uvwCorner(const UVWStruct& u, int32_t k) {
  return k == 0 ? u.a : k == 1 ? u.b : k == 2 ? u.c : u.d;
}

inline Vector operator+(const Vector& a, const Vector& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vector operator-(const Vector& a, const Vector& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vector operator*(const Vector& a, double s) { return {a.x * s, a.y * s, a.z * s}; }
inline double dot(const Vector& a, const Vector& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vector cross(const Vector& a, const Vector& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double length(const Vector& a) { return std::sqrt(dot(a, a)); }
// The unit vector along a, or zero for a zero (or not finite) vector.
inline Vector normalized(const Vector& a) {
  const double len = length(a);
  return len > 0.0 && std::isfinite(len) ? a * (1.0 / len) : Vector{};
}

// The unit normal of a polygon by Newell's method (zero when it has no area): the
// direction from which its corners run counter-clockwise.
Vector faceNormal(const std::vector<Vector>& points, const CPolygon& polygon);

// True when the angle between two unit normals is at most `angle`, allowing for rounding
// so that parallel planes pass with an angle of 0. Zero normals never pass.
bool withinAngle(const Vector& n1, const Vector& n2, double angle);

// Undirected edges of a polygon list. Half-edge h = 4 * polygon + side; side k runs from
// corner k to the next corner (the last one back to corner a). Sides a triangle does not
// have and sides whose two ends are the same point belong to no edge.
class EdgeMap {
 public:
  // False when memory is short.
  bool build(const std::vector<CPolygon>& polygons, int32_t pointCount);

  int32_t edgeCount() const { return int32_t(starts_.size()) - 1; }
  // The edge of a half-edge, or -1.
  int32_t edgeOf(int32_t h) const { return edgeOf_[size_t(h)]; }
  // The half-edges of an edge, in increasing order.
  int32_t sideCount(int32_t e) const { return starts_[size_t(e) + 1] - starts_[size_t(e)]; }
  int32_t side(int32_t e, int32_t i) const { return halfEdges_[size_t(starts_[size_t(e)] + i)]; }
  // The other half-edge of an edge that exactly two sides share; -1 otherwise.
  int32_t twin(int32_t h) const {
    const int32_t e = edgeOf_[size_t(h)];
    if (e < 0 || sideCount(e) != 2) return -1;
    const int32_t first = side(e, 0);
    return first == h ? side(e, 1) : first;
  }

  // The points a half-edge runs from and to.
  static int32_t from(const CPolygon& p, int32_t side) { return cornersOf(p)[size_t(side)]; }
  static int32_t to(const CPolygon& p, int32_t side) {
    return cornersOf(p)[size_t(side + 1 == cornerCount(p) ? 0 : side + 1)];
  }

 private:
  std::vector<int32_t> edgeOf_;
  std::vector<int32_t> starts_;
  std::vector<int32_t> halfEdges_;
};

// Which new polygon each old polygon became (-1: removed); several old polygons may
// become one. Gives the n-gon data that follows: an n-gon loses removed polygons, counts a
// polygon once, and is dropped when fewer than two polygons are left.
NgonData remapNgons(const NgonData& data, const std::vector<int32_t>& newIndex);

// The commands.
bool optimize(Mesh& mesh, const Container& parameters);
bool untriangulate(Mesh& mesh, const Container& parameters);
bool alignNormals(Mesh& mesh);
bool phongNormals(Mesh& mesh);

}  // namespace host::modeling
