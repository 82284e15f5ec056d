// The direct evaluator: reads the TokenStream token by token and computes as it parses,
// with no parsed form kept. It defines the expression semantics; the parsed-tree
// evaluator (ExprTree.cpp) must give the same results and is checked against it.
#include "script/EvalCommon.h"
#include "script/scriptengine.h"

namespace qx {

class DirectEvaluator {
 public:
  DirectEvaluator(TScriptEngine& engine, std::string_view stream, int depth)
      : e_(engine), stream_(stream), depth_(depth) {}

  // evaluate -> expression [token]     (one surplus token is tolerated)
  bool Run(TVar& var) {
    if (e_.Failed()) return false;
    var = TVar{};
    if (depth_ > kMaxExpressionDepth) {
      e_.ReportError(kTooDeepMessage, stream_, 1);
      return false;
    }
    Next();
    if (cur_.Code == tkEof) {
      e_.ReportError("Empty string - not expression", stream_, 1);
      return false;
    }
    Level(1, var);
    const Token extra = ReadToken(stream_, pos_);
    return !e_.Failed() && extra.Code == tkEof;
  }

 private:
  void Next() { cur_ = ReadToken(stream_, pos_); }

  // level(n) -> level(n+1) {operator(n) level(n+1)}    n = 1..6, left-associative:
  //   1: OR XOR   2: AND   3: = <> > < >= <=   4: + -   5: * /   6: ^ SHL SHR
  void Level(int level, TVar& v) {
    if (level > kLevelCount) {
      Unary(v);
      return;
    }
    Level(level + 1, v);
    while (!e_.Failed() && IsLevelOperator(level, cur_.Code)) {
      const int op = cur_.Code;
      Next();
      TVar right;
      Level(level + 1, right);
      if (e_.Failed()) return;
      e_.ApplyOperator(op, v, right, stream_);
    }
  }

  // unary -> [NOT | "+" | "-"] operand
  void Unary(TVar& v) {
    if (!IsPrefixOperator(cur_.Code)) {
      Operand(v);
      return;
    }
    const int op = cur_.Code;
    Next();
    Operand(v);
    if (!e_.Failed()) e_.ApplyPrefixOperator(op, v, stream_);
  }

  // operand -> name [index-list [index-list]] | name [arguments] | constant | TRUE | FALSE
  //          | "(" expression ")"
  void Operand(TVar& v) {
    switch (cur_.Code) {
      case tkIdent: {
        const std::string name(cur_.Text);
        const int next = PeekToken(stream_, pos_);
        if (next != tkOpenParen && !e_.IsCallable(name)) {
          std::string index1, index2;
          bool has1 = false, has2 = false;
          if (next == tkOpenBracket) {
            if (!e_.ReadIndexListAt(stream_, pos_, index1, depth_)) return;
            has1 = true;
            if (PeekToken(stream_, pos_) == tkOpenBracket) {
              if (!e_.ReadIndexListAt(stream_, pos_, index2, depth_)) return;
              has2 = true;
            }
          }
          if (!e_.ReadVariableOperand(name, has1 ? &index1 : nullptr, has2 ? &index2 : nullptr, stream_, v)) return;
        } else {
          std::vector<std::string> joined;
          std::vector<TScriptEngine::CallArg> args;
          if (!Arguments(joined, args)) return;
          if (!e_.CallByName(name, e_.ResolveCall(name), args, v, stream_, depth_)) return;
        }
        Next();
        return;
      }
      case tkConst: {
        std::string message;
        int code = 0;
        if (!ConstantValue(cur_.Text, v.Value, message, code)) {
          e_.ReportError(message, stream_, code);
          return;
        }
        Next();
        return;
      }
      case tkTrue:
      case tkFalse:
        v.Value = ScriptValue::Bool(cur_.Code == tkTrue);
        v.Name = cur_.Code == tkTrue ? "TRUE" : "FALSE";
        Next();
        return;
      case tkOpenParen:
        if (depth_ >= kMaxExpressionDepth) {
          e_.ReportError(kTooDeepMessage, stream_, 1);
          return;
        }
        ++depth_;
        Next();
        Level(1, v);
        --depth_;
        if (e_.Failed()) return;
        if (cur_.Code != tkCloseParen) {
          e_.ReportError("')' expected", stream_, 2);
          return;
        }
        Next();
        return;
      default:
        e_.ReportError("Unknown or invalid operator in expression: " + std::string(cur_.Text), stream_, 1);
        return;
    }
  }

  // arguments -> "(" [argument {"," argument}] ")"    (only parentheses nest here, so
  // F(A[1,2]) has two arguments)
  bool Arguments(std::vector<std::string>& joined, std::vector<TScriptEngine::CallArg>& args) {
    if (PeekToken(stream_, pos_) != tkOpenParen) return true;
    ReadToken(stream_, pos_);
    const size_t start = pos_;
    int depth = 1;
    size_t end = start;
    while (true) {
      const size_t before = pos_;
      const Token t = ReadToken(stream_, pos_);
      if (t.Code == tkEof) {
        e_.ReportError("Invalid function params: " + TokenText(stream_.substr(start), true), stream_, 1);
        return false;
      }
      if (t.Code == tkOpenParen) ++depth;
      else if (t.Code == tkCloseParen && --depth == 0) {
        end = before;
        break;
      }
    }
    const std::vector<std::string_view> parts = SplitAtCommas(stream_.substr(start, end - start), false);
    joined.reserve(parts.size());
    args.resize(parts.size());
    for (size_t i = 0; i < parts.size(); ++i) {
      joined.push_back(JoinedName(parts[i], args[i].joinedIsIdentifier));
      args[i].stream = parts[i];
    }
    for (size_t i = 0; i < parts.size(); ++i) args[i].joined = joined[i];
    return true;
  }

  TScriptEngine& e_;
  std::string_view stream_;
  size_t pos_ = 0;
  Token cur_;
  int depth_;
};

bool TScriptEngine::EvaluateAt(std::string_view tokens, TVar& var, int depth) {
  DirectEvaluator evaluator(*this, tokens, depth);
  return evaluator.Run(var);
}

// index-list -> "[" part {"," part} "]"    (brackets nest; commas split outside brackets
// and parentheses; each part is an expression giving an integer)
bool TScriptEngine::ReadIndexListAt(std::string_view tokens, size_t& pos, std::string& indexText, int depth) {
  if (pos >= tokens.size()) {
    ReportError("Invalid string index", tokens, 1);
    return false;
  }
  if (ReadToken(tokens, pos).Code != tkOpenBracket) {
    ReportError("[ expected", tokens, 22);
    return false;
  }
  const size_t start = pos;
  size_t end = start;
  int nesting = 1;
  while (true) {
    const size_t before = pos;
    const Token t = ReadToken(tokens, pos);
    if (t.Code == tkEof) {
      ReportError("] expected", tokens, 21);
      return false;
    }
    if (t.Code == tkOpenBracket) ++nesting;
    else if (t.Code == tkCloseBracket && --nesting == 0) {
      end = before;
      break;
    }
  }
  indexText.clear();
  const std::vector<std::string_view> parts = SplitAtCommas(tokens.substr(start, end - start), true);
  for (size_t i = 0; i < parts.size(); ++i) {
    TVar v;
    const bool ok = EvaluateAt(parts[i], v, depth + 1);
    int32_t n = 0;
    if (!IndexPart(ok, v, parts[i], tokens, n)) return false;
    if (i > 0) indexText.push_back(',');
    indexText += std::to_string(n);
  }
  return true;
}

}  // namespace qx
