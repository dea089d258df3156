// In-place editing of a string tree's cell, driven as a person would: keys and
// characters go to the editor window, the focus moves away, and the editor's window
// is checked for where it lies and what it shows. Every path that ends an edit is run
// to the point where the editor has released itself, so that the address sanitizer
// sees any use of the link or the editor after its release.
#include <gtest/gtest.h>

#include "controls/vtree/vt_edit.h"
#include "platform/gdi/picture_compare.h"
#include "platform/gdi/window_picture.h"
#include "platform/win/input_driver.h"
#include "platform/win/keyboard.h"
#include "platform/win/std_controls.h"
#include "tests/controls/vtree/string_tree_support.h"

namespace {

using vtree_test::ShownStringTree;
using vtree_test::TestStringTree;

class InPlaceEdit : public testing::Test {
 protected:
  void SetUp() override {
    shown_ = std::make_unique<ShownStringTree>(220, 110);
    tree_ = shown_->tree;
    other_ = new TUniEdit(shown_->form.get());
    other_->SetParent(shown_->form.get());
    other_->SetBounds(0, 150, 80, 20);
    tree_->TreeOptions().SetMiscOptions(tree_->TreeOptions().MiscOptions() | toEditable);
    mail_ = tree_->Add(nullptr, u"Mail", u"2026-12-01");
    news_ = tree_->Add(nullptr, u"News", u"2026-12-02");
    tree_->OnEdited = [this](TViewTreeObject*, PViewNode node, TColumnIndex column) {
      edited_.push_back({node, column});
    };
    tree_->OnEditCancelled = [this](TViewTreeObject*, TColumnIndex) { ++cancelled_; };
    tree_->SetFocus();
  }
  void TearDown() override {
    shown_.reset();
    platform::input_driver::RunPending();
  }
  // Starts an edit of a cell as F2 or a second click does.
  TVTEdit* StartEdit(PViewNode node, TColumnIndex column) {
    EXPECT_TRUE(tree_->EditNode(node, column));
    const auto editors = Editors();
    return editors.empty() ? nullptr : editors.back();
  }
  // Straight to the editor's window, so a test sees the state right after the message.
  void Type(TVTEdit* edit, const std::u16string& text) {
    for (char16_t c : text) SendMessageW(edit->Handle(), WM_CHAR, c, 0);
  }
  void Key(TVTEdit* edit, WPARAM key) { SendMessageW(edit->Handle(), WM_KEYDOWN, key, 0); }
  // Through the keyboard, as a person types into the focused window.
  void TypeKeys(const std::u16string& text) {
    platform::input_driver::Type(text);
    Settle();
  }
  void PressKey(int key) {
    platform::input_driver::Key(key);
    Settle();
  }
  // Runs the posted messages: the editor's release among them.
  void Settle() { platform::input_driver::RunPending(); }
  std::vector<TVTEdit*> Editors() const {
    std::vector<TVTEdit*> editors;
    for (int i = 0; i < tree_->ControlCount(); ++i) {
      if (auto* edit = dynamic_cast<TVTEdit*>(tree_->Controls(i))) editors.push_back(edit);
    }
    return editors;
  }

  std::unique_ptr<ShownStringTree> shown_;
  TestStringTree* tree_ = nullptr;
  TUniEdit* other_ = nullptr;
  PViewNode mail_ = nullptr, news_ = nullptr;
  std::vector<std::pair<PViewNode, TColumnIndex>> edited_;
  int cancelled_ = 0;
};

TEST_F(InPlaceEdit, EnterStoresTheTypedTextAndTheEditorGoesAfterTheMessage) {
  TVTEdit* edit = StartEdit(mail_, 0);
  EXPECT_TRUE(tree_->IsEditing());
  EXPECT_EQ(edit->Text(), u"Mail");
  EXPECT_TRUE(IsWindowVisible(edit->Handle()));
  EXPECT_EQ(GetFocus(), edit->Handle());
  Type(edit, u"Post");
  Key(edit, VK_RETURN);
  EXPECT_EQ(tree_->newTexts, std::vector<std::u16string>{u"Post"});
  ASSERT_EQ(edited_.size(), 1u);
  EXPECT_EQ(edited_[0].first, mail_);
  EXPECT_FALSE(tree_->IsEditing());
  EXPECT_EQ(GetFocus(), tree_->Handle());
  EXPECT_EQ(Editors().size(), 1u);  // released by a posted message
  Settle();
  EXPECT_TRUE(Editors().empty());
  EXPECT_EQ(tree_->GetCellText(mail_, 0), u"Post");
  EXPECT_EQ(cancelled_, 0);
}

TEST_F(InPlaceEdit, F2RenamesTheFocusedNodeFromTheKeyboard) {
  tree_->SetFocusedNode(mail_);
  tree_->SetFocus();
  PressKey(VK_F2);
  ASSERT_TRUE(tree_->IsEditing());
  TypeKeys(u"Inbox été");
  PressKey(VK_RETURN);
  EXPECT_EQ(tree_->GetCellText(mail_, 0), u"Inbox été");
  EXPECT_EQ(GetFocus(), tree_->Handle());
  EXPECT_TRUE(Editors().empty());
  // The width kept for the row is the new caption's, or none until it is measured.
  const int cached = tree_->CachedWidth(mail_);
  tree_->InvalidateNodeRect(mail_);
  const int fresh = tree_->DoGetNodeWidth(mail_, 0, nullptr);
  EXPECT_TRUE(cached == 0 || cached == fresh) << cached << " " << fresh;
}

TEST_F(InPlaceEdit, EnterWithTheTextUnchangedStoresNothingButEndsTheEdit) {
  StartEdit(news_, 1);
  PressKey(VK_RETURN);
  EXPECT_TRUE(tree_->newTexts.empty());
  EXPECT_EQ(edited_.size(), 1u);
  EXPECT_TRUE(Editors().empty());
}

TEST_F(InPlaceEdit, EscapeDropsTheText) {
  StartEdit(mail_, 0);
  TypeKeys(u"Junk");
  PressKey(VK_ESCAPE);
  EXPECT_TRUE(tree_->newTexts.empty());
  EXPECT_TRUE(edited_.empty());
  EXPECT_EQ(cancelled_, 1);
  EXPECT_FALSE(tree_->IsEditing());
  EXPECT_EQ(GetFocus(), tree_->Handle());
  Settle();
  EXPECT_TRUE(Editors().empty());
  EXPECT_EQ(tree_->GetCellText(mail_, 0), u"Mail");
}

TEST_F(InPlaceEdit, LeavingTheEditorStoresOrDropsAsTheStringOptionSays) {
  struct Case {
    const char* what;
    TVTStringOptions options;
    bool stored;
  };
  const Case cases[] = {
      {"toAutoAcceptEditChange", DefaultStringOptions, true},
      {"without toAutoAcceptEditChange", 0, false},
  };
  for (const Case& c : cases) {
    tree_->TreeOptions().SetStringOptions(c.options);
    tree_->newTexts.clear();
    edited_.clear();
    cancelled_ = 0;
    tree_->SetFocus();
    StartEdit(mail_, 0);
    TypeKeys(u"Elsewhere");
    platform::input_driver::Click(other_->Handle(), 5, 5, VK_LBUTTON);
    Settle();
    if (GetFocus() != other_->Handle()) other_->SetFocus();
    EXPECT_FALSE(tree_->IsEditing()) << c.what;
    EXPECT_EQ(tree_->newTexts.size(), c.stored ? 1u : 0u) << c.what;
    EXPECT_EQ(edited_.size(), c.stored ? 1u : 0u) << c.what;
    EXPECT_EQ(cancelled_, c.stored ? 0 : 1) << c.what;
    Settle();
    EXPECT_TRUE(Editors().empty()) << c.what;
  }
}

TEST_F(InPlaceEdit, EndingFromTheTreeAndDestroyingTheTreeLeaveNothingBehind) {
  StartEdit(mail_, 0);
  EXPECT_TRUE(tree_->EndEditNode());
  Settle();
  EXPECT_TRUE(Editors().empty());
  TVTEdit* edit = StartEdit(news_, 0);
  Type(edit, u"Gone");
  shown_.reset();  // the tree goes while its editor is open
  Settle();
}

TEST_F(InPlaceEdit, UpAndDownMoveTheCaretInASingleLineEditor) {
  TVTEdit* edit = StartEdit(mail_, 0);
  SendMessageW(edit->Handle(), EM_SETSEL, 2, 2);
  Key(edit, VK_DOWN);
  DWORD start = 0, end = 0;
  SendMessageW(edit->Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 3u);
  Key(edit, VK_UP);
  Key(edit, VK_UP);
  SendMessageW(edit->Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 1u);
  EXPECT_TRUE(tree_->IsEditing());
  EXPECT_EQ(SendMessageW(edit->Handle(), WM_GETDLGCODE, 0, 0) & 7, 7);
  Key(edit, VK_ESCAPE);
}

TEST_F(InPlaceEdit, TheEditorKeepsAMinimumWidthAndStaysInTheClientArea) {
  struct Case {
    const char* what;
    TAlignment alignment;
    RECT asked;
    RECT placed;
  };
  const Case cases[] = {
      {"a narrow left-aligned cell grows to the right", taLeftJustify, {40, 18, 50, 36}, {40, 18, 70, 36}},
      {"a narrow right-aligned cell grows to the left", taRightJustify, {40, 18, 50, 36}, {20, 18, 50, 36}},
      {"left of the client area", taLeftJustify, {-20, 18, 60, 36}, {0, 18, 60, 36}},
      {"beyond the client area", taLeftJustify, {150, 18, 400, 36}, {150, 18, 220, 36}},
  };
  for (const Case& c : cases) {
    tree_->Header().Columns()[1].SetAlignment(c.alignment);
    TVTEdit* edit = StartEdit(news_, 1);
    edit->Link()->SetBounds(c.asked);
    const RECT r = edit->BoundsRect();
    EXPECT_EQ(r.left, c.placed.left) << c.what;
    EXPECT_EQ(r.right, c.placed.right) << c.what;
    Key(edit, VK_ESCAPE);
    Settle();
  }
}

TEST_F(InPlaceEdit, TypingWidensTheEditorToItsTextButNotPastTheClientArea) {
  TVTEdit* edit = StartEdit(news_, 0);
  const int start = edit->Width();
  TypeKeys(u"A much longer name");
  EXPECT_GT(edit->Width(), start);
  TypeKeys(u" that goes on and on and on past every edge");
  EXPECT_EQ(edit->BoundsRect().right, tree_->TreeClientRect().right);
  PressKey(VK_RETURN);
  EXPECT_EQ(tree_->newTexts.size(), 1u);
}

TEST_F(InPlaceEdit, ATreeOtherThanAStringTreeCannotBeEdited) {
  IVTEditLinkPtr link = platform::com::MakeComObject<TStringEditLink>();
  TBaseViewTree plain(nullptr);
  EXPECT_FALSE(link->PrepareEdit(&plain, nullptr, 0));
}

TEST_F(InPlaceEdit, PictureOfANodeBeingEdited) {
  tree_->SetFocusedNode(mail_);
  TVTEdit* edit = StartEdit(news_, 0);
  Type(edit, u"Newsgroups");
  platform::input_driver::RunPending();
  auto picture = platform::gdi::WholeWindowPicture(tree_->Handle());
  EXPECT_EQ(pellix_test::CompareWithExpected(*picture, "../controls/vtree_editing.png", 0), "");
  Key(edit, VK_ESCAPE);
}

}  // namespace
