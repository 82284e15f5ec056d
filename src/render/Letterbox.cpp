#include "render/Letterbox.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace qx {

LetterboxRect ComputeLetterbox(int windowWidth, int windowHeight, int bufferWidth, int bufferHeight) {
  LetterboxRect r;
  if (windowWidth <= 0 || windowHeight <= 0 || bufferWidth <= 0 || bufferHeight <= 0) return r;
  // Compare the aspect ratios in integers: the wider side gets the bars.
  const int64_t lhs = int64_t{windowWidth} * bufferHeight;
  const int64_t rhs = int64_t{windowHeight} * bufferWidth;
  if (lhs > rhs) {  // window wider than the picture: bars left and right
    r.height = windowHeight;
    r.width = static_cast<int>(rhs / bufferHeight);
  } else {          // taller (or equal): bars above and below
    r.width = windowWidth;
    r.height = static_cast<int>(lhs / bufferWidth);
  }
  r.x = (windowWidth - r.width) / 2;
  r.y = (windowHeight - r.height) / 2;
  return r;
}

void WindowToBackBuffer(const LetterboxRect& box, double wx, double wy, int bufferWidth,
                        int bufferHeight, int& bx, int& by) {
  if (box.width <= 0 || box.height <= 0) {
    bx = by = 0;
    return;
  }
  const double sx = (wx - box.x) * bufferWidth / box.width;
  const double sy = (wy - box.y) * bufferHeight / box.height;
  bx = std::clamp(static_cast<int>(std::floor(sx)), 0, bufferWidth - 1);
  by = std::clamp(static_cast<int>(std::floor(sy)), 0, bufferHeight - 1);
}

}  // namespace qx
