// SQLite databases. An input that starts with SQLite's file header is the
// database file itself; any other input is SQL run into an empty database
// first (bounded in steps and size, with no other file reachable), so that
// schemas, declared types and values of every kind come into play. Then
// every table of the file (the first 16) is walked.
#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "TableWalk.h"

namespace {

bool ReachesOtherFiles(std::string_view Sql) {
  std::string Upper(Sql);
  std::transform(Upper.begin(), Upper.end(), Upper.begin(), [](unsigned char C) { return std::toupper(C); });
  return Upper.find("ATTACH") != std::string::npos || Upper.find("VACUUM") != std::string::npos ||
         Upper.find("LOAD_EXTENSION") != std::string::npos;
}

void RunSql(const std::filesystem::path& File, std::string_view Sql) {
  sqlite3* Db = nullptr;
  if (sqlite3_open_v2(File.c_str(), &Db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) == SQLITE_OK) {
    sqlite3_exec(Db, "PRAGMA synchronous = OFF; PRAGMA journal_mode = MEMORY", nullptr, nullptr, nullptr);
    sqlite3_limit(Db, SQLITE_LIMIT_LENGTH, 1 << 16);
    sqlite3_limit(Db, SQLITE_LIMIT_ATTACHED, 0);
    int Steps = 0;
    sqlite3_progress_handler(Db, 100, [](void* P) { return ++*static_cast<int*>(P) > 1000 ? 1 : 0; }, &Steps);
    const std::string Text(Sql);
    sqlite3_exec(Db, Text.c_str(), nullptr, nullptr, nullptr);
  }
  sqlite3_close(Db);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // No lookaside arena: it costs every connection (several per input) a
  // large allocation, and without it the sanitizer sees each small block.
  sqlite3_config(SQLITE_CONFIG_LOOKASIDE, 0, 0);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  static const std::filesystem::path File = fuzz::ScratchFolder("sqlite") / "fuzz.sqlite";
  static TSession Session(nullptr);
  static const bool Ready = (Session.AddStandardAlias("SQ", File.string(), "SQLITE"), true);
  (void)Ready;
  const std::string_view Text = fuzz::AsText(Data, Size);
  std::filesystem::remove(File);
  for (const char* Extra : {"-journal", "-wal", "-shm"}) std::filesystem::remove(File.string() + Extra);
  if (Text.starts_with(std::string_view("SQLite format 3\0", 16))) {
    fuzz::WriteFile(File, Data, Size);
  } else {
    if (ReachesOtherFiles(Text)) return -1;
    RunSql(File, Text);
  }
  std::vector<std::string> Names;
  if (fuzz::Refused([&] { Names = Session.TableNames("SQ", "*", true, true); })) return 0;
  if (Names.size() > 16) Names.resize(16);
  for (const std::string& Name : Names) fuzz::WalkTable(Session, "SQ", Name);
  return 0;
}
