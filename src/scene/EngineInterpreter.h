// The script interpreter as one interpreter of the element model's pool: a TScriptEngine
// behind the EventInterpreter interface. Its built-ins are registered by whoever makes it
// (builtins/Builtins.h: MakeGameInterpreter).
#pragma once

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

}  // namespace qx
