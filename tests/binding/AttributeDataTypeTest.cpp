// TAttributeDataType: the template's defaults, the lookup from field types to
// attribute kinds (unsupported types included), copying and the published
// entries.
#include <gtest/gtest.h>

#include "AttributeDataType.h"
#include "Exceptions.h"
#include "StringList.h"

TEST(TAttributeDataType, DefaultsMapTextToDiscreteAndNumbersToFloat) {
  TAttributeDataType T;
  for (TFieldType Ft : {ftString, ftFixedChar, ftWideString, ftBoolean})
    EXPECT_EQ(T.KindOf(Ft), TAttributeKind::akDiscrete) << FieldTypeName(Ft);
  for (TFieldType Ft : {ftSmallint, ftInteger, ftWord, ftFloat, ftCurrency, ftBCD, ftDate, ftTime, ftDateTime,
                        ftLargeint})
    EXPECT_EQ(T.KindOf(Ft), TAttributeKind::akFloat) << FieldTypeName(Ft);
  EXPECT_EQ(T.StringType(), TAttributeType::atDiscrete);
  EXPECT_EQ(T.SmallInt(), TAttributeType::atFloat);
  EXPECT_EQ(T.LargeInt(), TAttributeType::atFloat);
}

TEST(TAttributeDataType, UnsupportedTypesRaise) {
  TAttributeDataType T;
  for (TFieldType Ft : {ftUnknown, ftBytes, ftVarBytes, ftAutoInc, ftBlob, ftMemo, ftGraphic, ftFmtMemo,
                        ftParadoxOle, ftDBaseOle, ftTypedBinary, ftCursor, ftADT, ftArray, ftReference,
                        ftDataSet}) {
    try {
      T.KindOf(Ft);
      ADD_FAILURE() << FieldTypeName(Ft) << " was accepted";
    } catch (const Exception& E) {
      EXPECT_EQ(E.Message(), "Unsupported field type detected!") << FieldTypeName(Ft);
    }
  }
}

TEST(TAttributeDataType, EntriesDecideTheKind) {
  TAttributeDataType T;
  T.SetSmallInt(TAttributeType::atDiscreteIndexed);
  T.SetStringType(TAttributeType::atFloat);
  T.SetDateTime(TAttributeType::atDiscrete);
  EXPECT_EQ(T.KindOf(ftSmallint), TAttributeKind::akDiscreteIndexed);
  EXPECT_EQ(T.KindOf(ftString), TAttributeKind::akFloat);
  EXPECT_EQ(T.KindOf(ftDateTime), TAttributeKind::akDiscrete);
  EXPECT_EQ(T.KindOf(ftInteger), TAttributeKind::akFloat);  // untouched entries keep their default
}

TEST(TAttributeDataType, AssignCopiesEveryEntryAndRefusesOtherClasses) {
  TAttributeDataType Source;
  Source.SetStringType(TAttributeType::atFloat);
  Source.SetFixedChar(TAttributeType::atDiscreteIndexed);
  Source.SetBoolean(TAttributeType::atFloat);
  Source.SetSmallInt(TAttributeType::atDiscreteIndexed);
  Source.SetLargeInt(TAttributeType::atDiscrete);
  TAttributeDataType Target;
  Target.Assign(Source);
  TPropertyList A, B;
  Source.DefineProperties(A);
  Target.DefineProperties(B);
  ASSERT_EQ(A.size(), B.size());
  for (size_t I = 0; I < A.size(); ++I) EXPECT_EQ(A[I].Get(Source), B[I].Get(Target)) << A[I].Name;

  TStringList Other;
  EXPECT_THROW(Target.Assign(Other), EConvertError);
  EXPECT_EQ(Target.StringType(), TAttributeType::atFloat);  // a refused source changes nothing
}

TEST(TAttributeDataType, PublishesFourteenEntriesInOrder) {
  TAttributeDataType T;
  TPropertyList List;
  T.DefineProperties(List);
  std::vector<std::string> Names;
  for (const TPropertyInfo& P : List) Names.push_back(P.Name);
  EXPECT_EQ(Names, (std::vector<std::string>{"StringType", "FixedChar", "WideString", "Boolean", "SmallInt",
                                             "Integer", "Word", "Float", "Currency", "BCD", "Date", "Time",
                                             "DateTime", "LargeInt"}));
  // Setting through the table reaches the entry.
  List[4].Set(T, TPropertyValue(int32_t(1)));
  EXPECT_EQ(T.SmallInt(), TAttributeType::atDiscreteIndexed);
  EXPECT_EQ(List[4].EnumNames.at(1), "atDiscreteIndexed");
}
