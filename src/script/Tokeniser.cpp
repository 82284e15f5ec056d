// Script text to TokenStream: comment removal, upper-casing, keyword matching and the
// stream's byte format.
#include "script/Tokeniser.h"

#include <charconv>

#include "script/VarList.h"

namespace qx {

const std::array<std::string_view, kTokenCodeCount> KeywordTable = {
    "",      "",         "",         "TRUE",   "FALSE",     "=",        "OR",      "AND",
    "NOT",   "XOR",      ",",        ":",      "<>",        ">",        "<",       ">=",
    "<=",    "+",        "-",        "*",      "/",         "^",        "(",       ")",
    "[",     "]",        ";",        "//",     "{",         "}",        ":=",      "BEGIN",
    "END",   "IF",       "THEN",     "ELSE",   "FOR",       "TO",       "DOWNTO",  "DO",
    "WHILE", "REPEAT",   "UNTIL",    "BREAK",  "CONTINUE",  "EXIT",     "GOTO",    "SHL",
    "SHR",   "PROCEDURE", "FUNCTION", "USES",  "INCLUDE",   "CASE",     "OF",      "..",
};

namespace {

// Spellings made only of identifier characters (the words and "..") must not run into a
// following identifier character: ORDER is one name, not OR + DER.
struct KeywordInfo {
  bool wordLike[kTokenCodeCount] = {};
  KeywordInfo() {
    for (int code = tkTrue; code < kTokenCodeCount; ++code) {
      bool word = !KeywordTable[code].empty();
      for (char c : KeywordTable[code]) word = word && IsIdentChar(static_cast<unsigned char>(c));
      wordLike[code] = word;
    }
  }
};
const KeywordInfo kKeywordInfo;

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

// token -> keyword | quote {any byte but a quote} [quote] | first-byte {identifier byte}
// Reads one token of preprocessed text at `pos` (no blank there); gives its code and length.
void ScanToken(std::string_view text, size_t pos, int& code, size_t& length) {
  const size_t rest = text.size() - pos;
  int best = 0;
  size_t bestLength = 0;
  for (int c = tkTrue; c < kTokenCodeCount; ++c) {
    const std::string_view spelling = KeywordTable[c];
    if (spelling.size() <= bestLength || spelling.size() > rest) continue;
    if (text.compare(pos, spelling.size(), spelling) != 0) continue;
    const size_t after = pos + spelling.size();
    if (kKeywordInfo.wordLike[c] && after < text.size() && IsIdentChar(static_cast<unsigned char>(text[after])))
      continue;
    best = c;
    bestLength = spelling.size();
  }
  if (best != 0) {
    code = best;
    length = bestLength;
    return;
  }
  if (IsQuote(text[pos])) {
    size_t end = pos + 1;
    while (end < text.size() && !IsQuote(text[end])) ++end;
    if (end < text.size()) ++end;  // the closing quote belongs to the token
    code = tkConst;
    length = end - pos;
    return;
  }
  size_t end = pos + 1;
  while (end < text.size() && IsIdentChar(static_cast<unsigned char>(text[end]))) ++end;
  std::string_view word = text.substr(pos, end - pos);
  const bool number = IsDigit(static_cast<unsigned char>(word[0]));
  if (number) {
    // 1..5 reads as 1 followed by "..5": a range needs a blank after "..".
    const size_t range = word.find("..");
    if (range != std::string_view::npos) word = word.substr(0, range);
  }
  code = number ? tkConst : tkIdent;
  length = word.size();
}

}  // namespace

bool IsBlank(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string UpperCaseAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = UpperAscii(c);
  return out;
}

std::string_view TrimScript(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
  return text;
}

std::string Preprocess(std::string_view source) {
  // Comments of both forms end at the end of their line; quotes do not count inside them.
  std::string out;
  out.reserve(source.size());
  bool inString = false;
  bool inComment = false;
  for (size_t i = 0; i < source.size(); ++i) {
    const char c = source[i];
    if (inComment) {
      if (c == '}') {
        inComment = false;
      } else if (c == '\r' || c == '\n') {
        inComment = false;
        out.push_back(c);
      }
      continue;
    }
    if (IsQuote(c)) {
      inString = !inString;
      out.push_back(c);
    } else if (inString) {
      out.push_back(c);
    } else if (c == '}') {
      // A closing brace outside any comment is dropped.
    } else if (c == '{') {
      inComment = true;
    } else if (c == '/' && i + 1 < source.size() && source[i + 1] == '/') {
      inComment = true;
      ++i;
    } else {
      out.push_back(UpperAscii(c));
    }
  }
  return out;
}

TokenStream Tokenise(std::string_view source) { return Tokenise(source, nullptr); }

TokenStream Tokenise(std::string_view source, std::vector<int>* lines) {
  // Preprocessing keeps every line break (comments end at them), so lines counted in its
  // output are the source's lines.
  const std::string text = Preprocess(source);
  TokenStream stream;
  stream.reserve(text.size() + text.size() / 2);
  size_t pos = 0;
  int line = 1;
  size_t counted = 0;  // line breaks are counted up to here
  while (true) {
    // The byte 127 separates tokens in the stream, so it can never be part of one.
    while (pos < text.size() && (IsBlank(static_cast<unsigned char>(text[pos])) || text[pos] == kTokenMark)) ++pos;
    if (pos >= text.size()) break;
    if (lines) {
      for (; counted < pos; ++counted) {
        // CR LF, LF and a lone CR each end one line.
        if (text[counted] == '\n' || (text[counted] == '\r' && (counted + 1 >= text.size() || text[counted + 1] != '\n')))
          ++line;
      }
      lines->push_back(line);
    }
    int code = tkEof;
    size_t length = 0;
    ScanToken(text, pos, code, length);
    std::string_view tokenText = std::string_view(text).substr(pos, length);
    if (code == tkConst && IsQuote(tokenText[0]) && tokenText.find(kTokenMark) != std::string_view::npos) {
      std::string cleaned;
      for (char c : tokenText) {
        if (c != kTokenMark) cleaned.push_back(c);
      }
      AppendToken(stream, code, cleaned);
    } else {
      AppendToken(stream, code, tokenText);
    }
    pos += length;
  }
  return stream;
}

bool IsTokenStream(std::string_view text) { return text.find(kTokenMark) != std::string_view::npos; }

void AppendToken(TokenStream& stream, int code, std::string_view text) {
  stream.push_back(kTokenMark);
  stream.push_back(static_cast<char>(code + 64));
  stream.append(text);
}

Token ReadToken(std::string_view stream, size_t& pos) {
  if (pos + 2 > stream.size() || stream[pos] != kTokenMark) return {};
  const int code = static_cast<unsigned char>(stream[pos + 1]) - 64;
  if (code <= tkEof || code >= kTokenCodeCount) return {};
  size_t end = stream.find(kTokenMark, pos + 2);
  if (end == std::string_view::npos) end = stream.size();
  Token t{code, stream.substr(pos + 2, end - pos - 2)};
  pos = end;
  return t;
}

int PeekToken(std::string_view stream, size_t pos) { return ReadToken(stream, pos).Code; }

std::string TokenText(std::string_view stream, bool blanks) {
  std::string out;
  size_t pos = 0;
  while (true) {
    const Token t = ReadToken(stream, pos);
    if (t.Code == tkEof) break;
    out.append(t.Text);
    if (blanks) out.push_back(' ');
  }
  return out;
}

std::vector<std::string_view> SplitAtCommas(std::string_view tokens, bool countBrackets) {
  std::vector<std::string_view> parts;
  size_t pos = 0;
  if (PeekToken(tokens, pos) == tkEof) return parts;
  size_t start = 0;
  int depth = 0;
  while (true) {
    const size_t before = pos;
    const Token t = ReadToken(tokens, pos);
    if (t.Code == tkEof) break;
    if (t.Code == tkOpenParen || (countBrackets && t.Code == tkOpenBracket)) ++depth;
    else if (t.Code == tkCloseParen || (countBrackets && t.Code == tkCloseBracket)) --depth;
    else if (t.Code == tkComma && depth == 0) {
      parts.push_back(tokens.substr(start, before - start));
      start = pos;
    }
  }
  parts.push_back(tokens.substr(start, pos - start));
  return parts;
}

bool ParseNumber(std::string_view text, double& value) {
  const std::string_view t = TrimScript(text);
  if (t.empty()) return false;
  size_t dots = 0, commas = 0;
  char lastSeparator = 0;
  for (char c : t) {
    if (c == '.') ++dots, lastSeparator = c;
    else if (c == ',') ++commas, lastSeparator = c;
    else if (!(IsDigit(static_cast<unsigned char>(c)) || c == '+' || c == '-')) return false;
  }
  std::string s;
  s.reserve(t.size());
  for (char c : t) {
    if (lastSeparator == '.' && dots == 1 && c == ',') continue;
    if (lastSeparator == ',' && commas == 1) {
      if (c == '.') continue;
      if (c == ',') c = '.';
    }
    s.push_back(c);
  }
  // number -> [sign] digits ["." digits], at least one digit on either side of the point
  std::string_view n = s;
  bool negative = false;
  if (!n.empty() && (n[0] == '+' || n[0] == '-')) {
    negative = n[0] == '-';
    n.remove_prefix(1);
  }
  size_t digits = 0, point = 0;
  for (char c : n) {
    if (c == '.') ++point;
    else if (IsDigit(static_cast<unsigned char>(c))) ++digits;
    else return false;
  }
  if (digits == 0 || point > 1) return false;
  double v = 0;
  const auto [end, ec] = std::from_chars(n.data(), n.data() + n.size(), v, std::chars_format::fixed);
  if (ec != std::errc() || end != n.data() + n.size()) return false;
  value = negative ? -v : v;
  return true;
}

}  // namespace qx
