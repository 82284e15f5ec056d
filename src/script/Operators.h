// The script operators on values: the pairing of operand kinds decides how "+", "-", "*",
// "/", "^", AND, OR, XOR, SHL, SHR and the comparisons compute. Shared by the evaluator
// and by native functions that follow the operators' rules (Inc, Dec, Min, Max, Decode).
#pragma once

#include <cstdint>

#include "script/ScriptValue.h"
#include "script/Tokeniser.h"

namespace qx {

// Applies the binary operator `op` (a TokenCode) to two values. False when the operand
// kinds do not fit or a conversion fails (the text "abc" read as a number), when a
// division divides by zero, and when a Float result would be infinite or not a number.
// Text keys must be translated by the caller first.
bool ApplyBinary(int op, const ScriptValue& left, const ScriptValue& right, ScriptValue& result);

// The commonest operand pair, two Integers, without the general machinery (same results as
// ApplyBinary's row for them). The comparisons: true, with `holds`, when `op` is one.
inline bool CompareIntegers(int op, int64_t p, int64_t q, bool& holds) {
  switch (op) {
    case tkEqual: holds = p == q; return true;
    case tkNotEqual: holds = p != q; return true;
    case tkGreater: holds = p > q; return true;
    case tkLess: holds = p < q; return true;
    case tkGreaterEqual: holds = p >= q; return true;
    case tkLessEqual: holds = p <= q; return true;
    default: return false;
  }
}

// "+", "-" and "*" on two Integers: true, with the exact 64-bit result, when `op` is one.
inline bool ArithmeticOnIntegers(int op, int64_t p, int64_t q, int64_t& r) {
  if (op == tkPlus) {  // by far the commonest: tested first
    r = p + q;
    return true;
  }
  switch (op) {
    case tkPlus: r = p + q; return true;
    case tkMinus: r = p - q; return true;
    case tkStar: r = p * q; return true;
    default: return false;
  }
}

// Prefix "-", NOT and "+".
bool ApplyPrefix(int op, const ScriptValue& value, ScriptValue& result);

// Orders two values as the comparison operators do: `order` is -1, 0 or 1, or
// kUnordered when a Float is not a number. False when the operands cannot be compared.
inline constexpr int kUnordered = 2;
bool CompareValues(const ScriptValue& left, const ScriptValue& right, int& order);

}  // namespace qx
