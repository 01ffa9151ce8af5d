#include "inspect.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "host/app.h"
#include "host/file.h"
#include "host/resource.h"
#include "talvo_import_c4d_diagnostics.h"
#include "talvo_import_c4d_loader.h"
#include "talvo_import_c4d_options.h"
#include "talvo_import_c4d_status.h"

namespace talvo_app {
namespace {

using Json = nlohmann::ordered_json;
using namespace talvo;

Json vec3(const double v[3]) {
  return Json::array({v[0], v[1], v[2]});
}

template <class R>
void counted(Json& j, const R& r) {
  j["polygonCount"] = r.polygonCount;
  j["polygonIndexSum"] = r.polygonIndexSum;
}

Json parameterSetJson(const ParameterSet& set) {
  Json entries = Json::array();
  for (const ParameterEntry& e : set.entries) {
    Json cells = Json::array();
    for (const ParameterCell& c : e.cells) {
      if (e.valueType == 4) {
        cells.push_back(c.stringValue);
      } else {
        cells.push_back(c.realValue);
      }
    }
    entries.push_back({
        {"name", e.name},
        {"key",
         {{"prefix", e.key.prefix},
          {"group", e.key.group},
          {"parameter", e.key.parameter},
          {"fullName", e.key.fullName},
          {"index", e.key.index},
          {"recognised", e.key.recognised}}},
        {"valueType", e.valueType},
        {"rows", e.rows},
        {"columns", e.columns},
        {"stringValue", e.stringValue},
        {"realValue", e.realValue},
        {"cells", cells},
    });
  }
  return {{"infoNumber", set.infoNumber},
          {"shaderName", set.shaderName},
          {"recognisedCount", set.recognisedCount},
          {"entries", entries}};
}

Json loaderJson(int32_t status, const SceneLoader& l) {
  Json j;
  j["status"] = status;
  const SceneHeader& h = l.header;
  j["header"] = {{"version", h.version},
                 {"versionName", h.versionName},
                 {"headerString2", h.headerString2},
                 {"doublePrecision", h.doublePrecision},
                 {"utf8Strings", h.utf8Strings},
                 {"fileUnitCode", h.fileUnitCode},
                 {"fileUnit", h.fileUnit},
                 {"infoNumber", h.infoNumber},
                 {"shaderDataLevel", h.shaderDataLevel}};
  static constexpr const char* kCountNames[kSectionCount] = {
      "shaderCount", "textureCount", "shaderInternalCount", "shaderC4DCount", "classCount",
      "storyCount",  "layerCount",   "elementCount",        "pointCount",     "uvwCount",
      "normalCount", "polygonCount", "lightCount",          "cameraSetCount", "cameraCount"};
  Json counts;
  for (int32_t i = 0; i < kSectionCount; ++i) counts[kCountNames[i]] = l.counts[size_t(i)];
  j["counts"] = counts;
  j["read"] = {{"shadersRead", l.shadersRead()},
               {"texturesRead", l.texturesRead()},
               {"shaderInternalsRead", l.shaderInternalsRead()},
               {"shaderC4DsRead", l.shaderC4DsRead()},
               {"classesRead", l.classesRead()},
               {"storiesRead", l.storiesRead()},
               {"layersRead", l.layersRead()},
               {"elementsRead", l.elementsRead()},
               {"pointsRead", l.pointsRead()},
               {"uvwStored", l.uvwStored()},
               {"normalsRead", l.normalsRead()},
               {"polygonsStored", l.polygonsStored()},
               {"lightsRead", l.lightsRead()},
               {"cameraSetsRead", l.cameraSetsRead()},
               {"camerasRead", l.camerasRead()}};
  j["center"] = vec3(l.center);

  Json& shaders = j["shaders"] = Json::array();
  for (const ShaderRecord& r : l.shaders) {
    Json s = {{"name", r.name}, {"color", vec3(r.color)}};
    counted(s, r);
    shaders.push_back(s);
  }
  Json& textures = j["textures"] = Json::array();
  for (size_t i = 0; i < l.textures.size(); ++i) {
    const TextureRecord& r = l.textures[i];
    textures.push_back({{"name", r.name},
                        {"path", r.path.string()},
                        {"fileTitle", r.fileTitle},
                        {"fileName", r.fileName.string()},
                        {"dataSize", r.dataSize},
                        {"data", l.textureData[i].size()}});
  }
  Json& internals = j["shaderInternals"] = Json::array();
  for (const ShaderInternalRecord& r : l.shaderInternals) {
    internals.push_back({{"present", r.present},
                         {"textureName", r.textureName},
                         {"angle", r.angle},
                         {"textureWidth", r.textureWidth},
                         {"textureHeight", r.textureHeight},
                         {"flagA", r.flagA},
                         {"flagB", r.flagB},
                         {"flagC", r.flagC},
                         {"flagD", r.flagD},
                         {"hasExtras", r.hasExtras},
                         {"extras", Json(std::vector<double>(std::begin(r.extras), std::end(r.extras)))}});
  }
  Json& sets = j["shaderC4Ds"] = Json::array();
  for (const ParameterSet& set : l.shaderC4Ds) sets.push_back(parameterSetJson(set));
  Json& classes = j["classes"] = Json::array();
  for (const ClassRecord& r : l.classes) {
    Json c = {{"typeId", r.typeId}, {"name", r.name}};
    counted(c, r);
    classes.push_back(c);
  }
  Json& stories = j["stories"] = Json::array();
  for (const StoryRecord& r : l.stories) {
    Json s = {{"name", r.name}};
    counted(s, r);
    stories.push_back(s);
  }
  Json& layers = j["layers"] = Json::array();
  for (const LayerRecord& r : l.layers) {
    Json s = {{"name", r.name}};
    counted(s, r);
    layers.push_back(s);
  }
  Json& elements = j["elements"] = Json::array();
  for (const ElementRecord& r : l.elements) {
    Json e;
    counted(e, r);
    e["instanceGroup"] = r.instanceGroup;
    e["layerIndex"] = r.layerIndex;
    e["classIndex"] = r.classIndex;
    e["storyIndex"] = r.storyIndex;
    e["name"] = r.name;
    e["placed"] = r.placed;
    e["hasLight"] = r.hasLight;
    e["libraryName"] = r.libraryName;
    e["position"] = vec3(r.position);
    e["angle"] = r.angle;
    e["size"] = vec3(r.size);
    e["baseSize"] = vec3(r.baseSize);
    e["mirrored"] = r.mirrored;
    elements.push_back(e);
  }
  Json& points = j["points"] = Json::array();
  for (const PointRecord& p : l.points) points.push_back({p.x, p.y, p.z});
  Json& uvws = j["uvws"] = Json::array();
  for (const UvwRecord& r : l.uvws) {
    Json uvw = Json::array();
    for (const host::Vector& v : r.uvw) uvw.push_back({v.x, v.y, v.z});
    uvws.push_back({{"vertexCount", r.vertexCount}, {"uvw", uvw}});
  }
  Json& normals = j["normals"] = Json::array();
  for (const NormalRecord& n : l.normals) normals.push_back({n.x, n.y, n.z});
  Json& polygons = j["polygons"] = Json::array();
  for (const PolygonRecord& r : l.polygons) {
    polygons.push_back(
        {{"shaderIndex", r.shaderIndex},
         {"elementIndex", r.elementIndex},
         {"vertexCount", r.vertexCount},
         {"pointIndex", {r.pointIndex[0], r.pointIndex[1], r.pointIndex[2], r.pointIndex[3]}}});
  }
  Json& lights = j["lights"] = Json::array();
  for (const LightRecord& r : l.lights) {
    lights.push_back({{"elementIndex", r.elementIndex},
                      {"name", r.name},
                      {"position", vec3(r.position)},
                      {"target", vec3(r.target)},
                      {"hostLightType", r.hostLightType},
                      {"shadowType", r.shadowType},
                      {"color", vec3(r.color)},
                      {"brightness", r.brightness},
                      {"spotRadius", r.spotRadius},
                      {"innerAngle", r.innerAngle},
                      {"outerAngle", r.outerAngle},
                      {"falloffDistance", r.falloffDistance},
                      {"falloffRadius", r.falloffRadius},
                      {"innerDistance", r.innerDistance},
                      {"parameters", parameterSetJson(r.parameters)},
                      {"lightNumber", r.lightNumber},
                      {"instanceGroup", r.instanceGroup}});
  }
  Json& cameraSets = j["cameraSets"] = Json::array();
  for (const CameraSetRecord& r : l.cameraSets) cameraSets.push_back({{"name", r.name}});
  Json& cameras = j["cameras"] = Json::array();
  for (const CameraRecord& r : l.cameras) {
    cameras.push_back({{"name", r.name},
                       {"position", vec3(r.position)},
                       {"target", vec3(r.target)},
                       {"fieldAngle", r.fieldAngle},
                       {"roll", r.roll},
                       {"cameraSetIndex", r.cameraSetIndex},
                       {"cameraNumber", r.cameraNumber}});
  }
  return j;
}

// The steps an import takes around its dialog: open, recognise, check, read.
int32_t checkAndRead(ImportOptions& options, host::BaseFile& file, SceneLoader& loader,
                     const host::Filename& name) {
  if (!file.open(name, host::FileMode::read, host::FileDialog::none, host::ByteOrder::littleEndian))
    return file.getError();
  uint8_t firstBytes[64] = {};
  const int64_t got = file.readBytes(firstBytes, sizeof firstBytes, true);
  if (!SceneLoader::isSceneFile(name, firstBytes, size_t(got))) return kStatusNotSceneFile;
  options.sceneFilePath = name;
  if (const int32_t rc = loader.checkFile(); rc != kStatusOk) return rc;
  if (const int32_t rc = loader.readAll(); rc != kStatusOk) return rc;
  if (loader.polygonsStored() != loader.uvwStored()) return kStatusUvwMismatch;
  file.close();
  return kStatusOk;
}

}  // namespace

int runInspect(const InspectRequest& request) {
  ImportOptions options;
  options.scale = request.scale;
  options.uvwScale = request.uvwScale;
  host::BaseFile file;
  SceneLoader loader(options, file);

  if (request.json) host::app::setConsoleSink([](const host::String&) {});
  const int32_t status = checkAndRead(options, file, loader, host::Filename(request.file));

  if (request.json) {
    const std::string text = loaderJson(status, loader).dump(1, ' ', false, Json::error_handler_t::replace);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
  } else {
    std::printf("status: %d\n", status);
  }
  std::fflush(stdout);
  if (status != kStatusOk) showWarning(host::loadString(statusMessageId(status)));
  return status == kStatusOk ? 0 : 1;
}

}  // namespace talvo_app
