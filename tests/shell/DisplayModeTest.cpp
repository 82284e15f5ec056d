// The switch between windowed and full screen: everything that lives on the device is built
// again, also when the switch takes the graphics context and every texture with it.
#include <gtest/gtest.h>

#include <filesystem>

#include "ScratchFiles.h"
#include "elements/FontTestSupport.h"
#include "elements/QXImage.h"
#include "elements/QXScreen.h"
#include "elements/QXText.h"
#include "platform/null/NullAudio.h"
#include "platform/null/NullGfx.h"
#include "platform/null/NullWindow.h"
#include "resources/PngWriter.h"
#include "resources/ResArchive.h"
#include "runtime/MediaCache.h"
#include "runtime/ParticleSystem.h"
#include "runtime/RuntimeState.h"
#include "scene/QXDB.h"
#include "shell/MainForm.h"

namespace qx {
namespace {

constexpr uint32_t kRed = 0xFFFF0000u;    // 0xAARRGGBB
constexpr uint32_t kGreen = 0xFF00FF00u;

// A game folder with a picture, the particle picture and an archive holding one font; a
// shell in the game phase on the menu, which shows the picture and a text.
struct ModeShell {
  test::ScratchDir dir;
  NullWindow window;
  NullAudio audio;
  NullGfx gfx;
  FixedStepTimerClock clock{TGfxTimer::PeriodFor(kProcessTicksPerSecond)};
  std::unique_ptr<TFormMain> form;
  TQXScreen* menu = nullptr;
  TQXImage* picture = nullptr;
  TQXText* title = nullptr;

  ModeShell() {
    ResetRuntime();
    test::WriteText(dir / "game.qxf", "");
    std::filesystem::copy_file(std::string(QX_TEST_DATA_DIR) + "/resources/bmp_24.bmp", dir / "particles.bmp");
    Picture(kRed);
    std::vector<TResPackEntry> records{{"Body.fnt", kFontRecordType, 0, test::MakeFontRecord(test::FontSpec{})}};
    std::string error;
    EXPECT_TRUE(WriteResArchive(dir / "res.dat", records, error)) << error;

    ShellOptions options;
    options.gamePath = dir / "game.qxf";
    form = std::make_unique<TFormMain>(window, audio, gfx, clock, std::move(options));
    testing::internal::CaptureStderr();  // the empty game file says it is damaged
    EXPECT_TRUE(form->FormCreate());
    testing::internal::GetCapturedStderr();
    form->SkipIntro();
    TQXDB* root = form->Root();
    root->SetField(PropField::FileFonts, PropValue{0, 0, "res.dat"});
    menu = Screen("MENU", 1);
    picture = new TQXImage(menu);
    picture->SetImImage("pic.png");
    title = Text(menu, "AB");
    menu->LoadResources();
    SetCurrentScreen(menu);
  }
  ~ModeShell() {
    form.reset();
    ResetRuntime();
  }

  void Picture(uint32_t colour) {
    const std::vector<uint32_t> pixels(16, colour);
    std::string error;
    ASSERT_TRUE(WritePngFile(dir / "pic.png", pixels.data(), 4, 4, error)) << error;
  }
  TQXScreen* Screen(const char* id, int32_t key) {
    auto* s = new TQXScreen(form->Root());
    s->Id = id;
    s->Key = key;
    return s;
  }
  TQXText* Text(TQXElement* parent, const char* text) {
    auto* t = new TQXText(parent);
    t->SetSizeX(200);
    t->SetSizeY(40);
    t->SetFont("Body.fnt");
    t->SetText(text);
    return t;
  }
  const TQXIm* Entry(const std::string& name) const {
    for (int i = 0; i < form->Media().EntryCount(); ++i) {
      if (form->Media().Entry(i).Name == name) return &form->Media().Entry(i);
    }
    return nullptr;
  }
  uint32_t PictureColour() const {
    TGfxImage* image = picture->Picture();
    TFramePlace place;
    if (!image || !image->FramePlace(0, place)) return 0;
    return image->GetPixel(place.left, place.top, place.texture);
  }
};

TEST(DisplayModeSwitch, PicturesFontsAndTheParticlePictureAreBuiltAgain) {
  ModeShell sh;
  ASSERT_EQ(sh.PictureColour(), kRed);
  const std::weak_ptr<TGfxFont> oldFont = sh.form->GfxFonts().FindFont("Body.fnt");
  ASSERT_FALSE(oldFont.expired());
  ASSERT_EQ(sh.title->FontObject(), oldFont.lock().get());

  sh.Picture(kGreen);  // the switch reads every picture again
  sh.form->FormKeyDown(kVkReturn, true, false, false);
  ASSERT_FALSE(sh.form->Device().Windowed());

  EXPECT_EQ(sh.PictureColour(), kGreen);
  EXPECT_EQ(sh.picture->Picture(), sh.Entry("PIC.PNG")->Image);
  // The font list was cleared and loaded again; the text holds the new font.
  EXPECT_TRUE(oldFont.expired());
  ASSERT_EQ(sh.form->GfxFonts().Count(), 1);
  ASSERT_NE(sh.title->FontObject(), nullptr);
  EXPECT_TRUE(sh.title->FontObject()->Loaded());
  EXPECT_EQ(sh.title->FontObject(), sh.form->GfxFonts().FindFont("Body.fnt").get());
  // The particle picture is requested forced: it stays through screen changes.
  const TQXIm* particles = sh.Entry("PARTICLES.BMP");
  ASSERT_NE(particles, nullptr);
  EXPECT_TRUE(particles->Keep);
  ASSERT_NE(particles->Image, nullptr);
  EXPECT_EQ(sh.form->Root()->Particles()->Image(), particles->Image);
  EXPECT_TRUE(sh.form->Timer().Enabled());
}

TEST(DisplayModeSwitch, EverythingDrawsAfterTheContextWentWithTheSwitch) {
  ModeShell sh;
  sh.gfx.LoseTexturesAtNextReset();
  sh.form->FormKeyDown(kVkReturn, true, false, false);
  ASSERT_TRUE(sh.gfx.textures.size() >= 3);  // picture, particles, font: made again
  sh.gfx.draws.clear();
  sh.form->Device().Render(0, true);
  int textured = 0;
  for (const NullGfx::Draw& d : sh.gfx.draws) {
    if (d.texture == 0) continue;
    ++textured;
    EXPECT_EQ(sh.gfx.textures.count(d.texture), 1u) << "a draw uses a texture the context lost";
  }
  EXPECT_GE(textured, 2);  // the picture and the text's glyphs
}

TEST(DisplayModeSwitch, TextsOfScreensNotLoadedTakeTheNewFontWhenDrawn) {
  // A screen whose resources are not loaded (a loading screen that does not always load,
  // say) is left out of the reload; it loads them, with the new font, when it is drawn.
  ModeShell sh;
  TQXScreen* loading = sh.Screen("LOADING", 2);
  TQXText* hint = sh.Text(loading, "wait");
  ASSERT_FALSE(loading->ResourcesLoaded);
  sh.form->FormKeyDown(kVkReturn, true, false, false);
  sh.gfx.draws.clear();
  sh.form->Device().OnRender = [&] { loading->Render(0, 0xFFFFFFFFu, 0, 0, false); };
  sh.form->Device().Render(0, true);
  EXPECT_EQ(hint->FontObject(), sh.form->GfxFonts().FindFont("Body.fnt").get());
  EXPECT_FALSE(sh.gfx.draws.empty());
}

}  // namespace
}  // namespace qx
