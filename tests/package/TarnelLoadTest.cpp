// Tarnel loaded at run time by a program that links only the framework: the
// classes appear in the registry with the load and are gone after the
// unload, a classifier created through the registry works through the
// TClassifier interface, and the entry points and exports are as described.
#include <gtest/gtest.h>
#include <dlfcn.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "ClassRegistry.h"
#include "ClassifierBase.h"
#include "Exceptions.h"
#include "Tarnel.h"

namespace {

const std::vector<std::string> UnitClasses = {"TLinearClassifier", "TNaiveBayes", "TKNearestNeighbors"};

template <class F>
F Entry(void* Library, const char* Name) {
  return reinterpret_cast<F>(dlsym(Library, Name));
}

TEST(Tarnel, LoadingRegistersTheClassesAndUnloadingRemovesThem) {
  for (const std::string& Name : UnitClasses) ASSERT_FALSE(IsClassRegistered(Name));
  void* Library = dlopen(TARNEL_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(Library, nullptr) << dlerror();

  std::vector<std::string> Names = RegisteredClassNames();
  auto First = std::find(Names.begin(), Names.end(), UnitClasses[0]);
  ASSERT_LE(std::distance(First, Names.end()), static_cast<long>(Names.size()));
  ASSERT_GE(std::distance(First, Names.end()), 3);
  EXPECT_EQ(std::vector<std::string>(First, First + 3), UnitClasses);  // in this order

  {
    std::unique_ptr<TComponent> Component(CreateComponentByName("TLinearClassifier", nullptr));
    ASSERT_NE(Component, nullptr);
    EXPECT_EQ(Component->TypeName(), "TLinearClassifier");
    // No type information of the engine in this program: the registry's
    // promise is the class, so a static downcast is sound.
    auto* C = static_cast<TClassifier*>(Component.get());
    C->SetDiscreteAttributeCount(1);
    C->SetFloatAttributeCount(1);
    for (int i = 0; i < 5; ++i) {
      C->Learn("low", std::vector<int32_t>{0}, std::vector<double>{1.0 + i * 0.1});
      C->Learn("high", std::vector<int32_t>{1}, std::vector<double>{8.0 + i * 0.1});
    }
    EXPECT_EQ(C->ClassName(C->Classify(std::vector<int32_t>{1}, std::vector<double>{8.2})), "high");
    EXPECT_EQ(C->ClassName(C->Classify(std::vector<int32_t>{0}, std::vector<double>{1.1})), "low");
    // The engine's errors reach this program as the framework's exceptions.
    std::vector<double> Response(1);
    try {
      C->ClassifyResponse(std::vector<int32_t>{0}, std::vector<double>{1.0}, Response);
      ADD_FAILURE() << "no error";
    } catch (const Exception& E) {
      EXPECT_EQ(E.Message(), "Length(Response) <> Classes.Count");
    }
  }

  // Further initialisations only count; the classes stay until the last user goes.
  auto Initialize = Entry<void (*)()>(Library, "Initialize");
  auto Finalize = Entry<void (*)()>(Library, "Finalize");
  ASSERT_NE(Initialize, nullptr);
  ASSERT_NE(Finalize, nullptr);
  Initialize();
  Finalize();
  for (const std::string& Name : UnitClasses) EXPECT_TRUE(IsClassRegistered(Name));

  ASSERT_EQ(dlclose(Library), 0);
  for (const std::string& Name : UnitClasses) EXPECT_FALSE(IsClassRegistered(Name)) << Name;
}

TEST(Tarnel, PackageInfoTable) {
  void* Library = dlopen(TARNEL_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(Library, nullptr) << dlerror();
  auto Get = Entry<const TarnelPackageInfo* (*)()>(Library, "GetPackageInfoTable");
  ASSERT_NE(Get, nullptr);
  const TarnelPackageInfo& Info = *Get();
  EXPECT_STREQ(Info.Description, "Halvorn Pellory");
  EXPECT_EQ(Info.Kind, TarnelPackageKindRunTime);
  ASSERT_EQ(Info.RequiresCount, 1);
  EXPECT_STREQ(Info.Requires[0], "libPelloryFramework.so.1");
  ASSERT_EQ(Info.UnitCount, 2);
  EXPECT_STREQ(Info.Units[1], "Classifier");
  const TarnelVersionInfo& V = *Info.Version;
  EXPECT_EQ(std::vector<unsigned>(V.FileVersion, V.FileVersion + 4), (std::vector<unsigned>{1, 0, 0, 0}));
  EXPECT_EQ(std::vector<unsigned>(V.ProductVersion, V.ProductVersion + 4), (std::vector<unsigned>{1, 0, 0, 0}));
  EXPECT_STREQ(V.FileVersionText, "1.0.0.0");
  EXPECT_STREQ(V.ProductVersionText, "1.0");
  EXPECT_STREQ(V.FileDescription, "Classification components");
  EXPECT_STREQ(V.CompanyName, "Halvorn");
  EXPECT_STREQ(V.ProductName, "Pellory");
  EXPECT_STREQ(V.InternalName, "Tarnel.so");
  EXPECT_STREQ(V.OriginalFilename, "Tarnel.so");
  dlclose(Library);
}

TEST(Tarnel, ExportsTheEngineButNotItsPrivateRoutines) {
  void* Library = dlopen(TARNEL_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(Library, nullptr) << dlerror();
  EXPECT_NE(dlsym(Library, "_ZN11TClassifier5PruneEv"), nullptr);                // TClassifier::Prune()
  EXPECT_NE(dlsym(Library, "_ZTI17TLinearClassifier"), nullptr);                // its type information
  EXPECT_NE(dlsym(Library, "_Z24InitializeClassifierUnitv"), nullptr);
  EXPECT_EQ(dlsym(Library, "_Z13StrToFloatNaNSt17basic_string_viewIcSt11char_traitsIcEE"), nullptr);
  dlclose(Library);
}

}  // namespace
