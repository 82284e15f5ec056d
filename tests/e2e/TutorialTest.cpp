// Every step of the tutorial (docs/tutorial.md) built and played as its reader does: the
// step's game source is built with qxtool, then played headless from the step's replay files
// (replay.txt, and for the saving step replay2.txt, a second session on the same game folder),
// and the screenshot the last replay takes is compared with the picture the tutorial shows.
// Building gives no message, playing leaves no script error in korvane.err, and --verbose
// reports no picture, font, sound or text the step's game asks for and lacks.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "Golden.h"
#include "RunCommand.h"
#include "ScratchFiles.h"

namespace {

namespace fs = std::filesystem;

const std::string kQxrun = std::string(QX_BINARY_DIR) + "/qxrun";
const std::string kQxtool = std::string(QX_BINARY_DIR) + "/qxtool";
const fs::path kSteps = fs::path(QX_SOURCE_DIR) / "games" / "tutorial";
const fs::path kPictures = fs::path(QX_SOURCE_DIR) / "docs" / "tutorial";
constexpr int kStepCount = 7;

// The --verbose lines that say the game asked for something it does not have, or that a
// script failed.
std::vector<std::string> ProblemLines(const std::string& output) {
  std::vector<std::string> problems;
  std::istringstream in(output);
  for (std::string line; std::getline(in, line);) {
    for (const char* tag : {"media: ", "font: ", "sound: ", "text: ", "archive: ", "script: ", "game: no "}) {
      if (line.rfind(tag, 0) == 0) problems.push_back(line);
    }
  }
  return problems;
}

class TutorialStep : public ::testing::TestWithParam<int> {};

TEST_P(TutorialStep, BuildsAndPlaysAsTheTutorialShows) {
  const std::string step = "step" + std::to_string(GetParam());
  const fs::path source = kSteps / step;
  ASSERT_TRUE(fs::exists(source / "game.yaml")) << source;
  // A copy, so that the game file, the error log and the saved state are this run's alone.
  const fs::path work = fs::temp_directory_path() / ("qxrun-tutorial-" + std::to_string(getpid()) + "-" + step);
  fs::remove_all(work);
  fs::copy(source, work, fs::copy_options::recursive);
  for (const char* made : {"game.qxf", "korvane.err", "save.dat", "shot.png"}) fs::remove(work / made);

  const qx::test::CommandResult built =
      qx::test::RunCommand("cd " + work.string() + " && " + kQxtool + " game build game.yaml -o game.qxf");
  ASSERT_EQ(built.status, 0) << built.output;
  EXPECT_EQ(built.output, "");

  std::vector<std::string> replays;
  for (const auto& entry : fs::directory_iterator(work)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("replay", 0) == 0 && name.ends_with(".txt")) replays.push_back(name);
  }
  std::sort(replays.begin(), replays.end());  // replay.txt before replay2.txt
  ASSERT_FALSE(replays.empty());
  for (const std::string& replay : replays) {
    SCOPED_TRACE(replay);
    const qx::test::CommandResult run = qx::test::RunCommand(
        "cd " + work.string() + " && " + kQxrun + " --headless --fixed-step --verbose --replay " + replay + " game.qxf");
    ASSERT_EQ(run.status, 0) << run.output;
    const std::vector<std::string> problems = ProblemLines(run.output);
    EXPECT_TRUE(problems.empty()) << run.output;
  }
  EXPECT_EQ(qx::test::ReadText((work / "korvane.err").string()), "");
  ASSERT_TRUE(fs::exists(work / "shot.png")) << "the last replay takes shot.png";
  qx::test::ExpectMatchesReference(work / "shot.png", kPictures / (step + ".png"));
  fs::remove_all(work);
}

INSTANTIATE_TEST_SUITE_P(Steps, TutorialStep, ::testing::Range(1, kStepCount + 1),
                         [](const ::testing::TestParamInfo<int>& info) { return "Step" + std::to_string(info.param); });

}  // namespace
