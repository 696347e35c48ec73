// Field values read from the dataset's cursor on the current row.
#include "Field.h"

#include <cmath>

#include "Cursor.h"
#include "DataSet.h"
#include "Exceptions.h"

TField::TField(TDataSet& DataSet, int32_t Index, std::string Name, TFieldType DataType, int32_t Size)
    : FDataSet(DataSet), FIndex(Index), FFieldName(std::move(Name)), FDataType(DataType), FSize(Size) {}

TCursor* TField::Row() const {
  FDataSet.CheckActive();
  return FDataSet.CurrentRow();
}

bool TField::IsNull() const {
  TCursor* Cursor = Row();
  return !Cursor || Cursor->IsNull(FIndex);
}

std::string TField::AsString() const {
  std::string Value;
  if (TCursor* Cursor = Row()) Cursor->ReadText(FIndex, Value);
  return Value;
}

int32_t TField::AsInteger() const {
  TCursor* Cursor = Row();
  int64_t Value = 0;
  if (!Cursor || !Cursor->ReadInteger(FIndex, Value)) return 0;
  if (Value < INT32_MIN || Value > INT32_MAX)
    throw EConvertError("Value " + std::to_string(Value) + " of field '" + FFieldName +
                        "' is outside the 32-bit integer range");
  return static_cast<int32_t>(Value);
}

double TField::AsFloat() const {
  TCursor* Cursor = Row();
  double Value = 0.0;
  if (Cursor) Cursor->ReadFloat(FIndex, Value);
  return Value;
}

bool TField::AsBoolean() const {
  TCursor* Cursor = Row();
  double Value = 0.0;
  if (Cursor) Cursor->ReadFloat(FIndex, Value);
  return Value != 0.0;
}

TFieldValue TField::Value() const {
  TCursor* Cursor = Row();
  if (!Cursor || Cursor->IsNull(FIndex)) return {};
  switch (FDataType) {
    case ftSmallint: case ftInteger: case ftWord: case ftAutoInc: case ftLargeint: {
      int64_t V = 0;
      Cursor->ReadInteger(FIndex, V);
      if (V >= INT32_MIN && V <= INT32_MAX) return static_cast<int32_t>(V);
      return static_cast<double>(V);
    }
    case ftBoolean: return AsBoolean();
    case ftFloat: case ftCurrency: case ftBCD: case ftDate: case ftTime: case ftDateTime:
      return AsFloat();
    default:
      return AsString();
  }
}
