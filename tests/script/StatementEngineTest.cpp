// Preparing and running scripts on the interpreter: the main program, the declarations a
// prepared program carries, the limits on nesting, natives called from statements, and
// what the statement executor leaves behind.
#include <gtest/gtest.h>

#include "Fixture.h"

namespace qx::test {
namespace {

std::string Text(std::string_view tokens) { return TokenText(tokens, true); }

struct Engine {
  Scene scene;
  TScriptEngine engine;
  std::vector<std::string> calls;
  Engine() { SetUpEngine(engine, scene, calls); }
  // With the parsed statements and expressions, or finding both in the text as they run.
  explicit Engine(bool parsed) : Engine() {
    engine.SetStatementCache(parsed);
    engine.SetExpressionCache(parsed);
  }
  bool Run(const std::string& source) {
    const TokenStream program = engine.Prepare(source);
    return !engine.Failed() && engine.Run(program);
  }
  ScriptValue Var(const std::string& name) {
    const int i = engine.FindVar(name);
    return i >= 0 ? engine.Vars()[i].Value : ScriptValue();
  }
};

TEST(Prepare, GivesTheMainProgramWithEveryStatementClosed) {
  Engine e;
  const TokenStream program = e.engine.Prepare("a := 1;; B := 'x' // note\n; L1: c := 2");
  EXPECT_EQ(Text(program), "A := 1 ; B := 'x' ; L1 : C := 2 ; ");
  EXPECT_FALSE(e.engine.Failed());
  // A TokenStream is taken as it is, and the same source gives the same program again.
  EXPECT_EQ(e.engine.Prepare(program), program);
  EXPECT_EQ(e.engine.Prepare("a := 1;; B := 'x' // note\n; L1: c := 2"), program);
  EXPECT_EQ(e.engine.Prepare(""), "");
}

TEST(Prepare, ResetsTheErrorStateAndLogsOnlyItsFirstError) {
  Engine e;
  e.engine.Prepare("BEGIN A := 1");
  EXPECT_EQ(e.engine.ErrorCode(), 10);
  e.engine.Prepare("A := 1");
  EXPECT_EQ(e.engine.ErrorCode(), 0);
  EXPECT_EQ(e.engine.BlockDepth(), -1);
  e.engine.Prepare("PROCEDURE P(); BEGIN END; PROCEDURE P(); BEGIN END; BEGIN");
  EXPECT_EQ(e.engine.ErrorCode(), 24);
  EXPECT_EQ(e.scene.host.Log().size(), 2u);
}

TEST(Declarations, AProgramWithoutDeclarationsIsAPlainTokenStream) {
  Engine e;
  const TokenStream program = e.engine.Prepare("N := 1");
  EXPECT_EQ(program, Tokenise("N := 1 ;"));
  EXPECT_EQ(e.engine.Procs().Count(), 0);
}

TEST(Declarations, APreparedProgramCarriesItsDeclarationsToAnyInterpreter) {
  Engine preparer, runner;
  const TokenStream program = preparer.engine.Prepare(
      "FUNCTION TWICE(V); RESULT := V * 2; PROCEDURE NOTE(A, B); BEGIN END; N := TWICE(21)");
  ASSERT_FALSE(preparer.engine.Failed());
  ASSERT_EQ(preparer.engine.Procs().Count(), 2);
  EXPECT_EQ(preparer.engine.Procs()[1].Params, "A\r\nB");
  // Readers of TokenStreams see nothing of the declarations' part.
  EXPECT_EQ(Text(program), "");
  SetHost(&runner.scene.host);
  ASSERT_TRUE(runner.engine.Run(program));
  EXPECT_EQ(runner.Var("N").IntValue(), 42);
  ASSERT_EQ(runner.engine.Procs().Count(), 2);
  EXPECT_EQ(runner.engine.Procs()[0].Name, "TWICE");
  EXPECT_TRUE(runner.engine.Procs()[0].IsFunction);
  // Runs of the same program keep what Procs learnt; another program replaces it.
  const uint64_t generation = runner.engine.Procs().Generation();
  ASSERT_TRUE(runner.engine.Run(program));
  EXPECT_EQ(runner.engine.Procs().Generation(), generation);
  ASSERT_TRUE(runner.engine.Run(Tokenise("M := 1;")));
  EXPECT_EQ(runner.engine.Procs().Count(), 0);
  // Prepared again, the program stays the same.
  EXPECT_EQ(preparer.engine.Prepare(program), program);
  EXPECT_EQ(preparer.engine.Procs().Count(), 2);
}

TEST(Declarations, ADamagedDeclarationsPartIsNeverRunFrom) {
  Engine e;
  TokenStream program = e.engine.Prepare("PROCEDURE P(); Z := 1; P()");
  for (size_t cut = 2; cut < 12 && cut < program.size(); ++cut) {
    TokenStream damaged = program;
    damaged[cut] = 'x';
    e.engine.Run(damaged);  // runs nothing, or fails to find P
    EXPECT_EQ(e.engine.FindVar("Z"), -1) << cut;
  }
  EXPECT_TRUE(e.engine.Run(program.substr(0, 5)));
}

TEST(Declarations, CallProcedureCallsADeclaredOneDirectly) {
  Engine e;
  e.engine.Prepare("PROCEDURE ADDTO(V, W); V := V + W;");
  e.engine.Vars().Append({"X", ScriptValue::Int(5)});
  TVar result;
  const TokenStream x = Tokenise("X"), three = Tokenise("3");
  ASSERT_TRUE(e.engine.CallProcedure("ADDTO", {x, three}, result));
  EXPECT_EQ(e.Var("X").IntValue(), 8);
  EXPECT_FALSE(e.engine.CallProcedure("NOSUCH", {}, result));
  EXPECT_EQ(e.engine.ErrorMessage(), "Unknown procedure: NOSUCH");
  EXPECT_EQ(e.engine.ErrorCode(), 8);
}

TEST(Run, LeavesNoJumpAndTheIdleDepthBehind) {
  Engine e;
  EXPECT_TRUE(e.Run("N := 0; WHILE TRUE DO BEGIN N := N + 1; IF N = 3 THEN EXIT END"));
  EXPECT_EQ(e.engine.ControlFlag(), TControlFlag::None);
  EXPECT_EQ(e.engine.BlockDepth(), -1);
  EXPECT_FALSE(e.Run("GOTO NOWHERE"));
  EXPECT_EQ(e.engine.ControlFlag(), TControlFlag::None);
  EXPECT_EQ(e.engine.BlockDepth(), -1);
  EXPECT_TRUE(e.engine.GotoLabel().empty());
}

TEST(Run, NativesCalledAsStatementsWriteBackTheirVariables) {
  Engine e;
  ASSERT_TRUE(e.Run("INC(N); INC(N, 2); SETFIRST(FL); SETFIRST(FL + 0); NOTHING"));
  EXPECT_EQ(e.Var("N").IntValue(), 7);
  EXPECT_EQ(e.Var("FL").IntValue(), 42);
  EXPECT_EQ(e.calls, (std::vector<std::string>{"INC(4)", "INC(5,2)", "SETFIRST(1.5)", "SETFIRST(42)", "NOTHING()"}));
  EXPECT_FALSE(e.Run("FAILING(1)"));
  EXPECT_EQ(e.engine.ErrorMessage(), "Invalid parameters, function FAILING");
}

TEST(Run, LoopBoundsAndSelectorsAreEvaluatedOnce) {
  Engine e;
  ASSERT_TRUE(e.Run("I := 0; C := 0; FOR I := SUM(1) TO SUM(3) DO C := C + 1;"
                    "CASE SUM(2) OF SUM(1): C := 0; SUM(2) .. SUM(3): C := C + 10; SUM(9): C := 0; END"));
  EXPECT_EQ(e.Var("C").IntValue(), 13);
  // Bounds once; the selector once; labels in order up to the match.
  EXPECT_EQ(e.calls, (std::vector<std::string>{"SUM(1)", "SUM(3)", "SUM(2)", "SUM(1)", "SUM(2)", "SUM(3)"}));
}

TEST(Run, ConditionsAreEvaluatedOnEveryPass) {
  Engine e;
  ASSERT_TRUE(e.Run("N := 0; WHILE SUM(N) < 3 DO N := N + 1; REPEAT N := N - 1 UNTIL SUM(N) = 1"));
  EXPECT_EQ(e.calls.size(), 4u + 2u);
}

TEST(Run, ElementPropertiesAreAssignedWhenNoVariableHasTheName) {
  Engine e;
  ASSERT_TRUE(e.Run("PX := 77; .PX := 1; QXDB.PX := PX + 1; PY := PY * 2"));
  EXPECT_EQ(e.scene.host.Prop(e.scene.image, "PX").IntValue(), 77);
  EXPECT_EQ(e.scene.host.Prop(e.scene.screen, "PX").IntValue(), 1);
  EXPECT_EQ(e.scene.host.Prop(e.scene.root, "PX").IntValue(), 78);
  EXPECT_EQ(e.scene.host.Prop(e.scene.image, "PY").IntValue(), 12);
  EXPECT_EQ(e.engine.FindVar("PX"), -1);
  // A FOR loop needs a variable: a property of that name does not do.
  EXPECT_FALSE(e.Run("FOR PX := 1 TO 2 DO N := 1"));
  EXPECT_EQ(e.engine.ErrorMessage(), "Invalid variable name: PX");
}

TEST(Run, ErrorTextsAndLogLinesNameTheStatement) {
  Engine e;
  EXPECT_FALSE(e.Run("N := 1; IF N THEN BREAK"));
  ASSERT_FALSE(e.scene.host.Log().empty());
  EXPECT_EQ(e.scene.host.Log().back(), "BREAK outside loop (IF N THEN BREAK  in IMG1 <TQXImage>) ms_Down");
}

// Text nested deeper than any script needs is refused, not run into a stack overflow.
TEST(Limits, DeeplyNestedStatementsAreRefused) {
  for (bool parsed : {true, false}) {
    Engine e;
    e.engine.SetStatementCache(parsed);
    std::string begins, ends, ifs;
    for (int i = 0; i < 2000; ++i) {
      begins += "BEGIN ";
      ends += " END";
      ifs += "IF TRUE THEN ";
    }
    EXPECT_FALSE(e.Run(begins + "N := 1" + ends));
    EXPECT_EQ(e.engine.ErrorMessage(), "Statements nested too deeply");
    EXPECT_FALSE(e.Run(ifs + "N := 1"));
    EXPECT_EQ(e.engine.ErrorMessage(), "Statements nested too deeply");
    // Within the limit it runs.
    std::string some, close;
    for (int i = 0; i < 100; ++i) {
      some += "BEGIN ";
      close += " END";
    }
    EXPECT_TRUE(e.Run(some + "N := 1" + close));
  }
}

// A call at the limit meets it where its body's lists would, however the call is made.
TEST(Limits, ACallNearTheNestingLimitMeetsItInItsBody) {
  std::vector<std::string> outcomes[2];
  for (bool parsed : {true, false}) {
    for (int depth = 994; depth <= 999; ++depth) {
      Engine e;
      e.engine.SetStatementCache(parsed);
      e.scene.host.SetCurrent(0, "ms_Down");
      std::string begins, ends;
      for (int i = 0; i < depth; ++i) {
        begins += "BEGIN ";
        ends += " END";
      }
      // The call before, made less deeply on the same names, is the one that may be repeated.
      const bool ran = e.Run("FUNCTION F(); BEGIN RESULT := I END; I := 0; X := 0;\n"
                             "FOR I := 1 TO 3 DO IF I < 3 THEN X := F() ELSE " + begins + "X := F()" + ends);
      outcomes[parsed].push_back(std::to_string(ran) + " " + e.engine.ErrorMessage() + " " + e.Var("X").ToText());
    }
  }
  EXPECT_EQ(outcomes[true], outcomes[false]);
  EXPECT_EQ(outcomes[true].front(), "1  3");
  EXPECT_EQ(outcomes[true].back(), "0 Statements nested too deeply 2");
}

TEST(Limits, RecursionIsStoppedWithAMessage) {
  for (bool parsed : {true, false}) {
    Engine e;
    e.engine.SetStatementCache(parsed);
    EXPECT_FALSE(e.Run("FUNCTION F(K); RESULT := F(K + 1) + 1; N := F(0)"));
    EXPECT_EQ(e.engine.ErrorMessage(), "Procedure calls nested too deeply: F");
    // Recursion that ends within the limit.
    EXPECT_TRUE(e.Run("FUNCTION F(K); BEGIN IF K = 0 THEN RESULT := 0 ELSE RESULT := F(K - 1) + 1 END; N := F(90)"));
    EXPECT_EQ(e.Var("N").IntValue(), 90);
  }
}

TEST(Limits, IncludedFilesNestedTooDeeplyAreRefused) {
  class FileHost : public FakeHost {
   public:
    std::string ResolveGameFile(const std::string& name) override {
      return std::string(QX_TEST_DATA_DIR) + "/script/statements/" + name;
    }
  } host;
  TScriptEngine engine;
  engine.Prepare("INCLUDE 'inc_self.txt'");
  EXPECT_EQ(engine.ErrorMessage(), "Can't open file \"inc_self.txt\", files nested too deeply");
  EXPECT_EQ(engine.ErrorCode(), 25);
}

// The declaration pass tells an observer what it reads, as views into the text it reads.
TEST(Prepare, TellsAnObserverWhatTheDeclarationPassReads) {
  class FileHost : public FakeHost {
   public:
    std::string ResolveGameFile(const std::string& name) override {
      return std::string(QX_TEST_DATA_DIR) + "/script/statements/" + name;
    }
  } host;
  struct Recorder : PrepareObserver {
    std::vector<std::string> seen;
    std::vector<std::string_view> bases;
    void EnterFile(const std::string& name, bool include, std::string_view text, std::string_view tokens) override {
      seen.push_back("enter " + name + (include ? " include " : " uses ") + std::to_string(text.size()));
      bases.push_back(tokens);
    }
    void LeaveFile() override {
      seen.push_back("leave");
      bases.pop_back();
    }
    void Statement(std::string_view t) override { seen.push_back("statement " + Where(t)); }
    void MainStatement(std::string_view t) override { seen.push_back("main " + Where(t)); }
    void Body(std::string_view name, std::string_view t) override { seen.push_back("body " + std::string(name) + " " + Where(t)); }
    // The view's text, and that it lies inside the file being read.
    std::string Where(std::string_view t) const {
      const std::string_view base = bases.back();
      const bool inside = t.data() >= base.data() && t.data() + t.size() <= base.data() + base.size();
      return TokenText(t, true) + (inside ? "@" : "outside");
    }
  } recorder;
  TScriptEngine engine;
  engine.SetPrepareObserver(&recorder);
  const std::string source = "N := 1; USES 'inc_declarations.txt'; PROCEDURE P(); X := 2; INCLUDE 'inc_unbalanced.txt'";
  engine.Prepare(source);
  EXPECT_EQ(engine.ErrorCode(), 10);
  EXPECT_EQ(recorder.seen, (std::vector<std::string>{
                               "enter  include " + std::to_string(source.size()),
                               "statement N := 1 @",
                               "main N := 1 @",
                               "statement USES 'inc_declarations.txt' @",
                               "enter inc_declarations.txt uses 48",
                               "statement FUNCTION TRIPLE ( V ) @",
                               "body TRIPLE RESULT := V * 3 @",
                               "statement K := 99 @",
                               "main K := 99 @",
                               "leave",
                               "statement PROCEDURE P ( ) @",
                               "body P X := 2 @",
                               "statement INCLUDE 'inc_unbalanced.txt' @",
                               "enter inc_unbalanced.txt include 21",
                               "statement A := 1 @",
                               "main A := 1 @",
                               "statement BEGIN B := 2 @",
                               "leave",
                               "leave",
                           }));
}

// What a native does to the interpreter while a script runs on it must not pull the
// running text away.
TEST(Reentry, ANativeThatPreparesOrEvaluatesOnTheRunningInterpreter) {
  for (bool parsed : {true, false}) {
    Engine e;
    e.engine.SetStatementCache(parsed);
    e.engine.RegisterFunction("REPREPARE", [](TScriptEngine& engine, TVarList&, TVar& r) {
      engine.Prepare("PROCEDURE OTHER(); BEGIN END; Y := 2");
      r.Value = ScriptValue::Int(1);
      return true;
    });
    e.engine.RegisterFunction("EVAL", [](TScriptEngine& engine, TVarList& p, TVar& r) {
      return p.Count() == 1 && engine.Evaluate(Tokenise(p[0].Value.ToText()), r);
    });
    EXPECT_TRUE(e.Run("FUNCTION F(); BEGIN Z := REPREPARE(); RESULT := Z + 1 END; R1 := F(); R2 := EVAL('R1 * 10')"))
        << e.engine.ErrorMessage();
    EXPECT_EQ(e.Var("R1").IntValue(), 2);
    EXPECT_EQ(e.Var("R2").IntValue(), 20);
    EXPECT_EQ(e.engine.FindVar("Z"), -1);
  }
}

TEST(Caches, ProgramsAreParsedOncePerText) {
  Engine e;
  EXPECT_EQ(e.engine.CachedProgramCount(), 0u);
  ASSERT_TRUE(e.Run("FUNCTION F(V); RESULT := V; N := F(1)"));
  ASSERT_TRUE(e.Run("FUNCTION F(V); RESULT := V; N := F(1)"));
  EXPECT_EQ(e.engine.CachedProgramCount(), 2u);  // the main program and F's body
  e.engine.SetStatementCache(false);
  EXPECT_EQ(e.engine.CachedProgramCount(), 0u);
  ASSERT_TRUE(e.Run("N := 2"));
  EXPECT_EQ(e.engine.CachedProgramCount(), 0u);
}

// Elements read again in a loop come from a per-expression cache: small grids have a place
// per element, other indexes share places, and the answer must be the element named.
TEST(Caches, ArrayElementsReadInLoopsAreTheElementsNamed) {
  Engine e;
  ASSERT_TRUE(e.Run("X := 0; Y := 0; K := 0; S := 0;\n"
                    "FOR X := -2 TO 40 DO FOR Y := -2 TO 40 DO G[X, Y] := X * 100 + Y;\n"
                    "FOR X := 0 TO 300 DO H[X] := X * 3;\n"
                    "FOR K := 1 TO 3 DO FOR X := -2 TO 40 DO FOR Y := -2 TO 40 DO\n"
                    "  IF G[X, Y] <> X * 100 + Y THEN S := S + 1;\n"
                    "FOR K := 1 TO 3 DO FOR X := 0 TO 300 DO IF H[X] <> X * 3 THEN S := S + 1;\n"
                    "T := G[1, 17] + G[2, 1] + H[16] + H[272]"));
  EXPECT_EQ(e.Var("S").ToText(), "0");
  EXPECT_EQ(e.Var("T").ToText(), "1182");  // 117 + 201 + 48 + 816
}

// Statements repeated in a loop keep where their variables were; a call that removes and
// adds variables (RESULT taken away, parameters added) and new names must be seen.
TEST(Caches, KeptVariablePlacesFollowChangedNames) {
  Engine e;
  ASSERT_TRUE(e.Run("FUNCTION F(V);\n  RESULT := V + PA * 1;\n"
                    "RESULT := 100; PA := 1; PB := 2; S := 0; T := 0; I := 0;\n"
                    "FOR I := 1 TO 3 DO BEGIN\n"
                    "  S := PA + PB; IF S > PB THEN T := T + 1;\n"
                    "  U := F(I); T := T + U; S := S + RESULT; X2 := RESULT * 2 + PA + U;\n"
                    "  IF I = 2 THEN W := 7; PB := PB + 1\n"
                    "END"))
      << e.engine.ErrorMessage();
  EXPECT_EQ(e.Var("T").ToText(), "12");  // 3 + (2 + 3 + 4)
  EXPECT_EQ(e.Var("S").ToText(), "105");
  EXPECT_EQ(e.Var("RESULT").ToText(), "100");
  EXPECT_EQ(e.Var("W").ToText(), "7");
  EXPECT_EQ(e.Var("X2").ToText(), "205");
}

// A loop's statements keep their variables' places only while the registries stay as they
// were: a name that becomes a native or a declared function is called from then on, also
// when the procedures are given new contents by assignment.
TEST(Caches, KeptPlacesGiveWayToNamesThatBecomeFunctions) {
  for (bool parsed : {true, false}) {
    Engine e;
    e.engine.SetStatementCache(parsed);
    e.engine.RegisterFunction("MAKEV", [](TScriptEngine& engine, TVarList&, TVar& r) {
      engine.RegisterFunction("V", [](TScriptEngine&, TVarList&, TVar& v) {
        v.Value = ScriptValue::Int(50);
        return true;
      });
      r.Value = ScriptValue::Int(0);
      return true;
    });
    e.engine.RegisterFunction("MAKEW", [](TScriptEngine& engine, TVarList&, TVar& r) {
      TProcList procs = engine.Procs();
      procs.Add(TProcedure{"W", Tokenise("RESULT := 700"), "", true});
      engine.Procs() = procs;
      r.Value = ScriptValue::Int(0);
      return true;
    });
    ASSERT_TRUE(e.Run("V := 1; W := 2; S := 0; T := 0; I := 0; Z := 0;\n"
                      "FOR I := 1 TO 6 DO BEGIN\n"
                      "  S := S + V; T := T + W; IF W > S THEN Z := Z + 1;\n"
                      "  IF I = 2 THEN Z := MAKEV(); IF I = 4 THEN Z := MAKEW()\n"
                      "END"))
        << e.engine.ErrorMessage();
    EXPECT_EQ(e.Var("S").ToText(), "202") << parsed;   // 1 + 1 + 4 * 50
    EXPECT_EQ(e.Var("T").ToText(), "1408") << parsed;  // 4 * 2 + 2 * 700
    EXPECT_EQ(e.Var("Z").ToText(), "2") << parsed;  // W > S in passes 5 and 6 (after MAKEW)
  }
}

// ONELEMENT(c): the scene's image becomes the current element while `c` holds, else none
// is (none to begin with).
void AddOnElement(Engine& e) {
  Scene* scene = &e.scene;
  e.engine.RegisterFunction("ONELEMENT", [scene](TScriptEngine&, TVarList& p, TVar&) {
    scene->host.SetCurrent(p.Count() == 1 && p[0].Value.ToBool() ? scene->image : 0, "ms_Down");
    return true;
  });
  e.scene.host.SetCurrent(0, "ms_Down");
}

// A name a statement found missing before is missing again while the names are the same,
// but whether it becomes a variable or the current element's property is asked each time.
TEST(Caches, ANameFoundMissingStillGoesToTheCurrentElement) {
  for (bool parsed : {true, false}) {
    Engine e(parsed);
    AddOnElement(e);
    ASSERT_TRUE(e.Run("PROCEDURE P(V); PY := V + 0;\n"
                      "I := 0; FOR I := 1 TO 5 DO BEGIN ONELEMENT(I = 3); P(I * 10) END"))
        << e.engine.ErrorMessage();
    EXPECT_EQ(e.scene.host.Prop(e.scene.image, "PY").ToText(), "30") << parsed;
    EXPECT_EQ(e.engine.FindVar("PY"), -1) << parsed;  // each call's own PY went with it
  }
}

// Calls repeated with the names as before bind their parameters in one step; what each
// parameter is bound to must still follow the arguments and the names of the moment.
TEST(Caches, RepeatedCallsBindTheirParametersAsTheFirstCallDid) {
  for (bool parsed : {true, false}) {
    Engine e(parsed);
    AddOnElement(e);
    // More than a dozen variables, so that names are also found through the list's index.
    ASSERT_TRUE(e.Run("FUNCTION PAIR(M, K); RESULT := M * 100 + K;\n"
                      "PROCEDURE SWAP(M, K); BEGIN T := M; M := K; K := T END;\n"
                      "PROCEDURE P(PY); PY := PY + 1;\n"
                      "V1 := 0; V2 := 0; V3 := 0; V4 := 0; V5 := 0; V6 := 0; V7 := 0; V8 := 0;\n"
                      "I := 0; S := 0; X := 'a'; Y := 'b'; T := 0; Z := 0;\n"
                      "FOR I := 1 TO 5 DO BEGIN\n"
                      "  S := S + PAIR(I, M);\n"  // K is the parameter M, then the variable M
                      "  IF I = 3 THEN M := 7;\n"
                      "  SWAP(X, Y);\n"
                      "  ONELEMENT(I = 4); P(Z)\n"
                      "END"))
        << e.engine.ErrorMessage();
    EXPECT_EQ(e.Var("S").ToText(), "1515") << parsed;  // 101 + 202 + ... + 505
    EXPECT_EQ(e.Var("M").ToText(), "5") << parsed;     // K's last value, taken back
    EXPECT_EQ(e.engine.FindVar("K"), -1) << parsed;
    EXPECT_EQ(e.Var("X").ToText(), "b") << parsed;  // swapped five times
    EXPECT_EQ(e.Var("Y").ToText(), "a") << parsed;
    EXPECT_EQ(e.Var("T").ToText(), "0") << parsed;
    // In the fourth pass the parameter was the current element's property: nothing to take
    // back from it.
    EXPECT_EQ(e.scene.host.Prop(e.scene.image, "PY").ToText(), "4") << parsed;
    EXPECT_EQ(e.Var("Z").ToText(), "4") << parsed;
    EXPECT_EQ(e.engine.FindVar("PY"), -1) << parsed;
  }
}

// A function whose body is RESULT := a pure expression gives, from the second call on, its
// value without binding anything; whatever the names, the current element, the natives or
// the values of the moment, the calls must come out as the usual binding and body would.
TEST(Caches, ExpressionFunctionsGiveWhatTheirBodyWouldUnderAnyNames) {
  for (bool parsed : {true, false}) {
    Engine e(parsed);
    AddOnElement(e);
    int kCalls = 0;
    // From the third pass on, K is a native (called, not read as the variable).
    e.engine.RegisterFunction("MAKEK", [&kCalls](TScriptEngine& engine, TVarList&, TVar&) {
      engine.RegisterFunction("K", [&kCalls](TScriptEngine&, TVarList&, TVar& r) {
        r.Value = ScriptValue::Str(std::to_string(1000 + kCalls++));
        return true;
      });
      return true;
    });
    ASSERT_TRUE(e.Run("FUNCTION TWICE(V); RESULT := V * 2;\n"
                      "FUNCTION JOIN(V, W); RESULT := V + W + K;\n"
                      "FUNCTION SAME(V); RESULT := V;\n"
                      "FUNCTION DOT(); RESULT := K;\n"
                      "I := 0; X := 0; T := ''; K := '.'; Q := 0; U := '';\n"
                      "FOR I := 1 TO 8 DO BEGIN\n"
                      "  X := X + TWICE(I);\n"
                      "  IF I = 2 THEN RESULT := 'r';\n"   // RESULT of the caller: put back after each call
                      "  IF I = 3 THEN MAKEK();\n"
                      "  IF I = 6 THEN W := '-';\n"        // a variable named like one: the argument goes there
                      "  T := JOIN(T, 'a');\n"
                      "  U := U + DOT();\n"
                      "  Q := SAME(TRUE)\n"
                      "END"))
        << e.engine.ErrorMessage();
    EXPECT_EQ(e.Var("X").ToText(), "72") << parsed;  // 2 * (1 + ... + 8)
    EXPECT_EQ(e.Var("RESULT").ToText(), "r") << parsed;
    EXPECT_EQ(e.Var("T").ToText(), "a.a.a1000a1002a1004a1006a1008a1010") << parsed;
    EXPECT_EQ(e.Var("U").ToText(), "..100110031005100710091011") << parsed;
    EXPECT_EQ(e.Var("W").ToText(), "-") << parsed;  // bound to the argument, then put back
    EXPECT_EQ(e.engine.FindVar("V"), -1) << parsed;
    EXPECT_EQ(e.Var("Q").ToText(), "TRUE") << parsed;
    EXPECT_EQ(kCalls, 12) << parsed;

    // With a current element, a parameter named like its property is that property (and
    // stays changed).
    e.engine.Vars().Clear();
    ASSERT_TRUE(e.Run("FUNCTION TWICE(PY); RESULT := PY * 2; I := 0; X := 0;\n"
                      "FOR I := 1 TO 3 DO BEGIN ONELEMENT(I = 3); X := TWICE(I) END; ONELEMENT(FALSE)"));
    EXPECT_EQ(e.Var("X").ToText(), "6") << parsed;
    EXPECT_EQ(e.scene.host.Prop(e.scene.image, "PY").ToText(), "3") << parsed;

    // A body that fails on these values stops the run in the body, its variables kept.
    e.engine.Vars().Clear();
    EXPECT_FALSE(e.Run("FUNCTION LESS(V, W); RESULT := V - W; I := 0; X := 0; Y := 'y';\n"
                       "FOR I := 1 TO 3 DO X := LESS(X, 1); X := LESS(Y, 1)"));
    EXPECT_EQ(e.engine.ErrorMessage(), "Invalid operand types for \"-\"") << parsed;
    EXPECT_EQ(e.engine.ErrorText(), "V - W ") << parsed;
    EXPECT_EQ(e.Var("X").ToText(), "-3") << parsed;
    EXPECT_EQ(e.Var("V").ToText(), "y") << parsed;
    EXPECT_EQ(e.Var("W").ToText(), "1") << parsed;

    // An array named like a parameter, or like RESULT, makes the call fail.
    e.engine.Vars().Clear();
    EXPECT_FALSE(e.Run("FUNCTION TWICE(V); RESULT := V * 2; I := 0; X := 0;\n"
                       "FOR I := 1 TO 3 DO BEGIN IF I = 3 THEN V[1] := 0; X := TWICE(I) END"));
    EXPECT_EQ(e.engine.ErrorMessage(), "Array with same name exist : V") << parsed;
    EXPECT_EQ(e.Var("X").ToText(), "4") << parsed;
    e.engine.Vars().Clear();
    EXPECT_FALSE(e.Run("FUNCTION TWICE(V); RESULT := V * 2; I := 0; X := 0;\n"
                       "FOR I := 1 TO 3 DO BEGIN IF I = 3 THEN RESULT[1] := 0; X := TWICE(I) END"));
    EXPECT_EQ(e.engine.ErrorMessage(), "Array with same name exist : RESULT") << parsed;
    EXPECT_EQ(e.Var("X").ToText(), "4") << parsed;
  }
}

// An expression run cut short under other names (here, a variable it reads has gone and
// the current element gives it instead) must not leave the places it found then for the
// names it ran under before: when those come back, it reads the variables it names.
TEST(Caches, AnExpressionCutShortKeepsNoPlacesForTheNamesBefore) {
  Engine e;
  Scene* scene = &e.scene;
  e.engine.RegisterFunction("DROP", [scene](TScriptEngine& engine, TVarList&, TVar&) {
    engine.Vars().RemoveAt(engine.FindVar("A0"));
    engine.Vars().RemoveAt(engine.FindVar("Y"));
    scene->host.SetCurrent(scene->image, "ms_Down");
    return true;
  });
  e.engine.RegisterFunction("UNSET", [scene](TScriptEngine&, TVarList&, TVar&) {
    scene->host.SetCurrent(0, "ms_Down");
    return true;
  });
  e.scene.host.SetCurrent(0, "ms_Down");
  e.scene.host.SetProp(e.scene.image, "Y", ScriptValue::Int(1000));
  // The variables' changes in a call are undone when it returns, its names' stamp with them.
  ASSERT_TRUE(e.Run("PROCEDURE Q(D, OUT); BEGIN IF D = 1 THEN DROP(); OUT := X + Y * Z - 0; UNSET() END;\n"
                    "A0 := 100; X := 1; Y := 2; Z := 3; R1 := 0; R2 := 0; R3 := 0;\n"
                    "Q(0, R1); Q(1, R2); Q(0, R3)"))
      << e.engine.ErrorMessage();
  EXPECT_EQ(e.Var("R1").ToText(), "7");
  EXPECT_EQ(e.Var("R2").ToText(), "3001");  // 1 + 1000 * 3
  EXPECT_EQ(e.Var("R3").ToText(), "7");
}

// Conditions over elements and arithmetic run on Integers once their places are known;
// values of other kinds, results beyond the Integer range and names added meanwhile must
// still get the usual answers.
TEST(Caches, IntegerConditionsGiveTheUsualAnswersWhereTheValuesChange) {
  for (bool parsed : {true, false}) {
    Engine e(parsed);
    ASSERT_TRUE(e.Run("G[1, 1] := 1; G[1, 2] := 2; G[2, 1] := 70000; G[2, 2] := 0; C := 0; D := 0; F := 0; I := 0;\n"
                      "FOR I := 1 TO 6 DO BEGIN\n"
                      "  IF G[1, 2] - G[1, 1] > 0 THEN C := C + 1;\n"
                      "  IF G[2, 1] * G[2, 1] > G[1, 1] THEN D := D + 1;\n"
                      "  IF G[2, 2] - 1 = 0 - 2 THEN F := F + 1;\n"
                      "  IF I = 2 THEN G[1, 2] := 2.5;\n"
                      "  IF I = 3 THEN G[1, 2] := 2;\n"
                      "  IF I = 4 THEN BEGIN G[2, 0] := 5; G[2, 2] := 0 - 1 END\n"
                      "END"))
        << e.engine.ErrorMessage();
    EXPECT_EQ(e.Var("C").ToText(), "6") << parsed;  // 2.5 - 1 is more than 0 too
    EXPECT_EQ(e.Var("D").ToText(), "6") << parsed;  // 70000 * 70000 is past the Integer range
    EXPECT_EQ(e.Var("F").ToText(), "2") << parsed;  // G[2, 2] changed with a name added
    // A condition whose value is an Integer, not a truth, takes the usual steps.
    ASSERT_TRUE(e.Run("G[1, 1] := 1; I := 0; K := 0; FOR I := 1 TO 3 DO IF G[1, 1] - I THEN K := K + 1"));
    EXPECT_EQ(e.Var("K").ToText(), "2") << parsed;
    // Indexes computed beside indexes read, in either place, and conditions that fall back
    // (a Float constant, a prefix operator).
    ASSERT_TRUE(e.Run("H[1, 1] := 1; H[2, 1] := 2; H[1, 2] := 3; H[2, 2] := 4; X := 1; Y := 1; P := 0; Q := 0;\n"
                      "R := 0; T := 0; U := 0; I := 0; XS[1] := 1; XS[2] := 2; XS[3] := 1; XS[4] := 2;\n"
                      "FOR I := 1 TO 4 DO BEGIN\n"
                      "  X := XS[I]; Y := 1; IF I > 2 THEN Y := 2;\n"
                      "  IF H[X, Y] + 1 = H[X + 1 - (X - 1) * 2, Y] THEN P := P + 1;\n"  // the rows swapped
                      "  IF H[X, Y] < H[X, 3 - Y] THEN Q := Q + 1;\n"
                      "  IF H[3 - X, 3 - Y] * 2 > X + Y * 2 THEN R := R + 1;\n"
                      "  IF X + 0 < 1.5 THEN T := T + 1;\n"
                      "  IF -X + 3 = Y THEN U := U + 1\n"
                      "END"))
        << e.engine.ErrorMessage();
    EXPECT_EQ(e.Var("P").ToText(), "2") << parsed;  // H[1, y] + 1 = H[2, y] for both y, not the reverse
    EXPECT_EQ(e.Var("Q").ToText(), "2") << parsed;  // where Y is 1
    EXPECT_EQ(e.Var("R").ToText(), "2") << parsed;  // 8 > 3, 6 > 4, 4 > 5 no, 2 > 6 no
    EXPECT_EQ(e.Var("T").ToText(), "2") << parsed;
    EXPECT_EQ(e.Var("U").ToText(), "2") << parsed;  // (2, 1) and (1, 2)
  }
}

}  // namespace
}  // namespace qx::test
