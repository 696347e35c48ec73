// Turns a parsed dataset into a table of the sample layout (SampleLayout.h):
//
//   "ID"               1..n in source order
//   "Class"            one-based code of the class value, in declared order
//   "Value"            0: not an attribute, so it carries nothing a
//                      classifier that forgot to ignore it could learn
//   "Split0".."Split31" the splits of TSampleSplits
//   one field per other attribute, in source order:
//                      nominal: ftSmallint holding the one-based code
//                      numeric: ftFloat
//                      missing: 999 in both kinds
//
// Nothing is lost silently: attribute names that are not legal or unique
// field names are renamed (TFieldNameMap) and listed in Renamed; a numeric
// value equal to the marker 999, which the tables read as missing, is listed
// in MarkerClashes with its rows.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "SampleLayout.h"
#include "SampleSplits.h"
#include "SourceDataset.h"
#include "SourceRows.h"
#include "TableWriter.h"

struct TRenamedField {
  std::string Attribute;  // name in the source file
  std::string FieldName;  // name in the table
};

struct TMarkerClash {
  std::string Attribute;
  std::string FieldName;
  std::vector<int32_t> Rows;   // the rows' "ID" values
  std::vector<int32_t> Lines;  // their lines in the source file
};

struct TImportResult {
  std::string Table;  // the file or table written
  int32_t Rows = 0;
  std::string ClassAttribute;            // source name of the class attribute
  std::vector<std::string> ClassValues;  // class value of code k at index k - 1
  std::vector<TFieldDef> Fields;
  std::vector<TRenamedField> Renamed;
  std::vector<TMarkerClash> MarkerClashes;
  std::vector<std::string> Warnings;  // one line of text per clash, for printing
};

class TSampleImporter {
public:
  static constexpr int32_t MissingCode = TSampleLayout::MissingCode;
  static constexpr double MissingFloat = TSampleLayout::MissingCode;

  // Source must outlive the importer. Checks that Source fits the layout and fixes fields and splits. Throws
  // Exception "<file>:<line>: <what>" when the class attribute is numeric or
  // a row lacks its class, or when a nominal attribute has more values than
  // codes below the marker (998).
  explicit TSampleImporter(const TSourceDataset& Source);
  TSampleImporter(TSourceDataset&&) = delete;
  // The same for a source read in passes (Source must outlive the
  // importer): the rows are read again by every write, one at a time.
  explicit TSampleImporter(TSourceRows& Source);

  const std::vector<TFieldDef>& Fields() const { return FFields; }
  const std::vector<TRenamedField>& Renamed() const { return FRenamed; }

  // Appends every row to Writer (whose fields must be Fields()) and closes it.
  // TableName only labels the result.
  TImportResult WriteTo(TTableWriter& Writer, const std::string& TableName) const;

  // The Paradox table file FileName, created or replaced: written beside it,
  // flushed, then renamed over it (ReplaceFile), so an error leaves a table
  // of that name as it was and no half-written file behind.
  TImportResult WriteParadox(const std::string& FileName) const;
  // The same, creating the folder when it is missing.
  TImportResult ReplaceParadox(const std::string& FileName) const;
  // A table in a SQLite database, replacing one of the same name.
  TImportResult WriteSqlite(const std::string& DatabaseFile, const std::string& TableName) const;

private:
  explicit TSampleImporter(std::unique_ptr<TSourceRows> Owned);
  void Check();

  std::unique_ptr<TSourceRows> FOwnedRows;  // a dataset in memory, served as rows
  TSourceRows& FRows;
  const TSourceDataset& FSource;  // the header of FRows
  std::vector<TFieldDef> FFields;
  std::vector<TRenamedField> FRenamed;
  std::vector<size_t> FAttributes;  // source positions of the attribute fields
  std::optional<TSampleSplits> FSplits;
};

// Reads FileName as ARFF or CSV by its extension (".arff", ".csv", any letter
// case) with ClassName as the class (empty: the last attribute).
TSourceDataset ReadSourceFile(const std::string& FileName, const std::string& ClassName = "");
// The same, as a source read in passes (TCsvRows, TArffRows): the rows are
// read from the file again for every write instead of being held.
std::unique_ptr<TSourceRows> OpenSourceFile(const std::string& FileName, const std::string& ClassName = "");
