// The dataset walk over a driver cursor, with the filter index and the
// bookmarks.
#include "DataSet.h"

#include <algorithm>

#include "Convert.h"
#include "Cursor.h"
#include "Exceptions.h"
#include "FilterExpression.h"

TDataSet::TDataSet(TComponent* AOwner) : TComponent(AOwner) {}

TDataSet::~TDataSet() = default;

void TDataSet::CheckActive() const {
  if (!FCursor) throw Exception(DisplayName() + ": Cannot perform this operation on a closed dataset");
}

void TDataSet::CheckInactive() const {
  if (FCursor) throw Exception(DisplayName() + ": Cannot perform this operation on an open dataset");
}

void TDataSet::Open() {
  if (FCursor) return;
  std::unique_ptr<TCursor> Cursor = OpenCursor();
  std::vector<std::unique_ptr<TField>> Fields;
  const auto& Columns = Cursor->Columns();
  for (size_t i = 0; i < Columns.size(); ++i)
    Fields.push_back(std::make_unique<TField>(*this, static_cast<int32_t>(i), Columns[i].Name,
                                              Columns[i].DataType, Columns[i].Size));
  FCursor = std::move(Cursor);
  FFields = std::move(Fields);
  for (const auto& Field : FFields) FFieldsByName.emplace(Field->FieldName(), Field.get());
  ++FFieldsGeneration;
  try {
    ApplyFilter(FFilter, FFiltered);
  } catch (...) {
    Close();
    throw;
  }
  First();
}

void TDataSet::Close() {
  FFilterExpression.reset();
  FIndexed = false;
  FIndex.clear();
  FIndex.shrink_to_fit();
  FRowKeys.clear();
  FRowKeys.shrink_to_fit();
  FRow = 0;
  FHasRow = false;
  FEof = true;
  ++FFieldsGeneration;
  FFieldsByName.clear();
  FFields.clear();
  FCursor.reset();
}

// Parses and binds Text, then collects the keys of the matching rows. The
// dataset is left unchanged when parsing fails.
void TDataSet::ApplyFilter(const std::string& Text, bool Enabled) {
  const bool Blank = Text.find_first_not_of(" \t\r\n") == std::string::npos;
  if (!Enabled || Blank) {
    FFilterExpression.reset();
    FIndexed = false;
    FIndex.clear();
    return;
  }
  auto Expression = std::make_unique<TFilterExpression>(Text, FCursor->Columns());
  std::vector<int64_t> Keys;
  if (!FCursor->MatchingKeys(*Expression, Keys))
    for (bool More = FCursor->First(); More; More = FCursor->Next())
      if (Expression->Matches(*FCursor)) Keys.push_back(FCursor->Key());
  FFilterExpression = std::move(Expression);
  FIndex = std::move(Keys);
  FIndexed = true;
}

void TDataSet::MoveToIndex(size_t Position) {
  if (!FCursor->Seek(FIndex[Position]))
    throw Exception(DisplayName() + ": Record not found");
  FPosition = Position;
  FHasRow = true;
  FEof = false;
}

void TDataSet::DoAfterScroll() {
  if (FAfterScroll) FAfterScroll(*this);
}

void TDataSet::First() {
  CheckActive();
  if (FIndexed) {
    FHasRow = false;
    FEof = true;
    if (!FIndex.empty()) MoveToIndex(0);
  } else {
    FHasRow = FCursor->First();
    FEof = !FHasRow;
    FRow = 0;
    if (FHasRow) NoteRowKey(0);
  }
  DoAfterScroll();
}

void TDataSet::Next() {
  CheckActive();
  if (FEof) return;
  if (FIndexed) {
    if (FPosition + 1 >= FIndex.size()) {
      FEof = true;
      return;
    }
    MoveToIndex(FPosition + 1);
  } else if (!FCursor->Next()) {
    FEof = true;
    return;
  } else {
    NoteRowKey(++FRow);
  }
  DoAfterScroll();
}

TBookmark TDataSet::GetBookmark() {
  CheckActive();
  auto Data = std::make_unique<TBookmarkData>();
  Data->HasRow = FHasRow;
  Data->Key = FHasRow ? FCursor->Key() : 0;
  Data->Row = FHasRow ? CurrentRowIndex() : 0;
  FBookmarks.push_back(std::move(Data));
  return FBookmarks.back().get();
}

void TDataSet::GotoBookmark(TBookmark Bookmark) {
  CheckActive();
  auto Found = std::find_if(FBookmarks.begin(), FBookmarks.end(),
                            [&](const auto& Item) { return Item.get() == Bookmark; });
  if (Found == FBookmarks.end()) throw Exception(DisplayName() + ": Invalid bookmark");
  const TBookmarkData& Data = **Found;
  if (!Data.HasRow) {
    First();
    return;
  }
  if (FIndexed) {
    auto At = std::lower_bound(FIndex.begin(), FIndex.end(), Data.Key);
    if (At == FIndex.end() || *At != Data.Key) throw Exception(DisplayName() + ": Record not found");
    MoveToIndex(static_cast<size_t>(At - FIndex.begin()));
  } else {
    const int64_t Previous = FCursor->Key();
    if (!FCursor->Seek(Data.Key)) {
      if (FHasRow) FCursor->Seek(Previous);
      throw Exception(DisplayName() + ": Record not found");
    }
    FHasRow = true;
    FEof = false;
    FRow = Data.Row;
  }
  DoAfterScroll();
}

void TDataSet::FreeBookmark(TBookmark Bookmark) {
  if (!Bookmark) return;
  auto Found = std::find_if(FBookmarks.begin(), FBookmarks.end(),
                            [&](const auto& Item) { return Item.get() == Bookmark; });
  if (Found == FBookmarks.end()) throw Exception(DisplayName() + ": Invalid bookmark");
  FBookmarks.erase(Found);
}

TField* TDataSet::Fields(int32_t Index) const {
  if (Index < 0 || Index >= FieldCount())
    throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
  return FFields[static_cast<size_t>(Index)].get();
}

size_t TDataSet::TNameHash::operator()(std::string_view Name) const {
  // FNV-1a over the lower-case letters.
  size_t Hash = 14695981039346656037ull;
  for (char C : Name) {
    const unsigned char U = static_cast<unsigned char>(C);
    Hash = (Hash ^ ((U >= 'A' && U <= 'Z') ? U + 32u : U)) * 1099511628211ull;
  }
  return Hash;
}

bool TDataSet::TNameEqual::operator()(std::string_view A, std::string_view B) const { return SameText(A, B); }

TField* TDataSet::FindField(std::string_view Name) const {
  const auto Found = FFieldsByName.find(Name);
  return Found == FFieldsByName.end() ? nullptr : Found->second;
}

TField* TDataSet::FieldByName(std::string_view Name) const {
  TField* Field = FindField(Name);
  if (!Field) throw Exception("Field '" + std::string(Name) + "' not found");
  return Field;
}

void TDataSet::NoteRowKey(int64_t Row) {
  if (Row % RowKeyStep == 0 && static_cast<size_t>(Row / RowKeyStep) == FRowKeys.size())
    FRowKeys.push_back(FCursor->Key());
}

bool TDataSet::SeekRow(int64_t Row) {
  if (Row < 0) return false;
  if (FCursor->KeysAreRowNumbers()) return FCursor->Seek(Row);
  // Start from the nearest noted key at or before Row.
  int64_t At = 0;
  if (FRowKeys.empty()) {
    if (!FCursor->First()) return false;
    NoteRowKey(0);
  } else {
    const size_t Noted = std::min(static_cast<size_t>(Row / RowKeyStep), FRowKeys.size() - 1);
    At = static_cast<int64_t>(Noted) * RowKeyStep;
    if (!FCursor->Seek(FRowKeys[Noted])) return false;
  }
  while (At < Row) {
    if (!FCursor->Next()) return false;
    NoteRowKey(++At);
  }
  return true;
}

int32_t TDataSet::RecNo() const {
  return FHasRow ? static_cast<int32_t>(std::min<int64_t>(CurrentRowIndex() + 1, INT32_MAX)) : 0;
}

void TDataSet::SetRecNo(int32_t Value) {
  CheckActive();
  if (FHasRow && Value == RecNo()) return;
  const auto OutOfRange = [&] {
    return Exception(DisplayName() + ": Record number " + std::to_string(Value) + " out of range");
  };
  if (FIndexed) {
    if (Value < 1 || static_cast<size_t>(Value) > FIndex.size()) throw OutOfRange();
    MoveToIndex(static_cast<size_t>(Value) - 1);
  } else {
    const bool HadRow = FHasRow;
    const int64_t Previous = HadRow ? FCursor->Key() : 0;
    if (Value < 1 || !SeekRow(Value - 1)) {
      if (HadRow) FCursor->Seek(Previous);
      throw OutOfRange();
    }
    FRow = Value - 1;
    FHasRow = true;
    FEof = false;
  }
  DoAfterScroll();
}

void TDataSet::ReadRows(int32_t FirstRecNo, int32_t Count, const std::function<void(int32_t RecNo)>& Visit) {
  CheckActive();
  if (Count <= 0) return;
  const bool HadRow = FHasRow;
  const int64_t Key = HadRow ? FCursor->Key() : 0;
  const auto Restore = [&] {
    FHasRow = HadRow;
    if (HadRow) FCursor->Seek(Key);
  };
  try {
    const int64_t First = std::max<int64_t>(FirstRecNo, 1) - 1;
    const int64_t End = static_cast<int64_t>(FirstRecNo) - 1 + Count;
    FHasRow = true;  // the fields read the visited row
    if (FIndexed) {
      for (int64_t Row = First; Row < End && static_cast<size_t>(Row) < FIndex.size(); ++Row) {
        if (!FCursor->Seek(FIndex[static_cast<size_t>(Row)])) throw Exception(DisplayName() + ": Record not found");
        Visit(static_cast<int32_t>(Row + 1));
      }
    } else if (First < End && SeekRow(First)) {
      for (int64_t Row = First;;) {
        Visit(static_cast<int32_t>(Row + 1));
        if (++Row >= End || !FCursor->Next()) break;
        NoteRowKey(Row);
      }
    }
  } catch (...) {
    try {
      Restore();
    } catch (...) {
      // The first error is the one to report.
    }
    throw;
  }
  Restore();
}

int32_t TDataSet::RecordCount() {
  CheckActive();
  const int64_t Count = FIndexed ? static_cast<int64_t>(FIndex.size()) : FCursor->RowCount();
  return static_cast<int32_t>(std::min<int64_t>(Count, INT32_MAX));
}

void TDataSet::SetFilter(const std::string& Value) {
  if (FCursor && FFiltered) {
    ApplyFilter(Value, true);
    FFilter = Value;
    First();
  } else {
    FFilter = Value;
  }
}

void TDataSet::SetFiltered(bool Value) {
  if (Value == FFiltered) return;
  if (FCursor) {
    ApplyFilter(FFilter, Value);
    FFiltered = Value;
    First();
  } else {
    FFiltered = Value;
  }
}
