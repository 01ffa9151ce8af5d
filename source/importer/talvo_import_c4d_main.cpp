// The plug-in library's entry: the host's start, end and message calls.
#include "host/plugin_entry.h"
#include "talvo_import_c4d_register.h"

HOST_PLUGIN_EXPORT int32_t c4d_main(int32_t action, int32_t messageId, void* data) {
  switch (action) {
    case host::kPluginActionStart:
      return talvo::registerAll() ? 1 : 0;
    case host::kPluginActionEnd:
      return 1;  // the host releases what was registered
    case host::kPluginActionMessage:
      return talvo::handlePluginMessage(messageId, data) ? 1 : 0;
    default:
      return 0;
  }
}
