#include "controls/unicode/uni_forms.h"

#include <gtest/gtest.h>

#include <vector>

#include "controls/unicode/uni_controls.h"

namespace {

std::vector<WPARAM> g_typed;

LRESULT TypingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CHAR) g_typed.push_back(wParam);
  return DefWindowProcW(window, message, wParam, lParam);
}

// A wide edit-like control on the recording "system" class.
class TUniTyping : public TWinControl {
 public:
  using TWinControl::TWinControl;
  std::string ClassName() const override { return "TUniTyping"; }

 protected:
  void CreateWindowHandle(const TCreateParams& params) override {
    CreateUnicodeHandle(this, params, u"UniFormsTestEdit");
  }
};

class UniFormsTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = TypingProc;
    wc.lpszClassName = u"UniFormsTestEdit";
    wc.hInstance = HInstance;
    RegisterClassW(&wc);
  }
  void SetUp() override {
    g_typed.clear();
    app_ = new TApplication(nullptr);
    StartUniApplication();
    form_ = app_->CreateForm<TForm>();
    form_->SetBounds(0, 0, 200, 100);
    edit_ = new TUniTyping(form_);
    edit_->SetParent(form_);
    edit_->SetBounds(10, 10, 80, 20);
    form_->Show();
  }
  void TearDown() override {
    FinishUniApplication();
    delete app_;
  }
  TApplication* app_ = nullptr;
  TForm* form_ = nullptr;
  TUniTyping* edit_ = nullptr;
};

TEST_F(UniFormsTest, WideCharactersGetThroughTheEightBitLoop) {
  PostMessageW(edit_->Handle(), WM_CHAR, 0x0416, 0);
  PostMessageW(edit_->Handle(), WM_CHAR, u'a', 0);
  app_->ProcessMessages();
  EXPECT_EQ(g_typed, (std::vector<WPARAM>{0x0416, u'a'}));
  // Without the layer's hook the 8-bit loop turns the character into "?".
  FinishUniApplication();
  g_typed.clear();
  PostMessageW(edit_->Handle(), WM_CHAR, 0x0416, 0);
  app_->ProcessMessages();
  EXPECT_EQ(g_typed, std::vector<WPARAM>{u'?'});
  StartUniApplication();
}

TEST_F(UniFormsTest, AMessageEventThatHandlesAWideCharacterKeepsItFromTheWindow) {
  std::vector<WPARAM> seen;
  app_->OnMessage = [&](MSG& msg, bool& handled) {
    if (msg.message != WM_CHAR) return;
    seen.push_back(msg.wParam);
    handled = msg.wParam >= 256;
  };
  PostMessageW(edit_->Handle(), WM_CHAR, 0x0416, 0);
  PostMessageW(edit_->Handle(), WM_CHAR, u'b', 0);
  app_->ProcessMessages();
  EXPECT_EQ(seen, (std::vector<WPARAM>{0x0416, u'b'}));
  EXPECT_EQ(g_typed, std::vector<WPARAM>{u'b'});
}

TEST_F(UniFormsTest, WideTitleIsTheApplicationWindowsText) {
  UniApplication->SetTitle(u"Pellix \u0416");
  EXPECT_EQ(UniApplication->Title(), u"Pellix \u0416");
  // The class library's window is an 8-bit one: its own view is the ANSI form.
  EXPECT_EQ(app_->Title(), "Pellix ?");
}

TEST_F(UniFormsTest, IdleKeepsTheWideHintOfTheControlUnderTheMouse) {
  app_->ProcessMessages();  // the first message makes the idle control
  PostMessageW(form_->Handle(), WM_NULL, 0, 0);
  app_->ProcessMessages();
  ASSERT_NE(UniApplication->IdleEventControl, nullptr);
  SetWideControlHint(edit_, u"Name|Your \u0416 name");
  RECT rect;
  GetWindowRect(edit_->Handle(), &rect);
  SetCursorPos(rect.left + 2, rect.top + 2);
  std::vector<std::u16string> shown;
  app_->OnActionExecute = [&](TBasicAction* action, bool& handled) {
    if (auto* wide = dynamic_cast<TUniHintAction*>(action)) {
      shown.push_back(wide->WideHint());
      handled = true;
    }
  };
  // Something waiting keeps the idle step from blocking in WaitMessage.
  app_->OnIdle = [&](TObject*, bool&) { PostMessageW(form_->Handle(), WM_NULL, 0, 0); };
  app_->HandleMessage();  // idle: the hint follows the mouse, actions update
  EXPECT_EQ(UniApplication->Hint(), u"Your \u0416 name");
  EXPECT_EQ(app_->Hint(), "Your ? name");
  EXPECT_EQ(shown, std::vector<std::u16string>{u"Your \u0416 name"});
}

TEST_F(UniFormsTest, AcceleratorTestComparesWithoutCase) {
  EXPECT_TRUE(IsWideCharAccel('S', u"&Save"));
  EXPECT_TRUE(IsWideCharAccel('s', u"&Save"));
  EXPECT_TRUE(IsWideCharAccel(0x0436, u"&\u0416ab"));
  EXPECT_FALSE(IsWideCharAccel('a', u"&Save"));
  EXPECT_FALSE(IsWideCharAccel('S', u"Save"));
}

// The class library's scroll-bar update resizes the box again each time.
class NestingBox : public TUniScrollBox {
 public:
  using TUniScrollBox::TUniScrollBox;
  int depth = 0;
  int deepest = 0;

 protected:
  void UpdateScrollBars() override {
    ++depth;
    deepest = std::max(deepest, depth);
    if (depth < 100) SendMessageW(Handle(), WM_SIZE, 0, 0);
    --depth;
  }
};

TEST_F(UniFormsTest, ScrollBoxStopsNestedSizeMessagesAt31Levels) {
  auto* box = new NestingBox(form_);
  box->SetParent(form_);
  box->HandleNeeded();
  box->deepest = 0;
  SendMessageW(box->Handle(), WM_SIZE, 0, 0);
  EXPECT_EQ(box->deepest, 31);
  EXPECT_TRUE(IsWindowUnicode(box->Handle()));
}

}  // namespace
