#include "host/filename.h"

namespace host {
namespace {

bool isSeparator(char c) {
  return c == '/' || c == '\\';
}

size_t fileStart(const String& path) {
  for (size_t i = path.size(); i > 0; --i)
    if (isSeparator(path[i - 1])) return i;
  return 0;
}

// Position of the suffix dot in the file part, or npos. A leading dot (".hidden") is
// part of the name, not a suffix.
size_t suffixDot(const String& path) {
  const size_t start = fileStart(path);
  const size_t dot = path.rfind('.');
  if (dot == String::npos || dot <= start) return String::npos;
  return dot;
}

char lowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? char(c + 32) : c;
}

}  // namespace

Filename Filename::operator+(const Filename& part) const {
  if (path_.empty()) return part;
  if (part.path_.empty()) return *this;
  if (isSeparator(path_.back())) return Filename(path_ + part.path_);
  return Filename(path_ + "/" + part.path_);
}

Filename Filename::directory() const {
  size_t start = fileStart(path_);
  if (start == 0) return Filename();
  if (start == 1) return Filename(path_.substr(0, 1));  // the root folder
  return Filename(path_.substr(0, start - 1));
}

Filename Filename::file() const {
  return Filename(path_.substr(fileStart(path_)));
}

String Filename::title() const {
  const size_t start = fileStart(path_);
  const size_t dot = suffixDot(path_);
  return path_.substr(start, dot == String::npos ? String::npos : dot - start);
}

bool Filename::checkSuffix(std::string_view suffix) const {
  const size_t dot = suffixDot(path_);
  if (dot == String::npos) return suffix.empty();
  const std::string_view own = std::string_view(path_).substr(dot + 1);
  if (own.size() != suffix.size()) return false;
  for (size_t i = 0; i < own.size(); ++i)
    if (lowerAscii(own[i]) != lowerAscii(suffix[i])) return false;
  return true;
}

void Filename::setSuffix(std::string_view suffix) {
  const size_t dot = suffixDot(path_);
  if (dot != String::npos) path_.erase(dot);
  if (!suffix.empty()) {
    path_ += '.';
    path_ += suffix;
  }
}

}  // namespace host
