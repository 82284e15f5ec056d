// qxrun --watch: the game built from its source, rebuilt when a watched file changes and
// started afresh on the screen that was current; a broken source leaves the old game playing.
#include "shell/SourceWatch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "ScratchFiles.h"
#include "builtins/Builtins.h"
#include "elements/QXShape.h"
#include "platform/null/NullAudio.h"
#include "platform/null/NullGfx.h"
#include "platform/null/NullWindow.h"
#include "runtime/RuntimeState.h"
#include "scene/QXDB.h"
#include "shell/MainForm.h"

namespace qx {
namespace {

// Two screens; the shape's Init and the garden's Show leave marks the test can read.
std::string Game(const std::string& gardenId, int initX) {
  return "class: TQXDB\n"
         "Id: Watched\n"
         "InitScreen: 1\n"
         "children:\n"
         "  - class: TQXScreen\n"
         "    Key: 1\n"
         "    Id: HALL\n"
         "  - class: TQXScreen\n"
         "    Key: 2\n"
         "    Id: " + gardenId + "\n"
         "    exShow: |\n"
         "      SHAPE.rY := 33;\n"
         "    children:\n"
         "      - class: TQXShape\n"
         "        Key: 20\n"
         "        Id: SHAPE\n"
         "        SizeX: 10\n"
         "        SizeY: 10\n"
         "        exInit: |\n"
         "          rX := " + std::to_string(initX) + ";\n";
}

struct WatchRig {
  test::ScratchDir dir;
  NullWindow window;
  NullAudio audio;
  NullGfx gfx;
  FixedStepTimerClock clock{TGfxTimer::PeriodFor(kProcessTicksPerSecond)};
  std::unique_ptr<SourceWatch> watch;
  std::unique_ptr<TFormMain> form;

  WatchRig() {
    ResetRuntime();
    test::WriteText(dir / "game.yaml", Game("GARDEN", 10));
    watch = std::make_unique<SourceWatch>(dir / "game.yaml", dir / "cache/game.qxf");
    std::string error;
    EXPECT_TRUE(watch->Build(error)) << error;
    ShellOptions options;
    options.testMode = true;
    options.requireGame = true;
    options.gamePath = watch->Output();
    options.gameFolder = watch->Folder();
    options.makeInterpreter = [](int, const GameLink& game) { return MakeGameInterpreter(game); };
    form = std::make_unique<TFormMain>(window, audio, gfx, clock, std::move(options));
    EXPECT_TRUE(form->FormCreate());
    for (int i = 0; i < 400 && form->Intro().LogoIndex > -1; ++i) form->TimerProcess();
  }
  ~WatchRig() {
    form.reset();
    ResetRuntime();
  }
  TQXShape* Shape() { return dynamic_cast<TQXShape*>(form->Root()->FindByKey(20)); }
  // A change the stamp sees even within the file system's time resolution.
  void Edit(const std::string& text) {
    test::WriteText(dir / "game.yaml", text);
    std::filesystem::last_write_time(dir / "game.yaml", std::filesystem::file_time_type::clock::now() +
                                                            std::chrono::seconds(5));
  }
};

TEST(SourceWatch, AChangedSourceStartsTheNewGameAfreshOnTheCurrentScreen) {
  WatchRig rig;
  ASSERT_EQ(rig.form->Intro().LogoIndex, -1);
  ASSERT_NE(rig.Shape(), nullptr);
  EXPECT_EQ(rig.Shape()->rX, 10);
  EXPECT_EQ(Runtime().GameFolder, rig.watch->Folder() + "/");  // the source's pictures, not the cache's
  // The player goes to the garden and the game's state changes.
  TQXElement* garden = rig.form->Root()->FindByKey(2);
  SetCurrentScreen(garden);
  garden->DoShow();
  rig.Shape()->rX = 999;
  EXPECT_FALSE(rig.watch->Changed());
  rig.watch->Poll(*rig.form, true);
  EXPECT_EQ(rig.form->Root()->FindByKey(2), garden);  // nothing changed: the same game plays

  rig.Edit(Game("GARDEN2", 55));
  EXPECT_TRUE(rig.watch->Changed());
  testing::internal::CaptureStderr();
  rig.watch->Poll(*rig.form, true);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("rebuilt"), std::string::npos) << err;
  EXPECT_FALSE(rig.watch->Changed());
  // The new game: its Init ran (nothing of the old state is kept), no intro, and it is on the
  // screen of the same Key, shown as FastSetScreen shows it.
  ASSERT_NE(Runtime().CurrentScreen, nullptr);
  EXPECT_EQ(Runtime().CurrentScreen->Id, "GARDEN2");
  EXPECT_EQ(rig.form->Intro().LogoIndex, -1);
  EXPECT_FALSE(Runtime().LoadingPhase);
  ASSERT_NE(rig.Shape(), nullptr);
  EXPECT_EQ(rig.Shape()->rX, 55);
  EXPECT_EQ(rig.Shape()->rY, 33);
  rig.form->TimerProcess();
  rig.form->DeviceRender();
  EXPECT_TRUE(rig.form->Notice().empty());

  // A screen the new game no longer has: its start screen.
  std::string noGarden = Game("GARDEN", 1);
  noGarden.replace(noGarden.find("Key: 2"), 6, "Key: 3");
  rig.Edit(noGarden);
  rig.watch->Poll(*rig.form, true);
  ASSERT_NE(Runtime().CurrentScreen, nullptr);
  EXPECT_EQ(Runtime().CurrentScreen->Id, "HALL");
}

TEST(SourceWatch, ABrokenSourceLeavesTheOldGamePlayingWithTheErrorShown) {
  WatchRig rig;
  TQXElement* hall = Runtime().CurrentScreen;
  ASSERT_NE(hall, nullptr);
  const auto before = test::ReadBytes(rig.watch->Output());
  rig.Edit("class: TQXDB\nchildren:\n  - class: TQXNoSuchThing\n");
  testing::internal::CaptureStderr();
  rig.watch->Poll(*rig.form, true);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("watch: "), std::string::npos);
  EXPECT_NE(err.find("game.yaml:3"), std::string::npos) << err;
  EXPECT_NE(err.find("the game before the change plays on"), std::string::npos) << err;
  EXPECT_EQ(Runtime().CurrentScreen, hall);
  EXPECT_EQ(test::ReadBytes(rig.watch->Output()), before);  // the last good game file stays
  EXPECT_NE(rig.form->Notice().find("game.yaml:3"), std::string::npos);
  // The overlay is drawn over the game.
  rig.gfx.calls.clear();
  rig.form->TimerTimer();
  EXPECT_FALSE(rig.gfx.calls.empty());
  // The same failure is not built again at every poll; the fix is.
  EXPECT_FALSE(rig.watch->Changed());
  rig.Edit(Game("FIXED", 1));
  rig.watch->Poll(*rig.form, true);
  EXPECT_TRUE(rig.form->Notice().empty());
  EXPECT_EQ(rig.form->Root()->FindByKey(2)->Id, "FIXED");
}

// What is watched: the source, its includes and the files of the folder its elements name,
// not the player's files that the game itself writes while it plays.
TEST(SourceWatch, WatchesTheSourceItsIncludesAndTheFilesItNames) {
  test::ScratchDir dir;
  test::WriteText(dir / "game.yaml",
                  "class: TQXDB\nFileRS: state.dat\nIniFile: player.ini\nchildren:\n"
                  "  - include: hall.yaml\n");
  test::WriteText(dir / "hall.yaml", "class: TQXScreen\nKey: 1\nImBack: Pictures/Hall.png\n");
  test::WriteBytes(dir / "pictures/hall.png", {1});
  test::WriteBytes(dir / "state.dat", {1});
  test::WriteText(dir / "player.ini", "[Def]\n");
  SourceWatch watch(dir / "game.yaml", dir / "out/game.qxf");
  std::string error;
  testing::internal::CaptureStderr();
  ASSERT_TRUE(watch.Build(error)) << error;
  testing::internal::GetCapturedStderr();
  std::vector<std::string> files = watch.WatchedFiles();
  auto watched = [&](const std::string& name) {
    const std::string path = std::filesystem::path(dir / name).lexically_normal().string();
    return std::find(files.begin(), files.end(), path) != files.end();
  };
  EXPECT_TRUE(watched("game.yaml"));
  EXPECT_TRUE(watched("hall.yaml"));
  EXPECT_TRUE(watched("pictures/hall.png"));  // found as the runtime finds it, any letter case
  EXPECT_FALSE(watched("state.dat"));
  EXPECT_FALSE(watched("player.ini"));
  EXPECT_TRUE(std::filesystem::exists(dir / "out/game.qxf"));
  // A changed picture is a change; a removed one too.
  std::filesystem::remove(dir / "pictures/hall.png");
  EXPECT_TRUE(watch.Changed());
}

// The built game goes to the cache, under the source's name and a hash of its place.
TEST(SourceWatch, TheGameFileIsBuiltIntoTheCacheNotBesideTheSource) {
  const char* old = std::getenv("XDG_CACHE_HOME");
  const std::string saved = old ? old : "";
  setenv("XDG_CACHE_HOME", "/var/cache-test", 1);
  const std::string a = SourceWatch::CachePath("/games/a/game.yaml");
  const std::string b = SourceWatch::CachePath("/games/b/game.yaml");
  if (old) setenv("XDG_CACHE_HOME", saved.c_str(), 1);
  else unsetenv("XDG_CACHE_HOME");
  EXPECT_EQ(a.rfind("/var/cache-test/qxrun/watch/game-", 0), 0u) << a;
  EXPECT_EQ(a.substr(a.size() - 4), ".qxf");
  EXPECT_NE(a, b);
}

}  // namespace
}  // namespace qx
