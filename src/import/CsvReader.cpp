// CSV reading in two passes: first the records as texts (so that a column's
// kind can depend on all its cells), then the typed columns.
#include "CsvReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <unordered_map>

#include "Convert.h"
#include "Exceptions.h"
#include "NumberText.h"

namespace {

struct TRecord {
  int32_t Line = 0;
  std::vector<std::string> Cells;  // unquoted cells already trimmed
};

bool IsBlank(char C) { return C == ' ' || C == '\t'; }

std::string_view Trim(std::string_view Text) {
  while (!Text.empty() && IsBlank(Text.front())) Text.remove_prefix(1);
  while (!Text.empty() && IsBlank(Text.back())) Text.remove_suffix(1);
  return Text;
}

bool IsMissingCell(const std::string& Cell) { return Cell.empty() || Cell == "?"; }

class TCsvScanner {
public:
  TCsvScanner(const std::string& Source, std::string_view Text) : FSource(Source), FText(Text) {}

  // Next record; false at the end of the text. Blank lines are skipped.
  bool Next(TRecord& Record) {
    for (;;) {
      if (FPos >= FText.size()) return false;
      Record.Line = FLine;
      Record.Cells.clear();
      bool Blank = true;
      for (;;) {
        std::string Cell;
        bool Quoted = false;
        const bool LineEnded = ReadCell(Cell, Quoted);
        if (Quoted || !Cell.empty() || !LineEnded || !Record.Cells.empty()) Blank = false;
        Record.Cells.push_back(std::move(Cell));
        if (LineEnded) break;
      }
      if (!Blank) return true;
    }
  }

private:
  [[noreturn]] void Fail(int32_t Line, const std::string& What) const {
    throw Exception(FSource + ":" + std::to_string(Line) + ": " + What);
  }

  // True when the record's line ended after the cell (or the text did).
  bool EndOfLine() {
    if (FPos >= FText.size()) return true;
    if (FText[FPos] == '\n') {
      ++FPos;
      ++FLine;
      return true;
    }
    if (FText[FPos] == '\r' && FPos + 1 < FText.size() && FText[FPos + 1] == '\n') {
      FPos += 2;
      ++FLine;
      return true;
    }
    if (FText[FPos] == '\r' && FPos + 1 == FText.size()) {
      ++FPos;
      return true;
    }
    return false;
  }

  bool ReadCell(std::string& Cell, bool& Quoted) {
    size_t Start = FPos;
    while (FPos < FText.size() && IsBlank(FText[FPos])) ++FPos;
    if (FPos < FText.size() && FText[FPos] == '"') {
      Quoted = true;
      const int32_t OpenLine = FLine;
      ++FPos;
      for (;;) {
        if (FPos >= FText.size()) Fail(OpenLine, "unterminated quoted cell");
        const char C = FText[FPos++];
        if (C == '"') {
          if (FPos < FText.size() && FText[FPos] == '"') {
            Cell += '"';
            ++FPos;
            continue;
          }
          break;
        }
        if (C == '\n') ++FLine;
        Cell += C;
      }
      while (FPos < FText.size() && IsBlank(FText[FPos])) ++FPos;
      if (EndOfLine()) return true;
      if (FText[FPos] != ',') Fail(FLine, "text after the closing quote of a cell");
      ++FPos;
      return false;
    }
    FPos = Start;
    while (FPos < FText.size() && FText[FPos] != ',' && FText[FPos] != '\n' &&
           !(FText[FPos] == '\r' && (FPos + 1 == FText.size() || FText[FPos + 1] == '\n'))) {
      if (FText[FPos] == '"') Fail(FLine, "quote inside an unquoted cell");
      ++FPos;
    }
    Cell = Trim(FText.substr(Start, FPos - Start));
    if (EndOfLine()) return true;
    ++FPos;  // the comma
    return false;
  }

  const std::string& FSource;
  std::string_view FText;
  size_t FPos = 0;
  int32_t FLine = 1;
};

}  // namespace

TCsvReader::TCsvReader(std::string SourceName, std::string ClassName)
    : FSourceName(std::move(SourceName)), FClassName(std::move(ClassName)) {}

TSourceDataset TCsvReader::Read(std::istream& In) {
  const std::string Text{std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>()};
  if (In.bad()) throw Exception(FSourceName + ": read error");
  TCsvScanner Scanner(FSourceName, Text);
  auto Fail = [this](int32_t Line, const std::string& What) {
    throw Exception(FSourceName + ":" + std::to_string(Line) + ": " + What);
  };

  TSourceDataset Result;
  Result.FileName = FSourceName;
  TRecord Header;
  if (!Scanner.Next(Header)) Fail(1, "no header row");
  const size_t Columns = Header.Cells.size();
  for (size_t i = 0; i < Columns; ++i) {
    const std::string& Name = Header.Cells[i];
    if (Name.empty()) Fail(Header.Line, "column " + std::to_string(i + 1) + " has no name");
    for (size_t j = 0; j < i; ++j)
      if (Header.Cells[j] == Name) Fail(Header.Line, "column name '" + Name + "' appears twice");
    TSourceAttribute Attribute;
    Attribute.Name = Name;
    Attribute.Line = Header.Line;
    Result.Attributes.push_back(std::move(Attribute));
  }
  Result.ClassIndex = static_cast<int32_t>(Columns) - 1;
  if (!FClassName.empty()) Result.SelectClass(FClassName);

  std::vector<TRecord> Records;
  TRecord Record;
  while (Scanner.Next(Record)) {
    if (Record.Cells.size() != Columns)
      Fail(Record.Line, "the row has " + std::to_string(Record.Cells.size()) + " cells, the header has " +
                            std::to_string(Columns));
    Records.push_back(std::move(Record));
    Record = TRecord();
  }

  const size_t Rows = Records.size();
  Result.Cells.assign(Rows * Columns, TSourceDataset::Missing);
  Result.Lines.reserve(Rows);
  for (const TRecord& Row : Records) Result.Lines.push_back(Row.Line);

  for (size_t c = 0; c < Columns; ++c) {
    TSourceAttribute& Attribute = Result.Attributes[c];
    bool AllNumbers = true;
    for (size_t r = 0; r < Rows && AllNumbers; ++r) {
      const std::string& Cell = Records[r].Cells[c];
      if (!IsMissingCell(Cell) && !ParseNumberCell(Cell)) AllNumbers = false;
    }
    const bool IsClass = static_cast<int32_t>(c) == Result.ClassIndex;
    if (AllNumbers && !IsClass) {
      for (size_t r = 0; r < Rows; ++r) {
        const std::string& Cell = Records[r].Cells[c];
        if (!IsMissingCell(Cell)) Result.Cells[r * Columns + c] = *ParseNumberCell(Cell);
      }
      continue;
    }
    Attribute.Nominal = true;
    std::unordered_map<std::string, int32_t> Codes;
    for (size_t r = 0; r < Rows; ++r) {
      const std::string& Cell = Records[r].Cells[c];
      if (IsMissingCell(Cell)) continue;
      auto [Found, Added] = Codes.emplace(Cell, static_cast<int32_t>(Attribute.Values.size()));
      if (Added) Attribute.Values.push_back(Cell);
      Result.Cells[r * Columns + c] = Found->second;
    }
    if (AllNumbers && Attribute.Values.size() > 1) {
      // Numeric class labels: order by value and recode.
      std::vector<std::string> Sorted = Attribute.Values;
      std::stable_sort(Sorted.begin(), Sorted.end(), [](const std::string& A, const std::string& B) {
        return *ParseNumberCell(A) < *ParseNumberCell(B);
      });
      std::vector<int32_t> NewCode(Sorted.size());
      for (size_t k = 0; k < Sorted.size(); ++k) NewCode[Codes[Sorted[k]]] = static_cast<int32_t>(k);
      for (size_t r = 0; r < Rows; ++r) {
        double& Cell = Result.Cells[r * Columns + c];
        if (!TSourceDataset::IsMissing(Cell)) Cell = NewCode[static_cast<size_t>(Cell)];
      }
      Attribute.Values = std::move(Sorted);
    }
  }
  return Result;
}

TSourceDataset TCsvReader::ReadFile(const std::string& FileName, const std::string& ClassName) {
  std::ifstream In(FileName, std::ios::binary);
  if (!In) throw EFOpenError("Cannot open file \"" + FileName + "\". " + std::strerror(errno));
  return TCsvReader(FileName, ClassName).Read(In);
}
