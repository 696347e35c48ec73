// The texts the cross test and the benchmark print for their figures.
//
// Every decimal figure goes through FormatFixed (halves away from zero), so
// the tool, the demo pages and the tests agree to the last digit.
#pragma once

#include <cstdint>
#include <span>
#include <string>

// Mean and spread of X as "mean+/-spread", both with two decimals and no
// blanks ("85.50+/-2.25"). The spread is the sample standard deviation
// (divisor n - 1), 0 for fewer than two values; an empty X gives
// "0.00+/-0.00".
std::string SummaryText(std::span<const double> X);

// The mean and spread SummaryText prints, before formatting.
struct TSummary {
  double Mean = 0.0;
  double Spread = 0.0;
};
TSummary Summarize(std::span<const double> X);

// Elapsed milliseconds as minutes:seconds, two digits each at least
// ("01:05"). Minutes are not wrapped at the hour: 65 minutes show as "65:00"
// rather than losing the hour.
std::string FormatMinSec(int64_t Milliseconds);

// Elapsed milliseconds as hours:minutes:seconds:milliseconds with two digits
// for hours, minutes and seconds. ThreeDigitMillis false gives at least two
// millisecond digits ("00:00:01:500", "00:00:00:07"), true always three
// ("00:00:00:007"). Negative input counts as 0.
std::string FormatClock(int64_t Milliseconds, bool ThreeDigitMillis);

// Cases per whole second for Count cases in Milliseconds, rounded to a whole
// number without separators, followed by " Cases/second". Below one
// millisecond the rate is unknown but larger than Count x 1000, which is what
// the text then says ("more than 5000 Cases/second"); no cases give
// "0 Cases/second".
std::string RateText(int64_t Count, int64_t Milliseconds);
