// A game controller as the mouse: pointer motion with its dead zone and acceleration, A as
// the mouse button, Start as the menu key, and what the shell records of it.
#include "shell/GamepadPointer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>

#include "ScratchFiles.h"
#include "platform/null/NullGfx.h"
#include "platform/null/NullWindow.h"
#include "runtime/RuntimeState.h"
#include "shell/MainForm.h"

namespace qx {
namespace {
using B = GamepadPointer::Button;

// The distance of the first tenth of a second from rest: the speed ramps from `start` to the
// top speed over kRampSeconds, so it averages start + 5% of the way up.
double FirstTenth(double start) {
  return 0.1 * (start + (GamepadPointer::kTopSpeed - start) * 0.05 / GamepadPointer::kRampSeconds);
}

// Holds the push for `seconds` in steps of a frame; the distance covered along x.
int Hold(GamepadPointer& pad, double seconds, double frame = 1.0 / 30) {
  const int start = pad.X();
  for (double t = 0; t < seconds - 1e-9; t += frame) pad.Step(frame);
  return pad.X() - start;
}

TEST(GamepadPointer, TheStickMovesOnlyBeyondItsDeadZoneAndSlowlyForASmallPush) {
  GamepadPointer pad(1024, 768);
  pad.SetPosition(100, 100);
  pad.SetStick(0.19, 0.0);
  EXPECT_FALSE(pad.Moving());
  EXPECT_FALSE(pad.Step(0.05));
  EXPECT_EQ(pad.X(), 100);
  pad.SetStick(0.12, -0.12);  // 0.17 of full scale, diagonally: still rest
  EXPECT_FALSE(pad.Moving());

  // Half way beyond the dead zone is a quarter of the speed (the push is squared).
  GamepadPointer half(1024, 768), full(1024, 768);
  half.SetStick(0.6, 0.0);
  full.SetStick(1.0, 0.0);
  const int slow = Hold(half, 0.2);
  const int fast = Hold(full, 0.2);
  EXPECT_GT(slow, 0);
  EXPECT_NEAR(static_cast<double>(slow) / fast, 0.25, 0.03);
}

TEST(GamepadPointer, HeldLongerThePointerGoesFaster) {
  GamepadPointer pad(1024, 768);
  pad.SetStick(1.0, 0.0);
  // The first tenth of a second from rest: about the start speed.
  const int first = Hold(pad, 0.1);
  EXPECT_NEAR(first, FirstTenth(GamepadPointer::kStickStartSpeed), 1.5);
  Hold(pad, 0.9);
  pad.SetPosition(0, 0);
  // After the ramp: the top speed.
  EXPECT_NEAR(Hold(pad, 0.1), 0.1 * GamepadPointer::kTopSpeed, 3);

  // Let go and pushed again, it starts slow again.
  pad.SetStick(0.0, 0.0);
  pad.Step(0.05);
  pad.SetPosition(0, 0);
  pad.SetStick(1.0, 0.0);
  EXPECT_NEAR(Hold(pad, 0.1), first, 1);
}

TEST(GamepadPointer, TheDpadStartsSlowerAndMovesDiagonalsAtTheSameSpeed) {
  GamepadPointer pad(1024, 768);
  pad.SetPosition(500, 400);
  pad.SetButton(B::DpadRight, true);
  EXPECT_NEAR(Hold(pad, 0.1), FirstTenth(GamepadPointer::kDpadStartSpeed), 1.5);
  EXPECT_LT(FirstTenth(GamepadPointer::kDpadStartSpeed), FirstTenth(GamepadPointer::kStickStartSpeed) / 2);
  pad.SetButton(B::DpadRight, false);
  EXPECT_FALSE(pad.Moving());

  GamepadPointer diag(1024, 768), straight(1024, 768);
  diag.SetPosition(500, 400);
  straight.SetPosition(500, 400);
  diag.SetButton(B::DpadDown, true);
  diag.SetButton(B::DpadLeft, true);
  straight.SetButton(B::DpadUp, true);
  for (int i = 0; i < 15; ++i) {
    diag.Step(1.0 / 30);
    straight.Step(1.0 / 30);
  }
  const double diagonal = std::hypot(diag.X() - 500, diag.Y() - 400);
  EXPECT_LT(diag.X(), 500);
  EXPECT_GT(diag.Y(), 400);
  EXPECT_NEAR(diagonal, 400 - straight.Y(), 3);
  // The stick wins over the d-pad while it is pushed.
  diag.SetStick(0.0, -1.0);
  const int y = diag.Y();
  diag.Step(0.05);
  EXPECT_LT(diag.Y(), y);
}

TEST(GamepadPointer, ThePointerStaysInTheBufferAndAStallMovesItNoFarther) {
  GamepadPointer pad(1024, 768);
  pad.SetPosition(1020, 5);
  pad.SetStick(1.0, -1.0);
  for (int i = 0; i < 30; ++i) pad.Step(0.05);
  EXPECT_EQ(pad.X(), 1023);
  EXPECT_EQ(pad.Y(), 0);
  EXPECT_FALSE(pad.Step(0.05));  // at the corner: no move to report
  pad.SetPosition(5000, -20);
  EXPECT_EQ(pad.X(), 1023);
  EXPECT_EQ(pad.Y(), 0);

  // Five seconds without a step (a stalled frame) move as far as a tenth of a second.
  GamepadPointer a(1024, 768), b(1024, 768);
  a.SetStick(1.0, 0.0);
  b.SetStick(1.0, 0.0);
  a.Step(5.0);
  b.Step(GamepadPointer::kMaxStep);
  EXPECT_EQ(a.X(), b.X());
  // Nonsense from a driver is rest.
  GamepadPointer c(1024, 768);
  c.SetStick(std::numeric_limits<double>::quiet_NaN(), 1.0 / 0.0);
  EXPECT_LE(std::hypot(c.X(), c.Y()), 0.0);
  c.SetStick(std::numeric_limits<double>::quiet_NaN(), 0.0);
  EXPECT_FALSE(c.Moving());
}

TEST(GamepadPointer, AIsTheMouseButtonAndStartTheMenuKey) {
  GamepadPointer pad(1024, 768);
  pad.SetPosition(300, 200);
  auto down = pad.SetButton(B::A, true);
  ASSERT_TRUE(down);
  EXPECT_EQ(down->kind, WindowEvent::Kind::MouseDown);
  EXPECT_EQ(down->button, 1);
  EXPECT_EQ(down->x, 300);
  EXPECT_EQ(down->y, 200);
  EXPECT_FALSE(pad.SetButton(B::A, true));  // no second press while held

  // Dragging: moves with the button held, then the release where the pointer is.
  pad.SetStick(1.0, 0.0);
  auto move = pad.Step(0.1);
  ASSERT_TRUE(move);
  EXPECT_EQ(move->kind, WindowEvent::Kind::MouseMove);
  EXPECT_GT(move->x, 300);
  auto up = pad.SetButton(B::A, false);
  ASSERT_TRUE(up);
  EXPECT_EQ(up->kind, WindowEvent::Kind::MouseUp);
  EXPECT_EQ(up->x, move->x);
  EXPECT_FALSE(pad.SetButton(B::A, false));

  auto start = pad.SetButton(B::Start, true);
  ASSERT_TRUE(start);
  EXPECT_EQ(start->kind, WindowEvent::Kind::KeyDown);
  EXPECT_EQ(start->vk, kVkF5);
  EXPECT_FALSE(start->alt || start->ctrl || start->shift);
  EXPECT_FALSE(pad.SetButton(B::Start, false));
}

TEST(GamepadPointer, AControllerThatGoesLetsGoOfItsButtonAndStops) {
  GamepadPointer pad(1024, 768);
  pad.SetButton(B::A, true);
  pad.SetStick(1.0, 0.0);
  pad.SetButton(B::DpadDown, true);
  auto up = pad.Release();
  ASSERT_TRUE(up);
  EXPECT_EQ(up->kind, WindowEvent::Kind::MouseUp);
  EXPECT_FALSE(pad.Moving());
  EXPECT_FALSE(pad.Release());  // nothing held any more
  // The next A is a fresh press.
  EXPECT_TRUE(pad.SetButton(B::A, true));
}

// What the shell makes of the pad's events: recorded as mouse and key lines, which a replay
// plays back to the same place.
TEST(GamepadPointer, ThePadIsRecordedAsMouseEventsAndPlaysBackWithoutOne) {
  test::ScratchDir dir;
  GamepadPointer pad(1024, 768);
  pad.SetPosition(100, 100);
  NullWindow window;
  NullAudio audio;
  NullGfx gfx;
  FixedStepTimerClock clock{TGfxTimer::PeriodFor(kProcessTicksPerSecond)};
  int endX = 0, endY = 0;
  {
    ResetRuntime();
    ShellOptions options;
    options.recordPath = dir / "rec.txt";
    options.frameLimit = 3;
    TFormMain form(window, audio, gfx, clock, std::move(options));
    pad.SetStick(0.8, 0.5);
    for (int i = 0; i < 3; ++i)
      if (auto e = pad.Step(1.0 / 30)) window.Push(*e);
    window.Push(*pad.SetButton(B::A, true));
    window.Push(*pad.SetButton(B::A, false));
    window.Push(*pad.SetButton(B::Start, true));
    EXPECT_EQ(form.Run(), 0);
    endX = Runtime().MouseX;
    endY = Runtime().MouseY;
  }
  EXPECT_EQ(endX, pad.X());
  EXPECT_EQ(endY, pad.Y());
  std::ifstream in(dir / "rec.txt");
  std::stringstream text;
  text << in.rdbuf();
  std::vector<std::string> lines;
  for (std::string line; std::getline(text, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 7u) << text.str();
  EXPECT_EQ(lines[0].rfind("0 move ", 0), 0u);
  const std::string at = std::to_string(pad.X()) + " " + std::to_string(pad.Y());
  EXPECT_EQ(lines[2], "0 move " + at);
  EXPECT_EQ(lines[3], "0 down " + at);
  EXPECT_EQ(lines[4], "0 up " + at);
  EXPECT_EQ(lines[5], "0 key 116");  // F5, as the keyboard's
  EXPECT_EQ(lines[6].substr(lines[6].find(' ')), " quit");

  std::vector<ReplayEvent> events;
  std::string error;
  ASSERT_TRUE(ParseReplay(text.str(), events, error)) << error;
  ResetRuntime();
  ShellOptions options;
  options.replay = events;
  NullWindow quiet;
  TFormMain replayed(quiet, audio, gfx, clock, std::move(options));
  EXPECT_EQ(replayed.Run(), 0);
  EXPECT_EQ(Runtime().MouseX, pad.X());
  EXPECT_EQ(Runtime().MouseY, pad.Y());
  ResetRuntime();
}

}  // namespace
}  // namespace qx
