// A window without a screen: events are queued by the test, and what the shell does to
// the window (style, caption, error boxes) is recorded.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "platform/null/NullAudio.h"  // the shell's tests take both
#include "shell/Window.h"

namespace qx {

class NullWindow final : public Window {
 public:
  bool PollEvent(WindowEvent& event) override;
  // A queued Close event, or `closeAsked`; each look is counted.
  bool CloseRequested() override;
  void ApplyStyle(bool windowed) override;
  void SetCaption(const std::string& caption) override { this->caption = caption; }
  void ShowError(const std::string& text) override { errors.push_back(text); }
  bool Minimized() const override { return minimized; }

  void Push(const WindowEvent& event) { queue.push_back(event); }

  std::deque<WindowEvent> queue;
  std::vector<std::string> styles;  // "windowed" / "fullscreen", one per ApplyStyle
  std::vector<std::string> errors;
  std::string caption;
  bool minimized = false;
  bool closeAsked = false;
  int closeLooks = 0;
};

}  // namespace qx
