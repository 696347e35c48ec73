// Connections, statements and the catalog look-ups of the PostgreSQL driver.
#include "Postgres.h"

#include "Convert.h"
#include "Exceptions.h"

namespace {

// The password ConnInfo carries, if any: "password=..." in key=value form
// (parsed by libpq when it can), or the part after ':' in a URI's user info.
std::string PasswordIn(const std::string& ConnInfo) {
  char* Error = nullptr;
  if (PQconninfoOption* Options = PQconninfoParse(ConnInfo.c_str(), &Error)) {
    std::string Password;
    for (PQconninfoOption* O = Options; O->keyword; ++O)
      if (std::string_view(O->keyword) == "password" && O->val) Password = O->val;
    PQconninfoFree(Options);
    return Password;
  }
  PQfreemem(Error);
  // Unparsable: guess the password's text so that it can be blanked out.
  if (const size_t Key = ConnInfo.find("password="); Key != std::string::npos) {
    const size_t Start = Key + 9;
    return ConnInfo.substr(Start, ConnInfo.find(' ', Start) - Start);
  }
  if (const size_t Scheme = ConnInfo.find("://"); Scheme != std::string::npos) {
    const size_t At = ConnInfo.find('@', Scheme);
    const size_t Colon = ConnInfo.find(':', Scheme + 3);
    if (At != std::string::npos && Colon < At) return ConnInfo.substr(Colon + 1, At - Colon - 1);
  }
  return "";
}

std::string WithoutPassword(std::string Message, const std::string& Password) {
  if (Password.empty()) return Message;
  for (size_t At = Message.find(Password); At != std::string::npos; At = Message.find(Password, At + 3))
    Message.replace(At, Password.size(), "***");
  return Message;
}

std::string Trimmed(const char* Text) {
  std::string Message = Text ? Text : "";
  while (!Message.empty() && (Message.back() == '\n' || Message.back() == ' ')) Message.pop_back();
  return Message;
}

}  // namespace

std::string PostgresError(PGconn* Conn) { return Trimmed(PQerrorMessage(Conn)); }
std::string PostgresError(const PGresult* Result) { return Trimmed(PQresultErrorMessage(Result)); }

TPgConn ConnectPostgres(const std::string& ConnInfo) {
  const std::string Password = PasswordIn(ConnInfo);
  char* ParseError = nullptr;
  PQconninfoOption* Parsed = PQconninfoParse(ConnInfo.c_str(), &ParseError);
  if (!Parsed) {
    const std::string Message = ParseError ? Trimmed(ParseError) : "out of memory";
    PQfreemem(ParseError);
    throw EFOpenError("Invalid PostgreSQL connection string: " + WithoutPassword(Message, Password));
  }
  PQconninfoFree(Parsed);
  TPgConn Conn(PQconnectdb(ConnInfo.c_str()));
  if (!Conn) throw EFOpenError("Cannot connect to PostgreSQL: out of memory");
  if (PQstatus(Conn.get()) != CONNECTION_OK) {
    const char* Db = PQdb(Conn.get());
    const char* Host = PQhost(Conn.get());
    throw EFOpenError("Cannot connect to database '" + std::string(Db ? Db : "") + "' on host '" +
                      std::string(Host && *Host ? Host : "(default)") +
                      "': " + WithoutPassword(PostgresError(Conn.get()), Password));
  }
  // Notices ("table does not exist, skipping") are not ours to print.
  PQsetNoticeProcessor(Conn.get(), [](void*, const char*) {}, nullptr);
  // Our own texts are UTF-8 and dates are read in binary, so only the
  // encoding matters; an error here is as good as a failed connection.
  if (PQsetClientEncoding(Conn.get(), "UTF8") != 0)
    throw EFOpenError("Cannot use UTF-8 with database '" + std::string(PQdb(Conn.get())) + "': " +
                      PostgresError(Conn.get()));
  return Conn;
}

TPgResult ExecPostgres(PGconn* Conn, const std::string& Sql, const std::string& Context,
                       const std::vector<std::string>& Params, bool Binary) {
  std::vector<const char*> Values;
  for (const std::string& P : Params) Values.push_back(P.c_str());
  TPgResult Result(Params.empty() && !Binary
                       ? PQexec(Conn, Sql.c_str())
                       : PQexecParams(Conn, Sql.c_str(), static_cast<int>(Values.size()), nullptr, Values.data(),
                                      nullptr, nullptr, Binary ? 1 : 0));
  if (!Result) throw Exception(Context + ": " + PostgresError(Conn));
  const ExecStatusType Status = PQresultStatus(Result.get());
  if (Status != PGRES_COMMAND_OK && Status != PGRES_TUPLES_OK)
    throw Exception(Context + ": " + PostgresError(Result.get()));
  return Result;
}

std::string QuotePgIdentifier(PGconn* Conn, std::string_view Name) {
  char* Quoted = PQescapeIdentifier(Conn, Name.data(), Name.size());
  if (!Quoted) throw Exception("Cannot quote the name '" + std::string(Name) + "': " + PostgresError(Conn));
  std::string Result(Quoted);
  PQfreemem(Quoted);
  return Result;
}

std::string TPgRelation::Qualified(PGconn* Conn) const {
  return QuotePgIdentifier(Conn, Schema) + "." + QuotePgIdentifier(Conn, Name);
}

std::vector<TPgRelation> PostgresRelations(PGconn* Conn) {
  TPgResult Result = ExecPostgres(
      Conn,
      "SELECT c.oid::text, n.nspname, c.relname, c.relkind, pg_table_is_visible(c.oid), c.relhassubclass "
      "FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
      "WHERE c.relkind IN ('r', 'v', 'm', 'p', 'f') "
      "AND n.nspname NOT IN ('pg_catalog', 'information_schema') AND n.nspname NOT LIKE 'pg\\_toast%' "
      "AND n.nspname NOT LIKE 'pg\\_temp%' ORDER BY n.nspname, c.relname",
      "Cannot list the tables of database '" + std::string(PQdb(Conn)) + "'");
  std::vector<TPgRelation> Relations;
  for (int Row = 0; Row < PQntuples(Result.get()); ++Row)
    Relations.push_back({PQgetvalue(Result.get(), Row, 0), PQgetvalue(Result.get(), Row, 1),
                         PQgetvalue(Result.get(), Row, 2), PQgetvalue(Result.get(), Row, 3)[0],
                         PQgetvalue(Result.get(), Row, 4)[0] == 't', PQgetvalue(Result.get(), Row, 5)[0] == 't'});
  return Relations;
}

TPgRelation FindPostgresRelation(PGconn* Conn, const std::string& Name) {
  const std::vector<TPgRelation> Relations = PostgresRelations(Conn);
  const auto Find = [&](auto&& Matches) -> const TPgRelation* {
    for (const TPgRelation& R : Relations)
      if (Matches(R, true)) return &R;
    for (const TPgRelation& R : Relations)
      if (Matches(R, false)) return &R;
    return nullptr;
  };
  const auto Same = [](const std::string& A, std::string_view B, bool Exact) {
    return Exact ? A == B : SameText(A, B);
  };
  const TPgRelation* Found = Find([&](const TPgRelation& R, bool Exact) {
    return R.Visible && Same(R.Name, Name, Exact);
  });
  const size_t Dot = Name.find('.');
  if (!Found && Dot != std::string::npos) {
    const std::string_view Schema = std::string_view(Name).substr(0, Dot);
    const std::string_view Bare = std::string_view(Name).substr(Dot + 1);
    Found = Find([&](const TPgRelation& R, bool Exact) {
      return Same(R.Schema, Schema, Exact) && Same(R.Name, Bare, Exact);
    });
  }
  if (!Found)
    throw EFOpenError("Table '" + Name + "' not found in database '" + std::string(PQdb(Conn)) + "'");
  return *Found;
}
