// The plug-in's resources, loaded from its "res" folder.
#pragma once

#include <cstdint>

#include "host/filename.h"
#include "host/text.h"

namespace host {

// Loads the string tables of a resource folder (every "*.str" file in its "strings"
// folder). False when the folder holds no readable string table.
bool initResource(const Filename& resFolder);
// A resource string by id; empty when the id is missing.
String loadString(int32_t id);

}  // namespace host
