#include "controls/unicode/hig_button.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "../../platform/gdi/picture_compare.h"
#include "platform/base/text.h"
#include "platform/classlib/forms.h"
#include "platform/gdi/system_metrics.h"
#include "platform/gdi/window_picture.h"
#include "platform/win/input_driver.h"
#include "platform/win/keyboard.h"
#include "platform/win/menus.h"

namespace {

// --- colour operations ---------------------------------------------------------------------

TEST(HigColorTest, DarkenAndLightenWorkPerChannelAndStayInRange) {
  struct Case {
    const char* name;
    TColor color;
    int percent;
    bool lighten;
    TColor expected;
  };
  const Case cases[] = {
      {"black lightens to mid grey at any percent", clBlack, 1, true, RGB(127, 127, 127)},
      {"black lightens to mid grey at zero percent", clBlack, 0, true, RGB(127, 127, 127)},
      {"a zero channel lightens to 127, others grow", RGB(200, 100, 0), 100, true, RGB(255, 139, 127)},
      {"lightening saturates at 255", RGB(250, 250, 250), 50, true, RGB(255, 255, 255)},
      {"white darkens by the percent of itself", clWhite, 100, false, RGB(155, 155, 155)},
      {"darkening rounds to the nearest", RGB(100, 51, 1), 10, false, RGB(96, 49, 1)},
      {"darkening past 255 percent stops at black", RGB(90, 180, 255), 300, false, clBlack},
      {"a system colour is resolved first", clBtnFace, 0, false,
       static_cast<TColor>(GetSysColor(COLOR_BTNFACE))},
  };
  for (const Case& c : cases) {
    TColor got = c.lighten ? LightenColor(c.color, c.percent) : DarkenColor(c.color, c.percent);
    EXPECT_EQ(got, c.expected) << c.name;
  }
}

TEST(HigColorTest, GradientRunsFromFirstToLastAndRestoresThePen) {
  TBitmap bitmap;
  bitmap.SetSize(6, 5);
  TCanvas& canvas = bitmap.Canvas();
  canvas.Pen().SetColor(clRed);
  canvas.Pen().SetWidth(3);
  canvas.Pen().SetStyle(TPenStyle::psDot);
  // Vertical over three lines: the middle line is halfway, truncated.
  DrawGradient(canvas, RECT{0, 0, 3, 3}, clBlack, true, RGB(201, 101, 51));
  EXPECT_EQ(canvas.Pixel(1, 0), clBlack);
  EXPECT_EQ(canvas.Pixel(1, 1), RGB(100, 50, 25));
  EXPECT_EQ(canvas.Pixel(2, 2), RGB(201, 101, 51));
  // Horizontal over two columns; a one-line rectangle takes the first colour.
  DrawGradient(canvas, RECT{3, 0, 5, 1}, clWhite, false, clBlack);
  EXPECT_EQ(canvas.Pixel(3, 0), clWhite);
  EXPECT_EQ(canvas.Pixel(4, 0), clBlack);
  DrawGradient(canvas, RECT{0, 4, 6, 5}, clBlue, true, clWhite);
  EXPECT_EQ(canvas.Pixel(5, 4), clBlue);
  EXPECT_EQ(canvas.Pen().Color(), clRed);
  EXPECT_EQ(canvas.Pen().Width(), 3);
  EXPECT_EQ(canvas.Pen().Style(), TPenStyle::psDot);
}

// --- glyphs --------------------------------------------------------------------------------

TEST(HigGlyphTest, EveryStandardKindHasAGlyphResourceOfTwoImages) {
  for (int kind = bkCustom; kind <= bkDropDownButton; ++kind) {
    TBitmap* glyph = KindGlyph(static_cast<THIGBtnKind>(kind));
    bool standard = kind >= bkOK && kind <= bkAll;
    ASSERT_EQ(glyph != nullptr, standard) << kind;
    if (!standard) continue;
    EXPECT_EQ(KindGlyphName(static_cast<THIGBtnKind>(kind)).rfind("HIGBB", 0), 0u);
    EXPECT_EQ(glyph->Width(), 2 * glyph->Height()) << kind;
    EXPECT_EQ(KindGlyph(static_cast<THIGBtnKind>(kind)), glyph);  // loaded once
  }
}

TEST(HigGlyphTest, ListsAreSharedBySizeAndSlotsAreReused) {
  {
    TBitmap square;
    square.SetSize(16, 16);
    auto first = std::make_unique<TButtonGlyph>();
    auto second = std::make_unique<TButtonGlyph>();
    TButtonGlyph third;
    ASSERT_NE(GlyphCache(), nullptr);
    first->SetGlyph(&square);
    second->SetGlyph(&square);
    EXPECT_EQ(first->CreateButtonGlyph(bsUp, clWhite, clGray), 0);
    EXPECT_EQ(second->CreateButtonGlyph(bsUp, clWhite, clGray), 1);
    EXPECT_EQ(GlyphCache()->ListCount(), 1);
    // The disabled image is made again on each request, in a free slot.
    EXPECT_EQ(first->CreateButtonGlyph(bsDisabled, clWhite, clGray), 2);
    EXPECT_EQ(first->CreateButtonGlyph(bsDisabled, clWhite, clGray), 2);
    first.reset();
    EXPECT_EQ(second->CreateButtonGlyph(bsUp, clWhite, clGray), 1);  // kept
    TBitmap wide;
    wide.SetSize(24, 16);
    third.SetGlyph(&wide);
    third.CreateButtonGlyph(bsUp, clWhite, clGray);
    EXPECT_EQ(GlyphCache()->ListCount(), 2);
    third.SetGlyph(&square);
    EXPECT_EQ(third.CreateButtonGlyph(bsUp, clWhite, clGray), 0);  // the freed first slot
    EXPECT_EQ(GlyphCache()->ListCount(), 1);                       // the empty list went back
    second.reset();
  }
  EXPECT_EQ(GlyphCache(), nullptr);  // gone with the last glyph
}

TEST(HigGlyphTest, DisabledImagesUseTheLightAndDarkColours) {
  // One image: the shape embossed; a drawn disabled image: its white and grey mapped.
  TBitmap source;
  source.SetSize(8, 4);
  TCanvas& canvas = source.Canvas();
  canvas.Brush().SetColor(clOlive);
  canvas.FillRect(RECT{0, 0, 8, 4});
  canvas.SetPixel(1, 1, clRed);
  canvas.SetPixel(5, 1, clGray);
  canvas.SetPixel(6, 2, clWhite);
  constexpr TColor kPale = RGB(255, 255, 128);
  // The shape pixel (red, or the drawn grey) turns dark in place and light one pixel
  // right and down either way.
  for (int numGlyphs : {1, 2}) {
    TButtonGlyph glyph;
    glyph.SetGlyph(&source);
    glyph.SetNumGlyphs(numGlyphs);
    glyph.Color = clBlue;
    TBitmap target;
    target.SetSize(8, 4);
    target.Canvas().Brush().SetColor(clLime);
    target.Canvas().FillRect(RECT{0, 0, 8, 4});
    glyph.DrawButtonGlyph(target.Canvas(), POINT{0, 0}, bsDisabled, false, kPale, clMaroon);
    EXPECT_EQ(target.Canvas().Pixel(1, 1), clMaroon) << numGlyphs;
    EXPECT_EQ(target.Canvas().Pixel(2, 2), kPale) << numGlyphs;
    EXPECT_EQ(target.Canvas().Pixel(0, 3), clBlue) << numGlyphs;  // the background
  }
}

// --- the button ------------------------------------------------------------------------------

// A popup menu that records where it was asked to pop up.
class TRecordingMenu : public TPopupMenu {
 public:
  using TPopupMenu::TPopupMenu;
  std::vector<POINT> shown;
  void Popup(int x, int y) override {
    shown.push_back(POINT{x, y});
    TPopupMenu::Popup(x, y);
  }
};

class HigButtonTest : public testing::Test {
 protected:
  void SetUp() override {
    platform::menu_driver::Clear();
    app_ = new TApplication(nullptr);
    form_ = app_->CreateForm<TForm>();
    form_->SetBounds(10, 10, 300, 200);
    form_->Show();
    menu_ = new TRecordingMenu(form_);
    for (const char* caption : {"Cancel", "Ignore this form only"}) {
      auto* item = new TMenuItem(menu_);
      item->SetCaption(caption);
      item->OnClick = [this, caption](TObject*) { picked_.push_back(caption); };
      menu_->Items()->Add(item);
    }
  }
  void TearDown() override {
    delete app_;
    platform::menu_driver::Clear();
  }
  THIGButton* MakeButton(THIGBtnKind kind, int left = 10, int top = 10, int width = 90, int height = 25) {
    auto* button = new THIGButton(form_);
    button->SetParent(form_);
    button->SetBounds(left, top, width, height);
    button->Font().SetName("Pellix Test Fixed");
    button->Font().SetHeight(-10);
    button->SetKind(kind);
    if (kind == bkDropDown || kind == bkDropDownButton) button->SetDropDownMenu(menu_);
    if (kind == bkCustom || kind == bkDropDown || kind == bkDropDownButton) button->SetCaption(u"Go");
    button->OnClick = [this](TObject*) { ++clicks_; };
    button->HandleNeeded();
    return button;
  }
  static LPARAM At(int x, int y) { return static_cast<LPARAM>((y << 16) | (x & 0xFFFF)); }
  // The mouse as a user works it, through the system's input queue.
  void PressAndRelease(THIGButton* button, POINT down, POINT up) {
    namespace input = platform::input_driver;
    input::MoveTo(input::ScreenPoint(button->Handle(), down.x, down.y));
    input::Press(VK_LBUTTON);
    input::RunPending();
    input::MoveTo(input::ScreenPoint(button->Handle(), up.x, up.y));
    input::Release(VK_LBUTTON);
    input::RunPending();
  }
  static void Keys(const std::vector<int>& keys) {
    platform::input_driver::Chord(keys);
    platform::input_driver::RunPending();
  }
  std::shared_ptr<platform::gdi::Bitmap> Picture(THIGButton* button) {
    button->Invalidate();
    UpdateWindow(button->Handle());
    return platform::gdi::WindowPicture(button->Handle());
  }

  TApplication* app_ = nullptr;
  TForm* form_ = nullptr;
  TRecordingMenu* menu_ = nullptr;
  std::vector<std::string> picked_;
  int clicks_ = 0;
};

TEST_F(HigButtonTest, StandardKindsSetTheirValuesUntilOneIsChangedByHand) {
  struct Case {
    THIGBtnKind kind;
    const char16_t* caption;
    bool isDefault, cancel;
    int modalResult;
  };
  const Case cases[] = {
      {bkOK, u"OK", true, false, 1},           {bkCancel, u"Cancel", false, true, 2},
      {bkHelp, u"&Help", false, false, 0},     {bkYes, u"&Yes", true, false, 6},
      {bkNo, u"&No", false, true, 7},          {bkClose, u"&Close", false, false, 0},
      {bkAbort, u"Abort", false, false, 3},    {bkRetry, u"&Retry", false, false, 4},
      {bkIgnore, u"&Ignore", false, false, 5}, {bkAll, u"&All", false, false, 8},
  };
  for (const Case& c : cases) {
    THIGButton* button = MakeButton(c.kind);
    EXPECT_EQ(button->Kind(), c.kind);
    EXPECT_EQ(button->Caption(), c.caption);
    EXPECT_EQ(button->Default(), c.isDefault) << c.kind;
    EXPECT_EQ(button->Cancel(), c.cancel) << c.kind;
    EXPECT_EQ(button->ModalResult, c.modalResult) << c.kind;
    EXPECT_EQ(button->NumGlyphs(), 2);
    EXPECT_FALSE(button->Glyph().Empty());
    delete button;
  }
  // Changing Default, the modal result or the glyph by hand leaves the standard kind.
  THIGButton* ok = MakeButton(bkOK);
  ok->SetDefault(false);
  EXPECT_EQ(ok->Kind(), bkCustom);
  THIGButton* yes = MakeButton(bkYes);
  yes->ModalResult = 1;
  EXPECT_EQ(yes->Kind(), bkCustom);
  THIGButton* no = MakeButton(bkNo);
  TBitmap own;
  own.SetSize(16, 16);
  no->SetGlyph(&own);
  EXPECT_EQ(no->Kind(), bkCustom);
  EXPECT_EQ(no->Caption(), u"&No");  // the caption stays
}

TEST_F(HigButtonTest, AGlyphOfSquareImagesGivesNumGlyphsUpToFour) {
  struct Case {
    int width, height, numGlyphs;
  };
  for (const Case& c :
       {Case{64, 16, 4}, Case{96, 16, 1}, Case{32, 16, 2}, Case{16, 16, 1}, Case{40, 16, 1}}) {
    THIGButton* button = MakeButton(bkCustom);
    TBitmap glyph;
    glyph.SetSize(c.width, c.height);
    button->SetGlyph(&glyph);
    EXPECT_EQ(button->NumGlyphs(), c.numGlyphs) << c.width << "x" << c.height;
    delete button;
  }
  THIGButton* button = MakeButton(bkCustom);
  button->SetNumGlyphs(9);
  EXPECT_EQ(button->NumGlyphs(), 4);
  button->SetMargin(-7);
  EXPECT_EQ(button->Margin(), -1);
}

TEST_F(HigButtonTest, LayoutPlacesGlyphAndCaptionByMarginAndSpacing) {
  THIGButton* button = MakeButton(bkCustom);
  button->Font().SetHeight(-16);  // the fixed font's characters are 8 pixels wide
  button->SetCaption(u"Sized");    // 40 pixels
  TBitmap glyph;
  glyph.SetSize(16, 16);
  button->SetGlyph(&glyph);
  TCanvas canvas;
  HDC dc = GetDC(0);
  canvas.SetHandle(dc);
  canvas.Font().Assign(&button->Font());
  struct Case {
    TButtonLayout layout;
    int margin, spacing;
    RECT client;
    POINT glyph;
    LONG textLeft, textTop;
  };
  const Case cases[] = {
      // Both centred: margin and spacing share the room equally, (100 - 56) / 3 = 14.
      {blGlyphLeft, -1, -1, {0, 0, 100, 30}, {14, 7}, 44, 7},
      {blGlyphRight, -1, -1, {0, 0, 100, 30}, {70, 7}, 16, 7},
      // Margin centred: the group sits in the middle, (100 - 60 + 1) / 2 = 20.
      {blGlyphLeft, -1, 4, {0, 0, 100, 30}, {20, 7}, 40, 7},
      // Spacing fills what the margin leaves: (100 - 2 - 56) / 2 = 21.
      {blGlyphLeft, 2, -1, {0, 0, 100, 30}, {2, 7}, 39, 7},
      {blGlyphTop, 3, 2, {0, 0, 60, 60}, {22, 3}, 10, 21},
      {blGlyphBottom, 3, 2, {0, 0, 60, 60}, {22, 41}, 10, 23},
      // The client origin and the paint offset move both.
      {blGlyphLeft, 0, 0, {5, 5, 105, 35}, {6, 13}, 22, 13},
  };
  for (const Case& c : cases) {
    button->SetLayout(c.layout);
    button->SetMargin(c.margin);
    button->SetSpacing(c.spacing);
    POINT offset = c.client.left == 5 ? POINT{1, 1} : POINT{0, 0};
    THIGButton::Placement at = button->CalcLayout(canvas, c.client, offset);
    EXPECT_EQ(at.glyph.x, c.glyph.x) << c.layout << " " << c.margin << " " << c.spacing;
    EXPECT_EQ(at.glyph.y, c.glyph.y) << c.layout << " " << c.margin << " " << c.spacing;
    EXPECT_EQ(at.text.left, c.textLeft) << c.layout << " " << c.margin << " " << c.spacing;
    EXPECT_EQ(at.text.top, c.textTop) << c.layout << " " << c.margin << " " << c.spacing;
    EXPECT_EQ(at.text.right - at.text.left, 40);
  }
  // Without a caption the spacing counts as 0 and the glyph alone is centred.
  button->SetCaption(u"");
  button->SetLayout(blGlyphLeft);
  button->SetMargin(-1);
  button->SetSpacing(10);
  EXPECT_EQ(button->CalcLayout(canvas, RECT{0, 0, 100, 30}, POINT{0, 0}).glyph.x, 42);
  canvas.SetHandle(0);
  ReleaseDC(0, dc);
}

TEST_F(HigButtonTest, MousePressesClickOrOpenTheMenuByKindAndPlace) {
  struct Case {
    const char* name;
    THIGBtnKind kind;
    bool enabled;
    POINT down, up;
    int clicks;
    bool menu;
  };
  // The button is 90 wide; its drop-down part is the right 15 pixels.
  const Case cases[] = {
      {"a press and release inside clicks", bkCustom, true, {10, 10}, {12, 11}, 1, false},
      {"a release outside does not click", bkCustom, true, {10, 10}, {120, 10}, 0, false},
      {"a disabled button ignores the mouse", bkCustom, false, {10, 10}, {10, 10}, 0, false},
      {"the main part of a split button clicks", bkDropDownButton, true, {30, 10}, {30, 10}, 1, false},
      {"the arrow part of a split button opens the menu",
       bkDropDownButton,
       true,
       {80, 10},
       {80, 10},
       0,
       true},
      {"a drop-down button opens the menu anywhere", bkDropDown, true, {10, 10}, {10, 10}, 0, true},
  };
  for (const Case& c : cases) {
    THIGButton* button = MakeButton(c.kind);
    button->SetEnabled(c.enabled);
    clicks_ = 0;
    picked_.clear();
    menu_->shown.clear();
    if (c.menu) platform::menu_driver::Pick({1});
    PressAndRelease(button, c.down, c.up);
    EXPECT_EQ(clicks_, c.clicks) << c.name;
    EXPECT_EQ(menu_->shown.size(), c.menu ? 1u : 0u) << c.name;
    EXPECT_EQ(picked_,
              c.menu ? std::vector<std::string>{"Ignore this form only"} : std::vector<std::string>{})
        << c.name;
    EXPECT_FALSE(button->MenuDropped()) << c.name;
    EXPECT_FALSE(button->ArrowPressed()) << c.name;
    EXPECT_NE(GetCapture(), button->Handle()) << c.name;
    platform::menu_driver::Clear();
    delete button;
  }
}

TEST_F(HigButtonTest, ClicksSetTheModalResultOrCloseTheForm) {
  THIGButton* ok = MakeButton(bkOK);
  PressAndRelease(ok, {5, 5}, {5, 5});
  EXPECT_EQ(form_->ModalResult, mrOk);
  EXPECT_EQ(clicks_, 1);
  int closes = 0;
  form_->OnClose = [&](TObject*, TCloseAction& action) {
    ++closes;
    action = TCloseAction::caNone;
  };
  THIGButton* close = MakeButton(bkClose, 10, 40);
  PressAndRelease(close, {5, 5}, {5, 5});
  EXPECT_EQ(closes, 1);
  EXPECT_EQ(clicks_, 1);  // closing is the whole click
}

TEST_F(HigButtonTest, APressWhileTheMenuIsOpenClosesItAndSwallowsTheClick) {
  THIGButton* button = MakeButton(bkDropDown);
  bool droppedWhileOpen = false;
  platform::menu_driver::Call([&] {
    droppedWhileOpen = button->MenuDropped();
    SendMessageA(button->Handle(), WM_LBUTTONDOWN, 1, At(10, 10));
    SendMessageA(button->Handle(), WM_LBUTTONUP, 0, At(10, 10));
  });
  platform::menu_driver::Cancel();
  PressAndRelease(button, {10, 10}, {10, 10});
  EXPECT_TRUE(droppedWhileOpen);
  EXPECT_EQ(menu_->shown.size(), 1u);  // the second press did not open it again
  EXPECT_EQ(clicks_, 0);
  EXPECT_FALSE(button->MenuDropped());
}

TEST_F(HigButtonTest, AMenuItemMayFreeTheButtonThatOpenedIt) {
  THIGButton* button = MakeButton(bkDropDownButton);
  menu_->Items()->Items(0)->OnClick = [&](TObject*) { delete button; };
  platform::menu_driver::Pick({0});
  SendMessageA(button->Handle(), WM_LBUTTONDOWN, 1, At(85, 5));
  app_->ProcessMessages();
  EXPECT_EQ(form_->ControlCount(), 0);
}

TEST_F(HigButtonTest, BeforeDropDownCanRefuseTheMenu) {
  THIGButton* button = MakeButton(bkDropDownButton);
  int asked = 0;
  button->OnBeforeDropDownMenu = [&](TObject*, bool& allow) {
    ++asked;
    allow = false;
  };
  PressAndRelease(button, {85, 5}, {85, 5});
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(menu_->shown.empty());
  EXPECT_EQ(clicks_, 0);
  EXPECT_FALSE(button->ArrowPressed());
}

TEST_F(HigButtonTest, KeysClickOpenTheMenuAndMoveTheFocus) {
  struct Case {
    const char* name;
    THIGBtnKind kind;
    std::vector<int> keys;
    int clicks;
    bool menu;
  };
  const Case cases[] = {
      {"space clicks on its release", bkCustom, {VK_SPACE}, 1, false},
      {"return clicks", bkCustom, {VK_RETURN}, 1, false},
      {"alt and down open a split button's menu", bkDropDownButton, {VK_MENU, VK_DOWN}, 0, true},
      {"shift and up open a drop-down menu", bkDropDown, {VK_SHIFT, VK_UP}, 0, true},
      {"down alone opens nothing", bkDropDownButton, {VK_DOWN}, 0, false},
  };
  for (const Case& c : cases) {
    THIGButton* button = MakeButton(c.kind);
    button->SetFocus();
    clicks_ = 0;
    menu_->shown.clear();
    if (c.menu) platform::menu_driver::Cancel();
    std::size_t keyEvents = 0;
    button->OnKeyDown = [&](TObject*, WORD&, TShiftState) { ++keyEvents; };
    Keys(c.keys);
    EXPECT_EQ(keyEvents, c.keys.size()) << c.name;  // each key once
    EXPECT_EQ(clicks_, c.clicks) << c.name;
    EXPECT_EQ(menu_->shown.size(), c.menu ? 1u : 0u) << c.name;
    platform::menu_driver::Clear();
    delete button;
  }
}

TEST_F(HigButtonTest, ArrowKeysMoveTheFocusToNeighboursThatCanTakeIt) {
  THIGButton* middle = MakeButton(bkCustom, 100, 50);
  THIGButton* right = MakeButton(bkCustom, 200, 50);
  THIGButton* below = MakeButton(bkCustom, 100, 100);
  middle->SetControlOnRight(right);
  middle->SetControlOnBottom(below);
  middle->SetControlOnLeft(middle);  // the button itself is not stored
  EXPECT_EQ(middle->ControlOnLeft(), nullptr);
  below->SetEnabled(false);
  struct Case {
    int key;
    THIGButton* focused;
  };
  for (const Case& c : {Case{VK_RIGHT, right}, Case{VK_DOWN, middle}, Case{VK_LEFT, middle}}) {
    middle->SetFocus();
    Keys({c.key});
    EXPECT_EQ(GetFocus(), c.focused->Handle()) << c.key;
  }
  // Return as Tab goes on to the next tab stop.
  middle->EnterAsTab = true;
  middle->SetFocus();
  Keys({VK_RETURN});
  EXPECT_EQ(GetFocus(), right->Handle());
  EXPECT_EQ(clicks_, 0);
  // A neighbour that goes is forgotten.
  delete right;
  EXPECT_EQ(middle->ControlOnRight(), nullptr);
  delete menu_;
  EXPECT_EQ(middle->DropDownMenu(), nullptr);
}

TEST_F(HigButtonTest, TheMenuOpensBelowOrAboveWhenTheScreenEndsAndReportsHover) {
  THIGButton* button = MakeButton(bkDropDown);
  platform::menu_driver::Cancel();
  PressAndRelease(button, {5, 5}, {5, 5});
  // The form's corner is at (10, 10), the button's 10 further; it is 25 high.
  ASSERT_EQ(menu_->shown.size(), 1u);
  EXPECT_EQ(menu_->shown[0].x, 20);
  EXPECT_EQ(menu_->shown[0].y, 45);
  // Near the bottom: two items of the menu height and two borders do not fit below.
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0));
  int menuHeight = 2 * metrics.iBorderWidth + 2 * metrics.iMenuHeight;
  form_->SetBounds(10, GetSystemMetrics(SM_CYSCREEN) - 40, 300, 40);
  menu_->Alignment = TPopupAlignment::paRight;
  // The pointer rests on the button when the menu closes.
  platform::menu_driver::Call([] { SetCursorPos(30, GetSystemMetrics(SM_CYSCREEN) - 25); });
  platform::menu_driver::Cancel();
  PressAndRelease(button, {5, 5}, {5, 5});
  ASSERT_EQ(menu_->shown.size(), 2u);
  EXPECT_EQ(menu_->shown[1].x, 20 + 90);
  EXPECT_EQ(menu_->shown[1].y, GetSystemMetrics(SM_CYSCREEN) - 30 - menuHeight);
  EXPECT_TRUE(button->MouseInControl());
  // An owner-drawn menu counts the heights its visible items measure.
  menu_->SetOwnerDraw(true);
  for (int i = 0; i < menu_->Items()->Count(); ++i) {
    menu_->Items()->Items(i)->OnMeasureItem = [](TObject*, TCanvas&, int&, int& height) { height = 300; };
  }
  platform::menu_driver::Cancel();
  PressAndRelease(button, {5, 5}, {5, 5});
  ASSERT_EQ(menu_->shown.size(), 3u);
  EXPECT_EQ(menu_->shown[2].y, GetSystemMetrics(SM_CYSCREEN) - 30 - (2 * metrics.iBorderWidth + 600));
}

TEST_F(HigButtonTest, LookStyleChangesRepaintTheButtonAndAssignCopiesThem) {
  THIGButton* button = MakeButton(bkOK);
  struct Case {
    const char* name;
    std::function<void(THIGLookStyle&)> change;
    bool repaints;
  };
  const Case cases[] = {
      {"style", [](THIGLookStyle& s) { s.SetStyle(hls3D); }, true},
      {"the same style again", [](THIGLookStyle& s) { s.SetStyle(hls3D); }, false},
      {"gradient", [](THIGLookStyle& s) { s.SetGradient(true); }, true},
      {"always show border", [](THIGLookStyle& s) { s.SetAlwaysShowBorder(true); }, true},
      {"border colour", [](THIGLookStyle& s) { s.SetBorderColor(clNavy); }, true},
      {"button colour", [](THIGLookStyle& s) { s.SetButtonColor(clSilver); }, true},
      {"gradient start", [](THIGLookStyle& s) { s.SetGradStartColor(clWhite); }, true},
      {"gradient start when hot", [](THIGLookStyle& s) { s.SetGradStartHighlightColor(clWhite); }, true},
      {"gradient start when down", [](THIGLookStyle& s) { s.SetGradStartDownColor(clWhite); }, true},
  };
  for (const Case& c : cases) {
    UpdateWindow(button->Handle());
    c.change(button->LookStyle());
    RECT update{};
    EXPECT_EQ(GetUpdateRect(button->Handle(), &update, FALSE) != FALSE, c.repaints) << c.name;
  }
  // The derived colours follow the colours they come from.
  EXPECT_EQ(button->LookStyle().ButtonLightColor(), LightenColor(clSilver, 100));
  EXPECT_EQ(button->LookStyle().ButtonDarkColor(), DarkenColor(clSilver, 100));
  EXPECT_EQ(button->LookStyle().BorderLightColor(), LightenColor(clNavy, 100));

  THIGButton* other = MakeButton(bkCancel, 10, 40);
  button->LookStyle().HighlightColor = clRed;
  button->LookStyle().DownTextColor = clLime;
  button->LookStyle().HighlightTrack = false;
  other->SetLookStyle(button->LookStyle());
  const THIGLookStyle& copy = other->LookStyle();
  EXPECT_EQ(copy.Owner(), other);
  EXPECT_EQ(copy.Style(), hls3D);
  EXPECT_TRUE(copy.Gradient());
  EXPECT_TRUE(copy.AlwaysShowBorder());
  EXPECT_EQ(copy.BorderColor(), clNavy);
  EXPECT_EQ(copy.ButtonColor(), clSilver);
  EXPECT_EQ(copy.ButtonDarkColor(), DarkenColor(clSilver, 100));
  EXPECT_EQ(copy.GradStartColor(), clWhite);
  EXPECT_EQ(copy.GradStartHighlightColor(), clWhite);
  EXPECT_EQ(copy.GradStartDownColor(), clWhite);
  EXPECT_EQ(copy.HighlightColor, clRed);
  EXPECT_EQ(copy.DownTextColor, clLime);
  EXPECT_FALSE(copy.HighlightTrack);
}

TEST_F(HigButtonTest, HoverFollowsTheMouseOnlyWithHighlightTracking) {
  THIGButton* button = MakeButton(bkCustom);
  int enters = 0, leaves = 0;
  button->OnMouseEnter = [&](TObject*) { ++enters; };
  button->OnMouseLeave = [&](TObject*) { ++leaves; };
  button->Perform(CM_MOUSEENTER, 0, 0);
  EXPECT_TRUE(button->MouseInControl());
  button->SetEnabled(false);
  EXPECT_FALSE(button->MouseInControl());
  button->SetEnabled(true);
  button->LookStyle().HighlightTrack = false;
  button->Perform(CM_MOUSEENTER, 0, 0);
  EXPECT_FALSE(button->MouseInControl());
  button->Perform(CM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(enters, 2);
  EXPECT_EQ(leaves, 1);
}

// --- pictures ----------------------------------------------------------------------------------
// Expected pictures: every line, fill and glyph pixel is exact (the box font has no
// smoothed edges), so the comparison allows only 2 per channel, room for the rounding
// of premultiplied colours by another build of the drawing library.
constexpr int kTolerance = 2;
constexpr int kCellWidth = 90, kCellHeight = 25;

std::shared_ptr<platform::gdi::Bitmap> Sheet(const std::vector<std::shared_ptr<platform::gdi::Bitmap>>& cells,
                                             int columns) {
  int rows = (static_cast<int>(cells.size()) + columns - 1) / columns;
  auto sheet = platform::gdi::NewBitmap(columns * (kCellWidth + 2), rows * (kCellHeight + 2));
  cairo_t* cr = cairo_create(sheet->surface);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  for (std::size_t i = 0; i < cells.size(); ++i) {
    int column = static_cast<int>(i) % columns, row = static_cast<int>(i) / columns;
    cairo_set_source_surface(cr, cells[i]->Surface(), column * (kCellWidth + 2) + 1,
                             row * (kCellHeight + 2) + 1);
    cairo_paint(cr);
  }
  cairo_destroy(cr);
  cairo_surface_mark_dirty(sheet->surface);
  return sheet;
}

std::shared_ptr<platform::gdi::Bitmap> Copy(const std::shared_ptr<platform::gdi::Bitmap>& picture) {
  return Sheet({picture}, 1);
}

TEST_F(HigButtonTest, PicturesOfTheKinds) {
  std::vector<std::shared_ptr<platform::gdi::Bitmap>> cells;
  for (int kind = bkCustom; kind <= bkDropDownButton; ++kind) {
    THIGButton* button = MakeButton(static_cast<THIGBtnKind>(kind), 10, 10, kCellWidth, kCellHeight);
    button->SetButtonStyle(false);
    cells.push_back(Copy(Picture(button)));
    delete button;
  }
  // The two drop-down kinds with their menus open.
  for (THIGBtnKind kind : {bkDropDown, bkDropDownButton}) {
    THIGButton* button = MakeButton(kind, 10, 10, kCellWidth, kCellHeight);
    platform::menu_driver::Call([&] { cells.push_back(Copy(Picture(button))); });
    platform::menu_driver::Cancel();
    PressAndRelease(button, {kCellWidth - 5, 5}, {kCellWidth - 5, 5});
    delete button;
  }
  ASSERT_EQ(cells.size(), 15u);
  EXPECT_EQ(
      pellix_test::CompareWithExpected(*Sheet(cells, 3), "../controls/hig_button_kinds.png", kTolerance), "");
}

TEST_F(HigButtonTest, PicturesOfTheLookStylesAndStates) {
  enum State { kUp, kHot, kDown, kFocused, kDisabled, kDefault };
  struct Look {
    THIGStyle style;
    bool gradient;
    bool tracking;
  };
  const Look looks[] = {{hls3D, false, true},       {hlsFlat, false, true}, {hlsUltraFlat, false, true},
                        {hlsUltraFlat, true, true}, {hlsFlat, true, true},  {hls3D, false, false}};
  std::vector<std::shared_ptr<platform::gdi::Bitmap>> cells;
  for (const Look& look : looks) {
    for (State state : {kUp, kHot, kDown, kFocused, kDisabled, kDefault}) {
      THIGButton* button = MakeButton(bkOK, 10, 10, kCellWidth, kCellHeight);
      button->SetDefault(state == kDefault);
      button->LookStyle().SetStyle(look.style);
      button->LookStyle().SetGradient(look.gradient);
      button->LookStyle().HighlightTrack = look.tracking;
      button->LookStyle().HighlightOnFocused = look.tracking;
      switch (state) {
        case kHot:
          button->Perform(CM_MOUSEENTER, 0, 0);
          break;
        case kDown:
          SendMessageA(button->Handle(), WM_LBUTTONDOWN, 1, At(5, 5));
          break;
        case kFocused:
          button->SetFocus();
          break;
        case kDisabled:
          button->SetEnabled(false);
          break;
        default:
          break;
      }
      cells.push_back(Copy(Picture(button)));
      if (state == kDown) SendMessageA(button->Handle(), WM_LBUTTONUP, 0, At(500, 5));
      delete button;
    }
  }
  EXPECT_EQ(
      pellix_test::CompareWithExpected(*Sheet(cells, 6), "../controls/hig_button_styles.png", kTolerance),
      "");
}

// A translated caption is wide text end to end: Greek and Russian are measured and
// drawn as themselves, not as the question marks of their 8-bit forms.
TEST_F(HigButtonTest, PicturesOfWideCaptions) {
  const std::u16string captions[] = {u"\u0386\u03ba\u03c5\u03c1\u03bf", u"\u041e\u0442\u043c\u0435\u043d\u0430"};
  std::vector<std::shared_ptr<platform::gdi::Bitmap>> cells;
  for (const std::u16string& caption : captions) {
    THIGButton* button = MakeButton(bkCancel, 10, 10, kCellWidth, kCellHeight);
    button->Font().SetName("Tahoma");
    button->Font().SetHeight(-11);
    button->SetCaption(caption);
    button->SetButtonStyle(false);
    EXPECT_EQ(button->Caption(), caption);
    EXPECT_EQ(button->Kind(), bkCancel);
    auto wide = Copy(Picture(button));
    button->SetCaption(platform::AnsiToWide(platform::WideToAnsi(caption)));
    EXPECT_NE(pellix_test::ComparePictures(*wide, *Copy(Picture(button)), kTolerance), "");
    cells.push_back(wide);
    delete button;
  }
  EXPECT_EQ(pellix_test::CompareWithExpected(*Sheet(cells, 2), "../controls/hig_button_wide_captions.png", 8), "");
}

}  // namespace
