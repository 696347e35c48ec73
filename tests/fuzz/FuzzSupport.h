// Helpers shared by the fuzz targets: a scratch folder per process, files
// written into it or kept in memory under a name in it, and the rule that a reader may refuse its input only with
// one of the framework's exceptions. Anything else that escapes (bad_alloc,
// length_error, out_of_range) is a fault and reaches libFuzzer as a crash.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "Exceptions.h"

namespace fuzz {

// <temp>/pellory-fuzz-<Name>-<pid>, made empty once per process and removed
// at its end; in memory (/dev/shm) where there is one, as the targets write
// a file per input.
struct TScratch {
  explicit TScratch(const std::string& Name) {
    std::error_code Error;
    const auto Base = std::filesystem::is_directory("/dev/shm", Error) ? std::filesystem::path("/dev/shm")
                                                                        : std::filesystem::temp_directory_path();
    Path = Base / ("pellory-fuzz-" + Name + "-" + std::to_string(::getpid()));
    std::filesystem::remove_all(Path);
    std::filesystem::create_directories(Path);
  }
  ~TScratch() {
    std::error_code Ignored;
    std::filesystem::remove_all(Path, Ignored);
  }
  std::filesystem::path Path;
};

inline const std::filesystem::path& ScratchFolder(const std::string& Name) {
  static const TScratch Scratch(Name);
  return Scratch.Path;
}

inline void WriteFile(const std::filesystem::path& Path, const uint8_t* Data, size_t Size) {
  std::ofstream Out(Path, std::ios::binary | std::ios::trunc);
  Out.write(reinterpret_cast<const char*>(Data), static_cast<std::streamsize>(Size));
}

// A file whose bytes live in memory only (memfd), reachable by name through
// a symbolic link at Name, so a reader that opens tables by file name reads
// each input without it being written to a file system.
class TMemoryFile {
public:
  explicit TMemoryFile(const std::filesystem::path& Name) : FHandle(::memfd_create("fuzz-input", MFD_CLOEXEC)) {
    std::filesystem::remove(Name);
    std::filesystem::create_symlink("/proc/self/fd/" + std::to_string(FHandle), Name);
  }
  ~TMemoryFile() { ::close(FHandle); }
  TMemoryFile(const TMemoryFile&) = delete;
  TMemoryFile& operator=(const TMemoryFile&) = delete;

  void Replace(const uint8_t* Data, size_t Size) {
    if (::ftruncate(FHandle, 0) != 0 || ::pwrite(FHandle, Data, Size, 0) != static_cast<ssize_t>(Size)) std::abort();
  }

private:
  int FHandle;
};

inline std::string_view AsText(const uint8_t* Data, size_t Size) {
  return {reinterpret_cast<const char*>(Data), Size};
}

// Runs Call; a framework exception is the reader refusing the input.
template <class F>
bool Refused(F&& Call) {
  try {
    Call();
    return false;
  } catch (const Exception&) {
    return true;
  }
}

}  // namespace fuzz
