// Ownership, names and free notification of components.
//
// Destruction order follows the usual component rules: the dying component
// first tells everyone that asked for free notification, then deletes what
// it owns (last created first), and finally leaves its own owner, whose
// Notification passes the removal on to the remaining owned components, so
// siblings never keep a pointer to a destroyed sibling.
#include "Component.h"

#include <algorithm>

#include "Convert.h"
#include "Exceptions.h"

void TPersistent::Assign(const TPersistent& Source) { AssignError(&Source); }

void TPersistent::DefineProperties(TPropertyList& /*List*/) const {}

void TPersistent::AssignError(const TPersistent* Source) const {
  std::string SourceName = Source ? Source->TypeName() : std::string("nil");
  throw EConvertError("Cannot assign a " + SourceName + " to a " + TypeName());
}

TComponent::TComponent(TComponent* AOwner) {
  if (AOwner) AOwner->InsertComponent(this);
}

TComponent::~TComponent() {
  FDestroying = true;
  // The set may change while a watcher reacts (it may delete another
  // watcher), so take one entry at a time from the live set.
  while (!FFreeNotifies.empty()) {
    TComponent* Watcher = *FFreeNotifies.begin();
    FFreeNotifies.erase(FFreeNotifies.begin());
    Watcher->FFreeNotifies.erase(this);
    Watcher->Notification(this, TOperation::opRemove);
  }
  while (!FComponents.empty()) delete FComponents.back();  // each leaves the list itself
  if (FOwner) FOwner->RemoveComponent(this);
}

void TComponent::DefineProperties(TPropertyList& List) const {
  TPersistent::DefineProperties(List);
  List.push_back(MakeProperty<TPropertyKind::pkInteger, TComponent>(
      "Tag", &TComponent::Tag, &TComponent::SetTag, [](const TComponent& C) { return C.Tag() != 0; }));
}

namespace {
bool IsValidName(const std::string& S) {
  if (S.empty()) return true;
  if (S.size() > 255) return false;
  auto Alpha = [](char C) { return (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z') || C == '_'; };
  if (!Alpha(S[0])) return false;
  return std::all_of(S.begin(), S.end(), [&](char C) { return Alpha(C) || (C >= '0' && C <= '9'); });
}
}  // namespace

void TComponent::SetName(const std::string& Value) {
  if (Value == FName) return;
  // Names are stored in streams as short strings and looked up as identifiers.
  if (!IsValidName(Value)) throw Exception("'" + Value + "' is not a valid component name");
  if (FOwner && !Value.empty()) {
    TComponent* Other = FOwner->FindComponent(Value);
    if (Other && Other != this) throw Exception("A component named " + Value + " already exists");
  }
  FName = Value;
}

TComponent* TComponent::Components(int32_t Index) const {
  if (Index < 0 || Index >= ComponentCount())
    throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
  return FComponents[static_cast<size_t>(Index)];
}

TComponent* TComponent::FindComponent(std::string_view AName) const {
  if (AName.empty()) return nullptr;
  for (TComponent* C : FComponents)
    if (SameText(C->FName, AName)) return C;
  return nullptr;
}

void TComponent::FreeNotification(TComponent* AComponent) {
  if (!AComponent || AComponent == this) return;
  AComponent->FFreeNotifies.insert(this);
  FFreeNotifies.insert(AComponent);
}

void TComponent::RemoveFreeNotification(TComponent* AComponent) {
  if (!AComponent || AComponent == this) return;
  AComponent->FFreeNotifies.erase(this);
  FFreeNotifies.erase(AComponent);
}

void TComponent::Notification(TComponent* AComponent, TOperation Operation) {
  if (Operation == TOperation::opRemove && AComponent) RemoveFreeNotification(AComponent);
  // Pass it on to the owned components; a reaction may delete some of
  // them, so re-check the position on every step.
  for (size_t I = FComponents.size(); I-- > 0;) {
    if (I >= FComponents.size()) {
      if (FComponents.empty()) break;
      I = FComponents.size() - 1;
    }
    TComponent* C = FComponents[I];
    if (C != AComponent) C->Notification(AComponent, Operation);
  }
}

void TComponent::InsertComponent(TComponent* AComponent) {
  if (AComponent->FOwner) AComponent->FOwner->RemoveComponent(AComponent);
  FComponents.push_back(AComponent);
  AComponent->FOwner = this;
  Notification(AComponent, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* AComponent) {
  auto It = std::find(FComponents.begin(), FComponents.end(), AComponent);
  if (It == FComponents.end()) return;
  FComponents.erase(It);
  AComponent->FOwner = nullptr;
  Notification(AComponent, TOperation::opRemove);
}
