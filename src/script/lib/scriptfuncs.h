// The script library: native functions registered into every interpreter. Chief header of
// src/script/lib.
#pragma once

namespace qx {

class TScriptEngine;

// The standard built-ins (conversions, strings, dates, arithmetic, variables by name,
// Decode, Mod, Random), registered by name in their fixed order.
void RegisterStandardFunctions(TScriptEngine& engine);

// The engine built-ins that act on the running game (screens, events, animations,
// effects, image lists, sounds, ini, saved state).
void RegisterEngineFunctions(TScriptEngine& engine);

// The level natives: task meters, mini-games and logic puzzles acting on the element tree.
void RegisterLevelFunctions(TScriptEngine& engine);

// Everything a game's interpreter gets: the standard and the engine built-ins and the level
// natives.
void RegisterBuiltins(TScriptEngine& engine);

}  // namespace qx
