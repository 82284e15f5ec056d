// qxrun against the faults players meet first: a script that never ends, an error repeated
// every tick.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "RunCommand.h"

namespace qx::test {
namespace {

std::vector<std::string> Lines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path, std::ios::binary);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// A one-screen game built from YAML in a scratch folder. The screen's exProcess and the
// button's scripts are the test's; the button covers (100, 100) to (200, 200). Without
// logos the intro lasts about 100 ticks.
class HardenedGame : public testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/qxhardXXXXXX";
    dir_ = mkdtemp(dir);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string P(const std::string& name) const { return dir_ + "/" + name; }

  void Build(const std::string& process, const std::string& mouseDown, const std::string& exit = {}) {
    std::ofstream yaml(P("game.yaml"));
    yaml << "class: TQXDB\nId: Hardened\nInitScreen: 1\n";
    if (!exit.empty()) yaml << "exExit: \"" << exit << "\"\n";
    yaml << "children:\n"
            "  - class: TQXScreen\n    Key: 1\n    Id: ROOM\n";
    if (!process.empty()) yaml << "    exProcess: \"" << process << "\"\n";
    yaml << "    children:\n"
            "      - class: TQXShape\n        Key: 2\n        Id: BUTTON\n        rX: 100\n        rY: 100\n"
            "        hxColor: 0x3080FF\n";
    if (!mouseDown.empty()) yaml << "        exMouseDown: \"" << mouseDown << "\"\n";
    yaml.close();
    const CommandResult r = RunCommand(tool_ + " game build " + P("game.yaml") + " -o " + P("game.qxf"));
    ASSERT_EQ(r.status, 0) << r.output;
  }
  void Replay(const std::string& text) { std::ofstream(P("replay.txt")) << text; }

  std::string dir_;
  const std::string tool_ = std::string(QX_BINARY_DIR) + "/qxtool";
  const std::string run_ = std::string(QX_BINARY_DIR) + "/qxrun";
};

// The click starts a loop that never ends: the budget stops it, one line is logged, and the
// game goes on drawing and processing until its last frame.
TEST_F(HardenedGame, AClickThatStartsAnEndlessLoopIsStoppedAndTheGameGoesOn) {
  Build("T := 1", "X := 0; WHILE TRUE DO X := X + 1;");
  Replay("110 down 150 150\n111 up 150 150\n115 shot " + P("after.png") + "\n");
  const CommandResult r = RunCommand(run_ + " --headless --fixed-step --frames 130 --replay " + P("replay.txt") +
                                     " --trace " + P("trace.txt") + " " + P("game.qxf"));
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(Lines(P("korvane.err")),
            std::vector<std::string>{"Script ran too long: 50000000 statements (WHILE TRUE DO X := X + 1  in BUTTON "
                                     "<TQXShape>) ms_Down"});
  EXPECT_TRUE(std::filesystem::exists(P("after.png")));
  // The screen's Process event ran on every tick after the click, up to the last.
  const std::vector<std::string> trace = Lines(P("trace.txt"));
  int processAfter = 0, lastTick = 0;
  for (const std::string& line : trace) {
    std::istringstream fields(line);
    int tick = 0;
    std::string event;
    fields >> tick >> event;
    if (event == "Process" && tick > 110) {
      ++processAfter;
      lastTick = tick;
    }
  }
  EXPECT_GE(lastTick, 129);
  EXPECT_EQ(processAfter, lastTick - 110);
}

// A Process script that fails on every tick for a minute of play leaves two lines: the error
// and how often it came again. stderr (--verbose) says the same in two lines.
TEST_F(HardenedGame, AnErrorOnEveryTickForAMinuteLeavesAFewLines) {
  Build("N := NOSUCH + 1", "");
  const CommandResult r = RunCommand(run_ + " --headless --fixed-step --frames 1800 --verbose --trace " +
                                     P("trace.txt") + " " + P("game.qxf"));
  ASSERT_EQ(r.status, 0) << r.output;
  int runs = 0;
  for (const std::string& line : Lines(P("trace.txt"))) runs += line.find(" Process ROOM ") != std::string::npos;
  ASSERT_GT(runs, 1600);
  const std::string error = "Variable not found: NOSUCH (NOSUCH + 1  in ROOM <TQXScreen>) Process";
  const std::string note = "(the line above repeated " + std::to_string(runs - 1) + " times)";
  EXPECT_EQ(Lines(P("korvane.err")), (std::vector<std::string>{error, note}));
  EXPECT_LT(std::count(r.output.begin(), r.output.end(), '\n'), 30) << r.output;
  const size_t at = r.output.find("script: " + error + "\n" + note + "\n");
  EXPECT_NE(at, std::string::npos) << r.output;
  EXPECT_EQ(r.output.find("script: " + error, at + 1), std::string::npos) << r.output;
}

}  // namespace
}  // namespace qx::test
