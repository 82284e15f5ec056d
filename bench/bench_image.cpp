// Loading a 1024 x 768 picture (PNG and JPEG) the way the media cache does (decode into the
// texture page, then upload to the null back end) beside a plain libpng / libjpeg-turbo decode
// of the same bytes. The two alternate run by run, so a busy moment costs both alike; each
// prints its median and the spread between its quartiles, in ms.
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "BenchCommon.h"
#include "BenchPictures.h"
#include "platform/null/NullGfx.h"
#include "resources/FileBytes.h"
#include "resources/GfxImage.h"
#include "resources/PicturePrep.h"
#include "resources/PngWriter.h"

namespace {

using qx::bench::NowMs;

constexpr int kWidth = 1024, kHeight = 768;

struct Spread {
  double median, low, high;
};

Spread SpreadOf(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return {v[v.size() / 2], v[v.size() / 4], v[v.size() * 3 / 4]};
}

double TimeMs(const std::function<void()>& work) {
  const double start = NowMs();
  work();
  return NowMs() - start;
}

void Report(const char* format, const std::string& name, const std::vector<uint8_t>& data, int rounds,
            const std::function<void()>& raw) {
  qx::NullGfx gfx;
  qx::TGfxImage image(&gfx);
  qx::TPictureFiles files;
  files.name = name;
  files.read = true;
  files.data = data;
  const auto load = [&] {
    qx::TPreparedPicture picture = qx::PreparePicture(files);
    image.SetFrameLayout(picture.frameWidth, picture.frameHeight, picture.frameCount);
    if (!picture.laidOut || !image.LoadFromPages(std::move(picture.pages))) {
      std::fprintf(stderr, "bench_image: %s did not load\n", name.c_str());
      std::exit(1);
    }
  };
  raw();
  load();
  std::vector<double> rawMs, loadMs;
  for (int i = 0; i < rounds; ++i) {
    rawMs.push_back(TimeMs(raw));
    loadMs.push_back(TimeMs(load));
  }
  const Spread r = SpreadOf(rawMs), l = SpreadOf(loadMs);
  std::printf("%-4s %7zu bytes  plain decode %6.2f ms (%.2f-%.2f)  decode+upload %6.2f ms (%.2f-%.2f)  ratio %.2f\n",
              format, data.size(), r.median, r.low, r.high, l.median, l.low, l.high, l.median / r.median);
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = qx::bench::CountOption(argc, argv, "--rounds", 31);
  const std::vector<uint32_t> px = qx::bench::Picture(kWidth, kHeight);
  const std::string pngPath = (std::filesystem::temp_directory_path() / "qx-bench-image.png").string();
  std::string error;
  std::vector<uint8_t> png;
  if (!qx::WritePngFile(pngPath, px.data(), kWidth, kHeight, error) ||
      !qx::ReadFileBytes(pngPath, png, error, 1 << 30)) {
    std::fprintf(stderr, "bench_image: %s\n", error.c_str());
    return 1;
  }
  std::filesystem::remove(pngPath);
  const std::vector<uint8_t> jpeg = qx::bench::EncodeJpeg(px, kWidth, kHeight);
  std::printf("1024 x 768, %d alternating runs of each; median (quartiles); decode+upload = the media cache's\n"
              "decode into the texture page and the upload to the null back end\n",
              rounds);
  std::vector<uint8_t> scratch;
  Report("PNG", "bench.png", png, rounds, [&] { qx::bench::RawPng(png, scratch); });
  Report("JPEG", "bench.jpg", jpeg, rounds, [&] { qx::bench::RawJpeg(jpeg, scratch); });
  return 0;
}
