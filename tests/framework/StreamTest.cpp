// Memory and file streams: short reads, sizes, seeking, file errors.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>

#include "Exceptions.h"
#include "Stream.h"

namespace {
std::string TempPath(const char* Name) {
  return (std::filesystem::temp_directory_path() /
          (std::string("pellory_fw_") + std::to_string(::getpid()) + "_" + Name))
      .string();
}
}  // namespace

TEST(TMemoryStream, ReadWriteSeek) {
  TMemoryStream S;
  S.WriteInt32(-2);
  S.WriteDouble(0.5);
  S.WriteByte(7);
  EXPECT_EQ(S.Size(), 13);
  EXPECT_EQ(S.Bytes()[0], 0xFE);  // little-endian
  EXPECT_EQ(S.Bytes()[3], 0xFF);
  S.SetPosition(0);
  EXPECT_EQ(S.ReadInt32(), -2);
  EXPECT_EQ(S.ReadDouble(), 0.5);
  EXPECT_EQ(S.Remaining(), 1);
  EXPECT_EQ(S.ReadByte(), 7);
  EXPECT_EQ(S.Remaining(), 0);
  EXPECT_EQ(S.Seek(-1, TSeekOrigin::soEnd), 12);
  EXPECT_THROW(S.Seek(-14, TSeekOrigin::soEnd), EStreamError);
}

TEST(TMemoryStream, ShortReadIsReadError) {
  TMemoryStream S(std::vector<uint8_t>{1, 2, 3});
  uint8_t B[4];
  try {
    S.ReadBuffer(B, 4);
    FAIL();
  } catch (const EReadError& E) {
    EXPECT_EQ(E.Message(), "Stream read error");
  }
  S.SetPosition(0);
  EXPECT_EQ(S.Read(B, 4), 3);
}

TEST(TMemoryStream, SeekBeyondEndThenWriteFillsZeros) {
  TMemoryStream S;
  S.SetPosition(10);
  uint8_t B[1];
  EXPECT_EQ(S.Read(B, 1), 0);  // nothing there yet
  EXPECT_EQ(S.Size(), 0);
  S.WriteByte(9);
  EXPECT_EQ(S.Size(), 11);
  EXPECT_EQ(S.Bytes()[5], 0);
  S.SetSize(4);
  EXPECT_EQ(S.Position(), 4);
  EXPECT_EQ(S.Remaining(), 0);
}

TEST(TFileStream, CreateWriteReopenRead) {
  std::string Path = TempPath("rw.bin");
  {
    TFileStream F(Path, TFileMode::fmCreate);
    F.WriteInt32(42);
    F.WriteBuffer("abc", 3);
  }
  {
    TFileStream F(Path, TFileMode::fmCreate);  // overwrites
    F.WriteInt32(43);
  }
  {
    TFileStream F(Path, TFileMode::fmOpenRead);
    EXPECT_EQ(F.Size(), 4);
    EXPECT_EQ(F.ReadInt32(), 43);
    EXPECT_THROW(F.ReadByte(), EReadError);
    EXPECT_THROW(F.WriteByte(1), EWriteError);  // opened read-only
  }
  std::filesystem::remove(Path);
}

TEST(TFileStream, ErrorsNameTheFile) {
  std::string Missing = TempPath("missing/none.bin");
  try {
    TFileStream F(Missing, TFileMode::fmOpenRead);
    FAIL();
  } catch (const EFOpenError& E) {
    EXPECT_EQ(E.Message(), "Cannot open file \"" + Missing + "\". No such file or directory");
  }
  try {
    TFileStream F(Missing, TFileMode::fmCreate);
    FAIL();
  } catch (const EFCreateError& E) {
    EXPECT_EQ(E.Message(), "Cannot create file \"" + Missing + "\". No such file or directory");
  }
  std::string Dir = std::filesystem::temp_directory_path().string();
  EXPECT_THROW(TFileStream(Dir, TFileMode::fmOpenRead), EFOpenError);
  EXPECT_THROW(TFileStream(Dir, TFileMode::fmCreate), EFCreateError);
}

TEST(TFileStream, ExclusiveWhileWriting) {
  std::string Path = TempPath("lock.bin");
  {
    TFileStream Writer(Path, TFileMode::fmCreate);
    Writer.WriteInt32(1);
    EXPECT_THROW(TFileStream(Path, TFileMode::fmCreate), EFCreateError);
    EXPECT_THROW(TFileStream(Path, TFileMode::fmOpenRead), EFOpenError);
    EXPECT_EQ(Writer.Size(), 4);  // the refused second writer truncated nothing
  }
  TFileStream R1(Path, TFileMode::fmOpenRead);
  TFileStream R2(Path, TFileMode::fmOpenRead);  // readers share
  EXPECT_EQ(R2.ReadInt32(), 1);
  std::filesystem::remove(Path);
}

TEST(TStream, LittleEndianImagesMatchTheTypedCalls) {
  uint8_t Image[12];
  PutInt32LE(Image, -2);
  PutDoubleLE(Image + 4, 0.1);
  TMemoryStream S;
  S.WriteInt32(-2);
  S.WriteDouble(0.1);
  ASSERT_EQ(S.Bytes().size(), 12u);
  EXPECT_TRUE(std::equal(S.Bytes().begin(), S.Bytes().end(), Image));
  EXPECT_EQ(Image[0], 0xFE);
  EXPECT_EQ(Image[3], 0xFF);
  EXPECT_EQ(Image[11], 0x3F);  // the double's sign and exponent byte last
  EXPECT_EQ(GetInt32LE(Image), -2);
  EXPECT_EQ(GetDoubleLE(Image + 4), 0.1);
  const uint8_t Max[4] = {0xFF, 0xFF, 0xFF, 0x7F};
  EXPECT_EQ(GetInt32LE(Max), 2147483647);
}
