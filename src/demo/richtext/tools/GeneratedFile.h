// Writing a generated text file: through a temporary beside it, renamed
// into place only once it is complete, so a failed run never leaves a
// half-written file for the build to copy beside the programs.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include "Exceptions.h"

inline void WriteGeneratedFile(const std::string& Path, const std::string& Text) {
  const std::string Temporary = Path + ".tmp";
  {
    std::ofstream File(Temporary, std::ios::binary | std::ios::trunc);
    File << Text;
    if (!File.flush()) throw Exception("cannot write " + Temporary);
  }
  std::filesystem::rename(Temporary, Path);
}
