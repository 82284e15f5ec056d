#include "elements/PictureDraw.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "render/GfxCanvas.h"
#include "resources/GfxImage.h"
#include "elements/Placement.h"

namespace qx {
void DrawPicture(TGfxCanvas& canvas, TGfxImage& picture, const PictureQuad& q) {
  const double vw = picture.VisibleWidth(), vh = picture.VisibleHeight();
  const double w = q.scale * vw * q.scaleX, h = q.scale * vh * q.scaleY;
  double px = q.centerX, py = q.centerY;
  const double sx = w / 2, sy = h / 2;
  int32_t left = 0, right = 0, top = 0, bottom = 0;
  if (q.scale != 0 && q.scaleX != 0 && std::isfinite(w)) {
    if (px - sx < -1024) left = std::max(0, RoundToInt32((-1024 - (px - sx)) / q.scaleX / q.scale) - 1);
    if (px + sx > 2048) right = std::max(0, RoundToInt32((px + sx - 2048) / q.scaleX / q.scale) + 1);
  }
  if (q.scale != 0 && q.scaleY != 0 && std::isfinite(h)) {
    if (py - sy < -1024) top = std::max(0, RoundToInt32((-1024 - (py - sy)) / q.scaleY / q.scale) - 1);
    if (py + sy > 2048) bottom = std::max(0, RoundToInt32((py + sy - 2048) / q.scaleY / q.scale) + 1);
  }
  px += q.scale * left * q.scaleX;
  py += q.scale * top * q.scaleY;
  const double quadW = w - q.scale * (static_cast<double>(left) + right) * q.scaleX;
  const double quadH = h - q.scale * (static_cast<double>(top) + bottom) * q.scaleY;
  TFrameRegion region;
  region.frame = q.frame;
  region.left = left;
  region.top = top;
  region.width = static_cast<int32_t>(vw) - left - right;
  region.height = static_cast<int32_t>(vh) - top - bottom;
  if (region.width <= 0 || region.height <= 0) return;  // trimmed away entirely
  TPoint2 quad[4];
  // The pivot stays the whole picture's middle, so the kept part lands where it was.
  TGfxCanvas::RotatedQuad(px, py, quadW, quadH, w / 2, h / 2, 1.0, q.angleDegrees * std::numbers::pi / 180, quad);
  const uint32_t colors[4] = {q.color, q.color, q.color, q.color};
  canvas.DrawImageQuad(&picture, quad, q.code, region, colors);
}

}  // namespace qx
