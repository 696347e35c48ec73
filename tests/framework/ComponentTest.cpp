// Ownership, names, lookup and free notification of components.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Component.h"
#include "Exceptions.h"

namespace {

// Records every component it is told about and drops its reference.
class TWatcher : public TComponent {
public:
  explicit TWatcher(TComponent* AOwner, std::vector<std::string>* Log = nullptr) : TComponent(AOwner), FLog(Log) {}
  ~TWatcher() override {
    if (FLog) FLog->push_back("destroy " + Name());
  }
  std::string TypeName() const override { return "TWatcher"; }
  void SetRef(TComponent* C) {
    FRef = C;
    if (C) C->FreeNotification(this);
  }
  TComponent* Ref() const { return FRef; }
  int Removals = 0;

protected:
  void Notification(TComponent* AComponent, TOperation Operation) override {
    if (Operation == TOperation::opRemove && AComponent == FRef) {
      FRef = nullptr;
      ++Removals;
    }
    TComponent::Notification(AComponent, Operation);
  }

private:
  TComponent* FRef = nullptr;
  std::vector<std::string>* FLog;
};

}  // namespace

TEST(TComponent, OwnerDeletesOwnedLastFirst) {
  std::vector<std::string> Log;
  {
    auto Owner = std::make_unique<TWatcher>(nullptr, &Log);
    Owner->SetName("Owner");
    auto* A = CreateOwned<TWatcher>(*Owner, &Log);
    A->SetName("A");
    auto* B = CreateOwned<TWatcher>(*Owner, &Log);
    B->SetName("B");
    CreateOwned<TWatcher>(*A, &Log)->SetName("A1");
    EXPECT_EQ(Owner->ComponentCount(), 2);
    EXPECT_EQ(Owner->Components(0), A);
    EXPECT_EQ(A->Owner(), Owner.get());
  }
  EXPECT_EQ(Log, (std::vector<std::string>{"destroy Owner", "destroy B", "destroy A", "destroy A1"}));
}

TEST(TComponent, DeletingOwnedComponentLeavesOwner) {
  TComponent Owner(nullptr);
  auto* A = CreateOwned<TComponent>(Owner);
  auto* B = CreateOwned<TComponent>(Owner);
  delete A;
  ASSERT_EQ(Owner.ComponentCount(), 1);
  EXPECT_EQ(Owner.Components(0), B);
}

TEST(TComponent, NamesUniquePerOwnerIgnoringCase) {
  TComponent Owner(nullptr);
  auto* A = CreateOwned<TComponent>(Owner);
  auto* B = CreateOwned<TComponent>(Owner);
  A->SetName("Classifier1");
  EXPECT_THROW(B->SetName("CLASSIFIER1"), Exception);
  try {
    B->SetName("classifier1");
  } catch (const Exception& E) {
    EXPECT_EQ(E.Message(), "A component named classifier1 already exists");
  }
  A->SetName("classifier1");  // renaming itself to another case is fine
  B->SetName("Other");
  B->SetName("");
  A->SetName("");
  A->SetName("Other");  // a second empty name never collides; "Other" was freed
  EXPECT_EQ(Owner.FindComponent("OTHER"), A);
  EXPECT_EQ(Owner.FindComponent("missing"), nullptr);
  EXPECT_EQ(Owner.FindComponent(""), nullptr);
  TComponent Free(nullptr);
  Free.SetName("Other");  // other owners (or none) do not collide
}

TEST(TComponent, RejectsNamesThatAreNoIdentifiers) {
  TComponent C(nullptr);
  EXPECT_THROW(C.SetName("1abc"), Exception);
  EXPECT_THROW(C.SetName("a b"), Exception);
  EXPECT_THROW(C.SetName(std::string(256, 'a')), Exception);
  C.SetName("_Ok9");
  EXPECT_EQ(C.Name(), "_Ok9");
}

TEST(TComponent, ComponentsIndexErrorNamesIndex) {
  TComponent Owner(nullptr);
  CreateOwned<TComponent>(Owner);
  try {
    Owner.Components(1);
    FAIL();
  } catch (const EListError& E) {
    EXPECT_EQ(E.Message(), "List index out of bounds (1)");
  }
  EXPECT_THROW(Owner.Components(-1), EListError);
}

TEST(TComponent, FreeNotificationWhenReferencedDies) {
  TWatcher W(nullptr);
  auto Target = std::make_unique<TComponent>(nullptr);
  W.SetRef(Target.get());
  Target.reset();
  EXPECT_EQ(W.Ref(), nullptr);
  EXPECT_EQ(W.Removals, 1);
}

TEST(TComponent, FreeNotificationWhenWatcherDiesFirst) {
  // The target must forget the watcher, or its destructor would touch freed memory.
  auto Target = std::make_unique<TWatcher>(nullptr);
  {
    TWatcher W(nullptr);
    W.SetRef(Target.get());
    Target->SetRef(&W);  // and the other way round
  }
  EXPECT_EQ(Target->Ref(), nullptr);
  EXPECT_EQ(Target->Removals, 1);
  Target.reset();
}

TEST(TComponent, RemoveFreeNotificationStopsTelling) {
  TWatcher W(nullptr);
  auto Target = std::make_unique<TComponent>(nullptr);
  W.SetRef(Target.get());
  Target->RemoveFreeNotification(&W);
  Target.reset();
  EXPECT_EQ(W.Removals, 0);
}

TEST(TComponent, SiblingsAreToldWhenOwnerDestroysThem) {
  // Dataset created first, binding second: the owner deletes the binding
  // first; then dataset first, binding second the other way round.
  for (bool RefFirst : {true, false}) {
    auto Owner = std::make_unique<TComponent>(nullptr);
    TComponent* Dataset = nullptr;
    TWatcher* Binding = nullptr;
    if (RefFirst) {
      Dataset = CreateOwned<TComponent>(*Owner);
      Binding = CreateOwned<TWatcher>(*Owner);
    } else {
      Binding = CreateOwned<TWatcher>(*Owner);
      Dataset = CreateOwned<TComponent>(*Owner);
    }
    Binding->SetRef(Dataset);
    delete Dataset;
    EXPECT_EQ(Binding->Ref(), nullptr);
    Binding->SetRef(CreateOwned<TComponent>(*Owner));
    Owner.reset();  // under the sanitizers: no use after free either way
  }
}

TEST(TComponent, SiblingToldWithoutAskingForFreeNotification) {
  TComponent Owner(nullptr);
  auto* Binding = CreateOwned<TWatcher>(Owner);
  auto* Dataset = CreateOwned<TComponent>(Owner);
  Binding->SetRef(Dataset);
  Dataset->RemoveFreeNotification(Binding);
  delete Dataset;  // the owner passes the removal on to its other components
  EXPECT_EQ(Binding->Ref(), nullptr);
}

TEST(TComponent, WatcherDeletingAnotherWatcherDuringNotification) {
  class TKiller : public TComponent {
  public:
    using TComponent::TComponent;
    TComponent* Victim = nullptr;

  protected:
    void Notification(TComponent* A, TOperation Op) override {
      if (Op == TOperation::opRemove && Victim && A != Victim) {
        TComponent* V = Victim;
        Victim = nullptr;
        delete V;
      }
      TComponent::Notification(A, Op);
    }
  };
  auto Target = std::make_unique<TComponent>(nullptr);
  auto* Killer = new TKiller(nullptr);
  auto* Victim = new TWatcher(nullptr);
  Killer->Victim = Victim;
  Killer->FreeNotification(Target.get());
  Victim->SetRef(Target.get());
  Target.reset();
  delete Killer->Victim;  // null when it was deleted during the notification
  delete Killer;
}

TEST(TComponent, TagStoredOnlyWhenNotZero) {
  TComponent C(nullptr);
  TPropertyList List;
  C.DefineProperties(List);
  ASSERT_EQ(List.size(), 1u);
  EXPECT_EQ(List[0].Name, "Tag");
  EXPECT_FALSE(List[0].Stored(C));
  List[0].Set(C, TPropertyValue(int32_t(7)));
  EXPECT_EQ(C.Tag(), 7);
  EXPECT_TRUE(List[0].Stored(C));
}

TEST(TPersistent, DefaultAssignReportsBothClasses) {
  TComponent A(nullptr), B(nullptr);
  try {
    A.Assign(B);
    FAIL();
  } catch (const EConvertError& E) {
    EXPECT_EQ(E.Message(), "Cannot assign a TComponent to a TComponent");
  }
  TPropertyList List;
  static_cast<const TPersistent&>(A).TPersistent::DefineProperties(List);
  EXPECT_TRUE(List.empty());
}
