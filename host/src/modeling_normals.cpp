// Commands 217 (aligning the orientation of polygons) and 255 (phong normals).
#include <algorithm>
#include <cmath>

#include "modeling_mesh.h"

namespace host::modeling {
namespace {

// Six times the volume a polygon's fan of triangles spans with an origin.
double spannedVolume(const std::vector<Vector>& points, const CPolygon& polygon, const Vector& origin) {
  const std::array<int32_t, 4> c = cornersOf(polygon);
  const Vector a = points[size_t(c[0])] - origin;
  double volume = 0.0;
  for (int32_t k = 1; k + 1 < cornerCount(polygon); ++k) {
    const Vector b = points[size_t(c[size_t(k)])] - origin;
    const Vector d = points[size_t(c[size_t(k + 1)])] - origin;
    volume += dot(a, cross(b, d));
  }
  return volume;
}

// Reverses a polygon and its per-corner data: (a, b, c, d) becomes (a, d, c, b) and
// (a, b, c) becomes (a, c, b), the fourth slot repeating the third.
void reversePolygon(Mesh& mesh, size_t i) {
  CPolygon& p = (*mesh.polygons)[i];
  const bool triangle = p.isTriangle();
  const int32_t order[4] = {0, triangle ? 2 : 3, triangle ? 1 : 2, 1};
  const std::array<int32_t, 4> c = cornersOf(p);
  p = {c[size_t(order[0])], c[size_t(order[1])], c[size_t(order[2])], c[size_t(order[3])]};
  for (auto* uvws : mesh.uvwTags) {
    const UVWStruct old = (*uvws)[i];
    for (int32_t k = 0; k < 4; ++k) uvwCorner((*uvws)[i], k) = uvwCorner(old, order[k]);
  }
  for (auto* normals : mesh.normalTags) {
    Vector old[4];
    for (size_t k = 0; k < 4; ++k) old[k] = (*normals)[4 * i + k];
    for (size_t k = 0; k < 4; ++k) (*normals)[4 * i + k] = old[size_t(order[k])] * -1.0;
  }
}

}  // namespace

bool alignNormals(Mesh& mesh) {
  const std::vector<Vector>& points = *mesh.points;
  const std::vector<CPolygon>& polygons = *mesh.polygons;
  const int32_t count = mesh.polygonCount();
  EdgeMap edges;
  std::vector<int8_t> flip;
  std::vector<int32_t> queue;
  if (!edges.build(polygons, mesh.pointCount()) || !makeScratch(flip, size_t(count), int8_t(-1)) ||
      !makeScratch(queue, size_t(count)))
    return false;

  // Pieces in polygon order, each walked breadth first from its first polygon: a neighbour
  // that runs the shared edge in the same direction disagrees with it.
  size_t end = 0;
  for (int32_t seed = 0; seed < count; ++seed) {
    if (flip[size_t(seed)] >= 0) continue;
    const size_t begin = end;
    flip[size_t(seed)] = 0;
    queue[end++] = seed;
    bool closed = true;
    for (size_t at = begin; at < end; ++at) {
      const int32_t i = queue[at];
      const CPolygon& p = polygons[size_t(i)];
      for (int32_t k = 0, n = cornerCount(p); k < n; ++k) {
        const int32_t e = edges.edgeOf(4 * i + k);
        if (e < 0) continue;  // a side whose ends are one point
        const int32_t twin = edges.twin(4 * i + k);
        if (twin < 0) {
          closed = false;
          continue;
        }
        const int32_t other = twin / 4;
        const bool sameWay = EdgeMap::from(polygons[size_t(other)], twin % 4) == EdgeMap::from(p, k);
        if (flip[size_t(other)] < 0) {
          flip[size_t(other)] = int8_t(flip[size_t(i)] ^ (sameWay ? 1 : 0));
          queue[end++] = other;
        }
      }
    }
    // A closed piece faces outward; an open one takes its polygons' majority.
    bool invert = false;
    const Vector origin = points[size_t(polygons[size_t(seed)].a)];
    double volume = 0.0;
    size_t flipped = 0;
    for (size_t at = begin; at < end; ++at) {
      const int32_t i = queue[at];
      if (flip[size_t(i)]) ++flipped;
      if (closed) volume += (flip[size_t(i)] ? -1.0 : 1.0) * spannedVolume(points, polygons[size_t(i)], origin);
    }
    if (closed && volume != 0.0) {
      invert = volume < 0.0;
    } else {
      invert = 2 * flipped > end - begin;
    }
    if (invert)
      for (size_t at = begin; at < end; ++at) flip[size_t(queue[at])] ^= 1;
  }
  for (int32_t i = 0; i < count; ++i)
    if (flip[size_t(i)]) reversePolygon(mesh, size_t(i));
  return true;
}

bool phongNormals(Mesh& mesh) {
  const BaseTag* phong = mesh.object->getTag(kTagPhong);
  if (!phong) return false;
  const bool limited = phong->getData().getBool(kPhongAngleLimit, kPhongAngleLimitDefault);
  const double angle = phong->getData().getReal(kPhongAngle, kPhongAngleDefault);

  const std::vector<Vector>& points = *mesh.points;
  const std::vector<CPolygon>& polygons = *mesh.polygons;
  const int32_t count = mesh.polygonCount();
  EdgeMap edges;
  std::vector<Vector> faces, result;
  std::vector<int32_t> root;  // corners, 4 * polygon + corner, joined across smooth edges
  if (!edges.build(polygons, mesh.pointCount()) || !makeScratch(faces, size_t(count)) ||
      !makeScratch(result, 4 * size_t(count)) || !makeScratch(root, 4 * size_t(count)))
    return false;
  for (int32_t i = 0; i < count; ++i) faces[size_t(i)] = faceNormal(points, polygons[size_t(i)]);
  for (size_t c = 0; c < root.size(); ++c) root[c] = int32_t(c);
  auto find = [&](int32_t c) {
    while (root[size_t(c)] != c) {
      root[size_t(c)] = root[size_t(root[size_t(c)])];
      c = root[size_t(c)];
    }
    return c;
  };
  auto join = [&](int32_t a, int32_t b) {
    a = find(a);
    b = find(b);
    if (a != b) root[size_t(std::max(a, b))] = std::min(a, b);
  };
  for (int32_t e = 0; e < edges.edgeCount(); ++e) {
    if (edges.sideCount(e) != 2) continue;
    const int32_t h1 = edges.side(e, 0), h2 = edges.side(e, 1);
    const int32_t i1 = h1 / 4, k1 = h1 % 4, i2 = h2 / 4, k2 = h2 % 4;
    const CPolygon& p1 = polygons[size_t(i1)];
    const CPolygon& p2 = polygons[size_t(i2)];
    if (i1 == i2 || EdgeMap::from(p2, k2) != EdgeMap::to(p1, k1)) continue;
    const Vector& n1 = faces[size_t(i1)];
    const Vector& n2 = faces[size_t(i2)];
    if (dot(n1, n1) == 0.0 || dot(n2, n2) == 0.0) continue;
    if (limited && !withinAngle(n1, n2, angle)) continue;
    // Side k1 runs p -> q, side k2 runs q -> p: the corners at p and at q become one.
    join(4 * i1 + k1, 4 * i2 + (k2 + 1) % cornerCount(p2));
    join(4 * i1 + (k1 + 1) % cornerCount(p1), 4 * i2 + k2);
  }

  // Each corner adds its face normal weighted by its angle to its group's first corner.
  for (int32_t i = 0; i < count; ++i) {
    const CPolygon& p = polygons[size_t(i)];
    const std::array<int32_t, 4> c = cornersOf(p);
    const int32_t n = cornerCount(p);
    for (int32_t k = 0; k < n; ++k) {
      const Vector& at = points[size_t(c[size_t(k)])];
      const Vector u = points[size_t(c[size_t((k + 1) % n)])] - at;
      const Vector v = points[size_t(c[size_t((k + n - 1) % n)])] - at;
      const double weight = std::atan2(length(cross(u, v)), dot(u, v));
      Vector& sum = result[size_t(find(4 * i + k))];
      sum = sum + faces[size_t(i)] * weight;
    }
  }
  for (size_t c = 0; c < result.size(); ++c)
    if (root[c] == int32_t(c)) result[c] = normalized(result[c]);
  for (int32_t i = 0; i < count; ++i) {
    const int32_t n = cornerCount(polygons[size_t(i)]);
    for (int32_t k = 0; k < 4; ++k) {
      const size_t c = 4 * size_t(i) + size_t(k);
      result[c] = k < n ? result[size_t(root[c])] : result[c - 1];
    }
  }

  BaseTag* tag = mesh.object->getTag(kTagNormal);
  if (!tag) {
    tag = BaseTag::alloc(kTagNormal);
    if (!tag) return false;
    mesh.object->insertTag(tag, mesh.object->getLastTag());
  }
  tag->normals().swap(result);
  return true;
}

}  // namespace host::modeling
