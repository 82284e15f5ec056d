// The built-ins that act on a game: the engine built-ins (screens, events, animations,
// effects, image lists, sounds, ini, saved state), the level natives (task meters and
// mini-games) and the logic-puzzle natives. Chief header of src/builtins. Whoever builds the
// interpreter pool registers them; the scene layer never sees them.
#pragma once

#include <functional>
#include <memory>

#include "scene/EventScripts.h"

namespace qx {

class TQXDB;
class TScriptEngine;

// Where the built-ins find the game they act on. The interpreters are made before the root
// and live longer, so they hold this link; its owner (the main window, or a test) points it
// at the root while there is one.
struct GameLink {
  TQXDB* root = nullptr;
};

void RegisterEngineFunctions(TScriptEngine& engine, const GameLink& game);
void RegisterLevelFunctions(TScriptEngine& engine, const GameLink& game);
void RegisterLogicFunctions(TScriptEngine& engine, const GameLink& game);

// Everything a game's interpreter gets, in this order: the standard built-ins, the engine
// built-ins, the level natives and the logic-puzzle natives.
void RegisterBuiltins(TScriptEngine& engine, const GameLink& game);
// The same with no game, for the checks and tools that judge calls by name and count: the
// built-ins that act on a game find none and do nothing.
void RegisterBuiltins(TScriptEngine& engine);

// One interpreter of a game's pool: an engine with every built-in, then whatever `more`
// registers (tests reach their engines through it).
std::unique_ptr<EventInterpreter> MakeGameInterpreter(const GameLink& game,
                                                      const std::function<void(TScriptEngine&)>& more = {});

}  // namespace qx
