// The canvas drawing through OpenGL, checked pixel by pixel (headless, Mesa).
#include "gl/GlCanvasFixture.h"
#include "resources/GfxImage.h"

namespace qx {
namespace {

class GlCanvasTest : public GlCanvasFixture {
 protected:
  void SetUp() override { StartCanvas(64); }
  void TearDown() override {
    image_.reset();
    StopCanvas();
  }
  // A 2 x 2 picture: opaque red, half-transparent green, invisible blue, opaque white.
  TGfxImage* Picture() {
    TBitmap bmp;
    bmp.width = bmp.height = 2;
    bmp.bitsPerPixel = 32;
    bmp.hasAlpha = true;
    bmp.pixels = {0xFFFF0000u, 0x8000FF00u, 0x000000FFu, 0xFFFFFFFFu};
    image_ = std::make_unique<TGfxImage>(platform_.gfx.get());
    image_->SetAlphaLevel(TAlphaLevel::alFull);
    image_->SetFrameLayout(2, 2, 1);
    EXPECT_TRUE(image_->LoadFromBitmap(bmp));
    return image_.get();
  }

  std::unique_ptr<TGfxImage> image_;
};

TEST_F(GlCanvasTest, FrameRectLightsExactlyItsBorder) {
  Frame([&] { canvas_->FrameRect(0, 0, 10, 10, 0xFFFFFFFF, kFxOpaque); });
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(Pixel(i, 0), 0xFFFFFFu) << i;
    EXPECT_EQ(Pixel(i, 9), 0xFFFFFFu) << i;
    EXPECT_EQ(Pixel(0, i), 0xFFFFFFu) << i;
    EXPECT_EQ(Pixel(9, i), 0xFFFFFFu) << i;
  }
  EXPECT_EQ(Pixel(10, 0), 0u);
  EXPECT_EQ(Pixel(0, 10), 0u);
  EXPECT_EQ(Pixel(5, 5), 0u);
}

TEST_F(GlCanvasTest, LinesLightTheirFirstPixelButNotTheirLast) {
  Frame([&] {
    canvas_->DrawLine({0, 0}, {4, 0}, 0xFFFFFFFF, 0xFFFFFFFF, kFxOpaque);
    canvas_->DrawLine({4, 2}, {0, 2}, 0xFFFFFFFF, 0xFFFFFFFF, kFxOpaque);
    canvas_->DrawLine({6, 0}, {6, 3}, 0xFFFFFFFF, 0xFFFFFFFF, kFxOpaque);
    canvas_->DrawLine({10, 10}, {14, 14}, 0xFFFFFFFF, 0xFFFFFFFF, kFxOpaque);
  });
  EXPECT_EQ(Pixel(0, 0), 0xFFFFFFu);
  EXPECT_EQ(Pixel(3, 0), 0xFFFFFFu);
  EXPECT_EQ(Pixel(4, 0), 0u);
  EXPECT_EQ(Pixel(4, 2), 0xFFFFFFu);
  EXPECT_EQ(Pixel(1, 2), 0xFFFFFFu);
  EXPECT_EQ(Pixel(0, 2), 0u);
  EXPECT_EQ(Pixel(6, 2), 0xFFFFFFu);
  EXPECT_EQ(Pixel(6, 3), 0u);
  for (int i = 0; i < 4; ++i) {  // a diagonal: one pixel a step
    EXPECT_EQ(Pixel(10 + i, 10 + i), 0xFFFFFFu) << i;
    EXPECT_EQ(Pixel(11 + i, 10 + i), 0u) << i;
  }
  EXPECT_EQ(Pixel(14, 14), 0u);
}

TEST_F(GlCanvasTest, FillRectCoversItsPixelsInTheRuntimeColourOrder) {
  Frame([&] { canvas_->FillRect(2, 3, 4, 5, 0xFF0000FF, kFxBlend); });  // red
  EXPECT_EQ(Pixel(2, 3), 0xFF0000u);
  EXPECT_EQ(Pixel(5, 7), 0xFF0000u);
  EXPECT_EQ(Pixel(6, 7), 0u);
  EXPECT_EQ(Pixel(5, 8), 0u);
  EXPECT_EQ(Pixel(1, 3), 0u);
}

TEST_F(GlCanvasTest, TintedQuadIsModulated) {
  Frame([&] { canvas_->FillRect(0, 0, 8, 8, 0x80FFFFFF, kFxBlend); });
  EXPECT_NEAR(static_cast<int>(Pixel(4, 4) & 0xFF), 128, 2);
}

TEST_F(GlCanvasTest, OpaqueCodeIgnoresAlphaBlendingHonoursIt) {
  TGfxImage* pic = Picture();
  Frame([&] {
    canvas_->DrawImage(pic, 0xFFFFFFFF, kFxOpaque, 0, 0, 0);
    canvas_->DrawImage(pic, 0xFFFFFFFF, kFxBlend, 0, 10, 0);
  });
  EXPECT_EQ(Pixel(0, 0), 0xFF0000u);
  EXPECT_EQ(Pixel(1, 0), 0x00FF00u);  // opaque copy: green at full strength
  EXPECT_EQ(Pixel(0, 1), 0x0000FFu);  // even the invisible texel is copied
  EXPECT_EQ(Pixel(10, 0), 0xFF0000u);
  EXPECT_NEAR(static_cast<int>((Pixel(11, 0) >> 8) & 0xFF), 128, 2);  // half green over black
  EXPECT_EQ(Pixel(10, 1), 0u);                                       // alpha 0 leaves black
  EXPECT_EQ(Pixel(11, 1), 0xFFFFFFu);
}

TEST_F(GlCanvasTest, AlphaTestDiscardsInvisibleTexelsEvenWhenAdding) {
  TGfxImage* pic = Picture();
  Frame([&] {
    canvas_->FillRect(0, 0, 20, 20, 0xFF404040, kFxOpaque);
    // Additive with "one, one": without the test an alpha-0 blue texel would still add blue.
    canvas_->DrawImage(pic, 0xFFFFFFFF, 0x0101, 0, 4, 4);
  });
  EXPECT_EQ(Pixel(4, 5), 0x404040u);
  EXPECT_EQ(Pixel(4, 4), 0xFF4040u);
}

}  // namespace
}  // namespace qx
