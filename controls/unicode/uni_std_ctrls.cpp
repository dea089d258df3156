#include "controls/unicode/uni_std_ctrls.h"

#include <algorithm>

#include "controls/unicode/uni_forms.h"
#include "controls/unicode/uni_system.h"
#include "controls/unicode/uni_windows.h"
#include "platform/base/clock.h"
#include "platform/base/text.h"
#include "platform/classlib/forms.h"

namespace {

constexpr UINT WM_IME_CHAR = 0x0286;
// Two keys further apart than this start a new search of a drop-down list.
constexpr DWORD kAutoCompleteDelay = 1250;

std::u16string Widen(const std::string& text) { return platform::AnsiToWide(text); }

// The 8-bit form of a password character as the class library keeps it.
char AnsiPasswordChar(char16_t ch) { return ch < 256 ? static_cast<char>(ch) : '*'; }

bool DialogCharMatches(const TMessage& message, const std::u16string& caption) {
  return IsWideCharAccel(static_cast<WORD>(message.WParam), caption);
}

}  // namespace

// --- edit ------------------------------------------------------------------------------------

void TUniCustomEdit::CreateWindowHandle(const TCreateParams& params) { CreateUnicodeHandle(this, params, u"EDIT"); }

void TUniCustomEdit::CreateWnd() {
  TCustomEdit::CreateWnd();
  SendMessageW(Handle(), EM_SETPASSWORDCHAR, PasswordChar(), 0);
}

char16_t TUniCustomEdit::PasswordChar() {
  char ansi = TCustomEdit::PasswordChar();
  if (AnsiPasswordChar(passwordChar_) != ansi) passwordChar_ = static_cast<unsigned char>(ansi);
  return passwordChar_;
}

void TUniCustomEdit::SetPasswordChar(char16_t value) {
  if (value == PasswordChar()) return;
  passwordChar_ = value;
  // The library must not send its 8-bit character to the Unicode window.
  HWND handle = HandleAllocated() ? Handle() : 0;
  SetHandleField(0);
  TCustomEdit::SetPasswordChar(AnsiPasswordChar(value));
  SetHandleField(handle);
  if (handle != 0) {
    SendMessageW(handle, EM_SETPASSWORDCHAR, value, 0);
    Invalidate();
  }
}

std::u16string TUniCustomEdit::SelText() {
  return Text().substr(static_cast<std::size_t>(SelStart()), static_cast<std::size_t>(SelLength()));
}

// --- combo box items -------------------------------------------------------------------------

std::u16string TUniComboBoxStrings::Get(int index) const {
  HWND handle = comboBox_->Handle();
  if (!IsWindowUnicode(handle)) return Widen(comboBox_->AnsiItems().Strings(index));
  LRESULT length = SendMessageW(handle, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length == CB_ERR) return {};
  std::u16string text(static_cast<std::size_t>(length) + 1, u'\0');
  if (SendMessageW(handle, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data())) == CB_ERR) {
    return {};
  }
  return text.substr(0, text.find(u'\0'));
}

int TUniComboBoxStrings::GetCount() const { return comboBox_->AnsiItems().Count(); }

void TUniComboBoxStrings::Clear() {
  std::u16string text = comboBox_->Text();
  SendMessageW(comboBox_->Handle(), CB_RESETCONTENT, 0, 0);
  comboBox_->SetText(text);
  comboBox_->Update();
}

void TUniComboBoxStrings::Delete(int index) { comboBox_->AnsiItems().Delete(index); }

void TUniComboBoxStrings::Insert(int index, const std::u16string& s) {
  HWND handle = comboBox_->Handle();
  if (!IsWindowUnicode(handle)) {
    comboBox_->AnsiItems().Insert(index, platform::WideToAnsi(s));
    return;
  }
  if (SendMessageW(handle, CB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(s.c_str())) < 0) {
    throw EOutOfResources("Unable to insert a line");
  }
}

int TUniComboBoxStrings::Add(const std::u16string& s) {
  HWND handle = comboBox_->Handle();
  if (!IsWindowUnicode(handle)) return comboBox_->AnsiItems().Add(platform::WideToAnsi(s));
  LRESULT index = SendMessageW(handle, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s.c_str()));
  if (index < 0) throw EOutOfResources("Unable to insert a line");
  return static_cast<int>(index);
}

int TUniComboBoxStrings::IndexOf(const std::u16string& s) const {
  HWND handle = comboBox_->Handle();
  if (!IsWindowUnicode(handle)) return comboBox_->AnsiItems().IndexOf(platform::WideToAnsi(s));
  return static_cast<int>(SendMessageW(handle, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(s.c_str())));
}

TObject* TUniComboBoxStrings::GetObject(int index) const { return comboBox_->AnsiItems().Objects(index); }
void TUniComboBoxStrings::PutObject(int index, TObject* object) { comboBox_->AnsiItems().PutObject(index, object); }
void TUniComboBoxStrings::SetUpdateState(bool updating) { comboBox_->AnsiItems().SetUpdateState(updating); }

// --- combo box -------------------------------------------------------------------------------

TUniCustomComboBox::TUniCustomComboBox(TComponent* owner)
    : TUniWideControl(owner), items_(std::make_unique<TUniComboBoxStrings>(this)) {}

TUniCustomComboBox::~TUniCustomComboBox() {
  Destroying();
  DestroyHandle();
  items_.reset();
  savedItems_.reset();
}

void TUniCustomComboBox::CreateWindowHandle(const TCreateParams& params) {
  CreateUnicodeHandle(this, params, u"COMBOBOX");
}

bool TUniCustomComboBox::IsListStyle() const {
  return Style() == csDropDownList || Style() == csOwnerDrawFixed || Style() == csOwnerDrawVariable;
}

void TUniCustomComboBox::DestroyWnd() {
  if (ComponentState() & csDestroying) {
    TCustomComboBox::DestroyWnd();
    return;
  }
  savedText_ = Text();
  hasSavedText_ = true;
  int count = items_->Count();
  if (count > 0) {
    savedItems_ = std::make_unique<TUniStringList>();
    for (int i = 0; i < count; ++i) savedItems_->AddObject(items_->Strings(i), items_->Objects(i));
    savedIndex_ = ItemIndex();
    // The wide copy carries the items over; the library's 8-bit copy would double them.
    SendMessageW(Handle(), CB_RESETCONTENT, 0, 0);
  }
  TCustomComboBox::DestroyWnd();
  TWideControlHelper::For(this)->WideCaption = savedText_;
  TControl::SetText(platform::WideToAnsi(savedText_));
}

void TUniCustomComboBox::CreateWnd() {
  std::string ansiText = TControl::Text();
  TCustomComboBox::CreateWnd();
  HWND edit = EditHandle(), list = ListHandle();
  for (HWND part : {edit, list}) {
    // Setting a procedure through the wide call makes the part a Unicode window.
    if (part != 0 && !IsWindowUnicode(part)) SetWindowLongPtrW(part, GWL_WNDPROC, GetWindowLongPtrW(part, GWL_WNDPROC));
  }
  if (edit != 0) {
    editStub_ = std::make_unique<platform::win::WindowProcStub>(
        [this](HWND window, UINT message, WPARAM wParam, LPARAM lParam) { return EditWndProc(window, message, wParam, lParam); });
    editPrevProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(edit, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(editStub_->Proc())));
  }
  if (savedItems_) {
    for (int i = 0; i < savedItems_->Count(); ++i) items_->AddObject(savedItems_->Strings(i), savedItems_->Objects(i));
    savedItems_.reset();
    if (savedIndex_ >= 0) {
      SendMessageW(Handle(), CB_SETCURSEL, static_cast<WPARAM>(std::min(savedIndex_, items_->Count() - 1)), 0);
    }
  }
  SetText(hasSavedText_ ? savedText_ : Widen(ansiText));
  hasSavedText_ = false;
}

std::u16string TUniCustomComboBox::SelText() {
  if (IsListStyle()) return {};
  return Text().substr(static_cast<std::size_t>(SelStart()), static_cast<std::size_t>(SelLength()));
}

void TUniCustomComboBox::KeyPress(char& key) {
  // The layer's auto-complete takes the place of the library's.
  bool autoComplete = AutoComplete;
  AutoComplete = false;
  TCustomComboBox::KeyPress(key);
  AutoComplete = autoComplete;
}

bool TUniCustomComboBox::AutoCompleteSearch(const std::u16string& text) {
  auto found = static_cast<int>(
      SendMessageW(Handle(), CB_FINDSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text.c_str())));
  if (found == CB_ERR) return false;
  std::u16string item = items_->Strings(found);
  bool changed = Style() == csDropDown ? item != Text() : found != ItemIndex();
  if (AutoCloseUp && items_->IndexOf(text) != -1 && DroppedDown()) SetDroppedDown(false);
  SendMessageW(Handle(), CB_SETCURSEL, static_cast<WPARAM>(found), 0);
  if (!IsListStyle()) {
    SetText(text + item.substr(std::min(text.size(), item.size())));
    SetSelStart(static_cast<int>(text.size()));
    SetSelLength(static_cast<int>(item.size()) - static_cast<int>(text.size()));
  }
  if (changed) {
    Change();
    Select();
  }
  return true;
}

void TUniCustomComboBox::DropDownListChar(TMessage& message) {
  char16_t ch = GetWideCharFromWMCharMsg(message);
  switch (ch) {
    case VK_BACK:
      if (!filter_.empty()) filter_.pop_back();
      return;
    case VK_TAB:
      if (AutoDropDown && DroppedDown()) SetDroppedDown(false);
      return;
    case VK_ESCAPE:
      return;
    default:
      break;
  }
  if (AutoDropDown && !DroppedDown()) SetDroppedDown(true);
  DWORD now = GetTickCount();
  if (now - lastKeyTick_ >= kAutoCompleteDelay) filter_.clear();
  lastKeyTick_ = now;
  if (AutoCompleteSearch(filter_ + ch)) {
    filter_ += ch;
    message.WParam = 0;
  }
}

bool TUniCustomComboBox::EditChar(char16_t& ch) {
  // The key press events see the character packed for 8-bit handlers.
  TMessage packed{WM_CHAR, ch, 0, 0};
  MakeWMCharMsgSafeForAnsi(packed);
  char key = static_cast<char>(packed.WParam & 0xFF);
  KeyPress(key);
  if (key == 0) return true;
  if (key != static_cast<char>(packed.WParam & 0xFF)) ch = Widen(std::string(1, key))[0];
  if (AutoComplete) {
    if (ch == VK_TAB) {
      if (AutoDropDown && DroppedDown()) SetDroppedDown(false);
    } else if (ch != VK_BACK && ch != VK_ESCAPE) {
      if (AutoDropDown && !DroppedDown()) {
        std::u16string text = Text();
        int start = SelStart(), length = SelLength();
        SetDroppedDown(true);
        SetText(text);
        SetSelStart(start);
        SetSelLength(length);
      }
      int start = SelStart();
      if (start + SelLength() == static_cast<int>(Text().size()) &&
          AutoCompleteSearch(Text().substr(0, static_cast<std::size_t>(start)) + ch)) {
        return true;
      }
    }
  }
  if ((ch == VK_RETURN || ch == VK_ESCAPE) && DroppedDown()) {
    SetDroppedDown(false);
    return true;
  }
  return false;
}

LRESULT TUniCustomComboBox::EditWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    if (message == WM_CHAR) {
      char16_t ch = static_cast<char16_t>(wParam & 0xFFFF);
      if (EditChar(ch)) return 0;
      wParam = ch;
    } else if (message == WM_IME_CHAR && IsWindowUnicode(window)) {
      return SendMessageW(window, WM_CHAR, wParam, lParam);
    }
  } catch (const Exception& error) {
    if (Application == nullptr) throw;
    Application->HandleException(this, error);
    return 0;
  }
  return CallWindowProcW(editPrevProc_, window, message, wParam, lParam);
}

void TUniCustomComboBox::CopySelection(TCustomListControl* destination) {
  int index = ItemIndex();
  if (index != -1) WideListControlAddItem(destination, items_->Strings(index), items_->Objects(index));
}

void TUniCustomComboBox::DrawItem(int index, const RECT& rect, UINT state) {
  if (OnDrawItem) {
    OnDrawItem(this, index, rect, state);
    return;
  }
  Canvas().FillRect(rect);
  if (index >= 0) WideCanvasTextOut(Canvas(), rect.left + 2, rect.top, items_->Strings(index));
}

void TUniCustomComboBox::Dispatch(TMessage& message) {
  if (message.Msg == CN_COMMAND && HIWORD(static_cast<DWORD>(message.WParam)) == CBN_SELCHANGE) {
    int index = ItemIndex();
    SetText(index >= 0 ? items_->Strings(index) : u"");
    Change();
    Select();
    return;
  }
  if (message.Msg == WM_CHAR && AutoComplete && IsListStyle()) {
    DropDownListChar(message);
    if (message.WParam == 0) return;
  }
  TUniWideControl::Dispatch(message);
}

// --- label -----------------------------------------------------------------------------------

void TUniCustomLabel::DoDrawText(RECT& rect, UINT flags) {
  std::u16string text = Caption();
  if ((flags & DT_CALCRECT) && (text.empty() || (ShowAccelChar() && text == u"&"))) text += u' ';
  if (!ShowAccelChar()) flags |= DT_NOPREFIX;
  TCanvas& canvas = Canvas();
  canvas.Font().Assign(&Font());
  canvas.RequiredState(csHandleValid | csFontValid);
  HDC dc = canvas.Handle();
  if (EllipsisPosition != epNone && !AutoSize()) {
    static constexpr UINT kEllipsis[] = {0, DT_PATH_ELLIPSIS, DT_END_ELLIPSIS, DT_WORD_ELLIPSIS};
    flags = (flags & ~(DT_EXPANDTABS | DT_CALCRECT)) | kEllipsis[EllipsisPosition];
    if (WordWrap() && (EllipsisPosition == epEndEllipsis || EllipsisPosition == epWordEllipsis)) {
      // Cut words off the end until the text and "..." fit the label's height.
      std::u16string shown = text;
      int dotsWidth = WideCanvasTextWidth(canvas, u"...");
      int fontHeight = WideCanvasTextHeight(canvas, u"W");
      int clientHeight = ClientRect().bottom;
      while (!shown.empty()) {
        RECT measured{rect.left, rect.top, rect.right - dotsWidth, rect.bottom};
        std::u16string candidate = shown + u"...";
        WideDrawText(dc, candidate.c_str(), -1, &measured, flags | DT_CALCRECT);
        int height = measured.bottom - measured.top;
        if (height <= clientHeight || height <= fontHeight) break;
        auto cut = shown.find_last_of(u" \t");
        shown = cut == std::u16string::npos ? shown.substr(0, shown.size() - 1) : shown.substr(0, cut);
      }
      if (shown != text) text = shown + u"...";
    }
  }
  SetBkMode(dc, TRANSPARENT);
  if (Enabled() || (flags & DT_CALCRECT)) {
    SetTextColor(dc, ColorToRGB(Font().Color()));
    WideDrawText(dc, text.c_str(), -1, &rect, flags);
    return;
  }
  RECT shifted{rect.left + 1, rect.top + 1, rect.right + 1, rect.bottom + 1};
  SetTextColor(dc, ColorToRGB(clBtnHighlight));
  WideDrawText(dc, text.c_str(), -1, &shifted, flags);
  SetTextColor(dc, ColorToRGB(clBtnShadow));
  WideDrawText(dc, text.c_str(), -1, &rect, flags);
}

void TUniCustomLabel::Dispatch(TMessage& message) {
  if (message.Msg == CM_DIALOGCHAR) {
    TWinControl* target = FocusControl();
    if (target != nullptr && Enabled() && ShowAccelChar() && DialogCharMatches(message, Caption()) && CanFocus(target)) {
      target->SetFocus();
      message.Result = 1;
    }
    return;
  }
  TUniWideControl::Dispatch(message);
}

// --- buttons ---------------------------------------------------------------------------------

void TUniButton::CreateWindowHandle(const TCreateParams& params) { CreateUnicodeHandle(this, params, u"BUTTON"); }

void TUniButton::Dispatch(TMessage& message) {
  if (message.Msg == CM_DIALOGCHAR && DialogCharMatches(message, Caption()) && CanFocus(this)) {
    Click();
    message.Result = 1;
    return;
  }
  TUniWideControl::Dispatch(message);
}

void TUniCustomCheckBox::CreateWindowHandle(const TCreateParams& params) {
  CreateUnicodeHandle(this, params, u"BUTTON");
}

void TUniCustomCheckBox::Dispatch(TMessage& message) {
  if (message.Msg == CM_DIALOGCHAR && DialogCharMatches(message, Caption()) && CanFocus(this)) {
    SetFocus();
    if (Focused()) Toggle();
    message.Result = 1;
    return;
  }
  TUniWideControl::Dispatch(message);
}

void TUniRadioButton::CreateWindowHandle(const TCreateParams& params) { CreateUnicodeHandle(this, params, u"BUTTON"); }

void TUniRadioButton::Dispatch(TMessage& message) {
  if (message.Msg == CM_DIALOGCHAR && DialogCharMatches(message, Caption()) && CanFocus(this)) {
    SetFocus();
    message.Result = 1;
    return;
  }
  TUniWideControl::Dispatch(message);
}

// --- group box -------------------------------------------------------------------------------

void TUniCustomGroupBox::CreateWindowHandle(const TCreateParams& params) { CreateUnicodeHandle(this, params, u""); }

bool TUniCustomGroupBox::HasCaption() { return !Caption().empty(); }

void TUniCustomGroupBox::DrawCaption(HDC dc, RECT& rect, UINT flags) {
  std::u16string caption = Caption();
  WideDrawText(dc, caption.c_str(), -1, &rect, flags);
}

void TUniCustomGroupBox::Dispatch(TMessage& message) {
  if (message.Msg == CM_DIALOGCHAR && DialogCharMatches(message, Caption()) && CanFocus(this)) {
    SelectFirst();
    message.Result = 1;
    return;
  }
  TUniWideControl::Dispatch(message);
}
