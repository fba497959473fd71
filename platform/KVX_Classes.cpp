#include "platform/KVX_Classes.h"

#include <algorithm>
#include <cctype>

namespace kvx {

namespace {

bool SameText(const std::string& A, const std::string& B) {
  return A.size() == B.size() && std::equal(A.begin(), A.end(), B.begin(), [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
         });
}

void Erase(std::vector<TComponent*>& List, const TComponent* Item) {
  List.erase(std::remove(List.begin(), List.end(), Item), List.end());
}

}  // namespace

TComponent::TComponent(TComponent* AOwner) {
  if (AOwner != nullptr) AOwner->InsertComponent(this);
}

TComponent::~TComponent() {
  BeginDestruction();
  DestroyComponents();
  if (FOwner != nullptr) FOwner->RemoveComponent(this);
}

void TComponent::BeginDestruction() {
  if (FNotified) return;
  FNotified = true;
  Destroying();
  SendRemoveNotifications();
}

void TComponent::Destroying() {
  if (FComponentState.Contains(csDestroying)) return;
  FComponentState.Include(csDestroying);
  for (TComponent* C : FComponents) C->Destroying();
}

void TComponent::SendRemoveNotifications() {
  // Everyone who asked is told once; their links to this component go with it.
  while (!FFreeNotifies.empty()) {
    TComponent* Other = FFreeNotifies.back();
    FFreeNotifies.pop_back();
    Erase(Other->FFreeNotifies, this);
    Other->Notification(this, opRemove);
  }
  if (FOwner != nullptr) FOwner->Notification(this, opRemove);
}

int32_t TComponent::ComponentIndex() const {
  if (FOwner == nullptr) return -1;
  const auto& L = FOwner->FComponents;
  const auto It = std::find(L.begin(), L.end(), this);
  return It == L.end() ? -1 : static_cast<int32_t>(It - L.begin());
}

TComponent* TComponent::FindComponent(const std::string& Name) const {
  if (Name.empty()) return nullptr;
  for (TComponent* C : FComponents)
    if (SameText(C->FName, Name)) return C;
  return nullptr;
}

void TComponent::SetName(const std::string& Value) {
  if (Value == FName) return;
  if (FOwner != nullptr && !Value.empty()) {
    const TComponent* Other = FOwner->FindComponent(Value);
    if (Other != nullptr && Other != this)
      throw EInvalidOperation("A component named " + Value + " already exists");
  }
  FName = Value;
}

void TComponent::BeginLoading() {
  FComponentState.Include(csLoading);
  for (TComponent* C : FComponents) C->BeginLoading();
}

void TComponent::EndLoading() {
  // A copy: a Loaded step may create or free components.
  const std::vector<TComponent*> Owned = FComponents;
  for (TComponent* C : Owned)
    if (std::find(FComponents.begin(), FComponents.end(), C) != FComponents.end()) C->EndLoading();
  Loaded();
}

void TComponent::Loaded() { FComponentState.Exclude(csLoading); }

void TComponent::InsertComponent(TComponent* AComponent) {
  if (AComponent == nullptr || AComponent->FOwner == this) return;
  if (AComponent->FOwner != nullptr) AComponent->FOwner->RemoveComponent(AComponent);
  if (!AComponent->FName.empty() && FindComponent(AComponent->FName) != nullptr)
    throw EInvalidOperation("A component named " + AComponent->FName + " already exists");
  FComponents.push_back(AComponent);
  AComponent->FOwner = this;
  // A component created while its owner loads its layout is part of that layout.
  if (FComponentState.Contains(csLoading)) AComponent->BeginLoading();
  Notification(AComponent, opInsert);
}

void TComponent::RemoveComponent(TComponent* AComponent) {
  if (AComponent == nullptr || AComponent->FOwner != this) return;
  Notification(AComponent, opRemove);
  Erase(FComponents, AComponent);
  AComponent->FOwner = nullptr;
}

void TComponent::DestroyComponents() {
  while (!FComponents.empty()) {
    TComponent* C = FComponents.back();
    RemoveComponent(C);
    delete C;
  }
}

void TComponent::FreeNotification(TComponent* AComponent) {
  if (AComponent == nullptr || AComponent == this) return;
  if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent) == FFreeNotifies.end())
    FFreeNotifies.push_back(AComponent);
  if (std::find(AComponent->FFreeNotifies.begin(), AComponent->FFreeNotifies.end(), this) ==
      AComponent->FFreeNotifies.end())
    AComponent->FFreeNotifies.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* AComponent) {
  if (AComponent == nullptr) return;
  Erase(FFreeNotifies, AComponent);
  Erase(AComponent->FFreeNotifies, this);
}

void TComponent::Notification(TComponent* AComponent, TOperation Operation) {
  if (Operation != opRemove || AComponent == nullptr) return;
  // Siblings hear of a leaving component through their owner.
  const std::vector<TComponent*> Owned = FComponents;
  for (TComponent* C : Owned)
    if (C != AComponent) C->Notification(AComponent, Operation);
}

}  // namespace kvx
