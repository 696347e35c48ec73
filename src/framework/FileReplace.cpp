// The write-beside, flush, rename sequence of FileReplace.h. The temporary
// is a folder made by mkdtemp beside the target, so its name is unique and
// no other process's file is ever truncated by mistake.
#include "FileReplace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "Exceptions.h"
#include "Stream.h"

namespace fs = std::filesystem;

namespace {

std::string Reason(int Error) { return std::strerror(Error); }

[[noreturn]] void CreateFailed(const std::string& FileName, int Error) {
  throw EFCreateError("Cannot create file \"" + FileName + "\". " + Reason(Error));
}

// Where the new bytes belong: through a symbolic link to the file it names.
fs::path Destination(const std::string& FileName) {
  std::error_code Error;
  if (fs::is_symlink(FileName, Error)) {
    fs::path Target = fs::canonical(FileName, Error);
    if (!Error) return Target;
  }
  return FileName;
}

// Flushes a written file's data to the disk; false with errno set on failure.
bool SyncPath(const fs::path& Path, int Flags) {
  const int Handle = ::open(Path.c_str(), Flags | O_CLOEXEC);
  if (Handle < 0) return false;
  const bool Done = ::fsync(Handle) == 0;
  const int Error = errno;
  ::close(Handle);
  errno = Error;
  return Done;
}

// The temporary folder and the file in it; both removed unless committed.
class TReplacement {
public:
  TReplacement(const std::string& FileName, const fs::path& Target) : FFileName(FileName), FTarget(Target) {
    const fs::path Folder = Target.has_parent_path() ? Target.parent_path() : fs::path(".");
    std::string Pattern = (Folder / ("." + Target.filename().string() + ".XXXXXX")).string();
    std::vector<char> Buffer(Pattern.begin(), Pattern.end());
    Buffer.push_back('\0');
    if (!::mkdtemp(Buffer.data())) CreateFailed(FileName, errno);
    FFolder = Buffer.data();
    FFile = FFolder / Target.filename();
    const int Handle = ::open(FFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (Handle < 0) {
      const int Error = errno;
      Discard();
      CreateFailed(FileName, Error);
    }
    // The replacement keeps what the old file allowed.
    struct stat Old {};
    if (::stat(Target.c_str(), &Old) == 0 && S_ISREG(Old.st_mode)) ::fchmod(Handle, Old.st_mode & 07777);
    ::close(Handle);
  }
  ~TReplacement() { Discard(); }
  TReplacement(const TReplacement&) = delete;
  TReplacement& operator=(const TReplacement&) = delete;

  const fs::path& File() const { return FFile; }

  void Commit() {
    if (!SyncPath(FFile, O_RDONLY))
      throw EWriteError("Cannot write file \"" + FFileName + "\". " + Reason(errno) + "; the file was not replaced");
    if (std::rename(FFile.c_str(), FTarget.c_str()) != 0) CreateFailed(FFileName, errno);
    FFile.clear();
    // The rename itself reaches the disk with the folder; a failure here
    // leaves the new file in place, so it is not reported.
    SyncPath(FTarget.has_parent_path() ? FTarget.parent_path() : fs::path("."), O_RDONLY | O_DIRECTORY);
    Discard();
  }

private:
  void Discard() {
    if (!FFile.empty()) ::unlink(FFile.c_str());
    if (!FFolder.empty()) ::rmdir(FFolder.c_str());
    FFile.clear();
    FFolder.clear();
  }

  std::string FFileName;
  fs::path FTarget;
  fs::path FFolder;
  fs::path FFile;
};

}  // namespace

void ReplaceFile(const std::string& FileName, const std::function<void(const std::string&)>& Write) {
  TReplacement Replacement(FileName, Destination(FileName));
  Write(Replacement.File().string());
  Replacement.Commit();
}

void ReplaceFileWithStream(const std::string& FileName, const std::function<void(TStream&)>& Write) {
  ReplaceFile(FileName, [&](const std::string& TemporaryName) {
    TFileStream Stream(TemporaryName, TFileMode::fmCreate);
    try {
      Write(Stream);
    } catch (const EWriteError&) {
      if (Stream.WriteErrorCode() == 0) throw;
      throw EWriteError("Cannot write file \"" + FileName + "\". " + Reason(Stream.WriteErrorCode()) +
                        "; the file was not replaced");
    }
  });
}
