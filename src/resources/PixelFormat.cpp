#include "resources/PixelFormat.h"

namespace qx {
namespace {

struct FormatInfo {
  int bytes;
  int blue, green, red, alpha;  // channel widths from the lowest bits up
};

constexpr FormatInfo kFormats[] = {
    {1, 3, 3, 2, 0},  // R3G3B2
    {2, 5, 6, 5, 0},  // R5G6B5
    {4, 8, 8, 8, 0},  // X8R8G8B8
    {2, 5, 5, 5, 0},  // X1R5G5B5
    {2, 4, 4, 4, 0},  // X4R4G4B4
    {4, 8, 8, 8, 8},  // A8R8G8B8
    {2, 5, 5, 5, 1},  // A1R5G5B5
    {2, 4, 4, 4, 4},  // A4R4G4B4
    {2, 3, 3, 2, 8},  // A8R3G3B2
    {1, 2, 2, 2, 2},  // A2R2G2B2
    {1, 0, 0, 0, 8},  // A8
};
constexpr int kKnownFormats = static_cast<int>(sizeof kFormats / sizeof kFormats[0]);

uint32_t Expand(uint32_t value, int bits) {
  const uint32_t max = (1u << bits) - 1;
  return (value * 255 + max / 2) / max;
}

}  // namespace

int BytesPerPixel(TPixelFormat format) {
  const int code = static_cast<int>(format);
  return code < kKnownFormats ? kFormats[code].bytes : 0;
}

uint32_t PixelToArgb(TPixelFormat format, const uint8_t* p) {
  switch (format) {
    case TPixelFormat::A8R8G8B8:
      return uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
    case TPixelFormat::X8R8G8B8:
      return 0xFF000000u | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
    case TPixelFormat::A8:
      return uint32_t{p[0]} << 24 | 0x00FFFFFFu;
    default:
      break;
  }
  const int code = static_cast<int>(format);
  if (code >= kKnownFormats) return 0;
  const FormatInfo& f = kFormats[code];
  uint32_t v = p[0];
  if (f.bytes == 2) v |= uint32_t{p[1]} << 8;
  int shift = 0;
  const auto take = [&](int bits) {
    const uint32_t x = (v >> shift) & ((1u << bits) - 1);
    shift += bits;
    return x;
  };
  const uint32_t b = Expand(take(f.blue), f.blue);
  const uint32_t g = Expand(take(f.green), f.green);
  const uint32_t r = Expand(take(f.red), f.red);
  // Formats with an unused bit (X1R5G5B5) or nibble (X4R4G4B4) skip it: alpha is 0 bits wide.
  const uint32_t a = f.alpha ? Expand(take(f.alpha), f.alpha) : 255u;
  return a << 24 | r << 16 | g << 8 | b;
}

const std::vector<TPixelFormat>& TextureFormatPreference(TAlphaLevel alpha, TGfxQuality quality) {
  using F = TPixelFormat;
  static const std::vector<F> noneLow{F::R3G3B2, F::R5G6B5, F::X1R5G5B5, F::X4R4G4B4, F::X8R8G8B8};
  static const std::vector<F> noneMedium{F::R5G6B5, F::X8R8G8B8, F::X1R5G5B5, F::X4R4G4B4, F::R3G3B2};
  static const std::vector<F> noneHigh{F::X8R8G8B8, F::R5G6B5, F::X1R5G5B5, F::X4R4G4B4, F::R3G3B2};
  static const std::vector<F> mask{F::A1R5G5B5, F::A4R4G4B4, F::A8R8G8B8, F::A8R3G3B2};
  static const std::vector<F> fullLow{F::A4R4G4B4, F::A8R8G8B8, F::A1R5G5B5, F::A8R3G3B2};
  static const std::vector<F> fullMedium{F::A4R4G4B4, F::A8R8G8B8, F::A8R3G3B2, F::A1R5G5B5};
  static const std::vector<F> fullHigh{F::A8R8G8B8, F::A4R4G4B4, F::A8R3G3B2, F::A1R5G5B5};
  static const std::vector<F> exclusive{F::A8, F::A8R3G3B2, F::A8R8G8B8, F::A4R4G4B4, F::A1R5G5B5};
  switch (alpha) {
    case TAlphaLevel::alNone:
      return quality == TGfxQuality::aqLow ? noneLow : quality == TGfxQuality::aqMedium ? noneMedium : noneHigh;
    case TAlphaLevel::alMask:
      return mask;
    case TAlphaLevel::alFull:
      return quality == TGfxQuality::aqLow ? fullLow : quality == TGfxQuality::aqMedium ? fullMedium : fullHigh;
    case TAlphaLevel::alExclusive:
      return exclusive;
  }
  return fullHigh;
}

}  // namespace qx
