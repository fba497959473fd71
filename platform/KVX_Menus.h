// Popup menus: items with captions and click handlers. A shown menu is drawn as an overlay
// inside its form (no second native window, no pointer grab).
#pragma once

#include <string>
#include <vector>

#include "platform/KVX_Classes.h"
#include "platform/KVX_Graphics.h"

namespace kvx {

class TPopupMenu;
class TControl;

class TMenuItem : public TComponent {
 public:
  explicit TMenuItem(TComponent* AOwner = nullptr);
  // Leaves its menu.
  ~TMenuItem() override;
  std::string ClassName() const override { return "TMenuItem"; }

  const std::string& Caption() const { return FCaption; }
  void SetCaption(const std::string& Value) { FCaption = Value; }
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value) { FEnabled = Value; }
  bool Visible() const { return FVisible; }
  void SetVisible(bool Value) { FVisible = Value; }
  TPopupMenu* Menu() const { return FMenu; }

  // Fires OnClick when enabled.
  virtual void Click();
  TNotifyEvent OnClick;

 private:
  friend class TPopupMenu;
  std::string FCaption;
  bool FEnabled = true;
  bool FVisible = true;
  TPopupMenu* FMenu = nullptr;
};

class TPopupMenu : public TComponent {
 public:
  explicit TPopupMenu(TComponent* AOwner = nullptr);
  // Frees its items (they leave their owners first).
  ~TPopupMenu() override;
  std::string ClassName() const override { return "TPopupMenu"; }

  int32_t Count() const { return static_cast<int32_t>(FItems.size()); }
  TMenuItem* Item(int32_t Index) const { return FItems[static_cast<size_t>(Index)]; }
  // Takes the item into the menu (out of any other menu); the menu frees it.
  void Add(TMenuItem* Item);
  void Remove(TMenuItem* Item);

  // The control whose right click opened the menu (cleared when that control dies).
  TControl* PopupComponent() const { return FPopupComponent; }
  void SetPopupComponent(TControl* Value);
  // Opens the menu at a screen position in the form of PopupComponent (or the active form).
  virtual void Popup(int32_t X, int32_t Y);

  TNotifyEvent OnPopup;

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  friend class TMenuItem;
  std::vector<TMenuItem*> FItems;
  TControl* FPopupComponent = nullptr;
};

}  // namespace kvx
