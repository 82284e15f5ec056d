// qxrun against the faults players meet first: a script that never ends, a signal while it
// runs, an error repeated every tick, a machine without a sound device.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fcntl.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "RunCommand.h"

extern char** environ;

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

  // With an Exit script, the game has the player's ini file player.ini.
  void Build(const std::string& process, const std::string& mouseDown, const std::string& exit = {}) {
    std::ofstream yaml(P("game.yaml"));
    yaml << "class: TQXDB\nId: Hardened\nInitScreen: 1\n";
    if (!exit.empty()) yaml << "IniFile: player.ini\nexExit: \"" << exit << "\"\n";
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

  // Starts qxrun with `args` (output to out.txt), waits until the trace has a line with
  // `event`, then sends `signal`. The seconds until it ended, or -1 when it did not end
  // within 10 s (it is then killed); `status` is its exit status.
  double SignalWhileRunning(const std::string& args, const std::string& event, int signal, int& status) {
    std::vector<std::string> words{run_};
    std::istringstream in(args);
    for (std::string w; in >> w;) words.push_back(w);
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, P("out.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&files, 1, 2);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, run_.c_str(), &files, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    if (spawned != 0) return -1;
    using Clock = std::chrono::steady_clock;
    const auto started = Clock::now();
    auto seen = [&] {
      for (const std::string& line : Lines(P("trace.txt")))
        if (line.find(" " + event + " ") != std::string::npos) return true;
      return false;
    };
    while (!seen() && Clock::now() - started < std::chrono::seconds(60))
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // well inside the script
    kill(pid, signal);
    const auto sent = Clock::now();
    int st = 0;
    while (waitpid(pid, &st, WNOHANG) == 0) {
      if (Clock::now() - sent > std::chrono::seconds(10)) {
        kill(pid, SIGKILL);
        waitpid(pid, &st, 0);
        return -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return std::chrono::duration<double>(Clock::now() - sent).count();
  }

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

// SIGTERM while a script loops without end (and with no budget to stop it) ends qxrun at
// once, through the close: the Exit script writes the player's ini, completely.
TEST_F(HardenedGame, SigtermWhileAScriptLoopsEndsQxrunAndTheExitScriptRuns) {
  Build("", "N := 0; WHILE TRUE DO N := N + 1;", "SetIni('Save', 'Where', 'hall')");
  Replay("110 down 150 150\n");
  int status = -1;
  const double seconds = SignalWhileRunning("--headless --fixed-step --frames 1000000 --script-budget 0 --replay " +
                                                P("replay.txt") + " --trace " + P("trace.txt") + " " + P("game.qxf"),
                                            "ms_Down", SIGTERM, status);
  ASSERT_GE(seconds, 0) << "qxrun did not end";
  EXPECT_LT(seconds, 2.0);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Lines(P("player.ini")), (std::vector<std::string>{"[Save]", "Where=hall"}));
  EXPECT_FALSE(std::filesystem::exists(P("korvane.err")));  // a stop is no script error

  // SIGINT between scripts does the same.
  std::filesystem::remove(P("player.ini"));
  std::filesystem::remove(P("trace.txt"));
  Build("T := 1", "", "SetIni('Save', 'Where', 'hall')");
  const double again = SignalWhileRunning("--headless --frames 1000000 --trace " + P("trace.txt") + " " +
                                              P("game.qxf"),
                                          "Screen", SIGINT, status);
  ASSERT_GE(again, 0) << "qxrun did not end";
  EXPECT_LT(again, 2.0);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Lines(P("player.ini")), (std::vector<std::string>{"[Save]", "Where=hall"}));
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

// No usable sound driver: one warning line, and the demo plays (its logos and music ask for
// sounds) to its last frame, drawing as ever.
TEST_F(HardenedGame, WithoutASoundDeviceTheDemoPlaysSilently) {
  const std::string demo = std::string(QX_BINARY_DIR) + "/games/demo/demo.qxf";
  const CommandResult r = RunCommand("SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=no-such-driver " + run_ +
                                     " --fixed-step --frames 400 --screenshot " + P("demo.png") + " " + demo);
  EXPECT_EQ(r.status, 0) << r.output;
  // One line (SDL's reason in it is SDL's wording).
  EXPECT_EQ(r.output.rfind("audio: no sound device (", 0), 0u) << r.output;
  EXPECT_EQ(std::count(r.output.begin(), r.output.end(), '\n'), 1) << r.output;
  EXPECT_NE(r.output.find("): the game plays without sound\n"), std::string::npos) << r.output;
  EXPECT_GT(std::filesystem::file_size(P("demo.png")), 20000u);  // a picture, not a black screen
}

}  // namespace
}  // namespace qx::test
