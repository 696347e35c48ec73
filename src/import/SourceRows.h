// A source dataset read in passes, so that importing a large file holds the
// attribute declarations, the distinct nominal values and one class code per
// row, never the rows themselves.
//
// What a first pass learns is there once the source is made: the attributes
// with their kinds and nominal values (Header), and the class code of every
// row. The rows come afterwards, one at a time, as often as asked: Rewind,
// then Next until it returns false. Cells are coded as in TSourceDataset
// (nominal: zero-based position in the attribute's values; numeric: the
// number; missing: NaN).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "SourceDataset.h"

class TSourceRows {
public:
  virtual ~TSourceRows() = default;

  // FileName, Relation, Attributes and ClassIndex; Cells and Lines are not
  // part of the contract (a streamed source leaves them empty).
  virtual const TSourceDataset& Header() const = 0;
  // The zero-based class code of every row in source order; -1 where the
  // class value is missing.
  std::span<const int32_t> ClassCodes() const { return FClassCodes; }
  size_t RowCount() const { return FClassCodes.size(); }

  // Back to before the first row.
  virtual void Rewind() = 0;
  // The next row's cells (Cells has one per attribute) and its source line;
  // false after the last row. A source that no longer matches what the
  // first pass found raises Exception "<file>:<line>: <what>".
  virtual bool Next(std::span<double> Cells, int32_t& Line) = 0;

protected:
  std::vector<int32_t> FClassCodes;
};

// The rows of a dataset already in memory.
class TDatasetRows : public TSourceRows {
public:
  // Source must outlive this object.
  explicit TDatasetRows(const TSourceDataset& Source);
  // Takes the dataset over.
  explicit TDatasetRows(TSourceDataset&& Source);
  TDatasetRows(const TDatasetRows&) = delete;
  TDatasetRows& operator=(const TDatasetRows&) = delete;

  const TSourceDataset& Header() const override { return FSource; }
  void Rewind() override { FNext = 0; }
  bool Next(std::span<double> Cells, int32_t& Line) override;

private:
  void CollectClassCodes();

  std::optional<TSourceDataset> FOwned;
  const TSourceDataset& FSource;
  size_t FNext = 0;
};
