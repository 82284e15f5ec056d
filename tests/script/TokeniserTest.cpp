// Comment removal, upper-casing, token boundaries, the stream's byte format and numbers.
#include <gtest/gtest.h>

#include <vector>

#include "script/Tokeniser.h"

namespace qx {
namespace {

// "code:text code:text ..." of a source.
std::string Tokens(std::string_view source) {
  const TokenStream stream = Tokenise(source);
  std::string out;
  size_t pos = 0;
  for (Token t = ReadToken(stream, pos); t.Code != tkEof; t = ReadToken(stream, pos)) {
    if (!out.empty()) out += ' ';
    out += std::to_string(t.Code) + ":" + std::string(t.Text);
  }
  return out;
}

TEST(Preprocess, CommentsEndAtTheEndOfTheirLine) {
  EXPECT_EQ(Preprocess("a := 1; // note\nb := 2"), "A := 1; \nB := 2");
  EXPECT_EQ(Preprocess("a {note} b"), "A  B");
  // A brace comment spanning two lines ends at the first line end; its "}" is dropped.
  EXPECT_EQ(Preprocess("a {one\r\ntwo} b"), "A \r\nTWO B");
  EXPECT_EQ(Preprocess("x } y"), "X  Y");
  EXPECT_EQ(Preprocess("{ a // b } c"), " C");
}

TEST(Preprocess, StringsKeepTheirBytesAndQuotesDoNotCountInComments) {
  EXPECT_EQ(Preprocess("s := 'a{b}c//d'"), "S := 'a{b}c//d'");
  EXPECT_EQ(Preprocess("s := \"Key.x\" + 'y'"), "S := \"Key.x\" + 'y'");
  // Either quote ends a string, so 'a" is a whole literal.
  EXPECT_EQ(Preprocess("'a\" b"), "'a\" B");
  EXPECT_EQ(Preprocess("{don't} x"), " X");
  EXPECT_EQ(Preprocess("// it's\nx"), "\nX");
}

TEST(Preprocess, UpperCasesOnlyAsciiLetters) {
  // 0xE0 is a Cyrillic small letter in code page 1251: it stays as it is.
  EXPECT_EQ(Preprocess("abz\xE0_\xB8 Q"), "ABZ\xE0_\xB8 Q");
  EXPECT_EQ(UpperCaseAscii("inttostr"), "INTTOSTR");
}

TEST(Tokenise, KeywordsTakeTheLongestSpellingAndStopAtIdentifierCharacters) {
  EXPECT_EQ(Tokens("a<>b"), "1:A 12:<> 1:B");
  EXPECT_EQ(Tokens("a<=b>=c<d>e"), "1:A 16:<= 1:B 15:>= 1:C 14:< 1:D 13:> 1:E");
  EXPECT_EQ(Tokens("x:=1:"), "1:X 30::= 2:1 11::");
  EXPECT_EQ(Tokens("order or(x)"), "1:ORDER 6:OR 22:( 1:X 23:)");
  EXPECT_EQ(Tokens("end.x end;"), "1:END.X 32:END 26:;");
  EXPECT_EQ(Tokens("downto do to"), "38:DOWNTO 39:DO 37:TO");
  EXPECT_EQ(Tokens("x shl 2 shr 1"), "1:X 47:SHL 2:2 48:SHR 2:1");
  EXPECT_EQ(Tokens("true false"), "3:TRUE 4:FALSE");
}

TEST(Tokenise, RangesNeedABlankAfterTheDots) {
  EXPECT_EQ(Tokens("1 .. 5"), "2:1 55:.. 2:5");
  EXPECT_EQ(Tokens("1..5"), "2:1 1:..5");
  EXPECT_EQ(Tokens("..x"), "1:..X");
  EXPECT_EQ(Tokens("a..b"), "1:A..B");
}

TEST(Tokenise, NamesConstantsAndStrayCharacters) {
  EXPECT_EQ(Tokens("img1.x .y 12 1.5 12ab"), "1:IMG1.X 1:.Y 2:12 2:1.5 2:12AB");
  EXPECT_EQ(Tokens("$ab #"), "1:$AB 1:#");
  EXPECT_EQ(Tokens("\xC0\xE1\xE2 := 1"), "1:\xC0\xE1\xE2 30::= 2:1");
  EXPECT_EQ(Tokens("'abc''def'"), "2:'abc' 2:'def'");
  EXPECT_EQ(Tokens("'open"), "2:'open");
  EXPECT_EQ(Tokens("\"Sec.Key\"+''"), "2:\"Sec.Key\" 17:+ 2:''");
  EXPECT_EQ(Tokens(" \t\r\n "), "");
}

TEST(Tokenise, TheStreamMarkerNeverAppearsInsideATokenText) {
  const TokenStream stream = Tokenise("a\x7F b '\x7Fx'");
  EXPECT_EQ(TokenText(stream, true), "A B 'x' ");
}

TEST(TokenStream, ByteFormatAndReaders) {
  const TokenStream s = Tokenise("a + 'b'");
  EXPECT_EQ(s, std::string("\x7F\x41" "A" "\x7F\x51+" "\x7F\x42'b'"));
  EXPECT_TRUE(IsTokenStream(s));
  EXPECT_FALSE(IsTokenStream("a + b"));
  size_t pos = 0;
  EXPECT_EQ(PeekToken(s, pos), tkIdent);
  EXPECT_EQ(pos, 0u);
  EXPECT_EQ(ReadToken(s, pos).Text, "A");
  EXPECT_EQ(ReadToken(s, pos).Code, tkPlus);
  EXPECT_EQ(ReadToken(s, pos).Text, "'b'");
  const size_t end = pos;
  EXPECT_EQ(ReadToken(s, pos).Code, tkEof);
  EXPECT_EQ(pos, end);
  EXPECT_EQ(TokenText(s, false), "A+'b'");
  EXPECT_EQ(TokenText(s, true), "A + 'b' ");
}

TEST(TokenStream, MalformedBytesReadAsTheEnd) {
  for (std::string bad : {std::string("\x7F"), std::string("x\x7F\x41" "A"), std::string("\x7F\x20zz"),
                          std::string("\x7F\x40zz"), std::string("\x7F\xFFzz"), std::string()}) {
    size_t pos = 0;
    EXPECT_EQ(ReadToken(bad, pos).Code, tkEof) << bad;
    EXPECT_EQ(pos, 0u);
  }
  // A good token followed by garbage: the garbage is the end.
  const std::string s = std::string("\x7F\x41" "A") + "\x7F\x10" "B";
  EXPECT_EQ(TokenText(s, true), "A ");
  // An empty token text at the very end is still a token.
  size_t pos = 0;
  const std::string empty = "\x7F\x41";
  EXPECT_EQ(ReadToken(empty, pos).Code, tkIdent);
  EXPECT_EQ(pos, 2u);
}

TEST(TokenStream, SplitAtCommasOutsideParentheses) {
  auto parts = [](std::string_view src, bool brackets) {
    const TokenStream stream = Tokenise(src);
    std::string out;
    for (std::string_view p : SplitAtCommas(stream, brackets)) out += "<" + TokenText(p, false) + ">";
    return out;
  };
  EXPECT_EQ(parts("", false), "");
  EXPECT_EQ(parts("a, f(b, c), d", false), "<A><F(B,C)><D>");
  EXPECT_EQ(parts("a[1,2]", false), "<A[1><2]>");
  EXPECT_EQ(parts("a[1,2], 3", true), "<A[1,2]><3>");
  EXPECT_EQ(parts("a,,b,", false), "<A><><B><>");
}

TEST(ParseNumber, EitherSeparatorMayBeTheDecimalPoint) {
  double v = 0;
  ASSERT_TRUE(ParseNumber("1,234.5", v));
  EXPECT_EQ(v, 1234.5);
  ASSERT_TRUE(ParseNumber("1.234,5", v));
  EXPECT_EQ(v, 1234.5);
  ASSERT_TRUE(ParseNumber("1,5", v));
  EXPECT_EQ(v, 1.5);
  ASSERT_TRUE(ParseNumber(" -12 ", v));
  EXPECT_EQ(v, -12);
  ASSERT_TRUE(ParseNumber("+.5", v));
  EXPECT_EQ(v, 0.5);
  ASSERT_TRUE(ParseNumber("3.", v));
  EXPECT_EQ(v, 3);
  ASSERT_TRUE(ParseNumber("3000000000", v));
  EXPECT_EQ(v, 3e9);
  for (const char* bad : {"", " ", "1E3", "0x10", "1,234,567", "1.2.3", "--1", "1-", "+", ".", "1 2", "inf", "nan"}) {
    EXPECT_FALSE(ParseNumber(bad, v)) << bad;
  }
}

TEST(Tokenise, GivesEachTokenItsSourceLine) {
  std::vector<int> lines;
  // Comments end at their line's end, strings may span lines, and CR LF, LF and a lone CR
  // each end a line.
  const TokenStream stream = Tokenise("A := 1; // one\r\n{two\n} B := 'x\ny' + C\rD", &lines);
  EXPECT_EQ(stream, Tokenise("A := 1; // one\r\n{two\n} B := 'x\ny' + C\rD"));
  EXPECT_EQ(lines, (std::vector<int>{1, 1, 1, 1, 3, 3, 3, 4, 4, 5}));
  lines.clear();
  Tokenise("\n\n  X", &lines);
  EXPECT_EQ(lines, (std::vector<int>{3}));
}

}  // namespace
}  // namespace qx
