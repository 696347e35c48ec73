// Offsets are those of the table header: record size (u16) at 0, header
// size (u16) at 2, file type at 4, block size in KB at 5, records (u32) at
// 6, blocks in the file (u16) at 0x0C, first and last block (u16) at 0x0E
// and 0x10, field count (u16) at 0x21, encryption word (u32) at 0x25, file
// version at 0x39 (3 to 12); from version 5 on a data header follows at
// 0x58 (its own encryption word at 0x5C) and the field descriptions (type,
// size bytes) start at 0x78 instead of 0x58.
#include "ParadoxHeader.h"

#include <unistd.h>

#include "Exceptions.h"
#include "ParadoxFormat.h"

namespace paradox {

namespace {

constexpr int64_t FixedHeaderSize = 0x58;
constexpr int64_t DataHeaderEnd = 0x78;
constexpr uint32_t EncryptionInDataHeader = 0xFF00FF00u;
constexpr uint8_t FileTypeIndexed = 0, FileTypeNonIndexed = 2;
constexpr unsigned char BcdFieldType = 0x17;
constexpr int BcdFieldSize = 17;
constexpr int FirstFileVersion = 3, LastFileVersion = 12;

uint32_t U32(const unsigned char* P) { return GetU16LE(P) | (static_cast<uint32_t>(GetU16LE(P + 2)) << 16); }

class THeaderCheck {
public:
  THeaderCheck(int Fd, const std::string& FileName) : FFd(Fd), FFileName(FileName) {}
  TTableLayout Run();

private:
  [[noreturn]] void Damaged(const std::string& What) const {
    throw Exception("Table '" + FFileName + "' is damaged: " + What);
  }
  [[noreturn]] void Refused(const std::string& What) const {
    throw Exception("Cannot open table '" + FFileName + "': " + What);
  }
  bool ReadAt(int64_t At, unsigned char* Buffer, size_t Size) const {
    return ::pread(FFd, Buffer, Size, static_cast<off_t>(At)) == static_cast<ssize_t>(Size);
  }
  void CheckFields(const unsigned char* Head, int64_t HeaderSize, bool DataHeader, int RecordSize) const;
  void WalkChain(const unsigned char* Head, TTableLayout& Layout, int64_t FileSize) const;

  int FFd;
  const std::string& FFileName;
};

TTableLayout THeaderCheck::Run() {
  const off_t End = ::lseek(FFd, 0, SEEK_END);
  if (End < 0) Refused("its size cannot be read");
  const int64_t FileSize = End;
  unsigned char Head[DataHeaderEnd] = {};
  if (FileSize < FixedHeaderSize || !ReadAt(0, Head, FixedHeaderSize)) Refused("not a Paradox table file");
  if (Head[4] != FileTypeIndexed && Head[4] != FileTypeNonIndexed) Refused("not a Paradox table file");
  // pxlib reads the data header only for the versions it knows (3 to 12);
  // for any other byte it would take its encryption word from memory it
  // never read, and decrypt the blocks with it for minutes.
  const int Version = Head[0x39];
  if (Version < FirstFileVersion || Version > LastFileVersion)
    Refused("unknown file version " + std::to_string(Version));
  const bool DataHeader = Version >= 5;
  if (DataHeader && (FileSize < DataHeaderEnd || !ReadAt(FixedHeaderSize, Head + FixedHeaderSize,
                                                         DataHeaderEnd - FixedHeaderSize)))
    Damaged("the header is cut short");
  uint32_t Encryption = U32(Head + 0x25);
  if (Encryption == EncryptionInDataHeader) {
    if (!DataHeader) Damaged("encryption word " + std::to_string(Encryption) + " without a data header");
    Encryption = U32(Head + 0x5C);
  }
  if (Encryption != 0) Refused("encrypted tables are not supported");

  TTableLayout Layout;
  Layout.RecordSize = GetU16LE(Head);
  Layout.HeaderSize = GetU16LE(Head + 2);
  const int BlockKB = Head[5];
  Layout.BlockSize = int64_t{BlockKB} * 1024;
  if (BlockKB < 1 || BlockKB > 32) Damaged("block size of " + std::to_string(BlockKB) + " KB");
  if (Layout.HeaderSize < (DataHeader ? DataHeaderEnd : FixedHeaderSize) || Layout.HeaderSize > FileSize)
    Damaged("header size " + std::to_string(Layout.HeaderSize) + " in a file of " + std::to_string(FileSize) +
            " bytes");
  if (Layout.RecordSize < 1 || Layout.RecordSize > Layout.BlockSize - BlockHeaderSize)
    Damaged("record size " + std::to_string(Layout.RecordSize) + " in blocks of " +
            std::to_string(Layout.BlockSize) + " bytes");
  CheckFields(Head, Layout.HeaderSize, DataHeader, Layout.RecordSize);
  WalkChain(Head, Layout, FileSize);
  return Layout;
}

// The field descriptions lie inside the header and their sizes make up the
// record.
void THeaderCheck::CheckFields(const unsigned char* Head, int64_t HeaderSize, bool DataHeader,
                               int RecordSize) const {
  const int Fields = GetU16LE(Head + 0x21);
  const int64_t At = DataHeader ? DataHeaderEnd : FixedHeaderSize;
  if (Fields < 1 || At + 2 * int64_t{Fields} > HeaderSize)
    Damaged(std::to_string(Fields) + " fields in a header of " + std::to_string(HeaderSize) + " bytes");
  std::vector<unsigned char> Info(static_cast<size_t>(2 * Fields));
  if (!ReadAt(At, Info.data(), Info.size())) Damaged("the field descriptions are cut short");
  int Sum = 0;
  for (int i = 0; i < Fields; ++i) {
    const unsigned char Type = Info[static_cast<size_t>(2 * i)], Size = Info[static_cast<size_t>(2 * i + 1)];
    // A BCD field's size byte holds its decimals; it always takes 17 bytes.
    if (Type == BcdFieldType) {
      Sum += BcdFieldSize;
      continue;
    }
    if (Size == 0) Damaged("field " + std::to_string(i + 1) + " has size 0");
    Sum += Size;
  }
  if (Sum != RecordSize)
    Damaged("the field sizes (" + std::to_string(Sum) + " bytes) do not match the record size (" +
            std::to_string(RecordSize) + ")");
}

void THeaderCheck::WalkChain(const unsigned char* Head, TTableLayout& Layout, int64_t FileSize) const {
  const uint32_t Records = U32(Head + HeaderNumRecords);
  const uint32_t FileBlocks = GetU16LE(Head + HeaderFileBlocks);
  const uint32_t First = GetU16LE(Head + HeaderFirstBlock);
  const uint32_t Last = GetU16LE(Head + HeaderLastBlock);
  if (Layout.HeaderSize + int64_t{FileBlocks} * Layout.BlockSize > FileSize)
    Damaged("the file ends inside its " + std::to_string(FileBlocks) + " blocks");
  if (First > FileBlocks || Last > FileBlocks)
    Damaged("first block " + std::to_string(First) + " or last block " + std::to_string(Last) + " beyond the " +
            std::to_string(FileBlocks) + " blocks of the file");
  const int PerBlock = static_cast<int>((Layout.BlockSize - BlockHeaderSize) / Layout.RecordSize);
  std::vector<bool> Visited(FileBlocks + 1, false);
  int64_t Counted = 0;
  for (uint32_t Number = First; Number != 0;) {
    if (Number > FileBlocks) Damaged("block " + std::to_string(Number) + " lies outside the file");
    if (Visited[Number]) Damaged("the block chain loops at block " + std::to_string(Number));
    Visited[Number] = true;
    unsigned char BlockHead[BlockHeaderSize];
    if (!ReadAt(Layout.HeaderSize + int64_t{Number - 1} * Layout.BlockSize, BlockHead, sizeof BlockHead))
      Damaged("block " + std::to_string(Number) + " cannot be read");
    const int LastOffset = static_cast<int16_t>(GetU16LE(BlockHead + 4));
    if (LastOffset < 0 || LastOffset % Layout.RecordSize != 0 || LastOffset / Layout.RecordSize >= PerBlock)
      Damaged("block " + std::to_string(Number) + " has a bad record count (last record at " +
              std::to_string(LastOffset) + ")");
    const int Count = LastOffset / Layout.RecordSize + 1;
    Layout.Blocks.push_back({Number, Count});
    Counted += Count;
    if (GetU16LE(BlockHead) == 0 && Number != Last)
      Damaged("the block chain ends at block " + std::to_string(Number) + ", not at the last block " +
              std::to_string(Last));
    Number = GetU16LE(BlockHead);
  }
  if (Counted != Records)
    Damaged("the header counts " + std::to_string(Records) + " records, the blocks " + std::to_string(Counted));
}

}  // namespace

TTableLayout CheckTableFile(int Fd, const std::string& FileName) { return THeaderCheck(Fd, FileName).Run(); }

}  // namespace paradox
