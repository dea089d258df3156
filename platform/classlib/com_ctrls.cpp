#include "platform/classlib/com_ctrls.h"

#include <algorithm>
#include <cstring>

#include "platform/base/text.h"
#include "platform/gdi/common_control_paint.h"
#include "platform/gdi/device_context.h"
#include "platform/gdi/frame_drawing.h"
#include "platform/gdi/window_picture.h"
#include "platform/win/atoms.h"
#include "platform/win/input.h"
#include "platform/win/keyboard.h"

void InitCommonControl(DWORD classes) {
  INITCOMMONCONTROLSEX init{sizeof(INITCOMMONCONTROLSEX), classes};
  if (!InitCommonControlsEx(&init)) RaiseLastOSError();
  platform::gdi::InstallCommonControlDrawing();
}

namespace {

char* Callback() { return LPSTR_TEXTCALLBACKA; }

void SetWindowItemText(HWND window, int index, int subItem) {
  LVITEMA item{};
  item.iSubItem = subItem;
  item.pszText = Callback();
  SendMessageA(window, LVM_SETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

}  // namespace

// --- columns ---------------------------------------------------------------------------

int TListColumn::Index() const { return collection_->IndexOf(this); }

void TListColumn::SetCaption(const std::string& value) {
  if (value == caption_) return;
  caption_ = value;
  collection_->Owner()->UpdateColumn(Index());
}

void TListColumn::SetWidth(int value) {
  if (value == width_) return;
  width_ = value;
  collection_->Owner()->UpdateColumn(Index());
}

TListColumn* TListColumns::Add() {
  columns_.push_back(CreateColumn());
  TListColumn* column = columns_.back().get();
  TCustomListView* view = owner_;
  if (view->HandleAllocated()) {
    LVCOLUMNA record{LVCF_TEXT | LVCF_WIDTH, LVCFMT_LEFT, column->Width(), const_cast<char*>(column->Caption().c_str()), 0, 0};
    SendMessageA(view->Handle(), LVM_INSERTCOLUMNA, static_cast<WPARAM>(Count() - 1), reinterpret_cast<LPARAM>(&record));
    view->UpdateColumn(Count() - 1);
  }
  return column;
}

int TListColumns::IndexOf(const TListColumn* column) const {
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    if (columns_[i].get() == column) return static_cast<int>(i);
  }
  return -1;
}

void TListColumns::Delete(int index) {
  if (index < 0 || index >= Count()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  if (owner_->HandleAllocated()) SendMessageA(owner_->Handle(), LVM_DELETECOLUMN, static_cast<WPARAM>(index), 0);
  columns_.erase(columns_.begin() + index);
}

void TListColumns::Clear() {
  while (Count() > 0) Delete(Count() - 1);
}

// --- sub-items -------------------------------------------------------------------------

void TSubItems::CheckIndex(int index, int limit) const {
  if (index < 0 || index > limit) throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
}

std::string TSubItems::Get(int index) const {
  CheckIndex(index, GetCount() - 1);
  return items_[static_cast<std::size_t>(index)].first;
}

TObject* TSubItems::GetObject(int index) const {
  CheckIndex(index, GetCount() - 1);
  return items_[static_cast<std::size_t>(index)].second;
}

void TSubItems::PutObject(int index, TObject* object) {
  CheckIndex(index, GetCount() - 1);
  items_[static_cast<std::size_t>(index)].second = object;
}

// The window asks again for the texts from sub-item `from` on (they moved or changed).
void TSubItems::Refresh(int from) const {
  TCustomListView* view = owner_->ListView();
  if (!view->HandleAllocated()) return;
  // Setting a text moves no item, so the place is looked up once.
  int index = owner_->Index();
  if (index < 0) return;
  HWND window = view->Handle();
  for (int i = from; i < GetCount(); ++i) SetWindowItemText(window, index, i + 1);
}

void TSubItems::Clear() {
  int count = GetCount();
  items_.clear();
  TCustomListView* view = owner_->ListView();
  if (!view->HandleAllocated() || owner_->Index() < 0) return;
  for (int i = 0; i < count; ++i) SetWindowItemText(view->Handle(), owner_->Index(), i + 1);
}

void TSubItems::Delete(int index) {
  CheckIndex(index, GetCount() - 1);
  items_.erase(items_.begin() + index);
  Refresh(index);
  TCustomListView* view = owner_->ListView();
  if (view->HandleAllocated() && owner_->Index() >= 0) SetWindowItemText(view->Handle(), owner_->Index(), GetCount() + 1);
}

void TSubItems::Insert(int index, const std::string& s) {
  CheckIndex(index, GetCount());
  items_.insert(items_.begin() + index, {s, nullptr});
  Refresh(index);
}

void TSubItems::Put(int index, const std::string& s) {
  CheckIndex(index, GetCount() - 1);
  items_[static_cast<std::size_t>(index)].first = s;
  TCustomListView* view = owner_->ListView();
  if (view->HandleAllocated() && owner_->Index() >= 0) SetWindowItemText(view->Handle(), owner_->Index(), index + 1);
}

// --- items -----------------------------------------------------------------------------

TListItem::TListItem(TListItems* owner) : owner_(owner), id_(0), subItems_(this) {}

TListItem::~TListItem() = default;

TCustomListView* TListItem::ListView() const { return owner_->Owner(); }

int TListItem::Index() const {
  TCustomListView* view = ListView();
  if (!view->HandleAllocated()) return -1;
  HWND window = view->Handle();
  // The place found last time is checked first: items rarely move.
  LVITEMA item{};
  item.mask = LVIF_PARAM;
  item.iItem = indexHint_;
  if (indexHint_ >= 0 && SendMessageA(window, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)) &&
      item.lParam == static_cast<LPARAM>(id_)) {
    return indexHint_;
  }
  indexHint_ = owner_->IndexOf(this);
  return indexHint_;
}

void TListItem::SetCaption(const std::string& value) {
  if (value == caption_) return;
  caption_ = value;
  TCustomListView* view = ListView();
  if (int index = Index(); index >= 0) SetWindowItemText(view->Handle(), index, 0);
  if (view->SortType() == TSortType::stText || view->SortType() == TSortType::stBoth) view->AlphaSort();
}

void TListItem::SetData(void* value) {
  if (value == data_) return;
  data_ = value;
  TCustomListView* view = ListView();
  if (view->SortType() == TSortType::stData || view->SortType() == TSortType::stBoth) view->AlphaSort();
}

void TListItem::SetImageIndex(int value) {
  if (value == imageIndex_) return;
  imageIndex_ = value;
  TCustomListView* view = ListView();
  if (!view->HandleAllocated() || Index() < 0) return;
  LVITEMA item{};
  item.mask = LVIF_IMAGE;
  item.iItem = Index();
  item.iImage = value;
  SendMessageA(view->Handle(), LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

bool TListItem::Selected() const {
  int index = Index();
  return index >= 0 && SendMessageA(ListView()->Handle(), LVM_GETITEMSTATE, static_cast<WPARAM>(index), LVIS_SELECTED) != 0;
}

void TListItem::SetSelected(bool value) {
  int index = Index();
  if (index < 0) return;
  LVITEMA item{};
  item.state = value ? LVIS_SELECTED : 0;
  item.stateMask = LVIS_SELECTED;
  SendMessageA(ListView()->Handle(), LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

bool TListItem::Focused() const {
  int index = Index();
  return index >= 0 && SendMessageA(ListView()->Handle(), LVM_GETITEMSTATE, static_cast<WPARAM>(index), LVIS_FOCUSED) != 0;
}

void TListItem::SetFocused(bool value) {
  int index = Index();
  if (index < 0) return;
  LVITEMA item{};
  item.state = value ? LVIS_FOCUSED : 0;
  item.stateMask = LVIS_FOCUSED;
  SendMessageA(ListView()->Handle(), LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

void TListItem::Delete() {
  int index = Index();
  if (index >= 0) owner_->Delete(index);
}

bool TListItem::EditCaption() {
  int index = Index();
  return index >= 0 && SendMessageA(ListView()->Handle(), LVM_EDITLABELA, static_cast<WPARAM>(index), 0) != 0;
}

void TListItem::Assign(const TListItem& source) {
  SetCaption(source.Caption());
  SetData(source.Data());
  SetImageIndex(source.ImageIndex());
  indent_ = source.Indent();
  subItems_.Assign(const_cast<TListItem&>(source).SubItems());
}

TListItems::~TListItems() = default;

TListItem* TListItems::Add() { return InsertAt(Count()); }

TListItem* TListItems::Insert(int index) { return InsertAt(index); }

TListItem* TListItems::InsertAt(int index) {
  HWND window = owner_->Handle();
  std::unique_ptr<TListItem> item = owner_->CreateListItem(this);
  item->id_ = nextId_++;
  TListItem* raw = item.get();
  // Ids only grow, so the new item belongs at the end of the map.
  items_.insert_or_assign(items_.end(), raw->id_, std::move(item));
  LVITEMA record{};
  record.mask = LVIF_TEXT | LVIF_PARAM | LVIF_IMAGE;
  record.iItem = index;
  record.pszText = Callback();
  record.iImage = raw->imageIndex_;
  record.lParam = static_cast<LPARAM>(raw->id_);
  auto at = SendMessageA(window, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&record));
  if (at < 0) {
    items_.erase(raw->id_);
    throw EOutOfResources("Unable to insert an item");
  }
  raw->indexHint_ = static_cast<int>(at);
  return raw;
}

TListItem* TListItems::FindById(std::uint32_t id) const {
  auto found = items_.find(id);
  return found == items_.end() ? nullptr : found->second.get();
}

TListItem* TListItems::Item(int index) const {
  if (!owner_->HandleAllocated()) return nullptr;
  LVITEMA record{};
  record.mask = LVIF_PARAM;
  record.iItem = index;
  if (!SendMessageA(owner_->Handle(), LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&record))) {
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  }
  TListItem* item = FindById(static_cast<std::uint32_t>(record.lParam));
  if (item != nullptr) item->indexHint_ = index;
  return item;
}

int TListItems::Count() const {
  return owner_->HandleAllocated() ? static_cast<int>(SendMessageA(owner_->Handle(), LVM_GETITEMCOUNT, 0, 0)) : 0;
}

int TListItems::IndexOf(const TListItem* item) const {
  int count = Count();
  for (int i = 0; i < count; ++i) {
    LVITEMA record{};
    record.mask = LVIF_PARAM;
    record.iItem = i;
    SendMessageA(owner_->Handle(), LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&record));
    if (record.lParam == static_cast<LPARAM>(item->id_)) return i;
  }
  return -1;
}

void TListItems::Delete(int index) {
  // The window tells of the deletion (LVN_DELETEITEM); the object goes then.
  if (!owner_->HandleAllocated() || !SendMessageA(owner_->Handle(), LVM_DELETEITEM, static_cast<WPARAM>(index), 0)) {
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  }
}

void TListItems::Clear() {
  if (owner_->HandleAllocated()) SendMessageA(owner_->Handle(), LVM_DELETEALLITEMS, 0, 0);
  items_.clear();
}

void TListItems::Forget(std::uint32_t id) { items_.erase(id); }

void TListItems::BeginUpdate() {
  if (updateCount_++ == 0 && owner_->HandleAllocated()) SendMessageA(owner_->Handle(), WM_SETREDRAW, FALSE, 0);
}

void TListItems::EndUpdate() {
  if (updateCount_ == 0) return;
  if (--updateCount_ == 0 && owner_->HandleAllocated()) {
    SendMessageA(owner_->Handle(), WM_SETREDRAW, TRUE, 0);
    owner_->Invalidate();
  }
}

// --- list view -------------------------------------------------------------------------

int DefaultListViewSort(LPARAM item1, LPARAM item2, LPARAM listWindow) {
  auto* view = dynamic_cast<TCustomListView*>(TWinControl::FindControl(static_cast<HWND>(listWindow)));
  if (view == nullptr) return 0;
  TListItem* a = view->Items().FindById(static_cast<std::uint32_t>(item1));
  TListItem* b = view->Items().FindById(static_cast<std::uint32_t>(item2));
  if (a == nullptr || b == nullptr) return 0;
  return view->CompareItems(a, b, 0);
}

TCustomListView::TCustomListView(TComponent* owner)
    : TWinControl(owner), columns_(std::make_unique<TListColumns>(this)), items_(std::make_unique<TListItems>(this)) {
  InitCommonControl(ICC_LISTVIEW_CLASSES);
  SetTabStop(true);
  SetBounds(0, 0, 250, 150);
  SetColor(clWindow);
}

TCustomListView::~TCustomListView() {
  Destroying();
  DestroyHandle();
}

std::unique_ptr<TListItem> TCustomListView::CreateListItem(TListItems* owner) {
  TListItemClass itemClass = [](TListItems* items) { return std::make_unique<TListItem>(items); };
  if (OnCreateItemClass) OnCreateItemClass(this, itemClass);
  return itemClass(owner);
}

int TCustomListView::CompareItems(TListItem* item1, TListItem* item2, int data) {
  int result = 0;
  if (OnCompare) {
    OnCompare(this, item1, item2, data, result);
    return result;
  }
  switch (sortType_) {
    case TSortType::stData:
      return std::less<void*>()(item1->Data(), item2->Data()) ? -1 : (item1->Data() == item2->Data() ? 0 : 1);
    case TSortType::stText:
    case TSortType::stBoth:
      return std::clamp(std::strcmp(item1->Caption().c_str(), item2->Caption().c_str()), -1, 1);
    default:
      return 0;
  }
}

bool TCustomListView::AlphaSort() {
  if (!HandleAllocated()) return false;
  return SendMessageA(Handle(), LVM_SORTITEMS, Handle(), reinterpret_cast<LPARAM>(&DefaultListViewSort)) != 0;
}

void TCustomListView::AddItem(const std::string& caption, void* data) {
  TListItem* item = items_->Add();
  item->SetCaption(caption);
  item->SetData(data);
}

TListItem* TCustomListView::Selected() const {
  if (!HandleAllocated()) return nullptr;
  auto* self = const_cast<TCustomListView*>(this);
  auto index = SendMessageA(self->Handle(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
  return index < 0 ? nullptr : items_->Item(static_cast<int>(index));
}

int TCustomListView::SelCount() const {
  if (!HandleAllocated()) return 0;
  return static_cast<int>(SendMessageA(const_cast<TCustomListView*>(this)->Handle(), LVM_GETSELECTEDCOUNT, 0, 0));
}

void TCustomListView::SetViewStyle(TViewStyle value) {
  if (value == viewStyle_) return;
  viewStyle_ = value;
  RecreateWnd();
}

void TCustomListView::SetRowSelect(bool value) {
  if (value == rowSelect_) return;
  rowSelect_ = value;
  ApplyExtendedStyle();
}

void TCustomListView::SetSortType(TSortType value) {
  if (value == sortType_) return;
  sortType_ = value;
  if (sortType_ != TSortType::stNone) AlphaSort();
}

void TCustomListView::ApplyExtendedStyle() {
  if (!HandleAllocated()) return;
  SendMessageA(Handle(), LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, rowSelect_ ? LVS_EX_FULLROWSELECT : 0);
}

void TCustomListView::UpdateColumn(int index) {
  if (!HandleAllocated() || index < 0) return;
  TListColumn* column = columns_->Items(index);
  LVCOLUMNA record{LVCF_TEXT | LVCF_WIDTH, LVCFMT_LEFT, column->Width(), const_cast<char*>(column->Caption().c_str()), 0, 0};
  SendMessageA(Handle(), LVM_SETCOLUMNA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&record));
}

void TCustomListView::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  CreateSubClass(params, WC_LISTVIEWA);
  static constexpr DWORD kViewStyles[] = {LVS_ICON, LVS_SMALLICON, LVS_LIST, LVS_REPORT};
  params.Style |= LVS_SHAREIMAGELISTS | kViewStyles[static_cast<int>(viewStyle_)];
  if (ReadOnly == false) params.Style |= LVS_EDITLABELS;
  if (!MultiSelect) params.Style |= LVS_SINGLESEL;
  if (!HideSelection) params.Style |= LVS_SHOWSELALWAYS;
  params.ExStyle |= WS_EX_CLIENTEDGE;
  params.WindowClass.style &= ~(CS_HREDRAW | CS_VREDRAW);
}

void TCustomListView::CreateWnd() {
  TWinControl::CreateWnd();
  HWND window = Handle();
  ApplyExtendedStyle();
  for (int i = 0; i < columns_->Count(); ++i) {
    TListColumn* column = columns_->Items(i);
    LVCOLUMNA record{LVCF_TEXT | LVCF_WIDTH, LVCFMT_LEFT, column->Width(), const_cast<char*>(column->Caption().c_str()), 0, 0};
    SendMessageA(window, LVM_INSERTCOLUMNA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&record));
    UpdateColumn(i);
  }
  // Items of a window made again come back in their order and state.
  auto saved = std::move(saved_);
  saved_.clear();
  for (const auto& [id, state] : saved) {
    TListItem* item = items_->FindById(id);
    if (item == nullptr) continue;
    LVITEMA record{};
    record.mask = LVIF_TEXT | LVIF_PARAM | LVIF_IMAGE | LVIF_STATE;
    record.iItem = items_->Count();
    record.pszText = Callback();
    record.iImage = item->ImageIndex();
    record.lParam = static_cast<LPARAM>(id);
    record.state = state;
    record.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    auto index = SendMessageA(window, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&record));
    for (int sub = 0; sub < item->SubItems().Count(); ++sub) SetWindowItemText(window, static_cast<int>(index), sub + 1);
  }
}

void TCustomListView::DestroyWnd() {
  if (!(ComponentState() & csDestroying)) {
    int count = items_->Count();
    saved_.clear();
    for (int i = 0; i < count; ++i) {
      LVITEMA record{};
      record.mask = LVIF_PARAM | LVIF_STATE;
      record.iItem = i;
      record.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
      SendMessageA(Handle(), LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&record));
      saved_.emplace_back(static_cast<std::uint32_t>(record.lParam), record.state);
    }
  }
  TWinControl::DestroyWnd();
}

std::string TCustomListView::DisplayText(TListItem* item, int subItem) const {
  if (subItem == 0) return item->Caption();
  if (subItem <= item->SubItems().Count()) return item->SubItems().Strings(subItem - 1);
  return {};
}

void TCustomListView::CNNotify(TMessage& message) {
  auto* header = reinterpret_cast<NMHDR*>(message.LParam);
  switch (header->code) {
    case LVN_GETDISPINFOA: {
      auto* info = reinterpret_cast<NMLVDISPINFOA*>(message.LParam);
      TListItem* item = items_->FindById(static_cast<std::uint32_t>(info->item.lParam));
      if (item == nullptr) item = items_->Item(info->item.iItem);
      if (item == nullptr) return;
      if ((info->item.mask & LVIF_TEXT) && info->item.pszText != nullptr && info->item.cchTextMax > 0) {
        std::string text = DisplayText(item, info->item.iSubItem);
        std::size_t count = std::min<std::size_t>(text.size(), static_cast<std::size_t>(info->item.cchTextMax) - 1);
        std::memcpy(info->item.pszText, text.data(), count);
        info->item.pszText[count] = 0;
      }
      if (info->item.mask & LVIF_IMAGE) info->item.iImage = item->ImageIndex();
      return;
    }
    case LVN_ITEMCHANGED: {
      auto* info = reinterpret_cast<NMLISTVIEW*>(message.LParam);
      TListItem* item = items_->FindById(static_cast<std::uint32_t>(info->lParam));
      if (item != nullptr && info->uChanged == LVIF_STATE) Change(item, TItemChange::ctState);
      return;
    }
    case LVN_COLUMNCLICK: {
      auto* info = reinterpret_cast<NMLISTVIEW*>(message.LParam);
      if (info->iSubItem >= 0 && info->iSubItem < columns_->Count()) ColClick(columns_->Items(info->iSubItem));
      return;
    }
    case LVN_BEGINLABELEDITA: {
      auto* info = reinterpret_cast<NMLVDISPINFOA*>(message.LParam);
      TListItem* item = items_->FindById(static_cast<std::uint32_t>(info->item.lParam));
      message.Result = item != nullptr && CanEdit(item) ? 0 : 1;
      return;
    }
    case LVN_ENDLABELEDITA: {
      // No text: the edit was cancelled and the item stays as it was.
      auto* info = reinterpret_cast<NMLVDISPINFOA*>(message.LParam);
      TListItem* item = items_->FindById(static_cast<std::uint32_t>(info->item.lParam));
      if (item != nullptr && info->item.pszText != nullptr && info->item.iItem != -1) Edited(item, info->item.pszText);
      message.Result = 0;
      return;
    }
    case LVN_DELETEITEM: {
      auto* info = reinterpret_cast<NMLISTVIEW*>(message.LParam);
      items_->Forget(static_cast<std::uint32_t>(info->lParam));
      return;
    }
    case NM_RCLICK:
      if (PopupMenu != nullptr && PopupMenu->AutoPopup) {
        POINT point;
        GetCursorPos(&point);
        PopupMenu->PopupComponent = this;
        PopupMenu->Popup(point.x, point.y);
      }
      return;
    default:
      return;
  }
}

bool TCustomListView::IsEditing() const {
  return HandleAllocated() &&
         SendMessageA(const_cast<TCustomListView*>(this)->Handle(), LVM_GETEDITCONTROL, 0, 0) != 0;
}

bool TCustomListView::CanEdit(TListItem* item) {
  bool allow = !ReadOnly;
  if (OnEditing) OnEditing(this, item, allow);
  return allow;
}

void TCustomListView::Edited(TListItem* item, const char* text) {
  std::string caption = text;
  if (OnEdited) OnEdited(this, item, caption);
  item->SetCaption(caption);
}

void TCustomListView::Change(TListItem* item, TItemChange change) {
  if (OnChange) OnChange(this, item, change);
}

void TCustomListView::ColClick(TListColumn* column) {
  if (OnColumnClick) OnColumnClick(this, column);
}

void TCustomListView::Dispatch(TMessage& message) {
  if (message.Msg == CN_NOTIFY) {
    CNNotify(message);
    return;
  }
  TWinControl::Dispatch(message);
}

// --- tool bar --------------------------------------------------------------------------

namespace {
int g_nextButtonCommand = 1;
}  // namespace

TToolButton::TToolButton(TComponent* owner) : TGraphicControl(owner), command_(g_nextButtonCommand++) {
  SetBounds(0, 0, 23, 22);
}

TToolButton::~TToolButton() {
  Destroying();
  if (toolBar_ != nullptr) toolBar_->RemoveButton(this);
}

void TToolButton::SetParent(TWinControl* parent) {
  if (toolBar_ != nullptr && toolBar_ != parent) toolBar_->RemoveButton(this);
  TGraphicControl::SetParent(parent);
  auto* bar = dynamic_cast<TToolBar*>(parent);
  if (bar != nullptr && bar != toolBar_) bar->InsertButton(this);
}

void TToolButton::SetEnabled(bool enabled) {
  TGraphicControl::SetEnabled(enabled);
  if (toolBar_ != nullptr) toolBar_->UpdateButton(this);
}

void TToolButton::SetVisible(bool visible) {
  TGraphicControl::SetVisible(visible);
  if (toolBar_ != nullptr) toolBar_->UpdateButton(this);
}

void TToolButton::SetStyle(TToolButtonStyle value) {
  if (value == style_) return;
  style_ = value;
  if (toolBar_ != nullptr) toolBar_->UpdateButton(this);
}

void TToolButton::SetImageIndex(int value) {
  if (value == imageIndex_) return;
  imageIndex_ = value;
  if (toolBar_ != nullptr) toolBar_->UpdateButton(this);
}

bool TToolButton::Down() const {
  if (toolBar_ == nullptr || !toolBar_->HandleAllocated()) return false;
  return SendMessageA(toolBar_->Handle(), TB_ISBUTTONCHECKED, static_cast<WPARAM>(command_), 0) != 0;
}

void TToolButton::SetMenuItem(TMenuItem* item) {
  if (menuItem_ != nullptr) menuItem_->RemoveFreeNotification(this);
  menuItem_ = item;
  if (item == nullptr) return;
  item->FreeNotification(this);
  SetCaption(item->Caption());
  SetHint(item->Hint());
  SetEnabled(item->Enabled());
  SetVisible(item->Visible());
}

void TToolButton::Notification(TComponent* component, TOperation operation) {
  TGraphicControl::Notification(component, operation);
  if (operation != TOperation::opRemove) return;
  if (component == menuItem_) menuItem_ = nullptr;
  if (component == DropdownMenu) DropdownMenu = nullptr;
}

bool TToolButton::CheckMenuDropdown() {
  if (DropdownMenu == nullptr || toolBar_ == nullptr || !toolBar_->HandleAllocated()) return false;
  RECT rect{};
  int index = static_cast<int>(SendMessageA(toolBar_->Handle(), TB_COMMANDTOINDEX, static_cast<WPARAM>(command_), 0));
  SendMessageA(toolBar_->Handle(), TB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&rect));
  POINT corner{rect.left, rect.bottom};
  ClientToScreen(toolBar_->Handle(), &corner);
  DropdownMenu->PopupComponent = this;
  DropdownMenu->Popup(corner.x, corner.y);
  return true;
}

void TToolButton::Click() {
  if (menuItem_ != nullptr) {
    menuItem_->Click();
    return;
  }
  TGraphicControl::Click();
}

void TToolButton::Dispatch(TMessage& message) {
  TGraphicControl::Dispatch(message);
  if (message.Msg == CM_TEXTCHANGED && toolBar_ != nullptr) toolBar_->UpdateButton(this);
}

TToolBar::TToolBar(TComponent* owner) : TWinControl(owner) {
  InitCommonControl(ICC_BAR_CLASSES);
  ControlStyle |= csAcceptsControls;
  SetBounds(0, 0, 150, 29);
}

TToolBar::~TToolBar() {
  Destroying();
  for (TToolButton* button : buttons_) button->toolBar_ = nullptr;
  DestroyHandle();
}

void TToolBar::SetButtonWidth(int value) {
  buttonWidth_ = value;
  if (HandleAllocated()) SendMessageA(Handle(), TB_SETBUTTONSIZE, 0, MAKELONG(static_cast<WORD>(buttonWidth_), static_cast<WORD>(buttonHeight_)));
}

void TToolBar::SetButtonHeight(int value) {
  buttonHeight_ = value;
  SetButtonWidth(buttonWidth_);
}

void TToolBar::SetShowCaptions(bool value) {
  if (value == showCaptions_) return;
  showCaptions_ = value;
  RecreateWnd();
}

void TToolBar::SetWrapable(bool value) {
  if (value == wrapable_) return;
  wrapable_ = value;
  if (HandleAllocated()) {
    auto style = static_cast<DWORD>(SendMessageA(Handle(), TB_GETSTYLE, 0, 0));
    SendMessageA(Handle(), TB_SETSTYLE, 0, value ? (style | TBSTYLE_WRAPABLE) : (style & ~TBSTYLE_WRAPABLE));
  }
}

TBBUTTON TToolBar::ButtonRecord(TToolButton* button) {
  TBBUTTON record{};
  record.idCommand = button->command_;
  record.iBitmap = button->imageIndex_;
  record.iString = -1;
  static constexpr BYTE kStyles[] = {TBSTYLE_BUTTON, TBSTYLE_CHECK, TBSTYLE_DROPDOWN, TBSTYLE_SEP, TBSTYLE_SEP};
  record.fsStyle = kStyles[static_cast<int>(button->style_)];
  if (button->Grouped) record.fsStyle |= TBSTYLE_GROUP;
  if (button->Enabled()) record.fsState |= TBSTATE_ENABLED;
  if (!button->Visible()) record.fsState |= TBSTATE_HIDDEN;
  if (record.fsStyle & TBSTYLE_SEP) {
    record.iBitmap = button->Width();
  } else if (showCaptions_) {
    std::string caption = button->Caption();
    if (!caption.empty()) {
      caption.push_back('\0');  // the list ends with an empty string
      record.iString = SendMessageA(Handle(), TB_ADDSTRINGA, 0, reinterpret_cast<LPARAM>(caption.c_str()));
    }
  }
  return record;
}

void TToolBar::SendButton(TToolButton* button, int index) {
  TBBUTTON record = ButtonRecord(button);
  SendMessageA(Handle(), TB_INSERTBUTTONA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&record));
}

void TToolBar::InsertButton(TToolButton* button) {
  button->toolBar_ = this;
  buttons_.push_back(button);
  if (HandleAllocated()) SendButton(button, ButtonCount() - 1);
}

void TToolBar::RemoveButton(TToolButton* button) {
  auto it = std::find(buttons_.begin(), buttons_.end(), button);
  if (it == buttons_.end()) return;
  if (HandleAllocated()) SendMessageA(Handle(), TB_DELETEBUTTON, static_cast<WPARAM>(it - buttons_.begin()), 0);
  buttons_.erase(it);
  button->toolBar_ = nullptr;
}

void TToolBar::UpdateButton(TToolButton* button) {
  auto it = std::find(buttons_.begin(), buttons_.end(), button);
  if (it == buttons_.end() || !HandleAllocated()) return;
  auto index = static_cast<int>(it - buttons_.begin());
  bool checked = button->Down();
  SendMessageA(Handle(), TB_DELETEBUTTON, static_cast<WPARAM>(index), 0);
  SendButton(button, index);
  if (checked) SendMessageA(Handle(), TB_CHECKBUTTON, static_cast<WPARAM>(button->command_), TRUE);
}

TToolButton* TToolBar::CreateMenuButton() { return new TToolButton(this); }

void TToolBar::SetMenu(TMainMenu* menu) {
  if (menu == menu_) return;
  if (menu_ != nullptr) menu_->RemoveFreeNotification(this);
  menu_ = menu;
  while (!buttons_.empty()) delete buttons_.back();
  if (menu_ == nullptr) return;
  menu_->FreeNotification(this);
  TMenuItem* root = menu_->Items();
  // Made from the last item to the first, each put in front, so the order is the menu's.
  for (int i = root->Count() - 1; i >= 0; --i) {
    TToolButton* button = CreateMenuButton();
    button->Grouped = true;
    button->SetMenuItem(root->Items(i));
    button->SetParent(this);
    auto it = std::find(buttons_.begin(), buttons_.end(), button);
    buttons_.erase(it);
    buttons_.insert(buttons_.begin(), button);
  }
  RecreateWnd();
}

void TToolBar::Notification(TComponent* component, TOperation operation) {
  TWinControl::Notification(component, operation);
  if (operation != TOperation::opRemove) return;
  if (component == menu_) menu_ = nullptr;
  if (component == images_) SetImages(nullptr);
  if (component == hotImages_) SetHotImages(nullptr);
  if (component == disabledImages_) SetDisabledImages(nullptr);
}

void TToolBar::AttachImages(TImageList*& slot, TImageList* value, UINT message) {
  if (slot != nullptr && slot != value) slot->RemoveFreeNotification(this);
  slot = value;
  if (value != nullptr) value->FreeNotification(this);
  if (HandleAllocated()) SendMessageA(Handle(), message, 0, value != nullptr ? value->Handle() : 0);
}

void TToolBar::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  CreateSubClass(params, TOOLBARCLASSNAMEA);
  params.Style |= CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS;
  if (wrapable_) params.Style |= TBSTYLE_WRAPABLE;
  if (!showCaptions_) params.Style &= ~TBSTYLE_LIST;
}

void TToolBar::CreateWnd() {
  TWinControl::CreateWnd();
  HWND window = Handle();
  SendMessageA(window, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  SendMessageA(window, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);
  SendMessageA(window, TB_SETBUTTONSIZE, 0, MAKELONG(static_cast<WORD>(buttonWidth_), static_cast<WORD>(buttonHeight_)));
  SetImages(images_);
  SetHotImages(hotImages_);
  SetDisabledImages(disabledImages_);
  for (int i = 0; i < ButtonCount(); ++i) SendButton(buttons_[static_cast<std::size_t>(i)], i);
}

void TToolBar::Dispatch(TMessage& message) {
  switch (message.Msg) {
    case CN_COMMAND: {
      int command = LOWORD(static_cast<DWORD>(message.WParam));
      for (TToolButton* button : buttons_) {
        if (button->command_ == command) {
          button->Click();
          break;
        }
      }
      return;
    }
    case CN_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(message.LParam);
      if (header->code != TBN_DROPDOWN) return;
      auto* info = reinterpret_cast<NMTOOLBARA*>(message.LParam);
      for (TToolButton* button : buttons_) {
        if (button->command_ == info->iItem) {
          button->CheckMenuDropdown();
          break;
        }
      }
      message.Result = TBDDRET_DEFAULT;
      return;
    }
    case WM_SIZE:
      TWinControl::Dispatch(message);
      if (OnResize) OnResize(this);
      return;
    default:
      TWinControl::Dispatch(message);
  }
}

// --- page control ----------------------------------------------------------------------

TTabSheet::TTabSheet(TComponent* owner) : TWinControl(owner) {
  ControlStyle |= csAcceptsControls;
  SetVisible(false);
}

TTabSheet::~TTabSheet() {
  Destroying();
  if (pageControl_ != nullptr) pageControl_->RemovePage(this);
  DestroyHandle();
}

void TTabSheet::SetPageControl(TPageControl* pageControl) {
  if (pageControl == pageControl_) return;
  if (pageControl_ != nullptr) pageControl_->RemovePage(this);
  SetParent(pageControl);
  if (pageControl != nullptr) pageControl->InsertPage(this);
}

int TTabSheet::PageIndex() const {
  if (pageControl_ == nullptr) return -1;
  for (int i = 0; i < pageControl_->PageCount(); ++i) {
    if (pageControl_->Pages(i) == this) return i;
  }
  return -1;
}

void TTabSheet::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.WindowClass.hbrBackground = 0;
}

void TTabSheet::Dispatch(TMessage& message) {
  TWinControl::Dispatch(message);
  if (message.Msg == CM_TEXTCHANGED && pageControl_ != nullptr) pageControl_->UpdateTab(this);
}

TPageControl::TPageControl(TComponent* owner) : TWinControl(owner) {
  InitCommonControl(ICC_TAB_CLASSES);
  ControlStyle |= csAcceptsControls;
  SetTabStop(true);
  SetBounds(0, 0, 289, 193);
}

TPageControl::~TPageControl() {
  Destroying();
  for (TTabSheet* page : pages_) page->pageControl_ = nullptr;
  DestroyHandle();
}

int TPageControl::ActivePageIndex() const {
  return activePage_ != nullptr ? activePage_->PageIndex() : -1;
}

TTabSheet* TPageControl::SheetOfTab(LPARAM param) const {
  for (TTabSheet* page : pages_) {
    if (static_cast<LPARAM>(page->ControlId()) == param) return page;
  }
  return nullptr;
}

void TPageControl::SendTab(TTabSheet* page, int index, UINT message) {
  std::string caption = page->Caption();
  TCITEMA item{TCIF_TEXT | TCIF_PARAM, 0, 0, caption.data(), 0, -1, static_cast<LPARAM>(page->ControlId())};
  SendMessageA(Handle(), message, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

void TPageControl::InsertPage(TTabSheet* page) {
  page->pageControl_ = this;
  pages_.push_back(page);
  if (HandleAllocated()) SendTab(page, PageCount() - 1, TCM_INSERTITEMA);
  if (activePage_ == nullptr) SetActivePage(page);
}

void TPageControl::RemovePage(TTabSheet* page) {
  auto it = std::find(pages_.begin(), pages_.end(), page);
  if (it == pages_.end()) return;
  if (HandleAllocated()) SendMessageA(Handle(), TCM_DELETEITEM, static_cast<WPARAM>(it - pages_.begin()), 0);
  pages_.erase(it);
  page->pageControl_ = nullptr;
  if (activePage_ == page) {
    activePage_ = nullptr;
    if (!pages_.empty()) SetActivePage(pages_.front());
  }
}

void TPageControl::UpdateTab(TTabSheet* page) {
  int index = page->PageIndex();
  if (index >= 0 && HandleAllocated()) SendTab(page, index, TCM_SETITEMA);
}

RECT TPageControl::DisplayRect() {
  RECT rect = ClientRect();
  if (HandleAllocated()) SendMessageA(Handle(), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&rect));
  return rect;
}

void TPageControl::ShowActive() {
  RECT display = DisplayRect();
  for (TTabSheet* page : pages_) {
    if (page == activePage_) {
      page->SetBounds(display.left, display.top, display.right - display.left, display.bottom - display.top);
      page->SetVisible(true);
    } else {
      page->SetVisible(false);
    }
  }
}

void TPageControl::SetActivePage(TTabSheet* page) {
  if (page != nullptr && page->pageControl_ != this) return;
  activePage_ = page;
  if (HandleAllocated() && page != nullptr) SendMessageA(Handle(), TCM_SETCURSEL, static_cast<WPARAM>(page->PageIndex()), 0);
  ShowActive();
}

bool TPageControl::CanChange() {
  bool allow = true;
  if (OnChanging) OnChanging(this, allow);
  return allow;
}

void TPageControl::Change() {
  if (OnChange) OnChange(this);
}

void TPageControl::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  CreateSubClass(params, WC_TABCONTROLA);
}

void TPageControl::CreateWnd() {
  TWinControl::CreateWnd();
  for (int i = 0; i < PageCount(); ++i) SendTab(pages_[static_cast<std::size_t>(i)], i, TCM_INSERTITEMA);
  if (activePage_ != nullptr) SendMessageA(Handle(), TCM_SETCURSEL, static_cast<WPARAM>(activePage_->PageIndex()), 0);
  ShowActive();
}

void TPageControl::Dispatch(TMessage& message) {
  if (message.Msg == CN_NOTIFY) {
    auto* header = reinterpret_cast<NMHDR*>(message.LParam);
    if (header->code == TCN_SELCHANGING) {
      message.Result = CanChange() ? 0 : 1;
    } else if (header->code == TCN_SELCHANGE) {
      auto index = static_cast<int>(SendMessageA(Handle(), TCM_GETCURSEL, 0, 0));
      if (index >= 0 && index < PageCount()) {
        activePage_ = pages_[static_cast<std::size_t>(index)];
        ShowActive();
      }
      Change();
    }
    return;
  }
  TWinControl::Dispatch(message);
  if (message.Msg == WM_SIZE) ShowActive();
}

// --- up-down ---------------------------------------------------------------------------

TCustomUpDown::TCustomUpDown(TComponent* owner) : TWinControl(owner) {
  InitCommonControl(ICC_UPDOWN_CLASS);
  SetBounds(0, 0, 17, 25);
}

TCustomUpDown::~TCustomUpDown() {
  Destroying();
  DestroyHandle();
}

void TCustomUpDown::SetAssociate(TWinControl* value) {
  if (value == this) throw EInvalidOperation("An up-down control cannot be associated with itself");
  if (associate_ != nullptr) associate_->RemoveFreeNotification(this);
  associate_ = value;
  if (associate_ != nullptr) associate_->FreeNotification(this);
  if (HandleAllocated()) {
    SendMessageA(Handle(), UDM_SETBUDDY, associate_ != nullptr ? associate_->Handle() : 0, 0);
  }
}

void TCustomUpDown::Notification(TComponent* component, TOperation operation) {
  TWinControl::Notification(component, operation);
  if (operation == TOperation::opRemove && component == associate_) {
    associate_ = nullptr;
    if (HandleAllocated()) SendMessageA(Handle(), UDM_SETBUDDY, 0, 0);
  }
}

void TCustomUpDown::SetMin(int value) {
  min_ = value;
  if (HandleAllocated()) SendMessageA(Handle(), UDM_SETRANGE32, static_cast<WPARAM>(min_), max_);
}

void TCustomUpDown::SetMax(int value) {
  max_ = value;
  if (HandleAllocated()) SendMessageA(Handle(), UDM_SETRANGE32, static_cast<WPARAM>(min_), max_);
}

int TCustomUpDown::Position() {
  if (HandleAllocated()) {
    // A text that is no valid number leaves the last valid position.
    position_ = static_cast<int>(SendMessageA(Handle(), UDM_GETPOS32, 0, 0));
  }
  return position_;
}

void TCustomUpDown::SetPosition(int value) {
  position_ = std::clamp(value, std::min(min_, max_), std::max(min_, max_));
  if (HandleAllocated()) SendMessageA(Handle(), UDM_SETPOS32, 0, position_);
}

void TCustomUpDown::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  CreateSubClass(params, UPDOWN_CLASSA);
  params.Style |= UDS_SETBUDDYINT | UDS_ALIGNRIGHT;
  if (ArrowKeys) params.Style |= UDS_ARROWKEYS;
  if (!Thousands) params.Style |= UDS_NOTHOUSANDS;
  if (Wrap) params.Style |= UDS_WRAP;
}

void TCustomUpDown::CreateWnd() {
  TWinControl::CreateWnd();
  HWND window = Handle();
  SendMessageA(window, UDM_SETRANGE32, static_cast<WPARAM>(min_), max_);
  SendMessageA(window, UDM_SETPOS32, 0, position_);
  if (associate_ != nullptr) SendMessageA(window, UDM_SETBUDDY, associate_->Handle(), 0);
}

void TCustomUpDown::Dispatch(TMessage& message) {
  switch (message.Msg) {
    case CN_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(message.LParam);
      if (header->code == UDN_DELTAPOS) {
        bool allow = true;
        if (OnChanging) OnChanging(this, allow);
        message.Result = allow ? 0 : 1;
      }
      return;
    }
    case CN_VSCROLL:
    case CN_HSCROLL: {
      int code = LOWORD(static_cast<DWORD>(message.WParam));
      if (code != SB_THUMBPOSITION) return;
      int old = position_;
      int fresh = Position();
      if (OnClick && fresh != old) OnClick(this, fresh > old ? TUDBtnType::btNext : TUDBtnType::btPrev);
      return;
    }
    default:
      TWinControl::Dispatch(message);
  }
}

std::unique_ptr<TControlActionLink> TCustomListView::CreateActionLink() {
  return std::make_unique<TListViewActionLink>(this);
}

std::unique_ptr<TControlActionLink> TToolButton::CreateActionLink() {
  return std::make_unique<TToolButtonActionLink>(this);
}

// --- track bar -------------------------------------------------------------------------

namespace {

// Half the thumb's length along the channel, its width across it, and the ticks.
constexpr int kThumbHalf = 5;
constexpr int kThumbWidth = 20;
constexpr int kTickLength = 4;

}  // namespace

TTrackBar::TTrackBar(TComponent* owner) : TCustomControl(owner) {
  SetTabStop(true);
  SetColor(clBtnFace);
  SetBounds(0, 0, 150, 45);
}

void TTrackBar::SetRange(int min, int max) {
  min_ = min;
  max_ = std::max(min, max);
  SetPosition(position_);  // a position now outside the range is moved into it
}

void TTrackBar::SetPosition(int value) {
  value = std::clamp(value, min_, max_);
  if (value == position_) return;
  position_ = value;
  Invalidate();
  if (OnChange) OnChange(this);
}

int TTrackBar::TrackLength() const {
  const int length = Orientation == TTrackBarOrientation::trVertical ? Height() : Width();
  return std::max(0, length - 2 * (kThumbHalf + 2));
}

int TTrackBar::Offset(int position) const {
  const int span = max_ - min_;
  const int along = span == 0 ? 0 : (position - min_) * TrackLength() / span;
  return kThumbHalf + 2 + along;
}

int TTrackBar::PositionAt(int x, int y) const {
  const int span = max_ - min_;
  const int length = TrackLength();
  if (span == 0 || length == 0) return min_;
  const int along = (Orientation == TTrackBarOrientation::trVertical ? y : x) - (kThumbHalf + 2);
  // The nearest position: rounded, not cut.
  return min_ + (std::clamp(along, 0, length) * span + length / 2) / length;
}

bool TTrackBar::MoveByKey(WORD key) {
  switch (key) {
    case VK_LEFT:
    case VK_UP: SetPosition(position_ - 1); return true;
    case VK_RIGHT:
    case VK_DOWN: SetPosition(position_ + 1); return true;
    case VK_PRIOR: SetPosition(position_ - PageSize); return true;
    case VK_NEXT: SetPosition(position_ + PageSize); return true;
    case VK_HOME: SetPosition(min_); return true;
    case VK_END: SetPosition(max_); return true;
    default: return false;
  }
}

void TTrackBar::Dispatch(TMessage& message) {
  const int x = static_cast<short>(LOWORD(static_cast<DWORD>(message.LParam)));
  const int y = static_cast<short>(HIWORD(static_cast<DWORD>(message.LParam)));
  switch (message.Msg) {
    case WM_GETDLGCODE:
      message.Result = DLGC_WANTARROWS;
      return;
    case WM_KEYDOWN: {
      auto key = static_cast<WORD>(message.WParam);
      KeyDown(key, KeyboardShiftState());
      if (key != 0 && MoveByKey(key)) return;
      if (key != 0) TCustomControl::Dispatch(message);
      return;
    }
    case WM_LBUTTONDOWN:
      if (CanFocus(this)) SetFocus();
      SetCapture(Handle());
      dragging_ = true;
      SetPosition(PositionAt(x, y));
      return;
    case WM_MOUSEMOVE:
      if (dragging_) SetPosition(PositionAt(x, y));
      return;
    case WM_LBUTTONUP:
      if (dragging_ && GetCapture() == Handle()) ReleaseCapture();
      dragging_ = false;
      return;
    case WM_CAPTURECHANGED:
      dragging_ = false;
      return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      Invalidate();
      TCustomControl::Dispatch(message);
      return;
    default:
      TCustomControl::Dispatch(message);
  }
}

void TTrackBar::Paint() {
  TCanvas& canvas = Canvas();
  const bool vertical = Orientation == TTrackBarOrientation::trVertical;
  // Along: the channel's direction; across: the other one. Rect makes a rectangle from
  // the two, so that both orientations share the drawing.
  const int across = (vertical ? Width() : Height()) / 2;
  auto rect = [vertical](int along1, int across1, int along2, int across2) {
    return vertical ? RECT{across1, along1, across2, along2} : RECT{along1, across1, along2, across2};
  };
  canvas.Brush().SetColor(Color());
  canvas.FillRect(RECT{0, 0, Width(), Height()});
  RECT channel = rect(Offset(min_) - 2, across - 2, Offset(max_) + 2, across + 2);
  DrawEdge(canvas.Handle(), &channel, EDGE_SUNKEN, BF_RECT);
  canvas.Pen().SetColor(clWindowText);
  const int tickFrom = across - kThumbWidth / 2 - 2;
  const int tickTo = across + kThumbWidth / 2 + 2;
  for (int position = min_; position <= max_; ++position) {
    const int at = Offset(position);
    auto line = [&](int from, int to) {
      const RECT r = rect(at, from, at, to);
      canvas.MoveTo(r.left, r.top);
      canvas.LineTo(vertical ? r.right : r.right + 1, vertical ? r.bottom + 1 : r.bottom);
    };
    if (TickMarks != TTickMark::tmBottomRight) line(tickFrom - kTickLength, tickFrom);
    if (TickMarks != TTickMark::tmTopLeft) line(tickTo, tickTo + kTickLength);
  }
  const int at = Offset(position_);
  RECT thumb = rect(at - kThumbHalf, across - kThumbWidth / 2, at + kThumbHalf + 1, across + kThumbWidth / 2);
  canvas.Brush().SetColor(clBtnFace);
  canvas.FillRect(thumb);
  DrawEdge(canvas.Handle(), &thumb, EDGE_RAISED, BF_RECT);
  if (Focused()) {
    const RECT focus{0, 0, Width(), Height()};
    DrawFocusRect(canvas.Handle(), &focus);
  }
}
