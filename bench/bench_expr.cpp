// Expression evaluation speed: typical event-script expressions (arithmetic, comparisons,
// string concatenation, element property reads, calls, arrays) evaluated over and over,
// with the parsed-expression cache and without it. Prints evaluations per second.
//   build/bench/bench_expr [seconds-per-case]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "script/scriptengine.h"

namespace {

using namespace qx;

// A three-element tree QXDB > SCR1 > IMG1 with a few properties; IMG1 is current.
class BenchHost : public ScriptHost {
 public:
  BenchHost() {
    props_[1] = {{"PX", ScriptValue::Int(640)}, {"SCR1", ScriptValue::Element(2)}};
    props_[2] = {{"PX", ScriptValue::Int(10)}, {"IMG1", ScriptValue::Element(3)}};
    props_[3] = {{"PX", ScriptValue::Int(5)}, {"PY", ScriptValue::Int(6)}, {"ANGLE", ScriptValue::Int(0)}};
  }
  bool GetPropValue(ElementHandle e, const std::string& name, ScriptValue& value) override {
    const auto el = props_.find(e);
    if (el == props_.end()) return false;
    const auto it = el->second.find(name);
    if (it == el->second.end()) return false;
    value = it->second;
    return true;
  }
  bool SetPropValue(ElementHandle, const std::string&, const ScriptValue&) override { return false; }
  ElementHandle ParentOf(ElementHandle e) override { return e > 1 ? e - 1 : 0; }
  ElementHandle Root() override { return 1; }
  ElementHandle CurrentElement() override { return 3; }
  std::string CurrentEventName() override { return "Process"; }
  std::string Describe(ElementHandle) override { return "IMG1 <TQXImage>"; }
  std::string TranslateText(const std::string&) override { return {}; }
  void AppendErrorLog(const std::string&) override {}
  std::string ResolveGameFile(const std::string&) override { return {}; }

 private:
  std::map<ElementHandle, std::map<std::string, ScriptValue>> props_;
};

void SetUp(TScriptEngine& e) {
  // A realistic handful of variables ahead of the ones the expressions use.
  for (int i = 0; i < 12; ++i) e.Vars().Append({"TMP" + std::to_string(i), ScriptValue::Int(i)});
  e.Vars().Append({"X", ScriptValue::Int(17)});
  e.Vars().Append({"Y", ScriptValue::Int(40)});
  e.Vars().Append({"I", ScriptValue::Int(1)});
  e.Vars().Append({"SPEED", ScriptValue::Float(2.5)});
  e.Vars().Append({"S", ScriptValue::Str("Chapter")});
  e.Vars().Append({"T", ScriptValue::Str("the Clock")});
  e.Vars().Append({"STATE", ScriptValue::Str("open")});
  e.Vars().Append({"A[1,2]", ScriptValue::Int(3)});
  e.Vars().Append({"A[2,2]", ScriptValue::Int(4)});
  // Registered like the standard library: a hundred names ahead of the ones used.
  for (int i = 0; i < 100; ++i)
    e.RegisterFunction("Native" + std::to_string(i), [](TScriptEngine&, TVarList&, TVar&) { return true; });
  e.RegisterFunction("Length", [](TScriptEngine&, TVarList& p, TVar& r) {
    if (p.Count() != 1) return false;
    r.Value = ScriptValue::Int(static_cast<int32_t>(p[0].Value.ToText().size()));
    return true;
  });
}

struct Case {
  const char* kind;
  const char* text;
};

double EvaluationsPerSecond(TScriptEngine& e, const TokenStream& tokens, double seconds) {
  using Clock = std::chrono::steady_clock;
  TVar v;
  long count = 0;
  const auto start = Clock::now();
  const auto stop = start + std::chrono::duration<double>(seconds);
  auto now = start;
  while (now < stop) {
    for (int i = 0; i < 256; ++i) {
      if (!e.Evaluate(tokens, v)) {
        std::fprintf(stderr, "evaluation failed: %s\n", e.ErrorMessage().c_str());
        std::exit(1);
      }
    }
    count += 256;
    now = Clock::now();
  }
  return static_cast<double>(count) / std::chrono::duration<double>(now - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 0.5;
  BenchHost host;
  SetHost(&host);
  const Case cases[] = {
      {"arithmetic", "(X + 3) * 2 - Y / 4"},
      {"arithmetic", "SPEED * 2 + X - 1"},
      {"comparison", "X >= 10 AND Y < 20 OR STATE = 'open'"},
      {"comparison", "(X = 17) AND NOT (Y <> 40)"},
      {"concatenation", "S + ' of ' + T + '!'"},
      {"property", "PX + .PX + QXDB.SCR1.IMG1.PY"},
      {"property", "ANGLE + 5 > 360"},
      {"call", "LENGTH(S) + 1"},
      {"array", "A[I, 2] + A[I + 1, 2]"},
      {"constant", "1"},
  };
  std::printf("%-14s %-40s %14s %14s %8s\n", "kind", "expression", "cached/s", "direct/s", "ratio");
  double sumCached = 0, sumDirect = 0;
  int n = 0;
  for (const Case& c : cases) {
    const std::string text = c.text;
    const TokenStream tokens = Tokenise(text);
    TScriptEngine cached, direct;
    SetUp(cached);
    SetUp(direct);
    direct.SetExpressionCache(false);
    const double a = EvaluationsPerSecond(cached, tokens, seconds);
    const double b = EvaluationsPerSecond(direct, tokens, seconds);
    std::printf("%-14s %-40s %14.0f %14.0f %7.1fx\n", c.kind, text.c_str(), a, b, a / b);
    sumCached += 1 / a;
    sumDirect += 1 / b;
    ++n;
  }
  std::printf("%-14s %-40s %14.0f %14.0f %7.1fx\n", "all", "(harmonic mean)", n / sumCached, n / sumDirect,
              sumDirect / sumCached);
  // Tokenising is done once per distinct script text.
  std::string script;
  for (int i = 0; i < 200; ++i) script += "IF X > 10 THEN BEGIN Y := Y + 1; S := S + 'a' END; // line\n";
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  int rounds = 0;
  size_t bytes = 0;
  while (Clock::now() - start < std::chrono::duration<double>(seconds)) {
    bytes += Tokenise(script).size();
    ++rounds;
  }
  const double secs = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf("tokenise: %.1f MB of script text per second (%zu stream bytes)\n",
              static_cast<double>(script.size()) * rounds / secs / 1e6, bytes / static_cast<size_t>(rounds));
  SetHost(nullptr);
  return 0;
}
