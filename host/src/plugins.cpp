#include "host/plugins.h"

#include <deque>

#include "host/app.h"
#include "host/bitmap.h"
#include "host/material.h"
#include "host/scene.h"
#include "state.h"

namespace host {
namespace {

struct PluginRegistry {
  std::vector<BasePlugin> plugins;
  std::vector<std::function<bool(int32_t, void*)>> modules;
  std::deque<std::pair<int32_t, Container>> events;
  std::vector<app::CommandRun> commandRuns;
};

// The fields every registration fills.
BasePlugin makePlugin(int32_t id, int32_t type, const String& name, int32_t info) {
  BasePlugin p;
  p.id = id;
  p.type = type;
  p.name = name;
  p.info = info;
  return p;
}

// The host's grass tag: it links the material the grass is drawn with, none at first.
class GrassTag : public TagData {
 public:
  bool init(Container& data) override {
    data.setValue(kGrassTagMaterial, linkValue(static_cast<const BaseMaterial*>(nullptr)));
    return true;
  }
};

// The plug-ins the host brings itself; they are there before any module registers.
void addHostPlugins(PluginRegistry& r) {
  BasePlugin grass = makePlugin(kTagGrass, kPluginTag, "Grass", kTagVisible);
  grass.allocator = [] { return new GrassTag; };
  r.plugins.push_back(std::move(grass));
}

PluginRegistry& registry() {
  static PluginRegistry r = [] {
    PluginRegistry fresh;
    addHostPlugins(fresh);
    return fresh;
  }();
  return r;
}

// The host's copy of a registration icon; empty for none or when memory is short.
std::shared_ptr<const BaseBitmap> copyIcon(const BaseBitmap* icon) {
  if (!icon) return nullptr;
  BaseBitmap* copy = icon->getClonePart(0, 0, icon->getBw(), icon->getBh());
  if (!copy) return nullptr;
  return std::shared_ptr<const BaseBitmap>(copy, [](const BaseBitmap* b) {
    BaseBitmap* owned = const_cast<BaseBitmap*>(b);
    BaseBitmap::free(owned);
  });
}

bool add(BasePlugin plugin) {
  for (const BasePlugin& p : registry().plugins)
    if (p.id == plugin.id) return false;
  registry().plugins.push_back(std::move(plugin));
  return true;
}

}  // namespace

bool registerCommandPlugin(int32_t id, const String& name, int32_t info, const BaseBitmap* icon,
                           const String& help, CommandData* data) {
  std::shared_ptr<CommandData> owned(data);
  if (!owned) return false;
  BasePlugin p = makePlugin(id, kPluginCommand, name, info);
  p.icon = copyIcon(icon);
  p.help = help;
  p.command = std::move(owned);
  return add(std::move(p));
}

bool registerTagPlugin(int32_t id, const String& name, int32_t info, NodeAllocator allocator,
                       const String& description, const BaseBitmap* icon) {
  if (!allocator) return false;
  BasePlugin p = makePlugin(id, kPluginTag, name, info);
  p.description = description;
  p.icon = copyIcon(icon);
  p.allocator = std::move(allocator);
  return add(std::move(p));
}

bool registerSceneLoaderPlugin(int32_t id, const String& name, int32_t info, NodeAllocator allocator,
                               const String& description) {
  if (!allocator) return false;
  std::shared_ptr<SceneLoaderData> loader(dynamic_cast<SceneLoaderData*>(allocator()));
  if (!loader) return false;
  BasePlugin p = makePlugin(id, kPluginSceneLoader, name, info);
  p.description = description;
  p.allocator = std::move(allocator);
  p.loader = std::move(loader);
  return add(std::move(p));
}

bool registerMessagePlugin(int32_t id, const String& name, int32_t info, MessageData* data) {
  std::shared_ptr<MessageData> owned(data);
  if (!owned) return false;
  BasePlugin p = makePlugin(id, kPluginCoreMessage, name, info);
  p.messages = std::move(owned);
  return add(std::move(p));
}

bool registerNodePlugin(int32_t id, const String& name, int32_t info, NodeAllocator allocator,
                        const String& description, const BaseBitmap* icon) {
  if (!allocator) return false;
  BasePlugin p = makePlugin(id, kPluginNode, name, info);
  p.description = description;
  p.icon = copyIcon(icon);
  p.allocator = std::move(allocator);
  return add(std::move(p));
}

const BasePlugin* findPlugin(int32_t id, int32_t type) {
  for (const BasePlugin& p : registry().plugins)
    if (p.id == id && p.type == type) return &p;
  return nullptr;
}

std::vector<const BasePlugin*> pluginsOfType(int32_t type) {
  std::vector<const BasePlugin*> out;
  for (const BasePlugin& p : registry().plugins)
    if (p.type == type) out.push_back(&p);
  return out;
}

bool executeCommand(const BasePlugin* plugin, BaseDocument* document) {
  if (!plugin || plugin->type != kPluginCommand || !plugin->command) return false;
  // Held while it runs: a command may not be freed under its own feet.
  const std::shared_ptr<CommandData> command = plugin->command;
  const int32_t id = plugin->id;
  const bool result = command->execute(document);
  registry().commandRuns.push_back({id, result});
  return result;
}

bool callCommand(int32_t id) {
  if (id == kCommandFrameScene && !findPlugin(id, kPluginCommand)) {
    BaseDocument* document = getActiveDocument();
    if (!document) return false;
    document->getActiveBaseDraw()->frameScene();
    return true;
  }
  return executeCommand(findPlugin(id, kPluginCommand), getActiveDocument());
}

void specialEventAdd(int32_t id, uintptr_t p1, uintptr_t p2) {
  Container data;
  data.setInt32(0, int32_t(p1));
  data.setInt32(1, int32_t(p2));
  registry().events.emplace_back(id, std::move(data));
}

bool sendPluginMessage(int32_t id, void* data) {
  bool handled = false;
  for (const auto& module : registry().modules) handled = module(id, data) || handled;
  return handled;
}

namespace app {

void addPluginModule(std::function<bool(int32_t, void*)> pluginMessage) {
  registry().modules.push_back(std::move(pluginMessage));
}

int32_t processEvents() {
  int32_t delivered = 0;
  while (!registry().events.empty()) {
    auto [id, data] = std::move(registry().events.front());
    registry().events.pop_front();
    // Taken first: a message plug-in's work may register plug-ins.
    std::vector<std::shared_ptr<MessageData>> receivers;
    for (const BasePlugin& p : registry().plugins)
      if (p.type == kPluginCoreMessage && p.messages) receivers.push_back(p.messages);
    for (const auto& receiver : receivers) receiver->coreMessage(id, data);
    ++delivered;
  }
  return delivered;
}

void resetPlugins() {
  registry().plugins.clear();
  registry().modules.clear();
  registry().events.clear();
  registry().commandRuns.clear();
  clearIcons();
  addHostPlugins(registry());
}

bool removePlugin(int32_t id, int32_t type) {
  auto& plugins = registry().plugins;
  for (auto it = plugins.begin(); it != plugins.end(); ++it) {
    if (it->id == id && it->type == type) {
      plugins.erase(it);
      return true;
    }
  }
  return false;
}

const std::vector<CommandRun>& commandRuns() { return registry().commandRuns; }

void resetDocuments() {
  HostState& s = state();
  for (BaseDocument* d : s.documentList) BaseDocument::free(d);
  s.documentList.clear();
  s.activeDocument = nullptr;
}

}  // namespace app
}  // namespace host
