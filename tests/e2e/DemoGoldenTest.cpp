// The bundled demo played from a replay: menu, hover, the room behind the Start button and
// the door back. Each screenshot is compared with a reference picture within a small
// tolerance, so a change in drawing, hit testing, scripts or screen switching shows up here.
// Set QX_UPDATE_GOLDEN=1 to rewrite the references after an intended change (and look at them).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "Golden.h"
#include "RunCommand.h"
#include "resources/ImageDecoders.h"

namespace {

namespace fs = std::filesystem;

const std::string kQxrun = std::string(QX_BINARY_DIR) + "/qxrun";
const std::string kDemo = std::string(QX_BINARY_DIR) + "/games/demo/demo.qxf";
const fs::path kGolden = fs::path(QX_TEST_DATA_DIR) / "golden";

using qx::test::Compare;
using qx::test::Difference;

TEST(DemoGolden, ReplayedPlayMatchesTheReferencePictures) {
  ASSERT_TRUE(fs::exists(kDemo)) << "the demo game is built with the default target";
  const fs::path work = fs::temp_directory_path() / ("qxrun-golden-" + std::to_string(getpid()));
  fs::create_directories(work);
  // Tick 205 is just after the intro logos; the Start button sits at (512, 460) and the
  // room's door at (830, 380).
  std::ofstream(work / "replay.txt") << "205 shot menu.png\n"
                                        "206 move 512 460\n"
                                        "209 shot hover.png\n"
                                        "210 down 512 460\n"
                                        "212 up 512 460\n"
                                        "240 shot room.png\n"
                                        "245 down 830 380\n"
                                        "247 up 830 380\n"
                                        "270 shot back.png\n"
                                        "271 quit\n";
  // A copy of the game, so that its error log is this run's alone.
  fs::copy(fs::path(kDemo).parent_path(), work / "demo", fs::copy_options::recursive);
  fs::remove(work / "demo" / "korvane.err");
  const qx::test::CommandResult run = qx::test::RunCommand(
      "cd " + work.string() + " && " + kQxrun + " --headless --fixed-step --replay replay.txt demo/demo.qxf");
  ASSERT_EQ(run.status, 0) << run.output;
  // The demo's scripts (hover, click, screen changes) run without a script error.
  std::ifstream log(work / "demo" / "korvane.err");
  const std::string logged((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
  EXPECT_EQ(logged, "");

  const bool update = std::getenv("QX_UPDATE_GOLDEN") != nullptr;
  for (const char* name : {"menu.png", "hover.png", "room.png", "back.png"}) {
    SCOPED_TRACE(name);
    qx::TBitmap shot, reference;
    std::string error;
    ASSERT_TRUE(qx::LoadPictureFile((work / name).string(), shot, error)) << error;
    if (update) fs::copy_file(work / name, kGolden / name, fs::copy_options::overwrite_existing);
    ASSERT_TRUE(qx::LoadPictureFile((kGolden / name).string(), reference, error)) << error;
    ASSERT_EQ(shot.width, reference.width);
    ASSERT_EQ(shot.height, reference.height);
    const Difference d = Compare(shot, reference);
    // Different GL drivers may round edges and blends a little differently; a wrong picture
    // moves far more than this.
    EXPECT_LT(d.meanChannel, 1.5);
    EXPECT_LT(d.farShare, 0.005);
  }
  fs::remove_all(work);
}

}  // namespace
