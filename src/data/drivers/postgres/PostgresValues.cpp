// Binary values of the PostgreSQL types the layer knows. A value whose length
// does not fit its type is a conversion error, never a read past its end.
#include "PostgresValues.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <limits>

#include "Convert.h"
#include "DateTimeText.h"
#include "Exceptions.h"

namespace {

// Type oids of pg_type.
constexpr uint32_t BoolOid = 16, Int8Oid = 20, Int2Oid = 21, Int4Oid = 23, TextOid = 25, Float4Oid = 700,
                   Float8Oid = 701, BpcharOid = 1042, VarcharOid = 1043, DateOid = 1082, TimeOid = 1083,
                   TimestampOid = 1114, NumericOid = 1700;

[[noreturn]] void Malformed(std::string_view What) {
  throw EConvertError("Malformed " + std::string(What) + " value received from the server");
}

// The big-endian integer of Width bytes (1, 2, 4 or 8), sign-extended; a
// value of another length is malformed.
int64_t FixedInteger(std::string_view Bytes, size_t Width, std::string_view What) {
  if (Bytes.size() != Width) Malformed(What);
  switch (Width) {
    case 1: return static_cast<int8_t>(Bytes[0]);
    case 2: return static_cast<int16_t>(PgUint16(Bytes.data()));
    case 4: return static_cast<int32_t>(PgUint32(Bytes.data()));
    default: return static_cast<int64_t>(PgUint64(Bytes.data()));
  }
}

// numeric: digit count, weight (of the first base-10000 digit), sign, display
// scale, then the digits.
std::string NumericText(std::string_view Bytes) {
  if (Bytes.size() < 8) Malformed("numeric");
  const int32_t Count = static_cast<int16_t>(PgUint16(Bytes.data()));
  const int32_t Weight = static_cast<int16_t>(PgUint16(Bytes.data() + 2));
  const uint16_t Sign = PgUint16(Bytes.data() + 4);
  const int32_t Scale = static_cast<int16_t>(PgUint16(Bytes.data() + 6));
  if (Count < 0 || Scale < 0 || Bytes.size() != 8 + 2 * static_cast<size_t>(Count)) Malformed("numeric");
  if (Sign == 0xC000) return "NaN";
  if (Sign == 0xD000) return "Infinity";
  if (Sign == 0xF000) return "-Infinity";
  if (Sign != 0x0000 && Sign != 0x4000) Malformed("numeric");
  const auto Digit = [&](int32_t I) -> int32_t {
    if (I < 0 || I >= Count) return 0;
    const int32_t D = PgUint16(Bytes.data() + 8 + 2 * I);
    if (D > 9999) Malformed("numeric");
    return D;
  };
  std::string Text = Sign == 0x4000 ? "-" : "";
  // Integer part: base-10000 digits 0..Weight.
  if (Weight < 0) {
    Text += '0';
  } else {
    for (int32_t I = 0; I <= Weight; ++I) {
      const std::string Group = std::to_string(Digit(I));
      Text += I == 0 ? Group : std::string(4 - Group.size(), '0') + Group;
    }
  }
  if (Scale > 0) {
    Text += '.';
    std::string Fraction;
    for (int32_t I = Weight + 1; static_cast<int32_t>(Fraction.size()) < Scale; ++I) {
      const std::string Group = std::to_string(Digit(I));
      Fraction += std::string(4 - Group.size(), '0') + Group;
    }
    Text += Fraction.substr(0, static_cast<size_t>(Scale));
  }
  return Text;
}

double DayNumberOfDate(int32_t PgDays) {
  if (PgDays == std::numeric_limits<int32_t>::max()) return std::numeric_limits<double>::infinity();
  if (PgDays == std::numeric_limits<int32_t>::min()) return -std::numeric_limits<double>::infinity();
  return static_cast<double>(PgDays) + PgEpochDays;
}

double DayNumberOfTimestamp(int64_t Micros) {
  if (Micros == std::numeric_limits<int64_t>::max()) return std::numeric_limits<double>::infinity();
  if (Micros == std::numeric_limits<int64_t>::min()) return -std::numeric_limits<double>::infinity();
  // Whole days and the rest apart, so the fraction keeps its precision.
  const int64_t Days = Micros / 86400000000LL - (Micros % 86400000000LL < 0 ? 1 : 0);
  const int64_t Rest = Micros - Days * 86400000000LL;
  return static_cast<double>(Days + PgEpochDays) + static_cast<double>(Rest) / PgMicrosPerDay;
}

}  // namespace

TPgColumnType PostgresColumnType(uint32_t TypeOid, int32_t TypeMod) {
  switch (TypeOid) {
    case Int2Oid: return {ftSmallint, 0, TPgKind::pkInt2};
    case Int4Oid: return {ftInteger, 0, TPgKind::pkInt4};
    case Int8Oid: return {ftLargeint, 0, TPgKind::pkInt8};
    case Float4Oid: return {ftFloat, 0, TPgKind::pkFloat4};
    case Float8Oid: return {ftFloat, 0, TPgKind::pkFloat8};
    case NumericOid: return {ftBCD, 0, TPgKind::pkNumeric};
    case BoolOid: return {ftBoolean, 0, TPgKind::pkBool};
    case TextOid: return {ftString, 0, TPgKind::pkText};
    case VarcharOid: return {ftString, TypeMod > 4 ? TypeMod - 4 : 0, TPgKind::pkText};
    case BpcharOid: return {ftFixedChar, TypeMod > 4 ? TypeMod - 4 : 0, TPgKind::pkText};
    case DateOid: return {ftDate, 0, TPgKind::pkDate};
    case TimeOid: return {ftTime, 0, TPgKind::pkTime};
    case TimestampOid: return {ftDateTime, 0, TPgKind::pkTimestamp};
    default: return {ftString, 0, TPgKind::pkText, true};
  }
}

bool PostgresNumber(TPgKind Kind, std::string_view Bytes, double& Value) {
  switch (Kind) {
    case TPgKind::pkInt2: Value = static_cast<double>(FixedInteger(Bytes, 2, "smallint")); return true;
    case TPgKind::pkInt4: Value = static_cast<double>(FixedInteger(Bytes, 4, "integer")); return true;
    case TPgKind::pkInt8: Value = static_cast<double>(FixedInteger(Bytes, 8, "bigint")); return true;
    case TPgKind::pkBool: Value = FixedInteger(Bytes, 1, "boolean") ? 1.0 : 0.0; return true;
    case TPgKind::pkFloat4:
      Value = std::bit_cast<float>(static_cast<uint32_t>(FixedInteger(Bytes, 4, "real")));
      return true;
    case TPgKind::pkFloat8:
      Value = std::bit_cast<double>(FixedInteger(Bytes, 8, "double precision"));
      return true;
    case TPgKind::pkNumeric: {
      const std::string Text = NumericText(Bytes);
      constexpr double Infinity = std::numeric_limits<double>::infinity();
      if (Text == "NaN") Value = std::numeric_limits<double>::quiet_NaN();
      else if (Text == "Infinity" || Text == "-Infinity") Value = Text[0] == '-' ? -Infinity : Infinity;
      else Value = StrToFloat(Text);
      return true;
    }
    case TPgKind::pkDate:
      Value = DayNumberOfDate(static_cast<int32_t>(FixedInteger(Bytes, 4, "date")));
      return true;
    case TPgKind::pkTime: Value = static_cast<double>(FixedInteger(Bytes, 8, "time")) / PgMicrosPerDay; return true;
    case TPgKind::pkTimestamp: Value = DayNumberOfTimestamp(FixedInteger(Bytes, 8, "timestamp")); return true;
    case TPgKind::pkText: return false;
  }
  return false;
}

bool PostgresInteger(TPgKind Kind, std::string_view Bytes, int64_t& Value) {
  switch (Kind) {
    case TPgKind::pkInt2: case TPgKind::pkInt4: case TPgKind::pkBool: {
      double D = 0;
      PostgresNumber(Kind, Bytes, D);
      Value = static_cast<int64_t>(D);
      return true;
    }
    case TPgKind::pkInt8: Value = FixedInteger(Bytes, 8, "bigint"); return true;
    case TPgKind::pkText: return false;
    default: {
      double D = 0;
      PostgresNumber(Kind, Bytes, D);
      const double R = std::round(D);
      if (!(R >= -9.2e18 && R <= 9.2e18))
        throw EConvertError("'" + FloatToShortest(D) + "' is not a valid integer value");
      Value = static_cast<int64_t>(R);
      return true;
    }
  }
}

void PostgresText(TPgKind Kind, std::string_view Bytes, std::string& Value) {
  double D = 0;
  switch (Kind) {
    case TPgKind::pkText: Value.assign(Bytes); return;
    case TPgKind::pkNumeric: Value = NumericText(Bytes); return;
    case TPgKind::pkBool: PostgresNumber(Kind, Bytes, D); Value = D != 0 ? "True" : "False"; return;
    case TPgKind::pkInt2: case TPgKind::pkInt4: case TPgKind::pkInt8: {
      int64_t I = 0;
      PostgresInteger(Kind, Bytes, I);
      Value = std::to_string(I);
      return;
    }
    case TPgKind::pkFloat4: {
      // The shortest text of the 32-bit value, as the server shows it.
      const auto Single = std::bit_cast<float>(static_cast<uint32_t>(FixedInteger(Bytes, 4, "real")));
      char Text[32];
      const auto End = std::to_chars(Text, Text + sizeof Text, Single).ptr;
      Value.assign(Text, End);
      return;
    }
    case TPgKind::pkFloat8: PostgresNumber(Kind, Bytes, D); Value = FloatToShortest(D); return;
    case TPgKind::pkDate: case TPgKind::pkTime: case TPgKind::pkTimestamp:
      PostgresNumber(Kind, Bytes, D);
      if (std::isinf(D)) Value = D > 0 ? "infinity" : "-infinity";
      else Value = Kind == TPgKind::pkDate ? DateText(D) : Kind == TPgKind::pkTime ? TimeText(D) : DateTimeText(D);
      return;
  }
}
