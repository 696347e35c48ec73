// Field names: legal characters, the length limit and uniqueness ignoring case.
#include <gtest/gtest.h>

#include "FieldNameMap.h"

TEST(TFieldNameMap, KeepsLegalNamesAndReplacesOtherCharacters) {
  TFieldNameMap Names;
  EXPECT_EQ(Names.Add("tumor-size", "F"), "tumor-size");
  EXPECT_EQ(Names.Add("credit history", "F"), "credit history");
  EXPECT_EQ(Names.Add("a/b<c>=d.e", "F"), "a_b_c__d_e");
  EXPECT_EQ(Names.Add("  padded  ", "F"), "padded");
  EXPECT_EQ(Names.Add("caf\xc3\xa9", "F"), "caf__");
}

TEST(TFieldNameMap, CutsLongNamesAndKeepsThemUnique) {
  TFieldNameMap Names;
  const std::string Long = Names.Add("export-administration-act-south-africa", "F");
  EXPECT_EQ(Long, "export-administration-act");
  EXPECT_EQ(Long.size(), TFieldNameMap::MaxLength);
  EXPECT_EQ(Names.Add("export-administration-act-other", "F"), "export-administration-a_2");
  EXPECT_EQ(Names.Add("export-administration-act", "F"), "export-administration-a_3");
}

TEST(TFieldNameMap, NamesEqualApartFromCaseOrReservedGetSuffixes) {
  TFieldNameMap Names({"ID", "Class", "Value", "Split0"});
  EXPECT_EQ(Names.Add("colour", "F"), "colour");
  EXPECT_EQ(Names.Add("Colour", "F"), "Colour_2");
  EXPECT_EQ(Names.Add("COLOUR", "F"), "COLOUR_3");
  EXPECT_EQ(Names.Add("colour_2", "F"), "colour_2_2");
  EXPECT_EQ(Names.Add("class", "F"), "class_2");
  EXPECT_EQ(Names.Add("value", "F"), "value_2");
  EXPECT_EQ(Names.Add("split0", "F"), "split0_2");
  EXPECT_TRUE(Names.IsTaken("COLOUR_2"));
}

TEST(TFieldNameMap, FallbackWhenNothingIsLeft) {
  TFieldNameMap Names;
  EXPECT_EQ(Names.Add("", "Field3"), "Field3");
  EXPECT_EQ(Names.Add("   ", "Field3"), "Field3_2");
}
