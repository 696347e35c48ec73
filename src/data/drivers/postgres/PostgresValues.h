// PostgreSQL column types and their binary wire values (network byte
// order), as the dataset layer sees them.
//
// Type map: smallint -> ftSmallint, integer -> ftInteger, bigint ->
// ftLargeint, real and double precision -> ftFloat, numeric -> ftBCD,
// boolean -> ftBoolean, text/varchar -> ftString (varchar(n) with size n),
// char(n) -> ftFixedChar, date -> ftDate, time -> ftTime, timestamp ->
// ftDateTime. Every other type is read as its text (ftString): the query
// casts it to text. Dates and times become the layer's day numbers (days
// since 1899-12-30); infinite dates read as +-infinity.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "FieldType.h"

enum class TPgKind {
  pkInt2, pkInt4, pkInt8, pkFloat4, pkFloat8, pkNumeric, pkBool, pkDate, pkTime, pkTimestamp, pkText
};

struct TPgColumnType {
  TFieldType DataType = ftString;
  int32_t Size = 0;
  TPgKind Kind = TPgKind::pkText;
  bool CastToText = false;  // a type the layer does not know: read as text
};

// The category of a column of type TypeOid with modifier TypeMod
// (pg_attribute.atttypmod).
TPgColumnType PostgresColumnType(uint32_t TypeOid, int32_t TypeMod);

// Decodes a binary value of Kind. Numbers: false for a text kind, and raises
// EConvertError for a malformed value. Text: the value as the layer shows it.
bool PostgresNumber(TPgKind Kind, std::string_view Bytes, double& Value);
bool PostgresInteger(TPgKind Kind, std::string_view Bytes, int64_t& Value);
void PostgresText(TPgKind Kind, std::string_view Bytes, std::string& Value);

// Big-endian reading and writing.
inline uint16_t PgUint16(const char* P) {
  const auto* U = reinterpret_cast<const unsigned char*>(P);
  return static_cast<uint16_t>((U[0] << 8) | U[1]);
}
inline uint32_t PgUint32(const char* P) {
  const auto* U = reinterpret_cast<const unsigned char*>(P);
  return (uint32_t(U[0]) << 24) | (uint32_t(U[1]) << 16) | (uint32_t(U[2]) << 8) | uint32_t(U[3]);
}
inline uint64_t PgUint64(const char* P) { return (uint64_t(PgUint32(P)) << 32) | PgUint32(P + 4); }
inline void PutPgUint16(std::string& Out, uint16_t V) {
  Out += static_cast<char>(V >> 8);
  Out += static_cast<char>(V & 0xff);
}
inline void PutPgUint32(std::string& Out, uint32_t V) {
  PutPgUint16(Out, static_cast<uint16_t>(V >> 16));
  PutPgUint16(Out, static_cast<uint16_t>(V & 0xffff));
}
inline void PutPgUint64(std::string& Out, uint64_t V) {
  PutPgUint32(Out, static_cast<uint32_t>(V >> 32));
  PutPgUint32(Out, static_cast<uint32_t>(V & 0xffffffffu));
}

// Days from the layer's day 0 (1899-12-30) to PostgreSQL's (2000-01-01).
inline constexpr int32_t PgEpochDays = 36526;
inline constexpr double PgMicrosPerDay = 86400e6;
