#include "scene/EventScripts.h"

namespace qx {
namespace {
ScriptContext gContext;
}

ScriptContext& Scripts() { return gContext; }

void CreateInterpreterPool(const std::function<std::unique_ptr<EventInterpreter>(int)>& make) {
  for (int i = 0; i < kInterpreterPoolSize; ++i) gContext.InterpreterPool[i] = make(i);
  gContext.ScriptDepth = 1;
}

void FreeInterpreterPool() {
  for (auto& interpreter : gContext.InterpreterPool) interpreter.reset();
}

EventInterpreter* CurrentInterpreter() {
  const int index = gContext.ScriptDepth - 1;
  if (index < 0 || index >= kInterpreterPoolSize) return nullptr;
  return gContext.InterpreterPool[index].get();
}

std::string PrepareScript(const std::string& source) {
  EventInterpreter* preparer = gContext.InterpreterPool[0].get();
  return preparer ? preparer->Prepare(source) : source;
}

}  // namespace qx
