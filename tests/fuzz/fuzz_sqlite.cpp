// SQLite databases. An input that starts with SQLite's file header is the
// database file itself; any other input is SQL run into an empty database
// first (bounded in steps and size, with no other file reachable), so that
// schemas, declared types and values of every kind come into play. Then
// every table of the file (the first 16) is walked.
//
// Nothing touches the disk: SQLite's in-memory file system is made the
// default, so the database "file" the session opens by name is a shared
// in-memory database that lives while this target holds a connection to it.
// The name is also an empty file on disk, as the driver checks that a
// database file exists before it opens it.
#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>

#include "TableWalk.h"

namespace {

bool ReachesOtherFiles(std::string_view Sql) {
  std::string Upper(Sql);
  std::transform(Upper.begin(), Upper.end(), Upper.begin(), [](unsigned char C) { return std::toupper(C); });
  return Upper.find("ATTACH") != std::string::npos || Upper.find("VACUUM") != std::string::npos ||
         Upper.find("LOAD_EXTENSION") != std::string::npos;
}

// Runs Sql on the target's connection, then takes back what a statement
// left open, as closing a connection would, so readers never wait on it.
void RunSql(sqlite3* Db, std::string_view Sql) {
  sqlite3_limit(Db, SQLITE_LIMIT_LENGTH, 1 << 16);
  sqlite3_limit(Db, SQLITE_LIMIT_ATTACHED, 0);
  int Steps = 0;
  sqlite3_progress_handler(Db, 100, [](void* P) { return ++*static_cast<int*>(P) > 1000 ? 1 : 0; }, &Steps);
  const std::string Text(Sql);
  sqlite3_exec(Db, Text.c_str(), nullptr, nullptr, nullptr);
  sqlite3_progress_handler(Db, 0, nullptr, nullptr);
  if (!sqlite3_get_autocommit(Db)) sqlite3_exec(Db, "ROLLBACK", nullptr, nullptr, nullptr);
}

// The input as the database's bytes, written straight into its file.
void WriteImage(sqlite3* Db, const uint8_t* Data, size_t Size) {
  sqlite3_file* File = nullptr;
  if (sqlite3_file_control(Db, "main", SQLITE_FCNTL_FILE_POINTER, &File) != SQLITE_OK || !File || !File->pMethods)
    return;
  File->pMethods->xTruncate(File, 0);
  File->pMethods->xWrite(File, Data, static_cast<int>(Size), 0);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // No lookaside arena: it costs every connection (several per input) a
  // large allocation, and without it the sanitizer sees each small block.
  sqlite3_config(SQLITE_CONFIG_LOOKASIDE, 0, 0);
  sqlite3_vfs_register(sqlite3_vfs_find("memdb"), 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  static const std::filesystem::path File = [] {
    const auto Path = fuzz::ScratchFolder("sqlite") / "fuzz.sqlite";
    fuzz::WriteFile(Path, nullptr, 0);
    return Path;
  }();
  static TSession Session(nullptr);
  static const bool Ready = (Session.AddStandardAlias("SQ", File.string(), "SQLITE"), true);
  (void)Ready;
  const std::string_view Text = fuzz::AsText(Data, Size);
  const bool Image = Text.starts_with(std::string_view("SQLite format 3\0", 16));
  if (!Image && ReachesOtherFiles(Text)) return -1;
  // The database lives as long as this connection: made empty here, gone at the end.
  sqlite3* Raw = nullptr;
  sqlite3_open_v2(File.c_str(), &Raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  const std::unique_ptr<sqlite3, int (*)(sqlite3*)> Holder(Raw, sqlite3_close);
  if (!Holder) return 0;
  if (Image) WriteImage(Holder.get(), Data, Size);
  else RunSql(Holder.get(), Text);
  std::vector<std::string> Names;
  if (fuzz::Refused([&] { Names = Session.TableNames("SQ", "*", true, true); })) return 0;
  if (Names.size() > 16) Names.resize(16);
  for (const std::string& Name : Names) fuzz::WalkTable(Session, "SQ", Name);
  return 0;
}
