// The layout of the sample tables. The importer writes it; the binding's
// sample settings ignore its bookkeeping fields; the cross test splits by
// its split fields. Kept in one place so that none of them drifts.
//
// A sample table's fields, in this order:
//   "ID"                 ftInteger   1..n in source order
//   "Class"              ftSmallint  one-based class code
//   "Value"              ftFloat     always 0, not an attribute
//   "Split0".."Split31"  ftSmallint  1 = test part, 0 = learning part
//   then one field per attribute; MissingCode marks a missing value.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TSampleLayout {
  static constexpr const char* IdField = "ID";
  static constexpr const char* ClassField = "Class";
  static constexpr const char* ValueField = "Value";
  static constexpr int32_t SplitCount = 32;
  // The marker of a missing value, discrete and float alike, and its text.
  static constexpr int32_t MissingCode = 999;
  static constexpr const char* MissingText = "999";

  // "Split0" .. "Split31".
  static std::string SplitField(int32_t Split);
  // ID, Class, Value, Split0..Split31: the names an attribute must not take.
  static std::vector<std::string> LayoutFields();
  // ID, Value, Split0..Split31: every layout field but the class, which a
  // binding over a sample table leaves out of the attributes.
  static std::vector<std::string> IgnoredFields();
};
