// The main window on SDL2: events in back-buffer pixels and Windows virtual-key codes,
// letterboxed presentation, windowed and full-screen (desktop) modes.
#pragma once

#include <SDL.h>

#include <deque>
#include <string>

#include "shell/Window.h"

namespace qx {

class SdlWindow final : public Window {
 public:
  SdlWindow(SDL_Window* window, bool headless, int bufferWidth, int bufferHeight);
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

  SDL_Window* window_;
  bool headless_;
  int bufferWidth_, bufferHeight_;
  bool focused_ = true;
  std::deque<WindowEvent> pending_;
};

// The Windows virtual-key code of a key (by its position on a US keyboard), 0 if none.
int ScancodeToVirtualKey(SDL_Scancode scancode);

}  // namespace qx
