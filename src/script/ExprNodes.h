// The node types of parsed expressions (ExprTree.cpp builds and evaluates them; the static
// check, ScriptCheck.cpp, walks them as a run would). Internal header.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "script/ExprTree.h"
#include "script/scriptengine.h"

namespace qx {

enum class NodeKind : uint8_t { Error, Const, Chain, Prefix, Paren, Name, IndexedName, Call };

struct ExprNode {
  explicit ExprNode(NodeKind k) : kind(k) {}
  virtual ~ExprNode() = default;
  const NodeKind kind;
};

struct ErrorNode : ExprNode {
  ErrorNode(std::string m, int c, std::string_view t)
      : ExprNode(NodeKind::Error), message(std::move(m)), code(c), at(t) {}
  std::string message;
  int code;
  std::string_view at;  // the token the error names, in the tree's stream
};

struct ConstNode : ExprNode {
  ConstNode() : ExprNode(NodeKind::Const) {}
  ScriptValue value;
  const char* name = nullptr;  // TRUE and FALSE name their record
};

struct ChainNode : ExprNode {
  ChainNode() : ExprNode(NodeKind::Chain) {}
  std::unique_ptr<ExprNode> first;
  std::vector<std::pair<int, std::unique_ptr<ExprNode>>> rest;  // operator, right operand
};

struct PrefixNode : ExprNode {
  PrefixNode() : ExprNode(NodeKind::Prefix) {}
  int op = 0;
  std::unique_ptr<ExprNode> operand;
};

struct ParenNode : ExprNode {
  ParenNode() : ExprNode(NodeKind::Paren) {}
  std::unique_ptr<ExprNode> inner;
  bool closed = false;
};

// What a name resolved to, kept until a registry changes.
struct Resolution {
  mutable uint64_t registries = 0;  // the engine's registry stamp then; 0: not resolved
  mutable int funcIndex = -1;
  mutable int procIndex = -1;
};

// A name followed by neither "(" nor "[": a variable, or a call without arguments.
struct NameNode : ExprNode {
  NameNode() : ExprNode(NodeKind::Name) {}
  std::string name;
  Resolution resolution;
  mutable VarSlot slot;  // where the variable was found, while the names stay the same
};

// A name followed by "[": index lists of a variable, or a call without arguments after
// which the expression ends at that "[".
struct IndexedNameNode : ExprNode {
  IndexedNameNode() : ExprNode(NodeKind::IndexedName) {}
  std::string name;
  Resolution resolution;
  mutable VarSlot plainSlot;  // a plain variable of the name (makes the index a string index)
  // Array elements found by index values, while the variables' names stay the same.
  struct CachedElement {
    uint64_t generation = 0;
    int32_t first = 0, second = 0;
    int index = -1;
  };
  static constexpr size_t kElementCache = 256;
  mutable std::unique_ptr<std::array<CachedElement, kElementCache>> elements;
  size_t bracketIndex = 0;  // token index of the "["
  IndexList index1;
  IndexList index2;
  bool hasIndex2 = false;
};

// A name followed by "(": a call with arguments.
struct CallNode : ExprNode {
  CallNode() : ExprNode(NodeKind::Call) {}
  std::string name;
  Resolution resolution;
  bool unclosed = false;
  std::string unclosedMessage;
  std::vector<std::unique_ptr<ExprTree>> argTrees;
  std::vector<std::string> joined;
  std::vector<TScriptEngine::CallArg> args;  // views into argTrees and joined
};

}  // namespace qx
