#include "host/ui.h"

#include <cstdio>

#include "state.h"

namespace host {

HostState& state() {
  static HostState s;
  return s;
}

void consoleLine(const String& text) {
  HostState& s = state();
  if (s.consoleSink) {
    s.consoleSink(text);
  } else {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
  }
}

namespace {
void statusChanged() {
  HostState& s = state();
  if (s.statusObserver) s.statusObserver(s.statusBar);
}
}  // namespace

void statusSetText(const String& text) {
  state().statusBar.text = text;
  statusChanged();
}

void statusSetPercent(int32_t percent) {
  state().statusBar.percent = percent;
  statusChanged();
}

void statusClear() {
  state().statusBar = {};
  statusChanged();
}

void setMousePointer(int32_t code) {
  state().mousePointer = code;
}

bool isKeyHeld(int32_t key) {
  HostState& s = state();
  if (auto it = s.heldKeys.find(key); it != s.heldKeys.end()) {
    if (--it->second <= 0) s.heldKeys.erase(it);
    return true;
  }
  return s.keySource && s.keySource(key);
}

int32_t messageBox(int32_t style, const String& text) {
  HostState& s = state();
  s.shownBoxes.push_back({style, text});
  const bool question = (style & 0x0F) == kBoxYesNo;
  if (!question) {
    if (s.boxResponder) s.boxResponder(style, text);
    return kAnswerOk;
  }
  if (!s.queuedAnswers.empty()) {
    const int32_t answer = s.queuedAnswers.front();
    s.queuedAnswers.pop_front();
    return answer;
  }
  return s.boxResponder ? s.boxResponder(style, text) : kAnswerNo;
}

void eventAdd() {
  ++state().eventAdds;
}

namespace app {

void setPreferencesFolder(const Filename& folder) {
  state().preferencesFolder = folder;
}
void setDocumentsFolder(const Filename& folder) {
  state().documentsFolder = folder;
}
void setPluginFolder(const Filename& folder) {
  state().pluginFolder = folder;
}

void setConsoleSink(std::function<void(const String&)> sink) {
  state().consoleSink = std::move(sink);
}

const StatusBar& statusBar() {
  return state().statusBar;
}
void setStatusObserver(std::function<void(const StatusBar&)> observer) {
  state().statusObserver = std::move(observer);
}

int32_t mousePointer() {
  return state().mousePointer;
}
int32_t eventAddCount() {
  return state().eventAdds;
}

void holdKey(int32_t key, int32_t polls) {
  if (polls > 0) state().heldKeys[key] = polls;
}
void setKeySource(std::function<bool(int32_t)> source) {
  state().keySource = std::move(source);
}

const std::vector<ShownBox>& shownBoxes() {
  return state().shownBoxes;
}
void clearShownBoxes() {
  state().shownBoxes.clear();
}
void queueAnswers(std::vector<int32_t> answers) {
  for (int32_t a : answers) state().queuedAnswers.push_back(a);
}
void setBoxResponder(std::function<int32_t(int32_t, const String&)> responder) {
  state().boxResponder = std::move(responder);
}

void reset() {
  HostState& s = state();
  s.consoleSink = nullptr;
  s.statusBar = {};
  s.statusObserver = nullptr;
  s.mousePointer = kPointerNormal;
  s.eventAdds = 0;
  s.heldKeys.clear();
  s.keySource = nullptr;
  s.shownBoxes.clear();
  s.queuedAnswers.clear();
  s.boxResponder = nullptr;
  s.failAt = 0;
}

}  // namespace app

Filename hostFolder(int32_t pathKind) {
  switch (pathKind) {
    case kPathPreferences:
      return state().preferencesFolder;
    case kPathDocuments:
      return state().documentsFolder;
    default:
      return {};
  }
}

Filename pluginFolder() {
  return state().pluginFolder;
}

}  // namespace host
