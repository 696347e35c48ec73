// Helpers shared by the test programs (tests/CMakeLists.txt puts this folder
// on every test program's include path): the message of the exception a call
// raises, a temporary folder removed with its contents, and a classifier with
// its attribute counts set. Header-only, so each program takes what it uses.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <filesystem>
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
