// Text drawn through OpenGL with a real font record (DejaVu Sans made by qxtool), checked
// pixel by pixel against the glyph image (headless, Mesa).
#include "elements/ElementKinds.h"
#include "elements/QXText.h"
#include "gl/GlCanvasFixture.h"
#include "resources/GfxFont.h"
#include "resources/ResArchive.h"
#include "scene/QXDB.h"

namespace qx {
namespace {

constexpr int kSide = 128;

class GlTextTest : public GlCanvasFixture {
 protected:
  void SetUp() override {
    StartCanvas(kSide);
    if (HasFatalFailure()) return;
    fonts_ = std::make_unique<TGfxFonts>(*platform_.gfx);
    fonts_->Canvas = canvas_.get();
    fonts_->SetPublisher(device_.get());
    archive_.SetFileName(std::string(QX_TEST_DATA_DIR) + "/elements/dejavu-sans-12.res");
    ASSERT_TRUE(fonts_->LoadFromArchive(archive_));
    font_ = fonts_->FindFont("dejavusans12").get();
    ASSERT_NE(font_, nullptr);
  }
  void TearDown() override {
    fonts_.reset();
    StopCanvas();
  }
  // The coverage of a glyph frame's pixel, from the font's own image.
  int Coverage(char c, int x, int y) const {
    const TGfxImage& img = font_->Image();
    TFramePlace place;
    EXPECT_TRUE(img.FramePlace(static_cast<uint8_t>(c) - font_->FirstChar(), place));
    return static_cast<int>(img.GetPixel(place.left + x, place.top + y, place.texture) >> 24);
  }

  std::unique_ptr<TGfxFonts> fonts_;
  TResArchive archive_;
  TGfxFont* font_ = nullptr;
};

TEST_F(GlTextTest, GlyphsLandPixelForPixelInTheirColour) {
  Frame([&] { font_->TextOut("Hg\xC6", 0xFF0000FF, 10, 20, 0xFF0000FF, kFxBlend); });  // red "HgЖ"
  const int fw = font_->Image().VisibleWidth(), fh = font_->Image().VisibleHeight();
  int inked = 0;
  double pen = 10;
  for (char c : std::string("Hg\xC6")) {
    const int x0 = static_cast<int>(pen);
    for (int y = 0; y < fh; ++y) {
      for (int x = 0; x < fw; ++x) {
        const int a = Coverage(c, x, y);
        const uint32_t p = Pixel(x0 + x, 20 + y);
        // Later glyph frames overlap earlier ones only where both are transparent or blend.
        if (a == 0) continue;
        EXPECT_NEAR(static_cast<int>(p >> 16), a, 2) << c << " " << x << "," << y;
        EXPECT_EQ(p & 0xFFFF, 0u);
        ++inked;
      }
    }
    pen += font_->GlyphWidth(static_cast<uint8_t>(c) - font_->FirstChar());
  }
  EXPECT_GT(inked, 40);
  EXPECT_EQ(Pixel(5, 5), 0u);
  EXPECT_EQ(Pixel(static_cast<int>(pen) + fw + 2, 25), 0u);
}

TEST_F(GlTextTest, TextElementDrawsCentredGradientLines) {
  Services services;
  services.canvas = canvas_.get();
  services.fonts = fonts_.get();
  TQXDB root(ElementKinds(), services);
  TQXText* text = new TQXText(&root);  // owned by the root
  text->SetSizeX(kSide);
  text->SetSizeY(kSide);
  text->SetField(PropField::EnEnter, [] { PropValue v; v.i = 1; return v; }());
  text->SetFont("DejaVuSans12");
  text->PosHor = phCenter;
  text->PosVert = pvCenter;
  text->SetText("\xDF\\nIII");  // "Я", then a second line
  // White at the top edge of each glyph, blue at the bottom.
  text->SetField(PropField::hxColor2, [] { PropValue v; v.i = 0xFF0000; return v; }());
  text->SetField(PropField::hxTrans2, [] { PropValue v; v.i = 255; return v; }());
  Frame([&] { text->Render(0, 0xFFFFFFFF, 0, 0, false); });
  // Ink only in the middle band, none at the edges of the box.
  int top = kSide, bottom = -1, left = kSide, right = -1;
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      if (Pixel(x, y) == 0) continue;
      top = std::min(top, y);
      bottom = std::max(bottom, y);
      left = std::min(left, x);
      right = std::max(right, x);
    }
  }
  ASSERT_GE(bottom, 0);
  const int lineHeight = static_cast<int>(font_->TextHeight("I"));
  EXPECT_GE(top, kSide / 2 - lineHeight - 1);
  EXPECT_LE(bottom, kSide / 2 + lineHeight + 1);
  EXPECT_NEAR((left + right) / 2.0, kSide / 2.0, 3.0);
  // The gradient: bluer toward the bottom of a stroke of "I".
  uint32_t high = 0, low = 0;
  for (int y = top; y <= bottom; ++y) {
    for (int x = left; x <= right; ++x) {
      const uint32_t p = Pixel(x, y);
      if (p == 0xFFFFFFu || (p & 0xFF) < 0xF0) continue;
      if (!high) high = p;
      low = p;
    }
  }
  ASSERT_NE(high, 0u);
  EXPECT_GT((high >> 16) & 0xFF, (low >> 16) & 0xFF);  // less red further down
}

}  // namespace
}  // namespace qx
