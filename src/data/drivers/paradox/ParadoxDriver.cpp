// Reading Paradox tables. pxlib opens the file and describes its header and
// fields; the rows are read here block by block with one pread per block,
// because pxlib's record calls cost several system calls per row. Nulls are
// all-zero field bytes (pxlib does not report them reliably).
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "Convert.h"
#include "DateTimeText.h"
#include "Exceptions.h"
#include "ParadoxFormat.h"
#include "ParadoxHeader.h"
#include "Pxlib.h"
#include "TableName.h"
#include "drivers/Drivers.h"

namespace fs = std::filesystem;
using namespace paradox;

namespace {

TFieldType CategoryOf(char PxType) {
  switch (PxType) {
    case pxfAlpha: return ftString;
    case pxfDate: return ftDate;
    case pxfShort: return ftSmallint;
    case pxfLong: return ftInteger;
    case pxfCurrency: return ftCurrency;
    case pxfNumber: return ftFloat;
    case pxfLogical: return ftBoolean;
    case pxfMemoBLOb: return ftMemo;
    case pxfBLOb: return ftBlob;
    case pxfFmtMemoBLOb: return ftFmtMemo;
    case pxfOLE: return ftParadoxOle;
    case pxfGraphic: return ftGraphic;
    case pxfTime: return ftTime;
    case pxfTimestamp: return ftDateTime;
    case pxfAutoInc: return ftAutoInc;
    case pxfBCD: return ftBCD;
    case pxfBytes: return ftBytes;
    default: return ftUnknown;
  }
}

bool IsUtf8(const unsigned char* P, size_t Len) {
  size_t i = 0;
  while (i < Len) {
    const unsigned char C = P[i];
    size_t Extra;
    if (C < 0x80) Extra = 0;
    else if ((C >> 5) == 6) Extra = 1;
    else if ((C >> 4) == 14) Extra = 2;
    else if ((C >> 3) == 30) Extra = 3;
    else return false;
    if (i + Extra >= Len && Extra > 0) return false;
    for (size_t k = 1; k <= Extra; ++k)
      if ((P[i + k] & 0xC0) != 0x80) return false;
    i += Extra + 1;
  }
  return true;
}

class TFileHandle {
public:
  explicit TFileHandle(int Fd) : FFd(Fd) {}
  ~TFileHandle() { if (FFd >= 0) ::close(FFd); }
  TFileHandle(const TFileHandle&) = delete;
  TFileHandle& operator=(const TFileHandle&) = delete;
  int Fd() const { return FFd; }

private:
  int FFd;
};

struct TStreamCloser {
  void operator()(FILE* Stream) const { std::fclose(Stream); }
};

class TParadoxCursor final : public TCursor {
public:
  explicit TParadoxCursor(const std::string& FileName);

  int64_t RowCount() override { return FRows; }
  bool First() override { return FRows > 0 && Position(0, 0); }
  bool Next() override;
  bool Seek(int64_t Key) override;
  int64_t Key() const override { return FKey; }
  // The key is the record number.
  bool KeysAreRowNumbers() const override { return true; }

  bool IsNull(int Column) override {
    const TCol& C = FCols[static_cast<size_t>(Column)];
    return AllZero(FRecord + C.Offset, C.Len);
  }
  bool ReadInteger(int Column, int64_t& Value) override;
  bool ReadFloat(int Column, double& Value) override;
  bool ReadText(int Column, std::string& Value) override;

private:
  struct TCol {
    int Offset = 0;
    int Len = 0;
    int Decimals = 0;
    char PxType = 0;
  };
  struct TBlock {
    int64_t FirstRecord = 0;
    uint32_t Number = 0;
    int Count = 0;
  };

  [[noreturn]] void Damaged(const std::string& What) const {
    throw Exception("Table '" + FFileName + "' is damaged: " + What);
  }
  [[noreturn]] void NotNumeric(int Column) const {
    throw EConvertError("Field '" + FColumns[static_cast<size_t>(Column)].Name + "' of type " +
                        std::string(FieldTypeName(FColumns[static_cast<size_t>(Column)].DataType)) +
                        " has no numeric value");
  }
  void ReadBlocks(const TTableLayout& Layout);
  void LoadBlock(size_t Block);
  bool Position(size_t Block, int InBlock);
  const unsigned char* Data(int Column) const { return FRecord + FCols[static_cast<size_t>(Column)].Offset; }

  std::string FFileName;
  TFileHandle FFile;
  std::unique_ptr<FILE, TStreamCloser> FHeaderStream;  // pxlib reads but never closes it
  TPxDocument FDoc;
  std::vector<TCol> FCols;
  std::vector<TBlock> FBlocks;
  int64_t FRows = 0;
  int FRecordSize = 0;
  int64_t FHeaderSize = 0;
  int64_t FBlockSize = 0;
  std::vector<unsigned char> FBlockData;
  size_t FLoaded = SIZE_MAX;
  size_t FBlock = 0;
  int FInBlock = 0;
  int64_t FKey = 0;
  const unsigned char* FRecord = nullptr;
};

TParadoxCursor::TParadoxCursor(const std::string& FileName)
    : FFileName(FileName), FFile(::open(FileName.c_str(), O_RDONLY | O_CLOEXEC)), FDoc(NewPxDocument()) {
  if (!FDoc) throw Exception("Cannot open table '" + FileName + "': out of memory");
  if (FFile.Fd() < 0) throw EFOpenError("Cannot open table '" + FileName + "'");
  const TTableLayout Layout = CheckTableFile(FFile.Fd(), FileName);
  pxdoc_t* Doc = FDoc.get();
  // pxlib's own open asks for write access; the header is read through a
  // read-only stream of ours instead, so read-only tables open too.
  const int Copy = ::fcntl(FFile.Fd(), F_DUPFD_CLOEXEC, 0);
  FHeaderStream.reset(Copy >= 0 ? ::fdopen(Copy, "rb") : nullptr);
  if (!FHeaderStream) {
    if (Copy >= 0) ::close(Copy);
    throw EFOpenError("Cannot open table '" + FileName + "'");
  }
  if (PX_open_fp(Doc, FHeaderStream.get()) < 0)
    throw Exception("Cannot open table '" + FileName + "': " + PxLastError(Doc));
  PX_set_targetencoding(Doc, "UTF-8");
  const pxhead_t* Head = Doc->px_head;
  if (Head->px_filetype != pxfFileTypIndexDB && Head->px_filetype != pxfFileTypNonIndexDB)
    throw Exception("Cannot open table '" + FileName + "': not a Paradox table file");
  if (Head->px_encryption != 0)
    throw Exception("Cannot open table '" + FileName + "': encrypted tables are not supported");
  FRecordSize = Head->px_recordsize;
  FHeaderSize = Head->px_headersize;
  FBlockSize = static_cast<int64_t>(Head->px_maxtablesize) * 1024;
  int Offset = 0;
  for (int i = 0; i < Head->px_numfields; ++i) {
    const pxfield_t& F = Head->px_fields[i];
    FCols.push_back({Offset, F.px_flen, F.px_fdc, F.px_ftype});
    const TFieldType Type = CategoryOf(F.px_ftype);
    const bool Sized = Type == ftString || Type == ftBytes;
    FColumns.push_back({F.px_fname ? F.px_fname : "", Type, Sized ? F.px_flen : 0});
    Offset += F.px_flen;
  }
  if (Offset != FRecordSize || FRecordSize <= 0 || FBlockSize < BlockHeaderSize + FRecordSize)
    Damaged("the field sizes do not match the record size");
  if (FRecordSize != Layout.RecordSize || FHeaderSize != Layout.HeaderSize || FBlockSize != Layout.BlockSize)
    Damaged("the header cannot be read consistently");
  FBlockData.resize(static_cast<size_t>(FBlockSize));
  ReadBlocks(Layout);
}

// Notes where each block's records start, so that a record number finds its
// block by binary search. The chain was checked with the header.
void TParadoxCursor::ReadBlocks(const TTableLayout& Layout) {
  for (const TChainBlock& B : Layout.Blocks) {
    FBlocks.push_back({FRows, B.Number, B.Count});
    FRows += B.Count;
  }
}

void TParadoxCursor::LoadBlock(size_t Block) {
  if (Block == FLoaded) return;
  const off_t At = FHeaderSize + static_cast<off_t>(FBlocks[Block].Number - 1) * FBlockSize;
  const size_t Wanted = BlockHeaderSize + static_cast<size_t>(FBlocks[Block].Count) * FRecordSize;
  size_t Done = 0;
  while (Done < Wanted) {
    const ssize_t Got = ::pread(FFile.Fd(), FBlockData.data() + Done, Wanted - Done, At + static_cast<off_t>(Done));
    if (Got <= 0) {
      FLoaded = SIZE_MAX;
      throw EReadError("Cannot read table '" + FFileName + "': block " + std::to_string(FBlocks[Block].Number) +
                       " is incomplete");
    }
    Done += static_cast<size_t>(Got);
  }
  FLoaded = Block;
}

bool TParadoxCursor::Position(size_t Block, int InBlock) {
  LoadBlock(Block);
  FBlock = Block;
  FInBlock = InBlock;
  FKey = FBlocks[Block].FirstRecord + InBlock;
  FRecord = FBlockData.data() + BlockHeaderSize + static_cast<size_t>(InBlock) * FRecordSize;
  return true;
}

bool TParadoxCursor::Next() {
  if (!FRecord) return false;
  if (FInBlock + 1 < FBlocks[FBlock].Count) {
    ++FInBlock;
    ++FKey;
    FRecord += FRecordSize;
    return true;
  }
  if (FBlock + 1 >= FBlocks.size()) return false;
  return Position(FBlock + 1, 0);
}

bool TParadoxCursor::Seek(int64_t Key) {
  if (Key < 0 || Key >= FRows) return false;
  if (FRecord && FBlocks[FBlock].FirstRecord <= Key && Key < FBlocks[FBlock].FirstRecord + FBlocks[FBlock].Count)
    return Position(FBlock, static_cast<int>(Key - FBlocks[FBlock].FirstRecord));
  auto It = std::upper_bound(FBlocks.begin(), FBlocks.end(), Key,
                             [](int64_t K, const TBlock& B) { return K < B.FirstRecord; });
  const size_t Block = static_cast<size_t>(It - FBlocks.begin()) - 1;
  return Position(Block, static_cast<int>(Key - FBlocks[Block].FirstRecord));
}

bool TParadoxCursor::ReadFloat(int Column, double& Value) {
  const TCol& C = FCols[static_cast<size_t>(Column)];
  const unsigned char* P = FRecord + C.Offset;
  if (AllZero(P, C.Len)) return false;
  switch (C.PxType) {
    case pxfShort: Value = DecodeShort(P); return true;
    case pxfLong: case pxfAutoInc: Value = DecodeLong(P); return true;
    case pxfNumber: case pxfCurrency: Value = DecodeDouble(P); return true;
    case pxfDate: Value = DecodeLong(P) - DateDelta; return true;
    case pxfTime: Value = DecodeLong(P) / MsPerDay; return true;
    case pxfTimestamp: Value = DecodeDouble(P) / MsPerDay - DateDelta; return true;
    case pxfLogical: Value = P[0] == 0x80 ? 0.0 : 1.0; return true;
    case pxfAlpha: case pxfBCD: {
      std::string Text;
      ReadText(Column, Text);
      Value = StrToFloat(Text);
      return true;
    }
    default: NotNumeric(Column);
  }
}

bool TParadoxCursor::ReadInteger(int Column, int64_t& Value) {
  const TCol& C = FCols[static_cast<size_t>(Column)];
  const unsigned char* P = FRecord + C.Offset;
  if (AllZero(P, C.Len)) return false;
  switch (C.PxType) {
    case pxfShort: Value = DecodeShort(P); return true;
    case pxfLong: case pxfAutoInc: case pxfDate: case pxfTime: Value = DecodeLong(P); return true;
    case pxfAlpha: {
      std::string Text;
      ReadText(Column, Text);
      Value = StrToInt(Text);
      return true;
    }
    default: {
      double D = 0;
      ReadFloat(Column, D);
      const double R = std::round(D);
      if (!(R >= -9.2e18 && R <= 9.2e18))
        throw EConvertError("Value of field '" + FColumns[static_cast<size_t>(Column)].Name + "' is not an integer");
      Value = static_cast<int64_t>(R);
      return true;
    }
  }
}

bool TParadoxCursor::ReadText(int Column, std::string& Value) {
  const TCol& C = FCols[static_cast<size_t>(Column)];
  const unsigned char* P = FRecord + C.Offset;
  if (AllZero(P, C.Len)) return false;
  pxdoc_t* Doc = FDoc.get();
  switch (C.PxType) {
    case pxfAlpha: {
      const auto* End = static_cast<const unsigned char*>(std::memchr(P, 0, static_cast<size_t>(C.Len)));
      const size_t Len = End ? static_cast<size_t>(End - P) : static_cast<size_t>(C.Len);
      if (IsUtf8(P, Len)) {
        Value.assign(reinterpret_cast<const char*>(P), Len);
        return true;
      }
      // Text in the table's code page: pxlib converts it.
      char* Converted = nullptr;
      if (PX_get_data_alpha(Doc, const_cast<char*>(reinterpret_cast<const char*>(P)), C.Len, &Converted) > 0 &&
          Converted) {
        Value = Converted;
        Doc->free(Doc, Converted);
      } else {
        Value.assign(reinterpret_cast<const char*>(P), Len);
      }
      return true;
    }
    case pxfBytes:
      Value.assign(reinterpret_cast<const char*>(P), static_cast<size_t>(C.Len));
      return true;
    case pxfShort: Value = std::to_string(DecodeShort(P)); return true;
    case pxfLong: case pxfAutoInc: Value = std::to_string(DecodeLong(P)); return true;
    case pxfNumber: case pxfCurrency: Value = FloatToShortest(DecodeDouble(P)); return true;
    case pxfLogical: Value = P[0] == 0x80 ? "False" : "True"; return true;
    case pxfDate: Value = DateText(DecodeLong(P) - DateDelta); return true;
    case pxfTime: Value = TimeText(DecodeLong(P) / MsPerDay); return true;
    case pxfTimestamp: Value = DateTimeText(DecodeDouble(P) / MsPerDay - DateDelta); return true;
    case pxfBCD: {
      char* Text = nullptr;
      if (PX_get_data_bcd(Doc, const_cast<unsigned char*>(P), C.Decimals, &Text) > 0 && Text) {
        Value = Text;
        Doc->free(Doc, Text);
        return true;
      }
      if (Text) Doc->free(Doc, Text);
      return false;
    }
    default:
      throw EConvertError("Field '" + FColumns[static_cast<size_t>(Column)].Name + "' of type " +
                          std::string(FieldTypeName(FColumns[static_cast<size_t>(Column)].DataType)) +
                          " cannot be read: its data lies in the table's blob file");
  }
}

// The file in Folder named TableName, letter case ignored when there is no
// exact match.
fs::path ResolveTable(const std::string& Folder, const std::string& TableName) {
  std::error_code Error;
  if (!fs::is_directory(Folder, Error)) throw EFOpenError("Folder '" + Folder + "' does not exist");
  const std::string Name = WithTableExtension(TableName);
  const fs::path Exact = fs::path(Folder) / Name;
  if (fs::is_regular_file(Exact, Error)) return Exact;
  for (const auto& Entry : fs::directory_iterator(Folder, Error))
    if (Entry.is_regular_file(Error) && SameText(Entry.path().filename().string(), Name)) return Entry.path();
  throw EFOpenError("Table '" + TableName + "' not found in folder '" + Folder + "'");
}

}  // namespace

std::vector<std::string> ParadoxTableFiles(const std::string& Folder) {
  std::error_code Error;
  if (!fs::is_directory(Folder, Error)) throw EFOpenError("Folder '" + Folder + "' does not exist");
  std::vector<std::string> Files;
  for (const auto& Entry : fs::directory_iterator(Folder, Error)) {
    const std::string Name = Entry.path().filename().string();
    if (Entry.is_regular_file(Error) && HasTableExtension(Name))
      Files.push_back(Name);
  }
  if (Error) throw EFOpenError("Cannot list folder '" + Folder + "': " + Error.message());
  return Files;
}

std::unique_ptr<TCursor> OpenParadoxTable(const std::string& Folder, const std::string& TableName) {
  return std::make_unique<TParadoxCursor>(ResolveTable(Folder, TableName).string());
}
