// Two small host plug-ins: the message plug-in that turns the scene loader's core event
// into the plug-in message that runs a parked import on the main thread, and the node
// type whose nodes carry the rows of the instance dialog's list.
#pragma once

#include <cstdint>

#include "host/plugins.h"

namespace talvo {

constexpr int32_t kMessagePluginId = 1027291;
// The core event the scene loader posts when it parked a request.
constexpr int32_t kEventParkedImport = 1027291;
constexpr int32_t kObjectNodeId = 1028632;
// The plug-in message that runs the parked import (the hidden command's id).
constexpr int32_t kMessageRunParkedImport = 1027289;

class cMessage : public host::MessageData {
 public:
  int32_t getTimer() override { return 0; }
  // The core event 1027291 sends the plug-in message 1027289; every core message is
  // answered true.
  bool coreMessage(int32_t id, const host::Container& data) override;
};

class cObjectNode : public host::NodeData {};

// Registrations; false when the host refuses them.
bool registerReceiveMessage();
bool registerObjectNode();

}  // namespace talvo
