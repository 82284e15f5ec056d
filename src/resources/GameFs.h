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

  // What a game name leads to. Every file the runtime writes, creates or deletes for a game,
  // and every script file it reads, is looked up here; only media reads take other roads.
  enum class Lookup : uint8_t {
    Refused,  // empty, absolute ("/x", "\x"), a drive letter ("C:"), a ".." component, or a
              // symbolic link (of any component, in any letter case) leading out of the folder
    Missing,  // inside the folder, but not there (`path`: where it would be made, when only
              // its last component is missing)
    Found,    // `path` exists, and it and every link on the way stay inside the folder
  };
  struct Located {
    Lookup kind = Lookup::Refused;
    std::string path;
  };
  // Each component is matched without regard to letter case (an exact match wins, else the
  // first in byte order); missing parts keep the name's spelling (converted to UTF-8).
  Located Locate(std::string_view gameName);

  // The disk path of an existing file or folder named by `gameName`: Locate's Found.
  std::optional<std::string> Resolve(std::string_view gameName);
  // Resolve, and only regular files.
  std::optional<std::string> ResolveFile(std::string_view gameName);
  // A path to write `gameName` to: an existing one, or a new file in an existing folder.
  // Refused names and names under a missing folder give nothing.
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
