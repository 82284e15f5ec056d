// The static check against the interpreter: every statement conformance case that runs
// without an error gives no finding, and every case stopped by a parse error gives exactly
// the error line the run gives; a table of author mistakes is each found on its line.
#include <gtest/gtest.h>

#include <random>

#include "ConformanceCases.h"
#include "Fixture.h"
#include "authoring/BuiltinCalls.h"
#include "builtins/Builtins.h"
#include "script/ScriptCheck.h"
#include "script/lib/scriptfuncs.h"

namespace qx::test {
namespace {

// Script files come from the cases' folder; nothing is logged.
class CheckHost : public PlainScriptHost {
 public:
  CheckHost() : PlainScriptHost(ConformanceFolder()) { SetHost(this); }
  ~CheckHost() override { SetHost(nullptr); }
  void AppendErrorLog(const std::string& line) override { log.push_back(line); }
  std::vector<std::string> log;
};

// The errors a script's text alone decides: parsing and preparing. (What values decide, such
// as a missing variable, is no finding.)
bool IsParseError(const std::string& message) {
  static const std::string_view kParseMessages[] = {
      "Found ", "Error in expression", "Invalid number: ", "Unknown or invalid operator in expression: ",
      "Invalid function params: ", "Empty string - not expression", "Unterminated string: ", "')' expected",
      "( expected", "] expected", "Invalid operator: ", "ELSE without IF", "Invalid \xD0\xBE\xD1\x80" "erator: ",
      "END expected", "Too many END", "TO or DOWNTO expected", "FOR control variable expected", "DO expected",
      "OF expected", "UNTIL expected", "Too many UNTIL", "Invalid BREAK operator", "Invalid CONTINUE operator",
      "Invalid EXIT operator", "Invalid label in GOTO", "Error in GOTO statement", "Error in CASE statement",
      "Too many ELSEin CASE statement", ": expected", "Range defininition expected", "Invalid procedure name",
      "Duplicate procedure name", "Invalid function call", "Can't open file ", "Invalid filename ",
      "Invalid variable name: $", "Error in expression: "};
  for (std::string_view m : kParseMessages) {
    if (message.rfind(m, 0) == 0) return true;
  }
  return false;
}

// "error CODE: MESSAGE @ TEXT" of a finding, as the cases write a run's error.
std::string FindingLine(const ScriptFinding& f) { return ConformanceErrorLine(f.code, f.message, f.text); }

std::string Findings(const ScriptCheckResult& r) {
  std::string s;
  for (const ScriptFinding& f : r.findings) s += "  line " + std::to_string(f.place.line) + ": " + FindingLine(f) + "\n";
  return s;
}

// With no natives (as the cases run) and with every built-in a game has.
ScriptCheckResult Check(const std::string& script, bool builtins) {
  CheckHost host;
  TScriptEngine engine;
  if (builtins) RegisterBuiltins(engine);
  return CheckScript(engine, script, BuiltinRefusesCount);
}

TEST(ScriptCheck, AgreesWithTheInterpreterOnEveryConformanceCase) {
  const std::vector<ConformanceCase> cases = LoadConformanceCases();
  ASSERT_GT(cases.size(), 100u);
  int parseErrors = 0, clean = 0;
  for (bool builtins : {false, true}) {
    for (const ConformanceCase& c : cases) {
      const ScriptCheckResult r = Check(c.script, builtins);
      const std::string where = c.file + ":" + std::to_string(c.line) + " " + c.name + (builtins ? " [built-ins]" : "");
      const bool fails = !c.expected.empty() && c.expected[0].rfind("error ", 0) == 0;
      if (!fails) {
        ++clean;
        EXPECT_TRUE(r.findings.empty()) << where << " runs without an error, yet the check found:\n" << Findings(r);
        continue;
      }
      const std::string& line = c.expected[0];
      const size_t colon = line.find(": ");
      const std::string message = line.substr(colon + 2, line.find(" @ ") - colon - 2);
      if (!IsParseError(message)) continue;
      ++parseErrors;
      bool found = false;
      for (const ScriptFinding& f : r.findings) found = found || FindingLine(f) == line;
      EXPECT_TRUE(found) << where << " stops on\n  " << line << "\nbut the check found:\n" << Findings(r);
    }
  }
  EXPECT_GT(parseErrors, 100);
  EXPECT_GT(clean, 100);
}

TEST(ScriptCheck, WritesNothingToTheErrorLog) {
  CheckHost host;
  TScriptEngine engine;
  const ScriptCheckResult r = CheckScript(engine, "BEGIN\nX := 'a");
  EXPECT_EQ(r.findings.size(), 1u);
  EXPECT_EQ(host.log.size(), 1u);  // the preparation's own line goes to the host, which decides
}

struct Mistake {
  const char* script;
  int line;
  int code;
  const char* message;
};

// Each script holds one mistake, on the line given; every other line is sound.
TEST(ScriptCheck, FindsEachAuthorMistakeOnItsLine) {
  const Mistake mistakes[] = {
      {"A := 1;\nX = 1;\nB := 2", 2, 1, "Found =, expected :=, (, [ or ;"},
      {"A := 1;\nIF A = 1 THEN\n  X := 'abc", 3, 6, "Unterminated string: 'abc"},
      {"X := 0xFF", 1, 1, "Invalid number: 0XFF"},
      {"A := 1;\n\nX := (1 + 2", 3, 2, "')' expected"},
      {"N := 1;\nCASE N\n  1: A := 1;\nEND", 2, 14, "OF expected"},
      {"// a comment\nOpenTheDoor(1)", 2, 8, "Unknown function: OPENTHEDOOR"},
      {"S := 'abc';\nT := Copy(S, 1)", 2, 7, "Invalid parameters, function COPY"},
      {"S := 'abc';\nT := Copy(S, 1, 2, 3)", 2, 7, "Invalid parameters, function COPY"},
      {"N := Length", 1, 7, "Invalid parameters, function LENGTH"},
      {"PlaySnd('door', 50)", 1, 7, "Invalid parameters, function PLAYSND"},
      {"PROCEDURE P(A, B);\n  X := A;\nP(1)", 3, 7, "Wrong parameters amount, procedure P"},
      {"FUNCTION F(A);\nBEGIN\n  X := A\nEND;\nN := F(1)", 2, 26, "Function must return result : F"},
      {"I := 0;\nWHILE I < 3 DO I := I + 1;\nBREAK", 3, 15, "BREAK outside loop"},
      {"PROCEDURE P();\n  CONTINUE;\nP()", 2, 15, "CONTINUE outside loop"},
      {"GOTO DONE;\nBEGIN\n  DONE: X := 1\nEND", 1, 18, "Label DONE not exist or unreacheble"},
      {"FOR I := 1 TO 3\n  X := I", 1, 14, "DO expected"},
      {"IF TRUE THEN\nBEGIN\n  X := 1;\n  Y := (2\nEND", 4, 2, "')' expected"},
      {"IF FALSE THEN X := 1\nELSE\n  Y := 1 2 3", 3, 1, "Error in expression"},
      {"X := A[1;\n", 1, 21, "] expected"},
      {"X := F(1, 2", 1, 1, "Invalid function params: 1 , 2 "},
      {"BEGIN\n  X := 1", 1, 10, "END expected"},
      {"REPEAT\n  X := 1;\nWHILE X DO", 1, 16, "UNTIL expected"},
      {"X := 1;\nEND", 2, 11, "Too many END"},
      {"USES 'no-such-file.txt'", 1, 25, "Can't open file \"no-such-file.txt\", error code 2"},
  };
  for (const Mistake& m : mistakes) {
    const ScriptCheckResult r = Check(m.script, true);
    ASSERT_EQ(r.findings.size(), 1u) << m.script << "\n" << Findings(r);
    EXPECT_EQ(r.findings[0].place.line, m.line) << m.script;
    EXPECT_EQ(r.findings[0].code, m.code) << m.script;
    EXPECT_EQ(r.findings[0].message, m.message) << m.script;
  }
}

TEST(ScriptCheck, WhatARunAcceptsIsNoFinding) {
  const char* sound[] = {
      "IF TRUE THEN ; X := 1",                       // an empty statement after THEN
      "X := 1 2",                                    // one surplus token after an expression
      "X := GetAlpha(1); MoveTo(1, 2); ProcEf(1)",   // built-ins that ignore a count that does not fit
      "SetScreen(QXDB.A, QXDB.B, QXDB.C); StopMuz(0)",
      "N := 1; CASE N OF 1: A := 1; ELSE A := 2; ELSE A := 3; END",  // a matching branch comes first
      "X := UNKNOWNNAME; Y := QXDB.SCREEN.IMG.rX",   // names resolve when the script runs
      "L: X := 1; IF X < 3 THEN GOTO L",             // a label of an enclosing list
      "PROCEDURE P(); BEGIN FOR I := 1 TO 2 DO BREAK END; P()",
      "FUNCTION F(); IF TRUE THEN RESULT := 1; X := F()",
      "X := Now[",                                   // a function's "[" ends the expression: one surplus token
      "N := F(); FUNCTION F(); RESULT := 2",         // a call of a procedure declared later
      "INCLUDE 'inc_statements.txt'; X := TRIPLE(1); USES 'inc_declarations.txt'",
      "Decode(1, 1, 2)",                            // counts beyond the minimum are the function's own affair
  };
  for (const char* script : sound) {
    const ScriptCheckResult r = Check(script, true);
    EXPECT_TRUE(r.findings.empty()) << script << "\n" << Findings(r);
  }
}

TEST(ScriptCheck, ReportsEveryProblemWithTheLineInItsOwnFile) {
  const ScriptCheckResult r = Check("X := 'a';\nY = 2;\nINCLUDE 'inc_unbalanced.txt';\nZ := Copy(1)", true);
  // The preparation stops at the included file's unbalanced BEGIN; what it read before is checked.
  ASSERT_EQ(r.findings.size(), 2u) << Findings(r);
  EXPECT_EQ(r.findings[0].place.file, "");
  EXPECT_EQ(r.findings[0].place.line, 2);
  EXPECT_EQ(r.findings[0].message, "Found =, expected :=, (, [ or ;");
  EXPECT_EQ(r.findings[1].place.file, "inc_unbalanced.txt");
  EXPECT_EQ(r.findings[1].place.line, 2);
  EXPECT_EQ(r.findings[1].code, 10);

  const ScriptCheckResult all = Check("A = 1;\nB := 'x;\n", true);
  ASSERT_EQ(all.findings.size(), 2u) << Findings(all);
  EXPECT_EQ(all.findings[0].place.line, 1);
  EXPECT_EQ(all.findings[1].place.line, 2);
}

TEST(ScriptCheck, TellsTheCallsAndConstantsItSaw) {
  const ScriptCheckResult r = Check(
      "PROCEDURE P(); PlaySnd('door');\nIMG.imImage := 'pictures\\x.png';\nT := \"Menu.Title\";\nP(); GetText('A.B', N)",
      true);
  ASSERT_EQ(r.calls.size(), 3u);
  EXPECT_EQ(r.calls[0].name, "P");
  EXPECT_EQ(r.calls[0].procedure, "");
  EXPECT_EQ(r.calls[1].name, "GETTEXT");
  ASSERT_EQ(r.calls[1].constants.size(), 2u);
  EXPECT_EQ(r.calls[1].constants[0], "A.B");
  EXPECT_FALSE(r.calls[1].constants[1].has_value());
  EXPECT_EQ(r.calls[2].name, "PLAYSND");
  EXPECT_EQ(r.calls[2].procedure, "P");
  EXPECT_EQ(r.calls[2].place.line, 1);
  ASSERT_EQ(r.assignments.size(), 2u);
  EXPECT_EQ(r.assignments[0].target, "IMG.IMIMAGE");
  EXPECT_EQ(r.assignments[0].value, "pictures\\x.png");
  EXPECT_EQ(r.assignments[0].place.line, 2);
  ASSERT_EQ(r.textKeys.size(), 1u);
  EXPECT_EQ(r.textKeys[0].key, "Menu.Title");
  EXPECT_EQ(r.textKeys[0].place.line, 3);
}


// Straight-line programs (no branch a run could skip: every statement of a program that runs
// without an error has run, a declared procedure's body too when the run called MARK) made of
// sound and broken pieces, run on the test interpreter
// and checked against the same registry: a clean run gives no finding, and a run stopped by
// a parse error gives exactly that error line among the findings.
class ProgramGenerator {
 public:
  explicit ProgramGenerator(uint32_t seed) : rng_(seed) {}

  std::string Next() {
    std::string s;
    // A declared procedure is called first, so that its body has run when the run is clean.
    if (Pick(4) == 0) s += "PROCEDURE P(U); BEGIN MARK(); " + Statements(2) + " END; P(1); ";
    return s + Statements(3);
  }

 private:
  size_t Pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng_); }
  template <size_t N>
  const char* From(const char* const (&v)[N]) { return v[Pick(N)]; }

  std::string Statements(int depth) {
    std::string s;
    const size_t n = 1 + Pick(3);
    for (size_t i = 0; i < n; ++i) s += (i ? (Pick(12) ? "; " : " ") : "") + Statement(depth);
    return s;
  }

  std::string Statement(int depth) {
    static const char* const kTargets[] = {"X", "Y", "N", "A[1]", "S[2]", "X", "Y", "Q", "$", "5", "N[1][2]", "$[2,3]"};
    static const char* const kUntil[] = {"TRUE", "1", "N > 1", "'x", "TRUE 2 3", "(TRUE", "S[1] <> ''"};
    static const char* const kAssign[] = {":=", ":=", ":=", ":=", ":=", ":=", ":=", ":=", "=", ":", "[1] :=", ""};
    switch (depth > 0 ? Pick(10) : Pick(4)) {
      case 0:
      case 1:
      case 9: return std::string(From(kTargets)) + " " + From(kAssign) + " " + Expr(2);
      case 2: return Call(2);
      case 3: return Pick(4) ? "Y := " + Expr(1) : Soup();
      case 4: return "BEGIN " + Statements(depth - 1) + (Pick(8) ? " END" : "");
      // (A condition that may be false could loop for ever: the body runs once.)
      case 5: return "REPEAT " + Statements(depth - 1) + (Pick(8) ? std::string(" UNTIL ") + From(kUntil) : "");
      case 6: return "FOR I := 1 TO 1 " + std::string(Pick(8) ? "DO " : "") + Statement(depth - 1);
      case 7: return "GOTO NOWHERE";  // (a BREAK would skip the rest of a loop body)
      default: return "L" + std::to_string(Pick(3)) + ": " + Statement(depth - 1);
    }
  }

  std::string Call(int depth) {
    static const char* const kNames[] = {"LENGTH", "TIME", "SUM", "INC", "SETFIRST", "NOTHING", "NOSUCH", "FAILING"};
    std::string s = From(kNames);
    if (Pick(5) == 0) return s;
    s += "(";
    const size_t n = Pick(4);
    for (size_t i = 0; i < n; ++i) s += (i ? ", " : "") + Expr(depth - 1);
    if (Pick(10)) s += ")";
    return s;
  }

  std::string Expr(int depth) {
    static const char* const kAtoms[] = {"1", "2.5", "'a'", "S", "N", "FL", "TRUE", "A[1]", "S[1]", "TIME", "1", "2",
                                         "'bc'", "N", "S", "X", "LENGTH", "0xFF", "1E3", "\"KEY\"", "'ab", "$", "A[1", "''"};
    static const char* const kOps[] = {"+", "-", "*", "/", "=", "<>", "<", "AND", "OR", "SHL", "^"};
    if (depth <= 0) return From(kAtoms);
    switch (Pick(8)) {
      case 0:
      case 1: return Expr(depth - 1) + " " + From(kOps) + " " + Expr(depth - 1);
      case 2: return std::string(Pick(2) ? "NOT " : "-") + Expr(depth - 1);
      case 3: return "(" + Expr(depth - 1) + (Pick(8) ? ")" : "");
      case 4: return Call(depth);
      case 5: return Expr(depth - 1) + " " + Expr(0);  // surplus tokens
      default: return From(kAtoms);
    }
  }

  std::string Soup() {
    static const char* const kTokens[] = {"X", ":=", "1", "(", ")", "[", "]", ",", "+", "BEGIN", "END", "IF", "THEN",
                                          "ELSE", "CASE", "OF", ":", "UNTIL", "DO", "'q'", ";"};
    std::string s;
    const size_t n = 1 + Pick(6);
    for (size_t i = 0; i < n; ++i) s += std::string(From(kTokens)) + " ";
    return s;
  }

  std::mt19937 rng_;
};

TEST(ScriptCheck, AgreesWithRunsOfGeneratedPrograms) {
  const CountRefusal refuses = [](std::string_view name, size_t count) {
    if (name == "LENGTH") return count != 1;
    if (name == "TIME") return count != 0;
    if (name == "INC") return count < 1 || count > 2;
    if (name == "SETFIRST") return count < 1;
    return false;
  };
  ProgramGenerator gen(20261208);
  int clean = 0, parse = 0, failures = 0;
  for (int i = 0; i < 10000 && failures < 8; ++i) {
    const std::string program = "I := 0; X := 1; Y := 2; " + gen.Next();
    bool ok = false, marked = false;
    const NativeFunction mark = [&marked](TScriptEngine&, TVarList&, TVar&) { return marked = true; };
    std::string error;
    {
      Scene scene;
      TScriptEngine engine;
      std::vector<std::string> calls;
      SetUpEngine(engine, scene, calls);
      engine.RegisterFunction("Mark", mark);
      const TokenStream prepared = engine.Prepare(program);
      ok = !engine.Failed() && engine.Run(prepared);
      if (!ok) error = ConformanceErrorLine(engine.ErrorCode(), engine.ErrorMessage(), engine.ErrorText());
    }
    Scene scene;
    TScriptEngine engine;
    std::vector<std::string> calls;
    SetUpEngine(engine, scene, calls);
    engine.RegisterFunction("Mark", mark);
    const ScriptCheckResult r = CheckScript(engine, program, refuses);
    // A procedure whose call a broken string swallowed never ran.
    if (ok && program.find("PROCEDURE") != std::string::npos && !marked) continue;
    if (ok) {
      ++clean;
      if (!r.findings.empty()) {
        ++failures;
        ADD_FAILURE() << program << "\nruns without an error, yet the check found:\n" << Findings(r);
      }
      continue;
    }
    const std::string message = error.substr(error.find(": ") + 2);
    if (!IsParseError(message)) continue;
    ++parse;
    bool found = false;
    for (const ScriptFinding& f : r.findings) found = found || FindingLine(f) == error;
    if (!found) {
      ++failures;
      ADD_FAILURE() << program << "\nstops on\n  " << error << "\nbut the check found:\n" << Findings(r);
    }
  }
  EXPECT_GT(clean, 300);
  EXPECT_GT(parse, 4000);
}

}  // namespace
}  // namespace qx::test
