#include "host/timer.h"

#include <chrono>

namespace host {

int32_t timerMilliseconds() {
  using Clock = std::chrono::steady_clock;
  static const Clock::time_point start = Clock::now();
  return int32_t(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

}  // namespace host
