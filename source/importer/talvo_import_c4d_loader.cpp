// Scene file layout, in brief (little-endian, no padding; "real" is 4 bytes, or 8 when
// the header's doublePrecision is set; "string" is an int32 byte count n and n bytes of
// text ending in NUL):
//
//   header      magic "TLVOBIN\0", 256 bytes of free text, int32 version, then for the
//               versions read: two strings, text(8) version text (from 2.13), three
//               bool8 (doublePrecision, unused, utf8Strings), int32 unit code, real unit
//               factor, bool8 unused, int32 info number (from 2.11)
//   scene info  6 reals scene box, int32 unused, int32 shader data level (from 2.20)
//   body        15 sections of records in the order of `Section`; the Shader C4D and
//               CameraSet sections exist from 2.20 on
//   trailer     one int32 count per section, 13 below 2.20 (52 bytes), 15 from 2.20 on
//               (60 bytes)
//
// Version history of the layout, as the readers below follow it:
//   2.11  header info number; shader internal mirror flags; element name after placement
//   2.12  class type id
//   2.13  header version text
//   2.20  shader data level; Shader C4D and CameraSet sections; lights and cameras carry
//         their vectors instead of point indices; light parameter sets; element spare flag
//   2.50  element name right after the three indices
#include "talvo_import_c4d_loader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <span>
#include <vector>

#include "host/ui.h"
#include "talvo_import_c4d_diagnostics.h"
#include "talvo_import_c4d_status.h"

namespace talvo {
namespace {

constexpr int32_t kV210 = 20010;
constexpr int32_t kV211 = 20011;
constexpr int32_t kV212 = 20012;
constexpr int32_t kV213 = 20013;
constexpr int32_t kV220 = 20200;
constexpr int32_t kV250 = 20500;

constexpr double kDegreesToRadians = std::numbers::pi / 180.0;

// String limits of the format, the NUL included.
constexpr int32_t kUtf8StringLimit = 1024;
constexpr int32_t kByteStringLimit = 256;
constexpr int32_t kParameterStringLimit = 256;
constexpr size_t kShaderNameLimit = 2047;  // a parameter set's copy of the shader name
constexpr size_t kKeyPartLimit = 63;

// Checkpoints inside the large sections run before every 1000th record.
constexpr int32_t kCheckpointInterval = 1000;
// The reader's position test uses the shorter trailer for every version.
constexpr int64_t kPositionMargin = 52;

constexpr int32_t kTrailerStatus = 10900;  // status text while reading the trailer
constexpr int32_t kBodyStatus = 10901;     // status text while reading the body

bool inTable(int32_t index, size_t tableSize) {
  return uint32_t(index) < tableSize;
}

// Cuts UTF-8 text to at most `limit` bytes without splitting a character.
host::String cutUtf8(const host::String& text, size_t limit) {
  if (text.size() <= limit) return text;
  size_t end = limit;
  while (end > 0 && (uint8_t(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

// Adds one stored polygon with `corners` corners to a counted record.
template <class R>
void countPolygon(R& record, int32_t corners) {
  record.polygonCount += 1;
  record.polygonIndexSum += corners;
}

// Room for one more uvw or polygon record. Fans store more records than the file counts;
// a full array grows to what the records read so far project for the whole section (and
// at least by an eighth), so it is copied a few times at most and keeps little spare room.
template <class T>
[[gnu::noinline]] bool growFor(common::Array<T>& array, int32_t recordsRead, int32_t recordsTotal) {
  const double perRecord = double(array.size()) / double(recordsRead < 1 ? 1 : recordsRead);
  const size_t projected = size_t(perRecord * double(recordsTotal) * 1.02) + 1024;
  const size_t minimum = array.capacity() + array.capacity() / 8 + 16;
  return array.reserve(std::max(projected, minimum));
}

template <class T>
[[gnu::always_inline]] inline T* appendGrowing(common::Array<T>& array, int32_t recordsRead,
                                               int32_t recordsTotal) {
  if (array.size() == array.capacity() && !growFor(array, recordsRead, recordsTotal)) return nullptr;
  return array.appendUninitialized();
}

}  // namespace

VersionInfo lookupVersion(int32_t version) {
  switch (version) {
    case 20000:
      return {"2.00", kStatusVersionTooOld};
    case 20001:
      return {"2.01", kStatusVersionTooOld};
    case 20005:
      return {"2.05", kStatusVersionTooOld};
    case 20006:
      return {"2.06", kStatusVersionTooOld};
    case kV210:
      return {"2.10", kStatusOk};
    case kV211:
      return {"2.11", kStatusOk};
    case kV212:
      return {"2.12", kStatusOk};
    case kV213:
      return {"2.13", kStatusOk};
    case kV220:
      return {"2.20", kStatusOk};
    case kV250:
      return {"2.50", kStatusOk};
    default:
      return {"Unknown", kStatusVersionUnknown};
  }
}

SceneLoader::SceneLoader(const ImportOptions& options, host::BaseFile& file)
    : options_(options), file_(file) {}

SceneLoader::~SceneLoader() {
  release();
}

bool SceneLoader::isSceneFile(const host::Filename& name, const uint8_t* firstBytes, size_t byteCount) {
  return name.checkSuffix("TALVO") && byteCount >= 7 && std::memcmp(firstBytes, "TLVOBIN", 7) == 0;
}

void SceneLoader::release() {
  file_.close();
  shaders.release();
  textures.release();
  textureData.release();
  shaderInternals.release();
  shaderC4Ds.release();
  shaderC4DWork.release();
  classes.release();
  stories.release();
  layers.release();
  elements.release();
  points.release();
  uvws.release();
  normals.release();
  polygons.release();
  lights.release();
  cameraSets.release();
  cameras.release();
}

// ---------------------------------------------------------------------------------------
// Primitive reads

[[gnu::noinline]] int32_t SceneLoader::setReadError() {
  file_.setError(kStatusReadFailed);
  return kStatusReadFailed;
}

[[gnu::always_inline]] inline int32_t SceneLoader::readInt32() {
  int32_t v = 0;
  if (!file_.readInt32(&v)) setReadError();
  return v;
}

[[gnu::always_inline]] inline uint32_t SceneLoader::readUInt32() {
  uint32_t v = 0;
  if (!file_.readUInt32(&v)) setReadError();
  return v;
}

[[gnu::always_inline]] inline bool SceneLoader::readBool() {
  bool v = false;
  if (!file_.readBool(&v)) setReadError();
  return v;
}

[[gnu::always_inline]] inline double SceneLoader::readReal() {
  if (header.doublePrecision) {
    double v = 0.0;
    if (!file_.readFloat64(&v)) setReadError();
    return v;
  }
  float v = 0.0f;
  if (!file_.readFloat32(&v)) setReadError();
  return double(v);
}

std::string SceneLoader::readStringBytes(int32_t limit) {
  int32_t n = 0;
  if (!file_.readInt32(&n)) {
    setReadError();
    return {};
  }
  if (n < 0 || n > limit) {
    setReadError();
    return {};
  }
  if (n == 0) return {};
  scratch_.resize(size_t(n));
  if (file_.readBytes(scratch_.data(), n) != n) {
    setReadError();
    return {};
  }
  return std::string(scratch_.data(), strnlen(scratch_.data(), size_t(n)));
}

host::String SceneLoader::decodeText(std::string_view bytes) const {
  return header.utf8Strings ? host::stringFromUtf8(bytes) : host::stringFrom8Bit(bytes);
}

int32_t SceneLoader::stringLimit() const {
  return header.utf8Strings ? kUtf8StringLimit : kByteStringLimit;
}

host::String SceneLoader::readString() {
  return decodeText(readStringBytes(stringLimit()));
}

host::String SceneLoader::readFixedText(int32_t length) {
  char bytes[64] = {};
  if (file_.readBytes(bytes, length) != length) {
    setReadError();
    return {};
  }
  return decodeText(std::string_view(bytes, strnlen(bytes, size_t(length))));
}

// ---------------------------------------------------------------------------------------
// Sizes

int32_t SceneLoader::trailerSize() const {
  return header.version >= kV220 ? 60 : 52;
}

int64_t SceneLoader::bodyBytesLeft() const {
  const int64_t left = fileSize_ - trailerSize() - file_.getPosition();
  return left > 0 ? left : 0;
}

// Whether every counted section fits in the body with records of their smallest size.
bool SceneLoader::countsFitBody(int64_t bodyStart) const {
  const int64_t v = header.version;
  const int64_t r = header.doublePrecision ? 8 : 4;
  const int64_t minimum[kSectionCount] = {
      12 + 3 * r,                             // shader: name, texture index, kind, colour
      32 + 4 + 4 + 1,                         // texture: name, path, size, at least one byte
      2,                                      // shader internal: present, hasExtras
      4,                                      // shader C4D: entry count
      4 + (v >= kV212 ? 4 : 0),               // class
      8 + 2 * r,                              // story
      4,                                      // layer
      13 + (v >= kV250 ? 4 : 0),              // element
      3 * r,                                  // point
      4,                                      // uvw: vertex count
      3 * r,                                  // normal
      12,                                     // polygon: shader, element, vertex count
      v >= kV220 ? 24 + 17 * r : 32 + 8 * r,  // light
      4,                                      // camera set
      v >= kV220 ? 16 + 8 * r : 12 + r,       // camera
  };
  const int64_t body = fileSize_ - trailerSize() - bodyStart;
  if (body < 0) return false;
  // Each product stays below 2^31 × 2^8, so the sum cannot overflow.
  int64_t needed = 0;
  for (int32_t i = 0; i < kSectionCount; ++i) needed += int64_t(counts[size_t(i)]) * minimum[i];
  return needed <= body;
}

// ---------------------------------------------------------------------------------------
// Check and read

int32_t SceneLoader::checkFile() {
  if (!options_.sceneFilePath.checkSuffix("TALVO")) return kStatusNotSceneFile;
  fileSize_ = file_.getLength();
  if (fileSize_ == 0) return kStatusEmptyFile;
  file_.seek(0);
  const int32_t rc = readHeader();
  file_.seek(0);
  if (rc != kStatusOk) return rc;
  if (readTrailer(true) != 0) return kStatusTrailerUnreadable;
  const int64_t sceneInfo = 6 * (header.doublePrecision ? 8 : 4) + 4 + (header.version >= kV220 ? 4 : 0);
  if (!countsFitBody(headerEnd_ + sceneInfo)) return kStatusDamaged;
  return kStatusOk;
}

int32_t SceneLoader::readAll() {
  fileSize_ = file_.getLength();
  if (fileSize_ == 0) return kStatusEmptyFile;
  if (!headerRead_) {
    // The trailer's size follows from the version.
    file_.seek(0);
    const int32_t rc = readHeader();
    if (rc != kStatusOk) return rc;
  }
  statusText(kTrailerStatus);
  const int32_t failures = readTrailer(false);
  statusClear();
  if (failures != 0) return kStatusTrailerUnreadable;
  statusText(kBodyStatus);
  const int32_t rc = readBody();
  statusClear();
  return rc;
}

// Header: see the layout at the top of this file. A refused version stops after the
// version field.
int32_t SceneLoader::readHeader() {
  header = SceneHeader{};
  headerRead_ = false;
  char start[8 + 256];
  if (file_.readBytes(start, sizeof start) != int64_t(sizeof start)) return kStatusHeaderUnreadable;
  int32_t version = 0;
  if (!file_.readInt32(&version)) return kStatusHeaderUnreadable;
  header.version = version;
  const VersionInfo info = lookupVersion(version);
  header.versionName = info.name;
  if (info.refusal != kStatusOk) return info.refusal;

  // Both header strings are UTF-8, whatever the file says further on.
  header.utf8Strings = true;
  readString();  // headerString1, not used
  header.headerString2 = readString();
  if (file_.getError() != kStatusOk) return kStatusHeaderUnreadable;
  if (version >= kV213) header.versionName = readFixedText(8);
  header.doublePrecision = readBool();
  readBool();  // headerFlag2, not used
  header.utf8Strings = readBool();
  header.fileUnitCode = readInt32();
  header.fileUnit = readReal();
  readBool();  // headerFlag3, not used
  if (version >= kV211) header.infoNumber = readInt32();
  if (file_.getError() != kStatusOk) return kStatusHeaderUnreadable;
  headerEnd_ = file_.getPosition();
  headerRead_ = true;
  return kStatusOk;
}

int32_t SceneLoader::readTrailer(bool report) {
  // Section of each trailer position: below 2.20 the Shader C4D and CameraSet counts are
  // absent.
  static constexpr Section kOld[] = {
      Section::shader,  Section::texture, Section::shaderInternal, Section::classes, Section::story,
      Section::layer,   Section::element, Section::point,          Section::uvw,     Section::normal,
      Section::polygon, Section::light,   Section::camera};
  static constexpr Section kNew[] = {
      Section::shader, Section::texture, Section::shaderInternal, Section::shaderC4D, Section::classes,
      Section::story,  Section::layer,   Section::element,        Section::point,     Section::uvw,
      Section::normal, Section::polygon, Section::light,          Section::cameraSet, Section::camera};
  const bool isNew = header.version >= kV220;
  const std::span<const Section> order =
      isNew ? std::span<const Section>(kNew) : std::span<const Section>(kOld);

  counts.fill(0);
  int32_t failures = 0;
  file_.seek(fileSize_ - trailerSize());
  for (Section s : order) {
    int32_t value = 0;
    if (!file_.readInt32(&value)) {
      setReadError();
      ++failures;
      continue;
    }
    // A negative count cannot be read as a number of records.
    if (value < 0) ++failures;
    counts[size_t(s)] = value;
  }

  if (report) {
    static constexpr const char* kFormats[kSectionCount] = {
        "Loader: Shader cnt:               %d", "Loader: Texture cnt:              %d",
        "Loader: Shader Internal cnt:      %d", "Loader: Shader C4D cnt:           %d",
        "Loader: Class cnt:                %d", "Loader: Story cnt:                %d",
        "Loader: Layer cnt:                %d", "Loader: Element cnt:              %d",
        "Loader: Point cnt:                %d", "Loader: Uvw cnt:                  %d",
        "Loader: Normal cnt:               %d", "Loader: Polygon cnt:              %d",
        "Loader: Light cnt:                %d", "Loader: CameraSet cnt:            %d",
        "Loader: Camera cnt:               %d"};
    printLine("Binary file version: %s", host::stringTo8Bit(header.versionName).c_str());
    printLine("%s", kSectionLine);
    printLine("Filename:  %s", host::stringTo8Bit(options_.sceneFilePath.file().string()).c_str());
    printLine("%s", kSectionLine);
    for (int32_t i = 0; i < kSectionCount; ++i) printLine(kFormats[i], counts[size_t(i)]);
    printLine("%s", kSectionLine);
  }
  file_.seek(0);
  return failures;
}

int32_t SceneLoader::checkpoint() {
  if (const int32_t error = file_.getError(); error != kStatusOk) return error;
  if (cancelRequested()) return kStatusReadCancelled;
  position_ = file_.getPosition();
  if (position_ > fileSize_ - kPositionMargin) return kStatusReadPastEnd;
  host::statusSetPercent(int32_t(std::trunc(double(position_) / double(fileSize_) * 100.0)));
  return kStatusOk;
}

int32_t SceneLoader::readBody() {
  file_.seek(0);
  if (readHeader() != kStatusOk) return kStatusVersionUnknown;
  if (const int32_t error = file_.getError(); error != kStatusOk) return error;

  double box[6];
  for (double& b : box) b = readReal() * options_.scale;
  for (int i = 0; i < 3; ++i) center[i] = (box[3 + i] - box[i]) * 0.5 + box[i];
  if (const int32_t rc = checkpoint(); rc != kStatusOk) return rc;
  readInt32();  // headerInt2, not used
  if (header.version >= kV220) header.shaderDataLevel = readInt32();
  if (const int32_t error = file_.getError(); error != kStatusOk) return error;

  // Refuse counts the body cannot hold before anything is allocated.
  if (!countsFitBody(file_.getPosition())) return kStatusDamaged;

  using Reader = int32_t (SceneLoader::*)();
  struct Step {
    Reader read;
    bool checkpointAfter;
  };
  static constexpr Step kSteps[] = {
      {&SceneLoader::readShaders, true},         {&SceneLoader::readTextures, true},
      {&SceneLoader::readShaderInternals, true}, {&SceneLoader::readShaderC4Ds, true},
      {&SceneLoader::readClasses, true},         {&SceneLoader::readStories, true},
      {&SceneLoader::readLayers, true},          {&SceneLoader::readElements, true},
      {&SceneLoader::readPoints, false},         {&SceneLoader::readUvws, false},
      {&SceneLoader::readNormals, false},        {&SceneLoader::readPolygons, false},
      {&SceneLoader::readLights, true},          {&SceneLoader::readCameraSets, true},
      {&SceneLoader::readCameras, true},
  };
  for (const Step& step : kSteps) {
    if (const int32_t rc = (this->*step.read)(); rc != kStatusOk) return rc;
    if (step.checkpointAfter) {
      if (const int32_t rc = checkpoint(); rc != kStatusOk) return rc;
    }
  }
  return file_.getError();
}

// ---------------------------------------------------------------------------------------
// Sections. Each reader allocates its table once at the section's count, reads the
// records, tests the file error once per record and checks every index it reads.

// Shader: string name, int32 texture index (unused), int32 kind (unused), 3 reals colour.
int32_t SceneLoader::readShaders() {
  const int32_t n = count(Section::shader);
  if (n == 0) return kStatusOk;
  if (!shaders.reserve(size_t(n))) return kStatusOutOfMemory;
  if (!shaderC4DWork.reserve(size_t(n))) return kStatusOutOfMemory;
  for (int32_t i = 0; i < n; ++i) {
    ShaderRecord r;
    r.name = readString();
    readInt32();  // textureIndex: textures are found by name
    readInt32();  // kind
    for (double& c : r.color) c = readReal();
    if (const int32_t error = file_.getError(); error != kStatusOk) return error;
    shaders.appendReserved() = std::move(r);
    shaderC4DWork.appendReserved();
  }
  return kStatusOk;
}

// Texture: text(32) name, string path, uint32 data size, data bytes.
int32_t SceneLoader::readTextures() {
  const int32_t n = count(Section::texture);
  if (n == 0) return kStatusOk;
  if (!textures.reserve(size_t(n)) || !textureData.reserve(size_t(n))) return kStatusOutOfMemory;
  for (int32_t i = 0; i < n; ++i) {
    TextureRecord r;
    r.name = readFixedText(32);
    r.path = host::Filename(readString());
    r.dataSize = readUInt32();
    if (const int32_t error = file_.getError(); error != kStatusOk) return error;
    if (r.dataSize == 0) return setReadError();  // an embedded file has bytes
    if (r.dataSize > uint64_t(bodyBytesLeft())) return kStatusTextureTruncated;
    common::Array<uint8_t> data;
    if (!data.resizeUninitialized(r.dataSize)) return kStatusOutOfMemory;
    if (file_.readBytes(data.data(), r.dataSize) != int64_t(r.dataSize)) return kStatusTextureTruncated;
    r.fileTitle = r.path.title();
    r.fileName = r.path.file();
    textures.appendReserved() = std::move(r);
    textureData.appendReserved() = std::move(data);
  }
  return kStatusOk;
}

// Shader internal: bool8 present; when present: string texture name, real angle, real
// width, real height, bool8 bump, bool8 alpha, and from 2.11 bool8 mirror x, bool8
// mirror y; then always bool8 hasExtras and, when set, 13 reals.
int32_t SceneLoader::readShaderInternals() {
  const int32_t n = count(Section::shaderInternal);
  if (n == 0) return kStatusOk;
  if (!shaderInternals.reserve(size_t(n))) return kStatusOutOfMemory;
  for (int32_t i = 0; i < n; ++i) {
    ShaderInternalRecord r;
    r.present = readBool();
    if (r.present) {
      r.textureName = readString();
      r.angle = -readReal() * kDegreesToRadians;
      r.textureWidth = readReal();
      r.textureHeight = readReal();
      r.flagA = readBool();
      r.flagB = readBool();
      if (header.version >= kV211) {
        r.flagC = readBool();
        r.flagD = readBool();
      }
    }
    r.hasExtras = readBool();
    if (r.hasExtras)
      for (double& e : r.extras) e = readReal();
    if (const int32_t error = file_.getError(); error != kStatusOk) return error;
    shaderInternals.appendReserved() = std::move(r);
  }
  return kStatusOk;
}

// Shader C4D (from 2.20): one parameter set per shader.
int32_t SceneLoader::readShaderC4Ds() {
  const int32_t n = count(Section::shaderC4D);
  if (n == 0) return kStatusOk;
  if (!shaderC4Ds.reserve(size_t(n))) return kStatusOutOfMemory;
  for (int32_t i = 0; i < n; ++i) {
    ParameterSet set;
    if (const int32_t rc = readParameterSet(set); rc != kStatusOk) return rc;
    if (inTable(i, shaders.size())) set.shaderName = cutUtf8(shaders[size_t(i)].name, kShaderNameLimit);
    set.infoNumber = header.infoNumber;
    shaderC4Ds.appendReserved() = std::move(set);
  }
  return kStatusOk;
}

// Parameter set: int32 entry count, then per entry: string name, int32 value type, and
// by type: 1 real; 2 string; 3 and above int32 rows, int32 columns and rows ×
// max(columns, 1) cells, strings for type 4 and reals otherwise. Strings are raw bytes.
int32_t SceneLoader::readParameterSet(ParameterSet& set) {
  const int32_t entryCount = readInt32();
  if (const int32_t error = file_.getError(); error != kStatusOk) return error;
  // Every entry holds at least a name count and a value type.
  if (entryCount < 0 || uint64_t(entryCount) > uint64_t(bodyBytesLeft()) / 8) return setReadError();
  if (entryCount == 0) return kStatusOk;
  if (!set.entries.reserve(size_t(entryCount))) return kStatusOutOfMemory;
  const int64_t realSize = header.doublePrecision ? 8 : 4;
  for (int32_t i = 0; i < entryCount; ++i) {
    ParameterEntry& e = set.entries.appendReserved();
    e.name = readStringBytes(kParameterStringLimit);
    if (const int32_t error = file_.getError(); error != kStatusOk) return error;
    if (const int32_t rc = decodeParameterKey(host::stringFrom8Bit(e.name), e.key); rc != kStatusOk)
      return setReadError();
    if (e.key.recognised) set.recognisedCount += 1;
    e.valueType = readInt32();
    if (e.valueType == 1) {
      e.realValue = readReal();
    } else if (e.valueType == 2) {
      e.stringValue = readStringBytes(kParameterStringLimit);
    } else if (e.valueType != 0) {
      e.rows = readInt32();
      e.columns = readInt32();
      if (const int32_t error = file_.getError(); error != kStatusOk) return error;
      if (e.rows < 1) return setReadError();
      const uint64_t cellCount = uint64_t(e.rows) * uint64_t(e.columns < 1 ? 1 : e.columns);
      const uint64_t cellSize = e.valueType == 4 ? 4 : uint64_t(realSize);
      if (cellCount > uint64_t(bodyBytesLeft()) / cellSize) return setReadError();
      if (!e.cells.reserve(size_t(cellCount))) return kStatusOutOfMemory;
      for (uint64_t c = 0; c < cellCount; ++c) {
        ParameterCell& cell = e.cells.appendReserved();
        if (e.valueType == 4) {
          cell.stringValue = readStringBytes(kParameterStringLimit);
        } else {
          cell.realValue = readReal();
        }
        if (const int32_t error = file_.getError(); error != kStatusOk) return error;
      }
    }
    if (const int32_t error = file_.getError(); error != kStatusOk) return error;
  }
  return file_.getError();
}

int32_t decodeParameterKey(const host::String& name, ParameterKey& outKey) {
  outKey = ParameterKey{};
  const std::vector<host::String> parts = host::splitString(name, '_');
  if ((parts.size() != 3 && parts.size() != 4) || parts[0] != "C4D") return kStatusOk;
  for (const host::String& part : parts)
    if (part.size() > kKeyPartLimit) return kStatusReadFailed;
  outKey.prefix = host::toUpper(parts[0]);
  outKey.group = host::toUpper(parts[1]);
  outKey.parameter = host::toUpper(parts[2]);
  // Built from parts of at most 63 bytes each, so it is never cut.
  outKey.fullName = outKey.prefix + "_" + outKey.group + "_" + outKey.parameter;
  outKey.index = parts.size() == 4 ? host::toInt32(parts[3]) : 0;
  outKey.recognised = true;
  return kStatusOk;
}

// Class: int32 type id (from 2.12), string name.
int32_t SceneLoader::readClasses() {
  const int32_t n = count(Section::classes);
  if (n == 0) return kStatusOk;
  if (!classes.reserve(size_t(n))) return kStatusOutOfMemory;
  for (int32_t i = 0; i < n; ++i) {
    ClassRecord r;
    if (header.version >= kV212) r.typeId = readInt32();
    r.name = readString();
    if (const int32_t error = file_.getError(); error != kStatusOk) return error;
    classes.appendReserved() = std::move(r);
  }
  return kStatusOk;
}

// Story: int32 story number (unused), string name, 2 reals (unused).
int32_t SceneLoader::readStories() {
  const int32_t n = count(Section::story);
  if (n == 0) return kStatusOk;
  if (!stories.reserve(size_t(n))) return kStatusOutOfMemory;
  for (int32_t i = 0; i < n; ++i) {
    StoryRecord r;
    readInt32();
    r.name = readString();
    readReal();
    readReal();
    if (const int32_t error = file_.getError(); error != kStatusOk) return error;
    stories.appendReserved() = std::move(r);
  }
  return kStatusOk;
}

// Layer: string name.
int32_t SceneLoader::readLayers() {
  const int32_t n = count(Section::layer);
  if (n == 0) return kStatusOk;
  if (!layers.reserve(size_t(n))) return kStatusOutOfMemory;
  for (int32_t i = 0; i < n; ++i) {
    LayerRecord r;
    r.name = readString();
    if (const int32_t error = file_.getError(); error != kStatusOk) return error;
    layers.appendReserved() = std::move(r);
  }
  return kStatusOk;
}

// Element: int32 layer, class and story indices; string name (from 2.50); bool8 placed;
// when placed: string library name, 3 reals position in the order [0], [2], [1], real
// angle, 2 reals size[0..1], bool8 mirrored, 2 reals baseSize[0..1], real size[2], real
// baseSize[2], string name (2.11 to 2.20), bool8 spare (from 2.20).
int32_t SceneLoader::readElements() {
  const int32_t n = count(Section::element);
  if (n == 0) return kStatusOk;
  if (!elements.reserve(size_t(n))) return kStatusOutOfMemory;
  const double scale = options_.scale;
  const int32_t v = header.version;
  for (int32_t i = 0; i < n; ++i) {
    ElementRecord r;
    r.layerIndex = readInt32();
    r.classIndex = readInt32();
    r.storyIndex = readInt32();
    if (v >= kV250) r.name = readString();
    r.placed = readBool();
    if (r.placed) {
      r.libraryName = readString();
      r.position[0] = readReal() * scale;
      r.position[2] = readReal() * scale;
      r.position[1] = readReal() * scale;
      r.angle = readReal() * kDegreesToRadians;
      r.size[0] = readReal() * scale;
      r.size[1] = readReal() * scale;
      r.mirrored = readBool();
      r.baseSize[0] = readReal() * scale;
      r.baseSize[1] = readReal() * scale;
      r.size[2] = readReal() * scale;
      r.baseSize[2] = readReal() * scale;
      if (v >= kV211 && v <= kV220) r.name = readString();
      if (v >= kV220) readBool();  // spareFlag
    }
    if (const int32_t error = file_.getError(); error != kStatusOk) return error;
    if (!inTable(r.layerIndex, layers.size()) || !inTable(r.classIndex, classes.size()) ||
        !inTable(r.storyIndex, stories.size()))
      return kStatusDamaged;
    // A lamp element without placement carries its light itself.
    if (!r.placed) r.hasLight = classes[size_t(r.classIndex)].typeId == kLampTypeId;
    elements.appendReserved() = std::move(r);
  }
  return kStatusOk;
}

// Point: 3 reals.
int32_t SceneLoader::readPoints() {
  const int32_t n = count(Section::point);
  if (n == 0) return kStatusOk;
  if (!points.reserve(size_t(n))) return kStatusOutOfMemory;
  const double scale = options_.scale;
  for (int32_t i = 0; i < n; ++i) {
    if (i % kCheckpointInterval == 0) {
      if (const int32_t rc = checkpoint(); rc != kStatusOk) return rc;
    }
    const double x = readReal() * scale;
    const double y = readReal() * scale;
    const double z = readReal() * scale;
    if (const int32_t error = file_.getError(); error != kStatusOk) return error;
    *points.appendUninitialized() = PointRecord{x, y, z};
  }
  return kStatusOk;
}

// Uvw: int32 vertex count n, then n pairs of reals (u, v). Triangles and quadrangles are
// stored as they are; larger polygons as a fan of n - 2 triangles, as their polygon is;
// fewer than 3 vertices store nothing.
int32_t SceneLoader::readUvws() {
  const int32_t n = count(Section::uvw);
  if (n == 0) return kStatusOk;
  if (!uvws.reserve(size_t(n))) return kStatusOutOfMemory;
  const double scale = options_.uvwScale;
  const int64_t pairSize = header.doublePrecision ? 16 : 8;
  auto readUv = [&]() __attribute__((always_inline)) {
    host::Vector uv;
    uv.x = readReal() * scale;
    uv.y = -(readReal() * scale);
    return uv;
  };
  auto store = [&](int32_t recordsRead, int32_t corners, const host::Vector& a, const host::Vector& b,
                   const host::Vector& c, const host::Vector& d) __attribute__((always_inline)) {
    UvwRecord* r = appendGrowing(uvws, recordsRead, n);
    if (!r) return false;
    r->vertexCount = corners;
    r->uvw[0] = a, r->uvw[1] = b, r->uvw[2] = c, r->uvw[3] = d;
    return true;
  };
  for (int32_t i = 0; i < n; ++i) {
    // Checkpoints follow the records read from the file, so fans and empty records
    // neither skip nor repeat them.
    if (i % kCheckpointInterval == 0) {
      if (const int32_t rc = checkpoint(); rc != kStatusOk) return rc;
    }
    const int32_t vertexCount = readInt32();
    if (const int32_t error = file_.getError(); error != kStatusOk) return error;
    // Fans allocate by the vertex count: it must fit in the bytes left.
    if (vertexCount < 0 ||
        (vertexCount > 4 && uint64_t(vertexCount) > uint64_t(bodyBytesLeft()) / uint64_t(pairSize)))
      return setReadError();
    if (vertexCount == 3 || vertexCount == 4) {
      const host::Vector a = readUv();
      const host::Vector b = readUv();
      const host::Vector c = readUv();
      const host::Vector d = vertexCount == 4 ? readUv() : host::Vector{};
      if (const int32_t error = file_.getError(); error != kStatusOk) return error;
      if (!store(i + 1, vertexCount, a, b, c, d)) return kStatusOutOfMemory;
    } else if (vertexCount > 4) {
      const host::Vector first = readUv();
      host::Vector previous = readUv();
      for (int32_t k = 2; k < vertexCount; ++k) {
        const host::Vector next = readUv();
        if (const int32_t error = file_.getError(); error != kStatusOk) return error;
        if (!store(i + 1, 3, first, previous, next, host::Vector{})) return kStatusOutOfMemory;
        previous = next;
      }
    } else {
      for (int32_t k = 0; k < vertexCount; ++k) readUv();
    }
  }
  return file_.getError();
}

// Normal: 3 reals, kept as read.
int32_t SceneLoader::readNormals() {
  const int32_t n = count(Section::normal);
  if (n == 0) return kStatusOk;
  if (!normals.reserve(size_t(n))) return kStatusOutOfMemory;
  for (int32_t i = 0; i < n; ++i) {
    if (i % kCheckpointInterval == 0) {
      if (const int32_t rc = checkpoint(); rc != kStatusOk) return rc;
    }
    const double x = readReal();
    const double y = readReal();
    const double z = readReal();
    if (const int32_t error = file_.getError(); error != kStatusOk) return error;
    *normals.appendUninitialized() = NormalRecord{x, y, z};
  }
  return kStatusOk;
}

// Polygon: int32 shader index, int32 element index, int32 vertex count n, n int32 point
// indices. Stored like the uvw records (fans for n > 4, nothing for n < 3), and counted
// into the element, its class, story and layer, and the shader.
int32_t SceneLoader::readPolygons() {
  const int32_t n = count(Section::polygon);
  if (n == 0) return kStatusOk;
  if (!polygons.reserve(size_t(n))) return kStatusOutOfMemory;
  const size_t pointCount = points.size();

  // Reads one point index; false when the read failed or the index is outside the table.
  auto readPoint = [&](int32_t & out) __attribute__((always_inline)) {
    out = readInt32();
    return inTable(out, pointCount);
  };
  auto failPoint = [&]() { return file_.getError() != kStatusOk ? file_.getError() : kStatusDamaged; };

  for (int32_t i = 0; i < n; ++i) {
    if (i % kCheckpointInterval == 0) {
      if (const int32_t rc = checkpoint(); rc != kStatusOk) return rc;
    }
    const int32_t shader = readInt32();
    const int32_t element = readInt32();
    const int32_t vertexCount = readInt32();
    if (const int32_t error = file_.getError(); error != kStatusOk) return error;
    if (!inTable(shader, shaders.size()) || !inTable(element, elements.size())) return kStatusDamaged;
    if (vertexCount < 0 || (vertexCount > 4 && uint64_t(vertexCount) > uint64_t(bodyBytesLeft()) / 4))
      return setReadError();

    ElementRecord& e = elements[size_t(element)];
    auto countStored = [&](int32_t corners) {
      countPolygon(e, corners);
      countPolygon(classes[size_t(e.classIndex)], corners);
      countPolygon(stories[size_t(e.storyIndex)], corners);
      countPolygon(layers[size_t(e.layerIndex)], corners);
      countPolygon(shaders[size_t(shader)], corners);
    };

    if (vertexCount == 3 || vertexCount == 4) {
      int32_t corner[4] = {0, 0, 0, 0};
      for (int32_t k = 0; k < vertexCount; ++k)
        if (!readPoint(corner[k])) return failPoint();
      PolygonRecord* stored = appendGrowing(polygons, i + 1, n);
      if (!stored) return kStatusOutOfMemory;
      *stored = PolygonRecord{shader, element, vertexCount, {corner[0], corner[1], corner[2], corner[3]}};
      countStored(vertexCount);
    } else if (vertexCount > 4) {
      int32_t first = 0, previous = 0, next = 0;
      if (!readPoint(first) || !readPoint(previous)) return failPoint();
      for (int32_t k = 2; k < vertexCount; ++k) {
        if (!readPoint(next)) return failPoint();
        PolygonRecord* stored = appendGrowing(polygons, i + 1, n);
        if (!stored) return kStatusOutOfMemory;
        *stored = PolygonRecord{shader, element, 3, {first, previous, next, 0}};
        countStored(3);
        previous = next;
      }
    } else {
      int32_t ignored = 0;
      for (int32_t k = 0; k < vertexCount; ++k)
        if (!readPoint(ignored)) return failPoint();
    }
  }
  return file_.getError();
}

// Light. From 2.20: int32 element, int32 kind, string name, int32 light number, 3 reals
// colour, 3 reals position, 3 reals target. Below 2.20: int32 kind, string name, 2 int32
// unused, int32 position point, int32 colour point. Then always: int32 shadow type,
// reals brightness, spot radius, inner angle, outer angle, spare, falloff distance,
// falloff radius, inner distance. Then from 2.20 a parameter set, below 2.20 int32
// target point.
int32_t SceneLoader::readLights() {
  const int32_t n = count(Section::light);
  if (n == 0) return kStatusOk;
  if (!lights.reserve(size_t(n))) return kStatusOutOfMemory;
  const double scale = options_.scale;
  const bool isNew = header.version >= kV220;
  for (int32_t i = 0; i < n; ++i) {
    LightRecord r;
    int32_t positionPoint = 0, colorPoint = 0, targetPoint = 0;
    r.elementIndex = isNew ? readInt32() : -1;
    const int32_t kind = readInt32();
    r.hostLightType = kind == 0 ? 4 : (kind == 2 ? 1 : 0);
    r.name = readString();
    if (isNew) {
      r.lightNumber = readInt32();
      for (double& c : r.color) c = readReal();
      for (double& p : r.position) p = readReal() * scale;
      for (double& t : r.target) t = readReal() * scale;
    } else {
      readInt32();
      readInt32();
      positionPoint = readInt32();
      colorPoint = readInt32();
    }
    r.shadowType = readInt32();
    r.brightness = readReal();
    r.spotRadius = readReal() * scale;
    r.innerAngle = readReal() * kDegreesToRadians;
    r.outerAngle = readReal() * kDegreesToRadians;
    readReal();  // spare
    r.falloffDistance = readReal() * scale;
    r.falloffRadius = readReal() * scale;
    r.innerDistance = readReal();
    if (isNew) {
      if (const int32_t rc = readParameterSet(r.parameters); rc != kStatusOk) return rc;
    } else {
      targetPoint = readInt32();
    }
    if (const int32_t error = file_.getError(); error != kStatusOk) return error;

    if (r.elementIndex != -1 && !inTable(r.elementIndex, elements.size())) return kStatusDamaged;
    if (r.elementIndex >= 0) elements[size_t(r.elementIndex)].hasLight = true;
    if (!isNew) {
      if (!inTable(positionPoint, points.size()) || !inTable(colorPoint, points.size()) ||
          !inTable(targetPoint, points.size()))
        return kStatusDamaged;
      const PointRecord& p = points[size_t(positionPoint)];
      const PointRecord& c = points[size_t(colorPoint)];
      const PointRecord& t = points[size_t(targetPoint)];
      r.position[0] = p.x, r.position[1] = p.y, r.position[2] = p.z;
      // The colour point is scaled with the other points; undo that.
      r.color[0] = c.x / scale, r.color[1] = c.y / scale, r.color[2] = c.z / scale;
      r.target[0] = t.x, r.target[1] = t.y, r.target[2] = t.z;
    }
    lights.appendReserved() = std::move(r);
  }
  return kStatusOk;
}

// Camera set (from 2.20): string name.
int32_t SceneLoader::readCameraSets() {
  const int32_t n = count(Section::cameraSet);
  if (n == 0) return kStatusOk;
  if (!cameraSets.reserve(size_t(n))) return kStatusOutOfMemory;
  for (int32_t i = 0; i < n; ++i) {
    CameraSetRecord r;
    r.name = readString();
    if (const int32_t error = file_.getError(); error != kStatusOk) return error;
    cameraSets.appendReserved() = std::move(r);
  }
  return kStatusOk;
}

// Camera. Below 2.20: string name, int32 position point, int32 target point, real field
// angle. From 2.20: string name, int32 camera number, string id (unused), 3 reals
// position, 3 reals target, real field angle, real roll, int32 camera set.
int32_t SceneLoader::readCameras() {
  const int32_t n = count(Section::camera);
  if (n == 0) return kStatusOk;
  if (!cameras.reserve(size_t(n))) return kStatusOutOfMemory;
  const double scale = options_.scale;
  const bool isNew = header.version >= kV220;
  for (int32_t i = 0; i < n; ++i) {
    CameraRecord r;
    r.name = readString();
    int32_t positionPoint = 0, targetPoint = 0;
    if (isNew) {
      r.cameraNumber = readInt32();
      readString();  // idText
      for (double& p : r.position) p = readReal() * scale;
      for (double& t : r.target) t = readReal() * scale;
    } else {
      positionPoint = readInt32();
      targetPoint = readInt32();
    }
    r.fieldAngle = readReal() * kDegreesToRadians;
    if (isNew) {
      r.roll = readReal() * kDegreesToRadians;
      r.cameraSetIndex = readInt32();
    }
    if (const int32_t error = file_.getError(); error != kStatusOk) return error;
    if (isNew) {
      if (r.cameraSetIndex != -1 && !inTable(r.cameraSetIndex, cameraSets.size())) return kStatusDamaged;
    } else {
      if (!inTable(positionPoint, points.size()) || !inTable(targetPoint, points.size()))
        return kStatusDamaged;
      const PointRecord& p = points[size_t(positionPoint)];
      const PointRecord& t = points[size_t(targetPoint)];
      r.position[0] = p.x, r.position[1] = p.y, r.position[2] = p.z;
      r.target[0] = t.x, r.target[1] = t.y, r.target[2] = t.z;
    }
    cameras.appendReserved() = std::move(r);
  }
  return kStatusOk;
}

}  // namespace talvo
