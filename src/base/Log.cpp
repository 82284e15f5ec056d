#include "base/Log.h"

#include <cstdio>
#include <mutex>
#include <set>
#include <string>

namespace qx {
namespace {
bool gVerbose = false;

void Write(std::string_view tag, std::string_view message) {
  std::string line;
  line.reserve(tag.size() + message.size() + 3);
  line.append(tag).append(": ").append(message).push_back('\n');
  std::fwrite(line.data(), 1, line.size(), stderr);
}
}  // namespace

void SetVerbose(bool on) { gVerbose = on; }
bool IsVerbose() { return gVerbose; }

void LogError(std::string_view tag, std::string_view message) { Write(tag, message); }

void LogDetail(std::string_view tag, std::string_view message) {
  if (gVerbose) Write(tag, message);
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
