#include "base/Log.h"

#include <cstdio>
#include <mutex>
#include <set>
#include <string>

#include "base/BoundedLog.h"

namespace qx {
namespace {
bool gVerbose = false;

// stderr as one log: decoders may report from the audio thread.
struct Diagnostics {
  std::mutex lock;
  RepeatFilter repeats;
};

// Made on first use and never destroyed, so the flush at exit can still reach it.
Diagnostics& Stderr() {
  static Diagnostics* d = new Diagnostics;
  return *d;
}

void WriteRaw(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fputc('\n', stderr);
}

void Write(std::string_view tag, std::string_view message) {
  std::string line;
  line.reserve(tag.size() + message.size() + 2);
  line.append(tag).append(": ").append(message);
  Diagnostics& d = Stderr();
  std::lock_guard<std::mutex> guard(d.lock);
  std::string note;
  if (!d.repeats.Offer(line, note)) return;
  if (!note.empty()) WriteRaw(note);
  WriteRaw(line);
}
}  // namespace

void SetVerbose(bool on) { gVerbose = on; }
bool IsVerbose() { return gVerbose; }

void LogError(std::string_view tag, std::string_view message) { Write(tag, message); }

void LogDetail(std::string_view tag, std::string_view message) {
  if (gVerbose) Write(tag, message);
}

void FlushDiagnostics() {
  Diagnostics& d = Stderr();
  std::lock_guard<std::mutex> guard(d.lock);
  const std::string note = d.repeats.TakeNote();
  if (!note.empty()) WriteRaw(note);
}

void LogDetailOnce(std::string_view tag, std::string_view message) {
  if (!gVerbose) return;
  static std::mutex guard;
  static std::set<std::string, std::less<>> written;
  std::string line(tag);
  line.append(": ").append(message);
  {
    const std::lock_guard<std::mutex> lock(guard);
    if (!written.insert(line).second) return;
  }
  Write(tag, message);
}

}  // namespace qx
