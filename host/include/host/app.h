// The host application's side of the host layer: what the command-line host and the
// tests set up and observe. The plug-in never includes this header.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "host/filename.h"
#include "host/text.h"

namespace host {
class GeModalDialog;
}

namespace host::app {

// Folders.
void setPreferencesFolder(const Filename& folder);
void setDocumentsFolder(const Filename& folder);
void setPluginFolder(const Filename& folder);

// Console: every line goes to the sink (standard output unless set).
void setConsoleSink(std::function<void(const String&)> sink);

// Status bar state and an observer called on every change.
struct StatusBar {
  String text;
  int32_t percent = -1;  // -1: no bar
};
const StatusBar& statusBar();
void setStatusObserver(std::function<void(const StatusBar&)> observer);

int32_t mousePointer();
int32_t eventAddCount();

// Keyboard: the key reads as held for the next `polls` queries, then released.
void holdKey(int32_t key, int32_t polls = 1);
// A source of key state consulted after the held keys (the command-line host maps
// Ctrl+C to Escape this way).
void setKeySource(std::function<bool(int32_t key)> source);

// Message boxes: every box shown is recorded; the responder answers questions.
struct ShownBox {
  int32_t style;
  String text;
};
const std::vector<ShownBox>& shownBoxes();
void clearShownBoxes();
// Answers given to the next questions, in order; after them the responder decides, and
// without a responder a question is answered No and any other box OK.
void queueAnswers(std::vector<int32_t> answers);
void setBoxResponder(std::function<int32_t(int32_t style, const String& text)> responder);

// Memory: the allocation `n` allocations from now fails (1 = the next one); 0 disables.
void failAllocationAt(int64_t n);
int64_t allocationCount();
// Host allocations not yet freed.
int64_t liveAllocations();

// Plug-in modules: each loaded plug-in library's message function receives the plug-in
// messages of sendPluginMessage.
void addPluginModule(std::function<bool(int32_t id, void* data)> pluginMessage);
// The main loop's step: delivers the posted core events to the message plug-ins;
// returns how many were delivered.
int32_t processEvents();
// Forgets every registered plug-in, module and pending event.
void resetPlugins();
// Frees every document of the document list.
void resetDocuments();

// Dialogs: the user who works every modal dialog the plug-in opens (none: every dialog
// is cancelled), and the answer to file selections (none: cancelled).
void setDialogUser(std::function<void(GeModalDialog& dialog)> user);
void setFileSelection(std::function<bool(Filename& outName, const String& title)> answer);

// Restores every setting above to its start state (tests call it between cases); loaded
// resources, plug-ins and documents stay.
void reset();

}  // namespace host::app
