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

}  // namespace

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

bool DecodePicture(TPictureFormat format, const uint8_t* data, size_t size, TBitmap& bitmap, std::string& error) {
  bitmap = TBitmap{};
  bool ok = false;
  switch (format) {
    case TPictureFormat::Png: ok = DecodePng(data, size, bitmap, error); break;
    case TPictureFormat::Jpeg: ok = DecodeJpeg(data, size, bitmap, error); break;
    case TPictureFormat::Tga: ok = DecodeTga(data, size, bitmap, error); break;
    case TPictureFormat::Bmp: ok = DecodeBmp(data, size, bitmap, error); break;
  }
  if (!ok) {
    bitmap = TBitmap{};
    if (error.empty()) error = "cannot decode the picture";
    error = std::string(TagOf(format)) + ": " + error;
  }
  return ok;
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
