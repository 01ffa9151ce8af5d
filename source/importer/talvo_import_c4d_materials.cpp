#include "talvo_import_c4d_materials.h"

#include <cassert>
#include <cmath>

#include "common/saturate.h"
#include "host/file.h"
#include "host/material.h"
#include "host/plugins.h"
#include "host/scene.h"
#include "talvo_import_c4d_diagnostics.h"
#include "talvo_import_c4d_loader.h"
#include "talvo_import_c4d_options.h"
#include "talvo_import_c4d_status.h"

namespace talvo {
namespace {

// Material parameters the builder writes.
constexpr int32_t kMaterialColorModel = 1134;
constexpr int32_t kMaterialUseBump = 2007;
constexpr int32_t kMaterialUseAlpha = 2008;
constexpr int32_t kMaterialBumpShader = 8006;
constexpr int32_t kMaterialBumpStrength = 1009;
constexpr int32_t kMaterialAlphaImage = 1014;

// "Not 0" for values the exporter wrote as single-precision: above the float 1e-6.
constexpr double kNotZero = 9.999999974752427e-7;
bool notZero(double v) { return std::fabs(v) > kNotZero; }

// The part of a texture record's path that may name a file in the texture folder: its
// last part without a drive. Empty when that is empty, "." or "..", so that no record can
// make the importer write outside the folder.
host::String textureFileName(const host::String& path) {
  const size_t separator = path.find_last_of("/\\");
  host::String part = separator == host::String::npos ? path : path.substr(separator + 1);
  if (part.size() >= 2 && part[1] == ':' && ((part[0] >= 'A' && part[0] <= 'Z') || (part[0] >= 'a' && part[0] <= 'z')))
    part.erase(0, 2);
  if (part.empty() || part == "." || part == "..") return {};
  return part;
}

const char* text8(const host::String& s, std::string& scratch) {
  scratch = host::stringTo8Bit(s);
  return scratch.c_str();
}

}  // namespace

MaterialBuilder::MaterialBuilder(SceneLoader& loader, ImportOptions& options)
    : loader_(loader),
      options_(options),
      library_(loader, options),
      grassAvailable_(host::findPlugin(host::kTagGrass, host::kPluginTag) != nullptr) {}

MaterialBuilder::~MaterialBuilder() {
  for (host::BaseMaterial*& m : taken_) host::BaseMaterial::free(m);
}

int32_t MaterialBuilder::prepareMaterials() {
  std::string scratch;
  const host::BaseDocument* document = options_.targetDocument;
  if (!document || document->getDocumentPath().empty()) {
    printLine("Not found previous texture path");
    projectFolder_ = options_.sceneFilePath.directory();
  } else {
    projectFolder_ = document->getDocumentPath();
  }
  if (options_.textureFolder.empty() || options_.textureFolder.string() == "tex")
    options_.textureFolder = projectFolder_ + host::Filename("tex");

  const int32_t shaders = loader_.shadersRead();
  const bool internalsComplete = loader_.shaderInternalsRead() == shaders;
  if (loader_.header.version < 20200) {
    if (internalsComplete) engineMode_ = 2;
  } else if (loader_.header.shaderDataLevel > 1) {
    if (internalsComplete) engineMode_ = 2;
    if (loader_.header.shaderDataLevel == 3 && loader_.shaderC4DsRead() == shaders &&
        library_.createMaterialFiles() != 0 && library_.loadMaterialFiles() != 0)
      engineMode_ = 3;
  }
  settled_.assign(size_t(shaders), 0);
  taken_.assign(size_t(shaders), nullptr);
  shaderMaterial_.assign(size_t(shaders), nullptr);

  if (engineMode_ != 1) {
    printLine("%s", kSectionLine);
    printLine("%s", engineMode_ == 3 ? "C4D Engine Material Mode!" : "Internal Engine Material Mode!");
    printLine("%s", kSectionLine);
  }
  printLine("Project texture path:%s", text8(options_.textureFolder.string(), scratch));
  return kStatusOk;
}

const host::Filename& MaterialBuilder::textureFolder() const {
  return options_.textureFolder;
}

const ShaderInternalRecord* MaterialBuilder::internalRecord(int32_t shader) const {
  // A file may carry fewer internal records than shaders; the missing ones count as
  // not present.
  if (shader < 0 || shader >= loader_.shaderInternalsRead()) return nullptr;
  const ShaderInternalRecord& record = loader_.shaderInternals[size_t(shader)];
  return record.present ? &record : nullptr;
}

bool MaterialBuilder::hasRecognisedParameters(int32_t shader) const {
  return shader >= 0 && shader < loader_.shaderC4DsRead() && loader_.shaderC4Ds[size_t(shader)].recognisedCount != 0;
}

int32_t MaterialBuilder::applyShaderTextureTag(host::BaseObject* object, int32_t shader) {
  assert(shader >= 0 && shader < loader_.shadersRead() && "a builder passed a shader the file does not have");
  if (object->getTag(host::kTagTexture)) return kStatusOk;
  host::BaseMaterial* material = materialForShader(shader);
  if (!material) return kStatusMaterial;
  const ShaderWorkRecord& work = loader_.shaderC4DWork[size_t(shader)];

  // A grass surface gets the library's grass material and a grass tag linking it; the
  // texture tag takes the grass material too. Without it the shader's material stays.
  host::BaseMaterial* tagMaterial = material;
  if (engineMode_ == 3 && hasRecognisedParameters(shader) && work.grass && grassAvailable_) {
    if (host::BaseMaterial* grass = library_.findLibraryMaterial(host::int32ToString(shader) + "_grass")) {
      grass->setName(loader_.shaders[size_t(shader)].name);
      options_.targetDocument->insertMaterial(grass);
      finishMaterial(grass);
      host::BaseTag* grassTag = host::BaseTag::alloc(host::kTagGrass);
      if (!grassTag) return kStatusGrassTag;
      grassTag->getDataInstance().setValue(host::kGrassTagMaterial, host::linkValue(grass));
      object->insertTag(grassTag, object->getLastTag());
      tagMaterial = grass;
    }
  }

  host::BaseTag* tag = host::BaseTag::alloc(host::kTagTexture);
  if (!tag) return kStatusTextureTag;
  host::Container& data = tag->getDataInstance();
  if (options_.assignMaterials) data.setValue(host::kTextureTagMaterial, host::linkValue(tagMaterial));
  if (engineMode_ == 2 || (engineMode_ == 3 && !work.hostMaterialMade)) {
    if (const ShaderInternalRecord* internal = internalRecord(shader)) {
      const double fx = internal->flagC ? -1.0 : 1.0;
      const double fy = internal->flagD ? -1.0 : 1.0;
      const double width = fx * internal->textureWidth;
      const double height = fy * internal->textureHeight;
      // A tile of no width or height leaves the sizes as the host made them.
      if (width * options_.scale != 0.0 && height * options_.scale != 0.0) {
        data.setReal(host::kTextureTagLengthX, width);
        data.setReal(host::kTextureTagLengthY, height);
        const host::Vector s = tag->getProjectionScale();
        tag->setProjectionScale(
            {s.x / (width * options_.scale), s.y / (width * options_.scale), s.z / (height * options_.scale)});
      }
      tag->setProjectionRotation({0.0, 0.0, -internal->angle});
    }
  } else if (engineMode_ == 3 && work.hostMaterialMade && work.sizeComplete) {
    const host::Vector s = tag->getProjectionScale();
    if (s.x != 0.0 && s.z != 0.0) {
      data.setReal(host::kTextureTagLengthX, work.horSize / s.x);
      data.setReal(host::kTextureTagLengthY, work.verSize / s.z);
    }
    tag->setProjectionRotation({0.0, 0.0, work.sizeAngle});
  }
  data.setInt32(host::kTextureTagProjection, options_.textureProjection);
  object->insertTag(tag, object->getLastTag());
  tag->message(host::kMessageUpdate);
  return kStatusOk;
}

std::optional<double> MaterialBuilder::textureAngle(int32_t shader) {
  if (engineMode_ == 3) {
    settleShader(shader);
    const ShaderWorkRecord& work = loader_.shaderC4DWork[size_t(shader)];
    if (work.hostMaterialMade) return work.sizeComplete ? std::optional<double>(work.sizeAngle) : std::nullopt;
  } else if (engineMode_ != 2) {
    return std::nullopt;
  }
  if (const ShaderInternalRecord* internal = internalRecord(shader)) return internal->angle;
  return std::nullopt;
}

void MaterialBuilder::settleShader(int32_t shader) {
  if (engineMode_ != 3 || settled_[size_t(shader)]) return;
  settled_[size_t(shader)] = 1;
  if (!options_.assignMaterials || !hasRecognisedParameters(shader)) return;
  // A material of the shader's name is used as it is; the work record stays empty.
  if (options_.targetDocument->searchMaterial(loader_.shaders[size_t(shader)].name)) return;
  ShaderWorkRecord& work = loader_.shaderC4DWork[size_t(shader)];
  work.hostMaterialMade = false;
  readC4DParameters(shader);
  taken_[size_t(shader)] = library_.findLibraryMaterial(host::int32ToString(shader));
  if (taken_[size_t(shader)]) {
    work.hostMaterialMade = true;
  } else {
    printLine("Warning: Import C4D material failed, use internal material");
  }
}

host::BaseMaterial* MaterialBuilder::materialForShader(int32_t shader) {
  if (!options_.assignMaterials) return nullptr;
  host::BaseDocument* document = options_.targetDocument;
  const ShaderRecord& record = loader_.shaders[size_t(shader)];
  // The material found or made for the shader before: by-name searches per object would
  // add up to objects × materials in scenes of many shaders.
  host::BaseMaterial*& known = shaderMaterial_[size_t(shader)];
  if (known && known->getDocument() == document && known->getName() == record.name) return known;
  known = document->searchMaterial(record.name);
  if (known) return known;
  known = makeMaterial(shader);
  return known;
}

host::BaseMaterial* MaterialBuilder::makeMaterial(int32_t shader) {
  host::BaseDocument* document = options_.targetDocument;
  const ShaderRecord& record = loader_.shaders[size_t(shader)];
  settleShader(shader);
  if (host::BaseMaterial* taken = engineMode_ == 3 ? taken_[size_t(shader)] : nullptr) {
    taken_[size_t(shader)] = nullptr;
    taken->setName(record.name);
    document->insertMaterial(taken);
    finishMaterial(taken);
    return taken;
  }

  host::BaseMaterial* material = host::BaseMaterial::alloc(host::kMaterialStandard);
  if (!material) return nullptr;
  material->setName(record.name);
  document->insertMaterial(material);
  host::BaseChannel* colour = material->getChannel(host::kChannelColor);
  if (!colour) return nullptr;
  host::Container data = colour->getData();
  data.setVector(host::kChannelDataColor, {record.color[0], record.color[1], record.color[2]});
  colour->setData(data);
  material->getDataInstance().setInt32(kMaterialColorModel, 0);

  if (engineMode_ != 1) {
    if (const ShaderInternalRecord* internal = internalRecord(shader)) {
      // A surface without a texture name has no colour texture; that is no failure.
      if (options_.useTextures && !internal->textureName.empty() && !applyColourTexture(material, shader))
        return nullptr;
      if (internal->hasExtras) applyExtraParameters(material, shader);
    }
  }
  finishMaterial(material);
  return material;
}

void MaterialBuilder::finishMaterial(host::BaseMaterial* material) {
  material->update(true, true);
  material->message(host::kMessageUpdate);
  if (options_.undo) options_.targetDocument->addUndo(host::kUndoNew, material);
}

bool MaterialBuilder::applyColourTexture(host::BaseMaterial* material, int32_t shader) {
  const ShaderInternalRecord& internal = *internalRecord(shader);
  std::string scratch;
  printLine("Material Use texture: %s", text8(internal.textureName, scratch));
  host::String fileName;
  const TextureResult result = resolveTexture(internal.textureName, &fileName);
  if (result == TextureResult::unusable) return true;
  if (result != TextureResult::ready) return false;
  const host::Filename folder = options_.textureFolder;

  host::BaseChannel* colour = material->getChannel(host::kChannelColor);
  if (!colour) return false;
  host::Container data = colour->getData();
  data.setFilename(host::kChannelDataTexture, host::Filename(fileName));
  data.setFilename(host::kChannelDataSuggestedFolder, folder);
  colour->setData(data);

  host::Container& params = material->getDataInstance();
  // Bump: the texture through a filter shader in the bump channel.
  if (internal.flagA) {
    host::BaseChannel* bump = material->getChannel(host::kChannelBump);
    if (!bump) return false;
    params.setInt32(kMaterialUseBump, 1);
    host::BaseShader* filter = host::BaseShader::alloc(host::kShaderFilter);
    host::BaseShader* bitmap = filter ? host::BaseShader::alloc(host::kShaderBitmap) : nullptr;
    if (!bitmap) {
      host::BaseShader::free(filter);
      return false;
    }
    bitmap->getDataInstance().setFilename(host::kBitmapShaderFile, folder + host::Filename(fileName));
    filter->getDataInstance().setInt32(host::kFilterShaderMode, 1);
    filter->getDataInstance().setValue(host::kFilterShaderLink, host::linkValue(bitmap));
    filter->insertShader(bitmap);
    params.setValue(kMaterialBumpShader, host::linkValue(filter));
    material->insertShader(filter);
    bump->setData(bump->getData());
    const double specular = internal.extras[10] + internal.extras[11] + internal.extras[12];
    params.setReal(kMaterialBumpStrength, specular > 0.5 ? -0.4 : 0.4);
  }
  // Alpha: the texture's own alpha.
  if (internal.flagB) {
    host::BaseChannel* alpha = material->getChannel(host::kChannelAlpha);
    if (!alpha) return false;
    params.setInt32(kMaterialUseAlpha, internal.extras[0] > kNotZero ? 1 : 0);
    host::Container alphaData = alpha->getData();
    alphaData.setFilename(host::kChannelDataTexture, host::Filename(fileName));
    alphaData.setFilename(host::kChannelDataSuggestedFolder, folder);
    alpha->setData(alphaData);
    params.setInt32(kMaterialAlphaImage, 1);
  }
  return true;
}

void MaterialBuilder::applyExtraParameters(host::BaseMaterial* material, int32_t shader) {
  const double* e = internalRecord(shader)->extras;
  const ShaderRecord& record = loader_.shaders[size_t(shader)];
  host::Container& p = material->getDataInstance();
  if (e[6] > 0) p.setInt32(1002, 1);
  if (e[7] > 0) p.setInt32(1000, 1);
  if (e[8] > 0) p.setInt32(1001, 1);
  if (e[2] > 0) p.setInt32(2002, 1);
  p.setVector(2300, {e[3], e[4], e[5]});
  p.setReal(2301, e[2]);
  if (e[0] > 0) {
    p.setInt32(2003, 1);
    p.setReal(1005, 1.45);
  }
  p.setVector(2400, {record.color[0], record.color[1], record.color[2]});
  p.setReal(2401, e[0]);
  const bool environment = e[9] > 0 && e[8] > 0 && (e[9] >= e[8] || e[9] > 0.5);
  if (environment) p.setInt32(2004, 1);
  p.setReal(2501, e[9] / 3);
  p.setVector(2500, {e[10], e[11], e[12]});
  p.setInt32(2009, 1);
  p.setReal(1016, 1 - std::tan(e[9]));
  p.setReal(1017, e[9]);
  if (!environment) p.setInt32(2010, 1);
  p.setVector(3100, {e[10], e[11], e[12]});
}

void MaterialBuilder::readC4DParameters(int32_t shader) {
  ShaderWorkRecord& work = loader_.shaderC4DWork[size_t(shader)];
  work.grass = false;
  work.sizeComplete = false;
  if (shader >= loader_.shaderC4DsRead()) return;
  // Lengths in the parameters are in the file's units.
  const double lengthFactor = options_.scale != 0.0 ? options_.effectiveScale / options_.scale : 0.0;
  std::string scratch;
  int32_t counted = 0;
  for (const ParameterEntry& entry : loader_.shaderC4Ds[size_t(shader)].entries) {
    if (entry.valueType == 0 || !entry.key.recognised) continue;
    const host::String& name = entry.key.fullName;
    if (entry.key.index != 0) {
      if (name == "C4D_SHIMAGE_FILE" && entry.valueType == 2) {
        const host::String file = host::stringFromUtf8(entry.stringValue);
        if (resolveTexture(file) != TextureResult::ready)
          printLine("Warning: Extract texture failed: %s", text8(file, scratch));
      }
      continue;
    }
    const double v = entry.realValue;
    if (name == "C4D_CHGRA_STATE") {
      if (entry.valueType == 1) work.grass = notZero(v);
      continue;
    }
    if (name == "C4D_VER_MAIN") {
      work.verMain = common::toInt32Saturated(v);
    } else if (name == "C4D_VER_SUB") {
      work.verSub = common::toInt32Saturated(v);
    } else if (name == "C4D_CHSIZE_HORSIZE") {
      work.horSize = v * lengthFactor;
    } else if (name == "C4D_CHSIZE_VERSIZE") {
      work.verSize = v * lengthFactor;
    } else if (name == "C4D_CHSIZE_DEPSIZE") {
      work.depSize = v * lengthFactor;
    } else if (name == "C4D_CHSIZE_ANGLE") {
      work.sizeAngle = v * M_PI / 180.0;
    } else if (name == "C4D_CHSIZE_KEEPPROP") {
      work.keepProportions = notZero(v);
    } else if (name == "C4D_CHSIZE_RANDORIG") {
      work.randomOrigin = notZero(v);
    } else {
      continue;
    }
    ++counted;
  }
  work.sizeComplete = counted > 6;
}

TextureResult MaterialBuilder::resolveTexture(const host::String& name, host::String* outFileName) {
  if (textureIndex_.empty() && loader_.texturesRead() != 0) {
    // First record of each path and of each title, compared in upper case.
    for (int32_t i = 0; i < loader_.texturesRead(); ++i) {
      textureIndex_.try_emplace(host::toUpper(loader_.textures[size_t(i)].path.string()), i);
      titleIndex_.try_emplace(host::toUpper(loader_.textures[size_t(i)].fileTitle), i);
    }
  }
  const host::String wanted = host::toUpper(name);
  int32_t found = -1;
  if (auto it = textureIndex_.find(wanted); it != textureIndex_.end()) {
    found = it->second;
  } else if (auto title = titleIndex_.find(wanted); title != titleIndex_.end()) {
    found = title->second;
  }
  if (found < 0) return TextureResult::missing;

  std::string scratch;
  const host::String& path = loader_.textures[size_t(found)].path.string();
  const host::String fileName = textureFileName(path);
  if (fileName.empty()) {
    printLine("Warning: Texture not extracted, no usable file name: %s", text8(path, scratch));
    return TextureResult::unusable;
  }
  {
    host::BaseFile present;
    if (present.open(options_.textureFolder + host::Filename(fileName), host::FileMode::read)) {
      if (outFileName) *outFileName = fileName;
      return TextureResult::ready;
    }
  }
  // The folder may change while it is made sure of; the file goes where it is then.
  if (!ensureTextureFolder()) return TextureResult::writeFailed;
  if (!writeTexture(found, options_.textureFolder + host::Filename(fileName))) return TextureResult::writeFailed;
  if (outFileName) *outFileName = fileName;
  return TextureResult::ready;
}

bool MaterialBuilder::writeTexture(int32_t texture, const host::Filename& target) {
  // Written under a name of its own and renamed when complete, so that a failed run
  // never leaves a truncated texture that a later run would take as present.
  const host::Filename partial(target.string() + ".part");
  const common::Array<uint8_t>& bytes = loader_.textureData[size_t(texture)];
  bool written = false;
  {
    host::BaseFile file;
    if (file.open(partial, host::FileMode::write)) {
      written = file.writeBytes(bytes.data(), int64_t(bytes.size()));
      written = file.close() && written;
    }
  }
  if (written) written = host::renameFile(partial, target);
  if (!written) host::deleteFile(partial);
  return written;
}

bool MaterialBuilder::ensureTextureFolder() {
  if (textureFolderChecked_) return textureFolderReady_;
  if (host::createFolder(options_.textureFolder)) {
    textureFolderChecked_ = textureFolderReady_ = true;
    return true;
  }
  options_.textureFolder = projectFolder_ + host::Filename("tex");
  std::string scratch;
  printLine("Texture Location Changed:%s", text8(options_.textureFolder.string(), scratch));
  if (host::createFolder(options_.textureFolder)) {
    textureFolderChecked_ = textureFolderReady_ = true;
    return true;
  }
  return false;
}

}  // namespace talvo
