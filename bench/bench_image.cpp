// Decoding and uploading a 1024 x 768 picture (PNG and JPEG) to the null back end, beside a
// plain libpng / libjpeg-turbo decode of the same bytes in the same run. Prints medians in ms.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "BenchPictures.h"
#include "platform/null/NullGfx.h"
#include "resources/FileBytes.h"
#include "resources/GfxImage.h"
#include "resources/ImageDecoders.h"
#include "resources/PngWriter.h"

namespace {

using qx::bench::EncodeJpeg;
using qx::bench::Picture;
using qx::bench::RawJpeg;
using qx::bench::RawPng;

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
  const std::vector<uint32_t> px = Picture(kWidth, kHeight);
  const std::string pngPath = (std::filesystem::temp_directory_path() / "qx-bench-image.png").string();
  std::string error;
  std::vector<uint8_t> png;
  if (!qx::WritePngFile(pngPath, px.data(), kWidth, kHeight, error) ||
      !qx::ReadFileBytes(pngPath, png, error, 1 << 30)) {
    std::fprintf(stderr, "bench_image: %s\n", error.c_str());
    return 1;
  }
  std::filesystem::remove(pngPath);
  const std::vector<uint8_t> jpeg = EncodeJpeg(px, kWidth, kHeight);
  std::printf("1024 x 768, median of %d runs; upload = frame layout and texture upload to the null back end\n", kRounds);
  std::vector<uint8_t> scratch;
  Report("PNG", png, [&] { RawPng(png, scratch); });
  Report("JPEG", jpeg, [&] { RawJpeg(jpeg, scratch); });
  return 0;
}
