// Rounding as the runtime does it everywhere: to nearest with ties to even, whatever the FPU
// rounding mode, and into the 32-bit range where a pixel or a property needs an integer.
#pragma once

#include <cstdint>

namespace qx {

// Round to nearest, ties to even (independent of the FPU rounding mode).
double RoundHalfEven(double v);

// To nearest, ties to even, kept inside the 32-bit range (NaN gives the lowest value).
inline int32_t RoundToInt32(double v) {
  const double r = RoundHalfEven(v);
  if (!(r > -2147483648.0)) return INT32_MIN;
  return r > 2147483647.0 ? INT32_MAX : static_cast<int32_t>(r);
}

}  // namespace qx
