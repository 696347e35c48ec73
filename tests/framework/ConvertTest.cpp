// Number conversions: locale independence, error messages, half rounding.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>

#include "Convert.h"
#include "Exceptions.h"
#include "TestSupport.h"

TEST(Convert, StrToFloatAcceptsUsualNotations) {
  EXPECT_EQ(StrToFloat("999"), 999.0);
  EXPECT_EQ(StrToFloat("-1.5"), -1.5);
  EXPECT_EQ(StrToFloat("1e-7"), 1e-7);
  EXPECT_EQ(StrToFloat("  0.25\t"), 0.25);
  EXPECT_EQ(StrToFloat("+2"), 2.0);
  EXPECT_EQ(StrToFloat(".5"), 0.5);
  EXPECT_TRUE(std::isnan(StrToFloat("NAN")));
  EXPECT_EQ(StrToFloat("1e-400"), 0.0);
}

TEST(Convert, StrToFloatRejectsWithTheText) {
  EXPECT_EQ(MessageOf([] { StrToFloat("abc"); }), "'abc' is not a valid floating point value");
  EXPECT_THROW(StrToFloat(""), EConvertError);
  EXPECT_THROW(StrToFloat("1,5"), EConvertError);
  EXPECT_THROW(StrToFloat("1.5x"), EConvertError);
  EXPECT_THROW(StrToFloat("1e400"), EConvertError);
  EXPECT_THROW(StrToFloat("+-1"), EConvertError);
  EXPECT_FALSE(TryStrToFloat("- 1").has_value());
}

TEST(Convert, StrToFloatIgnoresTheLocale) {
  // A comma-decimal locale must not change the notation; skip when absent.
  const char* Old = std::setlocale(LC_NUMERIC, nullptr);
  std::string Saved = Old ? Old : "C";
  if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) GTEST_SKIP() << "no de_DE locale";
  EXPECT_EQ(StrToFloat("1.5"), 1.5);
  EXPECT_EQ(FormatFixed(1.5, 2), "1.50");
  std::setlocale(LC_NUMERIC, Saved.c_str());
}

TEST(Convert, StrToIntRangeAndMessage) {
  EXPECT_EQ(StrToInt(" -12 "), -12);
  EXPECT_EQ(StrToInt("2147483647"), 2147483647);
  EXPECT_EQ(StrToInt("-2147483648"), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(MessageOf([] { StrToInt("12x"); }), "'12x' is not a valid integer value");
  EXPECT_THROW(StrToInt("2147483648"), EConvertError);
  EXPECT_THROW(StrToInt("1.0"), EConvertError);
  EXPECT_THROW(StrToInt(""), EConvertError);
}

TEST(Convert, FormatFixedRoundsExactHalvesAwayFromZero) {
  EXPECT_EQ(FormatFixed(0.125, 2), "0.13");
  EXPECT_EQ(FormatFixed(-0.125, 2), "-0.13");
  EXPECT_EQ(FormatFixed(2.5, 0), "3");
  EXPECT_EQ(FormatFixed(-2.5, 0), "-3");
  EXPECT_EQ(FormatFixed(0.5, 0), "1");
  // 2.675 is really 2.67499999..., so it rounds down; 1.005 likewise.
  EXPECT_EQ(FormatFixed(2.675, 2), "2.67");
  EXPECT_EQ(FormatFixed(1.005, 2), "1.00");
  EXPECT_EQ(FormatFixed(9.995, 2), "9.99");
  EXPECT_EQ(FormatFixed(99.996, 2), "100.00");
  EXPECT_EQ(FormatFixed(0.0, 2), "0.00");
  EXPECT_EQ(FormatFixed(-0.001, 2), "0.00");
  EXPECT_EQ(FormatFixed(-0.0, 1), "0.0");
  EXPECT_EQ(FormatFixed(123.456, 1), "123.5");
  EXPECT_EQ(FormatFixed(1e20, 2), "100000000000000000000.00");
  EXPECT_EQ(FormatFixed(5e-324, 2), "0.00");
  EXPECT_EQ(FormatFixed(std::nan(""), 2), "NAN");
}

TEST(Convert, FloatToShortestReadsBack) {
  EXPECT_EQ(FloatToShortest(0.1), "0.1");
  EXPECT_EQ(FloatToShortest(1e300), "1e+300");
  EXPECT_EQ(FloatToShortest(-2.0), "-2");
  for (double V : {0.1 + 0.2, 1.0 / 3.0, 5e-324, 1.7976931348623157e308})
    EXPECT_EQ(StrToFloat(FloatToShortest(V)), V);
}

TEST(Convert, CompareTextFoldsAsciiCaseOnly) {
  EXPECT_EQ(CompareText("abc", "ABC"), 0);
  EXPECT_LT(CompareText("abc", "ABD"), 0);
  EXPECT_GT(CompareText("b", "A"), 0);
  EXPECT_LT(CompareText("ab", "abc"), 0);
  // Letters fold to lower case (0x61..), so '_' (0x5F) sorts before them.
  EXPECT_LT(CompareText("_", "a"), 0);
  EXPECT_LT(CompareText("_", "A"), 0);
  EXPECT_TRUE(SameText("Yes", "yES"));
  EXPECT_FALSE(SameText("\xC4", "\xE4"));  // no folding outside ASCII
  EXPECT_FALSE(SameText("a", "ab"));
}
