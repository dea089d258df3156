#include "platform/classlib/menu_items.h"

#include <algorithm>
#include <atomic>
#include <iterator>

#include "platform/base/errors.h"
#include "platform/base/text.h"
#include "platform/classlib/controls.h"
#include "platform/classlib/forms.h"
#include "platform/gdi/device_context.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/window_picture.h"
#include "platform/win/message_queue.h"

namespace {

// Commands start above the dialog ids and are never given twice.
UINT UniqueCommand() {
  static std::atomic<UINT> next{0x100};
  return next++;
}

// Geometry of drawn items, in pixels.
constexpr int kCheckWidth = 16;
constexpr int kTextGap = 4;
constexpr int kShortCutGap = 10;
constexpr int kMinHeight = 19;

// The native popups of sub-items belong to those items: they are taken out first.
void DestroyMenuKeepingChildren(HMENU menu) {
  while (GetMenuItemCount(menu) > 0) RemoveMenu(menu, 0, MF_BYPOSITION);
  DestroyMenu(menu);
}

}  // namespace

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner), command_(UniqueCommand()) {}

TMenuItem::~TMenuItem() {
  Destroying();
  actionLink_.reset();
  for (TMenuItem* child : items_) child->parent_ = nullptr;
  if (parent_ != nullptr) parent_->Remove(this);
  if (handle_ != 0) DestroyMenuKeepingChildren(handle_);
}

void TMenuItem::SetCaption(const std::string& value) {
  if (caption_ == value) return;
  caption_ = value;
  MenuChanged(true);
}

void TMenuItem::SetHint(const std::string& value) { hint_ = value; }

void TMenuItem::SetShortCut(TShortCut value) {
  if (shortCut_ == value) return;
  shortCut_ = value;
  MenuChanged(true);
}

void TMenuItem::SetChecked(bool value) {
  if (checked_ == value) return;
  checked_ = value;
  MenuChanged(false);
}

void TMenuItem::SetEnabled(bool value) {
  if (enabled_ == value) return;
  enabled_ = value;
  MenuChanged(false);
}

void TMenuItem::SetVisible(bool value) {
  if (visible_ == value) return;
  visible_ = value;
  MenuChanged(true);
}

void TMenuItem::SetDefault(bool value) {
  if (default_ == value) return;
  default_ = value;
  MenuChanged(false);
}

void TMenuItem::SetImageIndex(int value) {
  if (imageIndex_ == value) return;
  imageIndex_ = value;
  MenuChanged(true);
}

int TMenuItem::MenuIndex() const {
  if (parent_ == nullptr) return -1;
  auto& siblings = parent_->items_;
  return static_cast<int>(std::find(siblings.begin(), siblings.end(), this) - siblings.begin());
}

void TMenuItem::Add(TMenuItem* item) { Insert(Count(), item); }

void TMenuItem::Insert(int index, TMenuItem* item) {
  if (item->parent_ != nullptr) throw EMenuError("Menu inserted twice");
  if (index < 0 || index > Count()) throw EMenuError("Menu index out of range");
  items_.insert(items_.begin() + index, item);
  item->parent_ = this;
  MenuChanged(true);
}

void TMenuItem::Remove(TMenuItem* item) {
  // Looked for from the end: a menu freeing its items frees the last first.
  auto found = std::find(items_.rbegin(), items_.rend(), item);
  if (found == items_.rend()) throw EMenuError("Sub-menu is not in menu");
  items_.erase(std::next(found).base());
  item->parent_ = nullptr;
  if (!(ComponentState() & csDestroying)) MenuChanged(true);
}

HMENU TMenuItem::Handle() {
  if (parent_ == nullptr && menu_ != nullptr) return menu_->Handle();
  if (items_.empty()) return 0;
  if (handle_ == 0) {
    handle_ = CreatePopupMenu();
    RebuildHandle();
  }
  return handle_;
}

TMenu* TMenuItem::GetParentMenu() const {
  const TMenuItem* root = this;
  while (root->parent_ != nullptr) root = root->parent_;
  return root->menu_;
}

TMenuItem* TMenuItem::FindByCommand(UINT command) {
  if (command_ == command && items_.empty()) return this;
  for (TMenuItem* child : items_)
    if (TMenuItem* found = child->FindByCommand(command)) return found;
  return nullptr;
}

TMenuItem* TMenuItem::FindByHandle(HMENU handle) {
  if (handle == 0) return nullptr;
  if (handle_ == handle || (parent_ == nullptr && menu_ != nullptr && menu_->handle_ == handle)) return this;
  for (TMenuItem* child : items_)
    if (TMenuItem* found = child->FindByHandle(handle)) return found;
  return nullptr;
}

void TMenuItem::Click() {
  if (!enabled_) return;
  if (actionLink_ && actionLink_->Execute(this)) return;
  if (OnClick) OnClick(this);
}

void TMenuItem::InitiateAction() {
  if (actionLink_) actionLink_->Update();
}

TBasicAction* TMenuItem::Action() const { return actionLink_ ? actionLink_->Action() : nullptr; }

void TMenuItem::SetAction(TBasicAction* action) {
  if (action == nullptr) {
    actionLink_.reset();
    return;
  }
  if (!actionLink_) actionLink_ = CreateActionLink();
  actionLink_->SetAction(action);
  ActionChange(action, (action->ComponentState() & csLoading) != 0);
  action->FreeNotification(this);
}

std::unique_ptr<TMenuActionLink> TMenuItem::CreateActionLink() { return std::make_unique<TMenuActionLink>(this); }

void TMenuItem::ActionChange(TObject* sender, bool checkDefaults) {
  auto* action = dynamic_cast<TCustomAction*>(sender);
  if (action == nullptr) return;
  // With checkDefaults only values still at their defaults are taken.
  if (!checkDefaults || caption_.empty()) SetCaption(action->Caption());
  if (!checkDefaults || hint_.empty()) SetHint(action->Hint());
  if (!checkDefaults || enabled_) SetEnabled(action->Enabled());
  if (!checkDefaults || !checked_) SetChecked(action->Checked());
  if (!checkDefaults || visible_) SetVisible(action->Visible());
  if (!checkDefaults || imageIndex_ == -1) SetImageIndex(action->ImageIndex());
  if (!checkDefaults || shortCut_ == scNone) SetShortCut(action->ShortCut());
}

void TMenuItem::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == TOperation::opRemove && actionLink_ && component == Action()) actionLink_.reset();
}

// --- action link -------------------------------------------------------------------------

bool TMenuActionLink::IsCheckedLinked() const {
  return TActionLink::IsCheckedLinked() && client_->Checked() == CustomAction()->Checked();
}
bool TMenuActionLink::IsImageIndexLinked() const {
  return TActionLink::IsImageIndexLinked() && client_->ImageIndex() == CustomAction()->ImageIndex();
}
bool TMenuActionLink::IsShortCutLinked() const {
  return TActionLink::IsShortCutLinked() && client_->ShortCut() == CustomAction()->ShortCut();
}
void TMenuActionLink::SetChecked(bool value) {
  if (IsCheckedLinked()) client_->SetChecked(value);
}
void TMenuActionLink::SetImageIndex(int value) {
  if (IsImageIndexLinked()) client_->SetImageIndex(value);
}
void TMenuActionLink::SetShortCut(TShortCut value) {
  if (IsShortCutLinked()) client_->SetShortCut(value);
}

void TMenuItem::Loaded() {
  TComponent::Loaded();
  MenuChanged(true);
}

void TMenuItem::MenuChanged(bool rebuild) {
  // Headless the native menu is cheap to remake, so a state change rebuilds as well.
  static_cast<void>(rebuild);
  (parent_ != nullptr ? parent_ : this)->RebuildHandle();
  if (TMenu* menu = GetParentMenu()) menu->ItemsChanged(this);
}

bool ShowsShortCut(const TMenuItem* item) {
  if (item->ShortCut() == scNone || item->Count() > 0) return false;
  const TMenu* menu = item->GetParentMenu();
  bool topLevel = item->Parent() != nullptr && item->Parent()->Parent() == nullptr;
  return !(topLevel && menu != nullptr && menu->IsMainMenu());
}

void TMenuItem::AppendNative(HMENU target) {
  TMenu* menu = GetParentMenu();
  bool ownerDraw = menu != nullptr && (menu->OwnerDraw() || (menu->HasImages() && imageIndex_ >= 0));
  std::u16string text = platform::AnsiToWide(caption_);
  if (ShowsShortCut(this)) text += u"\t" + platform::AnsiToWide(ShortCutToText(shortCut_));
  MENUITEMINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = MIIM_TYPE | MIIM_STATE | MIIM_ID | MIIM_DATA;
  info.fType = IsLine() ? MFT_SEPARATOR : (ownerDraw ? MFT_OWNERDRAW : MFT_STRING);
  if (menu != nullptr && menu->IsRightToLeft()) info.fType |= MFT_RIGHTORDER;
  info.fState = (checked_ ? MFS_CHECKED : 0) | (enabled_ ? 0 : MFS_GRAYED) | (default_ ? MFS_DEFAULT : 0);
  info.wID = command_;
  info.dwItemData = command_;
  info.dwTypeData = (info.fType & (MFT_SEPARATOR | MFT_OWNERDRAW)) ? nullptr : text.data();
  if (HMENU sub = Handle()) {
    info.fMask |= MIIM_SUBMENU;
    info.hSubMenu = sub;
  }
  InsertMenuItemW(target, static_cast<UINT>(GetMenuItemCount(target)), TRUE, &info);
}

void TMenuItem::RebuildHandle() {
  HMENU target = (parent_ == nullptr && menu_ != nullptr) ? menu_->handle_ : handle_;
  if (target == 0) return;
  while (GetMenuItemCount(target) > 0) RemoveMenu(target, 0, MF_BYPOSITION);
  for (TMenuItem* child : items_) {
    if (child->handle_ != 0) child->RebuildHandle();
    if (child->visible_) child->AppendNative(target);
  }
}

void TMenuItem::DrawItemText(TCanvas& canvas, RECT rect, const std::string& text, UINT format,
                             TOwnerDrawState state) {
  canvas.Brush().SetStyle(TBrushStyle::bsClear);
  std::u16string wide = platform::AnsiToWide(text);
  if ((state & odDisabled) && !(state & odSelected)) {
    RECT shifted{rect.left + 1, rect.top + 1, rect.right + 1, rect.bottom + 1};
    canvas.Font().SetColor(clBtnHighlight);
    canvas.RequiredState(csHandleValid | csFontValid | csBrushValid);
    DrawTextW(canvas.Handle(), wide.c_str(), static_cast<int>(wide.size()), &shifted, format);
    canvas.Font().SetColor(clBtnShadow);
  }
  canvas.RequiredState(csHandleValid | csFontValid | csBrushValid);
  DrawTextW(canvas.Handle(), wide.c_str(), static_cast<int>(wide.size()), &rect, format);
}

void TMenuItem::AdvancedDrawItem(TCanvas& canvas, RECT rect, TOwnerDrawState state, bool topLevel) {
  if (OnAdvancedDrawItem) {
    OnAdvancedDrawItem(this, canvas, rect, state);
    return;
  }
  bool selected = (state & odSelected) != 0;
  canvas.Brush().SetStyle(TBrushStyle::bsSolid);
  canvas.Brush().SetColor(selected ? clHighlight : clMenu);
  canvas.FillRect(rect);
  canvas.Font().SetColor(selected ? clHighlightText : clMenuText);
  if (IsLine()) {
    int middle = (rect.top + rect.bottom) / 2;
    canvas.Pen().SetColor(clBtnShadow);
    canvas.MoveTo(rect.left, middle - 1);
    canvas.LineTo(rect.right, middle - 1);
    canvas.Pen().SetColor(clBtnHighlight);
    canvas.MoveTo(rect.left, middle);
    canvas.LineTo(rect.right, middle);
    return;
  }
  if (checked_ && !topLevel) {
    // A check mark drawn as two strokes in the check area.
    int x = rect.left + 4, y = (rect.top + rect.bottom) / 2;
    canvas.Pen().SetColor(canvas.Font().Color());
    canvas.MoveTo(x, y);
    canvas.LineTo(x + 3, y + 3);
    canvas.LineTo(x + 9, y - 3);
  }
  if (default_) canvas.Font().SetStyle(canvas.Font().Style() | fsBold);
  RECT textRect = rect;
  if (!topLevel) textRect.left += kCheckWidth + kTextGap;
  UINT format = DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_EXPANDTABS;
  if (state & odNoAccel) format |= DT_HIDEPREFIX;
  if (!caption_.empty()) DrawItemText(canvas, textRect, caption_, format, state);
  if (ShowsShortCut(this) && !topLevel) {
    RECT shortRect = rect;
    shortRect.right -= kShortCutGap;
    DrawItemText(canvas, shortRect, ShortCutToText(shortCut_), DT_RIGHT | DT_VCENTER | DT_SINGLELINE, state);
  }
}

void TMenuItem::MeasureItem(TCanvas& canvas, int& width, int& height) {
  if (IsLine()) {
    width = 0;
    height = 8;
  } else {
    SIZE text = canvas.TextExtent(caption_.empty() ? " " : caption_);
    width = kCheckWidth + kTextGap + text.cx;
    if (ShowsShortCut(this)) width += kShortCutGap * 2 + canvas.TextExtent(ShortCutToText(shortCut_)).cx;
    height = std::max(kMinHeight, static_cast<int>(text.cy) + 4);
  }
  if (OnMeasureItem) OnMeasureItem(this, canvas, width, height);
}

TMenu::TMenu(TComponent* owner) : TComponent(owner) { SetItems(std::make_unique<TMenuItem>(nullptr)); }

TMenu::~TMenu() {
  Destroying();
  items_.reset();
  if (handle_ != 0) DestroyMenuKeepingChildren(handle_);
}

void TMenu::SetItems(std::unique_ptr<TMenuItem> items) {
  items_ = std::move(items);
  items_->menu_ = this;
}

HMENU TMenu::Handle() {
  if (handle_ == 0) {
    handle_ = CreateNative();
    items_->RebuildHandle();
  }
  return handle_;
}

void TMenu::SetOwnerDraw(bool value) {
  ownerDraw_ = value;
  ItemsChanged(nullptr);
}

void TMenu::SetHasImages(bool value) {
  hasImages_ = value;
  ItemsChanged(nullptr);
}

void TMenu::SetWindowHandle(HWND window) {
  window_ = window;
  if (window != 0) SetMenu(window, Handle());
}

bool TMenu::DispatchCommand(UINT command) {
  TMenuItem* item = items_->FindByCommand(command);
  if (item == nullptr || item == items_.get()) return false;
  item->Click();
  return true;
}

void TMenu::ItemsChanged(TMenuItem* item) {
  if (item == nullptr && handle_ != 0) items_->RebuildHandle();
  if (window_ != 0) DrawMenuBar(window_);
  if (OnChange) OnChange(this);
}

TPopupMenu::TPopupMenu(TComponent* owner) : TMenu(owner) { TheClassLibraryPopupList().Add(this); }

TPopupMenu::~TPopupMenu() {
  // A menu that outlives the list (a static one, freed after it at process end) has
  // nothing to leave.
  if (PopupList != nullptr) PopupList->Remove(this);
}

void TPopupMenu::Popup(int x, int y) {
  if (OnPopup) OnPopup(this);
  UINT align = Alignment == TPopupAlignment::paRight    ? TPM_RIGHTALIGN
               : Alignment == TPopupAlignment::paCenter ? TPM_CENTERALIGN
                                                        : TPM_LEFTALIGN;
  HWND window = PopupList->Window();
  TrackPopupMenu(Items()->Handle(), align | TPM_RIGHTBUTTON, x, y, 0, window, nullptr);
  // The pick arrives as a posted command; it is carried out before Popup returns.
  MSG msg;
  while (PeekMessageW(&msg, window, WM_COMMAND, WM_COMMAND, PM_REMOVE)) DispatchMessageW(&msg);
}

TPopupList* PopupList = nullptr;

TPopupList& TheClassLibraryPopupList() {
  static TPopupList list;
  if (PopupList == nullptr) PopupList = &list;
  return list;
}

TPopupList::TPopupList() = default;

TPopupList::~TPopupList() {
  if (window_ != 0) DeallocateHWnd(window_);
  if (PopupList == this) PopupList = nullptr;
}

HWND TPopupList::Window() {
  if (window_ == 0) window_ = AllocateHWnd([this](TMessage& message) { WndProc(message); });
  return window_;
}

void TPopupList::Add(TPopupMenu* menu) { menus_.push_back(menu); }

void TPopupList::Remove(TPopupMenu* menu) { std::erase(menus_, menu); }

TMenuItem* TPopupList::FindItem(UINT commandOrHandle, bool byHandle) const {
  for (TPopupMenu* menu : menus_) {
    TMenuItem* root = menu->Items();
    TMenuItem* found = byHandle ? root->FindByHandle(commandOrHandle) : root->FindByCommand(commandOrHandle);
    if (found != nullptr) return found;
  }
  return nullptr;
}

void TPopupList::WndProc(TMessage& message) {
  switch (message.Msg) {
    case WM_COMMAND:
      for (TPopupMenu* menu : menus_)
        if (menu->DispatchCommand(LOWORD(static_cast<DWORD>(message.WParam)))) return;
      break;
    case WM_INITMENUPOPUP:
      if (TMenuItem* item = FindItem(static_cast<HMENU>(message.WParam), true)) {
        for (int i = 0; i < item->Count(); ++i) item->Items(i)->InitiateAction();
        return;
      }
      break;
    case WM_MENUSELECT: {
      if (Application == nullptr) break;
      UINT flags = HIWORD(static_cast<DWORD>(message.WParam));
      HMENU menu = static_cast<HMENU>(message.LParam);
      TMenuItem* item = nullptr;
      if ((flags & MF_POPUP) && menu != 0) {
        item = FindItem(GetSubMenu(menu, LOWORD(static_cast<DWORD>(message.WParam))), true);
      } else if (flags != 0xFFFF) {
        item = FindItem(LOWORD(static_cast<DWORD>(message.WParam)), false);
      }
      Application->SetHint(item != nullptr ? GetLongHint(item->Hint()) : std::string());
      return;
    }
    case WM_MEASUREITEM: {
      auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(message.LParam);
      if (measure->CtlType != ODT_MENU) break;
      if (TMenuItem* item = FindItem(measure->itemID, false)) {
        HDC dc = GetDC(0);
        TCanvas canvas;
        canvas.SetHandle(dc);
        int width = static_cast<int>(measure->itemWidth), height = static_cast<int>(measure->itemHeight);
        item->MeasureItem(canvas, width, height);
        canvas.SetHandle(0);
        ReleaseDC(0, dc);
        measure->itemWidth = static_cast<UINT>(width);
        measure->itemHeight = static_cast<UINT>(height);
        message.Result = TRUE;
        return;
      }
      break;
    }
    case WM_DRAWITEM: {
      auto* draw = reinterpret_cast<DRAWITEMSTRUCT*>(message.LParam);
      if (draw->CtlType != ODT_MENU) break;
      if (TMenuItem* item = FindItem(draw->itemID, false)) {
        TCanvas canvas;
        canvas.SetHandle(draw->hDC);
        bool topLevel = item->Parent() != nullptr && item->Parent()->Parent() == nullptr &&
                        item->GetParentMenu() != nullptr && item->GetParentMenu()->IsMainMenu();
        item->AdvancedDrawItem(canvas, draw->rcItem, draw->itemState, topLevel);
        canvas.SetHandle(0);
        message.Result = TRUE;
        return;
      }
      break;
    }
    default:
      break;
  }
  message.Result = DefWindowProcW(window_, message.Msg, message.WParam, message.LParam);
}
