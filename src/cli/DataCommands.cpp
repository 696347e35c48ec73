// pellory tables, fields, export, import: looking at and filling the data
// source.
#include <filesystem>

#include "Commands.h"
#include "CsvExport.h"
#include "Field.h"
#include "FieldType.h"
#include "SampleImporter.h"
#include "Table.h"

namespace fs = std::filesystem;

int TablesCommand(const TArguments& Args, TToolIO& IO) {
  const std::unique_ptr<TDataSource> Source = OpenDataSource(Args, IO);
  for (const std::string& Name : Source->TableNames()) IO.Out << Name << "\n";
  return 0;
}

int FieldsCommand(const TArguments& Args, TToolIO& IO) {
  const std::unique_ptr<TDataSource> Source = OpenDataSource(Args, IO);
  const std::unique_ptr<TTable> Table = Source->OpenTable(Args.Positionals()[0]);
  for (int32_t I = 0; I < Table->FieldCount(); ++I) {
    const TField& Field = *Table->Fields(I);
    IO.Out << Field.FieldName() << "\t" << FieldTypeName(Field.DataType()) << "\n";
  }
  return 0;
}

int ExportCommand(const TArguments& Args, TToolIO& IO) {
  const std::unique_ptr<TDataSource> Source = OpenDataSource(Args, IO);
  const std::unique_ptr<TTable> Table = Source->OpenTable(Args.Positionals()[0]);
  ExportCsv(*Table, IO.Out);
  return 0;
}

int ImportCommand(const TArguments& Args, TToolIO& IO) {
  const std::string& Input = Args.Positionals()[0];
  const std::unique_ptr<TDataSource> Source = OpenDataSource(Args, IO);
  std::string Name;
  try {
    Name = Source->ImportTableName(Args.Positionals()[1]);
  } catch (const Exception& Error) {
    throw TUsageError(std::string("import: ") + Error.what());
  }
  const std::unique_ptr<TSourceRows> Data = OpenSourceFile(Input, Args.Text("class"));
  bool Replaced = false;
  const TImportResult Result = Source->ImportTable(TSampleImporter(*Data), Name, Replaced);
  IO.Out << Name << ": " << Result.Rows << " rows, " << Result.ClassValues.size() << " classes, "
         << Result.Fields.size() << " fields from " << fs::path(Input).filename().string()
         << (Replaced ? " (replaced the table of that name)" : "") << "\n";
  for (size_t K = 0; K < Result.ClassValues.size(); ++K)
    IO.Out << "  class " << K + 1 << " = '" << Result.ClassValues[K] << "'\n";
  for (const TRenamedField& Renamed : Result.Renamed)
    IO.Out << "  field \"" << Renamed.FieldName << "\" holds attribute '" << Renamed.Attribute << "'\n";
  for (const std::string& Warning : Result.Warnings) IO.Out << "  warning: " << Warning << "\n";
  return 0;
}
