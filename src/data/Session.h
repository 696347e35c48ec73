// A session: the aliases through which tables are found, and the drivers
// behind them.
//
// A session is an ordinary component owned by the program (there is no
// global one); tables refer to it. Drivers:
//   "PARADOX"  the alias path is a folder; its tables are the *.DB files in
//              it, named with their extension ("ANKE.DB").
//   "SQLITE"   the alias path is a database file; its tables are the file's
//              tables, named without extension. A table name given with the
//              extension ".DB" that the file lacks is looked up without it,
//              so programs written for Paradox aliases work unchanged.
//   "POSTGRES" the alias path is a libpq connection string or URI; its
//              tables are the tables and views on the database's search
//              path, named as SQLite tables are ("schema.name" also opens
//              one off the search path).
// An empty driver name means "PARADOX". Names of aliases, drivers and tables
// ignore letter case.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Component.h"
#include "StringList.h"

class TCursor;

class TSession : public TComponent {
public:
  explicit TSession(TComponent* AOwner);
  std::string TypeName() const override { return "TSession"; }

  // Raises "Alias 'X' already exists", "Unknown driver 'X'" or, for an empty
  // name, "Alias name is empty". The path is checked only when it is used.
  void AddStandardAlias(const std::string& Name, const std::string& Path, const std::string& Driver);
  void DeleteAlias(std::string_view Name);  // raises "Unknown alias 'X'"
  bool IsAlias(std::string_view Name) const;
  // Clears List and fills it with the alias names in the order they were added.
  void GetAliasNames(TStringList& List) const;
  std::string AliasPath(std::string_view Name) const;    // raises "Unknown alias 'X'"
  std::string AliasDriver(std::string_view Name) const;  // "PARADOX", "SQLITE" or "POSTGRES"

  // Clears List and fills it with the names of the alias's tables that match
  // Pattern ("*" any characters, "?" one; letter case ignored; empty = all),
  // sorted by name with letter case ignored. This order is documented: the
  // programs pick tables by position in it. Paradox: Pattern matches the file
  // name; Extensions false lists the names without ".DB". SQLite: Pattern
  // matches the table name, an extension in it (as in "*.DB") is ignored;
  // SystemTables adds SQLite's own "sqlite_" tables. Raises for an unknown
  // alias, a missing folder or a missing or unreadable database file.
  // PostgreSQL lists like SQLite; a failed connection raises.
  void GetTableNames(std::string_view Alias, std::string_view Pattern, bool Extensions, bool SystemTables,
                     TStringList& List) const;
  std::vector<std::string> TableNames(std::string_view Alias, std::string_view Pattern = "*",
                                      bool Extensions = true, bool SystemTables = false) const;

  // Opens a cursor over a table of the alias; raises when the alias, its
  // folder or file, or the table is missing.
  std::unique_ptr<TCursor> OpenTable(std::string_view Alias, const std::string& TableName) const;

private:
  struct TAlias {
    std::string Name, Path, Driver;
  };
  const TAlias& FindAlias(std::string_view Name) const;
  // The table names of a SQLite or PostgreSQL alias.
  std::vector<std::string> DatabaseTableNames(const TAlias& Alias, bool SystemTables) const;
  std::vector<TAlias> FAliases;
};

// True when Name matches Pattern ("*" and "?", letter case ignored).
bool NameMatches(std::string_view Pattern, std::string_view Name);
