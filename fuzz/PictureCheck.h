// The body shared by the picture targets: decode, and on success check what every decoder
// promises about the bitmap it hands out. Formats that decode straight into a texture page
// are loaded that way too, and must give the bitmap's pixels at the page's pitch.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "resources/GfxImage.h"
#include "resources/ImageDecoders.h"
#include "resources/PicturePrep.h"

namespace qx::fuzz {

inline void CheckPage(TPictureFormat format, const uint8_t* data, size_t size, const TBitmap& bitmap, bool decoded) {
  TPictureFiles files;
  files.name = format == TPictureFormat::Png ? "fuzz.png" : "fuzz.jpg";
  files.read = true;
  files.data.assign(data, data + size);
  const TPreparedPicture prepared = PreparePicture(files);
  QX_FUZZ_CHECK(prepared.decoded == decoded);
  if (!decoded) return;
  QX_FUZZ_CHECK(prepared.laidOut && prepared.pages.size() == 1);
  QX_FUZZ_CHECK(prepared.frameWidth == bitmap.width && prepared.frameHeight == bitmap.height);
  TGfxImage layout(nullptr);
  layout.SetFrameLayout(bitmap.width, bitmap.height, 1);
  const size_t pitch = static_cast<size_t>(layout.TextureWidth());
  QX_FUZZ_CHECK(prepared.pages[0].size() == pitch * static_cast<size_t>(layout.TextureHeight()));
  for (int y = 0; y < bitmap.height; ++y) {
    for (int x = 0; x < bitmap.width; ++x) {
      QX_FUZZ_CHECK(prepared.pages[0][static_cast<size_t>(y) * pitch + static_cast<size_t>(x)] == bitmap.Pixel(x, y));
    }
  }
}

inline int CheckPicture(TPictureFormat format, const uint8_t* data, size_t size) {
  TBitmap bitmap;
  std::string error;
  const bool decoded = DecodePicture(format, data, size, bitmap, error);
  if (DecodesIntoSink(format)) CheckPage(format, data, size, bitmap, decoded);
  if (!decoded) {
    QX_FUZZ_CHECK(bitmap.pixels.empty());
    QX_FUZZ_CHECK(!error.empty());
    return 0;
  }
  QX_FUZZ_CHECK(ImageSizeAllowed(bitmap.width, bitmap.height));
  const size_t pixels = static_cast<size_t>(bitmap.width) * static_cast<size_t>(bitmap.height);
  QX_FUZZ_CHECK(bitmap.pixels.size() == pixels);
  QX_FUZZ_CHECK(bitmap.indices.empty() || bitmap.indices.size() == pixels);
  if (!bitmap.hasAlpha) {
    for (const uint32_t px : bitmap.pixels) QX_FUZZ_CHECK(px >> 24 == 0xFF);
  }
  return 0;
}

}  // namespace qx::fuzz
