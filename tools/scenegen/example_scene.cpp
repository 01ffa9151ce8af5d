// The bundled example: a two-storey house of 10 m x 8 m with a gable roof, windows and doors
// placed as repeated library parts, a ceiling lamp with its light, two free lights and three
// cameras.

#include <algorithm>
#include <cmath>
#include <limits>

#include "scenegen/mesh.h"
#include "scenegen/scenegen.h"

namespace talvo::scenegen {
namespace {

using namespace testsupport;

enum Shader : int32_t {
  kBrick,
  kOak,
  kPlaster,
  kConcrete,
  kRoofTiles,
  kGlass,
  kMetal,
  kLampShade,
  kShaderCount
};
enum Story : int32_t { kGround, kFirst };
enum Class : int32_t { kWallClass, kSlabClass, kRoofClass, kWindowClass, kDoorClass, kLampClass };
enum Layer : int32_t { kWalls, kSlabs, kRoof, kOpenings, kLighting };

constexpr double kStoryHeight = 300.0;
constexpr double kWallHeight = 280.0;

ParameterEntry realEntry(std::string name, double value) {
  ParameterEntry e;
  e.name = std::move(name);
  e.valueType = 1;
  e.realValue = value;
  return e;
}

ParameterEntry stringEntry(std::string name, std::string value) {
  ParameterEntry e;
  e.name = std::move(name);
  e.valueType = 2;
  e.stringValue = std::move(value);
  return e;
}

ParameterEntry colorEntry(std::string name, const Vec3& c) {
  ParameterEntry e;
  e.name = std::move(name);
  e.valueType = 3;
  e.rows = 1;
  e.columns = 3;
  e.realCells = {c[0], c[1], c[2]};
  return e;
}

class Builder {
 public:
  explicit Builder(SceneDescription& d) : d_(d) {}

  // Appends an element whose mesh is already in world coordinates.
  int32_t addElement(ElementRecord element, const LocalMesh& mesh) {
    return append(std::move(element), mesh, nullptr);
  }

  // Appends a placed library part; the mesh is in the part's own frame.
  int32_t addPlaced(ElementRecord element, const LocalMesh& mesh) {
    Placement p;
    p.origin = element.position;
    p.angleDegrees = element.angle;
    p.size = element.size;
    p.baseSize = element.baseSize;
    p.mirrored = element.mirrored;
    element.placed = true;
    return append(std::move(element), mesh, &p);
  }

  void finishSceneBox() {
    std::array<double, 6> box{};
    if (!d_.points.empty()) {
      box = {std::numeric_limits<double>::max(),    std::numeric_limits<double>::max(),
             std::numeric_limits<double>::max(),    std::numeric_limits<double>::lowest(),
             std::numeric_limits<double>::lowest(), std::numeric_limits<double>::lowest()};
      for (const PointRecord& p : d_.points) {
        const double v[3] = {p.x, p.y, p.z};
        for (int i = 0; i < 3; ++i) {
          box[i] = std::min(box[i], v[i]);
          box[i + 3] = std::max(box[i + 3], v[i]);
        }
      }
    }
    d_.info.sceneBox = box;
  }

 private:
  int32_t append(ElementRecord element, const LocalMesh& mesh, const Placement* placement) {
    const int32_t index = int32_t(d_.elements.size());
    const int32_t base = int32_t(d_.points.size());
    d_.elements.push_back(std::move(element));
    std::vector<Vec3> world(mesh.points.size());
    for (size_t i = 0; i < mesh.points.size(); ++i) {
      world[i] = placement ? placement->apply(mesh.points[i]) : mesh.points[i];
      d_.points.push_back({world[i][0], world[i][1], world[i][2]});
    }
    for (int32_t f = 0; f < mesh.faceCount(); ++f) {
      std::span<const int32_t> corners = mesh.faceCorners(f);
      PolygonRecord& poly = d_.polygons.emplace_back();
      poly.shaderIndex = mesh.faceShader[size_t(f)];
      poly.elementIndex = index;
      for (int32_t c : corners) poly.pointIndices.push_back(base + c);
      std::span<const Vec2> uv = mesh.faceUvs(f);
      d_.uvws.emplace_back().uv.assign(uv.begin(), uv.end());
      d_.normals.push_back(faceNormal(world, corners));
    }
    return index;
  }

  // Newell's method, normalised.
  static NormalRecord faceNormal(const std::vector<Vec3>& p, std::span<const int32_t> corners) {
    double n[3] = {0, 0, 0};
    for (size_t i = 0; i < corners.size(); ++i) {
      const Vec3& a = p[size_t(corners[i])];
      const Vec3& b = p[size_t(corners[(i + 1) % corners.size()])];
      n[0] += (a[1] - b[1]) * (a[2] + b[2]);
      n[1] += (a[2] - b[2]) * (a[0] + b[0]);
      n[2] += (a[0] - b[0]) * (a[1] + b[1]);
    }
    const double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    if (len == 0.0) return {0, 1, 0};
    return {n[0] / len, n[1] / len, n[2] / len};
  }

  SceneDescription& d_;
};

ElementRecord element(std::string name, int32_t layer, int32_t cls, int32_t story) {
  ElementRecord e;
  e.name = std::move(name);
  e.layerIndex = layer;
  e.classIndex = cls;
  e.storyIndex = story;
  return e;
}

ElementRecord placedElement(std::string name, int32_t layer, int32_t cls, int32_t story, std::string library,
                            const Vec3& position, double angle, const Vec3& baseSize, bool mirrored = false,
                            double widthScale = 1.0) {
  ElementRecord e = element(std::move(name), layer, cls, story);
  e.placed = true;
  e.libraryName = std::move(library);
  e.position = position;
  e.angle = angle;
  e.baseSize = baseSize;
  e.size = {baseSize[0] * widthScale, baseSize[1], baseSize[2]};
  e.mirrored = mirrored;
  return e;
}

LocalMesh boxMesh(const Vec3& lo, const Vec3& hi, int32_t shader,
                  const std::array<int32_t, 3>& divisions = {1, 1, 1}) {
  LocalMesh m;
  addBox(m, lo, hi, shader, divisions);
  return m;
}

// Window 120 x 150, 12 deep: frame block and a glass pane in the middle of its depth.
LocalMesh windowMesh() {
  LocalMesh m;
  addBox(m, {0, 0, 0}, {120, 150, 12}, kOak);
  const int32_t p[4] = {m.addPoint({10, 10, 6}), m.addPoint({110, 10, 6}), m.addPoint({110, 140, 6}),
                        m.addPoint({10, 140, 6})};
  const Vec2 uv[4] = {{0, 0}, {1, 0}, {1, 1.3}, {0, 1.3}};
  m.addFace(kGlass, p, uv);
  return m;
}

// Door 90 x 210, 6 deep: leaf and a small handle.
LocalMesh doorMesh() {
  LocalMesh m;
  addBox(m, {0, 0, 0}, {90, 210, 6}, kOak, {1, 2, 1});
  addBox(m, {75, 95, 6}, {85, 100, 10}, kMetal);
  return m;
}

// Ceiling lamp 40 x 40 x 30: an octagonal shade below a short cord.
LocalMesh lampMesh() {
  LocalMesh m;
  addPrism(m, {20, 0, 20}, 20, 18, 8, 1, kLampShade, kLampShade);
  addBox(m, {19, 18, 19}, {21, 30, 21}, kMetal);
  return m;
}

// Both roof slopes from the eaves to the ridge along x, and the two gable triangles.
LocalMesh roofMesh() {
  LocalMesh m;
  const double eave = 2 * kStoryHeight - 20;  // top of the first floor walls
  const double ridge = eave + 250;
  const int32_t a = m.addPoint({-30, eave, -30});
  const int32_t b = m.addPoint({1030, eave, -30});
  const int32_t c = m.addPoint({1030, eave, 830});
  const int32_t d = m.addPoint({-30, eave, 830});
  const int32_t r0 = m.addPoint({-30, ridge, 400});
  const int32_t r1 = m.addPoint({1030, ridge, 400});
  const Vec2 slopeUv[4] = {{0, 0}, {0, 5.0}, {10.6, 5.0}, {10.6, 0}};  // eave, ridge, ridge, eave
  const int32_t south[4] = {a, r0, r1, b};
  const int32_t north[4] = {c, r1, r0, d};
  m.addFace(kRoofTiles, south, slopeUv);
  m.addFace(kRoofTiles, north, slopeUv);
  for (double x : {0.0, 1000.0}) {
    const int32_t g0 = m.addPoint({x, eave, 0});
    const int32_t g1 = m.addPoint({x, eave, 800});
    const int32_t g2 = m.addPoint({x, ridge, 400});
    // Both gables face outwards.
    const int32_t west[3] = {g0, g1, g2};
    const Vec2 westUv[3] = {{0, 0}, {8, 0}, {4, 2.5}};
    const int32_t east[3] = {g0, g2, g1};
    const Vec2 eastUv[3] = {{0, 0}, {4, 2.5}, {8, 0}};
    if (x == 0.0) {
      m.addFace(kBrick, west, westUv);
    } else {
      m.addFace(kBrick, east, eastUv);
    }
  }
  return m;
}

void addStoreyWalls(Builder& b, int32_t story, const char* suffix) {
  const double y0 = story * kStoryHeight;
  const double y1 = y0 + kWallHeight;
  const std::array<int32_t, 3> long_ = {5, 2, 1};
  const std::array<int32_t, 3> short_ = {1, 2, 4};
  b.addElement(element(std::string("Wall South ") + suffix, kWalls, kWallClass, story),
               boxMesh({0, y0, 0}, {1000, y1, 20}, kBrick, long_));
  b.addElement(element(std::string("Wall North ") + suffix, kWalls, kWallClass, story),
               boxMesh({0, y0, 780}, {1000, y1, 800}, kBrick, long_));
  b.addElement(element(std::string("Wall West ") + suffix, kWalls, kWallClass, story),
               boxMesh({0, y0, 20}, {20, y1, 780}, kPlaster, short_));
  b.addElement(element(std::string("Wall East ") + suffix, kWalls, kWallClass, story),
               boxMesh({980, y0, 20}, {1000, y1, 780}, kPlaster, short_));
}

}  // namespace

SceneDescription makeExampleScene() {
  SceneDescription d;
  d.header.version = kVersion250;
  d.header.headerText = "Scene export";
  d.header.headerString1 = "scenegen example";
  d.header.headerString2 = "Two-storey house";
  d.header.doublePrecision = false;
  d.header.utf8Strings = true;
  d.header.fileUnitCode = 2;
  d.header.fileUnit = 0.01;
  d.header.infoNumber = 4021;
  d.info.headerInt2 = 0;
  d.info.shaderDataLevel = 3;

  // Surfaces. Brick and oak carry embedded textures; the others are plain colours.
  const struct {
    const char* name;
    Vec3 color;
    int32_t texture;
  } shaders[kShaderCount] = {
      {"Brick Red", {0.62, 0.27, 0.20}, 0},
      {"Wood \xE2\x80\x93 Oak", {0.66, 0.46, 0.27}, 1},  // UTF-8 en dash
      {"Plaster White", {0.92, 0.92, 0.90}, -1},
      {"Concrete", {0.60, 0.60, 0.58}, -1},
      {"Roof Tiles", {0.45, 0.20, 0.15}, -1},
      {"Glass", {0.70, 0.85, 0.90}, -1},
      {"Metal Dark", {0.20, 0.20, 0.22}, -1},
      {"Lamp Shade", {1.00, 0.95, 0.80}, -1},
  };
  for (const auto& s : shaders) {
    ShaderRecord& r = d.shaders.emplace_back();
    r.name = s.name;
    r.textureIndex = s.texture;
    r.kind = s.texture >= 0 ? 1 : 0;
    r.color = s.color;
  }

  TextureRecord& brick = d.textures.emplace_back();
  brick.name = "brick";
  brick.path = "brick.png";
  brick.data = brickTexturePng();
  TextureRecord& wood = d.textures.emplace_back();
  wood.name = "wood";
  wood.path = "wood.png";
  wood.data = woodTexturePng();

  d.shaderInternals.resize(kShaderCount);
  {
    ShaderInternalRecord& r = d.shaderInternals[kBrick];
    r.present = true;
    r.textureName = "brick.png";
    r.textureWidth = 100;
    r.textureHeight = 50;
    r.flagA = true;  // bump from the same image
    r.hasExtras = true;
    r.extras = {0, 0, 0.1, 0.2, 0.2, 0.2, 0, 1, 0.3, 0.2, 0, 0, 0};
  }
  {
    ShaderInternalRecord& r = d.shaderInternals[kOak];
    r.present = true;
    r.textureName = "wood.png";
    r.angle = 90;
    r.textureWidth = 80;
    r.textureHeight = 80;
    r.flagC = true;
  }
  {
    ShaderInternalRecord& r = d.shaderInternals[kGlass];
    r.hasExtras = true;  // without a texture: present stays false
    r.extras = {0.8, 0, 0.9, 0.9, 0.95, 1.0, 1, 1, 0.9, 0.1, 0.1, 0.1, 0.1};
  }

  // Detailed surface parameters, one set per surface.
  d.shaderC4D.resize(kShaderCount);
  for (int32_t i = 0; i < kShaderCount; ++i) {
    std::vector<ParameterEntry>& e = d.shaderC4D[size_t(i)].entries;
    e.push_back(realEntry("C4D_VER_MAIN", 1));
    e.push_back(realEntry("C4D_VER_SUB", 2));
    e.push_back(colorEntry("C4D_CHCOLOR_COLOR", d.shaders[size_t(i)].color));
    const char* components[] = {"C4D_CHCOL_R", "C4D_CHCOL_G", "C4D_CHCOL_B"};
    for (int c = 0; c < 3; ++c) e.push_back(realEntry(components[c], d.shaders[size_t(i)].color[size_t(c)]));
  }
  {
    std::vector<ParameterEntry>& e = d.shaderC4D[kBrick].entries;
    e.push_back(realEntry("C4D_CHSIZE_HORSIZE", 100));
    e.push_back(realEntry("C4D_CHSIZE_VERSIZE", 50));
    e.push_back(realEntry("C4D_CHSIZE_DEPSIZE", 0));
    e.push_back(realEntry("C4D_CHSIZE_ANGLE", 0));
    e.push_back(realEntry("C4D_CHSIZE_KEEPPROP", 1));
    e.push_back(realEntry("C4D_CHSIZE_RANDORIG", 0));
    e.push_back(stringEntry("C4D_SHIMAGE_FILE_1", "brick.png"));
    e.push_back(realEntry("C4D_CHCOL_TEXTURE", 1));
  }
  {
    std::vector<ParameterEntry>& e = d.shaderC4D[kOak].entries;
    e.push_back(stringEntry("C4D_SHIMAGE_FILE_1", "wood.png"));
    ParameterEntry names;
    names.name = "C4D_CHCOLOR_TEXTURE";
    names.valueType = 4;
    names.rows = 1;
    names.columns = 2;
    names.stringCells = {"Bitmap", "wood.png"};
    e.push_back(std::move(names));
    e.push_back(realEntry("C4D_CHCOL_TEXTURE", 1));
  }
  d.shaderC4D[kGlass].entries.push_back(realEntry("C4D_CHTRANS_BRIGHTNESS", 0.8));
  d.shaderC4D[kGlass].entries.push_back(realEntry("C4D_CHTRA_STATE", 1));
  d.shaderC4D[kGlass].entries.push_back(realEntry("C4D_CHTRA_BRIGHT", 0.8));
  d.shaderC4D[kPlaster].entries.push_back(realEntry("Plaster_Roughness", 0.4));  // not a parameter key

  d.classes = {{1, "Wall"}, {4, "Slab"}, {5, "Roof"}, {3, "Window"}, {2, "Door"}, {7, "Lamp"}};
  d.stories.push_back({0, "Ground Floor", {0, kStoryHeight}});
  d.stories.push_back({1, "First Floor", {kStoryHeight, kStoryHeight}});
  d.layers = {{"Walls"}, {"Slabs"}, {"Roof"}, {"Openings"}, {"Lighting"}};

  Builder b(d);
  b.addElement(element("Ground Slab", kSlabs, kSlabClass, kGround),
               boxMesh({0, -20, 0}, {1000, 0, 800}, kConcrete, {4, 1, 3}));
  addStoreyWalls(b, kGround, "GF");
  b.addElement(element("First Floor Slab", kSlabs, kSlabClass, kFirst),
               boxMesh({0, kStoryHeight - 20, 0}, {1000, kStoryHeight, 800}, kConcrete, {4, 1, 3}));
  addStoreyWalls(b, kFirst, "FF");
  b.addElement(element("Roof", kRoof, kRoofClass, kFirst), roofMesh());
  {
    LocalMesh chimney;
    addPrism(chimney, {700, 700, 250}, 30, 200, 6, 2, kBrick, kConcrete);  // hexagonal caps
    b.addElement(element("Chimney", kRoof, kRoofClass, kFirst), chimney);
  }

  // Windows: one library part placed along the walls. Angle 0 faces south (the part's
  // depth along +z), 180 north, 90 east.
  const LocalMesh window = windowMesh();
  const Vec3 windowSize = {120, 12, 150};
  const char* kWindow = "Window 120x150";
  int n = 0;
  auto windowName = [&n] { return "Window " + std::to_string(++n); };
  for (double x : {150.0, 730.0}) {
    b.addPlaced(
        placedElement(windowName(), kOpenings, kWindowClass, kGround, kWindow, {x, 90, 4}, 0, windowSize),
        window);
  }
  for (double x : {150.0, 440.0, 730.0}) {
    b.addPlaced(placedElement(windowName(), kOpenings, kWindowClass, kFirst, kWindow,
                              {x, kStoryHeight + 90, 4}, 0, windowSize),
                window);
  }
  for (int story : {kGround, kFirst}) {
    const double y = story * kStoryHeight + 90;
    // Turned to the north; the mirrored one runs from its origin the other way.
    b.addPlaced(placedElement(windowName(), kOpenings, kWindowClass, story, kWindow, {250, y, 796}, 180,
                              windowSize, true),
                window);
    b.addPlaced(
        placedElement(windowName(), kOpenings, kWindowClass, story, kWindow, {770, y, 796}, 180, windowSize),
        window);
  }
  b.addPlaced(placedElement(windowName(), kOpenings, kWindowClass, kFirst, kWindow,
                            {984, kStoryHeight + 90, 490}, 90, windowSize, false, 1.5),
              window);

  const LocalMesh door = doorMesh();
  const Vec3 doorSize = {90, 6, 210};
  const char* kDoor = "Door 90x210";
  b.addPlaced(placedElement("Front Door", kOpenings, kDoorClass, kGround, kDoor, {455, 0, 7}, 0, doorSize),
              door);
  b.addPlaced(
      placedElement("Back Door", kOpenings, kDoorClass, kGround, kDoor, {455, 0, 793}, 180, doorSize, true),
      door);
  b.addPlaced(placedElement("Side Door", kOpenings, kDoorClass, kGround, kDoor, {987, 0, 445}, 90, doorSize),
              door);

  const int32_t lamp = b.addPlaced(placedElement("Living Room Lamp", kLighting, kLampClass, kGround,
                                                 "Ceiling Lamp", {480, 250, 380}, 0, {40, 40, 30}),
                                   lampMesh());
  b.finishSceneBox();

  // The lamp's light, then two free lights.
  {
    LightRecord& l = d.lights.emplace_back();
    l.elementIndex = lamp;
    l.kind = 0;
    l.name = "Lamp Light";
    l.lightNumber = 0;
    l.color = {1.0, 0.9, 0.75};
    l.position = {500, 258, 400};
    l.target = {500, 0, 400};
    l.shadowType = 1;
    l.brightness = 0.8;
    l.falloffDistance = 500;
    l.falloffRadius = 20;
    l.parameters.entries = {realEntry("C4D_VER_MAIN", 1), colorEntry("C4D_GEN_COLOR", l.color),
                            realEntry("C4D_GEN_INTENSITY", 0.8)};
  }
  {
    LightRecord& l = d.lights.emplace_back();
    l.kind = 2;
    l.name = "Sun";
    l.color = {1.0, 0.98, 0.92};
    l.position = {-2000, 3000, -1500};
    l.target = {500, 0, 400};
    l.shadowType = 2;
    l.brightness = 1.0;
  }
  {
    LightRecord& l = d.lights.emplace_back();
    l.kind = 1;
    l.name = "Garden Spot";
    l.lightNumber = 1;
    l.color = {0.9, 0.95, 1.0};
    l.position = {500, 400, -600};
    l.target = {500, 100, 0};
    l.shadowType = 1;
    l.brightness = 1.2;
    l.spotRadius = 50;
    l.innerAngle = 20;
    l.outerAngle = 35;
    l.falloffDistance = 1500;
    l.falloffRadius = 100;
    l.innerDistance = 0.25;
    l.parameters.entries = {stringEntry("C4D_GEN_TYPE", "Spot"), realEntry("C4D_GEN_INTENSITY", 1.2)};
  }

  d.cameraSets.push_back({"Views"});
  {
    CameraRecord& c = d.cameras.emplace_back();
    c.name = "ACCamera_0";  // the view that was active in the exporting application
    c.idText = "view-0";
    c.position = {-800, 320, -900};
    c.target = {500, 250, 400};
    c.fieldAngle = 60;
  }
  {
    CameraRecord& c = d.cameras.emplace_back();
    c.name = "Street View";
    c.idText = "view-1";
    c.position = {500, 160, -1500};
    c.target = {500, 300, 400};
    c.fieldAngle = 50;
    c.cameraSetIndex = 0;
  }
  {
    CameraRecord& c = d.cameras.emplace_back();
    c.name = "Garden View";
    c.cameraNumber = 2;
    c.idText = "view-2";
    c.position = {1600, 400, 1600};
    c.target = {500, 200, 400};
    c.fieldAngle = 75;
    c.roll = 5;
    c.cameraSetIndex = 0;
  }
  return d;
}

}  // namespace talvo::scenegen
