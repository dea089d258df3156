// The HTML label on a form: caption changes, paint and AutoHeight, link hit testing
// through real mouse messages, hover and press repaints of one link, and pictures.
// The built-in fixed font draws each character as a 4 x 8 box in a 5 x 10 cell.
#include "controls/htmllabel/mk_html_label.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/classlib/ext_ctrls.h"
#include "platform/classlib/forms.h"
#include "platform/gdi/picture_compare.h"
#include "platform/gdi/window_picture.h"
#include "platform/win/input.h"

namespace {

class HtmlLabelTest : public testing::Test {
 protected:
  void SetUp() override {
    app_ = new TApplication(nullptr);
    form_ = app_->CreateForm<TForm>();
    form_->SetBounds(10, 10, 220, 120);
    label_ = new TMkHtmlLabel(form_);
    label_->SetParent(form_);
    label_->Font().SetName("Pellix Test Fixed");
    label_->Font().SetHeight(-10);
    label_->Font().SetColor(clBlack);
    label_->SetColor(clWhite);
    label_->SetBounds(kLeft, kTop, 100, 17);
    form_->Show();
  }
  void TearDown() override { delete app_; }

  void Paint() { app_->ProcessMessages(); }
  bool Invalid() {
    RECT r;
    return GetUpdateRect(form_->Handle(), &r, FALSE) != FALSE;
  }
  // Mouse messages in the label's coordinates, through the form's window.
  void Mouse(UINT message, int x, int y) {
    SendMessageW(form_->Handle(), message, 0, MAKELPARAM(kLeft + x, kTop + y));
  }
  COLORREF Pixel(int x, int y) {
    HDC dc = GetDC(form_->Handle());
    COLORREF c = GetPixel(dc, kLeft + x, kTop + y);
    ReleaseDC(form_->Handle(), dc);
    return c;
  }
  // The colour of the character box whose cell starts at (x, y) of the label.
  COLORREF CharColor(int x, int y) { return Pixel(x + 1, y + 1); }

  static constexpr int kLeft = 20, kTop = 10;
  TApplication* app_ = nullptr;
  TForm* form_ = nullptr;
  TMkHtmlLabel* label_ = nullptr;
};

TEST_F(HtmlLabelTest, StartsWithItsDefaults) {
  TMkHtmlLabel label(nullptr);
  EXPECT_EQ(label.Width(), 65);
  EXPECT_EQ(label.Height(), 17);
  EXPECT_TRUE(label.AutoHeight());
  EXPECT_TRUE(label.HotLinks);
  EXPECT_FALSE(label.Transparent());
  EXPECT_FALSE(label.TransparentSet());
  EXPECT_EQ(label.LinkColor(), clBlue);
  EXPECT_EQ(label.LinkColorClicked(), clRed);
  EXPECT_EQ(label.LinkColorHot(), 0x800080);
  EXPECT_EQ(label.LinkStyle(), static_cast<TFontStyles>(fsUnderline));
  ASSERT_NE(label.NodeTree(), nullptr);
  EXPECT_TRUE(label.NodeTree()->Root().Children.empty());
  label.SetTransparent(false);
  EXPECT_TRUE(label.TransparentSet());
}

TEST_F(HtmlLabelTest, TextRectFollowsBoundsAndMarginsButKeepsTheClientBottom) {
  label_->SetMarginWidth(3);
  label_->SetMarginHeight(4);
  const RECT r = label_->TextRect();
  EXPECT_EQ((std::vector<long>{r.left, r.top, r.right, r.bottom}), (std::vector<long>{3, 4, 97, 17}));
  label_->SetBounds(0, 0, 50, 30);
  EXPECT_EQ(label_->TextRect().right, 47);
  EXPECT_EQ(label_->TextRect().bottom, 30);
}

TEST_F(HtmlLabelTest, TheSameCaptionKeepsTreeLinkAndPicture) {
  label_->SetCaption("<a href=x>link</a>");
  Paint();
  TNodeTree* tree = label_->NodeTree();
  Mouse(WM_MOUSEMOVE, 2, 2);
  ASSERT_NE(label_->ActiveLink(), nullptr);
  label_->SetCaption("<a href=x>link</a>");
  EXPECT_EQ(label_->NodeTree(), tree);
  EXPECT_NE(label_->ActiveLink(), nullptr);
  EXPECT_FALSE(Invalid());
  // Another text makes a new tree without rectangles and forgets the link.
  label_->SetCaption("<a href=x>Link</a>");
  EXPECT_EQ(label_->ActiveLink(), nullptr);
  EXPECT_TRUE(Invalid());
  EXPECT_FALSE(label_->NodeTree()->HasNodeAt(POINT{2, 2}, &IsNodeOf<TLinkNode>));
}

// Under AutoHeight a paint sets the height to the text; the new height asks for
// another paint instead of laying the text out again inside this one.
TEST_F(HtmlLabelTest, AutoHeightSetsTheHeightFromThePaint) {
  int paints = 0;
  label_->OnAfterPaint = [&](TObject*) { ++paints; };
  label_->SetMarginHeight(3);
  label_->SetCaption("one two three four five six seven eight nine ten");  // 250 pixels: three lines
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(form_->Handle(), &ps);
  label_->Perform(WM_PAINT, dc, 0);
  EndPaint(form_->Handle(), &ps);
  EXPECT_EQ(paints, 1);
  EXPECT_EQ(label_->Height(), 3 + 30 + 3);
  EXPECT_TRUE(Invalid());
  Paint();
  EXPECT_EQ(paints, 2);
  EXPECT_EQ(label_->Height(), 36);
  EXPECT_FALSE(Invalid());

  // An empty caption keeps one line; client alignment never changes the height.
  label_->SetCaption("");
  Paint();
  EXPECT_EQ(label_->Height(), 3 + 10 + 3);
  label_->SetAutoHeight(false);
  label_->SetCaption("a<br>b<br>c");
  Paint();
  EXPECT_EQ(label_->Height(), 16);
  label_->SetAutoHeight(true);
  label_->SetAlign(alClient);
  Paint();
  EXPECT_EQ(label_->Height(), form_->ClientRect().bottom);
}

TEST_F(HtmlLabelTest, HoverAndPressRepaintOneLinkInTheColourOfItsState) {
  std::vector<std::u16string> clicks;
  label_->OnLinkClick = [&](TObject*, const std::u16string& href, const std::u16string& text) {
    clicks.push_back(href + u"=" + text);
  };
  label_->SetCaption("go <a href=one>first <b>x</b></a> <a href=two>second</a>");
  Paint();
  // "go " 0-15, "first " 15-45, "x" 45-50, " " 50-55, "second" 55-85.
  EXPECT_EQ(CharColor(0, 0), RGB(0, 0, 0));
  EXPECT_EQ(CharColor(15, 0), RGB(0, 0, 255));
  EXPECT_EQ(CharColor(55, 0), RGB(0, 0, 255));
  EXPECT_EQ(label_->Cursor, crDefault);

  Mouse(WM_MOUSEMOVE, 46, 3);
  EXPECT_EQ(label_->Cursor, crHandPoint);
  ASSERT_NE(label_->ActiveLink(), nullptr);
  EXPECT_EQ(label_->ActiveLink()->Href, u"one");
  EXPECT_EQ(CharColor(15, 0), RGB(128, 0, 128));
  EXPECT_EQ(CharColor(45, 0), RGB(128, 0, 128));
  EXPECT_EQ(CharColor(55, 0), RGB(0, 0, 255));
  EXPECT_EQ(CharColor(0, 0), RGB(0, 0, 0));
  EXPECT_FALSE(Invalid());  // drawn in place, nothing else asked for

  Mouse(WM_MOUSEMOVE, 60, 3);
  EXPECT_EQ(CharColor(15, 0), RGB(0, 0, 255));
  EXPECT_EQ(CharColor(55, 0), RGB(128, 0, 128));

  // Press on the second link, release over the first: the first is reported.
  Mouse(WM_LBUTTONDOWN, 60, 3);
  EXPECT_EQ(CharColor(55, 0), RGB(255, 0, 0));
  Mouse(WM_MOUSEMOVE, 20, 3);  // a pressed link stays pressed
  EXPECT_EQ(CharColor(55, 0), RGB(255, 0, 0));
  EXPECT_EQ(CharColor(15, 0), RGB(0, 0, 255));
  Mouse(WM_LBUTTONUP, 20, 3);
  EXPECT_EQ(clicks, (std::vector<std::u16string>{u"one=first x"}));
  EXPECT_EQ(label_->ActiveLink(), nullptr);
  EXPECT_EQ(CharColor(55, 0), RGB(0, 0, 255));

  // Released outside every link: nothing reported, the link goes back to normal.
  Mouse(WM_LBUTTONDOWN, 20, 3);
  Mouse(WM_LBUTTONUP, 2, 3);
  EXPECT_EQ(clicks.size(), 1u);
  EXPECT_EQ(CharColor(15, 0), RGB(0, 0, 255));
  Mouse(WM_MOUSEMOVE, 2, 3);
  EXPECT_EQ(label_->Cursor, crDefault);

  // Leaving the control puts a hot link back.
  Mouse(WM_MOUSEMOVE, 20, 3);
  label_->Perform(CM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(label_->ActiveLink(), nullptr);
  EXPECT_EQ(CharColor(15, 0), RGB(0, 0, 255));
}

TEST_F(HtmlLabelTest, WithoutHotLinksAMoveChangesOnlyTheCursor) {
  std::vector<std::u16string> clicks;
  label_->OnLinkClick = [&](TObject*, const std::u16string& href, const std::u16string&) { clicks.push_back(href); };
  label_->HotLinks = false;
  label_->SetCaption("<a href=h>hot</a>");
  Paint();
  Mouse(WM_MOUSEMOVE, 3, 3);
  EXPECT_EQ(label_->Cursor, crHandPoint);
  EXPECT_EQ(label_->ActiveLink(), nullptr);
  EXPECT_EQ(CharColor(0, 0), RGB(0, 0, 255));
  Mouse(WM_LBUTTONDOWN, 3, 3);
  EXPECT_EQ(CharColor(0, 0), RGB(255, 0, 0));
  Mouse(WM_LBUTTONUP, 3, 3);
  EXPECT_EQ(clicks, std::vector<std::u16string>{u"h"});
}

TEST_F(HtmlLabelTest, AFontChangeMeasuresEveryWordAgain) {
  label_->SetCaption("aaa <b>bbb</b>");
  Paint();
  const auto texts = StringNodesUnder(label_->NodeTree()->Root());
  EXPECT_EQ(texts[1]->Rects.front().left, 20);
  label_->Font().SetHeight(-20);
  EXPECT_TRUE(texts[0]->WordCache.empty());
  Paint();
  EXPECT_EQ(texts[1]->Rects.front().left, 40);
  EXPECT_EQ(label_->NodeTree()->Root().Style, 0u);
  label_->Font().SetStyle(fsItalic);
  EXPECT_EQ(label_->NodeTree()->Root().Style, static_cast<TFontStyles>(fsItalic));
}

TEST_F(HtmlLabelTest, DynamicTagsAskTheirSourceByTheirId) {
  std::vector<std::u16string> asked;
  label_->OnDynamicTagInit = [&](TObject*, const std::u16string& id, std::string& source) {
    asked.push_back(id);
    if (id == u"who") source = "<b>Ann</b>";
  };
  label_->SetCaption("Hi <dynamic id=who></dynamic>, <dynamic id=nobody></dynamic>!");
  EXPECT_EQ(asked, (std::vector<std::u16string>{u"who", u"nobody"}));
  EXPECT_EQ(GetText(label_->NodeTree()->Root()), u"Hi Ann, !");
}

// Pictures: styles, colours and a wrapped link in the fixed font on an opaque label
// (its link hot) and a transparent one, and in a real face.
TEST_F(HtmlLabelTest, Pictures) {
  auto* panel = new TPanel(form_);
  panel->SetParent(form_);
  panel->SetBounds(0, 60, 220, 40);
  panel->SetColor(clSilver);
  auto* transparent = new TMkHtmlLabel(form_);
  transparent->SetParent(panel);
  transparent->Font().Assign(&label_->Font());
  transparent->SetTransparent(true);
  transparent->SetBounds(5, 5, 100, 20);
  auto* real = new TMkHtmlLabel(form_);
  real->SetParent(panel);
  real->Font().SetName("Tahoma");
  real->Font().SetSize(8);
  real->SetColor(clWhite);
  real->SetBounds(110, 2, 105, 20);
  const std::string caption =
      "<b>Bold</b> <i>it</i> <u>under</u> <s>out</s> <font color=green>green</font> <a href=1>a long link</a>";
  label_->SetCaption(caption);
  transparent->SetCaption(caption);
  real->SetCaption(caption);
  Paint();
  Mouse(WM_MOUSEMOVE, 40, 12);  // the top label's link lights up
  ASSERT_NE(label_->ActiveLink(), nullptr);
  auto picture = platform::gdi::WindowPicture(form_->Handle());
  ASSERT_TRUE(picture);
  EXPECT_EQ(pellix_test::CompareWithExpected(*picture, "../controls/html_label.png", 0), "");
}

}  // namespace
