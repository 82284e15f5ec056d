#include "render/GfxTimer.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

// A timer on a manual clock whose frames take exactly `frameMs` each; counts frames and ticks.
struct TimerRig {
  ManualTimerClock clock;
  TGfxTimer timer{clock};
  int frames = 0;
  int ticks = 0;

  explicit TimerRig(double speed = 30.0, int maxFps = 30) {
    timer.SetSpeed(speed);
    timer.SetMaxFPS(maxFps);
    timer.OnTimer = [this] {
      ++frames;
      timer.Process();
    };
    timer.OnProcess = [this] { ++ticks; };
    timer.SetEnabled(true);
    timer.Reset();
  }

  // One idle pass after `ms` of frame work (sleeping inside the pass also moves the clock).
  void Frame(double ms) {
    clock.AdvanceMs(ms);
    timer.Idle();
  }
};

TEST(GfxTimer, PeriodsAreTwentyBitFixedPointMilliseconds) {
  ManualTimerClock clock;
  TGfxTimer timer(clock);
  EXPECT_DOUBLE_EQ(timer.Speed(), 60.0);
  EXPECT_EQ(timer.MaxFPS(), 100);
  timer.SetSpeed(30.0);
  EXPECT_EQ(timer.TickPeriod(), 34952533);  // round(1000 * 2^20 / 30)
  timer.SetMaxFPS(100);
  EXPECT_EQ(timer.MinFrameTime(), 10485760);
  EXPECT_EQ(timer.Precision(), TTimerPrecision::ppHigh);
}

TEST(GfxTimer, SteadyThirtyFramesRunOneTickEach) {
  TimerRig rig;
  rig.Frame(0);  // the first pass only arms the accumulator
  const int before = rig.ticks;
  for (int i = 0; i < 300; ++i) rig.Frame(1000.0 / 30);
  EXPECT_NEAR(rig.ticks - before, 300, 1);
  EXPECT_EQ(rig.frames, 301);
}

TEST(GfxTimer, FifteenFramesASecondRunTwoTicksEach) {
  TimerRig rig;
  rig.Frame(0);
  for (int i = 0; i < 10; ++i) rig.Frame(1000.0 / 30);
  const int before = rig.ticks;
  int two = 0;
  for (int i = 0; i < 150; ++i) {
    const int t = rig.ticks;
    rig.Frame(1000.0 / 15);
    if (rig.ticks - t == 2) ++two;
  }
  EXPECT_NEAR(rig.ticks - before, 300, 1);
  EXPECT_GE(two, 148);
}

TEST(GfxTimer, StallRunsAtMostThirtyTwoTicksAndDropsTheRest) {
  TimerRig rig;
  rig.Frame(0);
  rig.Frame(1000.0 / 30);
  const int before = rig.ticks;
  rig.Frame(5000);
  EXPECT_EQ(rig.ticks - before, 32);
  EXPECT_LT(rig.timer.Accumulated(), int64_t{1} << 20);  // nothing of the stall is carried over
  const int after = rig.ticks;
  rig.Frame(1000.0 / 30);
  EXPECT_EQ(rig.ticks - after, 1);
}

TEST(GfxTimer, ResetExcludesTimeSpentBeforeIt) {
  TimerRig rig;
  rig.Frame(0);
  rig.clock.AdvanceMs(3000);  // a long load...
  rig.timer.Reset();          // ...that the caller excludes
  const int before = rig.ticks;
  rig.Frame(1000.0 / 30);
  EXPECT_EQ(rig.ticks - before, 1);
}

TEST(GfxTimer, LowerBoundsOfSpeedAndMaxFps) {
  TimerRig rig(0.5, 0);
  EXPECT_DOUBLE_EQ(rig.timer.Speed(), 1.0);
  EXPECT_EQ(rig.timer.MaxFPS(), 1);
  rig.Frame(0);
  const int before = rig.ticks;
  // Frames come as fast as the limit of one a second lets them: each pass sleeps the rest.
  const int64_t start = rig.clock.Now();
  for (int i = 0; i < 10; ++i) rig.Frame(10);
  EXPECT_EQ(rig.frames, 11);
  EXPECT_GE(rig.clock.Now() - start, 10 * 999 * kFixedMs);
  EXPECT_NEAR(rig.ticks - before, 10, 1);  // one tick a second
}

TEST(GfxTimer, FramesNeverComeFasterThanMaxFps) {
  TimerRig rig;
  rig.Frame(0);
  std::vector<int64_t> raised;
  rig.timer.OnTimer = [&] {
    raised.push_back(rig.clock.Now());
    rig.timer.Process();
  };
  for (int i = 0; i < 60; ++i) rig.Frame(10);  // 10 ms of work a frame, limit 30 a second
  for (size_t i = 1; i < raised.size(); ++i) {
    EXPECT_GE(raised[i] - raised[i - 1], 33 * kFixedMs) << "frame " << i;
  }
}

TEST(GfxTimer, SleepsUpToTheMinimumFrameTime) {
  TimerRig rig;
  rig.timer.Reset();
  const int64_t slept = rig.clock.sleptMs();
  rig.Frame(10);  // 10 ms of work against a 33.3 ms frame
  EXPECT_EQ(rig.clock.sleptMs() - slept, 23);
}

TEST(GfxTimer, DisabledSleepsFiveMsAndRaisesNothing) {
  TimerRig rig;
  rig.timer.SetEnabled(false);
  for (int i = 0; i < 4; ++i) rig.Frame(40);
  EXPECT_EQ(rig.frames, 0);
  EXPECT_EQ(rig.ticks, 0);
  EXPECT_EQ(rig.clock.sleeps(), 4);
  EXPECT_EQ(rig.clock.sleptMs(), 20);
}

TEST(GfxTimer, TicksWaitUntilTheFrameHandlerProcesses) {
  // Without Process in the frame handler the due ticks are not accumulated.
  ManualTimerClock clock;
  TGfxTimer timer(clock);
  timer.SetSpeed(30);
  timer.SetMaxFPS(30);
  int ticks = 0;
  timer.OnProcess = [&] { ++ticks; };
  timer.SetEnabled(true);
  for (int i = 0; i < 5; ++i) {
    clock.AdvanceMs(100);
    timer.Idle();
  }
  EXPECT_EQ(timer.Accumulated(), 0);
  timer.Process();
  EXPECT_EQ(ticks, 0);
}

TEST(GfxTimer, FixedStepClockGivesExactlyOneTickPerFrame) {
  FixedStepTimerClock clock(TGfxTimer::PeriodFor(30.0));
  TGfxTimer timer(clock);
  timer.SetSpeed(30);
  timer.SetMaxFPS(30);
  int ticks = 0;
  std::vector<int> perFrame;
  timer.OnTimer = [&] {
    const int t = ticks;
    timer.Process();
    perFrame.push_back(ticks - t);
  };
  timer.OnProcess = [&] { ++ticks; };
  timer.SetEnabled(true);
  timer.Reset();
  for (int i = 0; i < 1000; ++i) timer.Idle();
  ASSERT_EQ(perFrame.size(), 1000u);
  EXPECT_EQ(perFrame[0], 0);
  for (size_t i = 1; i < perFrame.size(); ++i) ASSERT_EQ(perFrame[i], 1) << "frame " << i;
}

}  // namespace
}  // namespace qx
