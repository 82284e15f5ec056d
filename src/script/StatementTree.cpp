// The parsed statement executor. The parser cuts a list the way the direct executor
// (Statements.cpp) cuts it while running and keeps every error it would meet at the place
// it would meet it; the runner then evaluates, checks and reports in the same order through
// the steps both executors share. Only what depends on the state at run time (values,
// which names are variables) is decided at run time.
#include "script/StatementTree.h"

#include "script/ExprFast.h"
#include "script/ExprNodes.h"
#include "script/ExprTree.h"
#include "script/StatementNodes.h"
#include "script/Statements.h"
#include "script/scriptengine.h"

namespace qx {

namespace {
constexpr size_t kMaxCachedPrograms = 2048;
}

CList::CList(std::string_view tokens) : text(tokens) {}
CList::~CList() = default;

std::shared_ptr<CompiledProgram> ProgramCache::Get(std::string_view text) {
  const auto it = map_.find(text);
  if (it != map_.end()) return it->second;
  if (map_.size() >= kMaxCachedPrograms) map_.clear();
  auto program = std::make_shared<CompiledProgram>(text);
  map_.emplace(program->text, program);
  return program;
}

namespace {

using Tree = ExprTreePtr;

Tree Expression(std::string_view tokens) { return ExprTree::BuildPart(tokens, 0); }

// --- parsing -------------------------------------------------------------------------------------

// index-list -> "[" part {"," part} "]"  (as the direct executor reads it before evaluating)
bool ParseIndexList(std::string_view statement, size_t& pos, IndexList& list) {
  ReadToken(statement, pos);  // the "["
  const size_t start = pos;
  int nesting = 1;
  size_t end = start;
  while (true) {
    const size_t before = pos;
    const Token t = ReadToken(statement, pos);
    if (t.Code == tkEof) return false;  // "] expected" when run
    if (t.Code == tkOpenBracket) ++nesting;
    else if (t.Code == tkCloseBracket && --nesting == 0) {
      end = before;
      break;
    }
  }
  for (std::string_view part : SplitAtCommas(statement.substr(start, end - start), true))
    list.parts.push_back(ExprTree::BuildPart(part, 1));
  list.closed = true;
  return true;
}

std::unique_ptr<CStatement> ParseAssign(std::string_view statement, const StatementHead& h) {
  auto a = std::make_unique<CAssign>(SKind::Assign, statement);
  a->name = std::string(h.head.Text);
  a->nameIsIdentifier = IsIdentifier(a->name);
  a->plainName = a->nameIsIdentifier && a->name.find('.') == std::string::npos;
  size_t pos = h.operandPos;
  if (PeekToken(statement, pos) == tkOpenBracket) {
    a->has1 = true;
    if (!ParseIndexList(statement, pos, a->index1)) return a;
    if (PeekToken(statement, pos) == tkOpenBracket) {
      a->has2 = true;
      if (!ParseIndexList(statement, pos, a->index2)) return a;
    }
  }
  const Token next = ReadToken(statement, pos);
  if (next.Code == tkOpenParen || next.Code == tkOpenBracket || next.Code == tkEof) {
    a->kind = SKind::Call;
    a->expression = Expression(statement.substr(h.headPos));
  } else if (next.Code != tkAssign) {
    a->kind = SKind::Found;
    a->foundMessage = "Found " + std::string(next.Text) + ", expected :=, (, [ or ;";
  } else {
    a->expression = Expression(statement.substr(pos));
  }
  return a;
}

std::unique_ptr<CStatement> ParseIf(std::string_view statement, size_t pos) {
  auto s = std::make_unique<CIf>(SKind::If, statement);
  std::string_view condition;
  ScanTo(statement, pos, {tkThen}, condition);
  s->condition = Expression(condition);
  s->branch = SplitStatement(statement, pos, true);
  if (s->branch.errorCode == 0) {
    s->thenList = std::make_unique<CList>(s->branch.tokens);
    if (s->branch.endedBy == tkElse) s->elseList = std::make_unique<CList>(statement.substr(pos));
  }
  return s;
}

std::unique_ptr<CStatement> ParseFor(std::string_view statement, size_t pos) {
  auto s = std::make_unique<CFor>(SKind::For, statement);
  std::string_view head;
  const int direction = ScanTo(statement, pos, {tkTo, tkDownto}, head);
  if (direction == 0) {
    s->headErrorCode = 12;
    s->headErrorMessage = "TO or DOWNTO expected";
    return s;
  }
  s->down = direction == tkDownto;
  size_t headPos = 0;
  const Token variable = ReadToken(head, headPos);
  if (variable.Code != tkIdent) {
    s->headErrorCode = 13;
    s->headErrorMessage = "FOR control variable expected";
    return s;
  }
  const Token assign = ReadToken(head, headPos);
  if (assign.Code != tkAssign) {
    s->headErrorCode = 9;
    s->headErrorMessage = StatementMessage("Invalid \xEE\xF0" "erator: ", assign.Text) + " (':=' expected ";
    return s;
  }
  s->variable = std::string(variable.Text);
  s->start = Expression(head.substr(headPos));
  std::string_view last;
  if (ScanTo(statement, pos, {tkDo}, last) == 0) return s;
  s->end = Expression(last);
  s->body = std::make_unique<CList>(statement.substr(pos));
  return s;
}

std::unique_ptr<CStatement> ParseCase(std::string_view statement, size_t pos) {
  auto s = std::make_unique<CCase>(SKind::Case, statement);
  std::string_view selector;
  if (ScanTo(statement, pos, {tkOf}, selector) == 0) return s;
  s->selector = Expression(selector);
  auto fail = [&](std::string_view message, int code, std::string_view tokens) {
    CCaseStep step;
    step.kind = CCaseStep::Fail;
    step.message = message;
    step.code = code;
    step.errorTokens = tokens;
    s->steps.push_back(std::move(step));
  };
  bool elseSeen = false;
  while (true) {
    const int next = PeekToken(statement, pos);
    if (next == tkEnd) {
      s->steps.emplace_back();  // End
      return s;
    }
    if (next == tkEof) {
      fail("Error in CASE statement", 1, statement);
      return s;
    }
    if (next == tkElse) {
      ReadToken(statement, pos);
      if (elseSeen) {
        fail("Too many ELSEin CASE statement", 28, statement);
        return s;
      }
      const SplitResult other = SplitStatement(statement, pos, false);
      if (other.errorCode != 0) {
        fail(other.errorMessage, other.errorCode, other.tokens);
        return s;
      }
      CCaseStep step;
      step.kind = CCaseStep::Else;
      step.statement = std::make_unique<CList>(other.tokens);
      s->steps.push_back(std::move(step));
      elseSeen = true;
      continue;
    }
    std::string_view labels;
    if (ScanTo(statement, pos, {tkColon}, labels) == 0) {
      fail(": expected", 29, statement);
      return s;
    }
    if (labels.empty()) {
      fail("Range defininition expected", 29, statement);
      return s;
    }
    const SplitResult branch = SplitStatement(statement, pos, false);
    if (branch.errorCode != 0) {
      fail(branch.errorMessage, branch.errorCode, branch.tokens);
      return s;
    }
    CCaseStep step;
    step.kind = CCaseStep::Branch;
    step.statement = std::make_unique<CList>(branch.tokens);
    for (std::string_view label : SplitAtCommas(labels, false)) {
      size_t labelPos = 0;
      std::string_view low;
      CCaseLabel l;
      const bool range = ScanTo(label, labelPos, {tkRange}, low) != 0;
      l.low = Expression(low);
      if (range) l.high = Expression(label.substr(labelPos));
      step.labels.push_back(std::move(l));
    }
    s->steps.push_back(std::move(step));
  }
}

std::unique_ptr<CStatement> ParseStatement(std::string_view statement) {
  const StatementHead h = ReadHead(statement);
  std::unique_ptr<CStatement> result;
  switch (h.head.Code) {
    case tkIdent: result = ParseAssign(statement, h); break;
    case tkBegin: {
      auto s = std::make_unique<CBlock>(SKind::Block, statement);
      std::string_view inner;
      if (EndsWithEnd(statement.substr(h.operandPos), inner)) s->inner = std::make_unique<CList>(inner);
      result = std::move(s);
      break;
    }
    case tkIf: result = ParseIf(statement, h.operandPos); break;
    case tkFor: result = ParseFor(statement, h.operandPos); break;
    case tkWhile: {
      auto s = std::make_unique<CWhile>(SKind::While, statement);
      size_t pos = h.operandPos;
      std::string_view condition;
      if (ScanTo(statement, pos, {tkDo}, condition) != 0) {
        s->condition = Expression(condition);
        s->body = std::make_unique<CList>(statement.substr(pos));
      }
      result = std::move(s);
      break;
    }
    case tkRepeat: {
      auto s = std::make_unique<CRepeat>(SKind::Repeat, statement);
      size_t pos = h.operandPos;
      std::string_view body;
      if (ScanTo(statement, pos, {tkUntil}, body) != 0) {
        s->body = std::make_unique<CList>(body);
        s->condition = Expression(statement.substr(pos));
      }
      result = std::move(s);
      break;
    }
    case tkBreak:
    case tkContinue:
    case tkExit: {
      auto s = std::make_unique<CFlag>(SKind::Flag, statement);
      s->flag = h.head.Code == tkBreak      ? TControlFlag::Break
                : h.head.Code == tkContinue ? TControlFlag::Continue
                                            : TControlFlag::Exit;
      s->surplus = PeekToken(statement, h.operandPos) != tkEof;
      result = std::move(s);
      break;
    }
    case tkGoto: {
      auto s = std::make_unique<CGoto>(SKind::Goto, statement);
      s->operandPos = h.operandPos;
      result = std::move(s);
      break;
    }
    case tkCase: result = ParseCase(statement, h.operandPos); break;
    case tkEnd: result = std::make_unique<CFail>(statement, "Too many END", 11); break;
    case tkElse: result = std::make_unique<CFail>(statement, "ELSE without IF", 9); break;
    default: result = std::make_unique<CFail>(statement, StatementMessage("Invalid operator: ", h.head.Text), 9); break;
  }
  result->hasLabel = h.hasLabel;
  result->label = h.label;
  return result;
}

}  // namespace

void ParseList(CList& list) {
  size_t pos = 0;
  while (true) {
    const SplitResult s = SplitStatement(list.text, pos, false);
    if (s.errorCode != 0) {
      list.splitErrorCode = s.errorCode;
      list.splitErrorMessage = s.errorMessage;
      list.splitErrorTokens = s.tokens;
      break;
    }
    if (s.tokens.empty()) break;
    list.statements.push_back(ParseStatement(s.tokens));
  }
  list.parsed = true;
}

// --- running ---------------------------------------------------------------------------------------

class StatementRunner {
 public:
  explicit StatementRunner(TScriptEngine& engine) : e_(engine) {}

  // list -> [statement] {";" [statement]}
  void RunList(CList& list) { RunListHere(list); }

 private:
  // RunList's steps, inlined where a loop runs a body list each pass.
  [[gnu::always_inline]] void RunListHere(CList& list) {
    if (!e_.EnterList(list.text)) return;
    if (!list.parsed) ParseList(list);
    const size_t count = list.statements.size();
    size_t i = 0;
    // A recorded error makes the next step a checkpoint that fails: Step is the one test.
    while (true) {
      if (i >= count) {
        if (list.splitErrorCode != 0 && !e_.Failed()) ReportSplitError(list);
        break;
      }
      const CStatement& s = *list.statements[i++];
      if (!e_.Step(s.tokens)) break;
      Exec(s);
      if (e_.controlFlag_ != TControlFlag::None && !AfterJump(list, s, i)) break;
    }
    e_.LeaveList();
  }

  // After a statement that left a jump pending: true to go on at `next` (a label of this
  // list was found), false to end the list.
  [[gnu::noinline]] bool AfterJump(const CList& list, const CStatement& s, size_t& next) {
    e_.ReportOutsideLoop(s.tokens);
    if (e_.controlFlag_ != TControlFlag::Goto || e_.Failed()) return false;
    // A jump to a label of this list, before or after the GOTO.
    const size_t count = list.statements.size();
    for (size_t j = 0; j < count; ++j) {
      const CStatement& candidate = *list.statements[j];
      if (candidate.hasLabel && candidate.label == e_.gotoLabel_) {
        e_.controlFlag_ = TControlFlag::None;
        e_.gotoLabel_.clear();
        e_.gotoText_.clear();
        next = j;
        return true;
      }
    }
    ReportSplitError(list);  // the search, too, reads up to an unbalanced statement
    return false;
  }

  [[gnu::noinline]] void ReportSplitError(const CList& list) {
    if (list.splitErrorCode != 0)
      e_.ReportError(list.splitErrorMessage, list.splitErrorTokens, list.splitErrorCode);
  }

  [[gnu::always_inline]] void Exec(const CStatement& s) {
    // The common kinds by plain tests first: in a loop body they alternate in a fixed order,
    // which conditional branches learn better than one table jump.
    const SKind kind = s.kind;
    if (kind == SKind::Assign) {
      const auto& a = static_cast<const CAssign&>(s);
      if (!a.has1 && PlannedAssign(a)) return;
      AssignOrCall(a);
      return;
    }
    if (kind == SKind::If) {
      const auto& f = static_cast<const CIf&>(s);
      if (!PlannedIf(f)) If(f);
      return;
    }
    switch (kind) {
      case SKind::Assign:
      case SKind::Call:
      case SKind::Found: AssignOrCall(static_cast<const CAssign&>(s)); return;
      case SKind::Block: {
        const auto& b = static_cast<const CBlock&>(s);
        if (!b.inner) e_.ReportError("END expected", s.tokens, 10);
        else RunList(*b.inner);
        return;
      }
      case SKind::If: If(static_cast<const CIf&>(s)); return;
      case SKind::For: For(static_cast<const CFor&>(s)); return;
      case SKind::While: While(static_cast<const CWhile&>(s)); return;
      case SKind::Repeat: Repeat(static_cast<const CRepeat&>(s)); return;
      case SKind::Flag: {
        const auto& f = static_cast<const CFlag&>(s);
        e_.SetFlag(f.flag, s.tokens, f.surplus);
        return;
      }
      case SKind::Goto: e_.SetGoto(s.tokens, static_cast<const CGoto&>(s).operandPos); return;
      case SKind::Case: Case(static_cast<const CCase&>(s)); return;
      case SKind::Fail: {
        const auto& f = static_cast<const CFail&>(s);
        e_.ReportError(f.message, s.tokens, f.code);
        return;
      }
    }
  }

  // name [index-list [index-list]] ":=" expression | name [arguments]
  [[gnu::noinline]] void AssignOrCall(const CAssign& a) {
    if (a.has1) {
      AssignIndexed(a);
      return;
    }
    if (a.kind == SKind::Assign && QuickAssign(a)) return;
    if (a.kind == SKind::Found) {
      e_.ReportError(a.foundMessage, a.tokens, 1);
      return;
    }
    ScriptValue scratch;
    const ScriptValue* value = e_.EvaluateRef(*a.expression, scratch);
    if (!value) {
      e_.ReportError("Error in expression", a.tokens, 1);
      return;
    }
    if (a.kind == SKind::Call) return;
    // The common case, an existing plain variable, without the general steps.
    bool hasArray = false;
    const int i = e_.vars_.FindCached(a.name, a.slot, hasArray);
    if (i >= 0 && !hasArray && a.nameIsIdentifier) {
      e_.vars_.SetValueAt(i, *value);
      return;
    }
    e_.CompleteAssignment(a.name, a.nameIsIdentifier, nullptr, nullptr, *value, a.tokens, &a.slot);
  }

  // The flat code of `tree` when its names are known to be no functions now.
  const FastCode* Ready(const ExprTree& tree) {
    if (tree.fastState != 1) return nullptr;  // not made yet (EvaluateRef makes it), or none
    const FastCode& c = *tree.fast;
    if (!c.namesPlain || c.registries != e_.registriesStamp_)
      return nullptr;
    return &c;
  }

  // name := leaf, or name := leaf op leaf, on an existing variable: computed into its place;
  // name := F(...): the call's value. False, having changed nothing, when the statement
  // needs the general steps.
  bool QuickAssign(const CAssign& a) {
    const ExprTree& tree = *a.expression;
    if (tree.fastState != 1) return false;
    const FastCode& c = *tree.fast;
    if (c.shape == FastCode::Call) return QuickCall(a);
    if (c.shape != FastCode::Leaf && c.shape != FastCode::LeafPair) return false;
    // Everything found before and the names unchanged: no lookup at all.
    TVarList& vars = e_.vars_;
    const FastCode::LeafPlan& p = c.plan;
    const uint64_t names = vars.Generation();
    if (p.vars == names && p.registries == e_.registriesStamp_) [[likely]] {
      if (a.targetVars != names) [[unlikely]] return QuickAssignFindingTarget(a, c);
      const ScriptValue& left = PlannedLeaf(vars, p, 0);
      if (c.shape == FastCode::Leaf) {
        vars.SetValueAt(a.target, left);
        return true;
      }
      return FastBinary(c.ops[2].op, left, PlannedLeaf(vars, p, 1), vars.ValueAt(a.target));
    }
    return QuickAssignFinding(a);
  }

  // QuickAssign's planned path alone, small enough to sit in Exec: false, having changed
  // nothing, when anything is not as planned.
  [[gnu::always_inline]] bool PlannedAssign(const CAssign& a) {
    const ExprTree& tree = *a.expression;
    if (tree.fastState != 1) return false;
    const FastCode& c = *tree.fast;
    const bool pair = c.shape == FastCode::LeafPair;
    if (!pair && c.shape != FastCode::Leaf) return c.shape == FastCode::Call && CallAssign(a);
    TVarList& vars = e_.vars_;
    const FastCode::LeafPlan& p = c.plan;
    const uint64_t names = vars.Generation();
    if (p.vars != names || p.registries != e_.registriesStamp_) return false;
    if (a.targetVars != names) return a.missingVars == names && PlannedAppend(a, c);
    const ScriptValue& left = PlannedLeaf(vars, p, 0);
    if (!pair) {
      vars.SetValueAt(a.target, left);
      return true;
    }
    return FastBinary(c.ops[2].op, left, PlannedLeaf(vars, p, 1), vars.ValueAt(a.target));
  }

  // A plain name known to be missing from these names: AssignMissing without the lookup
  // (it still gives the current element, if there is one, the first say).
  [[gnu::noinline]] bool PlannedAppend(const CAssign& a, const FastCode& c) {
    TVarList& vars = e_.vars_;
    const FastCode::LeafPlan& p = c.plan;
    const ScriptValue& left = PlannedLeaf(vars, p, 0);
    if (c.shape == FastCode::Leaf) {
      vars.AssignMissing(a.name, left, true, &a.slot);
      return true;
    }
    ScriptValue value;
    if (!FastBinary(c.ops[2].op, left, PlannedLeaf(vars, p, 1), value)) return false;
    vars.AssignMissing(a.name, value, true, &a.slot);
    return true;
  }

  // QuickAssign with the leaves' places known, the assigned name's not (a parameter or
  // RESULT added by every call of a procedure, say).
  [[gnu::noinline]] bool QuickAssignFindingTarget(const CAssign& a, const FastCode& c) {
    TVarList& vars = e_.vars_;
    const FastCode::LeafPlan& p = c.plan;
    const ScriptValue& left = PlannedLeaf(vars, p, 0);
    const ScriptValue* right = c.shape == FastCode::LeafPair ? &PlannedLeaf(vars, p, 1) : nullptr;
    bool hasArray = false;
    const int i = vars.FindCached(a.name, a.slot, hasArray);
    if (i >= 0 && !hasArray && a.nameIsIdentifier) return StoreFound(a, i, c, left, right);
    if (!(i < 0 && !hasArray && a.plainName)) return QuickAssignFinding(a);
    a.missingVars = vars.Generation();
    ScriptValue scratch;
    if (right && !FastBinary(c.ops[2].op, left, *right, scratch)) return false;
    vars.AssignMissing(a.name, right ? scratch : left, true, &a.slot);
    return true;
  }

  // Leaf (op leaf) stored into the existing plain variable at `i`, whose place the planned
  // path then keeps while the names stay the same. The operator is read only for a pair: a
  // Leaf's code holds one op.
  [[gnu::always_inline]] bool StoreFound(const CAssign& a, int i, const FastCode& c, const ScriptValue& left,
                                         const ScriptValue* right) {
    TVarList& vars = e_.vars_;
    a.targetVars = vars.Generation();
    a.target = i;
    if (!right) {
      vars.SetValueAt(i, left);
      return true;
    }
    return FastBinary(c.ops[2].op, left, *right, vars.ValueAt(i));
  }

  // name := F(...) from the planned path, kept out of line: Exec stays small.
  [[gnu::noinline]] bool CallAssign(const CAssign& a) { return QuickCall(a); }

  // name := F(...)
  [[gnu::always_inline]] bool QuickCall(const CAssign& a) {
    if (e_.Failed()) return false;
    const ExprTree& tree = *a.expression;
    ScriptValue value;
    // A declared function resolved at the present registries, the common case, directly.
    const auto& n = static_cast<const CallNode&>(*tree.fast->call);
    const bool called = n.resolution.registries == e_.registriesStamp_ && n.resolution.procIndex >= 0
                            ? e_.CallProc(n.name, n.resolution.procIndex, n.args, value, tree.stream, 0) &&
                                  !e_.Failed()
                            : e_.EvaluateCall(tree, value);
    if (!called) {
      e_.ReportError("Error in expression", a.tokens, 1);  // (the call's own error came first)
      return true;
    }
    bool hasArray = false;
    const int i = e_.vars_.FindCached(a.name, a.slot, hasArray);
    if (i >= 0 && !hasArray && a.nameIsIdentifier) e_.vars_.SetValueAt(i, std::move(value));
    else e_.CompleteAssignment(a.name, a.nameIsIdentifier, nullptr, nullptr, value, a.tokens, &a.slot);
    return true;
  }

  // QuickAssign of a Leaf or LeafPair looking the names up (kept apart: the planned path
  // stays small).
  [[gnu::noinline]] bool QuickAssignFinding(const CAssign& a) {
    const ExprTree& tree = *a.expression;
    TVarList& vars = e_.vars_;
    const FastCode* c = Ready(tree);
    if (!c || (c->shape != FastCode::Leaf && c->shape != FastCode::LeafPair)) return false;
    const ScriptValue* left = FastLeafValue(vars, c->ops[0]);
    if (!left) return false;
    const ScriptValue* right = nullptr;
    if (c->shape == FastCode::LeafPair && !(right = FastLeafValue(vars, c->ops[1]))) return false;
    KeepLeafPlan(vars, *c);
    bool hasArray = false;
    const int i = vars.FindCached(a.name, a.slot, hasArray);
    if (i >= 0 && !hasArray && a.nameIsIdentifier) return StoreFound(a, i, *c, *left, right);
    // A new variable, an element's property or an error: the value, then the general steps.
    ScriptValue scratch;
    if (right && !FastBinary(c->ops[2].op, *left, *right, scratch)) return false;
    if (i < 0 && !hasArray && a.plainName) vars.AssignMissing(a.name, right ? scratch : *left, true, &a.slot);
    else e_.CompleteAssignment(a.name, a.nameIsIdentifier, nullptr, nullptr, right ? scratch : *left, a.tokens, &a.slot);
    return true;
  }

  // A condition leaf op leaf comparing two Integers.
  bool QuickHolds(const ExprTree& tree, bool& holds) {
    if (PlannedHolds(tree, holds)) return true;
    // A leaf pair whose places are not kept (yet) is looked up.
    if (tree.fastState == 1 && tree.fast->shape == FastCode::LeafPair && !PlannedPair(*tree.fast))
      return QuickHoldsFinding(tree, holds);
    return false;
  }

  // Whether the leaves' places kept in the plan of `c` hold now.
  [[gnu::always_inline]] bool PlannedPair(const FastCode& c) const {
    const FastCode::LeafPlan& p = c.plan;
    return p.vars == e_.vars_.Generation() && p.registries == e_.registriesStamp_;
  }

  // A condition on Integers whose places are planned (leaf op leaf, or the general shape):
  // its truth; false, having changed nothing, otherwise.
  [[gnu::always_inline]] bool PlannedHolds(const ExprTree& tree, bool& holds) {
    if (tree.fastState != 1) return false;
    const FastCode& c = *tree.fast;
    if (c.shape == FastCode::LeafPair)
      return PlannedPair(c) &&
             FastCompare(c.ops[2].op, PlannedLeaf(e_.vars_, c.plan, 0), PlannedLeaf(e_.vars_, c.plan, 1), holds);
    return c.shape == FastCode::General && e_.PlannedIntegerHolds(tree, holds);
  }

  // IF with a planned condition, small enough to sit in Exec: false, having done nothing,
  // when If must run it.
  [[gnu::always_inline]] bool PlannedIf(const CIf& s) {
    bool holds = false;
    if (s.branch.errorCode != 0 || !PlannedHolds(*s.condition, holds)) return false;
    if (holds) RunList(*s.thenList);
    else if (s.elseList) RunList(*s.elseList);
    return true;
  }

  // QuickHolds looking the leaves up (kept apart: the planned path stays small).
  [[gnu::noinline]] bool QuickHoldsFinding(const ExprTree& tree, bool& holds) {
    const FastCode* c = Ready(tree);
    if (!c || c->shape != FastCode::LeafPair) return false;
    const ScriptValue* left = FastLeafValue(e_.vars_, c->ops[0]);
    const ScriptValue* right = left ? FastLeafValue(e_.vars_, c->ops[1]) : nullptr;
    if (!right) return false;
    KeepLeafPlan(e_.vars_, *c);
    return FastCompare(c->ops[2].op, *left, *right, holds);
  }

  // name index-list [index-list] ":=" expression
  [[gnu::noinline]] void AssignIndexed(const CAssign& a) {
    std::string index1, index2;
    if (!e_.IndexListText(a.index1, a.tokens, index1)) return;
    if (a.has2 && !e_.IndexListText(a.index2, a.tokens, index2)) return;
    if (a.kind == SKind::Found) {
      e_.ReportError(a.foundMessage, a.tokens, 1);
      return;
    }
    ScriptValue scratch;
    const ScriptValue* value = e_.EvaluateRef(*a.expression, scratch);
    if (!value) {
      e_.ReportError("Error in expression", a.tokens, 1);
      return;
    }
    if (a.kind == SKind::Call) return;
    e_.CompleteAssignment(a.name, a.nameIsIdentifier, &index1, a.has2 ? &index2 : nullptr, *value, a.tokens, nullptr);
  }

  // The value of a condition, bound or selector (null when it does not evaluate).
  const ScriptValue* Value(const ExprTree& tree, ScriptValue& scratch) { return e_.EvaluateRef(tree, scratch); }
  [[gnu::always_inline]] bool Holds(const ExprTree& tree, std::string_view statement, bool& holds) {
    if (QuickHolds(tree, holds)) return true;
    ScriptValue scratch;
    const ScriptValue* value = Value(tree, scratch);
    return e_.Condition(value != nullptr, value ? *value : scratch, statement, holds);
  }
  bool Bound(const ExprTree& tree, std::string_view statement, int32_t& bound) {
    ScriptValue scratch;
    const ScriptValue* value = Value(tree, scratch);
    return e_.LoopBound(value != nullptr, value ? *value : scratch, statement, bound);
  }

  // IF condition THEN statement [ELSE statement-list]
  [[gnu::noinline]] void If(const CIf& s) {
    bool holds = false;
    if (!Holds(*s.condition, s.tokens, holds)) return;
    if (s.branch.errorCode != 0) {
      e_.ReportError(s.branch.errorMessage, s.branch.tokens, s.branch.errorCode);
      return;
    }
    if (holds) RunList(*s.thenList);
    else if (s.elseList) RunList(*s.elseList);
  }

  // FOR name ":=" expression (TO | DOWNTO) expression DO statement
  [[gnu::noinline]] void For(const CFor& s) {
    if (s.headErrorCode != 0) {
      e_.ReportError(s.headErrorMessage, s.tokens, s.headErrorCode);
      return;
    }
    int32_t start = 0, end = 0;
    if (!Bound(*s.start, s.tokens, start)) return;
    if (!s.end) {
      e_.ReportError("DO expected", s.tokens, 14);
      return;
    }
    if (!Bound(*s.end, s.tokens, end)) return;
    VarSlot& slot = s.slot;
    const int64_t step = s.down ? -1 : 1;
    CList& body = *s.body;
    const CBlock* block = OnlyBlock(body);
    // The passes are counted up front (the bounds are read once): one test per pass.
    int64_t counter = start;
    for (int64_t passes = s.down ? int64_t{start} - end : int64_t{end} - start; passes >= 0;
         --passes, counter += step) {
      if (!e_.Step(s.tokens)) return;
      if (!e_.SetLoopVariable(s.variable, counter, slot)) {
        e_.ReportError("Invalid variable name: " + s.variable, s.tokens, 1);
        return;
      }
      if (block) RunOnlyBlock(body, *block);
      else RunList(body);
      // An error is seen by the next pass's Step (nothing in between has effects).
      if (!e_.LoopPassContinues()) return;
    }
  }

  // The BEGIN ... END that is a loop body's whole list (complete, no label, the list cut
  // without error), else null. Such a list runs as RunList would run it, one level less deep
  // in calls.
  const CBlock* OnlyBlock(CList& list) {
    if (!list.parsed) ParseList(list);
    if (list.splitErrorCode != 0 || list.statements.size() != 1) return nullptr;
    const CStatement& s = *list.statements[0];
    if (s.kind != SKind::Block || s.hasLabel) return nullptr;
    const auto& b = static_cast<const CBlock&>(s);
    return b.inner ? &b : nullptr;
  }

  // RunList of a list holding only `block`: with no label in the list a pending jump only
  // gets its report, as RunList's AfterJump would give it.
  [[gnu::always_inline]] void RunOnlyBlock(CList& list, const CBlock& block) {
    if (!e_.EnterList(list.text)) return;
    if (e_.Step(block.tokens)) {
      RunListHere(*block.inner);
      if (e_.controlFlag_ != TControlFlag::None) e_.ReportOutsideLoop(block.tokens);
    }
    e_.LeaveList();
  }

  // WHILE condition DO statement
  [[gnu::noinline]] void While(const CWhile& s) {
    if (!s.condition) {
      e_.ReportError("DO expected", s.tokens, 14);
      return;
    }
    while (true) {
      bool holds = false;
      if (!Holds(*s.condition, s.tokens, holds) || !holds || !e_.Step(s.tokens)) return;
      RunList(*s.body);
      if (e_.Failed() || !e_.LoopPassContinues()) return;
    }
  }

  // REPEAT statement-list UNTIL condition
  [[gnu::noinline]] void Repeat(const CRepeat& s) {
    if (!s.body) {
      e_.ReportError("UNTIL expected", s.tokens, 16);
      return;
    }
    while (true) {
      if (!e_.Step(s.tokens)) return;
      RunList(*s.body);
      if (e_.Failed()) return;
      bool holds = false;
      if (!Holds(*s.condition, s.tokens, holds)) return;
      if (holds) return;  // a flag of the last pass stays set
      if (!e_.LoopPassContinues()) return;
    }
  }

  // CASE expression OF {labels ":" statement ";"} [ELSE statement ";"] END
  [[gnu::noinline]] void Case(const CCase& s) {
    if (!s.selector) {
      e_.ReportError("OF expected", s.tokens, 14);
      return;
    }
    ScriptValue selectorScratch;
    const ScriptValue* found = Value(*s.selector, selectorScratch);
    if (!found) {
      e_.ReportError("Error in expression", s.tokens, 1);
      return;
    }
    // Kept apart: labels may call what changes the variables.
    const ScriptValue selector = *found;
    CList* otherwise = nullptr;
    for (const CCaseStep& step : s.steps) {
      if (e_.Failed()) return;
      switch (step.kind) {
        case CCaseStep::End:
          if (otherwise) RunList(*otherwise);
          return;
        case CCaseStep::Fail: e_.ReportError(step.message, step.errorTokens, step.code); return;
        case CCaseStep::Else: otherwise = step.statement.get(); break;
        case CCaseStep::Branch:
          for (const CCaseLabel& label : step.labels) {
            TVar low, high;
            if (!e_.EvaluateValue(*label.low, low)) {
              e_.ReportError("Error in expression", s.tokens, 1);
              return;
            }
            if (label.high && !e_.EvaluateValue(*label.high, high)) {
              e_.ReportError("Error in expression", s.tokens, 1);
              return;
            }
            bool match = false;
            if (!e_.CaseLabelMatches(selector, low.Value, label.high ? high.Value : low.Value, s.tokens, match))
              return;
            if (match) {
              RunList(*step.statement);
              return;
            }
          }
          break;
      }
    }
  }

  TScriptEngine& e_;
};

void TScriptEngine::RunList(CList& list) { StatementRunner(*this).RunList(list); }

}  // namespace qx
