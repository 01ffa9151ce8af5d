// Host texts. A host string holds Unicode text as UTF-8; the host's 8-bit system encoding
// is Windows-1252.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace host {

using String = std::string;

// Text from UTF-8 bytes; an invalid sequence becomes U+FFFD, so a host string is always
// valid UTF-8.
String stringFromUtf8(std::string_view bytes);
// Text from bytes in the host's 8-bit encoding.
String stringFrom8Bit(std::string_view bytes);
// The text in the host's 8-bit encoding; characters it cannot hold become '?'.
std::string stringTo8Bit(std::string_view text);

// Upper case of the Latin letters (ASCII and Latin-1); other characters stay.
String toUpper(std::string_view text);
// Compares by code point: negative, 0 or positive.
int compareStrings(std::string_view a, std::string_view b);
// Splits at every separator; empty parts are kept, so "a__b" gives "a", "", "b".
std::vector<String> splitString(std::string_view text, char separator);

// Number conversion. The whole text (leading and trailing spaces allowed) must be a
// number; otherwise the result is 0 and *outError, when given, is set true.
int32_t toInt32(std::string_view text, bool* outError = nullptr);
double toReal(std::string_view text, bool* outError = nullptr);
String int32ToString(int32_t value);
// A real as the host writes it with its default digits: up to three decimals, trailing
// zeros dropped ("0.25", "1.5", "12").
String realToString(double value);

}  // namespace host
