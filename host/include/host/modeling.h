// The host's modelling commands on polygon objects, the phong tag's parameters and the
// n-gon data of polygon objects.
//
// A command works on one polygon object and keeps everything that is stored per point,
// per polygon or per corner in step with the geometry: the points, the polygons, every
// UVW tag (one UVWStruct per polygon), every normal tag (four normals per polygon) and the
// n-gon data. A command either succeeds or leaves the object exactly as it was; it fails
// when the object is no polygon object, when its geometry is inconsistent (a polygon that
// refers to a missing point, a UVW or normal tag of the wrong size), when a parameter is
// out of range or when memory is short. Each command takes time linear in the size of the
// mesh. The caller notifies the object (kMessageUpdate) after a successful command.
//
// Corners: a quadrangle is (a, b, c, d); a triangle has c == d and three corners a, b, c.
// Polygon sides run from each corner to the next one, the last back to a; two polygons
// share an edge when sides of both join the same two points. A surface is consistently
// oriented when every edge shared by two polygons is run in opposite directions by them.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "host/scene.h"
#include "host/values.h"

namespace host {

// ---------------------------------------------------------------------------------------
// Commands

// 227 optimize. Parameters:
//   2076 tolerance (real, >= 0, finite): points are joined when their distance is at most
//        the tolerance; 0 joins only points with equal coordinates (0.0 and -0.0 count as
//        equal, a coordinate that is not a number never equals anything).
//   2077 points (bool): join points. Joining is transitive: when a is within the
//        tolerance of b and b of c, all three become one point even when a and c are
//        farther apart, so a chain of points each close to the next becomes one point.
//        The joined point keeps the position of the lowest-numbered point of its group;
//        the points that remain keep their order.
//   2078 polygons (bool): polygons whose corners, after joining and with repeated
//        neighbouring corners dropped, have fewer than three points are removed; a
//        quadrangle left with three becomes a triangle (its per-corner data moves with
//        the corners).
//   2079 unused points (bool): points that no polygon uses are removed.
constexpr int32_t kCommandOptimize = 227;
constexpr int32_t kOptimizeTolerance = 2076;
constexpr int32_t kOptimizePoints = 2077;
constexpr int32_t kOptimizePolygons = 2078;
constexpr int32_t kOptimizeUnusedPoints = 2079;

// 222 untriangulate: pairs of triangles that share an edge become quadrangles. A pair is
// joined only when both are consistently oriented across the edge, the quadrangle they
// make is convex and every UVW and normal tag holds the same values on both sides of the
// shared edge (so textures and shading never shift). Each triangle is joined at most
// once, across its longest eligible edge, taking triangles in order; the quadrangle
// takes the place of the first of the two, and the shared edge becomes its diagonal a-c.
//   2121 use angle (bool): the two triangles must be coplanar within 2161; off, any bend
//        is accepted.
//   2161 angle (real, radians, 0 to pi): the largest angle between the two planes.
//   2143 n-gons (bool): afterwards, neighbouring polygons that lie in one plane within
//        2161 (measured against the first polygon of the group, whatever 2121 says) and
//        join without a UVW or normal seam are recorded as one n-gon, as long as the
//        group stays one disc with every point on its outline. This replaces the n-gon
//        data; without 2143 the n-gon data follows the renumbered polygons.
constexpr int32_t kCommandUntriangulate = 222;
constexpr int32_t kUntriangulateUseAngle = 2121;
constexpr int32_t kUntriangulateNgons = 2143;
constexpr int32_t kUntriangulateAngle = 2161;

// 217 normals: aligns the orientation of the polygons across shared edges in each
// connected piece of surface (pieces connect through edges that exactly two polygons
// share). A closed piece (every edge shared by exactly two polygons) faces outward, that
// is it encloses a positive volume; an open piece keeps the orientation most of its
// polygons already have (the first polygon's when it is a tie). A reversed polygon
// (a, b, c, d) becomes (a, d, c, b), a triangle (a, b, c) becomes (a, c, b); its UVW
// corners follow, and its stored normals follow and point the other way.
constexpr int32_t kCommandNormals = 217;

// 255 phong: writes per-corner normals into the object's normal tag (made when there is
// none). Around each point, corners of polygons that share a smooth edge share one normal:
// the sum of their unit face normals weighted by the corner angles. An edge is smooth when
// exactly two consistently oriented polygons share it and, with the phong tag's angle
// limit on, the angle between their planes is at most the phong angle. Fails when the
// object has no phong tag. A polygon without area gets zero normals.
constexpr int32_t kCommandPhong = 255;

// Runs a modelling command on one object in the default mode without flags; true on
// success. Unknown commands fail.
bool sendModelingCommand(int32_t command, BaseObject* object, const Container& parameters);

// ---------------------------------------------------------------------------------------
// Phong tag (kTagPhong) parameters. A parameter that is not set reads as the default.

constexpr int32_t kPhongAngleLimit = 1000;  // bool
constexpr int32_t kPhongAngle = 1001;       // real, radians
constexpr bool kPhongAngleLimitDefault = false;
constexpr double kPhongAngleDefault = 0.5235987755982988;  // 30°

// ---------------------------------------------------------------------------------------
// N-gon data: groups of polygons that together form one n-gon. A polygon object keeps
// it in its polygon tag (kTagPolygon), as custom data under kPolygonTagNgons; polygons of
// no group are plain polygons. Saved with the document like any parameter.

constexpr int32_t kCustomNgons = 1017300;
constexpr int32_t kPolygonTagNgons = 1000;

class NgonData : public CustomData {
 public:
  int32_t typeId() const override { return kCustomNgons; }
  std::unique_ptr<CustomData> clone() const override { return std::make_unique<NgonData>(*this); }
  bool equals(const CustomData& other) const override;

  int32_t count() const { return starts.empty() ? 0 : int32_t(starts.size()) - 1; }
  // The polygon indices of n-gon i, in increasing order.
  std::span<const int32_t> ngon(int32_t i) const {
    return {polygons.data() + starts[size_t(i)], size_t(starts[size_t(i) + 1] - starts[size_t(i)])};
  }
  // Appends an n-gon.
  void add(std::span<const int32_t> members);

  // Every n-gon's polygons one n-gon after the other; n-gon i holds
  // polygons[starts[i] .. starts[i + 1]). starts is empty or has count() + 1 entries.
  std::vector<int32_t> polygons;
  std::vector<int32_t> starts;
};

// The object's n-gon data; nullptr when it has none.
const NgonData* getNgonData(const PolygonObject& object);
// Replaces the object's n-gon data; data without n-gons removes it.
void setNgonData(PolygonObject& object, const NgonData& data);

}  // namespace host
