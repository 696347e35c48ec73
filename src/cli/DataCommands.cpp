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

// pellory import --sample: the sample tables beside the program, copied.
int ImportSampleTables(const TArguments& Args, TToolIO& IO) {
  if (!Args.Positionals().empty())
    throw TUsageError("import: --sample takes no file or table (see 'pellory import --help')");
  const std::unique_ptr<TDataSource> Target = OpenDataSource(Args, IO);
  if (Target->Kind() == TDataSourceKind::dkParadox)
    throw TUsageError("import: --sample fills a SQLite or PostgreSQL database (--sqlite FILE or --pg CONNINFO)");
  const TDataSource Samples((fs::path(IO.ProgramFolder) / "Data").string(), TDataSourceKind::dkParadox);
  for (const std::string& Name : Samples.TableNames()) {
    const std::unique_ptr<TTable> Table = Samples.OpenTable(Name);
    const int64_t Rows = Target->CopyTable(*Table, Name);
    IO.Out << Target->ImportTableName(Name) << ": " << Rows << " rows from " << Name << "\n";
  }
  return 0;
}

int ImportCommand(const TArguments& Args, TToolIO& IO) {
  if (Args.Has("sample")) return ImportSampleTables(Args, IO);
  if (Args.Positionals().size() < 2) throw TUsageError("import: missing argument (see 'pellory import --help')");
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
