// Choosing a decoder by extension and the limits every decoder shares.
#include "resources/ImageDecoders.h"

#include <vector>

#include "base/Log.h"
#include "resources/FileBytes.h"
#include "resources/NameFold.h"

namespace qx {
namespace {

bool EndsWithNoCase(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && SameName1251(text.substr(text.size() - tail.size()), tail);
}

const char* TagOf(TPictureFormat format) {
  switch (format) {
    case TPictureFormat::Png: return "png";
    case TPictureFormat::Jpeg: return "jpeg";
    case TPictureFormat::Tga: return "tga";
    case TPictureFormat::Bmp: return "bmp";
  }
  return "image";
}

// The plain decoders keep the bitmap's pixel storage from one picture to the next.
bool DecodeIntoBitmap(bool (*decode)(const uint8_t*, size_t, TPixelSink&, TBitmap&, std::string&), const uint8_t* data,
                      size_t size, TBitmap& bitmap, std::string& error) {
  bitmap.indices.clear();
  TBitmapSink sink(bitmap);
  if (!decode(data, size, sink, bitmap, error)) {
    bitmap = TBitmap{};
    return false;
  }
  return true;
}

// A failed decode's reason, led by the format.
bool Failed(TPictureFormat format, std::string& error) {
  if (error.empty()) error = "cannot decode the picture";
  error = std::string(TagOf(format)) + ": " + error;
  return false;
}

}  // namespace

bool DecodePng(const uint8_t* data, size_t size, TBitmap& bitmap, std::string& error) {
  return DecodeIntoBitmap(DecodePngInto, data, size, bitmap, error);
}

bool DecodeJpeg(const uint8_t* data, size_t size, TBitmap& bitmap, std::string& error) {
  return DecodeIntoBitmap(DecodeJpegInto, data, size, bitmap, error);
}

bool ImageSizeAllowed(int64_t width, int64_t height) {
  return width > 0 && height > 0 && width <= kMaxImageSide && height <= kMaxImageSide &&
         width * height <= kMaxImagePixels;
}

TPictureFormat PictureFormatOf(std::string_view fileName) {
  if (EndsWithNoCase(fileName, ".png")) return TPictureFormat::Png;
  if (EndsWithNoCase(fileName, ".jpg") || EndsWithNoCase(fileName, ".jpeg")) return TPictureFormat::Jpeg;
  if (EndsWithNoCase(fileName, ".tga")) return TPictureFormat::Tga;
  return TPictureFormat::Bmp;
}

uint32_t* TBitmapSink::Place(int width, int height, bool, size_t& pitch) {
  pitch = static_cast<size_t>(width);
  bitmap_.pixels.resize(pitch * static_cast<size_t>(height));
  return bitmap_.pixels.data();
}

bool DecodesIntoSink(TPictureFormat format) {
  return format == TPictureFormat::Png || format == TPictureFormat::Jpeg;
}

bool DecodePictureInto(TPictureFormat format, const uint8_t* data, size_t size, TPixelSink& sink, TBitmap& info,
                       std::string& error) {
  info = TBitmap{};
  bool ok = false;
  if (format == TPictureFormat::Png) {
    ok = DecodePngInto(data, size, sink, info, error);
  } else if (format == TPictureFormat::Jpeg) {
    ok = DecodeJpegInto(data, size, sink, info, error);
  } else {
    error = "this format decodes only into a bitmap";
  }
  if (ok) return true;
  info = TBitmap{};
  return Failed(format, error);
}

bool DecodePicture(TPictureFormat format, const uint8_t* data, size_t size, TBitmap& bitmap, std::string& error) {
  // Cleared, not replaced: a bitmap decoded into again keeps its storage.
  bitmap.width = bitmap.height = bitmap.bitsPerPixel = 0;
  bitmap.hasAlpha = false;
  bitmap.pixels.clear();
  bitmap.indices.clear();
  bool ok = false;
  switch (format) {
    case TPictureFormat::Png: ok = DecodePng(data, size, bitmap, error); break;
    case TPictureFormat::Jpeg: ok = DecodeJpeg(data, size, bitmap, error); break;
    case TPictureFormat::Tga: ok = DecodeTga(data, size, bitmap, error); break;
    case TPictureFormat::Bmp: ok = DecodeBmp(data, size, bitmap, error); break;
  }
  if (ok) return true;
  bitmap = TBitmap{};
  return Failed(format, error);
}

bool LoadPictureFromMemory(std::string_view name, const uint8_t* data, size_t size, TBitmap& bitmap,
                           std::string& error) {
  error.clear();
  if (DecodePicture(PictureFormatOf(name), data, size, bitmap, error)) return true;
  error = std::string(name) + ": " + error;
  LogDetail("image", error);
  return false;
}

bool LoadPictureFile(const std::string& path, TBitmap& bitmap, std::string& error) {
  std::vector<uint8_t> data;
  bitmap = TBitmap{};
  if (!ReadFileBytes(path, data, error, kMaxPictureFileBytes)) {
    LogDetail("image", error);
    return false;
  }
  return LoadPictureFromMemory(path, data.data(), data.size(), bitmap, error);
}

}  // namespace qx
