// The standard built-ins: conversions, strings, dates and times, arithmetic, variables by
// name, Decode, Mod and Random. Each checks its arguments itself (a wrong count answers
// false); errors inside raise ScriptError, whose message the interpreter logs after the
// function's name.
#include <cmath>
#include <random>

#include "base/Random.h"
#include "script/lib/DateTime.h"
#include "script/lib/TextFunctions.h"
#include "script/lib/scriptfuncs.h"
#include "script/scriptengine.h"

namespace qx {
namespace {

using Params = TVarList;

// A parameter written as a bare script variable: only those receive values back.
bool IsVar(const Params& p, int i) { return p[i].Name == "VAR"; }

std::string Text(const Params& p, int i) { return p[i].Value.ToText(); }
double Number(const Params& p, int i) { return p[i].Value.ToDouble(); }
// Rounded to the nearest integer (halves to even).
int32_t Integer(const Params& p, int i) { return p[i].Value.ToInt32(); }

// Converted to a number and cut toward zero.
int64_t Truncated(const Params& p, int i) {
  const double d = Number(p, i);
  if (!std::isfinite(d) || std::fabs(d) >= 9.2e18) throw ScriptError("Invalid floating point operation");
  return static_cast<int64_t>(std::trunc(d));
}

int32_t Truncated32(const Params& p, int i) {
  const int64_t v = Truncated(p, i);
  if (v < INT32_MIN || v > INT32_MAX) throw ScriptError("Range check error");
  return static_cast<int32_t>(v);
}

// An integer result: 32 bits when it fits, else 64.
ScriptValue IntegerResult(double v) {
  if (!std::isfinite(v) || std::fabs(v) >= 9.2e18) throw ScriptError("Invalid floating point operation");
  if (v >= INT32_MIN && v <= INT32_MAX) return ScriptValue::Int(static_cast<int32_t>(v));
  return ScriptValue::Int64(static_cast<int64_t>(v));
}

ScriptValue FloatResult(double v) {
  if (!std::isfinite(v)) throw ScriptError("Invalid floating point operation");
  return ScriptValue::Float(v);
}

double DateArg(const Params& p, int i) { return Number(p, i); }

ScriptValue DateResult(std::optional<double> v, const char* error) {
  if (!v) throw ScriptError(error);
  return ScriptValue::DateTime(*v);
}

// Repeated squaring, so results match the usual run-time library bit for bit.
double IntPower(double base, int64_t exponent) {
  double result = 1.0, b = base;
  uint64_t e = exponent < 0 ? -static_cast<uint64_t>(exponent) : static_cast<uint64_t>(exponent);
  while (e > 0) {
    if (e & 1) result *= b;
    b *= b;
    e >>= 1;
  }
  return exponent < 0 ? 1.0 / result : result;
}

// Val's reading of a number: blanks, sign, digits, point, digits, exponent. The position
// of the first character that does not belong (1-based), or 0 when all of it was read.
size_t ReadValNumber(const std::string& s, double& value) {
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  const size_t start = i;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  size_t digits = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  }
  if (digits > 0 && i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    const size_t expStart = j;
    while (j < s.size() && s[j] >= '0' && s[j] <= '9') ++j;
    if (j > expStart) i = j;
  }
  if (digits == 0) {
    value = 0;
    return (i < s.size() ? i : s.size()) + 1;
  }
  value = std::strtod(s.substr(start, i - start).c_str(), nullptr);
  if (i < s.size()) {
    value = 0;
    return i + 1;
  }
  return 0;
}

bool SameKindForMinMax(const Params& p) {
  for (int i = 1; i < p.Count(); ++i) {
    if (p[i].Value.Kind() != p[0].Value.Kind()) return false;
  }
  return true;
}

bool MinMax(Params& p, TVar& r, bool wantMax) {
  if (p.Count() < 1 || !SameKindForMinMax(p)) return false;
  int best = 0;
  for (int i = 1; i < p.Count(); ++i) {
    int order = 0;
    if (!CompareValues(p[i].Value, p[best].Value, order) || order == kUnordered) return false;
    if (wantMax ? order > 0 : order < 0) best = i;
  }
  r.Value = p[best].Value;
  return true;
}

bool Step(Params& p, int op) {
  if (p.Count() < 1 || p.Count() > 2) return false;
  if (!IsVar(p, 0)) return true;  // nothing to change, and no error
  const ScriptValue step = p.Count() == 2 ? p[1].Value : ScriptValue::Int(1);
  ScriptValue result;
  if (!ApplyBinary(op, p[0].Value, step, result)) return false;
  p[0].Value = result;
  return true;
}

void Register(TScriptEngine& e) {
  auto add = [&e](const char* name, NativeFunction f) { e.RegisterFunction(name, std::move(f)); };

  // --- conversions and strings -------------------------------------------------------
  add("Val", [](TScriptEngine&, Params& p, TVar&) {
    if (p.Count() != 3 || !IsVar(p, 1) || !IsVar(p, 2)) return false;
    double value = 0;
    const size_t code = ReadValNumber(Text(p, 0), value);
    p[1].Value = ScriptValue::Float(value);
    p[2].Value = ScriptValue::Int(static_cast<int32_t>(code));
    return true;
  });
  add("Char", [](TScriptEngine&, Params& p, TVar& r) {
    if (p.Count() != 1) return false;
    r.Value = ScriptValue::Str(std::string(1, static_cast<char>(Integer(p, 0) & 0xFF)));
    return true;
  });
  add("IntToStr", [](TScriptEngine&, Params& p, TVar& r) {
    if (p.Count() != 1) return false;
    r.Value = ScriptValue::Str(std::to_string(p[0].Value.ToInt64()));
    return true;
  });
  add("StrToInt", [](TScriptEngine&, Params& p, TVar& r) {
    if (p.Count() != 1) return false;
    const std::string text = Text(p, 0);
    const std::optional<int32_t> v = ParseInt32Text(text);
    if (!v) throw ScriptError("'" + text + "' is not a valid integer value");
    r.Value = ScriptValue::Int(*v);
    return true;
  });
  add("FloatToStr", [](TScriptEngine&, Params& p, TVar& r) {
    if (p.Count() != 1) return false;
    r.Value = ScriptValue::Str(FloatToStrFixed(Number(p, 0)));
    return true;
  });
  add("StrToFloat", [](TScriptEngine&, Params& p, TVar& r) {
    if (p.Count() != 1) return false;
    double d = 0;
    bool isInt = false;
    int64_t n = 0;
    if (!ParseDecimal(Text(p, 0), d, isInt, n)) return false;
    r.Value = ScriptValue::Float(d);
    return true;
  });
  add("Copy", [](TScriptEngine&, Params& p, TVar& r) {
    if (p.Count() != 3) return false;
    r.Value = ScriptValue::Str(CopyChars(Text(p, 0), Truncated(p, 1), Truncated(p, 2)));
    return true;
  });
  add("Poss", [](TScriptEngine&, Params& p, TVar& r) {
    if (p.Count() != 2) return false;
    r.Value = ScriptValue::Int(PositionOf(Text(p, 0), Text(p, 1)));
    return true;
  });
  add("Length", [](TScriptEngine&, Params& p, TVar& r) {
    if (p.Count() != 1) return false;
    r.Value = ScriptValue::Int(static_cast<int32_t>(Text(p, 0).size()));
    return true;
  });
  add("Insert", [](TScriptEngine&, Params& p, TVar& r) {
    if (p.Count() != 3 || !IsVar(p, 1)) return false;
    std::string s = Text(p, 1);
    const int64_t index = Truncated(p, 2);
    const size_t at = index < 1 ? 0 : std::min<size_t>(static_cast<size_t>(index - 1), s.size());
    s.insert(at, Text(p, 0));
    p[1].Value = ScriptValue::Str(s);
    r.Value = ScriptValue::Str(s);
    return true;
  });
  add("Delete", [](TScriptEngine&, Params& p, TVar& r) {
    if (p.Count() != 3 || !IsVar(p, 0)) return false;
    std::string s = Text(p, 0);
    // The count removed is the index again; the third argument is required but not used.
    const int64_t index = Truncated(p, 1);
    if (index >= 1 && index <= static_cast<int64_t>(s.size())) {
      s.erase(static_cast<size_t>(index - 1), static_cast<size_t>(index));
    }
    p[0].Value = ScriptValue::Str(s);
    r.Value = ScriptValue::Str(s);
    return true;
  });
  add("Trim", [](TScriptEngine&, Params& p, TVar& r) {
    if (p.Count() != 1) return false;
    r.Value = ScriptValue::Str(TrimText(Text(p, 0)));
    return true;
  });
  add("TrimLeft", [](TScriptEngine&, Params& p, TVar& r) {
    if (p.Count() != 1) return false;
    r.Value = ScriptValue::Str(TrimLeftText(Text(p, 0)));
    return true;
  });
  add("TrimRight", [](TScriptEngine&, Params& p, TVar& r) {
    if (p.Count() != 1) return false;
    r.Value = ScriptValue::Str(TrimRightText(Text(p, 0)));
    return true;
  });
  add("UpperCase", [](TScriptEngine&, Params& p, TVar& r) {
    if (p.Count() != 1) return false;
    r.Value = ScriptValue::Str(Upper1251(Text(p, 0)));
    return true;
  });
  add("LowerCase", [](TScriptEngine&, Params& p, TVar& r) {
    if (p.Count() != 1) return false;
    r.Value = ScriptValue::Str(Lower1251(Text(p, 0)));
    return true;
  });
  add("Format", [](TScriptEngine&, Params& p, TVar& r) {
    if (p.Count() < 2) return false;
    std::vector<ScriptValue> values;
    for (int i = 1; i < p.Count(); ++i) values.push_back(p[i].Value);
    std::string out, error;
    if (!FormatText(Text(p, 0), values, out, error)) throw ScriptError(error);
    r.Value = ScriptValue::Str(std::move(out));
    return true;
  });

  // --- dates and times -----------------------------------------------------------------
  add("Now", [](TScriptEngine&, Params& p, TVar& r) {
    if (p.Count() != 0) return false;
    r.Value = ScriptValue::DateTime(NowLocal());
    return true;
  });
  add("Date", [](TScriptEngine&, Params& p, TVar& r) {
    if (p.Count() != 0) return false;
    r.Value = ScriptValue::DateTime(std::trunc(NowLocal()));
    return true;
  });
  add("Time", [](TScriptEngine&, Params& p, TVar& r) {
    if (p.Count() != 0) return false;
    const double now = NowLocal();
    r.Value = ScriptValue::DateTime(now - std::trunc(now));
    return true;
  });
  add("DateToStr", [](TScriptEngine&, Params& p, TVar& r) {
    if (p.Count() != 1) return false;
    r.Value = ScriptValue::Str(DateToStr(DateArg(p, 0)));
    return true;
  });
  add("StrToDate", [](TScriptEngine&, Params& p, TVar& r) {
    if (p.Count() != 1) return false;
    const std::string text = Text(p, 0);
    r.Value = DateResult(StrToDate(text), ("'" + text + "' is not a valid date").c_str());
    return true;
  });
  add("TimeToStr", [](TScriptEngine&, Params& p, TVar& r) {
    if (p.Count() != 1) return false;
    r.Value = ScriptValue::Str(TimeToStr(DateArg(p, 0)));
    return true;
  });
  add("StrToTime", [](TScriptEngine&, Params& p, TVar& r) {
    if (p.Count() != 1) return false;
    const std::string text = Text(p, 0);
    r.Value = DateResult(StrToTime(text), ("'" + text + "' is not a valid time").c_str());
    return true;
  });
  add("FormatDateTime", [](TScriptEngine&, Params& p, TVar& r) {
    if (p.Count() != 2) return false;
    r.Value = ScriptValue::Str(FormatDateTime(Text(p, 0), DateArg(p, 1)));
    return true;
  });
  add("DayOfWeek", [](TScriptEngine&, Params& p, TVar& r) {
    if (p.Count() != 1) return false;
    r.Value = ScriptValue::Word(static_cast<uint16_t>(DayOfWeek(DateArg(p, 0))));
    return true;
  });
  add("IncMonth", [](TScriptEngine&, Params& p, TVar& r) {
    if (p.Count() != 2) return false;
    r.Value = DateResult(IncMonth(DateArg(p, 0), Truncated32(p, 1)), "Invalid argument to date encode");
    return true;
  });
  add("DecodeDate", [](TScriptEngine&, Params& p, TVar& r) {
    if (p.Count() != 4 || !IsVar(p, 1) || !IsVar(p, 2) || !IsVar(p, 3)) return false;
    const double date = DateArg(p, 0);
    const CivilDate d = DecodeDate(date);
    p[1].Value = ScriptValue::Word(static_cast<uint16_t>(d.year));
    p[2].Value = ScriptValue::Word(static_cast<uint16_t>(d.month));
    p[3].Value = ScriptValue::Word(static_cast<uint16_t>(d.day));
    r.Value = ScriptValue::DateTime(date);
    return true;
  });
  add("DecodeTime", [](TScriptEngine&, Params& p, TVar& r) {
    if (p.Count() != 5 || !IsVar(p, 1) || !IsVar(p, 2) || !IsVar(p, 3) || !IsVar(p, 4)) return false;
    const double time = DateArg(p, 0);
    const ClockTime t = DecodeTime(time);
    p[1].Value = ScriptValue::Word(static_cast<uint16_t>(t.hour));
    p[2].Value = ScriptValue::Word(static_cast<uint16_t>(t.minute));
    p[3].Value = ScriptValue::Word(static_cast<uint16_t>(t.second));
    p[4].Value = ScriptValue::Word(static_cast<uint16_t>(t.msec));
    r.Value = ScriptValue::DateTime(time);
    return true;
  });
  add("EncodeDate", [](TScriptEngine&, Params& p, TVar& r) {
    if (p.Count() != 3) return false;
    r.Value = DateResult(EncodeDate(Truncated32(p, 0), Truncated32(p, 1), Truncated32(p, 2)),
                         "Invalid argument to date encode");
    return true;
  });
  add("EncodeTime", [](TScriptEngine&, Params& p, TVar& r) {
    if (p.Count() != 4) return false;
    r.Value = DateResult(EncodeTime(Truncated32(p, 0), Truncated32(p, 1), Truncated32(p, 2), Truncated32(p, 3)),
                         "Invalid argument to time encode");
    return true;
  });

  // --- arithmetic ------------------------------------------------------------------------
  const auto unary = [&add](const char* name, double (*f)(double)) {
    add(name, [f](TScriptEngine&, Params& p, TVar& r) {
      if (p.Count() != 1) return false;
      r.Value = FloatResult(f(Number(p, 0)));
      return true;
    });
  };
  unary("Abs", [](double x) { return std::fabs(x); });
  add("Int", [](TScriptEngine&, Params& p, TVar& r) {
    if (p.Count() != 1) return false;
    r.Value = ScriptValue::Int64(Truncated(p, 0));
    return true;
  });
  unary("Frac", [](double x) { return x - std::trunc(x); });
  const auto rounding = [&add](const char* name, double (*f)(double)) {
    add(name, [f](TScriptEngine&, Params& p, TVar& r) {
      if (p.Count() != 1) return false;
      r.Value = IntegerResult(f(Number(p, 0)));
      return true;
    });
  };
  rounding("Round", [](double x) { return RoundHalfEven(x); });
  rounding("Ceil", [](double x) { return std::ceil(x); });
  rounding("Floor", [](double x) { return std::floor(x); });
  rounding("Trunc", [](double x) { return std::trunc(x); });
  unary("Sin", [](double x) { return std::sin(x); });
  unary("Cos", [](double x) { return std::cos(x); });
  unary("Tan", [](double x) { return std::tan(x); });
  unary("ArcSin", [](double x) { return std::asin(x); });
  unary("ArcCos", [](double x) { return std::acos(x); });
  unary("ArcTan", [](double x) { return std::atan(x); });
  unary("Exp", [](double x) { return std::exp(x); });
  unary("Ln", [](double x) { return std::log(x); });
  add("IntPower", [](TScriptEngine&, Params& p, TVar& r) {
    if (p.Count() != 2) return false;
    r.Value = FloatResult(IntPower(Number(p, 0), Truncated(p, 1)));
    return true;
  });
  unary("Sqr", [](double x) { return x * x; });
  unary("Sqrt", [](double x) { return std::sqrt(x); });
  add("Inc", [](TScriptEngine&, Params& p, TVar&) { return Step(p, tkPlus); });
  add("Dec", [](TScriptEngine&, Params& p, TVar&) { return Step(p, tkMinus); });
  add("Min", [](TScriptEngine&, Params& p, TVar& r) { return MinMax(p, r, false); });
  add("Max", [](TScriptEngine&, Params& p, TVar& r) { return MinMax(p, r, true); });

  // --- variables by name, tables -----------------------------------------------------------
  add("GetVar", [](TScriptEngine& engine, Params& p, TVar& r) {
    if (p.Count() != 1) return false;
    TVar v;
    if (!engine.ReadVar(Upper1251(Text(p, 0)), v)) return false;
    r.Value = v.Value;
    return true;
  });
  add("SetVar", [](TScriptEngine& engine, Params& p, TVar&) {
    if (p.Count() != 2) return false;
    return engine.SetVarValue(Upper1251(Text(p, 0)), p[1].Value);
  });
  add("Decode", [](TScriptEngine&, Params& p, TVar& r) {
    if (p.Count() < 3) return false;
    // X, then pairs of a candidate and its result, then maybe a default.
    for (int i = 1; i + 1 < p.Count(); i += 2) {
      ScriptValue equal;
      if (ApplyBinary(tkEqual, p[0].Value, p[i].Value, equal) && equal.BoolValue()) {
        r.Value = p[i + 1].Value;
        return true;
      }
    }
    if (p.Count() % 2 == 1) return false;  // no default
    r.Value = p[p.Count() - 1].Value;
    return true;
  });
  add("YearDays", [](TScriptEngine&, Params& p, TVar& r) {
    if (p.Count() != 1) return false;
    r.Value = ScriptValue::Word(static_cast<uint16_t>(YearDays(DateArg(p, 0))));
    return true;
  });
  add("YearFrac", [](TScriptEngine&, Params& p, TVar& r) {
    if (p.Count() != 2) return false;
    r.Value = FloatResult(YearFrac(DateArg(p, 0), DateArg(p, 1)));
    return true;
  });
  add("Mod", [](TScriptEngine&, Params& p, TVar& r) {
    if (p.Count() != 2) return false;
    const int32_t a = Integer(p, 0), b = Integer(p, 1);
    if (b == 0) throw ScriptError("Division by zero");
    r.Value = ScriptValue::Int(b == -1 ? 0 : a % b);  // the sign of A
    return true;
  });
  add("Random", [](TScriptEngine&, Params& p, TVar& r) {
    if (p.Count() != 1) return false;
    const int32_t n = Integer(p, 0);
    if (n <= 1) {
      r.Value = ScriptValue::Int(0);
      return true;
    }
    std::uniform_int_distribution<int32_t> pick(0, n - 1);
    r.Value = ScriptValue::Int(pick(RandomGenerator()));
    return true;
  });
}

}  // namespace

void RegisterStandardFunctions(TScriptEngine& engine) { Register(engine); }

}  // namespace qx
