// The budget of a run: statements and loop passes counted the same way by both executors,
// the run stopped with its own message and code when the budget is spent, one line in the
// error log, and a fresh budget for the next run.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "Fixture.h"
#include "script/ScriptBudget.h"

namespace qx::test {
namespace {

// Sets the budget for one test and puts the default back.
struct BudgetScope {
  explicit BudgetScope(uint64_t steps) { SetScriptBudget(steps); }
  ~BudgetScope() { SetScriptBudget(kDefaultScriptBudget); }
};

struct Engine {
  Scene scene;
  TScriptEngine engine;
  std::vector<std::string> calls;
  explicit Engine(bool parsed) {
    SetUpEngine(engine, scene, calls);
    engine.SetStatementCache(parsed);
    engine.SetExpressionCache(parsed);
  }
  bool Run(const std::string& source) {
    const TokenStream program = engine.Prepare(source);
    return !engine.Failed() && engine.Run(program);
  }
  int32_t Int(const std::string& name) {
    const int i = engine.FindVar(name);
    return i >= 0 ? engine.Vars()[i].Value.IntValue() : -1;
  }
};

class ScriptBudgetTest : public testing::TestWithParam<bool> {};

// Every statement run counts one, and so does every pass of a loop: the loops below stop
// after exactly as many passes as their budget leaves them.
TEST_P(ScriptBudgetTest, EveryLoopFormStopsWhenItsBudgetIsSpent) {
  struct Case {
    const char* script;
    uint64_t budget;
    const char* counter;
    int32_t expected;  // the counter when the run stopped
    const char* text;  // the error text: where it ran out
  } cases[] = {
      // X := 0 and the WHILE are two steps, then each pass is its pass and its body: 2 + 2 * 49 = 100.
      {"X := 0; WHILE TRUE DO X := X + 1", 100, "X", 49, "WHILE TRUE DO X := X + 1 "},
      // A BEGIN ... END body is a statement of its own: 3 + 4 * 4 = 19, then the fifth pass
      // (20) and its block (21); its first statement runs out, or with one step more the second.
      {"I := 0; X := 0; FOR I := 1 TO 1000 DO BEGIN X := X + 1; X := X + 1 END", 21, "X", 8, "X := X + 1 "},
      {"I := 0; X := 0; FOR I := 1 TO 1000 DO BEGIN X := X + 1; X := X + 1 END", 22, "X", 9, "X := X + 1 "},
      {"I := 0; X := 0; FOR I := 1 TO 1000 DO BEGIN X := X + 1; X := X + 1 END", 20, "X", 8,
       "BEGIN X := X + 1 ; X := X + 1 END "},
      // An empty body still counts its passes: 2 + 8 = 10.
      {"I := 0; FOR I := 1 TO 2000000000 DO ;", 10, "I", 8, "FOR I := 1 TO 2000000000 DO "},
      {"N := 0; REPEAT N := N + 1 UNTIL FALSE", 11, "N", 4, "N := N + 1 "},
      // A loop made with GOTO: each round is the labelled statement and the jump.
      {"N := 0; L: N := N + 1; GOTO L", 10, "N", 5, "GOTO L "},
      // Native calls bring checkpoints forward (a stop is seen soon however slow they are);
      // the count stays exact: 2 + 2 * 499 = 1000.
      {"X := 0; WHILE TRUE DO X := X + LENGTH('ab')", 1000, "X", 998, "WHILE TRUE DO X := X + LENGTH ( 'ab' ) "},
  };
  for (const Case& c : cases) {
    Engine e(GetParam());
    BudgetScope budget(c.budget);
    EXPECT_FALSE(e.Run(c.script)) << c.script;
    EXPECT_EQ(e.engine.ErrorCode(), kScriptTooLongCode) << c.script;
    EXPECT_EQ(e.engine.ErrorMessage(), "Script ran too long: " + std::to_string(c.budget) + " statements");
    EXPECT_EQ(e.engine.ErrorText(), c.text) << c.script;
    EXPECT_EQ(e.Int(c.counter), c.expected) << c.script;
    ASSERT_EQ(e.scene.host.Log().size(), 1u) << c.script;
    EXPECT_EQ(e.scene.host.Log()[0], "Script ran too long: " + std::to_string(c.budget) + " statements (" +
                                         c.text + " in IMG1 <TQXImage>) ms_Down");
  }
}

TEST_P(ScriptBudgetTest, AScriptWithinItsBudgetRunsAndEachRunStartsAfresh) {
  Engine e(GetParam());
  BudgetScope budget(12);
  // 2 + 2 * 5 = 12 steps: exactly the budget.
  const std::string script = "X := 0; WHILE X < 5 DO X := X + 1";
  for (int run = 0; run < 3; ++run) {
    EXPECT_TRUE(e.Run(script)) << e.engine.ErrorMessage();
    EXPECT_EQ(e.Int("X"), 5);
  }
  EXPECT_TRUE(e.scene.host.Log().empty());
  SetScriptBudget(11);
  EXPECT_FALSE(e.Run(script));
  EXPECT_EQ(e.Int("X"), 4);
  // 0 is no limit.
  SetScriptBudget(0);
  EXPECT_TRUE(e.Run("X := 0; WHILE X < 100000 DO X := X + 1"));
  EXPECT_EQ(e.Int("X"), 100000);
}

TEST_P(ScriptBudgetTest, CallsAndRecursionCountTheirStatementsAndKeepTheirOwnLimits) {
  Engine e(GetParam());
  BudgetScope budget(1000);
  // Two calls a level, 30 levels deep: far more than the budget, never too deep.
  EXPECT_FALSE(e.Run("PROCEDURE P(D); IF D < 30 THEN BEGIN P(D + 1); P(D + 1) END; P(0)"));
  EXPECT_EQ(e.engine.ErrorCode(), kScriptTooLongCode);
  ASSERT_EQ(e.scene.host.Log().size(), 1u);  // not followed by the calls' own errors
  EXPECT_EQ(e.scene.host.Log()[0].rfind("Script ran too long: 1000 statements (", 0), 0u) << e.scene.host.Log()[0];
  // Endless recursion still meets the nesting limit first.
  e.scene.host.ClearLog();
  EXPECT_FALSE(e.Run("PROCEDURE P(); P(); P()"));
  EXPECT_EQ(e.engine.ErrorCode(), 7);
}

// A call of a function whose body is RESULT := an expression still counts its statements,
// however it is evaluated.
TEST_P(ScriptBudgetTest, ExpressionFunctionsCountTheirStatements) {
  struct Case {
    const char* body;
    uint64_t budget;
    int32_t expected;
    const char* text;
  } cases[] = {
      // Each pass is 3 steps: 2 + 3 * 32 = 98, and the 33rd pass runs out in the body.
      {"RESULT := V + 1", 100, 32, "RESULT := V + 1 "},
      // BEGIN ... END is one more: 2 + 4 * 24 = 98, then the 25th pass runs out at the BEGIN,
      // or with one step more at the assignment.
      {"BEGIN RESULT := V + 1 END", 100, 24, "BEGIN RESULT := V + 1 END "},
      {"BEGIN RESULT := V + 1 END", 101, 24, "RESULT := V + 1 "},
  };
  for (const Case& c : cases) {
    Engine e(GetParam());
    e.scene.host.SetCurrent(0, "ms_Down");
    BudgetScope budget(c.budget);
    EXPECT_FALSE(e.Run(std::string("FUNCTION F(V); ") + c.body + "; X := 0; WHILE TRUE DO X := F(X)"));
    EXPECT_EQ(e.engine.ErrorCode(), kScriptTooLongCode) << c.body;
    EXPECT_EQ(e.engine.ErrorText(), c.text) << c.body;
    EXPECT_EQ(e.Int("X"), c.expected) << c.body;
  }
}

// The stop flag (qxrun asked to close) ends a run at its next checkpoint, quietly: no line in
// the error log. The poll is how a long run looks for such a request.
TEST_P(ScriptBudgetTest, TheStopFlagEndsARunQuietlyAndThePollCanRaiseIt) {
  Engine e(GetParam());
  BudgetScope budget(0);
  int polls = 0;
  SetScriptPoll([&polls] {
    if (++polls == 3) RequestScriptStop();
  });
  EXPECT_FALSE(e.Run("X := 0; WHILE TRUE DO X := X + 1"));
  SetScriptPoll(nullptr);
  EXPECT_EQ(polls, 3);
  EXPECT_EQ(e.engine.ErrorCode(), kScriptStoppedCode);
  EXPECT_EQ(e.engine.ErrorMessage(), "Script stopped: the game is closing");
  EXPECT_GT(e.Int("X"), 0);
  EXPECT_TRUE(e.scene.host.Log().empty());
  // While the flag stays set, a run stops before its first statement.
  EXPECT_FALSE(e.Run("Y := 1"));
  EXPECT_EQ(e.engine.FindVar("Y"), -1);
  EXPECT_EQ(e.engine.ErrorCode(), kScriptStoppedCode);
  ClearScriptStop();
  EXPECT_TRUE(e.Run("Y := 1"));
  EXPECT_TRUE(e.scene.host.Log().empty());
}

// A loop of slow native calls still looks out often: a stop is seen after a few calls, not
// after a thousand statements.
TEST_P(ScriptBudgetTest, ALoopOfSlowCallsStillSeesTheStopSoon) {
  Engine e(GetParam());
  BudgetScope budget(0);
  int calls = 0;
  e.engine.RegisterFunction("Slow", [&calls](TScriptEngine&, TVarList&, TVar&) {
    ++calls;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return true;
  });
  SetScriptPoll([] { RequestScriptStop(); });
  EXPECT_FALSE(e.Run("WHILE TRUE DO Slow()"));
  SetScriptPoll(nullptr);
  ClearScriptStop();
  EXPECT_EQ(e.engine.ErrorCode(), kScriptStoppedCode);
  EXPECT_LE(calls, 40);
}

INSTANTIATE_TEST_SUITE_P(BothExecutors, ScriptBudgetTest, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "Parsed" : "Direct"; });

}  // namespace
}  // namespace qx::test
