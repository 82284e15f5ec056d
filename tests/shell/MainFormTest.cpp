#include "shell/MainForm.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "ScratchFiles.h"
#include "platform/null/NullGfx.h"
#include "platform/null/NullWindow.h"
#include "runtime/RuntimeState.h"

namespace qx {
namespace {

struct ShellRig {
  NullWindow window;
  NullAudio audio;
  NullGfx gfx;
  FixedStepTimerClock clock{TGfxTimer::PeriodFor(kProcessTicksPerSecond)};
  std::unique_ptr<TFormMain> form;

  explicit ShellRig(ShellOptions options = {}) {
    ResetRuntime();
    form = std::make_unique<TFormMain>(window, audio, gfx, clock, std::move(options));
  }
  ~ShellRig() { ResetRuntime(); }

  int Count(const std::string& call) const {
    return static_cast<int>(std::count(gfx.calls.begin(), gfx.calls.end(), call));
  }
};

// No sound device is no reason to stop: one warning line, then the game plays in silence.
TEST(MainFormStartUp, WithoutASoundDeviceTheGamePlaysSilently) {
  for (const bool noLibrary : {true, false}) {
    ShellOptions options;
    options.frameLimit = 3;
    ShellRig rig(std::move(options));
    rig.audio.available = !noLibrary;
    rig.audio.initOk = false;
    rig.audio.reason = "no such driver";
    testing::internal::CaptureStderr();
    EXPECT_EQ(rig.form->Run(), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "audio: no sound device (no such driver): the game plays without sound\n");
    EXPECT_TRUE(rig.window.errors.empty());  // no error box
    EXPECT_EQ(rig.form->Frames(), 3);
    EXPECT_EQ(std::count(rig.audio.calls.begin(), rig.audio.calls.end(), "InitializeSilent 44100"), 1);
    EXPECT_EQ(rig.audio.calls.back(), "Shutdown");  // the silent device closes with the game
  }
  // Not even a silent device: the game still plays.
  ShellOptions options;
  options.frameLimit = 2;
  ShellRig rig(std::move(options));
  rig.audio.initOk = rig.audio.silentOk = false;
  testing::internal::CaptureStderr();
  EXPECT_EQ(rig.form->Run(), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "audio: no sound device: the game plays without sound\n");
  EXPECT_EQ(rig.form->Frames(), 2);
}

// A device that goes mid-game (a headset pulled out): one warning, and the sounds play on in
// silence on the device that replaces it.
TEST(MainFormFrame, ASoundDeviceThatGoesMidGameIsReplacedBySilence) {
  ShellRig rig;
  ASSERT_TRUE(rig.form->FormCreate());
  rig.form->SkipIntro();
  const AudioHandle music = rig.audio.StreamCreateMemory(std::vector<uint8_t>(16, 1), true);
  ASSERT_TRUE(rig.audio.ChannelPlay(music, true));
  rig.form->TimerProcess();
  EXPECT_FALSE(rig.audio.silent);
  rig.audio.lost = true;
  testing::internal::CaptureStderr();
  for (int i = 0; i < 5; ++i) rig.form->TimerProcess();
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "audio: the sound device has gone: the game plays without sound\n");
  EXPECT_TRUE(rig.audio.silent);
  EXPECT_TRUE(rig.audio.ChannelIsActive(music));  // still playing, silently
  EXPECT_TRUE(rig.window.errors.empty());
  EXPECT_FALSE(rig.form->CloseRequested());
}

TEST(MainFormStartUp, DeviceFailureClosesTheWindow) {
  ShellRig rig;
  rig.gfx.FailCreate(true);
  EXPECT_EQ(rig.form->Run(), 1);
  EXPECT_EQ(rig.window.errors, std::vector<std::string>{"Failed initializing graphics device!"});
  EXPECT_FALSE(rig.audio.initialized);  // the close released the audio device
}

// qxrun asks for a game that can start: one that cannot is an error box and status 1 after
// the normal close, not a black window.
TEST(MainFormStartUp, AGameThatCannotStartShowsWhyAndEndsWithStatusOne) {
  test::ScratchDir dir;
  test::WriteText(dir / "empty.qxf", "");
  ShellOptions options;
  options.requireGame = true;
  options.gamePath = dir / "empty.qxf";
  ShellRig rig(std::move(options));
  EXPECT_EQ(rig.form->Run(), 1);
  EXPECT_EQ(rig.window.errors, std::vector<std::string>{"cannot start the game " + (dir / "empty.qxf") + ": it is empty"});
  EXPECT_EQ(rig.form->Frames(), 0);
  EXPECT_FALSE(rig.audio.initialized);
  EXPECT_TRUE(rig.form->Closed());
}

TEST(MainFormStartUp, StartFailuresSayWhatWentWrong) {
  TQXDB::LoadOutcome load;
  EXPECT_EQ(StartFailure(true, "", load).rfind("no game to play: ", 0), 0u);
  EXPECT_EQ(StartFailure(false, "/g/a.qxf", load), "cannot find the game file /g/a.qxf");
  load.kind = TQXDB::LoadOutcome::Kind::Unreadable;
  load.reason = "cannot open /g/a.qxf: Permission denied";
  EXPECT_EQ(StartFailure(false, "/g/a.qxf", load), "cannot read the game file: cannot open /g/a.qxf: Permission denied");
  load.kind = TQXDB::LoadOutcome::Kind::Read;
  load.damaged = true;  // what could be read plays
  EXPECT_EQ(StartFailure(false, "/g/a.qxf", load), "");
}

TEST(MainFormStartUp, OpensTheBackBufferAndStartsTheTimer) {
  ShellRig rig;
  ASSERT_TRUE(rig.form->FormCreate());
  EXPECT_EQ(rig.audio.frequency, 44100);
  EXPECT_EQ(rig.gfx.params.width, 1024);
  EXPECT_EQ(rig.gfx.params.height, 768);
  EXPECT_TRUE(rig.form->Timer().Enabled());
  EXPECT_EQ(rig.window.styles, std::vector<std::string>{"windowed"});
}

TEST(MainFormStartUp, TestModeForcesWindowed) {
  ShellOptions options;
  options.testMode = true;
  ShellRig rig(std::move(options));
  Runtime().FullScreenWanted = true;
  ASSERT_TRUE(rig.form->FormCreate());
  EXPECT_FALSE(Runtime().FullScreenWanted);
  EXPECT_TRUE(rig.form->Device().Windowed());
}

TEST(MainFormFrame, RendersBlackThenProcessesThenPresents) {
  ShellRig rig;
  ASSERT_TRUE(rig.form->FormCreate());
  rig.gfx.calls.clear();
  std::vector<std::string> order;
  rig.form->Timer().OnProcess = [&] {
    order.push_back("tick after " + rig.gfx.calls.back());
    rig.form->TimerProcess();
  };
  rig.form->Timer().Idle();  // first frame: no tick due yet
  rig.form->Timer().Idle();
  EXPECT_EQ(rig.gfx.calls, (std::vector<std::string>{"Clear 00000000", "BeginScene", "EndScene", "Present",
                                                     "Clear 00000000", "BeginScene", "EndScene", "Present"}));
  EXPECT_EQ(order, std::vector<std::string>{"tick after EndScene"});
  EXPECT_EQ(rig.form->Frames(), 2);
  EXPECT_EQ(rig.form->ProcessTicks(), 1);
}

TEST(MainFormFrame, PaintOnlyWhileTheTimerIsDisabled) {
  ShellRig rig;
  ASSERT_TRUE(rig.form->FormCreate());
  rig.gfx.calls.clear();
  rig.form->FormPaint();
  EXPECT_TRUE(rig.gfx.calls.empty());
  rig.form->Timer().SetEnabled(false);
  rig.form->FormPaint();
  EXPECT_EQ(rig.gfx.calls, (std::vector<std::string>{"BeginScene", "EndScene", "Present"}));
}

TEST(MainFormFrame, ExitRequestClosesAtTheNextTick) {
  ShellRig rig;
  ASSERT_TRUE(rig.form->FormCreate());
  rig.form->SkipIntro();
  Runtime().ExitRequested = true;
  rig.form->TimerProcess();
  EXPECT_TRUE(rig.form->CloseRequested());
}

TEST(MainFormFrame, RunStopsAfterTheFrameLimit) {
  ShellOptions options;
  options.frameLimit = 5;
  ShellRig rig(std::move(options));
  EXPECT_EQ(rig.form->Run(), 0);
  EXPECT_EQ(rig.form->Frames(), 5);
  EXPECT_EQ(rig.form->ProcessTicks(), 4);
  EXPECT_EQ(rig.Count("Present"), 5);
  EXPECT_TRUE(rig.form->Closed());
  EXPECT_FALSE(rig.gfx.deviceExists);
}

TEST(MainFormKeys, AltEnterTogglesFullScreenButCtrlAltEnterDoesNot) {
  ShellRig rig;
  ASSERT_TRUE(rig.form->FormCreate());
  rig.form->FormKeyDown(kVkReturn, true, false, false);
  EXPECT_FALSE(rig.form->Device().Windowed());
  EXPECT_TRUE(Runtime().FullScreenWanted);
  EXPECT_EQ(rig.window.styles.back(), "fullscreen");
  EXPECT_TRUE(rig.form->Timer().Enabled());

  rig.form->FormKeyDown(kVkReturn, true, true, false);
  rig.form->FormKeyDown(kVkReturn, true, false, true);
  rig.form->FormKeyDown(kVkReturn, false, false, false);
  EXPECT_FALSE(rig.form->Device().Windowed());

  rig.form->FormKeyDown(kVkReturn, true, false, false);
  EXPECT_TRUE(rig.form->Device().Windowed());
  EXPECT_FALSE(Runtime().FullScreenWanted);
  EXPECT_EQ(rig.window.styles.back(), "windowed");
}

// F12 is the player's: a screenshot in the pictures folder, never the game's key-down, unless
// --no-menu gives it back to the game.
TEST(MainFormKeys, F12WritesAScreenshotAndDoesNotReachTheGameWhileTheMenuIsEnabled) {
  test::ScratchDir pictures;
  ShellOptions options;
  options.screenshotFolder = pictures / "qxrun";
  ShellRig rig(std::move(options));
  ASSERT_TRUE(rig.form->FormCreate());
  rig.form->SkipIntro();
  rig.form->TimerTimer();
  Runtime().LastKey = 0;
  testing::internal::CaptureStderr();
  rig.form->FormKeyDown(kVkF12, false, false, false);
  rig.form->FormKeyDown(kVkF12, false, false, false);
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(Runtime().LastKey, 0);  // the root's key-down never ran
  std::vector<std::string> shots;
  for (const auto& entry : std::filesystem::directory_iterator(pictures / "qxrun")) shots.push_back(entry.path().string());
  std::sort(shots.begin(), shots.end());
  ASSERT_EQ(shots.size(), 2u);  // two in one second: neither replaces the other
  EXPECT_EQ(shots[0].substr(shots[0].size() - 4), ".png");
  EXPECT_NE(said.find("qxrun: screenshot saved to " + shots[0] + "\n"), std::string::npos) << said;
  EXPECT_EQ(test::ReadText(shots[0]).substr(1, 3), "PNG");
}

TEST(MainFormKeys, NoMenuGivesF12BackToTheGame) {
  test::ScratchDir pictures;
  ShellOptions options;
  options.menuEnabled = false;
  options.screenshotFolder = pictures / "qxrun";
  ShellRig rig(std::move(options));
  ASSERT_TRUE(rig.form->FormCreate());
  rig.form->FormKeyDown(kVkF12, false, false, false);
  EXPECT_EQ(Runtime().LastKey, kVkF12);
  EXPECT_FALSE(std::filesystem::exists(pictures / "qxrun"));
}

TEST(MainFormKeys, WantedModeIsAppliedAtTheNextTick) {
  ShellRig rig;
  ASSERT_TRUE(rig.form->FormCreate());
  rig.form->SkipIntro();
  Runtime().FullScreenWanted = true;
  rig.form->TimerProcess();
  EXPECT_FALSE(rig.form->Device().Windowed());
  EXPECT_EQ(rig.window.styles.back(), "fullscreen");
}

TEST(MainFormActivation, BackgroundFreezesAndSilences) {
  ShellRig rig;
  ASSERT_TRUE(rig.form->FormCreate());
  rig.form->WMActivate(false);
  EXPECT_FALSE(rig.form->Timer().Enabled());
  EXPECT_TRUE(rig.audio.paused);
  rig.window.minimized = true;
  rig.form->WMActivate(true);  // activated but still minimised: stays frozen
  EXPECT_FALSE(rig.form->Timer().Enabled());
  rig.window.minimized = false;
  rig.form->WMActivate(true);
  EXPECT_TRUE(rig.form->Timer().Enabled());
  EXPECT_FALSE(rig.audio.paused);
}

TEST(MainFormInput, MouseMoveTracksPositionAndDelta) {
  ShellRig rig;
  ASSERT_TRUE(rig.form->FormCreate());
  rig.form->FormMouseMove(100, 50);
  rig.form->FormMouseMove(90, 70);
  EXPECT_EQ(Runtime().MouseX, 90);
  EXPECT_EQ(Runtime().MouseY, 70);
  EXPECT_EQ(Runtime().MouseDX, -10);
  EXPECT_EQ(Runtime().MouseDY, 20);
}

TEST(MainFormInput, CloseEventEndsTheLoop) {
  ShellRig rig;
  WindowEvent close;
  close.kind = WindowEvent::Kind::Close;
  rig.window.Push(close);
  EXPECT_EQ(rig.form->Run(), 0);
  EXPECT_EQ(rig.form->Frames(), 0);
}

TEST(MainFormReplay, EventsArriveAtTheirTicksAndQuitEndsTheRun) {
  test::ScratchDir dir;
  std::vector<ReplayEvent> events;
  std::string error;
  ASSERT_TRUE(ParseReplay("0 move 10 20\n3 move 30 40\n3 shot " + (dir / "a.png") + "\n5 quit\n",
                          events, error))
      << error;
  ShellOptions options;
  options.replay = events;
  options.recordPath = dir / "rec.txt";
  options.screenshotPath = dir / "end.png";
  ShellRig rig(std::move(options));
  EXPECT_EQ(rig.form->Run(), 0);
  EXPECT_EQ(rig.form->ProcessTicks(), 5);
  EXPECT_EQ(Runtime().MouseX, 30);
  EXPECT_EQ(Runtime().MouseDX, 20);
  EXPECT_TRUE(std::filesystem::exists(dir / "a.png"));
  EXPECT_TRUE(std::filesystem::exists(dir / "end.png"));
  std::ifstream rec(dir / "rec.txt");
  std::string line;
  std::getline(rec, line);
  EXPECT_EQ(line, "5 quit");  // replayed input is not recorded again
}

TEST(MainFormReplay, WindowInputIsRecordedInReplayFormat) {
  test::ScratchDir dir;
  ShellOptions options;
  options.recordPath = dir / "rec.txt";
  options.frameLimit = 2;
  ShellRig rig(std::move(options));
  WindowEvent down;
  down.kind = WindowEvent::Kind::MouseDown;
  down.x = 7;
  down.y = 8;
  rig.window.Push(down);
  WindowEvent key;
  key.kind = WindowEvent::Kind::KeyDown;
  key.vk = 65;
  key.ctrl = true;
  rig.window.Push(key);
  EXPECT_EQ(rig.form->Run(), 0);
  std::ifstream in(dir / "rec.txt");
  std::stringstream ss;
  ss << in.rdbuf();
  EXPECT_EQ(ss.str(), "0 down 7 8\n0 key 65 ctrl\n1 quit\n");
  // And the recording reads back as a replay.
  std::vector<ReplayEvent> events;
  std::string error;
  ASSERT_TRUE(ParseReplay(ss.str(), events, error)) << error;
  ASSERT_EQ(events.size(), 3u);
  EXPECT_TRUE(events[1].input.ctrl);
}

}  // namespace
}  // namespace qx
