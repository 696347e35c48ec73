// Persistent objects and components.
//
// `TComponent` gives the engine, the binding and the dataset layer what a
// component framework would: an owner that deletes what it owns, a name,
// lookup of owned components by name, a `Tag`, and free notification, so a
// component that refers to another is told before that one is destroyed.
//
// Ownership rule: a component created with an owner is deleted by the owner
// (never wrap it in a unique_ptr as well); one created without an owner is
// deleted by its creator, preferably through std::unique_ptr. Deleting an
// owned component directly is allowed: it leaves its owner's list first.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "Properties.h"

// Root of everything a string list can carry as an attached object.
class TObject {
public:
  virtual ~TObject() = default;
};

class TPersistent : public TObject {
public:
  // Copies Source into this object. The default reports that Source cannot
  // be assigned: EConvertError "Cannot assign a <Source> to a <this>".
  virtual void Assign(const TPersistent& Source);

  // The class name that streams write and the registry knows ("TNaiveBayes").
  virtual std::string TypeName() const { return "TPersistent"; }

  // Appends this class's published properties in published order; every
  // override calls its parent's first so ancestors' entries come first.
  virtual void DefineProperties(TPropertyList& List) const;

protected:
  void AssignError(const TPersistent* Source) const;
};

enum class TOperation { opInsert, opRemove };

class TComponent : public TPersistent {
public:
  explicit TComponent(TComponent* AOwner);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  std::string TypeName() const override { return "TComponent"; }
  void DefineProperties(TPropertyList& List) const override;  // Tag

  TComponent* Owner() const { return FOwner; }
  const std::string& Name() const { return FName; }
  // Throws Exception when another component of the same owner already has
  // the name (letter case ignored): "A component named X already exists",
  // and for a name that is not empty and not an identifier of at most 255
  // characters: "'X' is not a valid component name".
  void SetName(const std::string& Value);

  int32_t Tag() const { return FTag; }
  void SetTag(int32_t Value) { FTag = Value; }

  // Design position on a form; written to property streams when not 0.
  int32_t DesignLeft() const { return FDesignLeft; }
  int32_t DesignTop() const { return FDesignTop; }
  void SetDesignPosition(int32_t Left, int32_t Top) { FDesignLeft = Left; FDesignTop = Top; }

  int32_t ComponentCount() const { return static_cast<int32_t>(FComponents.size()); }
  // Throws EListError for a position outside 0 .. ComponentCount-1.
  TComponent* Components(int32_t Index) const;
  // The owned component with that name, letter case ignored, or nullptr.
  TComponent* FindComponent(std::string_view AName) const;

  // Asks to be told (through Notification(AComponent, opRemove)) when
  // AComponent is destroyed. Works both ways, so either may go first.
  void FreeNotification(TComponent* AComponent);
  void RemoveFreeNotification(TComponent* AComponent);

protected:
  // Called when AComponent is inserted into or removed from this owner, and
  // with opRemove when a component this one watches is being destroyed.
  // Overrides drop their references and call the parent. The base passes
  // every insertion and removal on to the owned components, so components
  // of one owner hear about each other without asking; on opInsert the new
  // component may not be fully constructed yet (compare, do not call it).
  virtual void Notification(TComponent* AComponent, TOperation Operation);

private:
  void InsertComponent(TComponent* AComponent);
  void RemoveComponent(TComponent* AComponent);

  TComponent* FOwner = nullptr;
  std::string FName;
  int32_t FTag = 0;
  int32_t FDesignLeft = 0;
  int32_t FDesignTop = 0;
  std::vector<TComponent*> FComponents;      // owned, in insertion order
  std::set<TComponent*> FFreeNotifies;       // told when this one dies
  bool FDestroying = false;
};

// Creates a component owned by Owner and returns a non-owning pointer: the
// one place where a component is allocated for an owner.
template <class T, class... Args>
T* CreateOwned(TComponent& Owner, Args&&... args) {
  return new T(&Owner, std::forward<Args>(args)...);  // owner deletes it
}
