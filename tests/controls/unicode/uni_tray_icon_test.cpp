#include "controls/unicode/uni_tray_icon.h"

#include <gtest/gtest.h>

#include <cairo.h>

#include <memory>
#include <string>
#include <vector>

#include "controls/unicode/uni_forms.h"
#include "controls/unicode/uni_menus.h"
#include "platform/base/errors.h"
#include "platform/base/faults.h"
#include "platform/classlib/forms.h"
#include "platform/gdi/icons.h"

namespace {

// The tray icon with its message handling and timer step in reach of the tests.
class TestTrayIcon : public TUniTrayIcon {
 public:
  using TUniTrayIcon::TUniTrayIcon;
  void Tick() { OnAnimateTimer(Timer()); }
};

void MakeIcon(TIcon& icon, TColor color) {
  TBitmap bitmap;
  bitmap.SetSize(4, 4);
  bitmap.Canvas().Brush().SetColor(color);
  bitmap.Canvas().FillRect(RECT{0, 0, 4, 4});
  icon.FromBitmap(bitmap);
}

// The red byte of the icon's first pixel (0 for no icon).
int RedOf(HICON icon) {
  auto picture = platform::gdi::IconPicture(icon);
  if (picture == nullptr) return 0;
  cairo_surface_flush(picture->surface);
  return cairo_image_surface_get_data(picture->surface)[2];
}

class UniTrayIconTest : public testing::Test {
 protected:
  void SetUp() override {
    app_ = new TApplication(nullptr);
    app_->SetTitle("Pellix");
    StartUniApplication();
    MakeIcon(ApplicationIcon(), RGB(0x11, 0, 0));
    tray_ = std::make_unique<TestTrayIcon>(nullptr);
    platform::notify_icon::ClearCalls();
  }
  void TearDown() override {
    tray_.reset();
    ApplicationIcon().SetHandle(0);
    platform::menu_driver::Clear();
    FinishUniApplication();
    delete app_;
  }
  std::vector<DWORD> CallMessages() {
    std::vector<DWORD> result;
    for (const auto& call : platform::notify_icon::Calls()) result.push_back(call.message);
    return result;
  }
  LRESULT Mouse(UINT mouseMessage) {
    return SendMessageW(tray_->Data.hWnd, TUniTrayIcon::kCallbackMessage, tray_->Data.uID, mouseMessage);
  }
  TApplication* app_ = nullptr;
  std::unique_ptr<TestTrayIcon> tray_;
};

TEST_F(UniTrayIconTest, TheRecordStartsAsTheShellExpectsAndShowingUsesTheApplicationIcon) {
  const NOTIFYICONDATAW& data = tray_->Data;
  EXPECT_EQ(data.cbSize, 936u);
  EXPECT_EQ(data.hWnd, static_cast<HWND>(data.uID));
  EXPECT_EQ(data.uCallbackMessage, 1025u);
  EXPECT_EQ(data.uFlags, NIF_MESSAGE | NIF_ICON | NIF_TIP);
  EXPECT_EQ(std::u16string(data.szTip), u"Pellix");
  EXPECT_EQ(data.uTimeout, 3000u);
  EXPECT_TRUE(platform::notify_icon::Shown().empty());

  tray_->SetVisible(true);
  auto shown = platform::notify_icon::Shown();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(RedOf(shown[0].hIcon), 0x11);
  tray_->SetVisible(false);
  EXPECT_TRUE(platform::notify_icon::Shown().empty());
  // Showing refreshes the icon first, a modify that finds nothing shown yet.
  EXPECT_EQ(CallMessages(), (std::vector<DWORD>{NIM_MODIFY, NIM_ADD, NIM_DELETE}));
}

TEST_F(UniTrayIconTest, HintsAreComparedOnTheirAnsiFormsAndCutToTheTipField) {
  tray_->SetVisible(true);
  tray_->SetHint(u"Vault \u263A");
  platform::notify_icon::ClearCalls();
  tray_->SetHint(u"Vault \u2603");  // the same ANSI form: nothing changes
  EXPECT_TRUE(CallMessages().empty());
  EXPECT_EQ(std::u16string(tray_->Data.szTip), u"Vault \u263A");

  tray_->SetHint(std::u16string(200, u'x'));
  EXPECT_EQ(std::u16string(platform::notify_icon::Shown()[0].szTip), std::u16string(127, u'x'));
  tray_->SetHint(u"");
  EXPECT_EQ(tray_->Data.uFlags & NIF_TIP, 0u);
}

TEST_F(UniTrayIconTest, FailingShellCallsRaiseOrAreIgnoredAsEachCallSays) {
  auto messageOf = [](const std::function<void()>& step) -> std::string {
    try {
      step();
    } catch (const EOutOfResources& error) {
      return error.what();
    }
    return "";
  };
  // The refresh's modify and then the add fail.
  platform::faults::FailNext("Shell_NotifyIconW", 2, ERROR_INVALID_PARAMETER);
  EXPECT_EQ(messageOf([&] { tray_->SetVisible(true); }), "Cannot create shell notification icon");
  // Stored as shown although the shell refused: hiding finds nothing to remove.
  EXPECT_EQ(messageOf([&] { tray_->SetVisible(false); }), "Cannot remove shell notification icon");
  tray_->SetVisible(true);
  platform::faults::FailNext("Shell_NotifyIconW", 1, ERROR_INVALID_PARAMETER);
  EXPECT_EQ(messageOf([&] { tray_->SetHint(u"changed"); }), "");  // a failed modify is ignored
}

TEST_F(UniTrayIconTest, AnimationShowsTheFramesInTurnAndNeedsFrames) {
  TImageList frames(nullptr);
  for (BYTE red : {0x20, 0x40, 0x60}) {
    TIcon frame;
    MakeIcon(frame, RGB(red, 0, 0));
    frames.AddIcon(frame);
  }
  tray_->SetVisible(true);
  tray_->SetAnimate(true);
  EXPECT_FALSE(tray_->Timer()->Enabled());  // no frames yet
  tray_->SetAnimate(false);
  tray_->SetIcons(&frames);
  tray_->SetAnimate(true);
  EXPECT_TRUE(tray_->Timer()->Enabled());
  std::vector<int> seen = {RedOf(platform::notify_icon::Shown()[0].hIcon)};
  for (int i = 0; i < 3; ++i) {
    tray_->Tick();
    seen.push_back(RedOf(platform::notify_icon::Shown()[0].hIcon));
  }
  EXPECT_EQ(seen, (std::vector<int>{0x20, 0x40, 0x60, 0x20}));
  tray_->SetIcons(nullptr);
}

TEST_F(UniTrayIconTest, MouseMessagesBecomeEventsAndTheRightReleaseOpensTheMenu) {
  std::vector<std::string> events;
  tray_->OnMouseDown = [&](TObject*, TMouseButton button, TShiftState shift, int, int) {
    events.push_back(button == TMouseButton::mbLeft && (shift & ssLeft) ? "down left" : "down other");
  };
  tray_->OnMouseUp = [&](TObject*, TMouseButton button, TShiftState, int, int) {
    events.push_back(button == TMouseButton::mbRight ? "up right" : "up");
  };
  tray_->OnClick = [&](TObject*) { events.push_back("click"); };
  tray_->OnDblClick = [&](TObject*) { events.push_back("double"); };
  Mouse(WM_LBUTTONDOWN);
  Mouse(WM_LBUTTONUP);
  Mouse(WM_LBUTTONUP);  // no press before it: no click
  Mouse(WM_MBUTTONDBLCLK);
  Mouse(WM_RBUTTONUP);  // no menu: only the release
  EXPECT_EQ(events, (std::vector<std::string>{"down left", "click", "up", "up", "double", "up right"}));

  StartUniMenus();
  {
    TUniPopupMenu menu(nullptr);
    TUniMenuItem item(nullptr);
    item.SetCaption(u"Show");
    int clicks = 0;
    item.OnClick = [&](TObject*) { ++clicks; };
    menu.Items()->Add(&item);
    tray_->PopupMenu = &menu;
    platform::menu_driver::Pick({0});
    Mouse(WM_RBUTTONUP);
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(menu.AutoPopup);
    tray_->PopupMenu = nullptr;
    menu.Items()->Remove(&item);
  }
  FinishUniMenus();
}

TEST_F(UniTrayIconTest, BalloonsAndARestartedNotificationArea) {
  tray_->SetVisible(true);
  tray_->SetBalloonTitle(u"Saved");
  tray_->SetBalloonHint(std::u16string(300, u'b'));
  tray_->BalloonFlags = TBalloonFlags::bfWarning;
  tray_->ShowBalloonHint();
  auto shown = platform::notify_icon::Shown();
  EXPECT_EQ(std::u16string(shown[0].szInfo), std::u16string(255, u'b'));
  EXPECT_EQ(std::u16string(shown[0].szInfoTitle), u"Saved");
  EXPECT_EQ(shown[0].dwInfoFlags, NIIF_WARNING);
  platform::notify_icon::ClearCalls();
  Mouse(NIN_BALLOONTIMEOUT);
  EXPECT_EQ(tray_->Data.uFlags & NIF_INFO, 0u);
  EXPECT_TRUE(CallMessages().empty());

  platform::notify_icon::RestartNotificationArea();
  EXPECT_EQ(platform::notify_icon::Shown().size(), 1u);
  EXPECT_EQ(SendMessageW(tray_->Data.hWnd, WM_QUERYENDSESSION, 0, 0), 1);
  SendMessageW(tray_->Data.hWnd, WM_ENDSESSION, 1, 0);
  EXPECT_TRUE(platform::notify_icon::Shown().empty());
}

}  // namespace
