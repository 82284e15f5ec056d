// Preparing scripts: cutting statement lists into statements, the declaration pass
// (PROCEDURE, FUNCTION, USES, INCLUDE) and the declarations a prepared program carries.
#include <cerrno>
#include <cstdio>

#include "script/Statements.h"
#include "script/scriptengine.h"

namespace qx {

namespace {

// The byte after the leading 127 of a declarations part; as a token code it would be -1,
// which every TokenStream reader takes for the end of the text.
constexpr char kDeclarationsMark = '?';

void AppendField(std::string& out, std::string_view field) {
  out += std::to_string(field.size());
  out.push_back(':');
  out.append(field);
}

// length ":" bytes, the length in decimal digits.
bool ReadField(std::string_view data, size_t& pos, std::string_view& field) {
  size_t length = 0, digits = 0;
  while (pos < data.size() && data[pos] >= '0' && data[pos] <= '9') {
    if (++digits > 10) return false;
    length = length * 10 + static_cast<size_t>(data[pos] - '0');
    ++pos;
  }
  if (digits == 0 || pos >= data.size() || data[pos] != ':') return false;
  ++pos;
  if (length > data.size() - pos) return false;
  field = data.substr(pos, length);
  pos += length;
  return true;
}

// The expression of a USES or INCLUDE statement as its message shows it.
std::string ExpressionText(std::string_view tokens) {
  std::string text = TokenText(tokens, true);
  if (!text.empty()) text.pop_back();
  return text;
}

// Reads a script file named by the game; `error` is the system's error number on failure.
bool ReadScriptFile(const std::string& name, std::string& content, int& error) {
  const std::string path = Host().ResolveGameFile(name);
  if (path.empty()) {
    error = ENOENT;  // not found, or refused as outside the game folder
    return false;
  }
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    error = errno;
    return false;
  }
  content.clear();
  char buffer[16384];
  size_t n = 0;
  bool ok = true;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
    if (content.size() + n > kMaxScriptFileBytes) {
      error = EFBIG;
      ok = false;
      break;
    }
    content.append(buffer, n);
  }
  if (ok && std::ferror(f)) {
    error = errno != 0 ? errno : EIO;
    ok = false;
  }
  std::fclose(f);
  return ok;
}

}  // namespace

// --- cutting lists into statements --------------------------------------------------------

SplitResult SplitStatement(std::string_view list, size_t& pos, bool elseEnds) {
  SplitResult r;
  size_t start = pos, end = pos;
  bool collected = false;
  int blocks = 0, loops = 0;
  while (true) {
    const size_t before = pos;
    const Token t = ReadToken(list, pos);
    if (t.Code == tkEof) break;
    if ((t.Code == tkSemicolon || (elseEnds && t.Code == tkElse)) && blocks == 0 && loops == 0) {
      if (!collected && t.Code == tkSemicolon) {
        start = end = pos;  // a leading ";" is skipped
        continue;
      }
      r.tokens = list.substr(start, before - start);
      r.endedBy = t.Code;
      return r;
    }
    if (t.Code == tkBegin || t.Code == tkCase) ++blocks;
    else if (t.Code == tkEnd) --blocks;
    else if (t.Code == tkRepeat) ++loops;
    else if (t.Code == tkUntil) --loops;
    collected = true;
    end = pos;
  }
  r.tokens = list.substr(start, end - start);
  if (blocks > 0) r.errorCode = 10, r.errorMessage = "END expected";
  else if (blocks < 0) r.errorCode = 11, r.errorMessage = "Too many END";
  else if (loops > 0) r.errorCode = 16, r.errorMessage = "UNTIL expected";
  else if (loops < 0) r.errorCode = 17, r.errorMessage = "Too many UNTIL";
  return r;
}

int ScanTo(std::string_view tokens, size_t& pos, std::initializer_list<int> set, std::string_view& collected) {
  const size_t start = pos;
  while (true) {
    const size_t before = pos;
    const Token t = ReadToken(tokens, pos);
    if (t.Code == tkEof) {
      collected = tokens.substr(start, pos - start);
      return 0;
    }
    for (int code : set) {
      if (t.Code == code) {
        collected = tokens.substr(start, before - start);
        return code;
      }
    }
  }
}

StatementHead ReadHead(std::string_view statement) {
  StatementHead h;
  size_t pos = 0;
  const Token first = ReadToken(statement, pos);
  const size_t afterFirst = pos;
  if (first.Code != tkEof && ReadToken(statement, pos).Code == tkColon) {
    h.hasLabel = true;
    h.label = first.Text;
    h.headPos = pos;
    h.head = ReadToken(statement, pos);
    h.operandPos = pos;
    return h;
  }
  h.head = first;
  h.headPos = 0;
  h.operandPos = afterFirst;
  return h;
}

bool EndsWithEnd(std::string_view tokens, std::string_view& inner) {
  size_t pos = 0, last = std::string_view::npos;
  int lastCode = tkEof;
  while (true) {
    const size_t before = pos;
    const Token t = ReadToken(tokens, pos);
    if (t.Code == tkEof) break;
    last = before;
    lastCode = t.Code;
  }
  if (lastCode != tkEnd) return false;
  inner = tokens.substr(0, last);
  return true;
}

bool IsLabelToken(const Token& token) {
  if (token.Code != tkIdent && token.Code != tkConst) return false;
  if (token.Text.empty()) return false;
  for (char c : token.Text) {
    if (!IsIdentChar(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

// --- declarations carried by a program ------------------------------------------------------

std::string EncodeDeclarations(const TProcList& procs) {
  std::string payload;
  for (int i = 0; i < procs.Count(); ++i) {
    const TProcedure& p = procs[i];
    payload.push_back(p.IsFunction ? 'F' : 'P');
    AppendField(payload, p.Name);
    AppendField(payload, p.Params);
    AppendField(payload, p.Body);
  }
  std::string out;
  out.push_back(kTokenMark);
  out.push_back(kDeclarationsMark);
  AppendField(out, payload);
  return out;
}

void SplitProgram(std::string_view program, std::string_view& declarations, std::string_view& main) {
  declarations = {};
  main = program;
  if (program.size() < 2 || program[0] != kTokenMark || program[1] != kDeclarationsMark) return;
  size_t pos = 2;
  std::string_view payload;
  if (!ReadField(program, pos, payload)) return;  // damaged: the whole text reads as empty
  declarations = payload;
  main = program.substr(pos);
}

bool DecodeDeclarations(std::string_view declarations, TProcList& procs) {
  std::vector<TProcedure> read;
  size_t pos = 0;
  while (pos < declarations.size()) {
    const char kind = declarations[pos++];
    if (kind != 'P' && kind != 'F') return false;
    std::string_view name, params, body;
    if (!ReadField(declarations, pos, name) || !ReadField(declarations, pos, params) ||
        !ReadField(declarations, pos, body))
      return false;
    read.push_back({std::string(name), std::string(body), std::string(params), kind == 'F'});
  }
  for (const TProcedure& p : read) procs.Add(p);
  return true;
}

// --- Prepare ------------------------------------------------------------------------------------

TokenStream TScriptEngine::Prepare(std::string_view source) {
  ResetErrorState();
  procs_.Clear();
  // A copy: the declaration pass evaluates expressions, and what they call may prepare again.
  TokenStream tokens;
  if (IsTokenStream(source)) {
    tokens = source;
  } else if (source == preparedSource_) {
    tokens = preparedTokens_;
  } else {
    preparedSource_ = source;
    preparedTokens_ = Tokenise(source);
    tokens = preparedTokens_;
  }
  // A program prepared before brings its declarations along.
  std::string_view declarations, main;
  SplitProgram(tokens, declarations, main);
  if (!declarations.empty()) DecodeDeclarations(declarations, procs_);
  if (observer_) observer_->EnterFile({}, true, source, main);
  TokenStream program = DeclarationPass(main, 0);
  if (observer_) observer_->LeaveFile();
  if (procs_.Count() == 0) return program;
  return EncodeDeclarations(procs_) + program;
}

// program -> {declaration | statement} separated by ";"
TokenStream TScriptEngine::DeclarationPass(std::string_view tokens, int fileDepth) {
  TokenStream main;
  size_t pos = 0;
  while (!Failed()) {
    const SplitResult s = SplitStatement(tokens, pos, false);
    if (observer_ && (!s.tokens.empty() || s.errorCode != 0)) observer_->Statement(s.tokens);
    if (s.errorCode != 0) {
      ReportError(s.errorMessage, s.tokens, s.errorCode);
      break;
    }
    if (s.tokens.empty()) break;
    const StatementHead h = ReadHead(s.tokens);
    bool ok = true;
    switch (h.head.Code) {
      case tkProcedure:
      case tkFunction:
        ok = DeclareProcedure(s.tokens, h.operandPos, h.head.Code == tkFunction, tokens, pos);
        break;
      case tkUses:
      case tkInclude:
        ok = UseFile(s.tokens, h.operandPos, h.head.Code == tkInclude, fileDepth, main);
        break;
      default:
        if (observer_) observer_->MainStatement(s.tokens);
        main.append(s.tokens);
        AppendToken(main, tkSemicolon, ";");
        break;
    }
    // A broken declaration ends the pass: what follows could not be told apart from it.
    if (!ok) break;
  }
  return main;
}

// PROCEDURE name "(" [name {"," name}] ")" ";" statement     (FUNCTION alike)
bool TScriptEngine::DeclareProcedure(std::string_view statement, size_t pos, bool isFunction, std::string_view list,
                                     size_t& listPos) {
  const Token name = ReadToken(statement, pos);
  if (name.Code != tkIdent || !IsIdentifier(name.Text)) {
    ReportError("Invalid procedure name", statement, 4);
    return false;
  }
  if (procs_.Find(name.Text) >= 0) {
    ReportError("Duplicate procedure name", statement, 24);
    return false;
  }
  if (ReadToken(statement, pos).Code != tkOpenParen) {
    ReportError("( expected", statement, 2);
    return false;
  }
  std::string params;
  Token t = ReadToken(statement, pos);
  if (t.Code != tkCloseParen) {
    while (true) {
      if (t.Code != tkIdent || !IsIdentifier(t.Text)) {
        ReportError("Invalid function call", statement, 7);
        return false;
      }
      if (!params.empty()) params += "\r\n";
      params.append(t.Text);
      t = ReadToken(statement, pos);
      if (t.Code == tkCloseParen) break;
      if (t.Code != tkComma) {
        ReportError("Invalid function call", statement, 7);
        return false;
      }
      t = ReadToken(statement, pos);
    }
  }
  const SplitResult body = SplitStatement(list, listPos, false);
  if (observer_) observer_->Body(name.Text, body.tokens);
  if (body.errorCode != 0) {
    ReportError(body.errorMessage, body.tokens, body.errorCode);
    return false;
  }
  procs_.Add({std::string(name.Text), std::string(body.tokens), params, isFunction});
  return true;
}

// USES expression | INCLUDE expression     (the expression names a file of the game folder)
bool TScriptEngine::UseFile(std::string_view statement, size_t pos, bool include, int fileDepth,
                            TokenStream& main) {
  const std::string keyword = include ? "INCLUDE" : "USES";
  const std::string_view expression = statement.substr(pos);
  TVar name;
  const bool evaluated = Evaluate(expression, name);
  if (!evaluated || name.Value.Kind() != ValueKind::String) {
    ReportError("Invalid filename \"" + ExpressionText(expression) + "\" in " + keyword + " statement", statement, 1);
    return false;
  }
  const std::string& file = name.Value.StrValue();
  if (fileDepth >= kMaxFileNesting) {
    ReportError("Can't open file \"" + file + "\", files nested too deeply", statement, 25);
    return false;
  }
  std::string content;
  int error = 0;
  if (!ReadScriptFile(file, content, error)) {
    ReportError("Can't open file \"" + file + "\", error code " + std::to_string(error), statement, 25);
    return false;
  }
  const TokenStream tokens = Tokenise(content);
  if (observer_) observer_->EnterFile(file, include, content, tokens);
  const TokenStream fileMain = DeclarationPass(tokens, fileDepth + 1);
  if (observer_) observer_->LeaveFile();
  if (Failed()) return false;
  if (include) main += fileMain;
  return true;
}

void TScriptEngine::LoadDeclarations(std::string_view declarations) {
  // Procs still holds exactly these declarations: keep it (and what calls learnt about it).
  if (declarations == loadedDeclarations_ && procs_.Generation() == loadedProcsGeneration_) return;
  procs_.Clear();
  if (!declarations.empty()) DecodeDeclarations(declarations, procs_);
  loadedDeclarations_ = declarations;
  loadedProcsGeneration_ = procs_.Generation();
}

}  // namespace qx
