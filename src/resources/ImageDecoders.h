// Picture decoders: PNG (libpng), JPEG (libjpeg-turbo), TGA and BMP (own readers), from memory
// or from a file, chosen by the file extension. Every decoder answers false on bad data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "resources/Bitmap.h"

namespace qx {

// Limits on what a decoder accepts. A picture is refused when either side exceeds
// kMaxImageSide or it has more than kMaxImagePixels pixels (256 MiB of 32-bit pixels); a
// picture file is refused when it exceeds kMaxPictureFileBytes.
constexpr int kMaxImageSide = 16384;
constexpr int64_t kMaxImagePixels = int64_t{64} << 20;
constexpr size_t kMaxPictureFileBytes = size_t{256} << 20;

// True when a width and height are positive and within the limits above.
bool ImageSizeAllowed(int64_t width, int64_t height);

enum class TPictureFormat { Bmp, Jpeg, Png, Tga };

// By extension, without regard to case: ".png", ".jpg"/".jpeg", ".tga"; anything else is BMP.
TPictureFormat PictureFormatOf(std::string_view fileName);

// Each fills `bitmap` and answers true, or answers false with a one-line reason in `error`
// (the bitmap is then empty).
bool DecodePng(const uint8_t* data, size_t size, TBitmap& bitmap, std::string& error);
bool DecodeJpeg(const uint8_t* data, size_t size, TBitmap& bitmap, std::string& error);
bool DecodeTga(const uint8_t* data, size_t size, TBitmap& bitmap, std::string& error);
bool DecodeBmp(const uint8_t* data, size_t size, TBitmap& bitmap, std::string& error);
bool DecodePicture(TPictureFormat format, const uint8_t* data, size_t size, TBitmap& bitmap,
                   std::string& error);

// Where a decoder writes its pixels when they should land straight in their final place (a
// texture page, say) rather than in a bitmap of their own.
class TPixelSink {
 public:
  virtual ~TPixelSink() = default;
  // Called once the size is known and allowed, before any pixel is written: the place of the
  // first row's first pixel and the distance between rows in pixels (at least `width`).
  // Every pixel of the rectangle is then written; nullptr refuses the picture.
  // A sink that wants the rows one at a time (to share each out among frames) answers a pitch
  // of 0, which is allowed only when `rowsInOrder` says the decoder writes every row once, top
  // to bottom (an interlaced PNG does not): each row is then written at the same place and
  // handed on to RowWritten before the next.
  virtual uint32_t* Place(int width, int height, bool rowsInOrder, size_t& pitch) = 0;
  virtual void RowWritten(int /*y*/) {}
};

// PNG and JPEG decode into a sink; the others only into a bitmap.
bool DecodesIntoSink(TPictureFormat format);
// As DecodePicture, but the pixels go to `sink` and `info` receives only the size, the bits
// per pixel and hasAlpha (its pixel vectors stay empty). On failure the sink's pixels are
// left as the decoder stopped.
bool DecodePictureInto(TPictureFormat format, const uint8_t* data, size_t size, TPixelSink& sink, TBitmap& info,
                       std::string& error);
bool DecodePngInto(const uint8_t* data, size_t size, TPixelSink& sink, TBitmap& info, std::string& error);
bool DecodeJpegInto(const uint8_t* data, size_t size, TPixelSink& sink, TBitmap& info, std::string& error);

// The sink of the plain decoders: the bitmap's own pixels, `width` pixels a row. The vector
// keeps its storage from one picture to the next.
class TBitmapSink final : public TPixelSink {
 public:
  explicit TBitmapSink(TBitmap& bitmap) : bitmap_(bitmap) {}
  uint32_t* Place(int width, int height, bool rowsInOrder, size_t& pitch) override;

 private:
  TBitmap& bitmap_;
};

// The decoder chosen by the extension of `name` (an archive record's name, say) on bytes in
// memory. Failures are also logged as --verbose detail.
bool LoadPictureFromMemory(std::string_view name, const uint8_t* data, size_t size, TBitmap& bitmap,
                           std::string& error);
// The same for a file on disk (`path` is a disk path).
bool LoadPictureFile(const std::string& path, TBitmap& bitmap, std::string& error);

}  // namespace qx
