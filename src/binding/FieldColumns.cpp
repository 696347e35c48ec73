// Attribute columns: naming, the class flag kept consistent across the
// collection and the owner's ClassField, and the sorted value list that codes
// the text values of a discrete field.
#include "FieldColumns.h"

#include "DBClassifier.h"
#include "DataSet.h"
#include "Exceptions.h"

// --- TFieldColumn -----------------------------------------------------------------

namespace {
TCollection* CheckedCollection(TCollection* ACollection) {
  if (!dynamic_cast<TFieldColumns*>(ACollection)) throw Exception("TFieldColumn error!");
  return ACollection;
}
}  // namespace

TFieldColumn::TFieldColumn(TCollection* ACollection) : TCollectionItem(CheckedCollection(ACollection)) {
  FAttributeValueList.SetSorted(true);
}

TFieldColumn::~TFieldColumn() {
  if (TDBClassifier* Owner = OwnerClassifier(); Owner && Owner->FClassColumn == this) Owner->FClassColumn = nullptr;
}

TFieldColumns* TFieldColumn::Columns() const { return static_cast<TFieldColumns*>(Collection()); }

TDBClassifier* TFieldColumn::OwnerClassifier() const { return Columns() ? Columns()->Owner() : nullptr; }

void TFieldColumn::Assign(const TPersistent& Source) {
  const auto* Other = dynamic_cast<const TFieldColumn*>(&Source);
  if (!Other) {
    TPersistent::Assign(Source);
    return;
  }
  FFieldName = Other->FFieldName;
  SetField(nullptr);  // it named a field of the other column's dataset
  SetAttributeKind(Other->FAttributeKind);
  SetAttributeValueList(Other->FAttributeValueList);
  SetDefinesClass(Other->FDefinesClass);
}

void TFieldColumn::DefineProperties(TPropertyList& List) const {
  TCollectionItem::DefineProperties(List);
  using K = TPropertyKind;
  using C = TFieldColumn;
  List.push_back(MakeProperty<K::pkString, C>("FieldName", &C::FieldName, &C::SetFieldName));
  List.push_back(MakeProperty<K::pkEnumeration, C>("AttributeKind", &C::AttributeKind, &C::SetAttributeKind, {},
                                                   AttributeKindNames()));
  List.push_back(MakeProperty<K::pkStrings, C>("AttributeValueList.Strings", &C::AttributeValues,
                                               &C::SetAttributeValues,
                                               [](const C& O) { return O.FAttributeValueList.Count() > 0; }));
  List.push_back(MakeProperty<K::pkBoolean, C>("DefinesClass", &C::DefinesClass, &C::SetDefinesClass));
}

void TFieldColumn::SetFieldName(const std::string& Value) {
  if (Value == FFieldName) return;
  FFieldName = Value;
  SetField(nullptr);
  FAttributeValueList.Clear();  // the codes belonged to the old field
  if (FDefinesClass) {
    if (TDBClassifier* Owner = OwnerClassifier()) Owner->SetClassField(Value);
  }
}

void TFieldColumn::SetAttributeValueList(const TStringList& Value) {
  if (&Value == &FAttributeValueList) return;
  FAttributeValueList.Clear();
  for (int32_t I = 0; I < Value.Count(); ++I) FAttributeValueList.Add(Value.Strings(I));
}

void TFieldColumn::SetAttributeValues(const std::vector<std::string>& Values) {
  FAttributeValueList.Clear();
  for (const std::string& S : Values) FAttributeValueList.Add(S);
}

void TFieldColumn::SetDefinesClass(bool Value) {
  TDBClassifier* Owner = OwnerClassifier();
  if (Value) {
    if (TFieldColumns* Cols = Columns()) {
      for (int32_t I = 0; I < Cols->Count(); ++I) {
        TFieldColumn* Other = Cols->Items(I);
        if (Other != this) Other->SetDefinesClass(false);
      }
    }
    if (Owner) Owner->FClassField = FFieldName;
    FDefinesClass = true;
  } else {
    if (FDefinesClass && Owner) Owner->FClassField.clear();
    FDefinesClass = false;
  }
}

TField* TFieldColumn::FindField() const {
  TDBClassifier* Owner = OwnerClassifier();
  if (!Owner || !Owner->Dataset()) return nullptr;
  return Owner->Dataset()->FindField(FFieldName);
}

void TFieldColumn::BindField() {
  TDBClassifier* Owner = OwnerClassifier();
  TDataSet* Data = Owner ? Owner->Dataset() : nullptr;
  FField = Data ? Data->FindField(FFieldName) : nullptr;
  FFieldGeneration = Data && Data->Active() ? Data->FieldsGeneration() : 0;
}

bool TFieldColumn::FieldBound() const {
  if (FFieldGeneration == 0) return false;
  TDBClassifier* Owner = OwnerClassifier();
  TDataSet* Data = Owner ? Owner->Dataset() : nullptr;
  return Data && Data->Active() && Data->FieldsGeneration() == FFieldGeneration;
}

int32_t TFieldColumn::ValueIndex(std::string_view MissingValue) {
  if (!FField) throw Exception("Field column '" + FFieldName + "' is not bound to a field");
  const std::string Text = FField->AsString();
  if (Text.empty() || Text == MissingValue) return -1;
  int32_t Index = 0;
  if (FAttributeValueList.Find(Text, Index)) return Index;
  return FAttributeValueList.Add(Text);
}

// --- TFieldColumns ----------------------------------------------------------------

TFieldColumns::TFieldColumns(TDBClassifier* Owner)
    : TCollection([](TCollection* C) { return std::make_unique<TFieldColumn>(C); }, Owner), FOwner(Owner) {}

TFieldColumns::~TFieldColumns() { Clear(); }

void TFieldColumns::Assign(const TPersistent& Source) {
  const auto* Other = dynamic_cast<const TFieldColumns*>(&Source);
  if (!Other) {
    TPersistent::Assign(Source);
    return;
  }
  if (Other == this) return;
  Clear();
  for (int32_t I = 0; I < Other->Count(); ++I) Add()->Assign(*Other->Items(I));
}

void TFieldColumns::BindFields() {
  for (int32_t I = 0; I < Count(); ++I) Items(I)->BindField();
}

void TFieldColumns::RebindStale() {
  // FieldBound for every column, with the dataset looked at once: this runs
  // for every row a caller reads on its own.
  TDataSet* Data = FOwner ? FOwner->Dataset() : nullptr;
  const uint64_t Generation = Data && Data->Active() ? Data->FieldsGeneration() : 0;
  for (int32_t I = 0; I < Count(); ++I)
    if (TFieldColumn* Column = Items(I); Generation == 0 || Column->FFieldGeneration != Generation)
      Column->BindField();
}
