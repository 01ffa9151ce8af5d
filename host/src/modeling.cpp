#include "host/modeling.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <numbers>

#include "modeling_mesh.h"
#include "state.h"
#include "value_json.h"

namespace host {
namespace {

// N-gon data in document files: {"custom": 1017300, "polygons": [...], "starts": [...]}.
const bool kNgonJsonRegistered = [] {
  registerCustomJson(
      kCustomNgons,
      {[](const CustomData& d) {
         const auto& n = static_cast<const NgonData&>(d);
         return Json{{"polygons", n.polygons}, {"starts", n.starts}};
       },
       [](const Json& j) -> std::unique_ptr<CustomData> {
         auto readInts = [](const Json& a, std::vector<int32_t>& out) {
           if (!a.is_array()) return false;
           for (const Json& v : a) {
             if (!v.is_number_integer()) return false;
             const int64_t x = v.get<int64_t>();
             if (x < 0 || x > INT32_MAX) return false;
             out.push_back(int32_t(x));
           }
           return true;
         };
         auto data = std::make_unique<NgonData>();
         if (!j.contains("polygons") || !j.contains("starts") || !readInts(j["polygons"], data->polygons) ||
             !readInts(j["starts"], data->starts))
           return nullptr;
         // starts must run from 0 to the end of polygons without going back.
         const auto& s = data->starts;
         if (!s.empty() && (s.front() != 0 || size_t(s.back()) != data->polygons.size() ||
                            !std::is_sorted(s.begin(), s.end())))
           return nullptr;
         if (s.empty() && !data->polygons.empty()) return nullptr;
         return data;
       }});
  return true;
}();

}  // namespace

bool NgonData::equals(const CustomData& other) const {
  const auto& o = static_cast<const NgonData&>(other);
  return polygons == o.polygons && starts == o.starts;
}

void NgonData::add(std::span<const int32_t> members) {
  if (starts.empty()) starts.push_back(0);
  polygons.insert(polygons.end(), members.begin(), members.end());
  starts.push_back(int32_t(polygons.size()));
}

const NgonData* getNgonData(const PolygonObject& object) {
  const BaseTag* tag = object.getTag(kTagPolygon);
  const HostValue* value = tag ? tag->getData().getValue(kPolygonTagNgons) : nullptr;
  return value ? dynamic_cast<const NgonData*>(value->getCustom()) : nullptr;
}

void setNgonData(PolygonObject& object, const NgonData& data) {
  BaseTag* tag = object.getTag(kTagPolygon);
  if (!tag) return;
  if (data.count() == 0) {
    tag->getDataInstance().remove(kPolygonTagNgons);
  } else {
    tag->getDataInstance().setValue(kPolygonTagNgons, HostValue::custom(data.clone()));
  }
}

bool sendModelingCommand(int32_t command, BaseObject* object, const Container& parameters) {
  (void)kNgonJsonRegistered;
  PolygonObject* polygonObject = toPolygonObject(object);
  if (!polygonObject) return false;
  modeling::Mesh mesh;
  if (!modeling::openMesh(*polygonObject, mesh)) return false;
  try {
    switch (command) {
      case kCommandOptimize: return modeling::optimize(mesh, parameters);
      case kCommandUntriangulate: return modeling::untriangulate(mesh, parameters);
      case kCommandNormals: return modeling::alignNormals(mesh);
      case kCommandPhong: return modeling::phongNormals(mesh);
      default: return false;
    }
  } catch (const std::bad_alloc&) {
    // Every command allocates its scratch before it changes the object.
    return false;
  }
}

namespace modeling {

bool scratchAllowed() { return allocationAllowed(); }

bool openMesh(PolygonObject& object, Mesh& out) {
  BaseTag* pointTag = object.getTag(kTagPoint);
  BaseTag* polygonTag = object.getTag(kTagPolygon);
  if (!pointTag || !polygonTag) return false;
  out.object = &object;
  out.points = &pointTag->points();
  out.polygons = &polygonTag->polygons();
  const size_t pointCount = out.points->size();
  const size_t polygonCount = out.polygons->size();
  if (pointCount > size_t(INT32_MAX) || polygonCount > size_t(INT32_MAX / 4)) return false;
  for (const CPolygon& p : *out.polygons) {
    // One unsigned comparison per corner covers negative indices too.
    if (uint32_t(p.a) >= pointCount || uint32_t(p.b) >= pointCount || uint32_t(p.c) >= pointCount ||
        uint32_t(p.d) >= pointCount)
      return false;
  }
  for (BaseTag* tag : object.tags()) {
    if (tag->getType() == kTagUvw) {
      if (tag->uvws().size() != polygonCount) return false;
      out.uvwTags.push_back(&tag->uvws());
    } else if (tag->getType() == kTagNormal) {
      if (tag->normals().size() != 4 * polygonCount) return false;
      out.normalTags.push_back(&tag->normals());
    }
  }
  if (const NgonData* ngons = getNgonData(object)) {
    for (int32_t p : ngons->polygons)
      if (uint32_t(p) >= polygonCount) return false;
  }
  return true;
}

Vector faceNormal(const std::vector<Vector>& points, const CPolygon& polygon) {
  const std::array<int32_t, 4> c = cornersOf(polygon);
  const int32_t n = cornerCount(polygon);
  // Newell's sum, taken relative to the first corner for precision far from the origin.
  const Vector& origin = points[size_t(c[0])];
  Vector sum;
  for (int32_t k = 0; k < n; ++k) {
    const Vector p = points[size_t(c[size_t(k)])] - origin;
    const Vector q = points[size_t(c[size_t((k + 1) % n)])] - origin;
    sum.x += (p.y - q.y) * (p.z + q.z);
    sum.y += (p.z - q.z) * (p.x + q.x);
    sum.z += (p.x - q.x) * (p.y + q.y);
  }
  return normalized(sum);
}

bool withinAngle(const Vector& n1, const Vector& n2, double angle) {
  if (dot(n1, n1) == 0.0 || dot(n2, n2) == 0.0) return false;
  return dot(n1, n2) >= std::cos(std::clamp(angle, 0.0, std::numbers::pi)) - 1e-12;
}

bool EdgeMap::build(const std::vector<CPolygon>& polygons, int32_t pointCount) {
  const size_t halfCount = 4 * polygons.size();
  // Half-edges sorted by their lower point (a counting sort), then, for each lower point,
  // numbered by their higher point with a mark per point: linear in points and sides.
  std::vector<int32_t> byLow, lowStart, markLow, markEdge;
  if (!makeScratch(edgeOf_, halfCount, -1) || !makeScratch(byLow, halfCount) ||
      !makeScratch(lowStart, size_t(pointCount) + 1, 0) || !makeScratch(markLow, size_t(pointCount), -1) ||
      !makeScratch(markEdge, size_t(pointCount)))
    return false;
  for (size_t i = 0; i < polygons.size(); ++i) {
    const CPolygon& p = polygons[i];
    for (int32_t k = 0, n = cornerCount(p); k < n; ++k) {
      const int32_t u = from(p, k), v = to(p, k);
      if (u != v) ++lowStart[size_t(std::min(u, v)) + 1];
    }
  }
  for (int32_t i = 0; i < pointCount; ++i) lowStart[size_t(i) + 1] += lowStart[size_t(i)];
  {
    std::vector<int32_t> fill(lowStart.begin(), lowStart.end() - 1);
    for (size_t i = 0; i < polygons.size(); ++i) {
      const CPolygon& p = polygons[i];
      for (int32_t k = 0, n = cornerCount(p); k < n; ++k) {
        const int32_t u = from(p, k), v = to(p, k);
        if (u != v) byLow[size_t(fill[size_t(std::min(u, v))]++)] = int32_t(4 * i) + k;
      }
    }
  }
  const int32_t sideTotal = lowStart[size_t(pointCount)];
  int32_t edges = 0;
  for (int32_t low = 0; low < pointCount; ++low) {
    for (int32_t j = lowStart[size_t(low)]; j < lowStart[size_t(low) + 1]; ++j) {
      const int32_t h = byLow[size_t(j)];
      const CPolygon& p = polygons[size_t(h / 4)];
      const int32_t high = std::max(from(p, h % 4), to(p, h % 4));
      if (markLow[size_t(high)] != low) {
        markLow[size_t(high)] = low;
        markEdge[size_t(high)] = edges++;
      }
      edgeOf_[size_t(h)] = markEdge[size_t(high)];
    }
  }
  if (!makeScratch(starts_, size_t(edges) + 1, 0) || !makeScratch(halfEdges_, size_t(sideTotal))) return false;
  for (size_t h = 0; h < halfCount; ++h)
    if (edgeOf_[h] >= 0) ++starts_[size_t(edgeOf_[h]) + 1];
  for (int32_t e = 0; e < edges; ++e) starts_[size_t(e) + 1] += starts_[size_t(e)];
  std::vector<int32_t>& fill = byLow;  // reused: the sort is no longer needed
  std::copy(starts_.begin(), starts_.end() - 1, fill.begin());
  for (size_t h = 0; h < halfCount; ++h)
    if (edgeOf_[h] >= 0) halfEdges_[size_t(fill[size_t(edgeOf_[h])]++)] = int32_t(h);
  return true;
}

NgonData remapNgons(const NgonData& data, const std::vector<int32_t>& newIndex) {
  NgonData out;
  std::vector<int32_t> members;
  for (int32_t i = 0; i < data.count(); ++i) {
    members.clear();
    for (int32_t p : data.ngon(i))
      if (newIndex[size_t(p)] >= 0) members.push_back(newIndex[size_t(p)]);
    std::sort(members.begin(), members.end());
    members.erase(std::unique(members.begin(), members.end()), members.end());
    if (members.size() >= 2) out.add(members);
  }
  return out;
}

}  // namespace modeling
}  // namespace host
