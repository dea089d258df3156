// Wide captions and hints of controls, and Unicode windows for the class library's
// windowed controls: a control's window is made from a Unicode copy of its window
// class and hooked by a trap, so that the class library still receives every message
// while the system converts the text messages between its 8-bit view and the wide
// window. Texts of controls without a window live in helper components.
#pragma once

#include <memory>
#include <string>

#include "platform/classlib/controls.h"
#include "platform/classlib/hint_window.h"

// A component that serves another one and frees itself when that one goes.
// Ownership: the helper list owns every helper; the served component's removal
// notification takes the helper out of the list and frees it.
class TWideComponentHelper : public TComponent {
 public:
  // Helpers are made only through the list (TWideControlHelper::For); this one raises.
  explicit TWideComponentHelper(TComponent* owner);
  std::string ClassName() const override { return "TWideComponentHelper"; }
  TComponent* Component() const { return component_; }

 protected:
  struct ListConstruction {};
  TWideComponentHelper(TComponent* component, ListConstruction);
  void Notification(TComponent* component, TOperation operation) override;

 private:
  TComponent* component_ = nullptr;
};

class TWideControlHelper : public TWideComponentHelper {
 public:
  std::string ClassName() const override { return "TWideControlHelper"; }
  // The helper of a control, or null; For makes one when there is none.
  static TWideControlHelper* Find(const TControl* control);
  static TWideControlHelper* For(TControl* control);
  TControl* Control() const { return static_cast<TControl*>(Component()); }
  std::u16string WideCaption;
  std::u16string WideHint;

 private:
  using TWideComponentHelper::TWideComponentHelper;
};

// Whether `ansi` is the ANSI form of `wide`.
bool IsAnsiFormOf(const std::string& ansi, const std::u16string& wide);
// Keeps a wide copy in step with its 8-bit original: the copy is replaced by the
// widened original when the original no longer is its ANSI form.
const std::u16string& GetSyncedWideString(std::u16string& wideCopy, const std::string& ansiValue);
// Sets both; a value that 8 bits cannot hold but whose ANSI form equals the current
// 8-bit value first sets the 8-bit side empty, so that its owner notices a change.
void SetSyncedWideString(const std::u16string& value, std::u16string& wideCopy, const std::string& ansiValue,
                         const std::function<void(const std::string&)>& ansiSetter);

// Window creation for the wide windowed controls: `subClass` names the system class
// the control is built on ("EDIT", "BUTTON", ...), empty for none.
void CreateUnicodeHandle(TWinControl* control, const TCreateParams& params, const std::u16string& subClass);
void RegisterUnicodeClass(const TCreateParams& params, std::u16string& wideClassName);
void SubClassUnicodeControl(TWinControl* control, const std::string& caption);
LRESULT UnicodeInitWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

std::u16string GetWideControlText(TControl* control);
void SetWideControlText(TControl* control, const std::u16string& value);
std::u16string GetWideControlHint(TControl* control);
void SetWideControlHint(TControl* control, const std::u16string& value);
bool IsControlCaptionStored(TControl* control);
bool IsHintStored(TControl* control);
// The first non-empty wide hint of the control or its parents.
std::u16string WideGetHint(TControl* control);
std::u16string WideGetShortHint(const std::u16string& hint);
std::u16string WideGetLongHint(const std::u16string& hint);

// WM_CHAR carries a 16-bit character; an 8-bit reader gets 255 with the character
// kept in the high word of wParam.
void MakeWMCharMsgSafeForAnsi(TMessage& message);
void RestoreWMCharMsg(TMessage& message);
char16_t GetWideCharFromWMCharMsg(const TMessage& message);
void SetWideCharForWMCharMsg(TMessage& message, char16_t character);

void WideCanvasTextOut(TCanvas& canvas, int x, int y, const std::u16string& text);
SIZE WideCanvasTextExtent(TCanvas& canvas, const std::u16string& text);
int WideCanvasTextWidth(TCanvas& canvas, const std::u16string& text);
int WideCanvasTextHeight(TCanvas& canvas, const std::u16string& text);

// The registered message "UniControls.DestroyWindow", handled like WM_DESTROY.
UINT UniDestroyWindowMessage();

// Shutdown of the layer: windows that still exist afterwards only have their
// controls' handle fields cleared when they are destroyed.
void FinishUnicodeControls();

// The wide list-control interface {C1801F41-51E9-4DB5-8DB8-58AC86698C2E}: a list
// control that takes wide items.
class IWideCustomListControl {
 public:
  virtual ~IWideCustomListControl() = default;
  virtual void AddItem(const std::u16string& item, TObject* object) = 0;
};

// Adds a wide item, through the wide interface when the control offers it, else as
// its ANSI form through the class library.
void WideListControlAddItem(TCustomListControl* control, const std::u16string& item, TObject* object);

// CM_HINTSHOW of a wide control: hands the wide hint window the control's wide hint.
// Subclassed windows get it from their trap; graphic wide controls call it.
void ProcessWideHintShow(const TMessage& message);

// Hint data that a wide control's CM_HINTSHOW marked: the hint information record
// itself, alive, with a window class that descends from TUniCustomHintWindow.
bool IsWideHintData(const void* data);
// The wide text of a hint whose 8-bit text is `hint`: the control's short wide hint
// when it still matches, with the action's shortcut when the class library added it,
// else `hint` widened.
std::u16string GetWideHintFromHintData(const std::string& hint, const void* data);

// The hint window for wide hints: a Unicode window that shows the wide text of hints
// marked by wide controls.
class TUniCustomHintWindow : public THintWindow {
 public:
  using THintWindow::THintWindow;
  std::string ClassName() const override { return "TUniCustomHintWindow"; }
  static const THintWindowClass& Class();
  const THintWindowClass& ClassType() const override { return Class(); }
  void ActivateHint(RECT rect, const std::string& hint) override;
  void ActivateHintData(RECT rect, const std::string& hint, void* data) override;
  RECT CalcHintRect(int maxWidth, const std::string& hint, void* data) override;
  void Dispatch(TMessage& message) override;

 protected:
  void CreateWindowHandle(const TCreateParams& params) override;
  void Paint() override;

 private:
  bool paintBlocked_ = false;
};
