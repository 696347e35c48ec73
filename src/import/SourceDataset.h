// A classification dataset as read from a text file (ARFF or CSV), before it
// becomes a table: attribute declarations and the cells of every row.
//
// Nominal cells hold the zero-based position of the value in the attribute's
// declared list; numeric cells hold the number; a missing cell is NaN. The
// readers never produce NaN for a present value (they refuse "nan" texts), so
// NaN is unambiguous.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

struct TSourceAttribute {
  std::string Name;
  bool Nominal = false;
  std::vector<std::string> Values;  // nominal: declared values in order
  int32_t Line = 0;                 // line of the declaration (ARFF) or header (CSV)
};

struct TSourceDataset {
  std::string FileName;  // as given to the reader; prefixes every message
  std::string Relation;  // ARFF relation name; CSV: empty
  std::vector<TSourceAttribute> Attributes;
  int32_t ClassIndex = -1;   // position in Attributes; the readers pick the last one
  std::vector<double> Cells;  // row-major, Attributes.size() per row
  std::vector<int32_t> Lines; // source line of each row, for messages

  static constexpr double Missing = std::numeric_limits<double>::quiet_NaN();
  static bool IsMissing(double Cell) { return std::isnan(Cell); }

  size_t RowCount() const { return Lines.size(); }
  double Cell(size_t Row, size_t Attribute) const {
    return Cells[Row * Attributes.size() + Attribute];
  }

  // Makes the attribute called Name the class: an exact match first, else the
  // one match that ignores letter case. Throws Exception "<file>: no attribute
  // 'x'" or "<file>: attribute name 'x' is ambiguous".
  void SelectClass(const std::string& Name);
};
