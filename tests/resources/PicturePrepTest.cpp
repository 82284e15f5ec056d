#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "resources/FrameLayout.h"
#include "resources/GfxImage.h"
#include "resources/ImageDecoders.h"
#include "resources/PicturePrep.h"
#include "resources/PngWriter.h"
#include "resources/TestFiles.h"

namespace qx {
namespace {

using test::DataPath;
using test::ReadBytes;

TPictureFiles FilesOf(const std::string& name, std::vector<uint8_t> data, const std::string& grid = "") {
  TPictureFiles f;
  f.name = name;
  f.imageName = name;
  f.read = true;
  f.data = std::move(data);
  f.hasLayout = !grid.empty();
  f.layout.assign(grid.begin(), grid.end());
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
// alpha of a JPEG's mask (its palette indices, 0 beyond it), then the general layout of the
// frames its ".an" grid gives.
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
  const TFrameGrid grid = ClampFrameGrid(
      ParseFrameLayout(std::string_view(reinterpret_cast<const char*>(files.layout.data()), files.layout.size())),
      bitmap.width, bitmap.height);
  out.frameWidth = bitmap.width / grid.columns;
  out.frameHeight = bitmap.height / grid.rows;
  out.frameCount = grid.columns * grid.rows;
  TGfxImage layout(nullptr);
  layout.SetFrameLayout(out.frameWidth, out.frameHeight, out.frameCount);
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
  // Frame grids: frames a page of their own, taken as many a row as the width holds (24 / 4 = 6
  // for a grid of 5 columns), rows past the last frame dropped; frames too small for a page of
  // their own, and interlaced pictures, take the general layout.
  const std::vector<uint8_t> wide = PngOf(64, 33, 5), odd = PngOf(24, 9, 6);
  for (const char* grid : {"3\n2\n", "4\n1\n", "5\n3\n", "1\n4\n", "64\n1\n", "99\n99\n"}) {
    cases.push_back(FilesOf("grid.png", wide, grid));
  }
  cases.push_back(FilesOf("odd.png", odd, "5\n2\n"));
  cases.push_back(FilesOf("png_interlaced.png", ReadBytes(DataPath("png_interlaced.png")), "3\n1\n"));
  cases.push_back(FilesOf("jpeg_baseline.jpg", ReadBytes(DataPath("jpeg_baseline.jpg")), "4\n3\n"));
  cases.push_back(FilesOf("jpeg_cmyk.jpg", ReadBytes(DataPath("jpeg_cmyk.jpg")), "2\n2\n"));
  cases.push_back(FilesOf("jpeg_progressive.jpg", ReadBytes(DataPath("jpeg_progressive.jpg")), "3\n5\n"));
  for (const TPictureFiles& files : cases) {
    SCOPED_TRACE(files.name + " " + std::to_string(files.data.size()) + " grid " +
                 std::string(files.layout.begin(), files.layout.end()));
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
      for (const char* grid : {"", "3\n2\n"}) {
        const TPictureFiles files =
            FilesOf(file, {original.begin(), original.begin() + static_cast<ptrdiff_t>(cut)}, grid);
        ExpectSame(PreparePicture(files), ThroughABitmap(files));
      }
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
    TPictureFiles frames = files;  // with a frame grid too
    frames.hasLayout = true;
    frames.layout = {'2', '\n', '2'};
    ExpectSame(PreparePicture(frames), ThroughABitmap(frames));
    ASSERT_TRUE(want.laidOut);
    const uint32_t beyondTheMask = want.pages[0][20] >> 24;  // row 0, column 20: the mask is 13 wide
    EXPECT_EQ(beyondTheMask, i < 2 ? 0u : 255u);
  }
}

// A sink may place the rows further apart than the picture is wide: the decoder writes every
// row at its pitch and nothing between them. A sink may take the rows one at a time where
// the decoder delivers them in order (not an interlaced PNG). A sink that refuses fails the
// decode cleanly.
class GappedSink final : public TPixelSink {
 public:
  static constexpr uint32_t kGuard = 0x12345678u;
  static constexpr size_t kGap = 5;
  uint32_t* Place(int width, int height, bool rowsInOrder, size_t& pitch) override {
    inOrder = rowsInOrder;
    if (refuse) return nullptr;
    pitch = static_cast<size_t>(width) + kGap;
    pixels.assign(pitch * static_cast<size_t>(height), kGuard);
    if (rowByRow && rowsInOrder) {
      row.assign(static_cast<size_t>(width), kGuard);
      pitch = 0;
      return row.data();
    }
    return pixels.data();
  }
  void RowWritten(int y) override {
    rowsSeen.push_back(y);
    std::copy(row.begin(), row.end(), pixels.begin() + static_cast<ptrdiff_t>(static_cast<size_t>(y) * (row.size() + kGap)));
  }
  bool refuse = false, rowByRow = false, inOrder = false;
  std::vector<uint32_t> pixels, row;
  std::vector<int> rowsSeen;
};

TEST(Decoders, WriteIntoASinkAtItsPitchOrRowByRow) {
  for (const char* file : {"png_rgba8.png", "png_palette_trns.png", "png_interlaced.png", "jpeg_baseline.jpg",
                           "jpeg_cmyk.jpg"}) {
    for (const bool rowByRow : {false, true}) {
      SCOPED_TRACE(std::string(file) + (rowByRow ? " row by row" : ""));
      const std::vector<uint8_t> data = ReadBytes(DataPath(file));
      TBitmap plain, info;
      std::string error;
      ASSERT_TRUE(DecodePicture(PictureFormatOf(file), data.data(), data.size(), plain, error)) << error;
      GappedSink sink;
      sink.rowByRow = rowByRow;
      ASSERT_TRUE(DecodePictureInto(PictureFormatOf(file), data.data(), data.size(), sink, info, error)) << error;
      EXPECT_EQ(sink.inOrder, std::string(file) != "png_interlaced.png");
      std::vector<int> expectedRows;
      for (int y = 0; rowByRow && sink.inOrder && y < plain.height; ++y) expectedRows.push_back(y);
      EXPECT_EQ(sink.rowsSeen, expectedRows);
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
    }
    const std::vector<uint8_t> data = ReadBytes(DataPath(file));
    GappedSink refusing;
    refusing.refuse = true;
    TBitmap info;
    std::string error;
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

// A frame smaller than its cell sits centred; pages filled in place, whether the frame is
// written whole or row by row from a picture of several, equal the general layout's, opaque
// when the image's alpha level says so.
TEST(PreparedPictures, FramePagesFilledInPlaceMatchLayOutPages) {
  std::mt19937 rng(7);
  for (const TAlphaLevel alpha : {TAlphaLevel::alFull, TAlphaLevel::alNone}) {
    for (const auto& [pw, ph, vw, vh] : {std::array{10, 8, 6, 4}, {9, 9, 9, 5}, {7, 12, 4, 12}, {6, 6, 6, 6}}) {
      for (const auto& [width, height, count] : {std::array{vw, vh, 1}, {vw * 3 + 1, vh * 2 + 2, 6}, {vw * 3, vh * 2, 4}}) {
        SCOPED_TRACE(std::to_string(pw) + "x" + std::to_string(ph) + " " + std::to_string(vw) + "x" +
                     std::to_string(vh) + ", " + std::to_string(count) + " of " + std::to_string(width) + "x" +
                     std::to_string(height));
        TGfxImage layout(nullptr);
        layout.SetAlphaLevel(alpha);
        layout.SetPatternSize(pw, ph);
        layout.SetVisibleSize(vw, vh);
        layout.SetTextureSize(pw + 1, ph + 3);
        layout.SetPatternCount(count);
        ASSERT_TRUE(layout.TakesFramesDirectly());
        TBitmap bitmap;
        bitmap.width = width;
        bitmap.height = height;
        for (int i = 0; i < width * height; ++i) bitmap.pixels.push_back(static_cast<uint32_t>(rng()));
        std::vector<std::vector<uint32_t>> want;
        std::string error;
        ASSERT_TRUE(layout.LayOutPages(bitmap, want, error)) << error;
        std::vector<std::vector<uint32_t>> pages(9, std::vector<uint32_t>(3, 0xDEADBEEFu));
        size_t first = 0, pitch = 0;
        layout.StartFramePages(pages, first, pitch);
        ASSERT_EQ(pages.size(), want.size());
        ASSERT_EQ(pages[0].size(), want[0].size());
        for (int y = 0; y < height; ++y) {
          const uint32_t* row = bitmap.pixels.data() + y * width;
          if (count == 1) {
            std::copy_n(row, vw, pages[0].data() + first + static_cast<size_t>(y) * pitch);
          } else {
            layout.PutPictureRow(pages, y, row, width, height);
          }
        }
        layout.FinishFramePages(pages);
        EXPECT_TRUE(pages == want);
      }
    }
  }
  // Cells several to a page are for the general layout only.
  TGfxImage tiny(nullptr);
  tiny.SetFrameLayout(2, 8, 1);
  EXPECT_FALSE(tiny.TakesFramesDirectly());
}

}  // namespace
}  // namespace qx
