// Parsed expressions: the builder mirrors the direct evaluator's parse (Evaluator.cpp) step
// for step, turning each error it would report into an error node at the same place, and
// the tree evaluator computes in the same order with the same checks. What depends on the
// state at run time (is a name a variable or a function, does the variable exist) is
// decided at run time.
#include "script/ExprTree.h"

#include "script/ExprNodes.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <utility>
#include <vector>

#include "script/EvalCommon.h"
#include "script/ExprFast.h"
#include "script/scriptengine.h"

namespace qx {

namespace {
constexpr size_t kMaxCachedExpressions = 4096;
}

namespace {

class TreeBuilder {
 public:
  TreeBuilder(ExprTree& tree, int depth) : tree_(tree), depth_(depth) {}

  // evaluate -> expression [token]
  void Build() {
    if (depth_ > kMaxExpressionDepth) {
      tree_.tooDeep = true;
      return;
    }
    size_t pos = 0;
    while (true) {
      const size_t offset = pos;
      const Token t = ReadToken(tree_.stream, pos);
      if (t.Code == tkEof) break;
      toks_.push_back({t.Code, t.Text, offset});
    }
    end_ = pos;
    tree_.tokenCount = toks_.size();
    Next();
    if (cur_.code == tkEof) return;
    tree_.root = Level(1);
    tree_.surplusOk = !stopped_ && next_ >= toks_.size();
  }

 private:
  struct Tok {
    int code = tkEof;
    std::string_view text;
    size_t offset = 0;
  };

  void Next() {
    if (next_ < toks_.size()) cur_ = toks_[next_++];
    else cur_ = Tok{};
  }
  int Peek() const { return next_ < toks_.size() ? toks_[next_].code : tkEof; }
  size_t OffsetOf(size_t index) const { return index < toks_.size() ? toks_[index].offset : end_; }
  std::string_view Tokens(size_t from, size_t to) const {
    return tree_.stream.substr(OffsetOf(from), OffsetOf(to) - OffsetOf(from));
  }

  std::unique_ptr<ExprNode> Fail(std::string message, int code) {
    stopped_ = true;
    const std::string_view at = cur_.code == tkEof ? std::string_view() : tree_.stream.substr(cur_.offset, cur_.text.size() + 2);
    return std::make_unique<ErrorNode>(std::move(message), code, at);
  }

  // level(n) -> level(n+1) {operator(n) level(n+1)}
  std::unique_ptr<ExprNode> Level(int level) {
    if (level > kLevelCount) return Unary();
    std::unique_ptr<ExprNode> left = Level(level + 1);
    if (stopped_ || !IsLevelOperator(level, cur_.code)) return left;
    auto chain = std::make_unique<ChainNode>();
    chain->first = std::move(left);
    while (!stopped_ && IsLevelOperator(level, cur_.code)) {
      const int op = cur_.code;
      Next();
      chain->rest.emplace_back(op, Level(level + 1));
    }
    return chain;
  }

  // unary -> [NOT | "+" | "-"] operand
  std::unique_ptr<ExprNode> Unary() {
    if (!IsPrefixOperator(cur_.code)) return Operand();
    auto node = std::make_unique<PrefixNode>();
    node->op = cur_.code;
    Next();
    node->operand = Operand();
    return node;
  }

  // operand -> name [index-list [index-list]] | name [arguments] | constant | TRUE | FALSE
  //          | "(" expression ")"
  std::unique_ptr<ExprNode> Operand() {
    switch (cur_.code) {
      case tkIdent: {
        const int next = Peek();
        std::unique_ptr<ExprNode> node;
        if (next == tkOpenParen) node = Call();
        else if (next == tkOpenBracket) node = IndexedName();
        else {
          auto name = std::make_unique<NameNode>();
          name->name = std::string(cur_.text);
          node = std::move(name);
        }
        if (!stopped_) Next();
        return node;
      }
      case tkConst: {
        auto node = std::make_unique<ConstNode>();
        std::string message;
        int code = 0;
        if (!ConstantValue(cur_.text, node->value, message, code)) return Fail(std::move(message), code);
        Next();
        return node;
      }
      case tkTrue:
      case tkFalse: {
        auto node = std::make_unique<ConstNode>();
        node->value = ScriptValue::Bool(cur_.code == tkTrue);
        node->name = cur_.code == tkTrue ? "TRUE" : "FALSE";
        Next();
        return node;
      }
      case tkOpenParen: {
        if (depth_ >= kMaxExpressionDepth) return Fail(std::string(kTooDeepMessage), 1);
        auto node = std::make_unique<ParenNode>();
        ++depth_;
        Next();
        node->inner = Level(1);
        --depth_;
        if (stopped_) return node;
        if (cur_.code != tkCloseParen) {
          stopped_ = true;
          return node;
        }
        node->closed = true;
        Next();
        return node;
      }
      default:
        return Fail("Unknown or invalid operator in expression: " + std::string(cur_.text), 1);
    }
  }

  // The name is the current token; the next one is "[".
  std::unique_ptr<ExprNode> IndexedName() {
    auto node = std::make_unique<IndexedNameNode>();
    node->name = std::string(cur_.text);
    node->bracketIndex = next_;
    ReadIndexList(node->index1);
    if (!node->index1.closed) {
      stopped_ = true;
      return node;
    }
    if (Peek() == tkOpenBracket) {
      node->hasIndex2 = true;
      ReadIndexList(node->index2);
      if (!node->index2.closed) stopped_ = true;
    }
    return node;
  }

  // index-list -> "[" part {"," part} "]"
  void ReadIndexList(IndexList& list) {
    ++next_;  // the "["
    const size_t start = next_;
    int nesting = 1;
    while (true) {
      if (next_ >= toks_.size()) return;  // "] expected" when evaluated
      const int code = toks_[next_++].code;
      if (code == tkOpenBracket) ++nesting;
      else if (code == tkCloseBracket && --nesting == 0) break;
    }
    for (std::string_view part : SplitAtCommas(Tokens(start, next_ - 1), true))
      list.parts.push_back(ExprTree::BuildPart(part, depth_ + 1));
    list.closed = true;
  }

  // arguments -> "(" [argument {"," argument}] ")"
  std::unique_ptr<ExprNode> Call() {
    auto node = std::make_unique<CallNode>();
    node->name = std::string(cur_.text);
    ++next_;  // the "("
    const size_t start = next_;
    int nesting = 1;
    while (true) {
      if (next_ >= toks_.size()) {
        node->unclosed = true;
        node->unclosedMessage = "Invalid function params: " + TokenText(Tokens(start, toks_.size()), true);
        stopped_ = true;
        return node;
      }
      const int code = toks_[next_++].code;
      if (code == tkOpenParen) ++nesting;
      else if (code == tkCloseParen && --nesting == 0) break;
    }
    const std::vector<std::string_view> parts = SplitAtCommas(Tokens(start, next_ - 1), false);
    node->args.resize(parts.size());
    for (size_t i = 0; i < parts.size(); ++i) {
      node->argTrees.push_back(ExprTree::BuildPart(parts[i], depth_ + 1));
      node->joined.push_back(JoinedName(parts[i], node->args[i].joinedIsIdentifier));
    }
    for (size_t i = 0; i < parts.size(); ++i) {
      node->args[i].stream = node->argTrees[i]->stream;
      node->args[i].joined = node->joined[i];
      node->args[i].tree = node->argTrees[i].get();
    }
    return node;
  }

  ExprTree& tree_;
  int depth_;
  std::vector<Tok> toks_;
  size_t end_ = 0;    // byte offset after the last token
  size_t next_ = 0;   // index of the next token to read
  Tok cur_;
  bool stopped_ = false;
};

}  // namespace

ExprTree::ExprTree() = default;
ExprTree::~ExprTree() = default;

std::unique_ptr<ExprTree> ExprTree::Build(std::string_view stream) {
  auto tree = std::make_unique<ExprTree>();
  tree->ownedStream = std::string(stream);
  tree->stream = tree->ownedStream;
  TreeBuilder(*tree, 0).Build();
  return tree;
}

std::unique_ptr<ExprTree> ExprTree::BuildPart(std::string_view stream, int depth) {
  auto tree = std::make_unique<ExprTree>();
  tree->stream = stream;
  TreeBuilder(*tree, depth).Build();
  return tree;
}

const ExprTree& ExprCache::Get(std::string_view stream, bool mayTrim) {
  const auto it = map_.find(stream);
  if (it != map_.end()) return *it->second;
  if (mayTrim && map_.size() >= kMaxCachedExpressions) map_.clear();
  std::unique_ptr<ExprTree> tree = ExprTree::Build(stream);
  const ExprTree& result = *tree;
  map_.emplace(std::string(stream), std::move(tree));
  return result;
}

[[gnu::always_inline]] inline bool TScriptEngine::Resolve(const std::string& name, const Resolution& r,
                                                          CallTarget* target) {
  if (r.registries != registriesStamp_) {
    r.funcIndex = funcs_.Find(name);
    r.procIndex = procs_.Find(name);
    r.registries = registriesStamp_;
  }
  if (target) {
    target->funcIndex = r.funcIndex;
    target->procIndex = r.procIndex;
    target->isProc = r.procIndex >= 0;
  }
  return r.funcIndex >= 0 || r.procIndex >= 0;
}

class TreeEvaluator {
 public:
  enum class Flow { Done, Truncated };

  TreeEvaluator(TScriptEngine& engine, const ExprTree& tree) : e_(engine), tree_(tree) {}

  Flow Eval(const ExprNode& node, TVar& out) {
    switch (node.kind) {
      case NodeKind::Error: {
        const auto& n = static_cast<const ErrorNode&>(node);
        e_.ReportError(n.message, tree_.stream, n.code);
        return Flow::Done;
      }
      case NodeKind::Const: {
        const auto& n = static_cast<const ConstNode&>(node);
        out.Value = n.value;
        if (n.name) out.Name = n.name;
        return Flow::Done;
      }
      case NodeKind::Chain: {
        const auto& n = static_cast<const ChainNode&>(node);
        const Flow first = Eval(*n.first, out);
        if (e_.Failed() || first == Flow::Truncated) return first;
        for (const auto& [op, operand] : n.rest) {
          TVar right;
          const Flow flow = Eval(*operand, right);
          if (e_.Failed()) return Flow::Done;
          if (!e_.ApplyOperator(op, out, right, tree_.stream)) return Flow::Done;
          if (flow == Flow::Truncated) return flow;
        }
        return Flow::Done;
      }
      case NodeKind::Prefix: {
        const auto& n = static_cast<const PrefixNode&>(node);
        const Flow flow = Eval(*n.operand, out);
        if (!e_.Failed()) e_.ApplyPrefixOperator(n.op, out, tree_.stream);
        return flow;
      }
      case NodeKind::Paren: {
        const auto& n = static_cast<const ParenNode&>(node);
        const Flow flow = Eval(*n.inner, out);
        if (e_.Failed()) return Flow::Done;
        if (flow == Flow::Truncated || !n.closed) e_.ReportError("')' expected", tree_.stream, 2);
        return Flow::Done;
      }
      case NodeKind::Name: {
        const auto& n = static_cast<const NameNode&>(node);
        TScriptEngine::CallTarget target;
        if (Callable(n.name, n.resolution, target)) e_.CallByName(n.name, target, {}, out, tree_.stream, 0);
        else e_.ReadVariableOperand(n.name, nullptr, nullptr, tree_.stream, out, &n.slot);
        return Flow::Done;
      }
      case NodeKind::IndexedName: {
        const auto& n = static_cast<const IndexedNameNode&>(node);
        TScriptEngine::CallTarget target;
        if (Callable(n.name, n.resolution, target)) {
          // A function is called without arguments; its "[" is where the expression ends.
          if (!e_.CallByName(n.name, target, {}, out, tree_.stream, 0)) return Flow::Done;
          truncatedAt = n.bracketIndex;
          return Flow::Truncated;
        }
        std::string index1, index2;
        if (!e_.IndexListText(n.index1, tree_.stream, index1)) return Flow::Done;
        if (n.hasIndex2 && !e_.IndexListText(n.index2, tree_.stream, index2)) return Flow::Done;
        e_.ReadVariableOperand(n.name, &index1, n.hasIndex2 ? &index2 : nullptr, tree_.stream, out);
        return Flow::Done;
      }
      case NodeKind::Call: {
        const auto& n = static_cast<const CallNode&>(node);
        if (n.unclosed) {
          e_.ReportError(n.unclosedMessage, tree_.stream, 1);
          return Flow::Done;
        }
        TScriptEngine::CallTarget target;
        Callable(n.name, n.resolution, target);
        e_.CallByName(n.name, target, n.args, out, tree_.stream, 0);
        return Flow::Done;
      }
    }
    return Flow::Done;
  }

  size_t truncatedAt = 0;

 private:
  bool Callable(const std::string& name, const Resolution& r, TScriptEngine::CallTarget& target) {
    return e_.Resolve(name, r, &target);
  }

  TScriptEngine& e_;
  const ExprTree& tree_;
};

// The value of the pure shapes statements evaluate over and over: constants, existing
// variables and array elements, and operators on them. Such a tree is flattened once into
// a sequence run on a small stack of value pointers; values are read where they are and
// only operator results are made. Anything else (calls, element paths, text keys, whatever
// would report an error) answers null before any side effect, and the caller then
// evaluates in full, with the same result.
namespace {

// Post-order, as the full evaluator computes: false for a node with no pure form.
bool Flatten(const ExprNode& node, FastCode& code, int depth, int& maxDepth) {
  if (depth + 1 > kFastStack) return false;
  maxDepth = std::max(maxDepth, depth + 1);
  switch (node.kind) {
    case NodeKind::Const: {
      FastOp o{FastOp::Const, 0, 0, &node};
      o.constant = &static_cast<const ConstNode&>(node).value;
      code.ops.push_back(o);
      return true;
    }
    case NodeKind::Name: {
      const auto& n = static_cast<const NameNode&>(node);
      FastOp o{FastOp::Var, 0, 0, &node};
      o.name = &n.name;
      o.slot = &n.slot;
      code.ops.push_back(o);
      return true;
    }
    case NodeKind::IndexedName: {
      const auto& n = static_cast<const IndexedNameNode&>(node);
      if (!n.index1.closed || n.hasIndex2 || n.index1.parts.size() > kFastStack) return false;
      int at = depth;
      for (const auto& part : n.index1.parts) {
        if (part->tooDeep || !part->root || !part->surplusOk || !Flatten(*part->root, code, at, maxDepth)) return false;
        ++at;
      }
      code.ops.push_back({FastOp::Element, 0, static_cast<uint16_t>(n.index1.parts.size()), &node});
      return true;
    }
    case NodeKind::Chain: {
      const auto& n = static_cast<const ChainNode&>(node);
      if (!Flatten(*n.first, code, depth, maxDepth)) return false;
      for (const auto& [op, operand] : n.rest) {
        if (!Flatten(*operand, code, depth + 1, maxDepth)) return false;
        code.ops.push_back({FastOp::Binary, static_cast<uint8_t>(op), 0, nullptr});
      }
      return true;
    }
    case NodeKind::Prefix: {
      const auto& n = static_cast<const PrefixNode&>(node);
      if (!Flatten(*n.operand, code, depth, maxDepth)) return false;
      code.ops.push_back({FastOp::Prefix, static_cast<uint8_t>(n.op), 0, nullptr});
      return true;
    }
    case NodeKind::Paren: {
      const auto& n = static_cast<const ParenNode&>(node);
      return n.closed && Flatten(*n.inner, code, depth, maxDepth);
    }
    default: return false;
  }
}

}  // namespace

bool EvaluateOpsInFrame(const TVarList& vars, const FastCode& c, const int8_t* param, const ScriptValue* const* args,
                        std::vector<ScriptValue>& temp, ScriptValue& out) {
  if (temp.size() < kFastStack) temp.resize(kFastStack);
  const ScriptValue* refs[kFastStack];
  int sp = 0;
  for (size_t k = 0; k < c.ops.size(); ++k) {
    const FastOp& o = c.ops[k];
    switch (o.kind) {
      case FastOp::Const:
      case FastOp::Var:
        if (!(refs[sp++] = FrameLeafValue(vars, c, param, args, k))) return false;
        break;
      case FastOp::Binary:
      case FastOp::Prefix:
        if (!StackOperator(o, refs, sp, temp)) return false;
        break;
      case FastOp::Element: return false;
    }
  }
  if (refs[0] == &temp[0]) out = std::move(temp[0]);
  else out = *refs[0];
  return true;
}

class FastEvaluator {
 public:
  explicit FastEvaluator(TScriptEngine& engine) : e_(engine) {}

  // The tree's value, where it is or in `scratch`; null when it has no pure value now.
  const ScriptValue* Run(const ExprTree& tree, ScriptValue& scratch) {
    if (tree.fastState == 0) {
      auto code = std::make_unique<FastCode>();
      int maxDepth = 0;
      bool ok = tree.root && !tree.tooDeep && tree.surplusOk && Flatten(*tree.root, *code, 0, maxDepth);
      if (!ok && tree.root && !tree.tooDeep && tree.surplusOk && tree.root->kind == NodeKind::Call &&
          !static_cast<const CallNode&>(*tree.root).unclosed) {
        code->ops.clear();
        code->shape = FastCode::Call;
        code->call = tree.root.get();
        ok = true;
      }
      tree.fastState = ok ? 1 : -1;
      if (ok) {
        const auto leaf = [](const FastOp& o) { return o.kind == FastOp::Const || o.kind == FastOp::Var; };
        const auto& ops = code->ops;
        if (code->shape == FastCode::Call) {
        } else if (ops.size() == 1 && leaf(ops[0])) code->shape = FastCode::Leaf;
        else if (ops.size() == 3 && leaf(ops[0]) && leaf(ops[1]) && ops[2].kind == FastOp::Binary)
          code->shape = FastCode::LeafPair;
        tree.fast = std::move(code);
      }
    }
    if (tree.fastState < 0) return nullptr;
    const FastCode& code = *tree.fast;
    if (code.shape == FastCode::Call) {
      // A failed call has recorded its error, so the caller does not evaluate again.
      if (!Call(tree, code, scratch)) return nullptr;
      return &scratch;
    }
    if (code.registries != e_.registriesStamp_) {
      FastCode& c = *tree.fast;
      c.namesPlain = true;
      for (const FastOp& o : c.ops) {
        if (o.kind == FastOp::Var && Callable(static_cast<const NameNode*>(o.node)->name,
                                              static_cast<const NameNode*>(o.node)->resolution))
          c.namesPlain = false;
        if (o.kind == FastOp::Element && Callable(static_cast<const IndexedNameNode*>(o.node)->name,
                                                  static_cast<const IndexedNameNode*>(o.node)->resolution))
          c.namesPlain = false;
      }
      c.registries = e_.registriesStamp_;
    }
    if (!code.namesPlain) return nullptr;
    if (code.shape == FastCode::Leaf) return LeafValue(code.ops[0]);
    if (code.shape == FastCode::LeafPair) {
      const ScriptValue* left = LeafValue(code.ops[0]);
      if (!left) return nullptr;
      const ScriptValue* right = LeafValue(code.ops[1]);
      if (!right || !FastBinary(code.ops[2].op, *left, *right, scratch)) return nullptr;
      return &scratch;
    }
    std::vector<ScriptValue>& temp = e_.fastScratch_;
    if (temp.size() < kFastStack) temp.resize(kFastStack);
    const ScriptValue* refs[kFastStack];
    int sp = 0;
    const TVarList& vars = e_.vars_;
    // With the names as at the last complete run, the places found then hold.
    const bool planned = code.opsVars == vars.Generation();
    // A run under other names moves the places; until it completes, no names have a plan (a
    // run cut short must not leave places of its names for the names of the last plan).
    if (!planned) code.opsVars = 0;
    for (const FastOp& o : code.ops) {
      switch (o.kind) {
        case FastOp::Const: refs[sp++] = o.constant; break;
        case FastOp::Var: {
          if (planned) {
            refs[sp++] = &vars[o.planned].Value;
            break;
          }
          const ScriptValue* v = LeafValue(o);
          if (!v) return nullptr;
          o.planned = o.slot->index;
          refs[sp++] = v;
          break;
        }
        case FastOp::Element: {
          sp -= o.parts;
          const ScriptValue* v = Element(*static_cast<const IndexedNameNode*>(o.node), refs + sp, o.parts, planned);
          if (!v) return nullptr;
          refs[sp++] = v;
          break;
        }
        case FastOp::Binary:
        case FastOp::Prefix:
          if (!StackOperator(o, refs, sp, temp)) return nullptr;
          break;
      }
    }
    code.opsVars = vars.Generation();
    const ScriptValue* value = refs[0];
    if (value == &temp[0]) {
      scratch = std::move(temp[0]);
      return &scratch;
    }
    return value;
  }

  // A condition of the general shape over Integers only, run with every place as the last
  // complete run found it: its truth, without making any value. Only "+", "-" and "*" with
  // results in the Integer range, and one comparison as the last step; the answers are
  // FastBinary's for these. False, having changed nothing, when anything is otherwise (the
  // caller then evaluates as usual).
  bool PlannedIntegerHolds(const ExprTree& tree, bool& holds) {
    if (tree.fastState != 1) return false;
    const FastCode& code = *tree.fast;
    const TVarList& vars = e_.vars_;
    if (code.shape != FastCode::General || !code.namesPlain || code.opsVars != vars.Generation() ||
        code.registries != e_.registriesStamp_)
      return false;
    if (code.intStepsVars != code.opsVars) MakeIntSteps(code);
    if (code.intSteps.empty()) return false;
    int64_t stack[kFastStack];
    int sp = 0;
    const TVar* const items = vars.Entries();  // nothing here changes the list
    // A Stack operand takes the top of the stack: the right one of a pair first.
    const auto read = [&](const IntOperand& a, int64_t& out) {
      if (a.kind == IntOperand::Stack) {
        out = stack[--sp];
        return true;
      }
      if (a.kind == IntOperand::Const) {
        out = a.n;
        return true;
      }
      const ScriptValue& v = items[a.n].Value;
      if (v.Kind() != ValueKind::Integer) return false;
      out = v.Int64Value();
      return true;
    };
    for (const IntStep& step : code.intSteps) {
      switch (step.kind) {
        case IntStep::Push:
          if (!read(step.x, stack[sp])) return false;
          ++sp;
          break;
        case IntStep::Element: {
          const auto& n = *static_cast<const IndexedNameNode*>(step.node);
          if (!n.elements) return false;
          // As Element reads an Integer index.
          int64_t first = 0, second = 0;
          if (step.parts == 2 && !read(step.y, second)) return false;
          if (!read(step.x, first)) return false;
          const int32_t i = static_cast<int32_t>(first), j = static_cast<int32_t>(second);
          const IndexedNameNode::CachedElement& c = (*n.elements)[ElementSlot(i, j)];
          if (c.generation != vars.Generation() || c.first != i || c.second != j) return false;
          const ScriptValue& v = items[c.index].Value;
          if (v.Kind() != ValueKind::Integer) return false;
          stack[sp++] = v.Int64Value();
          break;
        }
        case IntStep::Arith: {
          int64_t q = 0, r = 0;
          if (!read(step.y, q) || !ArithmeticOnIntegers(step.op, stack[sp - 1], q, r) || r < INT32_MIN ||
              r > INT32_MAX)
            return false;
          stack[sp - 1] = r;
          break;
        }
        case IntStep::Compare: {
          int64_t q = 0;
          if (!read(step.y, q)) return false;
          return CompareIntegers(step.op, stack[sp - 1], q, holds);
        }
      }
    }
    return false;
  }

  // The Integer steps of `code` (General, planned at opsVars): each leaf folded into the
  // step that takes it where it can be; none when the code ends in no comparison or holds
  // what the steps do not do (prefix operators, longer index lists, constants of other kinds).
  static void MakeIntSteps(const FastCode& code) {
    std::vector<IntStep>& steps = code.intSteps;
    steps.clear();
    code.intStepsVars = code.opsVars;
    // The last step, when it only pushes a leaf: taken as an operand instead.
    const auto takeLeaf = [&steps](IntOperand& operand) {
      if (steps.empty() || steps.back().kind != IntStep::Push) return false;
      operand = steps.back().x;
      steps.pop_back();
      return true;
    };
    for (size_t k = 0; k < code.ops.size(); ++k) {
      const FastOp& o = code.ops[k];
      IntStep step;
      switch (o.kind) {
        case FastOp::Const:
          if (o.constant->Kind() != ValueKind::Integer) {
            steps.clear();
            return;
          }
          step.x = {IntOperand::Const, o.constant->Int64Value()};
          break;
        case FastOp::Var: step.x = {IntOperand::Place, o.planned}; break;
        case FastOp::Element:
          if (o.parts < 1 || o.parts > 2) {
            steps.clear();
            return;
          }
          step.kind = IntStep::Element;
          step.parts = static_cast<uint8_t>(o.parts);
          step.node = o.node;
          // Indexes left on the stack are its top ones: only the trailing ones can be leaves.
          if (o.parts == 1) takeLeaf(step.x);
          else if (takeLeaf(step.y)) takeLeaf(step.x);
          break;
        case FastOp::Binary:
          step.kind = k + 1 == code.ops.size() ? IntStep::Compare : IntStep::Arith;
          step.op = o.op;
          takeLeaf(step.y);
          break;
        case FastOp::Prefix: steps.clear(); return;
      }
      steps.push_back(step);
    }
    if (steps.empty() || steps.back().kind != IntStep::Compare) steps.clear();
  }

  // What the full evaluator does for a call that is the whole expression.
  bool Call(const ExprTree& tree, const FastCode& code, ScriptValue& value) {
    const auto& n = static_cast<const CallNode&>(*code.call);
    TScriptEngine::CallTarget target;
    Callable(n.name, n.resolution, &target);
    if (target.isProc) {
      value = ScriptValue();  // a PROCEDURE gives no value: Empty, whatever `value` held
      return e_.CallProc(n.name, target.procIndex, n.args, value, tree.stream, 0) && !e_.Failed();
    }
    TVar out;
    e_.CallByName(n.name, target, n.args, out, tree.stream, 0);
    if (e_.Failed()) return false;
    value = std::move(out.Value);
    return true;
  }

 private:
  const ScriptValue* LeafValue(const FastOp& o) { return FastLeafValue(e_.vars_, o); }

  bool Callable(const std::string& name, const Resolution& r, TScriptEngine::CallTarget* target = nullptr) {
    return e_.Resolve(name, r, target);
  }

  // An existing array element named by one index list of `count` values.
  // `planned`: the name is known to be no plain variable.
  const ScriptValue* Element(const IndexedNameNode& n, const ScriptValue* const* values, int count,
                             bool planned = false) {
    bool hasArray = false;
    if (!planned && e_.vars_.FindCached(n.name, n.plainSlot, hasArray) >= 0) return nullptr;  // a string index
    // One or two Integer indexes of an element seen before: the commonest read in a loop.
    if (count >= 1 && count <= 2 && n.elements && values[0]->Kind() == ValueKind::Integer &&
        (count == 1 || values[1]->Kind() == ValueKind::Integer)) [[likely]] {
      const int32_t first = values[0]->IntValue(), second = count == 2 ? values[1]->IntValue() : 0;
      const IndexedNameNode::CachedElement& c = (*n.elements)[ElementSlot(first, second)];
      if (c.generation == e_.vars_.Generation() && c.first == first && c.second == second)
        return &std::as_const(e_.vars_)[c.index].Value;
    }
    return ElementFinding(n, values, count);
  }

  // Element converting the index values and looking the element up.
  [[gnu::noinline]] const ScriptValue* ElementFinding(const IndexedNameNode& n, const ScriptValue* const* values,
                                                      int count) {
    int32_t indexes[kFastStack];
    for (int i = 0; i < count; ++i) {
      const ScriptValue& v = *values[i];
      if (v.Kind() == ValueKind::Integer) indexes[i] = v.IntValue();
      else if (!v.TryToInt32(indexes[i])) return nullptr;
    }
    // One or two index values: the element may be known from before.
    IndexedNameNode::CachedElement* cached = nullptr;
    if (count >= 1 && count <= 2) {
      if (!n.elements) n.elements = std::make_unique<std::array<IndexedNameNode::CachedElement, IndexedNameNode::kElementCache>>();
      const int32_t second = count == 2 ? indexes[1] : 0;
      cached = &(*n.elements)[ElementSlot(indexes[0], second)];
      if (cached->generation == e_.vars_.Generation() && cached->first == indexes[0] && cached->second == second)
        return &std::as_const(e_.vars_)[cached->index].Value;
    }
    std::string full = n.name;
    full.push_back('[');
    for (int i = 0; i < count; ++i) {
      if (i > 0) full.push_back(',');
      char digits[16];
      const auto end = std::to_chars(digits, digits + sizeof digits, indexes[i]).ptr;
      full.append(digits, end);
    }
    full.push_back(']');
    const int i = e_.vars_.Find(full);
    if (i < 0) return nullptr;
    if (cached) *cached = {e_.vars_.Generation(), indexes[0], count == 2 ? indexes[1] : 0, i};
    return &std::as_const(e_.vars_)[i].Value;
  }

  // Small grids (indexes 0 to 15 each way) get a place per element; other indexes share
  // places by a mix of both.
  static size_t ElementSlot(int32_t first, int32_t second) {
    const uint32_t a = static_cast<uint32_t>(first), b = static_cast<uint32_t>(second);
    if ((a | b) < 16u) return a * 16u + b;
    return ((a * 0x9E3779B1u + b * 0x85EBCA77u) >> 16) % IndexedNameNode::kElementCache;
  }

  TScriptEngine& e_;
};

bool TScriptEngine::PlannedIntegerHolds(const ExprTree& tree, bool& holds) {
  return FastEvaluator(*this).PlannedIntegerHolds(tree, holds);
}

bool TScriptEngine::EvaluateCall(const ExprTree& tree, ScriptValue& value) {
  return FastEvaluator(*this).Call(tree, *tree.fast, value);
}

const ScriptValue* TScriptEngine::EvaluateRef(const ExprTree& tree, ScriptValue& scratch) {
  if (!Failed()) {
    if (const ScriptValue* value = FastEvaluator(*this).Run(tree, scratch)) return value;
  }
  TVar var;
  if (!EvaluateTree(tree, var)) return nullptr;
  scratch = std::move(var.Value);
  return &scratch;
}

bool TScriptEngine::EvaluateValue(const ExprTree& tree, TVar& var) {
  var.Name.clear();
  ScriptValue scratch;
  const ScriptValue* value = EvaluateRef(tree, scratch);
  if (!value) return false;
  var.Value = value == &scratch ? std::move(scratch) : *value;
  return true;
}

bool TScriptEngine::EvaluateTree(const ExprTree& tree, TVar& var) {
  if (Failed()) return false;
  var = TVar{};
  if (tree.tooDeep) {
    ReportError(kTooDeepMessage, tree.stream, 1);
    return false;
  }
  if (!tree.root) {
    ReportError("Empty string - not expression", tree.stream, 1);
    return false;
  }
  TreeEvaluator evaluator(*this, tree);
  const TreeEvaluator::Flow flow = evaluator.Eval(*tree.root, var);
  if (Failed()) return false;
  if (flow == TreeEvaluator::Flow::Truncated) return evaluator.truncatedAt + 1 >= tree.tokenCount;
  return tree.surplusOk;
}

}  // namespace qx
