// The host timer.
#pragma once

#include <cstdint>

namespace host {

// Milliseconds since the host started.
int32_t timerMilliseconds();

}  // namespace host
