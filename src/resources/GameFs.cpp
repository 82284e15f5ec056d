#include "resources/GameFs.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "base/CodePage.h"
#include "base/Log.h"
#include "resources/FileBytes.h"
#include "resources/NameFold.h"
#include "resources/ResArchive.h"

namespace qx {
namespace {

std::string RealPath(const std::string& path) {
  char buffer[PATH_MAX];
  return ::realpath(path.c_str(), buffer) ? std::string(buffer) : std::string();
}

std::string Join(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::string ArchiveName(std::string_view name) {
  std::string out(name);
  std::replace(out.begin(), out.end(), '/', '\\');
  return out;
}

}  // namespace

TGameFs::TGameFs(std::string root) : root_(std::move(root)) {
  if (root_.empty()) root_ = ".";
  realRoot_ = RealPath(root_);
}

bool TGameFs::SplitGameName(std::string_view name, std::vector<std::string>& parts) {
  parts.clear();
  if (name.empty() || name.front() == '\\' || name.front() == '/') return false;
  if (name.size() >= 2 && name[1] == ':') return false;  // "C:..." names another drive
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find_first_of("\\/", start);
    if (end == std::string_view::npos) end = name.size();
    const std::string_view part = name.substr(start, end - start);
    if (part == "..") return false;
    if (part.find('\0') != std::string_view::npos) return false;
    if (!part.empty() && part != ".") parts.emplace_back(part);
    start = end + 1;
  }
  return !parts.empty();
}

bool TGameFs::Inside(const std::string& path) const {
  if (realRoot_.empty()) return false;
  const std::string real = RealPath(path);
  if (real.empty()) return false;
  if (real == realRoot_) return true;
  const std::string prefix = realRoot_ == "/" ? realRoot_ : realRoot_ + "/";
  return real.compare(0, prefix.size(), prefix) == 0;
}

std::optional<std::string> TGameFs::Match(const std::string& folder, const std::string& component) {
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return std::nullopt;
  auto it = listings_.find(folder);
  if (it == listings_.end() || it->second.modified.tv_sec != st.st_mtim.tv_sec ||
      it->second.modified.tv_nsec != st.st_mtim.tv_nsec) {
    Listing listing;
    listing.modified = st.st_mtim;
    if (DIR* dir = ::opendir(folder.c_str())) {
      while (const dirent* e = ::readdir(dir)) {
        const std::string diskName = e->d_name;
        if (diskName == "." || diskName == "..") continue;
        // A name with no 1251 spelling cannot be named by a game.
        if (std::optional<std::string> cp = Utf8ToCp1251(diskName)) {
          listing.entries.emplace_back(FoldName1251(*cp), diskName);
        }
      }
      ::closedir(dir);
    }
    std::sort(listing.entries.begin(), listing.entries.end(),
              [](const auto& a, const auto& b) { return a.second < b.second; });
    it = listings_.insert_or_assign(folder, std::move(listing)).first;
  }
  const std::string exact = Cp1251ToUtf8(component);
  const std::string folded = FoldName1251(component);
  const std::string* found = nullptr;
  for (const auto& [key, diskName] : it->second.entries) {
    if (diskName == exact) return diskName;
    if (!found && key == folded) found = &diskName;
  }
  if (found) return *found;
  return std::nullopt;
}

TGameFs::Located TGameFs::Locate(std::string_view gameName) {
  std::vector<std::string> parts;
  if (!SplitGameName(gameName, parts)) return {};
  // Without a game folder on disk nothing can be inside it.
  if (realRoot_.empty()) return {Lookup::Missing, {}};
  std::string path = root_;
  for (size_t i = 0; i < parts.size(); ++i) {
    const std::optional<std::string> diskName = Match(path, parts[i]);
    if (!diskName) {
      // Missing only when the folder reached so far is itself inside: "link\new" with a
      // link to another folder is refused even though "new" is nowhere.
      if (!Inside(path)) break;
      if (i + 1 != parts.size()) return {Lookup::Missing, {}};
      return {Lookup::Missing, Join(path, Cp1251ToUtf8(parts[i]))};
    }
    path = Join(path, *diskName);
    if (i + 1 == parts.size() && Inside(path)) return {Lookup::Found, path};
  }
  LogDetail("files", "refused " + Cp1251ToUtf8(gameName) + ": it leads out of the game folder");
  return {};
}

std::optional<std::string> TGameFs::Resolve(std::string_view gameName) {
  Located found = Locate(gameName);
  if (found.kind != Lookup::Found) return std::nullopt;
  return std::move(found.path);
}

std::optional<std::string> TGameFs::ResolveFile(std::string_view gameName) {
  std::optional<std::string> path = Resolve(gameName);
  struct stat st {};
  if (!path || ::stat(path->c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return path;
}

std::optional<std::string> TGameFs::ResolveForWrite(std::string_view gameName) {
  Located found = Locate(gameName);
  if (found.kind == Lookup::Refused || found.path.empty()) return std::nullopt;
  return std::move(found.path);
}

TFileSource LocateGameFile(TGameFs& fs, const TResArchive* archive, std::string_view name) {
  if (fs.ResolveFile(name)) return TFileSource::Disk;
  if (archive && archive->Opened() && archive->IndexOf(ArchiveName(name)) >= 0) return TFileSource::Archive;
  return TFileSource::None;
}

bool ReadGameFileFrom(TFileSource where, TGameFs& fs, TResArchive* archive, std::string_view name,
                      std::vector<uint8_t>& data) {
  data.clear();
  if (where == TFileSource::Disk) {
    const std::optional<std::string> path = fs.ResolveFile(name);
    std::string error;
    if (!path) return false;
    if (!ReadFileBytes(*path, data, error, kMaxGameFileBytes)) {
      LogDetail("files", error);
      return false;
    }
    return true;
  }
  if (where == TFileSource::Archive) {
    return archive && archive->Opened() && archive->ReadRecord(ArchiveName(name), data);
  }
  return false;
}

bool ReadGameFile(TGameFs& fs, TResArchive* archive, std::string_view name, std::vector<uint8_t>& data,
                  TFileSource* source) {
  const TFileSource where = LocateGameFile(fs, archive, name);
  const bool ok = ReadGameFileFrom(where, fs, archive, name, data);
  if (source) *source = ok ? where : TFileSource::None;
  return ok;
}

}  // namespace qx
