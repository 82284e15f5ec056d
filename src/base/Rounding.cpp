#include "base/Rounding.h"

#include <cmath>

namespace qx {

double RoundHalfEven(double v) {
  const double low = std::floor(v);
  const double diff = v - low;
  if (diff < 0.5) return low;
  if (diff > 0.5) return low + 1;
  return std::fmod(low, 2.0) == 0 ? low : low + 1;
}

}  // namespace qx
