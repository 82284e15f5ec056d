// TScriptEngine: registry, variable access, the error log, the native-call convention,
// re-entrant evaluation, limits and malformed streams.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include <unistd.h>

#include "Fixture.h"
#include "base/BoundedLog.h"

namespace qx::test {
namespace {

NativeFunction Returns(int v) {
  return [v](TScriptEngine&, TVarList&, TVar& r) {
    r.Value = ScriptValue::Int(v);
    return true;
  };
}

// Evaluates `source` in both modes (fresh fixtures) and checks they agree; gives the
// cached outcome as "ok Kind text", "false", or "error CODE message".
struct Rig {
  Scene scene;
  TScriptEngine engine;
  std::vector<std::string> calls;
  Rig() { SetUpEngine(engine, scene, calls); }
  std::string Eval(const std::string& source) {
    TVar v;
    engine.ResetErrorState();
    const bool ok = engine.Evaluate(Tokenise(source), v);
    if (engine.ErrorCode()) return "error " + std::to_string(engine.ErrorCode()) + " " + engine.ErrorMessage();
    return ok ? "ok " + Describe(v.Value) : "false";
  }
};

TEST(RegisterFunction, NamesAreTrimmedAndMatchedWithoutRegardToCase) {
  Rig rig;
  TScriptEngine& e = rig.engine;
  const int before = e.Funcs().Count();
  ASSERT_TRUE(e.RegisterFunction("  inttostr ", Returns(1)));
  EXPECT_EQ(e.Funcs().Count(), before + 1);
  EXPECT_EQ(e.Funcs()[before].Name, "INTTOSTR");
  EXPECT_EQ(rig.Eval("IntToStr(1)"), "ok Integer 1");
  EXPECT_EQ(rig.Eval("INTTOSTR"), "ok Integer 1");
  ASSERT_TRUE(e.RegisterFunction("IntToStr", Returns(2)));  // replaces the handler
  EXPECT_EQ(e.Funcs().Count(), before + 1);
  EXPECT_EQ(rig.Eval("inttostr()"), "ok Integer 2");
  ASSERT_TRUE(e.RegisterFunction("INTTOSTR", nullptr));  // removes it
  EXPECT_EQ(e.Funcs().Count(), before);
  EXPECT_EQ(rig.Eval("IntToStr(1)"), "error 8 Unknown function: INTTOSTR");
  EXPECT_EQ(rig.Eval("IntToStr"), "error 3 Variable not found: INTTOSTR");
  EXPECT_FALSE(e.RegisterFunction("Fresh", nullptr));  // nothing to register
  EXPECT_FALSE(e.RegisterFunction("1X", Returns(1)));
  EXPECT_FALSE(e.RegisterFunction("  ", Returns(1)));
  EXPECT_EQ(e.Funcs().Count(), before);
}

TEST(Variables, ReadAssignAndSetExistingOnly) {
  Rig rig;
  TScriptEngine& e = rig.engine;
  TVar v;
  ASSERT_TRUE(e.ReadVar("  s ", v));
  EXPECT_EQ(v.Value.StrValue(), "abc");
  ASSERT_TRUE(e.ReadVar("pname", v));  // element property of the current element
  EXPECT_EQ(v.Value.StrValue(), "pic");
  EXPECT_FALSE(e.SetVarValue("Q", ScriptValue::Int(1)));
  EXPECT_EQ(e.FindVar("Q"), -1);
  EXPECT_TRUE(e.SetVarValue(" n", ScriptValue::Int(9)));
  EXPECT_EQ(rig.Eval("N"), "ok Integer 9");
  EXPECT_EQ(e.FindVar("n"), -1);  // exact
  ASSERT_TRUE(e.AssignVar({"Q", ScriptValue::Int(3)}));
  EXPECT_EQ(rig.Eval("Q * 2"), "ok Integer 6");
  // A variable named like a function can be assigned, but reading the name calls.
  ASSERT_TRUE(e.AssignVar({"TIME", ScriptValue::Int(5)}));
  EXPECT_GE(e.FindVar("TIME"), 0);
  EXPECT_EQ(rig.Eval("TIME"), "ok DateTime 2");
}

TEST(ReportError, KeepsTheFirstErrorAndLogsOneLine) {
  Rig rig;
  TScriptEngine& e = rig.engine;
  TVar v;
  EXPECT_FALSE(e.Evaluate(Tokenise("1 + nope"), v));
  EXPECT_EQ(e.ErrorCode(), 3);
  EXPECT_EQ(e.ErrorMessage(), "Variable not found: NOPE");
  EXPECT_EQ(e.ErrorText(), "1 + NOPE ");
  ASSERT_EQ(rig.scene.host.Log().size(), 1u);
  EXPECT_EQ(rig.scene.host.Log()[0], "Variable not found: NOPE (1 + NOPE  in IMG1 <TQXImage>) ms_Down");
  // Later errors of the same run are neither kept nor logged, and nothing more runs.
  e.ReportError("Other", Tokenise("x"), 9);
  EXPECT_FALSE(e.Evaluate(Tokenise("LENGTH('a')"), v));
  EXPECT_EQ(e.ErrorCode(), 3);
  EXPECT_EQ(rig.scene.host.Log().size(), 1u);
  EXPECT_TRUE(rig.calls.empty());
  e.ResetErrorState();
  EXPECT_EQ(e.ErrorCode(), 0);
  EXPECT_EQ(e.BlockDepth(), -1);
  EXPECT_EQ(e.ControlFlag(), TControlFlag::None);
  // An error inside an argument is located at the argument's own text.
  EXPECT_FALSE(e.Evaluate(Tokenise("SUM(1, nope)"), v));
  EXPECT_EQ(e.ErrorText(), "NOPE ");
  // Without a current element the description is empty.
  rig.scene.host.SetCurrent(0, "Init");
  e.ResetErrorState();
  e.ReportError("Bad", Tokenise("a b"), 1);
  EXPECT_EQ(rig.scene.host.Log().back(), "Bad (A B  in ) Init");
}

TEST(ReportError, PlainHostAppendsToKorvaneErrInTheGameFolder) {
  const auto dir = std::filesystem::temp_directory_path() / ("qx_script_log_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  PlainScriptHost plain(dir.string());
  SetHost(&plain);
  for (int run = 0; run < 2; ++run) {
    TScriptEngine e;
    TVar v;
    EXPECT_FALSE(e.Evaluate(Tokenise("x"), v));
  }
  SetHost(nullptr);
  FlushLogs();
  std::ifstream in(dir / "korvane.err", std::ios::binary);
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // The same line twice in a row is written once and counted.
  EXPECT_EQ(all, "Variable not found: X (X  in ) \n(the line above repeated 1 times)\n");
  std::filesystem::remove_all(dir);
}

TEST(NativeCall, BareVariablesTakeBackTheirParameters) {
  Rig rig;
  TScriptEngine& e = rig.engine;
  EXPECT_EQ(rig.Eval("INC(N)"), "ok Empty");
  EXPECT_EQ(rig.Eval("N"), "ok Integer 5");
  EXPECT_EQ(rig.Eval("INC(N, 10)"), "ok Empty");
  EXPECT_EQ(rig.Eval("N"), "ok Integer 15");
  EXPECT_EQ(rig.Eval("INC(N + 0)"), "ok Empty");  // not a bare variable: passed by value
  EXPECT_EQ(rig.Eval("INC((N))"), "ok Empty");
  EXPECT_EQ(rig.Eval("N"), "ok Integer 15");
  EXPECT_EQ(rig.Eval("INC(PX)"), "ok Empty");  // an element property is no variable
  EXPECT_EQ(rig.scene.host.Prop(rig.scene.image, "PX").IntValue(), 5);
  EXPECT_EQ(rig.Eval("INC(S, 'd')"), "ok Empty");  // "+" of strings appends
  EXPECT_EQ(rig.Eval("S"), "ok String |abcd|");
  EXPECT_EQ(rig.Eval("SETFIRST(A[1])"), "ok Boolean TRUE");
  EXPECT_EQ(rig.Eval("A[1]"), "ok Integer 42");
  EXPECT_EQ(e.Vars()[e.FindVar("A[1]")].Name, "A[1]");  // the entry keeps its own name
  // A failed call writes nothing back.
  e.RegisterFunction("SetThenFail", [](TScriptEngine&, TVarList& p, TVar&) {
    p[0].Value = ScriptValue::Int(-1);
    return false;
  });
  EXPECT_EQ(rig.Eval("SetThenFail(N)"), "error 7 Invalid parameters, function SETTHENFAIL");
  EXPECT_EQ(rig.Eval("N"), "ok Integer 15");
  // A handler that empties its parameter list leaves nothing to write back.
  e.RegisterFunction("Shrink", [](TScriptEngine&, TVarList& p, TVar&) {
    p.Clear();
    return true;
  });
  EXPECT_EQ(rig.Eval("Shrink(N, S)"), "ok Empty");
  EXPECT_EQ(rig.Eval("N"), "ok Integer 15");
}

TEST(NativeCall, ArgumentsRunLeftToRightAndOnlyWhenTheCallCanBeMade) {
  Rig rig;
  EXPECT_EQ(rig.Eval("SUM(LENGTH('a'), TIME, LENGTH('abc'))"), "ok DateTime 6");
  EXPECT_EQ(rig.calls, (std::vector<std::string>{"LENGTH(a)", "TIME()", "LENGTH(abc)", "SUM(1,2,3)"}));
  rig.calls.clear();
  EXPECT_EQ(rig.Eval("SUM(LENGTH('a'), NOPE, LENGTH('abc'))"), "error 3 Variable not found: NOPE");
  EXPECT_EQ(rig.calls, std::vector<std::string>{"LENGTH(a)"});
  rig.calls.clear();
  EXPECT_EQ(rig.Eval("NOSUCH(LENGTH('a'))"), "error 8 Unknown function: NOSUCH");
  EXPECT_TRUE(rig.calls.empty());
}

TEST(NativeCall, HandlerErrorsBecomeTheCallsFailure) {
  Rig rig;
  TScriptEngine& e = rig.engine;
  e.RegisterFunction("Odd", [](TScriptEngine&, TVarList&, TVar&) -> bool { throw 42; });
  EXPECT_EQ(rig.Eval("Odd()"), "error 7 Invalid parameters, function ODD");
  e.RegisterFunction("Std", [](TScriptEngine&, TVarList&, TVar&) -> bool { throw std::out_of_range("far"); });
  EXPECT_EQ(rig.Eval("Std()"), "error 7 Invalid parameters, function STD : far");
  e.RegisterFunction("Conv", [](TScriptEngine&, TVarList& p, TVar& r) {
    r.Value = ScriptValue::Int(p[0].Value.ToInt32());
    return true;
  });
  EXPECT_EQ(rig.Eval("Conv('abc')"), "error 7 Invalid parameters, function CONV : Could not convert String 'abc' to Integer");
  EXPECT_EQ(rig.scene.host.Log().back(),
            "Invalid parameters, function CONV : Could not convert String 'abc' to Integer (CONV ( 'abc' )  in "
            "IMG1 <TQXImage>) ms_Down");
}

TEST(NativeCall, HandlersMayChangeTheRegistryAndEvaluateAgain) {
  for (bool cached : {true, false}) {
    Rig rig;
    TScriptEngine& e = rig.engine;
    e.SetExpressionCache(cached);
    e.RegisterFunction("Once", [](TScriptEngine& engine, TVarList&, TVar& r) {
      engine.RegisterFunction("Once", nullptr);  // removes the running handler
      r.Value = ScriptValue::Int(1);
      return true;
    });
    EXPECT_EQ(rig.Eval("Once() + 1"), "ok Integer 2");
    EXPECT_EQ(rig.Eval("Once()"), "error 8 Unknown function: ONCE");
    // A native evaluating text in the middle of an expression leaves the outer one intact.
    e.RegisterFunction("Eval", [](TScriptEngine& engine, TVarList& p, TVar& r) {
      TVar inner;
      if (p.Count() != 1 || !engine.Evaluate(Tokenise(p[0].Value.StrValue()), inner)) return false;
      r.Value = inner.Value;
      return true;
    });
    EXPECT_EQ(rig.Eval("1 + Eval('2 * (3 + N)') * 2"), "ok Integer 29");
    // Two apostrophes end a literal: the argument is three string constants.
    EXPECT_EQ(rig.Eval("Eval('Eval(''1'')')"),
              "error 7 Invalid expression in function params: 'Eval(' '1' ')' ");
    EXPECT_EQ(rig.Eval("2 * Eval('nope')"), "error 3 Variable not found: NOPE");
  }
}

TEST(Limits, DeepNestingIsRefusedWithoutExhaustingTheStack) {
  for (bool cached : {true, false}) {
    for (const char* open : {"(", "SUM(", "-(", "S["}) {
      Rig rig;
      rig.engine.SetExpressionCache(cached);
      const std::string close = std::string(open) == "S[" ? "]" : ")";
      std::string shallow, deep;
      for (int i = 0; i < 60; ++i) shallow += open;
      shallow += "1";
      for (int i = 0; i < 60; ++i) shallow += close;
      for (int i = 0; i < 20000; ++i) deep += open;
      deep += "1";
      for (int i = 0; i < 20000; ++i) deep += close;
      EXPECT_NE(rig.Eval(shallow), "error 1 Expression nested too deeply") << open;
      EXPECT_TRUE(rig.Eval(deep) == "error 1 Expression nested too deeply") << open;
    }
  }
}

TEST(Limits, MalformedStreamsGiveTheSameResultEitherWay) {
  // Random bytes that a script file with the byte 127 in it could hand over as a stream.
  std::mt19937 rng(7);
  std::string alphabet = "\x7F\x7F\x7F\x41\x42\x45\x49\x51\x52\x56\x57\x58\x5E\x5F\x60\x20\xFF" "AN1'\"[](),.+";
  alphabet.push_back('\0');
  Scene scene;
  TScriptEngine cached, direct;
  std::vector<std::string> c1, c2;
  SetUpEngine(cached, scene, c1);
  SetUpEngine(direct, scene, c2);
  direct.SetExpressionCache(false);
  for (int i = 0; i < 20000; ++i) {
    std::string bytes;
    const size_t n = rng() % 24;
    for (size_t k = 0; k < n; ++k) bytes.push_back(alphabet[rng() % alphabet.size()]);
    TVar a, b;
    cached.ResetErrorState();
    direct.ResetErrorState();
    const bool ra = cached.Evaluate(bytes, a);
    const bool rb = direct.Evaluate(bytes, b);
    ASSERT_EQ(ra, rb) << i;
    ASSERT_EQ(cached.ErrorMessage(), direct.ErrorMessage()) << i;
    if (ra) {
      ASSERT_EQ(Describe(a.Value), Describe(b.Value)) << i;
    }
  }
}

TEST(ExpressionCache, OneTreePerStreamTextAndBoundedSize) {
  Rig rig;
  TScriptEngine& e = rig.engine;
  EXPECT_EQ(rig.Eval("N + 1"), "ok Integer 5");
  EXPECT_EQ(rig.Eval("N + 1"), "ok Integer 5");
  EXPECT_EQ(e.CachedExpressionCount(), 1u);
  for (int i = 0; i < 5000; ++i) rig.Eval("N + " + std::to_string(i));
  EXPECT_LE(e.CachedExpressionCount(), 4096u);
  EXPECT_EQ(rig.Eval("N + 4999"), "ok Integer 5003");
  e.SetExpressionCache(false);
  EXPECT_EQ(e.CachedExpressionCount(), 0u);
  EXPECT_EQ(rig.Eval("N + 1"), "ok Integer 5");
  EXPECT_EQ(e.CachedExpressionCount(), 0u);
}

TEST(StatementHooks, IndexListsAndStringIndexesForAssignments) {
  Rig rig;
  TScriptEngine& e = rig.engine;
  const TokenStream t = Tokenise("S[1 + 1, N][3] := 1");
  size_t pos = 0;
  ReadToken(t, pos);  // S
  std::string index;
  ASSERT_TRUE(e.ReadIndexList(t, pos, index));
  EXPECT_EQ(index, "2,4");
  ASSERT_TRUE(e.ReadIndexList(t, pos, index));
  EXPECT_EQ(index, "3");
  EXPECT_FALSE(e.ReadIndexList(t, pos, index));  // ":=" is no "["
  EXPECT_EQ(e.ErrorCode(), 22);
  EXPECT_EQ(e.ErrorMessage(), "[ expected");
  e.ResetErrorState();
  size_t end = t.size();
  EXPECT_FALSE(e.ReadIndexList(t, end, index));
  EXPECT_EQ(e.ErrorMessage(), "Invalid string index");
  EXPECT_EQ(e.ErrorCode(), 1);
  e.ResetErrorState();
  size_t position = 0;
  EXPECT_TRUE(e.StringIndexPosition(ScriptValue::Str("abc"), "S", "3", t, position));
  EXPECT_EQ(position, 3u);
  EXPECT_FALSE(e.StringIndexPosition(ScriptValue::Str("abc"), "S", "99999999999", t, position));
  EXPECT_EQ(e.ErrorMessage(), "Invalid string index : 99999999999");
  // Declared procedures are called, never read as variables.
  TProcedure p;
  p.Name = "P";
  ASSERT_TRUE(e.Procs().Add(p));
  EXPECT_TRUE(e.IsCallable("P"));
  EXPECT_FALSE(e.Procs().Add(p));
}

}  // namespace
}  // namespace qx::test
