// The display as a player meets it: F12 screenshots in the pictures folder, and under a real X
// server (Xvfb, no window manager) a full screen that fills the screen and a window that fits
// the desktop.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "RunCommand.h"
#include "ScratchFiles.h"

namespace {
namespace fs = std::filesystem;
using qx::test::RunCommand;
using qx::test::ScratchDir;
using qx::test::WriteText;

const std::string kQxrun = std::string(QX_BINARY_DIR) + "/qxrun";

// A one-screen game with a player's ini (so it starts full screen, as an installed game does).
std::string BuildGame(const ScratchDir& dir) {
  WriteText(dir / "view.yaml", R"(class: TQXDB
Id: View
InitScreen: 1
IniFile: view.ini
children:
  - class: TQXScreen
    Key: 1
    children:
      - class: TQXShape
        Key: 2
        SizeX: 1024
        SizeY: 768
        hxColor: 0x3060C0
)");
  const auto built = RunCommand(std::string(QX_BINARY_DIR) + "/qxtool game build " + (dir / "view.yaml") + " -o " +
                                (dir / "view.qxf"));
  EXPECT_EQ(built.status, 0) << built.output;
  return dir / "view.qxf";
}

TEST(Display, F12PutsAScreenshotInThePicturesFolderAndSaysWhere) {
  ScratchDir home;
  const std::string game = BuildGame(home);
  WriteText(home / "keys.txt", "20 key 123\n");
  const auto r = RunCommand("env -u XDG_CONFIG_HOME HOME=" + home.path().string() + " XDG_DATA_HOME=" + (home / "data") +
                            " " + kQxrun + " --headless --fixed-step --frames 30 --replay " + (home / "keys.txt") +
                            " " + game);
  ASSERT_EQ(r.status, 0) << r.output;
  std::smatch m;
  ASSERT_TRUE(std::regex_search(r.output, m, std::regex("qxrun: screenshot saved to (\\S+\\.png)\n"))) << r.output;
  const fs::path shot = m[1].str();
  EXPECT_EQ(shot.parent_path(), home.path() / "Pictures" / "qxrun");
  EXPECT_EQ(shot.filename().string().rfind("view_", 0), 0u) << shot;
  EXPECT_GT(fs::file_size(shot), 100u);

  // --no-menu: F12 is the game's, and no picture is written.
  fs::remove_all(home.path() / "Pictures");
  const auto g = RunCommand("env HOME=" + home.path().string() + " " + kQxrun +
                            " --headless --fixed-step --frames 30 --no-menu --replay " + (home / "keys.txt") + " " + game);
  ASSERT_EQ(g.status, 0) << g.output;
  EXPECT_FALSE(fs::exists(home.path() / "Pictures")) << g.output;
}

// "WxH+X+Y" of qxrun's window as the X server has it, read by xwininfo at the given moments.
class Xvfb {
 public:
  static bool Available() {
    return RunCommand("command -v xvfb-run && command -v xwininfo").status == 0;
  }
  // Runs qxrun on a screen of `screen` ("1280x800") and lists the top windows after each wait.
  static std::string Run(const std::string& screen, const std::string& args, const std::string& waits) {
    std::string script = kQxrun + " " + args + " 2>/dev/null & ";
    for (std::string::size_type at = 0; at < waits.size();) {
      const auto end = waits.find(' ', at);
      script += "sleep " + waits.substr(at, end - at) + "; echo ---; xwininfo -root -children | grep qxrun; ";
      if (end == std::string::npos) break;
      at = end + 1;
    }
    script += "wait";
    // The X server and xvfb-run are not ours: a sanitizer build's preloaded runtime stays out of them.
    return RunCommand("env -u SDL_VIDEODRIVER -u LD_PRELOAD SDL_AUDIODRIVER=dummy xvfb-run -a -s '-screen 0 " + screen +
                      "x24' sh -c '" + script + "'")
        .output;
  }
};

TEST(Display, FullScreenFillsTheScreenWithoutAWindowManager) {
  if (!Xvfb::Available()) GTEST_SKIP() << "xvfb-run or xwininfo is not installed (scripts/bootstrap.sh installs them)";
  ScratchDir dir;
  const std::string game = BuildGame(dir);
  WriteText(dir / "keys.txt", "150 key 13 alt\n");
  const std::string out = Xvfb::Run("1280x800", "--frames 300 --replay " + (dir / "keys.txt") + " " + game, "2.5 4.5");
  const auto second = out.find("---", out.find("---") + 3);
  ASSERT_NE(second, std::string::npos) << out;
  // Full screen: the screen's size at its corner, not a 1024 x 768 window with the picture
  // shifted inside it.
  EXPECT_NE(out.substr(0, second).find("1280x800+0+0"), std::string::npos) << out;
  // Alt+Enter: a 1024 x 768 window, centred.
  EXPECT_NE(out.substr(second).find("1024x768+128+16"), std::string::npos) << out;
}

TEST(Display, AWindowThatDoesNotFitTheDesktopIsScaledDownTo4By3) {
  if (!Xvfb::Available()) GTEST_SKIP() << "xvfb-run or xwininfo is not installed (scripts/bootstrap.sh installs them)";
  ScratchDir dir;
  const std::string game = BuildGame(dir);
  const std::string out = Xvfb::Run("1000x700", "--windowed --frames 90 " + game, "2");
  EXPECT_NE(out.find("933x700+33+0"), std::string::npos) << out;
}

}  // namespace
