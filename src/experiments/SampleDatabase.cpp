// Where the sample tables are and how the programs reach them.
#include "SampleDatabase.h"

#include <filesystem>
#include <system_error>

#include "Session.h"
#include "StringList.h"

std::string ProgramFolder() {
  std::error_code Error;
  const std::filesystem::path Exe = std::filesystem::read_symlink("/proc/self/exe", Error);
  if (Error || Exe.empty()) return ".";
  return Exe.parent_path().string();
}

std::string SampleDataFolder(const std::string& ProgramFolder) {
  return (std::filesystem::path(ProgramFolder) / "Data").string();
}

std::string SampleDataFolder() { return SampleDataFolder(ProgramFolder()); }

bool EnsureSampleAlias(TSession& Session, const std::string& Path, const std::string& Driver) {
  TStringList Names;
  Session.GetAliasNames(Names);
  Names.SetSorted(true);
  int32_t Index = 0;
  if (Names.Find(SampleAlias, Index)) return false;
  Session.AddStandardAlias(SampleAlias, Path, Driver);
  return true;
}

std::vector<std::string> SampleTableNames(const TSession& Session) {
  return Session.TableNames(SampleAlias, "*.DB", true, false);
}
