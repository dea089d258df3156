#include "controls/unicode/uni_menus.h"

#include "controls/unicode/uni_controls.h"
#include "controls/unicode/uni_forms.h"
#include "controls/unicode/uni_system.h"
#include "controls/unicode/uni_sysutils.h"
#include "controls/unicode/uni_windows.h"
#include "platform/base/errors.h"
#include "platform/base/text.h"
#include "platform/classlib/forms.h"
#include "platform/gdi/device_context.h"
#include "platform/win/message_queue.h"

namespace {

constexpr int kCheckWidth = 16;  // the class library's check area and gap before text
constexpr int kTextGap = 4;
constexpr int kShortCutInset = 10;

std::u16string AnsiForm(const std::u16string& text) { return platform::AnsiToWide(platform::WideToAnsi(text)); }

// A "(&X)" group at `at` (the Far East form of a hot key).
bool IsFarEastGroup(const std::u16string& text, std::size_t at) {
  return at + 3 < text.size() && text[at] == u'(' && text[at + 1] == u'&' && text[at + 3] == u')';
}

UINT MenuAlignment(TMenuItem* item) {
  auto* popup = dynamic_cast<TPopupMenu*>(item->GetParentMenu());
  if (popup == nullptr) return DT_LEFT;
  switch (popup->Alignment) {
    case TPopupAlignment::paRight:
      return DT_RIGHT;
    case TPopupAlignment::paCenter:
      return DT_CENTER;
    default:
      return DT_LEFT;
  }
}

int TextWidth(TCanvas& canvas, const std::u16string& text) {
  RECT rect{0, 0, 0, 0};
  canvas.RequiredState(csHandleValid | csFontValid);
  WideDrawText(canvas.Handle(), text.c_str(), static_cast<int>(text.size()), &rect,
               DT_CALCRECT | DT_NOCLIP | DT_EXPANDTABS | DT_SINGLELINE);
  return rect.right - rect.left;
}

void UpdateTree(TMenuItem* item, TMenu* menu) {
  if (item->ComponentState() & (csLoading | csDestroying)) return;
  for (int i = item->Count() - 1; i >= 0; --i) UpdateTree(item->Items(i), menu);
  if (auto* wide = dynamic_cast<TUniMenuItem*>(item)) UpdateMenuItem(wide, menu);
}

// The right-to-left fix: the first visible item of a right-to-left menu is written again.
void FixRightToLeft(TMenu* menu) {
  if (menu == nullptr || !menu->IsRightToLeft()) return;
  TMenuItem* root = menu->Items();
  for (int i = 0; i < root->Count(); ++i) {
    if (!root->Items(i)->Visible()) continue;
    if (auto* wide = dynamic_cast<TUniMenuItem*>(root->Items(i))) UpdateMenuItem(wide, menu);
    return;
  }
}

}  // namespace

void SyncHotKeyPosition(const std::u16string& source, std::u16string& dest) {
  if (AnsiForm(source) == AnsiForm(dest) || !WideSameCaptionStr(AnsiForm(source), AnsiForm(dest))) return;
  std::u16string result = WideStripHotKey(dest);
  for (std::size_t i = 0; i < source.size(); ++i) {
    if (source[i] != u'&') continue;
    if (i > 0 && IsFarEastGroup(source, i - 1)) {
      if (!IsFarEastGroup(result, i - 1)) result.insert(i - 1, source, i - 1, 4);
      i += 2;
      continue;
    }
    if (i >= result.size() || result[i] != u'&') result.insert(i, 1, u'&');
  }
  if (AnsiForm(source) != AnsiForm(result)) {
    throw EUniInternalError("Internal Error: SyncHotKeyPosition Failed (\"" + platform::WideToAnsi(source) +
                            "\" <> \"" + platform::WideToAnsi(result) + "\").");
  }
  dest = result;
}

TUniMenuItem::TUniMenuItem(TComponent* owner) : TMenuItem(owner) {}

std::u16string TUniMenuItem::Caption() {
  const std::string& ansi = TMenuItem::Caption();
  if (IsAnsiFormOf(ansi, caption_)) return caption_;
  SyncHotKeyPosition(platform::AnsiToWide(ansi), caption_);
  return GetSyncedWideString(caption_, ansi);
}

void TUniMenuItem::SetCaption(const std::u16string& value) {
  Caption();
  SetSyncedWideString(value, caption_, TMenuItem::Caption(),
                      [this](const std::string& ansi) { TMenuItem::SetCaption(ansi); });
  // A wide change that keeps the 8-bit caption still has to reach the native item.
  UpdateMenuItem(this, GetParentMenu());
}

std::u16string TUniMenuItem::Hint() { return GetSyncedWideString(hint_, TMenuItem::Hint()); }

void TUniMenuItem::SetHint(const std::u16string& value) {
  SetSyncedWideString(value, hint_, TMenuItem::Hint(), [this](const std::string& ansi) { TMenuItem::SetHint(ansi); });
}

void TUniMenuItem::ActionChange(TObject* sender, bool checkDefaults) {
  auto* action = dynamic_cast<TCustomAction*>(sender);
  if (action != nullptr && IsWideAction(action)) {
    if (!checkDefaults || Caption().empty()) SetCaption(UniActionGetCaption(action));
    if (!checkDefaults || Hint().empty()) SetHint(UniActionGetHint(action));
  }
  TMenuItem::ActionChange(sender, checkDefaults);
}

std::unique_ptr<TMenuActionLink> TUniMenuItem::CreateActionLink() {
  return std::make_unique<TUniMenuActionLink>(this);
}

bool TUniMenuActionLink::IsCaptionLinked() const {
  return TActionLink::IsCaptionLinked() && WideSameCaption(Item()->Caption(), UniActionGetCaption(Action()));
}

bool TUniMenuActionLink::IsHintLinked() const {
  return TActionLink::IsHintLinked() && Item()->Hint() == UniActionGetHint(Action());
}

void TUniMenuActionLink::SetCaption(const std::string& value) {
  if (IsCaptionLinked()) Item()->SetCaption(UniActionGetNewCaption(Action(), platform::AnsiToWide(value)));
}

void TUniMenuActionLink::SetHint(const std::string& value) {
  if (IsHintLinked()) Item()->SetHint(UniActionGetNewHint(Action(), platform::AnsiToWide(value)));
}

std::u16string WideGetMenuItemHint(TMenuItem* item) {
  if (auto* wide = dynamic_cast<TUniMenuItem*>(item)) return wide->Hint();
  return platform::AnsiToWide(item->Hint());
}

void UpdateMenuItem(TUniMenuItem* item, TMenu* menu) {
  item->KeyboardLayout = GetKeyboardLayout(0);
  TMenuItem* parent = item->Parent();
  if (parent == nullptr || menu == nullptr || (item->ComponentState() & (csLoading | csDestroying)) ||
      !item->Visible())
    return;
  HMENU parentHandle = parent->Parent() == nullptr && menu->Merged() != nullptr ? menu->Merged()->Handle()
                                                                                  : parent->Handle();
  if (parentHandle == 0) return;
  MENUITEMINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = MIIM_TYPE;
  if (!GetMenuItemInfoW(parentHandle, item->Command(), FALSE, &info)) return;
  if (info.fType & (MFT_BITMAP | MFT_OWNERDRAW | MFT_SEPARATOR)) return;
  std::u16string text = item->Caption();
  bool topLevel = parent->Parent() == nullptr;
  if (item->Count() == 0 && item->ShortCut() != scNone && !(topLevel && menu->IsMainMenu()))
    text += u"\t" + WideShortCutToText(item->ShortCut());
  char16_t current[1024];
  int length = GetMenuStringW(parentHandle, item->Command(), current, 1024, MF_BYCOMMAND);
  if (std::u16string(current, static_cast<std::size_t>(length)) == text) return;
  MENUITEMINFOW set{};
  set.cbSize = sizeof(set);
  set.fMask = MIIM_TYPE;
  set.fType = info.fType;
  set.dwTypeData = text.data();
  if (!SetMenuItemInfoW(parentHandle, item->Command(), FALSE, &set)) RaiseLastOSError();
  if ((topLevel || menu->Merged() != nullptr) && menu->IsMainMenu() && menu->WindowHandle() != 0)
    DrawMenuBar(menu->WindowHandle());
}

void TUniMenuItem::MenuChanged(bool rebuild) {
  if (IgnoreMenuChanged) return;
  TMenuItem::MenuChanged(rebuild);
  TMenu* menu = GetParentMenu();
  UpdateTree(this, menu);
  FixRightToLeft(menu);
}

void TUniMenuItem::InitiateAction() {
  if (KeyboardLayout != GetKeyboardLayout(0)) MenuChanged(false);
  TMenuItem::InitiateAction();
}

void TUniMenuItem::Loaded() {
  TMenuItem::Loaded();
  UpdateMenuItem(this, GetParentMenu());
}

void MenuWideDrawText(TCanvas& canvas, const std::u16string& text, RECT& rect, UINT flags, TOwnerDrawState state,
                      bool rightToLeft) {
  canvas.Brush().SetStyle(TBrushStyle::bsClear);
  if (rightToLeft) flags |= DT_RIGHT | DT_RTLREADING;
  std::u16string shown = (flags & DT_CALCRECT) && (text.empty() || text == u"&") ? u" " : text;
  auto draw = [&](RECT& where) {
    canvas.RequiredState(csHandleValid | csFontValid | csBrushValid);
    WideDrawText(canvas.Handle(), shown.c_str(), static_cast<int>(shown.size()), &where, flags);
  };
  bool disabled = (state & odDisabled) || (state & odGrayed);
  bool selected = (state & odSelected) != 0;
  if (disabled && !(flags & DT_CALCRECT)) {
    if (!selected) {
      RECT shifted{rect.left + 1, rect.top + 1, rect.right + 1, rect.bottom + 1};
      canvas.Font().SetColor(clBtnHighlight);
      draw(shifted);
    }
    bool highlightIsShadow = ColorToRGB(clHighlight) == ColorToRGB(clBtnShadow);
    canvas.Font().SetColor(selected && highlightIsShadow ? clBtnHighlight : clBtnShadow);
  }
  draw(rect);
}

void TUniMenuItem::AdvancedDrawItem(TCanvas& canvas, RECT rect, TOwnerDrawState state, bool topLevel) {
  TMenu* menu = GetParentMenu();
  bool ownHandler = OnAdvancedDrawItem && menu != nullptr && (menu->OwnerDraw() || menu->HasImages());
  if (IsLine() || ownHandler) {
    TMenuItem::AdvancedDrawItem(canvas, rect, state, topLevel);
    return;
  }
  // The class library draws background, check mark and image without text.
  std::u16string wideCaption = Caption();
  std::string ansiCaption = TMenuItem::Caption();
  TShortCut shortCut = ShortCut();
  IgnoreMenuChanged = true;
  TMenuItem::SetCaption(std::string());
  TMenuItem::SetShortCut(scNone);
  TMenuItem::AdvancedDrawItem(canvas, rect, state, topLevel);
  TMenuItem::SetCaption(ansiCaption);
  TMenuItem::SetShortCut(shortCut);
  caption_ = wideCaption;
  IgnoreMenuChanged = false;

  bool rightToLeft = menu != nullptr && menu->IsRightToLeft();
  UINT flags = MenuAlignment(this) | DT_EXPANDTABS | DT_SINGLELINE;
  if (state & odNoAccel) flags |= DT_HIDEPREFIX;
  if (Default()) canvas.Font().SetStyle(canvas.Font().Style() | fsBold);
  RECT textRect = rect;
  if (!topLevel) {
    if (rightToLeft) {
      textRect.right -= kCheckWidth + kTextGap;
    } else {
      textRect.left += kCheckWidth + kTextGap;
    }
  }
  RECT measured = textRect;
  MenuWideDrawText(canvas, wideCaption, measured, flags | DT_CALCRECT | DT_NOCLIP, state, rightToLeft);
  int height = measured.bottom - measured.top;
  textRect.top = rect.top + ((rect.bottom - rect.top) - height) / 2;
  textRect.bottom = textRect.top + height;
  MenuWideDrawText(canvas, wideCaption, textRect, flags, state, rightToLeft);

  if (shortCut != scNone && !topLevel && Count() == 0) {
    RECT shortRect = rect;
    shortRect.top = textRect.top;
    shortRect.bottom = textRect.bottom;
    UINT shortFlags = DT_SINGLELINE;
    if (rightToLeft) {
      shortRect.left += kShortCutInset;
      shortFlags |= DT_LEFT;
    } else {
      shortRect.right -= kShortCutInset;
      shortFlags |= DT_RIGHT;
    }
    MenuWideDrawText(canvas, WideShortCutToText(shortCut), shortRect, shortFlags, state, false);
  }
}

void TUniMenuItem::MeasureItem(TCanvas& canvas, int& width, int& height) {
  TMenuMeasureItemEvent held = std::move(OnMeasureItem);
  OnMeasureItem = nullptr;
  TMenuItem::MeasureItem(canvas, width, height);
  width += TextWidth(canvas, Caption()) - TextWidth(canvas, platform::AnsiToWide(TMenuItem::Caption()));
  if (ShortCut() != scNone) {
    width += TextWidth(canvas, WideShortCutToText(ShortCut())) -
             TextWidth(canvas, platform::AnsiToWide(ShortCutToText(ShortCut())));
  }
  OnMeasureItem = std::move(held);
  if (OnMeasureItem) OnMeasureItem(this, canvas, width, height);
}

TUniPopupList* UniPopupList = nullptr;

TUniPopupMenu::TUniPopupMenu(TComponent* owner) : TPopupMenu(owner) {
  SetItems(std::make_unique<TUniMenuItem>(nullptr));
  // Before the layer's popup list is made the menu stays in the class library's, so
  // that its clicks still reach it.
  if (UniPopupList == nullptr) return;
  TheClassLibraryPopupList().Remove(this);
  UniPopupList->Add(this);
}

TUniPopupMenu::~TUniPopupMenu() {
  if (UniPopupList == nullptr) return;
  UniPopupList->Remove(this);
  TheClassLibraryPopupList().Add(this);
}

void TUniPopupMenu::ItemsChanged(TMenuItem* item) {
  TPopupMenu::ItemsChanged(item);
  UpdateTree(Items(), this);
}

void TUniPopupMenu::Popup(int x, int y) {
  // The menu's messages go to the wide list's window while it is shown.
  struct Restore {
    ~Restore() {
      if (UniPopupList != nullptr) PopupList = UniPopupList->SavedPopupList;
    }
  } restore;
  if (UniPopupList != nullptr) PopupList = UniPopupList;
  TPopupMenu::Popup(x, y);
}

TUniPopupList::TUniPopupList() : SavedPopupList(&TheClassLibraryPopupList()) {}

void TUniPopupList::WndProc(TMessage& message) {
  if (message.Msg == WM_MENUSELECT) {
    UINT flags = HIWORD(static_cast<DWORD>(message.WParam));
    HMENU menu = static_cast<HMENU>(message.LParam);
    TMenuItem* item = nullptr;
    if (flags != 0xFFFF || menu != 0) {
      item = (flags & MF_POPUP) && menu != 0
                 ? FindItem(GetSubMenu(menu, LOWORD(static_cast<DWORD>(message.WParam))), true)
                 : FindItem(LOWORD(static_cast<DWORD>(message.WParam)), false);
    }
    if (item != nullptr) {
      if (UniApplication != nullptr) UniApplication->SetHint(WideGetLongHint(WideGetMenuItemHint(item)));
      message.Result = 0;
      return;
    }
    if (UniApplication != nullptr) UniApplication->SetHint(std::u16string());
  } else if (message.Msg == WM_ENTERMENULOOP) {
    PopupList = SavedPopupList;
    for (int i = 0; i < Count(); ++i) FixRightToLeft(Items(i));
  }
  TPopupList::WndProc(message);
}

void StartUniMenus() {
  if (UniPopupList == nullptr) UniPopupList = new TUniPopupList();
}

void FinishUniMenus() {
  delete UniPopupList;
  UniPopupList = nullptr;
}
