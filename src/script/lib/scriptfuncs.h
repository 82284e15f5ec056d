// The script library: native functions registered into every interpreter. Chief header of
// src/script/lib.
#pragma once

namespace qx {

class TScriptEngine;

// The standard built-ins (conversions, strings, dates, arithmetic, variables by name,
// Decode, Mod, Random), registered by name in their fixed order.
void RegisterStandardFunctions(TScriptEngine& engine);

}  // namespace qx
