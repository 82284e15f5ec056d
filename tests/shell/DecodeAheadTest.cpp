// Pictures decoded ahead on worker threads: a screen change loads them in the same order,
// with the same counts, failures and progress-script runs as the serial path, also when the
// progress script changes pictures in the middle of the loading.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ScratchFiles.h"
#include "builtins/Builtins.h"
#include "elements/QXImage.h"
#include "elements/QXScreen.h"
#include "platform/null/NullAudio.h"
#include "platform/null/NullGfx.h"
#include "platform/null/NullWindow.h"
#include "resources/PngWriter.h"
#include "runtime/RuntimeState.h"
#include "scene/QXDB.h"
#include "shell/MainForm.h"

namespace qx {
namespace {

uint32_t Shade(int i) { return 0xFF000000u | static_cast<uint32_t>(i * 40) << 16 | 0x3080u; }

void Png(const std::filesystem::path& path, int w, int h, int shade) {
  std::vector<uint32_t> px(static_cast<size_t>(w * h), Shade(shade));
  std::string error;
  std::filesystem::create_directories(path.parent_path());
  ASSERT_TRUE(WritePngFile(path.string(), px.data(), w, h, error)) << error;
}

// MENU, and ROOM with six pictures: r0..r5, where r3 is a damaged file, and a seventh
// element naming a picture that does not exist. r1 has a frame layout.
struct LoadingShell {
  test::ScratchDir dir;
  NullWindow window;
  NullAudio audio;
  NullGfx gfx;
  FixedStepTimerClock clock{TGfxTimer::PeriodFor(kProcessTicksPerSecond)};
  std::unique_ptr<TFormMain> form;
  TQXScreen* menu = nullptr;
  TQXScreen* room = nullptr;
  std::vector<TQXImage*> images;
  // One line per progress-script run: the counters and the pictures loaded so far.
  std::vector<std::string> progress;

  explicit LoadingShell(bool parallel) {
    ResetRuntime();
    ShellOptions options;
    options.testMode = true;
    options.serialDecode = !parallel;
    options.makeInterpreter = [](int, const GameLink& game) { return MakeGameInterpreter(game); };
    form = std::make_unique<TFormMain>(window, audio, gfx, clock, std::move(options));
    EXPECT_TRUE(form->FormCreate());
    form->SkipIntro();
    for (int i = 0; i < 6; ++i) Png(dir / ("pics/r" + std::to_string(i) + ".png"), 48, 32, i);
    Png(dir / "pics/other.png", 16, 16, 6);
    test::WriteBytes(dir.path() / "pics/r3.png", {0x89, 'P', 'N', 'G', 1, 2, 3});
    test::WriteText(dir.path() / "pics/r1.an", "2\n2\n");
    TQXDB* root = form->Root();
    root->SetGameFolder(dir.path().string());
    menu = new TQXScreen(root);
    menu->Id = "MENU";
    menu->Key = 1;
    menu->SetScript(ScriptSlot::Update, "SetScreen(QXDB.ROOM);");
    room = new TQXScreen(root);
    room->Id = "ROOM";
    room->Key = 2;
    Runtime().LoadNow = false;
    for (int i = 0; i < 7; ++i) {
      auto* image = new TQXImage(room);
      image->Id = "P" + std::to_string(i);
      image->SetImImage(i < 6 ? "pics/r" + std::to_string(i) + ".png" : "pics/none.png");
      images.push_back(image);
    }
    Runtime().LoadNow = true;
    SetCurrentScreen(menu);
    menu->DoShow();
  }
  ~LoadingShell() {
    form.reset();
    ResetRuntime();
  }

  std::string Loaded() const {
    std::string names;
    const MediaCache& media = form->Media();
    for (int i = 0; i < media.EntryCount(); ++i) {
      const TQXIm& e = media.Entry(i);
      if (e.Image) names += " " + e.Name + "/" + std::to_string(e.Image->PatternCount());
      if (e.Failed) names += " " + e.Name + "!";
    }
    return names;
  }

  // Records every progress run; `change` may act on the scene at run n (0-based).
  template <class F>
  void OnProgress(F change) {
    std::function<void()> script = form->Media().OnLoadProgress;
    form->Media().OnLoadProgress = [this, script, change] {
      const RuntimeState& rt = Runtime();
      progress.push_back(std::to_string(rt.ImForLoadPos) + "/" + std::to_string(rt.ImForLoadCount) + Loaded());
      change(static_cast<int>(progress.size()) - 1);
      script();
    };
  }

  void ChangeScreen() {
    menu->DoUpdate();
    form->TimerProcess();
    ASSERT_EQ(Runtime().CurrentScreen, room);
  }
};

std::vector<std::string> ChangeScreenOnce(bool parallel, std::string& loaded, int& aheadLeft) {
  LoadingShell sh(parallel);
  sh.OnProgress([&sh](int run) {
    if (run == 1) {
      sh.images[4]->SetImImage("pics/other.png");  // loads at once: a progress run within this one
      sh.images[5]->SetImImage("");                // r5, decoded ahead, is never requested
    }
  });
  sh.ChangeScreen();
  loaded = sh.Loaded();
  aheadLeft = sh.form->Media().DecodesAhead();
  return sh.progress;
}

TEST(DecodeAhead, ProgressRunsCountsAndFailuresAreThoseOfTheSerialPath) {
  std::string serialLoaded, parallelLoaded;
  int serialLeft = -1, parallelLeft = -1;
  const std::vector<std::string> serial = ChangeScreenOnce(false, serialLoaded, serialLeft);
  const std::vector<std::string> parallel = ChangeScreenOnce(true, parallelLoaded, parallelLeft);
  // The serial path as it has always been: seven queued (plus one for the step itself), no
  // progress run for the damaged r3 (failed for good) nor for the missing picture, r4
  // replaced by other.png before its turn and r5 dropped.
  const std::vector<std::string> expected = {
      "1/8 PICS/R0.PNG/1",
      "2/8 PICS/R0.PNG/1 PICS/R1.PNG/4",
      "3/8 PICS/R0.PNG/1 PICS/R1.PNG/4 PICS/OTHER.PNG/1",  // within the run above
      "4/8 PICS/R0.PNG/1 PICS/R1.PNG/4 PICS/R2.PNG/1 PICS/OTHER.PNG/1",
  };

  EXPECT_EQ(serial, expected);
  EXPECT_EQ(parallel, serial);
  EXPECT_EQ(serialLoaded, " PICS/R0.PNG/1 PICS/R1.PNG/4 PICS/R2.PNG/1 PICS/R3.PNG! PICS/OTHER.PNG/1");
  EXPECT_EQ(parallelLoaded, serialLoaded);
  EXPECT_EQ(serialLeft, 0);
  EXPECT_EQ(parallelLeft, 0);  // the decode of r5 was thrown away
}

// The start screen's pictures were named while the game file loaded; the intro loads them
// when it shows the screen, decoded ahead too.
std::string LoadStartScreen(bool parallel, int& takenAhead) {
  LoadingShell sh(parallel);
  SetCurrentScreen(sh.room);
  sh.form->LoadStartScreen();
  takenAhead = sh.form->Media().TakenAhead();
  EXPECT_EQ(sh.form->Media().DecodesAhead(), 0);
  return sh.Loaded();
}

TEST(DecodeAhead, TheStartScreenLoadsAsSeriallyWithItsPicturesDecodedAhead) {
  int serialTaken = -1, parallelTaken = -1;
  const std::string serial = LoadStartScreen(false, serialTaken);
  const std::string parallel = LoadStartScreen(true, parallelTaken);
  EXPECT_EQ(serial, " PICS/R0.PNG/1 PICS/R1.PNG/4 PICS/R2.PNG/1 PICS/R3.PNG! PICS/R4.PNG/1 PICS/R5.PNG/1");
  EXPECT_EQ(parallel, serial);
  EXPECT_EQ(serialTaken, 0);
  EXPECT_EQ(parallelTaken, 6);  // r0..r5, the damaged r3 too; the missing one is not looked for ahead
}

TEST(DecodeAhead, TheSwitchTurnsDecodingAheadOff) {
  LoadingShell serial(false);
  EXPECT_FALSE(serial.form->Media().ParallelDecode());
}

}  // namespace
}  // namespace qx
