// The standard scene, variables and native functions the expression tests run against.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "FakeHost.h"
#include "script/scriptengine.h"

namespace qx::test {

// Elements: QXDB (root) > SCR1 > IMG1 (current, event "ms_Down").
struct Scene {
  FakeHost host;
  ElementHandle root = 0, screen = 0, image = 0;

  Scene() {
    root = host.AddElement("QXDB", "TQXDB", 0);
    screen = host.AddElement("SCR1", "TQXScreen", root);
    image = host.AddElement("IMG1", "TQXImage", screen);
    host.SetProp(root, "PX", ScriptValue::Int(640));
    host.SetProp(screen, "PX", ScriptValue::Int(10));
    host.SetProp(image, "PX", ScriptValue::Int(5));
    host.SetProp(image, "PY", ScriptValue::Int(6));
    host.SetProp(image, "PNAME", ScriptValue::Str("pic"));
    host.SetProp(image, "OBSCREEN", ScriptValue::Element(screen));
    host.SetCurrent(image, "ms_Down");
    host.AddTranslation("KEY", "Translated key");
    host.AddTranslation("SEC.KEY", "Section key");
  }
};

inline void SetVar(TScriptEngine& e, const std::string& name, const ScriptValue& v) {
  e.Vars().Append({name, v});
}

// Variables S, N, FL, BO, A[1], A[2,3], EL, WD, I64, EMPTYV and the natives LENGTH, TIME,
// SUM, ARGNAMES, INC, SETFIRST, NOTHING, FAILING, THROWING. Every native call is appended
// to `calls` as "NAME(arg,...)".
inline void SetUpEngine(TScriptEngine& e, Scene& scene, std::vector<std::string>& calls) {
  SetVar(e, "S", ScriptValue::Str("abc"));
  SetVar(e, "N", ScriptValue::Int(4));
  SetVar(e, "FL", ScriptValue::Float(1.5));
  SetVar(e, "BO", ScriptValue::Bool(true));
  SetVar(e, "A[1]", ScriptValue::Int(5));
  SetVar(e, "A[2,3]", ScriptValue::Int(7));
  SetVar(e, "EL", ScriptValue::Element(scene.screen));
  SetVar(e, "WD", ScriptValue::Word(7));
  SetVar(e, "I64", ScriptValue::Int64(5));
  SetVar(e, "EMPTYV", ScriptValue());
  auto* log = &calls;
  auto record = [log](const char* name, const TVarList& p) {
    std::string s = std::string(name) + "(";
    for (int i = 0; i < p.Count(); ++i) s += (i ? "," : "") + p[i].Value.ToText();
    log->push_back(s + ")");
  };
  e.RegisterFunction("Length", [record](TScriptEngine&, TVarList& p, TVar& r) {
    record("LENGTH", p);
    if (p.Count() != 1) return false;
    r.Value = ScriptValue::Int(static_cast<int32_t>(p[0].Value.ToText().size()));
    return true;
  });
  e.RegisterFunction("Time", [record](TScriptEngine&, TVarList& p, TVar& r) {
    record("TIME", p);
    if (p.Count() != 0) return false;
    r.Value = ScriptValue::DateTime(2);
    return true;
  });
  e.RegisterFunction("Sum", [record](TScriptEngine&, TVarList& p, TVar& r) {
    record("SUM", p);
    ScriptValue total = ScriptValue::Int(0);
    for (int i = 0; i < p.Count(); ++i) {
      ScriptValue next;
      if (!ApplyBinary(tkPlus, total, p[i].Value, next)) return false;
      total = next;
    }
    r.Value = total;
    return true;
  });
  e.RegisterFunction("ArgNames", [record](TScriptEngine&, TVarList& p, TVar& r) {
    record("ARGNAMES", p);
    std::string s;
    for (int i = 0; i < p.Count(); ++i) s += (i ? "," : "") + p[i].Name;
    r.Value = ScriptValue::Str(s);
    return true;
  });
  // Inc(X [, step]) as the standard built-in: the new value reaches X by write-back.
  e.RegisterFunction("Inc", [record](TScriptEngine&, TVarList& p, TVar&) {
    record("INC", p);
    if (p.Count() < 1 || p.Count() > 2) return false;
    ScriptValue next;
    if (!ApplyBinary(tkPlus, p[0].Value, p.Count() == 2 ? p[1].Value : ScriptValue::Int(1), next)) return false;
    p[0].Value = next;
    return true;
  });
  e.RegisterFunction("SetFirst", [record](TScriptEngine&, TVarList& p, TVar& r) {
    record("SETFIRST", p);
    if (p.Count() < 1) return false;
    p[0].Value = ScriptValue::Int(42);
    r.Value = ScriptValue::Bool(true);
    return true;
  });
  e.RegisterFunction("Nothing", [record](TScriptEngine&, TVarList& p, TVar&) {
    record("NOTHING", p);
    return true;
  });
  e.RegisterFunction("Failing", [record](TScriptEngine&, TVarList& p, TVar&) {
    record("FAILING", p);
    return false;
  });
  e.RegisterFunction("Throwing", [record](TScriptEngine&, TVarList& p, TVar&) -> bool {
    record("THROWING", p);
    throw ScriptError("boom");
  });
}

// Kind and text of a value, for comparisons in failure messages: "Integer 7".
inline std::string Describe(const ScriptValue& v) {
  std::string s = ValueKindName(v.Kind());
  if (v.Kind() == ValueKind::String) return s + " |" + v.StrValue() + "|";
  if (v.Kind() == ValueKind::Empty) return s;
  return s + " " + v.ToText();
}

}  // namespace qx::test
