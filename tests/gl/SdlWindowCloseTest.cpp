// The SDL window's look for a close request while a script runs: it finds the quit and the
// window's close button without taking any event from the queue.
#include <SDL.h>
#include <gtest/gtest.h>

#include <vector>

#include "platform/Platform.h"

namespace qx {
namespace {

TEST(SdlWindowClose, ACloseRequestIsSeenAndEveryEventStaysQueued) {
  PlatformSet platform;
  std::string error;
  ASSERT_TRUE(CreatePlatform(true, 64, 48, platform, error)) << error;
  Window& window = *platform.window;
  WindowEvent drained;
  while (window.PollEvent(drained)) {
  }
  EXPECT_FALSE(window.CloseRequested());

  SDL_Event key{};
  key.type = SDL_KEYDOWN;
  key.key.keysym.scancode = SDL_SCANCODE_A;
  SDL_PushEvent(&key);
  SDL_Event close{};
  close.type = SDL_WINDOWEVENT;
  close.window.event = SDL_WINDOWEVENT_CLOSE;
  SDL_PushEvent(&close);
  EXPECT_TRUE(window.CloseRequested());
  EXPECT_TRUE(window.CloseRequested());  // looking took nothing

  std::vector<WindowEvent::Kind> kinds;
  for (WindowEvent e; window.PollEvent(e);) kinds.push_back(e.kind);
  EXPECT_EQ(kinds, (std::vector<WindowEvent::Kind>{WindowEvent::Kind::KeyDown, WindowEvent::Kind::Close}));
  EXPECT_FALSE(window.CloseRequested());

  SDL_Event quit{};
  quit.type = SDL_QUIT;
  SDL_PushEvent(&quit);
  EXPECT_TRUE(window.CloseRequested());
  platform.Release();
  SDL_Quit();
}

}  // namespace
}  // namespace qx
