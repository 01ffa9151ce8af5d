// The companion library's entry points. The plug-in loads the library by path, checks
// the three version entries and calls CreateMelangeMaterialFile, which writes the
// shaders' materials into a host document file for the plug-in to load.
#include <cmath>
#include <memory>

#include "host/document_file.h"
#include "host/scene.h"
#include "host/text.h"
#include "talvo_melange.h"
#include "talvo_melange_material.h"

#if defined(_WIN32)
#define TALVO_MELANGE_EXPORT extern "C" __declspec(dllexport)
#else
#define TALVO_MELANGE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace talvo::melange {

namespace {

// The units of the project scale setting: kilometre (1) to inch (10).
constexpr int32_t kFirstUnit = 1;
constexpr int32_t kLastUnit = 10;

bool isPositive(double value) { return std::isfinite(value) && value > 0.0; }

// An array the caller passes with its count: the count is not negative, and the array
// is there unless the count is 0.
template <class T>
bool isArray(const T* array, int32_t count) {
  return count >= 0 && (array || count == 0);
}

bool areTextsThere(const TalvoMelangeParameter& p) {
  return p.fullName && p.group && p.parameter && p.stringValue;
}

// Whether the argument block can be used as it is: its size and version are ours, every
// array and text it points to is there, the material file is named, counts are not
// negative, the scales are finite and positive and the unit is one of the host's. Nothing is written for a block that fails.
bool checkArguments(const TalvoMelangeArguments* a) {
  if (!a || a->size != sizeof(TalvoMelangeArguments) || a->version != TALVO_MELANGE_ARGUMENTS_VERSION) return false;
  if (!a->materialFile || !*a->materialFile || !a->textureFolder) return false;
  if (!isArray(a->shaders, a->shaderCount) || !isArray(a->textures, a->textureCount)) return false;
  if (!isPositive(a->effectiveScale) || !isPositive(a->projectScaleFactor)) return false;
  if (a->projectScaleUnit < kFirstUnit || a->projectScaleUnit > kLastUnit) return false;
  for (int32_t i = 0; i < a->shaderCount; ++i) {
    const TalvoMelangeShader& s = a->shaders[i];
    if (!s.name || !isArray(s.parameters, s.parameterCount) || s.recognisedCount < 0) return false;
    for (int32_t j = 0; j < s.parameterCount; ++j)
      if (!areTextsThere(s.parameters[j])) return false;
  }
  for (int32_t i = 0; i < a->textureCount; ++i)
    if (!a->textures[i].path || !a->textures[i].fileTitle) return false;
  return true;
}

struct DocumentOwner {
  void operator()(host::BaseDocument* d) const { host::BaseDocument::free(d); }
};

// Builds the document of the materials and saves it; false on bad arguments, short
// memory or a failed save (which leaves no file behind). The document is the library's
// own, never in the host's document list, and is freed before returning.
bool createMaterialFile(const TalvoMelangeArguments* a) {
  if (!checkArguments(a)) return false;
  const TextureIndex textures(a->textures, a->textureCount);
  const MaterialContext context{textures, host::Filename(host::stringFromUtf8(a->textureFolder)), a->effectiveScale};

  std::unique_ptr<host::BaseDocument, DocumentOwner> document(host::BaseDocument::alloc());
  if (!document) return false;
  document->getSettingsInstance().setValue(
      host::kDocumentProjectScale,
      host::HostValue::custom(std::make_unique<host::UnitScaleData>(a->projectScaleFactor, a->projectScaleUnit)));
  host::BaseMaterial* last = nullptr;
  for (int32_t i = 0; i < a->shaderCount; ++i)
    if (!appendShaderMaterials(*document, i, a->shaders[i], context, last)) return false;
  return host::saveDocument(*document, host::Filename(a->materialFile));
}

}  // namespace

}  // namespace talvo::melange

TALVO_MELANGE_EXPORT int32_t GetDllVersion(void) { return TALVO_MELANGE_DLL_VERSION; }

TALVO_MELANGE_EXPORT int32_t GetCompilerVersion(void) { return TALVO_MELANGE_COMPILER_VERSION; }

TALVO_MELANGE_EXPORT int32_t GetPlatform(void) { return TALVO_MELANGE_PLATFORM; }

// 1 when the file is written, 0 on any failure. Nothing thrown inside crosses into the
// caller.
TALVO_MELANGE_EXPORT int32_t CreateMelangeMaterialFile(const TalvoMelangeArguments* arguments) {
  try {
    return talvo::melange::createMaterialFile(arguments) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}
