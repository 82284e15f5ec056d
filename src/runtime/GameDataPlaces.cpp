#include "runtime/GameDataPlaces.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "base/CodePage.h"
#include "base/Log.h"
#include "base/SafeFile.h"
#include "resources/GameFs.h"

namespace qx {
namespace fs = std::filesystem;

namespace {

bool SystemCanWrite(const std::string& path) {
  // The effective user's rights, as a write would meet them: an existing file must take the
  // write, and its folder must take the new file (the crash-safe writer renames one in).
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) return false;
  return ::faccessat(AT_FDCWD, FolderOf(path).c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

std::string WithoutTrailingSlash(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

}  // namespace

GameDataPlaces::GameDataPlaces() = default;

void GameDataPlaces::SetGame(const std::string& gameFolder, const std::string& gameFilePath) {
  gameFolder_ = WithoutTrailingSlash(gameFolder);
  gameFilePath_ = gameFilePath;
}

void GameDataPlaces::SetGameId(const std::string& id) { gameId_ = id; }
void GameDataPlaces::SetDataHome(const std::string& folder) { dataHome_ = WithoutTrailingSlash(folder); }
void GameDataPlaces::SetDataFolder(const std::string& folder) { dataFolder_ = WithoutTrailingSlash(folder); }
void GameDataPlaces::SetWriteProbe(WriteProbe probe) { probe_ = std::move(probe); }

std::string GameDataPlaces::DefaultDataHome() {
  // An XDG variable that is not an absolute path is to be ignored.
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && xdg[0] == '/') {
    return (fs::path(xdg) / "qxrun").string();
  }
  if (const char* home = std::getenv("HOME"); home && home[0] == '/') {
    return (fs::path(home) / ".local" / "share" / "qxrun").string();
  }
  return {};
}

std::string GameDataPlaces::ScreenshotFolder() {
  const char* homeVar = std::getenv("HOME");
  const std::string home = homeVar && homeVar[0] == '/' ? WithoutTrailingSlash(homeVar) : std::string();
  std::string config;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') config = xdg;
  else if (!home.empty()) config = home + "/.config";
  std::string pictures;
  // Lines such as XDG_PICTURES_DIR="$HOME/Pictures": a path under $HOME or an absolute one.
  std::string text, error;
  if (!config.empty() && ReadWholeFile(config + "/user-dirs.dirs", text, error, size_t{1} << 16)) {
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(start, end - start);
      start = end + 1;
      const std::string key = "XDG_PICTURES_DIR=\"";
      if (line.rfind(key, 0) != 0 || line.size() < key.size() + 1 || line.back() != '"') continue;
      std::string value = line.substr(key.size(), line.size() - key.size() - 1);
      if (value.rfind("$HOME", 0) == 0 && !home.empty()) value = home + value.substr(5);
      if (!value.empty() && value[0] == '/') pictures = WithoutTrailingSlash(value);
    }
  }
  if (pictures.empty() && !home.empty()) pictures = home + "/Pictures";
  return pictures.empty() ? std::string() : pictures + "/qxrun";
}

std::string GameDataPlaces::DataFolderName(const std::string& gameFilePath, const std::string& id) {
  std::string name = fs::path(gameFilePath).stem().string();
  if (name.empty()) name = "game";
  if (!id.empty()) name += "-" + Cp1251ToUtf8(id);
  // Letters, digits and ". _ -" stay, as do the bytes of non-ASCII letters; blanks, quotes,
  // slashes and the like, which make a folder awkward to name in a shell, become "_".
  for (char& c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x80 && !std::isalnum(u) && c != '.' && c != '_' && c != '-') c = '_';
  }
  if (name.front() == '.') name.front() = '_';  // neither hidden nor "." or ".."
  return name;
}

std::string GameDataPlaces::DataFolder() const {
  if (!dataFolder_.empty()) return dataFolder_;
  if (dataHome_.empty() || gameFilePath_.empty()) return {};
  return dataHome_ + "/" + DataFolderName(gameFilePath_, gameId_);
}

std::string GameDataPlaces::SlotsFolder() const {
  const std::string data = DataFolder();
  return data.empty() ? std::string() : data + "/slots";
}

bool GameDataPlaces::CanWrite(const std::string& path) const { return probe_ ? probe_(path) : SystemCanWrite(path); }

std::optional<std::string> GameDataPlaces::CopyOf(std::string_view gameName) const {
  const std::string data = DataFolder();
  if (data.empty()) return std::nullopt;
  TGameFs files(data);
  return files.ResolveFile(gameName);
}

std::optional<GameDataPlaces::Place> GameDataPlaces::Locate(std::string_view gameName) {
  std::vector<std::string> parts;
  if (!TGameFs::SplitGameName(gameName, parts)) return std::nullopt;
  Place place;
  if (const std::optional<std::string> copy = CopyOf(gameName)) {
    place.readPath = place.writePath = *copy;
    place.moved = true;
    return place;
  }
  TGameFs game(gameFolder_.empty() ? "." : gameFolder_);
  const std::optional<std::string> inGame = game.ResolveForWrite(gameName);
  const std::string data = DataFolder();
  if (inGame && (data.empty() || CanWrite(*inGame))) {
    place.readPath = place.writePath = *inGame;
    return place;
  }
  // The game folder cannot take it (or has no place for it: a missing folder, a link out):
  // the data folder will. Until then the shipped file, if any, is what is read.
  if (data.empty()) return std::nullopt;
  place.writePath = data;
  for (const std::string& part : parts) place.writePath += "/" + Cp1251ToUtf8(part);
  place.readPath = game.ResolveFile(gameName).value_or(place.writePath);
  place.movesOnWrite = true;
  return place;
}

std::optional<std::string> GameDataPlaces::PrepareWrite(std::string_view gameName, std::string* error) {
  const auto fail = [&](const std::string& reason) -> std::optional<std::string> {
    if (error) *error = reason;
    return std::nullopt;
  };
  const std::optional<Place> place = Locate(gameName);
  if (!place) return fail("refused the file name " + Cp1251ToUtf8(gameName));
  if (!place->movesOnWrite) return place->writePath;

  std::error_code ec;
  fs::create_directories(FolderOf(place->writePath), ec);
  if (ec) return fail("cannot make the folder " + FolderOf(place->writePath) + ": " + ec.message());
  // Checked again inside the data folder: a link there must not lead the write elsewhere.
  TGameFs data(DataFolder());
  const std::optional<std::string> target = data.ResolveForWrite(gameName);
  if (!target) return fail("refused the file name " + Cp1251ToUtf8(gameName) + " in " + DataFolder());
  if (place->readPath != *target && fs::is_regular_file(place->readPath, ec)) {
    std::string bytes, reason;
    if (!ReadWholeFile(place->readPath, bytes, reason, kMaxGameFileBytes) ||
        !WriteFileAtomically(*target, bytes.data(), bytes.size(), reason)) {
      return fail(reason);
    }
  }
  // Said once in a game's life: from now on this file lives in the data folder.
  LogError("files", "the game folder " + gameFolder_ + " cannot be written; " + Cp1251ToUtf8(gameName) +
                        " is kept in " + *target + " from now on");
  return target;
}

std::optional<std::string> GameDataPlaces::DeletePath(std::string_view gameName) {
  std::vector<std::string> parts;
  if (!TGameFs::SplitGameName(gameName, parts)) return std::nullopt;
  if (std::optional<std::string> copy = CopyOf(gameName)) return copy;
  TGameFs game(gameFolder_.empty() ? "." : gameFolder_);
  std::optional<std::string> shipped = game.ResolveFile(gameName);
  if (shipped && CanWrite(*shipped)) return shipped;
  if (shipped) LogDetail("files", "kept " + *shipped + ": a file of a game folder that cannot be written");
  return std::nullopt;
}

}  // namespace qx
