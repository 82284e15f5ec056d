// The image stream (33-byte header, then the texture pages): glyph images of font records.
#include "FuzzSupport.h"
#include "platform/null/NullGfx.h"
#include "resources/GfxImage.h"

using namespace qx;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  NullGfx gfx;
  TGfxImage image(&gfx);
  size_t used = 0;
  if (!image.LoadFromStream(data, size, &used)) {
    QX_FUZZ_CHECK(image.TextureCount() == 0);
    return 0;
  }
  QX_FUZZ_CHECK(used <= size);
  QX_FUZZ_CHECK(image.TextureCount() > 0);
  // Every frame has a place inside a page, and reading its corners stays inside the kept pixels.
  for (int frame = 0; frame < image.PatternCount() && frame < 256; ++frame) {
    TFramePlace place;
    QX_FUZZ_CHECK(image.FramePlace(frame, place));
    QX_FUZZ_CHECK(place.texture >= 0 && place.texture < image.TextureCount());
    image.GetPixel(place.left, place.top, place.texture);
    image.GetPixel(place.left + image.VisibleWidth() - 1, place.top + image.VisibleHeight() - 1, place.texture);
  }
  image.DeviceLost();
  image.DeviceReset();
  return 0;
}
