#include "platform/Platform.h"

#include <SDL.h>

#include <cstdlib>

#include "platform/gl/GlGfx.h"
#include "platform/sdl/SdlAudio.h"
#include "platform/sdl/SdlWindow.h"

namespace qx {

bool CreatePlatform(bool headless, int width, int height, PlatformSet& out, std::string& error,
                    PresentOptions present) {
  if (headless) {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
  }
  // qxrun handles the close signals itself (platform/Signals.h): SDL's handlers would only
  // queue a quit that nobody reads while a script runs.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    error = std::string("cannot start SDL video: ") + SDL_GetError() +
            (headless ? "" : " (no display? try --headless)");
    return false;
  }
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
  SDL_Window* window = SDL_CreateWindow("qxrun", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height,
                                        SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE |
                                            SDL_WINDOW_ALLOW_HIGHDPI);
  if (!window) {
    error = std::string("cannot open a window: ") + SDL_GetError();
    SDL_Quit();
    return false;
  }
  out.window = std::make_unique<SdlWindow>(window, headless, width, height, present);
  out.gfx = std::make_unique<GlGfx>(window, headless, present);
  out.audio = std::make_unique<SdlAudio>();
  return true;
}

}  // namespace qx
