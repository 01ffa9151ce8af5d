// Host file names and the host's folders.
#pragma once

#include <cstdint>

#include "host/text.h"

namespace host {

// A file or folder path. Both '/' and '\\' separate parts, so that paths written on
// another platform (as exporters often do) still give their file part.
class Filename {
 public:
  Filename() = default;
  Filename(String path) : path_(std::move(path)) {}  // NOLINT: a path converts implicitly
  Filename(const char* path) : path_(path) {}        // NOLINT

  const String& string() const { return path_; }
  bool empty() const { return path_.empty(); }

  // Joins a relative part: "a/b" + "c.txt" gives "a/b/c.txt".
  Filename operator+(const Filename& part) const;
  // Everything before the file part, without the trailing separator.
  Filename directory() const;
  // The last part of the path.
  Filename file() const;
  // The file part without its suffix.
  String title() const;
  // The suffix test ignores letter case, as the host's does on its desktop platforms.
  bool checkSuffix(std::string_view suffix) const;
  // Replaces the suffix (or adds one); an empty suffix removes it.
  void setSuffix(std::string_view suffix);
  void clearSuffix() { setSuffix({}); }

  friend bool operator==(const Filename&, const Filename&) = default;

 private:
  String path_;
};

// The host's folders. Path kinds are the host's numbers.
constexpr int32_t kPathPreferences = 1;
constexpr int32_t kPathDocuments = 9;

// A host folder by path kind; empty for an unknown kind.
Filename hostFolder(int32_t pathKind);
// The folder the running plug-in was loaded from.
Filename pluginFolder();

}  // namespace host
