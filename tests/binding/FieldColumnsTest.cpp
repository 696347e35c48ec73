// TFieldColumn and TFieldColumns: construction only inside the collection,
// the sorted value codes (moving when a value sorts in front), the missing
// markers, the class flag kept consistent with the owner's ClassField,
// renaming, copying and binding fields.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "BindingTables.h"
#include "DBClassifier.h"
#include "Exceptions.h"
#include "Table.h"
#include "TestSupport.h"

namespace {

// Codes ValueIndex gives the rows of a one-column text table, in row order.
std::vector<int32_t> CodesOf(TStore Store, const std::string& Table, TFieldColumn** Out = nullptr,
                             TDBClassifier* Owner = nullptr) {
  auto Data = OpenTable(Store, Table);
  TDBClassifier Local(nullptr);
  TDBClassifier& B = Owner ? *Owner : Local;
  B.SetDataset(Data.get());
  TFieldColumn* Column = B.Attributes().Add();
  Column->SetFieldName("T");
  B.Attributes().BindFields();
  std::vector<int32_t> Codes;
  for (Data->First(); !Data->Eof(); Data->Next()) Codes.push_back(Column->ValueIndex("999"));
  if (Out) *Out = Column;
  B.SetDataset(nullptr);
  return Codes;
}

const std::vector<TFieldDef> TextLayout{{"ID", ftInteger, 0}, {"T", ftString, 12}};

}  // namespace

TEST(TFieldColumn, OnlyAFieldColumnsCollectionCreatesColumns) {
  EXPECT_EQ(MessageOf([] { TFieldColumn C(nullptr); }), "TFieldColumn error!");
  TCollection Plain([](TCollection* C) { return std::make_unique<TFieldColumn>(C); }, nullptr);
  EXPECT_EQ(MessageOf([&] { Plain.Add(); }), "TFieldColumn error!");
  EXPECT_EQ(Plain.Count(), 0);

  TFieldColumns Free(nullptr);
  TFieldColumn* C = Free.Add();
  EXPECT_EQ(C->FieldName(), "");
  EXPECT_EQ(C->AttributeKind(), TAttributeKind::akAuto);
  EXPECT_FALSE(C->DefinesClass());
  EXPECT_TRUE(C->AttributeValueList().Sorted());
  EXPECT_EQ(C->Field(), nullptr);
  EXPECT_EQ(C->FindField(), nullptr);  // no owner, no dataset
  C->SetDefinesClass(true);            // no owner to tell: just the flag
  EXPECT_TRUE(C->DefinesClass());
}

TEST(TFieldColumn, ValueCodesMoveWhenAValueSortsInFront) {
  WriteTable("COLORS", TextLayout,
             {{int32_t(1), std::string("red")},
              {int32_t(2), std::string("blue")},
              {int32_t(3), std::string("red")},
              {int32_t(4), std::string("RED")},
              {int32_t(5), std::string("")},
              {int32_t(6), std::string("999")},
              {int32_t(7), TFieldValue{}},
              {int32_t(8), std::string("green")},
              {int32_t(9), std::string("blue")}});
  for (TStore S : AllStores) {
    SCOPED_TRACE(StoreName(S));
    TFieldColumn* Column = nullptr;
    TDBClassifier Owner(nullptr);
    // red 0; blue goes in front, so red is 1; letter case shares a code;
    // empty, the marker and null are missing and not listed; green lands
    // between them and moves red to 2.
    EXPECT_EQ(CodesOf(S, "COLORS", &Column, &Owner), (std::vector<int32_t>{0, 0, 1, 1, -1, -1, -1, 1, 0}));
    EXPECT_EQ(Column->AttributeValueList().ToVector(), (std::vector<std::string>{"blue", "green", "red"}));
  }
}

TEST(TFieldColumn, MarkerComparisonIsExactAndUnboundColumnsRaise) {
  WriteTable("MARKS", TextLayout, {{int32_t(1), std::string("999 ")}, {int32_t(2), std::string("0999")}});
  // Neither is the marker; "0999" sorts in front of "999 ".
  EXPECT_EQ(CodesOf(TStore::Sqlite, "MARKS"), (std::vector<int32_t>{0, 0}));
  TFieldColumns Free(nullptr);
  TFieldColumn* C = Free.Add();
  C->SetFieldName("T");
  EXPECT_EQ(MessageOf([&] { C->ValueIndex("999"); }), "Field column 'T' is not bound to a field");
}

TEST(TFieldColumn, ClassFlagFollowsTheOwner) {
  TDBClassifier B(nullptr);
  TFieldColumn* A = B.Attributes().Add();
  TFieldColumn* C = B.Attributes().Add();
  A->SetFieldName("A");
  C->SetFieldName("C");
  A->SetDefinesClass(true);
  EXPECT_EQ(B.ClassField(), "A");
  C->SetDefinesClass(true);  // the second clears the first
  EXPECT_FALSE(A->DefinesClass());
  EXPECT_TRUE(C->DefinesClass());
  EXPECT_EQ(B.ClassField(), "C");
  A->SetDefinesClass(false);  // was not set: ClassField stays
  EXPECT_EQ(B.ClassField(), "C");
  C->SetDefinesClass(false);
  EXPECT_EQ(B.ClassField(), "");

  C->SetDefinesClass(true);
  C->SetFieldName("Kind");  // renaming the class column renames ClassField
  EXPECT_EQ(B.ClassField(), "Kind");
  EXPECT_TRUE(C->DefinesClass());
  A->SetFieldName("Other");  // any other column leaves it
  EXPECT_EQ(B.ClassField(), "Kind");
}

TEST(TFieldColumn, RenamingEmptiesTheValueList) {
  TFieldColumns Free(nullptr);
  TFieldColumn* C = Free.Add();
  C->SetFieldName("A");
  C->SetAttributeValues({"b", "a"});
  EXPECT_EQ(C->AttributeValues(), (std::vector<std::string>{"a", "b"}));  // the copy stays sorted
  C->SetFieldName("A");  // the same name: nothing happens
  EXPECT_EQ(C->AttributeValueList().Count(), 2);
  C->SetFieldName("a");  // exact comparison: a new name
  EXPECT_EQ(C->AttributeValueList().Count(), 0);
}

TEST(TFieldColumn, AssignCopiesNameKindValuesAndFlag) {
  TDBClassifier From(nullptr), To(nullptr);
  TFieldColumn* S = From.Attributes().Add();
  S->SetFieldName("Class");
  S->SetAttributeKind(TAttributeKind::akDiscreteIndexed);
  S->SetAttributeValues({"x", "y"});
  S->SetDefinesClass(true);
  TFieldColumn* T = To.Attributes().Add();
  T->Assign(*S);
  EXPECT_EQ(T->FieldName(), "Class");
  EXPECT_EQ(T->AttributeKind(), TAttributeKind::akDiscreteIndexed);
  EXPECT_EQ(T->AttributeValues(), (std::vector<std::string>{"x", "y"}));
  EXPECT_TRUE(T->DefinesClass());
  EXPECT_EQ(To.ClassField(), "Class");  // through the setter
  EXPECT_THROW(T->Assign(To.DataType()), EConvertError);

  TFieldColumns Copy(nullptr);
  Copy.Assign(From.Attributes());
  ASSERT_EQ(Copy.Count(), 1);
  EXPECT_EQ(Copy.Items(0)->FieldName(), "Class");
  EXPECT_NE(Copy.Items(0), S);
}

TEST(TFieldColumn, PublishesItsPropertiesInOrder) {
  TFieldColumns Free(nullptr);
  TPropertyList List;
  Free.Add()->DefineProperties(List);
  std::vector<std::string> Names;
  for (const TPropertyInfo& P : List) Names.push_back(P.Name);
  EXPECT_EQ(Names, (std::vector<std::string>{"FieldName", "AttributeKind", "AttributeValueList.Strings",
                                             "DefinesClass"}));
}

TEST(TFieldColumns, BindFieldsFindsFieldsOfTheOwnersDataset) {
  auto Data = OpenTable(TStore::Paradox, "SHARED");
  TDBClassifier B(nullptr);
  for (const char* Name : {"a", "Missing", "Class"}) B.Attributes().Add()->SetFieldName(Name);
  B.Attributes().BindFields();
  EXPECT_EQ(B.Attributes().Items(0)->Field(), nullptr);  // no dataset yet
  B.SetDataset(Data.get());
  B.Attributes().BindFields();
  EXPECT_EQ(B.Attributes().Items(0)->Field(), Data->FieldByName("A"));  // the layer ignores case
  EXPECT_EQ(B.Attributes().Items(1)->Field(), nullptr);
  EXPECT_EQ(B.Attributes().Items(2)->Field(), Data->FieldByName("Class"));
  EXPECT_THROW(B.Attributes().Items(3), EListError);
  Data->Close();  // closing destroys the fields: the binding must not keep them
  B.SetDataset(nullptr);
  EXPECT_EQ(B.Attributes().Items(0)->Field(), nullptr);
}
