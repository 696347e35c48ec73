// The string list. Sorted lists keep equal strings in insertion order: a new
// equal string goes after the existing ones, and Sort is stable, so the
// order a user sees never depends on the sort algorithm.
#include "StringList.h"

#include <algorithm>

#include "Convert.h"
#include "Exceptions.h"

namespace {
const char* const SortedListError = "Operation not allowed on sorted list";
}

void TStringList::IndexError(int32_t Index) const {
  throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
}

void TStringList::Assign(const TPersistent& Source) {
  const auto* Other = dynamic_cast<const TStringList*>(&Source);
  if (!Other) {
    TPersistent::Assign(Source);
    return;
  }
  if (Other == this) return;
  std::vector<Item> Copy = Other->FItems;  // Clear of a subclass may touch Other's objects
  Clear();
  for (const Item& I : Copy) AddObject(I.String, I.Object);
}

const std::string& TStringList::Strings(int32_t Index) const {
  if (Index < 0 || Index >= Count()) IndexError(Index);
  return FItems[static_cast<size_t>(Index)].String;
}

void TStringList::SetStrings(int32_t Index, const std::string& S) {
  if (FSorted) throw EListError(SortedListError);
  if (Index < 0 || Index >= Count()) IndexError(Index);
  FItems[static_cast<size_t>(Index)].String = S;
}

TObject* TStringList::Objects(int32_t Index) const {
  if (Index < 0 || Index >= Count()) IndexError(Index);
  return FItems[static_cast<size_t>(Index)].Object;
}

void TStringList::SetObjects(int32_t Index, TObject* AObject) {
  if (Index < 0 || Index >= Count()) IndexError(Index);
  FItems[static_cast<size_t>(Index)].Object = AObject;
}

int32_t TStringList::Add(const std::string& S) { return AddObject(S, nullptr); }

int32_t TStringList::AddObject(const std::string& S, TObject* AObject) {
  if (!FSorted) {
    InsertItem(Count(), S, AObject);
    return Count() - 1;
  }
  int32_t Index = 0;
  if (Find(S, Index)) {
    if (FDuplicates == TDuplicates::dupIgnore) return Index;
    if (FDuplicates == TDuplicates::dupError) throw EListError("String list does not allow duplicates");
    while (Index < Count() && CompareText(FItems[static_cast<size_t>(Index)].String, S) == 0) ++Index;
  }
  InsertItem(Index, S, AObject);
  return Index;
}

void TStringList::Insert(int32_t Index, const std::string& S) { InsertObject(Index, S, nullptr); }

void TStringList::InsertObject(int32_t Index, const std::string& S, TObject* AObject) {
  if (FSorted) throw EListError(SortedListError);
  if (Index < 0 || Index > Count()) IndexError(Index);
  InsertItem(Index, S, AObject);
}

void TStringList::InsertItem(int32_t Index, const std::string& S, TObject* AObject) {
  FItems.insert(FItems.begin() + Index, Item{S, AObject});
}

void TStringList::Delete(int32_t Index) {
  if (Index < 0 || Index >= Count()) IndexError(Index);
  FItems.erase(FItems.begin() + Index);
}

void TStringList::Clear() { FItems.clear(); }

int32_t TStringList::IndexOf(std::string_view S) const {
  if (FSorted) {
    int32_t Index = 0;
    return Find(S, Index) ? Index : -1;
  }
  for (size_t I = 0; I < FItems.size(); ++I)
    if (SameText(FItems[I].String, S)) return static_cast<int32_t>(I);
  return -1;
}

bool TStringList::Find(std::string_view S, int32_t& Index) const {
  // Lower bound: the first equal string, or where S would go.
  auto It = std::lower_bound(FItems.begin(), FItems.end(), S,
                             [](const Item& A, std::string_view B) { return CompareText(A.String, B) < 0; });
  Index = static_cast<int32_t>(It - FItems.begin());
  return It != FItems.end() && CompareText(It->String, S) == 0;
}

void TStringList::SetSorted(bool Value) {
  if (Value == FSorted) return;
  if (Value) Sort();
  FSorted = Value;
}

void TStringList::Sort() {
  std::stable_sort(FItems.begin(), FItems.end(),
                   [](const Item& A, const Item& B) { return CompareText(A.String, B.String) < 0; });
}

std::string TStringList::Text() const {
  std::string Result;
  for (const Item& I : FItems) {
    Result += I.String;
    Result += "\r\n";
  }
  return Result;
}

void TStringList::SetText(std::string_view Value) {
  Clear();
  size_t Start = 0;
  while (Start < Value.size()) {
    size_t End = Value.find_first_of("\r\n", Start);
    if (End == std::string_view::npos) {
      Add(std::string(Value.substr(Start)));
      break;
    }
    Add(std::string(Value.substr(Start, End - Start)));
    Start = End + 1;
    if (Value[End] == '\r' && Start < Value.size() && Value[Start] == '\n') ++Start;
  }
}

std::vector<std::string> TStringList::ToVector() const {
  std::vector<std::string> Result;
  Result.reserve(FItems.size());
  for (const Item& I : FItems) Result.push_back(I.String);
  return Result;
}
