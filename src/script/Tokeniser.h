// The script text's prepared form: comment removal and upper-casing (Preprocess), the
// keyword table, and the TokenStream byte format with its readers.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

// A TokenStream holds each token as the byte 127, the byte code + 64 and the token's text,
// one after the other, with no terminator.
using TokenStream = std::string;
inline constexpr char kTokenMark = 127;

// Token codes. 0..2 have no spelling; the others are spelled by KeywordTable.
enum TokenCode : int {
  tkEof = 0, tkIdent, tkConst, tkTrue, tkFalse,
  tkEqual = 5, tkOr, tkAnd, tkNot, tkXor,
  tkComma = 10, tkColon, tkNotEqual, tkGreater, tkLess,
  tkGreaterEqual = 15, tkLessEqual, tkPlus, tkMinus, tkStar,
  tkSlash = 20, tkCaret, tkOpenParen, tkCloseParen, tkOpenBracket,
  tkCloseBracket = 25, tkSemicolon, tkLineComment, tkOpenBrace, tkCloseBrace,
  tkAssign = 30, tkBegin, tkEnd, tkIf, tkThen,
  tkElse = 35, tkFor, tkTo, tkDownto, tkDo,
  tkWhile = 40, tkRepeat, tkUntil, tkBreak, tkContinue,
  tkExit = 45, tkGoto, tkShl, tkShr, tkProcedure,
  tkFunction = 50, tkUses, tkInclude, tkCase, tkOf,
  tkRange = 55,
  kTokenCodeCount = 56,
};

// Spellings by code ("" for end, identifier and constant).
extern const std::array<std::string_view, kTokenCodeCount> KeywordTable;

struct Token {
  int Code = tkEof;
  std::string_view Text;
};

// Blanks between tokens: TAB, LF, CR and space.
bool IsBlank(unsigned char c);
inline bool IsQuote(char c) { return c == '\'' || c == '"'; }

// The interpreter's upper-casing: only a..z change; every other byte (1251 letters too)
// stays as it is.
char UpperAscii(char c);
std::string UpperCaseAscii(std::string_view text);
// Without leading and trailing bytes at or below the blank (code 32).
std::string_view TrimScript(std::string_view text);

// The source without comments ("//" and "{" up to "}" or the end of the line) and
// upper-cased outside string literals.
std::string Preprocess(std::string_view source);
// The tokens of Preprocess(source).
TokenStream Tokenise(std::string_view source);
// The same, and the 1-based source line of each token, in order (for messages of checks).
TokenStream Tokenise(std::string_view source, std::vector<int>* lines);
// Whether `text` is taken to be a TokenStream already: it holds the byte 127.
bool IsTokenStream(std::string_view text);

void AppendToken(TokenStream& stream, int code, std::string_view text);
// Reads the token at byte offset `pos` and moves `pos` past it. At the end, or on bytes
// that are not a well-formed token (including a code outside the table), the result is
// the end token and `pos` does not move.
Token ReadToken(std::string_view stream, size_t& pos);
int PeekToken(std::string_view stream, size_t pos);
// The token texts concatenated, each followed by one blank when `blanks` is set.
std::string TokenText(std::string_view stream, bool blanks);

// Splits a TokenStream at the commas that stand outside parentheses (and outside brackets
// when `countBrackets`). An empty stream has no parts; "a,,b" has three.
std::vector<std::string_view> SplitAtCommas(std::string_view tokens, bool countBrackets);

// Reads number text: only "+", ",", "-", "." and digits; "," or "." may separate
// thousands when the other one is the single decimal separator (1,234.5 and 1.234,5 are
// both 1234.5; 1,5 is 1.5). No exponents, no hexadecimal.
bool ParseNumber(std::string_view text, double& value);

}  // namespace qx
