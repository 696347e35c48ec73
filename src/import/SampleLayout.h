// The sample tables and the figures the programs that work on them share.
// The importer writes this layout; the binding's sample settings ignore its
// bookkeeping fields; the cross test splits by its split fields within its
// limits; the benchmark measurement, `pellory` and the demo pages offer the
// same limits and defaults. Kept in one place so that none of them drifts.
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

// The cross test over the sample tables.
struct TCrossTestLimits {
  // Splits per table; 1 learns and tests all rows.
  static constexpr int32_t MinRuns = 1;
  static constexpr int32_t MaxRuns = 30;
  static constexpr int32_t DefaultRuns = 1;
  // Neighbours of k-NN.
  static constexpr int32_t MinNeighbors = 1;
  static constexpr int32_t MaxNeighbors = 50;
  static constexpr int32_t DefaultNeighbors = 10;
  // A fixture of the sample database, not data: never tested.
  static constexpr const char* SkippedTable = "Test1.DB";
  // Large enough that pruning it would dominate the run: never pruned.
  static constexpr const char* UnprunedTable = "SATI.DB";
};

// The benchmark page's edits: the text each starts with, and the text that
// replaces a value the page refuses.
struct TBenchmarkDefaults {
  static constexpr int32_t Classes = 20;
  static constexpr int32_t DiscreteAttributes = 15;
  static constexpr int32_t FloatAttributes = 15;
  static constexpr int32_t LearnCases = 200000;
  static constexpr int32_t TestCases = 20000;

  static constexpr int32_t ReplacementClasses = 50;
  static constexpr int32_t ReplacementDiscreteAttributes = 25;
  static constexpr int32_t ReplacementFloatAttributes = 25;
  static constexpr int32_t ReplacementLearnCases = 10000;
  static constexpr int32_t ReplacementTestCases = 10000;
};
