// Running scripts: Run, the direct statement executor that finds each statement in the
// text every time it runs (the reference for the parsed executor in StatementTree.cpp),
// the statement steps both executors share, and calls of declared procedures.
#include <utility>

#include "base/CodePage.h"
#include "base/Log.h"

#include "script/EvalCommon.h"
#include "script/ExprFast.h"
#include "script/StatementNodes.h"
#include "script/StatementTree.h"
#include "script/Statements.h"
#include "script/scriptengine.h"

namespace qx {

// --- Run ------------------------------------------------------------------------------------

bool TScriptEngine::Run(std::string_view program) {
  // The outermost run starts the budget that every run it nests shares.
  struct RunScope {
    RunScope() { detail::BeginScriptRun(); }
    ~RunScope() { detail::EndScriptRun(); }
  } scope;
  ResetErrorState();
  std::string_view declarations, main;
  SplitProgram(program, declarations, main);
  LoadDeclarations(declarations);
  if (statementCache_) {
    const std::shared_ptr<CompiledProgram> compiled = programs_->Get(main);
    RunList(compiled->list);
  } else {
    // A copy: what the script calls may replace the text it was handed (its own property).
    const TokenStream text(main);
    RunBlockDirect(text);
  }
  // An EXIT at the outermost level just ends the run.
  controlFlag_ = TControlFlag::None;
  gotoLabel_.clear();
  gotoText_.clear();
  return errorCode_ == 0;
}

void TScriptEngine::SetStatementCache(bool on) {
  statementCache_ = on;
  if (!on) programs_->Clear();
}

size_t TScriptEngine::CachedProgramCount() const { return programs_->Size(); }

// --- steps shared by both executors ------------------------------------------------------------

std::string TScriptEngine::TooLongMessage() {
  return "Script ran too long: " + std::to_string(ScriptBudget()) + " statements";
}

bool TScriptEngine::BudgetCheckpoint(std::string_view statement) {
  // An error brings the checkpoint forward: statement lists stop here, taking no step.
  if (Failed()) return false;
  switch (detail::ScriptCheckpoint()) {
    case detail::Checkpoint::Go: return true;
    case detail::Checkpoint::Spent: ReportError(TooLongMessage(), statement, kScriptTooLongCode); return false;
    case detail::Checkpoint::Stopped: {
      Halt(statement);
      ScriptHost& host = Host();
      const ElementHandle element = host.CurrentElement();
      LogDetail("script", Cp1251ToUtf8(errorMessage_ + " (" + errorText_ + " in " +
                                       (element != 0 ? host.Describe(element) : std::string()) + ") " +
                                       host.CurrentEventName()));
      return false;
    }
    case detail::Checkpoint::Halted: Halt(statement); return false;
  }
  return false;
}

void TScriptEngine::Halt(std::string_view statement) {
  if (errorCode_ != 0) return;
  detail::CheckpointAtNextStep();
  if (detail::gRunStopped) {
    errorCode_ = kScriptStoppedCode;
    errorMessage_ = "Script stopped: the game is closing";
  } else {
    errorCode_ = kScriptTooLongCode;
    errorMessage_ = TooLongMessage();
  }
  errorText_ = TokenText(statement, true);
}

bool TScriptEngine::ReportOutsideLoop(std::string_view statement) {
  if (BlockDepth() != 0) return false;
  if (controlFlag_ == TControlFlag::Break) ReportError("BREAK outside loop", statement, 15);
  else if (controlFlag_ == TControlFlag::Continue) ReportError("CONTINUE outside loop", statement, 15);
  else return false;
  return true;
}

bool TScriptEngine::LoopBound(bool evaluated, const ScriptValue& value, std::string_view statement, int32_t& bound) {
  if (!evaluated) {
    ReportError("Error in expression", statement, 1);
    return false;
  }
  if (!value.TryToInt32(bound)) {
    ReportError("Invalid loop variable value ", statement, 5);
    return false;
  }
  return true;
}

// BREAK | CONTINUE | EXIT
void TScriptEngine::SetFlag(TControlFlag flag, std::string_view statement, bool surplus) {
  controlFlag_ = flag;
  if (!surplus) return;
  const char* word = flag == TControlFlag::Break ? "BREAK" : flag == TControlFlag::Continue ? "CONTINUE" : "EXIT";
  ReportError(std::string("Invalid ") + word + " operator", statement, 1);
}

// GOTO label
void TScriptEngine::SetGoto(std::string_view statement, size_t pos) {
  const Token label = ReadToken(statement, pos);
  if (!IsLabelToken(label)) {
    ReportError("Invalid label in GOTO", statement, 1);
    return;
  }
  if (PeekToken(statement, pos) != tkEof) {
    ReportError("Error in GOTO statement", statement, 1);
    return;
  }
  gotoLabel_ = label.Text;
  gotoText_ = statement;
  controlFlag_ = TControlFlag::Goto;
}

bool TScriptEngine::CaseLabelMatches(const ScriptValue& selector, const ScriptValue& low, const ScriptValue& high,
                                     std::string_view statement, bool& match) {
  match = false;
  int order = 0;
  if (low.IsString() != high.IsString() || !CompareValues(low, high, order) || order == kUnordered) {
    ReportError("Invalid typecast in CASE range", statement, 1);
    return false;
  }
  const ScriptValue* from = &low;
  const ScriptValue* to = &high;
  if (order > 0) std::swap(from, to);
  if (selector.IsString() != from->IsString()) return true;
  int below = 0, above = 0;
  if (!CompareValues(*from, selector, below) || below == kUnordered || below > 0) return true;
  if (!CompareValues(selector, *to, above) || above == kUnordered || above > 0) return true;
  match = true;
  return true;
}

// `value` may be a variable's own value: it is copied before the variables change.
void TScriptEngine::CompleteAssignment(const std::string& name, bool nameIsIdentifier, const std::string* index1,
                                       const std::string* index2, const ScriptValue& value,
                                       std::string_view statement, VarSlot* slot) {
  if (!index1) {
    bool hasArray = false;
    const int i = slot ? vars_.FindCached(name, *slot, hasArray) : vars_.FindWithArray(name, hasArray);
    if (hasArray) {
      ReportError("Array with same name exist : " + name, statement, 24);
      return;
    }
    if (!nameIsIdentifier) {
      ReportError("Invalid variable name: " + name, statement, 4);
      return;
    }
    if (i >= 0) {
      vars_.SetValueAt(i, value);  // the existing variable
      return;
    }
    // An element path, else a new variable.
    vars_.AssignMissing(name, value, name.find('.') == std::string::npos, slot);
    return;
  }
  std::string target = name;
  const std::string* stringIndex = nullptr;
  const bool exists = vars_.Find(name) >= 0;
  if (exists && !index2) {
    stringIndex = index1;
  } else if (exists) {
    ReportError("Variable with same name exist : " + name, statement, 24);
    return;
  } else {
    target = name + "[" + *index1 + "]";
    stringIndex = index2;
  }
  if (!IsIdentifier(target)) {
    ReportError("Invalid variable name: " + target, statement, 4);
    return;
  }
  if (!stringIndex) {
    vars_.Assign({std::move(target), value});
    return;
  }
  // One character of a string variable.
  TVar current;
  if (!vars_.Get(target, current)) {
    ReportError("Variable not found :" + target, statement, 3);
    return;
  }
  if (current.Value.Kind() != ValueKind::String) {
    ReportError("Invalid variable type: " + target, statement, 5);
    return;
  }
  size_t position = 0;
  if (!StringIndexPosition(current.Value, target, *stringIndex, statement, position)) return;
  char c = 0;
  if (value.Kind() == ValueKind::String) {
    const std::string& s = value.StrValue();
    if (s.size() != 1) {
      ReportError("Character expected: '" + s + "'", statement, 20);
      return;
    }
    c = s[0];
  } else {
    int32_t code = 0;
    if (!value.TryToInt32(code)) {
      ReportError("Invalid variable type: " + target, statement, 5);
      return;
    }
    if (code < 0 || code > 255) {
      ReportError("Character value out of range: " + std::to_string(code), statement, 20);
      return;
    }
    c = static_cast<char>(code);
  }
  std::string text = current.Value.StrValue();
  text[position - 1] = c;
  vars_.Assign({target, ScriptValue::Str(std::move(text))});
}

// --- the direct executor ------------------------------------------------------------------------

// list -> [statement] {";" [statement]}
void TScriptEngine::RunBlockDirect(std::string_view list) {
  if (!EnterList(list)) return;
  size_t pos = 0;
  while (!Failed()) {
    const SplitResult s = SplitStatement(list, pos, false);
    if (s.errorCode != 0) {
      ReportError(s.errorMessage, s.tokens, s.errorCode);
      break;
    }
    if (s.tokens.empty() || !Step(s.tokens)) break;
    ExecDirect(s.tokens);
    if (controlFlag_ == TControlFlag::None) continue;
    ReportOutsideLoop(s.tokens);
    if (controlFlag_ != TControlFlag::Goto) break;
    // A jump to a label of this list, before or after the GOTO.
    bool found = false;
    size_t search = 0;
    while (!Failed()) {
      const size_t before = search;
      const SplitResult t = SplitStatement(list, search, false);
      if (t.errorCode != 0) {
        ReportError(t.errorMessage, t.tokens, t.errorCode);
        break;
      }
      if (t.tokens.empty()) break;
      std::string_view label;
      if (LabelOf(t.tokens, label) && label == gotoLabel_) {
        found = true;
        pos = before;
        break;
      }
    }
    if (!found) break;
    controlFlag_ = TControlFlag::None;
    gotoLabel_.clear();
    gotoText_.clear();
  }
  LeaveList();
}

void TScriptEngine::ExecDirect(std::string_view statement) {
  const StatementHead h = ReadHead(statement);
  switch (h.head.Code) {
    case tkIdent: AssignOrCallDirect(statement, h.headPos, h.operandPos); return;
    case tkBegin: {
      // BEGIN statement-list END
      std::string_view inner;
      if (!EndsWithEnd(statement.substr(h.operandPos), inner)) {
        ReportError("END expected", statement, 10);
        return;
      }
      RunBlockDirect(inner);
      return;
    }
    case tkIf: IfDirect(statement, h.operandPos); return;
    case tkFor: ForDirect(statement, h.operandPos); return;
    case tkWhile: WhileDirect(statement, h.operandPos); return;
    case tkRepeat: RepeatDirect(statement, h.operandPos); return;
    case tkBreak: SetFlag(TControlFlag::Break, statement, PeekToken(statement, h.operandPos) != tkEof); return;
    case tkContinue: SetFlag(TControlFlag::Continue, statement, PeekToken(statement, h.operandPos) != tkEof); return;
    case tkExit: SetFlag(TControlFlag::Exit, statement, PeekToken(statement, h.operandPos) != tkEof); return;
    case tkGoto: SetGoto(statement, h.operandPos); return;
    case tkCase: CaseDirect(statement, h.operandPos); return;
    case tkEnd: ReportError("Too many END", statement, 11); return;
    case tkElse: ReportError("ELSE without IF", statement, 9); return;
    default: ReportError(StatementMessage("Invalid operator: ", h.head.Text), statement, 9); return;
  }
}

// assignment -> name [index-list [index-list]] ":=" expression
// call       -> name [arguments]     (any expression starting with the name)
void TScriptEngine::AssignOrCallDirect(std::string_view statement, size_t headPos, size_t operandPos) {
  size_t namePos = headPos;
  const std::string name(ReadToken(statement, namePos).Text);
  size_t pos = operandPos;
  std::string index1, index2;
  bool has1 = false, has2 = false;
  if (PeekToken(statement, pos) == tkOpenBracket) {
    if (!ReadIndexList(statement, pos, index1)) return;
    has1 = true;
    if (PeekToken(statement, pos) == tkOpenBracket) {
      if (!ReadIndexList(statement, pos, index2)) return;
      has2 = true;
    }
  }
  const Token next = ReadToken(statement, pos);
  if (next.Code == tkOpenParen || next.Code == tkOpenBracket || next.Code == tkEof) {
    TVar ignored;
    if (!Evaluate(statement.substr(headPos), ignored))
      ReportError("Error in expression", statement, 1);
    return;
  }
  if (next.Code != tkAssign) {
    ReportError("Found " + std::string(next.Text) + ", expected :=, (, [ or ;", statement, 1);
    return;
  }
  TVar value;
  if (!Evaluate(statement.substr(pos), value)) {
    ReportError("Error in expression", statement, 1);
    return;
  }
  CompleteAssignment(name, IsIdentifier(name), has1 ? &index1 : nullptr, has2 ? &index2 : nullptr, value.Value,
                     statement, nullptr);
}

// IF condition THEN statement [ELSE statement-list]
void TScriptEngine::IfDirect(std::string_view statement, size_t pos) {
  std::string_view condition;
  ScanTo(statement, pos, {tkThen}, condition);
  TVar value;
  const bool evaluated = Evaluate(condition, value);
  bool holds = false;
  if (!Condition(evaluated, value.Value, statement, holds)) return;
  // The THEN branch ends at the first ELSE outside BEGIN, CASE and REPEAT.
  const SplitResult branch = SplitStatement(statement, pos, true);
  if (branch.errorCode != 0) {
    ReportError(branch.errorMessage, branch.tokens, branch.errorCode);
    return;
  }
  if (holds) RunBlockDirect(branch.tokens);
  else if (branch.endedBy == tkElse) RunBlockDirect(statement.substr(pos));
}

// FOR name ":=" expression (TO | DOWNTO) expression DO statement
void TScriptEngine::ForDirect(std::string_view statement, size_t pos) {
  std::string_view head;
  const int direction = ScanTo(statement, pos, {tkTo, tkDownto}, head);
  if (direction == 0) {
    ReportError("TO or DOWNTO expected", statement, 12);
    return;
  }
  size_t headPos = 0;
  const Token variable = ReadToken(head, headPos);
  if (variable.Code != tkIdent) {
    ReportError("FOR control variable expected", statement, 13);
    return;
  }
  const Token assign = ReadToken(head, headPos);
  if (assign.Code != tkAssign) {
    ReportError(StatementMessage("Invalid \xEE\xF0" "erator: ", assign.Text) + " (':=' expected ", statement, 9);
    return;
  }
  TVar value;
  bool evaluated = Evaluate(head.substr(headPos), value);
  int32_t start = 0, end = 0;
  if (!LoopBound(evaluated, value.Value, statement, start)) return;
  std::string_view last;
  if (ScanTo(statement, pos, {tkDo}, last) == 0) {
    ReportError("DO expected", statement, 14);
    return;
  }
  evaluated = Evaluate(last, value);
  if (!LoopBound(evaluated, value.Value, statement, end)) return;
  const std::string_view body = statement.substr(pos);
  const std::string name(variable.Text);
  VarSlot slot;
  const bool down = direction == tkDownto;
  // A 64-bit counter: a loop up to the largest integer ends instead of wrapping around.
  for (int64_t counter = start; down ? counter >= end : counter <= end; counter += down ? -1 : 1) {
    if (!Step(statement)) return;
    if (!SetLoopVariable(name, counter, slot)) {
      ReportError("Invalid variable name: " + name, statement, 1);
      return;
    }
    RunBlockDirect(body);
    if (Failed() || !LoopPassContinues()) return;
  }
}

// WHILE condition DO statement
void TScriptEngine::WhileDirect(std::string_view statement, size_t pos) {
  std::string_view condition;
  if (ScanTo(statement, pos, {tkDo}, condition) == 0) {
    ReportError("DO expected", statement, 14);
    return;
  }
  const std::string_view body = statement.substr(pos);
  while (true) {
    TVar value;
    const bool evaluated = Evaluate(condition, value);
    bool holds = false;
    if (!Condition(evaluated, value.Value, statement, holds) || !holds || !Step(statement)) return;
    RunBlockDirect(body);
    if (Failed() || !LoopPassContinues()) return;
  }
}

// REPEAT statement-list UNTIL condition
void TScriptEngine::RepeatDirect(std::string_view statement, size_t pos) {
  std::string_view body;
  if (ScanTo(statement, pos, {tkUntil}, body) == 0) {
    ReportError("UNTIL expected", statement, 16);
    return;
  }
  const std::string_view condition = statement.substr(pos);
  while (true) {
    if (!Step(statement)) return;
    RunBlockDirect(body);
    if (Failed()) return;
    TVar value;
    const bool evaluated = Evaluate(condition, value);
    bool holds = false;
    if (!Condition(evaluated, value.Value, statement, holds)) return;
    if (holds) return;  // a flag of the last pass stays set
    if (!LoopPassContinues()) return;
  }
}

// CASE expression OF {labels ":" statement ";"} [ELSE statement ";"] END
//   labels -> label {"," label};  label -> expression [".." expression]
void TScriptEngine::CaseDirect(std::string_view statement, size_t pos) {
  std::string_view selectorText;
  if (ScanTo(statement, pos, {tkOf}, selectorText) == 0) {
    ReportError("OF expected", statement, 14);
    return;
  }
  TVar selector;
  if (!Evaluate(selectorText, selector)) {
    ReportError("Error in expression", statement, 1);
    return;
  }
  std::string_view otherwise;
  bool hasElse = false;
  while (!Failed()) {
    const int next = PeekToken(statement, pos);
    if (next == tkEnd) {
      if (hasElse) RunBlockDirect(otherwise);
      return;
    }
    if (next == tkEof) {
      ReportError("Error in CASE statement", statement, 1);
      return;
    }
    if (next == tkElse) {
      ReadToken(statement, pos);
      if (hasElse) {
        ReportError("Too many ELSEin CASE statement", statement, 28);
        return;
      }
      const SplitResult s = SplitStatement(statement, pos, false);
      if (s.errorCode != 0) {
        ReportError(s.errorMessage, s.tokens, s.errorCode);
        return;
      }
      otherwise = s.tokens;
      hasElse = true;
      continue;
    }
    std::string_view labels;
    if (ScanTo(statement, pos, {tkColon}, labels) == 0) {
      ReportError(": expected", statement, 29);
      return;
    }
    if (labels.empty()) {
      ReportError("Range defininition expected", statement, 29);
      return;
    }
    const SplitResult branch = SplitStatement(statement, pos, false);
    if (branch.errorCode != 0) {
      ReportError(branch.errorMessage, branch.tokens, branch.errorCode);
      return;
    }
    for (std::string_view label : SplitAtCommas(labels, false)) {
      size_t labelPos = 0;
      std::string_view lowText;
      const bool range = ScanTo(label, labelPos, {tkRange}, lowText) != 0;
      TVar low, high;
      if (!Evaluate(lowText, low)) {
        ReportError("Error in expression", statement, 1);
        return;
      }
      if (range && !Evaluate(label.substr(labelPos), high)) {
        ReportError("Error in expression", statement, 1);
        return;
      }
      bool match = false;
      if (!CaseLabelMatches(selector.Value, low.Value, range ? high.Value : low.Value, statement, match)) return;
      if (match) {
        RunBlockDirect(branch.tokens);
        return;
      }
    }
  }
}

// --- declared procedures and functions ---------------------------------------------------------

PreparedProc* TScriptEngine::PrepareProc(int index) {
  if (procCacheGeneration_ != procs_.Generation()) {
    for (auto& entry : procCache_) {
      if (entry && callNesting_ > 0) retiredProcs_.push_back(std::move(entry));
    }
    procCache_.clear();
    procCache_.resize(static_cast<size_t>(procs_.Count()));
    procCacheGeneration_ = procs_.Generation();
  }
  std::unique_ptr<PreparedProc>& entry = procCache_[static_cast<size_t>(index)];
  if (!entry) {
    const TProcedure& p = procs_[index];
    entry = std::make_unique<PreparedProc>();
    entry->name = p.Name;
    entry->body = p.Body;
    entry->isFunction = p.IsFunction;
    size_t start = 0;
    while (start < p.Params.size()) {
      size_t end = p.Params.find("\r\n", start);
      if (end == std::string::npos) end = p.Params.size();
      entry->params.push_back(p.Params.substr(start, end - start));
      start = end + 2;
    }
    entry->paramSlots.resize(entry->params.size());
    for (const std::string& param : entry->params) {
      entry->plainParams.push_back(param.find('.') == std::string::npos);
      if (!entry->plainParams.back()) entry->allPlain = false;
    }
    entry->finalSlots.resize(entry->params.size());
  }
  return entry.get();
}

bool TScriptEngine::CallProcedure(const std::string& name, const std::vector<std::string_view>& args, TVar& result) {
  std::vector<std::string> joined(args.size());
  std::vector<CallArg> callArgs(args.size());
  for (size_t i = 0; i < args.size(); ++i) {
    joined[i] = JoinedName(args[i], callArgs[i].joinedIsIdentifier);
    callArgs[i].stream = args[i];
  }
  for (size_t i = 0; i < args.size(); ++i) callArgs[i].joined = joined[i];
  return CallDeclared(name, -1, callArgs, result.Value, {}, 0);
}

// The binding the call before made, when the names are as they were then: every parameter
// a new entry, every argument a constant or a variable found before the binding. Such
// arguments cannot see the parameters (a variable named like one would have been found
// instead of making a new entry), so their values are all read first and the entries made
// in one step. False, having changed nothing, when the call needs the usual binding.
[[gnu::always_inline]] inline bool TScriptEngine::BindPlanned(PreparedProc& proc, const std::vector<CallArg>& args) {
  const size_t count = proc.params.size();
  if (proc.bindFrom != vars_.Generation() || count > kPlannedParams) return false;
  const ScriptValue* values[kPlannedParams];
  const CallArg* const arg = args.data();
  for (size_t i = 0; i < count; ++i) {
    if (!arg[i].tree || !(values[i] = QuickLeaf(*arg[i].tree))) return false;
  }
  // With a current element, each name is offered to it first.
  if (Host().CurrentElement() != 0) return false;
  return vars_.AppendFrame(proc.params.data(), values, count, proc.bindTo);
}

// Each argument in turn, evaluated and assigned under its parameter's name (an argument
// sees the parameters before it).
[[gnu::always_inline]] inline bool TScriptEngine::BindParameters(PreparedProc& proc, const std::vector<CallArg>& args,
                                                                 std::string_view stream, int depth) {
  ScriptValue scratch;  // an argument's value when it is made (used before the next one)
  const size_t count = proc.params.size();
  const CallArg* const arg = args.data();
  const std::string* const param = proc.params.data();
  VarSlot* const slot = proc.paramSlots.data();
  // Whether this binding may be repeated by BindPlanned: only leaves read (nothing else can
  // change the names meanwhile) and every parameter appended.
  const uint64_t from = vars_.Generation();
  const int before = vars_.Count();
  bool leaves = proc.allPlain && count <= kPlannedParams;
  for (size_t i = 0; i < count; ++i) {
    const ScriptValue* value = nullptr;
    if (arg[i].tree) [[likely]] {
      value = QuickLeaf(*arg[i].tree);
      if (!value) {
        leaves = false;
        value = EvaluateRef(*arg[i].tree, scratch);
      }
    } else {
      leaves = false;
      TVar record;
      if (EvaluateAt(arg[i].stream, record, depth + 1)) {
        scratch = std::move(record.Value);
        value = &scratch;
      }
    }
    if (!value) [[unlikely]] {
      ReportError(StatementMessage("Invalid expression in function params: ", TokenText(arg[i].stream, true)),
                  stream, 7);
      return false;
    }
    // The assignment rule, with the lookup kept from the call before (parameter names are
    // identifiers).
    bool hasArray = false;
    const int existing = vars_.FindCached(param[i], slot[i], hasArray);
    if (existing >= 0) {
      vars_.SetValueAt(existing, *value);
      continue;
    }
    if (!vars_.AssignMissing(param[i], *value, proc.plainParams[i] != 0, &slot[i])) [[unlikely]] {
      ReportError(StatementMessage("Duplicate variable name: ", param[i]), stream, 24);
      return false;
    }
  }
  if (leaves && vars_.Count() == before + static_cast<int>(count)) {
    proc.bindFrom = from;
    proc.bindTo = vars_.Generation();
  }
  return true;
}

// Whether the body of `proc` is RESULT := a pure expression without array elements or
// RESULT in it, alone or inside BEGIN ... END, so that CallInline may evaluate it: 1 yes,
// -1 no, 0 not known before the body has run (its statements and flat code are made then).
static int8_t FindInlineBody(PreparedProc& proc) {
  if (!proc.isFunction || !proc.allPlain || proc.params.size() > kPlannedParams) return -1;
  for (const std::string& param : proc.params) {
    if (param == "RESULT" || param.find('[') != std::string::npos) return -1;
  }
  if (!proc.compiled) return 0;
  // Each BEGIN ... END around the statement is a statement and a list more.
  const CList* list = &proc.compiled->list;
  int lists = 1;
  while (true) {
    if (!list->parsed) return 0;
    if (list->splitErrorCode != 0 || list->statements.size() != 1) return -1;
    const CStatement& s = *list->statements[0];
    if (s.kind != SKind::Block) break;
    const auto& b = static_cast<const CBlock&>(s);
    if (!b.inner || lists == kInlineListsMax) return -1;
    list = b.inner.get();
    ++lists;
  }
  const CStatement& s = *list->statements[0];
  if (s.kind != SKind::Assign) return -1;
  const auto& a = static_cast<const CAssign&>(s);
  if (a.has1 || !a.plainName || a.name != "RESULT" || !a.expression) return -1;
  if (a.expression->fastState == 0) return 0;
  if (a.expression->fastState != 1 || a.expression->fast->shape == FastCode::Call) return -1;
  const FastCode& c = *a.expression->fast;
  proc.inlineParam.assign(c.ops.size(), -1);
  for (size_t k = 0; k < c.ops.size(); ++k) {
    const FastOp& o = c.ops[k];
    if (o.kind == FastOp::Element) return -1;
    if (o.kind != FastOp::Var) continue;
    if (*o.name == "RESULT") return -1;
    for (size_t i = 0; i < proc.params.size(); ++i) {
      if (*o.name == proc.params[i]) proc.inlineParam[k] = static_cast<int8_t>(i);
    }
  }
  proc.inlineExpression = a.expression.get();
  proc.inlineLists = static_cast<uint8_t>(lists);
  return 1;
}

// Whether, with the names as they are now, the call may be evaluated in the caller's frame:
// the parameters would all be new entries (the binding before made them so from these very
// names) and none of them, nor RESULT, is an array here.
[[gnu::noinline]] bool TScriptEngine::InlineFrameHolds(PreparedProc& proc) {
  if (proc.inlineState == 0) proc.inlineState = FindInlineBody(proc);
  const uint64_t names = vars_.Generation();
  if (proc.inlineState != 1 || proc.bindFrom != names) return false;
  bool hasArray = false;
  for (const std::string& param : proc.params) {
    if (vars_.FindWithArray(param, hasArray) >= 0 || hasArray) return false;
  }
  // (A RESULT variable of the caller is put aside for the call and comes back after it.)
  vars_.FindWithArray("RESULT", hasArray);
  if (hasArray) return false;
  proc.inlineFrom = names;
  return true;
}

// Whether `element` would refuse every parameter of `proc` and RESULT as its properties
// (they then become variables, as with no element).
[[gnu::noinline]] bool TScriptEngine::ElementRefusesFrame(PreparedProc& proc, ElementHandle element) {
  ScriptHost& host = Host();
  const uint64_t names = host.NamesStamp(element);
  if (names == 0) return false;
  if (proc.inlineElement == element && proc.inlineElementNames == names) return true;
  for (const std::string& param : proc.params) {
    if (host.TakesName(element, param)) return false;
  }
  if (host.TakesName(element, "RESULT")) return false;
  proc.inlineElement = element;
  proc.inlineElementNames = names;
  return true;
}

// A call whose body is RESULT := a pure expression, on constant or variable arguments, with
// no current element or one that takes none of its names: the expression's value with each
// parameter read as its argument, the same value the body would leave in RESULT. Such a
// call changes no variable: everything it adds is dropped on return, and each bare variable
// argument would take back the value it gave. It still counts the statements it runs.
// False, having changed nothing, when the call must run as usual (also when the expression
// has no pure value, so that the usual run reports what is wrong).
[[gnu::always_inline]] inline bool TScriptEngine::CallInline(PreparedProc& proc, const std::vector<CallArg>& args,
                                                              ScriptValue& result) {
  if (proc.inlineFrom != vars_.Generation() && !InlineFrameHolds(proc)) return false;
  const FastCode& c = *proc.inlineExpression->fast;
  if (!c.namesPlain || c.registries != registriesStamp_) return false;
  // The budget and the nesting of lists as the body's run would meet them (a recorded error
  // or a stop request leaves no steps either).
  const int lists = proc.inlineLists;
  if (detail::gStepsLeft < lists || listNesting_ + lists > kMaxListNesting || controlFlag_ != TControlFlag::None)
    return false;
  // With a current element, each new name is offered to it first: it must take none.
  if (const ElementHandle element = Host().CurrentElement(); element != 0 && !ElementRefusesFrame(proc, element))
    return false;
  const size_t count = proc.params.size();
  const ScriptValue* values[kPlannedParams];
  const CallArg* const arg = args.data();
  for (size_t i = 0; i < count; ++i) {
    if (!arg[i].tree || !(values[i] = QuickLeaf(*arg[i].tree))) return false;
    // A bare variable argument takes back its parameter's final value, here the value read
    // from it: nothing to do, unless its name finds another entry than the one read.
    if (!arg[i].joinedIsIdentifier) continue;
    bool hasArray = false;
    const int k = vars_.FindCached(arg[i].joined, arg[i].slot, hasArray);
    if (k >= 0 && &std::as_const(vars_)[k].Value != values[i]) return false;
  }
  if (!EvaluateInFrame(vars_, c, proc.inlineParam.data(), values, fastScratch_, result)) return false;
  detail::gStepsLeft -= lists;  // a statement per list: the BEGIN ... END ones and the assignment
  return true;
}

// The body runs on the caller's variables with the parameters added; afterwards the
// variables are as before the call, except that bare variable arguments take back their
// parameter's final value.
bool TScriptEngine::CallDeclared(const std::string& name, int procIndex, const std::vector<CallArg>& args,
                                 ScriptValue& result, std::string_view stream, int depth) {
  // The index comes from a lookup made against the present Procs; a prepared procedure
  // kept for it shows that it is one of theirs.
  PreparedProc* proc = PreparedAt(procIndex);
  if (!proc && (procIndex < 0 || procIndex >= procs_.Count())) [[unlikely]] {
    procIndex = procs_.Find(name);
    if (procIndex < 0) {
      ReportError(StatementMessage("Unknown procedure: ", name), stream, 8);
      return false;
    }
  }
  if (callNesting_ >= kMaxCallNesting) [[unlikely]] {
    ReportError(StatementMessage(kCallsTooDeep, name), stream, 7);
    return false;
  }
  if (!proc) [[unlikely]] proc = PrepareProc(procIndex);
  const size_t count = proc->params.size();
  if (args.size() != count) [[unlikely]] {
    ReportError(StatementMessage("Wrong parameters amount, procedure ", name), stream, 7);
    return false;
  }
  if (statementCache_ && CallInline(*proc, args, result)) return true;
  // One frame per call in progress, its arguments included (they may call procedures too).
  // Procedures dropped from Procs meanwhile live on until no call runs.
  struct Frame {
    TScriptEngine& e;
    explicit Frame(TScriptEngine& engine) : e(engine) { ++e.callNesting_; }
    ~Frame() {
      if (--e.callNesting_ == 0 && !e.retiredProcs_.empty()) [[unlikely]] e.retiredProcs_.clear();
    }
  } frame(*this);
  // Everything the call changes in the variables is undone when it returns.
  vars_.PushMark();
  if (!BindPlanned(*proc, args) && !BindParameters(*proc, args, stream, depth)) [[unlikely]] {
    vars_.PopMark();
    return false;
  }
  bool hasArray = false;
  if (proc->isFunction) {
    const int r = vars_.FindCached("RESULT", proc->resultSlot, hasArray);
    if (r >= 0) [[unlikely]] vars_.RemoveAt(r);
  }
  if (statementCache_) [[likely]] {
    if (!proc->compiled) [[unlikely]] proc->compiled = programs_->Get(proc->body);
    RunList(proc->compiled->list);
  } else {
    RunBlockDirect(proc->body);
  }
  if (controlFlag_ != TControlFlag::None) [[unlikely]] EndJumpInCall(stream);
  if (Failed()) [[unlikely]] {
    // The run stops here: the variables stay as they were at the error, the call's own
    // included, and nothing is copied back.
    vars_.KeepMark();
    return false;
  }
  // The parameters' final values for the copy-back, and RESULT, before the undo.
  // (Kept in the engine: nothing runs between here and the copy-back.)
  size_t finals = 0;
  const CallArg* const arg = args.data();
  for (size_t i = 0; i < count; ++i) {
    if (!arg[i].joinedIsIdentifier) continue;
    const int j = vars_.FindCached(proc->params[i], proc->finalSlots[i], hasArray);
    if (j < 0) continue;
    if (finals == finals_.size()) finals_.emplace_back();
    finals_[finals].arg = i;
    finals_[finals].value = std::as_const(vars_)[j].Value;
    ++finals;
  }
  const int returned = proc->isFunction ? vars_.FindCached("RESULT", proc->returnedSlot, hasArray) : -1;
  if (returned >= 0) result = std::as_const(vars_)[returned].Value;
  vars_.PopMark();
  if (proc->isFunction && returned < 0) [[unlikely]] {
    ReportError(StatementMessage("Function must return result : ", name), stream, 26);
    return false;
  }
  for (size_t f = 0; f < finals; ++f) {
    const CallArg& a = arg[finals_[f].arg];
    const int k = vars_.FindCached(a.joined, a.slot, hasArray);
    if (k >= 0) vars_.SetValueAt(k, std::move(finals_[f].value));
  }
  return true;
}

// A jump still pending when the body ends: EXIT ends the procedure; the others cannot leave it.
void TScriptEngine::EndJumpInCall(std::string_view stream) {
  if (controlFlag_ == TControlFlag::Break) ReportError("BREAK outside loop", stream, 15);
  else if (controlFlag_ == TControlFlag::Continue) ReportError("CONTINUE outside loop", stream, 15);
  else if (controlFlag_ == TControlFlag::Goto)
    ReportError("Label " + gotoLabel_ + " not exist or unreacheble", gotoText_, 18);
  controlFlag_ = TControlFlag::None;
  gotoLabel_.clear();
  gotoText_.clear();
}

}  // namespace qx
