// What the canvas needs of a picture to draw it: the frame layout and the device texture of
// each page. The image objects of the resources layer (TGfxImage) are such pictures; the
// canvas knows nothing else of them.
#pragma once

#include "render/GfxPlatform.h"

namespace qx {

// Where one frame sits: its texture and the top-left pixel of its visible area there.
struct TFramePlace {
  int texture = 0;
  int left = 0;
  int top = 0;
};

class TCanvasPicture {
 public:
  // The drawn part of one frame.
  virtual int VisibleWidth() const = 0;
  virtual int VisibleHeight() const = 0;
  // The size of every texture page.
  virtual int TextureWidth() const = 0;
  virtual int TextureHeight() const = 0;
  virtual int TextureCount() const = 0;
  virtual int PatternCount() const = 0;
  // The place of a frame (clamped to 0 .. PatternCount - 1); false without textures or frames.
  virtual bool FramePlace(int frame, TFramePlace& place) const = 0;
  // The device texture of a page (0 when there is none, as while the device is lost).
  virtual TextureHandle Texture(int index) const = 0;

 protected:
  ~TCanvasPicture() = default;
};

}  // namespace qx
