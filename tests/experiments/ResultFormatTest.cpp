// The figures of the cross test grid and the benchmark labels.
#include <gtest/gtest.h>

#include <vector>

#include "ResultFormat.h"

TEST(SummaryText, MeanAndSampleSpreadWithTwoDecimals) {
  // Mean 85.5; deviations -2.25, +2.25 (n - 1 = 1): spread sqrt(2 x 2.25^2) = 3.18.
  const std::vector<double> X = {83.25, 87.75};
  EXPECT_EQ(SummaryText(X), "85.50+/-3.18");
  // Mean 85.5, spread exactly 2.25: three values 83.25, 85.5, 87.75 give
  // squares 5.0625 + 0 + 5.0625 over 2 = 5.0625 = 2.25^2.
  const std::vector<double> Y = {83.25, 85.5, 87.75};
  EXPECT_EQ(SummaryText(Y), "85.50+/-2.25");
}

TEST(SummaryText, OneRunHasNoSpread) {
  const std::vector<double> X = {96.0};
  EXPECT_EQ(SummaryText(X), "96.00+/-0.00");
  EXPECT_EQ(SummaryText(std::vector<double>{}), "0.00+/-0.00");
  const std::vector<double> Same = {50.0, 50.0, 50.0, 50.0};
  EXPECT_EQ(SummaryText(Same), "50.00+/-0.00");
}

TEST(SummaryText, HalvesRoundAwayFromZero) {
  // 0.125 and 0.375 are exact binary fractions: the half decides.
  EXPECT_EQ(SummaryText(std::vector<double>{0.125}), "0.13+/-0.00");
  EXPECT_EQ(SummaryText(std::vector<double>{0.375}), "0.38+/-0.00");
  // Mean 0.625 (exact) of 0.5 and 0.75; spread 0.1767... -> 0.18.
  EXPECT_EQ(SummaryText(std::vector<double>{0.5, 0.75}), "0.63+/-0.18");
}

TEST(SummaryText, SummarizeGivesTheUnformattedFigures) {
  const std::vector<double> X = {2.0, 4.0, 4.0, 4.0, 5.0, 5.0, 7.0, 9.0};
  const TSummary S = Summarize(X);
  EXPECT_DOUBLE_EQ(S.Mean, 5.0);
  EXPECT_NEAR(S.Spread, 2.138089935, 1e-9);  // sqrt(32 / 7)
}

TEST(FormatMinSec, TwoDigitsEach) {
  EXPECT_EQ(FormatMinSec(0), "00:00");
  EXPECT_EQ(FormatMinSec(999), "00:00");
  EXPECT_EQ(FormatMinSec(1000), "00:01");
  EXPECT_EQ(FormatMinSec(65'500), "01:05");
  EXPECT_EQ(FormatMinSec(59 * 60'000 + 59'999), "59:59");
  EXPECT_EQ(FormatMinSec(-5), "00:00");
}

TEST(FormatMinSec, AnHourIsNotLost) {
  EXPECT_EQ(FormatMinSec(3600'000), "60:00");
  EXPECT_EQ(FormatMinSec(3600'000 + 5 * 60'000 + 12'000), "65:12");
  EXPECT_EQ(FormatMinSec(100LL * 3600'000), "6000:00");
}

TEST(FormatClock, LearningShowsAtLeastTwoMillisecondDigits) {
  EXPECT_EQ(FormatClock(1500, false), "00:00:01:500");
  EXPECT_EQ(FormatClock(7, false), "00:00:00:07");
  EXPECT_EQ(FormatClock(0, false), "00:00:00:00");
  EXPECT_EQ(FormatClock(3600'000 + 2 * 60'000 + 3'000 + 45, false), "01:02:03:45");
}

TEST(FormatClock, ClassifyingShowsThreeMillisecondDigits) {
  EXPECT_EQ(FormatClock(7, true), "00:00:00:007");
  EXPECT_EQ(FormatClock(1500, true), "00:00:01:500");
  EXPECT_EQ(FormatClock(61'070, true), "00:01:01:070");
}

TEST(RateText, CasesPerWholeSecondRounded) {
  EXPECT_EQ(RateText(200000, 1000), "200000 Cases/second");
  EXPECT_EQ(RateText(1000, 3), "333333 Cases/second");
  EXPECT_EQ(RateText(2000, 3), "666667 Cases/second");
  EXPECT_EQ(RateText(1, 2000), "1 Cases/second");  // 0.5 rounds up
  EXPECT_EQ(RateText(12345678, 1), "12345678000 Cases/second");
}

TEST(RateText, NoTimeOrNoCases) {
  EXPECT_EQ(RateText(5, 0), "more than 5000 Cases/second");
  EXPECT_EQ(RateText(0, 0), "0 Cases/second");
  EXPECT_EQ(RateText(0, 250), "0 Cases/second");
}
