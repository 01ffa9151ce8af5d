// The plug-in frame: plug-in bases, registration, finding and running plug-ins, core
// events and plug-in messages.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "host/filename.h"
#include "host/text.h"
#include "host/values.h"

namespace host {

class BaseBitmap;
class BaseDocument;
class BaseObject;
class BaseTag;

// Plug-in types, the host's numbers.
constexpr int32_t kPluginCommand = 4;
constexpr int32_t kPluginTag = 6;
constexpr int32_t kPluginNode = 11;
constexpr int32_t kPluginSceneLoader = 15;
constexpr int32_t kPluginCoreMessage = 17;

// Registration flags.
constexpr int32_t kTagVisible = 1;
constexpr int32_t kPluginHide = 0x20000000;

// Scene loading flags, given to SceneLoaderData::load.
constexpr int32_t kSceneLoadObjects = 1;
constexpr int32_t kSceneLoadMaterials = 2;
constexpr int32_t kSceneLoadDialogsAllowed = 4;
constexpr int32_t kSceneLoadMerge = 32;  // into a document that exists (the File menu's merge)

// Command states.
constexpr int32_t kCommandEnabled = 0x40000000;

class BaseData {
 public:
  virtual ~BaseData() = default;
};

// A parameter description, as the attribute view shows it.
struct DescriptionEntry {
  int32_t id = 0;
  int32_t type = 0;  // a value tag of host/values.h, or kDescriptionStaticText
  String name;
};
constexpr int32_t kDescriptionStaticText = 1;
struct Description {
  String resource;  // the description resource loaded, empty when none
  std::vector<DescriptionEntry> entries;
  bool loaded = false;
};

class NodeData : public BaseData {
 public:
  // Writes the node's defaults into its container.
  virtual bool init(Container& data) { return true; }
  // Fills the description of the node's parameters; `singleId` is the parameter asked
  // for, or 0 for the whole description.
  virtual bool getDDescription(const Container& data, Description& description, int32_t singleId) {
    return true;
  }
  // Whether the user may change a parameter in the attribute view.
  virtual bool getDEnabling(const Container& data, int32_t id) { return true; }
};

class TagData : public NodeData {
 public:
  // Runs during scene evaluation.
  virtual int32_t execute(BaseTag* tag, BaseDocument* document, BaseObject* object) { return 0; }
};

class CommandData : public BaseData {
 public:
  virtual bool execute(BaseDocument* document) = 0;
  virtual int32_t getState(BaseDocument* document) { return kCommandEnabled; }
  virtual bool message(int32_t type, void* data) { return true; }
};

class SceneLoaderData : public NodeData {
 public:
  // Whether the loader reads the file, judged from its name and its first bytes.
  virtual bool identify(const Filename& name, const uint8_t* probe, int32_t size) = 0;
  // Loads the file into the document; returns a file error (0 on success).
  virtual int32_t load(const Filename& name, BaseDocument* document, int32_t flags, String* error) = 0;
};

class MessageData : public BaseData {
 public:
  virtual int32_t getTimer() { return 0; }
  // A core message (a posted event among them); answers true when handled.
  virtual bool coreMessage(int32_t id, const Container& data) = 0;
};

using NodeAllocator = std::function<NodeData*()>;

// A registered plug-in.
struct BasePlugin {
  int32_t id = 0;
  int32_t type = 0;
  String name;
  int32_t info = 0;  // registration flags
  String help;
  String description;  // description resource name
  std::shared_ptr<const BaseBitmap> icon;  // the host's copy of the icon; none when empty
  NodeAllocator allocator;                 // tags, nodes, scene loaders
  std::shared_ptr<CommandData> command;    // commands
  std::shared_ptr<MessageData> messages;   // message plug-ins
  std::shared_ptr<SceneLoaderData> loader; // scene loaders (one instance per plug-in)
};

// Registration; false when the id is taken or the data is missing. The host owns the
// plug-in data from then on and keeps a copy of the icon (none for nullptr); the caller
// keeps the bitmap.
bool registerCommandPlugin(int32_t id, const String& name, int32_t info, const BaseBitmap* icon,
                           const String& help, CommandData* data);
bool registerTagPlugin(int32_t id, const String& name, int32_t info, NodeAllocator allocator,
                       const String& description, const BaseBitmap* icon);
bool registerSceneLoaderPlugin(int32_t id, const String& name, int32_t info, NodeAllocator allocator,
                               const String& description);
bool registerMessagePlugin(int32_t id, const String& name, int32_t info, MessageData* data);
bool registerNodePlugin(int32_t id, const String& name, int32_t info, NodeAllocator allocator,
                        const String& description, const BaseBitmap* icon);

// A registered plug-in by id and type; nullptr when there is none.
const BasePlugin* findPlugin(int32_t id, int32_t type);
// All plug-ins of a type, in registration order.
std::vector<const BasePlugin*> pluginsOfType(int32_t type);
// Runs a command plug-in on a document as the host runs it from a menu (and records the
// run); false when the plug-in is no command or the command fails.
bool executeCommand(const BasePlugin* plugin, BaseDocument* document);
// Runs a command plug-in on the active document; false when there is none or it fails.
bool callCommand(int32_t id);

// Core events: posted now, delivered by the host's main loop to every message plug-in.
void specialEventAdd(int32_t id, uintptr_t p1 = 0, uintptr_t p2 = 0);
// Plug-in messages: broadcast to every loaded plug-in module; true when one handled it.
bool sendPluginMessage(int32_t id, void* data);

}  // namespace host
