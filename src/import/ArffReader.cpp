// ARFF reading, line by line: a header of @relation and @attribute
// declarations, then @data and one comma-separated row per line. Quoting and
// comments follow the tokenizer rules of the format's reference reader, so a
// file that it accepts reads the same here; what it would take in a way that
// silently loses data (sparse rows, weights) is refused instead.
#include "ArffReader.h"

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <fstream>

#include "Convert.h"
#include "Exceptions.h"
#include "NumberText.h"

namespace {

bool IsBlank(char C) { return C == ' ' || C == '\t'; }

void SkipBlanks(std::string_view Line, size_t& Pos) {
  while (Pos < Line.size() && IsBlank(Line[Pos])) ++Pos;
}

// Nothing but blanks and an optional comment remain.
bool AtLineEnd(std::string_view Line, size_t Pos) {
  SkipBlanks(Line, Pos);
  return Pos >= Line.size() || Line[Pos] == '%';
}

// Built by appending: GCC 12 warns falsely (-Wrestrict) on "'" + s + "'".
// The unexpected rest of a line, without its leading blanks.
std::string_view Rest(std::string_view Line, size_t Pos) {
  SkipBlanks(Line, Pos);
  return Line.substr(Pos);
}

std::string Quote(std::string_view Text) {
  std::string Result(1, '\'');
  Result += Text;
  Result += '\'';
  return Result;
}

bool HasBlank(std::string_view Text) {
  for (char C : Text)
    if (IsBlank(C)) return true;
  return false;
}

}  // namespace

TArffReader::TArffReader(std::string SourceName) : FSourceName(std::move(SourceName)) {}

void TArffReader::Fail(const std::string& What) const {
  throw Exception(FSourceName + ":" + std::to_string(FLine) + ": " + What);
}

// A quoted token ends at its closing quote; a bare one at a blank or at one
// of Stops, with trailing blanks removed. Returns with Pos after the token.
TArffReader::TToken TArffReader::ReadToken(std::string_view Line, size_t& Pos,
                                           std::string_view Stops) const {
  TToken Token;
  SkipBlanks(Line, Pos);
  if (Pos < Line.size() && (Line[Pos] == '\'' || Line[Pos] == '"')) {
    const char QuoteChar = Line[Pos++];
    Token.Quoted = true;
    for (;;) {
      if (Pos >= Line.size()) Fail("unterminated quoted text " + std::string(1, QuoteChar) + Token.Text);
      char C = Line[Pos++];
      if (C == QuoteChar) break;
      if (C == '\\' && Pos < Line.size()) {
        C = Line[Pos++];
        switch (C) {
          case 'n': C = '\n'; break;
          case 't': C = '\t'; break;
          case 'r': C = '\r'; break;
          default: break;  // \\ \' \" \% and any other character stand for themselves
        }
      }
      Token.Text += C;
    }
    return Token;
  }
  const size_t Start = Pos;
  while (Pos < Line.size() && Stops.find(Line[Pos]) == std::string_view::npos) ++Pos;
  std::string_view Text = Line.substr(Start, Pos - Start);
  while (!Text.empty() && IsBlank(Text.back())) Text.remove_suffix(1);
  Token.Text = Text;
  return Token;
}

bool TArffReader::NextLine(std::istream& In, std::string_view& Line) {
  while (std::getline(In, FBuffer)) {
    ++FLine;
    Line = FBuffer;
    if (!Line.empty() && Line.back() == '\r') Line.remove_suffix(1);
    size_t Pos = 0;
    SkipBlanks(Line, Pos);
    if (Pos >= Line.size() || Line[Pos] == '%') continue;
    Line.remove_prefix(Pos);
    return true;
  }
  if (In.bad()) Fail("read error");
  return false;
}

void TArffReader::ReadHeader(std::istream& In) {
  FResult = TSourceDataset();
  FResult.FileName = FSourceName;
  FValueCodes.clear();
  FState = psRelation;
  FLine = 0;
  std::string_view Line;
  while (FState != psData && NextLine(In, Line)) ParseHeaderLine(Line);
  if (FState != psData) {
    if (FLine == 0) FLine = 1;
    Fail(FState == psRelation ? "no @relation: this is not an ARFF file" : "missing @data");
  }
  FResult.ClassIndex = static_cast<int32_t>(FResult.Attributes.size()) - 1;
}

TSourceDataset TArffReader::Read(std::istream& In) {
  ReadHeader(In);
  std::string_view Line;
  while (NextLine(In, Line)) ParseRow(Line);
  return std::move(FResult);
}

bool TArffReader::ReadRow(std::istream& In, std::span<double> Cells, int32_t& Line) {
  std::string_view Text;
  if (!NextLine(In, Text)) return false;
  FResult.Cells.clear();
  FResult.Lines.clear();
  ParseRow(Text);  // one cell per attribute, or it fails
  if (Cells.size() != FResult.Cells.size())
    throw Exception(FSourceName + ": a row has " + std::to_string(FResult.Cells.size()) + " cells");
  std::copy(FResult.Cells.begin(), FResult.Cells.end(), Cells.begin());
  Line = FLine;
  FResult.Cells.clear();
  FResult.Lines.clear();
  return true;
}

void TArffReader::ParseHeaderLine(std::string_view Line) {
  if (Line.front() != '@') {
    if (FState == psRelation) Fail("expected @relation, found " + Quote(Line));
    Fail("expected @attribute or @data, found " + Quote(Line));
  }
  size_t Pos = 0;
  while (Pos < Line.size() && !IsBlank(Line[Pos]) && Line[Pos] != '{' && Line[Pos] != '%') ++Pos;
  const std::string_view Keyword = Line.substr(0, Pos);
  if (SameText(Keyword, "@relation")) {
    if (FState != psRelation) Fail("second @relation");
    const TToken Name = ReadToken(Line, Pos, " \t%");
    if (Name.Text.empty() && !Name.Quoted) Fail("@relation without a name");
    if (!AtLineEnd(Line, Pos)) Fail("unexpected text after the relation name: " + Quote(Rest(Line, Pos)));
    FResult.Relation = Name.Text;
    FState = psHeader;
  } else if (SameText(Keyword, "@attribute")) {
    if (FState == psRelation) Fail("@attribute before @relation");
    ParseAttribute(Line, Pos);
  } else if (SameText(Keyword, "@data")) {
    if (FState == psRelation) Fail("@data before @relation");
    if (FResult.Attributes.empty()) Fail("@data before any @attribute");
    if (!AtLineEnd(Line, Pos)) Fail("unexpected text after @data: " + Quote(Rest(Line, Pos)));
    FState = psData;
  } else {
    Fail("unknown keyword " + Quote(Keyword));
  }
}

void TArffReader::ParseAttribute(std::string_view Line, size_t& Pos) {
  TSourceAttribute Attribute;
  Attribute.Line = FLine;
  const TToken Name = ReadToken(Line, Pos, " \t{%");
  if (Name.Text.empty()) Fail("@attribute without a name");
  Attribute.Name = Name.Text;
  for (const TSourceAttribute& Other : FResult.Attributes)
    if (Other.Name == Attribute.Name) Fail("attribute " + Quote(Attribute.Name) + " is declared twice");
  SkipBlanks(Line, Pos);
  if (Pos < Line.size() && Line[Pos] == '{') {
    ++Pos;
    Attribute.Nominal = true;
    ParseNominalList(Line, Pos, Attribute);
  } else {
    const size_t Start = Pos;
    while (Pos < Line.size() && !IsBlank(Line[Pos]) && Line[Pos] != '%') ++Pos;
    const std::string_view Type = Line.substr(Start, Pos - Start);
    if (Type.empty()) Fail("attribute " + Quote(Attribute.Name) + " has no type");
    if (SameText(Type, "numeric") || SameText(Type, "real") || SameText(Type, "integer")) {
      Attribute.Nominal = false;
    } else if (SameText(Type, "string") || SameText(Type, "date") || SameText(Type, "relational")) {
      Fail("attribute " + Quote(Attribute.Name) + " has type " + std::string(Type) +
           ", which a sample table cannot hold (only nominal and numeric attributes)");
    } else {
      Fail("unknown type " + Quote(Type) + " of attribute " + Quote(Attribute.Name));
    }
  }
  if (!AtLineEnd(Line, Pos))
    Fail("unexpected text after the type of attribute " + Quote(Attribute.Name) + ": " +
         Quote(Rest(Line, Pos)));
  std::unordered_map<std::string, int32_t> Codes;
  for (size_t i = 0; i < Attribute.Values.size(); ++i)
    Codes.emplace(Attribute.Values[i], static_cast<int32_t>(i));
  FValueCodes.push_back(std::move(Codes));
  FResult.Attributes.push_back(std::move(Attribute));
}

void TArffReader::ParseNominalList(std::string_view Line, size_t& Pos, TSourceAttribute& Attribute) {
  const std::string Where = " in the declaration of " + Quote(Attribute.Name);
  SkipBlanks(Line, Pos);
  if (Pos < Line.size() && Line[Pos] == '}') {  // {} declares no values; every row must have '?'
    ++Pos;
    return;
  }
  for (;;) {
    const TToken Value = ReadToken(Line, Pos, ",}%");
    if (!Value.Quoted) {
      if (Value.Text.empty()) Fail("empty value" + Where);
      if (HasBlank(Value.Text)) Fail("unquoted value with a blank " + Quote(Value.Text) + Where);
    }
    for (const std::string& Other : Attribute.Values)
      if (Other == Value.Text) Fail("value " + Quote(Value.Text) + " appears twice" + Where);
    Attribute.Values.push_back(Value.Text);
    SkipBlanks(Line, Pos);
    if (Pos >= Line.size() || Line[Pos] == '%') Fail("missing '}'" + Where);
    const char C = Line[Pos++];
    if (C == '}') return;
    if (C != ',') Fail("expected ',' or '}' after value " + Quote(Value.Text) + Where);
  }
}

void TArffReader::ParseRow(std::string_view Line) {
  if (Line.front() == '{') Fail("sparse rows are not supported; write every value of the row");
  if (Line.front() == '@') {
    size_t End = 0;
    while (End < Line.size() && !IsBlank(Line[End])) ++End;
    const std::string_view Keyword = Line.substr(0, End);
    if (SameText(Keyword, "@attribute") || SameText(Keyword, "@relation") || SameText(Keyword, "@data"))
      Fail(std::string(Keyword) + " after @data");
  }
  const size_t Count = FResult.Attributes.size();
  size_t Used = 0;
  size_t Pos = 0;
  for (;;) {
    if (Used == FRow.size()) FRow.emplace_back();
    TToken& Token = FRow[Used];
    Token = ReadToken(Line, Pos, ",%");
    ++Used;
    if (!Token.Quoted) {
      if (Token.Text.empty()) Fail("value " + std::to_string(Used) + " of the row is empty");
      if (Token.Text.front() == '{')
        Fail("instance weights are not supported: " + Quote(Token.Text));
      if (HasBlank(Token.Text)) Fail("unquoted value with a blank " + Quote(Token.Text));
    }
    SkipBlanks(Line, Pos);
    if (Pos >= Line.size() || Line[Pos] == '%') break;
    if (Line[Pos] != ',') Fail("expected ',' after value " + Quote(Token.Text));
    ++Pos;
  }
  if (Used != Count)
    Fail("the row has " + std::to_string(Used) + " values, the header declares " + std::to_string(Count) +
         " attributes");
  for (size_t i = 0; i < Count; ++i) {
    const TToken& Token = FRow[i];
    const TSourceAttribute& Attribute = FResult.Attributes[i];
    if (!Token.Quoted && Token.Text == "?") {
      FResult.Cells.push_back(TSourceDataset::Missing);
    } else if (Attribute.Nominal) {
      const auto Found = FValueCodes[i].find(Token.Text);
      if (Found == FValueCodes[i].end())
        Fail("value " + Quote(Token.Text) + " is not declared for attribute " + Quote(Attribute.Name));
      FResult.Cells.push_back(Found->second);
    } else {
      const std::optional<double> Number = ParseNumberCell(Token.Text);
      if (!Number) Fail(Quote(Token.Text) + " is not a number (attribute " + Quote(Attribute.Name) + ")");
      FResult.Cells.push_back(*Number);
    }
  }
  FResult.Lines.push_back(FLine);
}

TSourceDataset TArffReader::ReadFile(const std::string& FileName) {
  std::ifstream In(FileName, std::ios::binary);
  if (!In) throw EFOpenError("Cannot open file \"" + FileName + "\". " + std::strerror(errno));
  return TArffReader(FileName).Read(In);
}

// --- TArffRows ----------------------------------------------------------------------

TArffRows::TArffRows(std::string SourceName, std::istream& In, const std::string& ClassName)
    : FIn(In), FReader(SourceName), FSourceName(std::move(SourceName)) {
  FReader.ReadHeader(FIn);
  FHeader = FReader.Header();
  if (!ClassName.empty()) FHeader.SelectClass(ClassName);
  const size_t Class = static_cast<size_t>(FHeader.ClassIndex);
  std::vector<double> Cells(FHeader.Attributes.size());
  int32_t Line = 0;
  while (FReader.ReadRow(FIn, Cells, Line))
    FClassCodes.push_back(TSourceDataset::IsMissing(Cells[Class]) ? -1 : static_cast<int32_t>(Cells[Class]));
  FRow = RowCount();  // Next needs a Rewind first
}

std::unique_ptr<TArffRows> TArffRows::OpenFile(const std::string& FileName, const std::string& ClassName) {
  auto File = std::make_unique<std::ifstream>(FileName, std::ios::binary);
  if (!*File) throw EFOpenError("Cannot open file \"" + FileName + "\". " + std::strerror(errno));
  auto Rows = std::make_unique<TArffRows>(FileName, *File, ClassName);
  Rows->FFile = std::move(File);
  return Rows;
}

void TArffRows::Changed(int32_t Line) const {
  throw Exception(FSourceName + ":" + std::to_string(Line) + ": the file changed while it was being read");
}

void TArffRows::Rewind() {
  FIn.clear();
  FIn.seekg(0);
  if (!FIn) throw Exception(FSourceName + ": cannot read the file again");
  FReader = TArffReader(FSourceName);
  FReader.ReadHeader(FIn);
  const TSourceDataset& Again = FReader.Header();
  bool Same = Again.Attributes.size() == FHeader.Attributes.size();
  for (size_t i = 0; Same && i < Again.Attributes.size(); ++i)
    Same = Again.Attributes[i].Name == FHeader.Attributes[i].Name &&
           Again.Attributes[i].Nominal == FHeader.Attributes[i].Nominal &&
           Again.Attributes[i].Values == FHeader.Attributes[i].Values;
  if (!Same) Changed(1);
  FRow = 0;
}

bool TArffRows::Next(std::span<double> Cells, int32_t& Line) {
  if (FRow >= RowCount()) return false;
  if (!FReader.ReadRow(FIn, Cells, Line)) Changed(Line);
  const double Class = Cells[static_cast<size_t>(FHeader.ClassIndex)];
  if ((TSourceDataset::IsMissing(Class) ? -1 : static_cast<int32_t>(Class)) != FClassCodes[FRow]) Changed(Line);
  ++FRow;
  return true;
}
