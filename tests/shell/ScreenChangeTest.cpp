// Screen changes through the whole shell with real scripts: the music a screen change fades
// out and the music the new screen's Show event starts.
#include <gtest/gtest.h>

#include "ScratchFiles.h"
#include "builtins/Builtins.h"
#include "elements/QXScreen.h"
#include "platform/null/NullAudio.h"
#include "platform/null/NullGfx.h"
#include "platform/null/NullWindow.h"
#include "runtime/RuntimeState.h"
#include "scene/QXDB.h"
#include "shell/MainForm.h"

namespace qx {
namespace {

// A shell in the game phase whose root plays from a scratch game folder with a sound table:
// "old" is the menu's music at 80 %, "theme" the room's at 60 %.
struct MusicShell {
  test::ScratchDir dir;
  NullWindow window;
  NullAudio audio;
  NullGfx gfx;
  FixedStepTimerClock clock{TGfxTimer::PeriodFor(kProcessTicksPerSecond)};
  std::unique_ptr<TFormMain> form;
  TQXScreen* menu = nullptr;
  TQXScreen* room = nullptr;

  MusicShell() {
    ResetRuntime();
    ShellOptions options;
    options.testMode = true;
    options.makeInterpreter = [](int, const GameLink& game) { return MakeGameInterpreter(game); };
    form = std::make_unique<TFormMain>(window, audio, gfx, clock, std::move(options));
    EXPECT_TRUE(form->FormCreate());
    form->SkipIntro();
    test::WriteText(dir / "sounds.ini", "[Default]\nold=80:old.ogg\ntheme=60:theme.ogg\n");
    test::WriteBytes(dir / "sounds/old.ogg", {1, 2, 3});
    test::WriteBytes(dir / "sounds/theme.ogg", {4, 5, 6});
    TQXDB* root = form->Root();
    root->SetGameFolder(dir.path().string());
    root->SetField(PropField::SoundFile, PropValue{0, 0, "sounds.ini"});
    menu = Screen("MENU", 1, "PlayMuz('old');");
    menu->SetScript(ScriptSlot::Update, "SetScreen(QXDB.ROOM);");
    room = Screen("ROOM", 2, "PlayMuz('theme');");
    Runtime().MusicVolume = 50;
  }
  ~MusicShell() {
    form.reset();
    ResetRuntime();
  }

  TQXScreen* Screen(const char* id, int32_t key, const char* show) {
    auto* s = new TQXScreen(form->Root());
    s->Id = id;
    s->Key = key;
    s->SetScript(ScriptSlot::Show, show);
    return s;
  }
  void Ticks(int n) {
    for (int i = 0; i < n; ++i) form->TimerProcess();
  }
  // The stream playing the sound file `name`, or nullptr.
  const NullAudio::Channel* Stream(const std::string& name) const {
    for (const auto& [handle, channel] : audio.channels) {
      if (channel.sample == 0 && channel.source.size() >= name.size() &&
          channel.source.compare(channel.source.size() - name.size(), name.size(), name) == 0) {
        return &channel;
      }
    }
    return nullptr;
  }
  // The menu is current with its music at full level.
  void StartOnTheMenu() {
    SetCurrentScreen(menu);
    menu->DoShow();
    Ticks(60);
    const NullAudio::Channel* old = Stream("old.ogg");
    ASSERT_NE(old, nullptr);
    ASSERT_TRUE(old->playing);
    ASSERT_EQ(old->attributes.volume, 40);  // MusicVolume 50 x 0.8
  }
};

TEST(ScreenChangeMusic, TheNewScreensShowMusicSurvivesTheChangeThroughALoadingScreen) {
  MusicShell sh;
  auto* loading = sh.Screen("LOADING", 3, "");
  loading->SetScript(ScriptSlot::Process, "LoadIm; EndLoadIm;");
  sh.form->Root()->LoadingScreen = 3;
  sh.StartOnTheMenu();

  sh.menu->DoUpdate();  // SetScreen(QXDB.ROOM)
  ASSERT_TRUE(Runtime().LoadingPhase);
  sh.Ticks(1);  // the loading screen: LoadIm (the room is shown), EndLoadIm
  EXPECT_EQ(Runtime().CurrentScreen, sh.room);
  EXPECT_FALSE(Runtime().LoadingPhase);
  sh.Ticks(59);

  const NullAudio::Channel* theme = sh.Stream("theme.ogg");
  ASSERT_NE(theme, nullptr);
  EXPECT_TRUE(theme->playing);
  EXPECT_EQ(theme->attributes.volume, 30);  // faded in to 60 % of MusicVolume 50 over 60 ticks
  const NullAudio::Channel* old = sh.Stream("old.ogg");
  EXPECT_FALSE(old->playing);  // faded out over 30 ticks and stopped
  EXPECT_EQ(old->attributes.volume, 0);
}

TEST(ScreenChangeMusic, WithoutALoadingScreenTheShowMusicSurvivesToo) {
  MusicShell sh;
  sh.StartOnTheMenu();
  sh.menu->DoUpdate();
  sh.Ticks(60);  // the first tick finishes the change itself
  EXPECT_EQ(Runtime().CurrentScreen, sh.room);
  ASSERT_NE(sh.Stream("theme.ogg"), nullptr);
  EXPECT_TRUE(sh.Stream("theme.ogg")->playing);
  EXPECT_EQ(sh.Stream("theme.ogg")->attributes.volume, 30);
  EXPECT_FALSE(sh.Stream("old.ogg")->playing);
}

TEST(ScreenChangeMusic, ShowMusicAlreadyPlayingFadesBackToItsLevel) {
  // The room plays the menu's music too: the change starts fading it out, the Show event
  // turns it back, and it ends at the room's level without stopping.
  MusicShell sh;
  sh.room->SetScript(ScriptSlot::Show, "PlayMuz('old');");
  sh.StartOnTheMenu();
  sh.menu->DoUpdate();
  sh.Ticks(60);
  EXPECT_TRUE(sh.Stream("old.ogg")->playing);
  EXPECT_EQ(sh.Stream("old.ogg")->attributes.volume, 40);
}

TEST(ScreenChangeMusic, FastSetScreenLeavesTheMusicAlone) {
  MusicShell sh;
  sh.menu->SetScript(ScriptSlot::Update, "FastSetScreen(QXDB.ROOM);");
  sh.StartOnTheMenu();
  sh.menu->DoUpdate();
  EXPECT_EQ(Runtime().CurrentScreen, sh.room);
  sh.Ticks(60);
  EXPECT_EQ(sh.Stream("old.ogg")->attributes.volume, 40);
  EXPECT_EQ(sh.Stream("theme.ogg")->attributes.volume, 30);
}

}  // namespace
}  // namespace qx
