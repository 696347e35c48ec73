// Writing a generated text file: beside it, flushed, renamed into place only
// once it is complete (ReplaceFile), so a failed run never leaves a
// half-written file for the build to copy beside the programs.
#pragma once

#include <string>

#include "FileReplace.h"
#include "Stream.h"

inline void WriteGeneratedFile(const std::string& Path, const std::string& Text) {
  ReplaceFileWithStream(Path, [&](TStream& File) { File.WriteBuffer(Text.data(), static_cast<int64_t>(Text.size())); });
}
