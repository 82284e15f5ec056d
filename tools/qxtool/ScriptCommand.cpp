// qxtool script: checks a script before it runs (every statement and expression, calls of
// unknown functions, argument counts a run refuses), or runs it with the standard built-ins
// and no current element and prints the variables it leaves.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "Command.h"
#include "authoring/BuiltinCalls.h"
#include "base/CodePage.h"
#include "base/OptionNumber.h"
#include "base/SafeFile.h"
#include "builtins/Builtins.h"
#include "resources/GameFs.h"
#include "script/ScriptBudget.h"
#include "script/ScriptCheck.h"
#include "script/lib/scriptfuncs.h"
#include "script/scriptengine.h"

namespace qxtool {
namespace {

struct ScriptOptions {
  std::string file;
  std::string folder;  // check: where USES and INCLUDE files are (default: the script's folder)
  std::vector<std::string> vars;
  uint64_t budget = qx::kDefaultScriptBudget;
  std::string budgetText = std::to_string(qx::kDefaultScriptBudget);  // as typed, read by RunScript
};

ScriptOptions gOpt;

constexpr size_t kMaxScriptBytes = size_t{16} << 20;

// The script's folder stands for the game folder: the error log goes there and USES and
// INCLUDE find their files there, names matched as the game would match them.
class ToolHost final : public qx::PlainScriptHost {
 public:
  explicit ToolHost(const std::string& folder) : PlainScriptHost(folder) {}
  void AppendErrorLog(const std::string& line) override {
    PlainScriptHost::AppendErrorLog(line);
    lines.push_back(line);
  }
  std::vector<std::string> lines;
};

std::string FolderOf(const std::string& file) {
  const std::string folder = std::filesystem::path(file).parent_path().string();
  return folder.empty() ? std::string(".") : folder;
}

// An engine with the standard built-ins on a host whose files and error log are those of
// the script's folder, installed for as long as the session lasts.
struct ScriptSession {
  explicit ScriptSession(const std::string& file) : host(FolderOf(file)) {
    qx::SetHost(&host);
    qx::RegisterStandardFunctions(engine);
  }
  ~ScriptSession() { qx::SetHost(nullptr); }
  ScriptSession(const ScriptSession&) = delete;
  ScriptSession& operator=(const ScriptSession&) = delete;

  ToolHost host;
  qx::TScriptEngine engine;
};

// NAME = VALUE (KIND): strings in apostrophes, numbers in their shortest text.
std::string VarLine(const qx::TVar& var) {
  const qx::ScriptValue& v = var.Value;
  std::string value = v.Kind() == qx::ValueKind::String ? "'" + v.StrValue() + "'" : v.ToText();
  return qx::Cp1251ToUtf8(var.Name + " = " + value + " (" + qx::ValueKindName(v.Kind()) + ")");
}

// --var NAME=VALUE: TRUE and FALSE (any case) are booleans, decimal numbers are numbers
// (Integer when whole and within 32 bits), 'text' and anything else are strings.
bool ParseVar(const std::string& option, qx::TVar& var) {
  const size_t eq = option.find('=');
  if (eq == std::string::npos) {
    Fail("--var " + option + ": expected NAME=VALUE", 2);
    return false;
  }
  const auto name = qx::Utf8ToCp1251(option.substr(0, eq));
  const auto text = qx::Utf8ToCp1251(option.substr(eq + 1));
  if (!name || !text) {
    Fail("--var " + option + ": a character has no code page 1251 form", 2);
    return false;
  }
  var.Name = qx::UpperCaseAscii(qx::TrimScript(*name));
  if (!qx::IsIdentifier(var.Name)) {
    Fail("--var " + option + ": '" + option.substr(0, eq) + "' is no variable name", 2);
    return false;
  }
  const std::string& s = *text;
  const std::string upper = qx::UpperCaseAscii(s);
  double d = 0;
  bool isInteger = false;
  int64_t n = 0;
  if (upper == "TRUE" || upper == "FALSE") {
    var.Value = qx::ScriptValue::Bool(upper == "TRUE");
  } else if (s.size() >= 2 && s.front() == '\'' && s.back() == '\'') {
    var.Value = qx::ScriptValue::Str(s.substr(1, s.size() - 2));
  } else if (qx::ParseDecimal(s, d, isInteger, n)) {
    if (isInteger && n >= INT32_MIN && n <= INT32_MAX) var.Value = qx::ScriptValue::Int(static_cast<int32_t>(n));
    else var.Value = qx::ScriptValue::Float(d);
  } else {
    var.Value = qx::ScriptValue::Str(s);
  }
  return true;
}

bool ReadScript(std::string& text) {
  std::string error;
  if (!qx::ReadWholeFile(gOpt.file, text, error, kMaxScriptBytes)) {
    Fail(error);
    return false;
  }
  return true;
}

// The script's folder (or --folder) stands for the game folder; a check writes no error log.
class CheckHost final : public qx::PlainScriptHost {
 public:
  explicit CheckHost(const std::string& folder) : PlainScriptHost(folder), fs_(folder) {}
  void AppendErrorLog(const std::string&) override {}
  std::string DiskName(const std::string& name) {
    const auto path = fs_.ResolveFile(name);
    return qx::Cp1251ToUtf8(path ? *path : name);
  }

 private:
  qx::TGameFs fs_;
};

void Check() {
  std::string text;
  if (!ReadScript(text)) return;
  CheckHost host(gOpt.folder.empty() ? FolderOf(gOpt.file) : gOpt.folder);
  qx::SetHost(&host);
  qx::TScriptEngine engine;
  qx::RegisterBuiltins(engine);
  const qx::ScriptCheckResult result = qx::CheckScript(engine, text, qx::BuiltinRefusesCount);
  qx::SetHost(nullptr);
  for (const qx::ScriptFinding& f : result.findings) {
    std::string where = f.place.file.empty() ? gOpt.file : host.DiskName(f.place.file);
    if (f.place.line > 0) where += ":" + std::to_string(f.place.line);
    std::printf("%s: %s\n", where.c_str(), qx::Cp1251ToUtf8(qx::DescribeFinding(f)).c_str());
  }
  if (result.findings.empty()) std::printf("%s: ok\n", gOpt.file.c_str());
  else SetExitStatus(1);
}

void RunScript() {
  const std::string problem =
      qx::ReadOptionNumber<uint64_t>("--script-budget", gOpt.budgetText, 0, UINT64_MAX, gOpt.budget);
  if (!problem.empty()) return Fail(problem, 2);
  std::vector<qx::TVar> given;
  for (const std::string& option : gOpt.vars) {
    qx::TVar var;
    if (!ParseVar(option, var)) return;
    given.push_back(std::move(var));
  }
  std::string text;
  if (!ReadScript(text)) return;
  ScriptSession session(gOpt.file);
  qx::TScriptEngine& engine = session.engine;
  qx::SetScriptBudget(gOpt.budget);
  for (const qx::TVar& var : given) engine.Vars().Assign(var);
  const qx::TokenStream program = engine.Prepare(text);
  const bool ok = !engine.Failed() && engine.Run(program);
  if (!ok) {
    const std::string line = session.host.lines.empty() ? engine.ErrorMessage() : session.host.lines.back();
    std::fprintf(stderr, "%s\n", qx::Cp1251ToUtf8(line).c_str());
    SetExitStatus(1);
  } else {
    const qx::TVarList& vars = engine.Vars();
    for (int i = 0; i < vars.Count(); ++i) std::printf("%s\n", VarLine(vars[i]).c_str());
  }
}

const CommandRegistration kScript("script", [](CLI::App& app) {
  CLI::App* script = app.add_subcommand("script", "Check or run a script file");
  script->require_subcommand(1);

  CLI::App* check = script->add_subcommand(
      "check",
      "check a script before it runs: every statement and expression of the whole program (USES and INCLUDE "
      "files too), calls of functions that are neither built-ins nor declared, and argument counts a run "
      "refuses. Prints every problem as FILE:LINE: error CODE: MESSAGE (STATEMENT) with the message and code "
      "a run would give, or FILE: ok; exits 1 when it found one");
  check->add_option("FILE", gOpt.file, "the script file")->required();
  check->add_option("--folder", gOpt.folder, "the game folder USES and INCLUDE files are looked up in (default: the script's folder)");
  check->callback(Check);

  CLI::App* run = script->add_subcommand(
      "run",
      "run a script with the standard built-ins and no current element, then print every variable it "
      "leaves as NAME = VALUE (KIND); on an error print the error log's line and exit 1. The error log "
      "korvane.err is written beside the script, and USES and INCLUDE read files from its folder");
  run->add_option("FILE", gOpt.file, "the script file")->required();
  run->add_option("--var", gOpt.vars,
                  "a variable set before the run, NAME=VALUE: TRUE or FALSE, a decimal number, or text "
                  "('text' keeps blanks at its ends)");
  run->add_option("--script-budget", gOpt.budgetText,
                  "statements and loop passes the run may take before it is stopped (0: no limit)")
      ->type_name("N")
      ->capture_default_str();
  run->callback(RunScript);
});

}  // namespace
}  // namespace qxtool
