#include "script/lib/TextFunctions.h"

#include <gtest/gtest.h>

#include <vector>

namespace qx {
namespace {

std::string Fmt(const std::string& pattern, std::vector<ScriptValue> values, bool expectOk = true) {
  std::string out, error;
  const bool ok = FormatText(pattern, values, out, error);
  EXPECT_EQ(ok, expectOk) << pattern << " " << error;
  return ok ? out : error;
}

TEST(TextFunctions, CopyPosAndTrims) {
  EXPECT_EQ(CopyChars("abcdef", 2, 3), "bcd");
  EXPECT_EQ(CopyChars("abc", 5, 1), "");
  EXPECT_EQ(CopyChars("abc", -4, 2), "ab");
  EXPECT_EQ(CopyChars("abc", 2, 100), "bc");
  EXPECT_EQ(PositionOf("c", "abcabc"), 3);
  EXPECT_EQ(PositionOf("x", "abc"), 0);
  EXPECT_EQ(PositionOf("", "abc"), 0);
  EXPECT_EQ(TrimText(std::string("\t a b \x01\0", 7)), "a b");
}

TEST(TextFunctions, CaseOfCodePage1251Letters) {
  EXPECT_EQ(Upper1251("abc\xE0\xFF\xB8xyz"), "ABC\xC0\xDF\xA8XYZ");  // а я ё
  EXPECT_EQ(Lower1251("ABC\xC0\xDF\xA8"), "abc\xE0\xFF\xB8");
  EXPECT_EQ(Upper1251("\xB3\xB4\xBF\x9A"), "\xB2\xA5\xAF\x8A");  // і ґ ї љ
  EXPECT_EQ(Upper1251("1+2 \x85"), "1+2 \x85");                   // not letters
  for (int c = 0; c < 256; ++c) {  // lower then upper comes back for every upper-case letter
    const std::string s(1, static_cast<char>(c));
    if (Upper1251(s) == s && Lower1251(s) != s) {
      EXPECT_EQ(Upper1251(Lower1251(s)), s) << c;
    }
  }
}

TEST(TextFunctions, NumberTexts) {
  EXPECT_EQ(FloatToStrFixed(0.5), "0.5");
  EXPECT_EQ(FloatToStrFixed(100), "100");
  EXPECT_EQ(FloatToStrFixed(1.0 / 3), "0.333333333333333");
  EXPECT_EQ(FloatToStrFixed(-2.25), "-2.25");
  EXPECT_EQ(FloatToStrFixed(1e20), "100000000000000000000");
  EXPECT_EQ(FloatToStrFixed(-1e-20), "0");
  EXPECT_EQ(*ParseInt32Text("12"), 12);
  EXPECT_EQ(*ParseInt32Text("-7"), -7);
  EXPECT_FALSE(ParseInt32Text("1.5"));
  EXPECT_FALSE(ParseInt32Text("abc"));
  EXPECT_FALSE(ParseInt32Text("3000000000"));
  EXPECT_FALSE(ParseInt32Text(""));
}

TEST(Format, OneSpecifierAtATime) {
  EXPECT_EQ(Fmt("%d items", {ScriptValue::Float(2.7)}), "2 items");  // retried truncated
  EXPECT_EQ(Fmt("a%sb%s", {ScriptValue::Str("X")}), "aXb");           // no value: dropped
  EXPECT_EQ(Fmt("%5.2f|%-4d|%x|%X", {ScriptValue::Float(3.14159), ScriptValue::Int(7), ScriptValue::Int(255),
                                     ScriptValue::Int(255)}),
            " 3.14|7   |ff|FF");
  EXPECT_EQ(Fmt("%s and %s", {ScriptValue::Int(5), ScriptValue::Bool(true)}), "5 and TRUE");
  EXPECT_EQ(Fmt("%.2f", {ScriptValue::Int(3)}), "3.00");
  EXPECT_EQ(Fmt("100%", {ScriptValue::Int(1)}), "100%");        // a lone percent sign stays
  EXPECT_EQ(Fmt("%%d", {ScriptValue::Int(1)}), "%d");           // printf's view of the specifier
  EXPECT_EQ(Fmt("%c%c", {ScriptValue::Int(65), ScriptValue::Str("b")}), "Ab");
  EXPECT_EQ(Fmt("%3s|", {ScriptValue::Str("ab")}), " ab|");
}

TEST(Format, HostilePatternsFailCleanly) {
  EXPECT_NE(Fmt("%n", {ScriptValue::Int(1)}, false).find("Format '%n'"), std::string::npos);
  EXPECT_NE(Fmt("%999999d", {ScriptValue::Int(1)}, false).find("invalid"), std::string::npos);
  Fmt("%.99999999999999f", {ScriptValue::Float(1)}, false);
  Fmt("%d", {ScriptValue::Str("abc")}, false);
  Fmt("%p %ld %hn %*d", {ScriptValue::Int(1)}, false);
  // The widest accepted width is honoured, bounded.
  EXPECT_EQ(Fmt("%4096d", {ScriptValue::Int(1)}).size(), 4096u);
  EXPECT_EQ(Fmt("%1e", {ScriptValue::Float(1e308)}), "1.000000e+308");
  EXPECT_EQ(Fmt("%f", {ScriptValue::Float(1e308)}).size(), 316u);
}

}  // namespace
}  // namespace qx
