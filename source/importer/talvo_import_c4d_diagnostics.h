// Console lines, message boxes, the Escape cancel check, status-bar progress and the
// seconds of the timing report.
#pragma once

#include <cstdint>
#include <string>

#include "host/text.h"

namespace talvo {

// Frames blocks of console output.
constexpr const char* kBlockLine = "=====================================";
constexpr const char* kSectionLine = "-------------------------------------------------------";

// Formats like printf into a 2048-byte buffer (a longer line is cut at 2047 bytes),
// drops every line feed, reads the result as host 8-bit text and prints it as one
// console line. Arguments given with %s are 8-bit text: pass host strings through
// host::stringTo8Bit.
void printLine(const char* format, ...) __attribute__((format(printf, 1, 2)));
// A host string as the 8-bit text that printLine's %s takes.
inline std::string text8(const host::String& s) {
  return host::stringTo8Bit(s);
}

void showStop(const host::String& text);
void showWarning(const host::String& text);
void showInfo(const host::String& text);

// True when the user held Escape and then answered Yes to question 14000. After a No
// the caller carries on.
bool cancelRequested();

// Shows trunc(done / total * 100) percent in the status bar.
void reportProgress(int32_t done, int32_t total);
// Shows a string resource as the status text.
void statusText(int32_t resourceId);
void statusClear();

double elapsedSeconds(int32_t milliseconds);

// A string resource that a registration needs; when it is missing, prints
// "Talvo failed to load str: " and the resource's symbol, and gives an empty text.
host::String loadRegistrationString(int32_t resourceId, const char* symbol);

}  // namespace talvo
