// Datasets: a walk over the rows of a table, the current row's fields,
// bookmarks, a row filter and the after-scroll event.
//
// A dataset streams its rows from a driver cursor and never holds the whole
// table. With a filter in force it keeps the sorted keys of the matching rows
// (8 bytes a row) and nothing else; the record count and the walk then see
// only those rows.
//
// Contract of the walk: Open and First go to the first row; Next goes to the
// following one, and at the last row sets Eof and stays there; an empty
// dataset is at Eof at once. AfterScroll fires after Open, First and
// GotoBookmark and after every Next that moved, also while the controls are
// disabled (disabling concerns attached views only). Operations other than
// Open, Close and the property setters raise "Cannot perform this operation
// on a closed dataset" on a closed dataset.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "Component.h"
#include "Field.h"

class TCursor;
class TFilterExpression;

// An opaque position token: taken by GetBookmark, freed once by FreeBookmark
// (tokens still held are freed with the dataset).
using TBookmark = void*;

class TDataSet : public TComponent {
public:
  explicit TDataSet(TComponent* AOwner);
  ~TDataSet() override;
  std::string TypeName() const override { return "TDataSet"; }

  // Opening creates the fields, applies the filter when Filtered and moves to
  // the first row. Errors (missing table, bad filter) leave it closed.
  void Open();
  void Close();
  bool Active() const { return FCursor != nullptr; }
  void SetActive(bool Value) { Value ? Open() : Close(); }

  void First();
  void Next();
  bool Eof() const { return FEof; }

  // Raises "Record not found" when the row is gone (or the filter now hides
  // it) and "Invalid bookmark" for a token this dataset did not hand out;
  // the position stays where it was then.
  TBookmark GetBookmark();
  void GotoBookmark(TBookmark Bookmark);
  void FreeBookmark(TBookmark Bookmark);  // nullptr is ignored

  // A nesting counter: enabling as often as disabled re-enables.
  bool ControlsDisabled() const { return FDisableCount > 0; }
  void DisableControls() { ++FDisableCount; }
  void EnableControls() { if (FDisableCount > 0) --FDisableCount; }

  int32_t FieldCount() const { return static_cast<int32_t>(FFields.size()); }
  // Raises EListError for a position outside 0 .. FieldCount-1.
  TField* Fields(int32_t Index) const;
  // Letter case ignored; the first of equal names wins. One hash lookup, so
  // a per-row caller may look fields up by name. FieldByName raises
  // "Field 'X' not found".
  TField* FindField(std::string_view Name) const;
  TField* FieldByName(std::string_view Name) const;
  // The named field's value in the current row.
  TFieldValue FieldValues(std::string_view Name) const { return FieldByName(Name)->Value(); }

  // Changes whenever the fields are made anew or destroyed (Open, Close).
  // A field pointer taken while it had a value stays valid as long as it
  // still has that value, so a caller can keep its fields across rows and
  // passes and look them up again only when this moved on.
  uint64_t FieldsGeneration() const { return FFieldsGeneration; }

  // Rows the dataset presents, under the filter when one is in force.
  int32_t RecordCount();

  // The filter language: comparisons (= <> < > <= >=) of field names (bare or
  // in brackets), numbers and quoted texts, IS [NOT] NULL, AND, OR, NOT and
  // parentheses, keywords in any letter case. Set on an open dataset, the
  // new filter applies at once and the dataset moves to its first row; a
  // malformed text raises and the old filter stays in force.
  const std::string& Filter() const { return FFilter; }
  void SetFilter(const std::string& Value);
  bool Filtered() const { return FFiltered; }
  void SetFiltered(bool Value);

  using TDataSetNotifyEvent = std::function<void(TDataSet& DataSet)>;
  const TDataSetNotifyEvent& AfterScroll() const { return FAfterScroll; }
  void SetAfterScroll(TDataSetNotifyEvent Value) { FAfterScroll = std::move(Value); }

  // The cursor on the current row, for the fields; nullptr without a row.
  TCursor* CurrentRow() const { return FHasRow ? FCursor.get() : nullptr; }
  // Raises the closed-dataset error unless the dataset is open.
  void CheckActive() const;

protected:
  // The driver cursor of the table this dataset shows.
  virtual std::unique_ptr<TCursor> OpenCursor() = 0;
  // Name used in error messages (the table name).
  virtual std::string DisplayName() const { return Name(); }
  // Raises "Cannot perform this operation on an open dataset" when open.
  void CheckInactive() const;

private:
  struct TBookmarkData {
    int64_t Key = 0;
    bool HasRow = false;
  };

  void ApplyFilter(const std::string& Text, bool Enabled);
  void MoveToIndex(size_t Position);
  void DoAfterScroll();

  std::unique_ptr<TCursor> FCursor;
  std::vector<std::unique_ptr<TField>> FFields;
  // Field names without regard to letter case (ASCII, as SameText).
  struct TNameHash {
    using is_transparent = void;
    size_t operator()(std::string_view Name) const;
  };
  struct TNameEqual {
    using is_transparent = void;
    bool operator()(std::string_view A, std::string_view B) const;
  };
  std::unordered_map<std::string, TField*, TNameHash, TNameEqual> FFieldsByName;
  uint64_t FFieldsGeneration = 0;
  std::unique_ptr<TFilterExpression> FFilterExpression;
  bool FIndexed = false;        // a filter is in force: walk FIndex
  std::vector<int64_t> FIndex;  // keys of the matching rows, ascending
  size_t FPosition = 0;         // position in FIndex
  bool FHasRow = false;
  bool FEof = true;
  std::vector<std::unique_ptr<TBookmarkData>> FBookmarks;
  int32_t FDisableCount = 0;
  std::string FFilter;
  bool FFiltered = false;
  TDataSetNotifyEvent FAfterScroll;
};
