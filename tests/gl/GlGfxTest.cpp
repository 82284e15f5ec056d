// The OpenGL back end, headless on Mesa: clearing, textures, blending, alpha test, read-back.
#include <SDL.h>
#include <gtest/gtest.h>

#include "platform/Platform.h"
#include "render/GfxDevice.h"

namespace qx {
namespace {

class GlGfxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(CreatePlatform(true, 64, 48, platform_, error)) << error;
    GfxPresentParams params;
    params.width = 64;
    params.height = 48;
    ASSERT_TRUE(gfx().CreateDevice(params));
    ASSERT_TRUE(gfx().CreateBuffers(64));
  }
  void TearDown() override {
    platform_.Release();
    SDL_Quit();
  }
  GfxPlatform& gfx() { return *platform_.gfx; }

  uint32_t Pixel(int x, int y) {
    std::vector<uint32_t> px;
    int w = 0, h = 0;
    EXPECT_TRUE(gfx().ReadBackBuffer(px, w, h));
    return px.at(static_cast<size_t>(y) * w + x);
  }

  // A quad over [x0, x1) x [y0, y1) with one colour, as two triangles.
  void Quad(float x0, float y0, float x1, float y1, uint32_t color, float u1 = 1, float v1 = 1) {
    GfxVertex v[4];
    v[0].x = x0, v[0].y = y0, v[0].u = 0, v[0].v = 0;
    v[1].x = x1, v[1].y = y0, v[1].u = u1, v[1].v = 0;
    v[2].x = x1, v[2].y = y1, v[2].u = u1, v[2].v = v1;
    v[3].x = x0, v[3].y = y1, v[3].u = 0, v[3].v = v1;
    for (auto& c : v) c.color = color;
    const uint16_t idx[6] = {0, 1, 3, 1, 2, 3};
    ASSERT_TRUE(gfx().DrawIndexed(PrimitiveKind::Triangles, v, 4, idx, 6, 2));
  }

  PlatformSet platform_;
};

TEST_F(GlGfxTest, ClearFillsTheBackBufferAndReadsBackTopDown) {
  ASSERT_TRUE(gfx().Clear(0xFF102030u, false));
  EXPECT_EQ(Pixel(0, 0), 0xFF102030u);
  EXPECT_EQ(Pixel(63, 47), 0xFF102030u);
}

TEST_F(GlGfxTest, UntexturedQuadIsWhiteUnlessModulated) {
  gfx().Clear(0xFF000000u, false);
  gfx().BeginScene();
  GfxDrawState s;
  gfx().SetDrawState(s);
  gfx().BindTexture(0);
  Quad(0, 0, 32, 48, 0xFFFF0000u);  // red, but not modulated: the stage gives white
  s.modulate = true;
  gfx().SetDrawState(s);
  Quad(32, 0, 64, 24, 0xFFFF0000u);  // device order: red
  gfx().EndScene();
  EXPECT_EQ(Pixel(5, 5), 0xFFFFFFFFu);
  EXPECT_EQ(Pixel(40, 5), 0xFFFF0000u);
  EXPECT_EQ(Pixel(40, 30), 0xFF000000u);  // only the top half was covered
}

TEST_F(GlGfxTest, TexturedQuadMapsTexelsOneToOne) {
  // A 2 x 2 texture drawn at 2 x 2 pixels with the half-pixel shift the canvas applies.
  const TextureHandle t = gfx().CreateTexture(2, 2);
  ASSERT_NE(t, 0u);
  const uint32_t texels[4] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu};
  ASSERT_TRUE(gfx().UploadTexture(t, texels, 2));
  gfx().Clear(0xFF000000u, false);
  GfxDrawState s;
  gfx().SetDrawState(s);
  gfx().BindTexture(t);
  Quad(9.5f, 19.5f, 11.5f, 21.5f, 0xFFFFFFFFu);
  EXPECT_EQ(Pixel(10, 20), 0xFFFF0000u);
  EXPECT_EQ(Pixel(11, 20), 0xFF00FF00u);
  EXPECT_EQ(Pixel(10, 21), 0xFF0000FFu);
  EXPECT_EQ(Pixel(11, 21), 0xFFFFFFFFu);
  EXPECT_EQ(Pixel(12, 20), 0xFF000000u);
  gfx().ReleaseTexture(t);
}

TEST_F(GlGfxTest, AlphaBlendingAndAlphaTest) {
  const TextureHandle t = gfx().CreateTexture(1, 1);
  const uint32_t half = 0x80FFFFFFu;
  gfx().UploadTexture(t, &half, 1);
  gfx().Clear(0xFF000000u, false);
  GfxDrawState s;
  s.blending = true;
  s.src = BlendFactor::SrcAlpha;
  s.dst = BlendFactor::InvSrcAlpha;
  gfx().SetDrawState(s);
  gfx().BindTexture(t);
  Quad(0, 0, 8, 8, 0xFFFFFFFFu);
  const uint32_t p = Pixel(2, 2);
  EXPECT_NEAR(static_cast<int>(p & 0xFF), 128, 2);

  const uint32_t clear = 0x00FFFFFFu;
  gfx().UploadTexture(t, &clear, 1);
  s.alphaTest = true;
  s.src = BlendFactor::One;
  s.dst = BlendFactor::One;  // additive: a zero-alpha texel would still add white
  gfx().SetDrawState(s);
  Quad(16, 0, 24, 8, 0xFFFFFFFFu);
  EXPECT_EQ(Pixel(18, 2), 0xFF000000u);  // discarded by the alpha test
  gfx().ReleaseTexture(t);
}

TEST_F(GlGfxTest, ReverseSubtractTakesSourceFromDestination) {
  gfx().Clear(0xFF808080u, false);
  GfxDrawState s;
  s.blending = true;
  s.src = BlendFactor::One;
  s.dst = BlendFactor::One;
  s.op = BlendOp::RevSubtract;
  s.modulate = true;
  gfx().SetDrawState(s);
  gfx().BindTexture(0);
  Quad(0, 0, 4, 4, 0x00202020u);
  EXPECT_EQ(Pixel(1, 1) & 0xFFFFFF, 0x606060u);
}

TEST_F(GlGfxTest, PresentLetterboxesAndKeepsTheBackBuffer) {
  gfx().Clear(0xFF00FF00u, false);
  EXPECT_EQ(gfx().Present(), PresentResult::Ok);
  EXPECT_EQ(Pixel(3, 3), 0xFF00FF00u);
}

TEST(GlDevice, DeviceRunsAFrameOnTheGlBackEnd) {
  PlatformSet platform;
  std::string error;
  ASSERT_TRUE(CreatePlatform(true, 1024, 768, platform, error)) << error;
  {
    TGfxDevice device(*platform.gfx);
    device.SetWidth(1024);
    device.SetHeight(768);
    int rendered = 0;
    device.OnRender = [&] { ++rendered; };
    ASSERT_TRUE(device.Initialize());
    EXPECT_TRUE(device.Render(0, true));
    EXPECT_TRUE(device.Present());
    device.SetWindowed(false);  // full screen and back on the offscreen driver
    device.SetWindowed(true);
    EXPECT_TRUE(device.Render(0, true));
    EXPECT_TRUE(device.Present());
    EXPECT_EQ(rendered, 2);
    std::vector<uint32_t> px;
    int w = 0, h = 0;
    ASSERT_TRUE(platform.gfx->ReadBackBuffer(px, w, h));
    EXPECT_EQ(w, 1024);
    EXPECT_EQ(h, 768);
  }
  platform.Release();
  SDL_Quit();
}

}  // namespace
}  // namespace qx
