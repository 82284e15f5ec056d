// A game controller as a mouse: the left stick and the d-pad move the pointer (faster the
// longer they are held), A is the mouse button, Start is the runtime menu's key (F5). It turns
// the pad's state into the window events a mouse and keyboard give, so the shell, --record and
// replays see nothing but mouse moves, clicks and keys. Portable: the SDL window feeds it.
#pragma once

#include <optional>
#include <vector>

#include "shell/Window.h"

namespace qx {

class GamepadPointer {
 public:
  enum class Button { A, Start, DpadUp, DpadDown, DpadLeft, DpadRight };

  // Stick deflections below this (of full scale) are rest: worn sticks do not drift.
  static constexpr double kDeadZone = 0.2;
  // Pointer speeds in back-buffer pixels a second: the stick at full deflection, when first
  // pushed and after kRampSeconds held; the d-pad the same from its own slower start.
  static constexpr double kStickStartSpeed = 320.0;
  static constexpr double kDpadStartSpeed = 120.0;
  static constexpr double kTopSpeed = 1100.0;
  static constexpr double kRampSeconds = 1.0;
  // A longer gap between steps (a stalled frame) moves no farther than this.
  static constexpr double kMaxStep = 0.1;

  GamepadPointer(int width, int height) : width_(width), height_(height) {}

  // Where the pointer is now: the mouse moved it, or the game started (in pixels of the buffer).
  void SetPosition(int x, int y);
  int X() const { return static_cast<int>(x_); }
  int Y() const { return static_cast<int>(y_); }

  // The left stick, each axis -1..1 (SDL's -32768..32767 scaled); y grows downwards.
  void SetStick(double x, double y);
  // A button pressed or released: the mouse button or the menu key as an event, if any.
  std::optional<WindowEvent> SetButton(Button button, bool down);
  // Advances the pointer by `seconds`: a mouse move when it reached another pixel.
  std::optional<WindowEvent> Step(double seconds);
  // Whether the pointer is being moved (Step has work to do).
  bool Moving() const;
  // The controller went: motion stops and a held A is let go (its mouse-up, if any).
  std::optional<WindowEvent> Release();

 private:
  // The direction and strength (0..1) of the push, and whether the stick gives it.
  void Push(double& dx, double& dy, bool& stick) const;

  int width_, height_;
  double x_ = 0, y_ = 0;
  double stickX_ = 0, stickY_ = 0;
  bool up_ = false, down_ = false, left_ = false, right_ = false;
  bool aDown_ = false;
  double held_ = 0;  // seconds the push has lasted
};

}  // namespace qx
