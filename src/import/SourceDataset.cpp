// Class selection for a parsed dataset.
#include "SourceDataset.h"

#include "Convert.h"
#include "Exceptions.h"

void TSourceDataset::SelectClass(const std::string& Name) {
  int32_t Found = -1;
  for (size_t i = 0; i < Attributes.size(); ++i)
    if (Attributes[i].Name == Name) {
      ClassIndex = static_cast<int32_t>(i);
      return;
    }
  for (size_t i = 0; i < Attributes.size(); ++i)
    if (SameText(Attributes[i].Name, Name)) {
      if (Found >= 0) throw Exception(FileName + ": attribute name '" + Name + "' is ambiguous");
      Found = static_cast<int32_t>(i);
    }
  if (Found < 0) throw Exception(FileName + ": no attribute '" + Name + "'");
  ClassIndex = Found;
}
