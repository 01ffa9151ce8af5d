// The scene reader: turns one scene file into in-memory record tables.
//
// Lengths are multiplied by the options' scale and UV coordinates by uvwScale while
// reading; angles are converted from degrees to radians; every real is kept as 64 bits.
// The reader trusts nothing in the file: counts are checked against the bytes that can
// hold them before anything is allocated, and every index is checked against the records
// already read, so the builders may rely on every index they see.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "common/array.h"
#include "host/file.h"
#include "host/filename.h"
#include "host/text.h"
#include "host/values.h"
#include "talvo_import_c4d_options.h"

namespace talvo {

// Sections in body order; also the order of the counts (the trailer order of 2.20 files).
enum class Section : int32_t {
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
constexpr int32_t kSectionCount = 15;

struct SceneHeader {
  int32_t version = 0;
  host::String versionName;
  host::String headerString2;
  bool doublePrecision = false;
  bool utf8Strings = false;
  int32_t fileUnitCode = 0;
  double fileUnit = 1.0;
  int32_t infoNumber = 0;
  int32_t shaderDataLevel = 0;
};

struct ShaderRecord {
  host::String name;
  double color[3] = {};
  int32_t polygonCount = 0;
  int32_t polygonIndexSum = 0;
};

struct TextureRecord {
  host::String name;
  host::Filename path;
  host::String fileTitle;
  host::Filename fileName;
  uint32_t dataSize = 0;
};

struct ShaderInternalRecord {
  bool present = false;
  host::String textureName;
  double angle = 0.0;  // radians, sign reversed against the file
  double textureWidth = 0.0;
  double textureHeight = 0.0;
  bool flagA = false;  // bump
  bool flagB = false;  // alpha
  bool flagC = false;  // mirrored in x
  bool flagD = false;  // mirrored in y
  bool hasExtras = false;
  double extras[13] = {};
};

struct ParameterKey {
  host::String prefix;
  host::String group;
  host::String parameter;
  host::String fullName;
  int32_t index = 0;
  bool recognised = false;
};

struct ParameterCell {
  std::string stringValue;  // raw bytes, valueType 4
  double realValue = 0.0;   // other types
};

struct ParameterEntry {
  std::string name;  // raw bytes
  ParameterKey key;
  int32_t valueType = 0;
  int32_t rows = 0;
  int32_t columns = 0;
  std::string stringValue;  // raw bytes, UTF-8 for its users
  double realValue = 0.0;
  common::Array<ParameterCell> cells;  // rows × max(columns, 1), row after row
};

struct ParameterSet {
  int32_t infoNumber = 0;
  host::String shaderName;
  int32_t recognisedCount = 0;
  common::Array<ParameterEntry> entries;
};

// Filled by the material builder; zero after reading.
struct ShaderWorkRecord {
  int32_t verMain = 0;
  int32_t verSub = 0;
  double horSize = 0.0;
  double verSize = 0.0;
  double depSize = 0.0;
  double sizeAngle = 0.0;
  bool sizeComplete = false;
  bool keepProportions = false;
  bool randomOrigin = false;
  bool grass = false;
  bool hostMaterialMade = false;
};

struct ClassRecord {
  int32_t typeId = -1;
  host::String name;
  int32_t polygonCount = 0;
  int32_t polygonIndexSum = 0;
};

struct StoryRecord {
  host::String name;
  int32_t polygonCount = 0;
  int32_t polygonIndexSum = 0;
};

struct LayerRecord {
  host::String name;
  int32_t polygonCount = 0;
  int32_t polygonIndexSum = 0;
};

constexpr int32_t kLampTypeId = 7;

struct ElementRecord {
  int32_t polygonCount = 0;
  int32_t polygonIndexSum = 0;
  int32_t instanceGroup = -1;
  int32_t layerIndex = 0;
  int32_t classIndex = 0;
  int32_t storyIndex = 0;
  host::String name;
  bool placed = false;
  bool hasLight = false;
  host::String libraryName;
  double position[3] = {};
  double angle = 0.0;
  double size[3] = {};
  double baseSize[3] = {};
  bool mirrored = false;
};

struct PointRecord {
  double x = 0.0, y = 0.0, z = 0.0;
};

struct NormalRecord {
  double x = 0.0, y = 0.0, z = 0.0;
};

struct UvwRecord {
  int32_t vertexCount = 0;  // 3 or 4
  host::Vector uvw[4];      // (u, -v, 0); the fourth is zero for a triangle
};

struct PolygonRecord {
  int32_t shaderIndex = 0;
  int32_t elementIndex = 0;
  int32_t vertexCount = 0;     // 3 or 4
  int32_t pointIndex[4] = {};  // the fourth is 0 for a triangle
};

struct LightRecord {
  int32_t elementIndex = -1;
  host::String name;
  double position[3] = {};
  double target[3] = {};
  int32_t hostLightType = 0;
  int32_t shadowType = 0;
  double color[3] = {};
  double brightness = 0.0;
  double spotRadius = 0.0;
  double innerAngle = 0.0;
  double outerAngle = 0.0;
  double falloffDistance = 0.0;
  double falloffRadius = 0.0;
  double innerDistance = 0.0;
  ParameterSet parameters;
  int32_t lightNumber = -1;
  int32_t instanceGroup = -1;
};

struct CameraSetRecord {
  host::String name;
};

struct CameraRecord {
  host::String name;
  double position[3] = {};
  double target[3] = {};
  double fieldAngle = 0.0;
  double roll = 0.0;
  int32_t cameraSetIndex = -1;
  int32_t cameraNumber = -1;
};

class SceneLoader {
 public:
  // Binds the loader to the options and the already opened file.
  SceneLoader(const ImportOptions& options, host::BaseFile& file);
  ~SceneLoader();
  SceneLoader(const SceneLoader&) = delete;
  SceneLoader& operator=(const SceneLoader&) = delete;

  // True when the name ends in ".TALVO" (any letter case) and the first 7 bytes are
  // "TLVOBIN".
  static bool isSceneFile(const host::Filename& name, const uint8_t* firstBytes, size_t byteCount);

  // Checks extension, header, version and count trailer and prints the count report;
  // reads no records. 10008, 10011, 10006, 10007, 10012, 10009 or 10010 on failure.
  [[nodiscard]] int32_t checkFile();
  // Reads every record. On failure the records read so far stay until release.
  [[nodiscard]] int32_t readAll();
  // Closes the file and frees every record and buffer.
  void release();

  // Read counters: the usable records of each table.
  int32_t shadersRead() const { return int32_t(shaders.size()); }
  int32_t texturesRead() const { return int32_t(textures.size()); }
  int32_t shaderInternalsRead() const { return int32_t(shaderInternals.size()); }
  int32_t shaderC4DsRead() const { return int32_t(shaderC4Ds.size()); }
  int32_t classesRead() const { return int32_t(classes.size()); }
  int32_t storiesRead() const { return int32_t(stories.size()); }
  int32_t layersRead() const { return int32_t(layers.size()); }
  int32_t elementsRead() const { return int32_t(elements.size()); }
  int32_t pointsRead() const { return int32_t(points.size()); }
  int32_t uvwStored() const { return int32_t(uvws.size()); }
  int32_t normalsRead() const { return int32_t(normals.size()); }
  int32_t polygonsStored() const { return int32_t(polygons.size()); }
  int32_t lightsRead() const { return int32_t(lights.size()); }
  int32_t cameraSetsRead() const { return int32_t(cameraSets.size()); }
  int32_t camerasRead() const { return int32_t(cameras.size()); }

  int32_t count(Section s) const { return counts[size_t(s)]; }

  SceneHeader header;
  double center[3] = {};
  std::array<int32_t, kSectionCount> counts{};  // trailer counts in section order; absent 0

  common::Array<ShaderRecord> shaders;
  common::Array<TextureRecord> textures;
  common::Array<common::Array<uint8_t>> textureData;  // index = texture index
  common::Array<ShaderInternalRecord> shaderInternals;
  common::Array<ParameterSet> shaderC4Ds;
  common::Array<ShaderWorkRecord> shaderC4DWork;
  common::Array<ClassRecord> classes;
  common::Array<StoryRecord> stories;
  common::Array<LayerRecord> layers;
  common::Array<ElementRecord> elements;
  common::Array<PointRecord> points;
  common::Array<UvwRecord> uvws;
  common::Array<NormalRecord> normals;
  common::Array<PolygonRecord> polygons;
  common::Array<LightRecord> lights;
  common::Array<CameraSetRecord> cameraSets;
  common::Array<CameraRecord> cameras;

 private:
  [[nodiscard]] int32_t readHeader();
  // Reads the counts; returns the number of counts that could not be read or are negative.
  int32_t readTrailer(bool report);
  [[nodiscard]] int32_t readBody();
  [[nodiscard]] int32_t checkpoint();

  // Section readers.
  [[nodiscard]] int32_t readShaders();
  [[nodiscard]] int32_t readTextures();
  [[nodiscard]] int32_t readShaderInternals();
  [[nodiscard]] int32_t readShaderC4Ds();
  [[nodiscard]] int32_t readClasses();
  [[nodiscard]] int32_t readStories();
  [[nodiscard]] int32_t readLayers();
  [[nodiscard]] int32_t readElements();
  [[nodiscard]] int32_t readPoints();
  [[nodiscard]] int32_t readUvws();
  [[nodiscard]] int32_t readNormals();
  [[nodiscard]] int32_t readPolygons();
  [[nodiscard]] int32_t readLights();
  [[nodiscard]] int32_t readCameraSets();
  [[nodiscard]] int32_t readCameras();
  [[nodiscard]] int32_t readParameterSet(ParameterSet& set);

  // Primitive reads. A failed read sets the file error -100 and returns 0 or an empty
  // text; the error is sticky, so one test per record is enough.
  int32_t readInt32();
  uint32_t readUInt32();
  bool readBool();
  double readReal();
  // A string of at most `limit` bytes (NUL included); a count that is negative or above
  // the limit is a read error. The bytes up to the first NUL are returned undecoded.
  std::string readStringBytes(int32_t limit);
  // A string decoded as UTF-8 or 8-bit text by the header's utf8Strings.
  host::String readString();
  host::String readFixedText(int32_t length);
  host::String decodeText(std::string_view bytes) const;
  int32_t setReadError();

  int64_t bodyBytesLeft() const;
  bool countsFitBody(int64_t bodyStart) const;
  int32_t trailerSize() const;
  int32_t stringLimit() const;

  const ImportOptions& options_;
  host::BaseFile& file_;
  int64_t fileSize_ = 0;
  int64_t position_ = 0;   // file position at the last progress step
  int64_t headerEnd_ = 0;  // file position after the header
  bool headerRead_ = false;
  std::string scratch_;  // reused by string reads
};

// Splits a parameter name "C4D_<group>_<parameter>[_<index>]" into its key. A name whose
// first part is not exactly "C4D", or with fewer than 3 or more than 4 parts, leaves the
// key not recognised. A part longer than 63 bytes is a read error (-100).
[[nodiscard]] int32_t decodeParameterKey(const host::String& name, ParameterKey& outKey);

// The version's name ("2.50", or "Unknown") and its treatment: 0 to read it, else the
// status that refuses it.
struct VersionInfo {
  const char* name;
  int32_t refusal;
};
VersionInfo lookupVersion(int32_t version);

}  // namespace talvo
