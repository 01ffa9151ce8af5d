#include "support/scene_writer.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <stdexcept>

namespace talvo::testsupport {
namespace {

constexpr size_t kBufferSize = size_t(1) << 20;

// Trailer order: section order, without Shader C4D and CameraSet below 2.20.
constexpr Section kTrailerOrder[kSectionCount] = {
    Section::shader, Section::texture, Section::shaderInternal, Section::shaderC4D, Section::classes,
    Section::story,  Section::layer,   Section::element,        Section::point,     Section::uvw,
    Section::normal, Section::polygon, Section::light,          Section::cameraSet, Section::camera,
};

int index(Section s) {
  return static_cast<int>(s);
}

}  // namespace

std::string versionName(int32_t version) {
  switch (version) {
    case 20000:
      return "2.00";
    case 20001:
      return "2.01";
    case 20005:
      return "2.05";
    case 20006:
      return "2.06";
    case 20010:
      return "2.10";
    case 20011:
      return "2.11";
    case 20012:
      return "2.12";
    case 20013:
      return "2.13";
    case 20200:
      return "2.20";
    case 20500:
      return "2.50";
    default:
      return "Unknown";
  }
}

bool sectionExists(int32_t version, Section section) {
  if (section == Section::shaderC4D || section == Section::cameraSet) return version >= kVersion220;
  return true;
}

int trailerSize(int32_t version) {
  return version >= kVersion220 ? 60 : 52;
}

int trailerSlot(int32_t version, Section section) {
  int slot = 0;
  for (Section s : kTrailerOrder) {
    if (!sectionExists(version, s)) continue;
    if (s == section) return slot;
    ++slot;
  }
  return -1;
}

// ---- output ----

SceneWriter::SceneWriter(std::vector<uint8_t>& out) : target_(&out), buffer_(new uint8_t[kBufferSize]) {}

SceneWriter::SceneWriter(const std::string& path) : buffer_(new uint8_t[kBufferSize]) {
  file_ = std::fopen(path.c_str(), "wb");
  ok_ = file_ != nullptr;
}

SceneWriter::~SceneWriter() {
  // Without finish() the output keeps what was written so far, without a trailer.
  flush();
  if (file_) std::fclose(file_);
}

void SceneWriter::flush() {
  if (used_ == 0) return;
  if (target_) {
    target_->insert(target_->end(), buffer_.get(), buffer_.get() + used_);
  } else if (file_ && ok_) {
    if (std::fwrite(buffer_.get(), 1, used_, file_) != used_) ok_ = false;
  }
  flushed_ += used_;
  used_ = 0;
}

void SceneWriter::putBytes(const void* data, size_t n) {
  const auto* p = static_cast<const uint8_t*>(data);
  if (n >= kBufferSize / 2) {
    // Large blocks (texture data) bypass the buffer.
    flush();
    if (target_) {
      target_->insert(target_->end(), p, p + n);
    } else if (file_ && ok_) {
      if (std::fwrite(p, 1, n, file_) != n) ok_ = false;
    }
    flushed_ += n;
    return;
  }
  if (kBufferSize - used_ < n) flush();
  std::memcpy(buffer_.get() + used_, p, n);
  used_ += n;
}

void SceneWriter::putZeros(size_t n) {
  while (n > 0) {
    if (used_ == kBufferSize) flush();
    size_t chunk = std::min(n, kBufferSize - used_);
    std::memset(buffer_.get() + used_, 0, chunk);
    used_ += chunk;
    n -= chunk;
  }
}

void SceneWriter::putU8(uint8_t v) {
  if (used_ == kBufferSize) flush();
  buffer_[used_++] = v;
}

void SceneWriter::putU32(uint32_t v) {
  if (kBufferSize - used_ < 4) flush();
  uint8_t* p = buffer_.get() + used_;
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
  used_ += 4;
}

void SceneWriter::putU64(uint64_t v) {
  if (kBufferSize - used_ < 8) flush();
  uint8_t* p = buffer_.get() + used_;
  for (int i = 0; i < 8; ++i) p[i] = uint8_t(v >> (8 * i));
  used_ += 8;
}

void SceneWriter::putReal(double v) {
  if (doublePrecision_) {
    putU64(std::bit_cast<uint64_t>(v));
  } else {
    putU32(std::bit_cast<uint32_t>(static_cast<float>(v)));
  }
}

void SceneWriter::putString(const std::string& text) {
  // The count includes the terminating NUL, so an empty text is written as n = 1.
  putI32(static_cast<int32_t>(text.size() + 1));
  putBytes(text.data(), text.size());
  putU8(0);
}

void SceneWriter::putFixedText(const std::string& text, size_t width) {
  size_t n = std::min(text.size(), width);
  putBytes(text.data(), n);
  putZeros(width - n);
}

void SceneWriter::putParameterSet(const ParameterSet& set) {
  putI32(set.entryCount.value_or(static_cast<int32_t>(set.entries.size())));
  for (const ParameterEntry& e : set.entries) {
    putString(e.name);
    putI32(e.valueType);
    switch (e.valueType) {
      case 0:
        break;
      case 1:
        putReal(e.realValue);
        break;
      case 2:
        putString(e.stringValue);
        break;
      default:
        // Grids: the cells are written as given, whatever rows and columns say.
        putI32(e.rows);
        putI32(e.columns);
        if (e.valueType == 4) {
          for (const std::string& cell : e.stringCells) putString(cell);
        } else {
          for (double cell : e.realCells) putReal(cell);
        }
        break;
    }
  }
}

// ---- sequencing ----

void SceneWriter::requirePhase(Phase expected, const char* what) const {
  if (phase_ != expected) throw std::logic_error(std::string("SceneWriter: ") + what + " out of order");
}

void SceneWriter::enterSection(Section s) {
  if (phase_ != Phase::body) requirePhase(Phase::body, "record before scene info");
  int i = index(s);
  if (i < current_) throw std::logic_error("SceneWriter: records must come in section order");
  for (int k = current_ + 1; k <= i; ++k) marks_.sectionStart[k] = offset();
  current_ = i;
  ++counts_[i];
}

// ---- header and scene info ----

void SceneWriter::writeHeader(const SceneHeader& h) {
  requirePhase(Phase::start, "header");
  version_ = h.version;
  putFixedText(h.magic, 8);
  putFixedText(h.headerText, 256);
  putI32(h.version);
  putString(h.headerString1);
  putString(h.headerString2);
  if (version_ >= kVersion213) putFixedText(h.versionText.value_or(versionName(version_)), 8);
  putBool(h.doublePrecision);
  doublePrecision_ = h.doublePrecision;  // fileUnit below is already a real of this width
  putBool(h.headerFlag2);
  putBool(h.utf8Strings);
  putI32(h.fileUnitCode);
  putReal(h.fileUnit);
  putBool(h.headerFlag3);
  if (version_ >= kVersion211) putI32(h.infoNumber);
  marks_.headerEnd = offset();
  phase_ = Phase::header;
}

void SceneWriter::writeSceneInfo(const SceneInfo& info) {
  requirePhase(Phase::header, "scene info");
  for (double v : info.sceneBox) putReal(v);
  putI32(info.headerInt2);
  if (version_ >= kVersion220) putI32(info.shaderDataLevel);
  marks_.bodyStart = offset();
  phase_ = Phase::body;
}

// ---- records ----

void SceneWriter::addShader(const ShaderRecord& r) {
  enterSection(Section::shader);
  putString(r.name);
  putI32(r.textureIndex);
  putI32(r.kind);
  for (double c : r.color) putReal(c);
}

void SceneWriter::addTexture(const TextureRecord& r) {
  enterSection(Section::texture);
  putFixedText(r.name, 32);
  putString(r.path);
  putU32(r.dataSize.value_or(static_cast<uint32_t>(r.data.size())));
  putBytes(r.data.data(), r.data.size());
}

void SceneWriter::addShaderInternal(const ShaderInternalRecord& r) {
  enterSection(Section::shaderInternal);
  putBool(r.present);
  if (r.present) {
    putString(r.textureName);
    putReal(r.angle);
    putReal(r.textureWidth);
    putReal(r.textureHeight);
    putBool(r.flagA);
    putBool(r.flagB);
    if (version_ >= kVersion211) {
      putBool(r.flagC);
      putBool(r.flagD);
    }
  }
  // hasExtras follows in every record, present or not.
  putBool(r.hasExtras);
  if (r.hasExtras) {
    for (double v : r.extras) putReal(v);
  }
}

void SceneWriter::addShaderC4D(const ParameterSet& r) {
  enterSection(Section::shaderC4D);
  putParameterSet(r);
}

void SceneWriter::addClass(const ClassRecord& r) {
  enterSection(Section::classes);
  if (version_ >= kVersion212) putI32(r.typeId);
  putString(r.name);
}

void SceneWriter::addStory(const StoryRecord& r) {
  enterSection(Section::story);
  putI32(r.storyIndex);
  putString(r.name);
  putReal(r.values[0]);
  putReal(r.values[1]);
}

void SceneWriter::addLayer(const LayerRecord& r) {
  enterSection(Section::layer);
  putString(r.name);
}

// Element record. The name sits after the three indices from 2.50, at the end of the placed
// block for 2.11 to 2.20, and is missing in 2.10 (and for unplaced elements before 2.50).
void SceneWriter::addElement(const ElementRecord& r) {
  enterSection(Section::element);
  putI32(r.layerIndex);
  putI32(r.classIndex);
  putI32(r.storyIndex);
  if (version_ >= kVersion250) putString(r.name);
  putBool(r.placed);
  if (!r.placed) return;
  putString(r.libraryName);
  putReal(r.position[0]);
  putReal(r.position[2]);
  putReal(r.position[1]);
  putReal(r.angle);
  putReal(r.size[0]);
  putReal(r.size[1]);
  putBool(r.mirrored);
  putReal(r.baseSize[0]);
  putReal(r.baseSize[1]);
  putReal(r.size[2]);
  putReal(r.baseSize[2]);
  if (version_ >= kVersion211 && version_ <= kVersion220) putString(r.name);
  if (version_ >= kVersion220) putBool(r.spareFlag);
}

void SceneWriter::addPoint(double x, double y, double z) {
  enterSection(Section::point);
  putReal(x);
  putReal(y);
  putReal(z);
}

void SceneWriter::addUvw(std::span<const Vec2> uv) {
  enterSection(Section::uvw);
  putI32(static_cast<int32_t>(uv.size()));
  for (const Vec2& c : uv) {
    putReal(c[0]);
    putReal(c[1]);
  }
}

void SceneWriter::addUvw(const UvwRecord& r) {
  enterSection(Section::uvw);
  putI32(r.vertexCount.value_or(static_cast<int32_t>(r.uv.size())));
  for (const Vec2& c : r.uv) {
    putReal(c[0]);
    putReal(c[1]);
  }
}

void SceneWriter::addNormal(double x, double y, double z) {
  enterSection(Section::normal);
  putReal(x);
  putReal(y);
  putReal(z);
}

void SceneWriter::addPolygon(int32_t shaderIndex, int32_t elementIndex, std::span<const int32_t> points) {
  enterSection(Section::polygon);
  putI32(shaderIndex);
  putI32(elementIndex);
  putI32(static_cast<int32_t>(points.size()));
  for (int32_t p : points) putI32(p);
}

void SceneWriter::addPolygon(const PolygonRecord& r) {
  enterSection(Section::polygon);
  putI32(r.shaderIndex);
  putI32(r.elementIndex);
  putI32(r.vertexCount.value_or(static_cast<int32_t>(r.pointIndices.size())));
  for (int32_t p : r.pointIndices) putI32(p);
}

// Light record. Below 2.20 position, colour and target are point indices and there is no
// element, number or parameter set; from 2.20 they are vectors.
void SceneWriter::addLight(const LightRecord& r) {
  enterSection(Section::light);
  const bool vectors = version_ >= kVersion220;
  if (vectors) putI32(r.elementIndex);
  putI32(r.kind);
  putString(r.name);
  if (vectors) {
    putI32(r.lightNumber);
    for (double v : r.color) putReal(v);
    for (double v : r.position) putReal(v);
    for (double v : r.target) putReal(v);
  } else {
    putI32(r.ignoredValues[0]);
    putI32(r.ignoredValues[1]);
    putI32(r.positionPoint);
    putI32(r.colorPoint);
  }
  putI32(r.shadowType);
  putReal(r.brightness);
  putReal(r.spotRadius);
  putReal(r.innerAngle);
  putReal(r.outerAngle);
  putReal(r.spare);
  putReal(r.falloffDistance);
  putReal(r.falloffRadius);
  putReal(r.innerDistance);
  if (vectors) {
    putParameterSet(r.parameters);
  } else {
    putI32(r.targetPoint);
  }
}

void SceneWriter::addCameraSet(const CameraSetRecord& r) {
  enterSection(Section::cameraSet);
  putString(r.name);
}

// Camera record. Below 2.20 eye and target are point indices and there is no number, id,
// roll or set.
void SceneWriter::addCamera(const CameraRecord& r) {
  enterSection(Section::camera);
  putString(r.name);
  if (version_ < kVersion220) {
    putI32(r.positionPoint);
    putI32(r.targetPoint);
    putReal(r.fieldAngle);
    return;
  }
  putI32(r.cameraNumber);
  putString(r.idText);
  for (double v : r.position) putReal(v);
  for (double v : r.target) putReal(v);
  putReal(r.fieldAngle);
  putReal(r.roll);
  putI32(r.cameraSetIndex);
}

void SceneWriter::writeRawBytes(std::span<const uint8_t> bytes) {
  if (phase_ == Phase::done) throw std::logic_error("SceneWriter: write after finish");
  putBytes(bytes.data(), bytes.size());
}

bool SceneWriter::finish(const CountOverrides& overrides) {
  requirePhase(Phase::body, "finish");
  for (int k = current_ + 1; k < kSectionCount; ++k) marks_.sectionStart[k] = offset();
  current_ = kSectionCount - 1;
  marks_.trailerStart = offset();
  for (Section s : kTrailerOrder) {
    if (!sectionExists(version_, s)) continue;
    int i = index(s);
    marks_.trailerEntry[i] = offset();
    putI32(overrides[i].value_or(counts_[i]));
  }
  marks_.fileSize = offset();
  flush();
  if (file_) {
    if (std::fclose(file_) != 0) ok_ = false;
    file_ = nullptr;
  }
  phase_ = Phase::done;
  return ok_;
}

// ---- whole descriptions ----

namespace {

void writeAll(const SceneDescription& d, SceneWriter& w) {
  const int32_t v = d.header.version;
  w.writeHeader(d.header);
  w.writeSceneInfo(d.info);
  for (const auto& r : d.shaders) w.addShader(r);
  for (const auto& r : d.textures) w.addTexture(r);
  for (const auto& r : d.shaderInternals) w.addShaderInternal(r);
  if (sectionExists(v, Section::shaderC4D)) {
    for (const auto& r : d.shaderC4D) w.addShaderC4D(r);
  }
  for (const auto& r : d.classes) w.addClass(r);
  for (const auto& r : d.stories) w.addStory(r);
  for (const auto& r : d.layers) w.addLayer(r);
  for (const auto& r : d.elements) w.addElement(r);
  for (const auto& r : d.points) w.addPoint(r);
  for (const auto& r : d.uvws) w.addUvw(r);
  for (const auto& r : d.normals) w.addNormal(r);
  for (const auto& r : d.polygons) w.addPolygon(r);
  for (const auto& r : d.lights) w.addLight(r);
  if (sectionExists(v, Section::cameraSet)) {
    for (const auto& r : d.cameraSets) w.addCameraSet(r);
  }
  for (const auto& r : d.cameras) w.addCamera(r);
  w.finish(d.countOverride);
}

}  // namespace

std::vector<uint8_t> writeScene(const SceneDescription& scene, SceneMarks* outMarks) {
  std::vector<uint8_t> bytes;
  {
    SceneWriter w(bytes);
    writeAll(scene, w);
    if (outMarks) *outMarks = w.marks();
  }
  return bytes;
}

bool writeSceneFile(const SceneDescription& scene, const std::string& path) {
  SceneWriter w(path);
  if (!w.ok()) return false;
  writeAll(scene, w);
  return w.ok();
}

}  // namespace talvo::testsupport
