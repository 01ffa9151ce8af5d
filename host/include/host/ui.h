// What the host shows a person: console, status bar, message boxes, mouse pointer, and
// the keyboard state it reads.
#pragma once

#include <cstdint>

#include "host/text.h"

namespace host {

// One line on the host console.
void consoleLine(const String& text);

// Status bar: a text and a progress percentage.
void statusSetText(const String& text);
void statusSetPercent(int32_t percent);
void statusClear();

// Mouse pointer codes.
constexpr int32_t kPointerNormal = 2;
constexpr int32_t kPointerBusy = 3;
void setMousePointer(int32_t code);

// Keyboard: whether a key is held down right now.
constexpr int32_t kKeyEscape = 61723;
bool isKeyHeld(int32_t key);

// Message boxes: an icon and a button set added together.
constexpr int32_t kBoxOk = 0;
constexpr int32_t kBoxYesNo = 4;
constexpr int32_t kIconStop = 16;
constexpr int32_t kIconQuestion = 32;
constexpr int32_t kIconExclamation = 48;
constexpr int32_t kIconInfo = 64;
// Answers.
constexpr int32_t kAnswerOk = 1;
constexpr int32_t kAnswerYes = 6;
constexpr int32_t kAnswerNo = 7;
int32_t messageBox(int32_t style, const String& text);

// Tells the host that the scene changed, so it redraws when it can.
void eventAdd();

}  // namespace host
