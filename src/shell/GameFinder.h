// Where the game file is: the program's own name with ".qxf", else the first "*.qxf" beside
// the program, else the path in "Zembric.ini" (section "Main", key "Path").
#pragma once

#include <string>

namespace qx {

// The first "*.qxf" in a folder (names compared without case, in sorted order), or "".
std::string FindQxfInFolder(const std::string& folder);

// The game beside the program; "" when nothing is found. `iniPath` is the "Zembric.ini" to
// consult last ("" to skip it).
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

// Where "Zembric.ini" lives on this system: $XDG_CONFIG_HOME/qxrun/Zembric.ini, or
// ~/.config/qxrun/Zembric.ini.
std::string DefaultZembricIniPath();

}  // namespace qx
