#include <gtest/gtest.h>

#include "platform/null/NullGfx.h"
#include "render/GfxDevice.h"
#include "resources/FrameLayout.h"
#include "resources/GfxImages.h"
#include "resources/ImageDecoders.h"
#include "resources/TestFiles.h"

namespace qx {
namespace {

// A bitmap whose every pixel tells where it came from: 0xFF, frame x, frame y, then x and y
// inside the frame packed into the low byte's neighbours.
TBitmap Numbered(int columns, int rows, int frameWidth, int frameHeight) {
  TBitmap b;
  b.width = columns * frameWidth;
  b.height = rows * frameHeight;
  b.bitsPerPixel = 32;
  b.pixels.resize(static_cast<size_t>(b.width) * b.height);
  for (int y = 0; y < b.height; ++y) {
    for (int x = 0; x < b.width; ++x) {
      const uint32_t frame = static_cast<uint32_t>((y / frameHeight) * columns + x / frameWidth);
      b.pixels[static_cast<size_t>(y) * b.width + x] =
          frame << 24 | static_cast<uint32_t>(x % frameWidth) << 8 | static_cast<uint32_t>(y % frameHeight);
    }
  }
  return b;
}

uint32_t Expect(int frame, int fx, int fy) {
  return static_cast<uint32_t>(frame) << 24 | static_cast<uint32_t>(fx) << 8 | static_cast<uint32_t>(fy);
}

TEST(GfxImage, FourByTwoFramesGetOneTextureEach) {
  NullGfx gfx;
  TGfxImage image(&gfx);
  image.SetFrameLayout(50, 40, 8);
  EXPECT_EQ(image.TextureWidth(), 52);
  EXPECT_EQ(image.TextureHeight(), 42);
  ASSERT_TRUE(image.LoadFromBitmap(Numbered(4, 2, 50, 40)));
  EXPECT_EQ(image.State(), TTextureState::tsReady);
  ASSERT_EQ(image.TextureCount(), 8);
  EXPECT_EQ(gfx.textures.size(), 8u);
  for (int frame = 0; frame < 8; ++frame) {
    SCOPED_TRACE(frame);
    const NullGfx::Texture& t = gfx.textures.at(image.Texture(frame));
    ASSERT_EQ(t.width, 52);
    ASSERT_EQ(t.height, 42);
    EXPECT_EQ(t.pixels, image.PagePixels(frame));  // what was uploaded is what is kept
    const auto at = [&](int x, int y) { return t.pixels[static_cast<size_t>(y) * 52 + x]; };
    EXPECT_EQ(at(0, 0), Expect(frame, 0, 0));
    EXPECT_EQ(at(49, 39), Expect(frame, 49, 39));
    EXPECT_EQ(at(17, 23), Expect(frame, 17, 23));
    // The spare columns and rows repeat the frame's edge pixels.
    EXPECT_EQ(at(50, 10), Expect(frame, 49, 10));
    EXPECT_EQ(at(51, 10), Expect(frame, 49, 10));
    EXPECT_EQ(at(10, 41), Expect(frame, 10, 39));
    EXPECT_EQ(at(51, 41), Expect(frame, 49, 39));
    EXPECT_EQ(image.GetPixel(51, 41, frame), Expect(frame, 49, 39));
    TFramePlace place;
    ASSERT_TRUE(image.FramePlace(frame, place));
    EXPECT_EQ(place.texture, frame);
    EXPECT_EQ(place.left, 0);
    EXPECT_EQ(place.top, 0);
  }
  EXPECT_EQ(image.GetPixel(52, 0, 0), 0u);
  EXPECT_EQ(image.GetPixel(0, 0, 8), 0u);
  EXPECT_EQ(image.GetPixel(-1, 0, 0), 0u);
  image.ReleaseTextures();
  EXPECT_TRUE(gfx.textures.empty());
  EXPECT_EQ(image.State(), TTextureState::tsNone);
}

// Textures that hold several cells: frames fill them left to right, top to bottom, over
// as many pages as needed; cells of the last page without a frame stay transparent.
TEST(GfxImage, SeveralCellsPerTexture) {
  NullGfx gfx;
  TGfxImage image(&gfx);
  image.SetPatternSize(4, 3);
  image.SetVisibleSize(4, 3);
  image.SetTextureSize(9, 7);  // 2 x 2 cells, one spare column and row
  image.SetPatternCount(5);
  ASSERT_TRUE(image.LoadFromBitmap(Numbered(5, 1, 4, 3)));
  EXPECT_EQ(image.FramesPerTexture(), 4);
  ASSERT_EQ(image.TextureCount(), 2);
  EXPECT_EQ(image.GetPixel(0, 0, 0), Expect(0, 0, 0));
  EXPECT_EQ(image.GetPixel(5, 1, 0), Expect(1, 1, 1));
  EXPECT_EQ(image.GetPixel(8, 1, 0), Expect(1, 3, 1));  // spare column from frame 1's edge
  EXPECT_EQ(image.GetPixel(2, 4, 0), Expect(2, 2, 1));
  EXPECT_EQ(image.GetPixel(7, 6, 0), Expect(3, 3, 2));  // spare row and column corner
  EXPECT_EQ(image.GetPixel(1, 1, 1), Expect(4, 1, 1));
  EXPECT_EQ(image.GetPixel(5, 1, 1), 0u);  // no frame 5
  TFramePlace place;
  ASSERT_TRUE(image.FramePlace(3, place));
  EXPECT_EQ(place.texture, 0);
  EXPECT_EQ(place.left, 4);
  EXPECT_EQ(place.top, 3);
  ASSERT_TRUE(image.FramePlace(99, place));  // clamped to the last frame
  EXPECT_EQ(place.texture, 1);
  ASSERT_TRUE(image.FramePlace(-4, place));
  EXPECT_EQ(place.texture, 0);
}

TEST(GfxImage, BottomUpTgaComesOutUpright) {
  NullGfx gfx;
  TBitmap bitmap;
  std::string error;
  ASSERT_TRUE(LoadPictureFile(test::DataPath("tga_rle_bl.tga"), bitmap, error)) << error;
  TGfxImage image(&gfx);
  image.SetFrameLayout(bitmap.width, bitmap.height, 1);
  ASSERT_TRUE(image.LoadFromBitmap(bitmap));
  // The fixture's expected pixels are the picture as drawn, top row first.
  const std::vector<uint8_t> expected = test::ReadBytes(test::DataPath("tga_rle_bl.tga.rgba"));
  for (int y = 0; y < bitmap.height; ++y) {
    for (int x = 0; x < bitmap.width; ++x) {
      const uint8_t* e = &expected[(static_cast<size_t>(y) * bitmap.width + x) * 4];
      ASSERT_EQ(image.GetPixel(x, y, 0), uint32_t{e[3]} << 24 | uint32_t{e[0]} << 16 | uint32_t{e[1]} << 8 | e[2])
          << x << "," << y;
    }
  }
}

TEST(GfxImage, NoAlphaLevelMakesPixelsOpaque) {
  NullGfx gfx;
  TGfxImage image(&gfx);
  image.SetAlphaLevel(TAlphaLevel::alNone);
  image.SetFrameLayout(2, 2, 1);
  TBitmap b;
  b.width = b.height = 2;
  b.pixels = {0x00112233, 0x80445566, 0x00000000, 0x7F010203};
  ASSERT_TRUE(image.LoadFromBitmap(b));
  EXPECT_EQ(image.GetPixel(0, 0, 0), 0xFF112233u);
  EXPECT_EQ(image.GetPixel(1, 1, 0), 0xFF010203u);
}

TEST(GfxImage, RefusesUnusableLayouts) {
  NullGfx gfx;
  TGfxImage image(&gfx);
  const TBitmap b = Numbered(1, 1, 10, 10);
  image.SetFrameLayout(0, 10, 1);
  EXPECT_FALSE(image.LoadFromBitmap(b));
  image.SetFrameLayout(10, 10, 0);
  EXPECT_FALSE(image.LoadFromBitmap(b));
  image.SetFrameLayout(11, 10, 1);  // larger than the picture
  EXPECT_FALSE(image.LoadFromBitmap(b));
  image.SetFrameLayout(10, 10, 1);
  image.SetTextureSize(8, 12);  // cell wider than the texture
  EXPECT_FALSE(image.LoadFromBitmap(b));
  image.SetFrameLayout(10, 10, 1);
  EXPECT_FALSE(image.LoadFromBitmap(TBitmap{}));
  EXPECT_TRUE(gfx.textures.empty());
  EXPECT_EQ(image.TextureCount(), 0);
  TFramePlace place;
  EXPECT_FALSE(image.FramePlace(0, place));
  // Without a device no texture can be made.
  TGfxImage orphan(nullptr);
  orphan.SetFrameLayout(10, 10, 1);
  EXPECT_FALSE(orphan.LoadFromBitmap(b));
}

// --- image stream -------------------------------------------------------------------------

void Add32(std::vector<uint8_t>& d, int32_t v) {
  for (int i = 0; i < 4; ++i) d.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
}

std::vector<uint8_t> StreamHeader(int code, int pw, int ph, int vw, int vh, int count, int tw, int th, int pages) {
  std::vector<uint8_t> d{static_cast<uint8_t>(code)};
  for (int v : {pw, ph, vw, vh, count, tw, th, pages}) Add32(d, v);
  return d;
}

// One 1 x 1 page per pixel format: the stored bytes and the colour they must give.
TEST(GfxImage, StreamConvertsEveryPixelFormat) {
  struct Case {
    int code;
    std::vector<uint8_t> bytes;
    uint32_t argb;
  } cases[] = {
      {0, {0xFF}, 0xFFFFFFFF},               // R3G3B2 all ones
      {0, {0b10'011'101}, 0xFFAA6DB6},       // red 2 bits=2 -> 170, green 3=3 -> 109, blue 3=5 -> 182
      {1, {0x1F, 0xF8}, 0xFFFF00FF},         // R5G6B5: red 31, green 0, blue 31
      {1, {0xE0, 0x07}, 0xFF00FF00},         // green 63
      {2, {0x11, 0x22, 0x33, 0x00}, 0xFF332211},
      {3, {0x1F, 0x80}, 0xFF0000FF},         // X1R5G5B5: the top bit is ignored, alpha 255
      {4, {0x0F, 0xF0}, 0xFF0000FF},         // X4R4G4B4: blue 15, the top nibble ignored
      {5, {0x11, 0x22, 0x33, 0x44}, 0x44332211},
      {6, {0x00, 0x80}, 0xFF000000},         // A1R5G5B5: alpha bit set, black
      {6, {0xFF, 0x7F}, 0x00FFFFFF},         // alpha bit clear, white
      {7, {0x21, 0x43}, 0x44332211},         // A4R4G4B4 nibbles 4,3,2,1 -> 0x44,0x33,0x22,0x11
      {8, {0x03, 0x80}, 0x8000006D},         // A8R3G3B2: blue 3 bits = 3 -> round(3 * 255 / 7) = 109
      {9, {0b01'10'11'00}, 0x55AAFF00},      // A2R2G2B2: alpha 1, red 2, green 3, blue 0
      {10, {0x7F}, 0x7FFFFFFF},              // A8: white with the stored alpha
  };
  NullGfx gfx;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    std::vector<uint8_t> d = StreamHeader(c.code, 1, 1, 1, 1, 1, 1, 1, 1);
    d.insert(d.end(), c.bytes.begin(), c.bytes.end());
    d.push_back(0xEE);  // what follows the stream is not read
    TGfxImage image(&gfx);
    size_t used = 0;
    ASSERT_TRUE(image.LoadFromStream(d.data(), d.size(), &used));
    EXPECT_EQ(used, d.size() - 1);
    EXPECT_EQ(image.GetPixel(0, 0, 0), c.argb);
    EXPECT_EQ(gfx.textures.at(image.Texture(0)).pixels[0], c.argb);
  }
}

TEST(GfxImage, StreamCarriesLayoutAndPages) {
  NullGfx gfx;
  // Glyph-like: cells of 8 x 10 with a 6 x 8 visible part, 3 frames on 2 pages of 16 x 10.
  std::vector<uint8_t> d = StreamHeader(5, 8, 10, 6, 8, 3, 16, 10, 2);
  for (int page = 0; page < 2; ++page) {
    for (int i = 0; i < 16 * 10; ++i) {
      for (uint8_t b : {static_cast<uint8_t>(i), static_cast<uint8_t>(page), uint8_t{0}, uint8_t{0xFF}}) d.push_back(b);
    }
  }
  TGfxImage image(&gfx);
  ASSERT_TRUE(image.LoadFromStream(d.data(), d.size()));
  EXPECT_EQ(image.PatternWidth(), 8);
  EXPECT_EQ(image.VisibleHeight(), 8);
  EXPECT_EQ(image.PatternCount(), 3);
  EXPECT_EQ(image.TextureCount(), 2);
  EXPECT_EQ(image.GetPixel(3, 0, 1), 0xFF000103u);
  TFramePlace place;
  ASSERT_TRUE(image.FramePlace(1, place));
  EXPECT_EQ(place.texture, 0);
  EXPECT_EQ(place.left, 9);  // second cell, visible part centred: 8 + (8 - 6) / 2
  EXPECT_EQ(place.top, 1);
  ASSERT_TRUE(image.FramePlace(2, place));
  EXPECT_EQ(place.texture, 1);
}

TEST(GfxImage, BadStreamsFailCleanly) {
  NullGfx gfx;
  const auto good = [] {
    std::vector<uint8_t> d = StreamHeader(1, 2, 2, 2, 2, 1, 2, 2, 1);
    d.resize(d.size() + 8, 0x55);
    return d;
  };
  struct Case {
    const char* what;
    std::vector<uint8_t> data;
  };
  std::vector<Case> cases = {
      {"unknown format", [&] { auto d = good(); d[0] = 11; return d; }()},
      {"format past the table", [&] { auto d = good(); d[0] = 200; return d; }()},
      {"cut in the header", [&] { auto d = good(); d.resize(20); return d; }()},
      {"cut in the pixels", [&] { auto d = good(); d.pop_back(); return d; }()},
      {"no pages", StreamHeader(1, 2, 2, 2, 2, 1, 2, 2, 0)},
      {"negative size", StreamHeader(1, -2, 2, 2, 2, 1, 2, 2, 1)},
      {"cell larger than the texture", StreamHeader(1, 4, 2, 2, 2, 1, 2, 2, 1)},
      {"more frames than cells", [&] { auto d = StreamHeader(1, 2, 2, 2, 2, 2, 2, 2, 1); d.resize(d.size() + 8); return d; }()},
      {"huge pages", StreamHeader(5, 8, 8, 8, 8, 1, 16384, 16384, 0x7FFFFFFF)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TGfxImage image(&gfx);
    EXPECT_FALSE(image.LoadFromStream(c.data.data(), c.data.size()));
    EXPECT_EQ(image.TextureCount(), 0);
    EXPECT_TRUE(gfx.textures.empty());
  }
  TGfxImage image(&gfx);
  const auto d = good();
  EXPECT_TRUE(image.LoadFromStream(d.data(), d.size()));
}

// --- the image list and the device --------------------------------------------------------

struct Rig {
  NullGfx gfx;
  TGfxDevice device{gfx};
  TGfxImages images{gfx};
  Rig() {
    images.SetPublisher(&device);
    EXPECT_TRUE(device.Initialize());
  }
};

TEST(GfxImages, ListOperations) {
  Rig rig;
  rig.images.SetMipMappping(true);
  TGfxImage* a = rig.images.Add();
  TGfxImage* b = rig.images.Add();
  EXPECT_TRUE(a->MipMapping());
  EXPECT_EQ(a->Name(), "[unnamed]");
  EXPECT_EQ(rig.images.IndexOf(b), 1);
  EXPECT_EQ(rig.images.IndexOf(nullptr), -1);
  std::vector<TGfxImage*> freed;
  rig.images.OnImageFreed = [&](TGfxImage* i) { freed.push_back(i); };
  rig.images.Remove(5);
  rig.images.Remove(-1);
  EXPECT_EQ(rig.images.Count(), 2);
  rig.images.Remove(0);
  EXPECT_EQ(freed, std::vector<TGfxImage*>{a});
  EXPECT_EQ(rig.images.Image(0), b);
  EXPECT_EQ(rig.images.Image(1), nullptr);
}

TEST(GfxImages, FollowTheDeviceThroughLossResetAndFinalise) {
  Rig rig;
  TGfxImage* image = rig.images.Add();
  image->SetFrameLayout(3, 3, 1);
  ASSERT_TRUE(image->LoadFromBitmap(Numbered(1, 1, 3, 3)));
  const TextureHandle first = image->Texture(0);
  ASSERT_NE(first, 0u);
  // Loss, then a reset that succeeds: lost, then ready with the same pixels.
  rig.gfx.SimulateLoss(2);
  EXPECT_FALSE(rig.device.Present());
  EXPECT_EQ(image->State(), TTextureState::tsLost);
  EXPECT_EQ(image->Texture(0), 0u);
  EXPECT_FALSE(rig.device.Present());  // still lost
  EXPECT_TRUE(rig.device.Present());   // reset
  EXPECT_EQ(image->State(), TTextureState::tsReady);
  ASSERT_NE(image->Texture(0), 0u);
  EXPECT_EQ(rig.gfx.textures.at(image->Texture(0)).pixels, image->PagePixels(0));
  // A back end that dropped its textures: they are made again from the kept pages.
  rig.gfx.textures.clear();
  rig.device.Reset();
  EXPECT_EQ(image->State(), TTextureState::tsReady);
  ASSERT_EQ(rig.gfx.textures.size(), 1u);
  EXPECT_EQ(rig.gfx.textures.begin()->second.pixels, image->PagePixels(0));
  // Finalising releases every image and texture.
  int freed = 0;
  rig.images.OnImageFreed = [&](TGfxImage*) { ++freed; };
  rig.device.Finalize();
  EXPECT_EQ(freed, 1);
  EXPECT_EQ(rig.images.Count(), 0);
  EXPECT_TRUE(rig.gfx.textures.empty());
}

// A platform that can refuse new textures, for the failed state.
class RefusingGfx : public NullGfx {
 public:
  bool refuse = false;
  TextureHandle CreateTexture(int w, int h) override { return refuse ? 0 : NullGfx::CreateTexture(w, h); }
  bool UploadTexture(TextureHandle t, const uint32_t* p, int pitch) override {
    return !refuse && NullGfx::UploadTexture(t, p, pitch);
  }
};

TEST(GfxImages, ARecreationThatFailsGivesFailed) {
  RefusingGfx gfx;
  TGfxDevice device(gfx);
  TGfxImages images(gfx);
  images.SetPublisher(&device);
  ASSERT_TRUE(device.Initialize());
  TGfxImage* image = images.Add();
  image->SetFrameLayout(2, 2, 1);
  ASSERT_TRUE(image->LoadFromBitmap(Numbered(1, 1, 2, 2)));
  gfx.refuse = true;
  device.Reset();
  EXPECT_EQ(image->State(), TTextureState::tsFailed);
  EXPECT_EQ(image->GetPixel(0, 0, 0), Expect(0, 0, 0));  // the kept pixels still answer
  gfx.refuse = false;
  device.Reset();
  EXPECT_EQ(image->State(), TTextureState::tsReady);
  // A first upload that cannot create its textures leaves nothing behind.
  gfx.refuse = true;
  TGfxImage* other = images.Add();
  other->SetFrameLayout(2, 2, 1);
  EXPECT_FALSE(other->LoadFromBitmap(Numbered(1, 1, 2, 2)));
  EXPECT_EQ(other->State(), TTextureState::tsNone);
  EXPECT_EQ(other->TextureCount(), 0);
}

TEST(FrameLayout, CompanionFileAndGrid) {
  EXPECT_EQ(FrameLayoutFileName("images\\door.jpg"), "images\\door.an");
  EXPECT_EQ(FrameLayoutFileName("a.png"), "a.an");
  EXPECT_EQ(FrameLayoutFileName("abc"), "abc.an");
  TFrameGrid g = ParseFrameLayout("4\r\n2\r\n");
  EXPECT_EQ(g.columns, 4);
  EXPECT_EQ(g.rows, 2);
  g = ParseFrameLayout(" 3 \n0\n");
  EXPECT_EQ(g.columns, 3);
  EXPECT_EQ(g.rows, 1);
  g = ParseFrameLayout("x\n-2");
  EXPECT_EQ(g.columns, 1);
  EXPECT_EQ(g.rows, 1);
  g = ParseFrameLayout("");
  EXPECT_EQ(g.columns, 1);
  g = ClampFrameGrid({500, 3}, 100, 2);
  EXPECT_EQ(g.columns, 100);
  EXPECT_EQ(g.rows, 2);
}

}  // namespace
}  // namespace qx
