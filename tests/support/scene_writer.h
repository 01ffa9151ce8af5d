// SceneFile writer for tests, benchmarks and the scene generator.
//
// The importer only ever reads scene files; this writer produces them so that fixtures can be
// built in code. It writes every version of the format, field by field, little-endian, without
// padding. Values are written exactly as given: nothing is checked or repaired, so tests can
// make damaged files (indices out of range, vertex counts that disagree, wrong trailer counts).
//
// Two ways to use it:
//   - describe a whole scene in a SceneDescription and call writeScene / writeSceneFile;
//   - stream a large scene with SceneWriter: header, scene info, then records in section order,
//     then finish(), which writes the count trailer.
//
// Strings are written as an int32 byte count n followed by the text and one NUL (n includes the
// NUL). Every std::string below holds the raw bytes to write; the caller decides whether they
// are UTF-8 or an 8-bit encoding. Lengths are in file units, angles in degrees.

#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace talvo::testsupport {

// Body sections in file order.
enum class Section : int {
  shader,
  texture,
  shaderInternal,
  shaderC4D,
  classes,
  story,
  layer,
  element,
  point,
  uvw,
  normal,
  polygon,
  light,
  cameraSet,
  camera,
};
inline constexpr int kSectionCount = 15;

inline constexpr int32_t kVersion210 = 20010;
inline constexpr int32_t kVersion211 = 20011;
inline constexpr int32_t kVersion212 = 20012;
inline constexpr int32_t kVersion213 = 20013;
inline constexpr int32_t kVersion220 = 20200;
inline constexpr int32_t kVersion250 = 20500;

// One optional trailer count per section, indexed by Section.
using CountOverrides = std::array<std::optional<int32_t>, kSectionCount>;

using Vec2 = std::array<double, 2>;
using Vec3 = std::array<double, 3>;

// "2.10", "2.50", ... for the known version numbers, "Unknown" for any other.
std::string versionName(int32_t version);

// False for the Shader C4D and CameraSet sections below version 2.20.
bool sectionExists(int32_t version, Section section);

// 52 bytes (13 counts) below 2.20, 60 bytes (15 counts) from 2.20.
int trailerSize(int32_t version);

// Position of the section's count in the trailer (0-based), or -1 when the version has none.
int trailerSlot(int32_t version, Section section);

struct SceneHeader {
  std::string magic = std::string("TLVOBIN\0", 8);  // written as exactly 8 bytes, NUL-padded
  std::string headerText;                           // written as exactly 256 bytes, NUL-padded
  int32_t version = kVersion250;
  std::string headerString1;
  std::string headerString2;
  std::optional<std::string> versionText;  // text(8), from 2.13; default versionName(version)
  bool doublePrecision = false;            // reals after this field are 8 bytes instead of 4
  bool headerFlag2 = false;
  bool utf8Strings = true;
  int32_t fileUnitCode = 1;  // 1 m, 2 cm, 3 mm, 4 inch, 5 foot, 6 fileUnit
  double fileUnit = 1.0;
  bool headerFlag3 = false;
  int32_t infoNumber = 0;  // from 2.11
};

struct SceneInfo {
  std::array<double, 6> sceneBox{};  // min0, min1, min2, max0, max1, max2
  int32_t headerInt2 = 0;
  int32_t shaderDataLevel = 3;  // from 2.20
};

struct ShaderRecord {
  std::string name;
  int32_t textureIndex = -1;
  int32_t kind = 0;
  Vec3 color{0.8, 0.8, 0.8};
};

struct TextureRecord {
  std::string name;  // text(32): longer names are cut, shorter ones NUL-padded
  std::string path;
  std::vector<uint8_t> data;
  std::optional<uint32_t> dataSize;  // written instead of data.size(); data is written as is
};

struct ShaderInternalRecord {
  bool present = false;
  std::string textureName;
  double angle = 0.0;
  double textureWidth = 100.0;
  double textureHeight = 100.0;
  bool flagA = false;  // bump
  bool flagB = false;  // alpha
  bool flagC = false;  // mirror in x, from 2.11
  bool flagD = false;  // mirror in y, from 2.11
  bool hasExtras = false;
  std::array<double, 13> extras{};
};

// Value types of a parameter entry: 0 none, 1 real, 2 string, 3 grid of reals, 4 grid of
// strings. Any other type is written like 3.
struct ParameterEntry {
  std::string name;
  int32_t valueType = 0;
  double realValue = 0.0;
  std::string stringValue;
  int32_t rows = 1;
  int32_t columns = 1;
  std::vector<double> realCells;         // written for grid types other than 4, as given
  std::vector<std::string> stringCells;  // written for type 4, as given
};

struct ParameterSet {
  std::vector<ParameterEntry> entries;
  std::optional<int32_t> entryCount;  // written instead of entries.size()
};

struct ClassRecord {
  int32_t typeId = -1;  // from 2.12; 7 is the lamp type
  std::string name;
};

struct StoryRecord {
  int32_t storyIndex = 0;
  std::string name;
  Vec2 values{};
};

struct LayerRecord {
  std::string name;
};

struct ElementRecord {
  int32_t layerIndex = 0;
  int32_t classIndex = 0;
  int32_t storyIndex = 0;
  std::string name;  // not written for 2.10; for 2.11 to 2.20 only when placed
  bool placed = false;
  // The fields below are written only when placed.
  std::string libraryName = {};
  Vec3 position{};  // in point axes; written as position[0], position[2], position[1]
  double angle = 0.0;
  Vec3 size{1.0, 1.0, 1.0};
  bool mirrored = false;
  Vec3 baseSize{1.0, 1.0, 1.0};
  bool spareFlag = false;  // from 2.20
};

struct PointRecord {
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;
};

struct UvwRecord {
  std::vector<Vec2> uv;
  std::optional<int32_t> vertexCount = {};  // written instead of uv.size()
};

struct NormalRecord {
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;
};

struct PolygonRecord {
  int32_t shaderIndex = 0;
  int32_t elementIndex = 0;
  std::vector<int32_t> pointIndices;
  std::optional<int32_t> vertexCount = {};  // written instead of pointIndices.size()
};

// Holds the fields of both light layouts; the file version picks which are written.
struct LightRecord {
  int32_t elementIndex = -1;  // from 2.20
  int32_t kind = 0;
  std::string name;
  int32_t lightNumber = -1;                // from 2.20
  std::array<int32_t, 2> ignoredValues{};  // below 2.20
  int32_t positionPoint = 0;               // below 2.20
  int32_t colorPoint = 0;                  // below 2.20
  Vec3 color{1.0, 1.0, 1.0};               // from 2.20
  Vec3 position{};                         // from 2.20
  Vec3 target{};                           // from 2.20
  int32_t shadowType = 0;
  double brightness = 1.0;
  double spotRadius = 0.0;
  double innerAngle = 0.0;
  double outerAngle = 0.0;
  double spare = 0.0;
  double falloffDistance = 0.0;
  double falloffRadius = 0.0;
  double innerDistance = 0.0;
  ParameterSet parameters;  // from 2.20
  int32_t targetPoint = 0;  // below 2.20
};

struct CameraSetRecord {
  std::string name;
};

// Holds the fields of both camera layouts; the file version picks which are written.
struct CameraRecord {
  std::string name;
  int32_t positionPoint = 0;  // below 2.20
  int32_t targetPoint = 0;    // below 2.20
  int32_t cameraNumber = 0;   // from 2.20
  std::string idText;         // from 2.20
  Vec3 position{};            // from 2.20
  Vec3 target{};              // from 2.20
  double fieldAngle = 60.0;
  double roll = 0.0;            // from 2.20
  int32_t cameraSetIndex = -1;  // from 2.20
};

// A whole scene as an exporter writes it.
struct SceneDescription {
  SceneHeader header;
  SceneInfo info;
  std::vector<ShaderRecord> shaders;
  std::vector<TextureRecord> textures;
  std::vector<ShaderInternalRecord> shaderInternals;
  std::vector<ParameterSet> shaderC4D;  // not written below 2.20
  std::vector<ClassRecord> classes;
  std::vector<StoryRecord> stories;
  std::vector<LayerRecord> layers;
  std::vector<ElementRecord> elements;
  std::vector<PointRecord> points;
  std::vector<UvwRecord> uvws;
  std::vector<NormalRecord> normals;
  std::vector<PolygonRecord> polygons;
  std::vector<LightRecord> lights;
  std::vector<CameraSetRecord> cameraSets;  // not written below 2.20
  std::vector<CameraRecord> cameras;
  CountOverrides countOverride;  // trailer counts written instead of the number of records
};

// Byte offsets in a written file, for tests that patch bytes.
struct SceneMarks {
  uint64_t headerEnd = 0;  // also the start of the scene info block
  uint64_t bodyStart = 0;
  // Start of each section; a section without records (or absent in the version) starts
  // where the next one does.
  std::array<uint64_t, kSectionCount> sectionStart{};
  uint64_t trailerStart = 0;
  uint64_t fileSize = 0;
  // Offset of each section's count in the trailer; empty when the version has none.
  std::array<std::optional<uint64_t>, kSectionCount> trailerEntry{};

  uint64_t start(Section s) const { return sectionStart[static_cast<int>(s)]; }
};

// Streaming encoder: writes to a byte vector or a file through a 1 MiB buffer.
//
// Call writeHeader, writeSceneInfo, then the add* functions in section order, then finish.
// Records of a section that the file's version lacks (Shader C4D, CameraSet below 2.20) are
// still written if added, but have no trailer count. Calls out of order throw
// std::logic_error: that is a mistake of the calling code, not a file property.
class SceneWriter {
 public:
  // Appends the file to out (which may already hold bytes; offsets count from where the
  // file starts).
  explicit SceneWriter(std::vector<uint8_t>& out);
  // Creates or truncates the file at path; ok() is false when it cannot be opened.
  explicit SceneWriter(const std::string& path);
  ~SceneWriter();
  SceneWriter(const SceneWriter&) = delete;
  SceneWriter& operator=(const SceneWriter&) = delete;

  // False once the file could not be opened or a write failed.
  bool ok() const { return ok_; }

  void writeHeader(const SceneHeader& header);
  void writeSceneInfo(const SceneInfo& info);

  void addShader(const ShaderRecord& r);
  void addTexture(const TextureRecord& r);
  void addShaderInternal(const ShaderInternalRecord& r);
  void addShaderC4D(const ParameterSet& r);
  void addClass(const ClassRecord& r);
  void addStory(const StoryRecord& r);
  void addLayer(const LayerRecord& r);
  void addElement(const ElementRecord& r);
  void addPoint(double x, double y, double z);
  void addPoint(const PointRecord& r) { addPoint(r.x, r.y, r.z); }
  void addUvw(std::span<const Vec2> uv);
  void addUvw(const UvwRecord& r);
  void addNormal(double x, double y, double z);
  void addNormal(const NormalRecord& r) { addNormal(r.x, r.y, r.z); }
  void addPolygon(int32_t shaderIndex, int32_t elementIndex, std::span<const int32_t> points);
  void addPolygon(const PolygonRecord& r);
  void addLight(const LightRecord& r);
  void addCameraSet(const CameraSetRecord& r);
  void addCamera(const CameraRecord& r);

  // Appends bytes as they are, in the current section (for deliberately damaged files).
  void writeRawBytes(std::span<const uint8_t> bytes);

  // Writes the trailer (counted records, or the overrides), flushes and closes a file.
  // Returns ok().
  bool finish(const CountOverrides& overrides = {});

  // Bytes written so far.
  uint64_t offset() const { return flushed_ + used_; }
  int32_t count(Section s) const { return counts_[static_cast<int>(s)]; }
  const SceneMarks& marks() const { return marks_; }
  int32_t version() const { return version_; }

 private:
  enum class Phase { start, header, info, body, done };

  void enterSection(Section s);
  void requirePhase(Phase expected, const char* what) const;

  void flush();
  void putBytes(const void* data, size_t n);
  void putZeros(size_t n);
  void putU8(uint8_t v);
  void putBool(bool v) { putU8(v ? 1 : 0); }
  void putU32(uint32_t v);
  void putI32(int32_t v) { putU32(static_cast<uint32_t>(v)); }
  void putU64(uint64_t v);
  void putReal(double v);
  void putString(const std::string& text);
  void putFixedText(const std::string& text, size_t width);
  void putParameterSet(const ParameterSet& set);

  std::vector<uint8_t>* target_ = nullptr;  // vector output
  std::FILE* file_ = nullptr;               // file output
  std::unique_ptr<uint8_t[]> buffer_;
  size_t used_ = 0;
  uint64_t flushed_ = 0;
  bool ok_ = true;

  Phase phase_ = Phase::start;
  int current_ = -1;  // last section entered
  int32_t version_ = 0;
  bool doublePrecision_ = false;
  std::array<int32_t, kSectionCount> counts_{};
  SceneMarks marks_;
};

// Encodes the description as a complete file.
std::vector<uint8_t> writeScene(const SceneDescription& scene, SceneMarks* outMarks = nullptr);

// Writes the description to path; false when the file cannot be written.
bool writeSceneFile(const SceneDescription& scene, const std::string& path);

}  // namespace talvo::testsupport
