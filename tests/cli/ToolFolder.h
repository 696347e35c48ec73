// A scratch folder for one test program, removed at the end.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

class TToolFolder {
public:
  explicit TToolFolder(const std::string& Tag)
      : FPath(std::filesystem::temp_directory_path() / ("pellory-" + Tag + "-" + std::to_string(::getpid()))) {
    std::filesystem::remove_all(FPath);
    std::filesystem::create_directories(FPath);
  }
  ~TToolFolder() {
    std::error_code Ignored;
    std::filesystem::remove_all(FPath, Ignored);
  }
  TToolFolder(const TToolFolder&) = delete;
  TToolFolder& operator=(const TToolFolder&) = delete;

  std::string operator/(const std::string& Name) const { return (FPath / Name).string(); }
  std::string Path() const { return FPath.string(); }

  std::string Write(const std::string& Name, const std::string& Text) const {
    std::ofstream(FPath / Name, std::ios::binary) << Text;
    return (FPath / Name).string();
  }

private:
  std::filesystem::path FPath;
};
