// Loading plug-in libraries with the system's dynamic loader and starting them.
#include <algorithm>
#include <filesystem>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "host/app.h"
#include "host/plugin_entry.h"
#include "host/plugins.h"
#include "host/scene.h"
#include "state.h"

namespace host {
namespace {

// The file suffix of plug-in libraries on each platform.
#if defined(_WIN32)
constexpr const char* kPluginSuffix = ".xdl64";
#elif defined(__APPLE__)
constexpr const char* kPluginSuffix = ".dylib";
#else
constexpr const char* kPluginSuffix = ".so";
#endif

struct Module {
  std::filesystem::path file;
  Filename folder;  // the plug-in folder: the library's own folder
  PluginEntry entry = nullptr;
  int32_t priority = 0;
};

std::vector<Module>& started() {
  static std::vector<Module> modules;
  return modules;
}

// Calls a library's entry with its own folder as the running plug-in's folder.
int32_t call(const Module& m, int32_t action, int32_t messageId, void* data) {
  state().pluginFolder = m.folder;
  return m.entry(action, messageId, data);
}

String lastLoaderError() {
#if defined(_WIN32)
  return "system error " + std::to_string(GetLastError());
#else
  const char* text = dlerror();
  return text ? String(text) : String("unknown error");
#endif
}

// Opens a library and finds its entry; libraries are never closed (see endPlugins).
PluginEntry openLibrary(const std::filesystem::path& file, String& outError) {
#if defined(_WIN32)
  HMODULE handle = LoadLibraryW(file.wstring().c_str());
  if (!handle) {
    outError = lastLoaderError();
    return nullptr;
  }
  auto entry = reinterpret_cast<PluginEntry>(GetProcAddress(handle, kPluginEntryName));
#else
  void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    outError = lastLoaderError();
    return nullptr;
  }
  auto entry = reinterpret_cast<PluginEntry>(dlsym(handle, kPluginEntryName));
#endif
  if (!entry) outError = String("no entry ") + kPluginEntryName;
  return entry;
}

}  // namespace

namespace app {

int32_t loadPlugins(const Filename& folder, std::vector<String>* outProblems) {
  namespace fs = std::filesystem;
  auto problem = [&](const fs::path& file, const String& text) {
    if (outProblems) outProblems->push_back(file.string() + ": " + text);
  };

  std::vector<fs::path> folders;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder.string(), ec))
    if (entry.is_directory(ec)) folders.push_back(entry.path());
  std::sort(folders.begin(), folders.end());

  std::vector<Module> loaded;
  for (const fs::path& sub : folders) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(sub, ec))
      if (entry.is_regular_file(ec) && entry.path().extension() == kPluginSuffix)
        files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
      String error;
      Module m;
      m.file = file;
      m.folder = Filename(sub.string());
      m.entry = openLibrary(file, error);
      if (!m.entry) {
        problem(file, error);
        continue;
      }
      int32_t priority = 0;
      call(m, kPluginActionMessage, kMessagePriority, &priority);
      m.priority = priority;
      loaded.push_back(std::move(m));
    }
  }
  std::stable_sort(loaded.begin(), loaded.end(),
                   [](const Module& a, const Module& b) { return a.priority < b.priority; });

  int32_t count = 0;
  for (const Module& m : loaded) {
    if (!call(m, kPluginActionMessage, kMessageResources, nullptr)) {
      problem(m.file, "its resources could not be loaded");
      continue;
    }
    if (!call(m, kPluginActionStart, 0, nullptr)) {
      problem(m.file, "it did not start");
      continue;
    }
    started().push_back(m);
    addPluginModule([m](int32_t id, void* data) { return call(m, kPluginActionMessage, id, data) != 0; });
    ++count;
  }
  return count;
}

void endPlugins() {
  for (auto it = started().rbegin(); it != started().rend(); ++it) call(*it, kPluginActionEnd, 0, nullptr);
  started().clear();
  // Documents hold plug-in tags and the registry holds plug-in data: both are freed while
  // the libraries' code is still there.
  resetDocuments();
  resetPlugins();
}

}  // namespace app
}  // namespace host
