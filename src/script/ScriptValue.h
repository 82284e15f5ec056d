// ScriptValue: the dynamically typed value of the script language, and its conversions.
// Strings are bytes (code page 1251). Element references travel as 32-bit handles.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "base/Rounding.h"

namespace qx {

enum class ValueKind : uint8_t {
  Empty,
  Integer,   // signed 32-bit
  Word,      // unsigned 16-bit (date and time parts, weekday, year length)
  Int64,     // signed 64-bit
  Float,     // double
  String,
  Boolean,
  DateTime,  // days since 30 December 1899 as a double, fraction = time of day
  Element,   // unsigned 32-bit handle of an element (0: none)
};

const char* ValueKindName(ValueKind kind);

// An error raised by a conversion or inside a native function. The interpreter catches it
// and logs its message after the function's name.
class ScriptError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class ScriptValue {
 public:
  ScriptValue() = default;
  // The text is held only by String values, so other kinds copy without touching it.
  ScriptValue(const ScriptValue& o) : kind_(o.kind_), i_(o.i_), d_(o.d_) {
    if (o.kind_ == ValueKind::String) s_ = o.s_;
  }
  ScriptValue(ScriptValue&& o) noexcept : kind_(o.kind_), i_(o.i_), d_(o.d_) {
    if (o.kind_ == ValueKind::String) s_ = std::move(o.s_);
  }
  ScriptValue& operator=(const ScriptValue& o) {
    if (this == &o) return *this;
    kind_ = o.kind_;
    i_ = o.i_;
    d_ = o.d_;
    if (o.kind_ == ValueKind::String) s_ = o.s_;
    else if (!s_.empty()) s_.clear();
    return *this;
  }
  ScriptValue& operator=(ScriptValue&& o) noexcept {
    if (this == &o) return *this;
    kind_ = o.kind_;
    i_ = o.i_;
    d_ = o.d_;
    if (o.kind_ == ValueKind::String) s_ = std::move(o.s_);
    else if (!s_.empty()) s_.clear();
    return *this;
  }
  ~ScriptValue() = default;

  static ScriptValue Int(int32_t v);
  static ScriptValue Word(uint16_t v);
  static ScriptValue Int64(int64_t v);
  static ScriptValue Float(double v);
  static ScriptValue Str(std::string v);
  static ScriptValue Bool(bool v);
  static ScriptValue DateTime(double days);
  static ScriptValue Element(uint32_t handle);

  // In place, keeping the text buffer: for the interpreter's loops.
  void SetInt(int32_t v) {
    kind_ = ValueKind::Integer;
    i_ = v;
    s_.clear();
  }
  void SetBool(bool v) {
    kind_ = ValueKind::Boolean;
    i_ = v ? 1 : 0;
    s_.clear();
  }

  ValueKind Kind() const { return kind_; }
  bool IsEmpty() const { return kind_ == ValueKind::Empty; }
  bool IsString() const { return kind_ == ValueKind::String; }
  bool IsIntegerKind() const {
    return kind_ == ValueKind::Integer || kind_ == ValueKind::Word || kind_ == ValueKind::Int64;
  }
  bool IsNumber() const { return IsIntegerKind() || kind_ == ValueKind::Float; }

  // Raw payloads; meaningful only for the matching kind.
  int32_t IntValue() const { return static_cast<int32_t>(i_); }
  int64_t Int64Value() const { return i_; }
  double FloatValue() const { return d_; }
  bool BoolValue() const { return i_ != 0; }
  uint32_t ElementHandle() const { return static_cast<uint32_t>(i_); }
  const std::string& StrValue() const { return s_; }

  // Conversions. The Try forms answer false on a conversion error (the text "abc" to a
  // number, a float outside the 32-bit range to an integer, ...) and leave `out` alone.
  bool TryToInt32(int32_t& out) const;   // floats round half to even
  bool TryToInt64(int64_t& out) const;
  bool TryToDouble(double& out) const;
  bool TryToBool(bool& out) const;
  // The same conversions raising ScriptError, for native functions.
  int32_t ToInt32() const;
  int64_t ToInt64() const;
  double ToDouble() const;
  bool ToBool() const;
  // Shortest decimal text for numbers (integers without a decimal point), "TRUE"/"FALSE".
  std::string ToText() const;

  bool operator==(const ScriptValue& other) const;

 private:
  ValueKind kind_ = ValueKind::Empty;
  int64_t i_ = 0;  // Integer, Word, Int64, Boolean (0/1), Element
  double d_ = 0;   // Float, DateTime
  std::string s_;
};

// Decimal text of a number: integers as they are, doubles in their shortest form that
// reads back to the same value, without a decimal point when integral.
std::string NumberText(double v);

// Reads decimal integer or decimal-point float text, blanks around it ignored.
bool ParseDecimal(std::string_view text, double& out, bool& isInteger, int64_t& integer);

}  // namespace qx
