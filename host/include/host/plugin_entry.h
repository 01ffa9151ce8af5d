// The entry of a plug-in library. Every plug-in library the host loads exports
//
//   extern "C" int32_t c4d_main(int32_t action, int32_t messageId, void* data);
//
// and the host calls it with one of the actions below:
//
//   action               messageId        data                      result
//   kPluginActionStart   0                nullptr                   1 started, 0 failed
//   kPluginActionEnd     0                nullptr                   ignored
//   kPluginActionMessage the message id   the message's data        1 handled, 0 not
//
// Start-up of the host: it loads every plug-in library, asks each for its load priority,
// then, in ascending priority order (libraries of equal priority in the order of their
// folders' names), sends each the resource message and starts it. A library whose
// resources fail to load is not started; a library whose start fails stays loaded with
// what it registered, but receives no further messages. Then the host builds its menus,
// sending kMessageBuildMenus to every started library; plug-in messages
// (host::sendPluginMessage) go to every started library from then on. At its end the host
// sends kPluginActionEnd to the started libraries in reverse order.
#pragma once

#include <cstdint>

namespace host {

constexpr int32_t kPluginActionStart = 1;
constexpr int32_t kPluginActionEnd = 2;
constexpr int32_t kPluginActionMessage = 3;

// Host messages of start-up.
// data: int32_t*, preset to 0; the library writes its load priority there.
constexpr int32_t kMessagePriority = 0;
// data: nullptr; the library loads its resources from its own folder (host::pluginFolder).
constexpr int32_t kMessageResources = 1;
// data: nullptr; the host builds its menus: a library may change the menu resources now
// (host/menu.h).
constexpr int32_t kMessageBuildMenus = 1001188;

using PluginEntry = int32_t (*)(int32_t action, int32_t messageId, void* data);
constexpr const char* kPluginEntryName = "c4d_main";

}  // namespace host

#if defined(_WIN32)
#define HOST_PLUGIN_EXPORT extern "C" __declspec(dllexport)
#else
#define HOST_PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))
#endif
