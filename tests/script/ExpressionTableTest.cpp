// Runs the expression conformance table (tests/data/script/expressions.txt) with the
// parsed-expression cache on and off.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "Fixture.h"

namespace qx::test {
namespace {

struct Case {
  int line = 0;
  std::string section;
  std::string expression;
  std::string expected;
};

std::vector<Case> LoadTable() {
  std::ifstream in(std::string(QX_TEST_DATA_DIR) + "/script/expressions.txt");
  std::vector<Case> cases;
  std::string line, section;
  for (int number = 1; std::getline(in, line); ++number) {
    if (line.rfind("## ", 0) == 0) {
      section = line.substr(3);
      continue;
    }
    if (line.empty() || line[0] == '#') continue;
    const size_t arrow = line.rfind(" => ");
    if (arrow == std::string::npos) {
      ADD_FAILURE() << "line " << number << " has no ' => '";
      continue;
    }
    std::string expected = line.substr(arrow + 4);
    cases.push_back({number, section, std::string(TrimScript(line.substr(0, arrow))), expected});
  }
  return cases;
}

// What an evaluation gave, in the table's notation.
std::string Outcome(TScriptEngine& engine, bool ok, const TVar& var) {
  if (engine.ErrorCode() != 0) return "error " + std::to_string(engine.ErrorCode()) + " |" + engine.ErrorMessage() + "|";
  if (!ok) return "fails";
  return Describe(var.Value);
}

TEST(ExpressionTable, EveryLineGivesItsResult) {
  const std::vector<Case> cases = LoadTable();
  ASSERT_GT(cases.size(), 150u);
  for (bool cached : {true, false}) {
    for (const Case& c : cases) {
      Scene scene;
      TScriptEngine engine;
      std::vector<std::string> calls;
      SetUpEngine(engine, scene, calls);
      engine.SetExpressionCache(cached);
      TVar var;
      const bool ok = engine.Evaluate(Tokenise(c.expression), var);
      EXPECT_EQ(Outcome(engine, ok, var), c.expected)
          << "line " << c.line << " (" << c.section << "): " << c.expression << (cached ? " [cached]" : " [direct]");
    }
  }
}

}  // namespace
}  // namespace qx::test
