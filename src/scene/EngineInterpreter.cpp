// The pool's interpreters: TScriptEngine with the built-ins registered.
#include "scene/EngineInterpreter.h"

#include "script/lib/scriptfuncs.h"

namespace qx {

std::unique_ptr<EventInterpreter> MakeEngineInterpreter(const std::function<void(TScriptEngine&)>& more) {
  auto interpreter = std::make_unique<EngineInterpreter>();
  RegisterBuiltins(interpreter->Engine());
  if (more) more(interpreter->Engine());
  return interpreter;
}

}  // namespace qx
