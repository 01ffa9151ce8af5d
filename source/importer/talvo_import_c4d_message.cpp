#include "talvo_import_c4d_message.h"

#include <new>

namespace talvo {
namespace {

constexpr int32_t kObjectNodeFlags = 0x40000000;
constexpr const char* kObjectNodeName = "Talvo AcObject Node";

}  // namespace

bool cMessage::coreMessage(int32_t id, const host::Container& data) {
  if (id == kEventParkedImport) host::sendPluginMessage(kMessageRunParkedImport, nullptr);
  return true;
}

bool registerReceiveMessage() {
  return host::registerMessagePlugin(kMessagePluginId, "", host::kPluginHide, new (std::nothrow) cMessage);
}

bool registerObjectNode() {
  return host::registerNodePlugin(
      kObjectNodeId, kObjectNodeName, kObjectNodeFlags, [] { return new (std::nothrow) cObjectNode; }, "",
      nullptr);
}

}  // namespace talvo
