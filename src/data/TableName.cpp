// The ".DB" tolerance of table names, written once.
#include "TableName.h"

#include <filesystem>

#include "Convert.h"

bool HasTableExtension(std::string_view Name) {
  return Name.size() > TableExtension.size() &&
         SameText(Name.substr(Name.size() - TableExtension.size()), TableExtension);
}

std::string WithoutTableExtension(std::string_view Name) {
  if (HasTableExtension(Name)) Name.remove_suffix(TableExtension.size());
  return std::string(Name);
}

std::string WithTableExtension(std::string_view Name) {
  std::string Result(Name);
  if (std::filesystem::path(Result).extension().empty()) Result += TableExtension;
  return Result;
}

bool SameTableName(std::string_view Listed, std::string_view Wanted) {
  if (SameText(Listed, Wanted)) return true;
  if (HasTableExtension(Listed) != HasTableExtension(Wanted))
    return SameText(WithoutTableExtension(Listed), WithoutTableExtension(Wanted));
  return false;
}
