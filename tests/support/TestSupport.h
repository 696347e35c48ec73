// Helpers shared by the test programs (tests/CMakeLists.txt puts this folder
// on every test program's include path): the message of the exception a call
// raises (also in a child process under a limit), a temporary folder removed
// with its contents, and a classifier with its attribute counts set.
// Header-only, so each program takes what it uses.
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <system_error>

#include "Exceptions.h"

class TLinearClassifier;

// The message of the Exception that Call raises, "(no exception)" if it
// returns normally. Exceptions of other kinds pass through.
template <class F>
std::string MessageOf(F&& Call) {
  try {
    Call();
  } catch (const Exception& E) {
    return E.Message();
  }
  return "(no exception)";
}

// The message of the Exception that Call raises in a child process that
// Restrict has limited first; "(child ended abnormally)" if it did not end.
inline std::string MessageInChild(const std::function<void()>& Restrict, const std::function<void()>& Call) {
  int Pipe[2];
  if (::pipe(Pipe) != 0) return "(no pipe)";
  const pid_t Child = ::fork();
  if (Child == 0) {
    ::close(Pipe[0]);
    Restrict();
    const std::string Message = MessageOf(Call);
    [[maybe_unused]] const auto Written = ::write(Pipe[1], Message.data(), Message.size());
    ::_exit(0);
  }
  ::close(Pipe[1]);
  std::string Message;
  char Buffer[256];
  for (ssize_t N; (N = ::read(Pipe[0], Buffer, sizeof Buffer)) > 0;) Message.append(Buffer, static_cast<size_t>(N));
  ::close(Pipe[0]);
  int Status = 0;
  ::waitpid(Child, &Status, 0);
  return WIFEXITED(Status) ? Message : "(child ended abnormally)";
}

// Call in a child whose files may grow to at most Limit bytes: a full disk
// without a special disk. SIGXFSZ is ignored there, so a write past the
// limit fails with EFBIG.
inline std::string MessageUnderFileSizeLimit(rlim_t Limit, const std::function<void()>& Call) {
  return MessageInChild(
      [Limit] {
        const rlimit Size{Limit, Limit};
        ::setrlimit(RLIMIT_FSIZE, &Size);
        std::signal(SIGXFSZ, SIG_IGN);
      },
      Call);
}

// Call in a child that may not write files that are not world-writable: a
// user without write permission (root, which may write anything, becomes
// nobody there).
inline std::string MessageWithoutWriteAccess(const std::function<void()>& Call) {
  return MessageInChild(
      [] {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(1);
      },
      Call);
}

// A fresh folder <temp>/<Prefix>-<process id>, or
// <temp>/<Prefix>-<process id>-<Suffix> with a suffix: emptied when made,
// removed with everything in it when the object goes.
struct TTempDir {
  explicit TTempDir(const std::string& Prefix, const std::string& Suffix = "") {
    std::string Name = Prefix + "-" + std::to_string(::getpid());
    if (!Suffix.empty()) Name += "-" + Suffix;
    Path = std::filesystem::temp_directory_path() / Name;
    std::filesystem::remove_all(Path);
    std::filesystem::create_directories(Path);
  }
  ~TTempDir() {
    std::error_code Ignored;
    std::filesystem::remove_all(Path, Ignored);
  }
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;

  std::filesystem::path Path;
};

// A classifier without owner with Discrete discrete and Float float
// attributes (the linear classifier unless another type is named; the type
// must be complete where this is called).
template <class TClassifier = TLinearClassifier>
std::unique_ptr<TClassifier> MakeClassifier(int32_t Discrete, int32_t Float = 0) {
  auto C = std::make_unique<TClassifier>(nullptr);
  C->SetDiscreteAttributeCount(Discrete);
  C->SetFloatAttributeCount(Float);
  return C;
}
