// 10,000 textured quads a frame through TGfxCanvas (DrawImage of one 64 x 64 picture at
// 10,000 places, batched and handed to a back end that takes the batches and does nothing),
// beside a plain loop that fills the same vertex and index arrays with the same values.
//   build/bench/bench_canvas [--frames N]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "BenchPictures.h"
#include "platform/null/NullGfx.h"
#include "render/GfxCanvas.h"
#include "render/GfxDevice.h"
#include "resources/GfxImage.h"

namespace {

using namespace qx;
using namespace qx::bench;

constexpr int kQuads = 10000;
constexpr int kBatch = 4096;  // the canvas's vertex cache as the main window sets it

// The null back end without its recording: batches are counted, not copied.
class CountingGfx : public NullGfx {
 public:
  bool DrawIndexed(PrimitiveKind, const GfxVertex*, int vertexCount, const uint16_t*, int, int) override {
    vertices += vertexCount;
    return true;
  }
  int64_t vertices = 0;
};

double X(int i) { return (i * 37) % 960; }
double Y(int i) { return (i * 53) % 700; }

// What the canvas computes for a quad, written straight into arrays batch by batch.
void PlainLoop(std::vector<GfxVertex>& vertices, std::vector<uint16_t>& indices, int64_t& sink) {
  static const uint16_t kQuad[6] = {0, 1, 2, 0, 2, 3};
  const float tw = 66, th = 66;  // the texture page of a 64 x 64 frame
  int count = 0, indexCount = 0;
  for (int i = 0; i < kQuads; ++i) {
    if (count + 4 > kBatch) {
      sink += count;
      count = indexCount = 0;
    }
    const double x = X(i), y = Y(i), w = 64, h = 64;
    const double px[4] = {x, x + w, x + w, x}, py[4] = {y, y, y + h, y + h};
    const float u[4] = {0, 64 / tw, 64 / tw, 0}, v[4] = {0, 0, 64 / th, 64 / th};
    for (int k = 0; k < 4; ++k) {
      GfxVertex& out = vertices[static_cast<size_t>(count + k)];
      out.x = static_cast<float>(px[k] - 0.5);
      out.y = static_cast<float>(py[k] - 0.5);
      out.z = 0;
      out.rhw = 1;
      out.color = 0xFFFFFFFFu;
      out.u = u[k];
      out.v = v[k];
    }
    for (int k = 0; k < 6; ++k) indices[static_cast<size_t>(indexCount + k)] = static_cast<uint16_t>(count + kQuad[k]);
    count += 4;
    indexCount += 6;
  }
  sink += count;
}

}  // namespace

int main(int argc, char** argv) {
  const int frames = CountOption(argc, argv, "--frames", 200);
  CountingGfx gfx;
  TGfxDevice device(gfx);
  device.SetWidth(1024);
  device.SetHeight(768);
  TGfxCanvas canvas(gfx);
  canvas.SetVertexCache(kBatch);
  canvas.SetPublisher(&device);
  if (!device.Initialize()) {
    std::fprintf(stderr, "bench_canvas: no device\n");
    return 1;
  }
  TGfxImage image(&gfx);
  TBitmap bitmap;
  bitmap.width = bitmap.height = 64;
  bitmap.pixels = Picture(64, 64, 3);
  image.SetFrameLayout(64, 64, 1);
  image.LoadFromBitmap(bitmap);

  std::vector<double> viaCanvas, plain;
  std::vector<GfxVertex> vertices(kBatch);
  std::vector<uint16_t> indices(kBatch * 6 / 4);
  int64_t sink = 0;
  double ms = 0;
  device.OnRender = [&] {
    const double start = NowMs();
    for (int i = 0; i < kQuads; ++i) canvas.DrawImage(&image, 0xFFFFFFFFu, kFxBlend, 0, X(i), Y(i));
    canvas.Flush();
    ms = NowMs() - start;
  };
  for (int f = 0; f < frames + 10; ++f) {  // alternating, the first 10 of each a warm-up
    device.Render(0, false);
    if (f >= 10) viaCanvas.push_back(ms * 1000);
    const double start = NowMs();
    PlainLoop(vertices, indices, sink);
    if (f >= 10) plain.push_back((NowMs() - start) * 1000);
  }
  const double c = Median(viaCanvas), p = Median(plain);
  const long long perFrame = static_cast<long long>(gfx.vertices / (frames + 10));
  if (sink / (frames + 10) != perFrame) std::printf("the two loops made different vertex counts\n");
  std::printf("%d textured quads a frame (%lld vertices), median of %d frames\n", kQuads, perFrame, frames);
  std::printf("through TGfxCanvas                %8.1f us  %.2fx the plain loop\n", c, c / p);
  std::printf("plain loop filling the same array %8.1f us\n", p);
  return 0;
}
