// qxtool font build: renders the code page 1251 characters of a TrueType/OpenType font with
// FreeType into a bitmap font record (the glyph image in the image stream format).
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "Command.h"
#include "base/CodePage.h"
#include "base/OptionNumber.h"
#include "base/SafeFile.h"

namespace qxtool {
namespace {

namespace fs = std::filesystem;

struct Options {
  std::string font;
  int size = 0;
  int first = 32;
  int last = 255;
  // As typed: read in Build, so that a bad number gets a message a person understands.
  std::string sizeText, firstText = "32", lastText = "255";
  std::string name;
  std::string output;
};

// Texture pages are kept within this many pixels a side.
constexpr int kMaxPageSide = 1024;
constexpr uint8_t kFormatA8 = 10;  // white with the stored alpha

struct Glyph {
  bool present = false;
  int left = 0, top = 0;  // of the bitmap, from the pen on the baseline (top upward)
  int width = 0, rows = 0;
  int advance = 0;
  std::vector<uint8_t> alpha;  // width x rows
};

struct FtLibrary {
  FT_Library lib = nullptr;
  ~FtLibrary() {
    if (lib) FT_Done_FreeType(lib);
  }
};

struct FtFace {
  FT_Face face = nullptr;
  ~FtFace() {
    if (face) FT_Done_Face(face);
  }
};

// The rendered glyph of the face's current slot, as 8-bit coverage.
bool CopyBitmap(const FT_GlyphSlot slot, Glyph& g) {
  const FT_Bitmap& b = slot->bitmap;
  if (b.pixel_mode != FT_PIXEL_MODE_GRAY && b.pixel_mode != FT_PIXEL_MODE_MONO) return false;
  g.left = slot->bitmap_left;
  g.top = slot->bitmap_top;
  g.width = static_cast<int>(b.width);
  g.rows = static_cast<int>(b.rows);
  g.alpha.assign(static_cast<size_t>(g.width) * static_cast<size_t>(g.rows), 0);
  for (int y = 0; y < g.rows; ++y) {
    // A negative pitch means the rows are stored bottom-up.
    const unsigned char* row = b.pitch >= 0 ? b.buffer + static_cast<ptrdiff_t>(y) * b.pitch
                                            : b.buffer + static_cast<ptrdiff_t>(g.rows - 1 - y) * -b.pitch;
    for (int x = 0; x < g.width; ++x) {
      uint8_t a;
      if (b.pixel_mode == FT_PIXEL_MODE_MONO) {
        a = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
      } else {
        a = b.num_grays == 256 ? row[x] : static_cast<uint8_t>(row[x] * 255 / std::max(1, b.num_grays - 1));
      }
      g.alpha[static_cast<size_t>(y) * static_cast<size_t>(g.width) + static_cast<size_t>(x)] = a;
    }
  }
  return true;
}

void PutI32(std::vector<uint8_t>& out, int32_t v) {
  const auto u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(u >> (8 * i)));
}

std::string DefaultName(const Options& o) {
  return fs::path(o.font).stem().string() + "-" + std::to_string(o.size);
}

void Build(Options& o) {
  for (const std::string& problem : {qx::ReadOptionNumber("--size", o.sizeText, 1, 256, o.size),
                                     qx::ReadOptionNumber("--first", o.firstText, 0, 255, o.first),
                                     qx::ReadOptionNumber("--last", o.lastText, 0, 255, o.last)}) {
    if (!problem.empty()) return Fail(problem, 2);
  }
  if (o.first > o.last) return Fail("--first must not be above --last", 2);
  const std::string name = o.name.empty() ? DefaultName(o) : o.name;
  const std::string output = o.output.empty() ? name + ".fnt" : o.output;

  FtLibrary ft;
  if (FT_Init_FreeType(&ft.lib) != 0) return Fail("cannot start FreeType");
  FtFace f;
  if (FT_New_Face(ft.lib, o.font.c_str(), 0, &f.face) != 0) return Fail("cannot read " + o.font + " as a font");
  if (FT_Select_Charmap(f.face, FT_ENCODING_UNICODE) != 0) return Fail(o.font + " has no Unicode character map");
  if (FT_Set_Pixel_Sizes(f.face, 0, static_cast<FT_UInt>(o.size)) != 0) {
    return Fail(o.font + " cannot be drawn " + std::to_string(o.size) + " pixels high");
  }

  const int count = o.last - o.first + 1;
  std::vector<Glyph> glyphs(static_cast<size_t>(count));
  int missing = 0;
  for (int i = 0; i < count; ++i) {
    Glyph& g = glyphs[static_cast<size_t>(i)];
    const uint32_t cp = qx::Cp1251ToUnicode(static_cast<uint8_t>(o.first + i));
    const FT_UInt index = FT_Get_Char_Index(f.face, cp);
    // Characters the face lacks (control codes among them) get an empty frame and no advance.
    if (index == 0 || FT_Load_Glyph(f.face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL) != 0 ||
        !CopyBitmap(f.face->glyph, g)) {
      ++missing;
      continue;
    }
    g.present = true;
    g.advance = static_cast<int>((f.face->glyph->advance.x + 32) >> 6);
  }

  // One frame size for all: the face's line height, widened to every glyph's ink, with the
  // pen at `originX` so that glyphs reaching left of the pen still fit.
  const FT_Size_Metrics& m = f.face->size->metrics;
  int ascent = static_cast<int>((m.ascender + 63) >> 6);
  int descent = static_cast<int>((-m.descender + 63) >> 6);
  int originX = 0;
  for (const Glyph& g : glyphs) {
    if (!g.present || g.width == 0) continue;
    ascent = std::max(ascent, g.top);
    descent = std::max(descent, g.rows - g.top);
    originX = std::max(originX, -g.left);
  }
  int frameWidth = 1;
  for (const Glyph& g : glyphs) {
    if (!g.present) continue;
    frameWidth = std::max({frameWidth, originX + g.left + g.width, originX + g.advance});
  }
  const int frameHeight = std::max(1, ascent + descent);
  // A transparent border around each frame keeps filtered (scaled) glyphs clean.
  const int cellWidth = frameWidth + 2, cellHeight = frameHeight + 2;
  if (cellWidth > kMaxPageSide || cellHeight > kMaxPageSide) return Fail("the glyphs are too large for a texture page");
  const int columns = std::min(count, kMaxPageSide / cellWidth);
  const int rowsNeeded = (count + columns - 1) / columns;
  const int rowsPerPage = std::min(rowsNeeded, kMaxPageSide / cellHeight);
  const int perPage = columns * rowsPerPage;
  const int pages = (count + perPage - 1) / perPage;
  const int textureWidth = columns * cellWidth, textureHeight = rowsPerPage * cellHeight;

  std::vector<uint8_t> record;
  PutI32(record, o.first);
  PutI32(record, 0);  // extra advance
  PutI32(record, 0);
  PutI32(record, count);
  for (const Glyph& g : glyphs) {
    PutI32(record, g.advance);
    PutI32(record, frameHeight);
  }
  record.push_back(kFormatA8);
  for (int32_t v : {cellWidth, cellHeight, frameWidth, frameHeight, count, textureWidth, textureHeight, pages}) {
    PutI32(record, v);
  }
  const size_t pageBytes = static_cast<size_t>(textureWidth) * static_cast<size_t>(textureHeight);
  const size_t pixelsAt = record.size();
  record.resize(pixelsAt + pageBytes * static_cast<size_t>(pages), 0);
  for (int i = 0; i < count; ++i) {
    const Glyph& g = glyphs[static_cast<size_t>(i)];
    if (!g.present) continue;
    const int page = i / perPage, within = i % perPage;
    const int cellX = (within % columns) * cellWidth + 1, cellY = (within / columns) * cellHeight + 1;
    uint8_t* base = record.data() + pixelsAt + pageBytes * static_cast<size_t>(page);
    for (int y = 0; y < g.rows; ++y) {
      const int fy = ascent - g.top + y;
      if (fy < 0 || fy >= frameHeight) continue;
      for (int x = 0; x < g.width; ++x) {
        const int fx = originX + g.left + x;
        if (fx < 0 || fx >= frameWidth) continue;
        base[static_cast<size_t>(cellY + fy) * static_cast<size_t>(textureWidth) + static_cast<size_t>(cellX + fx)] =
            g.alpha[static_cast<size_t>(y) * static_cast<size_t>(g.width) + static_cast<size_t>(x)];
      }
    }
  }

  std::string error;
  if (!qx::WriteFileAtomically(output, record.data(), record.size(), error)) return Fail(error);
  std::printf("%s: %d glyphs (%d missing), frame %dx%d, %d page(s) of %dx%d, %zu bytes\n", output.c_str(), count,
              missing, frameWidth, frameHeight, pages, textureWidth, textureHeight, record.size());
}

CommandRegistration reg("font", [](CLI::App& app) {
  auto opts = std::make_shared<Options>();
  CLI::App* cmd = app.add_subcommand("font", "Make bitmap font records");
  cmd->require_subcommand(1);
  CLI::App* build = cmd->add_subcommand("build", "Render a TrueType/OpenType font into a font record");
  build->add_option("FONT", opts->font, "Font file (anything FreeType reads)")->required();
  build->add_option("--size", opts->sizeText, "Pixel height (the em size), 1..256")->type_name("N")->required();
  build->add_option("--first", opts->firstText, "First character code, code page 1251, 0..255 (default 32)")->type_name("N");
  build->add_option("--last", opts->lastText, "Last character code, 0..255 (default 255)")->type_name("N");
  build->add_option("--name", opts->name, "Font name; the record is written to NAME.fnt when -o is not given");
  build->add_option("-o,--output", opts->output, "Record file to write");
  build->callback([opts] { Build(*opts); });
});

}  // namespace
}  // namespace qxtool
