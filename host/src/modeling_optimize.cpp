// Command 227: joins points (exactly by hashing, within a tolerance by a grid of hash
// cells), removes polygons that lost their area and points no polygon uses.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

#include "modeling_mesh.h"

namespace host::modeling {
namespace {

uint64_t coordinateBits(double v) {
  if (v == 0.0) v = 0.0;  // -0.0 equals 0.0, so both must hash alike
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  return bits;
}

uint64_t mix(uint64_t h) {
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdull;
  h ^= h >> 33;
  h *= 0xc4ceb9fe1a85ec53ull;
  h ^= h >> 33;
  return h;
}

uint64_t hashPoint(const Vector& p) {
  uint64_t h = coordinateBits(p.x) * 0x9e3779b97f4a7c15ull;
  h = (h << 31 | h >> 33) ^ coordinateBits(p.y) * 0xc2b2ae3d27d4eb4full;
  h = (h << 27 | h >> 37) ^ coordinateBits(p.z) * 0x165667b19e3779f9ull;
  return mix(h);
}

bool sameCoordinates(const Vector& a, const Vector& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

size_t powerOfTwoAtLeast(size_t n) {
  size_t p = 64;
  while (p < n) p *= 2;
  return p;
}

// Exact join: group[i] is the number of the first point with i's coordinates among the
// distinct positions, numbered in order of first appearance; first[g] is that point.
//
// An open-addressing table of 64-bit slots: the hash's upper 32 bits beside index + 1
// (0 is an empty slot), so that a probe reads a point only when the hashes agree. Hashes
// run a few points ahead and their slots are prefetched, which hides most of the cache
// misses of a table larger than the caches.
bool joinExact(const std::vector<Vector>& points, std::vector<int32_t>& group, std::vector<int32_t>& first) {
  const size_t n = points.size();
  if (!makeScratch(group, n)) return false;
  if (!scratchAllowed()) return false;
  first.clear();
  first.reserve(n / 4 + 16);
  std::vector<uint64_t> table;
  if (!makeScratch(table, powerOfTwoAtLeast(n / 2 + n / 8), uint64_t(0))) return false;
  size_t mask = table.size() - 1;
  size_t limit = table.size() / 4 * 3;

  constexpr size_t kAhead = 16;
  uint64_t ahead[kAhead];
  for (size_t i = 0; i < std::min(n, kAhead); ++i) ahead[i] = hashPoint(points[i]);

  for (size_t i = 0; i < n; ++i) {
    const uint64_t h = ahead[i % kAhead];
    if (i + kAhead < n) {
      const uint64_t next = hashPoint(points[i + kAhead]);
      ahead[i % kAhead] = next;
      __builtin_prefetch(&table[next & mask]);
    }
    const Vector& p = points[i];
    const uint64_t tag = h >> 32;
    for (size_t slot = h & mask;; slot = (slot + 1) & mask) {
      const uint64_t s = table[slot];
      if (s == 0) {
        const int32_t g = int32_t(first.size());
        table[slot] = tag << 32 | uint64_t(g + 1);
        first.push_back(int32_t(i));
        group[i] = g;
        break;
      }
      if ((s >> 32) == tag) {
        const int32_t g = int32_t(uint32_t(s)) - 1;
        if (sameCoordinates(points[size_t(first[size_t(g)])], p)) {
          group[i] = g;
          break;
        }
      }
    }
    if (first.size() > limit) {
      // Grow: every group goes into a table twice as large.
      std::vector<uint64_t> grown;
      if (!makeScratch(grown, table.size() * 2, uint64_t(0))) return false;
      mask = grown.size() - 1;
      limit = grown.size() / 4 * 3;
      for (size_t g = 0; g < first.size(); ++g) {
        const uint64_t gh = hashPoint(points[size_t(first[g])]);
        size_t slot = gh & mask;
        while (grown[slot] != 0) slot = (slot + 1) & mask;
        grown[slot] = (gh >> 32) << 32 | uint64_t(g + 1);
      }
      table.swap(grown);
    }
  }
  return true;
}

// Grid cells of the tolerance join. Cell coordinates are clamped far beyond any mesh,
// which only ever puts points together that are apart, never apart that are together.
constexpr double kCellLimit = 4.0e18;
int64_t cellCoordinate(double scaled) { return int64_t(std::clamp(std::floor(scaled), -kCellLimit, kCellLimit)); }

struct CellKey {
  int64_t x, y, z;
  friend bool operator==(const CellKey&, const CellKey&) = default;
};

uint64_t hashCell(const CellKey& k) {
  return mix(uint64_t(k.x) * 0x9e3779b97f4a7c15ull ^ uint64_t(k.y) * 0xc2b2ae3d27d4eb4full ^
             uint64_t(k.z) * 0x165667b19e3779f9ull);
}

// Cell widths tried, in tolerances, coarsest first: a coarse grid needs fewer probes of
// neighbour cells (most neighbourhoods lie inside their own cell), a fine one keeps cells
// small where points crowd. The first width at which the cells hold few points is used.
constexpr double kCellTolerances[] = {32.0, 8.0, 2.0};
// Cells hold few points when the pairs within cells number at most this many per point.
constexpr size_t kPairsPerPoint = 8;

// Tolerance join over the exact groups: root[g] becomes the lowest group joined with g.
// Every pair of positions whose distance is at most the tolerance is joined, and the join
// is transitive. Each position looks in the cells its tolerance neighbourhood touches;
// the neighbourhood is widened by a hair beyond the tolerance, so that the rounding of a
// distance that passes the test can never hide the cell of its partner. The work is
// linear unless very many distinct points crowd within a few tolerances of each other.
//
// The cell table's slots hold the key hash's upper half beside cell + 1 (0: empty), so
// that a probe of an empty neighbour cell mostly ends without reading a key; slots are
// prefetched a batch of positions ahead, as the table is larger than the caches.
bool joinWithin(const std::vector<Vector>& points, const std::vector<int32_t>& first, double tolerance,
                std::vector<int32_t>& root) {
  const size_t m = first.size();
  if (!makeScratch(root, m)) return false;
  for (size_t g = 0; g < m; ++g) root[g] = int32_t(g);
  const double reach = tolerance * (1.0 + 1.0 / 1048576.0);
  const double limit2 = tolerance * tolerance;

  std::vector<int32_t> cellOf, cellStart;
  std::vector<uint64_t> table;
  std::vector<CellKey> keys;
  if (!makeScratch(cellOf, m, -1) || !makeScratch(table, powerOfTwoAtLeast(2 * m), uint64_t(0))) return false;
  if (!scratchAllowed()) return false;
  keys.reserve(m);
  const size_t mask = table.size() - 1;
  auto findCell = [&](const CellKey& key, uint64_t h, bool insert) -> int32_t {
    const uint64_t tag = h >> 32;
    for (size_t slot = h & mask;; slot = (slot + 1) & mask) {
      const uint64_t s = table[slot];
      if (s == 0) {
        if (!insert) return -1;
        const int32_t c = int32_t(keys.size());
        table[slot] = tag << 32 | uint64_t(c + 1);
        keys.push_back(key);
        return c;
      }
      if ((s >> 32) == tag) {
        const int32_t c = int32_t(uint32_t(s)) - 1;
        if (keys[size_t(c)] == key) return c;
      }
    }
  };
  double inverse = 0.0;
  auto ownKey = [&](const Vector& p) {
    return CellKey{cellCoordinate(p.x * inverse), cellCoordinate(p.y * inverse), cellCoordinate(p.z * inverse)};
  };
  // A position that is not a number is never near anything and has no cell.
  auto hasCell = [](const Vector& p) { return !(std::isnan(p.x) || std::isnan(p.y) || std::isnan(p.z)); };

  for (const double width : kCellTolerances) {
    // Cells by key, numbered in order of first use.
    inverse = 1.0 / (width * tolerance);
    std::fill(table.begin(), table.end(), uint64_t(0));
    keys.clear();
    constexpr size_t kAhead = 16;
    uint64_t ahead[kAhead];
    auto hashOf = [&](size_t g) { return hashCell(ownKey(points[size_t(first[g])])); };
    for (size_t g = 0; g < std::min(m, kAhead); ++g) ahead[g] = hashOf(g);
    for (size_t g = 0; g < m; ++g) {
      const uint64_t h = ahead[g % kAhead];
      if (g + kAhead < m) {
        ahead[g % kAhead] = hashOf(g + kAhead);
        __builtin_prefetch(&table[ahead[g % kAhead] & mask]);
      }
      const Vector& p = points[size_t(first[g])];
      if (hasCell(p)) cellOf[g] = findCell(ownKey(p), h, true);
    }
    const size_t cells = keys.size();
    if (!makeScratch(cellStart, cells + 1, 0)) return false;
    for (size_t g = 0; g < m; ++g)
      if (cellOf[g] >= 0) ++cellStart[size_t(cellOf[g]) + 1];
    size_t pairs = 0;
    for (size_t c = 1; c <= cells; ++c) pairs += size_t(cellStart[c]) * size_t(cellStart[c]);
    if (pairs <= kPairsPerPoint * m || width == kCellTolerances[std::size(kCellTolerances) - 1]) break;
  }
  const size_t cells = keys.size();
  for (size_t c = 0; c < cells; ++c) cellStart[c + 1] += cellStart[c];
  // The positions of each cell side by side, so that scanning a cell reads one block.
  std::vector<int32_t> members;
  std::vector<Vector> positions;
  if (!makeScratch(members, m) || !makeScratch(positions, m)) return false;
  {
    std::vector<int32_t> fill(cellStart.begin(), cellStart.end() - 1);
    for (size_t g = 0; g < m; ++g) {
      if (cellOf[g] < 0) continue;
      const int32_t at = fill[size_t(cellOf[g])]++;
      members[size_t(at)] = int32_t(g);
      positions[size_t(at)] = points[size_t(first[g])];
    }
  }

  auto find = [&](int32_t g) {
    while (root[size_t(g)] != g) {
      root[size_t(g)] = root[size_t(root[size_t(g)])];  // path halving
      g = root[size_t(g)];
    }
    return g;
  };
  // Joins g with every later position of cell c within the tolerance. Each pair is tested
  // once, from its lower group: the partner's neighbourhood covers g's cell just as g's
  // covers the partner's.
  auto scanCell = [&](int32_t g, const Vector& p, int32_t c) {
    for (int32_t k = cellStart[size_t(c)]; k < cellStart[size_t(c) + 1]; ++k) {
      const int32_t other = members[size_t(k)];
      if (other <= g) continue;
      const Vector d = positions[size_t(k)] - p;
      if (dot(d, d) > limit2) continue;
      const int32_t a = find(g), b = find(other);
      if (a < b) {
        root[size_t(b)] = a;
      } else if (b < a) {
        root[size_t(a)] = b;
      }
    }
  };
  struct Probe {
    CellKey key;
    uint64_t hash;
    int32_t group;
  };
  constexpr size_t kBatch = 16;
  std::vector<Probe> probes;
  probes.reserve(kBatch * 27);
  for (size_t start = 0; start < m; start += kBatch) {
    const size_t end = std::min(m, start + kBatch);
    probes.clear();
    for (size_t g = start; g < end; ++g) {
      if (cellOf[g] < 0) continue;
      const Vector& p = points[size_t(first[g])];
      const int64_t x0 = cellCoordinate((p.x - reach) * inverse), x1 = cellCoordinate((p.x + reach) * inverse);
      const int64_t y0 = cellCoordinate((p.y - reach) * inverse), y1 = cellCoordinate((p.y + reach) * inverse);
      const int64_t z0 = cellCoordinate((p.z - reach) * inverse), z1 = cellCoordinate((p.z + reach) * inverse);
      const CellKey own = keys[size_t(cellOf[g])];
      for (int64_t x = x0; x <= x1; ++x) {
        for (int64_t y = y0; y <= y1; ++y) {
          for (int64_t z = z0; z <= z1; ++z) {
            const CellKey key{x, y, z};
            if (key == own) continue;
            const uint64_t h = hashCell(key);
            __builtin_prefetch(&table[h & mask]);
            probes.push_back({key, h, int32_t(g)});
          }
        }
      }
    }
    for (size_t g = start; g < end; ++g)
      if (cellOf[g] >= 0) scanCell(int32_t(g), points[size_t(first[g])], cellOf[g]);
    for (const Probe& probe : probes) {
      const int32_t c = findCell(probe.key, probe.hash, false);
      if (c >= 0) scanCell(probe.group, points[size_t(first[size_t(probe.group)])], c);
    }
  }
  for (size_t g = 0; g < m; ++g) root[g] = find(int32_t(g));
  return true;
}

// The corners of a polygon after joining, with the corner each came from; neighbouring
// corners on the same point are dropped (around the end too) when `collapse` is set.
struct Corners {
  int32_t point[4];
  int32_t source[4];
  int32_t count = 0;
};

Corners mappedCorners(const CPolygon& polygon, const std::vector<int32_t>& group, bool collapse) {
  const std::array<int32_t, 4> c = cornersOf(polygon);
  const int32_t n = cornerCount(polygon);
  Corners out;
  for (int32_t k = 0; k < n; ++k) {
    const int32_t p = group[size_t(c[size_t(k)])];
    if (collapse && out.count > 0 && out.point[out.count - 1] == p) continue;
    out.point[out.count] = p;
    out.source[out.count] = k;
    ++out.count;
  }
  while (collapse && out.count > 1 && out.point[out.count - 1] == out.point[0]) --out.count;
  return out;
}

}  // namespace

bool optimize(Mesh& mesh, const Container& parameters) {
  const double tolerance = parameters.getReal(kOptimizeTolerance, 0.0);
  const bool joinPoints = parameters.getBool(kOptimizePoints);
  const bool removePolygons = parameters.getBool(kOptimizePolygons);
  const bool removeUnused = parameters.getBool(kOptimizeUnusedPoints);
  if (!(tolerance >= 0.0) || !std::isfinite(tolerance)) return false;

  std::vector<Vector>& points = *mesh.points;
  std::vector<CPolygon>& polygons = *mesh.polygons;
  const size_t polygonCount = polygons.size();

  // group[i]: the position group of point i after joining; first[g]: the point whose
  // coordinates group g keeps. Without joining every point is its own group.
  std::vector<int32_t> group, first;
  if (joinPoints) {
    if (!joinExact(points, group, first)) return false;
    if (tolerance > 0.0) {
      std::vector<int32_t> root;
      if (!joinWithin(points, first, tolerance, root)) return false;
      for (int32_t& g : group) g = root[size_t(g)];
    }
  } else {
    if (!makeScratch(group, points.size()) || !makeScratch(first, points.size())) return false;
    for (size_t i = 0; i < points.size(); ++i) group[i] = first[i] = int32_t(i);
  }
  const size_t groups = first.size();

  // Which groups the remaining polygons use, and which polygons remain.
  std::vector<uint8_t> used;
  if (!makeScratch(used, groups, uint8_t(removeUnused ? 0 : 1))) return false;
  size_t keptPolygons = 0;
  for (const CPolygon& polygon : polygons) {
    const Corners c = mappedCorners(polygon, group, removePolygons);
    if (removePolygons && c.count < 3) continue;
    ++keptPolygons;
    if (removeUnused)
      for (int32_t k = 0; k < c.count; ++k) used[size_t(c.point[k])] = 1;
  }
  // New point numbers, in the order of the points the groups keep.
  std::vector<int32_t> number;
  if (!makeScratch(number, groups, -1)) return false;
  int32_t newPointCount = 0;
  for (size_t g = 0; g < groups; ++g) {
    // A group joined into a lower one has no point of its own any more.
    const bool isRoot = group[size_t(first[g])] == int32_t(g);
    if (isRoot && used[g]) number[g] = newPointCount++;
  }
  std::vector<Vector> newPoints;
  if (!makeScratch(newPoints, size_t(newPointCount))) return false;
  for (size_t g = 0; g < groups; ++g)
    if (number[g] >= 0) newPoints[size_t(number[g])] = points[size_t(first[g])];

  const NgonData* ngons = getNgonData(*mesh.object);
  const bool polygonsRemoved = keptPolygons != polygonCount;
  NgonData newNgons;
  if (ngons && polygonsRemoved) {
    std::vector<int32_t> newIndex;
    if (!makeScratch(newIndex, polygonCount)) return false;
    int32_t next = 0;
    for (size_t i = 0; i < polygonCount; ++i)
      newIndex[i] = mappedCorners(polygons[i], group, true).count < 3 ? -1 : next++;
    newNgons = remapNgons(*ngons, newIndex);
  }

  // Everything is allocated: change the object.
  points.swap(newPoints);
  auto renumber = [&](int32_t point) { return number[size_t(group[size_t(point)])]; };
  if (!removePolygons) {
    for (CPolygon& p : polygons) p = {renumber(p.a), renumber(p.b), renumber(p.c), renumber(p.d)};
    return true;
  }
  size_t out = 0;
  for (size_t i = 0; i < polygonCount; ++i) {
    const Corners c = mappedCorners(polygons[i], group, true);
    if (c.count < 3) continue;
    const CPolygon p = polygons[i];
    if (c.count == cornerCount(p)) {
      // Same corners: only the point numbers change.
      polygons[out] = {renumber(p.a), renumber(p.b), renumber(p.c), renumber(p.d)};
      if (out != i) {
        for (auto* uvws : mesh.uvwTags) (*uvws)[out] = (*uvws)[i];
        for (auto* normals : mesh.normalTags)
          for (size_t k = 0; k < 4; ++k) (*normals)[4 * out + k] = (*normals)[4 * i + k];
      }
    } else {
      // A quadrangle left with three corners becomes a triangle; the fourth slot repeats
      // the third, for the points as for the per-corner data.
      const int32_t s[4] = {c.source[0], c.source[1], c.source[2], c.source[2]};
      polygons[out] = {number[size_t(c.point[0])], number[size_t(c.point[1])], number[size_t(c.point[2])],
                       number[size_t(c.point[2])]};
      for (auto* uvws : mesh.uvwTags) {
        const UVWStruct from = (*uvws)[i];
        UVWStruct& to = (*uvws)[out];
        for (int32_t k = 0; k < 4; ++k) uvwCorner(to, k) = uvwCorner(from, s[k]);
      }
      for (auto* normals : mesh.normalTags) {
        Vector from[4];
        for (size_t k = 0; k < 4; ++k) from[k] = (*normals)[4 * i + k];
        for (size_t k = 0; k < 4; ++k) (*normals)[4 * out + k] = from[size_t(s[k])];
      }
    }
    ++out;
  }
  polygons.resize(out);
  for (auto* uvws : mesh.uvwTags) uvws->resize(out);
  for (auto* normals : mesh.normalTags) normals->resize(4 * out);
  if (ngons && polygonsRemoved) setNgonData(*mesh.object, newNgons);
  return true;
}

}  // namespace host::modeling
