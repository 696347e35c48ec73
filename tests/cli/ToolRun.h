// Runs `pellory` in-process and keeps what it printed.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "PelloryTool.h"

struct TToolRun {
  int Status = -1;
  std::string Out;
  std::string Err;
};

inline TToolRun Pellory(const std::vector<std::string>& Args,
                        const std::string& ProgramFolder = "/nonexistent-pellory-folder") {
  std::ostringstream Out, Err;
  TToolIO IO{Out, Err, false, ProgramFolder};
  TToolRun R;
  R.Status = RunPellory(Args, IO);
  R.Out = Out.str();
  R.Err = Err.str();
  return R;
}

inline std::vector<std::string> Lines(const std::string& Text) {
  std::vector<std::string> Result;
  std::istringstream In(Text);
  for (std::string Line; std::getline(In, Line);) Result.push_back(Line);
  return Result;
}
