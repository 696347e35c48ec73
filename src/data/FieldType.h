// Field type categories of the dataset layer, in the platform's order.
// The binding maps them to attribute kinds; tables map their own column
// types onto them.
#pragma once

#include <string_view>

enum TFieldType {
  ftUnknown, ftString, ftSmallint, ftInteger, ftWord, ftBoolean, ftFloat,
  ftCurrency, ftBCD, ftDate, ftTime, ftDateTime, ftBytes, ftVarBytes,
  ftAutoInc, ftBlob, ftMemo, ftGraphic, ftFmtMemo, ftParadoxOle,
  ftDBaseOle, ftTypedBinary, ftCursor, ftFixedChar, ftWideString,
  ftLargeint, ftADT, ftArray, ftReference, ftDataSet
};

// "ftSmallint", "ftFloat", ...
std::string_view FieldTypeName(TFieldType Type);
