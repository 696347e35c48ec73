// Rows of a dataset in memory, served through the passes interface.
#include "SourceRows.h"

#include <algorithm>

#include "Exceptions.h"

TDatasetRows::TDatasetRows(const TSourceDataset& Source) : FSource(Source) { CollectClassCodes(); }

TDatasetRows::TDatasetRows(TSourceDataset&& Source) : FOwned(std::move(Source)), FSource(*FOwned) {
  CollectClassCodes();
}

void TDatasetRows::CollectClassCodes() {
  FClassCodes.assign(FSource.RowCount(), -1);
  if (FSource.ClassIndex < 0 || static_cast<size_t>(FSource.ClassIndex) >= FSource.Attributes.size()) return;
  for (size_t Row = 0; Row < FSource.RowCount(); ++Row) {
    const double Code = FSource.Cell(Row, static_cast<size_t>(FSource.ClassIndex));
    if (!TSourceDataset::IsMissing(Code)) FClassCodes[Row] = static_cast<int32_t>(Code);
  }
}

bool TDatasetRows::Next(std::span<double> Cells, int32_t& Line) {
  if (FNext >= FSource.RowCount()) return false;
  const size_t Width = FSource.Attributes.size();
  if (Cells.size() != Width) throw Exception(FSource.FileName + ": a row has " + std::to_string(Width) + " cells");
  std::copy_n(FSource.Cells.begin() + static_cast<std::ptrdiff_t>(FNext * Width), Width, Cells.begin());
  Line = FSource.Lines[FNext];
  ++FNext;
  return true;
}
