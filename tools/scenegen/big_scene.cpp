// Benchmark building. Every element's geometry follows from a small plan record and the seed,
// so the points, uvw and polygon sections are produced by generating the elements again for
// each section instead of keeping the geometry in memory.

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <stdexcept>

#include "scenegen/mesh.h"
#include "scenegen/scenegen.h"

namespace talvo::scenegen {
namespace {

using namespace testsupport;

constexpr int32_t kStories = 4;
constexpr double kStoryHeight = 300.0;
constexpr double kRoomSize = 400.0;
constexpr double kWallInset = 20.0;
constexpr double kWallHeight = 280.0;
constexpr int32_t kPolygonsPerElement = 200;
constexpr int32_t kTriangleEvery = 9;  // every 9th grid cell of walls and slabs is two triangles
constexpr int32_t kShaderCount = 50;

enum Class : int32_t { kWallClass, kSlabClass, kWindowClass, kDoorClass, kFurnitureClass, kColumnClass };
enum Layer : int32_t { kWalls, kSlabs, kOpenings, kFurniture, kStructure };
enum Kind : int32_t { kWall, kSlab, kPlaced };

uint64_t mix(uint64_t seed, uint64_t a, uint64_t b) {
  // splitmix64 over the combined inputs.
  uint64_t z = seed * 0x9E3779B97F4A7C15ull + a * 0xBF58476D1CE4E5B9ull + b * 0x94D049BB133111EBull +
               0x632BE59BD9B4E019ull;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

double unit(uint64_t h) {
  return double(h >> 11) * (1.0 / 9007199254740992.0);
}

struct Family {
  const char* name;
  int32_t classIndex;
  int32_t layerIndex;
  Vec3 size;  // width (x), depth (z), height (y)
};

// Families with polygonal prisms (n-gon caps) come early, so small scenes have them too.
constexpr Family kFamilies[] = {
    {"Window", kWindowClass, kOpenings, {120, 12, 140}},
    {"Table", kFurnitureClass, kFurniture, {160, 90, 75}},
    {"Door", kDoorClass, kOpenings, {90, 6, 210}},
    {"Chair", kFurnitureClass, kFurniture, {45, 50, 90}},
    {"Column", kColumnClass, kStructure, {40, 40, 280}},
    {"Cabinet", kFurnitureClass, kFurniture, {100, 45, 120}},
    {"Planter", kFurnitureClass, kFurniture, {60, 60, 70}},
    {"Shelf", kFurnitureClass, kFurniture, {90, 35, 200}},
    {"Sofa", kFurnitureClass, kFurniture, {210, 90, 80}},
    {"Radiator", kFurnitureClass, kOpenings, {100, 10, 60}},
};
constexpr int32_t kFamilyCount = int32_t(std::size(kFamilies));

struct Part {
  std::string name;
  int32_t family = 0;
  Vec3 baseSize{};  // as the element record holds it: width, depth, height
  LocalMesh mesh;
};

// A library part in its own frame: x from 0 to width, y up to the height, z to the depth.
Part makePart(uint64_t seed, int32_t k) {
  Part p;
  p.family = k % kFamilyCount;
  const Family& f = kFamilies[p.family];
  const int32_t variant = k / kFamilyCount + 1;
  char name[64];
  std::snprintf(name, sizeof name, "%s %02d", f.name, variant);
  p.name = name;
  const uint64_t h = mix(seed, 0x5041525400ull + uint64_t(k), 0);
  auto pick = [&](int shift, int32_t lo, int32_t hi) {
    return lo + int32_t((h >> shift) % uint64_t(hi - lo + 1));
  };
  const double stretch = 1.0 + 0.1 * (variant % 4);
  const double w = f.size[0] * stretch;
  const double d = f.size[1];
  const double ht = f.size[2];
  p.baseSize = {w, d, ht};
  auto shader = [&](int32_t i) { return 20 + (k * 7 + i * 3) % (kShaderCount - 20); };
  LocalMesh& m = p.mesh;
  switch (p.family) {
    case 0:  // window: frame block with an arched top
      addBox(m, {0, 0, 0}, {w, ht - w / 2, d}, shader(0), {pick(0, 1, 3), pick(2, 1, 3), 1});
      addArch(m, {w / 2, ht - w / 2, d / 2}, w / 2, pick(4, 4, 10), shader(1));
      break;
    case 1:  // table: subdivided top on a polygonal pedestal
      addBox(m, {0, ht - 5, 0}, {w, ht, d}, shader(0), {pick(0, 2, 4), 1, pick(2, 2, 3)}, 4);
      addPrism(m, {w / 2, 0, d / 2}, 12, ht - 5, pick(4, 5, 8), pick(6, 1, 3), shader(1), shader(2));
      break;
    case 2:  // door: leaf and handle
      addBox(m, {0, 0, 0}, {w, ht, d}, shader(0), {1, pick(0, 2, 4), 1});
      addBox(m, {w - 15, 95, d}, {w - 5, 100, d + 4}, shader(1));
      break;
    case 3: {  // chair: polygonal legs, seat, back
      const int32_t sides = pick(8, 5, 8);
      for (int32_t i = 0; i < 4; ++i) {
        const double x = (i & 1) ? w - 3 : 3;
        const double z = (i & 2) ? d - 3 : 3;
        addPrism(m, {x, 0, z}, 2.5, 45, sides, 1, shader(0), shader(0));
      }
      addBox(m, {0, 45, 0}, {w, 50, d}, shader(1), {pick(0, 1, 3), 1, pick(2, 1, 3)}, 3);
      addBox(m, {0, 50, d - 5}, {w, ht, d}, shader(1), {pick(4, 1, 3), pick(6, 1, 3), 1});
      break;
    }
    case 4:  // column: square base, polygonal shaft
      addBox(m, {0, 0, 0}, {w, 10, d}, shader(0));
      addPrism(m, {w / 2, 10, d / 2}, w * 0.4, ht - 10, pick(0, 5, 8), pick(2, 2, 6), shader(1), shader(2));
      break;
    case 5:  // cabinet
      addBox(m, {0, 0, 0}, {w, ht, d}, shader(0), {pick(0, 2, 4), pick(2, 2, 4), pick(4, 1, 2)});
      break;
    case 6:  // planter: polygonal pot with soil
      addPrism(m, {w / 2, 0, d / 2}, w / 2, ht - 10, pick(0, 5, 8), pick(2, 1, 2), shader(0), shader(1));
      addBox(m, {w / 2 - 10, ht - 10, d / 2 - 10}, {w / 2 + 10, ht, d / 2 + 10}, shader(2));
      break;
    case 7: {  // shelf: two sides and boards
      addBox(m, {0, 0, 0}, {2, ht, d}, shader(0), {1, 2, 1});
      addBox(m, {w - 2, 0, 0}, {w, ht, d}, shader(0), {1, 2, 1});
      const int32_t boards = pick(0, 3, 5);
      for (int32_t i = 0; i < boards; ++i) {
        const double y = 5 + (ht - 10) * i / (boards - 1);
        addBox(m, {2, y, 0}, {w - 2, y + 2, d}, shader(1));
      }
      break;
    }
    case 8:  // sofa: base, back, arms
      addBox(m, {0, 0, 0}, {w, 40, d}, shader(0), {3, 1, 2}, 5);
      addBox(m, {0, 40, d - 20}, {w, ht, d}, shader(0), {3, 1, 1});
      addBox(m, {0, 40, 0}, {15, 60, d - 20}, shader(1));
      addBox(m, {w - 15, 40, 0}, {w, 60, d - 20}, shader(1));
      break;
    default:  // radiator: finned block
      addBox(m, {0, 0, 0}, {w, ht, d}, shader(0), {pick(0, 4, 8), 2, 1});
      break;
  }
  return p;
}

struct ElementPlan {
  int32_t kind = kWall;
  int32_t part = -1;
  int32_t polygons = 0;
  int32_t story = 0;
  int32_t cellX = 0;
  int32_t cellZ = 0;
  int32_t shader = 0;
  int32_t pointBase = 0;
  bool mirrored = false;
  double angle = 0.0;
  double widthScale = 1.0;
  Vec3 origin{};
};

}  // namespace

struct BigScene::Impl {
  BigSceneOptions options;
  std::vector<Part> parts;
  std::vector<ElementPlan> elements;
  BigSceneSummary summary;
  std::array<double, 6> box{};

  explicit Impl(const BigSceneOptions& o);

  Placement placementOf(const ElementPlan& e) const {
    const Part& p = parts[size_t(e.part)];
    Placement pl;
    pl.origin = e.origin;
    pl.angleDegrees = e.angle;
    pl.baseSize = p.baseSize;
    pl.size = {p.baseSize[0] * e.widthScale, p.baseSize[1], p.baseSize[2]};
    pl.mirrored = e.mirrored;
    return pl;
  }

  std::string elementName(int32_t index) const {
    const ElementPlan& e = elements[size_t(index)];
    char buf[96];
    if (e.kind == kPlaced) {
      std::snprintf(buf, sizeof buf, "%s #%d", parts[size_t(e.part)].name.c_str(), index);
    } else {
      std::snprintf(buf, sizeof buf, "%s %06d", e.kind == kWall ? "Wall" : "Slab", index);
    }
    return buf;
  }

  // Wall ring around the room or floor slab over it, with exactly e.polygons faces.
  void buildStructural(const ElementPlan& e, LocalMesh& m) const {
    m.clear();
    const double x0 = e.cellX * kRoomSize;
    const double z0 = e.cellZ * kRoomSize;
    const double y0 = e.story * kStoryHeight;
    const int32_t cells = gridCellsFor(e.polygons, kTriangleEvery);
    GridSpec g;
    g.polygonLimit = e.polygons;
    g.triangleEvery = kTriangleEvery;
    g.shader = e.shader;
    if (e.kind == kWall) {
      const double side = kRoomSize - 2 * kWallInset;
      g.columns = 4 * std::max(1, int32_t(std::lround(std::sqrt(double(cells)) / 2.0)));
      g.wrap = true;
      g.uvSize = {4 * side / 100.0, kWallHeight / 100.0};
      addGrid(m, g, [&](double u, double v) {
        const double along = u * 4.0;
        const int32_t s = std::min(3, int32_t(along));
        const double t = (along - s) * side;
        const double a = x0 + kWallInset;
        const double b = z0 + kWallInset;
        const double y = y0 + v * kWallHeight;
        switch (s) {
          case 0:
            return Vec3{a + t, y, b};
          case 1:
            return Vec3{a + side, y, b + t};
          case 2:
            return Vec3{a + side - t, y, b + side};
          default:
            return Vec3{a, y, b + side - t};
        }
      });
    } else {
      g.columns = std::max(1, int32_t(std::lround(std::sqrt(double(cells)))));
      g.uvSize = {kRoomSize / 100.0, kRoomSize / 100.0};
      addGrid(m, g, [&](double u, double v) { return Vec3{x0 + v * kRoomSize, y0, z0 + u * kRoomSize}; });
    }
  }

  // The element's mesh: its part's mesh for a placed element (outTransform then holds the
  // placement), else its wall or slab built into scratch.
  const LocalMesh& meshOf(const ElementPlan& e, LocalMesh& scratch, Transform& outTransform) const {
    if (e.kind == kPlaced) {
      outTransform = Transform::from(placementOf(e));
      return parts[size_t(e.part)].mesh;
    }
    buildStructural(e, scratch);
    return scratch;
  }

  // Calls visit(index, plan, mesh, transform or null) for every element in order.
  template <class Visit>
  void forEachElement(Visit visit) const {
    LocalMesh scratch;
    Transform t;
    for (size_t i = 0; i < elements.size(); ++i) {
      const ElementPlan& e = elements[i];
      const LocalMesh& m = meshOf(e, scratch, t);
      visit(int32_t(i), e, m, e.kind == kPlaced ? &t : nullptr);
    }
  }
};

BigScene::Impl::Impl(const BigSceneOptions& o) : options(o) {
  const int64_t n = o.polygons;
  if (n < 1 || n > kMaxBigScenePolygons) throw std::invalid_argument("polygon count out of range");
  const uint64_t seed = o.seed;
  const int32_t elementCount = int32_t((n + kPolygonsPerElement - 1) / kPolygonsPerElement);
  const int32_t partCount = std::clamp(elementCount / 20, 1, 500);
  parts.reserve(size_t(partCount));
  for (int32_t k = 0; k < partCount; ++k) parts.push_back(makePart(seed, k));

  // Roles: about half the elements are placed parts, popular parts far more often than
  // rare ones; walls and slabs share the remaining polygons.
  elements.resize(size_t(elementCount));
  int64_t placedPolygons = 0;
  int32_t structural = 0;
  for (int32_t i = 0; i < elementCount; ++i) {
    ElementPlan& e = elements[size_t(i)];
    const uint64_t h = mix(seed, uint64_t(i), 1);
    if (h % 100 < 55) {
      const double u = unit(mix(seed, uint64_t(i), 2));
      e.kind = kPlaced;
      e.part = std::min(partCount - 1, int32_t(partCount * u * u));
      e.polygons = parts[size_t(e.part)].mesh.faceCount();
      placedPolygons += e.polygons;
    } else {
      e.kind = (h >> 8) % 10 < 6 ? kWall : kSlab;
      ++structural;
    }
  }
  // Small scenes: turn placed parts back into walls until every wall and slab gets at
  // least one polygon.
  auto tooFewLeft = [&] {
    const int64_t rest = n - placedPolygons;
    return rest < structural || (structural == 0 && rest > 0);
  };
  for (int32_t i = elementCount - 1; i >= 0 && tooFewLeft(); --i) {
    ElementPlan& e = elements[size_t(i)];
    if (e.kind != kPlaced) continue;
    placedPolygons -= e.polygons;
    e = ElementPlan{};
    e.kind = kWall;
    ++structural;
  }
  const int64_t rest = n - placedPolygons;
  int32_t s = 0;  // structural elements so far
  for (ElementPlan& e : elements) {
    if (e.kind == kPlaced) continue;
    e.polygons = int32_t(rest / structural + (s < rest % structural ? 1 : 0));
    ++s;
  }

  // Layout: each story is a square block of rooms, one element per room slot.
  std::vector<uint8_t> partUsed(parts.size(), 0);
  for (int32_t story = 0; story < kStories; ++story) {
    const int32_t first = int32_t(int64_t(elementCount) * story / kStories);
    const int32_t last = int32_t(int64_t(elementCount) * (story + 1) / kStories);
    const int32_t width = std::max(1, int32_t(std::ceil(std::sqrt(double(last - first)))));
    for (int32_t i = first; i < last; ++i) {
      ElementPlan& e = elements[size_t(i)];
      e.story = story;
      e.cellX = (i - first) % width;
      e.cellZ = (i - first) / width;
      const uint64_t h = mix(seed, uint64_t(i), 3);
      if (e.kind == kWall) e.shader = int32_t(h % 10);
      if (e.kind == kSlab) e.shader = 10 + int32_t(h % 10);
      if (e.kind != kPlaced) continue;
      partUsed[size_t(e.part)] = 1;
      const Family& f = kFamilies[parts[size_t(e.part)].family];
      const double y = story * kStoryHeight + (f.classIndex == kWindowClass ? 90.0 : 0.0);
      e.origin = {e.cellX * kRoomSize + 60 + double(h % 200), y,
                  e.cellZ * kRoomSize + 60 + double((h >> 8) % 200)};
      e.angle = (h >> 16) % 10 == 0 ? double((h >> 20) % 360) : 90.0 * double((h >> 20) % 4);
      e.mirrored = (h >> 32) % 5 == 0;
      e.widthScale = (h >> 40) % 4 == 0 ? 1.25 : 1.0;
    }
  }

  // Point blocks and the scene box, from one generation pass.
  box = {std::numeric_limits<double>::max(),    std::numeric_limits<double>::max(),
         std::numeric_limits<double>::max(),    std::numeric_limits<double>::lowest(),
         std::numeric_limits<double>::lowest(), std::numeric_limits<double>::lowest()};
  int64_t points = 0;
  int64_t corners = 0;
  int64_t polygons = 0;
  LocalMesh scratch;
  Transform t;
  for (ElementPlan& e : elements) {
    const LocalMesh& m = meshOf(e, scratch, t);
    e.pointBase = int32_t(points);
    for (const Vec3& local : m.points) {
      const Vec3 p = e.kind == kPlaced ? t.apply(local) : local;
      for (int k = 0; k < 3; ++k) {
        const double v = double(float(p[k]));  // the box of the values the file holds
        box[k] = std::min(box[k], v);
        box[k + 3] = std::max(box[k + 3], v);
      }
    }
    points += m.pointCount();
    corners += int64_t(m.corners.size());
    polygons += m.faceCount();
    if (points > std::numeric_limits<int32_t>::max()) throw std::invalid_argument("too many points");
  }
  if (polygons != n) throw std::logic_error("polygon plan does not add up");

  summary.polygons = polygons;
  summary.points = points;
  summary.elements = elementCount;
  summary.corners = corners;
  for (const ElementPlan& e : elements) summary.placedElements += e.kind == kPlaced ? 1 : 0;
  summary.libraryParts = std::count(partUsed.begin(), partUsed.end(), uint8_t(1));
}

BigScene::BigScene(const BigSceneOptions& options) : impl_(std::make_unique<Impl>(options)) {}
BigScene::~BigScene() = default;

const BigSceneSummary& BigScene::summary() const {
  return impl_->summary;
}

bool BigScene::write(SceneWriter& w) const {
  const Impl& s = *impl_;
  static const char* const kMaterials[10] = {"Plaster", "Brick", "Concrete", "Timber", "Tile",
                                             "Glass",   "Steel", "Fabric",   "Stone",  "Paint"};

  SceneHeader header;
  header.version = kVersion250;
  header.headerText = "Scene export";
  header.headerString1 = "scenegen big";
  header.headerString2 = "Benchmark building, " + std::to_string(s.summary.polygons) + " polygons";
  header.doublePrecision = false;
  header.fileUnitCode = 2;
  header.fileUnit = 0.01;
  header.infoNumber = 4021;
  w.writeHeader(header);
  SceneInfo info;
  info.sceneBox = s.box;
  info.shaderDataLevel = 3;
  w.writeSceneInfo(info);

  for (int32_t i = 0; i < kShaderCount; ++i) {
    const uint64_t h = mix(s.options.seed, 0x534844ull, uint64_t(i));
    ShaderRecord r;
    r.name = std::string(kMaterials[i % 10]) + " " + std::to_string(i / 10 + 1);
    r.color = {0.3 + 0.6 * unit(h), 0.3 + 0.6 * unit(h * 31 + 7), 0.3 + 0.6 * unit(h * 131 + 3)};
    w.addShader(r);
  }
  for (int32_t i = 0; i < kShaderCount; ++i) w.addShaderInternal(ShaderInternalRecord{});
  for (int32_t i = 0; i < kShaderCount; ++i) {
    ParameterSet set;
    ParameterEntry& e = set.entries.emplace_back();
    e.name = "C4D_CHCOLOR_COLOR";
    e.valueType = 3;
    e.rows = 1;
    e.columns = 3;
    e.realCells = {0.5, 0.5, 0.5};
    w.addShaderC4D(set);
  }
  w.addClass({1, "Wall"});
  w.addClass({4, "Slab"});
  w.addClass({3, "Window"});
  w.addClass({2, "Door"});
  w.addClass({8, "Furniture"});
  w.addClass({6, "Column"});
  for (int32_t i = 0; i < kStories; ++i)
    w.addStory({i, "Level " + std::to_string(i), {i * kStoryHeight, kStoryHeight}});
  for (const char* name : {"Walls", "Slabs", "Openings", "Furniture", "Structure"}) w.addLayer({name});

  for (int32_t i = 0; i < int32_t(s.elements.size()); ++i) {
    const ElementPlan& e = s.elements[size_t(i)];
    ElementRecord r;
    r.name = s.elementName(i);
    r.storyIndex = e.story;
    if (e.kind == kPlaced) {
      const Part& p = s.parts[size_t(e.part)];
      const Placement pl = s.placementOf(e);
      r.classIndex = kFamilies[p.family].classIndex;
      r.layerIndex = kFamilies[p.family].layerIndex;
      r.placed = true;
      r.libraryName = p.name;
      r.position = pl.origin;
      r.angle = pl.angleDegrees;
      r.size = pl.size;
      r.baseSize = pl.baseSize;
      r.mirrored = pl.mirrored;
    } else {
      r.classIndex = e.kind == kWall ? kWallClass : kSlabClass;
      r.layerIndex = e.kind == kWall ? kWalls : kSlabs;
    }
    w.addElement(r);
  }

  s.forEachElement([&](int32_t, const ElementPlan&, const LocalMesh& m, const Transform* t) {
    for (const Vec3& local : m.points) {
      const Vec3 p = t ? t->apply(local) : local;
      w.addPoint(p[0], p[1], p[2]);
    }
  });
  s.forEachElement([&](int32_t, const ElementPlan&, const LocalMesh& m, const Transform*) {
    for (int32_t f = 0; f < m.faceCount(); ++f) w.addUvw(m.faceUvs(f));
  });
  std::vector<int32_t> corners;
  s.forEachElement([&](int32_t index, const ElementPlan& e, const LocalMesh& m, const Transform*) {
    for (int32_t f = 0; f < m.faceCount(); ++f) {
      corners.clear();
      for (int32_t c : m.faceCorners(f)) corners.push_back(e.pointBase + c);
      w.addPolygon(m.faceShader[size_t(f)], index, corners);
    }
  });

  CameraRecord camera;
  camera.name = "ACCamera_0";
  camera.idText = "view-0";
  camera.position = {s.box[0] - 1000, s.box[4] + 800, s.box[2] - 1000};
  camera.target = {(s.box[0] + s.box[3]) / 2, (s.box[1] + s.box[4]) / 2, (s.box[2] + s.box[5]) / 2};
  camera.fieldAngle = 60;
  w.addCamera(camera);
  return w.finish();
}

namespace {

// Buffered text output with number formatting by std::to_chars.
class TextOut {
 public:
  explicit TextOut(const std::string& path) : file_(std::fopen(path.c_str(), "wb")), buffer_(kSize) {}
  ~TextOut() {
    if (file_) std::fclose(file_);
  }
  bool ok() const { return file_ != nullptr && ok_; }

  void text(std::string_view s) {
    room(s.size());
    std::copy(s.begin(), s.end(), buffer_.data() + used_);
    used_ += s.size();
  }
  void number(int64_t v) {
    room(24);
    used_ = size_t(std::to_chars(buffer_.data() + used_, buffer_.data() + buffer_.size(), v).ptr -
                   buffer_.data());
  }
  void number(float v) {
    room(32);
    used_ = size_t(std::to_chars(buffer_.data() + used_, buffer_.data() + buffer_.size(), v).ptr -
                   buffer_.data());
  }
  void put(char c) {
    room(1);
    buffer_[used_++] = c;
  }
  bool close() {
    flush();
    if (!file_) return false;
    if (std::fclose(file_) != 0) ok_ = false;
    file_ = nullptr;
    return ok_;
  }

 private:
  static constexpr size_t kSize = size_t(4) << 20;
  void room(size_t n) {
    if (buffer_.size() - used_ < n) flush();
  }
  void flush() {
    if (file_ && used_ > 0 && std::fwrite(buffer_.data(), 1, used_, file_) != used_) ok_ = false;
    used_ = 0;
  }
  std::FILE* file_;
  std::vector<char> buffer_;
  size_t used_ = 0;
  bool ok_ = true;
};

}  // namespace

bool BigScene::writeObj(const std::string& path) const {
  const Impl& s = *impl_;
  TextOut out(path);
  if (!out.ok()) return false;
  out.text("# scenegen benchmark building: ");
  out.number(s.summary.polygons);
  out.text(" polygons, lengths in centimetres\n");
  // The values are rounded to binary32 as in the scene file.
  s.forEachElement([&](int32_t, const ElementPlan&, const LocalMesh& m, const Transform* t) {
    for (const Vec3& local : m.points) {
      const Vec3 p = t ? t->apply(local) : local;
      out.text("v ");
      out.number(float(p[0]));
      out.put(' ');
      out.number(float(p[1]));
      out.put(' ');
      out.number(float(p[2]));
      out.put('\n');
    }
  });
  s.forEachElement([&](int32_t, const ElementPlan&, const LocalMesh& m, const Transform*) {
    for (const Vec2& uv : m.uvs) {
      out.text("vt ");
      out.number(float(uv[0]));
      out.put(' ');
      out.number(float(uv[1]));
      out.put('\n');
    }
  });
  int64_t texture = 1;
  s.forEachElement([&](int32_t index, const ElementPlan& e, const LocalMesh& m, const Transform*) {
    out.text("o ");
    out.text(s.elementName(index));
    out.put('\n');
    for (int32_t f = 0; f < m.faceCount(); ++f) {
      out.put('f');
      for (int32_t c : m.faceCorners(f)) {
        out.put(' ');
        out.number(int64_t(e.pointBase) + c + 1);
        out.put('/');
        out.number(texture++);
      }
      out.put('\n');
    }
  });
  return out.close();
}

}  // namespace talvo::scenegen
