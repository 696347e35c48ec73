// Byte streams: an abstract stream with position and size, a memory stream
// and a file stream. ReadBuffer and WriteBuffer either move every byte or
// raise EReadError / EWriteError, so callers never see a short read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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

private:
  std::string FFileName;
  int FHandle = -1;
};
