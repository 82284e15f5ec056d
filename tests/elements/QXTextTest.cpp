// The text element: layout (hard breaks, wrapping), font resolution, alignment and drawing
// on the recording back end, hit-testing, TEXTSZ, TextId, and typing through the shell.
#include "elements/QXText.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "elements/FontTestSupport.h"
#include "platform/null/NullWindow.h"
#include "resources/ResArchive.h"
#include "scene/SceneTestSupport.h"
#include "shell/MainForm.h"

namespace qx {
namespace {

using test::FontRig;
using test::FontSpec;

using namespace std::string_literals;

PropValue IntProp(int64_t v) {
  PropValue p;
  p.i = v;
  return p;
}

PropValue RealProp(double v) {
  PropValue p;
  p.d = v;
  return p;
}

// A screen with one text element in a fixed-width font: every glyph advances 6 pixels, is
// 10 pixels tall and is drawn as an 8 x 12 frame.
struct TextRig : test::SceneFixture {
  FontRig fonts;
  TQXScreen* screen;
  TQXText* text;

  TextRig() {
    root->Services().canvas = &fonts.canvas;
    root->Services().fonts = &fonts.fonts;
    fonts.Add("Mono", FontSpec{.heights = {{'g', 12}}});
    screen = Add<TQXScreen>(root.get(), "S", 1);
    text = Add<TQXText>(screen, "T", 2);
    text->SetFont("mono");
  }
  // Sets the flags, then the text, as a game file does.
  void Layout(const std::string& value, bool enEnter, bool autoEnter = false) {
    text->SetField(PropField::EnEnter, IntProp(enEnter));
    text->SetField(PropField::AutoEnter, IntProp(autoEnter));
    text->SetText(value);
  }
  // Draws the text in its layer at an offset; answers the glyph quads' top-left corners.
  std::vector<TPoint2> Render(double offsetX = 0, double offsetY = 0) {
    fonts.gfx.draws.clear();
    text->Render(text->Order(), 0xFFFFFFFF, offsetX, offsetY, false);
    std::vector<TPoint2> corners;
    for (const auto& q : fonts.Quads()) corners.push_back({q[0].x + 0.5, q[0].y + 0.5});
    return corners;
  }
};

TEST(TextLayout, HardBreaksOnlyWithEnEnter) {
  TextRig r;
  r.Layout("a\\nb", true);
  EXPECT_EQ(r.text->LaidOutText(), "a\0b"s);
  EXPECT_EQ(r.text->Text(), "a\\nb");
  r.Layout("a\r\nb", true);
  EXPECT_EQ(r.text->LaidOutText(), "a\0b"s);
  r.Layout("a\nb", true);
  EXPECT_EQ(r.text->LaidOutText(), "a\nb");
  r.Layout("a\\nb\r\n\r\nc\\n", true);  // the earlier break first; an empty line stays
  EXPECT_EQ(r.text->LaidOutText(), "a\0b\0\0c\0"s);
  for (const char* s : {"a\\nb", "a\r\nb", "a\nb"}) {
    r.Layout(s, false);
    EXPECT_EQ(r.text->LaidOutText(), s);
  }
}

TEST(TextLayout, WithoutAFontTheTextStaysOneLine) {
  TextRig r;
  r.text->SetFont("Nowhere");
  EXPECT_EQ(r.text->FontObject(), nullptr);
  r.Layout("a\\nb c", true, true);
  EXPECT_EQ(r.text->LaidOutText(), "a\\nb c");
  EXPECT_EQ(r.text->TextWidth(), 0.0);
  EXPECT_TRUE(r.Render().empty());
  // Naming the font later lays the text out at once.
  r.text->SetFont("MONO");
  EXPECT_EQ(r.text->LaidOutText(), "a\0b c"s);
}

TEST(TextLayout, WrapsWordsAtSizeX) {
  TextRig r;
  r.text->SetSizeX(20);  // "ab" is 12 wide, "ab cd" 30
  r.Layout("ab cd", true, true);
  EXPECT_EQ(r.text->LaidOutText(), "ab\0cd"s);
  r.text->SetSizeX(30);  // the setter lays the text out again
  EXPECT_EQ(r.text->LaidOutText(), "ab cd");
  r.text->SetSizeX(10);
  r.Layout("abcdef g", true, true);  // a word wider than the box keeps its own line
  EXPECT_EQ(r.text->LaidOutText(), "abcdef\0g"s);
  r.Layout("abcdef", true, true);
  EXPECT_EQ(r.text->LaidOutText(), "abcdef");
  r.text->SetSizeX(40);
  r.Layout("aa bb cc dd ee", true, true);  // 14 letters: at most 6 characters a line
  EXPECT_EQ(r.text->LaidOutText(), "aa bb\0cc dd\0ee"s);
  // Without EnEnter AutoEnter does nothing.
  r.Layout("aa bb cc dd ee", false, true);
  EXPECT_EQ(r.text->LaidOutText(), "aa bb cc dd ee");
}

TEST(TextLayout, HardBreaksStillEndLinesWhenWrapping) {
  TextRig r;
  r.text->SetSizeX(100);
  r.Layout("ab\\ncd ef\\n\\ng", true, true);
  EXPECT_EQ(r.text->LaidOutText(), "ab\0cd ef\0\0g"s);
  // The line width restarts after a hard break.
  r.text->SetSizeX(30);
  r.Layout("aaaa\\nbb cc", true, true);
  EXPECT_EQ(r.text->LaidOutText(), "aaaa\0bb cc"s);
}

TEST(TextLayout, ScaleTakesPartInWrapping) {
  TextRig r;
  r.text->SetSizeX(30);
  r.Layout("ab cd", true, true);
  EXPECT_EQ(r.text->LaidOutText(), "ab cd");
  r.text->SetField(PropField::Scale, RealProp(2.0));
  EXPECT_EQ(r.text->LaidOutText(), "ab\0cd"s);
  EXPECT_DOUBLE_EQ(r.text->TextWidth(), 60.0);
  ScriptValue v;
  ASSERT_TRUE(r.text->GetPropValue("TEXTSZ", v));
  EXPECT_EQ(v.Kind(), ValueKind::Float);
  EXPECT_DOUBLE_EQ(v.FloatValue(), 60.0);
}

TEST(TextLayout, TextIdSuppliesTheText) {
  TextRig r;
  r.text->SetText("typed");
  r.text->SetTextId("Menu.Title");
  // Writing Text keeps the language text (none is loaded here, so it is empty).
  r.text->SetText("other");
  EXPECT_EQ(r.text->Text(), "");
  r.text->SetTextId("");
  EXPECT_EQ(r.text->Text(), "");
  r.text->SetText("free again");
  EXPECT_EQ(r.text->Text(), "free again");
}

TEST(TextRender, LinesAlignInTheBox) {
  TextRig r;
  r.text->rX = 10;
  r.text->rY = 20;
  r.text->SetSizeX(100);
  r.text->SetSizeY(50);
  r.Layout("ab\\nabcd", true);
  auto p = r.Render(1, 2);
  ASSERT_EQ(p.size(), 6u);
  EXPECT_DOUBLE_EQ(p[0].x, 11);
  EXPECT_DOUBLE_EQ(p[0].y, 22);
  EXPECT_DOUBLE_EQ(p[2].y, 32);  // the second line under the first line's height

  r.text->PosHor = phRight;
  r.text->PosVert = pvBottom;
  p = r.Render();
  EXPECT_DOUBLE_EQ(p[0].x, 10 + 100 - 12);
  EXPECT_DOUBLE_EQ(p[2].x, 10 + 100 - 24);
  EXPECT_DOUBLE_EQ(p[2].y, 20 + 50 - 10);  // the block's bottom at SizeY

  r.text->PosHor = phCenter;
  r.text->PosVert = pvCenter;
  r.text->Interval = 3;
  p = r.Render();
  EXPECT_DOUBLE_EQ(p[0].x, 10 + 44);
  EXPECT_DOUBLE_EQ(p[2].x, 10 + 38);
  // The block is 23 high, so it starts 13.5 down; positions round half to even.
  EXPECT_DOUBLE_EQ(p[0].y, 34);  // Round(33.5)
  EXPECT_DOUBLE_EQ(p[2].y, 46);  // Round(46.5)
}

TEST(TextRender, EmptyLinesMoveByTheIntervalButCountForTheBlock) {
  TextRig r;
  r.text->SetSizeY(100);
  r.text->Interval = 5;
  r.text->PosVert = pvBottom;
  r.Layout("a\\n\\nb", true);
  const auto p = r.Render();
  ASSERT_EQ(p.size(), 2u);
  // Three lines of 10 with two intervals: the block is 40 high.
  EXPECT_DOUBLE_EQ(p[0].y, 60);
  EXPECT_DOUBLE_EQ(p[1].y, 60 + 15 + 5);  // the empty line adds only its interval
}

TEST(TextRender, TallestGlyphOfTheWholeTextSetsTheBlock) {
  TextRig r;
  r.text->SetSizeY(100);
  r.text->PosVert = pvBottom;
  r.Layout("a\\ng", true);
  const auto p = r.Render();
  ASSERT_EQ(p.size(), 2u);
  EXPECT_DOUBLE_EQ(p[0].y, 100 - 24);
  EXPECT_DOUBLE_EQ(p[1].y, 100 - 24 + 10);
}

TEST(TextRender, ColourWordsTintTheEdges) {
  TextRig r;
  r.text->SetField(PropField::hxColor1, IntProp(0x0000FF));
  r.text->SetField(PropField::hxColor2, IntProp(0xFF0000));
  r.text->SetField(PropField::hxTrans2, IntProp(0x80));
  r.text->SetField(PropField::hxDrawFx, IntProp(kFxAdd));
  r.text->SetText("#$FF00FF00ab");
  r.Render();
  const auto q = r.fonts.Quads();
  ASSERT_EQ(q.size(), 2u);
  EXPECT_EQ(ToDeviceColor(q[0][0].color), 0xFF00FF00u);  // the tag replaced the top colour
  EXPECT_EQ(ToDeviceColor(q[0][3].color), 0x80FF0000u);
  EXPECT_EQ(r.fonts.Draws()[0].state.dst, BlendFactor::One);
}

TEST(TextRender, TagsNearTheEndCentreAsTheyAreDrawn) {
  TextRig r;
  r.text->SetSizeX(100);
  r.text->PosHor = phCenter;
  // One character after the tag: eleven characters drawn, 66 wide, centred at 17.
  r.text->SetText("#$FF0000FFa");
  auto p = r.Render();
  ASSERT_EQ(p.size(), 11u);
  EXPECT_DOUBLE_EQ(p[0].x, 17);
  // Two: "ab", 12 wide, centred at 44.
  r.text->SetText("#$FF0000FFab");
  p = r.Render();
  ASSERT_EQ(p.size(), 2u);
  EXPECT_DOUBLE_EQ(p[0].x, 44);
}

TEST(TextLayout, WrappingMeasuresTagsAsTheLineDrawsThem) {
  TextRig r;
  // Alone, the word "#$FF0000FFa" would be eleven characters (66) wide; followed by " b" on
  // its line the tag is one, and the line "a b" is 18 wide: it fits in 20.
  r.text->SetSizeX(20);
  r.Layout("#$FF0000FFa b", true, true);
  EXPECT_EQ(r.text->LaidOutText(), "#$FF0000FFa b");
  EXPECT_EQ(r.Render().size(), 3u);
  // The other way round: the line ends in the tag's word, so it counts as characters.
  r.text->SetSizeX(70);
  r.Layout("b #$FF0000FFa", true, true);
  EXPECT_EQ(r.text->LaidOutText(), "b\0#$FF0000FFa"s);
}

TEST(TextRender, ScaleChoosesTheFilter) {
  TextRig r;
  r.text->SetText("ab");
  r.Render();
  ASSERT_EQ(r.fonts.Draws().size(), 1u);
  EXPECT_FALSE(r.fonts.Draws()[0].state.linearFilter);
  r.text->SetField(PropField::Scale, RealProp(1.5));
  r.Render();
  ASSERT_EQ(r.fonts.Draws().size(), 1u);
  EXPECT_TRUE(r.fonts.Draws()[0].state.linearFilter);
}

TEST(TextRender, ChildrenFirstOnlyInItsLayer) {
  TextRig r;
  auto* child = r.Add<TQXShape>(r.text, "Under", 3);
  child->SetSizeX(4);
  r.text->SetText("a");
  r.Render();
  const auto& d = r.fonts.Draws();
  ASSERT_EQ(d.size(), 2u);
  EXPECT_EQ(d[0].texture, 0u);  // the child's rectangle
  EXPECT_NE(d[1].texture, 0u);  // then the glyph
  r.fonts.gfx.draws.clear();
  r.text->SetOrder(2);
  r.text->Render(0, 0xFFFFFFFF, 0, 0, false);
  EXPECT_EQ(r.fonts.Draws().size(), 1u);  // the child still draws in its own layer
}

TEST(TextRender, ReloadedFontsNeedTheFontWrittenAgain) {
  TextRig r;
  r.text->SetText("ab");
  r.fonts.fonts.Clear();
  EXPECT_EQ(r.text->FontObject(), nullptr);  // no dangling font
  EXPECT_TRUE(r.Render().empty());
  r.fonts.Add("Mono");
  EXPECT_TRUE(r.Render().empty());
  r.text->SetFont(r.text->Font());
  EXPECT_EQ(r.Render().size(), 2u);
}

TEST(TextRender, AFontListWithoutCanvasDrawsNothing) {
  TextRig r;
  r.text->SetText("ab");
  r.fonts.fonts.Canvas = nullptr;
  EXPECT_TRUE(r.Render().empty());  // the error is logged, not thrown into the frame
  EXPECT_TRUE(r.Render().empty());
}

TEST(TextHitTest, TheBoxBothEndsIncluded) {
  TextRig r;
  r.text->SetX(10);
  r.text->SetY(20);
  r.text->SetSizeX(30);
  r.text->SetSizeY(5);
  EXPECT_EQ(r.text->HitTest(0, 10, 20, 0, 0), r.text);
  EXPECT_EQ(r.text->HitTest(0, 40, 25, 0, 0), r.text);
  EXPECT_EQ(r.text->HitTest(0, 41, 25, 0, 0), nullptr);
  EXPECT_EQ(r.text->HitTest(0, 9, 20, 0, 0), nullptr);
  EXPECT_EQ(r.text->HitTest(1, 20, 22, 0, 0), nullptr);  // another layer
  r.text->MousedVis = false;
  EXPECT_EQ(r.text->HitTest(0, 20, 22, 0, 0), nullptr);
  r.text->SetVis(false);
  r.text->MousedNotVis = true;
  EXPECT_EQ(r.text->HitTest(0, 20, 22, 0, 0), r.text);
}

// Random texts and boxes: the layout keeps every word and never makes a line wider than the
// box unless it is a single word.
TEST(TextLayout, WrappingKeepsWordsAndWidths) {
  TextRig r;
  std::mt19937 rng(11);
  for (int round = 0; round < 200; ++round) {
    std::string s;
    const int words = 1 + static_cast<int>(rng() % 12);
    for (int w = 0; w < words; ++w) {
      if (w) s += ' ';
      s += std::string(1 + rng() % 7, static_cast<char>('a' + rng() % 26));
    }
    r.text->SetSizeX(static_cast<int32_t>(6 + rng() % 80));
    r.Layout(s, true, true);
    std::string joined = r.text->LaidOutText();
    size_t start = 0;
    for (size_t end; start <= joined.size(); start = end + 1) {
      end = joined.find('\0', start);
      if (end == std::string::npos) end = joined.size();
      const std::string line = joined.substr(start, end - start);
      if (line.find(' ') != std::string::npos) {
        EXPECT_LE(6.0 * static_cast<double>(line.size()), r.text->GetSizeX()) << s;
      }
    }
    std::replace(joined.begin(), joined.end(), '\0', ' ');
    EXPECT_EQ(joined, s);
  }
}

// The main window owns the font list and hands it to the root: opening the archive loads its
// fonts, a display-mode change loads them again, texts resolve their names in it, and typing
// re-lays the focused text out.
TEST(TextShell, MainWindowLoadsFontsAndTypesIntoTexts) {
  const auto dir = std::filesystem::temp_directory_path() / ("qx-text-" + std::to_string(std::random_device{}()));
  std::filesystem::create_directories(dir);
  std::vector<TResPackEntry> entries{{"Body", 3, 0, test::MakeFontRecord(FontSpec{})}};
  std::string error;
  ASSERT_TRUE(WriteResArchive((dir / "game.res").string(), entries, error)) << error;

  ResetRuntime();
  NullWindow window;
  NullAudio audio;
  NullGfx gfx;
  FixedStepTimerClock clock{TGfxTimer::PeriodFor(kProcessTicksPerSecond)};
  {
    TFormMain form(window, audio, gfx, clock, ShellOptions{});
    ASSERT_TRUE(form.FormCreate());
    EXPECT_EQ(form.Root()->Services().fonts, &form.GfxFonts());
    form.Root()->SetGameFolder(dir.string());
    form.Root()->SetField(PropField::FileFonts, PropValue{0, 0, "GAME.RES"});
    ASSERT_EQ(form.GfxFonts().Count(), 1);
    form.FlWin();  // loading again replaces, never doubles
    ASSERT_EQ(form.GfxFonts().Count(), 1);

    auto* screen = new TQXScreen(form.Root());
    auto* text = new TQXText(screen);
    text->SetField(PropField::EnEnter, IntProp(1));
    text->SetFont("body");
    ASSERT_NE(text->FontObject(), nullptr);
    Runtime().FocusedText = text;
    form.FormKeyPress(kVkBack);  // empty stays empty
    EXPECT_EQ(text->Text(), "");
    for (char c : std::string("a\\nb")) form.FormKeyPress(static_cast<uint8_t>(c));
    EXPECT_EQ(text->LaidOutText(), "a\0b"s);
    form.FormKeyPress(kVkBack);
    EXPECT_EQ(text->LaidOutText(), "a\0"s);
    form.FormClose();
    EXPECT_EQ(form.GfxFonts().Count(), 0);  // the device's finalisation freed them
  }
  ResetRuntime();
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace qx
