// TScriptEngine: registries, variables, the first-error log, the native-call convention and
// the operand steps both evaluators share.
#include <exception>
#include <utility>

#include "base/CodePage.h"
#include "base/Log.h"
#include "script/ExprTree.h"
#include "script/StatementTree.h"
#include "script/Statements.h"
#include "script/scriptengine.h"

namespace qx {

TScriptEngine::TScriptEngine()
    : programs_(std::make_unique<ProgramCache>()), cache_(std::make_unique<ExprCache>()) {
  funcs_.ReportChangesTo(&registriesStamp_);
  procs_.ReportChangesTo(&registriesStamp_);
}
TScriptEngine::~TScriptEngine() = default;

bool TScriptEngine::RegisterFunction(std::string_view name, NativeFunction handler) {
  const std::string_view trimmed = TrimScript(name);
  const int i = funcs_.Find(UpperCaseAscii(trimmed));
  if (i >= 0) {
    if (handler) funcs_.SetHandler(i, std::move(handler));
    else funcs_.Remove(i);
    return true;
  }
  // An entry without a handler could only crash when called.
  if (!handler) return false;
  return funcs_.Add(trimmed, std::move(handler));
}

int TScriptEngine::FindVar(std::string_view name) const { return vars_.Find(name); }

bool TScriptEngine::ReadVar(std::string_view name, TVar& var) const {
  return vars_.Get(UpperCaseAscii(TrimScript(name)), var);
}

bool TScriptEngine::AssignVar(const TVar& var) { return vars_.Assign(var); }

bool TScriptEngine::SetVarValue(std::string_view name, const ScriptValue& value) {
  return vars_.SetExisting(UpperCaseAscii(TrimScript(name)), value);
}

void TScriptEngine::SetExpressionCache(bool on) {
  cacheEnabled_ = on;
  if (!on && evaluating_ == 0) cache_->Clear();
}

size_t TScriptEngine::CachedExpressionCount() const { return cache_->Size(); }

void TScriptEngine::ReportError(std::string_view message, std::string_view tokens, int code) {
  if (errorCode_ != 0) return;
  errorCode_ = code != 0 ? code : 1;  // a recorded error must stop the run
  detail::CheckpointAtNextStep();    // where statement lists notice it
  errorMessage_ = message;
  errorText_ = TokenText(tokens, true);
  ScriptHost& host = Host();
  const ElementHandle element = host.CurrentElement();
  const std::string where = element != 0 ? host.Describe(element) : std::string();
  const std::string line = errorMessage_ + " (" + errorText_ + " in " + where + ") " + host.CurrentEventName();
  host.AppendErrorLog(line);
  LogDetail("script", Cp1251ToUtf8(line));
}

void TScriptEngine::ResetErrorState() {
  errorCode_ = 0;
  errorMessage_.clear();
  errorText_.clear();
  depthBase_ = -1 - listNesting_;
  controlFlag_ = TControlFlag::None;
  gotoLabel_.clear();
  gotoText_.clear();
}

bool TScriptEngine::IsCallable(std::string_view name) const {
  return funcs_.Find(name) >= 0 || procs_.Find(name) >= 0;
}

TScriptEngine::CallTarget TScriptEngine::ResolveCall(const std::string& name) const {
  CallTarget t;
  t.procIndex = procs_.Find(name);
  t.isProc = t.procIndex >= 0;
  t.funcIndex = funcs_.Find(name);
  return t;
}

bool TScriptEngine::Evaluate(std::string_view tokens, TVar& var) {
  if (!cacheEnabled_) return EvaluateAt(tokens, var, 0);
  // Trees stay alive while any evaluation runs; the cache is trimmed only from the outside.
  struct Nesting {
    int& n;
    explicit Nesting(int& count) : n(count) { ++n; }
    ~Nesting() { --n; }
  } nesting(evaluating_);
  const ExprTree& tree = cache_->Get(tokens, evaluating_ == 1);
  return EvaluateTree(tree, var);
}

bool TScriptEngine::ReadIndexList(std::string_view tokens, size_t& pos, std::string& indexText) {
  return ReadIndexListAt(tokens, pos, indexText, 0);
}

bool TScriptEngine::ReadVariableOperand(const std::string& name, const std::string* index1,
                                        const std::string* index2, std::string_view stream, TVar& var,
                                        VarSlot* slot) {
  if (!index1) {
    // The common case, a plain name: one lookup finds both the variable and any array.
    bool hasArray = false;
    const int i = slot ? vars_.FindCached(name, *slot, hasArray) : vars_.FindWithArray(name, hasArray);
    if (hasArray) {
      ReportError("Array with same name exist : " + name, stream, 24);
      return false;
    }
    if (i >= 0) {
      var = std::as_const(vars_)[i];
      return true;
    }
    var.Name = name;
    if (ReadElementPath(Host().CurrentElement(), name, var.Value, &vars_)) return true;
    ReportError("Variable not found: " + name, stream, 3);
    return false;
  }
  std::string full = name;
  const std::string* stringIndex = nullptr;
  {
    const bool exists = vars_.Find(name) >= 0;
    if (exists && !index2) {
      stringIndex = index1;
    } else if (exists) {
      ReportError("Variable with same name exist : " + name, stream, 24);
      return false;
    } else {
      full = name + "[" + *index1 + "]";
      stringIndex = index2;
    }
  }
  if (!vars_.Get(full, var)) {
    ReportError("Variable not found: " + full, stream, 3);
    return false;
  }
  if (stringIndex) {
    size_t position = 0;
    if (!StringIndexPosition(var.Value, full, *stringIndex, stream, position)) return false;
    var.Value = ScriptValue::Str(std::string(1, var.Value.StrValue()[position - 1]));
  }
  return true;
}

bool TScriptEngine::StringIndexPosition(const ScriptValue& value, const std::string& name, const std::string& index,
                                        std::string_view tokens, size_t& position) {
  if (value.Kind() != ValueKind::String) {
    ReportError("Invalid variable type: " + name, tokens, 5);
    return false;
  }
  if (index.empty()) {
    ReportError("Empty string index", tokens, 19);
    return false;
  }
  if (index.find(',') != std::string::npos) {
    ReportError("Invalid string index", tokens, 19);
    return false;
  }
  int32_t n = 0;
  {
    std::string_view digits = index;
    const bool negative = digits[0] == '-';
    if (negative) digits.remove_prefix(1);
    int64_t v = 0;
    bool ok = !digits.empty() && digits.size() <= 10;
    for (char c : digits) {
      if (c < '0' || c > '9') ok = false;
      else v = v * 10 + (c - '0');
    }
    if (negative) v = -v;
    if (!ok || v < INT32_MIN || v > INT32_MAX) {
      ReportError("Invalid string index : " + index, tokens, 19);
      return false;
    }
    n = static_cast<int32_t>(v);
  }
  if (n < 1 || static_cast<size_t>(n) > value.StrValue().size()) {
    ReportError("String index out of range: " + index, tokens, 19);
    return false;
  }
  position = static_cast<size_t>(n);
  return true;
}

bool TScriptEngine::IndexPart(bool evaluated, const TVar& value, std::string_view part, std::string_view stream,
                              int32_t& index) {
  if (!evaluated) {
    ReportError("Error in expression: " + TokenText(part, true), stream, 1);
    return false;
  }
  if (!value.Value.TryToInt32(index)) {
    ReportError("Invalid index: " + TokenText(part, true), stream, 5);
    return false;
  }
  return true;
}

bool TScriptEngine::IndexListText(const IndexList& list, std::string_view stream, std::string& text) {
  if (!list.closed) {
    ReportError("] expected", stream, 21);
    return false;
  }
  for (size_t i = 0; i < list.parts.size(); ++i) {
    const ExprTree& part = *list.parts[i];
    TVar v;
    const bool ok = EvaluateValue(part, v);
    int32_t n = 0;
    if (!IndexPart(ok, v, part.stream, stream, n)) return false;
    if (i > 0) text.push_back(',');
    text += std::to_string(n);
  }
  return true;
}

bool TScriptEngine::CallByName(const std::string& name, const CallTarget& target, const std::vector<CallArg>& args,
                               TVar& result, std::string_view stream, int depth) {
  if (target.isProc) return CallProc(name, target.procIndex, args, result.Value, stream, depth);
  if (!CallNative(name, target.funcIndex, args, result, stream, depth)) {
    ReportError("Error in function: " + name, stream, 7);
    return false;
  }
  return true;
}

bool TScriptEngine::ProcedureFailed(const std::string& name, std::string_view stream) {
  ReportError("Error in procedure: " + name, stream, 7);
  return false;
}

bool TScriptEngine::CallNative(const std::string& name, int funcIndex, const std::vector<CallArg>& args,
                               TVar& result, std::string_view stream, int depth) {
  if (funcIndex < 0 || funcIndex >= funcs_.Count() || !funcs_[funcIndex].Handler) {
    ReportError("Unknown function: " + name, stream, 8);
    return false;
  }
  // A copy: the handler may change the registry while it runs.
  const NativeFunction handler = funcs_[funcIndex].Handler;
  TVarList params;
  std::vector<char> byVar(args.size(), 0);
  for (size_t i = 0; i < args.size(); ++i) {
    const CallArg& a = args[i];
    TVar v;
    const bool ok = a.tree ? EvaluateValue(*a.tree, v) : EvaluateAt(a.stream, v, depth + 1);
    if (!ok) {
      ReportError("Invalid expression in function params: " + TokenText(a.stream, true), stream, 7);
      return false;
    }
    const bool isVar = a.joinedIsIdentifier && vars_.Find(a.joined) >= 0;
    v.Name = isVar ? "VAR" : "VALUE";
    params.Append(std::move(v));
    byVar[i] = isVar;
  }
  bool ok = false;
  std::string what;
  try {
    ok = handler(*this, params, result);
  } catch (const std::exception& e) {
    ok = false;
    what = e.what();
  } catch (...) {
    ok = false;
  }
  detail::AfterNativeCall();
  // A run it started spent the budget: this level stops too, and says nothing more.
  if (detail::gRunHalted) [[unlikely]] {
    Halt(stream);
    return false;
  }
  if (!ok) {
    std::string message = "Invalid parameters, function " + name;
    if (!what.empty()) message += " : " + what;
    ReportError(message, stream, 7);
    return false;
  }
  // Bare variable arguments take back what the handler left in their parameters.
  const size_t back = std::min(args.size(), static_cast<size_t>(params.Count()));
  for (size_t i = 0; i < back; ++i) {
    if (byVar[i]) vars_.SetExisting(args[i].joined, params[static_cast<int>(i)].Value);
  }
  return true;
}

bool TScriptEngine::ApplyOperator(int op, TVar& left, const TVar& right, std::string_view stream) {
  auto isTextKey = [](const ScriptValue& v) {
    return v.Kind() == ValueKind::String && !v.StrValue().empty() && v.StrValue()[0] == '"';
  };
  if (!isTextKey(left.Value) && !isTextKey(right.Value)) {
    ScriptValue r;
    if (!ApplyBinary(op, left.Value, right.Value, r)) {
      ReportError("Invalid operand types for \"" + std::string(KeywordTable[op]) + "\"", stream, 5);
      return false;
    }
    left.Value = std::move(r);
    return true;
  }
  // A double-quoted string is a text key: its translation, when there is one, is the operand.
  auto translate = [](const ScriptValue& v, ScriptValue& holder) -> const ScriptValue* {
    if (v.Kind() != ValueKind::String || v.StrValue().empty() || v.StrValue()[0] != '"') return &v;
    const std::string& s = v.StrValue();
    std::string text = Host().TranslateText(s.size() >= 2 ? s.substr(1, s.size() - 2) : std::string());
    if (text.empty()) return &v;
    holder = ScriptValue::Str(std::move(text));
    return &holder;
  };
  ScriptValue ha, hb, r;
  const ScriptValue* a = translate(left.Value, ha);
  const ScriptValue* b = translate(right.Value, hb);
  if (!ApplyBinary(op, *a, *b, r)) {
    ReportError("Invalid operand types for \"" + std::string(KeywordTable[op]) + "\"", stream, 5);
    return false;
  }
  left.Value = std::move(r);
  return true;
}

bool TScriptEngine::ApplyPrefixOperator(int op, TVar& value, std::string_view stream) {
  ScriptValue r;
  if (!ApplyPrefix(op, value.Value, r)) {
    ReportError("Invalid operand types for \"" + std::string(KeywordTable[op]) + "\"", stream, 5);
    return false;
  }
  value.Value = std::move(r);
  return true;
}

}  // namespace qx
