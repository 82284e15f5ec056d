// The parsed-expression cache must not be observable: random expressions (well-formed and
// token soup) run on two interpreters, one caching and one evaluating directly, must give
// the same results, records, errors, log lines, native calls and variables, while natives
// change variables and the registry changes under the cached trees.
#include <gtest/gtest.h>

#include <random>

#include "Fixture.h"

namespace qx::test {
namespace {

const std::vector<std::string> kOperands = {
    "1", "2", "0", "2.5", "3000000000", "'a'", "'12'", "\"KEY\"", "''", "TRUE", "FALSE", "N", "S", "FL",
    "BO", "WD", "I64", "EMPTYV", "A", "X", "PX", ".PX", "EL.PX", "QXDB.PX", "PNAME", "LENGTH", "TIME",
    "SUM", "ARGNAMES", "INC", "NOSUCH", "SETFIRST", "FAILING", "THROWING", "NOTHING"};
const std::vector<std::string> kOperators = {"+",   "-",   "*",   "/",   "^",  "=",   "<>",  "<",  ">",
                                             ">=",  "<=",  "AND", "OR",  "XOR", "SHL", "SHR"};
const std::vector<std::string> kPunctuation = {"(", ")", "[", "]", ",", "NOT", "-", "1..2", "'x''y'"};
const std::vector<std::string> kCallable = {"LENGTH", "TIME", "SUM", "ARGNAMES", "INC", "SETFIRST", "NOSUCH",
                                            "FAILING", "THROWING", "NOTHING", "S", "A", "N"};
const std::vector<std::string> kIndexable = {"S", "A", "N", "PNAME", "TIME", "X"};

class Generator {
 public:
  explicit Generator(uint32_t seed) : rng_(seed) {}

  std::string Next() { return Pick(4) == 0 ? Soup() : Expr(3); }

 private:
  size_t Pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng_); }
  const std::string& From(const std::vector<std::string>& v) { return v[Pick(v.size())]; }

  std::string Soup() {
    std::string s;
    const size_t n = 1 + Pick(10);
    for (size_t i = 0; i < n; ++i) {
      const size_t k = Pick(10);
      s += (k < 5 ? From(kOperands) : k < 8 ? From(kOperators) : From(kPunctuation)) + " ";
    }
    return s;
  }

  std::string Expr(int depth) {
    if (depth <= 0) return From(kOperands);
    switch (Pick(9)) {
      case 0:
      case 1: return Expr(depth - 1) + " " + From(kOperators) + " " + Expr(depth - 1);
      case 2: return (Pick(2) ? "NOT " : "-") + Expr(0);
      case 3: return "(" + Expr(depth - 1) + ")";
      case 4: {
        std::string s = From(kIndexable) + "[" + Expr(depth - 1);
        if (Pick(2)) s += ", " + Expr(depth - 1);
        if (Pick(8)) s += "]";
        if (Pick(4) == 0) s += "[" + Expr(0) + "]";
        return s;
      }
      case 5: {
        std::string s = From(kCallable) + "(";
        const size_t n = Pick(4);
        for (size_t i = 0; i < n; ++i) s += (i ? ", " : "") + Expr(depth - 1);
        if (Pick(8)) s += ")";
        return s;
      }
      case 6: return Expr(depth - 1) + " " + Expr(0);  // surplus token(s)
      default: return From(kOperands);
    }
  }

  std::mt19937 rng_;
};

struct Side {
  TScriptEngine engine;
  std::vector<std::string> calls;
};

std::string VarsText(const TScriptEngine& e) {
  std::string s;
  for (int i = 0; i < e.Vars().Count(); ++i) s += e.Vars()[i].Name + "=" + Describe(e.Vars()[i].Value) + ";";
  return s;
}

// One evaluation on one side: everything observable about it.
std::string Observe(Side& side, Scene& scene, const std::string& tokens) {
  const size_t calls = side.calls.size();
  const size_t log = scene.host.Log().size();
  side.engine.ResetErrorState();
  TVar var;
  const bool ok = side.engine.Evaluate(tokens, var);
  std::string s = ok ? "ok " : "false ";
  if (ok) s += var.Name + ":" + Describe(var.Value);
  s += " | code " + std::to_string(side.engine.ErrorCode()) + " |" + side.engine.ErrorMessage() + "|" +
       side.engine.ErrorText() + "|";
  for (size_t i = calls; i < side.calls.size(); ++i) s += " call " + side.calls[i];
  for (size_t i = log; i < scene.host.Log().size(); ++i) s += " log " + scene.host.Log()[i];
  s += " vars " + VarsText(side.engine);
  return s;
}

void ToggleFunction(Side& side, const std::string& name, bool on) {
  if (on) {
    side.engine.RegisterFunction(name, [&side, name](TScriptEngine&, TVarList& p, TVar& r) {
      side.calls.push_back(name + "#" + std::to_string(p.Count()));
      r.Value = ScriptValue::Str("f" + name);
      return true;
    });
  } else {
    side.engine.RegisterFunction(name, nullptr);
  }
}

TEST(EvaluatorEquivalence, CachedTreesBehaveLikeDirectEvaluation) {
  Scene scene;
  Side cached, direct;
  SetUpEngine(cached.engine, scene, cached.calls);
  SetUpEngine(direct.engine, scene, direct.calls);
  direct.engine.SetExpressionCache(false);
  Generator gen(20261207);
  std::vector<TokenStream> seen;
  int failures = 0;
  for (int i = 0; i < 40000 && failures < 10; ++i) {
    // Re-run earlier texts often, so cached trees meet changed state.
    TokenStream tokens;
    if (!seen.empty() && i % 3 == 0) {
      tokens = seen[static_cast<size_t>(i * 7919) % seen.size()];
    } else {
      tokens = Tokenise(gen.Next());
      if (seen.size() < 3000) seen.push_back(tokens);
    }
    if (i % 500 == 250) {
      // Names change between variable and function under the cached trees.
      const std::string& name = kIndexable[static_cast<size_t>(i / 500) % kIndexable.size()];
      const bool on = (i / 500) % 2 == 0;
      ToggleFunction(cached, name, on);
      ToggleFunction(direct, name, on);
    }
    if (i % 2000 == 1999) {
      for (Side* s : {&cached, &direct}) {
        s->engine.Vars().Clear();
        SetUpEngine(s->engine, scene, s->calls);
      }
    }
    const std::string a = Observe(cached, scene, tokens);
    const std::string b = Observe(direct, scene, tokens);
    if (a != b) {
      ++failures;
      ADD_FAILURE() << "expression: " << TokenText(tokens, true) << "\n cached: " << a << "\n direct: " << b;
    }
  }
  EXPECT_GT(cached.engine.CachedExpressionCount(), 100u);
  EXPECT_EQ(direct.engine.CachedExpressionCount(), 0u);
}

TEST(EvaluatorEquivalence, ANameThatBecomesAFunctionEndsTheExpressionAtItsBracket) {
  Scene scene;
  TScriptEngine engine;
  std::vector<std::string> calls;
  SetUpEngine(engine, scene, calls);
  const TokenStream tokens = Tokenise("S[2]");
  TVar v;
  ASSERT_TRUE(engine.Evaluate(tokens, v));
  EXPECT_EQ(v.Value.StrValue(), "b");
  engine.RegisterFunction("S", [](TScriptEngine&, TVarList&, TVar& r) {
    r.Value = ScriptValue::Str("called");
    return true;
  });
  // S is called without arguments; "[" is the one tolerated surplus token, "2" is too many.
  EXPECT_FALSE(engine.Evaluate(tokens, v));
  EXPECT_EQ(engine.ErrorCode(), 0);
  ASSERT_TRUE(engine.Evaluate(Tokenise("S ["), v));
  EXPECT_EQ(v.Value.StrValue(), "called");
  engine.RegisterFunction("S", nullptr);
  ASSERT_TRUE(engine.Evaluate(tokens, v));
  EXPECT_EQ(v.Value.StrValue(), "b");
}

}  // namespace
}  // namespace qx::test
