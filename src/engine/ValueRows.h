// TValueRows<T>: a kept table of one entry per class for each value code of
// each discrete attribute, in the layout the response loops read. Attribute
// i has Widths[i] rows; value code v of it is row Row(i, v), and a row holds
// the classes' entries side by side, so a response takes one value's entries
// for all classes in one sweep. Spare rows follow the attributes' for the
// caller's own use. What an entry holds, how many codes an attribute keeps
// (the cap) and when entries go stale is the caller's to decide.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

template <class T>
class TValueRows {
public:
  // Entries a layout of Widths, Spare and Classes would hold.
  static size_t EntriesFor(std::span<const int32_t> Widths, size_t Spare, size_t Classes) {
    size_t Rows = Spare;
    for (const int32_t Width : Widths) Rows += static_cast<size_t>(Width);
    return Rows * Classes;
  }

  // Lays the rows out for Widths (each >= 0), Spare and Classes and returns
  // true, the entries then undefined; returns false, entries kept, when the
  // layout is already that.
  bool LayOut(std::span<const int32_t> Widths, size_t Spare, size_t Classes) {
    if (FClasses == Classes && FSpare == Spare && FWidths.size() == Widths.size() && !FEntries.empty() &&
        std::equal(Widths.begin(), Widths.end(), FWidths.begin()))
      return false;
    FClasses = Classes;
    FSpare = Spare;
    FWidths.assign(Widths.begin(), Widths.end());
    FFirstRow.resize(Widths.size());
    FRows = 0;
    for (size_t i = 0; i < Widths.size(); ++i) {
      FFirstRow[i] = FRows;
      FRows += static_cast<size_t>(Widths[i]);
    }
    FRows += Spare;
    FEntries.resize(FRows * Classes);
    return true;
  }

  int32_t Width(size_t Attribute) const { return FWidths[Attribute]; }
  size_t RowCount() const { return FRows; }
  // Value code Value (0 <= Value < Width) of Attribute.
  size_t Row(size_t Attribute, int32_t Value) const { return FFirstRow[Attribute] + static_cast<size_t>(Value); }
  // The first spare row.
  size_t SpareRow() const { return FRows - FSpare; }
  T* Entries(size_t Row) { return FEntries.data() + Row * FClasses; }
  const T* Entries(size_t Row) const { return FEntries.data() + Row * FClasses; }

private:
  size_t FClasses = 0;
  size_t FSpare = 0;
  size_t FRows = 0;
  std::vector<int32_t> FWidths;
  std::vector<size_t> FFirstRow;
  std::vector<T> FEntries;
};
