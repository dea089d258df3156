// The class library's standard controls over the system's control windows: the
// edit ("EDIT"), the combo box ("COMBOBOX") with its item list, the push button,
// check box and radio button ("BUTTON"), the group box and the label, which draw
// themselves. Notifications come back to each control as CN_COMMAND.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/classlib/controls.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/strings.h"
#include "platform/win/std_controls.h"

enum class TBorderStyle { bsNone, bsSingle };
enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TTextLayout { tlTop, tlCenter, tlBottom };
enum TEllipsisPosition { epNone, epPathEllipsis, epEndEllipsis, epWordEllipsis };

// The form a control sits on, or null.
TCustomForm* GetParentForm(TControl* control);

class TCustomEdit : public TWinControl {
 public:
  explicit TCustomEdit(TComponent* owner);
  std::string ClassName() const override { return "TCustomEdit"; }

  int MaxLength() const { return maxLength_; }
  void SetMaxLength(int value);
  char PasswordChar() const { return passwordChar_; }
  void SetPasswordChar(char value);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool value);
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle value);
  bool Modified();
  void SetModified(bool value);

  // Positions in characters of the window's text.
  int SelStart();
  void SetSelStart(int value);
  int SelLength();
  void SetSelLength(int value);
  std::string SelText();
  void SetSelText(const std::string& value);
  void SelectAll();
  void Clear() { SetText(""); }

  TNotifyEvent OnChange;

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void Dispatch(TMessage& message) override;
  virtual void Change();

 private:
  int maxLength_ = 0;
  char passwordChar_ = 0;
  bool readOnly_ = false;
  bool modified_ = false;  // kept while the window is made again
  TBorderStyle borderStyle_ = TBorderStyle::bsSingle;
};

class TEdit : public TCustomEdit {
 public:
  using TCustomEdit::TCustomEdit;
  std::string ClassName() const override { return "TEdit"; }
};

enum TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };

class TCustomComboBox;

// The items of a combo box, kept by its window (the window is made when needed).
// An item's object stays on this side: the window's item data holds a number for it.
class TComboBoxStrings : public TStrings {
 public:
  explicit TComboBoxStrings(TCustomComboBox* comboBox) : comboBox_(comboBox) {}
  std::string Get(int index) const override;
  int GetCount() const override;
  void Clear() override;
  void Delete(int index) override;
  // EOutOfResources "Unable to insert a line" when the window refuses the item.
  void Insert(int index, const std::string& s) override;
  int Add(const std::string& s) override;
  int IndexOf(const std::string& s) const override;
  TObject* GetObject(int index) const override;
  void PutObject(int index, TObject* object) override;
  void SetUpdateState(bool updating) override;

 private:
  TCustomComboBox* comboBox_;
};

class TCustomComboBox : public TCustomListControl {
 public:
  explicit TCustomComboBox(TComponent* owner);
  ~TCustomComboBox() override;
  std::string ClassName() const override { return "TCustomComboBox"; }

  TStrings& Items() { return *items_; }
  TComboBoxStyle Style() const { return style_; }
  void SetStyle(TComboBoxStyle value);
  int ItemIndex();
  void SetItemIndex(int value);
  int ItemHeight();
  void SetItemHeight(int value);
  bool DroppedDown();
  void SetDroppedDown(bool value);
  int MaxLength() const { return maxLength_; }
  void SetMaxLength(int value);
  // The edit part's selection (none for the drop-down-list styles).
  int SelStart();
  void SetSelStart(int value);
  int SelLength();
  void SetSelLength(int value);
  std::string SelText();
  HWND EditHandle();
  HWND ListHandle();
  void AddItem(const std::string& item, TObject* object) override { items_->AddObject(item, object); }
  // Adds the chosen item (text and object) to another list control.
  virtual void CopySelection(TCustomListControl* destination);

  bool AutoComplete = true;
  bool AutoDropDown = false;
  bool AutoCloseUp = false;

  TNotifyEvent OnChange;
  TNotifyEvent OnSelect;
  TNotifyEvent OnDropDown;
  TNotifyEvent OnCloseUp;
  // Draws an item of an owner-drawn combo box (index -1: the empty selection field);
  // `state` holds the ODS_* bits.
  std::function<void(TWinControl* control, int index, const RECT& rect, UINT state)> OnDrawItem;
  // The canvas owner-drawn items are drawn on, valid while one is drawn.
  TCanvas& Canvas() { return canvas_; }

  // The number the window's item data holds for an object (0 for none) and back.
  LPARAM ObjectNumber(TObject* object);
  TObject* ObjectOfNumber(LPARAM number) const;

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void Dispatch(TMessage& message) override;
  virtual void Change();
  virtual void Select();
  virtual void DropDown();
  virtual void CloseUp();
  // OnDrawItem, or the item's text on the selection colour when selected.
  virtual void DrawItem(int index, const RECT& rect, UINT state);

 private:
  std::unique_ptr<TComboBoxStrings> items_;
  TCanvas canvas_;
  TComboBoxStyle style_ = csDropDown;
  int itemHeight_ = 0;
  int maxLength_ = 0;
  std::map<LPARAM, TObject*> objects_;
  LPARAM nextObject_ = 1;
  // Items, current item and text kept while the window is made again.
  std::vector<std::pair<std::string, TObject*>> savedItems_;
  int savedIndex_ = -1;
  bool saved_ = false;
};

class TComboBox : public TCustomComboBox {
 public:
  using TCustomComboBox::TCustomComboBox;
  std::string ClassName() const override { return "TComboBox"; }
};

class TButtonControl : public TWinControl {
 public:
  explicit TButtonControl(TComponent* owner);
  std::string ClassName() const override { return "TButtonControl"; }
  bool WordWrap = false;

 protected:
  void CreateParams(TCreateParams& params) override;
  std::unique_ptr<TControlActionLink> CreateActionLink() override;
};

// The link of button controls (push buttons, check boxes, radio buttons).
class TButtonActionLink : public TWinControlActionLink {
 public:
  using TWinControlActionLink::TWinControlActionLink;
};

class TButton : public TButtonControl {
 public:
  explicit TButton(TComponent* owner);
  std::string ClassName() const override { return "TButton"; }
  bool Default() const { return default_; }
  void SetDefault(bool value);
  bool Cancel = false;
  TModalResult ModalResult = mrNone;
  // Sets the form's modal result, then runs the action or OnClick.
  void Click() override;

 protected:
  void CreateParams(TCreateParams& params) override;
  void Dispatch(TMessage& message) override;

 private:
  bool default_ = false;
};

enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };

class TCustomCheckBox : public TButtonControl {
 public:
  explicit TCustomCheckBox(TComponent* owner);
  std::string ClassName() const override { return "TCustomCheckBox"; }
  TCheckBoxState State() const { return state_; }
  // A change clicks the box (OnClick), as a change by the user does.
  void SetState(TCheckBoxState value);
  bool Checked() const { return state_ == cbChecked; }
  void SetChecked(bool value) { SetState(value ? cbChecked : cbUnchecked); }
  bool AllowGrayed = false;
  // Unchecked goes to grayed (when allowed) or checked, checked to unchecked,
  // grayed to checked.
  virtual void Toggle();

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void Dispatch(TMessage& message) override;

 private:
  TCheckBoxState state_ = cbUnchecked;
};

class TCheckBox : public TCustomCheckBox {
 public:
  using TCustomCheckBox::TCustomCheckBox;
  std::string ClassName() const override { return "TCheckBox"; }
};

class TRadioButton : public TButtonControl {
 public:
  explicit TRadioButton(TComponent* owner);
  std::string ClassName() const override { return "TRadioButton"; }
  bool Checked() const { return checked_; }
  // Checking turns the other radio buttons of the same parent off and clicks.
  void SetChecked(bool value);

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void Dispatch(TMessage& message) override;

 private:
  bool checked_ = false;
};

class TCustomGroupBox : public TCustomControl {
 public:
  explicit TCustomGroupBox(TComponent* owner);
  std::string ClassName() const override { return "TCustomGroupBox"; }
  bool Ctl3D = true;
  // Focuses the first child that can take the focus.
  void SelectFirst();

 protected:
  void CreateParams(TCreateParams& params) override;
  void Paint() override;
  void Dispatch(TMessage& message) override;
  // The caption's text and its drawing (or measuring, with DT_CALCRECT).
  virtual bool HasCaption();
  virtual void DrawCaption(HDC dc, RECT& rect, UINT flags);
};

class TGroupBox : public TCustomGroupBox {
 public:
  using TCustomGroupBox::TCustomGroupBox;
  std::string ClassName() const override { return "TGroupBox"; }
};

// A label draws its caption on its parent's window; with AutoSize it takes the
// size of its text.
class TCustomLabel : public TGraphicControl {
 public:
  explicit TCustomLabel(TComponent* owner);
  std::string ClassName() const override { return "TCustomLabel"; }

  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool value);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool value);
  bool ShowAccelChar() const { return showAccelChar_; }
  void SetShowAccelChar(bool value);
  TTextLayout Layout = tlTop;
  bool Transparent = false;
  TEllipsisPosition EllipsisPosition = epNone;
  TWinControl* FocusControl() const { return focusControl_; }
  void SetFocusControl(TWinControl* value);

  void AdjustBounds();

 protected:
  // Draws (or with DT_CALCRECT measures) the caption in the rectangle.
  virtual void DoDrawText(RECT& rect, UINT flags);
  void Paint() override;
  void Dispatch(TMessage& message) override;
  void Notification(TComponent* component, TOperation operation) override;
  // The flags every drawing and measuring of the caption starts from.
  UINT TextFlags() const;

 private:
  TAlignment alignment_ = taLeftJustify;
  bool autoSize_ = true;
  bool wordWrap_ = false;
  bool showAccelChar_ = true;
  TWinControl* focusControl_ = nullptr;
};

class TLabel : public TCustomLabel {
 public:
  using TCustomLabel::TCustomLabel;
  std::string ClassName() const override { return "TLabel"; }
};
