// qxrun --where: every place a run of a game reads or writes, as a player can check them.
#pragma once

#include <string>

namespace qx {

struct WhereQuery {
  std::string gamePath;      // the game file the run would play; "" when none is found
  std::string dataHome;      // where the per-game data folders are made
  std::string dataFolder;    // --data-dir
  std::string settingsPath;  // Zembric.ini
  std::string screenshotFolder;  // F12
};

// One "what: where" line per place, in the order a run meets them. The game file is read
// (nothing is written) for the names its root gives the player's files.
std::string DescribePlaces(const WhereQuery& query);

}  // namespace qx
