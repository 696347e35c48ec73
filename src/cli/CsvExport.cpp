// Writing a dataset as CSV.
#include "CsvExport.h"

#include <variant>

#include "Convert.h"
#include "DataSet.h"

std::string CsvCell(std::string_view Text) {
  if (Text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(Text);
  std::string Quoted = "\"";
  for (char C : Text) {
    if (C == '"') Quoted += '"';
    Quoted += C;
  }
  Quoted += '"';
  return Quoted;
}

namespace {

std::string CellText(const TField& Field) {
  const TFieldValue Value = Field.Value();
  if (std::holds_alternative<std::monostate>(Value)) return "";
  if (const auto* I = std::get_if<int32_t>(&Value)) return std::to_string(*I);
  if (const auto* D = std::get_if<double>(&Value)) {
    // Dates and times are numbers underneath; their text is what a reader wants.
    const TFieldType Type = Field.DataType();
    if (Type == ftDate || Type == ftTime || Type == ftDateTime) return CsvCell(Field.AsString());
    return FloatToShortest(*D);
  }
  if (const auto* S = std::get_if<std::string>(&Value)) return S->empty() ? "\"\"" : CsvCell(*S);
  return CsvCell(Field.AsString());  // Boolean
}

}  // namespace

int64_t ExportCsv(TDataSet& Data, std::ostream& Out) {
  const int32_t Count = Data.FieldCount();
  std::string Line;
  for (int32_t I = 0; I < Count; ++I) {
    if (I > 0) Line += ',';
    Line += CsvCell(Data.Fields(I)->FieldName());
  }
  Out << Line << '\n';
  int64_t Rows = 0;
  for (Data.First(); !Data.Eof(); Data.Next()) {
    Line.clear();
    for (int32_t I = 0; I < Count; ++I) {
      if (I > 0) Line += ',';
      Line += CellText(*Data.Fields(I));
    }
    Out << Line << '\n';
    ++Rows;
  }
  return Rows;
}
