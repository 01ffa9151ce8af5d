// Small mesh building blocks shared by the example and the benchmark scene.
//
// Axes are those of the scene file's points: x and z horizontal, y up. Lengths are in
// centimetres, UV coordinates in metres of surface (one texture tile per metre).

#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "support/scene_writer.h"

namespace talvo::scenegen {

using testsupport::Vec2;
using testsupport::Vec3;

// Points and polygons of one element, with one (u, v) per polygon corner. Point indices are
// local to the mesh.
struct LocalMesh {
  std::vector<Vec3> points;
  std::vector<int32_t> faceStart;  // first corner of each face; one extra entry at the end
  std::vector<int32_t> corners;    // point index of each corner
  std::vector<Vec2> uvs;           // one per corner
  std::vector<int32_t> faceShader;

  LocalMesh() { faceStart.push_back(0); }
  void clear();
  int32_t addPoint(const Vec3& p);
  // Adds a face over the given points with the given corner UVs (same length).
  void addFace(int32_t shader, std::span<const int32_t> pointIndices, std::span<const Vec2> uv);
  int32_t faceCount() const { return int32_t(faceShader.size()); }
  int32_t pointCount() const { return int32_t(points.size()); }
  std::span<const int32_t> faceCorners(int32_t f) const {
    return {corners.data() + faceStart[f], size_t(faceStart[f + 1] - faceStart[f])};
  }
  std::span<const Vec2> faceUvs(int32_t f) const {
    return {uvs.data() + faceStart[f], size_t(faceStart[f + 1] - faceStart[f])};
  }
};

// Where a library part sits: world = origin + Ry(angle) * scale * (mirror in x) * local.
// scale comes from size / baseSize as the element record holds them (index 2 is the height,
// index 1 the horizontal depth along z).
struct Placement {
  Vec3 origin{};
  double angleDegrees = 0.0;
  Vec3 size{1, 1, 1};
  Vec3 baseSize{1, 1, 1};
  bool mirrored = false;

  Vec3 apply(const Vec3& local) const;
};

// A Placement reduced to a matrix, for transforming many points.
struct Transform {
  std::array<double, 9> m{1, 0, 0, 0, 1, 0, 0, 0, 1};  // row-major
  Vec3 t{};

  static Transform from(const Placement& p);
  Vec3 apply(const Vec3& v) const {
    return {m[0] * v[0] + m[1] * v[1] + m[2] * v[2] + t[0], m[3] * v[0] + m[4] * v[1] + m[5] * v[2] + t[1],
            m[6] * v[0] + m[7] * v[1] + m[8] * v[2] + t[2]};
  }
};

// A grid of quadrangle cells over the parametric square, filled row by row. pointAt maps
// (u, v) in [0, 1]^2 to a position; uvSize is the surface size in metres for the UVs.
struct GridSpec {
  int32_t columns = 1;
  int32_t rows = 1;           // used only without polygonLimit
  int32_t polygonLimit = -1;  // exactly this many faces, in as many rows as needed; the last
                              // row may stay partial
  bool wrap = false;          // column `columns` is column 0 again (a closed ring)
  int32_t triangleEvery = 0;  // every n-th cell is split into two triangles (0: none)
  int32_t shader = 0;
  Vec2 uvSize{1, 1};
};

// Number of cells a grid uses to make `polygons` faces with the given triangle pattern.
int32_t gridCellsFor(int32_t polygons, int32_t triangleEvery);

template <class PointAt>
void addGrid(LocalMesh& mesh, const GridSpec& g, PointAt pointAt);

// Axis-aligned box from lo to hi; each face is a grid of `divisions` cells along its edges
// (x, y, z). topTriangleEvery splits cells of the top face into triangles.
void addBox(LocalMesh& mesh, const Vec3& lo, const Vec3& hi, int32_t shader,
            const std::array<int32_t, 3>& divisions = {1, 1, 1}, int32_t topTriangleEvery = 0);

// Upright prism with regular `sides`-gon caps (two n-gons) and `rows` rings of side quads.
void addPrism(LocalMesh& mesh, const Vec3& baseCenter, double radius, double height, int32_t sides,
              int32_t rows, int32_t sideShader, int32_t capShader);

// Half-disc of triangles in the x-y plane at depth z, standing on its diameter.
void addArch(LocalMesh& mesh, const Vec3& center, double radius, int32_t segments, int32_t shader);

// ---- template implementation ----

template <class PointAt>
void addGrid(LocalMesh& mesh, const GridSpec& g, PointAt pointAt) {
  const int32_t fullCells = g.columns * g.rows;
  const int32_t cells = g.polygonLimit < 0 ? fullCells : gridCellsFor(g.polygonLimit, g.triangleEvery);
  if (cells <= 0 || g.columns <= 0) return;
  const int32_t rowsUsed = (cells + g.columns - 1) / g.columns;
  const int32_t fullRows = cells / g.columns;
  const int32_t partial = cells % g.columns;
  // A grid shorter than one row is an open strip of `cells` columns.
  const bool wrap = g.wrap && fullRows > 0;
  const int32_t columns = fullRows > 0 ? g.columns : cells;
  const int32_t perRow = wrap ? columns : columns + 1;
  const int32_t base = mesh.pointCount();

  // Point rows 0..fullRows are complete; a partial last row of cells adds only partial + 1
  // points above it, so every point is used.
  const int32_t completeRows = fullRows > 0 ? fullRows : 1;
  for (int32_t i = 0; i <= completeRows; ++i) {
    for (int32_t j = 0; j < perRow; ++j) mesh.addPoint(pointAt(double(j) / g.columns, double(i) / rowsUsed));
  }
  if (fullRows > 0 && partial > 0) {
    for (int32_t j = 0; j <= partial; ++j)
      mesh.addPoint(pointAt(double(j) / g.columns, double(fullRows + 1) / rowsUsed));
  }

  auto index = [&](int32_t i, int32_t j) { return base + i * perRow + (wrap ? j % columns : j); };
  const double du = g.uvSize[0] / g.columns;
  const double dv = g.uvSize[1] / rowsUsed;
  int32_t made = 0;
  for (int32_t k = 0; k < cells; ++k) {
    const int32_t i = k / columns;
    const int32_t j = k % columns;
    const int32_t q[4] = {index(i, j), index(i, j + 1), index(i + 1, j + 1), index(i + 1, j)};
    const Vec2 t[4] = {
        {j * du, i * dv}, {(j + 1) * du, i * dv}, {(j + 1) * du, (i + 1) * dv}, {j * du, (i + 1) * dv}};
    const int32_t left = g.polygonLimit < 0 ? 2 : g.polygonLimit - made;
    if (g.triangleEvery > 0 && k % g.triangleEvery == g.triangleEvery - 1 && left >= 2) {
      const int32_t a[3] = {q[0], q[1], q[2]};
      const Vec2 ta[3] = {t[0], t[1], t[2]};
      const int32_t b[3] = {q[0], q[2], q[3]};
      const Vec2 tb[3] = {t[0], t[2], t[3]};
      mesh.addFace(g.shader, a, ta);
      mesh.addFace(g.shader, b, tb);
      made += 2;
    } else {
      mesh.addFace(g.shader, q, t);
      made += 1;
    }
  }
}

}  // namespace talvo::scenegen
