#include "shell/Replay.h"

#include <charconv>
#include <fstream>
#include <sstream>

namespace qx {
namespace {

bool ParseInt(const std::string& word, int64_t& value) {
  const char* first = word.data();
  const char* last = first + word.size();
  auto [p, ec] = std::from_chars(first, last, value);
  return ec == std::errc() && p == last;
}

bool ParseLine(const std::string& line, ReplayEvent& ev, std::string& why) {
  std::istringstream in(line);
  std::vector<std::string> w;
  for (std::string s; in >> s;) w.push_back(s);
  if (w.size() < 2) {
    why = "expected TICK and an event";
    return false;
  }
  if (!ParseInt(w[0], ev.tick) || ev.tick < 0) {
    why = "bad tick '" + w[0] + "'";
    return false;
  }
  const std::string& what = w[1];
  auto number = [&](size_t i, int64_t& v) {
    if (i < w.size() && ParseInt(w[i], v)) return true;
    why = "'" + what + "' needs a number at word " + std::to_string(i + 1);
    return false;
  };
  int64_t a = 0, b = 0;
  WindowEvent& e = ev.input;
  if (what == "move" || what == "down" || what == "up") {
    if (w.size() != 4 || !number(2, a) || !number(3, b)) {
      if (why.empty()) why = "'" + what + "' takes X Y";
      return false;
    }
    e.kind = what == "move" ? WindowEvent::Kind::MouseMove
             : what == "down" ? WindowEvent::Kind::MouseDown
                              : WindowEvent::Kind::MouseUp;
    e.x = static_cast<int>(a);
    e.y = static_cast<int>(b);
    e.button = 1;
  } else if (what == "key") {
    if (!number(2, a)) return false;
    e.kind = WindowEvent::Kind::KeyDown;
    e.vk = static_cast<int>(a);
    for (size_t i = 3; i < w.size(); ++i) {
      if (w[i] == "alt") e.alt = true;
      else if (w[i] == "ctrl") e.ctrl = true;
      else if (w[i] == "shift") e.shift = true;
      else {
        why = "unknown modifier '" + w[i] + "'";
        return false;
      }
    }
  } else if (what == "char") {
    if (w.size() != 3 || !number(2, a) || a < 0 || a > 255) {
      if (why.empty()) why = "'char' takes a code 0..255";
      return false;
    }
    e.kind = WindowEvent::Kind::Char;
    e.ch = static_cast<int>(a);
  } else if (what == "shot") {
    if (w.size() != 3) {
      why = "'shot' takes one file name";
      return false;
    }
    ev.kind = ReplayEvent::Kind::Shot;
    ev.file = w[2];
  } else if (what == "quit") {
    ev.kind = ReplayEvent::Kind::Quit;
  } else {
    why = "unknown event '" + what + "'";
    return false;
  }
  return true;
}

}  // namespace

bool ParseReplay(const std::string& text, std::vector<ReplayEvent>& events, std::string& error) {
  std::istringstream in(text);
  std::string line;
  int number = 0;
  int64_t lastTick = 0;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    ReplayEvent ev;
    std::string why;
    if (!ParseLine(line, ev, why)) {
      error = "line " + std::to_string(number) + ": " + why;
      return false;
    }
    if (ev.tick < lastTick) {
      error = "line " + std::to_string(number) + ": ticks must not go backwards";
      return false;
    }
    lastTick = ev.tick;
    events.push_back(std::move(ev));
  }
  return true;
}

bool LoadReplayFile(const std::string& path, std::vector<ReplayEvent>& events, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot read replay file " + path;
    return false;
  }
  std::stringstream ss;
  ss << in.rdbuf();
  if (!ParseReplay(ss.str(), events, error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

std::string FormatReplayLine(int64_t tick, const WindowEvent& e) {
  const std::string t = std::to_string(tick) + " ";
  switch (e.kind) {
    case WindowEvent::Kind::MouseMove:
      return t + "move " + std::to_string(e.x) + " " + std::to_string(e.y);
    case WindowEvent::Kind::MouseDown:
      return t + "down " + std::to_string(e.x) + " " + std::to_string(e.y);
    case WindowEvent::Kind::MouseUp:
      return t + "up " + std::to_string(e.x) + " " + std::to_string(e.y);
    case WindowEvent::Kind::KeyDown: {
      std::string s = t + "key " + std::to_string(e.vk);
      if (e.alt) s += " alt";
      if (e.ctrl) s += " ctrl";
      if (e.shift) s += " shift";
      return s;
    }
    case WindowEvent::Kind::Char:
      return t + "char " + std::to_string(e.ch);
    default:
      return {};
  }
}

bool ReplayPlayer::Next(int64_t tick, ReplayEvent& event) {
  if (next_ >= events_.size() || events_[next_].tick > tick) return false;
  event = events_[next_++];
  return true;
}

ReplayRecorder::~ReplayRecorder() {
  if (file_) std::fclose(file_);
}

bool ReplayRecorder::Open(const std::string& path) {
  file_ = std::fopen(path.c_str(), "w");
  return file_ != nullptr;
}

void ReplayRecorder::Record(int64_t tick, const WindowEvent& event) {
  if (!file_) return;
  const std::string line = FormatReplayLine(tick, event);
  if (line.empty()) return;
  std::fputs(line.c_str(), file_);
  std::fputc('\n', file_);
  std::fflush(file_);  // a crash must not lose the input that led to it
}

void ReplayRecorder::RecordQuit(int64_t tick) {
  if (!file_) return;
  std::fprintf(file_, "%lld quit\n", static_cast<long long>(tick));
  std::fflush(file_);
}

}  // namespace qx
