// The real back ends: an SDL2 window with an OpenGL 3.3 core context and SDL audio.
#pragma once

#include <memory>
#include <string>

#include "render/GfxPlatform.h"
#include "render/Letterbox.h"
#include "runtime/Audio.h"
#include "shell/Window.h"

namespace qx {

struct PlatformSet {
  std::unique_ptr<Window> window;
  std::unique_ptr<GfxPlatform> gfx;
  std::unique_ptr<Audio> audio;

  PlatformSet() = default;
  PlatformSet(PlatformSet&&) = default;
  PlatformSet& operator=(PlatformSet&&) = delete;
  // The GL context must go before the window it lives in.
  ~PlatformSet() { Release(); }
  void Release() {
    audio.reset();
    gfx.reset();
    window.reset();
  }
};

// Headless runs use SDL's "offscreen" video driver (EGL, no X server) and its "dummy"
// audio driver, and never show a window or a message box. Answers false with a reason
// when SDL cannot start at all.
bool CreatePlatform(bool headless, int backBufferWidth, int backBufferHeight, PlatformSet& out,
                    std::string& error, PresentOptions present = {});

}  // namespace qx
