// TDataSetTableModel: a read-only table model over a TDataSet, for the grids
// of the demo's pages.
//
// Columns are the dataset's fields (field names as headings), rows the rows
// the dataset presents (the filter applied), values as the fields' text with
// nulls empty. The model never copies the table: it reads rows on demand,
// BlockRows at a time through TDataSet::ReadRows (which leaves the dataset's
// current row alone and fires no AfterScroll), and keeps at most MaxBlocks
// blocks, dropping the one used longest ago. So a table of a million rows
// opens as fast as a small one and costs the same memory.
//
// The model does not watch the dataset: whoever opens, closes or filters it
// calls Refresh, and tells the model the current row (SetCurrentRow) for the
// row indicator in the vertical heading.
#pragma once

#include <QAbstractTableModel>
#include <QStyledItemDelegate>
#include <QString>
#include <cstdint>
#include <vector>

class TDataSet;

class TDataSetTableModel : public QAbstractTableModel {
  Q_OBJECT
public:
  static constexpr int BlockRows = 64;
  static constexpr int MaxBlocks = 16;

  explicit TDataSetTableModel(QObject* Parent = nullptr);
  ~TDataSetTableModel() override;

  TDataSet* DataSet() const { return FDataSet; }
  // Shows Value (may be null or closed); the dataset must outlive the model
  // or be replaced first.
  void SetDataSet(TDataSet* Value);
  // Re-reads the row count and the fields and drops every cached row: after
  // the dataset was opened, closed or filtered.
  void Refresh();

  // The row shown with the indicator, from 0; -1 for none.
  int CurrentRow() const { return FCurrentRow; }
  void SetCurrentRow(int Row);

  // Rows held in the cache now (at most BlockRows x MaxBlocks).
  int CachedRows() const;

  int rowCount(const QModelIndex& Parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& Parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& Index, int Role = Qt::DisplayRole) const override;
  QVariant headerData(int Section, Qt::Orientation Orientation, int Role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& Index) const override;

private:
  struct TBlock {
    int FirstRow = -1;
    uint64_t LastUse = 0;
    std::vector<QString> Texts;  // row-major, columnCount texts a row
  };
  struct TColumn {
    QString Name;
    bool Numeric = false;
  };

  const TBlock& BlockOf(int Row) const;
  void ReadBlock(TBlock& Block, int FirstRow) const;

  TDataSet* FDataSet = nullptr;
  int FRowCount = 0;
  std::vector<TColumn> FColumns;
  int FCurrentRow = -1;
  mutable std::vector<TBlock> FBlocks;
  mutable uint64_t FUseCounter = 0;
  mutable bool FReadErrorShown = false;
};

// Paints a cell's text straight onto a grid of plain texts (selection
// colour, text, alignment; a text wider than its cell is cut off). The
// style's full item painting handles icons, check boxes and rich elision
// that such a grid never shows, at several times the cost per cell, and a
// grid over a large table repaints whole pages as it scrolls.
class TPlainCellDelegate : public QStyledItemDelegate {
  Q_OBJECT
public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* Painter, const QStyleOptionViewItem& Option, const QModelIndex& Index) const override;
};
