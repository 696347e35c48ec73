// Locale-independent number conversions. std::from_chars and std::to_chars
// never consult the process locale, so a model or table written on one
// machine reads the same on every other.
#include "Convert.h"

#include <array>
#include <charconv>
#include <cmath>
#include <system_error>

#include "Exceptions.h"

namespace {

bool IsBlank(char C) { return C == ' ' || C == '\t' || C == '\r' || C == '\n'; }

std::string_view Trim(std::string_view S) {
  while (!S.empty() && IsBlank(S.front())) S.remove_prefix(1);
  while (!S.empty() && IsBlank(S.back())) S.remove_suffix(1);
  return S;
}

// from_chars takes no '+' sign; the usual notations allow one.
std::string_view DropPlus(std::string_view S) {
  if (S.size() > 1 && S.front() == '+' && S[1] != '-' && S[1] != '+') S.remove_prefix(1);
  return S;
}

unsigned char Lower(unsigned char C) { return (C >= 'A' && C <= 'Z') ? static_cast<unsigned char>(C + 32) : C; }

}  // namespace

std::optional<double> TryStrToFloat(std::string_view Text) {
  std::string_view S = DropPlus(Trim(Text));
  if (S.empty()) return std::nullopt;
  double Value = 0;
  auto [Ptr, Ec] = std::from_chars(S.data(), S.data() + S.size(), Value, std::chars_format::general);
  if (Ptr != S.data() + S.size()) return std::nullopt;
  if (Ec == std::errc::result_out_of_range) {
    // Underflow reads as a signed zero; overflow is no valid number.
    bool Tiny = S.find("e-") != std::string_view::npos || S.find("E-") != std::string_view::npos;
    if (!Tiny) return std::nullopt;
    return S.front() == '-' ? -0.0 : 0.0;
  }
  if (Ec != std::errc()) return std::nullopt;
  return Value;
}

double StrToFloat(std::string_view Text) {
  if (auto V = TryStrToFloat(Text)) return *V;
  throw EConvertError("'" + std::string(Text) + "' is not a valid floating point value");
}

std::optional<int32_t> TryStrToInt(std::string_view Text) {
  std::string_view S = DropPlus(Trim(Text));
  if (S.empty()) return std::nullopt;
  int32_t Value = 0;
  auto [Ptr, Ec] = std::from_chars(S.data(), S.data() + S.size(), Value, 10);
  if (Ec != std::errc() || Ptr != S.data() + S.size()) return std::nullopt;
  return Value;
}

int32_t StrToInt(std::string_view Text) {
  if (auto V = TryStrToInt(Text)) return *V;
  throw EConvertError("'" + std::string(Text) + "' is not a valid integer value");
}

std::string FormatFixed(double Value, int Decimals) {
  if (std::isnan(Value)) return "NAN";
  if (std::isinf(Value)) return Value < 0 ? "-INF" : "INF";
  if (Decimals < 0) Decimals = 0;
  if (Decimals > 1073) Decimals = 1073;  // beyond that every digit of a double is 0
  // Every double has a terminating decimal expansion of at most 1074
  // fractional digits; printing all of them makes the half decision exact.
  std::array<char, 1500> Buf;
  auto [End, Ec] = std::to_chars(Buf.data(), Buf.data() + Buf.size(), std::fabs(Value),
                                 std::chars_format::fixed, 1074);
  if (Ec != std::errc()) return "NAN";  // cannot happen: the buffer holds any double
  std::string Digits(Buf.data(), End);
  size_t Point = Digits.find('.');
  std::string Int = Digits.substr(0, Point);
  std::string Frac = Digits.substr(Point + 1);
  bool RoundUp = Frac[static_cast<size_t>(Decimals)] >= '5';
  std::string Kept = Int + Frac.substr(0, static_cast<size_t>(Decimals));
  if (RoundUp) {
    int I = static_cast<int>(Kept.size()) - 1;
    while (I >= 0 && Kept[static_cast<size_t>(I)] == '9') Kept[static_cast<size_t>(I--)] = '0';
    if (I < 0) Kept.insert(Kept.begin(), '1');
    else ++Kept[static_cast<size_t>(I)];
  }
  std::string Result = Kept.substr(0, Kept.size() - static_cast<size_t>(Decimals));
  if (Decimals > 0) {
    Result += '.';
    Result.append(Kept, Kept.size() - static_cast<size_t>(Decimals), std::string::npos);
  }
  // No "-0.00": a figure that shows as zero carries no sign.
  bool AllZero = Kept.find_first_not_of('0') == std::string::npos;
  if (Value < 0 && !AllZero) Result.insert(Result.begin(), '-');
  return Result;
}

std::string FloatToShortest(double Value) {
  if (std::isnan(Value)) return "NAN";
  if (std::isinf(Value)) return Value < 0 ? "-INF" : "INF";
  std::array<char, 64> Buf;
  auto [End, Ec] = std::to_chars(Buf.data(), Buf.data() + Buf.size(), Value);
  (void)Ec;
  return std::string(Buf.data(), End);
}

int CompareText(std::string_view A, std::string_view B) {
  size_t N = A.size() < B.size() ? A.size() : B.size();
  for (size_t I = 0; I < N; ++I) {
    unsigned char X = Lower(static_cast<unsigned char>(A[I]));
    unsigned char Y = Lower(static_cast<unsigned char>(B[I]));
    if (X != Y) return X < Y ? -1 : 1;
  }
  if (A.size() == B.size()) return 0;
  return A.size() < B.size() ? -1 : 1;
}

bool SameText(std::string_view A, std::string_view B) {
  return A.size() == B.size() && CompareText(A, B) == 0;
}
