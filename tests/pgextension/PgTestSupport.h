// The extension's tests against a real server: a libpq connection that
// fails the test on any error, the extension installed into the server's
// folders, a scratch database per test program, and the sample tables
// copied into it with the SQL that learns and classifies them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <libpq-fe.h>

struct TPgResultDeleter {
  void operator()(PGresult* R) const { PQclear(R); }
};
using TPgResult = std::unique_ptr<PGresult, TPgResultDeleter>;

class TPgConnection {
public:
  // Raises std::runtime_error with the server's message when it fails.
  explicit TPgConnection(const std::string& ConnInfo);
  ~TPgConnection();
  TPgConnection(const TPgConnection&) = delete;
  TPgConnection& operator=(const TPgConnection&) = delete;

  // Runs Sql; raises std::runtime_error with the server's message on error.
  TPgResult Exec(const std::string& Sql);
  // The error message Sql raises, "" when it succeeds.
  std::string ErrorOf(const std::string& Sql);
  // The first column of every row, as text.
  std::vector<std::string> Column(const std::string& Sql);
  // The one bytea value Sql returns, as bytes (binary result).
  std::vector<uint8_t> Bytes(const std::string& Sql);
  // The text EXPLAIN (or any query) returns, one line per row.
  std::string Text(const std::string& Sql);
  PGconn* Raw() const { return FConn; }

private:
  PGconn* FConn = nullptr;
};

// Why the server tests cannot run here ("" when they can): no PELLORY_PG,
// or the extension's files cannot be installed into the server's folders.
// Installs them when it can (an unchanged file is left alone).
std::string InstallExtension();

// A database of its own for this test program, with the extension created,
// dropped again when the object goes.
class TScratchDatabase {
public:
  TScratchDatabase();
  ~TScratchDatabase();
  TPgConnection& Connection() { return *FConn; }

private:
  std::string FName;
  std::unique_ptr<TPgConnection> FAdmin;
  std::unique_ptr<TPgConnection> FConn;
};

// A sample table copied into the database under its name without ".DB",
// with what the SQL needs to learn and classify it.
struct TSqlTable {
  std::string Name;          // the sample table's name, "LJUB.DB"
  std::string SqlName;       // quoted SQL name, "\"LJUB\""
  std::string DiscreteSql;   // ARRAY[...]::int4[] of zero-based codes, NULL for missing
  std::string FloatSql;      // ARRAY[...]::float8[], NULL for missing
  std::string ClassCodeSql;  // zero-based class code
  // SELECT pellory_learn('<Kind>', ...) FROM the table.
  std::string LearnSql(const std::string& Kind) const;
};

// The sample tables of the build (Test1.DB left out, as the cross test
// leaves it), copied into Db.
std::vector<TSqlTable> LoadSampleTables(TPgConnection& Db);
