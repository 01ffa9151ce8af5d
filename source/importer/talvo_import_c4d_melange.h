// The manager of the companion material library: a shared library shipped in the
// plug-in's "melange" folder that writes host materials for the scene's shaders into a
// material file, which the importer loads and clones materials from by name.
#pragma once

#include <cstdint>
#include <vector>

#include "host/filename.h"
#include "host/text.h"

namespace host {
class BaseDocument;
class BaseMaterial;
}  // namespace host

namespace talvo {

class SceneLoader;
struct ImportOptions;

// The library's version in its file name.
constexpr int32_t kMelangeVersion = 16;

class MaterialLibrary {
 public:
  MaterialLibrary(const SceneLoader& loader, const ImportOptions& options);
  ~MaterialLibrary();
  MaterialLibrary(const MaterialLibrary&) = delete;
  MaterialLibrary& operator=(const MaterialLibrary&) = delete;

  // The library's file: the plug-in folder's "melange" subfolder and the platform's name.
  static host::Filename libraryPath();

  // Loads the library, checks its entry points and has it write the material file of the
  // scene's shaders into the host's documents folder; the library is freed again. 1 on
  // success, 0 on any failure (each logged).
  int32_t createMaterialFiles();
  // Loads the materials of every written file; 1 when one loaded.
  int32_t loadMaterialFiles();
  // A copy of the first loaded material of that name, owned by the caller; nullptr (and a
  // warning) when no loaded file has it.
  host::BaseMaterial* findLibraryMaterial(const host::String& name);

 private:
  // Loads the library, checks its entry points and calls it; false (logged) on failure.
  bool callLibrary(const host::Filename& file) const;

  const SceneLoader& loader_;
  const ImportOptions& options_;
  std::vector<host::Filename> files_;            // written by the library
  std::vector<host::BaseDocument*> documents_;   // their materials, loaded
};

}  // namespace talvo
