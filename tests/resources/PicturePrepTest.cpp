#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "resources/GfxImage.h"
#include "resources/ImageDecoders.h"
#include "resources/PicturePrep.h"
#include "resources/PngWriter.h"
#include "resources/TestFiles.h"

namespace qx {
namespace {

using test::DataPath;
using test::ReadBytes;

TPictureFiles FilesOf(const std::string& name, std::vector<uint8_t> data) {
  TPictureFiles f;
  f.name = name;
  f.imageName = name;
  f.read = true;
  f.data = std::move(data);
  return f;
}

bool DecodeNoting(const std::string& name, const std::vector<uint8_t>& data, TBitmap& bitmap,
                  TPreparedPicture& out) {
  std::string error;
  if (DecodePicture(PictureFormatOf(name), data.data(), data.size(), bitmap, error)) return true;
  out.details.emplace_back("image", name + ": " + error);
  out.details.emplace_back("media", name + ": " + name + ": " + error);
  return false;
}

// What the media cache made of a picture before decoders wrote into the pages: a bitmap, the
// alpha of a JPEG's mask (its palette indices, 0 beyond it), then the general frame layout.
TPreparedPicture ThroughABitmap(const TPictureFiles& files) {
  TPreparedPicture out;
  TBitmap bitmap;
  if (!DecodeNoting(files.name, files.data, bitmap, out)) return out;
  TBitmap mask;
  if (!files.companions.empty() && DecodeNoting(files.companions[0].first, files.companions[0].second, mask, out) &&
      !mask.indices.empty()) {
    for (int y = 0; y < bitmap.height; ++y) {
      for (int x = 0; x < bitmap.width; ++x) {
        const uint32_t alpha = x < mask.width && y < mask.height ? mask.indices[static_cast<size_t>(y * mask.width + x)] : 0;
        uint32_t& p = bitmap.pixels[static_cast<size_t>(y * bitmap.width + x)];
        p = (p & 0xFFFFFFu) | alpha << 24;
      }
    }
  }
  out.decoded = true;
  out.frameWidth = bitmap.width;
  out.frameHeight = bitmap.height;
  out.frameCount = 1;
  TGfxImage layout(nullptr);
  layout.SetFrameLayout(bitmap.width, bitmap.height, 1);
  out.laidOut = layout.LayOutPages(bitmap, out.pages, out.layoutError);
  return out;
}

void ExpectSame(const TPreparedPicture& got, const TPreparedPicture& want) {
  EXPECT_EQ(got.decoded, want.decoded);
  EXPECT_EQ(got.laidOut, want.laidOut);
  EXPECT_EQ(got.details, want.details);
  EXPECT_EQ(got.frameWidth, want.frameWidth);
  EXPECT_EQ(got.frameHeight, want.frameHeight);
  EXPECT_EQ(got.frameCount, want.frameCount);
  ASSERT_EQ(got.pages.size(), want.pages.size());
  for (size_t i = 0; i < got.pages.size(); ++i) EXPECT_TRUE(got.pages[i] == want.pages[i]) << "page " << i;
}

std::vector<uint8_t> PngOf(int width, int height, uint32_t seed) {
  std::vector<uint32_t> px(static_cast<size_t>(width) * static_cast<size_t>(height));
  std::mt19937 rng(seed);
  for (uint32_t& p : px) p = static_cast<uint32_t>(rng());
  const std::string path = (std::filesystem::temp_directory_path() / "qx-prep-test.png").string();
  std::string error;
  EXPECT_TRUE(WritePngFile(path, px.data(), width, height, error)) << error;
  std::vector<uint8_t> data = ReadBytes(path);
  std::filesystem::remove(path);
  return data;
}

// Decoded straight into the texture page, every kind of PNG and JPEG gives the page, border
// and alpha the bitmap path gave; pictures too small for a cell of their own (one side under
// four pixels) still go through the general layout and give the same too.
TEST(PreparedPictures, PagesDecodedInPlaceEqualTheGeneralLayout) {
  std::vector<TPictureFiles> cases;
  for (const char* file : {"png_rgba8.png", "png_rgba16.png", "png_rgb8.png", "png_rgb16.png", "png_grey8.png",
                           "png_grey4.png", "png_greyalpha8.png", "png_palette8.png", "png_palette1.png",
                           "png_interlaced.png", "png_palette_trns.png", "jpeg_baseline.jpg", "jpeg_progressive.jpg",
                           "jpeg_grey.jpg", "jpeg_cmyk.jpg"}) {
    cases.push_back(FilesOf(file, ReadBytes(DataPath(file))));
  }
  for (const auto& [w, h] : {std::pair{1, 1}, {2, 3}, {3, 9}, {9, 3}, {4, 4}, {5, 7}, {64, 33}}) {
    cases.push_back(FilesOf("made.png", PngOf(w, h, static_cast<uint32_t>(w * 100 + h))));
  }
  for (const TPictureFiles& files : cases) {
    SCOPED_TRACE(files.name + " " + std::to_string(files.data.size()));
    const TPreparedPicture want = ThroughABitmap(files);
    ASSERT_TRUE(want.laidOut);
    ExpectSame(PreparePicture(files), want);
  }
}

// Cut short or damaged, a picture decoded in place fails with the lines the bitmap path
// printed, and whatever still decodes is laid out the same.
TEST(PreparedPictures, DamagedPicturesFailAsTheyAlwaysDid) {
  std::mt19937 rng(99);
  for (const char* file : {"png_rgb8.png", "png_interlaced.png", "png_palette_trns.png", "jpeg_baseline.jpg",
                           "jpeg_progressive.jpg", "jpeg_cmyk.jpg"}) {
    SCOPED_TRACE(file);
    const std::vector<uint8_t> original = ReadBytes(DataPath(file));
    for (size_t cut = 0; cut < original.size(); cut += 7) {
      const TPictureFiles files = FilesOf(file, {original.begin(), original.begin() + static_cast<ptrdiff_t>(cut)});
      ExpectSame(PreparePicture(files), ThroughABitmap(files));
    }
    for (int round = 0; round < 60; ++round) {
      TPictureFiles files = FilesOf(file, original);
      for (int e = 0; e < 3; ++e) files.data[rng() % files.data.size()] = static_cast<uint8_t>(rng());
      ExpectSame(PreparePicture(files), ThroughABitmap(files));
    }
  }
}

// A JPEG with its 8-bit mask decodes into the page and takes the mask's alpha there; a mask
// that does not decode, or has no palette, leaves the picture as it is, with the same lines.
TEST(PreparedPictures, MaskedJpegsDecodedInPlaceTakeTheirMasksAlpha) {
  const std::vector<uint8_t> jpeg = ReadBytes(DataPath("jpeg_baseline.jpg"));
  std::vector<uint8_t> cutMask = ReadBytes(DataPath("bmp_8.bmp"));
  cutMask.resize(cutMask.size() / 2);
  const std::vector<std::vector<uint8_t>> masks = {ReadBytes(DataPath("bmp_8.bmp")), ReadBytes(DataPath("bmp_4.bmp")),
                                                   ReadBytes(DataPath("bmp_24.bmp")), cutMask, {}};
  for (size_t i = 0; i < masks.size(); ++i) {
    SCOPED_TRACE("mask " + std::to_string(i));
    TPictureFiles files = FilesOf("room\\door_a.jpg", jpeg);
    files.companions.emplace_back("room\\door.bmp", masks[i]);
    const TPreparedPicture want = ThroughABitmap(files);
    ExpectSame(PreparePicture(files), want);
    ASSERT_TRUE(want.laidOut);
    const uint32_t beyondTheMask = want.pages[0][20] >> 24;  // row 0, column 20: the mask is 13 wide
    EXPECT_EQ(beyondTheMask, i < 2 ? 0u : 255u);
  }
}

// A sink may place the rows further apart than the picture is wide: the decoder writes every
// row at its pitch and nothing between them. A sink that refuses fails the decode cleanly.
class GappedSink final : public TPixelSink {
 public:
  static constexpr uint32_t kGuard = 0x12345678u;
  static constexpr size_t kGap = 5;
  uint32_t* Place(int width, int height, size_t& pitch) override {
    if (refuse) return nullptr;
    pitch = static_cast<size_t>(width) + kGap;
    pixels.assign(pitch * static_cast<size_t>(height), kGuard);
    return pixels.data();
  }
  bool refuse = false;
  std::vector<uint32_t> pixels;
};

TEST(Decoders, WriteIntoASinkAtItsPitch) {
  for (const char* file : {"png_rgba8.png", "png_palette_trns.png", "png_interlaced.png", "jpeg_baseline.jpg",
                           "jpeg_cmyk.jpg"}) {
    SCOPED_TRACE(file);
    const std::vector<uint8_t> data = ReadBytes(DataPath(file));
    TBitmap plain, info;
    std::string error;
    ASSERT_TRUE(DecodePicture(PictureFormatOf(file), data.data(), data.size(), plain, error)) << error;
    GappedSink sink;
    ASSERT_TRUE(DecodePictureInto(PictureFormatOf(file), data.data(), data.size(), sink, info, error)) << error;
    EXPECT_EQ(info.width, plain.width);
    EXPECT_EQ(info.height, plain.height);
    EXPECT_EQ(info.hasAlpha, plain.hasAlpha);
    EXPECT_EQ(info.bitsPerPixel, plain.bitsPerPixel);
    EXPECT_TRUE(info.pixels.empty());
    const size_t pitch = static_cast<size_t>(plain.width) + GappedSink::kGap;
    for (int y = 0; y < plain.height; ++y) {
      for (int x = 0; x < plain.width; ++x) {
        ASSERT_EQ(sink.pixels[static_cast<size_t>(y) * pitch + static_cast<size_t>(x)], plain.Pixel(x, y));
      }
      for (size_t x = static_cast<size_t>(plain.width); x < pitch; ++x) {
        ASSERT_EQ(sink.pixels[static_cast<size_t>(y) * pitch + x], GappedSink::kGuard);
      }
    }
    GappedSink refusing;
    refusing.refuse = true;
    error.clear();
    EXPECT_FALSE(DecodePictureInto(PictureFormatOf(file), data.data(), data.size(), refusing, info, error));
    EXPECT_NE(error.find("no room for the pixels"), std::string::npos) << error;
    EXPECT_TRUE(info.Empty());
  }
  GappedSink sink;
  TBitmap info;
  std::string error;
  const std::vector<uint8_t> bmp = ReadBytes(DataPath("bmp_24.bmp"));
  EXPECT_FALSE(DecodesIntoSink(TPictureFormat::Bmp));
  EXPECT_FALSE(DecodePictureInto(TPictureFormat::Bmp, bmp.data(), bmp.size(), sink, info, error));
  EXPECT_EQ(error, "bmp: this format decodes only into a bitmap");
}

// A frame smaller than its cell sits centred; the page filled around it in place equals the
// general layout's, opaque when the image's alpha level says so.
TEST(PreparedPictures, AFramePageFilledInPlaceMatchesLayOutPages) {
  std::mt19937 rng(7);
  for (const TAlphaLevel alpha : {TAlphaLevel::alFull, TAlphaLevel::alNone}) {
    for (const auto& [pw, ph, vw, vh] : {std::array{10, 8, 6, 4}, {9, 9, 9, 5}, {7, 12, 4, 12}, {6, 6, 6, 6}}) {
      SCOPED_TRACE(std::to_string(pw) + "x" + std::to_string(ph) + " " + std::to_string(vw) + "x" + std::to_string(vh));
      TGfxImage layout(nullptr);
      layout.SetAlphaLevel(alpha);
      layout.SetPatternSize(pw, ph);
      layout.SetVisibleSize(vw, vh);
      layout.SetTextureSize(pw + 1, ph + 3);
      layout.SetPatternCount(1);
      ASSERT_TRUE(layout.TakesFrameDirectly());
      TBitmap bitmap;
      bitmap.width = vw;
      bitmap.height = vh;
      for (int i = 0; i < vw * vh; ++i) bitmap.pixels.push_back(static_cast<uint32_t>(rng()));
      std::vector<std::vector<uint32_t>> want;
      std::string error;
      ASSERT_TRUE(layout.LayOutPages(bitmap, want, error)) << error;
      std::vector<uint32_t> page(3, 0xDEADBEEFu);
      size_t first = 0, pitch = 0;
      layout.StartFramePage(page, first, pitch);
      ASSERT_EQ(page.size(), want[0].size());
      for (int y = 0; y < vh; ++y) {
        std::copy_n(bitmap.pixels.data() + y * vw, vw, page.data() + first + static_cast<size_t>(y) * pitch);
      }
      layout.FinishFramePage(page);
      EXPECT_TRUE(page == want[0]);
    }
  }
  // Several frames, or cells several to a page, are for the general layout only.
  TGfxImage frames(nullptr);
  frames.SetFrameLayout(8, 8, 2);
  EXPECT_FALSE(frames.TakesFrameDirectly());
  TGfxImage tiny(nullptr);
  tiny.SetFrameLayout(2, 8, 1);
  EXPECT_FALSE(tiny.TakesFrameDirectly());
}

}  // namespace
}  // namespace qx
