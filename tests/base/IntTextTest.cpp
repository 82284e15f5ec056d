// The whole-text integer forms: all of the text, decimal digits, the sign each form allows,
// and nothing beyond the type.
#include "base/IntText.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace qx {
namespace {

TEST(IntText, WholeIntTakesDigitsAndAMinusOnly) {
  int32_t n = 7;
  EXPECT_TRUE(ParseWholeInt("42", n));
  EXPECT_EQ(n, 42);
  EXPECT_TRUE(ParseWholeInt("-2147483648", n));
  EXPECT_EQ(n, INT32_MIN);
  for (const char* bad : {"", "+5", " 5", "5 ", "5x", "0x10", "2147483648", "-", "1.0"}) {
    EXPECT_FALSE(ParseWholeInt(bad, n)) << bad;
  }
  int64_t wide = 0;
  EXPECT_TRUE(ParseWholeInt("2147483648", wide));  // the type decides the range
  EXPECT_EQ(wide, 2147483648LL);
}

TEST(IntText, SignedWholeIntAlsoTakesAPlus) {
  int64_t n = 0;
  EXPECT_TRUE(ParseSignedWholeInt("+12", n));
  EXPECT_EQ(n, 12);
  EXPECT_TRUE(ParseSignedWholeInt("-3", n));
  EXPECT_EQ(n, -3);
  for (const char* bad : {"", "+", "++1", " +1", "+1 ", "+x"}) EXPECT_FALSE(ParseSignedWholeInt(bad, n)) << bad;
}

}  // namespace
}  // namespace qx
