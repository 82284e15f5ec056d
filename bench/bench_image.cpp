// Decoding and uploading a 1024 x 768 picture (PNG and JPEG) to the null back end, beside a
// plain libpng / libjpeg-turbo decode of the same bytes in the same run. Prints medians in ms.
#include <png.h>
#include <cstdio>  // before jpeglib.h
#include <jpeglib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/null/NullGfx.h"
#include "resources/FileBytes.h"
#include "resources/GfxImage.h"
#include "resources/ImageDecoders.h"
#include "resources/PngWriter.h"

namespace {

constexpr int kWidth = 1024, kHeight = 768, kRounds = 15;

double MedianMs(const std::function<void()>& work) {
  std::vector<double> times;
  for (int i = 0; i < kRounds; ++i) {
    const auto start = std::chrono::steady_clock::now();
    work();
    times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

// A picture with gradients, texture and some alpha: compresses like real artwork.
std::vector<uint32_t> Picture() {
  std::vector<uint32_t> px(static_cast<size_t>(kWidth) * kHeight);
  uint32_t noise = 12345;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      noise = noise * 1103515245u + 12345u;
      const uint32_t n = (noise >> 16) & 15;
      const uint32_t r = (x * 255 / kWidth + n) & 0xFF, g = (y * 255 / kHeight + n) & 0xFF;
      const uint32_t b = ((x ^ y) & 0x3F) + 96, a = (x / 64 + y / 64) % 4 == 0 ? 128 : 255;
      px[static_cast<size_t>(y) * kWidth + x] = a << 24 | r << 16 | g << 8 | b;
    }
  }
  return px;
}

std::vector<uint8_t> EncodeJpeg(const std::vector<uint32_t>& px) {
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &out, &size);
  c.image_width = kWidth;
  c.image_height = kHeight;
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 90, TRUE);
  jpeg_start_compress(&c, TRUE);
  std::vector<uint8_t> row(kWidth * 3);
  while (c.next_scanline < c.image_height) {
    for (int x = 0; x < kWidth; ++x) {
      const uint32_t p = px[static_cast<size_t>(c.next_scanline) * kWidth + x];
      row[x * 3] = static_cast<uint8_t>(p >> 16), row[x * 3 + 1] = static_cast<uint8_t>(p >> 8), row[x * 3 + 2] = static_cast<uint8_t>(p);
    }
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::vector<uint8_t> data(out, out + size);
  free(out);
  return data;
}

// Plain libpng (simplified API) to 8-bit RGBA.
void RawPng(const std::vector<uint8_t>& data, std::vector<uint8_t>& out) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  png_image_begin_read_from_memory(&image, data.data(), data.size());
  image.format = PNG_FORMAT_RGBA;
  out.resize(PNG_IMAGE_SIZE(image));
  png_image_finish_read(&image, nullptr, out.data(), 0, nullptr);
}

// Plain libjpeg-turbo to 8-bit RGB.
void RawJpeg(const std::vector<uint8_t>& data, std::vector<uint8_t>& out) {
  jpeg_decompress_struct d{};
  jpeg_error_mgr err{};
  d.err = jpeg_std_error(&err);
  jpeg_create_decompress(&d);
  jpeg_mem_src(&d, data.data(), data.size());
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

void Report(const char* format, const std::vector<uint8_t>& data, const std::function<void()>& raw) {
  qx::NullGfx gfx;
  qx::TBitmap bitmap;
  std::string error;
  const qx::TPictureFormat f = std::string(format) == "PNG" ? qx::TPictureFormat::Png : qx::TPictureFormat::Jpeg;
  const double rawMs = MedianMs(raw);
  const double decodeMs = MedianMs([&] { qx::DecodePicture(f, data.data(), data.size(), bitmap, error); });
  qx::TGfxImage image(&gfx);
  image.SetFrameLayout(bitmap.width, bitmap.height, 1);
  const double uploadMs = MedianMs([&] { image.LoadFromBitmap(bitmap); });
  const double totalMs = MedianMs([&] {
    qx::DecodePicture(f, data.data(), data.size(), bitmap, error);
    image.LoadFromBitmap(bitmap);
  });
  std::printf("%-4s %7zu bytes  raw decode %6.2f ms  our decode %6.2f ms  upload %6.2f ms  decode+upload %6.2f ms  ratio %.2f\n",
              format, data.size(), rawMs, decodeMs, uploadMs, totalMs, totalMs / rawMs);
}

}  // namespace

int main() {
  const std::vector<uint32_t> px = Picture();
  const std::string pngPath = (std::filesystem::temp_directory_path() / "qx-bench-image.png").string();
  std::string error;
  std::vector<uint8_t> png;
  if (!qx::WritePngFile(pngPath, px.data(), kWidth, kHeight, error) ||
      !qx::ReadFileBytes(pngPath, png, error, 1 << 30)) {
    std::fprintf(stderr, "bench_image: %s\n", error.c_str());
    return 1;
  }
  std::filesystem::remove(pngPath);
  const std::vector<uint8_t> jpeg = EncodeJpeg(px);
  std::printf("1024 x 768, median of %d runs; upload = frame layout and texture upload to the null back end\n", kRounds);
  std::vector<uint8_t> scratch;
  Report("PNG", png, [&] { RawPng(png, scratch); });
  Report("JPEG", jpeg, [&] { RawJpeg(jpeg, scratch); });
  return 0;
}
