// The media cache's pictures: entries, counting, deferral, frame layouts, masks, release.
#include "runtime/MediaCache.h"

#include <gtest/gtest.h>

#include "resources/GfxImage.h"
#include "resources/ImageDecoders.h"
#include "scene/MediaStage.h"

namespace qx {
namespace {

using test::MediaStage;

uint32_t Red(int, int) { return 0xFFFF0000u; }
uint32_t Gradient(int x, int y) { return 0xFF000000u | static_cast<uint32_t>(x << 16 | y); }

TEST(MediaCache, OneEntryPerNameCountingRequests) {
  MediaStage s;
  s.Png("door.png", 8, 4, Red);
  const int loadsBefore = Runtime().ImForLoadPos;  // the particle texture was asked for already
  TQXIm* a = s.media.GetImage("door.png", false);
  TQXIm* b = s.media.GetImage("DOOR.PNG", false);
  EXPECT_EQ(a, b);
  EXPECT_EQ(a->Count, 2);
  EXPECT_EQ(a->Name, "DOOR.PNG");
  ASSERT_NE(a->Image, nullptr);
  EXPECT_EQ(a->Image->VisibleWidth(), 8);
  EXPECT_EQ(a->Image->TextureWidth(), 10);  // frame plus 2, rounded up to even
  EXPECT_EQ(Runtime().ImForLoadPos - loadsBefore, 1);
}

TEST(MediaCache, DeferredRequestsAreQueuedOnce) {
  MediaStage s;
  s.Png("a.png", 4, 4, Red);
  Runtime().LoadNow = false;
  TQXIm* e = s.media.GetImage("a.png", false);
  s.media.GetImage("a.png", false);
  EXPECT_EQ(e->Image, nullptr);
  EXPECT_EQ(Runtime().ImForLoadCount, 1);
  TQXIm* forced = s.media.GetImage("a.png", true);  // forcing loads even now
  EXPECT_NE(forced->Image, nullptr);
}

TEST(MediaCache, FrameLayoutFromTheCompanionFile) {
  MediaStage s;
  s.Png("sheet.png", 40, 20, Gradient);
  s.Text("sheet.an", "4\r\n2\r\n");
  TQXIm* e = s.media.GetImage("Sheet.PNG", false);
  ASSERT_NE(e->Image, nullptr);
  EXPECT_EQ(e->Image->PatternCount(), 8);
  EXPECT_EQ(e->Image->VisibleWidth(), 10);
  EXPECT_EQ(e->Image->VisibleHeight(), 10);
}

TEST(MediaCache, FoldersAndLetterCaseAreMatchedLikeTheGame) {
  MediaStage s;
  s.Png("Pics/Room/Wall.png", 4, 4, Red);
  TQXIm* e = s.media.GetImage("PICS\\room\\wall.png", false);
  EXPECT_NE(e->Image, nullptr);
}

TEST(MediaCache, MissingPicturesAreRetriedBrokenOnesAreNot) {
  MediaStage s;
  TQXIm* missing = s.media.GetImage("later.png", false);
  EXPECT_EQ(missing->Image, nullptr);
  EXPECT_FALSE(missing->Failed);
  s.Png("later.png", 4, 4, Red);
  s.media.GetImage("later.png", false);
  EXPECT_NE(missing->Image, nullptr);

  s.Text("broken.png", "not a picture");
  TQXIm* broken = s.media.GetImage("broken.png", false);
  EXPECT_TRUE(broken->Failed);
  s.Png("broken.png", 4, 4, Red);
  s.media.GetImage("broken.png", false);
  EXPECT_EQ(broken->Image, nullptr);  // never retried
}

TEST(MediaCache, UnusedPicturesAreReleasedKeptOnesStay) {
  MediaStage s;
  s.Png("a.png", 4, 4, Red);
  s.Png("b.png", 4, 4, Red);
  TQXIm* a = s.media.GetImage("a.png", false);
  TQXIm* kept = s.media.GetImage("b.png", true);
  s.media.ClearImageCounts();
  s.media.ReleaseUnusedImages();
  EXPECT_EQ(a->Image, nullptr);
  EXPECT_NE(kept->Image, nullptr);
  EXPECT_EQ(s.images.Count(), 1);
}

TEST(MediaCache, DeviceFinaliseForgetsEveryPicture) {
  MediaStage s;
  s.Png("a.png", 4, 4, Red);
  TQXIm* a = s.media.GetImage("a.png", false);
  ASSERT_NE(a->Image, nullptr);
  s.device.Finalize();
  EXPECT_EQ(a->Image, nullptr);
}

// An 8-bit BMP whose palette index of pixel (x, y) is x * 8.
std::string MaskBmp(int w, int h) {
  const int stride = (w + 3) / 4 * 4;
  std::string b = "BM";
  auto put32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<char>(v >> (8 * i)));
  };
  auto put16 = [&](uint16_t v) {
    b.push_back(static_cast<char>(v));
    b.push_back(static_cast<char>(v >> 8));
  };
  put32(54 + 1024 + stride * h);
  put32(0);
  put32(54 + 1024);
  put32(40);
  put32(w);
  put32(h);
  put16(1);
  put16(8);
  for (int i = 0; i < 6; ++i) put32(i == 2 ? static_cast<uint32_t>(stride * h) : 0);
  for (int i = 0; i < 256; ++i) put32(static_cast<uint32_t>(i * 0x010101));
  for (int y = h - 1; y >= 0; --y) {
    for (int x = 0; x < stride; ++x) b.push_back(static_cast<char>(x < w ? x * 8 : 0));
  }
  return b;
}

TEST(MediaCache, BmpMaskTakesItsColoursFromTheJpegBeside) {
  MediaStage s;
  std::filesystem::copy_file(std::string(QX_TEST_DATA_DIR) + "/resources/jpeg_baseline.jpg", s.folder + "/door_.jpg");
  s.Text("door.bmp", MaskBmp(32, 24));
  TQXIm* e = s.media.GetImage("door.bmp", false);
  ASSERT_NE(e->Image, nullptr);
  TBitmap jpeg;
  std::string error;
  ASSERT_TRUE(LoadPictureFile(s.folder + "/door_.jpg", jpeg, error));
  for (int x : {0, 5, 31}) {
    const uint32_t p = e->Image->GetPixel(x, 3, 0);
    EXPECT_EQ(p >> 24, static_cast<uint32_t>(x * 8)) << x;
    EXPECT_EQ(p & 0xFFFFFF, jpeg.Pixel(x, 3) & 0xFFFFFF) << x;
  }
  // And the other way round: door_1.jpg takes its alpha from door.bmp.
  std::filesystem::copy_file(s.folder + "/door_.jpg", s.folder + "/door_1.jpg");
  TQXIm* j = s.media.GetImage("door_1.jpg", false);
  ASSERT_NE(j->Image, nullptr);
  EXPECT_EQ(j->Image->GetPixel(10, 0, 0) >> 24, 80u);
}

TEST(MediaCache, LoadingProgressIsReportedWhileLoading) {
  MediaStage s;
  s.Png("a.png", 4, 4, Red);
  int progress = 0;
  s.media.OnLoadProgress = [&] { ++progress; };
  s.media.GetImage("a.png", false);
  EXPECT_EQ(progress, 0);
  Runtime().LoadingPhase = true;
  s.Png("b.png", 4, 4, Red);
  s.media.GetImage("b.png", false);
  EXPECT_EQ(progress, 1);
  s.media.OnLoadProgress = nullptr;
}

}  // namespace
}  // namespace qx
