// The class library's common controls: the list view with its columns and items, the
// tool bar with its buttons, the page control with its tab sheets, and the up-down
// control. Each stands on the window class of the same kind; the window holds the
// order and state of items, tabs and buttons, the control holds their objects and
// 8-bit texts and answers the window's notifications (reflected as CN_NOTIFY).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/classlib/controls.h"
#include "platform/classlib/icons.h"
#include "platform/classlib/menu_items.h"
#include "platform/classlib/strings.h"
#include "platform/win/common_controls.h"

// Makes the classes of the controls the flags name ready, with their pictures.
void InitCommonControl(DWORD classes);

// --- list view -------------------------------------------------------------------------

class TCustomListView;
class TListColumns;
class TListItems;
class TListItem;

// Ownership: the columns collection owns its columns.
class TListColumn : public TObject {
 public:
  explicit TListColumn(TListColumns* collection) : collection_(collection) {}
  virtual std::string ClassName() const { return "TListColumn"; }
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& value);
  int Width() const { return width_; }
  void SetWidth(int value);
  int Index() const;
  TListColumns* Collection() const { return collection_; }

 private:
  friend class TCustomListView;
  TListColumns* collection_;
  std::string caption_;
  int width_ = 50;
};

class TListColumns : public TObject {
 public:
  explicit TListColumns(TCustomListView* owner) : owner_(owner) {}
  virtual std::string ClassName() const { return "TListColumns"; }
  TListColumn* Add();
  TListColumn* Items(int index) const { return columns_.at(static_cast<std::size_t>(index)).get(); }
  int Count() const { return static_cast<int>(columns_.size()); }
  int IndexOf(const TListColumn* column) const;
  void Delete(int index);
  void Clear();
  TCustomListView* Owner() const { return owner_; }

 protected:
  virtual std::unique_ptr<TListColumn> CreateColumn() { return std::make_unique<TListColumn>(this); }

 private:
  TCustomListView* owner_;
  std::vector<std::unique_ptr<TListColumn>> columns_;
};

// The 8-bit sub-item texts of an item; every change goes to the window as a callback
// text, so the window asks for the text when it needs it.
class TSubItems : public TStrings {
 public:
  explicit TSubItems(TListItem* owner) : owner_(owner) {}
  std::string Get(int index) const override;
  int GetCount() const override { return static_cast<int>(items_.size()); }
  void Clear() override;
  void Delete(int index) override;
  void Insert(int index, const std::string& s) override;
  void Put(int index, const std::string& s) override;
  TObject* GetObject(int index) const override;
  void PutObject(int index, TObject* object) override;

 private:
  void CheckIndex(int index, int limit) const;
  void Refresh(int from) const;
  TListItem* owner_;
  std::vector<std::pair<std::string, TObject*>> items_;
};

// Ownership: the items collection owns its items; the window's item refers to its
// object by the item's id (the window item's lParam).
class TListItem : public TObject {
 public:
  explicit TListItem(TListItems* owner);
  ~TListItem() override;
  virtual std::string ClassName() const { return "TListItem"; }

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& value);
  TSubItems& SubItems() { return subItems_; }
  void* Data() const { return data_; }
  void SetData(void* value);
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int value);
  int Indent() const { return indent_; }
  bool Selected() const;
  void SetSelected(bool value);
  bool Focused() const;
  void SetFocused(bool value);
  // The item's place in the window (-1 once deleted).
  int Index() const;
  void Delete();
  // Starts editing the caption in place (a list view that is not read-only).
  bool EditCaption();
  virtual void Assign(const TListItem& source);

  TListItems* Owner() const { return owner_; }
  TCustomListView* ListView() const;
  std::uint32_t Id() const { return id_; }

 private:
  friend class TListItems;
  TListItems* owner_;
  std::uint32_t id_;
  mutable int indexHint_ = -1;
  std::string caption_;
  TSubItems subItems_;
  void* data_ = nullptr;
  int imageIndex_ = -1;
  int indent_ = 0;
};

class TListItems : public TObject {
 public:
  explicit TListItems(TCustomListView* owner) : owner_(owner) {}
  ~TListItems() override;
  virtual std::string ClassName() const { return "TListItems"; }
  TListItem* Add();
  TListItem* Insert(int index);
  TListItem* Item(int index) const;
  int Count() const;
  void Delete(int index);
  void Clear();
  void BeginUpdate();
  void EndUpdate();
  int IndexOf(const TListItem* item) const;
  TListItem* FindById(std::uint32_t id) const;
  TCustomListView* Owner() const { return owner_; }

 private:
  friend class TCustomListView;
  friend class TListItem;
  TListItem* InsertAt(int index);
  // Frees the object of a window item that is gone.
  void Forget(std::uint32_t id);
  TCustomListView* owner_;
  std::map<std::uint32_t, std::unique_ptr<TListItem>> items_;
  std::uint32_t nextId_ = 1;
  int updateCount_ = 0;
};

enum class TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };
enum class TSortType { stNone, stData, stText, stBoth };
enum class TItemChange { ctText, ctImage, ctState };

using TLVChangeEvent = std::function<void(TObject* sender, TListItem* item, TItemChange change)>;
using TLVColumnClickEvent = std::function<void(TObject* sender, TListColumn* column)>;
using TLVCompareEvent = std::function<void(TObject* sender, TListItem* item1, TListItem* item2, int data, int& compare)>;
using TLVEditingEvent = std::function<void(TObject* sender, TListItem* item, bool& allowEdit)>;
using TLVEditedEvent = std::function<void(TObject* sender, TListItem* item, std::string& text)>;
// The class of the items a list view makes, as a maker of items of that class.
using TListItemClass = std::function<std::unique_ptr<TListItem>(TListItems* owner)>;
using TLVCreateItemClassEvent = std::function<void(TCustomListView* sender, TListItemClass& itemClass)>;

// The compare routine of AlphaSort: the items' ids and the list view's window.
int DefaultListViewSort(LPARAM item1, LPARAM item2, LPARAM listWindow);

class TCustomListView : public TWinControl {
 public:
  explicit TCustomListView(TComponent* owner);
  ~TCustomListView() override;
  std::string ClassName() const override { return "TCustomListView"; }

  TListColumns& Columns() { return *columns_; }
  TListItems& Items() { return *items_; }
  // The first selected item, or null.
  TListItem* Selected() const;
  int SelCount() const;

  TViewStyle ViewStyle() const { return viewStyle_; }
  void SetViewStyle(TViewStyle value);
  bool RowSelect() const { return rowSelect_; }
  void SetRowSelect(bool value);
  bool ReadOnly = false;
  bool HideSelection = true;
  bool MultiSelect = false;
  TSortType SortType() const { return sortType_; }
  void SetSortType(TSortType value);
  // Orders the items by OnCompare, else by the sort type.
  bool AlphaSort();
  // Adds an item with a caption and data.
  void AddItem(const std::string& caption, void* data);
  TPopupMenu* PopupMenu = nullptr;

  TLVChangeEvent OnChange;
  TLVColumnClickEvent OnColumnClick;
  TLVCompareEvent OnCompare;
  TLVCreateItemClassEvent OnCreateItemClass;
  TLVEditingEvent OnEditing;
  TLVEditedEvent OnEdited;
  bool IsEditing() const;
  // Whether an item's caption may be edited (OnEditing).
  virtual bool CanEdit(TListItem* item);

  // Used by the items and columns.
  virtual std::unique_ptr<TListItem> CreateListItem(TListItems* owner);
  // The order of two items as AlphaSort gives it.
  virtual int CompareItems(TListItem* item1, TListItem* item2, int data);
  void UpdateColumn(int index);

 protected:
  // Replace the collections (in a derived constructor, before the window exists).
  void SetColumns(std::unique_ptr<TListColumns> columns) { columns_ = std::move(columns); }
  void SetItems(std::unique_ptr<TListItems> items) { items_ = std::move(items); }
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void Dispatch(TMessage& message) override;
  std::unique_ptr<TControlActionLink> CreateActionLink() override;
  // The answer to a window's notification (CN_NOTIFY).
  virtual void CNNotify(TMessage& message);
  virtual void Change(TListItem* item, TItemChange change);
  virtual void ColClick(TListColumn* column);
  // A caption edit ended with a text: OnEdited may change it; the item takes it.
  virtual void Edited(TListItem* item, const char* text);
  // The 8-bit text of an item's caption (0) or sub-item, as LVN_GETDISPINFOA gives it.
  std::string DisplayText(TListItem* item, int subItem) const;

 private:
  void ApplyExtendedStyle();
  std::unique_ptr<TListColumns> columns_;
  std::unique_ptr<TListItems> items_;
  TViewStyle viewStyle_ = TViewStyle::vsIcon;
  TSortType sortType_ = TSortType::stNone;
  bool rowSelect_ = false;
  // Items in window order while the window is made again.
  std::vector<std::pair<std::uint32_t, UINT>> saved_;
};

// The link of list views.
class TListViewActionLink : public TWinControlActionLink {
 public:
  using TWinControlActionLink::TWinControlActionLink;
};

class TListView : public TCustomListView {
 public:
  using TCustomListView::TCustomListView;
  std::string ClassName() const override { return "TListView"; }
};

// --- tool bar --------------------------------------------------------------------------

class TToolBar;

enum class TToolButtonStyle { tbsButton, tbsCheck, tbsDropDown, tbsSeparator, tbsDivider };

// A button of a tool bar, placed by the bar. Ownership: its owner component.
class TToolButton : public TGraphicControl {
 public:
  explicit TToolButton(TComponent* owner);
  ~TToolButton() override;
  std::string ClassName() const override { return "TToolButton"; }

  void SetParent(TWinControl* parent) override;
  void SetEnabled(bool enabled) override;
  void SetVisible(bool visible) override;
  TToolButtonStyle Style() const { return style_; }
  void SetStyle(TToolButtonStyle value);
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int value);
  bool Down() const;
  bool Grouped = false;
  TPopupMenu* DropdownMenu = nullptr;
  // A menu item the button stands for: its caption, hint, enabled and visible state.
  TMenuItem* MenuItem() const { return menuItem_; }
  virtual void SetMenuItem(TMenuItem* item);
  TToolBar* ToolBar() const { return toolBar_; }
  // The command the bar's window knows the button by.
  int Command() const { return command_; }
  // Drops DropdownMenu down under the button; false without one.
  bool CheckMenuDropdown();
  void Click() override;

 protected:
  void Dispatch(TMessage& message) override;
  void Notification(TComponent* component, TOperation operation) override;
  std::unique_ptr<TControlActionLink> CreateActionLink() override;

 private:
  friend class TToolBar;
  TToolBar* toolBar_ = nullptr;
  TToolButtonStyle style_ = TToolButtonStyle::tbsButton;
  int imageIndex_ = -1;
  int command_;
  TMenuItem* menuItem_ = nullptr;
};

// The link of tool buttons.
class TToolButtonActionLink : public TControlActionLink {
 public:
  using TControlActionLink::TControlActionLink;
};

class TToolBar : public TWinControl {
 public:
  explicit TToolBar(TComponent* owner);
  ~TToolBar() override;
  std::string ClassName() const override { return "TToolBar"; }

  int ButtonCount() const { return static_cast<int>(buttons_.size()); }
  TToolButton* Buttons(int index) const { return buttons_.at(static_cast<std::size_t>(index)); }
  int ButtonWidth() const { return buttonWidth_; }
  void SetButtonWidth(int value);
  int ButtonHeight() const { return buttonHeight_; }
  void SetButtonHeight(int value);
  bool ShowCaptions() const { return showCaptions_; }
  void SetShowCaptions(bool value);
  bool Wrapable() const { return wrapable_; }
  void SetWrapable(bool value);
  // The buttons' pictures by their ImageIndex: normal, pointed at and disabled (the
  // lists are not owned).
  TImageList* Images() const { return images_; }
  void SetImages(TImageList* value) { AttachImages(images_, value, TB_SETIMAGELIST); }
  TImageList* HotImages() const { return hotImages_; }
  void SetHotImages(TImageList* value) { AttachImages(hotImages_, value, TB_SETHOTIMAGELIST); }
  TImageList* DisabledImages() const { return disabledImages_; }
  void SetDisabledImages(TImageList* value) { AttachImages(disabledImages_, value, TB_SETDISABLEDIMAGELIST); }
  TMainMenu* Menu() const { return menu_; }
  // Makes one button per item of the menu's top level.
  virtual void SetMenu(TMainMenu* menu);
  TNotifyEvent OnResize;

  // Puts a button's current state into the window.
  void UpdateButton(TToolButton* button);

 protected:
  friend class TToolButton;
  void InsertButton(TToolButton* button);
  void RemoveButton(TToolButton* button);
  // A button made for a menu item (derived bars make their own kind).
  virtual TToolButton* CreateMenuButton();
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void Dispatch(TMessage& message) override;
  void Notification(TComponent* component, TOperation operation) override;
  // The window's record of a button (its string added with TB_ADDSTRINGA).
  TBBUTTON ButtonRecord(TToolButton* button);

 private:
  void SendButton(TToolButton* button, int index);
  void AttachImages(TImageList*& slot, TImageList* value, UINT message);
  std::vector<TToolButton*> buttons_;
  TImageList* images_ = nullptr;
  TImageList* hotImages_ = nullptr;
  TImageList* disabledImages_ = nullptr;
  int buttonWidth_ = 23;
  int buttonHeight_ = 22;
  bool showCaptions_ = false;
  bool wrapable_ = true;
  TMainMenu* menu_ = nullptr;
};

// --- page control ----------------------------------------------------------------------

class TPageControl;

class TTabSheet : public TWinControl {
 public:
  explicit TTabSheet(TComponent* owner);
  ~TTabSheet() override;
  std::string ClassName() const override { return "TTabSheet"; }
  TPageControl* PageControl() const { return pageControl_; }
  void SetPageControl(TPageControl* pageControl);
  int PageIndex() const;
  // The tab's place among the shown tabs (the same as PageIndex here).
  int TabIndex() const { return PageIndex(); }

 protected:
  void CreateParams(TCreateParams& params) override;
  void Dispatch(TMessage& message) override;

 private:
  friend class TPageControl;
  TPageControl* pageControl_ = nullptr;
};

using TTabChangingEvent = std::function<void(TObject* sender, bool& allowChange)>;

class TPageControl : public TWinControl {
 public:
  explicit TPageControl(TComponent* owner);
  ~TPageControl() override;
  std::string ClassName() const override { return "TPageControl"; }
  int PageCount() const { return static_cast<int>(pages_.size()); }
  TTabSheet* Pages(int index) const { return pages_.at(static_cast<std::size_t>(index)); }
  TTabSheet* ActivePage() const { return activePage_; }
  void SetActivePage(TTabSheet* page);
  int ActivePageIndex() const;
  TNotifyEvent OnChange;
  TTabChangingEvent OnChanging;
  // Whether the current tab may be left (OnChanging).
  virtual bool CanChange();
  virtual void Change();
  // The sheet a window tab stands for: its id in the tab's lParam.
  TTabSheet* SheetOfTab(LPARAM param) const;
  void UpdateTab(TTabSheet* page);

 protected:
  friend class TTabSheet;
  void InsertPage(TTabSheet* page);
  void RemovePage(TTabSheet* page);
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void Dispatch(TMessage& message) override;
  RECT DisplayRect();

 private:
  void SendTab(TTabSheet* page, int index, UINT message);
  void ShowActive();
  std::vector<TTabSheet*> pages_;
  TTabSheet* activePage_ = nullptr;
};

// --- up-down ---------------------------------------------------------------------------

enum class TUDBtnType { btNext, btPrev };
using TUDClickEvent = std::function<void(TObject* sender, TUDBtnType button)>;
using TUDChangingEvent = std::function<void(TObject* sender, bool& allowChange)>;

class TCustomUpDown : public TWinControl {
 public:
  explicit TCustomUpDown(TComponent* owner);
  ~TCustomUpDown() override;
  std::string ClassName() const override { return "TCustomUpDown"; }
  TWinControl* Associate() const { return associate_; }
  void SetAssociate(TWinControl* value);
  int Min() const { return min_; }
  void SetMin(int value);
  int Max() const { return max_; }
  void SetMax(int value);
  // Read from the window: the associated text's number when it is a valid one.
  int Position();
  void SetPosition(int value);
  bool ArrowKeys = true;
  bool Thousands = true;
  bool Wrap = false;
  TUDClickEvent OnClick;
  TUDChangingEvent OnChanging;

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void Dispatch(TMessage& message) override;
  void Notification(TComponent* component, TOperation operation) override;

 private:
  TWinControl* associate_ = nullptr;
  int min_ = 0;
  int max_ = 100;
  int position_ = 0;
};

class TUpDown : public TCustomUpDown {
 public:
  using TCustomUpDown::TCustomUpDown;
  std::string ClassName() const override { return "TUpDown"; }
};

// --- track bar -------------------------------------------------------------------------

enum class TTrackBarOrientation { trHorizontal, trVertical };
enum class TTickMark { tmBottomRight, tmTopLeft, tmBoth };

// A slider that the class library draws itself: a sunken channel, a tick mark per
// position and a raised thumb; Min lies at the left (horizontal) or the top (vertical).
// The arrow keys move the thumb by one, Page Up and Page Down by PageSize, Home and End
// to Min and Max; a press moves it to the nearest position and a drag follows the
// mouse. Every change of the position runs OnChange.
class TTrackBar : public TCustomControl {
 public:
  explicit TTrackBar(TComponent* owner);
  std::string ClassName() const override { return "TTrackBar"; }
  int Min() const { return min_; }
  int Max() const { return max_; }
  // Max below Min is taken as Min; the position is kept within the range.
  void SetRange(int min, int max);
  int Position() const { return position_; }
  // Clamped to the range; nothing happens when the position stays.
  void SetPosition(int value);
  int PageSize = 2;
  TTrackBarOrientation Orientation = TTrackBarOrientation::trHorizontal;
  TTickMark TickMarks = TTickMark::tmBottomRight;
  TNotifyEvent OnChange;

 protected:
  void Paint() override;
  void Dispatch(TMessage& message) override;

 private:
  // The channel's length in pixels and the place of a position along it.
  int TrackLength() const;
  int Offset(int position) const;
  int PositionAt(int x, int y) const;
  bool MoveByKey(WORD key);
  int min_ = 0;
  int max_ = 10;
  int position_ = 0;
  bool dragging_ = false;
};
