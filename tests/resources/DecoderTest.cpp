#include <gtest/gtest.h>
#include <zlib.h>

#include <fstream>
#include <random>
#include <sstream>

#include "resources/ImageDecoders.h"
#include "resources/TestFiles.h"

namespace qx {
namespace {

using test::DataPath;
using test::ReadBytes;

struct Fixture {
  std::string file;
  int width = 0, height = 0, tolerance = 0;
};

std::vector<Fixture> Fixtures() {
  std::ifstream in(DataPath("pictures.txt"));
  std::vector<Fixture> out;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream s(line);
    Fixture f;
    s >> f.file >> f.width >> f.height >> f.tolerance;
    out.push_back(f);
  }
  return out;
}

bool Decode(const std::vector<uint8_t>& data, const std::string& name, TBitmap& bitmap) {
  std::string error;
  return DecodePicture(PictureFormatOf(name), data.data(), data.size(), bitmap, error);
}

// Every picture made by ImageMagick or by the fixture script's own writers decodes to the
// pixels its maker reads back: exactly for lossless formats, within a small tolerance for JPEG.
TEST(Decoders, MatchTheirMakers) {
  const std::vector<Fixture> fixtures = Fixtures();
  ASSERT_GE(fixtures.size(), 30u);
  for (const Fixture& f : fixtures) {
    SCOPED_TRACE(f.file);
    TBitmap bitmap;
    std::string error;
    ASSERT_TRUE(LoadPictureFile(DataPath(f.file), bitmap, error)) << error;
    ASSERT_EQ(bitmap.width, f.width);
    ASSERT_EQ(bitmap.height, f.height);
    const std::vector<uint8_t> expected = ReadBytes(DataPath(f.file + ".rgba"));
    ASSERT_EQ(expected.size(), bitmap.pixels.size() * 4);
    int worst = 0;
    size_t worstAt = 0;
    for (size_t i = 0; i < bitmap.pixels.size(); ++i) {
      const uint32_t p = bitmap.pixels[i];
      const int got[4] = {int(p >> 16 & 0xFF), int(p >> 8 & 0xFF), int(p & 0xFF), int(p >> 24)};
      for (int c = 0; c < 4; ++c) {
        const int d = std::abs(got[c] - expected[i * 4 + static_cast<size_t>(c)]);
        if (d > worst) {
          worst = d;
          worstAt = i;
        }
      }
    }
    EXPECT_LE(worst, f.tolerance) << "pixel " << worstAt % bitmap.width << "," << worstAt / bitmap.width;
  }
}

TEST(Decoders, AlphaOnlyWhereThePictureHasIt) {
  struct Case {
    const char* file;
    bool alpha;
  } cases[] = {{"png_rgba8.png", true},      {"png_greyalpha8.png", true}, {"png_rgb8.png", false},
               {"png_palette_trns.png", false}, {"jpeg_baseline.jpg", false}, {"tga_32.tga", true},
               {"tga_24.tga", false},        {"bmp_32_alpha.bmp", true},   {"bmp_32_zero_x.bmp", false},
               {"bmp_8.bmp", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    TBitmap bitmap;
    ASSERT_TRUE(Decode(ReadBytes(DataPath(c.file)), c.file, bitmap));
    EXPECT_EQ(bitmap.hasAlpha, c.alpha);
    if (!c.alpha) {
      for (uint32_t p : bitmap.pixels) ASSERT_EQ(p >> 24, 0xFFu);
    }
  }
}

// The media cache builds alpha from an 8-bit BMP's palette indices.
TEST(Decoders, PaletteBmpKeepsItsIndices) {
  for (const char* file : {"bmp_8.bmp", "bmp_4.bmp", "bmp_rle8_delta.bmp"}) {
    SCOPED_TRACE(file);
    TBitmap bitmap;
    ASSERT_TRUE(Decode(ReadBytes(DataPath(file)), file, bitmap));
    ASSERT_EQ(bitmap.indices.size(), bitmap.pixels.size());
    EXPECT_LE(bitmap.bitsPerPixel, 8);
  }
  TBitmap rle;
  ASSERT_TRUE(Decode(ReadBytes(DataPath("bmp_rle8_delta.bmp")), "x.bmp", rle));
  EXPECT_EQ(rle.indices[0 * 10 + 5], 11);  // placed after the delta
  EXPECT_EQ(rle.indices[3 * 10 + 9], 5);   // last pixel of the bottom row
  TBitmap truecolor;
  ASSERT_TRUE(Decode(ReadBytes(DataPath("bmp_24.bmp")), "x.bmp", truecolor));
  EXPECT_TRUE(truecolor.indices.empty());
}

TEST(Decoders, ExtensionChoosesTheDecoder) {
  EXPECT_EQ(PictureFormatOf("A.PNG"), TPictureFormat::Png);
  EXPECT_EQ(PictureFormatOf("a.Jpeg"), TPictureFormat::Jpeg);
  EXPECT_EQ(PictureFormatOf("a.jpg"), TPictureFormat::Jpeg);
  EXPECT_EQ(PictureFormatOf("images\\a.TGA"), TPictureFormat::Tga);
  EXPECT_EQ(PictureFormatOf("a.bmp"), TPictureFormat::Bmp);
  EXPECT_EQ(PictureFormatOf("a.dib"), TPictureFormat::Bmp);
  // A PNG under a ".jpg" name goes to the JPEG decoder and fails cleanly.
  TBitmap bitmap;
  std::string error;
  const auto png = ReadBytes(DataPath("png_rgb8.png"));
  EXPECT_FALSE(LoadPictureFromMemory("x.jpg", png.data(), png.size(), bitmap, error));
  EXPECT_NE(error.find("jpeg"), std::string::npos) << error;
  EXPECT_TRUE(bitmap.pixels.empty());
}

void Put16(std::vector<uint8_t>& d, size_t at, uint16_t v) {
  d[at] = static_cast<uint8_t>(v);
  d[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(std::vector<uint8_t>& d, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) d[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

TEST(Decoders, RefusePicturesBeyondTheSizeLimit) {
  TBitmap bitmap;
  std::string error;
  // TGA: 65535 x 65535 claims 16 GiB of pixels.
  auto tga = ReadBytes(DataPath("tga_24.tga"));
  Put16(tga, 12, 65535);
  Put16(tga, 14, 65535);
  EXPECT_FALSE(DecodeTga(tga.data(), tga.size(), bitmap, error));
  // BMP: a width past the side limit, and a negative (top-down) height past it.
  auto bmp = ReadBytes(DataPath("bmp_24.bmp"));
  Put32(bmp, 18, kMaxImageSide + 1);
  EXPECT_FALSE(DecodeBmp(bmp.data(), bmp.size(), bitmap, error));
  bmp = ReadBytes(DataPath("bmp_24.bmp"));
  Put32(bmp, 22, static_cast<uint32_t>(-2000000000));
  EXPECT_FALSE(DecodeBmp(bmp.data(), bmp.size(), bitmap, error));
  Put32(bmp, 22, 0x80000000u);  // the most negative height cannot be negated in 32 bits
  EXPECT_FALSE(DecodeBmp(bmp.data(), bmp.size(), bitmap, error));
  // PNG: 20000 x 20000 in the header (the CRC is not what stops it).
  auto png = ReadBytes(DataPath("png_rgb8.png"));
  png[16] = 0, png[17] = 0, png[18] = 0x4E, png[19] = 0x20;
  png[20] = 0, png[21] = 0, png[22] = 0x4E, png[23] = 0x20;
  EXPECT_FALSE(DecodePng(png.data(), png.size(), bitmap, error));
  // JPEG: 60000 x 60000 in the frame header.
  auto jpeg = ReadBytes(DataPath("jpeg_baseline.jpg"));
  for (size_t i = 2; i + 9 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
      jpeg[i + 5] = 0xEA, jpeg[i + 6] = 0x60, jpeg[i + 7] = 0xEA, jpeg[i + 8] = 0x60;
      break;
    }
  }
  EXPECT_FALSE(DecodeJpeg(jpeg.data(), jpeg.size(), bitmap, error));
  EXPECT_NE(error.find("limit"), std::string::npos) << error;
  EXPECT_TRUE(bitmap.pixels.empty());
}

// PNG chunks are bounded by the file: a text chunk claiming 2 GB in a small file is refused
// before anything is allocated for it (the fuzzing regression text_chunk_claims_2gib.png
// checks the allocation), while an honest text chunk of a few megabytes still reads.
TEST(Decoders, PngChunksAreBoundedByTheFile) {
  const std::vector<uint8_t> base = ReadBytes(DataPath("png_rgb8.png"));
  const auto withText = [&](uint32_t claimed, size_t present) {
    std::vector<uint8_t> chunk = {uint8_t(claimed >> 24), uint8_t(claimed >> 16), uint8_t(claimed >> 8),
                                  uint8_t(claimed), 't', 'E', 'X', 't', 'C', 0};
    chunk.resize(chunk.size() + present - 2, 'a');
    const uLong crc = crc32(0, chunk.data() + 4, static_cast<uInt>(chunk.size() - 4));
    for (int shift : {24, 16, 8, 0}) chunk.push_back(static_cast<uint8_t>(crc >> shift));
    std::vector<uint8_t> out = base;
    out.insert(out.begin() + 33, chunk.begin(), chunk.end());  // after the signature and IHDR
    return out;
  };
  TBitmap expected, bitmap;
  std::string error;
  ASSERT_TRUE(DecodePng(base.data(), base.size(), expected, error)) << error;
  const std::vector<uint8_t> honest = withText(3u << 20, 3u << 20);
  ASSERT_TRUE(DecodePng(honest.data(), honest.size(), bitmap, error)) << error;
  EXPECT_EQ(bitmap.pixels, expected.pixels);
  const std::vector<uint8_t> liar = withText(0x7FFFFF00u, 64);
  EXPECT_FALSE(DecodePng(liar.data(), liar.size(), bitmap, error));
  EXPECT_FALSE(error.empty());
}

TEST(Decoders, RefuseVariantsTheyDoNotRead) {
  TBitmap bitmap;
  std::string error;
  auto tga = ReadBytes(DataPath("tga_24.tga"));
  tga[2] = 3;  // grey
  EXPECT_FALSE(DecodeTga(tga.data(), tga.size(), bitmap, error));
  tga[2] = 2;
  tga[1] = 1;  // colour map
  EXPECT_FALSE(DecodeTga(tga.data(), tga.size(), bitmap, error));
  tga[1] = 0;
  tga[16] = 16;
  EXPECT_FALSE(DecodeTga(tga.data(), tga.size(), bitmap, error));
  auto bmp = ReadBytes(DataPath("bmp_24.bmp"));
  Put32(bmp, 30, 4);  // embedded JPEG
  EXPECT_FALSE(DecodeBmp(bmp.data(), bmp.size(), bitmap, error));
  EXPECT_FALSE(DecodeBmp(nullptr, 0, bitmap, error));
  EXPECT_FALSE(DecodePng(nullptr, 0, bitmap, error));
  EXPECT_FALSE(DecodeJpeg(nullptr, 0, bitmap, error));
  EXPECT_FALSE(DecodeTga(nullptr, 0, bitmap, error));
}

// Cut anywhere in the header or pixels, every decoder answers false; cut only in trailing
// chunks it may still succeed, with a complete picture.
TEST(Decoders, TruncatedFilesFailCleanly) {
  for (const Fixture& f : Fixtures()) {
    SCOPED_TRACE(f.file);
    const std::vector<uint8_t> data = ReadBytes(DataPath(f.file));
    for (size_t cut = 0; cut < data.size(); ++cut) {
      const std::vector<uint8_t> part(data.begin(), data.begin() + static_cast<ptrdiff_t>(cut));
      TBitmap bitmap;
      const bool ok = Decode(part, f.file, bitmap);
      if (cut < data.size() / 2) {
        ASSERT_FALSE(ok) << "cut at " << cut;
      }
      if (ok) {
        ASSERT_EQ(bitmap.width, f.width);
        ASSERT_EQ(bitmap.pixels.size(), static_cast<size_t>(f.width) * f.height);
      } else {
        ASSERT_TRUE(bitmap.pixels.empty());
      }
    }
  }
}

// Random damage never crashes or reads out of bounds (run under the sanitizer build too);
// whatever decodes is a whole, size-limited picture.
TEST(Decoders, SurviveRandomDamage) {
  std::mt19937 rng(1234);
  for (const Fixture& f : Fixtures()) {
    SCOPED_TRACE(f.file);
    const std::vector<uint8_t> original = ReadBytes(DataPath(f.file));
    for (int round = 0; round < 150; ++round) {
      std::vector<uint8_t> data = original;
      const int edits = 1 + static_cast<int>(rng() % 6);
      for (int e = 0; e < edits; ++e) {
        const size_t at = rng() % data.size();
        switch (rng() % 3) {
          case 0: data[at] = static_cast<uint8_t>(rng()); break;
          case 1: data[at] ^= static_cast<uint8_t>(1u << (rng() % 8)); break;
          default: data[at] = (rng() & 1) ? 0xFF : 0x00; break;
        }
      }
      TBitmap bitmap;
      if (Decode(data, f.file, bitmap)) {
        ASSERT_TRUE(ImageSizeAllowed(bitmap.width, bitmap.height));
        ASSERT_EQ(bitmap.pixels.size(), static_cast<size_t>(bitmap.width) * bitmap.height);
      }
    }
  }
}

}  // namespace
}  // namespace qx
