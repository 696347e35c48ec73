// Entry points of the table drivers, used by the session.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Cursor.h"

// File names (with extension, as on disk) of the *.DB files in Folder.
// Raises EFOpenError when the folder does not exist.
std::vector<std::string> ParadoxTableFiles(const std::string& Folder);
// Opens Folder/TableName (".DB" added when the name has no extension; letter
// case of the file name ignored). Raises EFOpenError naming a missing folder
// or table and Exception for a file pxlib cannot read.
std::unique_ptr<TCursor> OpenParadoxTable(const std::string& Folder, const std::string& TableName);

// Names of the tables in a SQLite file; SystemTables adds "sqlite_" tables.
std::vector<std::string> SqliteTableNames(const std::string& DatabaseFile, bool SystemTables);
// Raises EFOpenError for a missing file and Exception for a missing table.
std::unique_ptr<TCursor> OpenSqliteTable(const std::string& DatabaseFile, const std::string& TableName);

// Names of the tables and views on the search path of the database ConnInfo
// (a libpq connection string or URI) names.
std::vector<std::string> PostgresTableNames(const std::string& ConnInfo);
// Raises EFOpenError for a failed connection or a missing table ("schema.name"
// reaches a table off the search path).
std::unique_ptr<TCursor> OpenPostgresTable(const std::string& ConnInfo, const std::string& TableName);
