// The host's modelling commands on small meshes built in code.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <numeric>
#include <random>
#include <set>

#include "host/app.h"
#include "host/document_file.h"
#include "host/modeling.h"
#include "host/scene.h"

namespace {

using namespace host;

constexpr double kDegree = std::numbers::pi / 180.0;

struct FreeObject {
  void operator()(PolygonObject* o) const {
    BaseObject* b = o;
    BaseObject::free(b);
  }
};
using Mesh = std::unique_ptr<PolygonObject, FreeObject>;

Vector sub(const Vector& a, const Vector& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vector crossOf(const Vector& a, const Vector& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double dotOf(const Vector& a, const Vector& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vector unit(const Vector& a) {
  const double l = std::sqrt(dotOf(a, a));
  return {a.x / l, a.y / l, a.z / l};
}
int cornersIn(const CPolygon& p) { return p.c == p.d ? 3 : 4; }
int32_t cornerOf(const CPolygon& p, int k) { return k == 0 ? p.a : k == 1 ? p.b : k == 2 ? p.c : p.d; }
const Vector& uvwOf(const UVWStruct& u, int k) { return k == 0 ? u.a : k == 1 ? u.b : k == 2 ? u.c : u.d; }

Mesh makeMesh(const std::vector<Vector>& points, const std::vector<CPolygon>& polygons) {
  Mesh mesh(toPolygonObject(BaseObject::alloc(kObjectPolygon)));
  EXPECT_TRUE(mesh->resizeObject(int32_t(points.size()), int32_t(polygons.size())));
  std::copy(points.begin(), points.end(), mesh->getPointW());
  std::copy(polygons.begin(), polygons.end(), mesh->getPolygonW());
  return mesh;
}

std::vector<Vector> pointsOf(const PolygonObject& o) { return {o.getPointR(), o.getPointR() + o.getPointCount()}; }
std::vector<CPolygon> polygonsOf(const PolygonObject& o) {
  return {o.getPolygonR(), o.getPolygonR() + o.getPolygonCount()};
}

// A UVW tag whose coordinates at each corner are the corner point's x and y (plus an
// offset), so that any corner data that does not follow its point shows.
BaseTag* addUvwFromPoints(PolygonObject& o, double offset = 0.0) {
  BaseTag* tag = o.makeTag(kTagUvw);
  for (const CPolygon& p : polygonsOf(o)) {
    UVWStruct u;
    Vector* slots[4] = {&u.a, &u.b, &u.c, &u.d};
    for (int k = 0; k < cornersIn(p); ++k) {
      const Vector& at = o.getPointR()[cornerOf(p, k)];
      *slots[k] = {at.x + offset, at.y + offset, 0.0};
    }
    tag->uvws().push_back(u);
  }
  return tag;
}

// A normal tag holding every polygon's own face normal at its corners.
BaseTag* addFaceNormals(PolygonObject& o) {
  BaseTag* tag = o.makeTag(kTagNormal);
  for (const CPolygon& p : polygonsOf(o)) {
    const Vector* pts = o.getPointR();
    const Vector n = unit(crossOf(sub(pts[p.b], pts[p.a]), sub(pts[p.c], pts[p.a])));
    for (int k = 0; k < 4; ++k) tag->normals().push_back(n);
  }
  return tag;
}

Vector faceNormalOf(const PolygonObject& o, const CPolygon& p) {
  const Vector* pts = o.getPointR();
  Vector sum;
  const int n = cornersIn(p);
  for (int k = 0; k < n; ++k) {
    const Vector& a = pts[cornerOf(p, k)];
    const Vector& b = pts[cornerOf(p, (k + 1) % n)];
    sum.x += (a.y - b.y) * (a.z + b.z);
    sum.y += (a.z - b.z) * (a.x + b.x);
    sum.z += (a.x - b.x) * (a.y + b.y);
  }
  return unit(sum);
}

// Every point, polygon, UVW, normal and n-gon of an object, for before/after checks.
struct Snapshot {
  std::vector<Vector> points;
  std::vector<CPolygon> polygons;
  std::vector<std::vector<UVWStruct>> uvws;
  std::vector<std::vector<Vector>> normals;
  std::vector<int32_t> ngonPolygons, ngonStarts;
  size_t tags = 0;
  friend bool operator==(const Snapshot&, const Snapshot&) = default;
};
Snapshot snapshot(const PolygonObject& o) {
  Snapshot s;
  s.points = pointsOf(o);
  s.polygons = polygonsOf(o);
  for (const BaseTag* t : o.tags()) {
    if (t->getType() == kTagUvw) s.uvws.push_back(t->uvws());
    if (t->getType() == kTagNormal) s.normals.push_back(t->normals());
  }
  if (const NgonData* n = getNgonData(o)) {
    s.ngonPolygons = n->polygons;
    s.ngonStarts = n->starts;
  }
  s.tags = o.tags().size();
  return s;
}

Container optimizeParameters(double tolerance, bool points, bool polygons, bool unused) {
  Container c;
  c.setReal(kOptimizeTolerance, tolerance);
  c.setBool(kOptimizePoints, points);
  c.setBool(kOptimizePolygons, polygons);
  c.setBool(kOptimizeUnusedPoints, unused);
  return c;
}

Container untriangulateParameters(bool useAngle, double angle, bool ngons) {
  Container c;
  c.setBool(kUntriangulateUseAngle, useAngle);
  c.setReal(kUntriangulateAngle, angle);
  c.setBool(kUntriangulateNgons, ngons);
  return c;
}

// The unit cube, each face a quadrangle running counter-clockwise seen from outside.
const std::vector<Vector> kCubePoints = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0},
                                         {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
const std::vector<CPolygon> kCubeQuads = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4},
                                          {3, 7, 6, 2}, {0, 4, 7, 3}, {1, 2, 6, 5}};
const Vector kCubeCentre = {0.5, 0.5, 0.5};

CPolygon reversed(const CPolygon& p) { return p.c == p.d ? CPolygon{p.a, p.c, p.b, p.b} : CPolygon{p.a, p.d, p.c, p.b}; }

std::vector<CPolygon> triangulated(const std::vector<CPolygon>& quads) {
  std::vector<CPolygon> out;
  for (const CPolygon& q : quads) {
    out.push_back({q.a, q.b, q.c, q.c});
    out.push_back({q.a, q.c, q.d, q.d});
  }
  return out;
}

// Every corner its own point, as the polygon builder makes objects.
Mesh unwelded(const std::vector<Vector>& points, const std::vector<CPolygon>& polygons) {
  std::vector<Vector> own;
  std::vector<CPolygon> out;
  for (const CPolygon& p : polygons) {
    int32_t c[4];
    for (int k = 0; k < cornersIn(p); ++k) {
      c[k] = int32_t(own.size());
      own.push_back(points[size_t(cornerOf(p, k))]);
    }
    out.push_back({c[0], c[1], c[2], cornersIn(p) == 3 ? c[2] : c[3]});
  }
  return makeMesh(own, out);
}

class Modeling : public ::testing::Test {
 protected:
  void TearDown() override { app::reset(); }
};

// ---------------------------------------------------------------------------------------
// 227 optimize

TEST_F(Modeling, PointJoinTableOfPairs) {
  const double tiny = std::nextafter(1.0, 2.0);
  const double nan = std::nan("");
  struct Case {
    const char* what;
    Vector a, b;
    double tolerance;
    bool joined;
  };
  const Case cases[] = {
      {"equal", {1, 2, 3}, {1, 2, 3}, 0.0, true},
      {"signed zeros", {0.0, -0.0, 0.0}, {-0.0, 0.0, 0.0}, 0.0, true},
      {"last bit apart", {1.0, 2, 3}, {tiny, 2, 3}, 0.0, false},
      {"not a number", {nan, 0, 0}, {nan, 0, 0}, 0.0, false},
      {"not a number, tolerance", {nan, 0, 0}, {nan, 0, 0}, 1.0, false},
      {"within", {1, 1, 1}, {1.009, 1, 1}, 0.01, true},
      {"exactly the tolerance", {0.5, 0, 0}, {0.75, 0, 0}, 0.25, true},
      {"beyond", {1, 1, 1}, {1.011, 1, 1}, 0.01, false},
      {"diagonal beyond", {0, 0, 0}, {0.006, 0.006, 0.006}, 0.01, false},
      {"either side of zero", {-0.001, -0.001, -0.001}, {0.001, 0.001, 0.001}, 0.01, true},
      {"far from the origin", {1e6, -1e6, 1e6}, {1e6 + 0.004, -1e6 - 0.004, 1e6}, 0.01, true},
      {"huge over a tiny tolerance", {1e300, 1e300, 0}, {1e300, 1e300, 0}, 1e-300, true},
  };
  for (const Case& c : cases) {
    Mesh mesh = makeMesh({c.a, {50, 0, 0}, {0, 50, 0}, c.b}, {{0, 1, 2, 2}, {3, 1, 2, 2}});
    ASSERT_TRUE(sendModelingCommand(kCommandOptimize, mesh.get(), optimizeParameters(c.tolerance, true, false, true)))
        << c.what;
    EXPECT_EQ(mesh->getPointCount(), c.joined ? 3 : 4) << c.what;
    const CPolygon second = mesh->getPolygonR()[1];
    EXPECT_EQ(second.a == mesh->getPolygonR()[0].a, c.joined) << c.what;
    if (c.joined) {
      EXPECT_EQ(std::memcmp(&mesh->getPointR()[0], &c.a, sizeof(Vector)), 0) << c.what;
    }
  }
}

// Brute force: union of every pair within the tolerance, lowest point first.
std::vector<int32_t> referenceJoin(const std::vector<Vector>& points, double tolerance) {
  std::vector<int32_t> root(points.size());
  std::iota(root.begin(), root.end(), 0);
  auto find = [&](int32_t i) {
    while (root[size_t(i)] != i) i = root[size_t(i)];
    return i;
  };
  for (size_t i = 0; i < points.size(); ++i) {
    for (size_t j = i + 1; j < points.size(); ++j) {
      const Vector d = sub(points[j], points[i]);
      const bool equal = points[i].x == points[j].x && points[i].y == points[j].y && points[i].z == points[j].z;
      if (!(equal || (tolerance > 0.0 && dotOf(d, d) <= tolerance * tolerance))) continue;
      const int32_t a = find(int32_t(i)), b = find(int32_t(j));
      root[size_t(std::max(a, b))] = std::min(a, b);
    }
  }
  for (size_t i = 0; i < points.size(); ++i) root[i] = find(int32_t(i));
  return root;
}

TEST_F(Modeling, ToleranceJoinMatchesEveryPairWithinItAcrossCellBorders) {
  // Clusters of points around random centres: pairs inside a cluster fall either side of
  // the tolerance and of every cell border the grid may have, chains included.
  struct Setting {
    double tolerance;
    Vector offset;
  };
  const Setting settings[] = {{0.05, {0, 0, 0}}, {0.01, {-3.3, 7.1, 0.2}}, {0.2, {1000, -1000, 250}}, {0.0, {0, 0, 0}}};
  for (uint32_t seed = 1; seed <= 6; ++seed) {
    for (const Setting& s : settings) {
      std::mt19937 random(seed);
      std::uniform_real_distribution<double> centre(-1.0, 1.0), spread(-1.0, 1.0);
      std::uniform_int_distribution<int> size(1, 6);
      const double radius = std::max(s.tolerance, 0.01) * 1.2;
      std::vector<Vector> points;
      while (points.size() < 900) {
        const Vector c = {centre(random) + s.offset.x, centre(random) + s.offset.y, centre(random) + s.offset.z};
        for (int k = size(random); k > 0; --k) {
          // Some exact repeats as well, as an unwelded mesh has them.
          if (k % 3 == 0 && !points.empty()) {
            points.push_back(points.back());
            continue;
          }
          points.push_back({c.x + radius * spread(random), c.y + radius * spread(random), c.z + radius * spread(random)});
        }
      }
      std::vector<CPolygon> triangles;
      for (int32_t i = 0; i + 2 < int32_t(points.size()); i += 3) triangles.push_back({i, i + 1, i + 2, i + 2});
      const std::vector<int32_t> expected = referenceJoin(points, s.tolerance);
      // New numbers: the roots in point order.
      std::map<int32_t, int32_t> number;
      for (int32_t r : expected) number.emplace(r, 0);
      int32_t next = 0;
      for (auto& [r, n] : number) n = next++;

      Mesh mesh = makeMesh(points, triangles);
      ASSERT_TRUE(
          sendModelingCommand(kCommandOptimize, mesh.get(), optimizeParameters(s.tolerance, true, false, false)));
      ASSERT_EQ(mesh->getPointCount(), int32_t(number.size())) << "seed " << seed << " tolerance " << s.tolerance;
      for (const auto& [r, n] : number) EXPECT_EQ(mesh->getPointR()[n], points[size_t(r)]);
      for (size_t t = 0; t < triangles.size(); ++t) {
        const CPolygon& p = mesh->getPolygonR()[t];
        EXPECT_EQ(p.a, number[expected[size_t(triangles[t].a)]]);
        EXPECT_EQ(p.b, number[expected[size_t(triangles[t].b)]]);
        EXPECT_EQ(p.c, number[expected[size_t(triangles[t].c)]]);
      }
    }
  }
}

TEST_F(Modeling, AChainOfNearPointsBecomesOnePointAtTheLowestNumberedOne) {
  // Neighbours 0.6 tolerances apart, so the ends are 1.8 tolerances apart; listed out of
  // order so that the lowest-numbered point sits in the middle of the chain.
  const double t = 0.1;
  Mesh mesh = makeMesh({{0.12, 0, 0}, {0.0, 0, 0}, {0.18, 0, 0}, {0.06, 0, 0}, {0.5, 0, 0}}, {});
  ASSERT_TRUE(sendModelingCommand(kCommandOptimize, mesh.get(), optimizeParameters(t, true, false, false)));
  EXPECT_EQ(pointsOf(*mesh), (std::vector<Vector>{{0.12, 0, 0}, {0.5, 0, 0}}));
}

TEST_F(Modeling, RemovalsKeepUvwAndNormalsInStep) {
  // 0: a quadrangle that stays; 1: a triangle whose points 4 and 5 coincide; 2: a
  // quadrangle whose corners 6 and 7 coincide, left with three; point 10 is unused.
  const std::vector<Vector> points = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {5, 0, 0}, {5, 0, 0},
                                      {5, 1, 0}, {5, 1, 0}, {6, 1, 0}, {6, 0, 0}, {9, 9, 9}};
  const std::vector<CPolygon> polygons = {{0, 1, 2, 3}, {4, 5, 6, 6}, {9, 8, 7, 6}};
  struct Case {
    bool points, polygons, unused;
    int32_t pointCount, polygonCount;
  };
  const Case cases[] = {
      {true, true, true, 7, 2},   {true, false, true, 8, 3},   {true, true, false, 9, 2},
      {false, false, true, 10, 3}, {false, true, true, 10, 3}, {false, false, false, 11, 3},
  };
  for (const Case& c : cases) {
    Mesh mesh = makeMesh(points, polygons);
    addUvwFromPoints(*mesh, 0.25);
    addFaceNormals(*mesh);
    const Snapshot before = snapshot(*mesh);
    ASSERT_TRUE(sendModelingCommand(kCommandOptimize, mesh.get(), optimizeParameters(0.0, c.points, c.polygons, c.unused)));
    const Snapshot after = snapshot(*mesh);
    SCOPED_TRACE(testing::Message() << c.points << c.polygons << c.unused);
    EXPECT_EQ(mesh->getPointCount(), c.pointCount);
    ASSERT_EQ(mesh->getPolygonCount(), c.polygonCount);
    ASSERT_EQ(after.uvws[0].size(), size_t(c.polygonCount));
    ASSERT_EQ(after.normals[0].size(), 4 * size_t(c.polygonCount));
    // Each remaining corner still sits on the point its UVW was made from.
    for (const CPolygon& p : after.polygons) {
      const size_t i = size_t(&p - after.polygons.data());
      for (int k = 0; k < cornersIn(p); ++k) {
        const Vector& at = after.points[size_t(cornerOf(p, k))];
        EXPECT_EQ(uvwOf(after.uvws[0][i], k), (Vector{at.x + 0.25, at.y + 0.25, 0.0})) << i << " " << k;
      }
    }
    if (c.polygons && c.points) {
      // The third polygon became the triangle (9, 8, 7) with the data of its first three
      // corners, the fourth slot repeating the third.
      const CPolygon tri = after.polygons[1];
      EXPECT_TRUE(tri.isTriangle());
      EXPECT_EQ(after.uvws[0][1].d, after.uvws[0][1].c);
      for (int k = 0; k < 4; ++k) EXPECT_EQ(after.normals[0][4 + size_t(k)], before.normals[0][8 + size_t(std::min(k, 2))]);
    }
  }
}

TEST_F(Modeling, ExactMergeOfTheUnweldedBuilderOutput) {
  // Two triangles sharing an edge: 6 points before, 4 after.
  Mesh mesh = unwelded({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{0, 1, 2, 2}, {0, 2, 3, 3}});
  addUvwFromPoints(*mesh);
  const std::vector<UVWStruct> uvws = mesh->getTag(kTagUvw)->uvws();
  ASSERT_EQ(mesh->getPointCount(), 6);
  ASSERT_TRUE(sendModelingCommand(kCommandOptimize, mesh.get(), optimizeParameters(0.0, true, false, true)));
  EXPECT_EQ(mesh->getPointCount(), 4);
  EXPECT_EQ(polygonsOf(*mesh), (std::vector<CPolygon>{{0, 1, 2, 2}, {0, 2, 3, 3}}));
  EXPECT_EQ(mesh->getTag(kTagUvw)->uvws(), uvws);
}

// ---------------------------------------------------------------------------------------
// 222 untriangulate

// The unit square as two triangles sharing the diagonal 0-2; point 3 lifted by `lift`
// bends the second triangle about that diagonal.
Mesh squarePair(double lift = 0.0) {
  return makeMesh({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, lift}}, {{0, 1, 2, 2}, {0, 2, 3, 3}});
}

TEST_F(Modeling, UntriangulateJoinsCoplanarPairsOnly) {
  struct Case {
    const char* what;
    double lift;
    bool useAngle;
    double angle;
    int32_t polygons;
  };
  const Case cases[] = {
      {"flat", 0.0, true, 0.1 * kDegree, 1},
      {"flat, angle 0", 0.0, true, 0.0, 1},
      {"bent 16 degrees", 0.2, true, 0.1 * kDegree, 2},
      {"bent within a wide angle", 0.2, true, 20 * kDegree, 1},
      {"bent, angle not used", 0.2, false, 0.1 * kDegree, 1},
  };
  for (const Case& c : cases) {
    Mesh mesh = squarePair(c.lift);
    addUvwFromPoints(*mesh);
    ASSERT_TRUE(sendModelingCommand(kCommandUntriangulate, mesh.get(),
                                    untriangulateParameters(c.useAngle, c.angle, false)))
        << c.what;
    ASSERT_EQ(mesh->getPolygonCount(), c.polygons) << c.what;
    if (c.polygons == 1) {
      // The shared edge 0-2 is the diagonal a-c; the orientation is the triangles'.
      EXPECT_EQ(mesh->getPolygonR()[0], (CPolygon{2, 3, 0, 1})) << c.what;
      const UVWStruct& u = mesh->getTag(kTagUvw)->uvws()[0];
      EXPECT_EQ(u, (UVWStruct{{1, 1, 0}, {0, 1, 0}, {0, 0, 0}, {1, 0, 0}})) << c.what;
    }
  }
}

TEST_F(Modeling, UntriangulateRefusesSeamsAndConcaveQuadrangles) {
  {
    // The second triangle's texture is shifted along the shared edge.
    Mesh mesh = squarePair();
    BaseTag* uvw = addUvwFromPoints(*mesh);
    uvw->uvws()[1].a = {0.5, 0.0, 0.0};
    ASSERT_TRUE(sendModelingCommand(kCommandUntriangulate, mesh.get(), untriangulateParameters(true, 0.1, false)));
    EXPECT_EQ(mesh->getPolygonCount(), 2);
  }
  {
    // A differing normal along the edge is a shading seam.
    Mesh mesh = squarePair();
    BaseTag* normals = addFaceNormals(*mesh);
    normals->normals()[4] = {0, 0.6, 0.8};
    ASSERT_TRUE(sendModelingCommand(kCommandUntriangulate, mesh.get(), untriangulateParameters(true, 0.1, false)));
    EXPECT_EQ(mesh->getPolygonCount(), 2);
  }
  {
    // Flat, but together the two would bend inward at point 2.
    Mesh mesh = makeMesh({{0, 0, 0}, {2, 0, 0}, {1, 0.2, 0}, {0.9, 1, 0}}, {{0, 1, 2, 2}, {0, 2, 3, 3}});
    ASSERT_TRUE(sendModelingCommand(kCommandUntriangulate, mesh.get(), untriangulateParameters(true, 0.1, false)));
    EXPECT_EQ(mesh->getPolygonCount(), 2);
  }
  {
    // Oriented against each other across the shared edge.
    Mesh mesh = makeMesh({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{0, 1, 2, 2}, {0, 3, 2, 2}});
    ASSERT_TRUE(sendModelingCommand(kCommandUntriangulate, mesh.get(), untriangulateParameters(false, 0.0, false)));
    EXPECT_EQ(mesh->getPolygonCount(), 2);
  }
}

TEST_F(Modeling, UntriangulateJoinsEachTriangleAcrossItsLongestEdge) {
  // Two unit squares side by side, each split along its diagonal: the triangles also
  // make a convex quadrangle across the short edge 1-4, but the diagonals win.
  const std::vector<Vector> points = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {0, 1, 0}, {1, 1, 0}, {2, 1, 0}};
  Mesh mesh = makeMesh(points, {{0, 1, 4, 4}, {0, 4, 3, 3}, {1, 2, 5, 5}, {1, 5, 4, 4}});
  addUvwFromPoints(*mesh);
  addFaceNormals(*mesh);
  ASSERT_TRUE(sendModelingCommand(kCommandUntriangulate, mesh.get(), untriangulateParameters(true, 0.1, false)));
  const std::vector<CPolygon> quads = polygonsOf(*mesh);
  ASSERT_EQ(quads.size(), 2u);
  EXPECT_EQ(std::set<int32_t>({quads[0].a, quads[0].b, quads[0].c, quads[0].d}), (std::set<int32_t>{0, 1, 3, 4}));
  EXPECT_EQ(std::set<int32_t>({quads[1].a, quads[1].b, quads[1].c, quads[1].d}), (std::set<int32_t>{1, 2, 4, 5}));
  // Tags follow: UVW from the corner points, four normals per polygon.
  const std::vector<UVWStruct>& uvws = mesh->getTag(kTagUvw)->uvws();
  for (size_t i = 0; i < 2; ++i)
    for (int k = 0; k < 4; ++k) {
      const Vector& at = points[size_t(cornerOf(quads[i], k))];
      EXPECT_EQ(uvwOf(uvws[i], k), (Vector{at.x, at.y, 0}));
    }
  EXPECT_EQ(mesh->getTag(kTagNormal)->normals(), std::vector<Vector>(8, Vector{0, 0, 1}));
}

// Checks that each n-gon is one disc with all its points on its outline.
void expectProperNgons(const PolygonObject& o, const NgonData& ngons) {
  for (int32_t i = 0; i < ngons.count(); ++i) {
    std::map<std::pair<int32_t, int32_t>, int> edges;
    std::set<int32_t> points;
    for (int32_t p : ngons.ngon(i)) {
      const CPolygon& q = o.getPolygonR()[p];
      for (int k = 0; k < cornersIn(q); ++k) {
        const int32_t u = cornerOf(q, k), v = cornerOf(q, (k + 1) % cornersIn(q));
        ++edges[{std::min(u, v), std::max(u, v)}];
        points.insert(u);
      }
    }
    std::set<int32_t> outline;
    for (const auto& [e, n] : edges)
      if (n == 1) {
        outline.insert(e.first);
        outline.insert(e.second);
      }
    EXPECT_EQ(outline, points) << "n-gon " << i << " surrounds a point";
    EXPECT_EQ(int64_t(points.size()) - int64_t(edges.size()) + int64_t(ngons.ngon(i).size()), 1)
        << "n-gon " << i << " is no disc";
  }
}

TEST_F(Modeling, UntriangulateRecordsNgonsThatStayDiscs) {
  // A flat hexagon fanned from point 0: two quadrangles, then one n-gon of both.
  std::vector<Vector> hexagon;
  for (int k = 0; k < 6; ++k) hexagon.push_back({std::cos(k * std::numbers::pi / 3), std::sin(k * std::numbers::pi / 3), 0});
  {
    Mesh mesh = makeMesh(hexagon, {{0, 1, 2, 2}, {0, 2, 3, 3}, {0, 3, 4, 4}, {0, 4, 5, 5}});
    ASSERT_TRUE(sendModelingCommand(kCommandUntriangulate, mesh.get(), untriangulateParameters(true, 0.1, true)));
    EXPECT_EQ(mesh->getPolygonCount(), 2);
    const NgonData* ngons = getNgonData(*mesh);
    ASSERT_NE(ngons, nullptr);
    ASSERT_EQ(ngons->count(), 1);
    EXPECT_EQ(std::vector<int32_t>(ngons->ngon(0).begin(), ngons->ngon(0).end()), (std::vector<int32_t>{0, 1}));
    // Without 2143 the n-gon data follows the renumbered polygons.
    ASSERT_TRUE(sendModelingCommand(kCommandUntriangulate, mesh.get(), untriangulateParameters(true, 0.1, false)));
    EXPECT_EQ(getNgonData(*mesh)->count(), 1);
  }
  {
    // The hexagon fanned from a centre point: the three quadrangles would surround it.
    std::vector<Vector> points = hexagon;
    points.push_back({0, 0, 0});
    std::vector<CPolygon> fan;
    for (int32_t k = 0; k < 6; ++k) fan.push_back({6, k, (k + 1) % 6, (k + 1) % 6});
    Mesh mesh = makeMesh(points, fan);
    ASSERT_TRUE(sendModelingCommand(kCommandUntriangulate, mesh.get(), untriangulateParameters(true, 0.1, true)));
    EXPECT_EQ(mesh->getPolygonCount(), 3);
    const NgonData* ngons = getNgonData(*mesh);
    ASSERT_NE(ngons, nullptr);
    EXPECT_EQ(ngons->count(), 1);
    expectProperNgons(*mesh, *ngons);
  }
  {
    // A flat ring of quadrangles round a hole, and a flat 3 x 3 grid with inner points:
    // no n-gon may close round the hole or hold an inner point.
    std::vector<Vector> grid;
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) grid.push_back({double(x), double(y), 0});
    std::vector<CPolygon> all, ring;
    for (int32_t y = 0; y < 3; ++y)
      for (int32_t x = 0; x < 3; ++x) {
        const CPolygon q = {4 * y + x, 4 * y + x + 1, 4 * y + x + 5, 4 * y + x + 4};
        all.push_back(q);
        if (x != 1 || y != 1) ring.push_back(q);
      }
    for (const auto& quads : {all, ring}) {
      Mesh mesh = makeMesh(grid, quads);
      ASSERT_TRUE(sendModelingCommand(kCommandUntriangulate, mesh.get(), untriangulateParameters(true, 0.1, true)));
      const NgonData* ngons = getNgonData(*mesh);
      ASSERT_NE(ngons, nullptr);
      EXPECT_GE(ngons->count(), 1);
      expectProperNgons(*mesh, *ngons);
    }
  }
}

TEST_F(Modeling, NgonDataFollowsRemovedPolygonsAndSurvivesDocumentFiles) {
  Mesh mesh = makeMesh({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {2, 0, 0}, {2, 0, 0}},
                       {{4, 5, 1, 1}, {0, 1, 2, 3}, {1, 4, 2, 2}});
  NgonData data;
  data.add(std::vector<int32_t>{0, 1});
  data.add(std::vector<int32_t>{1, 2});
  setNgonData(*mesh, data);
  ASSERT_TRUE(sendModelingCommand(kCommandOptimize, mesh.get(), optimizeParameters(0.0, true, true, true)));
  ASSERT_EQ(mesh->getPolygonCount(), 2);  // the first polygon had two equal points
  const NgonData* after = getNgonData(*mesh);
  ASSERT_NE(after, nullptr);
  ASSERT_EQ(after->count(), 1);  // {0, 1} lost a polygon and is no n-gon any more
  EXPECT_EQ(std::vector<int32_t>(after->ngon(0).begin(), after->ngon(0).end()), (std::vector<int32_t>{0, 1}));

  BaseDocument* doc = BaseDocument::alloc();
  doc->insertObject(mesh.release(), nullptr, nullptr);
  BaseDocument* loaded = documentFromJson(documentToJson(*doc, true));
  ASSERT_NE(loaded, nullptr);
  const NgonData* reloaded = getNgonData(*toPolygonObject(loaded->getFirstObject()));
  ASSERT_NE(reloaded, nullptr);
  EXPECT_TRUE(reloaded->equals(*getNgonData(*toPolygonObject(doc->getFirstObject()))));
  BaseDocument::free(loaded);
  BaseDocument::free(doc);
}

// ---------------------------------------------------------------------------------------
// 217 normals

TEST_F(Modeling, NormalsCommandTurnsEveryPieceConsistentAndClosedOnesOutward) {
  struct Case {
    const char* what;
    std::vector<int> reversedFaces;
    bool triangles;
  };
  const Case cases[] = {
      {"as made", {}, false},          {"one face", {2}, false}, {"three faces", {0, 3, 4}, false},
      {"inside out", {0, 1, 2, 3, 4, 5}, false}, {"triangles", {1, 4, 5, 7, 10}, true},
  };
  for (const Case& c : cases) {
    std::vector<CPolygon> faces = c.triangles ? triangulated(kCubeQuads) : kCubeQuads;
    for (int f : c.reversedFaces) faces[size_t(f)] = reversed(faces[size_t(f)]);
    Mesh mesh = makeMesh(kCubePoints, faces);
    addUvwFromPoints(*mesh);
    addFaceNormals(*mesh);
    ASSERT_TRUE(sendModelingCommand(kCommandNormals, mesh.get(), Container())) << c.what;
    const Snapshot after = snapshot(*mesh);
    for (size_t i = 0; i < after.polygons.size(); ++i) {
      const CPolygon& p = after.polygons[i];
      const Vector n = faceNormalOf(*mesh, p);
      Vector centre;
      for (int k = 0; k < cornersIn(p); ++k) {
        const Vector& at = kCubePoints[size_t(cornerOf(p, k))];
        centre = {centre.x + at.x / cornersIn(p), centre.y + at.y / cornersIn(p), centre.z + at.z / cornersIn(p)};
        // The UVW corners moved with their points; the stored normals turned with the face.
        EXPECT_EQ(uvwOf(after.uvws[0][i], k), (Vector{at.x, at.y, 0})) << c.what;
        EXPECT_GT(dotOf(after.normals[0][4 * i + size_t(k)], n), 0.99) << c.what;
      }
      EXPECT_GT(dotOf(n, sub(centre, kCubeCentre)), 0.0) << c.what << ": polygon " << i << " faces inward";
    }
    if (c.reversedFaces.empty()) {
      EXPECT_EQ(after.polygons, faces);
    }
  }
}

TEST_F(Modeling, NormalsCommandKeepsTheMajorityOfAnOpenPiece) {
  // A strip of three quadrangles facing +z, with one of them reversed; the first of them
  // (where the walk starts) or the middle one.
  for (int reversedOne : {0, 1}) {
    std::vector<CPolygon> strip = {{0, 1, 5, 4}, {1, 2, 6, 5}, {2, 3, 7, 6}};
    strip[size_t(reversedOne)] = reversed(strip[size_t(reversedOne)]);
    std::vector<Vector> points;
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 4; ++x) points.push_back({double(x), double(y), 0});
    Mesh mesh = makeMesh(points, strip);
    ASSERT_TRUE(sendModelingCommand(kCommandNormals, mesh.get(), Container()));
    for (const CPolygon& p : polygonsOf(*mesh)) EXPECT_GT(faceNormalOf(*mesh, p).z, 0.99) << reversedOne;
  }
}

// ---------------------------------------------------------------------------------------
// 255 phong

TEST_F(Modeling, PhongNormalsOfACube) {
  const double s = 1.0 / std::sqrt(3.0);
  struct Case {
    const char* what;
    bool triangles, unwelded, limit;
    double angle;
    bool smooth;  // corners share the vertex normal, else each keeps its face normal
  };
  const Case cases[] = {
      {"30 degree limit", false, false, true, 30 * kDegree, false},
      {"triangles, 30 degree limit", true, false, true, 30 * kDegree, false},
      {"no limit", false, false, false, 0.0, true},
      {"100 degree limit", false, false, true, 100 * kDegree, true},
      {"unwelded, no limit", false, true, false, 0.0, false},
  };
  for (const Case& c : cases) {
    const std::vector<CPolygon> faces = c.triangles ? triangulated(kCubeQuads) : kCubeQuads;
    Mesh mesh = c.unwelded ? unwelded(kCubePoints, faces) : makeMesh(kCubePoints, faces);
    Container& phong = mesh->makeTag(kTagPhong)->getDataInstance();
    phong.setBool(kPhongAngleLimit, c.limit);
    phong.setReal(kPhongAngle, c.angle);
    ASSERT_TRUE(sendModelingCommand(kCommandPhong, mesh.get(), Container())) << c.what;
    const BaseTag* tag = mesh->getTag(kTagNormal);
    ASSERT_NE(tag, nullptr);
    ASSERT_EQ(tag->normals().size(), 4 * size_t(mesh->getPolygonCount()));
    for (int32_t i = 0; i < mesh->getPolygonCount(); ++i) {
      const CPolygon& p = mesh->getPolygonR()[i];
      const Vector face = faceNormalOf(*mesh, p);
      for (int k = 0; k < 4; ++k) {
        const Vector& at = mesh->getPointR()[cornerOf(p, k)];
        const Vector expected =
            c.smooth ? Vector{(at.x - 0.5) * 2 * s, (at.y - 0.5) * 2 * s, (at.z - 0.5) * 2 * s} : face;
        const Vector& got = tag->normals()[4 * size_t(i) + size_t(k)];
        EXPECT_NEAR(got.x, expected.x, 1e-12) << c.what << " " << i << " " << k;
        EXPECT_NEAR(got.y, expected.y, 1e-12) << c.what << " " << i << " " << k;
        EXPECT_NEAR(got.z, expected.z, 1e-12) << c.what << " " << i << " " << k;
      }
    }
  }
  // Without a phong tag there is nothing to compute with.
  Mesh bare = makeMesh(kCubePoints, kCubeQuads);
  EXPECT_FALSE(sendModelingCommand(kCommandPhong, bare.get(), Container()));
  EXPECT_EQ(bare->getTag(kTagNormal), nullptr);
}

// ---------------------------------------------------------------------------------------
// Failures

TEST_F(Modeling, BadInputFailsAndChangesNothing) {
  auto fresh = [] {
    Mesh mesh = makeMesh(kCubePoints, kCubeQuads);
    addUvwFromPoints(*mesh);
    mesh->makeTag(kTagPhong);
    return mesh;
  };
  struct Case {
    const char* what;
    int32_t command;
    Container parameters;
    std::function<void(PolygonObject&)> spoil;  // makes the fixture bad
  };
  const Case cases[] = {
      {"point index past the end", kCommandOptimize, optimizeParameters(0, true, true, true),
       [](PolygonObject& o) { o.getPolygonW()[2].c = 8; }},
      {"negative point index", kCommandNormals, Container(), [](PolygonObject& o) { o.getPolygonW()[0].a = -1; }},
      {"UVW tag short", kCommandUntriangulate, untriangulateParameters(true, 0.1, false),
       [](PolygonObject& o) { o.getTag(kTagUvw)->uvws().pop_back(); }},
      {"normal tag short", kCommandPhong, Container(),
       [](PolygonObject& o) { o.makeTag(kTagNormal)->normals().resize(3); }},
      {"negative tolerance", kCommandOptimize, optimizeParameters(-0.1, true, true, true), [](PolygonObject&) {}},
      {"tolerance not a number", kCommandOptimize, optimizeParameters(std::nan(""), true, true, true),
       [](PolygonObject&) {}},
      {"angle beyond pi", kCommandUntriangulate, untriangulateParameters(true, 4.0, false), [](PolygonObject&) {}},
      {"unknown command", 12345, Container(), [](PolygonObject&) {}},
  };
  for (const Case& c : cases) {
    Mesh mesh = fresh();
    c.spoil(*mesh);
    const Snapshot before = snapshot(*mesh);
    EXPECT_FALSE(sendModelingCommand(c.command, mesh.get(), c.parameters)) << c.what;
    EXPECT_TRUE(snapshot(*mesh) == before) << c.what;
  }
  BaseObject* null = BaseObject::alloc(kObjectNull);
  EXPECT_FALSE(sendModelingCommand(kCommandOptimize, null, optimizeParameters(0, true, true, true)));
  EXPECT_FALSE(sendModelingCommand(kCommandOptimize, nullptr, optimizeParameters(0, true, true, true)));
  BaseObject::free(null);
}

TEST_F(Modeling, EveryAllocationFailureLeavesTheObjectAsItWas) {
  struct Case {
    const char* what;
    int32_t command;
    Container parameters;
  };
  const Case cases[] = {
      {"exact optimize", kCommandOptimize, optimizeParameters(0.0, true, true, true)},
      {"tolerance optimize", kCommandOptimize, optimizeParameters(0.3, true, true, true)},
      {"untriangulate with n-gons", kCommandUntriangulate, untriangulateParameters(true, 0.1, true)},
      {"normals", kCommandNormals, Container()},
      {"phong", kCommandPhong, Container()},
  };
  for (const Case& c : cases) {
    int64_t failing = 1;
    for (;; ++failing) {
      ASSERT_LT(failing, 100) << c.what << " never succeeds";
      Mesh mesh = unwelded(kCubePoints, triangulated(kCubeQuads));
      if (c.command != kCommandOptimize) {
        ASSERT_TRUE(sendModelingCommand(kCommandOptimize, mesh.get(), optimizeParameters(0.0, true, true, true)));
      }
      mesh->getPolygonW()[3] = reversed(mesh->getPolygonR()[3]);
      addUvwFromPoints(*mesh);
      addFaceNormals(*mesh);
      mesh->makeTag(kTagPhong);
      NgonData ngons;
      ngons.add(std::vector<int32_t>{0, 1});
      setNgonData(*mesh, ngons);
      const Snapshot before = snapshot(*mesh);
      app::failAllocationAt(failing);
      const bool ok = sendModelingCommand(c.command, mesh.get(), c.parameters);
      app::failAllocationAt(0);
      if (ok) {
        EXPECT_FALSE(snapshot(*mesh) == before) << c.what;
        break;
      }
      EXPECT_TRUE(snapshot(*mesh) == before) << c.what << ", allocation " << failing;
    }
    EXPECT_GT(failing, 1) << c.what << " allocates no scratch";
  }
}

}  // namespace
