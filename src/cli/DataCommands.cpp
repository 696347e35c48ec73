// pellory tables, fields, export, import: looking at and filling the data
// source.
#include <unistd.h>

#include <filesystem>

#include "Commands.h"
#include "Convert.h"
#include "CsvExport.h"
#include "DataSource.h"
#include "Field.h"
#include "FieldType.h"
#include "SampleImporter.h"
#include "Table.h"

namespace fs = std::filesystem;

int TablesCommand(const TArguments& Args, TToolIO& IO) {
  const TDataSource Source(Args, IO);
  for (const std::string& Name : Source.TableNames()) IO.Out << Name << "\n";
  return 0;
}

int FieldsCommand(const TArguments& Args, TToolIO& IO) {
  const TDataSource Source(Args, IO);
  const std::unique_ptr<TTable> Table = Source.OpenTable(Args.Positionals()[0]);
  for (int32_t I = 0; I < Table->FieldCount(); ++I) {
    const TField& Field = *Table->Fields(I);
    IO.Out << Field.FieldName() << "\t" << FieldTypeName(Field.DataType()) << "\n";
  }
  return 0;
}

int ExportCommand(const TArguments& Args, TToolIO& IO) {
  const TDataSource Source(Args, IO);
  const std::unique_ptr<TTable> Table = Source.OpenTable(Args.Positionals()[0]);
  ExportCsv(*Table, IO.Out);
  return 0;
}

int ImportCommand(const TArguments& Args, TToolIO& IO) {
  const std::string& Input = Args.Positionals()[0];
  std::string Name = Args.Positionals()[1];
  if (Name.empty()) throw TUsageError("import: the table name is empty");
  if (Name.find('/') != std::string::npos) throw TUsageError("import: a table name holds no folder: '" + Name + "'");
  const TDataSource Source(Args, IO);
  const std::string Extension = fs::path(Name).extension().string();
  if (Source.Sqlite()) {
    // SQLite tables carry no extension; the lookup adds it back for callers
    // that use Paradox names.
    if (SameText(Extension, ".DB")) Name.resize(Name.size() - 3);
  } else if (Extension.empty()) {
    Name += ".DB";
  } else if (!SameText(Extension, ".DB")) {
    // Any other extension would make a file the folder's table list never shows.
    throw TUsageError("import: a Paradox table name ends in .DB, not '" + Extension + "'");
  }

  const TSourceDataset Data = ReadSourceFile(Input, Args.Text("class"));
  const TSampleImporter Importer(Data);
  TImportResult Result;
  bool Replaced = false;
  if (Source.Sqlite()) {
    if (fs::exists(Source.Path())) {
      for (const std::string& T : Source.TableNames()) Replaced = Replaced || SameText(T, Name);
    }
    Result = Importer.WriteSqlite(Source.Path(), Name);
  } else {
    fs::create_directories(Source.Path());
    const fs::path File = fs::path(Source.Path()) / Name;
    Replaced = fs::exists(File);
    // Written beside the target first, so a failing import leaves the old
    // table as it was; the rename then replaces it in one step.
    const fs::path Scratch = fs::path(Source.Path()) / (".import-" + std::to_string(::getpid()));
    fs::create_directories(Scratch);
    try {
      Result = Importer.WriteParadox((Scratch / Name).string());
      fs::rename(Scratch / Name, File);
    } catch (...) {
      std::error_code Ignored;
      fs::remove_all(Scratch, Ignored);
      throw;
    }
    fs::remove_all(Scratch);
  }
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
