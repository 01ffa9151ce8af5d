// Reals of a file turned into integers without an undefined conversion.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace common {

// Truncated toward zero; values beyond the int32 range (infinities too) held at its ends,
// NaN giving 0.
inline int32_t toInt32Saturated(double v) {
  if (std::isnan(v)) return 0;
  if (v <= double(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
  if (v >= double(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
  return int32_t(v);
}

}  // namespace common
