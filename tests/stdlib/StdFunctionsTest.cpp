// The standard built-ins as scripts call them, grouped by family.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>

#include "base/Random.h"
#include "script/lib/DateTime.h"
#include "script/lib/scriptfuncs.h"
#include "script/scriptengine.h"

namespace qx {
namespace {

class StdFunctions : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/qxstdXXXXXX";
    dir_ = mkdtemp(dir);
    host_ = std::make_unique<PlainScriptHost>(dir_);
    SetHost(host_.get());
    RegisterStandardFunctions(engine_);
  }
  void TearDown() override {
    SetHost(nullptr);
    std::filesystem::remove_all(dir_);
  }

  // Evaluates one expression; on failure the value is the recorded error message.
  ScriptValue Eval(const std::string& expression) {
    engine_.ResetErrorState();
    TVar v;
    if (!engine_.Evaluate(Tokenise(expression), v)) return ScriptValue::Str("ERROR: " + engine_.ErrorMessage());
    return v.Value;
  }
  std::string Str(const std::string& expression) { return Eval(expression).ToText(); }
  void Let(const std::string& name, const ScriptValue& v) {
    const int i = engine_.FindVar(name);
    if (i >= 0) engine_.Vars()[i].Value = v;
    else engine_.Vars().Add(TVar{name, v});
  }
  ScriptValue Var(const std::string& name) { return engine_.Vars()[engine_.FindVar(name)].Value; }

  TScriptEngine engine_;
  std::string dir_;
  std::unique_ptr<PlainScriptHost> host_;
};

TEST_F(StdFunctions, Strings) {
  EXPECT_EQ(Str("Copy('abcdef', 2, 3)"), "bcd");
  EXPECT_EQ(Str("Copy('abc', 5, 1)"), "");
  EXPECT_EQ(Str("Copy('abcdef', 2.9, 2.9)"), "bc");  // truncated
  EXPECT_EQ(Eval("Poss('c', 'abcabc')").IntValue(), 3);
  EXPECT_EQ(Eval("Poss('x', 'abc')").IntValue(), 0);
  EXPECT_EQ(Eval("Length(12345)").IntValue(), 5);
  EXPECT_EQ(Eval("LENGTH('')").IntValue(), 0);
  EXPECT_EQ(Str("Trim('  a b  ')"), "a b");
  EXPECT_EQ(Str("TrimLeft('  a ')"), "a ");
  EXPECT_EQ(Str("UpperCase('abc\xE0\xFF')"), "ABC\xC0\xDF");
  EXPECT_EQ(Str("LowerCase('ABC\xC0\xDF')"), "abc\xE0\xFF");
  EXPECT_EQ(Str("Char(65)"), "A");
  EXPECT_EQ(Str("Char(321)"), "A");  // modulo 256
}

TEST_F(StdFunctions, InsertAndDeleteChangeTheirVariable) {
  Let("S", ScriptValue::Str("abcdef"));
  EXPECT_EQ(Str("Delete(S, 2, 9)"), "adef");  // removes Index characters
  EXPECT_EQ(Var("S").StrValue(), "adef");
  Let("S", ScriptValue::Str("abc"));
  EXPECT_EQ(Str("Insert('X', S, 2)"), "aXbc");
  EXPECT_EQ(Var("S").StrValue(), "aXbc");
  EXPECT_EQ(Str("Insert('Z', S, 99)"), "aXbcZ");
  EXPECT_EQ(Str("Insert('Y', S, -3)"), "YaXbcZ");
  EXPECT_EQ(Str("Delete(S, 0, 1)"), "YaXbcZ");
  EXPECT_EQ(Str("Insert('X', 'abc', 2)"), "ERROR: Invalid parameters, function INSERT");  // not a variable
}

TEST_F(StdFunctions, NumbersAndConversions) {
  EXPECT_EQ(Str("FloatToStr(0.5)"), "0.5");
  EXPECT_EQ(Str("FloatToStr(100)"), "100");
  EXPECT_EQ(Str("IntToStr(2.7)"), "3");
  EXPECT_EQ(Eval("StrToInt('12')"), ScriptValue::Int(12));
  EXPECT_EQ(Str("StrToInt('1.5')"), "ERROR: Invalid parameters, function STRTOINT : '1.5' is not a valid integer value");
  EXPECT_EQ(Str("StrToInt('abc')"), "ERROR: Invalid parameters, function STRTOINT : 'abc' is not a valid integer value");
  EXPECT_EQ(Eval("StrToFloat(' 1.25 ')"), ScriptValue::Float(1.25));
  EXPECT_EQ(Str("StrToFloat('1,5')"), "ERROR: Invalid parameters, function STRTOFLOAT");
  EXPECT_EQ(Eval("Round(-2.5)"), ScriptValue::Int(-2));
  EXPECT_EQ(Eval("Round(3.5)"), ScriptValue::Int(4));
  EXPECT_EQ(Eval("Trunc(-2.7)"), ScriptValue::Int(-2));
  EXPECT_EQ(Eval("Floor(-2.2)"), ScriptValue::Int(-3));
  EXPECT_EQ(Eval("Ceil(2.2)"), ScriptValue::Int(3));
  EXPECT_EQ(Eval("Round(10000000000.4)"), ScriptValue::Int64(10000000000));  // beyond 32 bits
  EXPECT_EQ(Eval("Int(-7.9)"), ScriptValue::Int64(-7));
  EXPECT_EQ(Eval("Frac(-1.25)"), ScriptValue::Float(-0.25));
  EXPECT_EQ(Eval("Abs(-3)"), ScriptValue::Float(3));
  EXPECT_EQ(Eval("Sqr(3)"), ScriptValue::Float(9));
  EXPECT_EQ(Eval("IntPower(2, -2)"), ScriptValue::Float(0.25));
  EXPECT_EQ(Eval("Mod(-7, 3)"), ScriptValue::Int(-1));
  EXPECT_EQ(Str("Mod(7, 0)"), "ERROR: Invalid parameters, function MOD : Division by zero");
  EXPECT_EQ(Str("Ln(0)"), "ERROR: Invalid parameters, function LN : Invalid floating point operation");
  EXPECT_EQ(Str("Sqrt(-1)"), "ERROR: Invalid parameters, function SQRT : Invalid floating point operation");
  EXPECT_NEAR(Eval("ArcTan(1) * 4").FloatValue(), M_PI, 1e-6);
}

TEST_F(StdFunctions, ValReadsWithAPosition) {
  Let("V", ScriptValue());
  Let("C", ScriptValue());
  Eval("Val('12.5', V, C)");
  EXPECT_EQ(Var("V"), ScriptValue::Float(12.5));
  EXPECT_EQ(Var("C"), ScriptValue::Int(0));
  Eval("Val('12a', V, C)");
  EXPECT_EQ(Var("C"), ScriptValue::Int(3));
  Eval("Val('', V, C)");
  EXPECT_EQ(Var("C"), ScriptValue::Int(1));
  EXPECT_EQ(Str("Val('1', 5, C)"), "ERROR: Invalid parameters, function VAL");
}

TEST_F(StdFunctions, MinMaxDemandOneKind) {
  EXPECT_EQ(Eval("Min(3, 1, 2)"), ScriptValue::Int(1));
  EXPECT_EQ(Str("Max(1, 2.5)"), "ERROR: Invalid parameters, function MAX");
  EXPECT_EQ(Eval("Max('b', 'a')"), ScriptValue::Str("b"));
  EXPECT_EQ(Eval("Max(1.5, 2.5, -1.0)"), ScriptValue::Float(2.5));
  EXPECT_EQ(Eval("Min(7)"), ScriptValue::Int(7));
}

TEST_F(StdFunctions, IncDecAndVariablesByName) {
  Let("X", ScriptValue::Int(5));
  Eval("Inc(X)");
  EXPECT_EQ(Var("X"), ScriptValue::Int(6));
  Eval("Inc(X, 10)");
  EXPECT_EQ(Var("X"), ScriptValue::Int(16));
  Eval("Dec(X, 6)");
  EXPECT_EQ(Var("X"), ScriptValue::Int(10));
  EXPECT_EQ(Str("Inc(X + 1)"), "");  // not a variable: nothing changes, no error
  EXPECT_EQ(engine_.ErrorCode(), 0);
  EXPECT_EQ(Var("X"), ScriptValue::Int(10));
  Let("T", ScriptValue::Str("ab"));
  Eval("Inc(T, 'c')");
  EXPECT_EQ(Var("T"), ScriptValue::Str("abc"));
  EXPECT_EQ(Str("SetVar('Q', 1)"), "ERROR: Invalid parameters, function SETVAR");
  Let("Q", ScriptValue::Int(0));
  Eval("SetVar('q', 1)");
  EXPECT_EQ(Eval("GetVar('q')"), ScriptValue::Int(1));
  EXPECT_EQ(Str("GetVar('nothing')"), "ERROR: Invalid parameters, function GETVAR");
}

TEST_F(StdFunctions, Decode) {
  EXPECT_EQ(Str("Decode(2, 1, 'one', 2, 'two', 'other')"), "two");
  EXPECT_EQ(Str("Decode(9, 1, 'one', 'other')"), "other");
  EXPECT_EQ(Str("Decode(9, 1, 'one')"), "ERROR: Invalid parameters, function DECODE");
  EXPECT_EQ(Str("Decode('a', 'b', 1, 'a', 2)"), "2");
}

TEST_F(StdFunctions, Format) {
  EXPECT_EQ(Str("Format('%d items', 2.7)"), "2 items");
  EXPECT_EQ(Str("Format('a%sb%s', 'X')"), "aXb");
  EXPECT_EQ(Str("Format('%5.1f%%', 12.34)"), " 12.3%%");  // "%%" at the end is an unfinished specifier
  EXPECT_EQ(Str("Format('x')"), "ERROR: Invalid parameters, function FORMAT");
  EXPECT_EQ(Str("Format('%n', 1)"),
            "ERROR: Invalid parameters, function FORMAT : Format '%n' invalid or incompatible with argument");
}

TEST_F(StdFunctions, DatesAndTimes) {
  EXPECT_EQ(Eval("YearDays(EncodeDate(2000, 3, 1))"), ScriptValue::Word(366));
  EXPECT_EQ(Eval("YearFrac(EncodeDate(2001, 1, 1), EncodeDate(2001, 7, 1))"), ScriptValue::Float(181.0 / 365));
  EXPECT_EQ(Eval("DayOfWeek(EncodeDate(2026, 12, 6))"), ScriptValue::Word(1));  // Sunday
  EXPECT_EQ(Str("DateToStr(EncodeDate(2026, 12, 7))"), "07.12.2026");
  EXPECT_EQ(Str("TimeToStr(EncodeTime(9, 5, 0, 0))"), "09:05:00");
  EXPECT_EQ(Str("FormatDateTime('yyyy/mm/dd', IncMonth(EncodeDate(2001, 1, 31), 1))"), "2001.02.28");
  EXPECT_EQ(Str("FormatDateTime('h am/pm', EncodeTime(19, 5, 0, 0))"), "7 pm");
  EXPECT_EQ(Eval("EncodeDate(2001, 2, 3)").Kind(), ValueKind::DateTime);
  EXPECT_EQ(Str("EncodeDate(2001, 2, 29)"),
            "ERROR: Invalid parameters, function ENCODEDATE : Invalid argument to date encode");
  EXPECT_EQ(Str("EncodeTime(25, 0, 0, 0)"),
            "ERROR: Invalid parameters, function ENCODETIME : Invalid argument to time encode");
  EXPECT_EQ(Str("StrToDate('31.02.2000')"),
            "ERROR: Invalid parameters, function STRTODATE : '31.02.2000' is not a valid date");
  EXPECT_EQ(Str("StrToTime('x')"), "ERROR: Invalid parameters, function STRTOTIME : 'x' is not a valid time");
  EXPECT_EQ(Eval("StrToDate('07.12.2026')"), Eval("EncodeDate(2026, 12, 7)"));
  Let("Y", ScriptValue());
  Let("M", ScriptValue());
  Let("D", ScriptValue());
  Eval("DecodeDate(EncodeDate(1999, 8, 21), Y, M, D)");
  EXPECT_EQ(Var("Y"), ScriptValue::Word(1999));
  EXPECT_EQ(Var("D"), ScriptValue::Word(21));
  Let("MS", ScriptValue());
  Let("H", ScriptValue());
  Let("S", ScriptValue());
  Eval("DecodeTime(EncodeTime(13, 14, 15, 16), H, M, S, MS)");
  EXPECT_EQ(Var("H"), ScriptValue::Word(13));
  EXPECT_EQ(Var("MS"), ScriptValue::Word(16));
  const double now = Eval("Now").FloatValue();
  EXPECT_NEAR(now, NowLocal(), 1.0 / 86400 * 5);
  EXPECT_EQ(Eval("Date").FloatValue(), std::trunc(now));
  EXPECT_LT(Eval("Time").FloatValue(), 1.0);
}

TEST_F(StdFunctions, RandomUsesTheSeededGenerator) {
  EXPECT_EQ(Eval("Random(1)"), ScriptValue::Int(0));
  SeedRandom(7);
  std::vector<int> first;
  for (int i = 0; i < 20; ++i) first.push_back(Eval("Random(100)").IntValue());
  SeedRandom(7);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(Eval("Random(100)").IntValue(), first[i]);
  for (int v : first) {
    EXPECT_GE(v, 0);
    EXPECT_LT(v, 100);
  }
}

TEST_F(StdFunctions, WrongArgumentCountsFail) {
  for (const char* call : {"Copy('a', 1)", "Trim()", "Length(1, 2)", "Now(1)", "Mod(1)", "Decode(1, 2)", "Random()"}) {
    EXPECT_EQ(Str(call).rfind("ERROR: Invalid parameters, function ", 0), 0u) << call;
  }
  EXPECT_EQ(engine_.Funcs().Count(), 60);
}

}  // namespace
}  // namespace qx
