// The page registry: the demo's page form classes by name, so the main
// window can create the page a topic names without knowing it at compile
// time.
//
// A page module registers its class once, from a static initialiser, before
// main() runs:
//
//   static const bool Registered = RegisterPageClass<TAccuracyForm>("TAccuracyForm");
//
// and nothing else: the topic tree finds it by the class name in its page
// list. Lookup ignores letter case ("TLCPerformanceForm" finds
// "TLcPerformanceForm"). Like the framework's class registry this table is
// global state, filled before the first window exists and read-only after.
//
// A page class is a QWidget with a constructor taking the owner (the main
// window). The page hosting contract is in Basic2.h.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class QWidget;

// Creates the page with Owner as its owner; the caller reparents it into the
// tab it is shown in. Owner may be null (tests): the caller then owns it.
using TPageFactory = std::function<QWidget*(QWidget* Owner)>;

// Registers (or replaces) the class Name. Returns true, so a module can keep
// the result in a static constant.
bool RegisterPageClass(const std::string& Name, TPageFactory Factory);

template <class T>
bool RegisterPageClass(const std::string& Name) {
  return RegisterPageClass(Name, [](QWidget* Owner) -> QWidget* { return new T(Owner); });
}

bool IsPageClassRegistered(std::string_view Name);
// Names in registration order.
std::vector<std::string> RegisteredPageClassNames();

// The factory of the class Name (letter case ignored). Raises Exception
// "Class <Name> not found" for a name that is not registered.
TPageFactory FindPageClass(std::string_view Name);
