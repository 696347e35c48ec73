// Tables for the binding's tests, written once per test program into a
// temporary folder as Paradox files and as tables of one SQLite file, and
// opened again through the dataset layer.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "TableWriter.h"

class TTable;

enum class TStore { Paradox, Sqlite };
const char* StoreName(TStore Store);
inline const std::vector<TStore> AllStores{TStore::Paradox, TStore::Sqlite};

// Rows of the shared table "SHARED" (ID, A text, B small integer, X float,
// Class small integer):
//   ID  A      B    X     Class
//   1   red    1    0.5   1
//   2   blue   3    1.5   2
//   3   red    999  2.5   1
//   4   999    2    999   2
//   5   (null) 1    0.25  1
// "ACC": four rows (ID, B, Class) 1/1, 2/2, 3/1, 4/2 with B = 1, 2, 1, 1.
// "EMPTY": the layout of SHARED without rows.
// "ODD": ID, A small integer, Auto auto-increment, Note memo (null), Class
//   small integer; 2 rows. (SQLite stores Auto as INTEGER; Note stays a memo.)
// "KNN": ID, B small integer, X float, Class; 5 distinct rows, classes
//   1, 2, 1, 2, 1.
// "TEXTCLASS": ID, A small integer, Kind text ("yes", "no", "maybe"), Cls
//   float (1, 2, 1).
// Opens a table of the store; the table is active and on its first row.
std::unique_ptr<TTable> OpenTable(TStore Store, const std::string& Name);

// Writes a further table into both stores (for tests with their own layout).
void WriteTable(const std::string& Name, const std::vector<TFieldDef>& Fields,
                const std::vector<std::vector<TFieldValue>>& Rows);

// The ID of the current row.
int32_t CurrentId(TTable& Table);
// Moves to the row with that ID (from the first row on).
void MoveToId(TTable& Table, int32_t Id);
