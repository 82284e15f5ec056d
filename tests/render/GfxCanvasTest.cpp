// The canvas against the recording back end: batching, blend codes, colours, frames.
#include "render/GfxCanvas.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "platform/null/NullGfx.h"
#include "render/GfxDevice.h"
#include "resources/GfxImage.h"

namespace qx {
namespace {

struct CanvasRig {
  NullGfx gfx;
  TGfxDevice device{gfx};
  TGfxCanvas canvas{gfx};
  std::unique_ptr<TGfxImage> image;

  CanvasRig() {
    canvas.SetPublisher(&device);
    device.SetWidth(64);
    device.SetHeight(64);
    device.OnRender = [] {};
    EXPECT_TRUE(device.Initialize());
  }
  // A picture of `frames` frames of 4 x 4 pixels (one frame a texture), each frame one colour.
  TGfxImage* Picture(int frames) {
    TBitmap bmp;
    bmp.width = 4 * frames;
    bmp.height = 4;
    bmp.bitsPerPixel = 32;
    bmp.hasAlpha = true;
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < bmp.width; ++x) bmp.pixels.push_back(0xFF000000u | static_cast<uint32_t>(x / 4));
    }
    image = std::make_unique<TGfxImage>(&gfx);
    image->SetFrameLayout(4, 4, frames);
    EXPECT_TRUE(image->LoadFromBitmap(bmp));
    return image.get();
  }
  const NullGfx::Draw& Only() {
    EXPECT_EQ(gfx.draws.size(), 1u);
    return gfx.draws.back();
  }
};

TEST(GfxCanvas, VertexCacheIsRoundedAndClamped) {
  NullGfx gfx;
  TGfxCanvas c(gfx);
  c.SetVertexCache(1000);
  EXPECT_EQ(c.VertexCache(), 1000);
  c.SetVertexCache(1001);
  EXPECT_EQ(c.VertexCache(), 1004);
  c.SetVertexCache(100);
  EXPECT_EQ(c.VertexCache(), 512);
  c.SetVertexCache(100000);
  EXPECT_EQ(c.VertexCache(), 65536);
}

TEST(GfxCanvas, SettingsAreFixedWhileInitialised) {
  CanvasRig r;
  EXPECT_TRUE(r.canvas.Initialized());
  EXPECT_EQ(r.gfx.bufferCapacity, 4096);
  r.canvas.SetVertexCache(1000);
  EXPECT_EQ(r.canvas.VertexCache(), 4096);
  r.canvas.SetAlphaTesting(false);
  EXPECT_TRUE(r.canvas.AlphaTesting());
}

TEST(GfxCanvas, SameTextureAndCodeShareABatch) {
  CanvasRig r;
  TGfxImage* pic = r.Picture(2);
  r.canvas.DrawImage(pic, 0xFFFFFFFF, kFxBlend, 0, 0, 0);
  r.canvas.DrawImage(pic, 0xFFFFFFFF, kFxBlend, 0, 10, 0);
  r.canvas.Flush();
  EXPECT_EQ(r.Only().indices.size(), 12u);
  EXPECT_EQ(r.canvas.Batches(), 1);
  r.canvas.DrawImage(pic, 0xFFFFFFFF, kFxBlend, 0, 0, 0);
  r.canvas.DrawImage(pic, 0xFFFFFFFF, kFxAdd, 0, 10, 0);
  r.canvas.Flush();
  EXPECT_EQ(r.canvas.Batches(), 3);
  // Another frame of the picture lives in another texture: another batch.
  r.canvas.DrawImage(pic, 0xFFFFFFFF, kFxAdd, 1, 0, 0);
  r.canvas.Flush();
  EXPECT_EQ(r.canvas.Batches(), 4);
  EXPECT_EQ(r.gfx.draws.back().texture, pic->Texture(1));
}

TEST(GfxCanvas, PrimitiveKindChangeFlushes) {
  CanvasRig r;
  r.canvas.FillRect(0, 0, 5, 5, 0xFFFFFFFF, kFxBlend);
  r.canvas.DrawLine({0, 0}, {5, 5}, 0xFFFFFFFF, 0xFFFFFFFF, kFxBlend);
  r.canvas.FillRect(0, 0, 5, 5, 0xFFFFFFFF, kFxBlend);
  r.canvas.Flush();
  ASSERT_EQ(r.gfx.draws.size(), 3u);
  EXPECT_EQ(r.gfx.draws[0].kind, PrimitiveKind::Triangles);
  EXPECT_EQ(r.gfx.draws[1].kind, PrimitiveKind::Lines);
  EXPECT_EQ(r.gfx.draws[0].primitives, 2);
}

TEST(GfxCanvas, FullBuffersFlush) {
  CanvasRig r;
  const int quads = 4096 / 6 + 1;  // indices run out first
  for (int i = 0; i < quads; ++i) r.canvas.FillRect(i, 0, 1, 1, 0xFFFFFFFF, kFxBlend);
  r.canvas.Flush();
  ASSERT_EQ(r.gfx.draws.size(), 2u);
  EXPECT_EQ(r.gfx.draws[0].indices.size(), static_cast<size_t>(4096 / 6 * 6));
  EXPECT_EQ(r.gfx.draws[0].indices[6], 4);  // indices count from each quad's first vertex
}

TEST(GfxCanvas, WhiteCornersAreNotModulatedTintedOnesAre) {
  CanvasRig r;
  r.canvas.FillRect(0, 0, 5, 5, 0xFFFFFFFF, kFxBlend);
  r.canvas.Flush();
  EXPECT_FALSE(r.gfx.draws.back().state.modulate);
  r.canvas.FillRect(0, 0, 5, 5, 0x80FFFFFF, kFxBlend);
  r.canvas.Flush();
  EXPECT_TRUE(r.gfx.draws.back().state.modulate);
}

TEST(GfxCanvas, LinesAndTrianglesAreTintedByTheSameRuleAsQuads) {
  CanvasRig r;
  r.canvas.DrawLine({0, 0}, {1, 1}, 0xFFFFFFFF, 0xFFFFFFFF, kFxBlend);
  r.canvas.Flush();
  EXPECT_FALSE(r.gfx.draws.back().state.modulate);
  r.canvas.DrawLine({0, 0}, {1, 1}, 0xFFFFFFFF, 0x7F0000FF, kFxBlend);  // one end not white
  r.canvas.Flush();
  EXPECT_TRUE(r.gfx.draws.back().state.modulate);
  r.canvas.FillTriangle({0, 0}, {4, 0}, {0, 4}, 0xFFFFFFFF, kFxAdd);
  r.canvas.Flush();
  EXPECT_FALSE(r.gfx.draws.back().state.modulate);
  r.canvas.FillTriangle({0, 0}, {4, 0}, {0, 4}, 0x7F00FF00, kFxBlend);
  r.canvas.Flush();
  EXPECT_TRUE(r.gfx.draws.back().state.modulate);
  EXPECT_EQ(r.gfx.draws.back().vertices[2].color, 0x7F00FF00u);  // green stays green in device order
  // An outline with one tinted corner is one batch of four modulated lines.
  const TPoint2 p[4] = {{0, 0}, {8, 1}, {9, 9}, {1, 8}};
  const uint32_t c[4] = {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFF0000FF};
  r.canvas.FrameQuad(p, c, kFxBlend);
  r.canvas.Flush();
  EXPECT_EQ(r.gfx.draws.back().indices.size(), 8u);
  EXPECT_TRUE(r.gfx.draws.back().state.modulate);
}

TEST(GfxCanvas, BlendCodesDecode) {
  CanvasRig r;
  r.canvas.FillRect(0, 0, 1, 1, 0xFFFFFFFF, kFxOpaque);
  r.canvas.Flush();
  EXPECT_FALSE(r.gfx.draws.back().state.blending);
  EXPECT_FALSE(r.gfx.draws.back().state.alphaTest);
  r.canvas.FillRect(0, 0, 1, 1, 0xFFFFFFFF, kFxBlend);
  r.canvas.Flush();
  const GfxDrawState s = r.gfx.draws.back().state;
  EXPECT_TRUE(s.blending);
  EXPECT_TRUE(s.alphaTest);
  EXPECT_EQ(s.src, BlendFactor::SrcAlpha);
  EXPECT_EQ(s.dst, BlendFactor::InvSrcAlpha);
  r.canvas.FillRect(0, 0, 1, 1, 0xFFFFFFFF, 0x01010A);  // saturate, one, reverse subtract
  r.canvas.Flush();
  EXPECT_EQ(r.gfx.draws.back().state.src, BlendFactor::SrcAlphaSat);
  EXPECT_EQ(r.gfx.draws.back().state.op, BlendOp::RevSubtract);
  r.canvas.FillRect(0, 0, 1, 1, 0xFFFFFFFF, 0x00FFFF);  // out of the tables
  r.canvas.Flush();
  EXPECT_EQ(r.gfx.draws.back().state.src, BlendFactor::One);
}

TEST(GfxCanvas, ColoursAreSwappedToDeviceOrder) {
  CanvasRig r;
  r.canvas.FillRect(0, 0, 1, 1, 0xFF0000FF, kFxBlend);  // red in the runtime's order
  r.canvas.Flush();
  EXPECT_EQ(r.gfx.draws.back().vertices[0].color, 0xFFFF0000u);
}

TEST(GfxCanvas, FrameRectMovesTheRightAndBottomEdgesIn) {
  CanvasRig r;
  r.canvas.FrameRect(0, 0, 10, 10, 0xFFFFFFFF, kFxBlend);
  r.canvas.Flush();
  const auto& v = r.Only().vertices;
  ASSERT_EQ(v.size(), 8u);
  EXPECT_EQ(v[1].x, 9);  // top edge ends in column 9
  EXPECT_EQ(v[3].y, 9);  // right edge ends in row 9
  EXPECT_EQ(v[4].x, 9);
  EXPECT_EQ(v[5].x, 0);
}

TEST(GfxCanvas, TexturedQuadsShiftHalfAPixelAndClampFrames) {
  CanvasRig r;
  TGfxImage* pic = r.Picture(3);
  r.canvas.DrawImage(pic, 0xFFFFFFFF, kFxBlend, 7, 10, 20);  // past the last frame
  r.canvas.Flush();
  EXPECT_EQ(r.gfx.draws.back().texture, pic->Texture(2));
  const auto& v = r.gfx.draws.back().vertices;
  EXPECT_EQ(v[0].x, 9.5f);
  EXPECT_EQ(v[0].y, 19.5f);
  EXPECT_EQ(v[2].x, 13.5f);
  EXPECT_FLOAT_EQ(v[2].u, 4.0f / pic->TextureWidth());
  r.canvas.DrawImage(pic, 0xFFFFFFFF, kFxBlend, -3, 0, 0);
  r.canvas.Flush();
  EXPECT_EQ(r.gfx.draws.back().texture, pic->Texture(0));
}

TEST(GfxCanvas, RegionsAndMirrors) {
  CanvasRig r;
  TGfxImage* pic = r.Picture(1);
  const TPoint2 p[4] = {{0, 0}, {2, 0}, {2, 2}, {0, 2}};
  const uint32_t c[4] = {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
  TFrameRegion region;
  region.left = 1;
  region.width = 2;
  region.mirrorHorizontal = 1;
  r.canvas.DrawImageQuad(pic, p, kFxBlend, region, c);
  r.canvas.Flush();
  const auto& v = r.gfx.draws.back().vertices;
  const float tw = static_cast<float>(pic->TextureWidth());
  EXPECT_FLOAT_EQ(v[0].u, 3 / tw);  // swapped
  EXPECT_FLOAT_EQ(v[1].u, 1 / tw);
}

TEST(GfxCanvas, RotatedQuadTurnsClockwise) {
  TPoint2 p[4];
  TGfxCanvas::RotatedQuad(100, 100, 20, 10, 10, 5, 1.0, std::numbers::pi / 2, p);
  EXPECT_NEAR(p[0].x, 105, 1e-9);  // the top-left corner goes to the top right
  EXPECT_NEAR(p[0].y, 90, 1e-9);
  TGfxCanvas::RotatedQuad(0, 0, 20, 10, 10, 5, 2.0, 0, p);
  EXPECT_NEAR(p[2].x, 20, 1e-9);
  EXPECT_NEAR(p[2].y, 10, 1e-9);
}

TEST(GfxCanvas, EndOfSceneFlushesAndDeviceLossDropsDraws) {
  CanvasRig r;
  r.device.OnRender = [&] { r.canvas.FillRect(0, 0, 4, 4, 0xFFFFFFFF, kFxBlend); };
  r.device.Render(0, true);
  EXPECT_EQ(r.gfx.draws.size(), 1u);
  r.gfx.SimulateLoss(1);
  r.device.Present();
  EXPECT_EQ(r.gfx.bufferCapacity, 0);  // released while lost
  r.device.Render(0, true);
  EXPECT_EQ(r.gfx.draws.size(), 1u);   // dropped
  r.device.Present();                  // reset: buffers again
  EXPECT_EQ(r.gfx.bufferCapacity, 4096);
  r.device.Render(0, true);
  EXPECT_EQ(r.gfx.draws.size(), 2u);
}

TEST(GfxCanvas, WithoutBuffersEveryDrawIsANoOp) {
  NullGfx gfx;
  gfx.FailBuffers(true);
  TGfxDevice device(gfx);
  TGfxCanvas canvas(gfx);
  canvas.SetPublisher(&device);
  ASSERT_TRUE(device.Initialize());
  EXPECT_FALSE(canvas.Initialized());
  canvas.FillRect(0, 0, 4, 4, 0xFFFFFFFF, kFxBlend);
  canvas.Flush();
  EXPECT_TRUE(gfx.draws.empty());
}

TEST(GfxCanvas, AntialiasWritesFlushAndSetTheFilter) {
  CanvasRig r;
  r.canvas.FillRect(0, 0, 4, 4, 0xFFFFFFFF, kFxBlend);
  r.canvas.SetAntialias(false);  // submits the pending batch first
  EXPECT_EQ(r.gfx.draws.size(), 1u);
  EXPECT_TRUE(r.gfx.draws.back().state.linearFilter);
  r.canvas.FillRect(0, 0, 4, 4, 0xFFFFFFFF, kFxBlend);
  r.canvas.SetAntialias(false);
  EXPECT_EQ(r.gfx.draws.size(), 2u);
  EXPECT_FALSE(r.gfx.draws.back().state.linearFilter);
}

}  // namespace
}  // namespace qx
