// Attribute columns: one table field used as an attribute or as the class.
//
// A `TFieldColumns` collection belongs to one `TDBClassifier` (its owner);
// each `TFieldColumn` names a field of the owner's dataset, says what kind of
// attribute it is, and, for an akDiscrete text field, keeps the sorted list of
// the values seen so far: a value's code is its position in that list.
// Because the list stays sorted, a new value that sorts in front moves the
// codes of the known values up by one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "AttributeDataType.h"
#include "Collection.h"
#include "StringList.h"

class TDBClassifier;
class TField;
class TFieldColumns;

class TFieldColumn : public TCollectionItem {
public:
  // Raises Exception "TFieldColumn error!" when ACollection is not a
  // TFieldColumns. Starts with no name, kind akAuto and an empty value list.
  explicit TFieldColumn(TCollection* ACollection);
  // Leaves the owner's ClassColumn when it is this column.
  ~TFieldColumn() override;

  std::string TypeName() const override { return "TFieldColumn"; }
  // From another TFieldColumn: FieldName (plain copy), then AttributeKind,
  // AttributeValueList and DefinesClass through their setters. Any other
  // source raises the framework's "Cannot assign" EConvertError.
  void Assign(const TPersistent& Source) override;
  // FieldName, AttributeKind, AttributeValueList.Strings, DefinesClass.
  void DefineProperties(TPropertyList& List) const override;

  const std::string& FieldName() const { return FFieldName; }
  // A new name empties the value list; renaming the class column makes the
  // owner's ClassField follow it (through the owner's setter).
  void SetFieldName(const std::string& Value);

  const TStringList& AttributeValueList() const { return FAttributeValueList; }
  // Copies the strings of Value (the list stays sorted).
  void SetAttributeValueList(const TStringList& Value);
  std::vector<std::string> AttributeValues() const { return FAttributeValueList.ToVector(); }
  void SetAttributeValues(const std::vector<std::string>& Values);

  TAttributeKind AttributeKind() const { return FAttributeKind; }
  void SetAttributeKind(TAttributeKind Value) { FAttributeKind = Value; }

  bool DefinesClass() const { return FDefinesClass; }
  // True clears the flag on every other column and stores this column's name
  // in the owner's ClassField; false empties the owner's ClassField when the
  // flag was set.
  void SetDefinesClass(bool Value);

  // Position in the discrete or the float record, numbered by
  // PrepareAttributes; -1 for the class column and before preparing.
  int32_t AttributeIndex() const { return FAttributeIndex; }
  void SetAttributeIndex(int32_t Value) { FAttributeIndex = Value; }

  // The field read by ValueIndex and by the owner's ReadRecord; not owned.
  // A field set here is looked up by name again at the owner's next read.
  TField* Field() const { return FField; }
  void SetField(TField* Value) {
    FField = Value;
    FFieldGeneration = 0;
  }
  // Field <- FindField, remembered as valid while the dataset keeps its
  // fields (TDataSet::FieldsGeneration).
  void BindField();
  // True when Field is the one BindField found and the dataset has not made
  // its fields anew since.
  bool FieldBound() const;

  // The field named FieldName in the owner's dataset, or nullptr when the
  // owner has no dataset or the dataset has no such field.
  TField* FindField() const;

  // Code of the bound field's current text: -1 when it equals MissingValue
  // (exact comparison) or is empty; otherwise its position in the sorted
  // value list, inserting it first when new. Raises Exception naming the
  // column when no field is bound.
  int32_t ValueIndex(std::string_view MissingValue);

  TFieldColumns* Columns() const;

private:
  friend class TDBClassifier;
  TDBClassifier* OwnerClassifier() const;

  std::string FFieldName;
  TStringList FAttributeValueList;
  TAttributeKind FAttributeKind = TAttributeKind::akAuto;
  bool FDefinesClass = false;
  int32_t FAttributeIndex = -1;
  TField* FField = nullptr;
  uint64_t FFieldGeneration = 0;  // 0: not looked up
  friend class TFieldColumns;
};

class TFieldColumns : public TCollection {
public:
  // An empty collection of TFieldColumn belonging to Owner (may be nullptr
  // for a free-standing collection, which then has no dataset).
  explicit TFieldColumns(TDBClassifier* Owner);
  // Frees the columns while they can still reach their collection's owner.
  ~TFieldColumns() override;

  std::string TypeName() const override { return "TFieldColumns"; }
  // From another TFieldColumns: replaces the columns by copies (Assign of
  // each column). Any other source raises "Cannot assign".
  void Assign(const TPersistent& Source) override;

  TDBClassifier* Owner() const { return FOwner; }
  TFieldColumn* Add() { return static_cast<TFieldColumn*>(TCollection::Add()); }
  // Raises EListError for a position outside 0 .. Count-1.
  TFieldColumn* Items(int32_t Index) const { return static_cast<TFieldColumn*>(TCollection::Items(Index)); }
  // Every column: Field <- FindField.
  void BindFields();
  // Every column whose field is not bound any more (FieldBound false).
  void RebindStale();

private:
  TDBClassifier* FOwner;
};
