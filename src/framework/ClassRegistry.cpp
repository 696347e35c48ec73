// The class registry. The table is a function-local static inside the
// framework's shared library, so every program and loaded package shares it
// and it exists before any static registration that uses it.
#include "ClassRegistry.h"

#include <algorithm>
#include <utility>

#include "Component.h"
#include "Convert.h"
#include "Exceptions.h"

namespace {
struct TRegisteredClass {
  std::string Name;
  TComponentFactory Factory;
};

std::vector<TRegisteredClass>& Registry() {
  static std::vector<TRegisteredClass> Table;
  return Table;
}

std::vector<TRegisteredClass>::iterator Lookup(std::string_view Name) {
  auto& T = Registry();
  return std::find_if(T.begin(), T.end(), [&](const TRegisteredClass& C) { return SameText(C.Name, Name); });
}
}  // namespace

void RegisterClass(const std::string& Name, TComponentFactory Factory) {
  if (Name.empty() || !Factory) throw Exception("RegisterClass needs a name and a factory");
  auto It = Lookup(Name);
  if (It != Registry().end()) {
    It->Name = Name;
    It->Factory = std::move(Factory);
    return;
  }
  Registry().push_back({Name, std::move(Factory)});
}

void UnRegisterClass(std::string_view Name) {
  auto It = Lookup(Name);
  if (It != Registry().end()) Registry().erase(It);
}

bool IsClassRegistered(std::string_view Name) { return Lookup(Name) != Registry().end(); }

std::vector<std::string> RegisteredClassNames() {
  std::vector<std::string> Names;
  for (const auto& C : Registry()) Names.push_back(C.Name);
  return Names;
}

TComponent* CreateComponentByName(std::string_view Name, TComponent* Owner) {
  auto It = Lookup(Name);
  if (It == Registry().end()) throw Exception("Class " + std::string(Name) + " not found");
  TComponentFactory Factory = It->Factory;  // the constructor may register classes itself
  return Factory(Owner);
}
