// Collections: a list of items of one class, owned by the collection.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "Component.h"

class TCollection;

class TCollectionItem : public TPersistent {
public:
  explicit TCollectionItem(TCollection* ACollection) : FCollection(ACollection) {}
  std::string TypeName() const override { return "TCollectionItem"; }
  TCollection* Collection() const { return FCollection; }
  // Position in the collection, or -1 when not in one.
  int32_t Index() const;

private:
  friend class TCollection;
  TCollection* FCollection;
};

class TCollection : public TPersistent {
public:
  using ItemFactory = std::function<std::unique_ptr<TCollectionItem>(TCollection*)>;

  // Owner is what GetOwner returns (the component the collection belongs to).
  TCollection(ItemFactory Factory, TPersistent* Owner);
  ~TCollection() override;
  TCollection(const TCollection&) = delete;
  TCollection& operator=(const TCollection&) = delete;

  std::string TypeName() const override { return "TCollection"; }
  TPersistent* GetOwner() const { return FOwner; }

  int32_t Count() const { return static_cast<int32_t>(FItems.size()); }
  // Raises EListError naming the index when outside 0 .. Count-1.
  TCollectionItem* Items(int32_t Index) const;
  // Creates an item of the collection's class at the end and returns it.
  TCollectionItem* Add();
  void Delete(int32_t Index);
  virtual void Clear();

private:
  ItemFactory FFactory;
  TPersistent* FOwner;
  std::vector<std::unique_ptr<TCollectionItem>> FItems;
};
