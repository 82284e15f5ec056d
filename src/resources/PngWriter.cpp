#include "resources/PngWriter.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <vector>

#include "base/SafeFile.h"

namespace qx {
namespace {

void WriteToVector(png_structp png, png_bytep data, png_size_t size) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + size);
}

void NoFlush(png_structp) {}

bool Encode(const uint32_t* argb, int width, int height, std::vector<uint8_t>& out) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  std::vector<uint8_t> row(static_cast<size_t>(width) * 4);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, &out, WriteToVector, NoFlush);
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) {
    const uint32_t* src = argb + static_cast<size_t>(y) * width;
    for (int x = 0; x < width; ++x) {
      const uint32_t p = src[x];
      row[x * 4 + 0] = static_cast<uint8_t>(p >> 16);
      row[x * 4 + 1] = static_cast<uint8_t>(p >> 8);
      row[x * 4 + 2] = static_cast<uint8_t>(p);
      row[x * 4 + 3] = static_cast<uint8_t>(p >> 24);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

bool WritePngFile(const std::string& path, const uint32_t* argb, int width, int height,
                  std::string& error) {
  if (width <= 0 || height <= 0 || !argb) {
    error = "png: nothing to write";
    return false;
  }
  std::vector<uint8_t> data;
  if (!Encode(argb, width, height, data)) {
    error = "png: encoding failed";
    return false;
  }
  return WriteFileAtomically(path, data.data(), data.size(), error);
}

}  // namespace qx
