// The built-ins that follow the common Pascal run-time library, against a table of results
// computed once by FreePascal (tests/data/stdlib/rtl_reference.pas writes it). Every row runs
// the runtime's own code: the arithmetic rows call the script built-ins, the others the
// functions those built-ins are made of.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "script/lib/DateTime.h"
#include "script/lib/TextFunctions.h"
#include "script/lib/scriptfuncs.h"
#include "script/scriptengine.h"

namespace qx {
namespace {

std::vector<std::string> Split(const std::string& line) {
  std::vector<std::string> parts;
  std::stringstream ss(line);
  for (std::string p; std::getline(ss, p, '|');) parts.push_back(p);
  return parts;
}

std::string Text(const std::string& hex) {
  if (hex == "-") return {};
  std::string s;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) s.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return s;
}

double Dbl(const std::string& hex) {
  const uint64_t bits = std::stoull(hex, nullptr, 16);
  double d;
  std::memcpy(&d, &bits, 8);
  return d;
}

std::string Hex(double d) {
  uint64_t bits;
  std::memcpy(&bits, &d, 8);
  char buf[20];
  std::snprintf(buf, sizeof buf, "%016llX", static_cast<unsigned long long>(bits));
  return buf;
}

// Calls a standard built-in as a script does, with its arguments handed over in variables
// so that doubles arrive bit for bit.
class Builtins {
 public:
  Builtins() {
    SetHost(&host_);
    RegisterStandardFunctions(engine_);
  }
  ~Builtins() { SetHost(nullptr); }
  ScriptValue Call(const std::string& name, std::initializer_list<ScriptValue> args) {
    std::string call = name + "(";
    int n = 0;
    for (const ScriptValue& v : args) {
      const std::string var = "ARG" + std::to_string(n);
      const int i = engine_.FindVar(var);
      if (i >= 0) engine_.Vars()[i].Value = v;
      else engine_.Vars().Add(TVar{var, v});
      call += (n++ ? ", " : "") + var;
    }
    call += ")";
    engine_.ResetErrorState();
    TVar result;
    if (!engine_.Evaluate(Tokenise(call), result)) {
      ADD_FAILURE() << call << ": " << engine_.ErrorMessage();
      return ScriptValue::Str("ERR");
    }
    return result.Value;
  }

 private:
  PlainScriptHost host_;
  TScriptEngine engine_;
};

TEST(RtlReference, EveryLineMatches) {
  std::ifstream in(std::string(QX_TEST_DATA_DIR) + "/stdlib/rtl_reference.txt");
  ASSERT_TRUE(in) << "missing reference table";
  std::map<std::string, int> checked;
  Builtins rt;
  const auto real = [](const std::string& hex) { return ScriptValue::Float(Dbl(hex)); };
  for (std::string line; std::getline(in, line);) {
    const auto f = Split(line);
    const std::string& name = f[0];
    const std::string& expect = f.back();
    std::string got;
    if (name == "Copy") got = CopyChars(Text(f[1]), std::stoll(f[2]), std::stoll(f[3]));
    else if (name == "Pos") got = std::to_string(PositionOf(Text(f[1]), Text(f[2])));
    else if (name == "Trim") got = TrimText(Text(f[1]));
    else if (name == "TrimLeft") got = TrimLeftText(Text(f[1]));
    else if (name == "TrimRight") got = TrimRightText(Text(f[1]));
    else if (name == "Round" || name == "Trunc" || name == "Floor" || name == "Ceil") {
      const ScriptValue v = rt.Call(name, {real(f[1])});
      EXPECT_TRUE(v.IsIntegerKind()) << line;
      got = std::to_string(v.ToInt64());
    } else if (name == "Int") {
      // Int answers a 64-bit integer, where the table has a Float: compare the numbers, so a
      // negative zero in the table matches 0.
      const ScriptValue v = rt.Call(name, {real(f[1])});
      EXPECT_TRUE(v.IsIntegerKind()) << line;
      got = static_cast<double>(v.ToInt64()) == Dbl(expect) ? expect : Hex(static_cast<double>(v.ToInt64()));
    } else if (name == "Frac") {
      got = Hex(rt.Call(name, {real(f[1])}).ToDouble());
    } else if (name == "IntPower") {
      got = Hex(rt.Call(name, {real(f[1]), ScriptValue::Int(std::stoi(f[2]))}).ToDouble());
    } else if (name == "IntToStr") {
      got = rt.Call(name, {ScriptValue::Int(std::stoi(f[1]))}).ToText();
    } else if (name == "StrToInt") {
      const auto v = ParseInt32Text(Text(f[1]));
      got = v ? std::to_string(*v) : "ERR";
    } else if (name == "EncodeDate") {
      const auto v = EncodeDate(std::stoi(f[1]), std::stoi(f[2]), std::stoi(f[3]));
      got = v ? Hex(*v) : "ERR";
    } else if (name == "IncMonth") {
      const auto v = IncMonth(Dbl(f[1]), std::stoi(f[2]));
      got = v ? Hex(*v) : "ERR";
    } else if (name == "DayOfWeek") {
      got = std::to_string(DayOfWeek(Dbl(f[1])));
    } else {
      ADD_FAILURE() << "unknown function " << name;
      continue;
    }
    // Strings are compared as hex in the table.
    if (name == "Copy" || name == "Trim" || name == "TrimLeft" || name == "TrimRight") {
      EXPECT_EQ(got, Text(expect)) << line;
    } else if (name == "IntToStr") {
      EXPECT_EQ(got, Text(expect)) << line;
    } else {
      EXPECT_EQ(got, expect) << line;
    }
    ++checked[name];
  }
  EXPECT_EQ(checked.size(), 17u);
  EXPECT_GT(checked["Round"], 300);
}

}  // namespace
}  // namespace qx
