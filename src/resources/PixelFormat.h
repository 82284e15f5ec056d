// Pixel formats of stored texture pages (the image stream of font records) and the texture
// format each image's quality and alpha level asks for.
#pragma once

#include <cstdint>
#include <vector>

namespace qx {

// Codes as stored in the image stream. Channel widths from the lowest bits up are blue,
// green, red, alpha: R3G3B2 3-3-2-0, R5G6B5 5-6-5-0, X1R5G5B5 5-5-5-0, X4R4G4B4 4-4-4-0,
// A1R5G5B5 5-5-5-1, A4R4G4B4 4-4-4-4, A8R3G3B2 3-3-2-8, A2R2G2B2 2-2-2-2.
enum class TPixelFormat : uint8_t {
  R3G3B2 = 0, R5G6B5 = 1, X8R8G8B8 = 2, X1R5G5B5 = 3, X4R4G4B4 = 4, A8R8G8B8 = 5,
  A1R5G5B5 = 6, A4R4G4B4 = 7, A8R3G3B2 = 8, A2R2G2B2 = 9, A8 = 10, Unknown = 11
};

enum class TGfxQuality { aqLow, aqMedium, aqHigh };
enum class TAlphaLevel { alNone, alMask, alFull, alExclusive };

// 0 for Unknown and for codes out of range.
int BytesPerPixel(TPixelFormat format);

// One stored pixel (little-endian) as 0xAARRGGBB: every channel of n bits becomes
// round(v * 255 / (2^n - 1)); a format without alpha gives 255; A8 gives white with the
// stored alpha.
uint32_t PixelToArgb(TPixelFormat format, const uint8_t* pixel);

// The texture formats the original platform tried, in order of preference, for an image's
// alpha level and quality. Kept as the record of that choice: on OpenGL every texture is
// RGBA8 (A8R8G8B8), which holds every one of them without loss.
const std::vector<TPixelFormat>& TextureFormatPreference(TAlphaLevel alpha, TGfxQuality quality);

}  // namespace qx
