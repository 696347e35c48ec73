// The data source of a command: the sample alias over --data DIR (a folder
// of Paradox tables), --sqlite FILE, or by default the folder Data beside the
// program, in a session of the command's own.
#pragma once

#include <memory>
#include <string>

#include "Arguments.h"
#include "PelloryTool.h"

class TSession;
class TTable;

class TDataSource {
public:
  // Both --data and --sqlite, or an empty value, is a TUsageError. Nothing
  // is opened yet.
  TDataSource(const TArguments& Args, const TToolIO& IO);
  ~TDataSource();

  TSession& Session() const { return *FSession; }
  bool Sqlite() const { return FSqlite; }
  const std::string& Path() const { return FPath; }

  // The alias's table names, as the cross test lists them.
  std::vector<std::string> TableNames() const;
  // The listed name that Name means: equal ignoring letter case, or equal
  // once ".DB" is added or dropped. Raises Exception "no table 'X' in <path>".
  std::string ResolveTable(const std::string& Name) const;
  // A table of the alias, opened; owned by the caller.
  std::unique_ptr<TTable> OpenTable(const std::string& Name) const;

private:
  std::unique_ptr<TSession> FSession;
  bool FSqlite = false;
  std::string FPath;
};
