#include "platform/classlib/std_ctrls.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/classlib/ext_ctrls.h"
#include "platform/classlib/forms.h"
#include "platform/gdi/picture_compare.h"
#include "platform/gdi/window_picture.h"
#include "platform/win/input_driver.h"
#include "platform/win/keyboard.h"

namespace {

class StdCtrlsTest : public testing::Test {
 protected:
  void SetUp() override {
    app_ = new TApplication(nullptr);
    form_ = app_->CreateForm<TForm>();
    form_->SetBounds(10, 10, 300, 200);
  }
  void TearDown() override { delete app_; }
  template <typename Control>
  Control* Make(int left = 8, int top = 8) {
    auto* control = new Control(form_);
    control->SetParent(form_);
    control->SetBounds(left, top, control->Width(), control->Height());
    return control;
  }
  static void Click(TWinControl* control) {
    SendMessageA(control->Handle(), WM_LBUTTONDOWN, 0, MAKELPARAM(3, 3));
    SendMessageA(control->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
  }
  TApplication* app_ = nullptr;
  TForm* form_ = nullptr;
};

TEST_F(StdCtrlsTest, EditReportsChangesAndKeepsItsStateThroughRecreation) {
  auto* edit = Make<TEdit>();
  int changes = 0;
  edit->OnChange = [&](TObject*) { ++changes; };
  edit->SetMaxLength(5);
  edit->SetPasswordChar('#');
  edit->HandleNeeded();
  edit->SetText("abc");
  EXPECT_EQ(changes, 1);
  edit->SetSelStart(3);
  SendMessageA(edit->Handle(), WM_CHAR, 'd', 0);
  EXPECT_EQ(edit->Text(), "abcd");
  EXPECT_EQ(changes, 2);
  EXPECT_TRUE(edit->Modified());
  edit->SetSelStart(1);
  edit->SetSelLength(2);
  EXPECT_EQ(edit->SelText(), "bc");

  // A changed border makes the window again; text, limit, password and modified stay.
  edit->SetBorderStyle(TBorderStyle::bsNone);
  EXPECT_EQ(edit->Text(), "abcd");
  EXPECT_TRUE(edit->Modified());
  EXPECT_EQ(SendMessageA(edit->Handle(), EM_GETPASSWORDCHAR, 0, 0), '#');
  EXPECT_EQ(SendMessageA(edit->Handle(), EM_GETLIMITTEXT, 0, 0), 5);
  SendMessageA(edit->Handle(), WM_KEYDOWN, VK_END, 0);
  SendMessageA(edit->Handle(), WM_CHAR, 'e', 0);
  SendMessageA(edit->Handle(), WM_CHAR, 'f', 0);
  EXPECT_EQ(edit->Text(), "abcde");
}

TEST_F(StdCtrlsTest, KeyEventsSeeAndCanStopKeys) {
  auto* edit = Make<TEdit>();
  std::vector<WORD> downs;
  edit->OnKeyDown = [&](TObject*, WORD& key, TShiftState) {
    downs.push_back(key);
    if (key == VK_HOME) key = 0;
  };
  edit->OnKeyPress = [](TObject*, char& key) {
    if (key == 'x') key = 0;
    if (key == 'a') key = 'A';
  };
  for (char ch : std::string("axb")) SendMessageA(edit->Handle(), WM_CHAR, static_cast<unsigned char>(ch), 0);
  EXPECT_EQ(edit->Text(), "Ab");
  SendMessageA(edit->Handle(), WM_KEYDOWN, VK_HOME, 0);
  EXPECT_EQ(edit->SelStart(), 2);  // the event swallowed Home
  EXPECT_EQ(downs, (std::vector<WORD>{VK_HOME}));
}

TEST_F(StdCtrlsTest, ComboBoxItemsSelectionAndRecreation) {
  auto* combo = Make<TComboBox>();
  combo->SetStyle(csDropDownList);
  TObject first, second;
  combo->Items().AddObject("one", &first);
  combo->Items().AddObject("two", &second);
  EXPECT_EQ(combo->Items().IndexOf("TWO"), 1);
  EXPECT_EQ(combo->Items().Objects(1), &second);
  EXPECT_THROW(combo->Items().Insert(9, "x"), EOutOfResources);

  std::vector<std::string> events;
  combo->OnChange = [&](TObject*) { events.push_back("change:" + combo->Text()); };
  combo->OnSelect = [&](TObject*) { events.push_back("select"); };
  SendMessageA(combo->Handle(), WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(events, (std::vector<std::string>{"change:one", "select"}));
  combo->SetItemIndex(1);  // the program's choice is not reported
  EXPECT_EQ(events.size(), 2u);

  // A new style makes the window again with the same items, objects and choice.
  combo->SetStyle(csDropDown);
  EXPECT_EQ(combo->Items().Count(), 2);
  EXPECT_EQ(combo->Items().Objects(0), &first);
  EXPECT_EQ(combo->ItemIndex(), 1);
  EXPECT_EQ(combo->Text(), "two");
  EXPECT_NE(combo->EditHandle(), 0u);
  combo->Items().Clear();
  EXPECT_EQ(combo->Text(), "two");  // clearing the items keeps the text
}

TEST_F(StdCtrlsTest, ButtonsClickAndCheck) {
  auto* ok = Make<TButton>();
  form_->Show();
  ok->ModalResult = mrOk;
  int clicks = 0;
  ok->OnClick = [&](TObject*) { ++clicks; };
  Click(ok);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(form_->ModalResult, mrOk);
  ok->SetDefault(true);
  EXPECT_EQ(GetWindowLongA(ok->Handle(), GWL_STYLE) & BS_TYPEMASK, static_cast<LONG>(BS_DEFPUSHBUTTON));
  EXPECT_EQ(ok->Perform(CM_DIALOGKEY, VK_RETURN, 0), 1);
  EXPECT_EQ(clicks, 2);
  EXPECT_EQ(ok->Perform(CM_DIALOGKEY, VK_ESCAPE, 0), 0);

  auto* box = Make<TCheckBox>(8, 40);
  box->AllowGrayed = true;
  std::vector<TCheckBoxState> seen;
  box->OnClick = [&](TObject*) { seen.push_back(box->State()); };
  for (int i = 0; i < 3; ++i) Click(box);
  EXPECT_EQ(seen, (std::vector<TCheckBoxState>{cbGrayed, cbChecked, cbUnchecked}));
  box->SetChecked(true);  // the program's change clicks too
  EXPECT_EQ(SendMessageA(box->Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(seen.size(), 4u);

  auto* a = Make<TRadioButton>(8, 70);
  auto* b = Make<TRadioButton>(8, 90);
  a->SetChecked(true);
  Click(b);
  EXPECT_TRUE(b->Checked());
  EXPECT_FALSE(a->Checked());
  EXPECT_EQ(SendMessageA(a->Handle(), BM_GETCHECK, 0, 0), BST_UNCHECKED);
}

// Return and Escape reach the form's default and cancel buttons from the control
// with the focus, unless that control wants them itself.
TEST_F(StdCtrlsTest, ReturnAndEscapeReachTheDefaultAndCancelButtons) {
  namespace input = platform::input_driver;
  auto* edit = Make<TEdit>(8, 8);
  auto* combo = Make<TComboBox>(8, 40);
  combo->SetStyle(csDropDownList);
  combo->Items().Add("one");
  auto* ok = Make<TButton>(8, 80);
  ok->SetDefault(true);
  auto* cancel = Make<TButton>(100, 80);
  cancel->Cancel = true;
  std::vector<std::string> clicks;
  ok->OnClick = [&](TObject*) { clicks.push_back("ok"); };
  cancel->OnClick = [&](TObject*) { clicks.push_back("cancel"); };
  form_->Show();
  input::RunPending();
  auto press = [&](TWinControl* focus, int key) {
    focus->SetFocus();
    input::Key(key);
    input::RunPending();
  };
  press(edit, VK_RETURN);
  press(edit, VK_ESCAPE);
  EXPECT_EQ(clicks, (std::vector<std::string>{"ok", "cancel"}));
  // An open list closes on Return; the default button stays still.
  combo->SetDroppedDown(true);
  press(combo, VK_RETURN);
  EXPECT_FALSE(combo->DroppedDown());
  EXPECT_EQ(clicks.size(), 2u);
  // A focused button takes Return itself.
  press(cancel, VK_RETURN);
  EXPECT_EQ(clicks.back(), "cancel");
  EXPECT_EQ(clicks.size(), 3u);
}

// Tab and Shift+Tab go round the form's tab stops in tab order, into containers,
// past hidden and disabled controls and controls that are no tab stops.
TEST_F(StdCtrlsTest, TabAndShiftTabMoveTheFocusInTabOrder) {
  namespace input = platform::input_driver;
  std::map<TWinControl*, std::string> names;
  auto make = [&](auto* control, TWinControl* parent, const std::string& name) {
    control->SetParent(parent);
    control->SetBounds(8, 8 + 24 * static_cast<int>(names.size() % 6), 60, 20);
    names[control] = name;
    return control;
  };
  auto* a = make(new TEdit(form_), form_, "a");
  auto* panel = make(new TPanel(form_), form_, "panel");
  panel->SetBounds(120, 8, 150, 80);
  make(new TEdit(form_), panel, "p1");
  make(new TButton(form_), panel, "p2");
  make(new TEdit(form_), form_, "hidden")->SetVisible(false);
  make(new TEdit(form_), form_, "disabled")->SetEnabled(false);
  make(new TEdit(form_), form_, "no stop")->SetTabStop(false);
  auto* hiddenPanel = make(new TPanel(form_), form_, "hidden panel");
  make(new TEdit(form_), hiddenPanel, "in hidden panel");
  hiddenPanel->SetVisible(false);
  make(new TComboBox(form_), form_, "combo")->SetStyle(csDropDownList);
  make(new TComboBox(form_), form_, "typed combo")->SetStyle(csDropDown);
  auto* check = make(new TCheckBox(form_), form_, "check");
  check->SetTabOrder(0);
  // A place asked for before the control has a parent is taken when it gets one.
  auto* early = new TEdit(form_);
  early->SetTabOrder(1);
  make(early, form_, "early");
  EXPECT_EQ(early->TabOrder(), 1);
  EXPECT_EQ(a->TabOrder(), 2);
  form_->Show();
  input::RunPending();

  auto walk = [&](std::vector<int> keys, int steps) {
    check->SetFocus();
    std::vector<std::string> seen;
    for (int i = 0; i < steps; ++i) {
      input::Chord(keys);
      input::RunPending();
      TWinControl* active = form_->ActiveControl();
      seen.push_back(active == nullptr ? "none" : names[active]);
    }
    return seen;
  };
  // The focus of a typed combo box sits in its edit part.
  EXPECT_EQ(walk({VK_TAB}, 7),
            (std::vector<std::string>{"early", "a", "p1", "p2", "combo", "typed combo", "check"}));
  EXPECT_EQ(walk({VK_SHIFT, VK_TAB}, 7),
            (std::vector<std::string>{"typed combo", "combo", "p2", "p1", "a", "early", "check"}));
  // A control that stops being a tab stop is passed over from then on.
  a->SetTabStop(false);
  EXPECT_EQ(walk({VK_TAB}, 2), (std::vector<std::string>{"early", "p1"}));
  // A control freed leaves the tab order.
  delete early;
  EXPECT_EQ(walk({VK_TAB}, 1), (std::vector<std::string>{"p1"}));
}

TEST_F(StdCtrlsTest, LabelSizesToItsTextAndFocusesItsControl) {
  auto* label = Make<TLabel>();
  label->SetCaption("x");
  label->SetCaption("");
  int empty = label->Height();
  EXPECT_GT(empty, 0);  // an empty label keeps one line's height
  label->SetCaption("Some &name");
  EXPECT_EQ(label->Height(), empty);
  int oneLine = label->Width();
  label->SetCaption("Some &name, longer");
  EXPECT_GT(label->Width(), oneLine);

  auto* edit = Make<TEdit>(8, 40);
  label->SetFocusControl(edit);
  form_->Show();
  EXPECT_EQ(form_->Perform(CM_DIALOGCHAR, 'N', 0), 0);  // windowed children only
  EXPECT_EQ(label->Perform(CM_DIALOGCHAR, 'N', 0), 1);
  EXPECT_TRUE(edit->Focused());
  delete edit;
  EXPECT_EQ(label->FocusControl(), nullptr);
}

TEST_F(StdCtrlsTest, BevelsAndGroupBoxPicture) {
  form_->SetColor(clBtnFace);
  auto* outer = Make<TPanel>(4, 4);
  outer->SetBounds(4, 4, 60, 40);
  outer->SetBevelWidth(2);
  auto* inner = Make<TPanel>(70, 4);
  inner->SetBounds(70, 4, 60, 40);
  inner->SetBevelOuter(bvLowered);
  inner->SetBevelInner(bvRaised);
  inner->SetBorderWidth(2);
  auto* bevel = Make<TBevel>(140, 4);
  bevel->SetBounds(140, 4, 40, 40);
  bevel->Shape = TBevelShape::bsFrame;
  auto* group = Make<TGroupBox>(4, 50);
  group->SetBounds(4, 50, 120, 50);
  group->Font().SetName("Pellix Test Fixed");
  group->SetCaption("Box");
  form_->Show();
  app_->ProcessMessages();
  auto picture = platform::gdi::WindowPicture(form_->Handle());
  ASSERT_TRUE(picture);
  EXPECT_EQ(pellix_test::CompareWithExpected(*picture, "classlib_panels_and_group_box.png", 0), "");
}

}  // namespace
