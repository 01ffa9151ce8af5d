// Command 222: joins pairs of triangles into quadrangles and records n-gons.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "modeling_mesh.h"

namespace host::modeling {
namespace {

// Where a corner's per-corner data comes from: 4 * old polygon + old corner.
using Sources = std::array<int32_t, 4>;

// True when every UVW and normal tag holds the same values at two corners
// (4 * polygon + corner each, in the numbering of `sources`).
bool sameCornerData(const Mesh& mesh, int32_t c1, int32_t c2) {
  for (const auto* uvws : mesh.uvwTags)
    if (!(uvwCorner((*uvws)[size_t(c1 / 4)], c1 % 4) == uvwCorner((*uvws)[size_t(c2 / 4)], c2 % 4))) return false;
  for (const auto* normals : mesh.normalTags)
    if (!((*normals)[size_t(c1)] == (*normals)[size_t(c2)])) return false;
  return true;
}

bool isSimple(const CPolygon& p) {
  if (p.c == p.d) return p.a != p.b && p.b != p.c && p.a != p.c;
  return p.a != p.b && p.a != p.c && p.a != p.d && p.b != p.c && p.b != p.d && p.c != p.d;
}

// True when the corners turn the same way all round, seen along n: a convex polygon
// without straight corners.
bool isConvex(const Vector* corners, int32_t count, const Vector& n) {
  for (int32_t k = 0; k < count; ++k) {
    const Vector& a = corners[k];
    const Vector& b = corners[(k + 1) % count];
    const Vector& c = corners[(k + 2) % count];
    const Vector u = b - a, v = c - b;
    // Relative to the lengths, so that rounding on a straight corner does not count.
    if (!(dot(cross(u, v), n) > 1e-12 * length(u) * length(v) * length(n))) return false;
  }
  return true;
}

}  // namespace

bool untriangulate(Mesh& mesh, const Container& parameters) {
  const bool useAngle = parameters.getBool(kUntriangulateUseAngle);
  const bool makeNgons = parameters.getBool(kUntriangulateNgons);
  const double angle = parameters.getReal(kUntriangulateAngle, 0.0);
  if (!(angle >= 0.0 && angle <= std::numbers::pi)) return false;

  const std::vector<Vector>& points = *mesh.points;
  std::vector<CPolygon>& polygons = *mesh.polygons;
  const int32_t count = mesh.polygonCount();

  EdgeMap edges;
  std::vector<Vector> normals;
  if (!edges.build(polygons, mesh.pointCount()) || !makeScratch(normals, size_t(count))) return false;
  for (int32_t i = 0; i < count; ++i) normals[size_t(i)] = faceNormal(points, polygons[size_t(i)]);

  // Pairs, taken greedily in polygon order, each across its longest eligible edge.
  // side[t]: the side of the first triangle t of a pair that it shares; -1 elsewhere.
  std::vector<int32_t> partner;
  std::vector<int8_t> side;
  if (!makeScratch(partner, size_t(count), -1) || !makeScratch(side, size_t(count), int8_t(-1))) return false;
  auto candidate = [&](int32_t t) {
    const CPolygon& p = polygons[size_t(t)];
    return p.isTriangle() && partner[size_t(t)] < 0 && isSimple(p) && dot(normals[size_t(t)], normals[size_t(t)]) > 0.0;
  };
  int32_t pairs = 0;
  for (int32_t t = 0; t < count; ++t) {
    if (!candidate(t)) continue;
    const CPolygon& p1 = polygons[size_t(t)];
    int32_t best = -1;
    double bestLength = -1.0;
    for (int32_t k = 0; k < 3; ++k) {
      const int32_t twin = edges.twin(4 * t + k);
      if (twin < 0) continue;
      const int32_t t2 = twin / 4, k2 = twin % 4;
      if (t2 == t || !candidate(t2)) continue;
      const CPolygon& p2 = polygons[size_t(t2)];
      // Opposite directions: the two are oriented alike.
      if (EdgeMap::from(p2, k2) != EdgeMap::to(p1, k)) continue;
      const std::array<int32_t, 4> c1 = cornersOf(p1), c2 = cornersOf(p2);
      const int32_t p = c1[size_t(k)], q = c1[size_t((k + 1) % 3)], r = c1[size_t((k + 2) % 3)];
      const int32_t s = c2[size_t((k2 + 2) % 3)];
      if (s == r) continue;
      const Vector& n1 = normals[size_t(t)];
      const Vector& n2 = normals[size_t(t2)];
      if (useAngle && !withinAngle(n1, n2, angle)) continue;
      const Vector quad[4] = {points[size_t(p)], points[size_t(s)], points[size_t(q)], points[size_t(r)]};
      if (!isConvex(quad, 4, n1 + n2)) continue;
      // The shared edge's two points: p is corner k of t and corner k2 + 1 of t2.
      if (!sameCornerData(mesh, 4 * t + k, 4 * t2 + (k2 + 1) % 3) ||
          !sameCornerData(mesh, 4 * t + (k + 1) % 3, 4 * t2 + k2))
        continue;
      const Vector d = points[size_t(q)] - points[size_t(p)];
      if (dot(d, d) > bestLength) {
        bestLength = dot(d, d);
        best = k;
      }
    }
    if (best < 0) continue;
    const int32_t t2 = edges.twin(4 * t + best) / 4;
    partner[size_t(t)] = t2;
    partner[size_t(t2)] = t;
    side[size_t(t)] = int8_t(best);
    ++pairs;
  }

  // The new polygons, each where the first of its old ones was, with the sources of their
  // corners. A pair (p, q, r) + (q, p, s) becomes (p, s, q, r).
  const int32_t newCount = count - pairs;
  std::vector<int32_t> newIndex;
  std::vector<CPolygon> newPolygons;
  std::vector<Sources> sources;
  if (!makeScratch(newIndex, size_t(count)) || !makeScratch(newPolygons, size_t(newCount)) ||
      !makeScratch(sources, size_t(newCount)))
    return false;
  for (int32_t i = 0, next = 0; i < count; ++i) {
    const int32_t other = partner[size_t(i)];
    if (other >= 0 && other < i) {
      newIndex[size_t(i)] = newIndex[size_t(other)];
      continue;
    }
    const int32_t j = next++;
    newIndex[size_t(i)] = j;
    if (other < 0) {
      newPolygons[size_t(j)] = polygons[size_t(i)];
      sources[size_t(j)] = {4 * i, 4 * i + 1, 4 * i + 2, 4 * i + 3};
      continue;
    }
    const int32_t k = side[size_t(i)];
    const int32_t twin = edges.twin(4 * i + k);
    const int32_t k2 = twin % 4;
    const std::array<int32_t, 4> c1 = cornersOf(polygons[size_t(i)]), c2 = cornersOf(polygons[size_t(other)]);
    newPolygons[size_t(j)] = {c1[size_t(k)], c2[size_t((k2 + 2) % 3)], c1[size_t((k + 1) % 3)],
                              c1[size_t((k + 2) % 3)]};
    sources[size_t(j)] = {4 * i + k, 4 * other + (k2 + 2) % 3, 4 * i + (k + 1) % 3, 4 * i + (k + 2) % 3};
  }

  NgonData ngons;
  const NgonData* oldNgons = getNgonData(*mesh.object);
  if (makeNgons) {
    // Groups grow from a seed across edges to polygons in the seed's plane without a seam.
    // A polygon joins only when the group stays a disc (V - E + F stays 1) and none of its
    // points ends up surrounded by the group, so that every point lies on the outline.
    EdgeMap newEdges;
    std::vector<Vector> newNormals;
    std::vector<int32_t> valence, pointStamp, pointUses, edgeStamp, groupOf, members;
    std::vector<uint8_t> irregular;
    const int32_t pointCount = mesh.pointCount();
    if (!newEdges.build(newPolygons, pointCount) || !makeScratch(newNormals, size_t(newCount)) ||
        !makeScratch(valence, size_t(pointCount), 0) || !makeScratch(irregular, size_t(pointCount), uint8_t(0)) ||
        !makeScratch(pointStamp, size_t(pointCount), -1) || !makeScratch(pointUses, size_t(pointCount), 0) ||
        !makeScratch(edgeStamp, size_t(newEdges.edgeCount()), -1) || !makeScratch(groupOf, size_t(newCount), -1))
      return false;
    for (int32_t j = 0; j < newCount; ++j) {
      const CPolygon& p = newPolygons[size_t(j)];
      newNormals[size_t(j)] = faceNormal(points, p);
      for (int32_t k = 0, n = cornerCount(p); k < n; ++k) {
        ++valence[size_t(cornersOf(p)[size_t(k)])];
        // A point on an open or shared-by-many edge is on the outline of whatever holds it.
        const int32_t e = newEdges.edgeOf(4 * j + k);
        if (e >= 0 && newEdges.sideCount(e) != 2) {
          irregular[size_t(EdgeMap::from(p, k))] = 1;
          irregular[size_t(EdgeMap::to(p, k))] = 1;
        }
      }
    }
    auto cornerSource = [&](int32_t polygon, int32_t corner) { return sources[size_t(polygon)][size_t(corner)]; };
    auto joinGroup = [&](int32_t polygon, int32_t g) {
      groupOf[size_t(polygon)] = g;
      const CPolygon& p = newPolygons[size_t(polygon)];
      for (int32_t k = 0, n = cornerCount(p); k < n; ++k) {
        const int32_t v = cornersOf(p)[size_t(k)];
        if (pointStamp[size_t(v)] != g) {
          pointStamp[size_t(v)] = g;
          pointUses[size_t(v)] = 0;
        }
        ++pointUses[size_t(v)];
        edgeStamp[size_t(newEdges.edgeOf(4 * polygon + k))] = g;
      }
      members.push_back(polygon);
    };
    auto keepsDisc = [&](int32_t polygon, int32_t g) {
      const CPolygon& p = newPolygons[size_t(polygon)];
      const int32_t n = cornerCount(p);
      int32_t newPoints = 0, newSides = 0;
      for (int32_t k = 0; k < n; ++k) {
        const int32_t v = cornersOf(p)[size_t(k)];
        const bool inGroup = pointStamp[size_t(v)] == g;
        if (!inGroup) ++newPoints;
        const int32_t uses = (inGroup ? pointUses[size_t(v)] : 0) + 1;
        if (uses == valence[size_t(v)] && !irregular[size_t(v)]) return false;  // surrounded
        if (edgeStamp[size_t(newEdges.edgeOf(4 * polygon + k))] != g) ++newSides;
      }
      return newPoints - newSides + 1 == 0;
    };
    int32_t groups = 0;
    for (int32_t seed = 0; seed < newCount; ++seed) {
      if (groupOf[size_t(seed)] >= 0 || !isSimple(newPolygons[size_t(seed)]) ||
          dot(newNormals[size_t(seed)], newNormals[size_t(seed)]) == 0.0)
        continue;
      const int32_t g = groups++;
      members.clear();
      joinGroup(seed, g);
      for (size_t m = 0; m < members.size(); ++m) {
        const int32_t at = members[m];
        const CPolygon& p = newPolygons[size_t(at)];
        for (int32_t k = 0, n = cornerCount(p); k < n; ++k) {
          const int32_t twin = newEdges.twin(4 * at + k);
          if (twin < 0) continue;
          const int32_t other = twin / 4, k2 = twin % 4;
          const CPolygon& q = newPolygons[size_t(other)];
          if (groupOf[size_t(other)] >= 0 || !isSimple(q) || EdgeMap::from(q, k2) != EdgeMap::to(p, k)) continue;
          if (!withinAngle(newNormals[size_t(other)], newNormals[size_t(seed)], angle)) continue;
          const int32_t nq = cornerCount(q);
          if (!sameCornerData(mesh, cornerSource(at, k), cornerSource(other, (k2 + 1) % nq)) ||
              !sameCornerData(mesh, cornerSource(at, (k + 1) % cornerCount(p)), cornerSource(other, k2)))
            continue;
          if (!keepsDisc(other, g)) continue;
          joinGroup(other, g);
        }
      }
      if (members.size() >= 2) {
        std::sort(members.begin(), members.end());
        ngons.add(members);
      }
    }
  } else if (oldNgons) {
    ngons = remapNgons(*oldNgons, newIndex);
  }

  // Everything is allocated: change the object. Writing new polygon j reads old polygons
  // from j on only, so the per-corner data can be moved in place.
  polygons.swap(newPolygons);
  for (auto* uvws : mesh.uvwTags) {
    for (int32_t j = 0; j < newCount; ++j) {
      const Sources& s = sources[size_t(j)];
      UVWStruct u;
      for (int32_t k = 0; k < 4; ++k) uvwCorner(u, k) = uvwCorner((*uvws)[size_t(s[size_t(k)] / 4)], s[size_t(k)] % 4);
      (*uvws)[size_t(j)] = u;
    }
    uvws->resize(size_t(newCount));
  }
  for (auto* tagNormals : mesh.normalTags) {
    for (int32_t j = 0; j < newCount; ++j) {
      const Sources& s = sources[size_t(j)];
      Vector n[4];
      for (size_t k = 0; k < 4; ++k) n[k] = (*tagNormals)[size_t(s[k])];
      for (size_t k = 0; k < 4; ++k) (*tagNormals)[4 * size_t(j) + k] = n[k];
    }
    tagNormals->resize(4 * size_t(newCount));
  }
  if (makeNgons || oldNgons) setNgonData(*mesh.object, ngons);
  return true;
}

}  // namespace host::modeling
