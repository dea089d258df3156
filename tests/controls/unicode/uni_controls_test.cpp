#include "controls/unicode/uni_controls.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/unicode/uni_system.h"
#include "platform/classlib/forms.h"

namespace {

std::vector<WPARAM> g_system_chars;

// Stands in for a system control class: records the characters it gets.
LRESULT SystemEditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CHAR) g_system_chars.push_back(wParam);
  return DefWindowProcW(window, message, wParam, lParam);
}

// A wide windowed control as the Unicode layer's controls are built.
class TUniBox : public TWinControl {
 public:
  explicit TUniBox(TComponent* owner) : TWinControl(owner) {}
  std::string ClassName() const override { return "TUniBox"; }
  std::vector<WPARAM> libraryChars;
  int textChanges = 0;
  void Dispatch(TMessage& message) override {
    if (message.Msg == WM_CHAR) libraryChars.push_back(message.WParam);
    if (message.Msg == CM_TEXTCHANGED) ++textChanges;
    TWinControl::Dispatch(message);
  }

 protected:
  void CreateWindowHandle(const TCreateParams& params) override {
    CreateUnicodeHandle(this, params, u"UniTestEdit");
  }
};

class TUniLabel : public TGraphicControl {
 public:
  using TGraphicControl::TGraphicControl;
  int textChanges = 0;
  void Dispatch(TMessage& message) override {
    if (message.Msg == CM_TEXTCHANGED) ++textChanges;
    TGraphicControl::Dispatch(message);
  }
};

class UniControlsTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = SystemEditProc;
    wc.lpszClassName = u"UniTestEdit";
    wc.hInstance = HInstance;
    RegisterClassW(&wc);
  }
  void SetUp() override {
    app_ = new TApplication(nullptr);
    form_ = app_->CreateForm<TForm>();
    g_system_chars.clear();
  }
  void TearDown() override { delete app_; }
  TUniBox* MakeBox() {
    auto* box = new TUniBox(form_);
    box->SetParent(form_);
    box->SetBounds(0, 0, 50, 20);
    return box;
  }
  TApplication* app_ = nullptr;
  TForm* form_ = nullptr;
};

const std::u16string kRussian = u"\u041f\u0440\u0438\u0432\u0435\u0442";  // not in the 8-bit code page

TEST_F(UniControlsTest, WideCaptionBeforeTheWindowAppearsAndSurvivesRecreation) {
  auto* box = new TUniBox(form_);
  SetWideControlText(box, kRussian);
  EXPECT_EQ(box->Caption(), "??????");  // the 8-bit caption is the ANSI form
  box->SetParent(form_);
  HWND first = box->Handle();
  EXPECT_TRUE(IsWindowUnicode(first));
  EXPECT_EQ(GetWideControlText(box), kRussian);
  char16_t text[16];
  GetWindowTextW(first, text, 16);
  EXPECT_EQ(std::u16string(text), kRussian);
  box->RecreateWnd();
  EXPECT_NE(box->Handle(), first);
  EXPECT_EQ(GetWideControlText(box), kRussian);
  EXPECT_EQ(TWinControl::FindControl(box->Handle()), box);
}

TEST_F(UniControlsTest, EightBitChangesFromTheClassLibraryReachTheWideText) {
  auto* box = MakeBox();
  SetWideControlText(box, kRussian);
  box->SetCaption("Plain");
  EXPECT_EQ(GetWideControlText(box), u"Plain");
  EXPECT_EQ(box->Caption(), "Plain");
  int before = box->textChanges;
  SetWideControlText(box, u"Caf\u00e9");
  EXPECT_EQ(box->textChanges, before + 1);
  EXPECT_EQ(box->Caption(), "Caf\xe9");
}

TEST_F(UniControlsTest, GraphicControlsKeepWideCaptionsInTheirHelper) {
  auto* label = new TUniLabel(form_);
  SetWideControlText(label, kRussian);
  EXPECT_EQ(GetWideControlText(label), kRussian);
  EXPECT_EQ(label->Caption(), "??????");
  // Another wide text with the same ANSI form still tells the label it changed.
  int before = label->textChanges;
  SetWideControlText(label, u"\u0410\u0411\u0412\u0413\u0414\u0415");
  EXPECT_GT(label->textChanges, before);
  EXPECT_EQ(GetWideControlText(label), u"\u0410\u0411\u0412\u0413\u0414\u0415");
  // The class library changing the 8-bit caption wins over the stale wide copy.
  label->SetCaption("Other");
  EXPECT_EQ(GetWideControlText(label), u"Other");
  EXPECT_NE(TWideControlHelper::Find(label), nullptr);
  delete label;  // its helper goes with it
}

TEST_F(UniControlsTest, WideCharactersReachTheLibraryAs255AndTheSystemWhole) {
  auto* box = MakeBox();
  SendMessageW(box->Handle(), WM_CHAR, 0x0416, 0);
  SendMessageW(box->Handle(), WM_CHAR, u'a', 0);
  EXPECT_EQ(box->libraryChars, (std::vector<WPARAM>{MAKELONG(255, 0x0416), u'a'}));
  EXPECT_EQ(g_system_chars, (std::vector<WPARAM>{0x0416, u'a'}));
}

TEST_F(UniControlsTest, WmCharHelpersRoundTrip) {
  struct Case {
    WPARAM in;
    WPARAM safe;
    char16_t wide;
  };
  const Case cases[] = {{0x41, 0x41, u'A'}, {0xFF, 0xFF, u'\u00ff'}, {0x20AC, MAKELONG(255, 0x20AC), u'\u20ac'}};
  for (const auto& c : cases) {
    TMessage m{WM_CHAR, c.in, 0, 0};
    MakeWMCharMsgSafeForAnsi(m);
    EXPECT_EQ(m.WParam, c.safe);
    EXPECT_EQ(GetWideCharFromWMCharMsg(m), c.wide);
    RestoreWMCharMsg(m);
    EXPECT_EQ(m.WParam, c.in);
    SetWideCharForWMCharMsg(m, c.wide);
    EXPECT_EQ(m.WParam, c.safe);
  }
}

TEST_F(UniControlsTest, HintsSplitAndComeFromParents) {
  auto* box = MakeBox();
  SetWideControlHint(form_, u"Short \u0416|Long \u0416 text");
  EXPECT_EQ(WideGetHint(box), u"Short \u0416|Long \u0416 text");
  EXPECT_EQ(WideGetShortHint(WideGetHint(box)), u"Short \u0416");
  EXPECT_EQ(WideGetLongHint(WideGetHint(box)), u"Long \u0416 text");
  EXPECT_EQ(WideGetLongHint(u"no bar"), u"no bar");
  SetWideControlHint(box, u"Own");
  EXPECT_EQ(WideGetHint(box), u"Own");
  EXPECT_TRUE(IsHintStored(box));
}

TEST_F(UniControlsTest, HooksAboveTheTrapStayInOnePieceAcrossRecreation) {
  auto* box = MakeBox();
  box->HandleNeeded();
  int seen = 0;
  TWndMethod below = box->WindowProc;
  box->WindowProc = [&, below](TMessage& m) {
    if (m.Msg == WM_USER) ++seen;
    below(m);
  };
  box->RecreateWnd();
  SendMessageW(box->Handle(), WM_USER, 0, 0);
  EXPECT_EQ(seen, 1);  // the trap found itself under the hook and did not hook twice
  SendMessageW(box->Handle(), WM_CHAR, 0x0416, 0);
  EXPECT_EQ(g_system_chars, std::vector<WPARAM>{0x0416});
}

TEST_F(UniControlsTest, HelpersAreMadeOnlyThroughTheList) {
  EXPECT_THROW(TWideComponentHelper helper(nullptr), EUniInternalError);
}

TEST_F(UniControlsTest, WideCanvasTextUsesTheCanvasFont) {
  TBitmap bitmap;
  bitmap.SetSize(40, 12);
  TCanvas& canvas = bitmap.Canvas();
  canvas.Font().SetName("Pellix Test Fixed");
  canvas.Font().SetHeight(-8);
  EXPECT_EQ(WideCanvasTextWidth(canvas, kRussian), 24);
  EXPECT_EQ(WideCanvasTextHeight(canvas, kRussian), 8);
  canvas.Brush().SetStyle(TBrushStyle::bsClear);
  WideCanvasTextOut(canvas, 2, 1, u"\u0416");
  EXPECT_EQ(canvas.PenPos().x, 6);
  EXPECT_EQ(bitmap.ScanLine(1)[2 * 4 + 3], 255);  // the box glyph landed at (2, 1)
}

}  // namespace
