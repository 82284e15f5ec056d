// 32-bit integer sums that wrap around instead of overflowing. Positions in game files and
// scripts may be anything a 32-bit integer holds; adding them up must stay defined.
#pragma once

#include <cstdint>

namespace qx {

inline int32_t WrapAdd(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

inline int32_t WrapSub(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

}  // namespace qx
