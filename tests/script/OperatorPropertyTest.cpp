// Integer, Float and String operator results through Evaluate must agree with a plain
// reference computed here, for many random operand pairs (and the prefix operators).
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <optional>
#include <random>

#include "Fixture.h"

namespace qx::test {
namespace {

// An operand and what the reference knows about it: its number, when it reads as one.
struct Operand {
  ScriptValue value;
  std::optional<double> number;
};

class Operands {
 public:
  explicit Operands(uint32_t seed) : rng_(seed) {}

  Operand Next() {
    switch (Pick(3)) {
      case 0: return Int();
      case 1: return Float();
      default: return Str();
    }
  }

 private:
  int64_t Range(int64_t lo, int64_t hi) { return std::uniform_int_distribution<int64_t>(lo, hi)(rng_); }
  size_t Pick(size_t n) { return static_cast<size_t>(Range(0, static_cast<int64_t>(n) - 1)); }

  int32_t RandomInt() {
    static const int32_t edges[] = {INT32_MIN, INT32_MAX, 0, -1, 1, 46341, 65536, 31, 32, 33, -32};
    switch (Pick(3)) {
      case 0: return static_cast<int32_t>(Range(-100, 100));
      case 1: return edges[Pick(std::size(edges))];
      default: return static_cast<int32_t>(Range(INT32_MIN, INT32_MAX));
    }
  }
  Operand Int() {
    const int32_t v = RandomInt();
    return {ScriptValue::Int(v), v};
  }
  Operand Float() {
    double v = 0;
    switch (Pick(4)) {
      case 0: v = static_cast<double>(Range(-4000, 4000)) / 4; break;  // halves and quarters
      case 1: v = std::uniform_real_distribution<double>(-1e6, 1e6)(rng_); break;
      case 2: v = Pick(2) ? 1e300 : -3e9; break;
      default: v = static_cast<double>(Range(-3, 3)); break;
    }
    return {ScriptValue::Float(v), v};
  }
  Operand Str() {
    static const char* words[] = {"abc", "", "1e3", "12a", "-", "Zz", "\xE0\xC0", "a b", "TRUE"};
    switch (Pick(4)) {
      case 0: {
        const int32_t v = RandomInt();
        return {ScriptValue::Str(std::to_string(v)), v};
      }
      case 1: {
        const double v = static_cast<double>(Range(-400, 400)) / 4;
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.2f", v);
        return {ScriptValue::Str(buf), v};
      }
      case 2: {
        const int32_t v = static_cast<int32_t>(Range(-50, 50));
        return {ScriptValue::Str(" " + std::to_string(v) + " "), v};
      }
      default: return {ScriptValue::Str(words[Pick(std::size(words))]), std::nullopt};
    }
  }

  std::mt19937 rng_;
};

bool IsInt(const Operand& o) { return o.value.Kind() == ValueKind::Integer; }
bool IsStr(const Operand& o) { return o.value.Kind() == ValueKind::String; }

std::optional<ScriptValue> FloatOrError(double r) {
  if (!std::isfinite(r)) return std::nullopt;
  return ScriptValue::Float(r);
}

// The plain reference: nullopt means an operand error.
std::optional<ScriptValue> Reference(const std::string& op, const Operand& a, const Operand& b) {
  const bool bothInt = IsInt(a) && IsInt(b);
  if (op == "=" || op == "<>" || op == "<" || op == ">" || op == "<=" || op == ">=") {
    int order = 0;
    if (IsStr(a) && IsStr(b)) {
      const std::string& x = a.value.StrValue();
      const std::string& y = b.value.StrValue();
      const int c = std::memcmp(x.data(), y.data(), std::min(x.size(), y.size()));
      order = c != 0 ? c : (x.size() < y.size() ? -1 : x.size() > y.size() ? 1 : 0);
    } else {
      if (!a.number || !b.number) return std::nullopt;
      order = *a.number < *b.number ? -1 : *a.number > *b.number ? 1 : 0;
    }
    const bool r = op == "=" ? order == 0 : op == "<>" ? order != 0 : op == "<" ? order < 0 : op == ">" ? order > 0
                   : op == "<=" ? order <= 0 : order >= 0;
    return ScriptValue::Bool(r);
  }
  if (op == "+" && IsStr(a) && IsStr(b)) return ScriptValue::Str(a.value.StrValue() + b.value.StrValue());
  if (!a.number || !b.number) return std::nullopt;
  const double x = *a.number, y = *b.number;
  if (op == "^") {
    if (std::fabs(x) > FLT_MAX || std::fabs(y) > FLT_MAX) return std::nullopt;
    return FloatOrError(std::pow(static_cast<float>(x), static_cast<float>(y)));
  }
  if (op == "/") return y == 0 ? std::nullopt : FloatOrError(x / y);
  if (op == "+" || op == "-" || op == "*") {
    if (bothInt) {
      const auto p = static_cast<int64_t>(x), q = static_cast<int64_t>(y);
      const int64_t r = op == "+" ? p + q : op == "-" ? p - q : p * q;
      if (r >= INT32_MIN && r <= INT32_MAX) return ScriptValue::Int(static_cast<int32_t>(r));
      return ScriptValue::Float(static_cast<double>(r));
    }
    return FloatOrError(op == "+" ? x + y : op == "-" ? x - y : x * y);
  }
  // AND, OR, XOR, SHL, SHR on the numbers rounded half to even.
  const double rx = std::nearbyint(x), ry = std::nearbyint(y);
  if (std::fabs(rx) >= 9.2e18 || std::fabs(ry) >= 9.2e18) return std::nullopt;
  const auto p = static_cast<int64_t>(rx), q = static_cast<int64_t>(ry);
  const bool narrow = p >= INT32_MIN && p <= INT32_MAX && q >= INT32_MIN && q <= INT32_MAX;
  if (narrow) {
    const auto u = static_cast<uint32_t>(p);
    const auto c = static_cast<uint32_t>(q) % 32;
    const uint32_t r = op == "AND" ? u & static_cast<uint32_t>(q) : op == "OR" ? u | static_cast<uint32_t>(q)
                       : op == "XOR" ? u ^ static_cast<uint32_t>(q) : op == "SHL" ? u << c : u >> c;
    return ScriptValue::Int(static_cast<int32_t>(r));
  }
  const auto u = static_cast<uint64_t>(p);
  const auto c = static_cast<uint64_t>(q) % 64;
  const uint64_t r = op == "AND" ? u & static_cast<uint64_t>(q) : op == "OR" ? u | static_cast<uint64_t>(q)
                     : op == "XOR" ? u ^ static_cast<uint64_t>(q) : op == "SHL" ? u << c : u >> c;
  return ScriptValue::Int64(static_cast<int64_t>(r));
}

std::string Show(const std::optional<ScriptValue>& v) { return v ? Describe(*v) : "operand error"; }

TEST(OperatorProperties, BinaryOperatorsMatchTheReference) {
  const char* ops[] = {"+", "-", "*", "/", "^", "=", "<>", "<", ">", "<=", ">=", "AND", "OR", "XOR", "SHL", "SHR"};
  Scene scene;
  TScriptEngine cached, direct;
  direct.SetExpressionCache(false);
  for (TScriptEngine* e : {&cached, &direct}) {
    SetVar(*e, "L", ScriptValue());
    SetVar(*e, "R", ScriptValue());
  }
  Operands gen(4242);
  int mismatches = 0;
  for (int i = 0; i < 40000 && mismatches < 20; ++i) {
    const std::string op = ops[i % std::size(ops)];
    const Operand a = gen.Next(), b = gen.Next();
    TScriptEngine& e = i % 4 == 0 ? direct : cached;
    e.ResetErrorState();
    e.SetVarValue("L", a.value);
    e.SetVarValue("R", b.value);
    TVar v;
    const bool ok = e.Evaluate(Tokenise("L " + op + " R"), v);
    const std::optional<ScriptValue> got = ok ? std::optional<ScriptValue>(v.Value) : std::nullopt;
    const std::optional<ScriptValue> want = Reference(op, a, b);
    if (!ok) {
      EXPECT_EQ(e.ErrorCode(), 5);
      EXPECT_EQ(e.ErrorMessage(), "Invalid operand types for \"" + op + "\"");
    }
    if (Show(got) != Show(want)) {
      ++mismatches;
      ADD_FAILURE() << Describe(a.value) << " " << op << " " << Describe(b.value) << ": got " << Show(got)
                    << ", want " << Show(want);
    }
  }
}

TEST(OperatorProperties, PrefixOperatorsMatchTheReference) {
  Scene scene;
  TScriptEngine e;
  SetVar(e, "L", ScriptValue());
  Operands gen(99);
  for (int i = 0; i < 5000; ++i) {
    const Operand a = gen.Next();
    if (IsStr(a)) continue;
    const double x = *a.number;
    std::optional<ScriptValue> neg, inv;
    if (IsInt(a)) {
      neg = x == INT32_MIN ? ScriptValue::Float(-x) : ScriptValue::Int(static_cast<int32_t>(-x));
      inv = ScriptValue::Int(~static_cast<int32_t>(x));
    } else {
      neg = ScriptValue::Float(-x);
      const double r = std::nearbyint(x);
      if (std::fabs(r) < 9.2e18) {
        const auto n = static_cast<int64_t>(r);
        inv = n >= INT32_MIN && n <= INT32_MAX ? ScriptValue::Int(~static_cast<int32_t>(n)) : ScriptValue::Int64(~n);
      }
    }
    for (const auto& [text, want] : {std::pair{"-L", neg}, std::pair{"NOT L", inv}, std::pair{"+L", std::optional(a.value)}}) {
      e.ResetErrorState();
      e.SetVarValue("L", a.value);
      TVar v;
      const bool ok = e.Evaluate(Tokenise(text), v);
      EXPECT_EQ(Show(ok ? std::optional(v.Value) : std::nullopt), Show(want)) << text << " with " << Describe(a.value);
    }
  }
}

}  // namespace
}  // namespace qx::test
