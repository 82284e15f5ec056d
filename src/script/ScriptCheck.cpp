// The static check: Prepare runs as it does for a run, with an observer that keeps every file,
// main statement and procedure body it reads; then each of them is parsed into the parsed
// executor's statement lists (StatementNodes.h) and walked by a runner that evaluates
// nothing. It takes every branch and mirrors the order of the real runner and tree
// evaluator (StatementTree.cpp, ExprTree.cpp), so that what it reports is what a run
// reaching the place reports first; what depends on values (variables, operand kinds,
// element paths) is taken to succeed.
#include "script/ScriptCheck.h"

#include <algorithm>
#include <memory>
#include <set>
#include <tuple>

#include "script/EvalCommon.h"
#include "script/ExprNodes.h"
#include "script/StatementNodes.h"
#include "script/scriptengine.h"

namespace qx {
namespace {

// One file the declaration pass read, with a copy of its tokens so that views into the copy
// can be placed on their lines.
struct Unit {
  std::string file;
  TokenStream tokens;
  std::vector<size_t> offsets;  // byte offset of each token
  std::vector<int> lines;       // its line; empty when not known
  bool dropped = false;         // a USES file (or inside one): its main statements are not run

  int LineOf(std::string_view view) const {
    if (lines.empty() || view.data() < tokens.data() || view.data() > tokens.data() + tokens.size()) return 0;
    const size_t offset = static_cast<size_t>(view.data() - tokens.data());
    const auto it = std::upper_bound(offsets.begin(), offsets.end(), offset);
    if (it == offsets.begin()) return lines.empty() ? 0 : lines.front();
    return lines[static_cast<size_t>(it - offsets.begin()) - 1];
  }
};

// A stretch of a unit: a main statement, or the body of a declared procedure.
struct Piece {
  size_t unit = 0;
  size_t offset = 0, length = 0;
  std::string procedure;  // "" for a main statement
};

class Collector final : public PrepareObserver {
 public:
  void EnterFile(const std::string& name, bool include, std::string_view text, std::string_view tokens) override {
    auto unit = std::make_unique<Unit>();
    unit->file = name;
    unit->tokens = std::string(tokens);
    for (size_t pos = 0; pos < tokens.size();) {
      const size_t before = pos;
      if (ReadToken(tokens, pos).Code == tkEof) break;
      unit->offsets.push_back(before);
    }
    std::vector<int> lines;
    if (Tokenise(text, &lines) == tokens && lines.size() == unit->offsets.size()) unit->lines = std::move(lines);
    unit->dropped = !include || (!open_.empty() && units[open_.back().unit]->dropped);
    open_.push_back({units.size(), tokens});
    units.push_back(std::move(unit));
  }
  void LeaveFile() override {
    if (!open_.empty()) open_.pop_back();
  }
  void Statement(std::string_view tokens) override { last = Place(tokens); }
  void MainStatement(std::string_view tokens) override {
    if (open_.empty() || units[open_.back().unit]->dropped) return;
    main.push_back(Place(tokens));
  }
  void Body(std::string_view name, std::string_view tokens) override {
    last = Place(tokens);
    last.procedure = std::string(name);
    bodies.push_back(last);
  }

  std::vector<std::unique_ptr<Unit>> units;
  std::vector<Piece> main, bodies;
  Piece last;  // what the pass took last: where an error of the preparation is

 private:
  struct Open {
    size_t unit;
    std::string_view tokens;  // the engine's own text while it reads it
  };
  Piece Place(std::string_view view) const {
    Piece p;
    if (open_.empty()) return p;
    const Open& o = open_.back();
    p.unit = o.unit;
    if (view.data() >= o.tokens.data() && view.data() + view.size() <= o.tokens.data() + o.tokens.size()) {
      p.offset = static_cast<size_t>(view.data() - o.tokens.data());
      p.length = view.size();
    }
    return p;
  }
  std::vector<Open> open_;
};

std::string Joined(std::string_view tokens) {
  std::string text = TokenText(tokens, true);
  if (!text.empty()) text.pop_back();
  return text;
}

// The first error an evaluation would report, or that it fails without one (the caller
// then reports its own message).
struct Outcome {
  enum Kind { Ok, Silent, Error } kind = Ok;
  std::string message;
  int code = 0;
  std::string_view text;  // what the run's error names
  std::string_view at;    // where to place it
};

class StaticRunner {
 public:
  StaticRunner(TScriptEngine& engine, const CountRefusal& refuses, const Unit& unit, ScriptCheckResult& out)
      : e_(engine), refuses_(refuses), unit_(unit), out_(out) {}

  // The main program's labels are those of all its statements, whichever file they are in.
  void SetOuterLabels(const std::vector<std::string>* labels) { outerLabels_ = labels; }
  void SetProcedure(const std::string& name) { procedure_ = name; }
  bool AssignsResult() const { return assignsResult_; }

  // list -> [statement] {";" [statement]}
  void List(CList& list) {
    if (nesting_ >= kMaxListNesting) {
      Report(std::string(kListsTooDeep), 1, list.text, list.text);
      return;
    }
    ++nesting_;
    if (!list.parsed) ParseList(list);
    lists_.push_back(&list);
    for (const auto& s : list.statements) Statement(*s);
    if (list.splitErrorCode != 0)
      Report(std::string(list.splitErrorMessage), list.splitErrorCode, list.splitErrorTokens, list.splitErrorTokens);
    lists_.pop_back();
    --nesting_;
  }

  void Report(std::string message, int code, std::string_view text, std::string_view at) {
    ScriptFinding f;
    f.place = PlaceOf(at.empty() ? text : at);
    f.code = code;
    f.message = std::move(message);
    f.text = Joined(text);
    out_.findings.push_back(std::move(f));
  }

  ScriptPlace PlaceOf(std::string_view view) const { return {unit_.file, unit_.LineOf(view)}; }

 private:
  void Report(const Outcome& o) { Report(o.message, o.code, o.text, o.at); }

  void Statement(const CStatement& s) {
    switch (s.kind) {
      case SKind::Assign:
      case SKind::Call:
      case SKind::Found: Assign(static_cast<const CAssign&>(s)); return;
      case SKind::Block: {
        const auto& b = static_cast<const CBlock&>(s);
        if (!b.inner) Report("END expected", 10, s.tokens, s.tokens);
        else List(*b.inner);
        return;
      }
      case SKind::If: {
        const auto& i = static_cast<const CIf&>(s);
        Condition(*i.condition, s.tokens);
        if (i.branch.errorCode != 0) {
          Report(std::string(i.branch.errorMessage), i.branch.errorCode, i.branch.tokens, i.branch.tokens);
          return;
        }
        List(*i.thenList);
        if (i.elseList) List(*i.elseList);
        return;
      }
      case SKind::For: {
        const auto& f = static_cast<const CFor&>(s);
        if (f.headErrorCode != 0) {
          Report(f.headErrorMessage, f.headErrorCode, s.tokens, s.tokens);
          return;
        }
        if (!Condition(*f.start, s.tokens)) {
        } else if (!f.end) {
          Report("DO expected", 14, s.tokens, s.tokens);
          return;
        } else {
          Condition(*f.end, s.tokens);
        }
        if (f.body) Loop(*f.body);
        return;
      }
      case SKind::While: {
        const auto& w = static_cast<const CWhile&>(s);
        if (!w.condition) {
          Report("DO expected", 14, s.tokens, s.tokens);
          return;
        }
        Condition(*w.condition, s.tokens);
        Loop(*w.body);
        return;
      }
      case SKind::Repeat: {
        const auto& r = static_cast<const CRepeat&>(s);
        if (!r.body) {
          Report("UNTIL expected", 16, s.tokens, s.tokens);
          return;
        }
        Loop(*r.body);
        Condition(*r.condition, s.tokens);
        return;
      }
      case SKind::Flag: {
        const auto& f = static_cast<const CFlag&>(s);
        const char* word = f.flag == TControlFlag::Break ? "BREAK" : f.flag == TControlFlag::Continue ? "CONTINUE" : "EXIT";
        if (f.surplus) {
          Report(std::string("Invalid ") + word + " operator", 1, s.tokens, s.tokens);
        } else if (f.flag != TControlFlag::Exit && loops_ == 0) {
          // Nothing consumes the jump: it reaches the outermost list, or the end of a call.
          Report(std::string(word) + " outside loop", 15, s.tokens, s.tokens);
        }
        return;
      }
      case SKind::Goto: Goto(static_cast<const CGoto&>(s)); return;
      case SKind::Case: Case(static_cast<const CCase&>(s)); return;
      case SKind::Fail: {
        const auto& f = static_cast<const CFail&>(s);
        Report(f.message, f.code, s.tokens, s.tokens);
        return;
      }
    }
  }

  void Loop(CList& body) {
    ++loops_;
    List(body);
    --loops_;
  }

  // name [index-list [index-list]] ":=" expression | name [arguments]
  void Assign(const CAssign& a) {
    if (a.has1) {
      if (!IndexList(a.index1, a.tokens)) return;
      if (a.has2 && !IndexList(a.index2, a.tokens)) return;
    }
    if (a.kind == SKind::Found) {
      Report(a.foundMessage, 1, a.tokens, a.tokens);
      return;
    }
    const Outcome value = Expression(*a.expression);
    if (value.kind == Outcome::Error) {
      Report(value);
      return;
    }
    if (value.kind == Outcome::Silent) {
      Report("Error in expression", 1, a.tokens, a.tokens);
      return;
    }
    if (a.kind == SKind::Call) return;
    if (!a.nameIsIdentifier) {
      // No variable can have such a name, so an index makes it an array element's name.
      std::string target = a.name;
      if (a.has1 && !ConstantIndex(a.index1, target)) return;
      Report("Invalid variable name: " + target, 4, a.tokens, a.tokens);
      return;
    }
    if (a.has1) return;
    if (a.name == "RESULT") assignsResult_ = true;
    const ExprTree& tree = *a.expression;
    if (tree.root && tree.root->kind == NodeKind::Const) {
      const ScriptValue& v = static_cast<const ConstNode&>(*tree.root).value;
      if (v.Kind() == ValueKind::String) out_.assignments.push_back({a.name, v.StrValue(), PlaceOf(a.tokens)});
    }
  }

  // name "[" index "]" when every part is a constant; false when values decide it.
  static bool ConstantIndex(const qx::IndexList& list, std::string& name) {
    std::string text;
    for (size_t i = 0; i < list.parts.size(); ++i) {
      const ExprTree& part = *list.parts[i];
      int32_t n = 0;
      if (!part.root || part.root->kind != NodeKind::Const || !part.surplusOk ||
          !static_cast<const ConstNode&>(*part.root).value.TryToInt32(n))
        return false;
      if (i > 0) text.push_back(',');
      text += std::to_string(n);
    }
    name += "[" + text + "]";
    return true;
  }

  // A condition, loop bound, selector or label: "Error in expression" when it fails silently.
  bool Condition(const ExprTree& tree, std::string_view statement) {
    const Outcome o = Expression(tree);
    if (o.kind == Outcome::Error) Report(o);
    else if (o.kind == Outcome::Silent) Report("Error in expression", 1, statement, statement);
    return o.kind == Outcome::Ok;
  }

  // GOTO label
  void Goto(const CGoto& g) {
    size_t pos = g.operandPos;
    const Token label = ReadToken(g.tokens, pos);
    if (!IsLabelToken(label)) {
      Report("Invalid label in GOTO", 1, g.tokens, g.tokens);
      return;
    }
    if (PeekToken(g.tokens, pos) != tkEof) {
      Report("Error in GOTO statement", 1, g.tokens, g.tokens);
      return;
    }
    // The jump is taken by this list or an enclosing one (a loop ends on the way); a nested
    // list, or the program outside a procedure, is out of its reach.
    for (const CList* list : lists_) {
      for (const auto& s : list->statements) {
        if (s->hasLabel && s->label == label.Text) return;
      }
    }
    if (outerLabels_) {
      for (const std::string& l : *outerLabels_) {
        if (l == label.Text) return;
      }
    }
    Report("Label " + std::string(label.Text) + " not exist or unreacheble", 18, g.tokens, g.tokens);
  }

  // CASE expression OF {labels ":" statement ";"} [ELSE statement ";"] END
  void Case(const CCase& c) {
    if (!c.selector) {
      Report("OF expected", 14, c.tokens, c.tokens);
      return;
    }
    Condition(*c.selector, c.tokens);
    bool branched = false;
    for (const CCaseStep& step : c.steps) {
      switch (step.kind) {
        case CCaseStep::End: return;
        case CCaseStep::Fail:
          // After a branch the run gets here only when no branch matched: a run whose
          // selector matches accepts the statement, so only a fault every run meets counts.
          if (!branched) Report(std::string(step.message), step.code, step.errorTokens, step.errorTokens);
          return;
        case CCaseStep::Else: List(*step.statement); break;
        case CCaseStep::Branch:
          branched = true;
          for (const CCaseLabel& label : step.labels) {
            if (Condition(*label.low, c.tokens) && label.high) Condition(*label.high, c.tokens);
          }
          List(*step.statement);
          break;
      }
    }
  }

  // index-list -> "[" part {"," part} "]"
  bool IndexList(const qx::IndexList& list, std::string_view stream) {
    const Outcome o = IndexOutcome(list, stream);
    if (o.kind == Outcome::Error) Report(o);
    return o.kind == Outcome::Ok;
  }

  Outcome IndexOutcome(const qx::IndexList& list, std::string_view stream) {
    if (!list.closed) return Fail("] expected", 21, stream, stream);
    for (const auto& part : list.parts) {
      const Outcome o = Expression(*part);
      if (o.kind == Outcome::Error) return o;
      if (o.kind == Outcome::Silent) return Fail("Error in expression: " + TokenText(part->stream, true), 1, stream, part->stream);
    }
    return {};
  }

  static Outcome Fail(std::string message, int code, std::string_view text, std::string_view at) {
    Outcome o;
    o.kind = Outcome::Error;
    o.message = std::move(message);
    o.code = code;
    o.text = text;
    o.at = at;
    return o;
  }

  // evaluate -> expression [token]
  Outcome Expression(const ExprTree& tree) {
    if (tree.tooDeep) return Fail(std::string(kTooDeepMessage), 1, tree.stream, tree.stream);
    if (!tree.root) return Fail("Empty string - not expression", 1, tree.stream, tree.stream);
    size_t truncatedAt = 0;
    Outcome failure;
    const Flow flow = Node(*tree.root, tree, truncatedAt, failure);
    if (flow == Flow::Failed) return failure;
    const bool ok = flow == Flow::Truncated ? truncatedAt + 1 >= tree.tokenCount : tree.surplusOk;
    Outcome o;
    if (!ok) o.kind = Outcome::Silent;
    return o;
  }

  enum class Flow { Done, Truncated, Failed };

  Flow Node(const ExprNode& node, const ExprTree& tree, size_t& truncatedAt, Outcome& failure) {
    switch (node.kind) {
      case NodeKind::Error: {
        const auto& n = static_cast<const ErrorNode&>(node);
        failure = Fail(n.message, n.code, tree.stream, n.at.empty() ? tree.stream : n.at);
        return Flow::Failed;
      }
      case NodeKind::Const: {
        const ScriptValue& v = static_cast<const ConstNode&>(node).value;
        if (v.Kind() == ValueKind::String && v.StrValue().size() >= 2 && v.StrValue()[0] == '"') {
          const std::string& s = v.StrValue();
          out_.textKeys.push_back({s.substr(1, s.size() - 2), PlaceOf(tree.stream)});
        }
        return Flow::Done;
      }
      case NodeKind::Chain: {
        const auto& n = static_cast<const ChainNode&>(node);
        const Flow first = Node(*n.first, tree, truncatedAt, failure);
        if (first != Flow::Done) return first;
        for (const auto& [op, operand] : n.rest) {
          const Flow flow = Node(*operand, tree, truncatedAt, failure);
          if (flow != Flow::Done) return flow;
        }
        return Flow::Done;
      }
      case NodeKind::Prefix:
        return Node(*static_cast<const PrefixNode&>(node).operand, tree, truncatedAt, failure);
      case NodeKind::Paren: {
        const auto& n = static_cast<const ParenNode&>(node);
        const Flow flow = Node(*n.inner, tree, truncatedAt, failure);
        if (flow == Flow::Failed) return flow;
        if (flow == Flow::Truncated || !n.closed) {
          failure = Fail("')' expected", 2, tree.stream, tree.stream);
          return Flow::Failed;
        }
        return Flow::Done;
      }
      case NodeKind::Name: {
        const auto& n = static_cast<const NameNode&>(node);
        if (!Callable(n.name)) return Flow::Done;  // a variable or an element's name: known when run
        return Call(n.name, {}, tree, failure) ? Flow::Done : Flow::Failed;
      }
      case NodeKind::IndexedName: {
        const auto& n = static_cast<const IndexedNameNode&>(node);
        if (Callable(n.name)) {
          // A function called without arguments; its "[" ends the expression.
          if (!Call(n.name, {}, tree, failure)) return Flow::Failed;
          truncatedAt = n.bracketIndex;
          return Flow::Truncated;
        }
        Outcome o = IndexOutcome(n.index1, tree.stream);
        if (o.kind == Outcome::Ok && n.hasIndex2) o = IndexOutcome(n.index2, tree.stream);
        if (o.kind != Outcome::Error) return Flow::Done;
        failure = o;
        return Flow::Failed;
      }
      case NodeKind::Call: {
        const auto& n = static_cast<const CallNode&>(node);
        if (n.unclosed) {
          failure = Fail(n.unclosedMessage, 1, tree.stream, tree.stream);
          return Flow::Failed;
        }
        return Call(n.name, n.args, tree, failure) ? Flow::Done : Flow::Failed;
      }
    }
    return Flow::Done;
  }

  bool Callable(const std::string& name) const { return e_.Procs().Find(name) >= 0 || Native(name) >= 0; }
  int Native(const std::string& name) const {
    const int i = e_.Funcs().Find(name);
    return i >= 0 && e_.Funcs()[i].Handler ? i : -1;
  }

  // A call: a declared procedure (looked up first), else a native.
  bool Call(const std::string& name, const std::vector<TScriptEngine::CallArg>& args, const ExprTree& tree,
            Outcome& failure) {
    ScriptCall call;
    call.name = name;
    call.procedure = procedure_;
    call.place = PlaceOf(tree.stream);
    for (const auto& arg : args) {
      std::optional<std::string> constant;
      if (arg.tree && arg.tree->root && arg.tree->root->kind == NodeKind::Const && arg.tree->surplusOk) {
        const ScriptValue& v = static_cast<const ConstNode&>(*arg.tree->root).value;
        if (v.Kind() == ValueKind::String) constant = v.StrValue();
      }
      call.constants.push_back(std::move(constant));
    }
    out_.calls.push_back(std::move(call));

    const int proc = e_.Procs().Find(name);
    const int native = proc >= 0 ? -1 : Native(name);
    if (proc < 0 && native < 0) {
      failure = Fail("Unknown function: " + name, 8, tree.stream, tree.stream);
      return false;
    }
    if (proc >= 0) {
      const std::string& params = e_.Procs()[proc].Params;
      size_t count = params.empty() ? 0 : 1;
      for (size_t at = params.find("\r\n"); at != std::string::npos; at = params.find("\r\n", at + 2)) ++count;
      if (args.size() != count) {
        failure = Fail("Wrong parameters amount, procedure " + name, 7, tree.stream, tree.stream);
        return false;
      }
    }
    for (const auto& arg : args) {
      const Outcome o = arg.tree ? Expression(*arg.tree) : Outcome{};
      if (o.kind == Outcome::Error) {
        failure = o;
        return false;
      }
      if (o.kind == Outcome::Silent) {
        failure = Fail("Invalid expression in function params: " + TokenText(arg.stream, true), 7, tree.stream,
                       arg.stream);
        return false;
      }
    }
    if (native >= 0 && refuses_ && refuses_(name, args.size())) {
      failure = Fail("Invalid parameters, function " + name, 7, tree.stream, tree.stream);
      return false;
    }
    return true;
  }

  TScriptEngine& e_;
  const CountRefusal& refuses_;
  const Unit& unit_;
  ScriptCheckResult& out_;
  const std::vector<std::string>* outerLabels_ = nullptr;
  std::string procedure_;
  std::vector<const CList*> lists_;
  int nesting_ = 0;
  int loops_ = 0;
  bool assignsResult_ = false;
};

}  // namespace

namespace {
std::string Cut(const std::string& text, size_t limit) {
  size_t end = text.find_first_of("\r\n");
  if (end == std::string::npos && text.size() <= limit) return text;
  if (end == std::string::npos || end > limit) end = limit;
  return text.substr(0, end) + " ...";
}
}  // namespace

std::string DescribeFinding(const ScriptFinding& f) {
  const std::string message = Cut(f.message, std::string::npos);
  std::string s = "error " + std::to_string(f.code) + ": " + message;
  // An unterminated string's message shows the statement already.
  const std::string statement = Cut(f.text, 100);
  if (!f.text.empty() && message.find(statement) == std::string::npos) s += " (" + statement + ")";
  // Tokens are joined with blanks, so a line break is inside a string constant: its closing
  // quote is most likely missing and it ran on to the next quote, which the run's own message
  // ("Error in expression") does not tell.
  if (f.text.find_first_of("\r\n") != std::string::npos || f.message.find_first_of("\r\n") != std::string::npos)
    s += "; a string in it runs past the end of its line: is its closing quote missing?";
  return s;
}

ScriptCheckResult CheckScript(TScriptEngine& engine, std::string_view source, const CountRefusal& refuses) {
  ScriptCheckResult result;
  Collector collector;
  engine.SetPrepareObserver(&collector);
  engine.Prepare(source);
  engine.SetPrepareObserver(nullptr);
  const auto placeOf = [&](const Piece& p) {
    if (collector.units.empty()) return ScriptPlace{};
    const Unit& u = *collector.units[p.unit];
    return ScriptPlace{u.file, u.LineOf(std::string_view(u.tokens).substr(p.offset, p.length))};
  };
  if (engine.Failed()) {
    std::string text = engine.ErrorText();
    if (!text.empty() && text.back() == ' ') text.pop_back();
    result.findings.push_back({placeOf(collector.last), engine.ErrorCode(), engine.ErrorMessage(), text});
  }
  const auto view = [&](const Piece& p) {
    return std::string_view(collector.units[p.unit]->tokens).substr(p.offset, p.length);
  };

  // The main program is one list whatever files its statements come from.
  std::vector<std::string> mainLabels;
  for (const Piece& p : collector.main) {
    std::string_view label;
    if (LabelOf(view(p), label)) mainLabels.emplace_back(label);
  }
  for (const Piece& p : collector.main) {
    StaticRunner runner(engine, refuses, *collector.units[p.unit], result);
    runner.SetOuterLabels(&mainLabels);
    CList list(view(p));
    runner.List(list);
  }
  for (const Piece& p : collector.bodies) {
    StaticRunner runner(engine, refuses, *collector.units[p.unit], result);
    runner.SetProcedure(p.procedure);
    CList list(view(p));
    runner.List(list);
    const int i = engine.Procs().Find(p.procedure);
    // Nothing else can make RESULT: the variables a body makes otherwise are undone.
    if (i >= 0 && engine.Procs()[i].IsFunction && !runner.AssignsResult()) {
      runner.Report("Function must return result : " + p.procedure, 26, view(p), view(p));
    }
  }

  // In file and line order, each once (a USES file's statement may be reached twice).
  std::stable_sort(result.findings.begin(), result.findings.end(), [](const ScriptFinding& a, const ScriptFinding& b) {
    return std::tie(a.place.file, a.place.line) < std::tie(b.place.file, b.place.line);
  });
  std::set<std::tuple<std::string, int, int, std::string, std::string>> seen;
  std::vector<ScriptFinding> unique;
  for (ScriptFinding& f : result.findings) {
    if (seen.insert({f.place.file, f.place.line, f.code, f.message, f.text}).second) unique.push_back(std::move(f));
  }
  result.findings = std::move(unique);
  return result;
}

}  // namespace qx
