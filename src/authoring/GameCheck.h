// The checks of a whole game before it runs, on its element records (from a source or a game
// file): duplicate Keys, key settings that name nothing or the wrong class, files that are
// missing (each kind looked up as the runtime looks it up), every script checked as
// ScriptCheck checks it, a loading screen whose scripts never end the loading, and text keys
// without a translation.
#pragma once

#include <string>
#include <vector>

#include "scene/GameFile.h"
#include "elements/GameSource.h"

namespace qx {

struct GameFinding {
  std::string file;     // where the problem is: the source or included file, a script file, the game file
  int line = 0;         // 1-based; 0 when not known (a game file)
  std::string path;     // the element: "root/HALL/DOOR" (Ids, else positions from 1)
  std::string message;  // UTF-8
};

struct GameCheckInput {
  const ElementRecord* root = nullptr;
  const RecordPlaces* places = nullptr;  // where a source writes each element; null for a game file
  std::string file;                      // the file messages name where no place is known
  std::string folder;                    // the game folder the runtime would look in (a disk path)
};

// Every problem found, in the order of their files and lines.
std::vector<GameFinding> CheckGame(const GameCheckInput& input);

// "FILE:LINE: PATH: message", or "FILE: PATH: message" without a line.
std::string FindingText(const GameFinding& finding);

}  // namespace qx
