// CSV reading in passes over the file: the first decides the column kinds
// (a column's kind depends on all its cells) and collects the nominal values
// and the class of every row; the next ones deliver the typed rows.
#include "CsvReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
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

// Records from a stream read in blocks. Before a record is parsed the buffer
// is filled up to the end of its last line (a line break outside quotes), so
// the parse below sees whole records and memory holds a block or a record,
// whichever is longer, never the whole file.
class TCsvScanner {
public:
  TCsvScanner(const std::string& Source, std::istream& In) : FSource(Source), FIn(In) {}

  // Back to the start of a seekable stream.
  void Restart() {
    FIn.clear();
    FIn.seekg(0);
    if (!FIn) throw Exception(FSource + ": cannot read the file again");
    FBuffer.clear();
    FText = {};
    FPos = 0;
    FLine = 1;
    FAtEnd = false;
  }

  // Next record; false at the end of the text. Blank lines are skipped.
  bool Next(TRecord& Record) {
    for (;;) {
      Fill();
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
  // Small enough that a short file does not cost a large zeroed buffer per
  // pass; records longer than a block grow the buffer as needed.
  static constexpr size_t kBlock = 1 << 16;

  [[noreturn]] void Fail(int32_t Line, const std::string& What) const {
    throw Exception(FSource + ":" + std::to_string(Line) + ": " + What);
  }

  // Reads on until the buffer holds a line break outside quotes after FPos,
  // or the whole rest of the stream. Quotes toggle: a doubled quote inside a
  // quoted cell toggles twice, so the count decides where a record can end
  // for every text the parse accepts.
  void Fill() {
    size_t P = FPos;
    bool InQuotes = false;
    for (;;) {
      for (; P < FBuffer.size(); ++P) {
        const char C = FBuffer[P];
        if (C == '"') {
          InQuotes = !InQuotes;
        } else if (C == '\n' && !InQuotes) {
          FText = FBuffer;
          return;
        }
      }
      if (FAtEnd) {
        FText = FBuffer;
        return;
      }
      if (FPos > 0) {
        FBuffer.erase(0, FPos);
        P -= FPos;
        FPos = 0;
      }
      const size_t Old = FBuffer.size();
      FBuffer.resize(Old + kBlock);
      FIn.read(FBuffer.data() + Old, static_cast<std::streamsize>(kBlock));
      const size_t Got = static_cast<size_t>(FIn.gcount());
      FBuffer.resize(Old + Got);
      if (FIn.bad()) throw Exception(FSource + ": read error");
      if (Got < kBlock) FAtEnd = true;
    }
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
  std::istream& FIn;
  std::string FBuffer;
  std::string_view FText;  // the buffer as read so far
  size_t FPos = 0;
  int32_t FLine = 1;
  bool FAtEnd = false;
};

}  // namespace

// --- TCsvRows ----------------------------------------------------------------------

struct TCsvRows::TState {
  TState(const std::string& Source, std::istream& In) : Scanner(Source, In) {}
  TCsvScanner Scanner;
  TRecord Record;  // reused for every row
};

TCsvRows::TCsvRows(std::string SourceName, std::istream& In, const std::string& ClassName) {
  FHeader.FileName = std::move(SourceName);
  FState = std::make_unique<TState>(FHeader.FileName, In);  // the scanner's messages name the file
  ReadHeader();
  FHeader.ClassIndex = static_cast<int32_t>(FHeader.Attributes.size()) - 1;
  if (!ClassName.empty()) FHeader.SelectClass(ClassName);
  FirstPass(false);
  bool Incomplete = false;
  for (const TColumn& Column : FColumns) Incomplete = Incomplete || (!Column.AllNumbers && Column.Overflowed);
  // A column that looked numeric for more distinct values than were kept,
  // and then turned out nominal: read once more, keeping every value.
  if (Incomplete) FirstPass(true);
  Decide();
  FState->Scanner.Restart();
  FRow = RowCount();  // Next needs a Rewind first
}

TCsvRows::~TCsvRows() = default;

std::unique_ptr<TCsvRows> TCsvRows::OpenFile(const std::string& FileName, const std::string& ClassName) {
  auto File = std::make_unique<std::ifstream>(FileName, std::ios::binary);
  if (!*File) throw EFOpenError("Cannot open file \"" + FileName + "\". " + std::strerror(errno));
  auto Rows = std::make_unique<TCsvRows>(FileName, *File, ClassName);
  Rows->FFile = std::move(File);
  return Rows;
}

void TCsvRows::Fail(int32_t Line, const std::string& What) const {
  throw Exception(FHeader.FileName + ":" + std::to_string(Line) + ": " + What);
}

void TCsvRows::ReadHeader() {
  TRecord& Header = FState->Record;
  if (!FState->Scanner.Next(Header)) Fail(1, "no header row");
  if (!FHeader.Attributes.empty()) {
    // Later passes: the header must be the one read first.
    bool Same = Header.Cells.size() == FHeader.Attributes.size();
    for (size_t i = 0; Same && i < Header.Cells.size(); ++i) Same = Header.Cells[i] == FHeader.Attributes[i].Name;
    if (!Same) Fail(Header.Line, "the file changed while it was being read");
    return;
  }
  const size_t Columns = Header.Cells.size();
  for (size_t i = 0; i < Columns; ++i) {
    const std::string& Name = Header.Cells[i];
    if (Name.empty()) Fail(Header.Line, "column " + std::to_string(i + 1) + " has no name");
    for (size_t j = 0; j < i; ++j)
      if (Header.Cells[j] == Name) Fail(Header.Line, "column name '" + Name + "' appears twice");
    TSourceAttribute Attribute;
    Attribute.Name = Name;
    Attribute.Line = Header.Line;
    FHeader.Attributes.push_back(std::move(Attribute));
  }
}

void TCsvRows::FirstPass(bool KeepAll) {
  TCsvScanner& Scanner = FState->Scanner;
  TRecord& Record = FState->Record;
  if (KeepAll) {
    Scanner.Restart();
    ReadHeader();
  }
  const size_t Columns = FHeader.Attributes.size();
  const size_t Class = static_cast<size_t>(FHeader.ClassIndex);
  FColumns.assign(Columns, TColumn());
  FClassCodes.clear();
  while (Scanner.Next(Record)) {
    if (Record.Cells.size() != Columns)
      Fail(Record.Line, "the row has " + std::to_string(Record.Cells.size()) + " cells, the header has " +
                            std::to_string(Columns));
    int32_t ClassCode = -1;
    for (size_t c = 0; c < Columns; ++c) {
      const std::string& Cell = Record.Cells[c];
      if (IsMissingCell(Cell)) continue;
      TColumn& Column = FColumns[c];
      if (Column.AllNumbers && !ParseNumberCell(Cell)) Column.AllNumbers = false;
      if (Column.Overflowed && !KeepAll && c != Class) continue;
      auto Found = Column.Codes.find(Cell);
      if (Found == Column.Codes.end()) {
        Found = Column.Codes.emplace(Cell, static_cast<int32_t>(Column.Values.size())).first;
        Column.Values.push_back(Cell);
      }
      if (c == Class) {
        ClassCode = Found->second;
      } else if (!KeepAll && Column.AllNumbers && Column.Values.size() > kNumericValuesKept) {
        // Most likely a numeric column: its values are not needed.
        Column.Overflowed = true;
        Column.Values = {};
        Column.Codes = {};
      }
    }
    FClassCodes.push_back(ClassCode);
  }
}

void TCsvRows::Decide() {
  const size_t Class = static_cast<size_t>(FHeader.ClassIndex);
  for (size_t c = 0; c < FColumns.size(); ++c) {
    TColumn& Column = FColumns[c];
    TSourceAttribute& Attribute = FHeader.Attributes[c];
    if (Column.AllNumbers && c != Class) {
      Column.Values = {};
      Column.Codes = {};
      continue;
    }
    Attribute.Nominal = true;
    if (Column.AllNumbers && Column.Values.size() > 1) {
      // Numeric class labels: order by value and recode.
      std::vector<std::string> Sorted = Column.Values;
      std::stable_sort(Sorted.begin(), Sorted.end(), [](const std::string& A, const std::string& B) {
        return *ParseNumberCell(A) < *ParseNumberCell(B);
      });
      std::vector<int32_t> NewCode(Sorted.size());
      for (size_t k = 0; k < Sorted.size(); ++k) {
        int32_t& Code = Column.Codes[Sorted[k]];
        NewCode[static_cast<size_t>(Code)] = static_cast<int32_t>(k);
        Code = static_cast<int32_t>(k);
      }
      for (int32_t& Code : FClassCodes)
        if (Code >= 0) Code = NewCode[static_cast<size_t>(Code)];
      Column.Values = std::move(Sorted);
    }
    Attribute.Values = Column.Values;
    Column.Values = {};
  }
}

void TCsvRows::Rewind() {
  FState->Scanner.Restart();
  ReadHeader();
  FRow = 0;
}

bool TCsvRows::Next(std::span<double> Cells, int32_t& Line) {
  TRecord& Record = FState->Record;
  const size_t Columns = FHeader.Attributes.size();
  if (FRow >= RowCount()) return false;
  if (!FState->Scanner.Next(Record)) Fail(Record.Line, "the file changed while it was being read");
  if (Record.Cells.size() != Columns)
    Fail(Record.Line, "the row has " + std::to_string(Record.Cells.size()) + " cells, the header has " +
                          std::to_string(Columns));
  if (Cells.size() != Columns) throw Exception(FHeader.FileName + ": a row has " + std::to_string(Columns) + " cells");
  for (size_t c = 0; c < Columns; ++c) {
    const std::string& Cell = Record.Cells[c];
    double& Out = Cells[c];
    if (IsMissingCell(Cell)) {
      Out = TSourceDataset::Missing;
      continue;
    }
    if (FHeader.Attributes[c].Nominal) {
      const auto Found = FColumns[c].Codes.find(Cell);
      if (Found == FColumns[c].Codes.end()) Fail(Record.Line, "the file changed while it was being read");
      Out = Found->second;
    } else {
      const std::optional<double> Number = ParseNumberCell(Cell);
      if (!Number) Fail(Record.Line, "the file changed while it was being read");
      Out = *Number;
    }
  }
  const double Class = Cells[static_cast<size_t>(FHeader.ClassIndex)];
  const int32_t ClassCode = TSourceDataset::IsMissing(Class) ? -1 : static_cast<int32_t>(Class);
  if (ClassCode != FClassCodes[FRow]) Fail(Record.Line, "the file changed while it was being read");
  Line = Record.Line;
  ++FRow;
  return true;
}

// --- TCsvReader ---------------------------------------------------------------------

TCsvReader::TCsvReader(std::string SourceName, std::string ClassName)
    : FSourceName(std::move(SourceName)), FClassName(std::move(ClassName)) {}

TSourceDataset TCsvReader::Read(std::istream& In) {
  // The rows are read in passes; a stream that cannot go back (a pipe) is
  // held in memory for them.
  std::stringstream Held;
  std::istream* Source = &In;
  if (In.tellg() < 0) {
    Held << In.rdbuf();
    if (In.bad()) throw Exception(FSourceName + ": read error");
    Held.clear();
    Source = &Held;
  }
  TCsvRows Rows(FSourceName, *Source, FClassName);
  TSourceDataset Result = Rows.Header();
  const size_t Columns = Result.Attributes.size();
  Result.Cells.assign(Rows.RowCount() * Columns, TSourceDataset::Missing);
  Result.Lines.reserve(Rows.RowCount());
  Rows.Rewind();
  int32_t Line = 0;
  for (size_t r = 0; Rows.Next(std::span<double>(Result.Cells).subspan(r * Columns, Columns), Line); ++r)
    Result.Lines.push_back(Line);
  return Result;
}

TSourceDataset TCsvReader::ReadFile(const std::string& FileName, const std::string& ClassName) {
  std::ifstream In(FileName, std::ios::binary);
  if (!In) throw EFOpenError("Cannot open file \"" + FileName + "\". " + std::strerror(errno));
  return TCsvReader(FileName, ClassName).Read(In);
}
