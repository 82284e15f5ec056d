// Drawing one frame of a picture as images and animation items do: centred at a point,
// scaled, rotated about its centre, and trimmed to what can reach the screen.
#pragma once

#include <cstdint>

namespace qx {

class TGfxCanvas;
class TGfxImage;

struct PictureQuad {
  double centerX = 0, centerY = 0;  // where the picture's centre lands
  double scale = 1, scaleX = 1, scaleY = 1;
  double angleDegrees = 0;          // clockwise
  int32_t frame = 0;
  uint32_t color = 0xFFFFFFFFu;     // the same on four corners
  uint32_t code = 1284;
};

// Pictures reaching beyond -1024 or 2048 are cut to the part that can be seen, in source
// pixels, keeping the visible part where the whole picture would have drawn it.
void DrawPicture(TGfxCanvas& canvas, TGfxImage& picture, const PictureQuad& q);

}  // namespace qx
