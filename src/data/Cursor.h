// The driver interface beneath the datasets: a cursor over the rows of one
// open table, in the table's own order.
//
// A cursor streams: it holds the current row (and whatever block it came
// from), never the whole table. Rows are identified by a key that only grows
// along the walk (a Paradox record number, a SQLite rowid), so a dataset can
// keep a sorted index of keys and come back to any of them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "FieldType.h"

class TFilterExpression;

struct TColumnInfo {
  std::string Name;
  TFieldType DataType = ftUnknown;
  int32_t Size = 0;  // text and byte fields: the size in bytes
};

class TCursor {
public:
  virtual ~TCursor() = default;

  // The table's fields in table order.
  const std::vector<TColumnInfo>& Columns() const { return FColumns; }

  // Number of rows in the table.
  virtual int64_t RowCount() = 0;
  // Moves to the first row; false (no current row) when the table is empty.
  virtual bool First() = 0;
  // Moves to the next row; false at the end, where the current row stays.
  virtual bool Next() = 0;
  // Moves to the row with Key; false when there is none (the position is
  // then undefined until the next successful move).
  virtual bool Seek(int64_t Key) = 0;
  // Key of the current row.
  virtual int64_t Key() const = 0;
  // True when the key of a row is its position in table order (0, 1, 2,
  // ...), so a dataset can go to a row by number with Seek alone.
  virtual bool KeysAreRowNumbers() const { return false; }
  // Fills Keys, ascending, with the keys of the rows Filter matches, where
  // the driver can evaluate the filter itself (a database server); false,
  // Keys untouched, when it cannot, and the dataset then evaluates it row by
  // row. Both ways must give the same rows. The position afterwards is
  // undefined until the next successful move.
  virtual bool MatchingKeys(const TFilterExpression& /*Filter*/, std::vector<int64_t>& /*Keys*/) { return false; }

  // Values of column Column in the current row. The Read calls return false
  // for a null and leave Value alone then; a value that cannot be converted
  // raises EConvertError naming the field.
  virtual bool IsNull(int Column) = 0;
  virtual bool ReadInteger(int Column, int64_t& Value) = 0;
  virtual bool ReadFloat(int Column, double& Value) = 0;
  virtual bool ReadText(int Column, std::string& Value) = 0;

protected:
  std::vector<TColumnInfo> FColumns;
};

// True for the categories whose values compare as numbers.
bool IsNumericType(TFieldType Type);
