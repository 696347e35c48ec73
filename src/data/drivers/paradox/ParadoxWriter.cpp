// Creating Paradox tables: pxlib writes the header and field descriptions and
// encodes the values; the rows are streamed into data blocks here and the
// header's record and block counts are patched on Close.
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <set>

#include "Convert.h"
#include "Exceptions.h"
#include "ParadoxFormat.h"
#include "Pxlib.h"
#include "TableWriter.h"
#include "WriterChecks.h"

namespace {

using namespace paradox;

struct TPxType {
  char Type = 0;
  int Len = 0;
};

// The Paradox field type a category is stored as; Type 0 when there is none.
TPxType PxTypeOf(const TFieldDef& Def) {
  switch (Def.DataType) {
    case ftString: case ftFixedChar: case ftWideString:
      return {pxfAlpha, Def.Size <= 0 ? 1 : Def.Size};
    case ftSmallint: return {pxfShort, 2};
    case ftInteger: case ftWord: case ftLargeint: return {pxfLong, 4};
    case ftAutoInc: return {pxfAutoInc, 4};
    case ftFloat: return {pxfNumber, 8};
    case ftCurrency: return {pxfCurrency, 8};
    case ftBoolean: return {pxfLogical, 1};
    case ftDate: return {pxfDate, 4};
    case ftTime: return {pxfTime, 4};
    case ftDateTime: return {pxfTimestamp, 8};
    case ftBCD: return {pxfBCD, 17};
    case ftBytes: return {pxfBytes, Def.Size <= 0 ? 1 : Def.Size};
    case ftMemo: return {pxfMemoBLOb, 10};
    case ftFmtMemo: return {pxfFmtMemoBLOb, 10};
    case ftBlob: return {pxfBLOb, 10};
    case ftGraphic: return {pxfGraphic, 10};
    case ftParadoxOle: return {pxfOLE, 10};
    default: return {};
  }
}

class TParadoxWriter final : public TTableWriter {
public:
  TParadoxWriter(const std::string& FileName, const std::vector<TFieldDef>& Fields);
  ~TParadoxWriter() override;
  void AppendRow(std::span<const TFieldValue> Values) override;
  void Close() override;

private:
  [[noreturn]] void CellError(size_t Field, const std::string& What) const;
  void EncodeCell(size_t Field, const TFieldValue& Value, unsigned char* Out);
  void FlushBlock(bool Last);

  std::string FFileName;
  std::vector<TFieldDef> FDefs;
  std::vector<TPxType> FTypes;
  std::vector<int> FOffsets;
  TPxDocument FDoc;
  std::FILE* FFile = nullptr;
  int FRecordSize = 0;
  int FHeaderSize = 0;
  int FBlockSize = 0;
  int FRecordsPerBlock = 0;
  std::vector<unsigned char> FBlock;
  std::vector<unsigned char> FRow;
  std::string FScratch;
  int FBlockRecords = 0;  // rows in the block being filled
  int FBlockNumber = 0;   // 1-based number of that block, 0 before the first row
  uint32_t FRows = 0;
  bool FClosed = false;
};

TParadoxWriter::TParadoxWriter(const std::string& FileName, const std::vector<TFieldDef>& Fields)
    : FFileName(FileName), FDefs(Fields) {
  if (Fields.empty()) throw Exception("Cannot create table '" + FileName + "': no fields");
  std::set<std::string> Seen;
  for (const TFieldDef& Def : Fields) {
    if (Def.Name.empty() || Def.Name.size() > 25)
      throw Exception("Cannot create table '" + FileName + "': field name '" + Def.Name +
                      "' must have 1 to 25 characters");
    std::string Upper;
    for (char C : Def.Name) Upper += static_cast<char>(std::toupper(static_cast<unsigned char>(C)));
    if (!Seen.insert(Upper).second)
      throw Exception("Cannot create table '" + FileName + "': duplicate field name '" + Def.Name + "'");
    TPxType T = PxTypeOf(Def);
    if (T.Type == 0)
      throw Exception("Cannot create table '" + FileName + "': field '" + Def.Name + "' of type " +
                      std::string(FieldTypeName(Def.DataType)) + " cannot be stored in a Paradox table");
    if ((T.Type == pxfAlpha || T.Type == pxfBytes) && T.Len > 255)
      throw Exception("Cannot create table '" + FileName + "': field '" + Def.Name + "' has size " +
                      std::to_string(T.Len) + ", more than the 255 bytes of a Paradox field");
    FTypes.push_back(T);
  }

  FDoc = NewPxDocument();
  if (!FDoc) throw Exception("Cannot create table '" + FileName + "': out of memory");
  pxdoc_t* Doc = FDoc.get();
  // pxlib frees the field array and the names: they must come from its allocator.
  auto* PxFields = static_cast<pxfield_t*>(Doc->malloc(Doc, sizeof(pxfield_t) * Fields.size(), "fields"));
  int Offset = 0;
  for (size_t i = 0; i < Fields.size(); ++i) {
    PxFields[i].px_fname = PX_strdup(Doc, Fields[i].Name.c_str());
    PxFields[i].px_ftype = FTypes[i].Type;
    PxFields[i].px_flen = FTypes[i].Len;
    PxFields[i].px_fdc = FTypes[i].Type == pxfBCD ? 2 : 0;
    FOffsets.push_back(Offset);
    Offset += FTypes[i].Len;
  }
  std::error_code Ignored;
  std::filesystem::remove(FileName, Ignored);
  if (PX_create_file(Doc, PxFields, static_cast<int>(Fields.size()), FileName.c_str(),
                     pxfFileTypNonIndexDB) < 0) {
    const std::string Error = "Cannot create table '" + FileName + "': " + PxLastError(Doc);
    // A file that cannot be opened fails before the document has a header
    // to own the fields: then they are still ours to free.
    if (!Doc->px_head) {
      for (size_t i = 0; i < Fields.size(); ++i) Doc->free(Doc, PxFields[i].px_fname);
      Doc->free(Doc, PxFields);
    }
    throw EFCreateError(Error);
  }
  // Either encoding alone garbles or drops text; both make pxlib store UTF-8.
  PX_set_inputencoding(Doc, "UTF-8");
  PX_set_targetencoding(Doc, "UTF-8");
  const std::string Stem = std::filesystem::path(FileName).stem().string();
  PX_set_tablename(Doc, Stem.c_str());

  FRecordSize = Doc->px_head->px_recordsize;
  FHeaderSize = Doc->px_head->px_headersize;
  FBlockSize = Doc->px_head->px_maxtablesize * 1024;
  if (FRecordSize != Offset || FBlockSize <= BlockHeaderSize + FRecordSize)
    throw Exception("Cannot create table '" + FileName + "': records of " + std::to_string(Offset) +
                    " bytes do not fit a Paradox block");
  FRecordsPerBlock = (FBlockSize - BlockHeaderSize) / FRecordSize;
  FBlock.assign(FBlockSize, 0);
  FRow.assign(FRecordSize, 0);

  FFile = std::fopen(FileName.c_str(), "r+b");
  if (!FFile) throw EFCreateError("Cannot create table '" + FileName + "': cannot reopen the file");
}

TParadoxWriter::~TParadoxWriter() {
  try {
    Close();
  } catch (...) {
    // Close() reports errors to callers that ask; a destructor cannot.
  }
  if (FFile) std::fclose(FFile);
}

void TParadoxWriter::CellError(size_t Field, const std::string& What) const {
  RaiseCellError(FFileName, FRows + 1, FDefs[Field].Name, What);
}

void TParadoxWriter::EncodeCell(size_t Field, const TFieldValue& Value, unsigned char* Out) {
  if (std::holds_alternative<std::monostate>(Value)) return;  // a null is all zero bytes
  pxdoc_t* Doc = FDoc.get();
  char* Data = reinterpret_cast<char*>(Out);
  const TPxType& T = FTypes[Field];
  const int32_t* Int = std::get_if<int32_t>(&Value);
  const double* Float = std::get_if<double>(&Value);
  const std::string* Text = std::get_if<std::string>(&Value);
  const bool* Bool = std::get_if<bool>(&Value);
  switch (T.Type) {
    case pxfShort:
      if (!Int) CellError(Field, "expected an integer value");
      // -32768 would encode as all zero bytes, which reads back as null.
      if (*Int < -32767 || *Int > 32767)
        CellError(Field, "value " + std::to_string(*Int) + " is outside -32767..32767");
      PX_put_data_short(Doc, Data, 2, static_cast<short>(*Int));
      return;
    case pxfLong: case pxfAutoInc:
      if (!Int) CellError(Field, "expected an integer value");
      if (*Int == INT32_MIN) CellError(Field, "value -2147483648 cannot be stored");
      PX_put_data_long(Doc, Data, 4, *Int);
      return;
    case pxfDate: case pxfTime: {
      if (!Int && !Float) CellError(Field, "expected a date or time value");
      const double V = Int ? *Int : *Float;
      const double Stored = T.Type == pxfDate ? std::floor(V) + DateDelta : std::round((V - std::floor(V)) * MsPerDay);
      if (!std::isfinite(Stored) || Stored <= INT32_MIN || Stored > INT32_MAX)
        CellError(Field, "value " + FloatToShortest(V) + " is not a storable date or time");
      PX_put_data_long(Doc, Data, 4, static_cast<int>(Stored));
      return;
    }
    case pxfNumber: case pxfCurrency: case pxfTimestamp: {
      if (!Int && !Float) CellError(Field, "expected a number");
      double V = Int ? *Int : *Float;
      if (T.Type == pxfTimestamp) V = (V + DateDelta) * MsPerDay;
      PX_put_data_double(Doc, Data, 8, V);
      return;
    }
    case pxfLogical:
      if (!Bool) CellError(Field, "expected a Boolean value");
      PX_put_data_byte(Doc, Data, 1, *Bool ? 1 : 0);
      return;
    case pxfAlpha: case pxfBytes:
      if (!Text) CellError(Field, "expected a text");
      if (Text->empty()) return;
      // pxlib writes past the record for a value longer than its field.
      if (Text->size() > static_cast<size_t>(T.Len))
        CellError(Field, TextTooLong(Text->size(), T.Len));
      if (T.Type == pxfAlpha && Text->find('\0') != std::string::npos)
        CellError(Field, "text contains a NUL byte");
      FScratch = *Text;
      if (T.Type == pxfAlpha) PX_put_data_alpha(Doc, Data, T.Len, FScratch.data());
      else std::memcpy(Data, Text->data(), Text->size());
      return;
    default:
      CellError(Field, "only null values can be stored in a field of type " +
                           std::string(FieldTypeName(FDefs[Field].DataType)));
  }
}

void TParadoxWriter::AppendRow(std::span<const TFieldValue> Values) {
  CheckRowShape(FFileName, FClosed, FRows + 1, Values.size(), FDefs.size());
  std::fill(FRow.begin(), FRow.end(), 0);
  for (size_t i = 0; i < Values.size(); ++i) EncodeCell(i, Values[i], FRow.data() + FOffsets[i]);
  if (FBlockNumber == 0 || FBlockRecords == FRecordsPerBlock) {
    if (FBlockNumber == MaxBlocks)
      throw Exception("Table '" + FFileName + "' is full: a Paradox table holds at most " +
                      std::to_string(static_cast<long long>(MaxBlocks) * FRecordsPerBlock) + " rows of this size");
    if (FBlockNumber > 0) FlushBlock(false);
    ++FBlockNumber;
    FBlockRecords = 0;
    std::fill(FBlock.begin(), FBlock.end(), 0);
  }
  std::memcpy(FBlock.data() + BlockHeaderSize + FBlockRecords * FRecordSize, FRow.data(), FRecordSize);
  ++FBlockRecords;
  ++FRows;
}

void TParadoxWriter::FlushBlock(bool Last) {
  PutU16LE(FBlock.data(), Last ? 0 : FBlockNumber + 1);
  PutU16LE(FBlock.data() + 2, FBlockNumber - 1);
  PutU16LE(FBlock.data() + 4, static_cast<uint32_t>((FBlockRecords - 1) * FRecordSize));
  const long Position = FHeaderSize + static_cast<long>(FBlockNumber - 1) * FBlockSize;
  if (std::fseek(FFile, Position, SEEK_SET) != 0 ||
      std::fwrite(FBlock.data(), 1, FBlock.size(), FFile) != FBlock.size())
    throw EWriteError("Cannot write table '" + FFileName + "': disk full or file not writable");
}

void TParadoxWriter::Close() {
  if (FClosed) return;
  FClosed = true;
  if (FBlockNumber > 0) FlushBlock(true);
  // pxlib rewrites its header on close; the counts are patched after it.
  PX_close(FDoc.get());
  FDoc.reset();
  unsigned char Counts[HeaderLastBlock + 2 - HeaderNumRecords];
  PutU32LE(Counts, FRows);
  PutU16LE(Counts + (HeaderNextBlock - HeaderNumRecords), FBlockNumber);
  PutU16LE(Counts + (HeaderFileBlocks - HeaderNumRecords), FBlockNumber);
  PutU16LE(Counts + (HeaderFirstBlock - HeaderNumRecords), FBlockNumber > 0 ? 1 : 0);
  PutU16LE(Counts + (HeaderLastBlock - HeaderNumRecords), FBlockNumber);
  const bool Ok = std::fseek(FFile, HeaderNumRecords, SEEK_SET) == 0 &&
                  std::fwrite(Counts, 1, sizeof Counts, FFile) == sizeof Counts;
  const bool Closed = std::fclose(FFile) == 0;
  FFile = nullptr;
  if (!Ok || !Closed) throw EWriteError("Cannot write table '" + FFileName + "': disk full or file not writable");
}

}  // namespace

std::unique_ptr<TTableWriter> CreateParadoxTable(const std::string& FileName,
                                                 const std::vector<TFieldDef>& Fields) {
  return std::make_unique<TParadoxWriter>(FileName, Fields);
}
