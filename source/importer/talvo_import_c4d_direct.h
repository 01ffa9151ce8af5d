// The scene loader of the host's File menu and the parked request it leaves behind.
//
// The host calls a scene loader in the middle of its own loading, so `cDirectMethod` does
// not import there: it parks the request in the world-preference container 1027287 and
// posts the core event 1027291. `cMessage` turns the event into the plug-in message
// 1027289, whose handler (`runParkedImport`) chooses the target document and runs the
// hidden import command with it.
//
// Parked request (world-preference container 1027287):
//   key   value
//   1000  the scene file name the host gave (a file name)
//   1001  link to the document that was active when the host called the loader
//   1002  link to the document the host was loading into
//   1003  1 when the host's loading flags had bit 5 (value 32: a merge) set, else 0
#pragma once

#include <cstdint>

#include "host/plugins.h"

namespace host {
class BaseDocument;
}

namespace talvo {

constexpr int32_t kSceneLoaderId = 1027287;  // also the id of the parked request's container
constexpr int32_t kParkedFileName = 1000;
constexpr int32_t kParkedActiveDocument = 1001;
constexpr int32_t kParkedLoadingDocument = 1002;
constexpr int32_t kParkedMergeFlag = 1003;
constexpr int32_t kLoaderNameString = 16004;

class cDirectMethod : public host::SceneLoaderData {
 public:
  // True exactly for a file with the extension "TALVO"; the bytes are not looked at.
  bool identify(const host::Filename& name, const uint8_t* probe, int32_t size) override;
  // Parks the request and posts the core event; always 0, and loads nothing.
  int32_t load(const host::Filename& name, host::BaseDocument* document, int32_t flags,
               host::String* error) override;
};

// The document a parked request imports into; nullptr when nothing is parked (or no
// document can be had). Closes the empty document the host opened for the file, unless
// it was a merge or the loading went into the active document.
host::BaseDocument* chooseTargetDocument();

// Plug-in message 1027289: runs the hidden import command with the chosen document; the
// command's result, false when there is nothing to run.
bool runParkedImport();
// Plug-in message 1054062: closes the document of the parked request when it is still
// in the host's document list; true when it closed it.
bool closeParkedDocument();

// Registers the scene loader; false when its name string is missing or the host refuses.
bool registerSceneLoader();

}  // namespace talvo
