// Facts about the Paradox file layout that the reader and the writer share.
//
// pxlib creates and parses the header and the field descriptions; the data
// blocks are streamed here because pxlib's own record calls seek and rewrite
// the header for every row (a few thousand rows per second on writing).
// Layout: a header of HeaderSize bytes, then blocks of BlockKB * 1024 bytes,
// block n (1-based) at HeaderSize + (n - 1) * BlockSize. Each block starts
// with next block (u16), previous block (u16) and the byte offset of its last
// record (i16, (records - 1) * RecordSize, negative when empty), all little
// endian, followed by the records.
#pragma once

#include <cstdint>
#include <cstring>

namespace paradox {

inline constexpr int BlockHeaderSize = 6;
inline constexpr int MaxBlocks = 65535;
// Header offsets this layer writes after streaming the blocks.
inline constexpr int HeaderNumRecords = 0x06;  // u32
inline constexpr int HeaderNextBlock = 0x0A;   // u16, blocks in use
inline constexpr int HeaderFileBlocks = 0x0C;  // u16
inline constexpr int HeaderFirstBlock = 0x0E;  // u16
inline constexpr int HeaderLastBlock = 0x10;   // u16
// Days from 0001-01-01 (Paradox day 1) to 1899-12-30 (day 0 of a date value).
inline constexpr double DateDelta = 693594.0;
inline constexpr double MsPerDay = 86400000.0;

inline uint16_t GetU16LE(const unsigned char* P) { return static_cast<uint16_t>(P[0] | (P[1] << 8)); }
inline void PutU16LE(unsigned char* P, uint32_t V) {
  P[0] = static_cast<unsigned char>(V);
  P[1] = static_cast<unsigned char>(V >> 8);
}
inline void PutU32LE(unsigned char* P, uint32_t V) {
  for (int i = 0; i < 4; ++i) P[i] = static_cast<unsigned char>(V >> (8 * i));
}

inline bool AllZero(const unsigned char* P, int Len) {
  for (int i = 0; i < Len; ++i)
    if (P[i]) return false;
  return true;
}

// Integers are big endian with the sign bit flipped.
inline int32_t DecodeShort(const unsigned char* P) {
  return static_cast<int16_t>(static_cast<uint16_t>(((P[0] << 8) | P[1]) ^ 0x8000));
}
inline int32_t DecodeLong(const unsigned char* P) {
  const uint32_t U = (uint32_t(P[0]) << 24) | (uint32_t(P[1]) << 16) | (uint32_t(P[2]) << 8) | P[3];
  return static_cast<int32_t>(U ^ 0x80000000u);
}
// Doubles are big endian; positive ones have the sign bit flipped, negative
// ones every bit inverted.
inline double DecodeDouble(const unsigned char* P) {
  uint64_t U = 0;
  for (int i = 0; i < 8; ++i) U = (U << 8) | P[i];
  if (U & 0x8000000000000000ull) U ^= 0x8000000000000000ull;
  else U = ~U;
  double D;
  std::memcpy(&D, &U, sizeof D);
  return D;
}

}  // namespace paradox
