// The sample database: the alias "HalvornAIDataD" through which the cross
// test and the interactive page find their tables.
//
// By default the alias is a Paradox folder "Data" beside the program file.
// A program may define the alias itself first (another folder, or a SQLite
// file); an alias of that name that already exists, in any letter case, is
// used unchanged.
#pragma once

#include <string>
#include <vector>

class TSession;

inline constexpr const char* SampleAlias = "HalvornAIDataD";
inline constexpr const char* SampleDriver = "PARADOX";

// The folder of the running program file (/proc/self/exe); "." when the
// system does not tell.
std::string ProgramFolder();
// The sample folder beside a program: ProgramFolder + "/Data".
std::string SampleDataFolder(const std::string& ProgramFolder);
// The one beside the running program.
std::string SampleDataFolder();

// Looks SampleAlias up among the session's aliases (letter case ignored) and
// adds it with Path and Driver when it is missing. Returns true when added.
bool EnsureSampleAlias(TSession& Session, const std::string& Path, const std::string& Driver = SampleDriver);

// The alias's tables matching "*.DB", with extensions, without system tables,
// in the dataset layer's order (the order the pages pick tables by).
std::vector<std::string> SampleTableNames(const TSession& Session);
