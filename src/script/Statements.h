// Pieces of the statement layer shared by the direct executor (Statements.cpp), the parsed
// executor (StatementTree.cpp) and preparation (Prepare.cpp): how statements are cut out of
// a list, the statement head, the declarations a prepared program carries, and the limits
// that keep deep nesting off the stack. Internal header.
#pragma once

#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "script/Registries.h"
#include "script/ScriptBudget.h"
#include "script/Tokeniser.h"
#include "script/scriptengine.h"

namespace qx {

struct CompiledProgram;

// Statement lists run inside one another (blocks, branches, loop bodies, procedure bodies);
// a list costs well under 1 KB of stack and a procedure call about 4 KB.
// Real scripts stay far below these; deeper text is refused with an error instead of
// exhausting the stack.
inline constexpr int kMaxListNesting = 1000;
inline constexpr std::string_view kListsTooDeep = "Statements nested too deeply";
inline constexpr int kMaxCallNesting = 200;
inline constexpr std::string_view kCallsTooDeep = "Procedure calls nested too deeply: ";
// USES and INCLUDE files inside one another (a file including itself would never end).
inline constexpr int kMaxFileNesting = 16;
// Largest USES or INCLUDE file read.
inline constexpr size_t kMaxScriptFileBytes = size_t{16} << 20;

// One statement cut from a list.
struct SplitResult {
  std::string_view tokens;  // the statement's tokens; empty when the list is exhausted
  int endedBy = tkEof;      // the terminator consumed (";" or ELSE), or tkEof at the end
  int errorCode = 0;        // an unbalanced BEGIN/CASE ... END or REPEAT ... UNTIL at the end
  std::string_view errorMessage;
};

// statement -> {token} up to ";" (or ELSE when `elseEnds`) outside BEGIN/CASE ... END and
// REPEAT ... UNTIL; leading ";" are skipped. Reads from byte offset `pos` and moves it past
// the terminator.
SplitResult SplitStatement(std::string_view list, size_t& pos, bool elseEnds);

// Collects the tokens from `pos` up to the first one whose code is in `set` (no nesting);
// consumes it and gives its code, or 0 at the end of the text.
int ScanTo(std::string_view tokens, size_t& pos, std::initializer_list<int> set, std::string_view& collected);

// statement -> [token ":"] head operand
struct StatementHead {
  bool hasLabel = false;
  std::string_view label;
  Token head;
  size_t headPos = 0;     // byte offset of the head token in the statement
  size_t operandPos = 0;  // byte offset just after it
};
StatementHead ReadHead(std::string_view statement);

// The label of a statement, if it has one.
inline bool LabelOf(std::string_view statement, std::string_view& label) {
  size_t pos = 0;
  const Token first = ReadToken(statement, pos);
  if (first.Code == tkEof || PeekToken(statement, pos) != tkColon) return false;
  label = first.Text;
  return true;
}

// Whether the last token of `tokens` is END; `inner` is then everything before it.
bool EndsWithEnd(std::string_view tokens, std::string_view& inner);

// Whether a GOTO may name this token as its label.
bool IsLabelToken(const Token& token);

inline std::string StatementMessage(std::string_view prefix, std::string_view text) {
  std::string s(prefix);
  s.append(text);
  return s;
}

// --- declarations carried by a prepared program -------------------------------------------
// A program with declarations starts with the byte 127, a byte no token code uses, and the
// declarations' length and bytes; every reader of TokenStreams sees the end of the text at
// that byte, so the part is invisible to all but Prepare and Run.
std::string EncodeDeclarations(const TProcList& procs);
// Splits a program into its declarations part (empty when there is none) and main program.
void SplitProgram(std::string_view program, std::string_view& declarations, std::string_view& main);
// Reads a declarations part into `procs` (appended); false when it is damaged.
bool DecodeDeclarations(std::string_view declarations, TProcList& procs);

// A declared procedure as calls use it: the parameter names apart, and the body's parsed
// form once it has run. Held by the call while it runs, so a change of Procs meanwhile
// cannot pull the body away.
struct PreparedProc {
  std::string name;
  std::vector<std::string> params;
  TokenStream body;
  bool isFunction = false;
  std::shared_ptr<CompiledProgram> compiled;
  // Lookups kept from call to call (the variables' names are mostly the same each time).
  std::vector<VarSlot> paramSlots, finalSlots;
  std::vector<char> plainParams;  // the parameter name holds no "."
  bool allPlain = true;           // no parameter name holds a "."
  VarSlot resultSlot, returnedSlot;
  // The binding of the call before, when it made every parameter a new entry from arguments
  // that are constants or variables: the names' stamp before (0: none kept) and after.
  uint64_t bindFrom = 0, bindTo = 0;
  // A FUNCTION whose body is the one statement RESULT := a pure expression is evaluated in
  // the caller's frame (TScriptEngine::CallInline): 0 not looked at yet, 1 it is one, -1 not.
  int8_t inlineState = 0;
  const ExprTree* inlineExpression = nullptr;
  uint8_t inlineLists = 1;  // the body's list and one for each BEGIN ... END around it
  std::vector<int8_t> inlineParam;  // per op of its flat code: the parameter it reads, or -1
  // The names' stamp at which neither a parameter nor RESULT is a variable or array (0: none).
  uint64_t inlineFrom = 0;
  // The current element, and the stamp of the names it takes, with which neither a
  // parameter nor RESULT would be its property (0: none known).
  ElementHandle inlineElement = 0;
  uint64_t inlineElementNames = 0;
};

// Calls with at most this many parameters may bind them in one step (TVarList::AppendFrame).
inline constexpr size_t kPlannedParams = 8;
// The most BEGIN ... END around the one statement of a body that CallInline evaluates.
inline constexpr int kInlineListsMax = 4;

// --- the hot steps both executors share ----------------------------------------------------

// False too once an error is recorded (ReportError brings the checkpoint forward).
inline bool TScriptEngine::Step(const std::string_view& statement) {
  if (--detail::gStepsLeft >= 0) [[likely]] return true;
  return BudgetCheckpoint(statement);
}

[[gnu::always_inline]] inline bool TScriptEngine::EnterList(const std::string_view& list) {
  if (listNesting_ >= kMaxListNesting) {
    ReportError(kListsTooDeep, list, 1);
    return false;
  }
  ++listNesting_;  // BlockDepth follows it
  return true;
}

[[gnu::always_inline]] inline void TScriptEngine::LeaveList() {
  --listNesting_;
  if (controlFlag_ == TControlFlag::Goto && BlockDepth() < 0)
    ReportError("Label " + gotoLabel_ + " not exist or unreacheble", gotoText_, 18);
}

// After a loop pass: false ends the loop. BREAK and CONTINUE are consumed here.
inline bool TScriptEngine::LoopPassContinues() {
  switch (controlFlag_) {
    case TControlFlag::None: return true;
    case TControlFlag::Break: controlFlag_ = TControlFlag::None; return false;
    case TControlFlag::Continue: controlFlag_ = TControlFlag::None; return true;
    case TControlFlag::Exit:
    case TControlFlag::Goto: return false;
  }
  return false;
}

inline bool TScriptEngine::Condition(bool evaluated, const ScriptValue& value, std::string_view statement,
                                     bool& holds) {
  if (!evaluated) {
    ReportError("Error in expression", statement, 1);
    return false;
  }
  if (value.Kind() == ValueKind::Boolean) {
    holds = value.BoolValue();
    return true;
  }
  if (!value.TryToBool(holds)) {
    ReportError("Invalid condition type", statement, 5);
    return false;
  }
  return true;
}

inline bool TScriptEngine::SetLoopVariable(const std::string& name, int64_t counter, VarSlot& slot) {
  bool hasArray = false;
  const int i = vars_.FindCached(name, slot, hasArray);
  if (i < 0) return false;
  vars_.ValueAt(i).SetInt(static_cast<int32_t>(counter));
  return true;
}

}  // namespace qx
