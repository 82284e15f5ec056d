// Operator rows the expression table cannot reach from literals: DateTime, 64-bit and
// element operands, Empty operands and Floats that are not numbers.
#include <gtest/gtest.h>

#include <cmath>

#include "Fixture.h"

namespace qx::test {
namespace {

std::string Apply(int op, const ScriptValue& a, const ScriptValue& b) {
  ScriptValue r;
  return ApplyBinary(op, a, b, r) ? Describe(r) : "error";
}

TEST(Operators, DateTimeRow) {
  const ScriptValue d = ScriptValue::DateTime(10.5);
  EXPECT_EQ(Apply(tkPlus, d, ScriptValue::Int(1)), "DateTime 11.5");
  EXPECT_EQ(Apply(tkPlus, ScriptValue::Float(1), d), "DateTime 11.5");
  EXPECT_EQ(Apply(tkMinus, d, ScriptValue::Int(1)), "DateTime 9.5");
  EXPECT_EQ(Apply(tkMinus, ScriptValue::Int(20), d), "DateTime 9.5");
  EXPECT_EQ(Apply(tkMinus, d, ScriptValue::DateTime(0.5)), "Float 10");
  EXPECT_EQ(Apply(tkStar, d, ScriptValue::Int(2)), "Float 21");
  EXPECT_EQ(Apply(tkSlash, d, ScriptValue::Int(2)), "Float 5.25");
  EXPECT_EQ(Apply(tkPlus, d, ScriptValue::Str("2")), "DateTime 12.5");
  EXPECT_EQ(Apply(tkPlus, d, ScriptValue::Str("x")), "error");
  EXPECT_EQ(Apply(tkAnd, d, ScriptValue::Int(3)), "Integer 2");  // 10.5 rounds to 10
  EXPECT_EQ(Apply(tkLess, ScriptValue::DateTime(1), ScriptValue::Int(2)), "Boolean TRUE");
}

TEST(Operators, WideIntegerRow) {
  EXPECT_EQ(Apply(tkStar, ScriptValue::Word(300), ScriptValue::Word(300)), "Int64 90000");
  EXPECT_EQ(Apply(tkPlus, ScriptValue::Element(7), ScriptValue::Int(1)), "Int64 8");
  EXPECT_EQ(Apply(tkPlus, ScriptValue::Int64(INT64_MAX), ScriptValue::Int(1)), "Float 9.223372036854776E+18");
  EXPECT_EQ(Apply(tkShl, ScriptValue::Int64(1), ScriptValue::Int(65)), "Int64 2");
  EXPECT_EQ(Apply(tkShr, ScriptValue::Int64(-1), ScriptValue::Int(60)), "Int64 15");
  EXPECT_EQ(Apply(tkSlash, ScriptValue::Int64(1), ScriptValue::Word(4)), "Float 0.25");
  EXPECT_EQ(Apply(tkEqual, ScriptValue::Element(5), ScriptValue::Element(5)), "Boolean TRUE");
  EXPECT_EQ(Apply(tkGreater, ScriptValue::Element(0xFFFFFFFFu), ScriptValue::Int(0)), "Boolean TRUE");
  EXPECT_EQ(Apply(tkPlus, ScriptValue::Bool(true), ScriptValue::Word(1)), "Int64 2");
}

TEST(Operators, EmptyTakesTheOtherOperandsKind) {
  const ScriptValue e;
  EXPECT_EQ(Apply(tkPlus, e, e), "Integer 0");
  EXPECT_EQ(Apply(tkEqual, e, e), "Boolean TRUE");
  EXPECT_EQ(Apply(tkAnd, e, ScriptValue::Bool(true)), "Boolean FALSE");
  EXPECT_EQ(Apply(tkOr, ScriptValue::Bool(true), e), "Boolean TRUE");
  EXPECT_EQ(Apply(tkPlus, ScriptValue::Str("a"), e), "String |a|");
  EXPECT_EQ(Apply(tkLess, e, ScriptValue::Str("a")), "Boolean TRUE");
  EXPECT_EQ(Apply(tkStar, e, ScriptValue::Float(2)), "Float 0");
  EXPECT_EQ(Apply(tkPlus, e, ScriptValue::DateTime(3)), "DateTime 3");
}

TEST(Operators, FloatsThatAreNotNumbers) {
  const ScriptValue nan = ScriptValue::Float(std::nan(""));
  EXPECT_EQ(Apply(tkEqual, nan, nan), "Boolean FALSE");
  EXPECT_EQ(Apply(tkNotEqual, nan, ScriptValue::Int(1)), "Boolean TRUE");
  EXPECT_EQ(Apply(tkLess, nan, ScriptValue::Int(1)), "Boolean FALSE");
  EXPECT_EQ(Apply(tkGreaterEqual, nan, ScriptValue::Int(1)), "Boolean FALSE");
  EXPECT_EQ(Apply(tkPlus, nan, ScriptValue::Int(1)), "error");
  EXPECT_EQ(Apply(tkStar, ScriptValue::Float(1e308), ScriptValue::Int(10)), "error");
  EXPECT_EQ(Apply(tkAnd, nan, ScriptValue::Int(1)), "error");
  ScriptValue r;
  EXPECT_FALSE(ApplyBinary(tkComma, ScriptValue::Int(1), ScriptValue::Int(1), r));  // not an operator
  EXPECT_FALSE(ApplyPrefix(tkStar, ScriptValue::Int(1), r));
}

}  // namespace
}  // namespace qx::test
