// Test helper: the shipped data folder and its build rules.
#pragma once

#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <utility>
#include <vector>

inline std::string DataFile(const std::string& Name) { return std::string(PELLORY_SOURCE_DIR) + "/data/" + Name; }

// The "file=TABLE" entries of data/CMakeLists.txt, in their order.
inline std::vector<std::pair<std::string, std::string>> BuildRules() {
  std::ifstream In(DataFile("CMakeLists.txt"));
  const std::string Text{std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>()};
  std::vector<std::pair<std::string, std::string>> Rules;
  const std::regex Entry(R"(([A-Za-z0-9.-]+\.arff)=([A-Za-z0-9]+\.DB))");
  for (auto It = std::sregex_iterator(Text.begin(), Text.end(), Entry); It != std::sregex_iterator(); ++It)
    Rules.emplace_back((*It)[1], (*It)[2]);
  return Rules;
}
