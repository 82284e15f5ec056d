// qxrun --watch: a game played from its YAML source. The source is built (as qxtool game build
// builds it) into a file of the player's cache, never beside the source; when the source, a
// file it includes or a file of the game folder it names changes, it is built again and the
// new game starts afresh on the screen that was current. A build that fails leaves the old
// game playing, with the error on stderr and over the picture.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qx {

class TFormMain;

class SourceWatch {
 public:
  // `output`: where the game file is built; empty: CachePath(source).
  explicit SourceWatch(std::string source, std::string output = {});

  // Where a source's game file is built: $XDG_CACHE_HOME/qxrun/watch (else ~/.cache/...,
  // else the temporary folder), under the source's name and a hash of its full path, so
  // that two games of the same name do not share one.
  static std::string CachePath(const std::string& source);

  // Builds the source into Output() and takes the files to watch anew. False with the reason
  // ("FILE:LINE: PATH: what") when the source cannot be built; the last good game file is then
  // left as it was. The game checks' findings go to stderr as warnings either way.
  bool Build(std::string& error);
  // Whether a watched file was changed, made or removed since the last Build.
  bool Changed() const;
  // Once a second of the wall clock (or at once with `now`): after a change, builds again
  // and restarts the form's game, or shows the build error over the old one.
  void Poll(TFormMain& form, bool now = false);

  const std::string& Source() const { return source_; }
  const std::string& Output() const { return output_; }
  // The game folder: the source's, where its pictures and the player's files are.
  const std::string& Folder() const { return folder_; }
  std::vector<std::string> WatchedFiles() const;

 private:
  struct Stamp {
    std::filesystem::file_time_type time{};
    uintmax_t size = 0;
    bool operator==(const Stamp&) const = default;
  };
  static std::optional<Stamp> StampOf(const std::string& path);
  void TakeStamps(const std::vector<std::string>& files);

  std::string source_, output_, folder_;
  std::map<std::string, std::optional<Stamp>> stamps_;
  std::chrono::steady_clock::time_point lastPoll_{};
};

}  // namespace qx
