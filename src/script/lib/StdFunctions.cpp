#include "script/lib/scriptfuncs.h"

namespace qx {

void RegisterStandardFunctions(TScriptEngine&) {}

}  // namespace qx
