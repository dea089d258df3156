// Controls: the class library's visual components. A control has bounds, visibility,
// an enabled state, a parent, a font and colour, 8-bit Caption/Text and Hint, an
// action link, and a message method (WindowProc) that hooks may replace. A windowed
// control owns a window of the window system, made from its creation parameters
// through a window procedure stub that reaches the control's main window method.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/classlib/actions.h"
#include "platform/classlib/component.h"
#include "platform/classlib/graphics.h"
#include "platform/classlib/menus.h"
#include "platform/kernel/resources.h"
#include "platform/win/message_queue.h"
#include "platform/win/window.h"

// The class library's own messages.
inline constexpr UINT CM_BASE = 0xB000;
inline constexpr UINT CM_ACTIVATE = CM_BASE + 0;
inline constexpr UINT CM_DEACTIVATE = CM_BASE + 1;
inline constexpr UINT CM_DIALOGKEY = CM_BASE + 5;
inline constexpr UINT CM_DIALOGCHAR = CM_BASE + 6;
inline constexpr UINT CM_PARENTFONTCHANGED = CM_BASE + 8;
inline constexpr UINT CM_VISIBLECHANGED = CM_BASE + 11;
inline constexpr UINT CM_ENABLEDCHANGED = CM_BASE + 12;
inline constexpr UINT CM_COLORCHANGED = CM_BASE + 13;
inline constexpr UINT CM_FONTCHANGED = CM_BASE + 14;
inline constexpr UINT CM_TEXTCHANGED = CM_BASE + 18;
inline constexpr UINT CM_MOUSEENTER = CM_BASE + 19;
inline constexpr UINT CM_MOUSELEAVE = CM_BASE + 20;
inline constexpr UINT CM_MENUCHANGED = CM_BASE + 21;
inline constexpr UINT CM_SHOWINGCHANGED = CM_BASE + 25;
inline constexpr UINT CM_ENTER = CM_BASE + 26;
inline constexpr UINT CM_EXIT = CM_BASE + 27;
inline constexpr UINT CM_WANTSPECIALKEY = CM_BASE + 30;
inline constexpr UINT CM_RELEASE = CM_BASE + 33;
inline constexpr UINT CM_HINTSHOW = CM_BASE + 48;
inline constexpr UINT CM_RECREATEWND = CM_BASE + 51;
inline constexpr UINT CM_INVALIDATE = CM_BASE + 52;
inline constexpr UINT CM_ACTIONUPDATE = CM_BASE + 63;
inline constexpr UINT CM_ACTIONEXECUTE = CM_BASE + 64;
// Asks a control for the pause before its hint shows: lParam points to the pause in
// milliseconds, which the control may change; wParam is non-zero while a hint shows.
inline constexpr UINT CM_HINTSHOWPAUSE = CM_BASE + 65;

// Notifications a parent reflects back to the control that sent them.
inline constexpr UINT CN_BASE = 0xBC00;
inline constexpr UINT CN_COMMAND = CN_BASE + WM_COMMAND;
inline constexpr UINT CN_NOTIFY = CN_BASE + WM_NOTIFY;  // the sender is the NMHDR's hwndFrom
inline constexpr UINT CN_HSCROLL = CN_BASE + WM_HSCROLL;
inline constexpr UINT CN_VSCROLL = CN_BASE + WM_VSCROLL;
inline constexpr UINT CN_DRAWITEM = CN_BASE + WM_DRAWITEM;
inline constexpr UINT CN_MEASUREITEM = CN_BASE + WM_MEASUREITEM;

struct TMessage {
  UINT Msg;
  WPARAM WParam;
  LPARAM LParam;
  LRESULT Result;
};

using TWndMethod = std::function<void(TMessage&)>;
using TKeyEvent = std::function<void(TObject* sender, WORD& key, TShiftState shift)>;
using TKeyPressEvent = std::function<void(TObject* sender, char& key)>;

// The Shift, Ctrl and Alt keys as the thread's messages have seen them.
TShiftState KeyboardShiftState();

// The module instance that holds the class library's window classes.
inline constexpr HINSTANCE HInstance = platform::kProgramInstance;

// Control style and state flags.
inline constexpr unsigned csAcceptsControls = 0x0001;
inline constexpr unsigned csOpaque = 0x0040;
inline constexpr unsigned csCreating = 0x0008;
inline constexpr unsigned csRecreating = 0x0010;

// Cursors by their class-library numbers (the headless screen shows none).
using TCursor = std::int16_t;
inline constexpr TCursor crDefault = 0;
inline constexpr TCursor crHandPoint = -21;

// Where a control is placed in its parent: alTop and alBottom take the parent's width
// at their own height, alLeft and alRight its height at their own width, in that
// order, and alClient what is left.
enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };

struct TCreateParams {
  std::string Caption;
  DWORD Style = 0;
  DWORD ExStyle = 0;
  int X = 0, Y = 0, Width = 0, Height = 0;
  HWND WndParent = 0;
  void* Param = nullptr;
  WNDCLASSA WindowClass{};
  std::string WinClassName;
};

class TWinControl;
class TControl;
class TControlActionLink;

// --- the class library's drag ---

// CM_DRAG: wParam is a TDragMessage, lParam a TDragRec. dmFindTarget answers the
// control that takes the drag at the point; the others answer whether it is accepted.
inline constexpr UINT CM_DRAG = CM_BASE + 47;
enum TDragMessage : int { dmDragEnter, dmDragLeave, dmDragMove, dmDragDrop, dmDragCancel, dmFindTarget };
enum TDragState { dsDragEnter, dsDragLeave, dsDragMove };

class TDragObject;
class TDragTracker;

struct TDragRec {
  POINT Pos;  // screen
  TDragObject* Source;
  TControl* Target;
  bool Docking;
};

// What is being dragged. The drag that made it frees it when it ends, unless the
// control that started the drag supplied it (then that control frees it).
class TDragObject : public TObject {
 public:
  ~TDragObject() override = default;
  TControl* DragTarget() const { return dragTarget_; }
  POINT DragPos() const { return dragPos_; }
  bool Dropped() const { return dropped_; }
  bool Cancelling() const { return cancelling_; }
  // The drag ended on Target (nil: nowhere) at the client point; Accepted when dropped.
  virtual void Finished(TObject* target, int x, int y, bool accepted);
  // What the controls under the drag are told the source is.
  virtual TObject* SourceObject() { return this; }

 private:
  friend class TDragTracker;
  TControl* dragTarget_ = nullptr;
  POINT dragPos_{};
  bool dropped_ = false;
  bool cancelling_ = false;
};

// A drag of a control: the controls under it see the control as the source, and the
// control hears the end.
class TBaseDragControlObject : public TDragObject {
 public:
  explicit TBaseDragControlObject(TControl* control) : control_(control) {}
  TControl* Control() const { return control_; }
  void Finished(TObject* target, int x, int y, bool accepted) override;

 private:
  TControl* control_;
};

class TDragControlObject : public TBaseDragControlObject {
 public:
  using TBaseDragControlObject::TBaseDragControlObject;
  TObject* SourceObject() override;
};

using TStartDragEvent = std::function<void(TObject* sender, TDragObject*& dragObject)>;
using TEndDragEvent = std::function<void(TObject* sender, TObject* target, int x, int y)>;
using TDragOverEvent =
    std::function<void(TObject* sender, TObject* source, int x, int y, TDragState state, bool& accept)>;
using TDragDropEvent = std::function<void(TObject* sender, TObject* source, int x, int y)>;

// How far the mouse must move with a button down before a drag starts (pixels).
int MouseDragThreshold();
// The running (or pending) class-library drag; nil when none.
TDragObject* CurrentDragObject();
// Ends the running drag without a drop (Escape); false when none runs.
bool CancelDrag();


class TControl : public TComponent {
 public:
  explicit TControl(TComponent* owner);
  ~TControl() override;
  std::string ClassName() const override { return "TControl"; }

  TWinControl* Parent() const { return parent_; }
  virtual void SetParent(TWinControl* parent);
  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  virtual void SetBounds(int left, int top, int width, int height);
  RECT BoundsRect() const { return RECT{left_, top_, left_ + width_, top_ + height_}; }
  virtual RECT ClientRect() const { return RECT{0, 0, width_, height_}; }

  bool Visible() const { return visible_; }
  virtual void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  bool Enabled() const { return enabled_; }
  virtual void SetEnabled(bool enabled);

  // Text goes through WM_GETTEXT and WM_SETTEXT, as the class library does, so that
  // a window and hooks see every change; CM_TEXTCHANGED follows a change.
  std::string Caption() { return GetText(); }
  void SetCaption(const std::string& value) { SetText(value); }
  std::string Text() { return GetText(); }
  std::string GetText();
  void SetText(const std::string& value);
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& value) { hint_ = value; }
  bool ShowHint = false;
  TCursor Cursor = crDefault;
  TAlign Align() const { return align_; }
  void SetAlign(TAlign value);
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  TFont& Font() { return font_; }
  bool ParentFont = true;

  // The message method; hooks put theirs here and pass on to the one they found.
  // Until hooked it holds a DefaultWindowProc, which a hook can recognise.
  TWndMethod WindowProc;
  struct DefaultWindowProc {
    TControl* control;
    void operator()(TMessage& message) const { control->WndProc(message); }
  };
  bool WindowProcIsDefault() const;
  LRESULT Perform(UINT message, WPARAM wParam, LPARAM lParam);
  virtual void WndProc(TMessage& message);
  // Messages the control answers itself; the rest go to DefaultHandler.
  virtual void Dispatch(TMessage& message);
  virtual void DefaultHandler(TMessage& message);

  TBasicAction* Action() const;
  void SetAction(TBasicAction* action);
  TControlActionLink* ActionLink() const { return actionLink_.get(); }
  virtual void InitiateAction();
  virtual void Click();
  TNotifyEvent OnClick;

  virtual void Invalidate();
  void Repaint();
  virtual void Update();
  unsigned ControlStyle = 0;
  unsigned ControlState = 0;

  // The class library's drag: it starts at once (Immediate) or once the mouse moved
  // Threshold pixels (-1: MouseDragThreshold) with the button held, follows the mouse
  // over the controls, which hear it through CM_DRAG, and ends where a button is
  // released (a drop where the control under it accepted) or by Escape.
  void BeginDrag(bool immediate, int threshold = -1);
  void EndDrag(bool drop);
  // The control started the running drag.
  bool Dragging() const;
  virtual void DragDrop(TObject* source, int x, int y);
  virtual void DoEndDrag(TObject* target, int x, int y);
  TStartDragEvent OnStartDrag;
  TEndDragEvent OnEndDrag;
  TDragOverEvent OnDragOver;
  TDragDropEvent OnDragDrop;

 protected:
  virtual void DoStartDrag(TDragObject*& dragObject);
  virtual void DragCanceled() {}
  virtual void DragOver(TObject* source, int x, int y, TDragState state, bool& accept);
  // CM_DRAG for the control under a drag (or, cancelled, the one that started it).
  void DragMessage(TMessage& message);
  virtual void ActionChange(TObject* sender, bool checkDefaults);
  virtual std::unique_ptr<TControlActionLink> CreateActionLink();
  void Notification(TComponent* component, TOperation operation) override;
  // Text of a control without a window (or while its window is being recreated).
  std::string text_;

 private:
  friend class TWinControl;
  TWinControl* parent_ = nullptr;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  bool visible_ = true;
  bool enabled_ = true;
  std::string hint_;
  TAlign align_ = alNone;
  TColor color_ = clWindow;
  TFont font_;
  std::unique_ptr<TControlActionLink> actionLink_;
};

class TControlActionLink : public TClientActionLink<TControl> {
 public:
  using TClientActionLink::TClientActionLink;
};

class TWinControlActionLink : public TControlActionLink {
 public:
  using TControlActionLink::TControlActionLink;
};

// A control drawn on its parent's window (labels, images).
class TGraphicControl : public TControl {
 public:
  explicit TGraphicControl(TComponent* owner);
  ~TGraphicControl() override;
  std::string ClassName() const override { return "TGraphicControl"; }
  TCanvas& Canvas() { return *canvas_; }
  void Dispatch(TMessage& message) override;

 protected:
  virtual void Paint() {}

 private:
  std::unique_ptr<TCanvas> canvas_;
};

class TWinControl : public TControl {
 public:
  explicit TWinControl(TComponent* owner);
  ~TWinControl() override;
  std::string ClassName() const override { return "TWinControl"; }

  HWND Handle();
  bool HandleAllocated() const { return handle_ != 0; }
  void HandleNeeded() { Handle(); }
  void SetParent(TWinControl* parent) override;
  void SetBounds(int left, int top, int width, int height) override;
  void SetVisible(bool visible) override;
  void SetEnabled(bool enabled) override;

  int ControlCount() const { return static_cast<int>(controls_.size()); }
  TControl* Controls(int index) const { return controls_.at(index); }
  void InsertControl(TControl* control);
  void RemoveControl(TControl* control);
  // Places the aligned children in the client area.
  void AlignControls();

  // The place among the parent's windowed controls that Tab goes through, from 0; a
  // control without a parent keeps the place it asked for (-1: the end) until it gets
  // one. A place out of range means the last.
  int TabOrder() const;
  void SetTabOrder(int value);
  // Whether Tab stops at the control (WS_TABSTOP of its window).
  bool TabStop() const { return tabStop_; }
  void SetTabStop(bool value);
  // The windowed controls below this one in tab order, each followed by its own.
  void GetTabOrderList(std::vector<TWinControl*>& list) const;
  // The control after (before) `current` in tab order, wrapping round, that can take
  // the focus and, as asked, is a tab stop and a child of this control; null if none.
  TWinControl* FindNextControl(TWinControl* current, bool goForward, bool checkTabStop,
                               bool checkParent) const;
  // Focuses the next (previous) tab stop after `current`.
  void SelectNext(TWinControl* current, bool goForward, bool checkTabStop);

  // The default procedure the class library passes unhandled messages to.
  WNDPROC DefWndProc = nullptr;
  // The stub that is the window's procedure after creation; it reaches MainWndProc.
  WNDPROC ObjectInstance() const;
  void MainWndProc(TMessage& message);
  void DefaultHandler(TMessage& message) override;
  void Dispatch(TMessage& message) override;
  void Invalidate() override;
  void Update() override;
  bool Focused();
  void SetFocus();
  void RecreateWnd();
  void DestroyHandle();

  // Keys reach the events first; a key set to 0 goes no further.
  TKeyEvent OnKeyDown;
  TKeyPressEvent OnKeyPress;

  // The control a window belongs to, found through the window's control property.
  static TWinControl* FindControl(HWND window);
  // The number the window's control properties hold for this control.
  std::uint32_t ControlId() const { return id_; }
  // For a layer that makes the control's window itself: the handle field.
  void SetHandleField(HWND handle) { handle_ = handle; }

 protected:
  virtual void CreateParams(TCreateParams& params);
  virtual void CreateWnd();
  virtual void CreateWindowHandle(const TCreateParams& params);
  virtual void DestroyWnd();
  virtual void CreateHandle();
  // Takes the class of a system window (such as "EDIT") as the base of the control's.
  void CreateSubClass(TCreateParams& params, const char* controlClassName);
  virtual void PaintWindow(HDC dc);
  void PaintControls(HDC dc);
  virtual void KeyDown(WORD& key, TShiftState shift);
  virtual void KeyPress(char& key);
  // Offers a dialog key (Tab, Return, Escape) to the form the control stands on,
  // unless the control's window wants the key itself; true when the form took it.
  bool DoDialogKey(WORD key, LPARAM keyData);

 private:
  friend LRESULT InitWndProc(HWND, UINT, WPARAM, LPARAM);
  void PaintHandler();
  // Hands a mouse message over the client area to the graphic child under it (or to
  // the one that was pressed, until the release); false when there is none, and for
  // windows of system classes, which handle their own mouse.
  bool RouteMouseToGraphicChild(TMessage& message);
  HWND handle_ = 0;
  bool aligning_ = false;
  TControl* pressedChild_ = nullptr;
  std::vector<TControl*> controls_;
  std::vector<TWinControl*> tabList_;  // the windowed children in tab order
  int tabOrder_ = -1;                  // asked for while without a parent
  bool tabStop_ = false;
  std::unique_ptr<platform::win::WindowProcStub> objectInstance_;
  std::uint32_t id_ = 0;  // what the window's control property holds
};

// Where a control's client area starts on the screen; (0, 0) for nil.
POINT ClientOrigin(TControl* control);

// A control can take the focus when it and every parent are visible and enabled.
bool CanFocus(TWinControl* control);

// The control whose window is being created right now (between CreateWindowEx's
// start and the window's first message).
extern TWinControl* CreationControl;

// Atoms of the properties by which a control is found from its window.
ATOM ControlAtom();
ATOM WindowAtom();

// The window procedure of every class-library window class until its first message.
LRESULT InitWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// A hidden window whose messages go to a method (timers, the application); the
// class and style may be given (the application's window has its own class).
HWND AllocateHWnd(TWndMethod method, const char* className = "TPUtilWindow", DWORD style = WS_POPUP);
void DeallocateHWnd(HWND window);

// A windowed control that holds a list of items (combo boxes, list views).
class TCustomListControl : public TWinControl {
 public:
  using TWinControl::TWinControl;
  std::string ClassName() const override { return "TCustomListControl"; }
  virtual void AddItem(const std::string& item, TObject* object) = 0;
};

// A windowed control with a canvas and a Paint method.
class TCustomControl : public TWinControl {
 public:
  explicit TCustomControl(TComponent* owner);
  ~TCustomControl() override;
  std::string ClassName() const override { return "TCustomControl"; }
  TCanvas& Canvas() { return *canvas_; }

 protected:
  virtual void Paint() {}
  void PaintWindow(HDC dc) override;

 private:
  std::unique_ptr<TCanvas> canvas_;
};
