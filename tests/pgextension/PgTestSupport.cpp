// Server, installation and sample tables for the extension's tests.
#include "PgTestSupport.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "DataSource.h"
#include "Field.h"
#include "SampleDatabase.h"
#include "CrossTest.h"  // TCrossTestLimits
#include "SampleLayout.h"
#include "Table.h"

namespace fs = std::filesystem;

TPgConnection::TPgConnection(const std::string& ConnInfo) : FConn(PQconnectdb(ConnInfo.c_str())) {
  if (PQstatus(FConn) != CONNECTION_OK) {
    const std::string Message = PQerrorMessage(FConn);
    PQfinish(FConn);
    throw std::runtime_error("cannot connect: " + Message);
  }
  Exec("SET client_min_messages = warning");
}

TPgConnection::~TPgConnection() { PQfinish(FConn); }

TPgResult TPgConnection::Exec(const std::string& Sql) {
  TPgResult R(PQexec(FConn, Sql.c_str()));
  const ExecStatusType S = PQresultStatus(R.get());
  if (S != PGRES_COMMAND_OK && S != PGRES_TUPLES_OK)
    throw std::runtime_error(std::string(PQresultErrorMessage(R.get())) + "in: " + Sql.substr(0, 300));
  return R;
}

std::string TPgConnection::ErrorOf(const std::string& Sql) {
  TPgResult R(PQexec(FConn, Sql.c_str()));
  const ExecStatusType S = PQresultStatus(R.get());
  if (S == PGRES_COMMAND_OK || S == PGRES_TUPLES_OK) return "";
  const char* Primary = PQresultErrorField(R.get(), PG_DIAG_MESSAGE_PRIMARY);
  return Primary ? Primary : PQresultErrorMessage(R.get());
}

std::vector<std::string> TPgConnection::Column(const std::string& Sql) {
  const TPgResult R = Exec(Sql);
  std::vector<std::string> Values;
  for (int I = 0; I < PQntuples(R.get()); ++I) Values.emplace_back(PQgetvalue(R.get(), I, 0));
  return Values;
}

std::vector<uint8_t> TPgConnection::Bytes(const std::string& Sql) {
  TPgResult R(PQexecParams(FConn, Sql.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 1));
  if (PQresultStatus(R.get()) != PGRES_TUPLES_OK)
    throw std::runtime_error(std::string(PQresultErrorMessage(R.get())) + "in: " + Sql.substr(0, 300));
  if (PQntuples(R.get()) != 1 || PQgetisnull(R.get(), 0, 0)) throw std::runtime_error("no bytes from: " + Sql);
  const auto* P = reinterpret_cast<const uint8_t*>(PQgetvalue(R.get(), 0, 0));
  return {P, P + PQgetlength(R.get(), 0, 0)};
}

std::string TPgConnection::Text(const std::string& Sql) {
  std::string Lines;
  for (const std::string& Line : Column(Sql)) Lines += Line + "\n";
  return Lines;
}

namespace {

std::string FileText(const fs::path& Path) {
  std::ifstream In(Path, std::ios::binary);
  return {std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>()};
}

// Copies From to To unless To already holds the same bytes; through a
// temporary name and a rename, so a server that has the old module loaded
// keeps its file. False when the folder cannot be written.
bool InstallFile(const fs::path& From, const fs::path& To) {
  if (fs::exists(To) && FileText(From) == FileText(To)) return true;
  const fs::path Temporary = To.string() + ".new-" + std::to_string(::getpid());
  std::error_code Error;
  fs::copy_file(From, Temporary, fs::copy_options::overwrite_existing, Error);
  if (Error) return false;
  fs::rename(Temporary, To, Error);
  return !Error;
}

}  // namespace

std::string InstallExtension() {
  if (!std::getenv("PELLORY_PG")) return "PELLORY_PG is not set (run through scripts/with-postgres or make test)";
  const fs::path Built(PELLORY_PG_EXTENSION_DIR);
  const fs::path Modules(PELLORY_PG_PKGLIBDIR);
  const fs::path Extensions = fs::path(PELLORY_PG_SHAREDIR) / "extension";
  const bool Done = InstallFile(Built / "pellory.so", Modules / "pellory.so") &&
                    InstallFile(Built / "pellory.control", Extensions / "pellory.control") &&
                    InstallFile(Built / "pellory--1.0.sql", Extensions / "pellory--1.0.sql");
  if (!Done)
    return "cannot install the extension into " + Modules.string() + " and " + Extensions.string() +
           " (run as root, or install it there with: cmake --install BUILD --component postgres)";
  return "";
}

TScratchDatabase::TScratchDatabase()
    : FName("pellory_ext_" + std::to_string(::getpid())), FAdmin(std::make_unique<TPgConnection>(std::getenv("PELLORY_PG"))) {
  FAdmin->Exec("DROP DATABASE IF EXISTS " + FName);
  FAdmin->Exec("CREATE DATABASE " + FName);
  FConn = std::make_unique<TPgConnection>(std::string(std::getenv("PELLORY_PG")) + " dbname=" + FName);
  FConn->Exec("CREATE EXTENSION pellory");
}

TScratchDatabase::~TScratchDatabase() {
  FConn.reset();
  try {
    FAdmin->Exec("DROP DATABASE IF EXISTS " + FName + " WITH (FORCE)");
  } catch (const std::exception&) {
    // The server goes away with the cluster anyway.
  }
}

std::string TSqlTable::LearnSql(const std::string& Kind) const {
  return "SELECT pellory_learn('" + Kind + "', " + ClassCodeSql + ", " + DiscreteSql + ", " + FloatSql + ") FROM " +
         SqlName;
}

namespace {

std::string Quote(const std::string& Name) { return "\"" + Name + "\""; }

bool IsLayoutField(const std::string& Name) {
  for (const std::string& F : TSampleLayout::LayoutFields())
    if (F == Name) return true;
  return false;
}

std::string SqlType(TFieldType Type) {
  switch (Type) {
    case TFieldType::ftSmallint:
      return "smallint";
    case TFieldType::ftInteger:
      return "integer";
    case TFieldType::ftFloat:
      return "double precision";
    default:
      throw std::runtime_error("a sample table field of an unexpected type");
  }
}

// One row as a line of COPY's text format.
std::string CopyLine(const TTable& Table) {
  std::string Line;
  for (int32_t I = 0; I < Table.FieldCount(); ++I) {
    const TField& F = *Table.Fields(I);
    if (I > 0) Line += '\t';
    if (F.IsNull()) {
      Line += "\\N";
    } else if (F.DataType() == TFieldType::ftFloat) {
      char Text[32];
      std::snprintf(Text, sizeof Text, "%.17g", F.AsFloat());
      Line += Text;
    } else {
      Line += std::to_string(F.AsInteger());
    }
  }
  return Line + "\n";
}

TSqlTable CopyTable(TPgConnection& Db, TTable& Table) {
  TSqlTable Result;
  Result.Name = Table.TableName();
  Result.SqlName = Quote(Result.Name.substr(0, Result.Name.find('.')));
  std::string Columns, Discrete, Float;
  for (int32_t I = 0; I < Table.FieldCount(); ++I) {
    const TField& F = *Table.Fields(I);
    Columns += (I ? ", " : "") + Quote(F.FieldName()) + " " + SqlType(F.DataType());
    if (IsLayoutField(F.FieldName())) continue;
    // The layout's one-based codes and its missing marker 999, as the
    // binding reads them.
    const std::string Value = "NULLIF(" + Quote(F.FieldName()) + ", " + TSampleLayout::MissingText + ")";
    if (F.DataType() == TFieldType::ftSmallint)
      Discrete += (Discrete.empty() ? "" : ", ") + Value + " - 1";
    else
      Float += (Float.empty() ? "" : ", ") + Value;
  }
  Result.DiscreteSql = "ARRAY[" + Discrete + "]::int4[]";
  Result.FloatSql = "ARRAY[" + Float + "]::float8[]";
  Result.ClassCodeSql = Quote(TSampleLayout::ClassField) + " - 1";
  Db.Exec("CREATE TABLE " + Result.SqlName + " (" + Columns + ")");
  const TPgResult Copy(PQexec(Db.Raw(), ("COPY " + Result.SqlName + " FROM STDIN").c_str()));
  if (PQresultStatus(Copy.get()) != PGRES_COPY_IN) throw std::runtime_error(PQresultErrorMessage(Copy.get()));
  for (Table.First(); !Table.Eof(); Table.Next()) {
    const std::string Line = CopyLine(Table);
    if (PQputCopyData(Db.Raw(), Line.data(), static_cast<int>(Line.size())) != 1)
      throw std::runtime_error(PQerrorMessage(Db.Raw()));
  }
  if (PQputCopyEnd(Db.Raw(), nullptr) != 1) throw std::runtime_error(PQerrorMessage(Db.Raw()));
  const TPgResult Done(PQgetResult(Db.Raw()));
  if (PQresultStatus(Done.get()) != PGRES_COMMAND_OK) throw std::runtime_error(PQresultErrorMessage(Done.get()));
  while (PGresult* Rest = PQgetResult(Db.Raw())) PQclear(Rest);
  Db.Exec("ANALYZE " + Result.SqlName);
  return Result;
}

}  // namespace

std::vector<TSqlTable> LoadSampleTables(TPgConnection& Db) {
  const TDataSource Source(SampleDataFolder(), false);
  std::vector<TSqlTable> Tables;
  for (const std::string& Name : Source.TableNames()) {
    if (Name == TCrossTestLimits::SkippedTable) continue;
    const std::unique_ptr<TTable> Table = Source.OpenTable(Name);
    Tables.push_back(CopyTable(Db, *Table));
  }
  return Tables;
}
