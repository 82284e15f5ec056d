// Pieces of the expression grammar shared by the direct evaluator (Evaluator.cpp) and the
// parsed-tree evaluator (ExprTree.cpp), so the two cannot drift apart. Internal header.
#pragma once

#include <string>
#include <string_view>

#include "script/ScriptValue.h"
#include "script/Tokeniser.h"
#include "script/VarList.h"

namespace qx {

// Nesting of parentheses and of argument and index lists within one expression. Deeper
// text is refused instead of exhausting the stack: no real script comes near it.
inline constexpr int kMaxExpressionDepth = 128;
inline constexpr std::string_view kTooDeepMessage = "Expression nested too deeply";
inline constexpr int kLevelCount = 6;  // binary levels; level 7 is the prefix operator

// Whether `code` is an operator of binary level 1 (OR, XOR) to 6 (^, SHL, SHR).
inline bool IsLevelOperator(int level, int code) {
  switch (level) {
    case 1: return code == tkOr || code == tkXor;
    case 2: return code == tkAnd;
    case 3:
      return code == tkEqual || code == tkNotEqual || code == tkGreater || code == tkLess ||
             code == tkGreaterEqual || code == tkLessEqual;
    case 4: return code == tkPlus || code == tkMinus;
    case 5: return code == tkStar || code == tkSlash;
    case 6: return code == tkCaret || code == tkShl || code == tkShr;
  }
  return false;
}

inline bool IsPrefixOperator(int code) { return code == tkNot || code == tkPlus || code == tkMinus; }

// The value of a constant token: a string (a double-quoted text key keeps its quotes) or a
// number (Float with a "." or beyond the 32-bit range, else Integer). False with the
// message and code to report when the token is no constant.
inline bool ConstantValue(std::string_view token, ScriptValue& value, std::string& message, int& code) {
  if (!token.empty() && IsQuote(token[0])) {
    if (token.size() < 2 || !IsQuote(token.back())) {
      message = "Unterminated string: " + std::string(token);
      code = 6;
      return false;
    }
    value = token[0] == '"' ? ScriptValue::Str(std::string(token))
                            : ScriptValue::Str(std::string(token.substr(1, token.size() - 2)));
    return true;
  }
  double d = 0;
  if (!ParseNumber(token, d)) {
    message = "Invalid number: " + std::string(token);
    code = 1;
    return false;
  }
  if (token.find('.') != std::string_view::npos || d >= 2147483647.0 || d <= -2147483647.0) {
    value = ScriptValue::Float(d);
  } else {
    // Integer texts read exactly; the bias only guards the truncation against a value just
    // below a whole number.
    const double magnitude = (d < 0 ? -d : d) + 0.000000001;
    const auto n = static_cast<int32_t>(magnitude);
    value = ScriptValue::Int(d < 0 ? -n : n);
  }
  return true;
}

// The argument's tokens joined without blanks, when that can be a bare variable name
// (only names, constants, "[", "]", "," and "-" join into one); "" otherwise.
inline std::string JoinedName(std::string_view tokens, bool& isIdentifier) {
  isIdentifier = false;
  size_t pos = 0;
  for (Token t = ReadToken(tokens, pos); t.Code != tkEof; t = ReadToken(tokens, pos)) {
    if (t.Code != tkIdent && t.Code != tkConst && t.Code != tkOpenBracket && t.Code != tkCloseBracket &&
        t.Code != tkComma && t.Code != tkMinus)
      return {};
  }
  std::string joined = TokenText(tokens, false);
  isIdentifier = IsIdentifier(joined);
  return isIdentifier ? joined : std::string();
}

}  // namespace qx
