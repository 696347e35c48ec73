// A schema of its own on the test cluster (PELLORY_PG, set by
// scripts/with-postgres) for one test, so test programs may run side by
// side against one server: made afresh, dropped with everything in it at
// the end. ConnInfo reaches the cluster with the schema as search path.
// Tests call PostgresConnInfo() first and skip when it is empty.
#pragma once

#include <libpq-fe.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>

inline std::string PostgresConnInfo() {
  const char* Info = std::getenv("PELLORY_PG");
  return Info ? Info : "";
}

inline constexpr const char* NoPostgres = "PELLORY_PG is not set (run the tests through scripts/with-postgres)";

class TPgSchema {
public:
  explicit TPgSchema(const std::string& Tag) : FConn(PQconnectdb(PostgresConnInfo().c_str()), &PQfinish) {
    if (PQstatus(FConn.get()) != CONNECTION_OK) throw std::runtime_error(PQerrorMessage(FConn.get()));
    PQsetNoticeProcessor(FConn.get(), [](void*, const char*) {}, nullptr);
    Name = "t_" + Tag + "_" + std::to_string(::getpid());
    for (char& C : Name) C = static_cast<char>(std::tolower(static_cast<unsigned char>(C)));
    Sql("DROP SCHEMA IF EXISTS " + Name + " CASCADE; CREATE SCHEMA " + Name + "; SET search_path = " + Name);
    ConnInfo = PostgresConnInfo() + " options='-csearch_path=" + Name + "'";
  }
  ~TPgSchema() { PQclear(PQexec(FConn.get(), ("DROP SCHEMA IF EXISTS " + Name + " CASCADE").c_str())); }
  TPgSchema(const TPgSchema&) = delete;
  TPgSchema& operator=(const TPgSchema&) = delete;

  // Runs statements in the schema; raises with the server's message.
  void Sql(const std::string& Text) {
    std::unique_ptr<PGresult, decltype(&PQclear)> R(PQexec(FConn.get(), Text.c_str()), &PQclear);
    const ExecStatusType Status = PQresultStatus(R.get());
    if (Status != PGRES_COMMAND_OK && Status != PGRES_TUPLES_OK)
      throw std::runtime_error(Text + ": " + PQresultErrorMessage(R.get()));
  }

  std::string Name, ConnInfo;

private:
  std::unique_ptr<PGconn, decltype(&PQfinish)> FConn{nullptr, &PQfinish};
};
