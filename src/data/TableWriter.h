// Creating a table and appending rows to it, for the importer and the tests.
// The readers are the datasets; this is the one write path.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "FieldType.h"

struct TFieldDef {
  std::string Name;
  TFieldType DataType = ftUnknown;
  int32_t Size = 0;  // ftString: the largest byte length; otherwise 0
};

// One cell: null, an integer (ftSmallint, ftInteger, ftAutoInc, ftLargeint
// within 32 bits), a float (ftFloat, ftCurrency), a text (ftString) or a
// Boolean (ftBoolean).
using TFieldValue = std::variant<std::monostate, int32_t, double, std::string, bool>;

class TTableWriter {
public:
  virtual ~TTableWriter() = default;
  // Appends one row; Values holds one cell per field in field order. A cell
  // that does not fit its field (a text longer than its size, a value of the
  // wrong kind) raises Exception naming the field and the row.
  virtual void AppendRow(std::span<const TFieldValue> Values) = 0;
  // Finishes the table; the destructor closes too but cannot report errors.
  virtual void Close() = 0;
};

// A Paradox table file (FileName with its ".DB" extension), created anew.
std::unique_ptr<TTableWriter> CreateParadoxTable(const std::string& FileName,
                                                 const std::vector<TFieldDef>& Fields);
// A table in a SQLite database file (created when missing); an existing
// table of the same name is replaced.
std::unique_ptr<TTableWriter> CreateSqliteTable(const std::string& DatabaseFile,
                                                const std::string& TableName,
                                                const std::vector<TFieldDef>& Fields);
// A table in the PostgreSQL database ConnInfo names (in the first schema of
// its search path; TableName is the table's name, quoted as it is), loaded by
// a binary COPY in one transaction with the DROP of a table of that name: a
// load that fails before Close leaves the old table as it was.
std::unique_ptr<TTableWriter> CreatePostgresTable(const std::string& ConnInfo,
                                                  const std::string& TableName,
                                                  const std::vector<TFieldDef>& Fields);
