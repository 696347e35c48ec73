// Names of the field type categories, as the binding and error messages show
// them.
#include "FieldType.h"

#include <array>

std::string_view FieldTypeName(TFieldType Type) {
  static constexpr std::array<std::string_view, ftDataSet + 1> Names = {
      "ftUnknown", "ftString", "ftSmallint", "ftInteger", "ftWord", "ftBoolean", "ftFloat",
      "ftCurrency", "ftBCD", "ftDate", "ftTime", "ftDateTime", "ftBytes", "ftVarBytes",
      "ftAutoInc", "ftBlob", "ftMemo", "ftGraphic", "ftFmtMemo", "ftParadoxOle",
      "ftDBaseOle", "ftTypedBinary", "ftCursor", "ftFixedChar", "ftWideString",
      "ftLargeint", "ftADT", "ftArray", "ftReference", "ftDataSet"};
  const auto Index = static_cast<size_t>(Type);
  return Index < Names.size() ? Names[Index] : std::string_view("ftUnknown");
}
