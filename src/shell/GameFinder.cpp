#include "shell/GameFinder.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "base/Ascii.h"
#include "scene/IniFile.h"

namespace qx {
namespace fs = std::filesystem;

std::string FindQxfInFolder(const std::string& folder) {
  std::error_code ec;
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder.empty() ? "." : folder, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.size() > 4 && LowerAscii(name.substr(name.size() - 4)) == ".qxf" && !entry.is_directory(ec)) {
      names.push_back(name);
    }
  }
  if (names.empty()) return {};
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return LowerAscii(a) < LowerAscii(b);
  });
  return (fs::path(folder.empty() ? "." : folder) / names.front()).string();
}

std::string FindGameFile(const std::string& programPath, const std::string& iniPath) {
  std::error_code ec;
  if (!programPath.empty()) {
    // The program's own name with ".qxf" (its extension, if it has one, replaced).
    fs::path own(programPath);
    own.replace_extension(".qxf");
    if (fs::is_regular_file(own, ec)) return own.string();
    const std::string found = FindQxfInFolder(fs::path(programPath).parent_path().string());
    if (!found.empty()) return found;
  }
  if (!iniPath.empty()) {
    TIniFile ini;
    if (ini.Load(iniPath)) {
      const std::string path = ini.ReadString("Main", "Path", "");
      // A folder names the game it holds; one holding none is returned as it is, so that the
      // player is told which folder has no game rather than shown the demo.
      if (!path.empty() && fs::is_directory(path, ec)) {
        const std::string inFolder = FindQxfInFolder(path);
        return inFolder.empty() ? path : inFolder;
      }
      if (!path.empty()) return path;
    }
  }
  return {};
}

GameChoice ChooseGame(const std::string& named, const std::string& programPath, const std::string& iniPath,
                      const std::string& demoPath) {
  if (!named.empty()) return {named, GameChoice::From::Named};
  if (std::string found = FindGameFile(programPath, iniPath); !found.empty()) return {found, GameChoice::From::Found};
  if (!demoPath.empty()) return {demoPath, GameChoice::From::Demo};
  return {};
}

std::vector<std::string> SharedDataFolders(const std::string& programPath, const std::string& installedShare) {
  std::vector<std::string> folders;
  if (programPath.empty()) return folders;
  const fs::path own = fs::path(programPath).parent_path();
  folders.push_back(own.string());
  if (!installedShare.empty()) folders.push_back((own / installedShare).lexically_normal().string());
  return folders;
}

std::string FindSharedFile(const std::string& programPath, const std::string& installedShare,
                           const std::string& relative) {
  std::error_code ec;
  for (const std::string& folder : SharedDataFolders(programPath, installedShare)) {
    const fs::path candidate = fs::path(folder) / relative;
    if (fs::is_regular_file(candidate, ec)) return candidate.string();
  }
  return {};
}

std::string DefaultZembricIniPath() {
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) {
    return (fs::path(xdg) / "qxrun" / "Zembric.ini").string();
  }
  if (const char* home = std::getenv("HOME"); home && *home) {
    return (fs::path(home) / ".config" / "qxrun" / "Zembric.ini").string();
  }
  return {};
}

}  // namespace qx
