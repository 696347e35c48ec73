// Page classes by name; see PageRegistry.h.
#include "PageRegistry.h"

#include <utility>

#include "Convert.h"
#include "Exceptions.h"

namespace {

struct TPageClass {
  std::string Name;
  TPageFactory Factory;
};

// A function-local table, so registrations from other modules' static
// initialisers find it constructed whatever the order of initialisation.
std::vector<TPageClass>& PageClasses() {
  static std::vector<TPageClass> Classes;
  return Classes;
}

TPageClass* Find(std::string_view Name) {
  for (TPageClass& C : PageClasses())
    if (SameText(C.Name, Name)) return &C;
  return nullptr;
}

}  // namespace

bool RegisterPageClass(const std::string& Name, TPageFactory Factory) {
  if (TPageClass* Existing = Find(Name))
    Existing->Factory = std::move(Factory);
  else
    PageClasses().push_back({Name, std::move(Factory)});
  return true;
}

bool IsPageClassRegistered(std::string_view Name) { return Find(Name) != nullptr; }

std::vector<std::string> RegisteredPageClassNames() {
  std::vector<std::string> Names;
  for (const TPageClass& C : PageClasses()) Names.push_back(C.Name);
  return Names;
}

TPageFactory FindPageClass(std::string_view Name) {
  if (const TPageClass* C = Find(Name)) return C->Factory;
  throw Exception("Class " + std::string(Name) + " not found");
}
