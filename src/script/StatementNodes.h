// The statement types of parsed statement lists (StatementTree.cpp parses and runs them; the
// static check, ScriptCheck.cpp, walks them as a run would). Internal header.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "script/ExprTree.h"
#include "script/StatementTree.h"
#include "script/Statements.h"
#include "script/scriptengine.h"

namespace qx {

enum class SKind : uint8_t { Assign, Call, Found, Block, If, For, While, Repeat, Flag, Goto, Case, Fail };

struct CStatement {
  CStatement(SKind k, std::string_view t) : kind(k), tokens(t) {}
  virtual ~CStatement() = default;
  SKind kind;
  std::string_view tokens;  // the whole statement, label included (the error text)
  bool hasLabel = false;
  std::string_view label;
};

using ExprTreePtr = std::unique_ptr<ExprTree>;

// A statement the runner only reports.
struct CFail : CStatement {
  CFail(std::string_view t, std::string m, int c) : CStatement(SKind::Fail, t), message(std::move(m)), code(c) {}
  std::string message;
  int code;
};

// name [index-list [index-list]] (":=" expression | call)
struct CAssign : CStatement {
  using CStatement::CStatement;
  std::string name;
  bool nameIsIdentifier = false;
  bool plainName = false;  // an identifier without "."
  bool has1 = false, has2 = false;
  IndexList index1, index2;
  std::string foundMessage;  // SKind::Found
  ExprTreePtr expression;           // the value (Assign) or the whole call (Call)
  mutable VarSlot slot;
  // The place of an existing plain variable assigned by the quick steps, as of these names
  // of the variables (0: none kept).
  mutable uint64_t targetVars = 0;
  mutable int target = -1;
  // The names of the variables with which the plain name was last found missing (0: none).
  mutable uint64_t missingVars = 0;
};

// BEGIN statement-list END
struct CBlock : CStatement {
  using CStatement::CStatement;
  std::unique_ptr<CList> inner;  // null: END missing
};

// IF condition THEN statement [ELSE statement-list]
struct CIf : CStatement {
  using CStatement::CStatement;
  ExprTreePtr condition;
  SplitResult branch;
  std::unique_ptr<CList> thenList, elseList;
};

// FOR name ":=" expression (TO | DOWNTO) expression DO statement
struct CFor : CStatement {
  using CStatement::CStatement;
  int headErrorCode = 0;
  std::string headErrorMessage;
  std::string variable;
  bool down = false;
  ExprTreePtr start;
  ExprTreePtr end;  // null: DO missing
  std::unique_ptr<CList> body;
  mutable VarSlot slot;
};

// WHILE condition DO statement
struct CWhile : CStatement {
  using CStatement::CStatement;
  ExprTreePtr condition;  // null: DO missing
  std::unique_ptr<CList> body;
};

// REPEAT statement-list UNTIL condition
struct CRepeat : CStatement {
  using CStatement::CStatement;
  std::unique_ptr<CList> body;  // null: UNTIL missing
  ExprTreePtr condition;
};

// BREAK | CONTINUE | EXIT
struct CFlag : CStatement {
  using CStatement::CStatement;
  TControlFlag flag = TControlFlag::None;
  bool surplus = false;
};

// GOTO label
struct CGoto : CStatement {
  using CStatement::CStatement;
  size_t operandPos = 0;
};

struct CCaseLabel {
  ExprTreePtr low, high;  // high null: a single value
};

struct CCaseStep {
  enum Kind { Branch, Else, End, Fail } kind = End;
  std::vector<CCaseLabel> labels;
  std::unique_ptr<CList> statement;
  int code = 0;  // Fail
  std::string_view message;
  std::string_view errorTokens;
};

// CASE expression OF {labels ":" statement ";"} [ELSE statement ";"] END
struct CCase : CStatement {
  using CStatement::CStatement;
  ExprTreePtr selector;  // null: OF missing
  std::vector<CCaseStep> steps;  // the walk up to its END or first error
};

// Cuts a list into its statements and parses them (nested lists stay unparsed until they
// are reached), keeping every error at the place a run would meet it.
void ParseList(CList& list);

}  // namespace qx
