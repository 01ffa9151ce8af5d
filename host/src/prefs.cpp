// World preferences live in one JSON file of the preferences folder,
// "world_prefs.json": {"<plug-in id>": <container>, ...}.
#include "host/prefs.h"

#include <filesystem>
#include <fstream>
#include <map>

#include "host/file.h"
#include "state.h"
#include "value_json.h"

namespace host {
namespace {

constexpr const char* kPrefsFile = "world_prefs.json";

// Identities name objects and documents of one run only, so a stored link is written as
// no link: after a restart it must not name whatever has that identity then.
const JsonLinks& storedLinks() {
  static const JsonLinks links{[](uint64_t) { return Json(nullptr); },
                               [](const Json& ref) { return ref.is_number_unsigned() ? ref.get<uint64_t>() : 0; }};
  return links;
}

struct WorldPrefs {
  Filename folder;  // the folder they were loaded from
  bool loaded = false;
  std::map<int32_t, Container> containers;
};

WorldPrefs& prefs() {
  static WorldPrefs p;
  return p;
}

// Loads the preferences of the current folder once; a changed folder loads again.
WorldPrefs& loaded() {
  WorldPrefs& p = prefs();
  const Filename folder = state().preferencesFolder;
  if (p.loaded && p.folder == folder) return p;
  p = WorldPrefs{folder, true, {}};
  std::ifstream in((folder + Filename(kPrefsFile)).string());
  if (!in) return p;
  const Json json = Json::parse(in, nullptr, false);
  if (!json.is_object()) return p;
  for (const auto& [key, value] : json.items()) {
    bool error = false;
    const int32_t id = toInt32(key, &error);
    Container c(id);
    if (!error && containerFromJson(value, c, storedLinks())) p.containers[id] = std::move(c);
  }
  return p;
}

}  // namespace

const Container* getWorldPluginData(int32_t id) {
  WorldPrefs& p = loaded();
  const auto it = p.containers.find(id);
  return it == p.containers.end() ? nullptr : &it->second;
}

bool setWorldPluginData(int32_t id, const Container& data) {
  WorldPrefs& p = loaded();
  Container& stored = p.containers[id] = data;
  stored.setId(id);
  if (p.folder.empty()) return true;  // no folder: kept for this run only
  if (!createFolder(p.folder)) return false;
  Json json = Json::object();
  for (const auto& [key, c] : p.containers) json[std::to_string(key)] = containerToJson(c, storedLinks());
  // Written beside and renamed, so a failed write never leaves half a file.
  const std::string path = (p.folder + Filename(kPrefsFile)).string();
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::trunc);
    out << json.dump(1) << '\n';
    if (!out) return false;
  }
  std::error_code ec;
  std::filesystem::rename(temporary, path, ec);
  return !ec;
}

}  // namespace host
