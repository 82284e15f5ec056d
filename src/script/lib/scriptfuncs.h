// The standard built-ins: the general native functions every interpreter gets, a game's and
// qxtool's alike. They need nothing of a game. Chief header of src/script/lib; the built-ins
// that act on a game are in src/builtins.
#pragma once

namespace qx {

class TScriptEngine;

// The standard built-ins (conversions, strings, dates, arithmetic, variables by name,
// Decode, Mod, Random), registered by name in their fixed order.
void RegisterStandardFunctions(TScriptEngine& engine);

}  // namespace qx
