// An installed game: its folder cannot be written by the player, who still keeps settings,
// saves and the error log, in the game's data folder, and qxrun --where says so.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "RunCommand.h"
#include "ScratchFiles.h"

namespace {
namespace fs = std::filesystem;
using qx::test::ReadText;
using qx::test::WriteText;

constexpr const char* kGame = R"(class: TQXDB
Id: Tower
InitScreen: 1
IniFile: player.ini
FileRS: save.dat
children:
  - class: TQXScreen
    Key: 1
    exShow: |
      N := GetIni('Opt', 'Runs', '0');
      SetIni('Opt', 'Runs', IntToStr(StrToInt(N) + 1));
      QXDB.VOLSND := 30;
      SaveState;
      DelFile('extra.txt');
      X := NOSUCH + 1;
)";
constexpr const char* kShippedIni = "; shipped with the game\n[Opt]\nRuns=0\n[Keep]\nA=1\n";

// Runs a command as a player without rights on the game folder: root becomes nobody (root
// would write anywhere), anyone else stays who they are.
class Player {
 public:
  explicit Player(const fs::path& dataHome) : dataHome_(dataHome) {}
  bool asNobody() const { return ::geteuid() == 0; }
  std::string Prefix() const {
    std::string env = "env HOME=/nonexistent XDG_DATA_HOME=" + dataHome_.string() + " ";
    return asNobody() ? "setpriv --reuid=65534 --regid=65534 --clear-groups " + env : env;
  }
  qx::test::CommandResult Run(const std::string& args) const {
    return qx::test::RunCommand(Prefix() + QX_BINARY_DIR + "/qxrun " + args);
  }

 private:
  fs::path dataHome_;
};

TEST(PlayerPlaces, AReadOnlyGameKeepsItsPlayersFilesInTheDataFolder) {
  qx::test::ScratchDir scratch;
  fs::permissions(scratch.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                      fs::perms::others_read | fs::perms::others_exec);
  const fs::path game = scratch.path() / "tower";
  const fs::path home = scratch.path() / "data";
  fs::create_directories(game);
  fs::create_directories(home);
  WriteText((game / "tower.yaml").string(), kGame);
  WriteText((game / "player.ini").string(), kShippedIni);
  WriteText((game / "extra.txt").string(), "shipped");
  const auto built = qx::test::RunCommand(std::string(QX_BINARY_DIR) + "/qxtool game build " +
                                          (game / "tower.yaml").string() + " -o " + (game / "tower.qxf").string());
  ASSERT_EQ(built.status, 0) << built.output;
  Player player(home);
  if (player.asNobody()) {
    if (::chown(home.c_str(), 65534, 65534) != 0 || qx::test::RunCommand(player.Prefix() + "true").status != 0) {
      GTEST_SKIP() << "cannot run as the unprivileged user nobody here (setpriv refused)";
    }
  } else {
    fs::permissions(game, fs::perms::owner_write, fs::perm_options::remove);
  }
  const std::string run = "--headless --fixed-step --frames 120 " + (game / "tower.qxf").string();
  const fs::path data = home / "qxrun" / "tower-Tower";

  auto r = player.Run(run);
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(r.output.find("Permission denied"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("player.ini is kept in " + (data / "player.ini").string()), std::string::npos) << r.output;
  // The copy holds every shipped line and the run's changes; the shipped files are untouched.
  EXPECT_EQ(ReadText((game / "player.ini").string()), kShippedIni);
  EXPECT_EQ(ReadText((data / "player.ini").string()),
            "; shipped with the game\n[Opt]\nRuns=1\n[Keep]\nA=1\n\n[Def]\nSnd=30\n");
  EXPECT_TRUE(fs::is_regular_file(data / "save.dat"));
  EXPECT_GT(fs::file_size(data / "save.dat"), 0u);
  EXPECT_FALSE(fs::exists(game / "save.dat"));
  EXPECT_NE(ReadText((data / "korvane.err").string()).find("NOSUCH"), std::string::npos);
  EXPECT_FALSE(fs::exists(game / "korvane.err"));
  EXPECT_EQ(ReadText((game / "extra.txt").string()), "shipped");  // DelFile spares a shipped file

  r = player.Run("--where " + (game / "tower.qxf").string());
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("data folder:   " + data.string() + "\n"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("player's ini:  " + (data / "player.ini").string()), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("saved state:   " + (data / "save.dat").string()), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("error log:     " + (data / "korvane.err").string()), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("it cannot be written"), std::string::npos) << r.output;

  // Once moved, always moved: a later run reads the copy, even with the folder writable.
  if (player.asNobody()) {
    ASSERT_EQ(::chown(game.c_str(), 65534, 65534), 0);
  } else {
    fs::permissions(game, fs::perms::owner_write, fs::perm_options::add);
  }
  r = player.Run(run);
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_NE(ReadText((data / "player.ini").string()).find("Runs=2"), std::string::npos);
  EXPECT_EQ(ReadText((game / "player.ini").string()), kShippedIni);
  EXPECT_FALSE(fs::exists(game / "save.dat"));
  EXPECT_FALSE(fs::exists(game / "korvane.err"));
}

// --data-dir names the data folder itself.
TEST(PlayerPlaces, DataDirNamesTheFolder) {
  qx::test::ScratchDir scratch;
  const auto r = qx::test::RunCommand(std::string(QX_BINARY_DIR) + "/qxrun --data-dir " + (scratch / "mine") +
                                      " --where");
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("data folder:   " + (scratch / "mine") + "\n"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("save slots:    " + (scratch / "mine/slots") + "\n"), std::string::npos) << r.output;
}

}  // namespace
