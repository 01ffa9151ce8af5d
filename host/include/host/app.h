// The host application's side of the host layer: what the command-line host and the
// tests set up and observe. The plug-in never includes this header.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "host/filename.h"
#include "host/menu.h"
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
// Forgets every registered plug-in, icon, module, pending event and command run; the
// host's own plug-ins (the grass tag) are registered again.
void resetPlugins();
// Takes a registered plug-in away, as a host without that module would be (tests of the
// host's own plug-ins' absence); false when there is none.
bool removePlugin(int32_t id, int32_t type);
// Frees every document of the document list.
void resetDocuments();

// Plug-in libraries: loads every plug-in library (TALVO_import_r16.so and the like: the
// platform's plug-in file suffix) in the subfolders of `folder` and starts them as
// host/plugin_entry.h describes, each with its own subfolder as the plug-in folder. One
// text per problem (a library that cannot be loaded, has no entry, cannot load its
// resources or fails to start) goes to *outProblems. Returns how many started.
int32_t loadPlugins(const Filename& folder, std::vector<String>* outProblems = nullptr);
// The host's end: sends the end action to the started libraries in reverse order, frees
// every document and forgets the plug-ins. The libraries stay loaded, so nothing that
// still refers to their code can outlive it.
void endPlugins();

// Menus: the host's menu resources, read from a JSON file
//   {"M_EDITOR": [entry, ...], ...}
// where an entry is {"title": "TEXT"}, {"command": "TEXT"}, {"separator": true},
// {"submenu": [entry, ...]} or {"container": [entry, ...]}. False with the reason in
// *outError when the file cannot be read or holds anything else; the resources loaded
// before stay then.
bool loadMenuResources(const Filename& file, String* outError = nullptr);
void setMenuResource(const String& name, MenuEntry entries);
// Forgets every menu resource, the menus built from them and the rebuild count.
void clearMenuResources();
// Builds the menus: the host's copies of the resources are made afresh from the loaded
// ones, then every started library receives kMessageBuildMenus.
void buildMenus();
// How often a plug-in asked for the menus to be rebuilt (host::updateMenus).
int32_t menuUpdateCount();

// Commands the host ran (host::executeCommand), in order.
struct CommandRun {
  int32_t id;
  bool result;
};
const std::vector<CommandRun>& commandRuns();

// The File menu. Open: reads the first bytes of the file and asks every scene loader, in
// registration order, to identify it; the first that does loads it into a new document
// named after the file, which the host inserts into the document list and makes active
// (closing it again when the loader fails). Merge: the same into the active document.
enum class OpenResult { loaded, cannotRead, noLoader, loaderFailed };
OpenResult openSceneFile(const Filename& name, bool merge = false);

// Dialogs: the user who works every modal dialog the plug-in opens (none: every dialog
// is cancelled), and the answer to file selections (none: cancelled).
void setDialogUser(std::function<void(GeModalDialog& dialog)> user);
void setFileSelection(std::function<bool(Filename& outName, const String& title)> answer);

// Restores every setting above to its start state (tests call it between cases); loaded
// resources, plug-ins and documents stay.
void reset();

}  // namespace host::app
