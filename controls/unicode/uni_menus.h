// Wide menus: menu items that keep a wide caption and hint beside the class library's
// 8-bit ones, write the wide caption (with a shortcut text in the current keyboard
// layout's key names) into the native menu, keep the hot-key marker of the wide
// caption where the class library puts it in the 8-bit one, draw owner-drawn items
// with wide text, and popup menus whose pointed-at item shows its wide hint.
#pragma once

#include <memory>
#include <string>

#include "controls/unicode/uni_actions.h"
#include "platform/classlib/menu_items.h"
#include "platform/win/keyboard.h"

class TUniMenuItem : public TMenuItem {
 public:
  explicit TUniMenuItem(TComponent* owner);
  std::string ClassName() const override { return "TUniMenuItem"; }

  // Read and write; the 8-bit caption follows as its ANSI form.
  std::u16string Caption();
  void SetCaption(const std::u16string& value);
  std::u16string Hint();
  void SetHint(const std::u16string& value);

  bool IgnoreMenuChanged = false;
  HKL KeyboardLayout = 0;

  void InitiateAction() override;
  void AdvancedDrawItem(TCanvas& canvas, RECT rect, TOwnerDrawState state, bool topLevel) override;
  void MeasureItem(TCanvas& canvas, int& width, int& height) override;
  // Rewrites the native item's text from the wide caption (see UpdateMenuItem).
  void MenuChanged(bool rebuild) override;

 protected:
  void Loaded() override;
  // A wide action gives its wide caption and hint first, then the class library's
  // handling follows.
  void ActionChange(TObject* sender, bool checkDefaults) override;
  std::unique_ptr<TMenuActionLink> CreateActionLink() override;

 private:
  std::u16string caption_;
  std::u16string hint_;
};

// The link of a wide menu item: captions count as linked when they are the same apart
// from hot keys (the class library may move an item's hot key), and changes reach the
// item's wide caption and hint.
class TUniMenuActionLink : public TMenuActionLink {
 public:
  using TMenuActionLink::TMenuActionLink;
  bool IsCaptionLinked() const override;
  bool IsHintLinked() const override;
  void SetCaption(const std::string& value) override;
  void SetHint(const std::string& value) override;

 private:
  TUniMenuItem* Item() const { return static_cast<TUniMenuItem*>(Client()); }
};

// The wide hint of a wide item, else the 8-bit hint widened.
std::u16string WideGetMenuItemHint(TMenuItem* item);

// Moves the hot-key markers of `dest` to where `source` has them when the two differ
// only by hot keys; raises EUniInternalError when they still differ afterwards.
void SyncHotKeyPosition(const std::u16string& source, std::u16string& dest);

// Writes the item's wide caption and shortcut into its native item in `menu`.
void UpdateMenuItem(TUniMenuItem* item, TMenu* menu);

// Wide text drawing of menu items: clear brush, right-to-left flags for such menus,
// an empty text or a lone "&" measured as a space, and the two-colour disabled look.
void MenuWideDrawText(TCanvas& canvas, const std::u16string& text, RECT& rect, UINT flags,
                      TOwnerDrawState state, bool rightToLeft);

// Ownership: the menu's owner frees it.
class TUniPopupMenu : public TPopupMenu {
 public:
  explicit TUniPopupMenu(TComponent* owner);
  ~TUniPopupMenu() override;
  std::string ClassName() const override { return "TUniPopupMenu"; }
  void Popup(int x, int y) override;
  // A change of the menu updates all its items.
  void ItemsChanged(TMenuItem* item) override;
};

// The one wide popup list of the process, made at start-up.
class TUniPopupList : public TPopupList {
 public:
  TUniPopupList();
  // The class library's own list, recorded at start-up.
  TPopupList* SavedPopupList = nullptr;
  void WndProc(TMessage& message) override;
};

extern TUniPopupList* UniPopupList;
void StartUniMenus();
void FinishUniMenus();
