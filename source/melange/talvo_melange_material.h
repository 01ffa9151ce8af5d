// The companion library's materials: how one shader's parameter entries become host
// materials. MAPPING.md beside this file lists every entry that is used and what it sets.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "host/filename.h"
#include "host/material.h"
#include "host/scene.h"
#include "talvo_melange.h"

namespace talvo::melange {

// Use switches of the standard material's channels.
constexpr int32_t kMaterialUseColor = 2000;
constexpr int32_t kMaterialUseLuminance = 2001;
constexpr int32_t kMaterialUseTransparency = 2002;
constexpr int32_t kMaterialUseReflection = 2003;
constexpr int32_t kMaterialUseBump = 2007;
constexpr int32_t kMaterialUseAlpha = 2008;
// Other parameters of the standard material.
constexpr int32_t kMaterialRefraction = 1005;    // real, the index of refraction
constexpr int32_t kMaterialBumpStrength = 1009;  // real, 1 for 100 %

// Parameters of ours: the scene's texture size and grass settings, kept on the material
// for the importer, which the host's material itself does not use.
constexpr int32_t kMaterialSizeHorizontal = 3201;  // real, document length
constexpr int32_t kMaterialSizeVertical = 3202;    // real, document length
constexpr int32_t kMaterialSizeDepth = 3203;       // real, document length
constexpr int32_t kMaterialSizeAngle = 3204;       // real, radians
constexpr int32_t kMaterialKeepProportions = 3205; // integer 0 or 1
constexpr int32_t kMaterialRandomOrigin = 3206;    // integer 0 or 1
constexpr int32_t kGrassLength = 3301;             // real, document length
constexpr int32_t kGrassDensity = 3302;            // real, as the scene gives it

// The textures of a call, looked up by path and by file title (ASCII letters in either
// case). The texts stay owned by the caller's array.
class TextureIndex {
 public:
  TextureIndex(const TalvoMelangeTexture* textures, int32_t count);

  // The file part of the texture an image name gives: the path of the first texture
  // whose path is the name, else of the first whose file title is the name, else the
  // name itself; the file part is what follows the last '/' or '\\' and a drive "X:".
  // Empty when that leaves nothing a file in the texture folder could be called: "",
  // "." or "..".
  host::String fileName(std::string_view imageName) const;

 private:
  std::unordered_map<std::string, std::string_view> byPath_;
  std::unordered_map<std::string, std::string_view> byTitle_;
};

struct MaterialContext {
  const TextureIndex& textures;
  host::Filename textureFolder;
  double effectiveScale;  // the import's length factor, finite and positive
};

// Appends the shader's materials to the document after *inOutLast (nullptr: as the
// first) and moves *inOutLast to the last one appended: none when the shader has no
// recognised entries, else the material named by the shader's index and, when the
// shader's grass is on, the material "<index>_grass". False when memory is short; what
// was appended stays in the document.
[[nodiscard]] bool appendShaderMaterials(host::BaseDocument& document, int32_t shaderIndex,
                                         const TalvoMelangeShader& shader, const MaterialContext& context,
                                         host::BaseMaterial*& inOutLast);

}  // namespace talvo::melange
