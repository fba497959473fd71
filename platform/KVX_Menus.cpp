#include "platform/KVX_Menus.h"

#include <algorithm>

#include "platform/KVX_Controls.h"
#include "platform/KVX_Forms.h"

namespace kvx {

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner) {}

TMenuItem::~TMenuItem() {
  BeginDestruction();
  if (FMenu != nullptr) FMenu->Remove(this);
}

void TMenuItem::Click() {
  if (FEnabled && OnClick) OnClick(this);
}

TPopupMenu::TPopupMenu(TComponent* AOwner) : TComponent(AOwner) {}

TPopupMenu::~TPopupMenu() {
  BeginDestruction();
  while (!FItems.empty()) {
    TMenuItem* Item = FItems.back();
    FItems.pop_back();
    Item->FMenu = nullptr;
    if (Item->Owner() != nullptr) Item->Owner()->RemoveComponent(Item);
    delete Item;
  }
  SetPopupComponent(nullptr);
}

void TPopupMenu::Add(TMenuItem* Item) {
  if (Item == nullptr || Item->FMenu == this) return;
  if (Item->FMenu != nullptr) Item->FMenu->Remove(Item);
  FItems.push_back(Item);
  Item->FMenu = this;
}

void TPopupMenu::Remove(TMenuItem* Item) {
  if (Item == nullptr || Item->FMenu != this) return;
  FItems.erase(std::remove(FItems.begin(), FItems.end(), Item), FItems.end());
  Item->FMenu = nullptr;
}

void TPopupMenu::SetPopupComponent(TControl* Value) {
  if (Value == FPopupComponent) return;
  if (FPopupComponent != nullptr) RemoveFreeNotification(FPopupComponent);
  FPopupComponent = Value;
  if (Value != nullptr) FreeNotification(Value);
}

void TPopupMenu::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FPopupComponent) FPopupComponent = nullptr;
}

void TPopupMenu::Popup(int32_t X, int32_t Y) {
  TCustomForm* Form = FPopupComponent ? FPopupComponent->ParentForm() : TScreen::ActiveForm();
  if (Form == nullptr) return;
  if (OnPopup) OnPopup(this);
  Form->ShowPopupMenu(this, Form->ScreenToClient(TPoint{X, Y}));
}

}  // namespace kvx
