// The main window on SDL2: events in back-buffer pixels and Windows virtual-key codes,
// letterboxed presentation, windowed and full-screen (desktop) modes.
#pragma once

#include <SDL.h>

#include <deque>
#include <string>

#include "render/Letterbox.h"
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
};

// The Windows virtual-key code of a key (by its position on a US keyboard), 0 if none.
int ScancodeToVirtualKey(SDL_Scancode scancode);

}  // namespace qx
