// What the level natives and the logic-puzzle natives share: the controlling element from
// the arguments, names and paths read and written on elements, numbers read from them, the
// puzzles' win flag, integer moves kept inside 32 bits, children by name and place, the
// random pick, and the registration of a native that acts on one element of a class.
#pragma once

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>

#include "base/Ascii.h"
#include "base/Random.h"
#include "builtins/ElementArgs.h"
#include "elements/QXImage.h"
#include "scene/QXDB.h"
#include "script/scriptengine.h"

namespace qx::native {

// The element a script value refers to in the tree of `near`, or nullptr (also for 0 and
// for non-references).
inline TQXElement* Resolve(const TQXElement& near, const ScriptValue& v) {
  if (v.Kind() != ValueKind::Element) return nullptr;
  TQXDB* root = near.Root();
  return root ? root->FromHandle(v.ElementHandle()) : nullptr;
}

// A name of an element (variable, property, child or special name); empty when the element
// does not answer to it.
inline ScriptValue Get(TQXElement& e, const std::string& name) {
  ScriptValue v;
  return e.GetPropValue(name, v) ? v : ScriptValue();
}

// Numbers read from names; what is missing or not a number reads as 0.
inline int32_t IntOf(const ScriptValue& v) {
  int32_t out = 0;
  return v.TryToInt32(out) ? out : 0;
}
inline double RealOf(const ScriptValue& v) {
  double out = 0;
  return v.TryToDouble(out) ? out : 0;
}

// Writes are silently dropped when the element has no such variable or property.
inline void SetInt(TQXElement& e, const std::string& name, int32_t v) { e.SetPropValue(name, ScriptValue::Int(v)); }

// Element paths from an element (leading "." steps to the parent, "QXDB" is the root).
inline ScriptValue ReadPath(TQXElement& from, const std::string& path) {
  ScriptValue v;
  return ReadElementPath(from.Handle(), path, v, nullptr) ? v : ScriptValue();
}
inline void WritePath(TQXElement& from, const std::string& path, int32_t v) {
  WriteElementPath(from.Handle(), path, ScriptValue::Int(v), nullptr);
}

// The puzzles' win flag: "QXDB.LOGINTERFACE.WIN" := 1, walked from the element's parent.
inline void SignalWin(TQXElement& e) {
  WriteElementPath(e.Parent() ? e.Parent()->Handle() : 0, "QXDB.LOGINTERFACE.WIN", ScriptValue::Int(1), nullptr);
}

inline int32_t Saturate(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

// Integer moves through SetX/SetY, kept inside the 32-bit range.
inline void ShiftX(TQXElement& e, int64_t d) { e.SetX(Saturate(int64_t{e.X()} + d)); }
inline void ShiftY(TQXElement& e, int64_t d) { e.SetY(Saturate(int64_t{e.Y()} + d)); }

// hxTrans is a byte: steps past 255 or below 0 wrap around, as the game's data expects.
inline void AddTrans(TQXImage& image, int step) { image.SethxTrans(static_cast<uint8_t>(image.hxTrans() + step)); }

// The first child whose Id is the name upper-cased (the comparison itself is exact).
inline TQXElement* ChildNamed(TQXElement& e, const std::string& name) {
  const std::string id = UpperAscii(name);
  for (TQXElement* child : e.Children()) {
    if (child->Id == id) return child;
  }
  return nullptr;
}

inline TQXElement* ChildAt(TQXElement* e, int i) {
  return e && i >= 0 && i < e->ChildCount() ? e->Children()[i] : nullptr;
}
inline TQXImage* ImageAt(TQXElement* e, int i) { return dynamic_cast<TQXImage*>(ChildAt(e, i)); }

inline int32_t RandomBelow(int32_t k) {
  if (k <= 1) return 0;
  std::uniform_int_distribution<int32_t> pick(0, k - 1);
  return pick(RandomGenerator());
}

// A native acting on one element of class T (or derived); any other argument is ignored.
template <class T>
NativeFunction On(const GameLink& game, void (*native)(T&)) {
  return [g = &game, native](TScriptEngine&, TVarList& p, TVar&) {
    if (T* e = dynamic_cast<T*>(ElementArg(*g, p, 0))) native(*e);
    return true;
  };
}

}  // namespace qx::native
