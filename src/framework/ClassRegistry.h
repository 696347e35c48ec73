// The class registry: component classes by name, so streams, forms and
// loaded packages can create them without knowing them at compile time.
// It is the framework's one piece of global mutable state, and it lives in
// the framework's shared library so every package registers into one table.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Component.h"

// Creates an instance; when Owner is given the owner deletes it.
using TComponentFactory = std::function<TComponent*(TComponent* Owner)>;

// Registers (or re-registers) a class under Name; letter case is ignored.
void RegisterClass(const std::string& Name, TComponentFactory Factory);
// Removes the class; unknown names are ignored.
void UnRegisterClass(std::string_view Name);
bool IsClassRegistered(std::string_view Name);
// Names in registration order.
std::vector<std::string> RegisteredClassNames();
// Creates an instance of a registered class. Raises Exception
// "Class X not found" for an unknown name. Without an owner the caller
// deletes the result (wrap it in std::unique_ptr).
TComponent* CreateComponentByName(std::string_view Name, TComponent* Owner);
// An ownerless instance of a registered class that is a T; null (nothing
// left behind) when the class is not one. Unknown names raise as above.
template <class T>
std::unique_ptr<T> CreateComponentAs(std::string_view Name) {
  std::unique_ptr<TComponent> Made(CreateComponentByName(Name, nullptr));
  auto* Typed = dynamic_cast<T*>(Made.get());
  if (!Typed) return nullptr;
  Made.release();
  return std::unique_ptr<T>(Typed);
}

// Registers T under its TypeName-like Name with a factory calling T(Owner).
template <class T>
void RegisterComponentClass(const std::string& Name) {
  RegisterClass(Name, [](TComponent* Owner) -> TComponent* { return new T(Owner); });
}
