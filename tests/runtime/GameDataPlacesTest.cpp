// Where the player's files go: the game folder while it can be written, else the game's data
// folder, for good once a file has moved there.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "ScratchFiles.h"
#include "runtime/GameDataPlaces.h"

namespace qx {
namespace {
using test::ReadText;
using test::ScratchDir;
using test::WriteText;

// A game folder and a data home, with the game folder's writability chosen by the test.
struct Places {
  ScratchDir game, home;
  bool gameWritable = true;
  GameDataPlaces places;
  Places() {
    places.SetGame(game.path().string(), game / "lighthouse.qxf");
    places.SetGameId("LIGHT");
    places.SetDataHome(home.path().string());
    places.SetWriteProbe([this](const std::string& path) {
      return gameWritable || path.rfind(game.path().string(), 0) != 0;
    });
  }
  std::string Data(const std::string& name) const { return home / ("lighthouse-LIGHT/" + name); }
};

TEST(GameDataPlaces, DataFolderIsNamedFromTheGameFileAndTheRootId) {
  EXPECT_EQ(GameDataPlaces::DataFolderName("/games/demo/demo.qxf", "DEMO"), "demo-DEMO");
  EXPECT_EQ(GameDataPlaces::DataFolderName("demo.qxf", ""), "demo");
  EXPECT_EQ(GameDataPlaces::DataFolderName("demo.qxf", "The Clock's House"), "demo-The_Clock_s_House");
  EXPECT_EQ(GameDataPlaces::DataFolderName("a.qxf", "x/../y"), "a-x_.._y");
  EXPECT_EQ(GameDataPlaces::DataFolderName(".qxf", "\x01"), "_qxf-_");
  EXPECT_EQ(GameDataPlaces::DataFolderName("m.qxf", "\xCC\xE0\xFF\xEA"), "m-\xD0\x9C\xD0\xB0\xD1\x8F\xD0\xBA");
  Places t;
  EXPECT_EQ(t.places.DataFolder(), t.home / "lighthouse-LIGHT");
  EXPECT_EQ(t.places.SlotsFolder(), t.home / "lighthouse-LIGHT/slots");
  t.places.SetDataFolder(t.home / "mine/");
  EXPECT_EQ(t.places.DataFolder(), t.home / "mine");  // --data-dir: exactly that folder
}

TEST(GameDataPlaces, DefaultDataHomeFollowsXdgDataHome) {
  const char* savedXdg = std::getenv("XDG_DATA_HOME");
  const std::string keepXdg = savedXdg ? savedXdg : "";
  const char* savedHome = std::getenv("HOME");
  const std::string keepHome = savedHome ? savedHome : "";
  setenv("XDG_DATA_HOME", "/x/data", 1);
  setenv("HOME", "/home/ann", 1);
  EXPECT_EQ(GameDataPlaces::DefaultDataHome(), "/x/data/qxrun");
  setenv("XDG_DATA_HOME", "relative", 1);  // not absolute: ignored
  EXPECT_EQ(GameDataPlaces::DefaultDataHome(), "/home/ann/.local/share/qxrun");
  unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(GameDataPlaces::DefaultDataHome(), "/home/ann/.local/share/qxrun");
  unsetenv("HOME");
  EXPECT_EQ(GameDataPlaces::DefaultDataHome(), "");
  if (savedXdg) setenv("XDG_DATA_HOME", keepXdg.c_str(), 1);
  if (savedHome) setenv("HOME", keepHome.c_str(), 1);
}

TEST(GameDataPlaces, AWritableGameFolderKeepsItsFiles) {
  Places t;
  WriteText(t.game / "Player.ini", "[Def]\nSnd=5\n");
  const auto place = t.places.Locate("PLAYER.INI");
  ASSERT_TRUE(place);
  EXPECT_EQ(place->readPath, t.game / "Player.ini");
  EXPECT_EQ(place->writePath, t.game / "Player.ini");
  EXPECT_FALSE(place->moved || place->movesOnWrite);
  EXPECT_EQ(t.places.PrepareWrite("player.ini"), t.game / "Player.ini");
  EXPECT_FALSE(std::filesystem::exists(t.places.DataFolder()));
  EXPECT_FALSE(t.places.Locate("..\\up.ini"));
  EXPECT_FALSE(t.places.Locate("/etc/passwd"));
}

TEST(GameDataPlaces, AFileMovesAtItsFirstWriteWithItsShippedCopyAndStays) {
  Places t;
  t.gameWritable = false;
  WriteText(t.game / "player.ini", "; shipped\n[Def]\nSnd=5\n");
  auto place = t.places.Locate("player.ini");
  ASSERT_TRUE(place);
  EXPECT_TRUE(place->movesOnWrite);
  EXPECT_EQ(place->readPath, t.game / "player.ini");  // read where it ships until written
  EXPECT_EQ(place->writePath, t.Data("player.ini"));
  EXPECT_FALSE(std::filesystem::exists(t.places.DataFolder()));  // asking writes nothing

  EXPECT_EQ(t.places.PrepareWrite("player.ini"), t.Data("player.ini"));
  EXPECT_EQ(ReadText(t.Data("player.ini")), "; shipped\n[Def]\nSnd=5\n");
  // From now on the copy is the file, even once the game folder can be written.
  t.gameWritable = true;
  place = t.places.Locate("PLAYER.INI");
  ASSERT_TRUE(place);
  EXPECT_TRUE(place->moved);
  EXPECT_EQ(place->readPath, t.Data("player.ini"));
  EXPECT_EQ(place->writePath, t.Data("player.ini"));

  // A file the game does not ship, under a folder it does not have: made in the data folder.
  t.gameWritable = false;
  EXPECT_EQ(t.places.PrepareWrite("saves\\slot.dat"), t.Data("saves/slot.dat"));
  EXPECT_TRUE(std::filesystem::is_directory(t.Data("saves")));
  EXPECT_FALSE(std::filesystem::exists(t.Data("saves/slot.dat")));  // nothing to copy
}

TEST(GameDataPlaces, DeleteTakesTheCopyAndNeverAShippedFileOfAReadOnlyFolder) {
  Places t;
  t.gameWritable = false;
  WriteText(t.game / "save.dat", "shipped");
  EXPECT_FALSE(t.places.DeletePath("save.dat"));
  ASSERT_TRUE(t.places.PrepareWrite("save.dat"));
  EXPECT_EQ(t.places.DeletePath("SAVE.DAT"), t.Data("save.dat"));
  t.gameWritable = true;
  std::filesystem::remove(t.Data("save.dat"));
  EXPECT_EQ(t.places.DeletePath("save.dat"), t.game / "save.dat");
  EXPECT_FALSE(t.places.DeletePath("missing.dat"));
}

TEST(GameDataPlaces, WithoutADataHomeEverythingStaysInTheGameFolder) {
  ScratchDir game;
  GameDataPlaces places;
  places.SetGame(game.path().string(), game / "g.qxf");
  places.SetWriteProbe([](const std::string&) { return false; });
  EXPECT_EQ(places.DataFolder(), "");
  EXPECT_EQ(places.PrepareWrite("korvane.err"), game / "korvane.err");
  EXPECT_FALSE(places.Locate("nofolder\\x.ini"));
}

// Where F12 puts its pictures: what xdg-user-dir PICTURES says, under qxrun/.
TEST(GameDataPlaces, ScreenshotsGoToThePicturesFolderOfUserDirs) {
  ScratchDir home;
  const char* savedHome = std::getenv("HOME");
  const std::string keepHome = savedHome ? savedHome : "";
  const char* savedXdg = std::getenv("XDG_CONFIG_HOME");
  const std::string keepXdg = savedXdg ? savedXdg : "";
  setenv("HOME", home.path().string().c_str(), 1);
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(GameDataPlaces::ScreenshotFolder(), home / "Pictures/qxrun");  // no user-dirs.dirs
  std::filesystem::create_directories(home.path() / ".config");
  WriteText(home / ".config/user-dirs.dirs",
            "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_PICTURES_DIR=\"$HOME/Bilder\"\n");
  EXPECT_EQ(GameDataPlaces::ScreenshotFolder(), home / "Bilder/qxrun");
  std::filesystem::create_directories(home.path() / "cfg");
  WriteText(home / "cfg/user-dirs.dirs", "XDG_PICTURES_DIR=\"/srv/shots/\"\n");
  setenv("XDG_CONFIG_HOME", (home / "cfg").c_str(), 1);
  EXPECT_EQ(GameDataPlaces::ScreenshotFolder(), "/srv/shots/qxrun");
  WriteText(home / "cfg/user-dirs.dirs", "XDG_PICTURES_DIR=relative\n");  // not understood: the default
  EXPECT_EQ(GameDataPlaces::ScreenshotFolder(), home / "Pictures/qxrun");
  if (savedHome) setenv("HOME", keepHome.c_str(), 1);
  if (savedXdg) setenv("XDG_CONFIG_HOME", keepXdg.c_str(), 1);
  else unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace qx
