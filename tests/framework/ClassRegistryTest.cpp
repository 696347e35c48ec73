// Registering, finding and creating component classes by name.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "ClassRegistry.h"
#include "Component.h"
#include "Exceptions.h"

namespace {
class TRegistered : public TComponent {
public:
  using TComponent::TComponent;
  std::string TypeName() const override { return "TRegistered"; }
};
}  // namespace

TEST(ClassRegistry, RegisterFindCreateUnregister) {
  RegisterComponentClass<TRegistered>("TRegistered");
  EXPECT_TRUE(IsClassRegistered("tregistered"));
  auto Names = RegisteredClassNames();
  EXPECT_EQ(std::count(Names.begin(), Names.end(), "TRegistered"), 1);

  TComponent Owner(nullptr);
  TComponent* C = CreateComponentByName("TREGISTERED", &Owner);
  EXPECT_EQ(C->TypeName(), "TRegistered");
  EXPECT_EQ(C->Owner(), &Owner);  // deleted by the owner
  std::unique_ptr<TComponent> Free(CreateComponentByName("TRegistered", nullptr));
  EXPECT_EQ(Free->Owner(), nullptr);

  RegisterComponentClass<TRegistered>("TRegistered");  // re-registering replaces
  EXPECT_EQ(RegisteredClassNames().size(), Names.size());

  UnRegisterClass("TRegistered");
  UnRegisterClass("TRegistered");  // unknown names are ignored
  EXPECT_FALSE(IsClassRegistered("TRegistered"));
  try {
    CreateComponentByName("TRegistered", nullptr);
    FAIL();
  } catch (const Exception& E) {
    EXPECT_EQ(E.Message(), "Class TRegistered not found");
  }
}

namespace {
class TOther : public TComponent {
public:
  using TComponent::TComponent;
};
}  // namespace

TEST(ClassRegistry, CreateComponentAsChecksTheKind) {
  RegisterComponentClass<TRegistered>("TRegistered");
  std::unique_ptr<TRegistered> Made = CreateComponentAs<TRegistered>("tregistered");
  ASSERT_NE(Made, nullptr);
  EXPECT_EQ(Made->Owner(), nullptr);
  EXPECT_EQ(CreateComponentAs<TOther>("TRegistered"), nullptr);  // not a TOther: made and freed again
  UnRegisterClass("TRegistered");
  EXPECT_THROW(CreateComponentAs<TRegistered>("TRegistered"), Exception);
}
