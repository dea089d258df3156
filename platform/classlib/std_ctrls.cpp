#include "platform/classlib/std_ctrls.h"

#include <algorithm>

#include "platform/base/text.h"
#include "platform/gdi/window_picture.h"
#include "platform/win/menus.h"

namespace {

WORD NotifyCode(const TMessage& message) { return HIWORD(static_cast<DWORD>(message.WParam)); }

// The character after a single "&" of an 8-bit caption matches the key, without case.
bool IsAccel(WPARAM key, const std::string& caption) {
  for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != '&') continue;
    if (caption[i + 1] == '&') {
      ++i;
      continue;
    }
    std::string a(1, caption[i + 1]), b(1, static_cast<char>(key & 0xFF));
    return platform::AnsiUpperCase(a) == platform::AnsiUpperCase(b);
  }
  return false;
}

}  // namespace

TCustomForm* GetParentForm(TControl* control) {
  for (TControl* c = control; c != nullptr; c = c->Parent()) {
    if (auto* form = dynamic_cast<TCustomForm*>(c)) return form;
  }
  return nullptr;
}

// --- TCustomEdit -----------------------------------------------------------------------------

TCustomEdit::TCustomEdit(TComponent* owner) : TWinControl(owner) {
  SetTabStop(true);
  SetBounds(0, 0, 121, 21);
}

void TCustomEdit::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  CreateSubClass(params, "EDIT");
  params.Style |= ES_AUTOHSCROLL | ES_LEFT;
  if (passwordChar_ != 0) params.Style |= ES_PASSWORD;
  if (readOnly_) params.Style |= ES_READONLY;
  if (borderStyle_ == TBorderStyle::bsSingle) params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TCustomEdit::CreateWnd() {
  TWinControl::CreateWnd();
  HWND handle = Handle();
  ::SendMessageA(handle, EM_LIMITTEXT, static_cast<WPARAM>(maxLength_), 0);
  if (passwordChar_ != 0) ::SendMessageA(handle, EM_SETPASSWORDCHAR, static_cast<unsigned char>(passwordChar_), 0);
  ::SendMessageA(handle, EM_SETMODIFY, modified_ ? 1 : 0, 0);
}

void TCustomEdit::DestroyWnd() {
  modified_ = Modified();
  TWinControl::DestroyWnd();
}

void TCustomEdit::SetMaxLength(int value) {
  maxLength_ = std::max(0, value);
  if (HandleAllocated()) ::SendMessageA(Handle(), EM_LIMITTEXT, static_cast<WPARAM>(maxLength_), 0);
}

void TCustomEdit::SetPasswordChar(char value) {
  if (value == passwordChar_) return;
  passwordChar_ = value;
  if (HandleAllocated()) {
    ::SendMessageA(Handle(), EM_SETPASSWORDCHAR, static_cast<unsigned char>(value), 0);
    Invalidate();
  }
}

void TCustomEdit::SetReadOnly(bool value) {
  readOnly_ = value;
  if (HandleAllocated()) ::SendMessageA(Handle(), EM_SETREADONLY, value ? 1 : 0, 0);
}

void TCustomEdit::SetBorderStyle(TBorderStyle value) {
  if (value == borderStyle_) return;
  borderStyle_ = value;
  RecreateWnd();
}

bool TCustomEdit::Modified() {
  return HandleAllocated() ? ::SendMessageA(Handle(), EM_GETMODIFY, 0, 0) != 0 : modified_;
}

void TCustomEdit::SetModified(bool value) {
  modified_ = value;
  if (HandleAllocated()) ::SendMessageA(Handle(), EM_SETMODIFY, value ? 1 : 0, 0);
}

int TCustomEdit::SelStart() {
  DWORD start = 0;
  ::SendMessageA(Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), 0);
  return static_cast<int>(start);
}

void TCustomEdit::SetSelStart(int value) { ::SendMessageA(Handle(), EM_SETSEL, static_cast<WPARAM>(value), value); }

int TCustomEdit::SelLength() {
  DWORD start = 0, end = 0;
  ::SendMessageA(Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return static_cast<int>(end - start);
}

void TCustomEdit::SetSelLength(int value) {
  int start = SelStart();
  ::SendMessageA(Handle(), EM_SETSEL, static_cast<WPARAM>(start), start + value);
}

std::string TCustomEdit::SelText() {
  int start = SelStart(), length = SelLength();
  return Text().substr(static_cast<std::size_t>(start), static_cast<std::size_t>(length));
}

void TCustomEdit::SetSelText(const std::string& value) {
  ::SendMessageA(Handle(), EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(value.c_str()));
}

void TCustomEdit::SelectAll() { ::SendMessageA(Handle(), EM_SETSEL, 0, -1); }

void TCustomEdit::Dispatch(TMessage& message) {
  if (message.Msg == CN_COMMAND && NotifyCode(message) == EN_CHANGE) {
    Change();
    return;
  }
  TWinControl::Dispatch(message);
}

void TCustomEdit::Change() {
  if (OnChange) OnChange(this);
}

// --- combo box -------------------------------------------------------------------------------

std::string TComboBoxStrings::Get(int index) const {
  HWND handle = comboBox_->Handle();
  LRESULT length = ::SendMessageA(handle, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length == CB_ERR) return {};
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  LRESULT got = ::SendMessageA(handle, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
  if (got == CB_ERR) return {};
  text.resize(static_cast<std::size_t>(std::clamp<LRESULT>(got, 0, length)));
  return text;
}

int TComboBoxStrings::GetCount() const {
  return static_cast<int>(::SendMessageA(comboBox_->Handle(), CB_GETCOUNT, 0, 0));
}

void TComboBoxStrings::Clear() {
  std::string text = comboBox_->Text();
  ::SendMessageA(comboBox_->Handle(), CB_RESETCONTENT, 0, 0);
  comboBox_->SetText(text);
  comboBox_->Update();
}

void TComboBoxStrings::Delete(int index) { ::SendMessageA(comboBox_->Handle(), CB_DELETESTRING, static_cast<WPARAM>(index), 0); }

void TComboBoxStrings::Insert(int index, const std::string& s) {
  if (::SendMessageA(comboBox_->Handle(), CB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(s.c_str())) < 0) {
    throw EOutOfResources("Unable to insert a line");
  }
}

int TComboBoxStrings::Add(const std::string& s) {
  LRESULT index = ::SendMessageA(comboBox_->Handle(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s.c_str()));
  if (index < 0) throw EOutOfResources("Unable to insert a line");
  return static_cast<int>(index);
}

int TComboBoxStrings::IndexOf(const std::string& s) const {
  return static_cast<int>(::SendMessageA(comboBox_->Handle(), CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(s.c_str())));
}

TObject* TComboBoxStrings::GetObject(int index) const {
  LRESULT number = ::SendMessageA(comboBox_->Handle(), CB_GETITEMDATA, static_cast<WPARAM>(index), 0);
  return number == CB_ERR ? nullptr : comboBox_->ObjectOfNumber(number);
}

void TComboBoxStrings::PutObject(int index, TObject* object) {
  ::SendMessageA(comboBox_->Handle(), CB_SETITEMDATA, static_cast<WPARAM>(index), comboBox_->ObjectNumber(object));
}

void TComboBoxStrings::SetUpdateState(bool updating) {
  ::SendMessageA(comboBox_->Handle(), WM_SETREDRAW, updating ? 0 : 1, 0);
  if (!updating) comboBox_->Invalidate();
}

TCustomComboBox::TCustomComboBox(TComponent* owner)
    : TCustomListControl(owner), items_(std::make_unique<TComboBoxStrings>(this)) {
  SetTabStop(true);
  SetBounds(0, 0, 145, 21);
  SetColor(clWindow);
}

TCustomComboBox::~TCustomComboBox() {
  Destroying();
  DestroyHandle();
}

LPARAM TCustomComboBox::ObjectNumber(TObject* object) {
  if (object == nullptr) return 0;
  for (const auto& [number, known] : objects_) {
    if (known == object) return number;
  }
  LPARAM number = nextObject_++;
  objects_[number] = object;
  return number;
}

TObject* TCustomComboBox::ObjectOfNumber(LPARAM number) const {
  auto found = objects_.find(number);
  return found == objects_.end() ? nullptr : found->second;
}

void TCustomComboBox::CreateParams(TCreateParams& params) {
  TCustomListControl::CreateParams(params);
  CreateSubClass(params, "COMBOBOX");
  static constexpr DWORD kStyles[] = {CBS_DROPDOWN, CBS_SIMPLE, CBS_DROPDOWNLIST, CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED,
                                      CBS_DROPDOWNLIST | CBS_OWNERDRAWVARIABLE};
  params.Style |= WS_VSCROLL | CBS_HASSTRINGS | CBS_AUTOHSCROLL | kStyles[style_];
}

void TCustomComboBox::CreateWnd() {
  std::string text = text_;
  TCustomListControl::CreateWnd();
  HWND handle = Handle();
  if (itemHeight_ > 0) ::SendMessageA(handle, CB_SETITEMHEIGHT, 0, itemHeight_);
  if (maxLength_ > 0) ::SendMessageA(handle, CB_LIMITTEXT, static_cast<WPARAM>(maxLength_), 0);
  if (saved_) {
    for (const auto& [item, object] : savedItems_) {
      LRESULT index = ::SendMessageA(handle, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
      ::SendMessageA(handle, CB_SETITEMDATA, static_cast<WPARAM>(index), ObjectNumber(object));
    }
    savedItems_.clear();
    saved_ = false;
    if (savedIndex_ >= 0) ::SendMessageA(handle, CB_SETCURSEL, static_cast<WPARAM>(savedIndex_), 0);
  }
  SetText(text);
}

void TCustomComboBox::DestroyWnd() {
  if (!(ComponentState() & csDestroying)) {
    int count = items_->Count();
    savedItems_.clear();
    for (int i = 0; i < count; ++i) savedItems_.emplace_back(items_->Strings(i), items_->Objects(i));
    savedIndex_ = ItemIndex();
    saved_ = count > 0;
  }
  TCustomListControl::DestroyWnd();
}

void TCustomComboBox::SetStyle(TComboBoxStyle value) {
  if (value == style_) return;
  style_ = value;
  RecreateWnd();
}

int TCustomComboBox::ItemIndex() { return static_cast<int>(::SendMessageA(Handle(), CB_GETCURSEL, 0, 0)); }

void TCustomComboBox::SetItemIndex(int value) {
  if (ItemIndex() != value) ::SendMessageA(Handle(), CB_SETCURSEL, static_cast<WPARAM>(value), 0);
}

int TCustomComboBox::ItemHeight() {
  return HandleAllocated() ? static_cast<int>(::SendMessageA(Handle(), CB_GETITEMHEIGHT, 0, 0)) : itemHeight_;
}

void TCustomComboBox::SetItemHeight(int value) {
  if (value <= 0) return;
  itemHeight_ = value;
  if (HandleAllocated()) ::SendMessageA(Handle(), CB_SETITEMHEIGHT, 0, value);
}

bool TCustomComboBox::DroppedDown() { return ::SendMessageA(Handle(), CB_GETDROPPEDSTATE, 0, 0) != 0; }

void TCustomComboBox::SetDroppedDown(bool value) { ::SendMessageA(Handle(), CB_SHOWDROPDOWN, value ? 1 : 0, 0); }

void TCustomComboBox::SetMaxLength(int value) {
  maxLength_ = std::max(0, value);
  if (HandleAllocated()) ::SendMessageA(Handle(), CB_LIMITTEXT, static_cast<WPARAM>(maxLength_), 0);
}

int TCustomComboBox::SelStart() {
  DWORD start = 0;
  ::SendMessageA(Handle(), CB_GETEDITSEL, reinterpret_cast<WPARAM>(&start), 0);
  return static_cast<int>(start);
}

void TCustomComboBox::SetSelStart(int value) {
  ::SendMessageA(Handle(), CB_SETEDITSEL, 0, MAKELPARAM(static_cast<WORD>(value), static_cast<WORD>(value)));
}

int TCustomComboBox::SelLength() {
  DWORD start = 0, end = 0;
  ::SendMessageA(Handle(), CB_GETEDITSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return static_cast<int>(end - start);
}

void TCustomComboBox::SetSelLength(int value) {
  int start = SelStart();
  ::SendMessageA(Handle(), CB_SETEDITSEL, 0, MAKELPARAM(static_cast<WORD>(start), static_cast<WORD>(start + value)));
}

std::string TCustomComboBox::SelText() {
  if (style_ == csDropDownList || style_ == csOwnerDrawFixed || style_ == csOwnerDrawVariable) return {};
  return Text().substr(static_cast<std::size_t>(SelStart()), static_cast<std::size_t>(SelLength()));
}

HWND TCustomComboBox::EditHandle() {
  COMBOBOXINFO info{};
  info.cbSize = sizeof info;
  if (!GetComboBoxInfo(Handle(), &info) || info.hwndItem == Handle()) return 0;
  return info.hwndItem;
}

HWND TCustomComboBox::ListHandle() {
  COMBOBOXINFO info{};
  info.cbSize = sizeof info;
  return GetComboBoxInfo(Handle(), &info) ? info.hwndList : 0;
}

void TCustomComboBox::CopySelection(TCustomListControl* destination) {
  int index = ItemIndex();
  if (index != -1) destination->AddItem(items_->Strings(index), items_->Objects(index));
}

void TCustomComboBox::DrawItem(int index, const RECT& rect, UINT state) {
  if (OnDrawItem) {
    OnDrawItem(this, index, rect, state);
    return;
  }
  canvas_.FillRect(rect);
  if (index >= 0) canvas_.TextOut(rect.left + 2, rect.top, items_->Strings(index));
}

void TCustomComboBox::Dispatch(TMessage& message) {
  if (message.Msg == CN_BASE + WM_DRAWITEM) {
    const auto& draw = *reinterpret_cast<const DRAWITEMSTRUCT*>(message.LParam);
    canvas_.SetHandle(draw.hDC);
    canvas_.Font().Assign(&Font());
    bool selected = draw.itemState & ODS_SELECTED;
    canvas_.Brush().SetColor(selected ? clHighlight : Color());
    canvas_.Font().SetColor(selected ? clHighlightText : Font().Color());
    DrawItem(static_cast<int>(draw.itemID), draw.rcItem, draw.itemState);
    canvas_.SetHandle(0);
    message.Result = 1;
    return;
  }
  if (message.Msg != CN_COMMAND) {
    TCustomListControl::Dispatch(message);
    return;
  }
  switch (NotifyCode(message)) {
    case CBN_SELCHANGE: {
      int index = ItemIndex();
      SetText(index >= 0 ? items_->Strings(index) : "");
      Change();
      Select();
      return;
    }
    case CBN_EDITCHANGE: Change(); return;
    case CBN_DROPDOWN: DropDown(); return;
    case CBN_CLOSEUP: CloseUp(); return;
    default: return;
  }
}

void TCustomComboBox::Change() {
  if (OnChange) OnChange(this);
}
void TCustomComboBox::Select() {
  if (OnSelect) OnSelect(this);
}
void TCustomComboBox::DropDown() {
  if (OnDropDown) OnDropDown(this);
}
void TCustomComboBox::CloseUp() {
  if (OnCloseUp) OnCloseUp(this);
}

// --- buttons ---------------------------------------------------------------------------------

TButtonControl::TButtonControl(TComponent* owner) : TWinControl(owner) { SetTabStop(true); }

std::unique_ptr<TControlActionLink> TButtonControl::CreateActionLink() {
  return std::make_unique<TButtonActionLink>(this);
}

void TButtonControl::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  CreateSubClass(params, "BUTTON");
  if (WordWrap) params.Style |= BS_MULTILINE;
}

TButton::TButton(TComponent* owner) : TButtonControl(owner) {
  SetBounds(0, 0, 75, 25);
  SetColor(clBtnFace);
}

void TButton::CreateParams(TCreateParams& params) {
  TButtonControl::CreateParams(params);
  params.Style |= default_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

void TButton::SetDefault(bool value) {
  if (value == default_) return;
  default_ = value;
  if (HandleAllocated()) ::SendMessageA(Handle(), BM_SETSTYLE, value ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, 1);
}

void TButton::Click() {
  if (ModalResult != mrNone) {
    if (auto* form = GetParentForm(this)) form->ModalResult = ModalResult;
  }
  TButtonControl::Click();
}

void TButton::Dispatch(TMessage& message) {
  if (message.Msg == CN_COMMAND && NotifyCode(message) == BN_CLICKED) {
    Click();
    return;
  }
  if (message.Msg == CM_DIALOGKEY) {
    // Return belongs to the focused button, or to the default one while no button has
    // the focus.
    bool buttonFocused = dynamic_cast<TButton*>(FindControl(GetFocus())) != nullptr;
    bool active = buttonFocused ? Focused() : default_;
    bool mine = (message.WParam == VK_RETURN && active) || (message.WParam == VK_ESCAPE && Cancel);
    if (mine && CanFocus(this)) {
      Click();
      message.Result = 1;
      return;
    }
  }
  TButtonControl::Dispatch(message);
}

TCustomCheckBox::TCustomCheckBox(TComponent* owner) : TButtonControl(owner) {
  SetBounds(0, 0, 97, 17);
  SetColor(clBtnFace);
}

void TCustomCheckBox::CreateParams(TCreateParams& params) {
  TButtonControl::CreateParams(params);
  params.Style |= BS_3STATE;
}

void TCustomCheckBox::CreateWnd() {
  TButtonControl::CreateWnd();
  ::SendMessageA(Handle(), BM_SETCHECK, static_cast<WPARAM>(state_), 0);
}

void TCustomCheckBox::SetState(TCheckBoxState value) {
  if (value == state_) return;
  state_ = value;
  if (HandleAllocated()) ::SendMessageA(Handle(), BM_SETCHECK, static_cast<WPARAM>(state_), 0);
  Click();
}

void TCustomCheckBox::Toggle() {
  switch (state_) {
    case cbUnchecked: SetState(AllowGrayed ? cbGrayed : cbChecked); break;
    case cbChecked: SetState(cbUnchecked); break;
    case cbGrayed: SetState(cbChecked); break;
  }
}

void TCustomCheckBox::Dispatch(TMessage& message) {
  if (message.Msg == CN_COMMAND && NotifyCode(message) == BN_CLICKED) {
    Toggle();
    return;
  }
  TButtonControl::Dispatch(message);
}

TRadioButton::TRadioButton(TComponent* owner) : TButtonControl(owner) {
  SetBounds(0, 0, 113, 17);
  SetColor(clBtnFace);
}

void TRadioButton::CreateParams(TCreateParams& params) {
  TButtonControl::CreateParams(params);
  params.Style |= BS_RADIOBUTTON;
}

void TRadioButton::CreateWnd() {
  TButtonControl::CreateWnd();
  ::SendMessageA(Handle(), BM_SETCHECK, checked_ ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TRadioButton::SetChecked(bool value) {
  if (value == checked_) return;
  checked_ = value;
  if (HandleAllocated()) ::SendMessageA(Handle(), BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
  if (!value) return;
  if (Parent() != nullptr) {
    for (int i = 0; i < Parent()->ControlCount(); ++i) {
      auto* sibling = dynamic_cast<TRadioButton*>(Parent()->Controls(i));
      if (sibling != nullptr && sibling != this) sibling->SetChecked(false);
    }
  }
  Click();
}

void TRadioButton::Dispatch(TMessage& message) {
  if (message.Msg == CN_COMMAND && NotifyCode(message) == BN_CLICKED) {
    SetChecked(true);
    return;
  }
  TButtonControl::Dispatch(message);
}

// --- group box -------------------------------------------------------------------------------

TCustomGroupBox::TCustomGroupBox(TComponent* owner) : TCustomControl(owner) {
  ControlStyle |= csAcceptsControls;
  SetBounds(0, 0, 185, 105);
  SetColor(clBtnFace);
}

void TCustomGroupBox::CreateParams(TCreateParams& params) {
  TCustomControl::CreateParams(params);
  params.Style |= WS_CLIPCHILDREN;
}

void TCustomGroupBox::Paint() {
  TCanvas& canvas = Canvas();
  canvas.Font().Assign(&Font());
  canvas.Brush().SetColor(Color());
  RECT client = ClientRect();
  canvas.FillRect(client);
  int height = canvas.TextHeight("0");
  RECT frame{0, height / 2 - 1, client.right, client.bottom};
  if (Ctl3D) {
    canvas.Brush().SetColor(clBtnHighlight);
    canvas.FrameRect(RECT{frame.left + 1, frame.top + 1, frame.right, frame.bottom});
    canvas.Brush().SetColor(clBtnShadow);
    canvas.FrameRect(RECT{frame.left, frame.top, frame.right - 1, frame.bottom - 1});
  } else {
    canvas.Brush().SetColor(SystemColor(COLOR_WINDOWFRAME));
    canvas.FrameRect(frame);
  }
  if (!HasCaption()) return;
  // The caption sits 8 pixels in, on a box of the control's colour.
  RECT text{8, 0, 8, height};
  canvas.RequiredState(csHandleValid | csFontValid);
  DrawCaption(canvas.Handle(), text, DT_CALCRECT | DT_SINGLELINE);
  canvas.Brush().SetColor(Color());
  canvas.FillRect(text);
  canvas.RequiredState(csHandleValid | csFontValid);
  SetBkMode(canvas.Handle(), TRANSPARENT);
  SetTextColor(canvas.Handle(), ColorToRGB(Font().Color()));
  DrawCaption(canvas.Handle(), text, DT_SINGLELINE);
}

bool TCustomGroupBox::HasCaption() { return !Caption().empty(); }

void TCustomGroupBox::DrawCaption(HDC dc, RECT& rect, UINT flags) {
  std::string caption = Caption();
  DrawTextA(dc, caption.c_str(), static_cast<int>(caption.size()), &rect, flags);
}

void TCustomGroupBox::SelectFirst() {
  for (int i = 0; i < ControlCount(); ++i) {
    auto* child = dynamic_cast<TWinControl*>(Controls(i));
    if (child != nullptr && CanFocus(child)) {
      child->SetFocus();
      return;
    }
  }
}

void TCustomGroupBox::Dispatch(TMessage& message) {
  if (message.Msg == CM_DIALOGCHAR && IsAccel(message.WParam, Caption()) && CanFocus(this)) {
    SelectFirst();
    message.Result = 1;
    return;
  }
  TCustomControl::Dispatch(message);
}

// --- label -----------------------------------------------------------------------------------

TCustomLabel::TCustomLabel(TComponent* owner) : TGraphicControl(owner) {
  SetBounds(0, 0, 65, 17);
  SetColor(clBtnFace);
}

void TCustomLabel::SetAlignment(TAlignment value) {
  alignment_ = value;
  Invalidate();
}

void TCustomLabel::SetAutoSize(bool value) {
  autoSize_ = value;
  AdjustBounds();
}

void TCustomLabel::SetWordWrap(bool value) {
  wordWrap_ = value;
  AdjustBounds();
  Invalidate();
}

void TCustomLabel::SetShowAccelChar(bool value) {
  showAccelChar_ = value;
  AdjustBounds();
  Invalidate();
}

void TCustomLabel::SetFocusControl(TWinControl* value) {
  if (focusControl_ != nullptr) focusControl_->RemoveFreeNotification(this);
  focusControl_ = value;
  if (value != nullptr) value->FreeNotification(this);
}

void TCustomLabel::Notification(TComponent* component, TOperation operation) {
  TGraphicControl::Notification(component, operation);
  if (operation == TOperation::opRemove && component == focusControl_) focusControl_ = nullptr;
}

UINT TCustomLabel::TextFlags() const {
  UINT flags = DT_EXPANDTABS;
  if (wordWrap_) flags |= DT_WORDBREAK;
  if (!showAccelChar_) flags |= DT_NOPREFIX;
  return flags;
}

void TCustomLabel::DoDrawText(RECT& rect, UINT flags) {
  std::string text = Caption();
  if ((flags & DT_CALCRECT) && (text.empty() || (showAccelChar_ && text == "&"))) text += ' ';
  TCanvas& canvas = Canvas();
  canvas.Font().Assign(&Font());
  canvas.RequiredState(csHandleValid | csFontValid);
  HDC dc = canvas.Handle();
  SetBkMode(dc, TRANSPARENT);
  if (Enabled() || (flags & DT_CALCRECT)) {
    SetTextColor(dc, ColorToRGB(Font().Color()));
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &rect, flags);
    return;
  }
  RECT shifted{rect.left + 1, rect.top + 1, rect.right + 1, rect.bottom + 1};
  SetTextColor(dc, ColorToRGB(clBtnHighlight));
  DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &shifted, flags);
  SetTextColor(dc, ColorToRGB(clBtnShadow));
  DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &rect, flags);
}

void TCustomLabel::Paint() {
  TCanvas& canvas = Canvas();
  RECT client = ClientRect();
  if (!Transparent) {
    canvas.Brush().SetColor(Color());
    canvas.FillRect(client);
  }
  static constexpr UINT kAlignments[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
  UINT flags = TextFlags() | kAlignments[alignment_];
  RECT rect = client;
  if (Layout != tlTop) {
    RECT measured = client;
    DoDrawText(measured, flags | DT_CALCRECT);
    int height = measured.bottom - measured.top;
    rect.top = Layout == tlBottom ? client.bottom - height : (client.bottom - height) / 2;
    rect.bottom = rect.top + height;
  }
  DoDrawText(rect, flags);
}

void TCustomLabel::AdjustBounds() {
  if (!autoSize_ || (ComponentState() & csLoading)) return;
  HDC dc = GetDC(0);
  Canvas().SetHandle(dc);
  RECT rect = ClientRect();
  DoDrawText(rect, TextFlags() | DT_CALCRECT);
  Canvas().SetHandle(0);
  ReleaseDC(0, dc);
  int width = rect.right - rect.left, left = Left();
  if (alignment_ == taRightJustify) left += Width() - width;
  if (alignment_ == taCenter) left += (Width() - width) / 2;
  SetBounds(left, Top(), width, rect.bottom - rect.top);
}

void TCustomLabel::Dispatch(TMessage& message) {
  switch (message.Msg) {
    case CM_TEXTCHANGED:
      Invalidate();
      AdjustBounds();
      return;
    case CM_FONTCHANGED:
      AdjustBounds();
      return;
    case CM_DIALOGCHAR:
      if (focusControl_ != nullptr && Enabled() && showAccelChar_ && IsAccel(message.WParam, Caption()) &&
          CanFocus(focusControl_)) {
        focusControl_->SetFocus();
        message.Result = 1;
      }
      return;
    default:
      TGraphicControl::Dispatch(message);
  }
}
