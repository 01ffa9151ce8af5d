// String tables: text files "res/strings/*.str", one string a line:
//
//   10800 IDS_FILE_ERROR_OPEN "The scene file could not be opened."
//
// an id, the symbol the code knows it by, and the text in double quotes (UTF-8; \" and
// \\ escape). Lines starting with "//" and blank lines are skipped.
#include "host/resource.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "state.h"

namespace host {
namespace {

bool parseLine(const std::string& line, int32_t& outId, String& outText) {
  std::istringstream in(line);
  std::string idText, symbol;
  if (!(in >> idText >> symbol)) return false;
  bool error = false;
  outId = toInt32(idText, &error);
  if (error) return false;
  const size_t open = line.find('"');
  if (open == std::string::npos) return false;
  std::string text;
  for (size_t i = open + 1; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '"') {
      outText = stringFromUtf8(text);
      return true;
    }
    if (c == '\\' && i + 1 < line.size()) {
      const char next = line[++i];
      text += next == 'n' ? '\n' : next;
    } else {
      text += c;
    }
  }
  return false;  // no closing quote
}

}  // namespace

bool initResource(const Filename& resFolder) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path folder = fs::path(resFolder.string()) / "strings";
  std::vector<fs::path> tables;
  for (const auto& entry : fs::directory_iterator(folder, ec))
    if (entry.path().extension() == ".str") tables.push_back(entry.path());
  if (tables.empty()) return false;
  std::sort(tables.begin(), tables.end());

  std::map<int32_t, String> strings;
  for (const fs::path& path : tables) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
      const size_t first = line.find_first_not_of(" \t\r");
      if (first == std::string::npos || line.compare(first, 2, "//") == 0) continue;
      int32_t id = 0;
      String text;
      if (parseLine(line, id, text)) strings[id] = std::move(text);
    }
  }
  state().strings = std::move(strings);
  return true;
}

String loadString(int32_t id) {
  const auto& strings = state().strings;
  const auto it = strings.find(id);
  return it == strings.end() ? String() : it->second;
}

}  // namespace host
