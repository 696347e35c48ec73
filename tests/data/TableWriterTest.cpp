// Writing tables and reading them back: every storable type in both stores,
// the type categories of Paradox fields, the errors of bad cells, and
// compatibility with pxlib's own reading and writing.
#include <gtest/gtest.h>

extern "C" {
#include <paradox.h>
}

#include <cstring>

#include "DataTestTables.h"
#include "DateTimeText.h"
#include "Exceptions.h"
#include "TestSupport.h"

namespace fs = std::filesystem;

namespace {

std::unique_ptr<TTable> Open(TSession& Session, TStore Store, const std::string& Name) {
  auto Table = std::make_unique<TTable>(nullptr, &Session);
  Table->SetDatabaseName(AliasOf(Store));
  Table->SetTableName(Store == TStore::Paradox ? Name + ".DB" : Name);
  Table->Open();
  return Table;
}

class TTableWriterOn : public ::testing::TestWithParam<TStore> {};

TEST_P(TTableWriterOn, EveryStorableTypeRoundTrips) {
  static bool Written = false;
  const double Day = *ParseDateTimeText("2024-03-01");
  const double Time = *ParseDateTimeText("13:05:09");
  if (!Written) {
    Written = true;
    WriteBoth("TYPES",
              {{"S", ftString, 8}, {"Small", ftSmallint}, {"Int", ftInteger}, {"Auto", ftAutoInc},
               {"F", ftFloat}, {"Money", ftCurrency}, {"B", ftBoolean}, {"D", ftDate}, {"T", ftTime},
               {"DT", ftDateTime}, {"Big", ftLargeint}},
              {{std::string("Zürich"), -32767, -7, 1, 0.0, 12.5, true, Day, Time, Day + Time, 2147483647},
               {std::string("x"), 32767, 2147483647, 2, -1e-300, -0.25, false, Day - 1, 0.0, Day, -5},
               {TFieldValue{}, TFieldValue{}, TFieldValue{}, TFieldValue{}, TFieldValue{}, TFieldValue{},
                TFieldValue{}, TFieldValue{}, TFieldValue{}, TFieldValue{}, TFieldValue{}}});
  }
  auto Session = MakeSession();
  auto Table = Open(*Session, GetParam(), "TYPES");
  const bool Px = GetParam() == TStore::Paradox;
  const std::vector<TFieldType> Types{ftString, ftSmallint, ftInteger, Px ? ftAutoInc : ftInteger,
                                      ftFloat,  ftCurrency, ftBoolean, ftDate,
                                      ftTime,   ftDateTime, Px ? ftInteger : ftLargeint};
  for (size_t i = 0; i < Types.size(); ++i)
    EXPECT_EQ(FieldTypeName(Table->Fields(static_cast<int32_t>(i))->DataType()), FieldTypeName(Types[i])) << i;
  auto F = [&](const char* Name) { return Table->FieldByName(Name); };
  EXPECT_EQ(F("S")->AsString(), "Zürich");
  EXPECT_EQ(F("Small")->AsInteger(), -32767);
  EXPECT_EQ(F("Int")->AsInteger(), -7);
  EXPECT_EQ(F("Auto")->AsInteger(), 1);
  EXPECT_FALSE(F("F")->IsNull());  // 0.0 is a value, not a null
  EXPECT_EQ(F("F")->AsString(), "0");
  EXPECT_DOUBLE_EQ(F("Money")->AsFloat(), 12.5);
  EXPECT_TRUE(F("B")->AsBoolean());
  EXPECT_EQ(F("B")->AsString(), "True");
  EXPECT_EQ(F("D")->AsString(), "2024-03-01");
  EXPECT_DOUBLE_EQ(F("D")->AsFloat(), Day);
  EXPECT_EQ(F("T")->AsString(), "13:05:09");
  EXPECT_EQ(F("DT")->AsString(), "2024-03-01 13:05:09");
  EXPECT_EQ(F("Big")->AsInteger(), 2147483647);
  Table->Next();
  EXPECT_EQ(F("Small")->AsInteger(), 32767);
  EXPECT_EQ(F("Int")->AsInteger(), 2147483647);
  EXPECT_DOUBLE_EQ(F("F")->AsFloat(), -1e-300);
  EXPECT_DOUBLE_EQ(F("Money")->AsFloat(), -0.25);
  EXPECT_FALSE(F("B")->AsBoolean());
  EXPECT_FALSE(F("B")->IsNull());
  EXPECT_EQ(F("T")->AsString(), "00:00:00");
  EXPECT_FALSE(F("T")->IsNull());
  EXPECT_EQ(F("Big")->AsInteger(), -5);
  Table->Next();
  for (int32_t i = 0; i < Table->FieldCount(); ++i) EXPECT_TRUE(Table->Fields(i)->IsNull()) << i;
}

TEST_P(TTableWriterOn, BadCellsNameFieldAndRow) {
  const std::string File = (DataFolder().Folder / "BAD.DB").string();
  const std::vector<TFieldDef> Layout{{"ID", ftInteger}, {"Name", ftString, 3}, {"Small", ftSmallint}};
  auto Writer = GetParam() == TStore::Paradox ? CreateParadoxTable(File, Layout)
                                              : CreateSqliteTable(DataFolder().SqliteFile.string(), "BAD", Layout);
  const std::string Table = GetParam() == TStore::Paradox ? File : "BAD";
  const std::vector<TFieldValue> Good{1, std::string("abc"), 3};
  Writer->AppendRow(Good);
  const std::vector<TFieldValue> Long{2, std::string("abcd"), 3};
  EXPECT_EQ(MessageOf([&] { Writer->AppendRow(Long); }),
            "Table '" + Table + "', row 2, field 'Name': text of 4 bytes exceeds the field size of 3");
  const std::vector<TFieldValue> Kind{2.5, std::string("a"), 3};
  EXPECT_EQ(MessageOf([&] { Writer->AppendRow(Kind); }),
            "Table '" + Table + "', row 2, field 'ID': expected an integer value");
  const std::vector<TFieldValue> Range{2, std::string("a"), 40000};
  EXPECT_NE(MessageOf([&] { Writer->AppendRow(Range); }).find("field 'Small': value 40000 is outside"),
            std::string::npos);
  const std::vector<TFieldValue> Short{2};
  EXPECT_EQ(MessageOf([&] { Writer->AppendRow(Short); }), "Table '" + Table + "', row 2: 1 values for 3 fields");
  Writer->Close();
  auto Session = MakeSession();
  auto Read = Open(*Session, GetParam(), "BAD");
  EXPECT_EQ(Read->RecordCount(), 1);  // rejected rows are not stored
}

TEST_P(TTableWriterOn, UnstorableDefinitionsAreRefused) {
  const std::string File = (DataFolder().Folder / "REFUSED.DB").string();
  auto Create = [&](const std::vector<TFieldDef>& Layout) {
    if (GetParam() == TStore::Paradox) CreateParadoxTable(File, Layout);
    else CreateSqliteTable(DataFolder().SqliteFile.string(), "REFUSED", Layout);
  };
  EXPECT_NE(MessageOf([&] { Create({{"C", ftCursor}}); }).find("field 'C' of type ftCursor cannot be stored"),
            std::string::npos);
  EXPECT_NE(MessageOf([&] { Create({}); }).find("no fields"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(TTableWriter, TTableWriterOn, ::testing::ValuesIn(AllStores),
                         [](const auto& Info) { return std::string(StoreName(Info.param)); });

TEST(TTableWriter, ParadoxDefinitionLimits) {
  const std::string File = (DataFolder().Folder / "LIMITS.DB").string();
  EXPECT_NE(MessageOf([&] { CreateParadoxTable(File, {{"A", ftInteger}, {"a", ftInteger}}); })
                .find("duplicate field name 'a'"),
            std::string::npos);
  EXPECT_NE(MessageOf([&] { CreateParadoxTable(File, {{"S", ftString, 256}}); }).find("more than the 255 bytes"),
            std::string::npos);
  EXPECT_NE(MessageOf([&] { CreateParadoxTable(File, {{std::string(26, 'n'), ftInteger}}); })
                .find("must have 1 to 25 characters"),
            std::string::npos);
  auto Writer = CreateParadoxTable(File, {{"Memo", ftMemo}});
  const std::vector<TFieldValue> Text{std::string("x")};
  EXPECT_NE(MessageOf([&] { Writer->AppendRow(Text); }).find("only null values"), std::string::npos);
}

TEST(TTableWriter, ParadoxTypesMapToTheirCategories) {
  const std::string File = (DataFolder().Folder / "KINDS.DB").string();
  const std::vector<TFieldDef> Layout{{"Memo", ftMemo}, {"Fmt", ftFmtMemo}, {"Blob", ftBlob},
                                      {"Pic", ftGraphic}, {"Ole", ftParadoxOle}, {"Bcd", ftBCD},
                                      {"Raw", ftBytes, 4}};
  auto Writer = CreateParadoxTable(File, Layout);
  Writer->AppendRow(std::vector<TFieldValue>(7));
  Writer->AppendRow(std::vector<TFieldValue>{TFieldValue{}, TFieldValue{}, TFieldValue{}, TFieldValue{},
                                             TFieldValue{}, TFieldValue{}, std::string("ab\x01")});
  Writer->Close();
  auto Session = MakeSession();
  auto Table = Open(*Session, TStore::Paradox, "KINDS");
  for (size_t i = 0; i < Layout.size(); ++i) {
    EXPECT_EQ(FieldTypeName(Table->Fields(static_cast<int32_t>(i))->DataType()), FieldTypeName(Layout[i].DataType));
    EXPECT_TRUE(Table->Fields(static_cast<int32_t>(i))->IsNull());
  }
  Table->Next();
  EXPECT_EQ(Table->FieldByName("Raw")->AsString(), std::string("ab\x01\0", 4));
  EXPECT_THROW(Table->FieldByName("Raw")->AsFloat(), EConvertError);
}

// pxlib reads the blocks this layer writes, row for row.
TEST(TTableWriter, PxlibReadsWhatWeWrite) {
  const std::string File = (DataFolder().Folder / "MANY.DB").string();
  {
    auto Writer = CreateParadoxTable(File, {{"ID", ftInteger}, {"X", ftFloat}, {"S", ftString, 100}});
    for (int32_t i = 0; i < 3000; ++i) Writer->AppendRow(std::vector<TFieldValue>{i + 1, i * 0.5, std::string("row") + std::to_string(i)});
    Writer->Close();
  }
  pxdoc_t* Doc = PX_new();
  ASSERT_EQ(PX_open_file(Doc, File.c_str()), 0);
  ASSERT_EQ(PX_get_num_records(Doc), 3000);
  std::vector<char> Record(static_cast<size_t>(PX_get_recordsize(Doc)));
  for (int Row : {0, 1, 37, 1499, 2999}) {
    ASSERT_NE(PX_get_record(Doc, Row, Record.data()), nullptr) << Row;
    long Id = 0;
    double X = 0;
    PX_get_data_long(Doc, Record.data(), 4, &Id);
    PX_get_data_double(Doc, Record.data() + 4, 8, &X);
    EXPECT_EQ(Id, Row + 1);
    EXPECT_DOUBLE_EQ(X, Row * 0.5);
  }
  PX_close(Doc);
  PX_delete(Doc);

  // And the reader walks, seeks and filters across the blocks.
  auto Session = MakeSession();
  auto Table = Open(*Session, TStore::Paradox, "MANY");
  EXPECT_EQ(Table->RecordCount(), 3000);
  int32_t Expected = 1;
  bool InOrder = true;
  for (; !Table->Eof(); Table->Next()) InOrder = InOrder && Table->FieldByName("ID")->AsInteger() == Expected++;
  EXPECT_TRUE(InOrder);
  EXPECT_EQ(Expected, 3001);
  Table->SetFilter("ID > 2990 OR ID = 7");
  Table->SetFiltered(true);
  EXPECT_EQ(Table->RecordCount(), 11);
  Table->Next();
  TBookmark Mark = Table->GetBookmark();
  Table->First();
  EXPECT_EQ(Table->FieldByName("ID")->AsInteger(), 7);
  Table->GotoBookmark(Mark);
  EXPECT_EQ(Table->FieldByName("ID")->AsInteger(), 2991);
  EXPECT_EQ(Table->FieldByName("S")->AsString(), "row2990");
  Table->FreeBookmark(Mark);
}

// The reader takes tables that pxlib wrote itself, nulls included.
TEST(TTableWriter, WeReadWhatPxlibWrites) {
  const std::string File = (DataFolder().Folder / "PXLIB.DB").string();
  pxdoc_t* Doc = PX_new();
  auto* Fields = static_cast<pxfield_t*>(Doc->malloc(Doc, 3 * sizeof(pxfield_t), "fields"));
  const char* Names[] = {"ID", "N", "L"};
  const char Types[] = {pxfShort, pxfNumber, pxfLong};
  const int Lens[] = {2, 8, 4};
  for (int i = 0; i < 3; ++i) Fields[i] = {PX_strdup(Doc, Names[i]), Types[i], Lens[i], 0};
  ASSERT_EQ(PX_create_file(Doc, Fields, 3, File.c_str(), pxfFileTypNonIndexDB), 0);
  std::vector<char> Record(14);
  for (int Row = 0; Row < 300; ++Row) {
    std::memset(Record.data(), 0, Record.size());
    PX_put_data_short(Doc, Record.data(), 2, static_cast<short>(Row + 1));
    if (Row % 3) PX_put_data_double(Doc, Record.data() + 2, 8, -Row * 1.25);
    if (Row % 2) PX_put_data_long(Doc, Record.data() + 10, 4, Row);
    ASSERT_GE(PX_put_record(Doc, Record.data()), 0);
  }
  PX_close(Doc);
  PX_delete(Doc);

  auto Session = MakeSession();
  auto Table = Open(*Session, TStore::Paradox, "PXLIB");
  EXPECT_EQ(Table->RecordCount(), 300);
  int Rows = 0, Mismatches = 0;
  for (; !Table->Eof(); Table->Next(), ++Rows) {
    const bool NullN = Rows % 3 == 0, NullL = Rows % 2 == 0;
    Mismatches += Table->FieldByName("ID")->AsInteger() != Rows + 1;
    Mismatches += Table->FieldByName("N")->IsNull() != NullN;
    Mismatches += !NullN && Table->FieldByName("N")->AsFloat() != -Rows * 1.25;
    Mismatches += Table->FieldByName("L")->IsNull() != NullL;
    Mismatches += !NullL && Table->FieldByName("L")->AsInteger() != Rows;
  }
  EXPECT_EQ(Rows, 300);
  EXPECT_EQ(Mismatches, 0);
}

TEST(TTableWriter, SqliteReplacesATableOfTheSameName) {
  const std::string Db = DataFolder().SqliteFile.string();
  CreateSqliteTable(Db, "AGAIN", {{"A", ftInteger}})->AppendRow(std::vector<TFieldValue>{1});
  auto Writer = CreateSqliteTable(Db, "AGAIN", {{"B", ftString, 5}});
  Writer->AppendRow(std::vector<TFieldValue>{std::string("new")});
  Writer->Close();
  auto Session = MakeSession();
  auto Table = Open(*Session, TStore::Sqlite, "AGAIN");
  ASSERT_EQ(Table->FieldCount(), 1);
  EXPECT_EQ(Table->Fields(0)->FieldName(), "B");
  EXPECT_EQ(Table->Fields(0)->Size(), 5);
  EXPECT_EQ(Table->RecordCount(), 1);
}

}  // namespace
