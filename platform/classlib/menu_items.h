// The class library's menus: menu items in a tree under a menu, kept as plain data
// until a native menu is asked for, so they can be built on any thread. The native
// menu is rebuilt from the items on every change; owner-drawn menus measure and draw
// their items through the item objects. Popup menus are listed in the popup list,
// whose window receives their commands, selections and owner-draw messages.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/classlib/component.h"
#include "platform/classlib/controls.h"
#include "platform/classlib/graphics.h"
#include "platform/classlib/menus.h"
#include "platform/win/menus.h"

#include "platform/classlib/exceptions.h"

class TMenu;
class TMenuActionLink;

class EMenuError : public Exception {
 public:
  using Exception::Exception;
};

// Owner-draw states handed to the drawing of an item.
inline constexpr unsigned odSelected = 0x0001;
inline constexpr unsigned odGrayed = 0x0002;
inline constexpr unsigned odDisabled = 0x0004;
inline constexpr unsigned odChecked = 0x0008;
inline constexpr unsigned odDefault = 0x0020;
inline constexpr unsigned odNoAccel = 0x0100;
using TOwnerDrawState = unsigned;

class TMenuItem;
using TMenuMeasureItemEvent = std::function<void(TObject* sender, TCanvas& canvas, int& width, int& height)>;
using TAdvancedMenuDrawItemEvent =
    std::function<void(TObject* sender, TCanvas& canvas, const RECT& rect, TOwnerDrawState state)>;

// A caption of "-" makes a separator line.
inline constexpr const char* cLineCaption = "-";

// Ownership: an item belongs to its owner component; its parent item only lists it
// (an item freed takes itself out of its parent and frees none of its children it
// does not own).
class TMenuItem : public TComponent {
 public:
  explicit TMenuItem(TComponent* owner);
  ~TMenuItem() override;
  std::string ClassName() const override { return "TMenuItem"; }

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& value);
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& value);
  TShortCut ShortCut() const { return shortCut_; }
  void SetShortCut(TShortCut value);
  bool Checked() const { return checked_; }
  void SetChecked(bool value);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  bool Visible() const { return visible_; }
  void SetVisible(bool value);
  bool Default() const { return default_; }
  void SetDefault(bool value);
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int value);
  bool IsLine() const { return caption_ == cLineCaption; }

  int Count() const { return static_cast<int>(items_.size()); }
  TMenuItem* Items(int index) const { return items_.at(index); }
  TMenuItem* Parent() const { return parent_; }
  int MenuIndex() const;
  void Add(TMenuItem* item);
  void Insert(int index, TMenuItem* item);
  void Remove(TMenuItem* item);
  // The command the native item carries; unique in the process.
  UINT Command() const { return command_; }
  // The native popup of an item with sub-items (made on demand), else 0.
  HMENU Handle();
  TMenu* GetParentMenu() const;
  // The item (this or below) with the command or the native popup, or null.
  TMenuItem* FindByCommand(UINT command);
  TMenuItem* FindByHandle(HMENU handle);

  // An action gives the item its caption, hint, states, image and shortcut and
  // runs instead of OnClick; null takes it away.
  TBasicAction* Action() const;
  void SetAction(TBasicAction* action);
  TMenuActionLink* ActionLink() const { return actionLink_.get(); }

  virtual void Click();
  virtual void InitiateAction();
  // Draws the item: the handler when there is one, else background, check mark and text.
  virtual void AdvancedDrawItem(TCanvas& canvas, RECT rect, TOwnerDrawState state, bool topLevel);
  virtual void MeasureItem(TCanvas& canvas, int& width, int& height);

  TNotifyEvent OnClick;
  TMenuMeasureItemEvent OnMeasureItem;
  TAdvancedMenuDrawItemEvent OnAdvancedDrawItem;

 protected:
  // Rebuilds the native menu around the item (Rebuild: the whole parent menu).
  virtual void MenuChanged(bool rebuild);
  void Loaded() override;
  virtual void ActionChange(TObject* sender, bool checkDefaults);
  virtual std::unique_ptr<TMenuActionLink> CreateActionLink();
  void Notification(TComponent* component, TOperation operation) override;
  // The class library's own text drawing, used by the default drawing.
  void DrawItemText(TCanvas& canvas, RECT rect, const std::string& text, UINT format, TOwnerDrawState state);

 private:
  friend class TMenu;
  void RebuildHandle();
  void AppendNative(HMENU target);

  std::string caption_;
  std::string hint_;
  TShortCut shortCut_ = scNone;
  bool checked_ = false;
  bool enabled_ = true;
  bool visible_ = true;
  bool default_ = false;
  int imageIndex_ = -1;
  UINT command_;
  HMENU handle_ = 0;
  TMenuItem* parent_ = nullptr;
  std::unique_ptr<TMenuActionLink> actionLink_;
  TMenu* menu_ = nullptr;  // set on the root item only
  std::vector<TMenuItem*> items_;
};

// Passes an action's changes to a menu item whose value still equals the action's.
// Ownership: the item owns its link.
// Menu items follow the action's checked state, image and shortcut too.
class TMenuActionLink : public TClientActionLink<TMenuItem> {
 public:
  using TClientActionLink::TClientActionLink;
  bool IsCheckedLinked() const override;
  bool IsImageIndexLinked() const override;
  bool IsShortCutLinked() const override;
  void SetChecked(bool value) override;
  void SetImageIndex(int value) override;
  void SetShortCut(TShortCut value) override;
};

enum class TPopupAlignment { paLeft, paRight, paCenter };

// Ownership: the menu owns its root item.
class TMenu : public TComponent {
 public:
  explicit TMenu(TComponent* owner);
  ~TMenu() override;
  std::string ClassName() const override { return "TMenu"; }

  TMenuItem* Items() const { return items_.get(); }
  // The native menu, made from the items on first use.
  HMENU Handle();
  bool HandleAllocated() const { return handle_ != 0; }
  bool OwnerDraw() const { return ownerDraw_; }
  void SetOwnerDraw(bool value);
  // Whether the menu shows images beside its items (such items are owner-drawn).
  bool HasImages() const { return hasImages_; }
  void SetHasImages(bool value);
  bool IsRightToLeft() const { return rightToLeft_; }
  void SetRightToLeft(bool value) { rightToLeft_ = value; }
  // The window a main menu sits in (0 for popups or a main menu not shown).
  HWND WindowHandle() const { return window_; }
  void SetWindowHandle(HWND window);
  virtual bool IsMainMenu() const { return false; }
  // The menu this one is merged into (a main menu's merged handle), or null.
  TMenu* Merged() const { return merged_; }
  void SetMerged(TMenu* menu) { merged_ = menu; }

  // Runs the item with the command; false when the menu has none.
  bool DispatchCommand(UINT command);
  // Called when an item changed; rebuilds the native menu.
  virtual void ItemsChanged(TMenuItem* item);
  TNotifyEvent OnChange;

 protected:
  // Makes a root item (derived menus make their own item class).
  void SetItems(std::unique_ptr<TMenuItem> items);
  virtual HMENU CreateNative() { return CreateMenu(); }

 private:
  friend class TMenuItem;
  std::unique_ptr<TMenuItem> items_;
  HMENU handle_ = 0;
  HWND window_ = 0;
  bool ownerDraw_ = false;
  bool hasImages_ = false;
  bool rightToLeft_ = false;
  TMenu* merged_ = nullptr;
};

class TMainMenu : public TMenu {
 public:
  explicit TMainMenu(TComponent* owner) : TMenu(owner) {}
  std::string ClassName() const override { return "TMainMenu"; }
  bool IsMainMenu() const override { return true; }
};

class TPopupList;

class TPopupMenu : public TMenu {
 public:
  explicit TPopupMenu(TComponent* owner);
  ~TPopupMenu() override;
  std::string ClassName() const override { return "TPopupMenu"; }

  TPopupAlignment Alignment = TPopupAlignment::paLeft;
  // Shows the menu at screen point (x, y) until an item is picked or the menu is
  // dismissed; a picked item's Click runs before Popup returns.
  virtual void Popup(int x, int y);
  TComponent* PopupComponent = nullptr;
  // Whether the menu opens by itself on its control's context click.
  bool AutoPopup = true;
  TNotifyEvent OnPopup;

 protected:
  HMENU CreateNative() override { return CreatePopupMenu(); }
};

// The popup menus of the process and the window that receives their messages.
// Ownership: made by the first use of PopupList, freed at process end.
class TPopupList : public TObject {
 public:
  TPopupList();
  ~TPopupList() override;
  // The list window, made on first use on the calling thread.
  HWND Window();
  void Add(TPopupMenu* menu);
  void Remove(TPopupMenu* menu);
  int Count() const { return static_cast<int>(menus_.size()); }
  TPopupMenu* Items(int index) const { return menus_.at(index); }

  // The list window's message handling.
  virtual void WndProc(TMessage& message);

 protected:
  // The item of the listed menus with the command or the native popup.
  TMenuItem* FindItem(UINT commandOrHandle, bool byHandle) const;

 private:
  HWND window_ = 0;
  std::vector<TPopupMenu*> menus_;
};

// The popup list whose window the popup menus use; points at the class library's own
// list unless a replacement is installed for the duration of a popup.
extern TPopupList* PopupList;
TPopupList& TheClassLibraryPopupList();

// Text of the shortcut shown in a native item: an item with sub-items, or a top-level
// item of a main menu, shows none.
bool ShowsShortCut(const TMenuItem* item);
