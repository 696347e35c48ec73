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

#include <istream>
#include <string>

#include "SourceDataset.h"

class TCsvReader {
public:
  explicit TCsvReader(std::string SourceName, std::string ClassName = "");
  TSourceDataset Read(std::istream& In);

  static TSourceDataset ReadFile(const std::string& FileName, const std::string& ClassName = "");

private:
  std::string FSourceName;
  std::string FClassName;
};
