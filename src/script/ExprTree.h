// The parsed form of an expression TokenStream, kept per distinct stream text so repeated
// evaluations skip the token reading. Internal to the interpreter.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qx {

struct ExprNode;
struct FastCode;

// One expression as the direct evaluator would parse it when every name followed by "["
// is a variable; a name that turns out to be a function there is handled at evaluation
// (the expression then ends at that "[", as the direct evaluator would find).
struct ExprTree {
  std::string_view stream;         // the tree's tokens: its own copy, or a part of its root's
  std::unique_ptr<ExprNode> root;  // null when the stream holds no token
  size_t tokenCount = 0;
  bool surplusOk = false;          // at most one token follows the complete expression
  bool tooDeep = false;
  // The pure part of the tree as a flat sequence, made on first use (FastEvaluator).
  mutable std::unique_ptr<FastCode> fast;
  mutable int8_t fastState = 0;  // 0 not made yet, 1 made, -1 the tree has no pure form

  // A whole expression (keeps a copy of the stream).
  static std::unique_ptr<ExprTree> Build(std::string_view stream);
  // An argument or index part: `stream` lies inside the stream of the tree that owns it.
  static std::unique_ptr<ExprTree> BuildPart(std::string_view stream, int depth);
  ExprTree();
  ~ExprTree();
  ExprTree(const ExprTree&) = delete;
  ExprTree& operator=(const ExprTree&) = delete;

 private:
  std::string ownedStream;
};

// The parts of one "[" part {"," part} "]" after an array name. `closed` is false when the
// "]" is missing ("] expected" when evaluated).
struct IndexList {
  bool closed = false;
  std::vector<std::unique_ptr<ExprTree>> parts;
};

class ExprCache {
 public:
  // The tree of `stream`, built on first use. `mayTrim`: no tree is in use, so the cache
  // may be emptied when it has grown too large.
  const ExprTree& Get(std::string_view stream, bool mayTrim);
  size_t Size() const { return map_.size(); }
  void Clear() { map_.clear(); }

 private:
  struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  std::unordered_map<std::string, std::unique_ptr<ExprTree>, Hash, std::equal_to<>> map_;
};

}  // namespace qx
