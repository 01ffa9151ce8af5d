#include "scenegen/mesh.h"

#include <cmath>
#include <numbers>

namespace talvo::scenegen {

void LocalMesh::clear() {
  points.clear();
  faceStart.assign(1, 0);
  corners.clear();
  uvs.clear();
  faceShader.clear();
}

int32_t LocalMesh::addPoint(const Vec3& p) {
  points.push_back(p);
  return int32_t(points.size() - 1);
}

void LocalMesh::addFace(int32_t shader, std::span<const int32_t> pointIndices, std::span<const Vec2> uv) {
  corners.insert(corners.end(), pointIndices.begin(), pointIndices.end());
  uvs.insert(uvs.end(), uv.begin(), uv.end());
  faceStart.push_back(int32_t(corners.size()));
  faceShader.push_back(shader);
}

Vec3 Placement::apply(const Vec3& local) const {
  return Transform::from(*this).apply(local);
}

// Rotation about y by the angle after scaling (x mirrored first): the matrix is Ry * S.
Transform Transform::from(const Placement& p) {
  const double sx = (p.mirrored ? -1.0 : 1.0) * p.size[0] / p.baseSize[0];
  const double sy = p.size[2] / p.baseSize[2];
  const double sz = p.size[1] / p.baseSize[1];
  const double a = p.angleDegrees * std::numbers::pi / 180.0;
  const double c = std::cos(a);
  const double s = std::sin(a);
  Transform t;
  t.m = {c * sx, 0, s * sz, 0, sy, 0, -s * sx, 0, c * sz};
  t.t = p.origin;
  return t;
}

int32_t gridCellsFor(int32_t polygons, int32_t triangleEvery) {
  int32_t made = 0;
  int32_t cells = 0;
  while (made < polygons) {
    const bool split =
        triangleEvery > 0 && cells % triangleEvery == triangleEvery - 1 && polygons - made >= 2;
    made += split ? 2 : 1;
    ++cells;
  }
  return cells;
}

void addBox(LocalMesh& mesh, const Vec3& lo, const Vec3& hi, int32_t shader,
            const std::array<int32_t, 3>& divisions, int32_t topTriangleEvery) {
  const double w = hi[0] - lo[0];
  const double h = hi[1] - lo[1];
  const double d = hi[2] - lo[2];
  const auto [nx, ny, nz] = divisions;
  auto face = [&](int32_t columns, int32_t rows, double uLength, double vLength, int32_t triangles,
                  auto pointAt) {
    GridSpec g;
    g.columns = columns;
    g.rows = rows;
    g.shader = shader;
    g.triangleEvery = triangles;
    g.uvSize = {uLength / 100.0, vLength / 100.0};
    addGrid(mesh, g, pointAt);
  };
  // Each face runs (u, v) so that its corners turn counter-clockwise seen from outside.
  face(nz, ny, d, h, 0, [&](double u, double v) { return Vec3{lo[0], lo[1] + v * h, lo[2] + u * d}; });  // -x
  face(ny, nz, h, d, 0, [&](double u, double v) { return Vec3{hi[0], lo[1] + u * h, lo[2] + v * d}; });  // +x
  face(nx, nz, w, d, 0, [&](double u, double v) { return Vec3{lo[0] + u * w, lo[1], lo[2] + v * d}; });  // -y
  face(nz, nx, d, w, topTriangleEvery, [&](double u, double v) {
    return Vec3{lo[0] + v * w, hi[1], lo[2] + u * d};
  });                                                                                                    // +y
  face(ny, nx, h, w, 0, [&](double u, double v) { return Vec3{lo[0] + v * w, lo[1] + u * h, lo[2]}; });  // -z
  face(nx, ny, w, h, 0, [&](double u, double v) { return Vec3{lo[0] + u * w, lo[1] + v * h, hi[2]}; });  // +z
}

void addPrism(LocalMesh& mesh, const Vec3& baseCenter, double radius, double height, int32_t sides,
              int32_t rows, int32_t sideShader, int32_t capShader) {
  const int32_t base = mesh.pointCount();
  for (int32_t i = 0; i <= rows; ++i) {
    for (int32_t j = 0; j < sides; ++j) {
      const double a = 2.0 * std::numbers::pi * j / sides;
      mesh.addPoint({baseCenter[0] + radius * std::cos(a), baseCenter[1] + height * i / rows,
                     baseCenter[2] + radius * std::sin(a)});
    }
  }
  auto at = [&](int32_t i, int32_t j) { return base + i * sides + j % sides; };
  const double around = 2.0 * std::numbers::pi * radius / 100.0 / sides;
  const double up = height / 100.0 / rows;
  for (int32_t i = 0; i < rows; ++i) {
    for (int32_t j = 0; j < sides; ++j) {
      const int32_t q[4] = {at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1)};
      const Vec2 t[4] = {{j * around, i * up},
                         {j * around, (i + 1) * up},
                         {(j + 1) * around, (i + 1) * up},
                         {(j + 1) * around, i * up}};
      mesh.addFace(sideShader, q, t);
    }
  }
  // Caps: the bottom ring in angle order faces down, the top ring reversed faces up.
  std::vector<int32_t> cap(static_cast<size_t>(sides));
  std::vector<Vec2> capUv(static_cast<size_t>(sides));
  const double span = 2.0 * radius / 100.0;
  for (int32_t j = 0; j < sides; ++j) {
    const double a = 2.0 * std::numbers::pi * j / sides;
    cap[size_t(j)] = at(0, j);
    capUv[size_t(j)] = {(0.5 + 0.5 * std::cos(a)) * span, (0.5 + 0.5 * std::sin(a)) * span};
  }
  mesh.addFace(capShader, cap, capUv);
  for (int32_t j = 0; j < sides; ++j) {
    const int32_t k = sides - 1 - j;
    const double a = 2.0 * std::numbers::pi * k / sides;
    cap[size_t(j)] = at(rows, k);
    capUv[size_t(j)] = {(0.5 + 0.5 * std::cos(a)) * span, (0.5 + 0.5 * std::sin(a)) * span};
  }
  mesh.addFace(capShader, cap, capUv);
}

void addArch(LocalMesh& mesh, const Vec3& center, double radius, int32_t segments, int32_t shader) {
  const int32_t c = mesh.addPoint(center);
  for (int32_t k = 0; k <= segments; ++k) {
    const double a = std::numbers::pi * k / segments;
    mesh.addPoint({center[0] + radius * std::cos(a), center[1] + radius * std::sin(a), center[2]});
  }
  const double r = radius / 100.0;
  for (int32_t k = 0; k < segments; ++k) {
    const double a0 = std::numbers::pi * k / segments;
    const double a1 = std::numbers::pi * (k + 1) / segments;
    const int32_t tri[3] = {c, c + 1 + k, c + 2 + k};
    const Vec2 uv[3] = {
        {r, 0}, {r + r * std::cos(a0), r * std::sin(a0)}, {r + r * std::cos(a1), r * std::sin(a1)}};
    mesh.addFace(shader, tri, uv);
  }
}

}  // namespace talvo::scenegen
