// Reader of dense ARFF files (attribute-relation files) into a
// TSourceDataset.
//
// Accepts what real files contain: keywords in any letter case, blanks and
// tabs anywhere between tokens, '%' comments (whole lines, or from an unquoted
// '%' to the end of a line) and blank lines anywhere, single- or double-quoted
// names and values with backslash escapes, a quoted value equal to its bare
// form, nominal values that look like numbers (the declaration decides), and
// nominal values that differ only in letter case (distinct values). Types
// numeric, real and integer are numeric; '?' (unquoted) is missing.
//
// Refused with a message: string, date and relational attributes, sparse rows
// and instance weights. Every error is an Exception "<file>:<line>: <what>".
// The class is the last attribute; TSourceDataset::SelectClass changes it.
#pragma once

#include <istream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "SourceDataset.h"

class TArffReader {
public:
  // SourceName prefixes the messages and becomes the dataset's FileName.
  explicit TArffReader(std::string SourceName);
  TSourceDataset Read(std::istream& In);

  // Opens FileName (EFOpenError when it cannot) and reads it.
  static TSourceDataset ReadFile(const std::string& FileName);

private:
  struct TToken {
    std::string Text;
    bool Quoted = false;
  };
  [[noreturn]] void Fail(const std::string& What) const;
  void ParseHeaderLine(std::string_view Line);
  void ParseAttribute(std::string_view Line, size_t& Pos);
  void ParseNominalList(std::string_view Line, size_t& Pos, TSourceAttribute& Attribute);
  void ParseRow(std::string_view Line);
  TToken ReadToken(std::string_view Line, size_t& Pos, std::string_view Stops) const;

  std::string FSourceName;
  int32_t FLine = 0;
  enum { psRelation, psHeader, psData } FState = psRelation;
  TSourceDataset FResult;
  std::vector<std::unordered_map<std::string, int32_t>> FValueCodes;
  std::vector<TToken> FRow;  // reused for every data row
};
