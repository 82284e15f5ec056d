// Windows BMP pictures: 1, 4 and 8-bit palettes (also run-length), 16, 24 and 32 bits with
// or without bit masks, bottom-up or top-down, and the OS/2 core header.
#include <algorithm>
#include <array>
#include <bit>

#include "resources/ImageDecoders.h"

namespace qx {
namespace {

enum Compression : uint32_t { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6 };

uint32_t U32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// One channel of a bit-field pixel, scaled to 8 bits.
struct Channel {
  uint32_t mask = 0;
  int shift = 0;
  uint64_t max = 0;
  explicit Channel(uint32_t m) : mask(m) {
    if (!m) return;
    shift = std::countr_zero(m);
    max = (uint64_t{m} >> shift);
    // A mask with holes is read as the run from its lowest bit.
    max = (uint64_t{1} << std::countr_one(static_cast<uint32_t>(max))) - 1;
  }
  uint32_t Get(uint32_t v) const {
    if (!mask) return 0;
    const uint64_t x = (uint64_t{v} >> shift) & max;
    return static_cast<uint32_t>((x * 255 + max / 2) / max);
  }
};

struct Header {
  int64_t width = 0;
  int64_t height = 0;  // positive; topDown says which way the rows run
  bool topDown = false;
  int bits = 0;
  uint32_t compression = kRgb;
  uint32_t colorsUsed = 0;
  uint32_t masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha
  size_t paletteOffset = 0;
  size_t paletteEntry = 4;
};

bool Fail(std::string& error, std::string reason) {
  error = std::move(reason);
  return false;
}

bool ReadHeader(const uint8_t* data, size_t size, Header& h, std::string& error) {
  if (size < 14 + 12 || data[0] != 'B' || data[1] != 'M') return Fail(error, "not a BMP file");
  const uint32_t infoSize = U32(data + 14);
  if (infoSize == 12) {  // OS/2 core header: 16-bit sizes, 3-byte palette entries
    h.width = U16(data + 18);
    h.height = U16(data + 20);
    h.bits = U16(data + 24);
    h.paletteEntry = 3;
    h.paletteOffset = 14 + 12;
    return true;
  }
  if (infoSize < 40 || infoSize > size - 14) return Fail(error, "unsupported BMP header");
  h.width = static_cast<int32_t>(U32(data + 18));
  const int32_t height = static_cast<int32_t>(U32(data + 22));
  h.topDown = height < 0;
  h.height = height < 0 ? -int64_t{height} : height;
  h.bits = U16(data + 28);
  h.compression = U32(data + 30);
  h.colorsUsed = U32(data + 46);
  h.paletteOffset = 14 + infoSize;
  if (infoSize == 64 && h.compression >= 3) return Fail(error, "unsupported OS/2 compression");
  if (h.compression == kBitFields || h.compression == kAlphaBitFields) {
    const size_t maskCount = h.compression == kAlphaBitFields ? 4 : 3;
    if (infoSize >= 52) {
      for (size_t i = 0; i < 3; ++i) h.masks[i] = U32(data + 54 + 4 * i);
      if (infoSize >= 56) h.masks[3] = U32(data + 66);
    } else {  // the masks follow a 40-byte header
      if (size < 54 + 4 * maskCount) return Fail(error, "file cut short in the bit masks");
      for (size_t i = 0; i < maskCount; ++i) h.masks[i] = U32(data + 54 + 4 * i);
      h.paletteOffset += 4 * maskCount;
    }
  } else if (infoSize >= 56 && (h.bits == 16 || h.bits == 32)) {
    h.masks[3] = U32(data + 66);  // an alpha mask may come with plain pixels in newer headers
  }
  return true;
}

}  // namespace

bool DecodeBmp(const uint8_t* data, size_t size, TBitmap& bitmap, std::string& error) {
  bitmap = TBitmap{};
  if (!data) return Fail(error, "no data");
  Header h;
  if (!ReadHeader(data, size, h, error)) return false;
  if (!ImageSizeAllowed(h.width, h.height)) {
    return Fail(error, "picture of " + std::to_string(h.width) + " x " + std::to_string(h.height) +
                           " is empty or too large");
  }
  const int bits = h.bits;
  const bool paletted = bits == 1 || bits == 4 || bits == 8;
  if (!paletted && bits != 16 && bits != 24 && bits != 32) {
    return Fail(error, "unsupported depth of " + std::to_string(bits) + " bits");
  }
  const uint32_t c = h.compression;
  const bool rle = c == kRle8 || c == kRle4;
  if (!(c == kRgb || (c == kRle8 && bits == 8) || (c == kRle4 && bits == 4) ||
        ((c == kBitFields || c == kAlphaBitFields) && (bits == 16 || bits == 32)))) {
    return Fail(error, "unsupported compression " + std::to_string(c) + " at " + std::to_string(bits) + " bits");
  }
  if (rle && h.topDown) return Fail(error, "top-down run-length picture");
  const uint32_t dataOffset = U32(data + 10);
  if (dataOffset >= size) return Fail(error, "pixel data outside the file");

  // The palette: colours used, else every colour of the depth; at most 256.
  std::array<uint32_t, 256> palette{};
  palette.fill(0xFF000000u);
  if (paletted) {
    size_t count = h.colorsUsed ? h.colorsUsed : (size_t{1} << bits);
    count = std::min<size_t>(count, 256);
    if (h.paletteOffset > size || (size - h.paletteOffset) / h.paletteEntry < count) {
      return Fail(error, "file cut short in the palette");
    }
    for (size_t i = 0; i < count; ++i) {
      const uint8_t* p = data + h.paletteOffset + i * h.paletteEntry;
      palette[i] = 0xFF000000u | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
    }
  }

  const size_t w = static_cast<size_t>(h.width);
  const size_t height = static_cast<size_t>(h.height);
  const size_t count = w * height;
  bitmap.pixels.assign(count, 0xFF000000u);
  if (paletted) bitmap.indices.assign(count, 0);
  // Rows in file order land at row `RowOf(fileRow)` of the top-down bitmap.
  const auto rowOf = [&](size_t fileRow) { return h.topDown ? fileRow : height - 1 - fileRow; };
  const uint8_t* src = data + dataOffset;
  const size_t avail = size - dataOffset;

  if (rle) {
    // Run-length data: pixels not reached keep palette index 0.
    size_t x = 0, y = 0, pos = 0;
    const bool four = c == kRle4;
    const auto put = [&](size_t px, size_t py, uint8_t index) {
      if (px < w && py < height) bitmap.indices[rowOf(py) * w + px] = index;
    };
    bool done = false;
    while (!done) {
      if (avail - pos < 2) return Fail(error, "file cut short in the run-length data");
      const uint8_t n = src[pos], v = src[pos + 1];
      pos += 2;
      if (n > 0) {
        const size_t end = std::min<size_t>(n, x < w ? w - x : 0);  // the rest of a run past the row is lost
        for (size_t k = 0; k < end; ++k) put(x + k, y, four ? ((k & 1) ? v & 0x0F : v >> 4) : v);
        x += n;
      } else if (v == 0) {
        x = 0;
        ++y;
      } else if (v == 1) {
        done = true;
      } else if (v == 2) {
        if (avail - pos < 2) return Fail(error, "file cut short in the run-length data");
        x += src[pos];
        y += src[pos + 1];
        pos += 2;
      } else {
        const size_t bytes = four ? (v + 1u) / 2u : v;
        if (avail - pos < bytes) return Fail(error, "file cut short in the run-length data");
        for (size_t k = 0; k < v; ++k, ++x) {
          put(x, y, four ? ((k & 1) ? src[pos + k / 2] & 0x0F : src[pos + k / 2] >> 4) : src[pos + k]);
        }
        pos += bytes + (bytes & 1);  // absolute runs are padded to 16 bits
        pos = std::min(pos, avail);
      }
      if (y >= height) done = true;  // a file without its end marker ends with its last row
    }
  } else {
    const size_t stride = ((w * static_cast<size_t>(bits) + 31) / 32) * 4;
    if (avail / stride < height) return Fail(error, "file cut short in the pixels");
    Channel red(0), green(0), blue(0), alpha(0);
    if (bits == 16 || bits == 32) {
      uint32_t m[4] = {h.masks[0], h.masks[1], h.masks[2], h.masks[3]};
      if (c == kRgb) {
        if (bits == 16) {
          m[0] = 0x7C00;
          m[1] = 0x03E0;
          m[2] = 0x001F;
        } else {
          m[0] = 0x00FF0000;
          m[1] = 0x0000FF00;
          m[2] = 0x000000FF;
          m[3] = 0xFF000000;  // the fourth byte, kept as alpha unless it is 0 everywhere
        }
      }
      red = Channel(m[0]);
      green = Channel(m[1]);
      blue = Channel(m[2]);
      alpha = Channel(m[3]);
    }
    for (size_t fy = 0; fy < height; ++fy) {
      const uint8_t* row = src + fy * stride;
      const size_t out = rowOf(fy) * w;
      for (size_t x = 0; x < w; ++x) {
        switch (bits) {
          case 1:
          case 4:
          case 8: {
            const size_t bit = x * static_cast<size_t>(bits);
            const uint8_t byte = row[bit / 8];
            const int shift = 8 - bits - static_cast<int>(bit % 8);
            bitmap.indices[out + x] = static_cast<uint8_t>((byte >> shift) & ((1 << bits) - 1));
            break;
          }
          case 24: {
            const uint8_t* p = row + x * 3;
            bitmap.pixels[out + x] = 0xFF000000u | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
            break;
          }
          default: {
            const uint32_t v = bits == 16 ? U16(row + x * 2) : U32(row + x * 4);
            const uint32_t a = alpha.mask ? alpha.Get(v) : 0xFFu;
            bitmap.pixels[out + x] = a << 24 | red.Get(v) << 16 | green.Get(v) << 8 | blue.Get(v);
            break;
          }
        }
      }
    }
    if (alpha.mask) {
      bitmap.hasAlpha = std::any_of(bitmap.pixels.begin(), bitmap.pixels.end(),
                                    [](uint32_t p) { return (p >> 24) != 0; });
      // A fourth byte that is 0 everywhere is padding, not a transparent picture.
      if (!bitmap.hasAlpha) {
        for (uint32_t& p : bitmap.pixels) p |= 0xFF000000u;
      }
    }
  }
  if (paletted) {
    for (size_t i = 0; i < count; ++i) bitmap.pixels[i] = palette[bitmap.indices[i]];
  }
  bitmap.width = static_cast<int>(w);
  bitmap.height = static_cast<int>(height);
  bitmap.bitsPerPixel = bits;
  return true;
}

}  // namespace qx
