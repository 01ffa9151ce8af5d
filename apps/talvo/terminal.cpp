#include "terminal.h"

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>

#include "host/app.h"
#include "host/ui.h"

namespace talvo_app {
namespace {

std::atomic<bool> gEscapePending{false};

// The first Ctrl+C reads as Escape held at the next poll of the keyboard; a second one
// before that poll ends the program, so a run that never polls can still be stopped.
void onInterrupt(int) {
  if (gEscapePending.exchange(true)) _exit(130);
}

const char* boxPrefix(int32_t style) {
  if ((style & 0x0F) == host::kBoxYesNo) return "question";
  switch (style & 0xF0) {
    case host::kIconStop:
      return "stop";
    case host::kIconExclamation:
      return "warning";
    case host::kIconInfo:
      return "info";
    case host::kIconQuestion:
      return "question";
    default:
      return "info";
  }
}

bool gBarShown = false;
std::string gBarLine;  // what the bar shows now

void clearBar() {
  if (gBarShown) {
    std::fputs("\r\033[K", stderr);
    gBarShown = false;
    gBarLine.clear();
  }
}

void drawBar(const host::app::StatusBar& bar) {
  if (bar.text.empty() && bar.percent < 0) {
    clearBar();
    return;
  }
  constexpr int kWidth = 30;
  const int percent = bar.percent < 0 ? 0 : (bar.percent > 100 ? 100 : bar.percent);
  const int filled = percent * kWidth / 100;
  std::string line = "\r\033[K[" + std::string(size_t(filled), '#') +
                     std::string(size_t(kWidth - filled), ' ') + "] " + std::to_string(percent) + "% " +
                     bar.text;
  if (gBarShown && line == gBarLine) return;  // progress is reported far more often than it moves
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
  gBarShown = true;
  gBarLine = std::move(line);
}

}  // namespace

void setUpTerminal(Answer answer) {
  const bool interactive = isatty(STDIN_FILENO) && isatty(STDERR_FILENO);
  const bool barOnTerminal = isatty(STDERR_FILENO);

  host::app::setConsoleSink([barOnTerminal](const host::String& line) {
    if (barOnTerminal) clearBar();
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
  });
  if (barOnTerminal) host::app::setStatusObserver(drawBar);

  host::app::setBoxResponder([answer, interactive](int32_t style, const host::String& text) -> int32_t {
    clearBar();
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %s\n", boxPrefix(style), text.c_str());
    if ((style & 0x0F) != host::kBoxYesNo) return host::kAnswerOk;
    if (answer == Answer::yes) return host::kAnswerYes;
    if (answer == Answer::no || !interactive) return host::kAnswerNo;
    for (;;) {
      std::fputs("[y/n] ", stderr);
      std::string reply;
      if (!std::getline(std::cin, reply)) return host::kAnswerNo;
      if (reply == "y" || reply == "Y" || reply == "yes") return host::kAnswerYes;
      if (reply == "n" || reply == "N" || reply == "no") return host::kAnswerNo;
    }
  });

  std::signal(SIGINT, onInterrupt);
  host::app::setKeySource(
      [](int32_t key) { return key == host::kKeyEscape && gEscapePending.exchange(false); });
}

}  // namespace talvo_app
