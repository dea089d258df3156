#include "platform/classlib/controls.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/classlib/forms.h"
#include "platform/gdi/window_picture.h"
#include "platform/win/atoms.h"
#include "platform/win/input.h"

namespace {

class ControlsTest : public testing::Test {
 protected:
  void SetUp() override { app_ = new TApplication(nullptr); }
  void TearDown() override { delete app_; }
  static void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, 0, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
  TApplication* app_ = nullptr;
};

// A panel-like windowed control that counts text changes.
class Box : public TWinControl {
 public:
  explicit Box(TComponent* owner) : TWinControl(owner) { ControlStyle |= csAcceptsControls; }
  std::string ClassName() const override { return "TBox"; }
  int textChanges = 0;
  void Dispatch(TMessage& message) override {
    if (message.Msg == CM_TEXTCHANGED) ++textChanges;
    TWinControl::Dispatch(message);
  }
};

TEST_F(ControlsTest, WindowIsMadeFromTheCreationParametersAndFindsItsControl) {
  TForm form(nullptr);
  auto* box = new Box(&form);
  box->SetParent(&form);
  box->SetBounds(5, 6, 70, 20);
  HWND window = box->Handle();
  ASSERT_NE(window, 0u);
  char className[32];
  GetClassNameA(window, className, 32);
  EXPECT_STREQ(className, "TBox");
  EXPECT_EQ(TWinControl::FindControl(window), box);
  EXPECT_EQ(GetParent(window), form.Handle());
  // After the first message the window's procedure is the control's stub, and a
  // child without an id has its own handle as id.
  EXPECT_EQ(GetWindowLongPtrA(window, GWL_WNDPROC), reinterpret_cast<LONG_PTR>(box->ObjectInstance()));
  EXPECT_EQ(static_cast<HWND>(GetWindowLongA(window, GWL_ID)), window);
  EXPECT_NE(GetPropA(window, MAKEINTATOMA(WindowAtom())), 0);
  RECT rect;
  GetWindowRect(window, &rect);
  RECT formRect;
  GetWindowRect(form.Handle(), &formRect);
  EXPECT_EQ(rect.left - formRect.left, 5);
  EXPECT_EQ(rect.right - rect.left, 70);
}

TEST_F(ControlsTest, AChildAskedFirstMakesItsParentAndExactlyOneWindow) {
  TForm form(nullptr);
  auto* box = new Box(&form);
  box->SetParent(&form);
  HWND window = box->Handle();  // the form has no window yet
  std::vector<HWND> children;
  for (HWND c = GetWindow(form.Handle(), GW_CHILD); c != 0; c = GetWindow(c, GW_HWNDNEXT)) children.push_back(c);
  EXPECT_EQ(children, std::vector<HWND>{window});
}

TEST_F(ControlsTest, CaptionLivesInTheWindowAndSurvivesRecreation) {
  TForm form(nullptr);
  auto* box = new Box(&form);
  box->SetCaption("before");  // no window yet
  EXPECT_EQ(box->textChanges, 1);
  box->SetParent(&form);
  HWND first = box->Handle();
  char text[32];
  GetWindowTextA(first, text, 32);
  EXPECT_STREQ(text, "before");
  box->SetCaption("after");
  GetWindowTextA(first, text, 32);
  EXPECT_STREQ(text, "after");
  box->SetCaption("after");  // unchanged: no message
  EXPECT_EQ(box->textChanges, 2);
  box->RecreateWnd();
  EXPECT_FALSE(IsWindow(first));
  EXPECT_EQ(box->Caption(), "after");
  GetWindowTextA(box->Handle(), text, 32);
  EXPECT_STREQ(text, "after");
  // Text set on the window behind the control's back is what the control reads.
  SetWindowTextA(box->Handle(), "direct");
  EXPECT_EQ(box->Caption(), "direct");
}

TEST_F(ControlsTest, WindowProcHooksSeeEveryWindowMessage) {
  TForm form(nullptr);
  auto* box = new Box(&form);
  box->SetParent(&form);
  std::vector<UINT> seen;
  TWndMethod previous = box->WindowProc;
  box->WindowProc = [&](TMessage& m) {
    if (m.Msg >= WM_USER) seen.push_back(m.Msg);
    if (m.Msg == WM_USER + 1) {
      m.Result = 7;
      return;
    }
    previous(m);
  };
  EXPECT_EQ(SendMessageA(box->Handle(), WM_USER + 1, 0, 0), 7);
  PostMessageA(box->Handle(), WM_USER + 2, 0, 0);
  Pump();
  EXPECT_EQ(seen, (std::vector<UINT>{WM_USER + 1, WM_USER + 2}));
  box->WindowProc = previous;
}

// A graphic control that fills itself with its colour.
class Swatch : public TGraphicControl {
 public:
  using TGraphicControl::TGraphicControl;

 protected:
  void Paint() override {
    Canvas().Brush().SetColor(Color());
    Canvas().FillRect(ClientRect());
  }
};

TEST_F(ControlsTest, GraphicControlsPaintOnTheirParentsWindow) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 40, 30);
  auto* swatch = new Swatch(&form);
  swatch->SetParent(&form);
  swatch->SetBounds(10, 5, 6, 4);
  swatch->SetColor(clRed);
  form.Show();
  Pump();
  auto picture = platform::gdi::WindowPicture(form.Handle());
  auto pixel = [&](int x, int y) {
    HDC dc = GetDC(form.Handle());
    COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(form.Handle(), dc);
    return c;
  };
  EXPECT_EQ(pixel(10, 5), RGB(255, 0, 0));
  EXPECT_EQ(pixel(15, 8), RGB(255, 0, 0));
  EXPECT_EQ(pixel(16, 8), GetSysColor(COLOR_BTNFACE));  // the clip holds at the edge
  EXPECT_EQ(pixel(9, 5), GetSysColor(COLOR_BTNFACE));
  swatch->SetVisible(false);
  Pump();
  EXPECT_EQ(pixel(10, 5), GetSysColor(COLOR_BTNFACE));
}

// A graphic control that notes the mouse messages it gets, in its own coordinates.
class MouseNotes : public TGraphicControl {
 public:
  using TGraphicControl::TGraphicControl;
  std::vector<std::string> notes;
  void Dispatch(TMessage& message) override {
    if (message.Msg >= WM_MOUSEMOVE && message.Msg <= WM_MBUTTONUP) {
      notes.push_back(std::to_string(message.Msg) + "@" + std::to_string(GET_X_LPARAM(message.LParam)) + "," +
                      std::to_string(GET_Y_LPARAM(message.LParam)));
    }
    TGraphicControl::Dispatch(message);
  }
};

TEST_F(ControlsTest, MouseMessagesReachTheGraphicChildUnderThemAndFollowAPress) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 100, 80);
  auto* under = new MouseNotes(&form);
  under->SetParent(&form);
  under->SetBounds(10, 10, 30, 20);
  auto* over = new MouseNotes(&form);
  over->SetParent(&form);
  over->SetBounds(30, 10, 30, 20);
  auto send = [&](UINT message, int x, int y) { SendMessageW(form.Handle(), message, 0, MAKELPARAM(x, y)); };
  send(WM_MOUSEMOVE, 5, 5);
  send(WM_MOUSEMOVE, 12, 14);
  send(WM_MOUSEMOVE, 35, 14);  // both hold the point: the later one is on top
  // A press keeps the messages with its control until the release, also outside it.
  send(WM_LBUTTONDOWN, 15, 15);
  send(WM_MOUSEMOVE, 80, 70);
  EXPECT_EQ(GetCapture(), form.Handle());
  send(WM_LBUTTONUP, 36, 12);
  EXPECT_EQ(GetCapture(), HWND(0));
  send(WM_MOUSEMOVE, 36, 12);
  const std::string move = std::to_string(WM_MOUSEMOVE), down = std::to_string(WM_LBUTTONDOWN),
                    up = std::to_string(WM_LBUTTONUP);
  EXPECT_EQ(under->notes, (std::vector<std::string>{move + "@2,4", down + "@5,5", move + "@70,60", up + "@26,2"}));
  EXPECT_EQ(over->notes, (std::vector<std::string>{move + "@5,4", move + "@6,2"}));
  // A hidden or disabled control gets none.
  over->SetEnabled(false);
  under->SetVisible(false);
  send(WM_MOUSEMOVE, 36, 12);
  EXPECT_EQ(over->notes.size(), 2u);
  EXPECT_EQ(under->notes.size(), 4u);
}

TEST_F(ControlsTest, AlignedChildrenShareTheClientArea) {
  Box box(nullptr);
  box.SetBounds(0, 0, 100, 80);
  auto child = [&](TAlign align, int width, int height) {
    auto* control = new Swatch(&box);
    control->SetParent(&box);
    control->SetBounds(3, 3, width, height);
    control->SetAlign(align);
    return control;
  };
  TControl* client = child(alClient, 5, 5);
  TControl* top = child(alTop, 5, 10);
  TControl* bottom = child(alBottom, 5, 20);
  TControl* left = child(alLeft, 15, 5);
  TControl* right = child(alRight, 25, 5);
  TControl* none = child(alNone, 7, 8);
  auto bounds = [](TControl* c) {
    RECT r = c->BoundsRect();
    return std::to_string(r.left) + "," + std::to_string(r.top) + "-" + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
  };
  EXPECT_EQ(bounds(top), "0,0-100,10");
  EXPECT_EQ(bounds(bottom), "0,60-100,80");
  EXPECT_EQ(bounds(left), "0,10-15,60");
  EXPECT_EQ(bounds(right), "75,10-100,60");
  EXPECT_EQ(bounds(client), "15,10-75,60");
  EXPECT_EQ(bounds(none), "3,3-10,11");
  // The parent's new size places them again.
  box.SetBounds(0, 0, 60, 40);
  EXPECT_EQ(bounds(client), "15,10-35,20");
  EXPECT_EQ(bounds(bottom), "0,20-60,40");
}

TEST_F(ControlsTest, LinkedControlsFollowTheirActionWhileTheyMatchIt) {
  TForm form(nullptr);
  auto* action = new TAction(&form);
  action->SetCaption("Open");
  action->SetHint("Opens");
  auto* linked = new Box(&form);
  linked->SetAction(action);
  EXPECT_EQ(linked->Caption(), "Open");
  EXPECT_EQ(linked->Hint(), "Opens");
  action->SetCaption("Open...");
  EXPECT_EQ(linked->Caption(), "Open...");
  // A control given its own caption no longer follows.
  linked->SetCaption("Mine");
  action->SetCaption("Other");
  EXPECT_EQ(linked->Caption(), "Mine");
  // Filling in defaults only: a control whose caption is its name takes the action's.
  auto* named = new Box(&form);
  named->SetName("Button1");
  named->SetCaption("Button1");
  action->BeginLoading();
  named->SetAction(action);
  action->EndLoading();
  EXPECT_EQ(named->Caption(), "Other");
  // Clicking runs the action; freeing the action unlinks the controls.
  int executed = 0;
  action->OnExecute = [&](TObject*) { ++executed; };
  linked->Click();
  EXPECT_EQ(executed, 1);
  delete action;
  EXPECT_EQ(linked->Action(), nullptr);
  linked->Click();
  EXPECT_EQ(executed, 1);
}

TEST_F(ControlsTest, HintActionReachesTheApplicationWindowHooks) {
  std::vector<std::string> hints;
  app_->HookMainWindow([&](TMessage& m) {
    if (m.Msg != CM_ACTIONEXECUTE) return false;
    auto* action = reinterpret_cast<TBasicAction*>(m.LParam);
    if (action->ClassName() != "THintAction") return false;
    hints.push_back(static_cast<THintAction*>(action)->Hint());
    m.Result = 1;
    return true;
  });
  app_->SetHint("Saves the file");
  app_->SetHint("Saves the file");  // unchanged
  EXPECT_EQ(hints, std::vector<std::string>{"Saves the file"});
  int onHint = 0;
  app_->OnHint = [&](TObject*) { ++onHint; };
  app_->SetHint("Other");
  EXPECT_EQ(onHint, 1);
  EXPECT_EQ(hints.size(), 1u);
}

}  // namespace
