#include "shell/GamepadPointer.h"

#include <algorithm>
#include <cmath>

namespace qx {

void GamepadPointer::SetPosition(int x, int y) {
  x_ = std::clamp(x, 0, width_ - 1);
  y_ = std::clamp(y, 0, height_ - 1);
}

void GamepadPointer::SetStick(double x, double y) {
  stickX_ = std::isfinite(x) ? std::clamp(x, -1.0, 1.0) : 0.0;
  stickY_ = std::isfinite(y) ? std::clamp(y, -1.0, 1.0) : 0.0;
  if (!Moving()) held_ = 0;
}

std::optional<WindowEvent> GamepadPointer::SetButton(Button button, bool down) {
  WindowEvent ev;
  switch (button) {
    case Button::A:
      // A repeat of the state it is in (two pads, or a lost event) gives no second click.
      if (down == aDown_) return std::nullopt;
      aDown_ = down;
      ev.kind = down ? WindowEvent::Kind::MouseDown : WindowEvent::Kind::MouseUp;
      ev.button = 1;
      ev.x = X();
      ev.y = Y();
      return ev;
    case Button::Start:
      if (!down) return std::nullopt;
      ev.kind = WindowEvent::Kind::KeyDown;
      ev.vk = kVkF5;
      return ev;
    case Button::DpadUp: up_ = down; break;
    case Button::DpadDown: down_ = down; break;
    case Button::DpadLeft: left_ = down; break;
    case Button::DpadRight: right_ = down; break;
  }
  if (!Moving()) held_ = 0;
  return std::nullopt;
}

void GamepadPointer::Push(double& dx, double& dy, bool& stick) const {
  // The stick first: its dead zone is round, and what lies beyond it is scaled back to 0..1
  // and squared, so that a small push is slow enough to aim with.
  const double length = std::hypot(stickX_, stickY_);
  if (length > kDeadZone) {
    const double strength = std::min((length - kDeadZone) / (1.0 - kDeadZone), 1.0);
    dx = stickX_ / length * strength * strength;
    dy = stickY_ / length * strength * strength;
    stick = true;
    return;
  }
  dx = (right_ ? 1.0 : 0.0) - (left_ ? 1.0 : 0.0);
  dy = (down_ ? 1.0 : 0.0) - (up_ ? 1.0 : 0.0);
  // Diagonals as fast as straight lines.
  if (dx != 0 && dy != 0) {
    dx *= std::sqrt(0.5);
    dy *= std::sqrt(0.5);
  }
  stick = false;
}

bool GamepadPointer::Moving() const {
  double dx = 0, dy = 0;
  bool stick = false;
  Push(dx, dy, stick);
  return dx != 0 || dy != 0;
}

std::optional<WindowEvent> GamepadPointer::Step(double seconds) {
  if (!(seconds > 0)) return std::nullopt;
  seconds = std::min(seconds, kMaxStep);
  double dx = 0, dy = 0;
  bool stick = false;
  Push(dx, dy, stick);
  if (dx == 0 && dy == 0) {
    held_ = 0;
    return std::nullopt;
  }
  // The speed ramps from the start speed to the top speed over the time held.
  const double start = stick ? kStickStartSpeed : kDpadStartSpeed;
  const double ramp = std::min((held_ + seconds / 2) / kRampSeconds, 1.0);
  const double speed = start + (kTopSpeed - start) * ramp;
  held_ += seconds;
  const int oldX = X(), oldY = Y();
  x_ = std::clamp(x_ + dx * speed * seconds, 0.0, static_cast<double>(width_) - 0.001);
  y_ = std::clamp(y_ + dy * speed * seconds, 0.0, static_cast<double>(height_) - 0.001);
  if (X() == oldX && Y() == oldY) return std::nullopt;
  WindowEvent ev;
  ev.kind = WindowEvent::Kind::MouseMove;
  ev.x = X();
  ev.y = Y();
  return ev;
}

std::optional<WindowEvent> GamepadPointer::Release() {
  stickX_ = stickY_ = 0;
  up_ = down_ = left_ = right_ = false;
  held_ = 0;
  return SetButton(Button::A, false);
}

}  // namespace qx
