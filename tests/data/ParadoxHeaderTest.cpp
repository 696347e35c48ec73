// Paradox files whose header does not describe the file: each is refused at
// once with an error naming the table, before pxlib walks it, and nothing
// is printed to standard error.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "DataTestTables.h"
#include "Exceptions.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<char>;

// "HDR.DB": ID integer, Name text(60); 3 rows in a block of 2048 bytes (the
// writer's choice for 64-byte records), so 60 rows fill two blocks.
Bytes TableBytes(int32_t Rows) {
  const fs::path File = DataFolder().Folder / "HDRSRC.DB";
  auto Writer = CreateParadoxTable(File.string(), {{"ID", ftInteger}, {"Name", ftString, 60}});
  for (int32_t i = 0; i < Rows; ++i) Writer->AppendRow(std::vector<TFieldValue>{i + 1, "row " + std::to_string(i)});
  Writer->Close();
  std::ifstream In(File, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(In), {});
}

void PokeU16(Bytes& B, size_t At, uint32_t V) {
  B[At] = static_cast<char>(V & 0xFF);
  B[At + 1] = static_cast<char>((V >> 8) & 0xFF);
}

// Opens Bytes as "HDR.DB" and walks it; returns the error and checks that
// standard error stayed empty.
std::string OpenError(const Bytes& B) {
  const fs::path File = DataFolder().Folder / "HDR.DB";
  std::ofstream(File, std::ios::binary | std::ios::trunc).write(B.data(), static_cast<std::streamsize>(B.size()));
  auto Session = MakeSession();
  TTable Table(nullptr, Session.get());
  Table.SetDatabaseName("PX");
  Table.SetTableName("HDR.DB");
  testing::internal::CaptureStderr();
  const std::string Message = MessageOf([&] {
    Table.Open();
    for (; !Table.Eof(); Table.Next()) Table.Fields(1)->AsString();
  });
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  return Message;
}

std::string Damaged(const std::string& What) {
  return "Table '" + (DataFolder().Folder / "HDR.DB").string() + "' is damaged: " + What;
}

TEST(TTable, ParadoxHeaderIsCheckedAgainstTheFile) {
  const Bytes Good = TableBytes(100);
  ASSERT_EQ(OpenError(Good), "(no exception)");
  const size_t BlockSize = static_cast<size_t>(Good[5]) * 1024;
  const size_t HeaderSize = static_cast<uint8_t>(Good[2]) | (static_cast<uint8_t>(Good[3]) << 8);
  ASSERT_GE(Good.size(), HeaderSize + 3 * BlockSize);
  auto Edited = [&](const std::function<void(Bytes&)>& Edit) {
    Bytes B = Good;
    Edit(B);
    return OpenError(B);
  };
  // The record count of the header against the blocks: pxlib used to print
  // its complaint to the terminal and read on.
  EXPECT_EQ(Edited([](Bytes& B) { B[6] = 101; }), Damaged("the header counts 101 records, the blocks 100"));
  // A chain that comes back to a block hung pxlib's walk.
  EXPECT_EQ(Edited([&](Bytes& B) { PokeU16(B, HeaderSize + BlockSize, 1); }),
            Damaged("the block chain loops at block 1"));
  EXPECT_EQ(Edited([](Bytes& B) { PokeU16(B, 0x0E, 9); }),
            Damaged("first block 9 or last block 4 beyond the 4 blocks of the file"));
  EXPECT_EQ(Edited([](Bytes& B) { PokeU16(B, 0x0C, 40); }), Damaged("the file ends inside its 40 blocks"));
  EXPECT_EQ(Edited([](Bytes& B) { B[5] = 0; }), Damaged("block size of 0 KB"));
  EXPECT_EQ(Edited([](Bytes& B) { PokeU16(B, 0, 65); }),
            Damaged("the field sizes (64 bytes) do not match the record size (65)"));
  EXPECT_EQ(Edited([](Bytes& B) { PokeU16(B, 0x21, 60000); }), Damaged("60000 fields in a header of 2048 bytes"));
  EXPECT_EQ(Edited([&](Bytes& B) { PokeU16(B, HeaderSize + 4, 7); }),
            Damaged("block 1 has a bad record count (last record at 7)"));
  EXPECT_EQ(Edited([&](Bytes& B) { PokeU16(B, HeaderSize + BlockSize, 0); }),
            Damaged("the block chain ends at block 2, not at the last block 4"));
  EXPECT_EQ(Edited([](Bytes& B) { B[0x25] = 1; }),
            "Cannot open table '" + (DataFolder().Folder / "HDR.DB").string() +
                "': encrypted tables are not supported");
  EXPECT_EQ(Edited([](Bytes& B) { B[4] = 1; }),
            "Cannot open table '" + (DataFolder().Folder / "HDR.DB").string() + "': not a Paradox table file");
  // A version byte pxlib does not know, with the encryption word that sends
  // it to a data header it then never reads: its walk decrypted the blocks
  // with whatever the memory held, for minutes.
  EXPECT_EQ(Edited([](Bytes& B) {
              B[0x39] = 15;
              PokeU16(B, 0x25, 0xFF00);
              PokeU16(B, 0x27, 0xFF00);
            }),
            "Cannot open table '" + (DataFolder().Folder / "HDR.DB").string() + "': unknown file version 15");
  EXPECT_EQ(Edited([](Bytes& B) { B[0x39] = 2; }),
            "Cannot open table '" + (DataFolder().Folder / "HDR.DB").string() + "': unknown file version 2");
  EXPECT_EQ(OpenError(Bytes(Good.begin(), Good.begin() + 40)),
            "Cannot open table '" + (DataFolder().Folder / "HDR.DB").string() + "': not a Paradox table file");
}

TEST(TTable, EmptyParadoxTableHasNoBlocksToCheck) {
  EXPECT_EQ(OpenError(TableBytes(0)), "(no exception)");
}

}  // namespace
