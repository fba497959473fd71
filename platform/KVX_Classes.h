// Components: objects with an owner that frees them, a name, a loading state with an after-load
// step, and notification of the components that asked to hear when another one dies.
//
// Ownership: a component created with an owner is freed by that owner (the last created
// first). It may be deleted earlier; it then leaves its owner, and every component that holds
// a reference to it is told (Notification with opRemove) before the memory goes, so no one
// frees it twice or keeps a dangling pointer.
#pragma once

#include <string>
#include <vector>

#include "platform/KVX_Persistent.h"
#include "platform/KVX_Types.h"

namespace kvx {

enum TComponentStateMember : uint8_t { csLoading, csReading, csWriting, csDestroying, csDesigning, csUpdating };
using TComponentState = TSet<TComponentStateMember, uint8_t>;

enum TOperation : uint8_t { opInsert, opRemove };

class TComponent : public TPersistent {
 public:
  explicit TComponent(TComponent* AOwner = nullptr);
  ~TComponent() override;
  std::string ClassName() const override { return "TComponent"; }

  TComponent* Owner() const { return FOwner; }
  int32_t ComponentCount() const { return static_cast<int32_t>(FComponents.size()); }
  TComponent* Component(int32_t Index) const { return FComponents[static_cast<size_t>(Index)]; }
  // The position in the owner's list, -1 without owner.
  int32_t ComponentIndex() const;
  // The owned component of that name (case-insensitive), or null.
  TComponent* FindComponent(const std::string& Name) const;

  const std::string& Name() const { return FName; }
  // A name must be unique among the owner's components (EInvalidOperation otherwise).
  void SetName(const std::string& Value);
  intptr_t Tag() const { return FTag; }
  void SetTag(intptr_t Value) { FTag = Value; }

  TComponentState ComponentState() const { return FComponentState; }

  // Loading from a layout: BeginLoading puts this component and everything it owns into
  // csLoading; EndLoading takes them out again and runs Loaded on each owned component (in
  // creation order, recursively) and then on this one.
  // Components inserted while the owner loads start in csLoading.
  void BeginLoading();
  void EndLoading();

  // Inserting and removing owned components (the constructor and destructor use these).
  void InsertComponent(TComponent* AComponent);
  void RemoveComponent(TComponent* AComponent);
  // Frees every owned component, the last created first.
  void DestroyComponents();

  // AComponent will be told (Notification opRemove) when this component dies, and this one
  // when AComponent dies. Owners and owned components hear of each other without asking.
  void FreeNotification(TComponent* AComponent);
  void RemoveFreeNotification(TComponent* AComponent);

 protected:
  // Runs once after loading; the base takes csLoading out.
  virtual void Loaded();
  // Another component joined (opInsert) or is leaving or dying (opRemove): clear every
  // reference to it here. The base forwards opRemove to owned components.
  virtual void Notification(TComponent* AComponent, TOperation Operation);
  // The first step of destruction: csDestroying is set and owned components are marked.
  virtual void Destroying();
  // Derived destructors call this first so that notifications see the object whole.
  void BeginDestruction();

 private:
  void SendRemoveNotifications();
  TComponent* FOwner = nullptr;
  std::vector<TComponent*> FComponents;
  std::vector<TComponent*> FFreeNotifies;
  std::string FName;
  intptr_t FTag = 0;
  TComponentState FComponentState;
  bool FNotified = false;
};

}  // namespace kvx
