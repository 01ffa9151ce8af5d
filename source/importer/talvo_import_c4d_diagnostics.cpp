#include "talvo_import_c4d_diagnostics.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "host/resource.h"
#include "host/ui.h"

namespace talvo {

namespace {
constexpr int32_t kCancelQuestion = 14000;
}

void printLine(const char* format, ...) {
  char buffer[2048];
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (n < 0) buffer[0] = '\0';
  std::string line;
  for (const char* p = buffer; *p; ++p)
    if (*p != '\n') line += *p;
  host::consoleLine(host::stringFrom8Bit(line));
}

void showStop(const host::String& text) {
  host::messageBox(host::kIconStop + host::kBoxOk, text);
}
void showWarning(const host::String& text) {
  host::messageBox(host::kIconExclamation + host::kBoxOk, text);
}
void showInfo(const host::String& text) {
  host::messageBox(host::kIconInfo + host::kBoxOk, text);
}

bool cancelRequested() {
  if (!host::isKeyHeld(host::kKeyEscape)) return false;
  printLine("%s", kBlockLine);
  printLine("CANCELED");
  printLine("%s", kBlockLine);
  const int32_t answer =
      host::messageBox(host::kIconQuestion + host::kBoxYesNo, host::loadString(kCancelQuestion));
  if (answer != host::kAnswerYes) return false;
  host::eventAdd();
  return true;
}

void reportProgress(int32_t done, int32_t total) {
  // A total of 0 would divide by zero; show no progress rather than a bogus number.
  if (total == 0) {
    host::statusSetPercent(0);
    return;
  }
  host::statusSetPercent(int32_t(std::trunc(double(done) / double(total) * 100.0)));
}

void statusText(int32_t resourceId) {
  host::statusSetText(host::loadString(resourceId));
}

void statusClear() {
  host::statusClear();
}

double elapsedSeconds(int32_t milliseconds) {
  return double(milliseconds) * 0.001;
}

host::String loadRegistrationString(int32_t resourceId, const char* symbol) {
  host::String text = host::loadString(resourceId);
  if (text.empty()) printLine("Talvo failed to load str: %s", symbol);
  return text;
}

}  // namespace talvo
