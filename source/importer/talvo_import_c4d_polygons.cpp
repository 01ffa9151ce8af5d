#include "talvo_import_c4d_polygons.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "host/scene.h"
#include "talvo_import_c4d_diagnostics.h"
#include "talvo_import_c4d_lights.h"
#include "talvo_import_c4d_loader.h"
#include "talvo_import_c4d_materials.h"
#include "talvo_import_c4d_objects.h"
#include "talvo_import_c4d_optimize.h"
#include "talvo_import_c4d_options.h"
#include "talvo_import_c4d_status.h"
#include "talvo_import_c4d_tables.h"
#include "talvo_import_c4d_tag_null.h"
#include "talvo_import_c4d_tag_noupdate.h"
#include "talvo_import_c4d_tag_talvo.h"

namespace talvo {
namespace {

// Progress and the cancel check come after every 200th listed polygon.
constexpr size_t kProgressStep = 200;

// The scale of an element's placement: its size over its base size, axes as the host's.
host::Vector elementScale(const ElementRecord& e) {
  auto ratio = [](double size, double base) { return base != 0.0 ? size / base : 1.0; };
  return {ratio(e.size[0], e.baseSize[0]), ratio(e.size[2], e.baseSize[2]), ratio(e.size[1], e.baseSize[1])};
}

}  // namespace

PolygonBuilder::PolygonBuilder(SceneLoader& loader, ImportOptions& options, IndexTables& tables,
                               MaterialBuilder& materials, ObjectTools& tools, LightBuilder& lights)
    : loader_(loader), options_(options), tables_(tables), materials_(materials), tools_(tools), lights_(lights) {}

PolygonBuilder::~PolygonBuilder() = default;

int32_t PolygonBuilder::collectPolygons(int32_t shader) {
  const bool all = options_.noMaterialsFlag || options_.shaderSplitDone;
  const int64_t total = options_.instancePass ? tables_.instancePolygonTotal()
                                              : int64_t(loader_.polygonsStored()) - tables_.instancePolygonTotal();
  const int64_t before = options_.instancePass ? instanceBuilt_ : mainBuilt_;
  auto checkpoint = [&]() -> int32_t {
    reportProgress(int32_t(std::min<int64_t>(before + int64_t(items_.size()), INT32_MAX)),
                   int32_t(std::min<int64_t>(total, INT32_MAX)));
    return cancelRequested() ? kStatusCancelled : kStatusOk;
  };
  const common::Array<int32_t>& list = tables_.polygonList;
  for (size_t pos = 0; pos < list.size(); ++pos) {
    const PolygonRecord& r = loader_.polygons[size_t(list[pos])];
    if (!all && r.shaderIndex != shader) continue;
    if (r.vertexCount >= 3) {
      const int32_t corners = r.vertexCount >= 4 ? 4 : 3;
      // The capacities bound what the list gives; a caller that gave less gets room made.
      if (items_.size() == items_.capacity() && !items_.reserve(items_.capacity() * 2 + 16)) return kStatusIndexMemory;
      if (pointMap_.size() + 4 > pointMap_.capacity() && !pointMap_.reserve(pointMap_.capacity() * 2 + 64))
        return kStatusIndexMemory;
      Item& item = items_.appendReserved();
      item.polygonIndex = list[pos];
      item.cornerCount = corners;
      item.shaderIndex = r.shaderIndex;
      for (int32_t k = 0; k < 4; ++k) {
        item.scenePoints[k] = k < corners ? r.pointIndex[k] : 0;
        item.objectPoints[k] = k < corners ? int32_t(pointMap_.size()) : 0;
        if (k < corners) pointMap_.appendReserved() = r.pointIndex[k];
      }
    }
    if (pos % kProgressStep == 0) {
      if (const int32_t rc = checkpoint(); rc != kStatusOk) return rc;
    }
  }
  return checkpoint();
}

int32_t PolygonBuilder::buildPolygonObject(const host::String& name, const host::String& hostLayerName,
                                           host::BaseObject* parent, int32_t pointCapacity, int32_t polygonCapacity,
                                           int32_t shader, int32_t element, bool isBase) {
  if (!pointMap_.reserve(size_t(std::max(pointCapacity, 0))) || !items_.reserve(size_t(std::max(polygonCapacity, 0))))
    return kStatusIndexMemory;
  int32_t rc = collectPolygons(shader);
  if (rc == kStatusOk) rc = buildCollected(name, hostLayerName, parent, shader, element, isBase);
  (options_.instancePass ? instanceBuilt_ : mainBuilt_) += int64_t(items_.size());
  pointMap_.release();
  items_.release();
  return rc;
}

int32_t PolygonBuilder::buildCollected(const host::String& name, const host::String& hostLayerName,
                                       host::BaseObject* parent, int32_t shader, int32_t element, bool isBase) {
  host::PolygonObject* object = nullptr;
  bool isNew = false;
  if (!items_.empty()) {
    std::string scratch;
    printLine("%s", kSectionLine);
    if (shader != -1)
      printLine("Material name:  %s", host::stringTo8Bit(loader_.shaders[size_t(shader)].name).c_str());
    printLine("Polygon Name:   %s", host::stringTo8Bit(name).c_str());

    if (options_.importMode == kImportUpdate) {
      for (host::BaseObject* c = parent->getDown(); c && !object; c = c->getNext()) {
        host::PolygonObject* p = host::toPolygonObject(c);
        if (p && p->getPointCount() == 0 && p->getPolygonCount() == 0 && p->getName() == name) object = p;
      }
      if (object && ObjectTools::hasNoUpdateTag(object)) return kStatusOk;
      if (!ObjectTools::hasNewNullTag(parent)) {
        for (const host::BaseObject* o = parent; o; o = o->getUp()) {
          if (o->getTag(kTagTalvo)) break;
          if (o->getTag(kTagNoUpdate)) {
            if (!ObjectTools::hasNewNullTag(o)) return kStatusOk;
            break;
          }
        }
      }
    }
    if (!object) {
      object = host::toPolygonObject(host::BaseObject::alloc(host::kObjectPolygon));
      if (!object) return kStatusPolygonObject;
      isNew = true;
      if (!object->makeTag(kTagNewNull)) {
        host::BaseObject* o = object;
        host::BaseObject::free(o);
        return kStatusNewNullTag;
      }
    }
    const int32_t filled = fillPolygonObject(object, name, element, isBase);
    if (filled != kStatusOk) {
      if (isNew) {
        host::BaseObject* o = object;
        host::BaseObject::free(o);
      }
      return filled;
    }
    if (isNew) {
      options_.targetDocument->insertObject(object, parent, nullptr);
      if (options_.phong && !applyPhong(object, options_)) return kStatusPhong;
      if (options_.createMaterials && options_.assignMaterials && !options_.noMaterialsFlag &&
          options_.materialSplitMode == 1 && shader >= 0) {
        if (const int32_t rc = materials_.applyShaderTextureTag(object, shader); rc != kStatusOk) return rc;
      }
    }
    if (!hostLayerName.empty() && options_.splitByLayer && !isBase) {
      if (const int32_t rc = tools_.assignHostLayer(object, hostLayerName); rc != kStatusOk) return rc;
    }
  }

  // The lights of an element whose objects no member null carries.
  if (options_.noMaterialsFlag && element != -1 && loader_.elements[size_t(element)].hasLight) {
    host::BaseObject* holder = object;
    if (!holder) {
      holder = tools_.findOrCreateNull(name, parent);
      if (!holder) return kStatusGroupNull;
      if (ObjectTools::hasNoUpdateTag(holder)) return kStatusOk;
      if (!isBase) tools_.placeFromElement(holder, element, false);
    }
    return lights_.buildElementLights(holder, element, isBase, name);
  }
  return kStatusOk;
}

int32_t PolygonBuilder::fillPolygonObject(host::PolygonObject* object, const host::String& name, int32_t element,
                                          bool isBase) {
  const int32_t pointCount = int32_t(pointMap_.size());
  const int32_t polygonCount = int32_t(items_.size());
  printLine("Polygon datas:  %d | %d", pointCount, polygonCount);
  if (!object->resizeObject(pointCount, polygonCount)) return kStatusPolygonObject;
  if (!name.empty()) object->setName(name);

  host::Vector* points = object->getPointW();
  host::CPolygon* polygons = object->getPolygonW();
  if (!points || !polygons) return kStatusPointArray;
  const PointRecord* scene = loader_.points.data();
  for (int32_t i = 0; i < pointCount; ++i) {
    const PointRecord& p = scene[pointMap_[size_t(i)]];
    points[i] = {p.x, p.y, p.z};
  }
  for (int32_t i = 0; i < polygonCount; ++i) {
    const Item& item = items_[size_t(i)];
    const int32_t* c = item.objectPoints;
    polygons[i] = item.cornerCount == 4 ? host::CPolygon{c[0], c[1], c[2], c[3]} : host::CPolygon{c[0], c[1], c[2], c[2]};
  }
  if (const int32_t rc = buildUvwTag(object); rc != kStatusOk) return rc;
  if (options_.normalsCommand && !runNormalsCommand(object)) return kStatusNormals;
  if (!optimizeObjectExact(object)) return kStatusOptimizeObject;

  // The points move after the merge, so that it compares them as the file has them.
  host::Vector* moved = object->getPointW();
  const int32_t movedCount = object->getPointCount();
  if (!moved && movedCount != 0) return kStatusPointArray;
  if (options_.instancePass) {
    toElementFrame(object, element, isBase);
  } else if (options_.centerAtOrigin) {
    const host::Vector c{loader_.center[0], loader_.center[1], loader_.center[2]};
    for (int32_t i = 0; i < movedCount; ++i) moved[i] = {moved[i].x - c.x, moved[i].y - c.y, moved[i].z - c.z};
    object->message(host::kMessageUpdate);
  }
  return kStatusOk;
}

int32_t PolygonBuilder::buildUvwTag(host::PolygonObject* object) {
  while (object->getTag(host::kTagUvw)) object->killTag(host::kTagUvw);
  if (!options_.createUVW) return kStatusOk;
  host::BaseTag* tag = host::BaseTag::alloc(host::kTagUvw);
  if (!tag) return kStatusUvwTag;
  std::vector<host::UVWStruct>& uvws = tag->uvws();
  uvws.resize(items_.size());
  // The texture angle belongs to the polygon's shader; runs of one shader ask once.
  int32_t angleShader = -2;
  std::optional<double> angle;
  double cosine = 1.0, sine = 0.0;
  for (size_t i = 0; i < items_.size(); ++i) {
    const Item& item = items_[i];
    if (item.shaderIndex != angleShader) {
      angleShader = item.shaderIndex;
      angle = materials_.textureAngle(angleShader);
      if (angle) {
        cosine = std::cos(*angle);
        sine = std::sin(*angle);
      }
    }
    const UvwRecord& r = loader_.uvws[size_t(item.polygonIndex)];
    host::UVWStruct u{r.uvw[0], r.uvw[1], r.uvw[2], item.cornerCount == 4 ? r.uvw[3] : host::Vector{}};
    if (angle) {
      auto turn = [&](host::Vector& v) { v = {cosine * v.x - sine * v.y, sine * v.x + cosine * v.y, 0.0}; };
      turn(u.a);
      turn(u.b);
      turn(u.c);
      if (item.cornerCount == 4) turn(u.d);
    }
    uvws[i] = u;
  }
  object->insertTag(tag, object->getLastTag());
  tag->message(host::kMessageUpdate);
  return kStatusOk;
}

void PolygonBuilder::toElementFrame(host::PolygonObject* object, int32_t element, bool isBase) {
  const ElementRecord& e = loader_.elements[size_t(element)];
  host::Vector s = elementScale(e);
  if (isBase && e.mirrored) s.x = -s.x;
  // A damaged element of no size must not make infinite points.
  for (double* axis : {&s.x, &s.y, &s.z})
    if (*axis == 0.0) *axis = 1.0;
  const double cosine = std::cos(-e.angle), sine = std::sin(-e.angle);
  host::Vector* points = object->getPointW();
  const int32_t count = object->getPointCount();
  for (int32_t i = 0; i < count; ++i) {
    const double x = points[i].x - e.position[0];
    const double y = points[i].y - e.position[1];
    const double z = points[i].z - e.position[2];
    // The turn about the vertical axis by -angle, then the scale undone.
    const double rx = x * cosine + z * sine;
    const double rz = -x * sine + z * cosine;
    points[i] = {rx / s.x, y / s.y, rz / s.z};
  }
  if (options_.noMaterialsFlag && !isBase) tools_.placeFromElement(object, element, false);
  object->message(host::kMessageUpdate);
}

}  // namespace talvo
