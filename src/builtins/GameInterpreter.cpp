// The interpreters of a game's pool: TScriptEngine with every built-in registered.
#include "builtins/Builtins.h"
#include "scene/EngineInterpreter.h"
#include "script/lib/scriptfuncs.h"
#include "script/scriptengine.h"

namespace qx {

void RegisterBuiltins(TScriptEngine& engine, const GameLink& game) {
  RegisterStandardFunctions(engine);
  RegisterEngineFunctions(engine, game);
  RegisterLevelFunctions(engine, game);
  RegisterLogicFunctions(engine, game);
}

void RegisterBuiltins(TScriptEngine& engine) {
  static const GameLink kNoGame;
  RegisterBuiltins(engine, kNoGame);
}

std::unique_ptr<EventInterpreter> MakeGameInterpreter(const GameLink& game,
                                                      const std::function<void(TScriptEngine&)>& more) {
  auto interpreter = std::make_unique<EngineInterpreter>();
  RegisterBuiltins(interpreter->Engine(), game);
  if (more) more(interpreter->Engine());
  return interpreter;
}

}  // namespace qx
