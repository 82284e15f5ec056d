// Logs that never grow without bound: a line identical to the one written before it is
// counted instead of written again, and "(the line above repeated N times)" follows when a
// different line comes or the log is flushed at close. A log file over 1 MiB is moved aside
// to NAME.1 (one old file kept) before its next line. Lines that are written are unchanged.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qx {

// The note written after a run of repeated lines.
std::string RepeatNote(uint64_t repeats);

// Collapses runs of identical lines.
class RepeatFilter {
 public:
  // Whether `line` is to be written. When it ends a run of repeats, `note` receives the
  // run's note, to be written first; otherwise `note` is left empty.
  bool Offer(std::string_view line, std::string& note);
  // The note of the run in progress ("" when there is none); the filter starts afresh.
  std::string TakeNote();

 private:
  std::string last_;
  bool hasLast_ = false;
  uint64_t repeats_ = 0;
};

// Size from which a log file is moved aside before its next line.
inline constexpr uint64_t kMaxLogFileBytes = uint64_t{1} << 20;

// Appends one line (a newline is added) to the log file at `path`, made when missing;
// nothing when it cannot be opened. Repeats are collapsed per file, as long as the file still
// ends where our last line left it (a log deleted or written by someone else starts afresh).
void AppendLogLine(const std::string& path, std::string_view line);
// Writes the notes of runs still in progress, in every log file and on stderr (Log.h).
// Also done at exit.
void FlushLogs();

}  // namespace qx
