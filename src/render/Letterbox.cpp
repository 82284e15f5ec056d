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

LetterboxRect ComputePresentRect(int drawableWidth, int drawableHeight, int bufferWidth, int bufferHeight,
                                 PresentScale scale) {
  if (scale == PresentScale::Integer && bufferWidth > 0 && bufferHeight > 0) {
    const int factor = std::min(drawableWidth / bufferWidth, drawableHeight / bufferHeight);
    if (factor >= 1) {
      LetterboxRect r;
      r.width = bufferWidth * factor;
      r.height = bufferHeight * factor;
      r.x = (drawableWidth - r.width) / 2;
      r.y = (drawableHeight - r.height) / 2;
      return r;
    }
  }
  return ComputeLetterbox(drawableWidth, drawableHeight, bufferWidth, bufferHeight);
}

void FitWindowSize(int bufferWidth, int bufferHeight, int availableWidth, int availableHeight, int& width,
                   int& height) {
  width = bufferWidth;
  height = bufferHeight;
  if (availableWidth <= 0 || availableHeight <= 0 || (bufferWidth <= availableWidth && bufferHeight <= availableHeight)) {
    return;
  }
  const LetterboxRect r = ComputeLetterbox(availableWidth, availableHeight, bufferWidth, bufferHeight);
  width = std::max(r.width, 1);
  height = std::max(r.height, 1);
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
