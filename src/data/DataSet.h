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
// dataset is at Eof at once. AfterScroll fires after Open, First,
// GotoBookmark and SetRecNo and after every Next that moved, also while the
// controls are disabled (disabling concerns attached views only).
//
// Rows also have numbers (RecNo, from 1, the filter applied), so a view can
// go to a row or read a screenful of rows without walking there. Going to a
// row by number costs a seek where the driver's keys are row numbers
// (Paradox); elsewhere the dataset notes the key of every 256th row as walks
// pass it (8 bytes per 256 rows) and steps at most 255 rows from the nearest
// noted one. Operations other than
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

  // Number of the current row among the rows the dataset presents, from 1;
  // 0 without a current row (an empty dataset).
  int32_t RecNo() const;
  // Moves to row Value (1 .. RecordCount) and fires AfterScroll; the current
  // row itself is left alone, without an event. Raises "<table>: Record
  // number N out of range" for a number with no row; the position stays.
  void SetRecNo(int32_t Value);
  // Reads rows FirstRecNo .. FirstRecNo + Count - 1, as far as they exist,
  // without moving the dataset: Visit gets each row's number while the fields
  // read that row. Afterwards the current row, RecNo and Eof are as before
  // and no AfterScroll has fired, also when Visit or a read raises. For views
  // that show other rows than the current one.
  void ReadRows(int32_t FirstRecNo, int32_t Count, const std::function<void(int32_t RecNo)>& Visit);

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
    int64_t Row = 0;
    bool HasRow = false;
  };

  // Rows between two noted keys of an unfiltered dataset.
  static constexpr int64_t RowKeyStep = 256;

  void ApplyFilter(const std::string& Text, bool Enabled);
  void MoveToIndex(size_t Position);
  void DoAfterScroll();
  // Puts the cursor on unfiltered row Row (from 0); false when there is none
  // (the cursor position is undefined then).
  bool SeekRow(int64_t Row);
  // Notes the cursor's key when Row is the next row whose key is kept.
  void NoteRowKey(int64_t Row);
  // The row number (from 0) of the current row, filtered or not.
  int64_t CurrentRowIndex() const { return FIndexed ? static_cast<int64_t>(FPosition) : FRow; }

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
  int64_t FRow = 0;             // unfiltered: row number of the current row
  std::vector<int64_t> FRowKeys;  // unfiltered: key of every RowKeyStep-th row, as far as walked
  bool FHasRow = false;
  bool FEof = true;
  std::vector<std::unique_ptr<TBookmarkData>> FBookmarks;
  int32_t FDisableCount = 0;
  std::string FFilter;
  bool FFiltered = false;
  TDataSetNotifyEvent FAfterScroll;
};
