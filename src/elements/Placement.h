// Small shared arithmetic of the element kinds: rounding positions and sizes to whole
// pixels, and where an anchor puts a picture or box.
#pragma once

#include <cstdint>

#include "base/WrapInt.h"
#include "script/ScriptValue.h"

namespace qx {

// To nearest, ties to even, kept inside the 32-bit range (NaN gives the lowest value).
inline int32_t RoundToInt32(double v) {
  const double r = RoundHalfEven(v);
  if (!(r > -2147483648.0)) return INT32_MIN;
  return r > 2147483647.0 ? INT32_MAX : static_cast<int32_t>(r);
}

// Where an anchor (left/top 0, centre 1, right/bottom 2) puts the start of something of
// `size` whose anchor point is at `position`; halving truncates toward zero.
inline int32_t AnchorStart(int32_t position, int32_t size, int anchor) {
  return anchor == 1 ? WrapSub(position, size / 2) : anchor == 2 ? WrapSub(position, size) : position;
}

}  // namespace qx
