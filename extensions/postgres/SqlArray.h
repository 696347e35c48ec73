// A one-dimensional SQL array of int4 or float8 as the server lays it out,
// read without copying: the non-null elements lie side by side, and a null
// bitmap (bit i set: element i is present) exists only when some element is
// null. Filling a record from it substitutes the classifier's missing value
// for each null, so a NULL element and the table's missing marker learn the
// same.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>

template <class T> struct TSqlArray {
  const T* Values = nullptr;      // the non-null elements, in order
  const uint8_t* Nulls = nullptr;  // null bitmap, or nullptr when none is null
  int32_t Count = 0;              // elements, nulls included

  // Writes the Count elements into Record (which holds exactly Count),
  // Missing where an element is null.
  void Fill(std::span<T> Record, T Missing) const {
    if (!Nulls) {
      std::copy_n(Values, Count, Record.begin());
      return;
    }
    const T* Next = Values;
    for (int32_t I = 0; I < Count; ++I)
      Record[static_cast<size_t>(I)] = (Nulls[I / 8] >> (I % 8)) & 1 ? *Next++ : Missing;
  }
};
