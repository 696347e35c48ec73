// The engine's one in-place sort (internal to the engine): A[iLo..iHi]
// ascending by Key, a Hoare partition around the key of the middle element,
// then each part in turn. It is not stable, and results depend on the order
// it leaves equal keys in (pruning's attribute list, the float records
// behind the entropy), so both users share exactly this procedure.
//
// A bound outside A raises EListError "List index out of bounds (i)"; an
// empty range (iHi < iLo) does nothing. The scans stop at the range's ends,
// so a key that compares false with everything (NaN) cannot lead them out.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <utility>

#include "Exceptions.h"

template <class T, class KeyFn>
void SortRangeByKey(std::span<T> A, int32_t iLo, int32_t iHi, KeyFn Key) {
  if (iHi < iLo) return;
  if (iLo < 0) throw EListError("List index out of bounds (" + std::to_string(iLo) + ")");
  if (static_cast<size_t>(iHi) >= A.size()) throw EListError("List index out of bounds (" + std::to_string(iHi) + ")");
  int32_t Lo = iLo;
  int32_t Hi = iHi;
  const double Pivot = Key(A[static_cast<size_t>(Lo + (Hi - Lo) / 2)]);
  do {
    while (Lo < iHi && Key(A[static_cast<size_t>(Lo)]) < Pivot) ++Lo;
    while (Hi > iLo && Key(A[static_cast<size_t>(Hi)]) > Pivot) --Hi;
    if (Lo <= Hi) {
      std::swap(A[static_cast<size_t>(Lo)], A[static_cast<size_t>(Hi)]);
      ++Lo;
      --Hi;
    }
  } while (Lo <= Hi);
  if (Hi > iLo) SortRangeByKey(A, iLo, Hi, Key);
  if (Lo < iHi) SortRangeByKey(A, Lo, iHi, Key);
}
