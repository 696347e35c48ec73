// Figures as text for the cross test grid and the benchmark labels.
#include "ResultFormat.h"

#include <cmath>

#include "Convert.h"

namespace {

std::string TwoDigits(int64_t Value) {
  std::string Text = std::to_string(Value);
  if (Text.size() < 2) Text.insert(Text.begin(), 2 - Text.size(), '0');
  return Text;
}

}  // namespace

TSummary Summarize(std::span<const double> X) {
  TSummary Result;
  const size_t N = X.size();
  if (N == 0) return Result;
  // Sums in extended precision, rounded once where they become figures.
  long double Sum = 0.0L;
  for (double V : X) Sum += V;
  Result.Mean = static_cast<double>(Sum / static_cast<long double>(N));
  if (N < 2) return Result;
  long double Squares = 0.0L;
  for (double V : X) {
    const long double D = static_cast<long double>(V) - Result.Mean;
    Squares += D * D;
  }
  Result.Spread = static_cast<double>(std::sqrt(Squares / static_cast<long double>(N - 1)));
  return Result;
}

std::string SummaryText(std::span<const double> X) {
  const TSummary S = Summarize(X);
  return FormatFixed(S.Mean, 2) + "+/-" + FormatFixed(S.Spread, 2);
}

std::string FormatMinSec(int64_t Milliseconds) {
  if (Milliseconds < 0) Milliseconds = 0;
  const int64_t Seconds = Milliseconds / 1000;
  return TwoDigits(Seconds / 60) + ":" + TwoDigits(Seconds % 60);
}

std::string FormatClock(int64_t Milliseconds, bool ThreeDigitMillis) {
  if (Milliseconds < 0) Milliseconds = 0;
  const int64_t Millis = Milliseconds % 1000;
  const int64_t Seconds = Milliseconds / 1000;
  std::string Text = TwoDigits(Seconds / 3600) + ":" + TwoDigits(Seconds / 60 % 60) + ":" +
                     TwoDigits(Seconds % 60) + ":";
  std::string Z = std::to_string(Millis);
  const size_t Width = ThreeDigitMillis ? 3 : 2;
  if (Z.size() < Width) Z.insert(Z.begin(), Width - Z.size(), '0');
  return Text + Z;
}

std::string RateText(int64_t Count, int64_t Milliseconds) {
  if (Count <= 0) return "0 Cases/second";
  if (Milliseconds <= 0) return "more than " + std::to_string(Count * 1000) + " Cases/second";
  const long double Seconds = static_cast<long double>(Milliseconds) / 1000.0L;
  const double Rate = static_cast<double>(static_cast<long double>(Count) / Seconds);
  return FormatFixed(Rate, 0) + " Cases/second";
}
