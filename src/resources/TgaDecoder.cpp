// TGA pictures: uncompressed (type 2) and run-length (type 10) true colour of 24 or 32 bits,
// in any of the four corner orders. Colour-mapped and grey files are refused.
#include "resources/ImageDecoders.h"

#include <algorithm>

namespace qx {

bool DecodeTga(const uint8_t* data, size_t size, TBitmap& bitmap, std::string& error) {
  bitmap = TBitmap{};
  constexpr size_t kHeader = 18;
  if (!data || size < kHeader) {
    error = "file too short for a TGA header";
    return false;
  }
  const int idLength = data[0];
  const int colorMapType = data[1];
  const int imageType = data[2];
  const int width = data[12] | data[13] << 8;
  const int height = data[14] | data[15] << 8;
  const int bits = data[16];
  const int descriptor = data[17];
  if (colorMapType != 0 || (imageType != 2 && imageType != 10) || (bits != 24 && bits != 32)) {
    error = "unsupported TGA variant (type " + std::to_string(imageType) + ", " + std::to_string(bits) +
            " bits, colour map " + std::to_string(colorMapType) + ")";
    return false;
  }
  if (!ImageSizeAllowed(width, height)) {
    error = "picture of " + std::to_string(width) + " x " + std::to_string(height) + " is empty or too large";
    return false;
  }
  const size_t bpp = static_cast<size_t>(bits / 8);
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  size_t pos = kHeader + static_cast<size_t>(idLength);
  if (pos > size) {
    error = "file cut short in the image ID";
    return false;
  }
  // Decoded in file order; flipped into place afterwards.
  std::vector<uint32_t> pixels(count);
  const auto pixelAt = [&](size_t at) {
    const uint8_t* p = data + at;
    const uint32_t a = bpp == 4 ? p[3] : 0xFFu;
    return a << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
  };
  if (imageType == 2) {
    if ((size - pos) / bpp < count) {
      error = "file cut short in the pixels";
      return false;
    }
    for (size_t i = 0; i < count; ++i, pos += bpp) pixels[i] = pixelAt(pos);
  } else {
    // Packets run over the whole pixel stream, so one may continue on the next row.
    size_t i = 0;
    while (i < count) {
      if (pos >= size) {
        error = "file cut short in the run-length data";
        return false;
      }
      const uint8_t head = data[pos++];
      const size_t n = std::min<size_t>((head & 0x7Fu) + 1u, count - i);
      if (head & 0x80) {
        if (size - pos < bpp) {
          error = "file cut short in the run-length data";
          return false;
        }
        std::fill_n(pixels.begin() + static_cast<ptrdiff_t>(i), n, pixelAt(pos));
        pos += bpp;
      } else {
        if ((size - pos) / bpp < n) {
          error = "file cut short in the run-length data";
          return false;
        }
        for (size_t k = 0; k < n; ++k) pixels[i + k] = pixelAt(pos + k * bpp);
        pos += n * bpp;
      }
      i += n;
    }
  }
  const bool mirror = (descriptor & 0x10) != 0;
  const bool bottomUp = (descriptor & 0x20) == 0;
  bitmap.pixels.resize(count);
  const size_t w = static_cast<size_t>(width);
  for (int y = 0; y < height; ++y) {
    const size_t srcRow = static_cast<size_t>(bottomUp ? height - 1 - y : y) * w;
    uint32_t* dst = bitmap.pixels.data() + static_cast<size_t>(y) * w;
    if (mirror) {
      std::reverse_copy(pixels.begin() + static_cast<ptrdiff_t>(srcRow),
                        pixels.begin() + static_cast<ptrdiff_t>(srcRow + w), dst);
    } else {
      std::copy_n(pixels.begin() + static_cast<ptrdiff_t>(srcRow), w, dst);
    }
  }
  bitmap.width = width;
  bitmap.height = height;
  bitmap.bitsPerPixel = bits;
  bitmap.hasAlpha = bits == 32;
  return true;
}

}  // namespace qx
