// The package's entry unit: the entry points of Tarnel.h, its description
// and version resource, and the library constructor and destructor that
// initialise the units when the library is loaded and finalise them when it
// is unloaded.
#include "Tarnel.h"

#include "ClassifierUnit.h"

namespace {

constexpr const char* Requires[] = {"libPelloryFramework.so.1"};
// The package's own entry unit and the engine unit it carries.
constexpr const char* Units[] = {"Tarnel", "Classifier"};

constexpr TarnelVersionInfo Version = {
    {1, 0, 0, 0},
    {1, 0, 0, 0},
    "1.0.0.0",
    "1.0",
    "Classification components",
    "Halvorn",
    "Pellory",
    "Tarnel.so",
    "Tarnel.so",
};

constexpr TarnelPackageInfo PackageInfo = {
    "Halvorn Pellory",
    TarnelPackageKindRunTime,
    static_cast<int>(sizeof Requires / sizeof Requires[0]),
    Requires,
    static_cast<int>(sizeof Units / sizeof Units[0]),
    Units,
    &Version,
};

__attribute__((constructor)) void LoadPackage() { Initialize(); }
__attribute__((destructor)) void UnloadPackage() { Finalize(); }

}  // namespace

extern "C" {

void Initialize(void) { InitializeClassifierUnit(); }

void Finalize(void) { FinalizeClassifierUnit(); }

const TarnelPackageInfo* GetPackageInfoTable(void) { return &PackageInfo; }

}
