// The command-line tool `pellory` as a library call, so tests can run every
// command in-process and read what it prints.
//
// Exit status: 0 success, 1 a runtime error (its message on Err), 2 a usage
// error (unknown command or option, a missing or malformed value; the
// message and a hint on Err).
#pragma once

#include <ostream>
#include <span>
#include <string>

struct TToolIO {
  std::ostream& Out;
  std::ostream& Err;
  // Progress lines are redrawn in place ("\r", clear) only on a terminal;
  // otherwise each is one line of its own.
  bool ErrIsTerminal = false;
  // The default data source is the folder "Data" in here.
  std::string ProgramFolder;
};

// Runs the command line Args (without the program name).
int RunPellory(std::span<const std::string> Args, TToolIO& IO);
