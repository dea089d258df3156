#include "controls/unicode/uni_com_ctrls.h"

#include <algorithm>

#include "controls/unicode/uni_controls.h"
#include "controls/unicode/uni_forms.h"
#include "controls/unicode/uni_system.h"
#include "platform/base/text.h"

namespace {

std::u16string Widen(const std::string& text) { return platform::AnsiToWide(text); }
std::string Narrow(const std::u16string& text) { return platform::WideToAnsi(text); }

template <typename Char>
bool IsCallbackText(const Char* text) {
  return reinterpret_cast<std::intptr_t>(text) == -1;
}

// Hands a message on to the class library's handling below the wide layer.
template <typename Handler>
LRESULT PassOn(const Handler& handler, UINT message, WPARAM wParam, LPARAM lParam) {
  TMessage m{message, wParam, lParam, 0};
  handler(m);
  return m.Result;
}

// The wide window of a wide common control: Unicode, and wide notifications.
void CreateWideCommonWindow(TWinControl* control, const TCreateParams& params, const char16_t* systemClass) {
  CreateUnicodeHandle(control, params, systemClass);
  SendMessageW(control->Handle(), CCM_SETUNICODEFORMAT, TRUE, 0);
}

// Holds a list view's update lock for one scope.
class UpdateLock {
 public:
  explicit UpdateLock(int* counter) : counter_(counter) {
    if (counter_ != nullptr) ++*counter_;
  }
  ~UpdateLock() {
    if (counter_ != nullptr && *counter_ > 0) --*counter_;
  }
  UpdateLock(const UpdateLock&) = delete;
  UpdateLock& operator=(const UpdateLock&) = delete;

 private:
  int* counter_;
};

}  // namespace

// --- columns ---------------------------------------------------------------------------

std::u16string TUniListColumn::Caption() { return GetSyncedWideString(caption_, TListColumn::Caption()); }

void TUniListColumn::SetCaption(const std::u16string& value) {
  Caption();
  SetSyncedWideString(value, caption_, TListColumn::Caption(),
                      [this](const std::string& text) { TListColumn::SetCaption(text); });
}

// --- sub-items -------------------------------------------------------------------------

template <typename Change>
void TWideSubItems::Locked(const Change& change) {
  UpdateLock lock(TUniCustomListView::UpdateLockOf(*owner_));
  change();
}

int TWideSubItems::AddObject(const std::u16string& s, TObject* object) {
  int index = 0;
  Locked([&] {
    index = TUniStringList::AddObject(s, nullptr);
    if (!IgnoreInherited) owner_->TListItem::SubItems().InsertObject(index, Narrow(s), object);
  });
  return index;
}

void TWideSubItems::InsertObject(int index, const std::u16string& s, TObject* object) {
  Locked([&] {
    TUniStringList::InsertObject(index, s, nullptr);
    if (!IgnoreInherited) owner_->TListItem::SubItems().InsertObject(index, Narrow(s), object);
  });
}

void TWideSubItems::Put(int index, const std::u16string& s) {
  Locked([&] {
    TUniStringList::Put(index, s);
    if (!IgnoreInherited) owner_->TListItem::SubItems().Put(index, Narrow(s));
  });
}

void TWideSubItems::Delete(int index) {
  Locked([&] {
    TUniStringList::Delete(index);
    if (!IgnoreInherited) owner_->TListItem::SubItems().Delete(index);
  });
}

void TWideSubItems::Clear() {
  Locked([&] {
    TUniStringList::Clear();
    if (!IgnoreInherited) owner_->TListItem::SubItems().Clear();
  });
}

TObject* TWideSubItems::GetObject(int index) const { return owner_->TListItem::SubItems().GetObject(index); }

void TWideSubItems::PutObject(int index, TObject* object) { owner_->TListItem::SubItems().PutObject(index, object); }

void TWideSubItems::SetUpdateState(bool updating) {
  TUniStringList::SetUpdateState(updating);
  owner_->TListItem::SubItems().SetUpdateState(updating);
}

// --- items -----------------------------------------------------------------------------

TUniListItem::TUniListItem(TListItems* owner) : TListItem(owner) {}

TUniListItem::~TUniListItem() = default;

std::u16string TUniListItem::Caption() { return GetSyncedWideString(caption_, TListItem::Caption()); }

void TUniListItem::SetCaption(const std::u16string& value) {
  Caption();
  UpdateLock lock(TUniCustomListView::UpdateLockOf(*this));
  SetSyncedWideString(value, caption_, TListItem::Caption(),
                      [this](const std::string& text) { TListItem::SetCaption(text); });
}

void TUniListItem::SyncSubItems() {
  TSubItems& ansi = TListItem::SubItems();
  subItems_.IgnoreInherited = true;
  for (int i = 0; i < ansi.Count(); ++i) {
    std::string text = ansi.Strings(i);
    if (i >= subItems_.Count()) {
      subItems_.Add(Widen(text));
    } else if (Narrow(subItems_.Strings(i)) != text) {
      subItems_.Put(i, Widen(text));
    }
  }
  while (subItems_.Count() > ansi.Count()) subItems_.Delete(subItems_.Count() - 1);
  subItems_.IgnoreInherited = false;
}

void TUniListItem::Assign(const TListItem& source) {
  TListItem::Assign(source);
  auto* wide = dynamic_cast<const TUniListItem*>(&source);
  if (wide == nullptr) return;
  auto& from = const_cast<TUniListItem&>(*wide);
  SetCaption(from.Caption());
  subItems_.Assign(from.SubItems());
}

// --- list view -------------------------------------------------------------------------

int UniListViewSort(LPARAM item1, LPARAM item2, LPARAM listWindow) {
  auto* view = dynamic_cast<TUniCustomListView*>(TWinControl::FindControl(static_cast<HWND>(listWindow)));
  if (view == nullptr) return 0;
  auto* a = dynamic_cast<TUniListItem*>(view->Items().FindById(static_cast<std::uint32_t>(item1)));
  auto* b = dynamic_cast<TUniListItem*>(view->Items().FindById(static_cast<std::uint32_t>(item2)));
  if (a == nullptr || b == nullptr) return 0;
  if (view->OnCompare) {
    int result = 0;
    view->OnCompare(view, a, b, 0, result);
    return result;
  }
  return platform::CompareText(a->Caption(), b->Caption(), false);
}

TUniCustomListView::TUniCustomListView(TComponent* owner) : TUniWideControl<TCustomListView>(owner) {
  SetColumns(std::make_unique<TUniListColumns>(this));
  SetItems(std::make_unique<TUniListItems>(this));
}

int* TUniCustomListView::UpdateLockOf(TListItem& item) {
  auto* view = dynamic_cast<TUniCustomListView*>(item.ListView());
  return view != nullptr ? &view->updateLock_ : nullptr;
}

TUniCustomListView::~TUniCustomListView() {
  // The window (and a label edit window that reaches this object) goes first.
  Destroying();
  DestroyHandle();
}

std::unique_ptr<TListItem> TUniCustomListView::CreateListItem(TListItems* owner) {
  TListItemClass itemClass = [](TListItems* items) { return std::make_unique<TUniListItem>(items); };
  if (OnCreateItemClass) OnCreateItemClass(this, itemClass);
  std::unique_ptr<TListItem> item = itemClass(owner);
  if (dynamic_cast<TUniListItem*>(item.get()) == nullptr) {
    throw EUniInternalError("Internal Error: OnCreateItemClass.ItemClass must inherit from TUniListItem.");
  }
  return item;
}

void TUniCustomListView::AddItem(const std::u16string& caption, void* data) {
  TUniListItem* item = Items().Add();
  item->SetCaption(caption);
  item->SetData(data);
}

void TUniCustomListView::CopySelection(TCustomListView* destination) {
  auto* wide = dynamic_cast<TUniCustomListView*>(destination);
  for (int i = 0; i < Items().Count(); ++i) {
    TUniListItem* item = Items().Item(i);
    if (!item->Selected()) continue;
    if (wide != nullptr) {
      wide->AddItem(item->Caption(), item->Data());
    } else {
      destination->AddItem(Narrow(item->Caption()), item->Data());
    }
  }
}

void TUniCustomListView::CreateWindowHandle(const TCreateParams& params) {
  CreateWideCommonWindow(this, params, WC_LISTVIEWW);
}

// The class library set an item's text (always as a callback text, which the window
// asks for in wide form): unless the wide side made the change itself, the wide
// copies follow the 8-bit texts.
void TUniCustomListView::SetItemTextA(TMessage& message) {
  auto* record = reinterpret_cast<LVITEMA*>(message.LParam);
  auto index = static_cast<int>(message.WParam);
  if (record != nullptr && updateLock_ == 0 && index >= 0 && index < Items().Count()) {
    if (auto* item = dynamic_cast<TUniListItem*>(Items().Item(index))) {
      if (record->iSubItem == 0) {
        item->Caption();
      } else {
        item->SyncSubItems();
      }
    }
  }
  if (record != nullptr && IsCallbackText(record->pszText)) {
    LVITEMW wide{};
    wide.iSubItem = record->iSubItem;
    wide.pszText = LPSTR_TEXTCALLBACKW;
    message.Result = PassOn([this](TMessage& m) { TCustomListView::WndProc(m); }, LVM_SETITEMTEXTW, message.WParam, reinterpret_cast<LPARAM>(&wide));
    return;
  }
  TCustomListView::WndProc(message);
}

LRESULT TUniCustomListView::LabelEditProc(WNDPROC previous, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_KEYDOWN || message == WM_SYSKEYDOWN) {
    auto key = static_cast<WORD>(wParam);
    KeyDown(key, KeyboardShiftState());
    if (key == 0) return 0;
    wParam = key;
  } else if (message == WM_CHAR) {
    TMessage packed{message, wParam, lParam, 0};
    MakeWMCharMsgSafeForAnsi(packed);
    char key = static_cast<char>(packed.WParam & 0xFF);
    KeyPress(key);
    if (key == 0) return 0;
  }
  return CallWindowProcW(previous, window, message, wParam, lParam);
}

void TUniCustomListView::BeginLabelEdit(TMessage& message) {
  auto* info = reinterpret_cast<NMLVDISPINFOW*>(message.LParam);
  TListItem* item = Items().FindById(static_cast<std::uint32_t>(info->item.lParam));
  if (item == nullptr || !CanEdit(item)) {
    message.Result = 1;
    return;
  }
  auto edit = static_cast<HWND>(SendMessageW(Handle(), LVM_GETEDITCONTROL, 0, 0));
  if (edit != 0) {
    auto previous = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(edit, GWL_WNDPROC));
    labelEditHook_ = std::make_unique<platform::win::WindowProcStub>(
        [this, previous](HWND window, UINT m, WPARAM w, LPARAM l) { return LabelEditProc(previous, window, m, w, l); });
    SetWindowLongPtrW(edit, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(labelEditHook_->Proc()));
  }
  message.Result = 0;
}

// A wide OnEdited gets the wide text; else the class library's gets its ANSI form, and
// only a text it changed replaces the wide one (an unchanged one keeps its characters).
void TUniCustomListView::EndLabelEdit(TMessage& message) {
  auto* info = reinterpret_cast<NMLVDISPINFOW*>(message.LParam);
  message.Result = 0;
  auto* item = dynamic_cast<TUniListItem*>(Items().FindById(static_cast<std::uint32_t>(info->item.lParam)));
  if (item == nullptr || info->item.pszText == nullptr || info->item.iItem == -1) return;
  std::u16string text = info->item.pszText;
  if (OnEdited) {
    OnEdited(this, item, text);
  } else if (TCustomListView::OnEdited) {
    std::string ansi = Narrow(text);
    std::string given = ansi;
    TCustomListView::OnEdited(this, item, ansi);
    if (ansi != given) text = Widen(ansi);
  }
  item->SetCaption(text);
}

void TUniCustomListView::WideNotify(TMessage& message) {
  auto* header = reinterpret_cast<NMHDR*>(message.LParam);
  if (header->code == LVN_BEGINLABELEDITW) return BeginLabelEdit(message);
  if (header->code == LVN_ENDLABELEDITW) return EndLabelEdit(message);
  if (header->code != LVN_GETDISPINFOW) {
    TCustomListView::WndProc(message);
    return;
  }
  auto* info = reinterpret_cast<NMLVDISPINFOW*>(message.LParam);
  // Everything but the text through the class library's ANSI handling.
  NMLVDISPINFOA ansi{};
  ansi.hdr = info->hdr;
  ansi.hdr.code = LVN_GETDISPINFOA;
  ansi.item.mask = info->item.mask & ~LVIF_TEXT;
  ansi.item.iItem = info->item.iItem;
  ansi.item.iSubItem = info->item.iSubItem;
  ansi.item.iImage = info->item.iImage;
  ansi.item.lParam = info->item.lParam;
  PassOn([this](TMessage& m) { TCustomListView::WndProc(m); }, CN_NOTIFY, message.WParam, reinterpret_cast<LPARAM>(&ansi));
  info->item.iImage = ansi.item.iImage;
  if (!(info->item.mask & LVIF_TEXT) || info->item.pszText == nullptr || info->item.cchTextMax <= 0) return;
  auto* item = dynamic_cast<TUniListItem*>(Items().FindById(static_cast<std::uint32_t>(info->item.lParam)));
  if (item == nullptr) return;
  std::u16string text;
  int subItem = info->item.iSubItem;
  if (subItem == 0) {
    text = item->Caption();
  } else if (subItem <= item->SubItems().Count()) {
    text = item->SubItems().Strings(subItem - 1);
  } else {
    return;  // past the last sub-item: nothing
  }
  std::size_t count = std::min<std::size_t>(text.size(), static_cast<std::size_t>(info->item.cchTextMax) - 1);
  std::copy_n(text.begin(), count, info->item.pszText);
  info->item.pszText[count] = 0;
}

void TUniCustomListView::WndProc(TMessage& message) {
  switch (message.Msg) {
    case LVM_SETITEMTEXTA:
      SetItemTextA(message);
      return;
    case LVM_SETCOLUMNA: {
      auto* record = reinterpret_cast<LVCOLUMNA*>(message.LParam);
      auto index = static_cast<int>(message.WParam);
      if (record == nullptr || !(record->mask & LVCF_TEXT) || index < 0 || index >= Columns().Count()) break;
      TUniListColumn* column = Columns().Items(index);
      std::string text = record->pszText != nullptr && !IsCallbackText(record->pszText) ? record->pszText : "";
      // A wide caption whose ANSI form is the new text stays.
      if (Narrow(column->caption_) != text) column->caption_ = Widen(text);
      LVCOLUMNW wide{record->mask, record->fmt, record->cx, column->caption_.data(), record->cchTextMax, record->iSubItem};
      message.Result = PassOn([this](TMessage& m) { TCustomListView::WndProc(m); }, LVM_SETCOLUMNW, message.WParam, reinterpret_cast<LPARAM>(&wide));
      return;
    }
    case LVM_SORTITEMS:
      if (message.LParam == reinterpret_cast<LPARAM>(&DefaultListViewSort)) {
        message.LParam = reinterpret_cast<LPARAM>(&UniListViewSort);
      }
      break;
    case LVM_SETEXTENDEDLISTVIEWSTYLE:
      if (SubItemImagesAndInfoTips) {
        constexpr DWORD kExtra = LVS_EX_SUBITEMIMAGES | LVS_EX_INFOTIP;
        if (message.WParam != 0) message.WParam |= kExtra;
        message.LParam |= kExtra;
      }
      break;
    case CN_NOTIFY:
      WideNotify(message);
      return;
    default:
      break;
  }
  TCustomListView::WndProc(message);
}

// --- tool bar --------------------------------------------------------------------------

void TUniToolButton::SetMenuItem(TMenuItem* item) {
  TToolButton::SetMenuItem(item);
  if (auto* wide = dynamic_cast<TUniMenuItem*>(item)) {
    SetCaption(wide->Caption());
    SetHint(wide->Hint());
  }
}

void TUniToolBar::CreateWindowHandle(const TCreateParams& params) {
  CreateWideCommonWindow(this, params, TOOLBARCLASSNAMEW);
}

void TUniToolBar::WndProc(TMessage& message) {
  if (message.Msg == TB_INSERTBUTTONA && message.LParam != 0) {
    TBBUTTON record = *reinterpret_cast<const TBBUTTON*>(message.LParam);
    for (int i = 0; i < ButtonCount(); ++i) {
      auto* button = dynamic_cast<TUniToolButton*>(Buttons(i));
      if (button == nullptr || button->Command() != record.idCommand || record.iString < 0) continue;
      // The wide caption and its terminator, then the list's empty end.
      std::u16string caption = button->Caption();
      caption.push_back(u'\0');
      record.iString = PassOn([this](TMessage& m) { TToolBar::WndProc(m); }, TB_ADDSTRINGW, 0, reinterpret_cast<LPARAM>(caption.c_str()));
      break;
    }
    message.Result = PassOn([this](TMessage& m) { TToolBar::WndProc(m); }, TB_INSERTBUTTONA, message.WParam, reinterpret_cast<LPARAM>(&record));
    return;
  }
  TToolBar::WndProc(message);
}

// --- page control ----------------------------------------------------------------------

void TUniTabSheet::CreateWindowHandle(const TCreateParams& params) { CreateUnicodeHandle(this, params, u""); }

void TUniTabSheet::WndProc(TMessage& message) {
  if (message.Msg == WM_SETTEXT && !HandleAllocated() && !settingText_ && message.LParam != 0) {
    std::string text = reinterpret_cast<const char*>(message.LParam);
    auto* helper = TWideControlHelper::Find(this);
    if (helper == nullptr || Narrow(helper->WideCaption) != text) {
      settingText_ = true;
      TWideControlHelper::For(this)->WideCaption = Widen(text);
      settingText_ = false;
    }
  }
  TTabSheet::WndProc(message);
}

void TUniPageControl::CreateWindowHandle(const TCreateParams& params) {
  CreateWideCommonWindow(this, params, WC_TABCONTROLW);
}

void TUniPageControl::SendWideTab(TMessage& message, UINT wideMessage) {
  auto* record = reinterpret_cast<const TCITEMA*>(message.LParam);
  TTabSheet* sheet = nullptr;
  if (record->mask & TCIF_PARAM) {
    sheet = SheetOfTab(record->lParam);
  } else if ((record->mask & TCIF_TEXT) && static_cast<int>(message.WParam) < PageCount()) {
    sheet = Pages(static_cast<int>(message.WParam));
  }
  std::u16string caption;
  if (auto* wide = dynamic_cast<TUniTabSheet*>(sheet)) {
    caption = wide->Caption();
  } else if (sheet != nullptr) {
    caption = Widen(sheet->Caption());
  } else if (record->pszText != nullptr) {
    caption = Widen(record->pszText);
  }
  TCITEMW wide{record->mask, record->dwState, record->dwStateMask, caption.data(), record->cchTextMax, record->iImage,
               record->lParam};
  message.Result = PassOn([this](TMessage& m) { TPageControl::WndProc(m); }, wideMessage, message.WParam, reinterpret_cast<LPARAM>(&wide));
}

// The first page whose wide caption has the key as its hot key becomes the active one.
bool TUniPageControl::DialogChar(WORD charCode) {
  for (int i = 0; i < PageCount(); ++i) {
    auto* page = dynamic_cast<TUniTabSheet*>(Pages(i));
    if (page == nullptr || !IsWideCharAccel(charCode, page->Caption())) continue;
    if (!CanChange() || !Visible() || !Enabled()) return false;
    SetActivePage(page);
    Change();
    return true;
  }
  return false;
}

void TUniPageControl::WndProc(TMessage& message) {
  switch (message.Msg) {
    case TCM_SETITEMA:
      if (message.LParam != 0) return SendWideTab(message, TCM_SETITEMW);
      break;
    case TCM_INSERTITEMA:
      if (message.LParam != 0) return SendWideTab(message, TCM_INSERTITEMW);
      break;
    case CM_DIALOGCHAR:
      if (DialogChar(static_cast<WORD>(message.WParam))) {
        message.Result = 1;
        return;
      }
      break;
    default:
      break;
  }
  TPageControl::WndProc(message);
}

// --- up-down ---------------------------------------------------------------------------

void TUniCustomUpDown::CreateWindowHandle(const TCreateParams& params) {
  CreateWideCommonWindow(this, params, UPDOWN_CLASSW);
}
