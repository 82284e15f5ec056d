// Pictures for the benchmarks, made at run time (nothing large is committed): artwork-like
// pixels, their JPEG and PNG files, 8-bit mask files, and the plain library decodes the
// benchmarks compare against.
#pragma once

#include <png.h>
#include <cstdio>  // before jpeglib.h
#include <jpeglib.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "BenchCommon.h"
#include "resources/PngWriter.h"

namespace qx::bench {

// Gradients, noise and some alpha: compresses like real artwork. `seed` varies the noise.
inline std::vector<uint32_t> Picture(int width, int height, uint32_t seed = 12345) {
  std::vector<uint32_t> px(static_cast<size_t>(width) * static_cast<size_t>(height));
  uint32_t noise = seed;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      noise = noise * 1103515245u + 12345u;
      const uint32_t n = (noise >> 16) & 15;
      const uint32_t r = (static_cast<uint32_t>(x * 255 / width) + n + seed) & 0xFF;
      const uint32_t g = (static_cast<uint32_t>(y * 255 / height) + n) & 0xFF;
      const uint32_t b = ((x ^ y) & 0x3F) + 96, a = (x / 64 + y / 64) % 4 == 0 ? 128 : 255;
      px[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] = a << 24 | r << 16 | g << 8 | b;
    }
  }
  return px;
}

inline std::vector<uint8_t> EncodeJpeg(const std::vector<uint32_t>& px, int width, int height) {
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &out, &size);
  c.image_width = static_cast<JDIMENSION>(width);
  c.image_height = static_cast<JDIMENSION>(height);
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 90, TRUE);
  jpeg_start_compress(&c, TRUE);
  std::vector<uint8_t> row(static_cast<size_t>(width) * 3);
  while (c.next_scanline < c.image_height) {
    for (int x = 0; x < width; ++x) {
      const uint32_t p = px[static_cast<size_t>(c.next_scanline) * static_cast<size_t>(width) + static_cast<size_t>(x)];
      row[static_cast<size_t>(x) * 3] = static_cast<uint8_t>(p >> 16);
      row[static_cast<size_t>(x) * 3 + 1] = static_cast<uint8_t>(p >> 8);
      row[static_cast<size_t>(x) * 3 + 2] = static_cast<uint8_t>(p);
    }
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::vector<uint8_t> data(out, out + size);
  std::free(out);
  return data;
}

inline bool WriteBytes(const std::string& path, const std::vector<uint8_t>& data) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  return static_cast<bool>(out);
}

inline bool WriteJpegFile(const std::string& path, int width, int height, uint32_t seed) {
  return WriteBytes(path, EncodeJpeg(Picture(width, height, seed), width, height));
}

inline bool WritePngPicture(const std::string& path, int width, int height, uint32_t seed) {
  std::string error;
  const std::vector<uint32_t> px = Picture(width, height, seed);
  return WritePngFile(path, px.data(), width, height, error);
}

// An 8-bit palettised BMP whose indices are a soft-edged ellipse: a mask file.
inline bool WriteMaskBmp(const std::string& path, int width, int height) {
  const uint32_t stride = (static_cast<uint32_t>(width) + 3) & ~3u;
  const uint32_t pixelBytes = stride * static_cast<uint32_t>(height);
  const uint32_t offset = 14 + 40 + 256 * 4;
  std::vector<uint8_t> b;
  auto u16 = [&b](uint32_t v) { b.push_back(static_cast<uint8_t>(v)); b.push_back(static_cast<uint8_t>(v >> 8)); };
  auto u32 = [&u16](uint32_t v) { u16(v & 0xFFFF); u16(v >> 16); };
  b.push_back('B');
  b.push_back('M');
  u32(offset + pixelBytes);
  u32(0);
  u32(offset);
  u32(40);
  u32(static_cast<uint32_t>(width));
  u32(static_cast<uint32_t>(height));
  u16(1);
  u16(8);
  u32(0);
  u32(pixelBytes);
  u32(2835);
  u32(2835);
  u32(256);
  u32(0);
  for (uint32_t i = 0; i < 256; ++i) u32(i << 16 | i << 8 | i);
  for (int y = height - 1; y >= 0; --y) {  // bottom-up rows
    for (uint32_t x = 0; x < stride; ++x) {
      const double dx = (static_cast<double>(x) - width / 2.0) / (width / 2.0);
      const double dy = (static_cast<double>(y) - height / 2.0) / (height / 2.0);
      const double d = dx * dx + dy * dy;
      b.push_back(x >= static_cast<uint32_t>(width) ? 0 : d < 0.8 ? 255 : d < 1.0 ? static_cast<uint8_t>((1.0 - d) * 1275) : 0);
    }
  }
  return WriteBytes(path, b);
}

// Plain libpng (simplified API) to 8-bit RGBA.
inline void RawPng(const std::vector<uint8_t>& data, std::vector<uint8_t>& out) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  png_image_begin_read_from_memory(&image, data.data(), data.size());
  image.format = PNG_FORMAT_RGBA;
  out.resize(PNG_IMAGE_SIZE(image));
  png_image_finish_read(&image, nullptr, out.data(), 0, nullptr);
}

// Plain libjpeg-turbo to 8-bit RGB.
inline void RawJpeg(const std::vector<uint8_t>& data, std::vector<uint8_t>& out) {
  jpeg_decompress_struct d{};
  jpeg_error_mgr err{};
  d.err = jpeg_std_error(&err);
  jpeg_create_decompress(&d);
  jpeg_mem_src(&d, data.data(), static_cast<unsigned long>(data.size()));
  jpeg_read_header(&d, TRUE);
  d.out_color_space = JCS_RGB;
  jpeg_start_decompress(&d);
  out.resize(static_cast<size_t>(d.output_width) * d.output_height * 3);
  while (d.output_scanline < d.output_height) {
    JSAMPROW r = out.data() + static_cast<size_t>(d.output_scanline) * d.output_width * 3;
    jpeg_read_scanlines(&d, &r, 1);
  }
  jpeg_finish_decompress(&d);
  jpeg_destroy_decompress(&d);
}

}  // namespace qx::bench
