// The script interpreter as one interpreter of the element model's pool: a TScriptEngine
// behind the EventInterpreter interface.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "scene/EventScripts.h"
#include "script/scriptengine.h"

namespace qx {

class EngineInterpreter final : public EventInterpreter {
 public:
  std::string Prepare(const std::string& source) override { return engine_.Prepare(source); }
  void ClearVars() override { engine_.Vars().Clear(); }
  bool Run(const std::string& prepared) override { return engine_.Run(prepared); }
  const TVarList& Vars() const override { return engine_.Vars(); }
  TScriptEngine& Engine() { return engine_; }

 private:
  TScriptEngine engine_;
};

// The pool's factory: an interpreter with the standard built-ins, then whatever `more`
// registers (the engine's own built-ins).
std::unique_ptr<EventInterpreter> MakeEngineInterpreter(const std::function<void(TScriptEngine&)>& more = {});

}  // namespace qx
