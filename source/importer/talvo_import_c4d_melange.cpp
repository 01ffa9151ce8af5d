#include "talvo_import_c4d_melange.h"

#include <cerrno>
#include <cstddef>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "host/document_file.h"
#include "host/file.h"
#include "host/material.h"
#include "host/resource.h"
#include "host/scene.h"
#include "talvo_import_c4d_diagnostics.h"
#include "talvo_import_c4d_loader.h"
#include "talvo_import_c4d_options.h"
#include "talvo_melange.h"

namespace talvo {
namespace {

constexpr int32_t kMaterialFileString = 42000;

// The argument block is read by another binary: its layout may not move.
static_assert(sizeof(TalvoMelangeParameter) == 56);
static_assert(sizeof(TalvoMelangeShader) == 24);
static_assert(sizeof(TalvoMelangeTexture) == 16);
static_assert(sizeof(TalvoMelangeArguments) == 72);
static_assert(offsetof(TalvoMelangeArguments, effectiveScale) == 48);

// The library, open for one call and freed when the call is over.
class Library {
 public:
  explicit Library(const host::Filename& path) {
#if defined(_WIN32)
    handle_ = LoadLibraryA(path.string().c_str());
    if (!handle_) error_ = int32_t(GetLastError());
#else
    errno = 0;
    handle_ = dlopen(path.string().c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) error_ = errno;
#endif
  }
  ~Library() {
#if defined(_WIN32)
    if (handle_) FreeLibrary(static_cast<HMODULE>(handle_));
#else
    if (handle_) dlclose(handle_);
#endif
  }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  bool loaded() const { return handle_ != nullptr; }
  // The system's error of the last failed step.
  int32_t error() const { return error_; }

  void* entry(const char* name) {
#if defined(_WIN32)
    void* address = reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
    if (!address) error_ = int32_t(GetLastError());
#else
    errno = 0;
    void* address = dlsym(handle_, name);
    if (!address) error_ = errno;
#endif
    return address;
  }

 private:
  void* handle_ = nullptr;
  int32_t error_ = 0;
};

// Checks one version entry; false (logged) when it is missing or answers otherwise.
bool checkVersion(Library& library, const char* name, int32_t expected, const char* mismatch, const char* missing) {
  auto* function = reinterpret_cast<TalvoMelangeVersionFunction>(library.entry(name));
  if (!function) {
    printLine(missing, library.error());
    return false;
  }
  if (function() != expected) {
    printLine("%s", mismatch);
    return false;
  }
  return true;
}

// The shaders' parameter sets as the library reads them; the texts stay those of the
// loader, which outlives the call.
struct ArgumentBlock {
  std::vector<TalvoMelangeParameter> parameters;
  std::vector<TalvoMelangeShader> shaders;
  std::vector<TalvoMelangeTexture> textures;

  void fill(const SceneLoader& loader) {
    size_t total = 0;
    for (const ParameterSet& set : loader.shaderC4Ds) total += set.entries.size();
    parameters.reserve(total);
    shaders.reserve(size_t(loader.shadersRead()));
    for (int32_t i = 0; i < loader.shadersRead(); ++i) {
      TalvoMelangeShader shader{};
      shader.name = loader.shaders[size_t(i)].name.c_str();
      shader.parameters = parameters.data() + parameters.size();
      if (i < loader.shaderC4DsRead()) {
        const ParameterSet& set = loader.shaderC4Ds[size_t(i)];
        for (const ParameterEntry& e : set.entries) {
          TalvoMelangeParameter p{};
          p.fullName = e.key.recognised ? e.key.fullName.c_str() : "";
          p.group = e.key.recognised ? e.key.group.c_str() : "";
          p.parameter = e.key.recognised ? e.key.parameter.c_str() : "";
          p.stringValue = e.valueType == TALVO_MELANGE_VALUE_STRING ? e.stringValue.c_str() : "";
          p.realValue = e.valueType == TALVO_MELANGE_VALUE_REAL ? e.realValue : 0.0;
          p.index = e.key.index;
          p.recognised = e.key.recognised ? 1 : 0;
          p.valueType = e.valueType;
          parameters.push_back(p);
        }
        shader.parameterCount = int32_t(set.entries.size());
        shader.recognisedCount = set.recognisedCount;
      }
      shaders.push_back(shader);
    }
    textures.reserve(size_t(loader.texturesRead()));
    for (const TextureRecord& t : loader.textures) textures.push_back({t.path.string().c_str(), t.fileTitle.c_str()});
  }
};

}  // namespace

MaterialLibrary::MaterialLibrary(const SceneLoader& loader, const ImportOptions& options)
    : loader_(loader), options_(options) {}

MaterialLibrary::~MaterialLibrary() {
  for (host::BaseDocument*& d : documents_) host::BaseDocument::free(d);
}

host::Filename MaterialLibrary::libraryPath() {
  const host::Filename folder = host::pluginFolder();
  if (folder.empty()) return {};
  const host::String version = host::int32ToString(kMelangeVersion);
#if defined(_WIN32)
  const host::String name = "TALVO_melange_v" + version + "_vc11" + "_x64" + ".dll";
#elif defined(__APPLE__)
  const host::String name = "TALVO_melange_v" + version + ".dylib";
#else
  const host::String name = "TALVO_melange_v" + version + ".so";
#endif
  return folder + host::Filename("melange") + host::Filename(name);
}

int32_t MaterialLibrary::createMaterialFiles() {
  const host::Filename tempFolder = host::hostFolder(host::kPathDocuments) + host::Filename("TalvoTempFolder");
  if (!host::folderExists(tempFolder) && !host::createFolder(tempFolder)) return 0;
  host::Filename file = tempFolder + host::Filename(options_.sceneFilePath.title() + "_Talvo_" +
                                                    host::loadString(kMaterialFileString) + "_v" +
                                                    host::int32ToString(kMelangeVersion));
  file.setSuffix("c4d");

  const bool written = callLibrary(file);
  printLine("CreateMaterialFile: %s", written ? "success" : "failed");
  if (!written) return 0;
  files_.push_back(file);
  return 1;
}

bool MaterialLibrary::callLibrary(const host::Filename& file) const {
  const host::Filename path = libraryPath();
  printLine("Dll path: %s", host::stringTo8Bit(path.string()).c_str());
  if (path.empty()) {
    printLine("Error: Dll Location is empty");
    return false;
  }
  if (!host::fileExists(path)) {
    printLine("Error: Dll file not exist");
    return false;
  }
  Library library(path);
  if (!library.loaded()) {
    printLine("Talvo failed to load DLL: [%s] [%d]", host::stringTo8Bit(path.string()).c_str(), library.error());
    return false;
  }
  if (!checkVersion(library, "GetDllVersion", TALVO_MELANGE_DLL_VERSION, "Different DLL version",
                    "Talvo failed to get dll version: [%d]") ||
      !checkVersion(library, "GetCompilerVersion", TALVO_MELANGE_COMPILER_VERSION, "Different Compiler version",
                    "Talvo failed to get compiler version: [%d]") ||
      !checkVersion(library, "GetPlatform", TALVO_MELANGE_PLATFORM, "Different Platform version",
                    "Talvo failed to get platform: [%d]"))
    return false;
  auto* create = reinterpret_cast<TalvoMelangeCreateFunction>(library.entry("CreateMelangeMaterialFile"));
  if (!create) {
    printLine("Talvo failed to get Create Materials: [%d]", library.error());
    return false;
  }

  ArgumentBlock block;
  block.fill(loader_);
  double projectFactor = 1.0;
  int32_t projectUnit = 3;
  if (options_.targetDocument) {
    const host::HostValue* value = options_.targetDocument->getSettings().getValue(host::kDocumentProjectScale);
    if (const auto* scale = value ? dynamic_cast<const host::UnitScaleData*>(value->getCustom()) : nullptr) {
      projectFactor = scale->scale;
      projectUnit = scale->unit;
    }
  }
  const std::string fileText = file.string();
  const std::string folderText = options_.textureFolder.string();
  TalvoMelangeArguments arguments{};
  arguments.size = sizeof arguments;
  arguments.version = TALVO_MELANGE_ARGUMENTS_VERSION;
  arguments.materialFile = fileText.c_str();
  arguments.textureFolder = folderText.c_str();
  arguments.shaders = block.shaders.data();
  arguments.textures = block.textures.data();
  arguments.shaderCount = int32_t(block.shaders.size());
  arguments.textureCount = int32_t(block.textures.size());
  arguments.effectiveScale = options_.effectiveScale;
  arguments.projectScaleFactor = projectFactor;
  arguments.projectScaleUnit = projectUnit;
  if (create(&arguments) == 0) {
    printLine("Talvo failed to Create Melange Materials");
    return false;
  }
  return true;
}

int32_t MaterialLibrary::loadMaterialFiles() {
  int32_t loaded = 0;
  for (const host::Filename& file : files_) {
    if (!host::fileExists(file)) continue;
    host::String error;
    host::BaseDocument* document = host::loadDocument(file, &error, host::kSceneLoadMaterials);
    if (!document) {
      printLine("Warning: Material file not loaded: %s", host::stringTo8Bit(error).c_str());
      continue;
    }
    documents_.push_back(document);
    loaded = 1;
  }
  return loaded;
}

host::BaseMaterial* MaterialLibrary::findLibraryMaterial(const host::String& name) {
  for (const host::BaseDocument* document : documents_) {
    if (const host::BaseMaterial* material = document->searchMaterial(name)) return material->clone();
  }
  printLine("Warning: Material Idx %s not found in melange materials", host::stringTo8Bit(name).c_str());
  return nullptr;
}

}  // namespace talvo
