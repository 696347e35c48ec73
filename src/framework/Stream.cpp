// Memory and file streams. The fixed-size helpers assemble little-endian
// bytes explicitly so the format does not depend on the host's byte order.
#include "Stream.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>

#include "Exceptions.h"

int64_t TStream::Size() {
  int64_t Pos = Seek(0, TSeekOrigin::soCurrent);
  int64_t End = Seek(0, TSeekOrigin::soEnd);
  Seek(Pos, TSeekOrigin::soBeginning);
  return End;
}

void TStream::ReadBuffer(void* Buffer, int64_t Count) {
  if (Count < 0 || (Count > 0 && Read(Buffer, Count) != Count)) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* Buffer, int64_t Count) {
  if (Count < 0 || (Count > 0 && Write(Buffer, Count) != Count)) throw EWriteError("Stream write error");
}

int32_t TStream::ReadInt32() {
  uint8_t B[4];
  ReadBuffer(B, 4);
  return GetInt32LE(B);
}

void TStream::WriteInt32(int32_t Value) {
  uint8_t B[4];
  PutInt32LE(B, Value);
  WriteBuffer(B, 4);
}

double TStream::ReadDouble() {
  uint8_t B[8];
  ReadBuffer(B, 8);
  return GetDoubleLE(B);
}

void TStream::WriteDouble(double Value) {
  uint8_t B[8];
  PutDoubleLE(B, Value);
  WriteBuffer(B, 8);
}

uint8_t TStream::ReadByte() {
  uint8_t B;
  ReadBuffer(&B, 1);
  return B;
}

void TStream::WriteByte(uint8_t Value) { WriteBuffer(&Value, 1); }

// ---- memory stream -------------------------------------------------------

int64_t TMemoryStream::Read(void* Buffer, int64_t Count) {
  int64_t Size = static_cast<int64_t>(FData.size());
  if (Count <= 0 || FPosition >= Size) return 0;
  int64_t N = Count < Size - FPosition ? Count : Size - FPosition;
  std::memcpy(Buffer, FData.data() + FPosition, static_cast<size_t>(N));
  FPosition += N;
  return N;
}

int64_t TMemoryStream::Write(const void* Buffer, int64_t Count) {
  if (Count <= 0) return 0;
  if (FPosition > std::numeric_limits<int64_t>::max() - Count) return 0;
  int64_t End = FPosition + Count;
  if (End > static_cast<int64_t>(FData.size())) FData.resize(static_cast<size_t>(End));  // gap reads as zeros
  std::memcpy(FData.data() + FPosition, Buffer, static_cast<size_t>(Count));
  FPosition = End;
  return Count;
}

int64_t TMemoryStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  int64_t Base = Origin == TSeekOrigin::soBeginning ? 0
                 : Origin == TSeekOrigin::soCurrent ? FPosition
                                                    : static_cast<int64_t>(FData.size());
  if ((Offset > 0 && Base > std::numeric_limits<int64_t>::max() - Offset) || Base + Offset < 0)
    throw EStreamError("Invalid stream position");
  FPosition = Base + Offset;
  return FPosition;
}

void TMemoryStream::SetSize(int64_t NewSize) {
  if (NewSize < 0) throw EStreamError("Invalid stream size");
  FData.resize(static_cast<size_t>(NewSize));
  if (FPosition > NewSize) FPosition = NewSize;
}

// ---- file stream ---------------------------------------------------------

namespace {
std::string ErrorText() { return std::strerror(errno); }
}  // namespace

TFileStream::TFileStream(const std::string& FileName, TFileMode Mode) : FFileName(FileName) {
  if (Mode == TFileMode::fmCreate) {
    // Lock before truncating, so a file another writer holds stays intact.
    FHandle = ::open(FileName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (FHandle < 0 || ::flock(FHandle, LOCK_EX | LOCK_NB) != 0 || ::ftruncate(FHandle, 0) != 0) {
      std::string Message = "Cannot create file \"" + FileName + "\". " + ErrorText();
      if (FHandle >= 0) ::close(FHandle);
      FHandle = -1;
      throw EFCreateError(Message);
    }
    return;
  }
  bool Write = Mode == TFileMode::fmOpenReadWrite;
  FHandle = ::open(FileName.c_str(), (Write ? O_RDWR : O_RDONLY) | O_CLOEXEC);
  struct stat Info {};
  if (FHandle >= 0 && ::fstat(FHandle, &Info) == 0 && S_ISDIR(Info.st_mode)) errno = EISDIR;
  else if (FHandle >= 0 && ::flock(FHandle, (Write ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0) return;
  // A reader waits for no writer: a file being written is not yet readable.
  std::string Message = "Cannot open file \"" + FileName + "\". " + ErrorText();
  if (FHandle >= 0) ::close(FHandle);
  FHandle = -1;
  throw EFOpenError(Message);
}

TFileStream::~TFileStream() {
  if (FHandle >= 0) ::close(FHandle);  // releases the lock as well
}

int64_t TFileStream::Read(void* Buffer, int64_t Count) {
  int64_t Done = 0;
  auto* P = static_cast<char*>(Buffer);
  while (Done < Count) {
    ssize_t N = ::read(FHandle, P + Done, static_cast<size_t>(Count - Done));
    if (N < 0 && errno == EINTR) continue;
    if (N < 0) throw EReadError("Stream read error");
    if (N == 0) break;
    Done += N;
  }
  return Done;
}

int64_t TFileStream::Write(const void* Buffer, int64_t Count) {
  int64_t Done = 0;
  const auto* P = static_cast<const char*>(Buffer);
  while (Done < Count) {
    ssize_t N = ::write(FHandle, P + Done, static_cast<size_t>(Count - Done));
    if (N < 0 && errno == EINTR) continue;
    if (N <= 0) {  // WriteBuffer turns the short count into the write error
      FWriteError = N < 0 ? errno : ENOSPC;
      break;
    }
    Done += N;
  }
  return Done;
}

int64_t TFileStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  int Whence = Origin == TSeekOrigin::soBeginning ? SEEK_SET : Origin == TSeekOrigin::soCurrent ? SEEK_CUR : SEEK_END;
  off_t R = ::lseek(FHandle, static_cast<off_t>(Offset), Whence);
  if (R < 0) throw EStreamError("Invalid stream position");
  return static_cast<int64_t>(R);
}
