// Operator results by operand kinds. Each pair of kinds falls into one row; the row says
// whether "+" concatenates, whether arithmetic stays integral and whether AND/OR/XOR are
// logical or bitwise.
#include "script/Operators.h"

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>

#include "script/Tokeniser.h"

namespace qx {
namespace {

using K = ValueKind;

enum class Row {
  StrStr,    // two strings
  StrNum,    // a string and a number
  IntInt,    // Integer with Integer, or Integer with Boolean
  Float,     // a Float with a number, Boolean or string
  BoolBool,  // two Booleans, or a Boolean and a string
  Wide,      // 16-bit, 64-bit or element reference with Integer, Boolean or one of these
  Date,      // a DateTime with anything
};

bool IsLogic(int op) { return op == tkAnd || op == tkOr || op == tkXor || op == tkShl || op == tkShr; }

// An Empty operand takes the other's kind: empty text beside a string for "+" and the
// comparisons, 0 (or false) everywhere else.
ScriptValue Neutral(ValueKind other, bool textContext) {
  switch (other) {
    case K::String: return textContext ? ScriptValue::Str({}) : ScriptValue::Int(0);
    case K::Word: return ScriptValue::Word(0);
    case K::Int64: return ScriptValue::Int64(0);
    case K::Float: return ScriptValue::Float(0);
    case K::Boolean: return ScriptValue::Bool(false);
    case K::DateTime: return ScriptValue::DateTime(0);
    default: return ScriptValue::Int(0);
  }
}

// Replaces Empty operands; answers pointers to the values to use.
void Normalise(const ScriptValue*& a, const ScriptValue*& b, ScriptValue& sa, ScriptValue& sb, bool textContext) {
  if (a->IsEmpty() && b->IsEmpty()) {
    sa = sb = ScriptValue::Int(0);
    a = &sa;
    b = &sb;
  } else if (a->IsEmpty()) {
    sa = Neutral(b->Kind(), textContext);
    a = &sa;
  } else if (b->IsEmpty()) {
    sb = Neutral(a->Kind(), textContext);
    b = &sb;
  }
}

Row RowOf(ValueKind a, ValueKind b) {
  auto either = [&](ValueKind k) { return a == k || b == k; };
  if (either(K::DateTime)) return Row::Date;
  if (a == K::String && b == K::String) return Row::StrStr;
  if ((a == K::String && b == K::Boolean) || (a == K::Boolean && b == K::String)) return Row::BoolBool;
  if (either(K::String)) return Row::StrNum;
  if (either(K::Float)) return Row::Float;
  if (a == K::Boolean && b == K::Boolean) return Row::BoolBool;
  auto small = [](ValueKind k) { return k == K::Integer || k == K::Boolean; };
  if (small(a) && small(b)) return Row::IntInt;
  return Row::Wide;
}

bool FloatResult(double v, ScriptValue& out) {
  if (!std::isfinite(v)) return false;
  out = ScriptValue::Float(v);
  return true;
}

bool Numbers(const ScriptValue& a, const ScriptValue& b, double& x, double& y) {
  return a.TryToDouble(x) && b.TryToDouble(y);
}

bool Divide(const ScriptValue& a, const ScriptValue& b, ScriptValue& out) {
  double x = 0, y = 0;
  if (!Numbers(a, b, x, y) || y == 0) return false;
  return FloatResult(x / y, out);
}

bool FloatArith(int op, double x, double y, ScriptValue& out) {
  switch (op) {
    case tkPlus: return FloatResult(x + y, out);
    case tkMinus: return FloatResult(x - y, out);
    case tkStar: return FloatResult(x * y, out);
  }
  return false;
}

int32_t Bits32(int op, int32_t x, int32_t y) {
  const auto ux = static_cast<uint32_t>(x);
  switch (op) {
    case tkAnd: return x & y;
    case tkOr: return x | y;
    case tkXor: return x ^ y;
    case tkShl: return static_cast<int32_t>(ux << (static_cast<uint32_t>(y) & 31u));
    default: return static_cast<int32_t>(ux >> (static_cast<uint32_t>(y) & 31u));  // SHR fills zeros
  }
}

int64_t Bits64(int op, int64_t x, int64_t y) {
  const auto ux = static_cast<uint64_t>(x);
  switch (op) {
    case tkAnd: return x & y;
    case tkOr: return x | y;
    case tkXor: return x ^ y;
    case tkShl: return static_cast<int64_t>(ux << (static_cast<uint64_t>(y) & 63u));
    default: return static_cast<int64_t>(ux >> (static_cast<uint64_t>(y) & 63u));
  }
}

bool FitsInt32(int64_t v) {
  return v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max();
}

// The "integer operation" of the rows whose operands are not integers themselves: both
// operands converted (floats rounding half to even), 32-bit when both fit, else 64-bit.
bool IntegerOp(int op, const ScriptValue& a, const ScriptValue& b, ScriptValue& out) {
  int64_t x = 0, y = 0;
  if (!a.TryToInt64(x) || !b.TryToInt64(y)) return false;
  if (FitsInt32(x) && FitsInt32(y)) out = ScriptValue::Int(Bits32(op, static_cast<int32_t>(x), static_cast<int32_t>(y)));
  else out = ScriptValue::Int64(Bits64(op, x, y));
  return true;
}

bool WideArith(int op, int64_t x, int64_t y, ScriptValue& out) {
  int64_t r = 0;
  bool overflow = false;
  switch (op) {
    case tkPlus: overflow = __builtin_add_overflow(x, y, &r); break;
    case tkMinus: overflow = __builtin_sub_overflow(x, y, &r); break;
    case tkStar: overflow = __builtin_mul_overflow(x, y, &r); break;
    default: return false;
  }
  if (overflow) return FloatArith(op, static_cast<double>(x), static_cast<double>(y), out);
  out = ScriptValue::Int64(r);
  return true;
}

bool Power(const ScriptValue& a, const ScriptValue& b, ScriptValue& out) {
  // Both sides are single-precision floats, and so is the power.
  double x = 0, y = 0;
  if (!Numbers(a, b, x, y)) return false;
  if (!std::isfinite(x) || !std::isfinite(y) || std::fabs(x) > FLT_MAX || std::fabs(y) > FLT_MAX) return false;
  const float p = std::pow(static_cast<float>(x), static_cast<float>(y));
  return FloatResult(static_cast<double>(p), out);
}

}  // namespace

bool ApplyBinary(int op, const ScriptValue& left, const ScriptValue& right, ScriptValue& result) {
  if (left.Kind() == K::Integer && right.Kind() == K::Integer) {
    const int64_t p = left.Int64Value(), q = right.Int64Value();
    bool holds = false;
    int64_t r = 0;
    if (CompareIntegers(op, p, q, holds)) {
      result = ScriptValue::Bool(holds);
      return true;
    }
    if (ArithmeticOnIntegers(op, p, q, r)) {
      if (FitsInt32(r)) result = ScriptValue::Int(static_cast<int32_t>(r));
      else result = ScriptValue::Float(static_cast<double>(r));
      return true;
    }
  }
  switch (op) {
    case tkEqual:
    case tkNotEqual:
    case tkGreater:
    case tkLess:
    case tkGreaterEqual:
    case tkLessEqual: {
      int order = 0;
      if (!CompareValues(left, right, order)) return false;
      bool r = false;
      if (order == kUnordered) r = op == tkNotEqual;
      else if (op == tkEqual) r = order == 0;
      else if (op == tkNotEqual) r = order != 0;
      else if (op == tkGreater) r = order > 0;
      else if (op == tkLess) r = order < 0;
      else if (op == tkGreaterEqual) r = order >= 0;
      else r = order <= 0;
      result = ScriptValue::Bool(r);
      return true;
    }
    case tkCaret: return Power(left, right, result);
    case tkPlus:
    case tkMinus:
    case tkStar:
    case tkSlash:
    case tkAnd:
    case tkOr:
    case tkXor:
    case tkShl:
    case tkShr: break;
    default: return false;
  }
  const ScriptValue* a = &left;
  const ScriptValue* b = &right;
  ScriptValue sa, sb;
  Normalise(a, b, sa, sb, op == tkPlus);
  if (op == tkSlash) return Divide(*a, *b, result);
  double x = 0, y = 0;
  switch (RowOf(a->Kind(), b->Kind())) {
    case Row::StrStr:
      if (op == tkPlus) {
        result = ScriptValue::Str(a->StrValue() + b->StrValue());
        return true;
      }
      if (IsLogic(op)) return IntegerOp(op, *a, *b, result);
      return Numbers(*a, *b, x, y) && FloatArith(op, x, y, result);
    case Row::StrNum:
    case Row::Float:
      if (IsLogic(op)) return IntegerOp(op, *a, *b, result);
      return Numbers(*a, *b, x, y) && FloatArith(op, x, y, result);
    case Row::BoolBool:
      if (op == tkAnd || op == tkOr || op == tkXor) {
        bool p = false, q = false;
        if (!a->TryToBool(p) || !b->TryToBool(q)) return false;
        result = ScriptValue::Bool(op == tkAnd ? (p && q) : op == tkOr ? (p || q) : (p != q));
        return true;
      }
      if (IsLogic(op)) return IntegerOp(op, *a, *b, result);
      return Numbers(*a, *b, x, y) && FloatArith(op, x, y, result);
    case Row::IntInt: {
      const int64_t p = a->Int64Value(), q = b->Int64Value();  // Boolean: 0 or 1
      if (IsLogic(op)) {
        result = ScriptValue::Int(Bits32(op, static_cast<int32_t>(p), static_cast<int32_t>(q)));
        return true;
      }
      const int64_t r = op == tkPlus ? p + q : op == tkMinus ? p - q : p * q;
      if (FitsInt32(r)) result = ScriptValue::Int(static_cast<int32_t>(r));
      else result = ScriptValue::Float(static_cast<double>(r));  // 32-bit overflow
      return true;
    }
    case Row::Wide: {
      int64_t p = 0, q = 0;
      if (!a->TryToInt64(p) || !b->TryToInt64(q)) return false;
      if (IsLogic(op)) {
        result = ScriptValue::Int64(Bits64(op, p, q));
        return true;
      }
      return WideArith(op, p, q, result);
    }
    case Row::Date: {
      if (IsLogic(op)) return IntegerOp(op, *a, *b, result);
      if (!Numbers(*a, *b, x, y)) return false;
      if (op == tkStar) return FloatResult(x * y, result);
      const bool bothDates = a->Kind() == K::DateTime && b->Kind() == K::DateTime;
      const double r = op == tkPlus ? x + y : x - y;
      if (!std::isfinite(r)) return false;
      result = (op == tkMinus && bothDates) ? ScriptValue::Float(r) : ScriptValue::DateTime(r);
      return true;
    }
  }
  return false;
}

bool CompareValues(const ScriptValue& left, const ScriptValue& right, int& order) {
  const ScriptValue* a = &left;
  const ScriptValue* b = &right;
  if (a->IsEmpty() && b->IsEmpty()) {
    order = 0;
    return true;
  }
  ScriptValue sa, sb;
  Normalise(a, b, sa, sb, true);
  const ValueKind ka = a->Kind(), kb = b->Kind();
  auto doubles = [&]() {
    double x = 0, y = 0;
    if (!Numbers(*a, *b, x, y)) return false;
    order = (std::isnan(x) || std::isnan(y)) ? kUnordered : (x < y ? -1 : x > y ? 1 : 0);
    return true;
  };
  if (ka == K::DateTime || kb == K::DateTime) return doubles();
  if (ka == K::String && kb == K::String) {
    // Byte order, case-sensitive; a proper prefix is smaller.
    const std::string& x = a->StrValue();
    const std::string& y = b->StrValue();
    const size_t n = std::min(x.size(), y.size());
    int c = n ? std::memcmp(x.data(), y.data(), n) : 0;
    if (c == 0) c = x.size() < y.size() ? -1 : x.size() > y.size() ? 1 : 0;
    order = c < 0 ? -1 : c > 0 ? 1 : 0;
    return true;
  }
  const bool boolPair = (ka == K::Boolean && (kb == K::Boolean || kb == K::String)) ||
                        (kb == K::Boolean && ka == K::String);
  if (boolPair) {
    bool p = false, q = false;
    if (!a->TryToBool(p) || !b->TryToBool(q)) return false;
    order = p == q ? 0 : (p ? 1 : -1);
    return true;
  }
  if (ka == K::String || kb == K::String || ka == K::Float || kb == K::Float) return doubles();
  int64_t p = 0, q = 0;  // Integer, Word, Int64, element reference, Boolean
  if (!a->TryToInt64(p) || !b->TryToInt64(q)) return false;
  order = p < q ? -1 : p > q ? 1 : 0;
  return true;
}

bool ApplyPrefix(int op, const ScriptValue& value, ScriptValue& result) {
  if (op == tkPlus) {
    result = value;
    return true;
  }
  const ValueKind k = value.Kind();
  if (op == tkMinus) {
    switch (k) {
      case K::Empty: result = ScriptValue::Int(0); return true;
      case K::Integer:
      case K::Word:
      case K::Boolean: {
        const int64_t r = -value.Int64Value();
        result = FitsInt32(r) ? ScriptValue::Int(static_cast<int32_t>(r)) : ScriptValue::Float(static_cast<double>(r));
        return true;
      }
      case K::Int64:
      case K::Element: {
        const int64_t v = value.Int64Value();
        if (v == std::numeric_limits<int64_t>::min()) result = ScriptValue::Float(-static_cast<double>(v));
        else result = ScriptValue::Int64(-v);
        return true;
      }
      case K::DateTime: result = ScriptValue::DateTime(-value.FloatValue()); return true;
      case K::Float:
      case K::String: {
        double d = 0;
        if (!value.TryToDouble(d)) return false;
        return FloatResult(-d, result);
      }
    }
    return false;
  }
  if (op == tkNot) {
    switch (k) {
      case K::Boolean: result = ScriptValue::Bool(!value.BoolValue()); return true;
      case K::Empty: result = ScriptValue::Int(-1); return true;
      case K::Integer:
      case K::Word: result = ScriptValue::Int(~static_cast<int32_t>(value.Int64Value())); return true;
      case K::Int64:
      case K::Element: result = ScriptValue::Int64(~value.Int64Value()); return true;
      case K::String: {
        // Numeric text is negated bitwise; "TRUE"/"FALSE" logically.
        int64_t n = 0;
        bool b = false;
        if (!value.TryToInt64(n)) {
          if (!value.TryToBool(b)) return false;
          result = ScriptValue::Bool(!b);
          return true;
        }
        result = FitsInt32(n) ? ScriptValue::Int(~static_cast<int32_t>(n)) : ScriptValue::Int64(~n);
        return true;
      }
      case K::Float:
      case K::DateTime: {
        int64_t n = 0;
        if (!value.TryToInt64(n)) return false;
        result = FitsInt32(n) ? ScriptValue::Int(~static_cast<int32_t>(n)) : ScriptValue::Int64(~n);
        return true;
      }
    }
  }
  return false;
}

}  // namespace qx
