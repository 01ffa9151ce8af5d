// World preferences: containers by plug-in id, kept in the host's preferences folder
// between runs.
#pragma once

#include <cstdint>

#include "host/values.h"

namespace host {

// The container stored for a plug-in id; nullptr when none is stored.
const Container* getWorldPluginData(int32_t id);
// Stores a copy of the container for a plug-in id and writes the preferences file.
bool setWorldPluginData(int32_t id, const Container& data);

}  // namespace host
