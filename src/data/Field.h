// A field of an open dataset: its name, its type category and its value in
// the current row.
//
// Fields belong to their dataset and live while it is open; Close destroys
// them. Reading a numeric value creates no text and allocates nothing. A
// null reads as "", 0 and 0.0. Reading a field of a closed dataset, or a
// value that does not convert (AsInteger of the text "abc", of a number
// outside 32 bits), raises an exception naming the field.
#pragma once

#include <cstdint>
#include <string>

#include "FieldType.h"
#include "TableWriter.h"

class TDataSet;
class TCursor;

class TField {
public:
  TField(TDataSet& DataSet, int32_t Index, std::string Name, TFieldType DataType, int32_t Size);
  TField(const TField&) = delete;
  TField& operator=(const TField&) = delete;

  const std::string& FieldName() const { return FFieldName; }
  TFieldType DataType() const { return FDataType; }
  int32_t Size() const { return FSize; }    // text and byte fields; else 0
  int32_t Index() const { return FIndex; }  // position in the dataset
  TDataSet& DataSet() const { return FDataSet; }

  bool IsNull() const;
  std::string AsString() const;
  int32_t AsInteger() const;
  double AsFloat() const;
  bool AsBoolean() const;
  // The value as the variant of its category: null, int32_t (integer types
  // within 32 bits), double (other numbers, dates and times), text, Boolean.
  TFieldValue Value() const;

private:
  TCursor* Row() const;  // the cursor on the current row, or nullptr without one

  TDataSet& FDataSet;
  int32_t FIndex;
  std::string FFieldName;
  TFieldType FDataType;
  int32_t FSize;
};
