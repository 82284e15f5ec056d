// Where the game file is: the program's own name with ".qxf", else the first "*.qxf" beside
// the program, else the path in "Zembric.ini" (section "Main", key "Path"); and where qxrun's
// own files (the bundled demo, the runtime's data) are, in a build folder or installed.
#pragma once

#include <string>
#include <vector>

namespace qx {

// The first "*.qxf" in a folder (names compared without case, in sorted order), or "".
std::string FindQxfInFolder(const std::string& folder);

// The game beside the program; "" when nothing is found. `iniPath` is the "Zembric.ini" to
// consult last ("" to skip it); its Path may name a game file or a folder holding one.
std::string FindGameFile(const std::string& programPath, const std::string& iniPath);

// The game a run plays and where it was found.
struct GameChoice {
  enum class From { Named, Found, Demo, Nothing };
  std::string path;
  From from = From::Nothing;
};
// The named game when there is one, else FindGameFile, else the demo (when `demoPath` is not
// empty), else nothing.
GameChoice ChooseGame(const std::string& named, const std::string& programPath, const std::string& iniPath,
                      const std::string& demoPath);

// The folders that may hold qxrun's shared files (games/demo/, data/), the first that holds a
// file wins: the program's own folder (a build folder: build/games/demo/), then the share
// folder of an installed qxrun, `installedShare` relative to the program's folder (qxrun:
// "../share/qxrun"; "" to skip it).
std::vector<std::string> SharedDataFolders(const std::string& programPath, const std::string& installedShare);
// The first of those folders holding `relative` (a file), as a path to it; "" when none does.
std::string FindSharedFile(const std::string& programPath, const std::string& installedShare,
                           const std::string& relative);
// Where the bundled demo's game file sits below a shared data folder.
inline constexpr const char* kDemoGameFile = "games/demo/demo.qxf";

// Where "Zembric.ini" lives on this system: $XDG_CONFIG_HOME/qxrun/Zembric.ini, or
// ~/.config/qxrun/Zembric.ini.
std::string DefaultZembricIniPath();

}  // namespace qx
