// The command line of `pellory`: the input is an argument vector, one
// argument per line. It runs in-process in a scratch folder that holds a
// copy of a few small sample tables as its Data folder, so imports, models
// and SQLite files land there and never in real tables. Arguments that
// could reach outside the scratch folder (a '/' or a leading "..") are not
// run, and the speed test is held to small sizes.
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "PelloryTool.h"

namespace {

namespace fs = std::filesystem;

const char* const SampleTables[] = {"WEAT.DB", "CONT.DB", "Test1.DB"};

// The scratch folder with Data/ as the tables were at the start. The tables
// are kept in memory and written with plain writes: libFuzzer's timer
// signal interrupts a kernel file copy.
void ResetScratch(const fs::path& Folder) {
  static const std::vector<std::string> Pristine = [] {
    std::vector<std::string> Tables;
    for (const char* Table : SampleTables) {
      std::ifstream In(fs::path(PELLORY_SAMPLE_DATA) / Table, std::ios::binary);
      Tables.emplace_back(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
    }
    return Tables;
  }();
  // A command may have turned anything here into anything (a table name
  // into a folder, Data into a file): everything goes.
  std::error_code Ignored;
  for (const auto& Entry : fs::directory_iterator(Folder, Ignored)) fs::remove_all(Entry.path(), Ignored);
  const fs::path Data = Folder / "Data";
  fs::create_directories(Data);
  for (size_t i = 0; i < Pristine.size(); ++i)
    fuzz::WriteFile(Data / SampleTables[i], reinterpret_cast<const uint8_t*>(Pristine[i].data()), Pristine[i].size());
}

// The data-source options may come before the command: any "bench" counts.
bool IsBench(const std::vector<std::string>& Args) {
  for (const std::string& A : Args)
    if (A == "bench") return true;
  return false;
}

bool Acceptable(const std::vector<std::string>& Args) {
  for (const std::string& A : Args) {
    if (A.find('/') != std::string::npos || A.find('\\') != std::string::npos) return false;
    if (A.rfind("..", 0) == 0 || A.find("=..") != std::string::npos) return false;
  }
  if (IsBench(Args)) {
    // Sizes of two digits at most, and small defaults for the counts not given.
    for (size_t i = 0; i < Args.size(); ++i) {
      if (Args[i] == "bench") continue;
      const size_t Eq = Args[i].find('=');
      const std::string Value = Args[i].rfind("--", 0) == 0 ? (Eq == std::string::npos ? "" : Args[i].substr(Eq + 1))
                                                            : Args[i];
      if (Value.size() > 2) return false;
    }
  }
  return true;
}

void SmallBench(std::vector<std::string>& Args) {
  for (const char* Option : {"--learn", "--test", "--classes", "--discrete", "--float"}) {
    bool Given = false;
    for (const std::string& A : Args) Given = Given || A.rfind(Option, 0) == 0;
    if (!Given) {
      Args.push_back(Option);
      Args.push_back("20");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  static const fs::path Folder = [] {
    const fs::path P = fuzz::ScratchFolder("cli") / "run";
    fs::create_directories(P / "Data");
    fs::current_path(P);
    return P;
  }();
  std::vector<std::string> Args;
  std::string Text(fuzz::AsText(Data, Size));
  std::istringstream Lines(Text);
  for (std::string Line; std::getline(Lines, Line) && Args.size() < 16;) Args.push_back(Line);
  if (!Acceptable(Args)) return -1;
  if (IsBench(Args)) SmallBench(Args);

  ResetScratch(Folder);
  std::ostringstream Out, Err;
  TToolIO IO{Out, Err, false, Folder.string()};
  const int Status = RunPellory(Args, IO);
  if (Status < 0 || Status > 2) std::abort();
  if (Status != 0 && Err.str().empty()) std::abort();  // every failure says why
  return 0;
}
