#include "builtins/AuthorNames.h"

#include <algorithm>

#include "builtins/Builtins.h"
#include "scene/ClassTable.h"
#include "scene/SpecialNames.h"
#include "script/lib/scriptfuncs.h"
#include "script/scriptengine.h"

namespace qx {
namespace {

// The names one registration routine adds, as it spells them.
template <class Register>
void AddRegistered(std::vector<AuthorName>& out, const char* kind, Register registerAll) {
  TScriptEngine engine;
  registerAll(engine);
  const TFuncList& funcs = engine.Funcs();
  for (int i = 0; i < funcs.Count(); ++i) out.push_back({kind, funcs[i].Spelling});
}

}  // namespace

std::vector<AuthorName> AuthorNames() {
  std::vector<AuthorName> out;
  for (const ClassInfo& cls : ClassTable()) {
    out.push_back({"class", cls.name});
    for (const PropInfo& p : cls.props) out.push_back({"property", cls.name + "." + p.name});
  }
  AddRegistered(out, "standard", RegisterStandardFunctions);
  const GameLink noGame;  // the names only: nothing runs
  AddRegistered(out, "engine", [&](TScriptEngine& e) { RegisterEngineFunctions(e, noGame); });
  AddRegistered(out, "level", [&](TScriptEngine& e) {
    RegisterLevelFunctions(e, noGame);
    RegisterLogicFunctions(e, noGame);
  });
  for (const SpecialName& s : SpecialNames()) out.push_back({"special", s.name});
  std::stable_sort(out.begin(), out.end(), [](const AuthorName& a, const AuthorName& b) { return a.kind < b.kind; });
  return out;
}

}  // namespace qx
