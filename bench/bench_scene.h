// The benchmarks' scenes: a generated building written to a temporary folder of its own
// (removed with the object) and read back whole, as an import reads it.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "host/file.h"
#include "scenegen/scenegen.h"
#include "talvo_import_c4d_loader.h"
#include "talvo_import_c4d_status.h"

namespace talvo_bench {

[[noreturn]] inline void fail(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  std::exit(1);
}

class BenchSceneFile {
 public:
  // A building of `polygons` polygon records; with `withObj` also its geometry as OBJ.
  BenchSceneFile(const char* name, int64_t polygons, bool withObj = false) {
    folder_ = std::filesystem::temp_directory_path() /
              (std::string("talvo_") + name + "_" + std::to_string(::getpid()) + "_" + std::to_string(polygons));
    std::filesystem::create_directories(folder_);
    scene_ = (folder_ / "big.TALVO").string();
    talvo::scenegen::BigSceneOptions options;
    options.polygons = polygons;
    talvo::scenegen::BigScene big(options);
    talvo::testsupport::SceneWriter writer(scene_);
    if (!big.write(writer)) fail("could not write the benchmark scene");
    if (withObj) {
      obj_ = (folder_ / "big.obj").string();
      if (!big.writeObj(obj_)) fail("could not write the benchmark OBJ");
    }
  }
  ~BenchSceneFile() {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  BenchSceneFile(const BenchSceneFile&) = delete;
  BenchSceneFile& operator=(const BenchSceneFile&) = delete;

  const std::string& scene() const { return scene_; }
  const std::string& obj() const { return obj_; }

 private:
  std::filesystem::path folder_;
  std::string scene_;
  std::string obj_;
};

// A scene file read whole with the factory options; `status` tells how the read ended.
struct ReadScene {
  talvo::ImportOptions options;
  host::BaseFile file;
  talvo::SceneLoader loader{options, file};
  int32_t status = talvo::kStatusOk;

  explicit ReadScene(const std::string& path) {
    options.sceneFilePath = host::Filename(path);
    file.open(options.sceneFilePath, host::FileMode::read);
    status = loader.checkFile();
    if (status == talvo::kStatusOk) status = loader.readAll();
    file.close();
  }
};

}  // namespace talvo_bench
