// Generating a benchmark's large tables once. The generator runs in a child
// process, so its memory does not count against the passes that follow;
// the folder counts as done only once the generator has written its
// "complete" marker, so an interrupted run is generated again.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iostream>

inline void EnsureGenerated(const std::filesystem::path& Folder, const char* Program, long Rows,
                            void (*Generate)(const std::filesystem::path&)) {
  if (std::filesystem::exists(Folder / "complete")) return;
  std::cerr << Program << ": generating " << Rows << " rows into " << Folder << " ...\n";
  const pid_t Child = fork();
  if (Child == 0) {
    try {
      Generate(Folder);
      std::_Exit(0);
    } catch (const std::exception& E) {
      std::cerr << Program << ": " << E.what() << "\n";
      std::_Exit(1);
    }
  }
  int Status = 0;
  waitpid(Child, &Status, 0);
  if (!WIFEXITED(Status) || WEXITSTATUS(Status) != 0) {
    std::cerr << Program << ": generating the tables failed\n";
    std::exit(1);
  }
}
