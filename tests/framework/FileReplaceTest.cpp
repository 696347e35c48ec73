// Replacing a file whole: a failure at any step (a write past the file-size
// limit, a writer that throws, a folder that is missing) leaves the old file
// byte for byte and no temporary behind; success keeps permissions and links.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "Exceptions.h"
#include "FileReplace.h"
#include "Stream.h"
#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;

std::string Contents(const fs::path& Path) {
  std::ifstream In(Path, std::ios::binary);
  return {std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>()};
}

void WriteText(TStream& S, const std::string& Text) { S.WriteBuffer(Text.data(), static_cast<int64_t>(Text.size())); }

}  // namespace

TEST(ReplaceFile, FailuresLeaveTheOldFileAndNoTemporary) {
  const TTempDir Dir("pellory-replace");
  const fs::path File = Dir.Path / "m.model";
  const std::string Big(1 << 20, 'x');
  struct TCase {
    const char* Name;
    std::function<void()> Call;
    std::string Expected;  // the message, or a part of it
  } Cases[] = {
      {"past the size limit", [&] { ReplaceFileWithStream(File.string(), [&](TStream& S) { WriteText(S, Big); }); },
       "File too large; the file was not replaced"},
      {"writer throws", [&] { ReplaceFile(File.string(), [](const std::string&) { throw Exception("no rows"); }); },
       "no rows"},
      {"folder missing", [&] { ReplaceFileWithStream((Dir.Path / "no" / "x").string(), [](TStream&) {}); },
       "Cannot create file"},
  };
  for (const TCase& Case : Cases) {
    std::ofstream(File, std::ios::binary | std::ios::trunc) << "old model";
    EXPECT_NE(MessageUnderFileSizeLimit(64 * 1024, Case.Call).find(Case.Expected), std::string::npos) << Case.Name;
    EXPECT_EQ(Contents(File), "old model") << Case.Name;
    EXPECT_EQ(std::distance(fs::directory_iterator(Dir.Path), fs::directory_iterator()), 1) << Case.Name;
  }
}

TEST(ReplaceFile, KeepsPermissionsAndFollowsALink) {
  const TTempDir Dir("pellory-replace-ok");
  const fs::path File = Dir.Path / "t.txt", Link = Dir.Path / "link.txt";
  std::ofstream(File) << "old";
  fs::permissions(File, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::create_symlink(File.filename(), Link);
  ReplaceFileWithStream(Link.string(), [](TStream& S) { WriteText(S, "new"); });
  EXPECT_TRUE(fs::is_symlink(Link));
  EXPECT_EQ(Contents(File), "new");
  EXPECT_EQ(fs::status(File).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}
