// Reader of comma-separated files into a TSourceDataset.
//
// The first non-blank record names the columns. Cells follow RFC 4180:
// separated by commas, optionally enclosed in double quotes (a doubled quote
// inside stands for one; quoted cells may hold commas and line breaks);
// records end at LF or CRLF; blank lines are skipped. Blanks around an
// unquoted cell are dropped. An empty cell or "?" is missing.
//
// A column is numeric when every present cell is a number, otherwise nominal
// with its values in order of first appearance. The class column (ClassName,
// or the last column when it is empty) is always nominal; when all its values
// are numbers they are ordered by value, so labels 0/1 get codes 1/2.
//
// Errors are Exception "<file>:<line>: <what>" (line where the record starts).
#pragma once

#include <cstdint>
#include <fstream>
#include <istream>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "SourceDataset.h"
#include "SourceRows.h"

// A CSV file read in passes: memory holds the distinct values of the nominal
// columns and one class code per row, never the rows. The stream must be
// seekable (a file) and outlive this object. The constructor reads the whole
// file once and raises every error the file holds, except a change of the
// file between passes, which Next reports.
class TCsvRows : public TSourceRows {
public:
  TCsvRows(std::string SourceName, std::istream& In, const std::string& ClassName = "");
  ~TCsvRows() override;
  TCsvRows(const TCsvRows&) = delete;
  TCsvRows& operator=(const TCsvRows&) = delete;

  // Opens FileName (EFOpenError when it cannot) and reads its first pass.
  static std::unique_ptr<TCsvRows> OpenFile(const std::string& FileName, const std::string& ClassName = "");

  const TSourceDataset& Header() const override { return FHeader; }
  void Rewind() override;
  bool Next(std::span<double> Cells, int32_t& Line) override;

private:
  // Distinct values a column that looks numeric keeps: more than a sample
  // table can code, so a nominal column is still refused for its count.
  static constexpr size_t kNumericValuesKept = 1024;
  struct TColumn {
    bool AllNumbers = true;
    bool Overflowed = false;  // stopped keeping values while AllNumbers
    std::vector<std::string> Values;  // in order of first appearance
    std::unordered_map<std::string, int32_t> Codes;
  };
  struct TState;

  [[noreturn]] void Fail(int32_t Line, const std::string& What) const;
  void ReadHeader();
  void FirstPass(bool KeepAll);
  void Decide();

  std::unique_ptr<std::ifstream> FFile;  // when opened by OpenFile
  std::unique_ptr<TState> FState;
  TSourceDataset FHeader;
  std::vector<TColumn> FColumns;
  size_t FRow = 0;
};

class TCsvReader {
public:
  explicit TCsvReader(std::string SourceName, std::string ClassName = "");
  TSourceDataset Read(std::istream& In);

  static TSourceDataset ReadFile(const std::string& FileName, const std::string& ClassName = "");

private:
  std::string FSourceName;
  std::string FClassName;
};
