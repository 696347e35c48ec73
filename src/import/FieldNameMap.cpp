// Field name legalisation.
#include "FieldNameMap.h"

namespace {

std::string Upper(const std::string& Name) {
  std::string Result = Name;
  for (char& C : Result)
    if (C >= 'a' && C <= 'z') C = static_cast<char>(C - 'a' + 'A');
  return Result;
}

bool IsLegal(char C) {
  return (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z') || (C >= '0' && C <= '9') || C == '_' ||
         C == '-' || C == ' ';
}

std::string TrimBlanks(std::string Name) {
  const size_t First = Name.find_first_not_of(' ');
  if (First == std::string::npos) return "";
  const size_t Last = Name.find_last_not_of(' ');
  return Name.substr(First, Last - First + 1);
}

std::string Cut(std::string Name, size_t Length) {
  if (Name.size() > Length) Name.resize(Length);
  return TrimBlanks(std::move(Name));
}

}  // namespace

TFieldNameMap::TFieldNameMap(const std::vector<std::string>& Reserved) {
  for (const std::string& Name : Reserved) FTaken.insert(Upper(Name));
}

bool TFieldNameMap::IsTaken(const std::string& Name) const { return FTaken.count(Upper(Name)) != 0; }

std::string TFieldNameMap::Add(const std::string& Original, const std::string& Fallback) {
  std::string Base;
  for (char C : Original) Base += IsLegal(C) ? C : '_';
  Base = Cut(TrimBlanks(std::move(Base)), MaxLength);
  if (Base.empty()) Base = Cut(Fallback, MaxLength);
  std::string Name = Base;
  for (int Suffix = 2; Name.empty() || IsTaken(Name); ++Suffix) {
    std::string Tail(1, '_');
    Tail += std::to_string(Suffix);
    Name = Cut(Base, MaxLength - Tail.size()) + Tail;
  }
  FTaken.insert(Upper(Name));
  return Name;
}
