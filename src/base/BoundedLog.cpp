#include "base/BoundedLog.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>

#include "base/Log.h"

namespace qx {

std::string RepeatNote(uint64_t repeats) {
  return "(the line above repeated " + std::to_string(repeats) + " times)";
}

bool RepeatFilter::Offer(std::string_view line, std::string& note) {
  note.clear();
  if (hasLast_ && line == last_) {
    ++repeats_;
    return false;
  }
  if (repeats_ > 0) note = RepeatNote(repeats_);
  last_.assign(line);
  hasLast_ = true;
  repeats_ = 0;
  return true;
}

std::string RepeatFilter::TakeNote() {
  std::string note = repeats_ > 0 ? RepeatNote(repeats_) : std::string();
  last_.clear();
  hasLast_ = false;
  repeats_ = 0;
  return note;
}

namespace {

struct LogFile {
  RepeatFilter repeats;
  int64_t size = -1;  // the file's size after our last write
};

struct LogFiles {
  std::mutex lock;
  std::map<std::string, LogFile> files;  // by path
};

// Made on first use and never destroyed, so the flush at exit can still reach it.
LogFiles& Files() {
  static LogFiles* files = [] {
    auto* made = new LogFiles;
    std::atexit(FlushLogs);
    return made;
  }();
  return *files;
}

void WriteLine(std::FILE* file, std::string_view line) {
  std::fwrite(line.data(), 1, line.size(), file);
  std::fputc('\n', file);
}

}  // namespace

void AppendLogLine(const std::string& path, std::string_view line) {
  LogFiles& files = Files();
  std::lock_guard<std::mutex> guard(files.lock);
  LogFile& log = files.files[path];
  // A file removed or changed by someone else no longer ends with our line: start afresh.
  struct stat info {};
  if (stat(path.c_str(), &info) != 0 || static_cast<int64_t>(info.st_size) != log.size) log.repeats.TakeNote();
  std::string note;
  if (!log.repeats.Offer(line, note)) return;
  std::FILE* file = std::fopen(path.c_str(), "ab");
  if (!file) return;
  // The note belongs below the line it counts, in the same file.
  if (!note.empty()) WriteLine(file, note);
  if (fstat(fileno(file), &info) == 0 && static_cast<uint64_t>(info.st_size) > kMaxLogFileBytes) {
    std::fclose(file);
    const std::string old = path + ".1";
    std::rename(path.c_str(), old.c_str());
    file = std::fopen(path.c_str(), "ab");
    if (!file) return;
  }
  WriteLine(file, line);
  std::fflush(file);
  log.size = fstat(fileno(file), &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
  std::fclose(file);
}

void FlushLogs() {
  {
    LogFiles& files = Files();
    std::lock_guard<std::mutex> guard(files.lock);
    for (auto& [path, log] : files.files) {
      const std::string note = log.repeats.TakeNote();
      if (note.empty()) continue;
      if (std::FILE* file = std::fopen(path.c_str(), "ab")) {
        WriteLine(file, note);
        std::fclose(file);
      }
    }
  }
  FlushDiagnostics();
}

}  // namespace qx
