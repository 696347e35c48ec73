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

#include <fstream>
#include <istream>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "SourceDataset.h"
#include "SourceRows.h"

class TArffReader {
public:
  // SourceName prefixes the messages and becomes the dataset's FileName.
  explicit TArffReader(std::string SourceName);
  TSourceDataset Read(std::istream& In);

  // Opens FileName (EFOpenError when it cannot) and reads it.
  static TSourceDataset ReadFile(const std::string& FileName);

  // Reading a row at a time: ReadHeader reads up to and including @data
  // (Header then holds the attributes, no rows); ReadRow reads the next row
  // into Cells (one per attribute), false after the last.
  void ReadHeader(std::istream& In);
  bool ReadRow(std::istream& In, std::span<double> Cells, int32_t& Line);
  const TSourceDataset& Header() const { return FResult; }

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
  // The next line that is not blank or a comment, without leading blanks
  // and a trailing CR; false at the end of the text.
  bool NextLine(std::istream& In, std::string_view& Line);

  std::string FSourceName;
  int32_t FLine = 0;
  enum { psRelation, psHeader, psData } FState = psRelation;
  TSourceDataset FResult;
  std::vector<std::unordered_map<std::string, int32_t>> FValueCodes;
  std::vector<TToken> FRow;  // reused for every data row
  std::string FBuffer;       // the current line
};

// An ARFF file read in passes (see SourceRows.h): the first checks every row
// and keeps its class; the later ones read the rows again one at a time. The
// stream must be seekable and outlive this object.
class TArffRows : public TSourceRows {
public:
  TArffRows(std::string SourceName, std::istream& In, const std::string& ClassName = "");
  TArffRows(const TArffRows&) = delete;
  TArffRows& operator=(const TArffRows&) = delete;

  // Opens FileName (EFOpenError when it cannot) and reads its first pass.
  static std::unique_ptr<TArffRows> OpenFile(const std::string& FileName, const std::string& ClassName = "");

  const TSourceDataset& Header() const override { return FHeader; }
  void Rewind() override;
  bool Next(std::span<double> Cells, int32_t& Line) override;

private:
  [[noreturn]] void Changed(int32_t Line) const;

  std::unique_ptr<std::ifstream> FFile;  // when opened by OpenFile
  std::istream& FIn;
  TArffReader FReader;
  std::string FSourceName;
  TSourceDataset FHeader;
  size_t FRow = 0;
};
