// The statement layer of TScriptEngine (Prepare, Run, the statements and calls of declared
// procedures) belongs here. Until it exists, a declared procedure cannot be called.
#include "script/scriptengine.h"

namespace qx {

bool TScriptEngine::CallProcedure(const std::string& name, const std::vector<std::string_view>&, TVar&) {
  if (procs_.Find(name) < 0) ReportError("Unknown procedure: " + name, {}, 8);
  return false;
}

}  // namespace qx
