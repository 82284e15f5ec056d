// Conversions of script values: rounding, ranges, text forms and conversion errors.
#include <gtest/gtest.h>

#include <cmath>

#include "script/ScriptValue.h"

namespace qx {
namespace {

TEST(ScriptValue, FloatToIntegerRoundsHalfToEvenWithinThe32BitRange) {
  const std::pair<double, int32_t> cases[] = {{2.5, 2},   {3.5, 4},   {-2.5, -2}, {-3.5, -4},          {0.5, 0},
                                              {1.4999, 1}, {-0.6, -1}, {2147483647.4, 2147483647},
                                              {-2147483648.5, INT32_MIN}};
  for (const auto& [in, out] : cases) {
    int32_t v = 0;
    ASSERT_TRUE(ScriptValue::Float(in).TryToInt32(v)) << in;
    EXPECT_EQ(v, out) << in;
  }
  int32_t v = 77;
  for (double bad : {2147483647.5, -2147483649.0, 1e300, double(NAN), double(INFINITY)}) {
    EXPECT_FALSE(ScriptValue::Float(bad).TryToInt32(v)) << bad;
    EXPECT_EQ(v, 77);
  }
  EXPECT_EQ(RoundHalfEven(-0.5), 0.0);
  EXPECT_EQ(RoundHalfEven(1e300), 1e300);
}

TEST(ScriptValue, TextToNumberAcceptsDecimalTextOnly) {
  int32_t i = 0;
  double d = 0;
  EXPECT_TRUE(ScriptValue::Str(" 12 ").TryToInt32(i));
  EXPECT_EQ(i, 12);
  EXPECT_TRUE(ScriptValue::Str("1.5").TryToInt32(i));
  EXPECT_EQ(i, 2);
  EXPECT_TRUE(ScriptValue::Str("-.25").TryToDouble(d));
  EXPECT_EQ(d, -0.25);
  for (const char* bad : {"abc", "", "1,5", "1e3", "0x10", "3000000000"}) EXPECT_FALSE(ScriptValue::Str(bad).TryToInt32(i)) << bad;
  int64_t l = 0;
  EXPECT_TRUE(ScriptValue::Str("3000000000").TryToInt64(l));
  EXPECT_EQ(l, 3000000000);
}

TEST(ScriptValue, OtherKindsConvertToNumbers) {
  int32_t i = -1;
  EXPECT_TRUE(ScriptValue().TryToInt32(i));
  EXPECT_EQ(i, 0);
  EXPECT_TRUE(ScriptValue::Bool(true).TryToInt32(i));
  EXPECT_EQ(i, 1);
  EXPECT_TRUE(ScriptValue::Element(7).TryToInt32(i));
  EXPECT_EQ(i, 7);
  EXPECT_TRUE(ScriptValue::Word(65535).TryToInt32(i));
  EXPECT_EQ(i, 65535);
  EXPECT_TRUE(ScriptValue::DateTime(1.5).TryToInt32(i));
  EXPECT_EQ(i, 2);
  EXPECT_FALSE(ScriptValue::Int64(int64_t{1} << 40).TryToInt32(i));
}

TEST(ScriptValue, ToBoolean) {
  bool b = false;
  for (const char* t : {"TRUE", "true", "TrUe", "1", "-2.5"}) {
    ASSERT_TRUE(ScriptValue::Str(t).TryToBool(b)) << t;
    EXPECT_TRUE(b) << t;
  }
  for (const char* f : {"FALSE", "false", "0", "0.0"}) {
    ASSERT_TRUE(ScriptValue::Str(f).TryToBool(b)) << f;
    EXPECT_FALSE(b) << f;
  }
  for (const char* bad : {"abc", "", "yes"}) EXPECT_FALSE(ScriptValue::Str(bad).TryToBool(b)) << bad;
  EXPECT_TRUE(ScriptValue::Float(0.5).TryToBool(b));
  EXPECT_TRUE(b);
  EXPECT_TRUE(ScriptValue::Int(0).TryToBool(b));
  EXPECT_FALSE(b);
}

TEST(ScriptValue, TextFormsAreShortestDecimal) {
  EXPECT_EQ(ScriptValue::Int(-5).ToText(), "-5");
  EXPECT_EQ(ScriptValue::Float(2).ToText(), "2");
  EXPECT_EQ(ScriptValue::Float(-0.0).ToText(), "0");
  EXPECT_EQ(ScriptValue::Float(0.1).ToText(), "0.1");
  EXPECT_EQ(ScriptValue::Float(1.0 / 3).ToText(), "0.3333333333333333");
  EXPECT_EQ(ScriptValue::Float(3e9).ToText(), "3000000000");
  EXPECT_EQ(ScriptValue::Float(1e20).ToText(), "1E+20");
  EXPECT_EQ(ScriptValue::Int64(-(int64_t{1} << 40)).ToText(), "-1099511627776");
  EXPECT_EQ(ScriptValue::Element(0xFFFFFFFFu).ToText(), "4294967295");
  EXPECT_EQ(ScriptValue::Bool(true).ToText(), "TRUE");
  EXPECT_EQ(ScriptValue().ToText(), "");
  EXPECT_EQ(ScriptValue::Str(std::string("a\0b", 3)).ToText().size(), 3u);  // strings are bytes
}

TEST(ScriptValue, ThrowingConversionsNameTheValue) {
  EXPECT_EQ(ScriptValue::Float(2.5).ToInt32(), 2);
  EXPECT_TRUE(ScriptValue::Str("true").ToBool());
  try {
    (void)ScriptValue::Str("abc").ToInt32();
    FAIL() << "no error";
  } catch (const ScriptError& e) {
    EXPECT_STREQ(e.what(), "Could not convert String 'abc' to Integer");
  }
  EXPECT_THROW((void)ScriptValue::Float(1e10).ToInt32(), ScriptError);
  EXPECT_THROW((void)ScriptValue::Str("x").ToDouble(), ScriptError);
  EXPECT_THROW((void)ScriptValue::Str("x").ToBool(), ScriptError);
}

}  // namespace
}  // namespace qx
