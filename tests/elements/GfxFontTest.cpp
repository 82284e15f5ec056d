// Bitmap fonts: record parsing (also damaged records), names, archive loading, measuring,
// and the quads TextOut queues, checked on the recording back end.
#include "resources/GfxFont.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "ScratchFiles.h"
#include "elements/FontTestSupport.h"
#include "resources/ResArchive.h"

namespace qx {
namespace {

using test::FontRig;
using test::FontSpec;
using test::MakeFontRecord;
using test::PutI32;

bool Load(TGfxFont& f, const std::vector<uint8_t>& r) {
  return f.LoadFromMemory(r.data(), r.size(), TGfxQuality::aqHigh, TAlphaLevel::alFull);
}

TEST(GfxFontRecord, HeaderMetricsAndGlyphImage) {
  FontRig rig;
  FontSpec spec;
  spec.first = 0x120;  // only the low byte counts
  spec.extraAdvance = -1;
  spec.count = 3;
  spec.widths['!'] = 4;
  spec.heights['"'] = 11;
  TGfxFont f(&rig.fonts, &rig.gfx);
  ASSERT_TRUE(Load(f, MakeFontRecord(spec)));
  EXPECT_TRUE(f.Loaded());
  EXPECT_EQ(f.FirstChar(), 0x20);
  EXPECT_EQ(f.ExtraAdvance(), -1);
  ASSERT_EQ(f.GlyphCount(), 3);
  EXPECT_EQ(f.GlyphWidth(0), 6);
  EXPECT_EQ(f.GlyphWidth(1), 4);
  EXPECT_EQ(f.GlyphHeight(2), 11);
  EXPECT_EQ(f.GlyphWidth(3), 0);
  EXPECT_EQ(f.Image().PatternCount(), 3);
  EXPECT_EQ(f.Image().VisibleWidth(), 8);
  EXPECT_EQ(f.Image().GetPixel(0, 0, 0), 0xFFFFFFFFu);  // A8 pixels come out white
  // Loading again is refused; the font stays as it was.
  EXPECT_FALSE(Load(f, MakeFontRecord(FontSpec{})));
  EXPECT_EQ(f.GlyphCount(), 3);
}

TEST(GfxFontRecord, DamagedRecordsFailCleanly) {
  FontRig rig;
  const std::vector<uint8_t> good = MakeFontRecord(FontSpec{.count = 4});
  // Every truncation: the header, the metrics, the image header, the pixels.
  for (size_t n = 0; n < good.size(); ++n) {
    TGfxFont f(&rig.fonts, &rig.gfx);
    std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
    EXPECT_FALSE(Load(f, cut)) << n;
    EXPECT_FALSE(f.Loaded());
    EXPECT_EQ(f.TextExtent("ab").width, 0.0);
  }
  const auto withCount = [&](int32_t count) {
    std::vector<uint8_t> r = good;
    std::vector<uint8_t> c;
    PutI32(c, count);
    std::copy(c.begin(), c.end(), r.begin() + 12);
    return r;
  };
  for (int32_t count : {-1, INT32_MIN, INT32_MAX, 1 << 29, 100000}) {
    TGfxFont f(&rig.fonts, &rig.gfx);
    EXPECT_FALSE(Load(f, withCount(count))) << count;
    EXPECT_EQ(f.GlyphCount(), 0);
  }
  // A count that still fits moves the image: its header is then read from the pixels.
  TGfxFont shifted(&rig.fonts, &rig.gfx);
  EXPECT_FALSE(Load(shifted, withCount(5)));
  // Random damage never crashes; whatever loads stays consistent.
  std::mt19937 rng(7);
  for (int round = 0; round < 300; ++round) {
    std::vector<uint8_t> r = good;
    for (int k = 0; k < 4; ++k) r[rng() % 60] = static_cast<uint8_t>(rng());
    TGfxFont f(&rig.fonts, &rig.gfx);
    if (Load(f, r)) {
      EXPECT_GE(f.Image().PatternCount(), 1);
    }
  }
}

TEST(GfxFontList, DefaultNamesAndLookupWithoutCase) {
  FontRig rig;
  EXPECT_EQ(rig.fonts.AddFont()->Name(), "Font00");
  EXPECT_EQ(rig.fonts.AddFont()->Name(), "Font01");
  for (int i = 2; i < 10; ++i) rig.fonts.AddFont();
  EXPECT_EQ(rig.fonts.AddFont()->Name(), "Font10");
  rig.fonts.Font(3)->SetName("\xC7\xE0\xE3\xEE\xEB\xEE\xE2\xEE\xEA");  // "Заголовок"
  EXPECT_EQ(rig.fonts.FindFont("font01").get(), rig.fonts.Font(1));
  EXPECT_EQ(rig.fonts.FindFont("\xE7\xC0\xC3\xCE\xCB\xCE\xC2\xCE\xCA").get(), rig.fonts.Font(3));
  rig.fonts.Font(5)->SetName("FONT01");
  EXPECT_EQ(rig.fonts.FindFont("Font01").get(), rig.fonts.Font(1));  // the first wins
  EXPECT_EQ(rig.fonts.FindFont("Font99"), nullptr);
  // Clearing ends every reference holders kept.
  std::weak_ptr<TGfxFont> held = rig.fonts.FindFont("Font00");
  rig.fonts.Clear();
  EXPECT_TRUE(held.expired());
  EXPECT_EQ(rig.fonts.Count(), 0);
}

TEST(GfxFontList, LoadsEveryFontRecordOfAnArchive) {
  FontRig rig;
  test::ScratchDir dir;
  std::vector<TResPackEntry> entries(5);
  entries[0] = {"Title", 3, 0, MakeFontRecord(FontSpec{.glyphWidth = 9})};
  entries[1] = {"images\\door.jpg", 0, 0, {1, 2, 3}};
  entries[2] = {"Broken", 3, 0, {1, 2, 3, 4, 5}};
  entries[3] = {"body.fnt", 3, 0, MakeFontRecord(FontSpec{.glyphWidth = 5})};
  entries[4] = {"NotAFont", 0, 0, MakeFontRecord(FontSpec{})};
  std::string error;
  ASSERT_TRUE(WriteResArchive(dir / "game.res", entries, error)) << error;
  TResArchive archive;
  archive.SetFileName(dir / "game.res");
  // A damaged record costs only its own font.
  EXPECT_FALSE(rig.fonts.LoadFromArchive(archive));
  EXPECT_TRUE(archive.Opened());
  ASSERT_EQ(rig.fonts.Count(), 2);
  EXPECT_EQ(rig.fonts.Font(0)->Name(), "Title");
  EXPECT_EQ(rig.fonts.Font(1)->Name(), "body.fnt");
  EXPECT_EQ(rig.fonts.FindFont("BODY.FNT")->GlyphWidth(0), 5);

  // One font by record name: only type-3 records that exist and are sound.
  TGfxFont f(&rig.fonts, &rig.gfx);
  EXPECT_FALSE(f.LoadFromArchive("NotAFont", archive, TGfxQuality::aqHigh, TAlphaLevel::alFull));
  EXPECT_FALSE(f.LoadFromArchive("Missing", archive, TGfxQuality::aqHigh, TAlphaLevel::alFull));
  EXPECT_FALSE(f.LoadFromArchive("Broken", archive, TGfxQuality::aqHigh, TAlphaLevel::alFull));
  EXPECT_TRUE(f.LoadFromArchive("title", archive, TGfxQuality::aqHigh, TAlphaLevel::alFull));
  EXPECT_FALSE(f.LoadFromArchive("title", archive, TGfxQuality::aqHigh, TAlphaLevel::alFull));

  TResArchive missing;
  missing.SetFileName(dir / "none.res");
  EXPECT_FALSE(rig.fonts.LoadFromArchive(missing));
  EXPECT_EQ(rig.fonts.Count(), 2);
}

TEST(GfxFontList, FollowsTheDevice) {
  FontRig rig;
  TGfxFont* f = rig.Add("A");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->Image().State(), TTextureState::tsReady);
  rig.device.NotifySubscribers(kGfxLost);
  EXPECT_EQ(f->Image().State(), TTextureState::tsLost);
  rig.device.NotifySubscribers(kGfxReset);
  EXPECT_EQ(f->Image().State(), TTextureState::tsReady);
  const size_t textures = rig.gfx.textures.size();
  rig.device.Finalize();
  EXPECT_EQ(rig.fonts.Count(), 0);
  EXPECT_LT(rig.gfx.textures.size(), textures);
}

TEST(GfxFontMeasure, AdvancesHeightsAndMissingCharacters) {
  FontRig rig;
  TGfxFont* f = rig.Add("A", FontSpec{.extraAdvance = 1, .widths = {{'i', 2}}, .heights = {{'g', 13}}});
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->TextExtent("").width, 0.0);
  EXPECT_EQ(f->TextExtent("").height, 0.0);
  EXPECT_DOUBLE_EQ(f->TextWidth("ab"), 14.0);  // (6 + 1) x 2
  EXPECT_DOUBLE_EQ(f->TextWidth("ai"), 10.0);
  EXPECT_DOUBLE_EQ(f->TextHeight("ab"), 10.0);
  EXPECT_DOUBLE_EQ(f->TextHeight("ag"), 13.0);
  // A tab lies below the first code, 0xC0 beyond the last: 0.3 of the frame width each.
  EXPECT_DOUBLE_EQ(f->TextWidth("\t"), 8 * 0.3);
  EXPECT_DOUBLE_EQ(f->TextHeight("\t\xC0"), 0.0);
  f->Interleave = 0.5;
  f->Scale = 2.0;
  EXPECT_DOUBLE_EQ(f->TextWidth("a\t"), (6 + 1 + 0.5) * 2 + (8 * 0.3 + 0.5) * 2);
  EXPECT_DOUBLE_EQ(f->TextHeight("a"), 20.0);
  f->Interleave = 0;
  f->Scale = 1;
  f->BlankSpacing = 1.0;
  EXPECT_DOUBLE_EQ(f->TextWidth("\t"), 8.0);
}

TEST(GfxFontMeasure, ColourTagsTakeNoRoom) {
  FontRig rig;
  TGfxFont* f = rig.Add("A");
  ASSERT_NE(f, nullptr);
  EXPECT_DOUBLE_EQ(f->TextWidth("#$FF0000FFabc"), 18.0);
  EXPECT_DOUBLE_EQ(f->TextWidth("#$FF0000FF&$00FF00FFab"), 12.0);
  // A tag counts only with at least two characters after it.
  EXPECT_DOUBLE_EQ(f->TextWidth("0xFF0000FFab"), 12.0);
  EXPECT_DOUBLE_EQ(f->TextWidth("0xFF0000FFa"), 66.0);
  EXPECT_DOUBLE_EQ(f->TextWidth("a#$FF0000F"), 60.0);  // seven digits at the end: characters
  EXPECT_DOUBLE_EQ(f->TextWidth("a#$FF0000FF"), 66.0);  // nothing after the tag: characters
  // At one position the kinds are tried once each, top, bottom, then both.
  EXPECT_DOUBLE_EQ(f->TextWidth("#$FF0000FF&$00FF00FF0xFF00FF00ab"), 12.0);
  EXPECT_DOUBLE_EQ(f->TextWidth("&$00FF00FF#$FF0000FFab"), 72.0);
  EXPECT_DOUBLE_EQ(f->TextWidth("#$FF0000FF#$00FF00FFab"), 72.0);
  // The following position tries them again.
  EXPECT_DOUBLE_EQ(f->TextWidth("#$FF0000FFa#$00FF00FFbc"), 18.0);
  f->TextTags = false;
  EXPECT_DOUBLE_EQ(f->TextWidth("#$FF0000FFabc"), 78.0);
}

// Corner colours of a recorded quad in the runtime's order.
uint32_t Runtime(uint32_t device) { return ToDeviceColor(device); }

TEST(GfxFontDraw, GlyphQuadsAndAdvance) {
  FontRig rig;
  TGfxFont* f = rig.Add("A", FontSpec{.extraAdvance = 1});
  ASSERT_NE(f, nullptr);
  f->TextOut("a\tb", 0xFFFFFFFF, 10.7, 20.2, 0xFFFFFFFF, kFxBlend);
  const auto q = rig.Quads();
  ASSERT_EQ(q.size(), 2u);  // the tab draws nothing
  // The whole frame (8 x 12) at the truncated pen, shifted half a pixel like every textured quad.
  EXPECT_FLOAT_EQ(q[0][0].x, 9.5f);
  EXPECT_FLOAT_EQ(q[0][0].y, 19.5f);
  EXPECT_FLOAT_EQ(q[0][2].x, 17.5f);
  EXPECT_FLOAT_EQ(q[0][2].y, 31.5f);
  // Pen: 10.7 + 7 for 'a' + 2.4 for the tab = 20.1.
  EXPECT_FLOAT_EQ(q[1][0].x, 19.5f);
  // Frames: 'a' is frame 65 of 96 in one row of 8-pixel cells.
  EXPECT_FLOAT_EQ(q[0][0].u, 65 * 8 / 768.0f);
  EXPECT_EQ(rig.Draws().size(), 1u);  // one batch for the whole line
  EXPECT_EQ(rig.Draws()[0].state.modulate, false);
}

TEST(GfxFontDraw, ScaleSizesTheFrame) {
  FontRig rig;
  TGfxFont* f = rig.Add("A");
  ASSERT_NE(f, nullptr);
  f->Scale = 1.5;
  f->TextOut("ab", 0xFFFFFFFF, 0, 0, 0xFFFFFFFF, kFxBlend);
  const auto q = rig.Quads();
  ASSERT_EQ(q.size(), 2u);
  EXPECT_FLOAT_EQ(q[0][2].x - q[0][0].x, 12.0f);
  EXPECT_FLOAT_EQ(q[0][2].y - q[0][0].y, 18.0f);
  EXPECT_FLOAT_EQ(q[1][0].x + 0.5f, 9.0f);  // Trunc(9.0)
}

TEST(GfxFontDraw, TopColourTagPaintsTheFollowingLetters) {
  FontRig rig;
  TGfxFont* f = rig.Add("A");
  ASSERT_NE(f, nullptr);
  f->TextOut("#$FF0000FFabc", 0xFFFFFFFF, 0, 0, 0x00000000, kFxBlend);
  const auto q = rig.Quads();
  ASSERT_EQ(q.size(), 3u);
  for (const auto& quad : q) {
    EXPECT_EQ(Runtime(quad[0].color), 0xFF0000FFu);  // opaque red along the top edge
    EXPECT_EQ(Runtime(quad[1].color), 0xFF0000FFu);
    EXPECT_EQ(Runtime(quad[2].color), 0u);
    EXPECT_EQ(Runtime(quad[3].color), 0u);
  }
  EXPECT_FLOAT_EQ(q[0][0].x, -0.5f);  // the tag took no room
  EXPECT_TRUE(rig.Draws()[0].state.modulate);
}

TEST(GfxFontDraw, ATagNeedsTwoCharactersAfterIt) {
  FontRig rig;
  TGfxFont* f = rig.Add("A");
  ASSERT_NE(f, nullptr);
  // Eleven characters: the tag is not one, all eleven are drawn in the given colours.
  f->TextOut("#$FF0000FFX", 0xFFFFFFFF, 0, 0, 0x00000000, kFxBlend);
  auto q = rig.Quads();
  ASSERT_EQ(q.size(), 11u);
  for (const auto& quad : q) EXPECT_EQ(Runtime(quad[0].color), 0xFFFFFFFFu);
  EXPECT_DOUBLE_EQ(f->TextWidth("#$FF0000FFX"), 66.0);
  // Twelve: XY with a red top edge, where the text starts.
  rig.gfx.draws.clear();
  f->TextOut("#$FF0000FFXY", 0xFFFFFFFF, 0, 0, 0x00000000, kFxBlend);
  q = rig.Quads();
  ASSERT_EQ(q.size(), 2u);
  EXPECT_EQ(Runtime(q[0][0].color), 0xFF0000FFu);
  EXPECT_EQ(Runtime(q[1][1].color), 0xFF0000FFu);
  EXPECT_FLOAT_EQ(q[0][0].x, -0.5f);
  EXPECT_DOUBLE_EQ(f->TextWidth("#$FF0000FFXY"), 12.0);
}

TEST(GfxFontDraw, TagKindsAreTriedOnceEachInTheirOrder) {
  FontRig rig;
  TGfxFont* f = rig.Add("A");
  ASSERT_NE(f, nullptr);
  // Top, bottom, both at one position: all three apply; both wins.
  f->TextOut("#$FF0000FF&$FF00FF000xFFFF0000ab", 0xFFFFFFFF, 0, 0, 0x00000000, kFxBlend);
  auto q = rig.Quads();
  ASSERT_EQ(q.size(), 2u);
  EXPECT_EQ(Runtime(q[0][0].color), 0xFFFF0000u);
  EXPECT_EQ(Runtime(q[0][3].color), 0xFFFF0000u);
  // A bottom tag before a top tag: the top tag comes too late and is drawn as it stands,
  // in white over green.
  rig.gfx.draws.clear();
  f->TextOut("&$FF00FF00#$FF0000FFab", 0xFFFFFFFF, 0, 0, 0x00000000, kFxBlend);
  q = rig.Quads();
  ASSERT_EQ(q.size(), 12u);
  EXPECT_EQ(Runtime(q[0][0].color), 0xFFFFFFFFu);
  EXPECT_EQ(Runtime(q[0][3].color), 0xFF00FF00u);
  EXPECT_FLOAT_EQ(q[0][0].x, -0.5f);  // '#' drawn at the start
  // Two top tags in a row: the second is drawn as characters in the first one's colour.
  rig.gfx.draws.clear();
  f->TextOut("#$FF0000FF#$FF00FF00ab", 0xFFFFFFFF, 0, 0, 0x00000000, kFxBlend);
  q = rig.Quads();
  ASSERT_EQ(q.size(), 12u);
  EXPECT_EQ(Runtime(q[11][0].color), 0xFF0000FFu);
}

TEST(GfxFontDraw, TagsThatAreNotTagsAreCharacters) {
  FontRig rig;
  TGfxFont* f = rig.Add("A");
  ASSERT_NE(f, nullptr);
  f->TextOut("ab#$FF0000F", 0xFFFFFFFF, 0, 0, 0xFFFFFFFF, kFxBlend);  // seven digits at the end
  EXPECT_EQ(rig.Quads().size(), 11u);
  rig.gfx.draws.clear();
  // Bad digits: "#$" keeps the top colour; "0x" turns both edges to the bottom colour.
  f->TextOut("#$GG0000FFa0xZZZZZZZZb&$80000000cd", 0xFF00FF00, 0, 0, 0xFF0000FF, kFxBlend);
  const auto q = rig.Quads();
  ASSERT_EQ(q.size(), 4u);
  EXPECT_EQ(Runtime(q[0][0].color), 0xFF00FF00u);
  EXPECT_EQ(Runtime(q[1][0].color), 0xFF0000FFu);
  EXPECT_EQ(Runtime(q[1][3].color), 0xFF0000FFu);
  EXPECT_EQ(Runtime(q[2][0].color), 0xFF0000FFu);
  EXPECT_EQ(Runtime(q[2][3].color), 0x80000000u);
}

TEST(GfxFontDraw, StylesAddTheirCopies) {
  FontRig rig;
  TGfxFont* f = rig.Add("A");
  ASSERT_NE(f, nullptr);
  f->Style = feShadow | feBold;
  f->ShadowColor = 0x123456;
  f->TextOut("a", 0xFFFFFFFF, 10, 10, 0xFFFFFFFF, kFxBlend);
  auto q = rig.Quads();
  ASSERT_EQ(q.size(), 4u);  // shadow, glyph, glyph at -1 and +1
  EXPECT_EQ(Runtime(q[0][0].color), 0x80123456u);  // Round(0.5 x 255) = 128
  EXPECT_FLOAT_EQ(q[0][0].x, 12.5f);               // (3, 2) with bold
  EXPECT_FLOAT_EQ(q[0][0].y, 11.5f);
  EXPECT_FLOAT_EQ(q[1][0].x, 9.5f);
  EXPECT_FLOAT_EQ(q[2][0].x, 8.5f);
  EXPECT_FLOAT_EQ(q[3][0].x, 10.5f);

  rig.gfx.draws.clear();
  f->Style = feEmboss;
  f->EmbossColor = 0xABCDEF;
  f->TextOut("a", 0xFFFFFFFF, 10, 10, 0xFFFFFFFF, kFxBlend);
  q = rig.Quads();
  ASSERT_EQ(q.size(), 2u);
  EXPECT_FLOAT_EQ(q[0][0].x, 8.5f);  // moved up and left by one
  EXPECT_FLOAT_EQ(q[0][0].y, 8.5f);
  EXPECT_FLOAT_EQ(q[1][0].x, 9.5f);  // the emboss copy back where the glyph would be
  EXPECT_EQ(Runtime(q[1][0].color), 0xCCABCDEFu);  // Round(0.8 x 255) = 204

  rig.gfx.draws.clear();
  f->Style = feItalic;
  f->TextOut("a", 0xFFFFFFFF, 10, 10, 0xFFFFFFFF, kFxBlend);
  q = rig.Quads();
  ASSERT_EQ(q.size(), 1u);
  EXPECT_FLOAT_EQ(q[0][0].x, 10.5f);  // top corners right by 8 / 8
  EXPECT_FLOAT_EQ(q[0][1].x, 18.5f);
  EXPECT_FLOAT_EQ(q[0][2].x, 16.5f);  // bottom corners left
  EXPECT_FLOAT_EQ(q[0][3].x, 8.5f);
}

TEST(GfxFontDraw, OwnerErrorsAndUnloadedFonts) {
  FontRig rig;
  TGfxFont alone(nullptr, &rig.gfx);
  alone.TextOut("a", 0xFFFFFFFF, 0, 0, 0xFFFFFFFF, kFxBlend);  // not loaded: nothing, no error
  ASSERT_TRUE(Load(alone, MakeFontRecord(FontSpec{})));
  try {
    alone.TextOut("a", 0xFFFFFFFF, 0, 0, 0xFFFFFFFF, kFxBlend);
    ADD_FAILURE() << "no error";
  } catch (const EFontError& e) {
    EXPECT_STREQ(e.what(), "TGfxFont: Unassigned Owner property.");
  }
  TGfxFont* f = rig.Add("A");
  rig.fonts.Canvas = nullptr;
  try {
    f->TextOut("a", 0xFFFFFFFF, 0, 0, 0xFFFFFFFF, kFxBlend);
    ADD_FAILURE() << "no error";
  } catch (const EFontError& e) {
    EXPECT_STREQ(e.what(), "TGfxFont: Unassigned Owner.Canvas property.");
  }
  EXPECT_TRUE(rig.Quads().empty());
}

}  // namespace
}  // namespace qx
