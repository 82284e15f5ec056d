#include "script/ScriptValue.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace qx {
namespace {

std::string_view TrimBlanks(std::string_view s) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

}  // namespace

const char* ValueKindName(ValueKind kind) {
  switch (kind) {
    case ValueKind::Empty: return "Empty";
    case ValueKind::Integer: return "Integer";
    case ValueKind::Word: return "Word";
    case ValueKind::Int64: return "Int64";
    case ValueKind::Float: return "Float";
    case ValueKind::String: return "String";
    case ValueKind::Boolean: return "Boolean";
    case ValueKind::DateTime: return "DateTime";
    case ValueKind::Element: return "Element";
  }
  return "Empty";
}

ScriptValue ScriptValue::Int(int32_t v) {
  ScriptValue r;
  r.kind_ = ValueKind::Integer;
  r.i_ = v;
  return r;
}
ScriptValue ScriptValue::Word(uint16_t v) {
  ScriptValue r;
  r.kind_ = ValueKind::Word;
  r.i_ = v;
  return r;
}
ScriptValue ScriptValue::Int64(int64_t v) {
  ScriptValue r;
  r.kind_ = ValueKind::Int64;
  r.i_ = v;
  return r;
}
ScriptValue ScriptValue::Float(double v) {
  ScriptValue r;
  r.kind_ = ValueKind::Float;
  r.d_ = v;
  return r;
}
ScriptValue ScriptValue::Str(std::string v) {
  ScriptValue r;
  r.kind_ = ValueKind::String;
  r.s_ = std::move(v);
  return r;
}
ScriptValue ScriptValue::Bool(bool v) {
  ScriptValue r;
  r.kind_ = ValueKind::Boolean;
  r.i_ = v ? 1 : 0;
  return r;
}
ScriptValue ScriptValue::DateTime(double days) {
  ScriptValue r;
  r.kind_ = ValueKind::DateTime;
  r.d_ = days;
  return r;
}
ScriptValue ScriptValue::Element(uint32_t handle) {
  ScriptValue r;
  r.kind_ = ValueKind::Element;
  r.i_ = handle;
  return r;
}

bool ParseDecimal(std::string_view text, double& out, bool& isInteger, int64_t& integer) {
  std::string_view t = TrimBlanks(text);
  if (t.empty()) return false;
  std::string_view digits = t;
  bool negative = false;
  if (digits.front() == '+' || digits.front() == '-') {
    negative = digits.front() == '-';
    digits.remove_prefix(1);
  }
  if (digits.empty()) return false;
  size_t dots = 0, numerals = 0;
  for (char c : digits) {
    if (c == '.') ++dots;
    else if (c >= '0' && c <= '9') ++numerals;
    else return false;
  }
  if (dots > 1 || numerals == 0) return false;
  if (dots == 0) {
    int64_t v = 0;
    auto [p, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v);
    if (ec == std::errc() && p == digits.data() + digits.size()) {
      isInteger = true;
      integer = negative ? -v : v;
      out = static_cast<double>(integer);
      return true;
    }
  }
  double d = 0;
  auto [p, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), d, std::chars_format::fixed);
  if (ec != std::errc() || p != digits.data() + digits.size()) return false;
  isInteger = false;
  out = negative ? -d : d;
  return true;
}

std::string NumberText(double v) {
  if (std::isnan(v)) return "NAN";
  if (std::isinf(v)) return v > 0 ? "INF" : "-INF";
  char buf[64];
  const double a = std::fabs(v);
  std::to_chars_result r;
  if (a == 0 || (a >= 1e-5 && a < 1e15)) {
    r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed);
  } else {
    r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
    for (char* p = buf; p < r.ptr; ++p) {
      if (*p == 'e') *p = 'E';
    }
  }
  std::string s(buf, r.ptr);
  if (s == "-0") s = "0";
  return s;
}

bool ScriptValue::TryToInt64(int64_t& out) const {
  switch (kind_) {
    case ValueKind::Empty: out = 0; return true;
    case ValueKind::Integer:
    case ValueKind::Word:
    case ValueKind::Int64:
    case ValueKind::Boolean:
    case ValueKind::Element: out = i_; return true;
    case ValueKind::Float:
    case ValueKind::DateTime: {
      const double r = RoundHalfEven(d_);
      if (!(r >= -9.2233720368547758e18 && r < 9.2233720368547758e18)) return false;
      out = static_cast<int64_t>(r);
      return true;
    }
    case ValueKind::String: {
      double d = 0;
      bool isInt = false;
      int64_t n = 0;
      if (!ParseDecimal(s_, d, isInt, n)) return false;
      if (isInt) {
        out = n;
        return true;
      }
      return ScriptValue::Float(d).TryToInt64(out);
    }
  }
  return false;
}

bool ScriptValue::TryToInt32(int32_t& out) const {
  int64_t v = 0;
  if (!TryToInt64(v)) return false;
  if (kind_ == ValueKind::Element) {  // the handle is unsigned: keep its bits
    out = static_cast<int32_t>(static_cast<uint32_t>(v));
    return true;
  }
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) return false;
  out = static_cast<int32_t>(v);
  return true;
}

bool ScriptValue::TryToDouble(double& out) const {
  switch (kind_) {
    case ValueKind::Empty: out = 0; return true;
    case ValueKind::Float:
    case ValueKind::DateTime: out = d_; return true;
    case ValueKind::String: {
      bool isInt = false;
      int64_t n = 0;
      return ParseDecimal(s_, out, isInt, n);
    }
    default: out = static_cast<double>(i_); return true;
  }
}

bool ScriptValue::TryToBool(bool& out) const {
  switch (kind_) {
    case ValueKind::Empty: out = false; return true;
    case ValueKind::Float:
    case ValueKind::DateTime: out = d_ != 0; return true;
    case ValueKind::String: {
      const std::string_view t = TrimBlanks(s_);
      if (EqualsNoCase(t, "TRUE")) {
        out = true;
        return true;
      }
      if (EqualsNoCase(t, "FALSE")) {
        out = false;
        return true;
      }
      double d = 0;
      bool isInt = false;
      int64_t n = 0;
      if (!ParseDecimal(s_, d, isInt, n)) return false;
      out = d != 0;
      return true;
    }
    default: out = i_ != 0; return true;
  }
}

namespace {
[[noreturn]] void ConversionFailed(const ScriptValue& v, const char* target) {
  std::string what = "Could not convert ";
  what += ValueKindName(v.Kind());
  if (v.Kind() == ValueKind::String) what += " '" + v.StrValue() + "'";
  else if (v.Kind() != ValueKind::Empty) what += " " + v.ToText();
  what += " to ";
  what += target;
  throw ScriptError(what);
}
}  // namespace

int32_t ScriptValue::ToInt32() const {
  int32_t v = 0;
  if (!TryToInt32(v)) ConversionFailed(*this, "Integer");
  return v;
}
int64_t ScriptValue::ToInt64() const {
  int64_t v = 0;
  if (!TryToInt64(v)) ConversionFailed(*this, "Int64");
  return v;
}
double ScriptValue::ToDouble() const {
  double v = 0;
  if (!TryToDouble(v)) ConversionFailed(*this, "Float");
  return v;
}
bool ScriptValue::ToBool() const {
  bool v = false;
  if (!TryToBool(v)) ConversionFailed(*this, "Boolean");
  return v;
}

std::string ScriptValue::ToText() const {
  switch (kind_) {
    case ValueKind::Empty: return {};
    case ValueKind::String: return s_;
    case ValueKind::Boolean: return i_ ? "TRUE" : "FALSE";
    case ValueKind::Float:
    case ValueKind::DateTime: return NumberText(d_);
    case ValueKind::Element: return std::to_string(static_cast<uint32_t>(i_));
    default: return std::to_string(i_);
  }
}

bool ScriptValue::operator==(const ScriptValue& o) const {
  if (kind_ != o.kind_) return false;
  switch (kind_) {
    case ValueKind::Empty: return true;
    case ValueKind::String: return s_ == o.s_;
    case ValueKind::Float:
    case ValueKind::DateTime: return d_ == o.d_;
    default: return i_ == o.i_;
  }
}

}  // namespace qx
