// The materials builder: turns the scene's shaders into host materials, extracts the
// embedded textures into the texture folder and puts texture tags (and grass tags) on
// the objects the other builders make.
//
// Engine material modes: 1 plain materials with the shader's colour; 2 (internal) colour,
// colour texture, bump, alpha and the extra surface parameters; 3 (library) materials
// written by the companion library from the shader's parameter set, falling back to
// mode 2 per shader. Materials are made the first time one of their texture tags is
// applied and found again by name afterwards.
#pragma once

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

#include "host/filename.h"
#include "host/text.h"
#include "talvo_import_c4d_melange.h"

namespace host {
class BaseMaterial;
class BaseObject;
}  // namespace host

namespace talvo {

class SceneLoader;
struct ImportOptions;
struct ShaderInternalRecord;

// What resolving a texture name gave.
enum class TextureResult {
  ready,        // the file is in the texture folder
  unusable,     // the texture's record names no file that may be written (empty, "..")
  missing,      // no embedded texture has that name
  writeFailed,  // the folder or the file could not be written
};

class MaterialBuilder {
 public:
  MaterialBuilder(SceneLoader& loader, ImportOptions& options);
  ~MaterialBuilder();
  MaterialBuilder(const MaterialBuilder&) = delete;
  MaterialBuilder& operator=(const MaterialBuilder&) = delete;

  // Fixes the texture folder and the engine mode; runs once before the builders. 0.
  [[nodiscard]] int32_t prepareMaterials();

  // Puts the shader's texture tag (and, for grass surfaces, a grass tag) on the object,
  // making the shader's material when it has none yet. 0 when the object has a texture
  // tag already; 10035 when no material could be had, 10028 or 10032 when a tag could not.
  [[nodiscard]] int32_t applyShaderTextureTag(host::BaseObject* object, int32_t shader);

  // The texture angle the shader's UVs are turned by; none when no angle applies. In the
  // library mode it settles first whether the library's material is taken, so every
  // object of the shader gets the same angle whichever is built first.
  std::optional<double> textureAngle(int32_t shader);

  // Finds the embedded texture of a name and makes sure its file is in the texture
  // folder; the file's name is given back in *outFileName when ready.
  TextureResult resolveTexture(const host::String& name, host::String* outFileName = nullptr);

  int32_t engineMode() const { return engineMode_; }
  // Where embedded files go; it changes when the chosen folder cannot be made.
  const host::Filename& textureFolder() const;
  const host::Filename& projectFolder() const { return projectFolder_; }

 private:
  host::BaseMaterial* materialForShader(int32_t shader);
  // A new material for the shader, inserted into the document; nullptr when none can be had.
  host::BaseMaterial* makeMaterial(int32_t shader);
  // Mode 3: fills the shader's work record and takes the library's material, once per
  // shader; a material of the shader's name in the document settles it without either.
  void settleShader(int32_t shader);
  [[nodiscard]] bool applyColourTexture(host::BaseMaterial* material, int32_t shader);
  void applyExtraParameters(host::BaseMaterial* material, int32_t shader);
  void readC4DParameters(int32_t shader);
  bool ensureTextureFolder();
  bool writeTexture(int32_t texture, const host::Filename& target);
  // The shader's internal record when it was read and is present.
  const ShaderInternalRecord* internalRecord(int32_t shader) const;
  bool hasRecognisedParameters(int32_t shader) const;
  // The update, notice and undo step of a material the builder inserted.
  void finishMaterial(host::BaseMaterial* material);

  SceneLoader& loader_;
  ImportOptions& options_;
  MaterialLibrary library_;
  int32_t engineMode_ = 1;
  host::Filename projectFolder_;
  bool textureFolderReady_ = false;
  bool textureFolderChecked_ = false;
  bool grassAvailable_ = false;
  // Per shader in the library mode: settled yet, and the library's material taken but
  // not yet inserted.
  std::vector<uint8_t> settled_;
  std::vector<host::BaseMaterial*> taken_;
  std::vector<host::BaseMaterial*> shaderMaterial_;  // found or made per shader, in the document
  // Embedded textures by upper-case path and by upper-case file title: the first of each.
  std::unordered_map<host::String, int32_t> textureIndex_;
  std::unordered_map<host::String, int32_t> titleIndex_;
};

}  // namespace talvo
