// The dataset grid model; see DataSetTableModel.h.
#include "DataSetTableModel.h"

#include <QMetaObject>
#include <QPainter>
#include <algorithm>
#include <exception>

#include "Cursor.h"
#include "DataSet.h"
#include "DemoApplication.h"
#include "Exceptions.h"

TDataSetTableModel::TDataSetTableModel(QObject* Parent) : QAbstractTableModel(Parent) {}

TDataSetTableModel::~TDataSetTableModel() = default;

void TDataSetTableModel::SetDataSet(TDataSet* Value) {
  FDataSet = Value;
  Refresh();
}

void TDataSetTableModel::Refresh() {
  beginResetModel();
  FBlocks.clear();
  FColumns.clear();
  FRowCount = 0;
  FCurrentRow = -1;
  FReadErrorShown = false;
  if (FDataSet && FDataSet->Active()) {
    FRowCount = FDataSet->RecordCount();
    for (int32_t I = 0; I < FDataSet->FieldCount(); ++I) {
      const TField* Field = FDataSet->Fields(I);
      FColumns.push_back({QString::fromStdString(Field->FieldName()), IsNumericType(Field->DataType())});
    }
    FCurrentRow = FDataSet->RecNo() - 1;
  }
  endResetModel();
}

void TDataSetTableModel::SetCurrentRow(int Row) {
  if (Row == FCurrentRow) return;
  const int Old = FCurrentRow;
  FCurrentRow = Row;
  if (Old >= 0 && Old < FRowCount) emit headerDataChanged(Qt::Vertical, Old, Old);
  if (Row >= 0 && Row < FRowCount) emit headerDataChanged(Qt::Vertical, Row, Row);
}

int TDataSetTableModel::CachedRows() const {
  int Rows = 0;
  for (const TBlock& B : FBlocks) Rows += static_cast<int>(B.Texts.size() / std::max<size_t>(FColumns.size(), 1));
  return Rows;
}

int TDataSetTableModel::rowCount(const QModelIndex& Parent) const { return Parent.isValid() ? 0 : FRowCount; }

int TDataSetTableModel::columnCount(const QModelIndex& Parent) const {
  return Parent.isValid() ? 0 : static_cast<int>(FColumns.size());
}

void TDataSetTableModel::ReadBlock(TBlock& Block, int FirstRow) const {
  const size_t Columns = FColumns.size();
  Block.FirstRow = FirstRow;
  Block.Texts.clear();
  const int Rows = std::min(BlockRows, FRowCount - FirstRow);
  Block.Texts.reserve(static_cast<size_t>(Rows) * Columns);
  try {
    FDataSet->ReadRows(FirstRow + 1, Rows, [&](int32_t) {
      for (size_t C = 0; C < Columns; ++C) {
        const TField* Field = FDataSet->Fields(static_cast<int32_t>(C));
        Block.Texts.push_back(Field->IsNull() ? QString() : QString::fromStdString(Field->AsString()));
      }
    });
  } catch (const std::exception& E) {
    // Painting cannot stop for an error: the rows stay empty and the error
    // is shown once, after the paint.
    if (!FReadErrorShown) {
      FReadErrorShown = true;
      const std::string Message = E.what();
      QMetaObject::invokeMethod(
          const_cast<TDataSetTableModel*>(this), [Message] { HandleException(Exception(Message)); },
          Qt::QueuedConnection);
    }
  }
  Block.Texts.resize(static_cast<size_t>(Rows) * Columns);
}

const TDataSetTableModel::TBlock& TDataSetTableModel::BlockOf(int Row) const {
  const int First = Row - Row % BlockRows;
  for (TBlock& B : FBlocks)
    if (B.FirstRow == First) {
      B.LastUse = ++FUseCounter;
      return B;
    }
  TBlock* Slot = nullptr;
  if (static_cast<int>(FBlocks.size()) < MaxBlocks) {
    Slot = &FBlocks.emplace_back();
  } else {
    Slot = &*std::min_element(FBlocks.begin(), FBlocks.end(),
                              [](const TBlock& A, const TBlock& B) { return A.LastUse < B.LastUse; });
  }
  ReadBlock(*Slot, First);
  Slot->LastUse = ++FUseCounter;
  return *Slot;
}

QVariant TDataSetTableModel::data(const QModelIndex& Index, int Role) const {
  if (!Index.isValid() || !FDataSet || Index.row() >= FRowCount || Index.column() >= columnCount()) return {};
  const size_t Column = static_cast<size_t>(Index.column());
  if (Role == Qt::TextAlignmentRole)
    return QVariant::fromValue(Qt::AlignVCenter | (FColumns[Column].Numeric ? Qt::AlignRight : Qt::AlignLeft));
  if (Role != Qt::DisplayRole) return {};
  if (!FDataSet->Active()) return {};
  const TBlock& Block = BlockOf(Index.row());
  return Block.Texts[static_cast<size_t>(Index.row() - Block.FirstRow) * FColumns.size() + Column];
}

QVariant TDataSetTableModel::headerData(int Section, Qt::Orientation Orientation, int Role) const {
  if (Role != Qt::DisplayRole) return QAbstractTableModel::headerData(Section, Orientation, Role);
  if (Orientation == Qt::Horizontal)
    return Section >= 0 && Section < columnCount() ? QVariant(FColumns[static_cast<size_t>(Section)].Name) : QVariant();
  // The row indicator: a marker at the current row, nothing elsewhere.
  return Section == FCurrentRow ? QVariant(QStringLiteral("\u25B6")) : QVariant(QString());
}

Qt::ItemFlags TDataSetTableModel::flags(const QModelIndex& Index) const {
  return Index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void TPlainCellDelegate::paint(QPainter* Painter, const QStyleOptionViewItem& Option, const QModelIndex& Index) const {
  const bool Selected = Option.state & QStyle::State_Selected;
  if (Selected) Painter->fillRect(Option.rect, Option.palette.brush(QPalette::Highlight));
  Painter->setPen(Option.palette.color(Selected ? QPalette::HighlightedText : QPalette::Text));
  const QVariant Alignment = Index.data(Qt::TextAlignmentRole);
  const Qt::Alignment Align =
      Alignment.isValid() ? Alignment.value<Qt::Alignment>() : Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter);
  Painter->drawText(Option.rect.adjusted(3, 0, -3, 0), int(Align) | Qt::TextSingleLine, Index.data().toString());
}
