// qxtool game and qxrun GAME as authors and players run them.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "RunCommand.h"

namespace {

using Result = qx::test::CommandResult;
Result Shell(const std::string& cmd) { return qx::test::RunCommand(cmd); }

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class QxtoolGame : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/qxtoolXXXXXX";
    dir_ = mkdtemp(dir);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string P(const std::string& name) const { return dir_ + "/" + name; }
  std::string dir_;
  const std::string tool_ = std::string(QX_BINARY_DIR) + "/qxtool";
  const std::string run_ = std::string(QX_BINARY_DIR) + "/qxrun";
  const std::string source_ = std::string(QX_TEST_DATA_DIR) + "/games/small.yaml";
};

TEST_F(QxtoolGame, BuildDumpBuildIsByteIdentical) {
  ASSERT_EQ(Shell(tool_ + " game build " + source_ + " -o " + P("a.qxf")).status, 0);
  ASSERT_EQ(Shell(tool_ + " game dump " + P("a.qxf") + " -o " + P("a.yaml")).status, 0);
  ASSERT_EQ(Shell(tool_ + " game build " + P("a.yaml") + " -o " + P("b.qxf")).status, 0);
  EXPECT_EQ(Slurp(P("a.qxf")), Slurp(P("b.qxf")));
  ASSERT_EQ(Shell(tool_ + " game dump --all " + P("a.qxf") + " -o " + P("all.yaml")).status, 0);
  ASSERT_EQ(Shell(tool_ + " game build " + P("all.yaml") + " -o " + P("c.qxf")).status, 0);
  EXPECT_EQ(Slurp(P("a.qxf")), Slurp(P("c.qxf")));
  EXPECT_NE(Slurp(P("all.yaml")).find("exExit:"), std::string::npos);
}

TEST_F(QxtoolGame, BuildErrorsNameFileLineAndElement) {
  std::ofstream(P("bad.yaml")) << "class: TQXDB\nchildren:\n  - class: TQXScreen\n    Id: MENU\n    Bogus: 1\n";
  const Result r = Shell(tool_ + " game build " + P("bad.yaml") + " -o " + P("bad.qxf"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.output, "qxtool: " + P("bad.yaml") + ":5: root/MENU: TQXScreen has no property 'Bogus'\n");
  EXPECT_FALSE(std::filesystem::exists(P("bad.qxf")));
}

TEST_F(QxtoolGame, DumpOfADamagedFileSaysSoAndKeepsWhatItRead) {
  ASSERT_EQ(Shell(tool_ + " game build " + source_ + " -o " + P("a.qxf")).status, 0);
  std::string data = Slurp(P("a.qxf"));
  data.resize(data.size() - 10);
  std::ofstream(P("cut.qxf"), std::ios::binary) << data;
  const Result r = Shell(tool_ + " game dump " + P("cut.qxf"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("damaged game file"), std::string::npos);
  EXPECT_NE(r.output.find("class: TQXDB"), std::string::npos);
}

TEST_F(QxtoolGame, SchemaAndHelp) {
  const Result r = Shell(tool_ + " game schema");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.output.find("TQXText 36 Text string \"\"\n"), std::string::npos);
  EXPECT_EQ(Shell(tool_ + " game").status, 2);
  EXPECT_EQ(Shell(tool_ + " --help").status, 0);
}

TEST_F(QxtoolGame, QxrunLoadsTheGameAndCountsItsElements) {
  ASSERT_EQ(Shell(tool_ + " game build " + source_ + " -o " + P("small.qxf")).status, 0);
  const Result r = Shell(run_ + " --headless --fixed-step --frames 2 --verbose " + P("small.qxf"));
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("game: TQXScreen: 2"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("game: TQXImage: 1"), std::string::npos);
  EXPECT_NE(r.output.find("game: TQXDB: 1"), std::string::npos);
  // A folder holding the game works the same way.
  EXPECT_EQ(Shell(run_ + " --headless --fixed-step --frames 1 " + dir_).status, 0);
}

// A game whose files are all there, then the same game with three mistakes.
const char* const kChecked = "class: TQXDB\nInitScreen: 1\nchildren:\n  - class: TQXScreen\n    Key: 1\n"
                             "    Id: HALL\n    ImBack: hall.png\n    exShow: |\n      N := 1;\n      SetScreen(QXDB.HALL);\n";

TEST_F(QxtoolGame, CheckNamesEveryProblemAndExitsOneWhenItFindsOne) {
  std::ofstream(P("hall.png")) << "picture";
  std::ofstream(P("good.yaml")) << kChecked;
  Result r = Shell(tool_ + " game check " + P("good.yaml"));
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(r.output, P("good.yaml") + ": ok\n");

  std::string bad = kChecked;
  bad.replace(bad.find("hall.png"), 8, "hal.png");
  bad.replace(bad.find("N := 1"), 6, "N = 1");
  bad += "  - class: TQXScreen\n    Key: 1\n    Id: DUPLICATE\n";
  std::ofstream(P("bad.yaml")) << bad;
  r = Shell(tool_ + " game check " + P("bad.yaml"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.output, P("bad.yaml") + ":7: root/HALL: ImBack: the picture 'hal.png' is not in the game folder (the game has no archive)\n" +
                          P("bad.yaml") + ":9: root/HALL: exShow: error 1: Found =, expected :=, (, [ or ; (N = 1)\n" +
                          P("bad.yaml") + ":12: root/DUPLICATE: Key 1 is also the Key of root/HALL (" + P("bad.yaml") + ":4)\n");

  // The game file built from it: the same problems, without lines.
  r = Shell(tool_ + " game build " + P("bad.yaml") + " -o " + P("bad.qxf"));
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.output.find(P("bad.yaml") + ":9: root/HALL: exShow: error 1"), std::string::npos) << r.output;
  r = Shell(tool_ + " game check " + P("bad.qxf"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.output, P("bad.qxf") + ": root/HALL: ImBack: the picture 'hal.png' is not in the game folder (the game has no archive)\n" +
                          P("bad.qxf") + ": root/HALL: exShow line 1: error 1: Found =, expected :=, (, [ or ; (N = 1)\n" +
                          P("bad.qxf") + ": root/DUPLICATE: Key 1 is also the Key of root/HALL\n");
  // With --strict a problem is an error and nothing is written.
  r = Shell(tool_ + " game build --strict " + P("bad.yaml") + " -o " + P("strict.qxf"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("qxtool: 3 problem(s) found; with --strict no game file is written"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(P("strict.qxf")));
  EXPECT_EQ(Shell(tool_ + " game build --strict " + P("good.yaml") + " -o " + P("good.qxf")).status, 0);
  // Files are looked for where the game is played from (the output's folder, or --folder).
  std::filesystem::create_directory(P("out"));
  r = Shell(tool_ + " game build " + P("good.yaml") + " -o " + P("out/good.qxf"));
  EXPECT_NE(r.output.find("the picture 'hall.png' is not in the game folder"), std::string::npos) << r.output;
  r = Shell(tool_ + " game build --folder " + dir_ + " " + P("good.yaml") + " -o " + P("out/good.qxf"));
  EXPECT_EQ(r.output, "");
}

// A game with a door and a loading screen whose files are all there; each mistake below is
// made in it alone.
const char* const kDoorGame = R"(class: TQXDB
InitScreen: 1
LoadingScreen: 3
children:
  - class: TQXScreen
    Key: 1
    Id: HALL
    ImBack: hall.png
    children:
      - class: TQXImage
        Key: 2
        Id: DOOR
        imImage: door.png
        exMouseDown: |
          N := 1;
          S := Copy('door', 1, 2);
          SetScreen(QXDB.GARDEN);
      - class: TQXExScreen
        Key: 5
        obScreen: 4
  - class: TQXScreen
    Key: 3
    Id: LOADING
    exProcess: |
      LoadIm();
      EndLoadIm();
  - class: TQXScreen
    Key: 4
    Id: GARDEN
)";

TEST_F(QxtoolGame, CheckCatchesEachAuthorMistakeOnItsLineAndExitsOne) {
  std::ofstream(P("hall.png")) << "picture";
  std::ofstream(P("door.png")) << "picture";
  std::ofstream(P("game.yaml")) << kDoorGame;
  Result r = Shell(tool_ + " game check " + P("game.yaml"));
  ASSERT_EQ(r.status, 0) << r.output;
  ASSERT_EQ(r.output, P("game.yaml") + ": ok\n");

  const struct {
    const char* from;
    const char* to;
    const char* expected;  // each line the check prints, after "FILE:"
  } mistakes[] = {
      {"Key: 4\n", "Key: 2\n",  // (the exit's obScreen 4 then names nothing as well)
       "20: root/HALL/2: obScreen 4 names no element: it shows nothing\n"
       "28: root/GARDEN: Key 2 is also the Key of root/HALL/DOOR (FILE:10)\n"},
      {"obScreen: 4", "obScreen: 7", "20: root/HALL/2: obScreen 7 names no element: it shows nothing\n"},
      {"imImage: door.png", "imImage: dor.png",
       "13: root/HALL/DOOR: imImage: the picture 'dor.png' is not in the game folder (the game has no archive)\n"},
      {"      LoadIm();\n", "",
       "21: root/LOADING: the loading screen's scripts never call LoadIm: a screen change through it never ends\n"},
      {"N := 1;", "N = 1;", "15: root/HALL/DOOR: exMouseDown: error 1: Found =, expected :=, (, [ or ; (N = 1)\n"},
      {"S := Copy('door', 1, 2);", "S := 'door;",
       "16: root/HALL/DOOR: exMouseDown: error 6: Unterminated string: 'door; ...; a string in it runs past the end of "
       "its line: is its closing quote missing?\n"},
      {"SetScreen(QXDB.GARDEN)", "OpenDoor(QXDB.GARDEN)",
       "17: root/HALL/DOOR: exMouseDown: error 8: Unknown function: OPENDOOR (OPENDOOR ( QXDB.GARDEN ))\n"},
      {"Copy('door', 1, 2)", "Copy('door', 1)",
       "16: root/HALL/DOOR: exMouseDown: error 7: Invalid parameters, function COPY (COPY ( 'door' , 1 ))\n"},
  };
  for (const auto& m : mistakes) {
    std::string bad = kDoorGame;
    ASSERT_NE(bad.find(m.from), std::string::npos) << m.from;
    bad.replace(bad.find(m.from), std::string(m.from).size(), m.to);
    std::ofstream(P("bad.yaml")) << bad;
    r = Shell(tool_ + " game check " + P("bad.yaml"));
    std::string expected;
    for (std::string_view rest = m.expected; !rest.empty();) {
      const size_t end = rest.find('\n') + 1;
      std::string line(rest.substr(0, end));
      if (const size_t at = line.find("FILE:"); at != std::string::npos) line.replace(at, 4, P("bad.yaml"));
      expected += P("bad.yaml") + ":" + line;
      rest.remove_prefix(end);
    }
    EXPECT_EQ(r.status, 1) << m.to;
    EXPECT_EQ(r.output, expected) << m.to;
    // game build writes the game and warns of the same problems; --strict refuses it.
    r = Shell(tool_ + " game build " + P("bad.yaml") + " -o " + P("bad.qxf"));
    EXPECT_EQ(r.status, 0) << m.to;
    EXPECT_EQ(r.output, expected) << m.to;
    EXPECT_EQ(Shell(tool_ + " game build --strict " + P("bad.yaml") + " -o " + P("strict.qxf")).status, 1) << m.to;
  }
}

// The games that come with qxrun: every tutorial step in its own folder and the demo in the
// folder the build puts together check clean and build without a warning.
TEST_F(QxtoolGame, TheBundledGamesCheckCleanAndBuildWithoutWarnings) {
  const std::string source = QX_SOURCE_DIR;
  std::vector<std::pair<std::string, std::string>> games;  // source, game folder
  for (int step = 1; step <= 7; ++step) {
    const std::string folder = source + "/games/tutorial/step" + std::to_string(step);
    games.emplace_back(folder + "/game.yaml", folder);
  }
  games.emplace_back(source + "/games/demo/demo.yaml", std::string(QX_BINARY_DIR) + "/games/demo");
  for (const auto& [file, folder] : games) {
    Result r = Shell(tool_ + " game check --folder " + folder + " " + file);
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.output, file + ": ok\n");
    r = Shell(tool_ + " game build --strict --folder " + folder + " " + file + " -o " + P("game.qxf"));
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.output, "") << file;
  }
  const std::string demo = std::string(QX_BINARY_DIR) + "/games/demo/demo.qxf";
  const Result r = Shell(tool_ + " game check " + demo);
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(r.output, demo + ": ok\n");
}

}  // namespace
