// The wide standard controls: edit, combo box, label, push button, check box, radio
// button and group box with wide captions, texts, hints and items. Each derives from
// the class library's control of its kind and changes only what touches text: its
// window is a Unicode window, texts go through the layer's wide text operations,
// hot keys are matched on the wide caption. This system is of the wide-call family
// only, so the 8-bit road of the layer (wide positions as ANSI bytes) is not built.
#pragma once

#include <memory>
#include <string>
#include <type_traits>

#include "controls/unicode/uni_actions.h"
#include "controls/unicode/uni_classes.h"
#include "controls/unicode/uni_controls.h"
#include "platform/classlib/std_ctrls.h"

// Visual themes are off: this system draws every control in the classic look, so the
// themed painting paths are not built.
inline constexpr bool kThemesEnabled = false;

// A class library control with the layer's wide caption and hint, and the layer's
// action link: an action change runs the layer's wide update, then the library's.
template <typename Base>
class TUniWideControl : public Base {
 public:
  using Base::Base;
  std::u16string Caption() { return GetWideControlText(this); }
  void SetCaption(const std::u16string& value) { SetWideControlText(this, value); }
  std::u16string Hint() { return GetWideControlHint(this); }
  void SetHint(const std::u16string& value) { SetWideControlHint(this, value); }

 protected:
  std::unique_ptr<TControlActionLink> CreateActionLink() override { return UniControlGetActionLinkClass(this); }
  void ActionChange(TObject* sender, bool checkDefaults) override {
    UniControlActionChange(this, dynamic_cast<TBasicAction*>(sender), checkDefaults);
    Base::ActionChange(sender, checkDefaults);
  }
  // A windowed control's trap prepares the wide hint; a graphic one does it here.
  void Dispatch(TMessage& message) override {
    if constexpr (!std::is_base_of_v<TWinControl, Base>) {
      if (message.Msg == CM_HINTSHOW) ProcessWideHintShow(message);
    }
    Base::Dispatch(message);
  }
};

class TUniCustomEdit : public TUniWideControl<TCustomEdit> {
 public:
  using TUniWideControl::TUniWideControl;
  std::string ClassName() const override { return "TUniCustomEdit"; }
  std::u16string Text() { return GetWideControlText(this); }
  void SetText(const std::u16string& value) { SetWideControlText(this, value); }
  // A character above 255 is "*" to the class library and itself in the window.
  char16_t PasswordChar();
  void SetPasswordChar(char16_t value);
  std::u16string SelText();

 protected:
  void CreateWindowHandle(const TCreateParams& params) override;
  void CreateWnd() override;

 private:
  char16_t passwordChar_ = 0;
};

class TUniEdit : public TUniCustomEdit {
 public:
  using TUniCustomEdit::TUniCustomEdit;
  std::string ClassName() const override { return "TUniEdit"; }
};

class TUniCustomComboBox;

// The wide items of a combo box: texts through its Unicode window, objects and
// counts through the class library's item list.
class TUniComboBoxStrings : public TUniStrings {
 public:
  explicit TUniComboBoxStrings(TUniCustomComboBox* comboBox) : comboBox_(comboBox) {}
  std::u16string Get(int index) const override;
  int GetCount() const override;
  // Keeps the combo box's text.
  void Clear() override;
  void Delete(int index) override;
  // EOutOfResources "Unable to insert a line" when the window refuses the item.
  void Insert(int index, const std::u16string& s) override;
  int Add(const std::u16string& s) override;
  int IndexOf(const std::u16string& s) const override;
  TObject* GetObject(int index) const override;
  void PutObject(int index, TObject* object) override;
  void SetUpdateState(bool updating) override;

 private:
  TUniCustomComboBox* comboBox_;
};

class TUniCustomComboBox : public TUniWideControl<TCustomComboBox>, public IWideCustomListControl {
 public:
  explicit TUniCustomComboBox(TComponent* owner);
  ~TUniCustomComboBox() override;
  std::string ClassName() const override { return "TUniCustomComboBox"; }

  TUniStrings& Items() { return *items_; }
  void SetItems(const TUniStrings& value) { items_->Assign(value); }
  void AddItem(const std::u16string& item, TObject* object) override { items_->AddObject(item, object); }
  using TCustomComboBox::AddItem;
  // Copies the chosen item wide when the destination takes wide items.
  void CopySelection(TCustomListControl* destination) override;
  TStrings& AnsiItems() { return TCustomComboBox::Items(); }
  std::u16string Text() { return GetWideControlText(this); }
  void SetText(const std::u16string& value) { SetWideControlText(this, value); }
  // Empty for the drop-down-list styles.
  std::u16string SelText();

 protected:
  void CreateWindowHandle(const TCreateParams& params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void Dispatch(TMessage& message) override;
  void KeyPress(char& key) override;
  void DrawItem(int index, const RECT& rect, UINT state) override;

 private:
  bool IsListStyle() const;
  // Finds the first item that starts with `text`; true when one was found.
  bool AutoCompleteSearch(const std::u16string& text);
  void DropDownListChar(TMessage& message);
  LRESULT EditWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  // True when the character was swallowed.
  bool EditChar(char16_t& ch);

  std::unique_ptr<TUniComboBoxStrings> items_;
  std::unique_ptr<TUniStringList> savedItems_;
  int savedIndex_ = -1;
  std::u16string savedText_;
  bool hasSavedText_ = false;
  std::u16string filter_;
  DWORD lastKeyTick_ = 0;
  // The edit part's procedure before this control hooked it.
  std::unique_ptr<platform::win::WindowProcStub> editStub_;
  WNDPROC editPrevProc_ = nullptr;
};

class TUniComboBox : public TUniCustomComboBox {
 public:
  using TUniCustomComboBox::TUniCustomComboBox;
  std::string ClassName() const override { return "TUniComboBox"; }
};

class TUniCustomLabel : public TUniWideControl<TCustomLabel> {
 public:
  using TUniWideControl::TUniWideControl;
  std::string ClassName() const override { return "TUniCustomLabel"; }

 protected:
  void DoDrawText(RECT& rect, UINT flags) override;
  void Dispatch(TMessage& message) override;
};

class TUniLabel : public TUniCustomLabel {
 public:
  using TUniCustomLabel::TUniCustomLabel;
  std::string ClassName() const override { return "TUniLabel"; }
};

class TUniButton : public TUniWideControl<TButton> {
 public:
  using TUniWideControl::TUniWideControl;
  std::string ClassName() const override { return "TUniButton"; }

 protected:
  void CreateWindowHandle(const TCreateParams& params) override;
  void Dispatch(TMessage& message) override;
};

class TUniCustomCheckBox : public TUniWideControl<TCustomCheckBox> {
 public:
  using TUniWideControl::TUniWideControl;
  std::string ClassName() const override { return "TUniCustomCheckBox"; }

 protected:
  void CreateWindowHandle(const TCreateParams& params) override;
  void Dispatch(TMessage& message) override;
};

class TUniCheckBox : public TUniCustomCheckBox {
 public:
  using TUniCustomCheckBox::TUniCustomCheckBox;
  std::string ClassName() const override { return "TUniCheckBox"; }
};

class TUniRadioButton : public TUniWideControl<TRadioButton> {
 public:
  using TUniWideControl::TUniWideControl;
  std::string ClassName() const override { return "TUniRadioButton"; }

 protected:
  void CreateWindowHandle(const TCreateParams& params) override;
  void Dispatch(TMessage& message) override;
};

class TUniCustomGroupBox : public TUniWideControl<TCustomGroupBox> {
 public:
  using TUniWideControl::TUniWideControl;
  std::string ClassName() const override { return "TUniCustomGroupBox"; }

 protected:
  void CreateWindowHandle(const TCreateParams& params) override;
  bool HasCaption() override;
  void DrawCaption(HDC dc, RECT& rect, UINT flags) override;
  void Dispatch(TMessage& message) override;
};

class TUniGroupBox : public TUniCustomGroupBox {
 public:
  using TUniCustomGroupBox::TUniCustomGroupBox;
  std::string ClassName() const override { return "TUniGroupBox"; }
};
