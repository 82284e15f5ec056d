// TGameFs: maps the file names a game uses (code page 1251, backslashes, any letter case) to
// paths on disk inside the game folder, and the "disk first, then the archive" file lookup.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace qx {

class TResArchive;

class TGameFs {
 public:
  // `root` is the game folder's disk path (UTF-8).
  explicit TGameFs(std::string root);

  const std::string& Root() const { return root_; }

  // The disk path of an existing file or folder named by `gameName`, each component matched
  // without regard to letter case (an exact match wins, else the first in byte order).
  // Nothing when it does not exist or the name is refused: empty, absolute ("/x", "\x"), with
  // a drive letter ("C:"), with a ".." component, or leading out of the game folder through
  // a symbolic link.
  std::optional<std::string> Resolve(std::string_view gameName);
  // Resolve, and only regular files.
  std::optional<std::string> ResolveFile(std::string_view gameName);
  // A path to write `gameName` to: existing folders and an existing file are matched as by
  // Resolve, missing parts keep the name's spelling (converted to UTF-8). Refused names, and
  // names under a missing folder or leading out of the game folder, give nothing.
  std::optional<std::string> ResolveForWrite(std::string_view gameName);

  // Folder listings are cached and re-read when a folder's modification time changes;
  // Invalidate forgets them all.
  void Invalidate() { listings_.clear(); }

  // Splits a game name at backslashes and slashes, dropping empty and "." components; false
  // for the refused names listed at Resolve.
  static bool SplitGameName(std::string_view gameName, std::vector<std::string>& parts);

 private:
  struct Listing {
    timespec modified{};
    // (upper-cased 1251 name, name on disk), sorted by name on disk
    std::vector<std::pair<std::string, std::string>> entries;
  };
  // The disk name in `folder` matching a 1251 component, or nothing.
  std::optional<std::string> Match(const std::string& folder, const std::string& component);
  bool Inside(const std::string& path) const;

  std::string root_;
  std::string realRoot_;  // empty when the folder cannot be resolved
  std::unordered_map<std::string, Listing> listings_;
};

enum class TFileSource { None, Disk, Archive };

// Largest game file read into memory whole (pictures, sounds, text files).
constexpr size_t kMaxGameFileBytes = size_t{256} << 20;

// Where `name` is found: on disk through the resolver, else as a record of the archive (when
// one is given and open; slashes are taken as backslashes), else nowhere.
TFileSource LocateGameFile(TGameFs& fs, const TResArchive* archive, std::string_view name);

// The bytes of `name` from disk if the file exists there, else from the archive record of
// that name. `source` tells where they came from (None on failure). A file that exists on
// disk but cannot be read is a failure, not a reason to take the archive's copy.
bool ReadGameFile(TGameFs& fs, TResArchive* archive, std::string_view name, std::vector<uint8_t>& data,
                  TFileSource* source = nullptr);
// The same from one place only, for companion files that must come from where their
// picture came from.
bool ReadGameFileFrom(TFileSource where, TGameFs& fs, TResArchive* archive, std::string_view name,
                      std::vector<uint8_t>& data);

}  // namespace qx
