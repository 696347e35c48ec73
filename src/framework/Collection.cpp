// Collections own their items through unique_ptr; an item only points back.
#include "Collection.h"

#include "Exceptions.h"

int32_t TCollectionItem::Index() const {
  if (!FCollection) return -1;
  for (int32_t I = 0; I < FCollection->Count(); ++I)
    if (FCollection->Items(I) == this) return I;
  return -1;
}

TCollection::TCollection(ItemFactory Factory, TPersistent* Owner)
    : FFactory(std::move(Factory)), FOwner(Owner) {
  if (!FFactory) throw Exception("TCollection needs an item factory");
}

TCollection::~TCollection() = default;

TCollectionItem* TCollection::Items(int32_t Index) const {
  if (Index < 0 || Index >= Count())
    throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
  return FItems[static_cast<size_t>(Index)].get();
}

TCollectionItem* TCollection::Add() {
  std::unique_ptr<TCollectionItem> Item = FFactory(this);
  if (!Item) throw Exception("TCollection item factory returned no item");
  Item->FCollection = this;
  FItems.push_back(std::move(Item));
  return FItems.back().get();
}

void TCollection::Delete(int32_t Index) {
  if (Index < 0 || Index >= Count())
    throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
  FItems.erase(FItems.begin() + Index);
}

void TCollection::Clear() { FItems.clear(); }
