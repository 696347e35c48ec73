// Small RAII helpers over libpq shared by the PostgreSQL reader and writer:
// connecting with messages that never show a password, running statements
// with parameters, quoting identifiers, and finding a table in the catalog.
#pragma once

#include <libpq-fe.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct TPgFinisher {
  void operator()(PGconn* Conn) const { PQfinish(Conn); }
};
struct TPgClearer {
  void operator()(PGresult* Result) const { PQclear(Result); }
};
using TPgConn = std::unique_ptr<PGconn, TPgFinisher>;
using TPgResult = std::unique_ptr<PGresult, TPgClearer>;

// Connects with ConnInfo (key=value pairs or a postgresql:// URI). Raises
// EFOpenError "Cannot connect to database 'D' on host 'H': <server message>";
// a password in ConnInfo never appears in the message.
TPgConn ConnectPostgres(const std::string& ConnInfo);

// Runs Sql with text parameters (none when Params is empty); Results in
// binary when Binary. Raises Exception "<Context>: <server message>" unless
// the result is a command or tuple result.
TPgResult ExecPostgres(PGconn* Conn, const std::string& Sql, const std::string& Context,
                       const std::vector<std::string>& Params = {}, bool Binary = false);
// The server's message of the last failure on Conn, without the trailing newline.
std::string PostgresError(PGconn* Conn);
std::string PostgresError(const PGresult* Result);

// Name as a quoted identifier ("a""b"), by PQescapeIdentifier.
std::string QuotePgIdentifier(PGconn* Conn, std::string_view Name);

// A relation the dataset layer can read: a table, view, materialized view,
// partitioned or foreign table.
struct TPgRelation {
  std::string Oid;       // as text, for parameters
  std::string Schema;
  std::string Name;
  char Kind = 'r';       // pg_class.relkind
  bool Visible = false;  // on the search path without its schema
  bool Inherited = false;  // has child tables, whose rows it shows too
  // "schema"."name", quoted.
  std::string Qualified(PGconn* Conn) const;
};

// Every readable relation outside the system schemas.
std::vector<TPgRelation> PostgresRelations(PGconn* Conn);
// The relation Name means: a relation on the search path of that name, exact
// first, then with letter case ignored; else "schema.name" split at a dot,
// matched the same way. Raises EFOpenError "Table 'X' not found in database
// 'D'" when there is none.
TPgRelation FindPostgresRelation(PGconn* Conn, const std::string& Name);
