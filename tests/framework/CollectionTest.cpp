// Collections own their items and know their owner.
#include <gtest/gtest.h>

#include "Collection.h"
#include "Exceptions.h"

namespace {
int Alive = 0;
class TCountedItem : public TCollectionItem {
public:
  explicit TCountedItem(TCollection* C) : TCollectionItem(C) { ++Alive; }
  ~TCountedItem() override { --Alive; }
};
TCollection::ItemFactory Factory() {
  return [](TCollection* C) { return std::make_unique<TCountedItem>(C); };
}
}  // namespace

TEST(TCollection, OwnsItemsAndKnowsOwner) {
  TComponent Owner(nullptr);
  {
    TCollection C(Factory(), &Owner);
    EXPECT_EQ(C.GetOwner(), &Owner);
    TCollectionItem* A = C.Add();
    TCollectionItem* B = C.Add();
    EXPECT_EQ(Alive, 2);
    EXPECT_EQ(A->Collection(), &C);
    EXPECT_EQ(B->Index(), 1);
    C.Delete(0);
    EXPECT_EQ(Alive, 1);
    EXPECT_EQ(B->Index(), 0);
    EXPECT_EQ(C.Items(0), B);
  }
  EXPECT_EQ(Alive, 0);
}

TEST(TCollection, IndexErrorsAndClear) {
  TCollection C(Factory(), nullptr);
  C.Add();
  try {
    C.Items(1);
    FAIL();
  } catch (const EListError& E) {
    EXPECT_EQ(E.Message(), "List index out of bounds (1)");
  }
  EXPECT_THROW(C.Delete(-1), EListError);
  C.Clear();
  EXPECT_EQ(C.Count(), 0);
  EXPECT_EQ(Alive, 0);
  TCollectionItem Loose(nullptr);
  EXPECT_EQ(Loose.Index(), -1);
}
