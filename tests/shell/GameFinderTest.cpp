// Where qxrun finds the game to play and its own shared files, in a build folder and installed.
#include "shell/GameFinder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "ScratchFiles.h"
#include "shell/MainForm.h"

namespace qx {
namespace {
namespace fs = std::filesystem;
using test::ScratchDir;
using test::WriteText;

TEST(GameFinder, ZembricIniPathMayNameAFolderHoldingTheGame) {
  ScratchDir dir;
  fs::create_directories(dir / "games/tower");
  WriteText(dir / "games/tower/Tower.qxf", "x");
  WriteText(dir / "games/tower/notes.txt", "x");
  WriteText(dir / "Zembric.ini", "[Main]\nPath=" + (dir / "games/tower") + "\n");
  EXPECT_EQ(FindGameFile("", dir / "Zembric.ini"), dir / "games/tower/Tower.qxf");
  // With a trailing slash too.
  WriteText(dir / "Zembric.ini", "[Main]\nPath=" + (dir / "games/tower/") + "\n");
  EXPECT_EQ(fs::path(FindGameFile("", dir / "Zembric.ini")).lexically_normal(),
            fs::path(dir / "games/tower/Tower.qxf"));

  // A folder without a game is named as it is, and the player is told that it holds none.
  fs::create_directories(dir / "empty");
  WriteText(dir / "Zembric.ini", "[Main]\nPath=" + (dir / "empty") + "\n");
  EXPECT_EQ(FindGameFile("", dir / "Zembric.ini"), dir / "empty");
  EXPECT_EQ(StartFailure(false, dir / "empty", TQXDB::LoadOutcome{}), "no .qxf game file in " + (dir / "empty"));
  EXPECT_EQ(StartFailure(false, dir / "gone.qxf", TQXDB::LoadOutcome{}), "cannot find the game file " + (dir / "gone.qxf"));
}

TEST(GameFinder, SharedFilesAreFoundBesideTheProgramThenInTheInstalledShareFolder) {
  ScratchDir dir;
  const std::string program = dir / "usr/bin/qxrun";
  EXPECT_EQ(SharedDataFolders(program, "../share/qxrun"),
            (std::vector<std::string>{dir / "usr/bin", dir / "usr/share/qxrun"}));
  EXPECT_EQ(SharedDataFolders(program, ""), std::vector<std::string>{dir / "usr/bin"});
  EXPECT_TRUE(SharedDataFolders("", "../share/qxrun").empty());

  EXPECT_EQ(FindSharedFile(program, "../share/qxrun", kDemoGameFile), "");
  fs::create_directories(dir / "usr/share/qxrun/games/demo");
  WriteText(dir / "usr/share/qxrun/games/demo/demo.qxf", "x");
  EXPECT_EQ(FindSharedFile(program, "../share/qxrun", kDemoGameFile), dir / "usr/share/qxrun/games/demo/demo.qxf");
  // A build folder's own copy beside the program comes first.
  fs::create_directories(dir / "usr/bin/games/demo");
  WriteText(dir / "usr/bin/games/demo/demo.qxf", "x");
  EXPECT_EQ(FindSharedFile(program, "../share/qxrun", kDemoGameFile), dir / "usr/bin/games/demo/demo.qxf");
  // A folder where a file is wanted is no file.
  fs::create_directories(dir / "usr/share/qxrun/data/menu.fnt");
  EXPECT_EQ(FindSharedFile(program, "../share/qxrun", "data/menu.fnt"), "");
}

}  // namespace
}  // namespace qx
