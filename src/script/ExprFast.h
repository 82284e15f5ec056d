// The flat form of a pure expression (constants, existing variables and array elements, and
// operators on them), made once per parsed tree by ExprTree.cpp, and the inline steps the
// statement runner uses to evaluate the commonest shapes without a call. Internal header.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "script/Operators.h"
#include "script/Tokeniser.h"
#include "script/ExprTree.h"
#include "script/VarList.h"
#include "script/scriptengine.h"

namespace qx {

struct ExprNode;

inline constexpr int kFastStack = 32;

struct FastOp {
  enum Kind : uint8_t { Const, Var, Element, Binary, Prefix } kind = Const;
  uint8_t op = 0;                  // Binary, Prefix: the operator's token code
  uint16_t parts = 0;              // Element: index values on the stack
  const ExprNode* node = nullptr;  // Const, Var, Element: the node read
  const ScriptValue* constant = nullptr;  // Const: its value
  const std::string* name = nullptr;      // Var: the name ...
  VarSlot* slot = nullptr;                // ... and where it was found last
  mutable int planned = -1;               // Var: its place as of FastCode::opsVars
};

// A step of a condition over Integers (FastEvaluator::PlannedIntegerHolds), with the leaves
// that feed it folded in: a value is on the stack, at a variable's place, or a constant.
struct IntOperand {
  enum Kind : uint8_t { Stack, Place, Const } kind = Stack;
  int64_t n = 0;  // Place: the entry; Const: the value
};
struct IntStep {
  enum Kind : uint8_t { Push, Element, Arith, Compare } kind = Push;
  uint8_t op = 0;     // Arith, Compare: the operator's token code
  uint8_t parts = 0;  // Element: 1 or 2 indexes, `x` and `y`
  IntOperand x, y;    // Push: x; Arith, Compare: y, the right operand (the left is on the stack)
  const ExprNode* node = nullptr;  // Element: an IndexedNameNode
};

struct FastCode {
  // One leaf (a constant or variable) and two leaves with an operator are the commonest
  // shapes by far; they run without the general loop. A call of its own (F(X, Y) as a whole
  // expression) goes straight to the call.
  enum Shape : uint8_t { General, Leaf, LeafPair, Call } shape = General;
  std::vector<FastOp> ops;
  const ExprNode* call = nullptr;
  // Whether no name read by the sequence is a function or procedure, as of this stamp of
  // the engine's registries.
  uint64_t registries = 0;
  bool namesPlain = false;
  // Leaf and LeafPair: where the leaves were found, kept while the variables' names (and so
  // their places) and both registries stay as they were; `vars` 0: nothing kept.
  struct LeafPlan {
    uint64_t vars = 0, registries = 0;  // the engine's registriesStamp_ then
    int index[2] = {-1, -1};                         // a variable's place; -1: a constant
    const ScriptValue* constant[2] = {nullptr, nullptr};
  };
  mutable LeafPlan plan;
  // General: the variables' name stamp at which every Var op's `planned` place holds and no
  // Element op's name is a plain variable (0: none).
  mutable uint64_t opsVars = 0;
  // General: `ops` as Integer steps with the places of opsVars `intStepsVars` (0: none made),
  // empty when they have no such form.
  mutable std::vector<IntStep> intSteps;
  mutable uint64_t intStepsVars = 0;
};

// A constant, or an existing variable that is no array; null otherwise. The names of the
// code must be known to be no functions (FastCode::namesPlain).
[[gnu::always_inline]] inline const ScriptValue* FastLeafValue(const TVarList& vars, const FastOp& o) {
  if (o.kind == FastOp::Const) return o.constant;
  bool hasArray = false;
  const int i = vars.FindCached(*o.name, *o.slot, hasArray);
  if (hasArray || i < 0) return nullptr;
  return &vars[i].Value;
}

// Remembers where the leaves of `c` (Leaf or LeafPair, names known plain at these stamps)
// were just found.
inline void KeepLeafPlan(const TVarList& vars, const FastCode& c) {
  FastCode::LeafPlan& p = c.plan;
  const int leaves = c.shape == FastCode::LeafPair ? 2 : 1;
  for (int k = 0; k < leaves; ++k) {
    const FastOp& o = c.ops[static_cast<size_t>(k)];
    if (o.kind == FastOp::Const) {
      p.index[k] = -1;
      p.constant[k] = o.constant;
    } else {
      if (o.slot->generation != vars.Generation() || o.slot->index < 0 || o.slot->hasArray) return;
      p.index[k] = o.slot->index;
    }
  }
  p.vars = vars.Generation();
  p.registries = c.registries;
}

// The value of leaf `k` by the plan (which must hold now).
[[gnu::always_inline]] inline const ScriptValue& PlannedLeaf(const TVarList& vars, const FastCode::LeafPlan& p, int k) {
  return p.index[k] >= 0 ? vars[p.index[k]].Value : *p.constant[k];
}

inline bool IsTextKeyValue(const ScriptValue& v) {
  return v.Kind() == ValueKind::String && !v.StrValue().empty() && v.StrValue()[0] == '"';
}

// The operator as the full evaluator applies it, except that text keys (translated there)
// answer false. `out` may be where `left` or `right` is.
inline bool GeneralBinary(int op, const ScriptValue& left, const ScriptValue& right, ScriptValue& out) {
  if (IsTextKeyValue(left) || IsTextKeyValue(right)) return false;
  ScriptValue result;
  if (!ApplyBinary(op, left, right, result)) return false;
  out = std::move(result);
  return true;
}

[[gnu::always_inline]] inline bool FastBinary(int op, const ScriptValue& left, const ScriptValue& right, ScriptValue& out) {
  if (left.Kind() == ValueKind::Integer && right.Kind() == ValueKind::Integer) {
    const int64_t p = left.Int64Value(), q = right.Int64Value();
    bool holds = false;
    int64_t r = 0;
    // Arithmetic first: conditions compare through FastCompare, so here it is the commoner.
    if (ArithmeticOnIntegers(op, p, q, r)) {
      if (r >= INT32_MIN && r <= INT32_MAX) {
        out.SetInt(static_cast<int32_t>(r));
        return true;
      }
    } else if (CompareIntegers(op, p, q, holds)) {
      out.SetBool(holds);
      return true;
    }
  }
  return GeneralBinary(op, left, right, out);
}

inline const ScriptValue* TScriptEngine::QuickLeaf(const ExprTree& tree) {
  if (tree.fastState != 1) return nullptr;
  const FastCode& c = *tree.fast;
  if (c.shape != FastCode::Leaf || !c.namesPlain || c.registries != registriesStamp_) return nullptr;
  return FastLeafValue(vars_, c.ops[0]);
}

// A Binary or Prefix op on the top of the value stack `refs` (`sp` entries), its result in
// `temp` at the same depth. False when it has no pure value.
[[gnu::always_inline]] inline bool StackOperator(const FastOp& o, const ScriptValue** refs, int& sp,
                                                 std::vector<ScriptValue>& temp) {
  if (o.kind == FastOp::Binary) {
    const ScriptValue* right = refs[--sp];
    ScriptValue& out = temp[static_cast<size_t>(sp - 1)];
    if (!FastBinary(o.op, *refs[sp - 1], *right, out)) return false;
    refs[sp - 1] = &out;
    return true;
  }
  ScriptValue result;
  if (!ApplyPrefix(o.op, *refs[sp - 1], result)) return false;
  ScriptValue& out = temp[static_cast<size_t>(sp - 1)];
  out = std::move(result);
  refs[sp - 1] = &out;
  return true;
}

// The value of a flat code without Element ops into `out`, its Var ops that name parameter
// `param[k]` (>= 0) reading `*args[param[k]]` instead of a variable. False, having changed
// nothing but `temp` and `out`, when it has no pure value now.
bool EvaluateOpsInFrame(const TVarList& vars, const FastCode& c, const int8_t* param, const ScriptValue* const* args,
                        std::vector<ScriptValue>& temp, ScriptValue& out);

[[gnu::always_inline]] inline const ScriptValue* FrameLeafValue(const TVarList& vars, const FastCode& c,
                                                                const int8_t* param, const ScriptValue* const* args,
                                                                size_t k) {
  return param[k] >= 0 ? args[param[k]] : FastLeafValue(vars, c.ops[k]);
}

// EvaluateOpsInFrame, the two commonest shapes inline.
[[gnu::always_inline]] inline bool EvaluateInFrame(const TVarList& vars, const FastCode& c, const int8_t* param,
                                                   const ScriptValue* const* args, std::vector<ScriptValue>& temp,
                                                   ScriptValue& out) {
  if (c.shape == FastCode::LeafPair) {
    const ScriptValue* left = FrameLeafValue(vars, c, param, args, 0);
    const ScriptValue* right = left ? FrameLeafValue(vars, c, param, args, 1) : nullptr;
    return right && FastBinary(c.ops[2].op, *left, *right, out);
  }
  if (c.shape == FastCode::Leaf) {
    const ScriptValue* v = FrameLeafValue(vars, c, param, args, 0);
    if (!v) return false;
    out = *v;
    return true;
  }
  return EvaluateOpsInFrame(vars, c, param, args, temp, out);
}

// A comparison of two Integers straight to its truth; false when the pair is anything else.
inline bool FastCompare(int op, const ScriptValue& left, const ScriptValue& right, bool& holds) {
  if (left.Kind() != ValueKind::Integer || right.Kind() != ValueKind::Integer) return false;
  return CompareIntegers(op, left.Int64Value(), right.Int64Value(), holds);
}

}  // namespace qx
