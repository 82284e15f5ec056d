// Small shared arithmetic of the element kinds: rounding positions and sizes to whole
// pixels, and where an anchor puts a picture or box.
#pragma once

#include <cstdint>

#include "base/Rounding.h"
#include "base/WrapInt.h"

namespace qx {

// Where an anchor (left/top 0, centre 1, right/bottom 2) puts the start of something of
// `size` whose anchor point is at `position`; halving truncates toward zero.
inline int32_t AnchorStart(int32_t position, int32_t size, int anchor) {
  return anchor == 1 ? WrapSub(position, size / 2) : anchor == 2 ? WrapSub(position, size) : position;
}

}  // namespace qx
