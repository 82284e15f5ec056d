// The parsed statement executor must not be observable: random scripts (well formed, and
// mutated into broken ones) run on two interpreters, one parsing each list once and one
// finding every statement in the text as it runs, must give the same results, errors, log
// lines, native calls, element properties and variables, run after run.
#include <gtest/gtest.h>

#include <random>

#include "Fixture.h"

namespace qx::test {
namespace {

// Every loop body, label and procedure body calls STEP, which fails after a budget, so
// random loops and recursion always end (at the same place on both sides).
constexpr int kStepBudget = 400;

class ScriptGenerator {
 public:
  explicit ScriptGenerator(uint32_t seed) : rng_(seed) {}

  std::string Next() {
    std::string s;
    // Declared names resolve in most scripts; now and then one is missing.
    for (const char* name : {"P0", "P1"}) {
      if (Pick(8)) s += "PROCEDURE " + std::string(name) + "(V); BEGIN STEP(); " + List(1) + " END; ";
    }
    for (const char* name : {"F0", "F1", "F2"}) {
      if (Pick(8))
        s += "FUNCTION " + std::string(name) + "(V, W); BEGIN STEP(); " + List(1) +
             (Pick(6) ? "; RESULT := " + Expr(1) : std::string()) + " END; ";
    }
    // F3's body is one RESULT := expression, evaluated in the caller's frame where it can be.
    if (Pick(8)) {
      const std::string assign = "RESULT := " + PureExpr(2);
      s += "FUNCTION F3(V, W); " + (Pick(3) ? assign : "BEGIN " + assign + (Pick(2) ? " END" : "; END")) + "; ";
    }
    s += List(3);
    if (Pick(5) == 0) s = Mutate(s);
    return s;
  }

  // A current element for most scripts; without one, names are never its properties.
  bool WithElement() { return Pick(3) != 0; }

 private:
  size_t Pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng_); }
  template <class T>
  const T& From(const std::vector<T>& v) { return v[Pick(v.size())]; }

  std::string Operand() {
    static const std::vector<std::string> usual = {
        "1", "2", "0", "3", "N", "I", "J", "A[1]", "A[I]", "LENGTH(S)", "SUM(N, 1)", "F0(N, 1)", "F1(I, J)",
        "F2(1, N)", "F3(N, I)", "F3(I, 1)", "(N + 1)", "PX", "'a'", "S", "S[2]", "TRUE", "FALSE", "BO", "FL", "2.5"};
    static const std::vector<std::string> rare = {
        "'abc'", "''", "S[N]", "R", "Q", ".PX", "QXDB.PX", "INC(N)", "P0(N)", "TIME", "NOSUCH(1)",
        "SETFIRST(N)", "FAILING()", "RESULT", "A", "EMPTYV", "WD", "I64", "F3(S, 'a')", "F3(V, W)", "F3(N)",
        "F3(F3(N, 1), I)", "F3(A[I], PX)"};
    return Pick(12) ? From(usual) : From(rare);
  }

  // Constants and variables only (no calls, so F3 cannot recurse).
  std::string PureExpr(int depth) {
    static const std::vector<std::string> leaves = {"V", "W", "V", "W", "N", "I", "1", "2", "'a'", "S", "TRUE",
                                                    "A[1]", "RESULT", "BO", "FL", "EMPTYV", "I64", "2.5", "PX"};
    static const std::vector<std::string> ops = {"+", "-", "*", "=", "<", "AND", "OR", "+"};
    if (depth <= 0 || Pick(3) == 0) return (Pick(10) ? "" : "-") + From(leaves);
    if (Pick(5) == 0) return "(" + PureExpr(depth - 1) + ")";
    return PureExpr(depth - 1) + " " + From(ops) + " " + PureExpr(depth - 1);
  }

  std::string Expr(int depth) {
    static const std::vector<std::string> ops = {"+", "-", "*", "=", "<>", "<", ">", "AND", "OR", "+", "-"};
    if (depth <= 0 || Pick(3) == 0) return Operand();
    if (Pick(4) == 0) return "(" + Expr(depth - 1) + ")";
    return Expr(depth - 1) + " " + From(ops) + " " + Expr(depth - 1);
  }

  std::string Condition() {
    // Conditions over elements and arithmetic take the Integer path once their places are known.
    static const std::vector<std::string> vars = {"N", "I", "J", "A[1]", "LENGTH(S)", "F0(I, 1)",
                                                  "G[I, J]", "A[I + 1]", "G[I, J] - G[J, I] * N"};
    static const std::vector<std::string> ops = {"<", ">", "=", "<>", "<=", ">="};
    if (Pick(5) == 0) return Expr(2);
    return From(vars) + " " + From(ops) + " " + std::to_string(Pick(6));
  }

  std::string Target() {
    static const std::vector<std::string> usual = {"N", "S", "I", "J", "R", "A[1]", "A[I]", "S[1]", "PX", "V", "W",
                                                   "RESULT", "A[N]", "FL", "BO", "G[I, J]", "G[J, I]"};
    static const std::vector<std::string> rare = {"S[N]", "T[1][2]", ".PX", "A", "$", "S[]", "S[1,2]", "QXDB.PX"};
    return Pick(8) ? From(usual) : From(rare);
  }

  std::string Label() { return Pick(2) ? "L1" : "L2"; }

  std::string Statement(int depth) {
    const size_t kind = depth <= 0 ? Pick(4) : Pick(18);
    switch (kind) {
      case 0:
      case 1: return Target() + " := " + Expr(2);
      case 2:
        if (Pick(6) == 0) return From(std::vector<std::string>{"NOSUCH(1)", "THROWING(1)", "N = 1", "BREAK 1"});
        return From(std::vector<std::string>{"INC(N)", "P0(N)", "P1(S)", "F0(1, 2)", "SETFIRST(I)", "NOTHING", "N",
                                             "STEP()"});
      case 3: return From(std::vector<std::string>{"BREAK", "CONTINUE", "EXIT", "GOTO " + Label()});
      case 4: return "IF " + Condition() + " THEN " + Statement(depth - 1);
      case 5: return "IF " + Condition() + " THEN " + Statement(depth - 1) + " ELSE " + Statement(depth - 1);
      case 6: return "BEGIN " + List(depth - 1) + " END";
      case 7: {
        const std::string var = Pick(4) ? (Pick(2) ? "I" : "J") : "K";
        return "FOR " + var + " := " + From(std::vector<std::string>{"1", "0", "N", "3", "'2'", "2.5"}) +
               (Pick(2) ? " TO " : " DOWNTO ") + From(std::vector<std::string>{"1", "3", "N", "0", "'x'"}) +
               " DO BEGIN STEP(); " + List(depth - 1) + " END";
      }
      case 8: return "WHILE " + Condition() + " DO BEGIN STEP(); N := N + 1; " + List(depth - 1) + " END";
      case 9: return "REPEAT STEP(); J := J + 1; " + List(depth - 1) + " UNTIL " + Condition();
      case 10: {
        std::string s = "CASE " + Expr(1) + " OF ";
        const size_t branches = 1 + Pick(3);
        for (size_t i = 0; i < branches; ++i) {
          static const std::vector<std::string> labels = {"1", "2 .. 4", "'a'", "'a' .. 'z'", "0, 3", "2..5",
                                                          "N",  "5 .. 1", "1 .. 'z'", "Q", ""};
          if (Pick(6) == 0) s += "ELSE " + Statement(depth - 1) + "; ";
          else s += From(labels) + ": " + Statement(depth - 1) + "; ";
        }
        return s + (Pick(10) ? "END" : "");
      }
      case 11: return Label() + ": STEP()";
      case 12: return Label() + ": BEGIN STEP(); " + Statement(depth - 1) + " END";
      case 13: return "IF " + Condition() + " THEN IF " + Condition() + " THEN " + Statement(0) + " ELSE " + Statement(0);
      default: return Statement(0);
    }
  }

  std::string List(int depth) {
    std::string s;
    const size_t n = 1 + Pick(4);
    for (size_t i = 0; i < n; ++i) {
      if (i > 0) s += Pick(8) ? "; " : ";; ";
      s += Statement(depth);
    }
    if (Pick(4) == 0) s += ";";
    return s;
  }

  // Breaks a well-formed script: drops, doubles or inserts a token.
  std::string Mutate(const std::string& script) {
    static const std::vector<std::string> inserts = {"END", "BEGIN", "ELSE", "THEN", "DO", "UNTIL", "REPEAT",
                                                     ";",   ":",     "OF",   "..",   "CASE", ")",     "("};
    std::vector<std::string> words;
    std::string word;
    for (char c : script) {
      if (c == ' ') {
        if (!word.empty()) words.push_back(word);
        word.clear();
      } else {
        word += c;
      }
    }
    if (!word.empty()) words.push_back(word);
    if (words.empty()) return script;
    const size_t at = Pick(words.size());
    // Dropping a STEP call could leave a loop without end.
    switch (words[at].find("STEP") != std::string::npos ? 2 : Pick(3)) {
      case 0: words.erase(words.begin() + static_cast<long>(at)); break;
      case 1: words.insert(words.begin() + static_cast<long>(at), words[at]); break;
      default: words.insert(words.begin() + static_cast<long>(at), From(inserts)); break;
    }
    std::string out;
    for (const std::string& w : words) out += w + " ";
    return out;
  }

  std::mt19937 rng_;
};

struct Side {
  explicit Side(bool parsed) {
    engine.SetStatementCache(parsed);
    engine.SetExpressionCache(parsed);
  }
  Scene scene;
  TScriptEngine engine;
  std::vector<std::string> calls;
  int steps = 0;
};

void Prepare(Side& side, bool withElement) {
  SetHost(&side.scene.host);
  SetUpEngine(side.engine, side.scene, side.calls);
  if (!withElement) side.scene.host.SetCurrent(0, "ms_Down");
  side.engine.Vars().Append({"I", ScriptValue::Int(0)});
  side.engine.Vars().Append({"J", ScriptValue::Int(0)});
  side.engine.RegisterFunction("STEP", [&side](TScriptEngine&, TVarList& p, TVar&) {
    side.calls.push_back("STEP");
    return p.Count() == 0 && ++side.steps <= kStepBudget;
  });
}

std::string VarsText(const TScriptEngine& e) {
  std::string s;
  for (int i = 0; i < e.Vars().Count(); ++i) s += e.Vars()[i].Name + "=" + Describe(e.Vars()[i].Value) + ";";
  return s;
}

// Everything a run can be seen to do.
std::string Observe(Side& side, const std::string& source, int runs) {
  SetHost(&side.scene.host);
  std::string s;
  const TokenStream program = side.engine.Prepare(source);
  s += "prepare " + std::to_string(side.engine.ErrorCode()) + " |" + side.engine.ErrorMessage() + "|" +
       side.engine.ErrorText() + "|\n";
  for (int run = 0; run < runs; ++run) {
    side.steps = 0;
    const bool ok = side.engine.Run(program);
    s += "run " + std::to_string(ok) + " " + std::to_string(side.engine.ErrorCode()) + " |" +
         side.engine.ErrorMessage() + "|" + side.engine.ErrorText() + "| depth " +
         std::to_string(side.engine.BlockDepth()) + "\n";
    s += " vars " + VarsText(side.engine) + "\n";
  }
  for (const std::string& c : side.calls) s += " call " + c;
  s += "\n";
  for (const std::string& l : side.scene.host.Log()) s += " log " + l + "\n";
  for (const char* prop : {"PX", "PY", "PNAME"}) s += " prop " + Describe(side.scene.host.Prop(side.scene.image, prop));
  s += " root " + Describe(side.scene.host.Prop(side.scene.root, "PX"));
  return s;
}

TEST(StatementEquivalence, ParsedListsBehaveLikeStatementsFoundAsTheyRun) {
  ScriptGenerator gen(20261208);
  int failures = 0;
  int failedRuns = 0;
  long steps = 0;
  for (int i = 0; i < 4000 && failures < 5; ++i) {
    const std::string script = gen.Next();
    const bool withElement = gen.WithElement();
    Side parsed(true), direct(false);
    Prepare(parsed, withElement);
    Prepare(direct, withElement);
    const std::string a = Observe(parsed, script, 2);
    const std::string b = Observe(direct, script, 2);
    if (a.find("run 0") != std::string::npos) ++failedRuns;
    steps += parsed.steps;
    if (a != b) {
      ++failures;
      ADD_FAILURE() << "script: " << script << "\n parsed:\n" << a << "\n direct:\n" << b;
    }
    SetHost(nullptr);
  }
  // The scripts must exercise both clean runs and failures.
  EXPECT_GT(failedRuns, 400);
  EXPECT_LT(failedRuns, 3600);
  EXPECT_GT(steps, 20000);
}

}  // namespace
}  // namespace qx::test
