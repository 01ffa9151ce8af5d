#include "host/text.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace host {
namespace {

// Windows-1252 bytes 0x80 to 0x9F; 0 marks the five bytes the encoding leaves undefined,
// which map to the C1 control of the same number, as the system conversion does.
constexpr char32_t kCp1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

constexpr char32_t kReplacement = 0xFFFD;

void appendUtf8(String& out, char32_t c) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | (c >> 6));
    out += char(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += char(0xE0 | (c >> 12));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xF0 | (c >> 18));
    out += char(0x80 | ((c >> 12) & 0x3F));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
}

// Decodes one code point at i; an invalid sequence gives U+FFFD and consumes one byte.
char32_t decodeUtf8(std::string_view s, size_t& i) {
  const auto b0 = uint8_t(s[i]);
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  int extra;
  char32_t c;
  char32_t minimum;
  if ((b0 & 0xE0) == 0xC0) {
    extra = 1, c = b0 & 0x1F, minimum = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    extra = 2, c = b0 & 0x0F, minimum = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    extra = 3, c = b0 & 0x07, minimum = 0x10000;
  } else {
    ++i;
    return kReplacement;
  }
  if (s.size() - i <= size_t(extra)) {
    ++i;
    return kReplacement;
  }
  for (int k = 1; k <= extra; ++k) {
    const auto b = uint8_t(s[i + k]);
    if ((b & 0xC0) != 0x80) {
      ++i;
      return kReplacement;
    }
    c = (c << 6) | (b & 0x3F);
  }
  if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
    ++i;
    return kReplacement;
  }
  i += size_t(extra) + 1;
  return c;
}

bool isAscii(std::string_view s) {
  for (char ch : s)
    if (uint8_t(ch) >= 0x80) return false;
  return true;
}

std::string_view trimSpaces(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

}  // namespace

String stringFromUtf8(std::string_view bytes) {
  if (isAscii(bytes)) return String(bytes);
  String out;
  out.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size();) appendUtf8(out, decodeUtf8(bytes, i));
  return out;
}

String stringFrom8Bit(std::string_view bytes) {
  if (isAscii(bytes)) return String(bytes);
  String out;
  out.reserve(bytes.size() + bytes.size() / 2);
  for (char ch : bytes) {
    const auto b = uint8_t(ch);
    char32_t c = b;
    if (b >= 0x80 && b < 0xA0 && kCp1252High[b - 0x80] != 0) c = kCp1252High[b - 0x80];
    appendUtf8(out, c);
  }
  return out;
}

std::string stringTo8Bit(std::string_view text) {
  if (isAscii(text)) return std::string(text);
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const char32_t c = decodeUtf8(text, i);
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
      out += char(c);
      continue;
    }
    char mapped = '?';
    for (int k = 0; k < 32; ++k) {
      if (kCp1252High[k] == c || (kCp1252High[k] == 0 && c == char32_t(0x80 + k))) {
        mapped = char(0x80 + k);
        break;
      }
    }
    out += mapped;
  }
  return out;
}

String toUpper(std::string_view text) {
  String out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    char32_t c = decodeUtf8(text, i);
    if (c >= 'a' && c <= 'z') {
      c -= 32;
    } else if (c >= 0xE0 && c <= 0xFE && c != 0xF7) {
      c -= 32;  // Latin-1 small letters; U+00F7 is the division sign
    } else if (c == 0xFF) {
      c = 0x178;
    }
    appendUtf8(out, c);
  }
  return out;
}

int compareStrings(std::string_view a, std::string_view b) {
  // Byte order of UTF-8 is code-point order.
  const int r = a.compare(b);
  return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

std::vector<String> splitString(std::string_view text, char separator) {
  std::vector<String> parts;
  size_t start = 0;
  for (;;) {
    const size_t at = text.find(separator, start);
    if (at == std::string_view::npos) {
      parts.emplace_back(text.substr(start));
      return parts;
    }
    parts.emplace_back(text.substr(start, at - start));
    start = at + 1;
  }
}

int32_t toInt32(std::string_view text, bool* outError) {
  const std::string_view s = trimSpaces(text);
  std::string_view digits = s;
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  int32_t value = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  const bool bad = digits.empty() || ec != std::errc() || end != digits.data() + digits.size();
  if (outError) *outError = bad;
  return bad ? 0 : value;
}

double toReal(std::string_view text, bool* outError) {
  const std::string s(trimSpaces(text));
  char* end = nullptr;
  errno = 0;
  const double value = s.empty() ? 0.0 : std::strtod(s.c_str(), &end);
  const bool bad = s.empty() || end != s.c_str() + s.size() || errno == ERANGE;
  if (outError) *outError = bad;
  return bad ? 0.0 : value;
}

String int32ToString(int32_t value) {
  return std::to_string(value);
}

String realToString(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.3f", value);
  String out(buffer);
  while (out.back() == '0') out.pop_back();
  if (out.back() == '.') out.pop_back();
  if (out == "-0") out = "0";
  return out;
}

}  // namespace host
