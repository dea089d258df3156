#include "platform/classlib/forms.h"
#include "platform/base/errors.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/base/clock.h"
#include "platform/classlib/std_ctrls.h"
#include "platform/classlib/timers.h"
#include "platform/win/display.h"
#include "platform/win/input.h"
#include "platform/win/input_driver.h"
#include "platform/win/scroll.h"

namespace {

class FormsTest : public testing::Test {
 protected:
  void SetUp() override { app_ = new TApplication(nullptr); }
  void TearDown() override {
    delete app_;
    platform::test_clock::Release();
  }
  TApplication* app_ = nullptr;
};

TEST_F(FormsTest, ShowCloseAndFreeRaiseTheirEvents) {
  std::vector<std::string> events;
  auto* main = app_->CreateForm<TForm>();
  auto* other = app_->CreateForm<TForm>();
  EXPECT_EQ(app_->MainForm, main);
  other->OnShow = [&](TObject*) { events.push_back("show"); };
  other->OnHide = [&](TObject*) { events.push_back("hide"); };
  other->OnClose = [&](TObject*, TCloseAction& action) {
    events.push_back("close");
    action = TCloseAction::caFree;
  };
  other->OnDestroy = [&](TObject*) { events.push_back("destroy"); };
  other->SetCaption("Other");
  other->Show();
  ASSERT_TRUE(IsWindowVisible(other->Handle()));
  EXPECT_EQ(GetWindow(other->Handle(), GW_OWNER), app_->Handle());
  EXPECT_EQ(FindWindowA("TForm", "Other"), other->Handle());
  other->Close();
  EXPECT_EQ(events, (std::vector<std::string>{"show", "close"}));
  app_->ProcessMessages();  // the release comes through the queue
  EXPECT_EQ(events, (std::vector<std::string>{"show", "close", "destroy"}));
  EXPECT_EQ(Screen().FormCount(), 1);
  // Closing the main form ends the application's loop.
  main->Close();
  EXPECT_TRUE(app_->Terminated());
}

TEST_F(FormsTest, CloseQueryCanRefuse) {
  auto* form = app_->CreateForm<TForm>();
  auto* dialog = app_->CreateForm<TForm>();
  dialog->Show();
  dialog->OnCloseQuery = [](TObject*, bool& canClose) { canClose = false; };
  dialog->Close();
  EXPECT_TRUE(dialog->Visible());
  (void)form;
}

TEST_F(FormsTest, ShowModalRunsALoopUntilAResultAndDisablesOtherForms) {
  auto* main = app_->CreateForm<TForm>();
  main->Show();
  auto* dialog = app_->CreateForm<TForm>();
  bool mainEnabledDuring = true;
  dialog->OnShow = [&](TObject*) {
    mainEnabledDuring = IsWindowEnabled(main->Handle());
    // Answer from inside the loop, as a button would.
    PostMessageA(dialog->Handle(), WM_USER, 0, 0);
  };
  // The procedure outlives this test's locals (the application frees the form after
  // the test), so it holds copies.
  dialog->WindowProc = [dialog, previous = dialog->WindowProc](TMessage& m) {
    if (m.Msg == WM_USER) dialog->ModalResult = mrOk;
    previous(m);
  };
  EXPECT_EQ(dialog->ShowModal(), mrOk);
  EXPECT_FALSE(mainEnabledDuring);
  EXPECT_TRUE(IsWindowEnabled(main->Handle()));
  EXPECT_FALSE(dialog->Visible());
}

// With nothing left to answer it (no screen, no input), a modal window ends as
// cancelled and says so in the last error, however the window is put away after.
TEST_F(FormsTest, ShowModalThatNoOneCanAnswerEndsCancelledWithItsReason) {
  auto* main = app_->CreateForm<TForm>();
  main->Show();
  auto* dialog = app_->CreateForm<TForm>();
  dialog->OnHide = [](TObject*) { SetLastError(ERROR_INVALID_HANDLE); };
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(dialog->ShowModal(), mrCancel);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
  EXPECT_TRUE(IsWindowEnabled(main->Handle()));
}

// A display whose user can answer: the window system tells it nothing here.
class AnsweringDisplay : public platform::win::DisplayBackend {
 public:
  void WindowChanged(HWND) override {}
  void WindowGone(HWND) override {}
  void Pump() override {}
};

TEST_F(FormsTest, ShowModalOnADisplayWaitsForTheUser) {
  AnsweringDisplay display;
  platform::win::SetDisplayBackend(&display);
  auto* dialog = app_->CreateForm<TForm>();
  // The user answers a while after the window shows, when its loop has nothing left.
  TTimer user(nullptr);
  user.SetInterval(100);
  user.SetOnTimer([&](TObject*) { dialog->ModalResult = mrOk; });
  EXPECT_EQ(dialog->ShowModal(), mrOk);
  platform::win::SetDisplayBackend(nullptr);
}

TEST_F(FormsTest, TimerTicksWithTheFrozenClock) {
  platform::test_clock::Freeze(1000, 45000.0);
  TTimer timer(nullptr);
  int ticks = 0;
  timer.SetInterval(100);
  timer.SetOnTimer([&](TObject*) { ++ticks; });
  app_->ProcessMessages();
  EXPECT_EQ(ticks, 0);
  platform::test_clock::Advance(100);
  app_->ProcessMessages();
  EXPECT_EQ(ticks, 1);
  timer.SetEnabled(false);
  platform::test_clock::Advance(500);
  app_->ProcessMessages();
  EXPECT_EQ(ticks, 1);
  // An exception in the handler reaches the application, not the loop.
  std::vector<std::string> errors;
  app_->OnException = [&](TObject*, const Exception& e) { errors.push_back(e.Message()); };
  timer.SetOnTimer([](TObject*) { throw EInvalidOperation("tick failed"); });
  timer.SetEnabled(true);
  platform::test_clock::Advance(100);
  app_->ProcessMessages();
  EXPECT_EQ(errors, std::vector<std::string>{"tick failed"});
}

TEST_F(FormsTest, MessageEventAndIdleRunInTheLoop) {
  auto* form = app_->CreateForm<TForm>();
  std::vector<UINT> handled;
  app_->OnMessage = [&](MSG& msg, bool& isHandled) {
    if (msg.message == WM_USER + 5) {
      handled.push_back(msg.message);
      isHandled = true;
    }
  };
  int idles = 0;
  app_->OnIdle = [&](TObject*, bool& done) {
    ++idles;
    done = false;  // do not wait for messages
  };
  std::vector<UINT> reached;
  TWndMethod previous = form->WindowProc;
  form->WindowProc = [&](TMessage& m) {
    if (m.Msg >= WM_USER) reached.push_back(m.Msg);
    previous(m);
  };
  PostMessageA(form->Handle(), WM_USER + 5, 0, 0);
  PostMessageA(form->Handle(), WM_USER + 6, 0, 0);
  app_->HandleMessage();
  app_->HandleMessage();
  app_->HandleMessage();
  EXPECT_EQ(handled, std::vector<UINT>{WM_USER + 5});
  EXPECT_EQ(reached, std::vector<UINT>{WM_USER + 6});
  EXPECT_EQ(idles, 1);
  form->WindowProc = previous;
}

TEST_F(FormsTest, TitleIsTheApplicationWindowsText) {
  app_->SetTitle("Pellix");
  EXPECT_EQ(app_->Title(), "Pellix");
  char text[16];
  GetWindowTextA(app_->Handle(), text, 16);
  EXPECT_STREQ(text, "Pellix");
}

}  // namespace

namespace {

// Controls below the box's client area: the bar comes, the bar and the wheel move them,
// and an edit that takes the focus comes into view.
TEST_F(FormsTest, ScrollBoxScrollsItsControlsAndBringsTheFocusedOneIntoView) {
  namespace input = platform::input_driver;
  TForm form(nullptr);
  form.SetBounds(0, 0, 200, 160);
  auto* box = new TScrollBox(&form);
  box->SetParent(&form);
  box->SetBounds(0, 0, 200, 100);
  std::vector<TEdit*> edits;
  for (int i = 0; i < 8; ++i) {
    auto* edit = new TEdit(&form);
    edit->SetParent(box);
    edit->SetBounds(10, 10 + i * 40, 100, 20);
    edits.push_back(edit);
  }
  form.Show();
  SendMessageW(box->Handle(), WM_SIZE, 0, 0);
  SCROLLINFO info{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS, 0, 0, 0, 0, 0};
  ASSERT_TRUE(GetScrollInfo(box->Handle(), SB_VERT, &info));
  RECT client;
  GetClientRect(box->Handle(), &client);
  EXPECT_EQ(info.nMax, 10 + 7 * 40 + 20 - 1);
  EXPECT_EQ(static_cast<int>(info.nPage), client.bottom);

  edits[5]->SetFocus();  // 210 to 230: below the page
  input::RunPending();
  EXPECT_EQ(box->VertScrollPosition(), 230 - client.bottom);
  EXPECT_EQ(edits[5]->Top() + edits[5]->Height(), client.bottom);
  edits[0]->SetFocus();
  input::RunPending();
  EXPECT_EQ(box->VertScrollPosition(), 10);
  EXPECT_EQ(edits[0]->Top(), 0);

  SendMessageW(box->Handle(), WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(box->VertScrollPosition(), 18);
  EXPECT_EQ(edits[0]->Top(), -8);
  SendMessageW(box->Handle(), WM_VSCROLL, SB_BOTTOM, 0);
  EXPECT_EQ(box->VertScrollPosition(), 310 - client.bottom) << "never past the last control";
  SendMessageW(box->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
  EXPECT_EQ(box->VertScrollPosition(), 310 - client.bottom - 24);
  SendMessageW(box->Handle(), WM_VSCROLL, SB_TOP, 0);
  EXPECT_EQ(box->VertScrollPosition(), 0);
  EXPECT_EQ(edits[0]->Top(), 10);
}

}  // namespace
