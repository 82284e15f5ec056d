// The script operators on values: the pairing of operand kinds decides how "+", "-", "*",
// "/", "^", AND, OR, XOR, SHL, SHR and the comparisons compute. Shared by the evaluator
// and by native functions that follow the operators' rules (Inc, Dec, Min, Max, Decode).
#pragma once

#include "script/ScriptValue.h"

namespace qx {

// Applies the binary operator `op` (a TokenCode) to two values. False when the operand
// kinds do not fit or a conversion fails (the text "abc" read as a number), when a
// division divides by zero, and when a Float result would be infinite or not a number.
// Text keys must be translated by the caller first.
bool ApplyBinary(int op, const ScriptValue& left, const ScriptValue& right, ScriptValue& result);

// Prefix "-", NOT and "+".
bool ApplyPrefix(int op, const ScriptValue& value, ScriptValue& result);

// Orders two values as the comparison operators do: `order` is -1, 0 or 1, or
// kUnordered when a Float is not a number. False when the operands cannot be compared.
inline constexpr int kUnordered = 2;
bool CompareValues(const ScriptValue& left, const ScriptValue& right, int& order);

}  // namespace qx
