// qxtool script check and run as authors use them: the statement conformance cases through
// the built tool, variables given on the command line, the error log beside the script.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "RunCommand.h"
#include "script/ConformanceCases.h"

namespace qx::test {
namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class ScriptTool : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/qxscriptXXXXXX";
    dir_ = mkdtemp(dir);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Write(const std::string& name, const std::string& text) {
    const std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  CommandResult Tool(const std::string& args) { return RunCommand(tool_ + " " + args); }

  std::string dir_;
  const std::string tool_ = std::string(QX_BINARY_DIR) + "/qxtool";
};

// The error log's line for "error CODE: MESSAGE @ TEXT" when no element is current.
std::string LogLine(const std::string& expected) {
  const size_t colon = expected.find(": ");
  const size_t at = expected.rfind(" @ ");
  const std::string text = expected.substr(at + 3);
  return expected.substr(colon + 2, at - colon - 2) + " (" + text + (text.empty() ? "" : " ") + " in ) ";
}

TEST_F(ScriptTool, RunGivesEveryConformanceCasesVariablesOrError) {
  for (const auto& entry : std::filesystem::directory_iterator(ConformanceFolder())) {
    if (entry.path().filename().string().rfind("inc_", 0) == 0)
      std::filesystem::copy_file(entry.path(), dir_ + "/" + entry.path().filename().string());
  }
  const std::vector<ConformanceCase> cases = LoadConformanceCases();
  ASSERT_GT(cases.size(), 100u);
  for (const ConformanceCase& c : cases) {
    const std::string file = Write("case.txt", c.script);
    const CommandResult r = Tool("script run " + file);
    const bool fails = !c.expected.empty() && c.expected[0].rfind("error ", 0) == 0;
    std::string expected;
    if (fails) expected = LogLine(c.expected[0]) + "\n";
    else for (const std::string& line : c.expected) expected += line + "\n";
    EXPECT_EQ(r.output, expected) << c.file << ":" << c.line << " " << c.name;
    EXPECT_EQ(r.status, fails ? 1 : 0) << c.file << ":" << c.line << " " << c.name;
    // What runs without an error checks clean.
    if (!fails) {
      const CommandResult check = Tool("script check " + file);
      EXPECT_EQ(check.output, file + ": ok\n") << c.file << ":" << c.line << " " << c.name;
      EXPECT_EQ(check.status, 0) << c.file << ":" << c.line << " " << c.name;
    }
  }
}

TEST_F(ScriptTool, CheckReportsEveryProblemWithItsLineAndCode) {
  const std::string good = Write("good.txt", "PROCEDURE P(); BEGIN END;\nN := 1; P()\n");
  CommandResult r = Tool("script check " + good);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.output, good + ": ok\n");
  const std::string bad = Write("bad.txt", "N := 1;\nBEGIN N := 2\n");
  r = Tool("script check " + bad);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.output, bad + ":2: error 10: END expected (BEGIN N := 2)\n");
  // Every problem, in line order; an unterminated string is shown up to its line's end.
  const std::string many = Write("many.txt", "X = 1;\nY := Copy('a', 1);\nNOSUCH(2);\nZ := 'abc;\nW := 1\n");
  r = Tool("script check " + many);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.output, many + ":1: error 1: Found =, expected :=, (, [ or ; (X = 1)\n" + many +
                          ":2: error 7: Invalid parameters, function COPY (COPY ( 'a' , 1 ))\n" + many +
                          ":3: error 8: Unknown function: NOSUCH (NOSUCH ( 2 ))\n" + many +
                          ":4: error 6: Unterminated string: 'abc; ...; a string in it runs past the end of its line: is its closing "
                          "quote missing?\n");
  // A problem inside a USES file is placed in that file.
  Write("lib.txt", "PROCEDURE Q();\n  X := (1;\n");
  const std::string user = Write("user.txt", "USES 'lib.txt';\nQ()\n");
  r = Tool("script check " + user);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.output, dir_ + "/lib.txt:2: error 2: ')' expected (( 1)\n");
  // What depends on the values the script meets is no finding, and a check writes no log.
  r = Tool("script check " + Write("runtime.txt", "N := UNKNOWN"));
  EXPECT_EQ(r.status, 0);
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/korvane.err"));
  r = Tool("script check " + dir_ + "/missing.txt");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("qxtool: "), std::string::npos);
}

// The author mistakes a check must catch, each through the built tool: its line, its code, exit 1.
TEST_F(ScriptTool, CheckCatchesEachAuthorMistakeWithItsLineAndExitsOne) {
  const struct {
    const char* script;
    const char* expected;  // what the one line says after "FILE:"
  } mistakes[] = {
      {"A := 1;\nX = 1", "2: error 1: Found =, expected :=, (, [ or ; (X = 1)"},
      {"A := 1;\n\nX := 'abc", "3: error 6: Unterminated string: 'abc"},
      // The string runs on to the next quote, so the run names no string; the check hints at it.
      {"A := 1;\nLabel := 'unfinished;\nB := Copy('abc', 1, 2);\n",
       "2: error 1: Error in expression (LABEL := 'unfinished; ...); a string in it runs past the end of its line: is "
       "its closing quote missing?"},
      {"X := 0xFF", "1: error 1: Invalid number: 0XFF"},
      {"A := 1;\nX := (1 + 2", "2: error 2: ')' expected (( 1 + 2)"},
      {"N := 1;\nCASE N\n  1: A := 1;\nEND", "2: error 14: OF expected (CASE N 1 : A := 1 ; END)"},
      {"A := 1;\nOPENDOOR(1)", "2: error 8: Unknown function: OPENDOOR (OPENDOOR ( 1 ))"},
      {"S := 'abc';\nT := Copy(S, 2)", "2: error 7: Invalid parameters, function COPY (COPY ( S , 2 ))"},
  };
  for (const auto& m : mistakes) {
    const std::string file = Write("mistake.txt", m.script);
    const CommandResult r = Tool("script check " + file);
    EXPECT_EQ(r.status, 1) << m.script;
    EXPECT_EQ(r.output, file + ":" + m.expected + "\n") << m.script;
  }
}

TEST_F(ScriptTool, RunTakesVariablesFromTheCommandLine) {
  const std::string file = Write("vars.txt", "M := N * 2; U := S + '!'; IF B THEN C := T");
  const CommandResult r =
      Tool("script run " + file + " --var n=5 --var S=hello --var \"T='a b'\" --var B=true --var F=2.5 --var X=-3");
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(r.output,
            "N = 5 (Integer)\nS = 'hello' (String)\nT = 'a b' (String)\nB = TRUE (Boolean)\nF = 2.5 (Float)\n"
            "X = -3 (Integer)\nM = 10 (Integer)\nU = 'hello!' (String)\nC = 'a b' (String)\n");
  EXPECT_EQ(Tool("script run " + file + " --var 1X=3").status, 2);
  EXPECT_EQ(Tool("script run " + file + " --var NOEQUALS").status, 2);
}

TEST_F(ScriptTool, ErrorsGoToTheLogBesideTheScript) {
  const std::string file = Write("fails.txt", "N := 1;\nN := N + Q\n");
  const CommandResult r = Tool("script run " + file);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.output, "Variable not found: Q (N + Q  in ) \n");
  EXPECT_EQ(Slurp(dir_ + "/korvane.err"), "Variable not found: Q (N + Q  in ) \n");
}

TEST_F(ScriptTool, ARunThatNeverEndsIsStoppedByItsBudget) {
  const std::string file = Write("endless.txt", "X := 0;\nWHILE TRUE DO X := X + 1\n");
  CommandResult r = Tool("script run " + file + " --script-budget 1000");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.output, "Script ran too long: 1000 statements (WHILE TRUE DO X := X + 1  in ) \n");
  EXPECT_EQ(Slurp(dir_ + "/korvane.err"), r.output);
  // The default budget ends it as well, in a few seconds at most.
  r = Tool("script run " + file);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.output.rfind("Script ran too long: 50000000 statements (", 0), 0u) << r.output;
  // 0 is no limit; a budget that is no number is refused.
  r = Tool("script run " + Write("long.txt", "X := 0; WHILE X < 3000 DO X := X + 1") + " --script-budget 0");
  EXPECT_EQ(r.output, "X = 3000 (Integer)\n");
  r = Tool("script run " + file + " --script-budget -5");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.output, "qxtool: --script-budget must be 0 or more\n");
}

TEST_F(ScriptTool, IncludedFilesAreFoundInTheScriptsFolderInAnyLetterCase) {
  std::filesystem::create_directories(dir_ + "/Lib");
  Write("Lib/Tools.txt", "FUNCTION HALF(V); RESULT := V / 2;");
  const std::string file = Write("main.txt", "USES 'lib\\TOOLS.TXT'; N := HALF(5)");
  const CommandResult r = Tool("script run " + file);
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(r.output, "N = 2.5 (Float)\n");
  const CommandResult out = Tool("script run " + Write("out.txt", "INCLUDE '../secret.txt'"));
  EXPECT_EQ(out.status, 1);
  EXPECT_NE(out.output.find("Can't open file \"../secret.txt\", error code 2"), std::string::npos);
}

}  // namespace
}  // namespace qx::test
