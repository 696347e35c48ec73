// Opening and filling the tables of a data source.
#include "DataSource.h"

#include <filesystem>

#include "Convert.h"
#include "Exceptions.h"
#include "Field.h"
#include "SampleDatabase.h"
#include "Session.h"
#include "Table.h"
#include "TableName.h"
#include "TableWriter.h"

namespace fs = std::filesystem;

TDataSource::TDataSource(const std::string& Path, bool Sqlite)
    : TDataSource(Path, Sqlite ? TDataSourceKind::dkSqlite : TDataSourceKind::dkParadox) {}

TDataSource::TDataSource(const std::string& Path, TDataSourceKind Kind)
    : FSession(std::make_unique<TSession>(nullptr)), FKind(Kind), FPath(Path) {
  const char* const Drivers[] = {SampleDriver, "SQLITE", "POSTGRES"};
  EnsureSampleAlias(*FSession, FPath, Drivers[static_cast<int>(Kind)]);
}

TDataSource::~TDataSource() = default;

std::vector<std::string> TDataSource::TableNames() const {
  // The session's own message for a missing folder names no path.
  if (FKind == TDataSourceKind::dkParadox && !fs::is_directory(FPath)) throw Exception("no folder '" + FPath + "'");
  if (FKind == TDataSourceKind::dkSqlite && !fs::is_regular_file(FPath)) throw Exception("no database file '" + FPath + "'");
  return SampleTableNames(*FSession);
}

std::string TDataSource::ResolveTable(const std::string& Name) const {
  const std::vector<std::string> Names = TableNames();
  for (const std::string& T : Names)
    if (SameTableName(T, Name)) return T;
  // A connection string may hold a password: name the database instead.
  throw Exception("no table '" + Name + "' in '" + (FKind == TDataSourceKind::dkPostgres ? std::string("the database") : FPath) + "'");
}

std::unique_ptr<TTable> TDataSource::OpenTable(const std::string& Name) const {
  auto Table = std::make_unique<TTable>(nullptr, FSession.get());
  Table->SetDatabaseName(SampleAlias);
  Table->SetTableName(ResolveTable(Name));
  Table->Open();
  return Table;
}

std::string TDataSource::ImportTableName(const std::string& Name) const {
  if (Name.empty()) throw Exception("the table name is empty");
  if (Name.find('/') != std::string::npos) throw Exception("a table name holds no folder: '" + Name + "'");
  // SQLite tables carry no extension; the lookup adds it back for callers
  // that use Paradox names.
  if (FKind != TDataSourceKind::dkParadox) return WithoutTableExtension(Name);
  const std::string Named = WithTableExtension(Name);
  if (!HasTableExtension(Named))
    throw Exception("a Paradox table name ends in .DB, not '" + fs::path(Name).extension().string() + "'");
  return Named;
}

TImportResult TDataSource::ImportTable(const TSampleImporter& Importer, const std::string& Name,
                                       bool& Replaced) const {
  const std::string Table = ImportTableName(Name);
  if (FKind == TDataSourceKind::dkPostgres) {
    Replaced = false;
    for (const std::string& T : TableNames()) Replaced = Replaced || T == Table;
    std::unique_ptr<TTableWriter> Writer = CreatePostgresTable(FPath, Table, Importer.Fields());
    return Importer.WriteTo(*Writer, Table);
  }
  if (FKind == TDataSourceKind::dkSqlite) {
    Replaced = false;
    if (fs::exists(FPath))
      for (const std::string& T : TableNames()) Replaced = Replaced || SameText(T, Table);
    return Importer.WriteSqlite(FPath, Table);
  }
  const fs::path File = fs::path(FPath) / Table;
  Replaced = fs::exists(File);
  return Importer.ReplaceParadox(File.string());
}

int64_t TDataSource::CopyTable(TTable& From, const std::string& Name) const {
  if (FKind == TDataSourceKind::dkParadox) throw Exception("tables are copied into SQLite or PostgreSQL only");
  const std::string Table = ImportTableName(Name);
  std::vector<TFieldDef> Fields;
  for (int32_t I = 0; I < From.FieldCount(); ++I)
    Fields.push_back({From.Fields(I)->FieldName(), From.Fields(I)->DataType(), From.Fields(I)->Size()});
  const std::unique_ptr<TTableWriter> Writer = FKind == TDataSourceKind::dkPostgres
                                                   ? CreatePostgresTable(FPath, Table, Fields)
                                                   : CreateSqliteTable(FPath, Table, Fields);
  std::vector<TFieldValue> Row(Fields.size());
  int64_t Rows = 0;
  for (From.First(); !From.Eof(); From.Next(), ++Rows) {
    for (size_t I = 0; I < Row.size(); ++I) Row[I] = From.Fields(static_cast<int32_t>(I))->Value();
    Writer->AppendRow(Row);
  }
  Writer->Close();
  return Rows;
}
