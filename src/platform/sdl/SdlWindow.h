// The main window on SDL2: events in back-buffer pixels and Windows virtual-key codes,
// letterboxed presentation, windowed and full-screen (desktop) modes, and game controllers
// (plugged in and out at any time) given as the mouse and keys they stand for.
#pragma once

#include <SDL.h>

#include <deque>
#include <map>
#include <optional>
#include <string>

#include "render/Letterbox.h"
#include "shell/GamepadPointer.h"
#include "shell/Window.h"

namespace qx {

class SdlWindow final : public Window {
 public:
  SdlWindow(SDL_Window* window, bool headless, int bufferWidth, int bufferHeight, PresentOptions present = {});
  ~SdlWindow() override;

  bool PollEvent(WindowEvent& event) override;
  bool CloseRequested() override;
  void ApplyStyle(bool windowed) override;
  void SetCaption(const std::string& caption) override;
  void ShowError(const std::string& text) override;
  bool Minimized() const override;

  SDL_Window* Handle() const { return window_; }
  bool Headless() const { return headless_; }

 private:
  void Translate(const SDL_Event& e);
  void MapMouse(int wx, int wy, int& bx, int& by) const;
  // The window point (in SDL's points) that shows a back-buffer pixel.
  void UnmapMouse(int bx, int by, int& wx, int& wy) const;
  // Controllers: opened as they come, closed as they go; their events as mouse and keys.
  void TranslatePad(const SDL_Event& e);
  void PushPadEvent(const std::optional<WindowEvent>& ev);
  // Moves the pointer by the time since the last step while a stick or d-pad is held.
  void StepPad();
  // Sizes the window to the buffer, scaled down (aspect kept) when that does not fit the
  // desktop's usable area with the window's decorations. False while the decorations are not
  // known yet (the window manager tells them once the window is shown).
  bool FitToDesktop();

  SDL_Window* window_;
  bool headless_;
  int bufferWidth_, bufferHeight_;
  PresentOptions present_;
  bool focused_ = true;
  bool windowed_ = true;
  bool fitPending_ = false;  // windowed, and fitted before its decorations were known
  std::deque<WindowEvent> pending_;
  bool padsEnabled_ = false;  // the controller subsystem started (never for --headless)
  std::map<SDL_JoystickID, SDL_GameController*> pads_;
  GamepadPointer pad_;
  double stickX_ = 0, stickY_ = 0;
  Uint64 lastPadStep_ = 0;
  // The system pointer is moved along with the pad's; the motion that warp makes is not news.
  std::optional<SDL_Point> warpedTo_;
};

// The Windows virtual-key code of a key (by its position on a US keyboard), 0 if none.
int ScancodeToVirtualKey(SDL_Scancode scancode);

}  // namespace qx
