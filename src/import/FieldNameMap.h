// Legal, unique field names for the attributes of a sample table.
//
// Paradox allows 25 characters and compares field names ignoring letter case;
// the dataset layer's filter texts and the binding's ignore list refer to
// fields by name too. So a name keeps ASCII letters, digits, blanks, '_' and
// '-'; every other byte becomes '_'; surrounding blanks are dropped; it is cut
// to 25 characters; and when it equals (ignoring case) a name already taken,
// including the layout's own "ID", "Class", "Value", "Split0".."Split31", it
// gets a suffix "_2", "_3", ... within the same 25 characters.
#pragma once

#include <string>
#include <unordered_set>
#include <vector>

class TFieldNameMap {
public:
  static constexpr size_t MaxLength = 25;

  // Reserved: names already taken.
  explicit TFieldNameMap(const std::vector<std::string>& Reserved = {});

  // The field name for Original (never empty); it is taken from then on.
  // Fallback names the field when nothing legal is left of Original.
  std::string Add(const std::string& Original, const std::string& Fallback);

  bool IsTaken(const std::string& Name) const;

private:
  std::unordered_set<std::string> FTaken;  // upper-case
};
