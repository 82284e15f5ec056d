// A game that cannot start is a failure the player sees: one line on stderr (and a message box
// when there is a display) and exit status 1, never a black window that exits 0.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "RunCommand.h"
#include "ScratchFiles.h"

namespace {
namespace fs = std::filesystem;
using qx::test::RunCommand;
using qx::test::ScratchDir;
using qx::test::WriteText;

const std::string kQxrun = std::string(QX_BINARY_DIR) + "/qxrun";

// qxrun with no Zembric.ini to find: HOME and the config folder point into `home`.
std::string Isolated(const ScratchDir& home) {
  return "env -u XDG_CONFIG_HOME HOME=" + home.path().string() + " XDG_DATA_HOME=" + (home / "data") + " ";
}

size_t Lines(const std::string& text) { return static_cast<size_t>(std::count(text.begin(), text.end(), '\n')); }

TEST(QxrunStart, AGameFileWithNothingInItEndsWithOneLineAndStatusOne) {
  ScratchDir dir;
  WriteText(dir / "empty.qxf", "");
  auto r = RunCommand(kQxrun + " --headless --fixed-step --frames 5 " + (dir / "empty.qxf"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.output, "qxrun: cannot start the game " + (dir / "empty.qxf") + ": it is empty\n");

  WriteText(dir / "noise.qxf", "this is no game file at all");
  r = RunCommand(kQxrun + " --headless --fixed-step --frames 5 " + (dir / "noise.qxf"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("qxrun: cannot start the game " + (dir / "noise.qxf") +
                          ": it is not a game file: nothing in it could be read\n"),
            std::string::npos)
      << r.output;

  // A root and nothing below it can never show anything.
  WriteText(dir / "root.yaml", "class: TQXDB\nId: Bare\n");
  ASSERT_EQ(RunCommand(std::string(QX_BINARY_DIR) + "/qxtool game build " + (dir / "root.yaml") + " -o " +
                       (dir / "root.qxf"))
                .status,
            0);
  r = RunCommand(kQxrun + " --headless --fixed-step --frames 5 " + (dir / "root.qxf"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("it holds no screens or other elements"), std::string::npos) << r.output;
}

TEST(QxrunStart, AnUnreadableGameFileEndsWithStatusOne) {
  if (::geteuid() == 0 && RunCommand("setpriv --reuid=65534 --regid=65534 --clear-groups true").status != 0) {
    GTEST_SKIP() << "cannot run as the unprivileged user nobody here (setpriv refused)";
  }
  ScratchDir dir;
  fs::permissions(dir.path(), fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
  WriteText(dir / "locked.qxf", "x");
  fs::permissions(dir / "locked.qxf", fs::perms::none);
  const std::string as = ::geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
  const auto r = RunCommand(as + kQxrun + " --headless --fixed-step --frames 5 " + (dir / "locked.qxf"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.output, "qxrun: cannot read the game file: cannot open " + (dir / "locked.qxf") +
                          ": Permission denied\n");
}

TEST(QxrunStart, ADamagedGamePlaysWhatCouldBeReadWithOneWarning) {
  ScratchDir dir;
  WriteText(dir / "game.yaml", R"(class: TQXDB
InitScreen: 1
children:
  - class: TQXScreen
    Key: 1
  - class: TQXScreen
    Key: 2
    Tag: a long tag that the cut falls into
)");
  ASSERT_EQ(RunCommand(std::string(QX_BINARY_DIR) + "/qxtool game build " + (dir / "game.yaml") + " -o " +
                       (dir / "game.qxf"))
                .status,
            0);
  fs::resize_file(dir / "game.qxf", fs::file_size(dir / "game.qxf") - 20);
  const auto r = RunCommand(kQxrun + " --headless --fixed-step --frames 5 " + (dir / "game.qxf"));
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(Lines(r.output), 1u) << r.output;
  EXPECT_EQ(r.output.rfind("game: damaged game file: ", 0), 0u) << r.output;
}

// A qxrun copied out of the build folder, with no game beside it and none in Zembric.ini.
TEST(QxrunStart, NoGameAnywhereAndNoDemoEndsWithStatusOne) {
  ScratchDir home;
  fs::copy_file(kQxrun, home / "qxrun");
  const auto r = RunCommand(Isolated(home) + (home / "qxrun") + " --headless --fixed-step --frames 5");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(Lines(r.output), 1u) << r.output;
  EXPECT_EQ(r.output.rfind("qxrun: no game to play: ", 0), 0u) << r.output;
}

TEST(QxrunStart, WithoutAGameTheBundledDemoPlaysAndStderrSaysSo) {
  ScratchDir home;
  const auto r = RunCommand(Isolated(home) + kQxrun + " --headless --fixed-step --frames 5");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.output, "qxrun: no game named and none found beside qxrun: playing the bundled demo " +
                          std::string(QX_BINARY_DIR) + "/games/demo/demo.qxf\n");
}

TEST(QxrunStart, ANamedGameThatIsNotThereIsABadCommandLine) {
  const auto r = RunCommand(kQxrun + " --headless /nonexistent/game.qxf");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.output, "qxrun: cannot find the game /nonexistent/game.qxf\n");
}

}  // namespace
