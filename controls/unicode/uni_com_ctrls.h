// Wide common controls: a list view whose item captions, sub-items and column
// captions are wide, a tool bar with wide button captions, a page control with wide
// tab captions and an up-down control, all with Unicode windows that notify in wide
// form. The class library keeps the 8-bit copies and talks 8-bit messages; these
// classes keep the wide texts beside them and turn the messages that carry text into
// their wide forms.
#pragma once

#include <memory>
#include <string>

#include "controls/unicode/uni_classes.h"
#include "controls/unicode/uni_controls.h"
#include "controls/unicode/uni_menus.h"
#include "controls/unicode/uni_std_ctrls.h"
#include "platform/classlib/com_ctrls.h"

// --- list view -------------------------------------------------------------------------

class TUniCustomListView;
class TUniListItem;

class TUniListColumn : public TListColumn {
 public:
  using TListColumn::TListColumn;
  std::string ClassName() const override { return "TUniListColumn"; }
  std::u16string Caption();
  void SetCaption(const std::u16string& value);

 private:
  friend class TUniCustomListView;
  std::u16string caption_;
};

class TUniListColumns : public TListColumns {
 public:
  using TListColumns::TListColumns;
  std::string ClassName() const override { return "TUniListColumns"; }
  TUniListColumn* Add() { return static_cast<TUniListColumn*>(TListColumns::Add()); }
  TUniListColumn* Items(int index) const { return static_cast<TUniListColumn*>(TListColumns::Items(index)); }

 protected:
  std::unique_ptr<TListColumn> CreateColumn() override { return std::make_unique<TUniListColumn>(this); }
};

// The wide sub-items of an item; each change is made in the item's 8-bit sub-items as
// well (their ANSI forms), unless mirroring is suspended. Objects live on the 8-bit side.
class TWideSubItems : public TUniStringList {
 public:
  explicit TWideSubItems(TUniListItem* owner) : owner_(owner) {}
  // Add and Insert come here too.
  int AddObject(const std::u16string& s, TObject* object) override;
  void InsertObject(int index, const std::u16string& s, TObject* object) override;
  void Put(int index, const std::u16string& s) override;
  void Delete(int index) override;
  void Clear() override;
  TObject* GetObject(int index) const override;
  void PutObject(int index, TObject* object) override;
  void SetUpdateState(bool updating) override;
  // While set, changes stay on the wide side (the 8-bit side already has them).
  bool IgnoreInherited = false;

 private:
  template <typename Change>
  void Locked(const Change& change);
  TUniListItem* owner_;
};

class TUniListItem : public TListItem {
 public:
  explicit TUniListItem(TListItems* owner);
  ~TUniListItem() override;
  std::string ClassName() const override { return "TUniListItem"; }
  std::u16string Caption();
  void SetCaption(const std::u16string& value);
  TWideSubItems& SubItems() { return subItems_; }
  // From another wide item: wide caption, data, image, indent, state and wide
  // sub-items; from any other item the class library's copy.
  void Assign(const TListItem& source) override;

 private:
  friend class TUniCustomListView;
  // Brings the wide sub-items in line with the 8-bit ones the class library changed.
  void SyncSubItems();
  std::u16string caption_;
  TWideSubItems subItems_{this};
};

class TUniListItems : public TListItems {
 public:
  using TListItems::TListItems;
  std::string ClassName() const override { return "TUniListItems"; }
  TUniListItem* Add() { return static_cast<TUniListItem*>(TListItems::Add()); }
  TUniListItem* Insert(int index) { return static_cast<TUniListItem*>(TListItems::Insert(index)); }
  TUniListItem* Item(int index) const { return static_cast<TUniListItem*>(TListItems::Item(index)); }
};

// The wide compare of AlphaSort: OnCompare, else the wide captions in the locale's order.
int UniListViewSort(LPARAM item1, LPARAM item2, LPARAM listWindow);

using TUniLVEditedEvent = std::function<void(TObject* sender, TListItem* item, std::u16string& text)>;

class TUniCustomListView : public TUniWideControl<TCustomListView> {
 public:
  explicit TUniCustomListView(TComponent* owner);
  ~TUniCustomListView() override;
  std::string ClassName() const override { return "TUniCustomListView"; }
  TUniListColumns& Columns() { return static_cast<TUniListColumns&>(TCustomListView::Columns()); }
  TUniListItems& Items() { return static_cast<TUniListItems&>(TCustomListView::Items()); }
  TUniListItem* Selected() const { return static_cast<TUniListItem*>(TCustomListView::Selected()); }
  void AddItem(const std::u16string& caption, void* data);
  // Adds each selected item's wide caption and data to another list view.
  void CopySelection(TCustomListView* destination);
  // Adds sub-item images and info tips to every extended style set.
  bool SubItemImagesAndInfoTips = false;
  // The wide form of the class library's OnEdited, which it takes the place of.
  TUniLVEditedEvent OnEdited;

  // Item makers must make wide items; others raise EUniInternalError.
  std::unique_ptr<TListItem> CreateListItem(TListItems* owner) override;
  void WndProc(TMessage& message) override;

 protected:
  void CreateWindowHandle(const TCreateParams& params) override;

 private:
  friend class TWideSubItems;
  friend class TUniListItem;
  // The update lock of the wide list view that shows `item`; null for another view.
  static int* UpdateLockOf(TListItem& item);
  void WideNotify(TMessage& message);
  void SetItemTextA(TMessage& message);
  void BeginLabelEdit(TMessage& message);
  void EndLabelEdit(TMessage& message);
  // The label edit window's keys reach the list view's key events first.
  LRESULT LabelEditProc(WNDPROC previous, HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  std::unique_ptr<platform::win::WindowProcStub> labelEditHook_;
  // Raised around the wide side's own changes of captions and sub-items (the 8-bit
  // side's changes then need not be copied back), never below 0.
  int updateLock_ = 0;
};

class TUniListView : public TUniCustomListView {
 public:
  using TUniCustomListView::TUniCustomListView;
  std::string ClassName() const override { return "TUniListView"; }
};

// --- tool bar --------------------------------------------------------------------------

class TUniToolButton : public TUniWideControl<TToolButton> {
 public:
  using TUniWideControl<TToolButton>::TUniWideControl;
  std::string ClassName() const override { return "TUniToolButton"; }
  // Also takes the wide caption and hint of a wide menu item.
  void SetMenuItem(TMenuItem* item) override;
};

class TUniToolBar : public TUniWideControl<TToolBar> {
 public:
  using TUniWideControl<TToolBar>::TUniWideControl;
  std::string ClassName() const override { return "TUniToolBar"; }
  void WndProc(TMessage& message) override;

 protected:
  TToolButton* CreateMenuButton() override { return new TUniToolButton(this); }
  void CreateWindowHandle(const TCreateParams& params) override;
};

// --- page control ----------------------------------------------------------------------

class TUniTabSheet : public TUniWideControl<TTabSheet> {
 public:
  using TUniWideControl<TTabSheet>::TUniWideControl;
  std::string ClassName() const override { return "TUniTabSheet"; }
  void WndProc(TMessage& message) override;

 protected:
  void CreateWindowHandle(const TCreateParams& params) override;

 private:
  bool settingText_ = false;
};

class TUniPageControl : public TUniWideControl<TPageControl> {
 public:
  using TUniWideControl<TPageControl>::TUniWideControl;
  std::string ClassName() const override { return "TUniPageControl"; }
  void WndProc(TMessage& message) override;

 protected:
  void CreateWindowHandle(const TCreateParams& params) override;

 private:
  void SendWideTab(TMessage& message, UINT wideMessage);
  bool DialogChar(WORD charCode);
};

// --- up-down ---------------------------------------------------------------------------

class TUniCustomUpDown : public TUniWideControl<TCustomUpDown> {
 public:
  using TUniWideControl<TCustomUpDown>::TUniWideControl;
  std::string ClassName() const override { return "TUniCustomUpDown"; }

 protected:
  void CreateWindowHandle(const TCreateParams& params) override;
};

class TUniUpDown : public TUniCustomUpDown {
 public:
  using TUniCustomUpDown::TUniCustomUpDown;
  std::string ClassName() const override { return "TUniUpDown"; }
};
