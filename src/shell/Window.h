// The main window as the shell sees it: input events in back-buffer pixels and Windows
// virtual-key codes, the display mode, the caption and message boxes.
// Implemented by platform/sdl and by platform/null for tests.
#pragma once

#include <string>

namespace qx {

struct WindowEvent {
  enum class Kind {
    MouseMove,
    MouseDown,
    MouseUp,
    KeyDown,    // vk, alt, ctrl, shift
    Char,       // ch: one code page 1251 byte (8 for Backspace)
    Activate,   // the window became active and is not minimised
    Deactivate, // the window lost focus or was minimised
    Expose,     // the window needs repainting
    Close,      // the player asked to close the window
  };
  Kind kind = Kind::MouseMove;
  int x = 0, y = 0;  // mouse position in back-buffer pixels
  int button = 0;    // 1 left, 2 middle, 3 right
  int vk = 0;        // Windows virtual-key code
  bool alt = false, ctrl = false, shift = false;
  int ch = 0;
};

// Virtual-key codes the shell itself looks at.
inline constexpr int kVkBack = 8;
inline constexpr int kVkReturn = 13;
inline constexpr int kVkF5 = 0x74;
inline constexpr int kVkF11 = 0x7A;
inline constexpr int kVkF12 = 0x7B;

class Window {
 public:
  virtual ~Window() = default;
  // Next pending event without waiting; false when the queue is empty.
  virtual bool PollEvent(WindowEvent& event) = 0;
  // Whether a request to close is waiting, looked for without taking any event: a script
  // that runs long calls it between its statements (every event stays queued for later).
  virtual bool CloseRequested() = 0;
  // Applies the window style of a mode: windowed (bordered, centred) or full screen.
  virtual void ApplyStyle(bool windowed) = 0;
  // Caption text in code page 1251.
  virtual void SetCaption(const std::string& caption) = 0;
  // An error box with a single OK button (printed to stderr as well).
  virtual void ShowError(const std::string& text) = 0;
  virtual bool Minimized() const = 0;
};

}  // namespace qx
