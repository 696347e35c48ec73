// Civil dates from day numbers and back (proleptic Gregorian calendar).
#include "DateTimeText.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

#include "Convert.h"
#include "Exceptions.h"

namespace {

// Days from 1970-01-01 to 1899-12-30 are -25569.
constexpr int64_t UnixToDayZero = 25569;

int64_t DaysFromCivil(int64_t Y, unsigned M, unsigned D) {
  Y -= M <= 2;
  const int64_t Era = (Y >= 0 ? Y : Y - 399) / 400;
  const unsigned Yoe = static_cast<unsigned>(Y - Era * 400);
  const unsigned Doy = (153 * (M + (M > 2 ? -3 : 9)) + 2) / 5 + D - 1;
  const unsigned Doe = Yoe * 365 + Yoe / 4 - Yoe / 100 + Doy;
  return Era * 146097 + static_cast<int64_t>(Doe) - 719468;
}

void CivilFromDays(int64_t Z, int64_t& Y, unsigned& M, unsigned& D) {
  Z += 719468;
  const int64_t Era = (Z >= 0 ? Z : Z - 146096) / 146097;
  const unsigned Doe = static_cast<unsigned>(Z - Era * 146097);
  const unsigned Yoe = (Doe - Doe / 1460 + Doe / 36524 - Doe / 146096) / 365;
  const unsigned Doy = Doe - (365 * Yoe + Yoe / 4 - Yoe / 100);
  const unsigned Mp = (5 * Doy + 2) / 153;
  D = Doy - (153 * Mp + 2) / 5 + 1;
  M = Mp < 10 ? Mp + 3 : Mp - 9;
  Y = static_cast<int64_t>(Yoe) + Era * 400 + (M <= 2);
}

// Whole milliseconds of the value, so 0.9999999 of a second does not print as :60.
int64_t TotalMs(double Days) { return std::llround(Days * 86400000.0); }

std::string FormatDate(int64_t Day) {
  int64_t Y;
  unsigned M, D;
  CivilFromDays(Day - UnixToDayZero, Y, M, D);
  char Buffer[32];
  std::snprintf(Buffer, sizeof Buffer, "%04lld-%02u-%02u", static_cast<long long>(Y), M, D);
  return Buffer;
}

std::string FormatTime(int64_t MsOfDay) {
  const int64_t S = MsOfDay / 1000;
  char Buffer[32];
  std::snprintf(Buffer, sizeof Buffer, "%02lld:%02lld:%02lld", static_cast<long long>(S / 3600),
                static_cast<long long>(S / 60 % 60), static_cast<long long>(S % 60));
  return Buffer;
}

// Day numbers whose milliseconds fit in 64 bits with room to spare (some
// 270 million years either way). A stored value beyond them, an infinity or
// NaN is no point in time; counting its milliseconds would overflow.
constexpr double MaxDays = 1e11;

void Split(double Days, int64_t& Day, int64_t& Ms) {
  if (!(std::fabs(Days) <= MaxDays))
    throw EConvertError("Date and time value " + FloatToShortest(Days) + " is out of range");
  const int64_t Total = TotalMs(Days);
  Day = Total >= 0 ? Total / 86400000 : -((-Total + 86399999) / 86400000);
  Ms = Total - Day * 86400000;
}

bool Digits(std::string_view T, size_t Pos, size_t Count, int& Value) {
  if (Pos + Count > T.size()) return false;
  Value = 0;
  for (size_t i = Pos; i < Pos + Count; ++i) {
    if (T[i] < '0' || T[i] > '9') return false;
    Value = Value * 10 + (T[i] - '0');
  }
  return true;
}

std::optional<double> ParseTime(std::string_view T) {
  int H, M, S = 0;
  if (!Digits(T, 0, 2, H) || T.size() < 5 || T[2] != ':' || !Digits(T, 3, 2, M)) return std::nullopt;
  double Fraction = 0;
  if (T.size() > 5) {
    if (T[5] != ':' || !Digits(T, 6, 2, S)) return std::nullopt;
    if (T.size() > 8) {
      if (T[8] != '.' || T.size() == 9) return std::nullopt;
      double Scale = 0.1;
      for (size_t i = 9; i < T.size(); ++i, Scale /= 10) {
        if (T[i] < '0' || T[i] > '9') return std::nullopt;
        Fraction += (T[i] - '0') * Scale;
      }
    }
  }
  if (H > 23 || M > 59 || S > 59) return std::nullopt;
  return ((H * 60 + M) * 60 + S + Fraction) / 86400.0;
}

}  // namespace

std::string DateText(double Days) {
  int64_t Day, Ms;
  Split(Days, Day, Ms);
  return FormatDate(Day);
}

std::string TimeText(double Days) {
  int64_t Day, Ms;
  Split(Days, Day, Ms);
  return FormatTime(Ms);
}

std::string DateTimeText(double Days) {
  int64_t Day, Ms;
  Split(Days, Day, Ms);
  return FormatDate(Day) + " " + FormatTime(Ms);
}

std::optional<double> ParseDateTimeText(std::string_view T) {
  if (T.size() >= 3 && T[2] == ':') return ParseTime(T);
  int Y, M, D;
  if (!Digits(T, 0, 4, Y) || T.size() < 10 || T[4] != '-' || !Digits(T, 5, 2, M) || T[7] != '-' ||
      !Digits(T, 8, 2, D) || M < 1 || M > 12 || D < 1 || D > 31)
    return std::nullopt;
  const double Day = static_cast<double>(DaysFromCivil(Y, M, D) + UnixToDayZero);
  if (T.size() == 10) return Day;
  if (T[10] != ' ' && T[10] != 'T') return std::nullopt;
  const auto Time = ParseTime(T.substr(11));
  if (!Time) return std::nullopt;
  return Day + *Time;
}
