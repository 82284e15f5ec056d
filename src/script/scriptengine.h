// TScriptEngine, the script interpreter: its variables, native functions and declared
// procedures, the first-error log, expression evaluation, and preparing and running
// scripts. Chief header of src/script.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "script/Operators.h"
#include "script/Registries.h"
#include "script/ScriptHost.h"
#include "script/ScriptValue.h"
#include "script/Tokeniser.h"
#include "script/VarList.h"

namespace qx {

// The pending jump of the statement executor.
enum class TControlFlag : uint8_t { None, Break, Continue, Exit, Goto };

struct ExprTree;
struct IndexList;
struct Resolution;
class ExprCache;
class ProgramCache;
struct PreparedProc;
struct CList;

// Told what Prepare's declaration pass reads, so that a check can place what it finds in
// the files the author wrote (qxtool). Views last only for the call.
class PrepareObserver {
 public:
  virtual ~PrepareObserver() = default;
  // The pass starts on a file: the source given to Prepare (an empty name), or a USES or
  // INCLUDE file as its statement names it, with its text and tokens. LeaveFile when the
  // pass is done with it (also when it stopped on an error).
  virtual void EnterFile(const std::string& name, bool include, std::string_view text, std::string_view tokens) = 0;
  virtual void LeaveFile() = 0;
  // Each top-level statement as the pass takes it, before it is handled (an unbalanced one
  // too, with the tokens its error names).
  virtual void Statement(std::string_view tokens) = 0;
  // A statement of the file that goes into its main program.
  virtual void MainStatement(std::string_view tokens) = 0;
  // The body of a declared procedure or function, before it is checked.
  virtual void Body(std::string_view name, std::string_view tokens) = 0;
};

class TScriptEngine {
 public:
  TScriptEngine();
  ~TScriptEngine();
  TScriptEngine(const TScriptEngine&) = delete;
  TScriptEngine& operator=(const TScriptEngine&) = delete;

  // --- Native functions ----------------------------------------------------------------
  // The name is trimmed and upper-cased. An existing name gets the new handler, or is
  // removed when `handler` is empty (true). A new name is added when it is an identifier;
  // an empty handler for a new name registers nothing (false).
  bool RegisterFunction(std::string_view name, NativeFunction handler);

  // --- Variables -------------------------------------------------------------------------
  int FindVar(std::string_view name) const;  // exact name
  // The variable (trimmed, upper-cased name), else the element path from CurrentElement.
  bool ReadVar(std::string_view name, TVar& var) const;
  // The assignment rule: existing variable, else element path, else a new variable.
  bool AssignVar(const TVar& var);
  // Changes an existing variable only (trimmed, upper-cased name).
  bool SetVarValue(std::string_view name, const ScriptValue& value);

  TVarList& Vars() { return vars_; }
  const TVarList& Vars() const { return vars_; }
  const TFuncList& Funcs() const { return funcs_; }
  TProcList& Procs() { return procs_; }
  const TProcList& Procs() const { return procs_; }

  // --- Expressions ---------------------------------------------------------------------
  // Evaluates the expression in `tokens` (a TokenStream). False on an error (recorded
  // through ReportError) and also when more than one token follows a complete expression
  // (then nothing is recorded and the caller reports). Re-entrant: natives called in the
  // middle may evaluate further expressions.
  bool Evaluate(std::string_view tokens, TVar& var);

  // Parsed expressions are kept per distinct TokenStream text; evaluation gives the same
  // values, messages and first error with the cache off. On by default.
  void SetExpressionCache(bool on);
  bool ExpressionCacheEnabled() const { return cacheEnabled_; }
  size_t CachedExpressionCount() const;

  // --- Scripts -----------------------------------------------------------------------------
  // Gives the main program of `source` (tokenised, or taken as it is when it holds the byte
  // 127) and reads its PROCEDURE, FUNCTION, USES and INCLUDE declarations into Procs. A
  // program that declares anything carries the declarations in a leading part only Run
  // reads, so whichever interpreter runs it can call them; without declarations the main
  // program is the plain TokenStream.
  TokenStream Prepare(std::string_view source);
  // Reports every later Prepare's reading to `observer` (nullptr: none). The caller keeps it.
  void SetPrepareObserver(PrepareObserver* observer) { observer_ = observer; }
  // Runs a prepared program with the declarations it carries (Procs becomes exactly those).
  // True when no error was recorded.
  bool Run(std::string_view program);

  // Statement lists are split and parsed once per distinct program and kept; running gives
  // the same values, messages and first error with the cache off. On by default.
  void SetStatementCache(bool on);
  bool StatementCacheEnabled() const { return statementCache_; }
  size_t CachedProgramCount() const;

  // --- Errors ----------------------------------------------------------------------------
  // Keeps the first error of a run: code, message and the tokens' text (each token followed
  // by a blank), and appends one line to the error log. Later calls do nothing.
  void ReportError(std::string_view message, std::string_view tokens, int code);
  // The message of a run stopped by its budget.
  static std::string TooLongMessage();
  bool Failed() const { return errorCode_ != 0; }
  int ErrorCode() const { return errorCode_; }
  const std::string& ErrorMessage() const { return errorMessage_; }
  const std::string& ErrorText() const { return errorText_; }
  // Before Prepare and Run: no error, BlockDepth -1, no pending jump.
  void ResetErrorState();
  // A run ends early when its budget of statements and loop passes is spent (ScriptBudget.h).

  // --- Hooks for the statement executor ------------------------------------------------
  int BlockDepth() const { return listNesting_ + depthBase_; }
  TControlFlag ControlFlag() const { return controlFlag_; }
  const std::string& GotoLabel() const { return gotoLabel_; }

  // Whether `name` (upper case) is a registered native or a declared procedure: such a
  // name is called, never read as a variable.
  bool IsCallable(std::string_view name) const;
  // Reads "[" index-list "]" at byte offset `pos` of `tokens`, evaluating each part; gives
  // the index text ("1,2") and moves `pos` past the "]". Reports and answers false on error.
  bool ReadIndexList(std::string_view tokens, size_t& pos, std::string& indexText);
  // The 1-based character position named by `index` in the string `value` read from the
  // variable `name`; reports the string-index errors (errors are located at `tokens`).
  bool StringIndexPosition(const ScriptValue& value, const std::string& name, const std::string& index,
                           std::string_view tokens, size_t& position);
  // Calls a declared procedure or function with the argument TokenStreams.
  bool CallProcedure(const std::string& name, const std::vector<std::string_view>& args, TVar& result);

  // One argument of a call, as the two evaluators hand it to the call steps (internal).
  struct CallArg {
    std::string_view stream;   // the argument's tokens
    std::string_view joined;   // its token texts without blanks
    bool joinedIsIdentifier = false;
    const ExprTree* tree = nullptr;  // parsed form, when the caller has one
    mutable VarSlot slot;            // where `joined` was found, for the copy-back of calls
  };

 private:
  friend class DirectEvaluator;
  friend class TreeEvaluator;
  friend class FastEvaluator;
  friend class StatementRunner;

  // What a called name is: a declared procedure (checked first) or the native at funcIndex.
  struct CallTarget {
    int funcIndex = -1;
    bool isProc = false;
    int procIndex = -1;
  };

  bool EvaluateAt(std::string_view tokens, TVar& var, int depth);  // direct, no cache
  bool EvaluateTree(const ExprTree& tree, TVar& var);
  // For callers that use only the value: pure expressions over existing variables are
  // computed without the general machinery. The value, where it already is (a constant, a
  // variable: read it before changing any variable) or in `scratch`; null on failure.
  const ScriptValue* EvaluateRef(const ExprTree& tree, ScriptValue& scratch);
  // The same into a record whose name is left empty.
  bool EvaluateValue(const ExprTree& tree, TVar& var);
  // A constant or plain variable that is the whole expression, when known to be one now
  // (ExprFast.h); null otherwise.
  const ScriptValue* QuickLeaf(const ExprTree& tree);
  // A tree whose flat code is a call of its own (FastCode::Call): the call's value; false
  // with the error recorded when it fails.
  bool EvaluateCall(const ExprTree& tree, ScriptValue& value);
  // A condition over Integers with its places known from the last run (ExprTree.cpp): its
  // truth; false, having changed nothing, when it needs the usual steps.
  bool PlannedIntegerHolds(const ExprTree& tree, bool& holds);
  bool ReadIndexListAt(std::string_view tokens, size_t& pos, std::string& indexText, int depth);
  // Steps shared by both evaluators.
  CallTarget ResolveCall(const std::string& name) const;
  // Whether `name` is a native or a declared procedure, by `r` (looked up again when a
  // registry changed); what it is goes to `target` when one is given.
  // (ExprTree.cpp, where both evaluators are.)
  bool Resolve(const std::string& name, const Resolution& r, CallTarget* target);
  bool ReadVariableOperand(const std::string& name, const std::string* index1, const std::string* index2,
                           std::string_view stream, TVar& var, VarSlot* slot = nullptr);
  bool CallByName(const std::string& name, const CallTarget& target, const std::vector<CallArg>& args,
                  TVar& result, std::string_view stream, int depth);
  bool CallNative(const std::string& name, int funcIndex, const std::vector<CallArg>& args, TVar& result,
                  std::string_view stream, int depth);
  bool ApplyOperator(int op, TVar& left, const TVar& right, std::string_view stream);
  bool ApplyPrefixOperator(int op, TVar& value, std::string_view stream);
  bool IndexPart(bool evaluated, const TVar& value, std::string_view part, std::string_view stream, int32_t& index);
  // The index list's parts evaluated and joined with commas ("1,2"); errors name `stream`.
  bool IndexListText(const IndexList& list, std::string_view stream, std::string& text);

  // Preparing and calling (Prepare.cpp, Statements.cpp).
  TokenStream DeclarationPass(std::string_view tokens, int fileDepth);
  bool DeclareProcedure(std::string_view statement, size_t pos, bool isFunction, std::string_view list,
                        size_t& listPos);
  bool UseFile(std::string_view statement, size_t pos, bool include, int fileDepth, TokenStream& main);
  void LoadDeclarations(std::string_view header);
  // The prepared form of Procs[index] (a valid index), made on first use and kept while
  // Procs is unchanged; PreparedAt gives it only when kept (null for any other index).
  PreparedProc* PreparedAt(int index) const {
    if (procCacheGeneration_ != procs_.Generation() || static_cast<size_t>(index) >= procCache_.size())
      return nullptr;
    return procCache_[static_cast<size_t>(index)].get();
  }
  [[gnu::noinline]] PreparedProc* PrepareProc(int index);
  bool BindPlanned(PreparedProc& proc, const std::vector<CallArg>& args);
  bool CallInline(PreparedProc& proc, const std::vector<CallArg>& args, ScriptValue& result);
  bool InlineFrameHolds(PreparedProc& proc);
  bool ElementRefusesFrame(PreparedProc& proc, ElementHandle element);
  bool BindParameters(PreparedProc& proc, const std::vector<CallArg>& args, std::string_view stream, int depth);
  [[gnu::cold, gnu::noinline]] void EndJumpInCall(std::string_view stream);
  // A declared procedure's call; a failed one reports "Error in procedure: " after its own error.
  bool CallProc(const std::string& name, int procIndex, const std::vector<CallArg>& args, ScriptValue& result,
                std::string_view stream, int depth) {
    if (CallDeclared(name, procIndex, args, result, stream, depth)) [[likely]] return true;
    return ProcedureFailed(name, stream);
  }
  [[gnu::cold, gnu::noinline]] bool ProcedureFailed(const std::string& name, std::string_view stream);
  bool CallDeclared(const std::string& name, int procIndex, const std::vector<CallArg>& args, ScriptValue& result,
                    std::string_view stream, int depth);

  // The direct executor: finds every statement in the text each time it runs (Statements.cpp).
  void RunBlockDirect(std::string_view list);
  void ExecDirect(std::string_view statement);
  void AssignOrCallDirect(std::string_view statement, size_t headPos, size_t operandPos);
  void IfDirect(std::string_view statement, size_t pos);
  void ForDirect(std::string_view statement, size_t pos);
  void WhileDirect(std::string_view statement, size_t pos);
  void RepeatDirect(std::string_view statement, size_t pos);
  void CaseDirect(std::string_view statement, size_t pos);
  // The parsed executor: statement lists parsed on their first run (StatementTree.cpp).
  void RunList(CList& list);

  // Statement steps both executors share, so they cannot drift apart.
  // One statement or loop pass taken from the run's budget; false when the run must stop
  // (the error is recorded).
  // (By reference: the text is read only when the budget's checkpoint is due.)
  bool Step(const std::string_view& statement);
  [[gnu::cold, gnu::noinline]] bool BudgetCheckpoint(std::string_view statement);
  // Records the error of a run stopped at another level or by the stop flag, without a line
  // in the error log.
  [[gnu::cold, gnu::noinline]] void Halt(std::string_view statement);
  bool EnterList(const std::string_view& list);  // false when nested too deeply
  void LeaveList();
  bool ReportOutsideLoop(std::string_view statement);  // BREAK or CONTINUE left at depth 0
  bool LoopPassContinues();          // after a loop pass: consumes BREAK and CONTINUE
  bool Condition(bool evaluated, const ScriptValue& value, std::string_view statement, bool& holds);
  bool LoopBound(bool evaluated, const ScriptValue& value, std::string_view statement, int32_t& bound);
  bool SetLoopVariable(const std::string& name, int64_t counter, VarSlot& slot);
  void SetFlag(TControlFlag flag, std::string_view statement, bool surplus);
  void SetGoto(std::string_view statement, size_t pos);
  bool CaseLabelMatches(const ScriptValue& selector, const ScriptValue& low, const ScriptValue& high,
                        std::string_view statement, bool& match);
  void CompleteAssignment(const std::string& name, bool nameIsIdentifier, const std::string* index1,
                          const std::string* index2, const ScriptValue& value, std::string_view statement,
                          VarSlot* slot);

  TVarList vars_;
  TFuncList funcs_;
  PrepareObserver* observer_ = nullptr;
  TProcList procs_;
  // The stamp of the newest change of funcs_ or procs_ (both write it): the plans of hot
  // statements test the two registries with this one comparison.
  uint64_t registriesStamp_ = NextRegistryGeneration();

  int errorCode_ = 0;
  std::string errorMessage_;
  std::string errorText_;

  // Statement executor state (Prepare, Run and the statements live in Statements.cpp).
  // BlockDepth is the statement lists entered since the error state was reset, less one:
  // kept as an offset from listNesting_, so entering a list moves one counter only.
  int depthBase_ = -1;
  TControlFlag controlFlag_ = TControlFlag::None;
  std::string gotoLabel_;
  std::string gotoText_;              // the GOTO statement of a pending jump (error text)
  std::string preparedSource_;        // the last source given to Prepare ...
  TokenStream preparedTokens_;        // ... and its TokenStream
  std::string loadedDeclarations_;    // the declarations part Procs was last loaded from ...
  uint64_t loadedProcsGeneration_ = 0;  // ... and Procs' stamp then
  std::vector<std::unique_ptr<PreparedProc>> procCache_;  // by Procs index
  // Entries dropped while calls run: a running call keeps using its entry.
  std::vector<std::unique_ptr<PreparedProc>> retiredProcs_;
  uint64_t procCacheGeneration_ = 0;
  int listNesting_ = 0;  // statement lists being run, for the stack's sake (never reset)
  int callNesting_ = 0;  // calls of declared procedures in progress
  // Parameters' final values on their way back to their bare variable arguments (the
  // first few entries are used; kept to keep their storage).
  struct Final {
    size_t arg = 0;
    ScriptValue value;
  };
  std::vector<Final> finals_;
  bool statementCache_ = true;
  std::unique_ptr<ProgramCache> programs_;
  std::vector<ScriptValue> fastScratch_;  // operator results of the pure-expression path

  bool cacheEnabled_ = true;
  int evaluating_ = 0;  // nesting of Evaluate calls; the cache is trimmed only at 0
  std::unique_ptr<ExprCache> cache_;
};

}  // namespace qx
