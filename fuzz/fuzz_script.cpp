// Script text through Prepare and Run with the standard built-ins, once on the cached
// executors and once on the direct ones: both must leave the same variables and first error.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "script/ScriptBudget.h"
#include "script/lib/scriptfuncs.h"
#include "script/scriptengine.h"

using namespace qx;

namespace {

// Scripts find no files (USES and INCLUDE fail) and the error log is dropped: a fuzzing run
// would fill the disk with it.
class SilentHost final : public PlainScriptHost {
 public:
  void AppendErrorLog(const std::string&) override {}
  std::string ResolveGameFile(const std::string&) override { return {}; }
};

// Each run may take this many statements and loop passes: a script that never ends stops
// at the same step on both executors, quickly.
constexpr uint64_t kBudget = 20000;

struct Outcome {
  int code = 0;
  std::string message, vars;
};

Outcome RunOnce(std::string_view text, bool cached) {
  TScriptEngine engine;
  RegisterStandardFunctions(engine);
  // A clock that stands still, so that both runs see the same time.
  for (const char* name : {"Now", "Date", "Time"}) {
    const double at = std::string_view(name) == "Time" ? 0.5 : std::string_view(name) == "Date" ? 45000 : 45000.5;
    engine.RegisterFunction(name, [at](TScriptEngine&, TVarList& p, TVar& r) {
      if (p.Count() != 0) return false;
      r.Value = ScriptValue::DateTime(at);
      return true;
    });
  }
  engine.SetStatementCache(cached);
  engine.SetExpressionCache(cached);
  const TokenStream program = engine.Prepare(text);
  if (!engine.Failed()) engine.Run(program);
  Outcome out{engine.ErrorCode(), engine.ErrorMessage(), {}};
  const TVarList& vars = engine.Vars();
  for (int i = 0; i < vars.Count(); ++i) {
    out.vars += vars[i].Name + "=" + ValueKindName(vars[i].Value.Kind()) + ":" + vars[i].Value.ToText() + "\n";
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static SilentHost host;
  SetHost(&host);
  SetScriptBudget(kBudget);
  const std::string_view text = fuzz::AsText(data, size);
  const Outcome cached = RunOnce(text, true);
  const Outcome direct = RunOnce(text, false);
  if (cached.code != direct.code || cached.message != direct.message || cached.vars != direct.vars) {
    std::fprintf(stderr, "cached: %d %s\n%s\ndirect: %d %s\n%s\n", cached.code, cached.message.c_str(),
                 cached.vars.c_str(), direct.code, direct.message.c_str(), direct.vars.c_str());
    fuzz::Broken("the cached and the direct executors disagree");
  }
  return 0;
}
