// Byte streams: an abstract stream with position and size, a memory stream
// and a file stream. ReadBuffer and WriteBuffer either move every byte or
// raise EReadError / EWriteError, so callers never see a short read.
#pragma once

#include <bit>
#include <cstdint>
#include <string>
#include <vector>

// The byte order of every stream: little-endian images of 32-bit integers
// and doubles, written into / read from P (4 or 8 bytes). TStream's typed
// calls use them, and so does code that builds a record image in memory.
inline void PutInt32LE(uint8_t* P, int32_t V) {
  const auto U = static_cast<uint32_t>(V);
  for (int i = 0; i < 4; ++i) P[i] = static_cast<uint8_t>(U >> (8 * i));
}
inline void PutDoubleLE(uint8_t* P, double V) {
  const auto U = std::bit_cast<uint64_t>(V);
  for (int i = 0; i < 8; ++i) P[i] = static_cast<uint8_t>(U >> (8 * i));
}
inline int32_t GetInt32LE(const uint8_t* P) {
  uint32_t U = 0;
  for (int i = 0; i < 4; ++i) U |= static_cast<uint32_t>(P[i]) << (8 * i);
  return static_cast<int32_t>(U);
}
inline double GetDoubleLE(const uint8_t* P) {
  uint64_t U = 0;
  for (int i = 0; i < 8; ++i) U |= static_cast<uint64_t>(P[i]) << (8 * i);
  return std::bit_cast<double>(U);
}

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
public:
  virtual ~TStream() = default;
  // Moves up to Count bytes and returns how many moved.
  virtual int64_t Read(void* Buffer, int64_t Count) = 0;
  virtual int64_t Write(const void* Buffer, int64_t Count) = 0;
  virtual int64_t Seek(int64_t Offset, TSeekOrigin Origin) = 0;

  int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(int64_t Value) { Seek(Value, TSeekOrigin::soBeginning); }
  virtual int64_t Size();
  // Bytes from the position to the end: what a reader may still ask for.
  int64_t Remaining() { return Size() - Position(); }

  void ReadBuffer(void* Buffer, int64_t Count);         // EReadError "Stream read error"
  void WriteBuffer(const void* Buffer, int64_t Count);  // EWriteError "Stream write error"

  // Little-endian fixed-size values.
  int32_t ReadInt32();
  void WriteInt32(int32_t Value);
  double ReadDouble();
  void WriteDouble(double Value);
  uint8_t ReadByte();
  void WriteByte(uint8_t Value);
};

class TMemoryStream : public TStream {
public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::vector<uint8_t> Bytes) : FData(std::move(Bytes)) {}
  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  int64_t Size() override { return static_cast<int64_t>(FData.size()); }

  const std::vector<uint8_t>& Bytes() const { return FData; }
  void SetSize(int64_t NewSize);
  void Clear() { FData.clear(); FPosition = 0; }

private:
  std::vector<uint8_t> FData;
  int64_t FPosition = 0;
};

enum class TFileMode {
  fmCreate,    // create or overwrite, exclusive while writing
  fmOpenRead,  // read only
  fmOpenReadWrite
};

class TFileStream : public TStream {
public:
  // fmCreate failing raises EFCreateError, opening EFOpenError; both name the file.
  // Writers hold an exclusive lock, readers a shared one, so a file that is
  // being written can be neither created again nor opened for reading.
  TFileStream(const std::string& FileName, TFileMode Mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  const std::string& FileName() const { return FFileName; }
  // The system's error number of the last write it refused (0: none), so a
  // caller can say why "Stream write error" happened.
  int WriteErrorCode() const { return FWriteError; }

private:
  std::string FFileName;
  int FHandle = -1;
  int FWriteError = 0;
};
