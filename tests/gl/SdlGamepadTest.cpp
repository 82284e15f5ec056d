// A controller through the SDL window, on SDL's virtual joystick (no device needed): plugged
// in while qxrun runs, its stick moves the pointer, A clicks, Start is F5, and pulled out
// while A is held it lets go.
#include <SDL.h>
#include <gtest/gtest.h>

#include <vector>

#include "platform/Platform.h"

namespace qx {
namespace {

std::vector<WindowEvent> Drain(Window& window) {
  std::vector<WindowEvent> events;
  SDL_JoystickUpdate();
  for (WindowEvent e; window.PollEvent(e);) events.push_back(e);
  return events;
}

TEST(SdlGamepad, APluggedInControllerIsTheMouseAndStartIsF5) {
  // The offscreen window never has the focus, without which SDL holds a controller's input back.
  SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
  PlatformSet platform;
  std::string error;
  // Not --headless (which takes no controllers); the suite's offscreen driver shows nothing.
  ASSERT_TRUE(CreatePlatform(false, 1024, 768, platform, error)) << error;
  Window& window = *platform.window;
  Drain(window);

  SDL_VirtualJoystickDesc desc{};
  desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
  desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
  desc.naxes = SDL_CONTROLLER_AXIS_MAX;
  desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
  desc.name = "test pad";
  const int index = SDL_JoystickAttachVirtualEx(&desc);
  ASSERT_GE(index, 0) << SDL_GetError();
  SDL_Joystick* joystick = SDL_JoystickOpen(index);
  ASSERT_NE(joystick, nullptr) << SDL_GetError();
  Drain(window);  // the window opens it as a game controller

  SDL_JoystickSetVirtualAxis(joystick, SDL_CONTROLLER_AXIS_LEFTX, 32767);
  Drain(window);
  int lastX = 512;
  for (int i = 0; i < 20; ++i) {
    SDL_Delay(15);
    for (const WindowEvent& e : Drain(window)) {
      if (e.kind == WindowEvent::Kind::MouseMove) {
        EXPECT_GT(e.x, lastX);
        EXPECT_EQ(e.y, 384);
        lastX = e.x;
      }
    }
  }
  EXPECT_GT(lastX, 540) << "the stick did not move the pointer";
  SDL_JoystickSetVirtualAxis(joystick, SDL_CONTROLLER_AXIS_LEFTX, 0);
  Drain(window);

  SDL_JoystickSetVirtualButton(joystick, SDL_CONTROLLER_BUTTON_A, 1);
  auto events = Drain(window);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].kind, WindowEvent::Kind::MouseDown);
  EXPECT_EQ(events[0].x, lastX);
  SDL_JoystickSetVirtualButton(joystick, SDL_CONTROLLER_BUTTON_START, 1);
  events = Drain(window);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].kind, WindowEvent::Kind::KeyDown);
  EXPECT_EQ(events[0].vk, kVkF5);

  // Pulled out with A held: the button is let go.
  SDL_JoystickClose(joystick);
  SDL_JoystickDetachVirtual(index);
  events = Drain(window);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].kind, WindowEvent::Kind::MouseUp);
  platform.Release();
  SDL_Quit();
}

}  // namespace
}  // namespace qx
