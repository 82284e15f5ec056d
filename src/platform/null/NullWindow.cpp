#include "platform/null/NullWindow.h"

namespace qx {

bool NullWindow::PollEvent(WindowEvent& event) {
  if (queue.empty()) return false;
  event = queue.front();
  queue.pop_front();
  return true;
}

bool NullWindow::CloseRequested() {
  ++closeLooks;
  if (closeAsked) return true;
  for (const WindowEvent& e : queue) {
    if (e.kind == WindowEvent::Kind::Close) return true;
  }
  return false;
}

void NullWindow::ApplyStyle(bool windowed) { styles.push_back(windowed ? "windowed" : "fullscreen"); }

}  // namespace qx
