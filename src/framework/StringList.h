// A list of strings with attached objects.
//
// Comparisons, lookups and sorting ignore ASCII letter case, as the engine's
// class lists and the binding's value lists need. The list does not own the
// attached objects; subclasses that do (the class lists) override Clear,
// Delete and the destructor. Positions outside the list raise EListError
// naming the index.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Component.h"

enum class TDuplicates { dupIgnore, dupAccept, dupError };

class TStringList : public TPersistent {
public:
  TStringList() = default;
  ~TStringList() override = default;
  TStringList(const TStringList&) = delete;
  TStringList& operator=(const TStringList&) = delete;

  std::string TypeName() const override { return "TStringList"; }
  // Copies strings and object pointers from another TStringList.
  void Assign(const TPersistent& Source) override;

  int32_t Count() const { return static_cast<int32_t>(FItems.size()); }
  const std::string& Strings(int32_t Index) const;
  void SetStrings(int32_t Index, const std::string& S);  // not allowed when sorted
  TObject* Objects(int32_t Index) const;
  void SetObjects(int32_t Index, TObject* AObject);

  // Appends (or, when sorted, inserts at the sorted position) and returns the
  // position. A sorted list applies Duplicates to an equal string: dupIgnore
  // returns the existing position, dupError raises EListError.
  virtual int32_t Add(const std::string& S);
  int32_t AddObject(const std::string& S, TObject* AObject);
  // Raises EListError when the list is sorted or Index is outside 0..Count.
  virtual void Insert(int32_t Index, const std::string& S);
  void InsertObject(int32_t Index, const std::string& S, TObject* AObject);
  virtual void Delete(int32_t Index);
  virtual void Clear();

  // Position of S (letter case ignored) or -1; binary search when sorted.
  int32_t IndexOf(std::string_view S) const;
  // Sorted lists: true when found; Index is the match or the insert position.
  bool Find(std::string_view S, int32_t& Index) const;

  bool Sorted() const { return FSorted; }
  void SetSorted(bool Value);  // sorting an unsorted list sorts it now
  TDuplicates Duplicates() const { return FDuplicates; }
  void SetDuplicates(TDuplicates Value) { FDuplicates = Value; }
  void Sort();

  // The strings, each followed by CR LF. SetText splits on CR LF, LF or CR
  // and replaces the content through Clear and Add.
  std::string Text() const;
  void SetText(std::string_view Value);

  std::vector<std::string> ToVector() const;

protected:
  // Inserts without sorting or duplicate checks; the overridable operations
  // funnel into this one.
  void InsertItem(int32_t Index, const std::string& S, TObject* AObject);
  [[noreturn]] void IndexError(int32_t Index) const;

private:
  struct Item {
    std::string String;
    TObject* Object = nullptr;
  };
  std::vector<Item> FItems;
  bool FSorted = false;
  TDuplicates FDuplicates = TDuplicates::dupIgnore;
};
