// The body shared by the picture targets: decode, and on success check what every decoder
// promises about the bitmap it hands out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "resources/FrameLayout.h"
#include "resources/GfxImage.h"
#include "resources/ImageDecoders.h"
#include "resources/PicturePrep.h"

namespace qx::fuzz {

// The media cache's preparation, which decodes these formats straight into the texture
// pages, must give the pages the general layout makes of the plain decode: of one frame for
// inputs of even length, of a grid of frames (shared out row by row) for odd ones. Only small
// pictures that decode are checked: a few kilobytes can declare millions of pixels, and
// decoding those again would slow the target many times over (failures are compared in the
// unit tests).
inline void CheckPages(TPictureFormat format, const uint8_t* data, size_t size, const TBitmap& bitmap) {
  if (int64_t{bitmap.width} * bitmap.height > (int64_t{1} << 16)) return;
  const std::string grid = size % 2 ? "3\n2\n" : "";
  TPictureFiles files;
  files.name = format == TPictureFormat::Png ? "fuzz.png" : "fuzz.jpg";
  files.read = true;
  files.data.assign(data, data + size);
  files.hasLayout = !grid.empty();
  files.layout.assign(grid.begin(), grid.end());
  const TPreparedPicture prepared = PreparePicture(files);
  QX_FUZZ_CHECK(prepared.decoded);
  const TFrameGrid cut = ClampFrameGrid(ParseFrameLayout(grid), bitmap.width, bitmap.height);
  TGfxImage layout(nullptr);
  layout.SetFrameLayout(bitmap.width / cut.columns, bitmap.height / cut.rows, cut.columns * cut.rows);
  std::vector<std::vector<uint32_t>> pages;
  std::string error;
  const bool laidOut = layout.LayOutPages(bitmap, pages, error);
  QX_FUZZ_CHECK(prepared.laidOut == laidOut);
  QX_FUZZ_CHECK(prepared.pages == pages);
}

inline int CheckPicture(TPictureFormat format, const uint8_t* data, size_t size) {
  TBitmap bitmap;
  std::string error;
  if (!DecodePicture(format, data, size, bitmap, error)) {
    QX_FUZZ_CHECK(bitmap.pixels.empty());
    QX_FUZZ_CHECK(!error.empty());
    return 0;
  }
  QX_FUZZ_CHECK(ImageSizeAllowed(bitmap.width, bitmap.height));
  if (DecodesIntoSink(format)) CheckPages(format, data, size, bitmap);
  const size_t pixels = static_cast<size_t>(bitmap.width) * static_cast<size_t>(bitmap.height);
  QX_FUZZ_CHECK(bitmap.pixels.size() == pixels);
  QX_FUZZ_CHECK(bitmap.indices.empty() || bitmap.indices.size() == pixels);
  if (!bitmap.hasAlpha) {
    for (const uint32_t px : bitmap.pixels) QX_FUZZ_CHECK(px >> 24 == 0xFF);
  }
  return 0;
}

}  // namespace qx::fuzz
