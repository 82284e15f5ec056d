// qxtool game and qxrun GAME as authors and players run them.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

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

}  // namespace
