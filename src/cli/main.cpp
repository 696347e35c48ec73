// pellory: the command-line tool.
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "PelloryTool.h"
#include "SampleDatabase.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  const std::vector<std::string> Args(argv + 1, argv + argc);
  TToolIO IO{std::cout, std::cerr, isatty(STDERR_FILENO) == 1, ProgramFolder()};
  const int Status = RunPellory(Args, IO);
  std::cout.flush();
  return Status;
}
