// The checks' table of argument counts against the built-ins themselves: every registered
// built-in is listed, every count the table refuses makes a run fail, and the built-ins
// said to take any count never fail on one.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "authoring/BuiltinCalls.h"
#include "builtins/Builtins.h"
#include "script/lib/scriptfuncs.h"
#include "script/scriptengine.h"

namespace qx {
namespace {

// No game: the built-ins find no root, no ini file and no elements.
class QuietHost : public PlainScriptHost {
 public:
  QuietHost() { SetHost(this); }
  ~QuietHost() override { SetHost(nullptr); }
  void AppendErrorLog(const std::string&) override {}
};

// Runs NAME(1, 1, ...) with `count` arguments; the error message, "" when it ran.
std::string Call(const std::string& name, size_t count) {
  QuietHost host;
  TScriptEngine engine;
  RegisterBuiltins(engine);
  std::string call = name + "(";
  for (size_t i = 0; i < count; ++i) call += i ? ", 1" : "1";
  const TokenStream program = engine.Prepare("V := 1; " + call + ")");
  engine.Run(program);
  return engine.ErrorMessage();
}

TEST(BuiltinCalls, EveryRegisteredBuiltinIsListedOnce) {
  TScriptEngine engine;
  RegisterBuiltins(engine);
  std::multiset<std::string> listed;
  for (const ArgumentCount& a : BuiltinArgumentCounts()) listed.insert(a.name);
  for (std::string_view name : BuiltinsTakingAnyCount()) listed.insert(std::string(name));
  for (int i = 0; i < engine.Funcs().Count(); ++i) {
    const std::string& name = engine.Funcs()[i].Name;
    EXPECT_EQ(listed.count(name), 1u) << name;
    listed.erase(name);
  }
  EXPECT_TRUE(listed.empty()) << "listed but not registered: " << *listed.begin();
}

TEST(BuiltinCalls, EveryRefusedCountFailsTheCall) {
  int refused = 0;
  for (const ArgumentCount& a : BuiltinArgumentCounts()) {
    const size_t last = static_cast<size_t>(a.max >= 0 ? a.max + 2 : a.min + 3);
    for (size_t count = 0; count <= last; ++count) {
      if (!BuiltinRefusesCount(a.name, count)) continue;
      ++refused;
      EXPECT_EQ(Call(a.name, count), std::string("Invalid parameters, function ") + a.name) << a.name << " " << count;
    }
  }
  EXPECT_GT(refused, 150);
  EXPECT_FALSE(BuiltinRefusesCount("COPY", 3));
  EXPECT_TRUE(BuiltinRefusesCount("COPY", 2));
  EXPECT_FALSE(BuiltinRefusesCount("FORMAT", 9));
  EXPECT_FALSE(BuiltinRefusesCount("NOSUCH", 0));
}

TEST(BuiltinCalls, BuiltinsTakingAnyCountNeverFailOnIt) {
  for (std::string_view name : BuiltinsTakingAnyCount()) {
    if (name == "EXITGAME") continue;  // it would ask this process to end
    for (size_t count = 0; count <= 4; ++count) {
      EXPECT_EQ(Call(std::string(name), count), "") << name << " " << count;
      EXPECT_FALSE(BuiltinRefusesCount(name, count)) << name;
    }
  }
}

}  // namespace
}  // namespace qx
