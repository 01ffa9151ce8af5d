// Runs the scene reader on bytes written by the test-support scene writer.
#pragma once

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "host/app.h"
#include "host/file.h"
#include "host/resource.h"
#include "host/ui.h"
#include "support/scene_writer.h"
#include "talvo_import_c4d_loader.h"
#include "talvo_import_c4d_options.h"
#include "talvo_import_c4d_status.h"

namespace talvo_test {

namespace ts = talvo::testsupport;

// A temporary folder of its own for each test.
class TempFolder {
 public:
  TempFolder() {
    static std::atomic<int> counter{0};
    path_ = std::filesystem::temp_directory_path() /
            ("talvo_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string file(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Parameter entries as an exporter writes them: a real, a string.
inline ts::ParameterEntry realEntry(const std::string& name, double value) {
  ts::ParameterEntry e;
  e.name = name;
  e.valueType = 1;
  e.realValue = value;
  return e;
}
inline ts::ParameterEntry textEntry(const std::string& name, const std::string& value) {
  ts::ParameterEntry e;
  e.name = name;
  e.valueType = 2;
  e.stringValue = value;
  return e;
}

inline std::string writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return path;
}

// One loader over one file, with the steps an import runs around its dialog.
struct LoaderRun {
  talvo::ImportOptions options;
  host::BaseFile file;
  std::unique_ptr<talvo::SceneLoader> loader;
  std::vector<std::string> console;

  explicit LoaderRun(const std::string& path, double scale = 1.0, double uvwScale = 1.0) {
    host::app::setConsoleSink([this](const host::String& line) { console.push_back(line); });
    options.scale = scale;
    options.uvwScale = uvwScale;
    options.sceneFilePath = host::Filename(path);
    file.open(host::Filename(path), host::FileMode::read);
    loader = std::make_unique<talvo::SceneLoader>(options, file);
  }
  ~LoaderRun() { host::app::setConsoleSink(nullptr); }

  // checkFile, then readAll when the check passed.
  int32_t run() {
    const int32_t rc = loader->checkFile();
    return rc != talvo::kStatusOk ? rc : loader->readAll();
  }
};

}  // namespace talvo_test
