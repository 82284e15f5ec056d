// TBitmap: a decoded picture as the decoders hand it to the image objects and the media cache.
#pragma once

#include <cstdint>
#include <vector>

namespace qx {

struct TBitmap {
  int width = 0;
  int height = 0;
  // Bits per pixel as the file stored them: 32 for pictures with an alpha channel or a
  // fourth byte, 24 for true colour without, 8 or fewer for palettised BMP files.
  int bitsPerPixel = 0;
  // The alpha bytes of `pixels` come from the file; otherwise every pixel has alpha 255.
  bool hasAlpha = false;
  // 0xAARRGGBB, rows top to bottom, `width` pixels a row, no padding.
  std::vector<uint32_t> pixels;
  // Palettised BMP files only: each pixel's palette index, rows top to bottom, `width` bytes a
  // row (the media cache takes mask bytes from here). Empty for every other picture.
  std::vector<uint8_t> indices;

  bool Empty() const { return width <= 0 || height <= 0; }
  uint32_t Pixel(int x, int y) const {
    return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
  }
};

}  // namespace qx
