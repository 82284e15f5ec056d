// Input replays and recordings: one event a line, "TICK what ARGS", where TICK counts the
// process ticks run so far. The same text format is read by --replay and written by --record.
//   TICK move X Y | TICK down X Y | TICK up X Y | TICK key VK [alt] [ctrl] [shift]
//   TICK char CODE | TICK shot FILE.png | TICK quit
// Blank lines and lines starting with '#' are ignored.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "shell/Window.h"

namespace qx {

struct ReplayEvent {
  enum class Kind { Input, Shot, Quit };
  int64_t tick = 0;
  Kind kind = Kind::Input;
  WindowEvent input;     // for Input
  std::string file;      // for Shot
};

// Parses a whole replay text. On a malformed line answers false with `error` naming the line.
bool ParseReplay(const std::string& text, std::vector<ReplayEvent>& events, std::string& error);
bool LoadReplayFile(const std::string& path, std::vector<ReplayEvent>& events, std::string& error);

// The replay line for an input event, or "" for events a replay does not carry.
std::string FormatReplayLine(int64_t tick, const WindowEvent& event);

// Hands out replay events in order as the tick counter reaches them.
class ReplayPlayer {
 public:
  explicit ReplayPlayer(std::vector<ReplayEvent> events) : events_(std::move(events)) {}
  // The next event due at `tick`, if any.
  bool Next(int64_t tick, ReplayEvent& event);
  bool Finished() const { return next_ >= events_.size(); }

 private:
  std::vector<ReplayEvent> events_;
  size_t next_ = 0;
};

// Writes the input a person gives while playing (--record).
class ReplayRecorder {
 public:
  ReplayRecorder() = default;
  ~ReplayRecorder();
  ReplayRecorder(const ReplayRecorder&) = delete;
  ReplayRecorder& operator=(const ReplayRecorder&) = delete;

  bool Open(const std::string& path);
  void Record(int64_t tick, const WindowEvent& event);
  void RecordQuit(int64_t tick);

 private:
  std::FILE* file_ = nullptr;
};

}  // namespace qx
