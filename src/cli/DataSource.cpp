// Opening the tables a command works on.
#include "DataSource.h"

#include <filesystem>

#include "Convert.h"
#include "Exceptions.h"
#include "SampleDatabase.h"
#include "Session.h"
#include "Table.h"

TDataSource::TDataSource(const TArguments& Args, const TToolIO& IO) {
  if (Args.Has("data") && Args.Has("sqlite")) throw TUsageError(Args.Command() + ": give either --data or --sqlite, not both");
  if (Args.Has("sqlite")) {
    FSqlite = true;
    FPath = Args.Required("sqlite", "FILE");
  } else if (Args.Has("data")) {
    FPath = Args.Required("data", "DIR");
  } else {
    FPath = (std::filesystem::path(IO.ProgramFolder) / "Data").string();
  }
  FSession = std::make_unique<TSession>(nullptr);
  EnsureSampleAlias(*FSession, FPath, FSqlite ? "SQLITE" : SampleDriver);
}

TDataSource::~TDataSource() = default;

std::vector<std::string> TDataSource::TableNames() const {
  // The session's own message for a missing folder names no path.
  if (!FSqlite && !std::filesystem::is_directory(FPath)) throw Exception("no folder '" + FPath + "'");
  if (FSqlite && !std::filesystem::is_regular_file(FPath)) throw Exception("no database file '" + FPath + "'");
  return SampleTableNames(*FSession);
}

std::string TDataSource::ResolveTable(const std::string& Name) const {
  const std::vector<std::string> Names = TableNames();
  for (const std::string& T : Names)
    if (SameText(T, Name)) return T;
  for (const std::string& T : Names)
    if (SameText(T + ".DB", Name) || SameText(T, Name + ".DB")) return T;
  throw Exception("no table '" + Name + "' in '" + FPath + "'");
}

std::unique_ptr<TTable> TDataSource::OpenTable(const std::string& Name) const {
  auto Table = std::make_unique<TTable>(nullptr, FSession.get());
  Table->SetDatabaseName(SampleAlias);
  Table->SetTableName(ResolveTable(Name));
  Table->Open();
  return Table;
}
