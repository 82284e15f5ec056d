// The body shared by the picture targets: decode, and on success check what every decoder
// promises about the bitmap it hands out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "resources/ImageDecoders.h"

namespace qx::fuzz {

inline int CheckPicture(TPictureFormat format, const uint8_t* data, size_t size) {
  TBitmap bitmap;
  std::string error;
  if (!DecodePicture(format, data, size, bitmap, error)) {
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
