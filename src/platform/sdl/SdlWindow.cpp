#include "platform/sdl/SdlWindow.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/CodePage.h"
#include "base/Log.h"
#include "render/Letterbox.h"

namespace qx {

int ScancodeToVirtualKey(SDL_Scancode sc) {
  if (sc >= SDL_SCANCODE_A && sc <= SDL_SCANCODE_Z) return 'A' + (sc - SDL_SCANCODE_A);
  if (sc >= SDL_SCANCODE_1 && sc <= SDL_SCANCODE_9) return '1' + (sc - SDL_SCANCODE_1);
  if (sc >= SDL_SCANCODE_F1 && sc <= SDL_SCANCODE_F12) return 0x70 + (sc - SDL_SCANCODE_F1);
  if (sc >= SDL_SCANCODE_KP_1 && sc <= SDL_SCANCODE_KP_9) return 0x61 + (sc - SDL_SCANCODE_KP_1);
  switch (sc) {
    case SDL_SCANCODE_0: return '0';
    case SDL_SCANCODE_KP_0: return 0x60;
    case SDL_SCANCODE_BACKSPACE: return 0x08;
    case SDL_SCANCODE_TAB: return 0x09;
    case SDL_SCANCODE_RETURN:
    case SDL_SCANCODE_KP_ENTER: return 0x0D;
    case SDL_SCANCODE_LSHIFT:
    case SDL_SCANCODE_RSHIFT: return 0x10;
    case SDL_SCANCODE_LCTRL:
    case SDL_SCANCODE_RCTRL: return 0x11;
    case SDL_SCANCODE_LALT:
    case SDL_SCANCODE_RALT: return 0x12;
    case SDL_SCANCODE_PAUSE: return 0x13;
    case SDL_SCANCODE_CAPSLOCK: return 0x14;
    case SDL_SCANCODE_ESCAPE: return 0x1B;
    case SDL_SCANCODE_SPACE: return 0x20;
    case SDL_SCANCODE_PAGEUP: return 0x21;
    case SDL_SCANCODE_PAGEDOWN: return 0x22;
    case SDL_SCANCODE_END: return 0x23;
    case SDL_SCANCODE_HOME: return 0x24;
    case SDL_SCANCODE_LEFT: return 0x25;
    case SDL_SCANCODE_UP: return 0x26;
    case SDL_SCANCODE_RIGHT: return 0x27;
    case SDL_SCANCODE_DOWN: return 0x28;
    case SDL_SCANCODE_PRINTSCREEN: return 0x2C;
    case SDL_SCANCODE_INSERT: return 0x2D;
    case SDL_SCANCODE_DELETE: return 0x2E;
    case SDL_SCANCODE_KP_MULTIPLY: return 0x6A;
    case SDL_SCANCODE_KP_PLUS: return 0x6B;
    case SDL_SCANCODE_KP_MINUS: return 0x6D;
    case SDL_SCANCODE_KP_PERIOD: return 0x6E;
    case SDL_SCANCODE_KP_DIVIDE: return 0x6F;
    case SDL_SCANCODE_NUMLOCKCLEAR: return 0x90;
    case SDL_SCANCODE_SCROLLLOCK: return 0x91;
    case SDL_SCANCODE_SEMICOLON: return 0xBA;
    case SDL_SCANCODE_EQUALS: return 0xBB;
    case SDL_SCANCODE_COMMA: return 0xBC;
    case SDL_SCANCODE_MINUS: return 0xBD;
    case SDL_SCANCODE_PERIOD: return 0xBE;
    case SDL_SCANCODE_SLASH: return 0xBF;
    case SDL_SCANCODE_GRAVE: return 0xC0;
    case SDL_SCANCODE_LEFTBRACKET: return 0xDB;
    case SDL_SCANCODE_BACKSLASH: return 0xDC;
    case SDL_SCANCODE_RIGHTBRACKET: return 0xDD;
    case SDL_SCANCODE_APOSTROPHE: return 0xDE;
    default: return 0;
  }
}

SdlWindow::SdlWindow(SDL_Window* window, bool headless, int bufferWidth, int bufferHeight, PresentOptions present)
    : window_(window),
      headless_(headless),
      bufferWidth_(bufferWidth),
      bufferHeight_(bufferHeight),
      present_(present),
      pad_(bufferWidth, bufferHeight) {
  SDL_StartTextInput();
  pad_.SetPosition(bufferWidth / 2, bufferHeight / 2);
  // A headless run takes its input from a replay only. Controllers already plugged in arrive
  // as "added" events like those plugged in later.
  if (!headless_) {
    padsEnabled_ = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
    if (!padsEnabled_) LogDetail("controller", std::string("no game controllers: ") + SDL_GetError());
  }
}

SdlWindow::~SdlWindow() {
  for (auto& [id, controller] : pads_) SDL_GameControllerClose(controller);
  pads_.clear();
  if (padsEnabled_) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
  if (window_) SDL_DestroyWindow(window_);
}

void SdlWindow::MapMouse(int wx, int wy, int& bx, int& by) const {
  // The picture is placed in drawable pixels (more than the window's points on a HiDPI
  // display); the mouse comes in points.
  int w = 0, h = 0, dw = 0, dh = 0;
  SDL_GetWindowSize(window_, &w, &h);
  SDL_GL_GetDrawableSize(window_, &dw, &dh);
  if (dw <= 0 || dh <= 0 || w <= 0 || h <= 0) {
    dw = w;
    dh = h;
  }
  const LetterboxRect box = ComputePresentRect(dw, dh, bufferWidth_, bufferHeight_, present_.scale);
  const double sx = w > 0 ? static_cast<double>(dw) / w : 1.0;
  const double sy = h > 0 ? static_cast<double>(dh) / h : 1.0;
  WindowToBackBuffer(box, wx * sx, wy * sy, bufferWidth_, bufferHeight_, bx, by);
}

void SdlWindow::UnmapMouse(int bx, int by, int& wx, int& wy) const {
  int w = 0, h = 0, dw = 0, dh = 0;
  SDL_GetWindowSize(window_, &w, &h);
  SDL_GL_GetDrawableSize(window_, &dw, &dh);
  if (dw <= 0 || dh <= 0 || w <= 0 || h <= 0) {
    dw = w;
    dh = h;
  }
  const LetterboxRect box = ComputePresentRect(dw, dh, bufferWidth_, bufferHeight_, present_.scale);
  const double px = box.x + (bx + 0.5) * box.width / bufferWidth_;
  const double py = box.y + (by + 0.5) * box.height / bufferHeight_;
  wx = dw > 0 ? static_cast<int>(px * w / dw) : 0;
  wy = dh > 0 ? static_cast<int>(py * h / dh) : 0;
}

void SdlWindow::PushPadEvent(const std::optional<WindowEvent>& ev) {
  if (ev) pending_.push_back(*ev);
}

void SdlWindow::StepPad() {
  const Uint64 now = SDL_GetTicks64();
  if (pads_.empty() || !pad_.Moving()) {
    lastPadStep_ = now;
    return;
  }
  // About a step a frame: a recording gets a move per frame, not one per call.
  if (now - lastPadStep_ < 10) return;
  const auto moved = pad_.Step(static_cast<double>(now - lastPadStep_) / 1000.0);
  lastPadStep_ = now;
  if (!moved) return;
  pending_.push_back(*moved);
  if (!headless_ && (SDL_GetWindowFlags(window_) & SDL_WINDOW_INPUT_FOCUS) != 0) {
    SDL_Point at{};
    UnmapMouse(moved->x, moved->y, at.x, at.y);
    SDL_WarpMouseInWindow(window_, at.x, at.y);
    warpedTo_ = at;
  }
}

void SdlWindow::TranslatePad(const SDL_Event& e) {
  switch (e.type) {
    case SDL_CONTROLLERDEVICEADDED: {
      SDL_GameController* controller = SDL_GameControllerOpen(e.cdevice.which);
      if (!controller) {
        LogDetail("controller", std::string("cannot open a game controller: ") + SDL_GetError());
        return;
      }
      const SDL_JoystickID id = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(controller));
      if (pads_.count(id)) {
        SDL_GameControllerClose(controller);  // SDL counts opens: ours stays open once
        return;
      }
      pads_[id] = controller;
      const char* name = SDL_GameControllerName(controller);
      LogDetail("controller", std::string(name ? name : "a game controller") + " connected");
      return;
    }
    case SDL_CONTROLLERDEVICEREMOVED: {
      auto it = pads_.find(e.cdevice.which);
      if (it == pads_.end()) return;
      SDL_GameControllerClose(it->second);
      pads_.erase(it);
      LogDetail("controller", "a game controller went");
      stickX_ = stickY_ = 0;
      PushPadEvent(pad_.Release());
      return;
    }
    case SDL_CONTROLLERAXISMOTION: {
      const double value = std::clamp(e.caxis.value / 32767.0, -1.0, 1.0);
      if (e.caxis.axis == SDL_CONTROLLER_AXIS_LEFTX) stickX_ = value;
      else if (e.caxis.axis == SDL_CONTROLLER_AXIS_LEFTY) stickY_ = value;
      else return;
      pad_.SetStick(stickX_, stickY_);
      return;
    }
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP: {
      const bool down = e.type == SDL_CONTROLLERBUTTONDOWN;
      using B = GamepadPointer::Button;
      switch (e.cbutton.button) {
        case SDL_CONTROLLER_BUTTON_A: PushPadEvent(pad_.SetButton(B::A, down)); break;
        case SDL_CONTROLLER_BUTTON_START: PushPadEvent(pad_.SetButton(B::Start, down)); break;
        case SDL_CONTROLLER_BUTTON_DPAD_UP: PushPadEvent(pad_.SetButton(B::DpadUp, down)); break;
        case SDL_CONTROLLER_BUTTON_DPAD_DOWN: PushPadEvent(pad_.SetButton(B::DpadDown, down)); break;
        case SDL_CONTROLLER_BUTTON_DPAD_LEFT: PushPadEvent(pad_.SetButton(B::DpadLeft, down)); break;
        case SDL_CONTROLLER_BUTTON_DPAD_RIGHT: PushPadEvent(pad_.SetButton(B::DpadRight, down)); break;
        default: break;
      }
      return;
    }
    default: return;
  }
}

bool SdlWindow::FitToDesktop() {
  const int display = std::max(SDL_GetWindowDisplayIndex(window_), 0);
  SDL_Rect usable{};
  if (SDL_GetDisplayUsableBounds(display, &usable) != 0) return true;
  int top = 0, left = 0, bottom = 0, right = 0;
  const bool known = SDL_GetWindowBordersSize(window_, &top, &left, &bottom, &right) == 0 &&
                     (top | left | bottom | right) != 0;
  int w = bufferWidth_, h = bufferHeight_;
  FitWindowSize(bufferWidth_, bufferHeight_, usable.w - left - right, usable.h - top - bottom, w, h);
  SDL_SetWindowSize(window_, w, h);
  SDL_SetWindowPosition(window_, SDL_WINDOWPOS_CENTERED_DISPLAY(display), SDL_WINDOWPOS_CENTERED_DISPLAY(display));
  if (w != bufferWidth_) LogDetail("window", "the window is scaled to " + std::to_string(w) + " x " + std::to_string(h) + " to fit the desktop");
  return known;
}

bool SdlWindow::PollEvent(WindowEvent& event) {
  SDL_Event e;
  if (pending_.empty()) StepPad();
  while (pending_.empty() && SDL_PollEvent(&e)) Translate(e);
  if (pending_.empty()) return false;
  event = pending_.front();
  pending_.pop_front();
  return true;
}

bool SdlWindow::CloseRequested() {
  for (const WindowEvent& ev : pending_) {
    if (ev.kind == WindowEvent::Kind::Close) return true;
  }
  SDL_PumpEvents();
  SDL_Event e;
  if (SDL_PeepEvents(&e, 1, SDL_PEEKEVENT, SDL_QUIT, SDL_QUIT) > 0) return true;
  // Window events are few: look at each without taking it.
  const int count = SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_WINDOWEVENT, SDL_WINDOWEVENT);
  if (count <= 0) return false;
  std::vector<SDL_Event> events(static_cast<size_t>(count));
  const int got = SDL_PeepEvents(events.data(), count, SDL_PEEKEVENT, SDL_WINDOWEVENT, SDL_WINDOWEVENT);
  for (int i = 0; i < got; ++i) {
    if (events[static_cast<size_t>(i)].window.event == SDL_WINDOWEVENT_CLOSE) return true;
  }
  return false;
}

void SdlWindow::Translate(const SDL_Event& e) {
  WindowEvent ev;
  switch (e.type) {
    case SDL_MOUSEMOTION:
      // The pad's own warp of the system pointer: the pad already said where it went.
      if (warpedTo_ && e.motion.x == warpedTo_->x && e.motion.y == warpedTo_->y) {
        warpedTo_.reset();
        break;
      }
      warpedTo_.reset();
      ev.kind = WindowEvent::Kind::MouseMove;
      MapMouse(e.motion.x, e.motion.y, ev.x, ev.y);
      pad_.SetPosition(ev.x, ev.y);
      pending_.push_back(ev);
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      ev.kind = e.type == SDL_MOUSEBUTTONDOWN ? WindowEvent::Kind::MouseDown : WindowEvent::Kind::MouseUp;
      ev.button = e.button.button == SDL_BUTTON_LEFT ? 1 : e.button.button == SDL_BUTTON_MIDDLE ? 2 : 3;
      MapMouse(e.button.x, e.button.y, ev.x, ev.y);
      pad_.SetPosition(ev.x, ev.y);
      pending_.push_back(ev);
      break;
    case SDL_CONTROLLERDEVICEADDED:
    case SDL_CONTROLLERDEVICEREMOVED:
    case SDL_CONTROLLERAXISMOTION:
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP:
      TranslatePad(e);
      break;
    case SDL_KEYDOWN: {
      ev.kind = WindowEvent::Kind::KeyDown;
      ev.vk = ScancodeToVirtualKey(e.key.keysym.scancode);
      const Uint16 mod = e.key.keysym.mod;
      ev.alt = (mod & KMOD_ALT) != 0;
      ev.ctrl = (mod & KMOD_CTRL) != 0;
      ev.shift = (mod & KMOD_SHIFT) != 0;
      if (ev.vk != 0) pending_.push_back(ev);
      // Text input carries no Backspace character; the key stands for it.
      if (ev.vk == 0x08) {
        WindowEvent ch;
        ch.kind = WindowEvent::Kind::Char;
        ch.ch = 8;
        pending_.push_back(ch);
      }
      break;
    }
    case SDL_TEXTINPUT: {
      // One character event per code point that code page 1251 can hold.
      const std::string utf8 = e.text.text;
      size_t i = 0;
      while (i < utf8.size()) {
        size_t len = 1;
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead >= 0xF0) len = 4;
        else if (lead >= 0xE0) len = 3;
        else if (lead >= 0xC0) len = 2;
        if (auto b = Utf8ToCp1251(utf8.substr(i, len))) {
          ev.kind = WindowEvent::Kind::Char;
          ev.ch = static_cast<unsigned char>((*b)[0]);
          pending_.push_back(ev);
        }
        i += len;
      }
      break;
    }
    case SDL_WINDOWEVENT:
      switch (e.window.event) {
        case SDL_WINDOWEVENT_FOCUS_GAINED:
          focused_ = true;
          if (!Minimized()) {
            ev.kind = WindowEvent::Kind::Activate;
            pending_.push_back(ev);
          }
          break;
        case SDL_WINDOWEVENT_RESTORED:
          if (focused_) {
            ev.kind = WindowEvent::Kind::Activate;
            pending_.push_back(ev);
          }
          break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
          focused_ = false;
          ev.kind = WindowEvent::Kind::Deactivate;
          pending_.push_back(ev);
          break;
        case SDL_WINDOWEVENT_MINIMIZED:
          ev.kind = WindowEvent::Kind::Deactivate;
          pending_.push_back(ev);
          break;
        case SDL_WINDOWEVENT_EXPOSED:
          // The window manager has framed the window by now: its decorations count.
          if (windowed_ && fitPending_) fitPending_ = !FitToDesktop();
          ev.kind = WindowEvent::Kind::Expose;
          pending_.push_back(ev);
          break;
        case SDL_WINDOWEVENT_CLOSE:
          ev.kind = WindowEvent::Kind::Close;
          pending_.push_back(ev);
          break;
        default:
          break;
      }
      break;
    case SDL_QUIT:
      ev.kind = WindowEvent::Kind::Close;
      pending_.push_back(ev);
      break;
    default:
      break;
  }
}

void SdlWindow::ApplyStyle(bool windowed) {
  windowed_ = windowed;
  if (windowed) {
    SDL_SetWindowFullscreen(window_, 0);
    SDL_SetWindowBordered(window_, SDL_TRUE);
    fitPending_ = !FitToDesktop() && !headless_;
  } else {
    // Desktop full screen: no mode change; the back buffer is letterboxed to the screen.
    // Without a window manager nobody grants the full-screen state and the window would keep
    // its size while SDL reports the screen's, so the window is first made the screen's size
    // and place itself; a window manager then takes it from there.
    fitPending_ = false;
    const int display = std::max(SDL_GetWindowDisplayIndex(window_), 0);
    SDL_Rect bounds{};
    if (SDL_GetDisplayBounds(display, &bounds) == 0) {
      SDL_SetWindowBordered(window_, SDL_FALSE);
      SDL_SetWindowPosition(window_, bounds.x, bounds.y);
      SDL_SetWindowSize(window_, bounds.w, bounds.h);
    }
    SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN_DESKTOP);
  }
}

void SdlWindow::SetCaption(const std::string& caption) {
  SDL_SetWindowTitle(window_, Cp1251ToUtf8(caption).c_str());
}

void SdlWindow::ShowError(const std::string& text) {
  LogError("qxrun", text);
  // A box only where a player can see and dismiss it: SDL would otherwise open one on any X
  // display it finds, and an unattended run would wait for its OK forever.
  const char* driver = SDL_GetCurrentVideoDriver();
  const bool visible = driver && std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0;
  if (!headless_ && visible) SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "qxrun", text.c_str(), window_);
}

bool SdlWindow::Minimized() const {
  return (SDL_GetWindowFlags(window_) & SDL_WINDOW_MINIMIZED) != 0;
}

}  // namespace qx
