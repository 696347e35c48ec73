// The split fields of a sample table: for each of 32 splits, which rows form
// the test part (about one third) and which the learning part.
//
// Each class contributes round(n/3) of its n rows to the test part, so every
// split keeps the class shares of the whole table. Rows are drawn by a
// Fisher-Yates shuffle driven by std::mt19937 seeded with FirstSeed + split;
// the engine's output is fixed by the C++ standard and the shuffle is our own,
// so the same table gets the same splits on every platform and compiler.
// A table of at least two rows always has a row in each part.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "SampleLayout.h"

class TSampleSplits {
public:
  static constexpr int32_t Count = TSampleLayout::SplitCount;
  static constexpr uint32_t FirstSeed = 20261207;

  // ClassCodes: the zero-based class of every row, each below ClassCount.
  TSampleSplits(std::span<const int32_t> ClassCodes, int32_t ClassCount);

  bool IsTest(int32_t Split, size_t Row) const {
    return FTest[static_cast<size_t>(Split) * FRows + Row] != 0;
  }
  size_t Rows() const { return FRows; }

private:
  size_t FRows;
  std::vector<uint8_t> FTest;  // split-major
};
