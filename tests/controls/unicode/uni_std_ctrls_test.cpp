#include "controls/unicode/uni_std_ctrls.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "controls/unicode/uni_ext_ctrls.h"
#include "platform/base/clock.h"
#include "platform/classlib/forms.h"
#include "platform/gdi/picture_compare.h"
#include "platform/classlib/hint_window.h"
#include "platform/win/input_driver.h"
#include "platform/win/menus.h"
#include "platform/win/keyboard.h"
#include "platform/gdi/window_picture.h"

namespace {

const std::u16string kCyrillic = u"\u0424\u0430\u0439\u043b";  // not in the 8-bit code page
const std::u16string kGreek = u"\u0391\u03b2\u03b3";

class UniStdCtrlsTest : public testing::Test {
 protected:
  void SetUp() override {
    app_ = new TApplication(nullptr);
    form_ = app_->CreateForm<TForm>();
    form_->SetBounds(10, 10, 320, 220);
  }
  void TearDown() override {
    delete app_;
    platform::test_clock::Release();
  }
  template <typename Control>
  Control* Make(int left = 8, int top = 8) {
    auto* control = new Control(form_);
    control->SetParent(form_);
    control->SetBounds(left, top, control->Width(), control->Height());
    return control;
  }
  // Types through the window as the keyboard does: the trap hands 8-bit readers the
  // packed character and the system's procedure the wide one.
  static void Type(HWND window, const std::u16string& text) {
    for (char16_t ch : text) SendMessageW(window, WM_CHAR, ch, 0);
  }
  TApplication* app_ = nullptr;
  TForm* form_ = nullptr;
};

// Each kind keeps a wide caption beside its 8-bit one, before and after its window
// exists and through the window's re-creation; an 8-bit change makes the wide follow.
TEST_F(UniStdCtrlsTest, WideTextsSurviveWindowsAndFollowEightBitChanges) {
  struct Kind {
    const char* name;
    std::function<TControl*()> make;
    std::function<std::u16string(TControl*)> get;
    std::function<void(TControl*, const std::u16string&)> set;
  };
  auto caption = [](auto* typed) {
    using T = std::remove_pointer_t<decltype(typed)>;
    return Kind{"", nullptr, [](TControl* c) { return static_cast<T*>(c)->Caption(); },
                [](TControl* c, const std::u16string& v) { static_cast<T*>(c)->SetCaption(v); }};
  };
  std::vector<Kind> kinds;
  auto add = [&](const char* name, auto* typed, std::function<TControl*()> make) {
    Kind kind = caption(typed);
    kind.name = name;
    kind.make = std::move(make);
    kinds.push_back(kind);
  };
  add("button", static_cast<TUniButton*>(nullptr), [&] { return Make<TUniButton>(); });
  add("check box", static_cast<TUniCheckBox*>(nullptr), [&] { return Make<TUniCheckBox>(); });
  add("radio button", static_cast<TUniRadioButton*>(nullptr), [&] { return Make<TUniRadioButton>(); });
  add("group box", static_cast<TUniGroupBox*>(nullptr), [&] { return Make<TUniGroupBox>(); });
  add("label", static_cast<TUniLabel*>(nullptr), [&] { return Make<TUniLabel>(); });
  add("panel", static_cast<TUniPanel*>(nullptr), [&] { return Make<TUniPanel>(); });
  add("edit", static_cast<TUniEdit*>(nullptr), [&] { return Make<TUniEdit>(); });
  add("combo box", static_cast<TUniComboBox*>(nullptr), [&] { return Make<TUniComboBox>(); });
  for (const Kind& kind : kinds) {
    SCOPED_TRACE(kind.name);
    TControl* control = kind.make();
    kind.set(control, kCyrillic);
    EXPECT_EQ(control->Caption(), "????");
    auto* windowed = dynamic_cast<TWinControl*>(control);
    if (windowed != nullptr) {
      EXPECT_TRUE(IsWindowUnicode(windowed->Handle()));
      windowed->RecreateWnd();
    }
    EXPECT_EQ(kind.get(control), kCyrillic);
    control->SetCaption("plain");
    EXPECT_EQ(kind.get(control), u"plain");
    kind.set(control, kGreek);
    EXPECT_EQ(kind.get(control), kGreek);
    kind.set(control, u"x" + kCyrillic);  // the same ANSI form as before: still taken
    EXPECT_EQ(kind.get(control), u"x" + kCyrillic);
  }
}

TEST_F(UniStdCtrlsTest, EditTakesWideTypingAndAWidePasswordCharacter) {
  auto* edit = Make<TUniEdit>();
  std::vector<char> pressed;
  int changes = 0;
  edit->OnKeyPress = [&](TObject*, char& key) { pressed.push_back(key); };
  edit->OnChange = [&](TObject*) { ++changes; };
  Type(edit->Handle(), u"a" + kGreek);
  EXPECT_EQ(edit->Text(), u"a" + kGreek);
  EXPECT_EQ(changes, 4);
  // The 8-bit handler sees 255 for a character beyond the 8-bit range.
  EXPECT_EQ(pressed, (std::vector<char>{'a', '\xFF', '\xFF', '\xFF'}));
  edit->SetSelStart(1);
  edit->SetSelLength(2);
  EXPECT_EQ(edit->SelText(), u"\u0391\u03b2");

  edit->SetPasswordChar(u'\u25cf');
  EXPECT_EQ(edit->TCustomEdit::PasswordChar(), '*');
  EXPECT_EQ(SendMessageW(edit->Handle(), EM_GETPASSWORDCHAR, 0, 0), u'\u25cf');
  edit->RecreateWnd();
  EXPECT_EQ(SendMessageW(edit->Handle(), EM_GETPASSWORDCHAR, 0, 0), u'\u25cf');
  EXPECT_EQ(edit->Text(), u"a" + kGreek);
  // Changing the library's character makes the wide one follow.
  edit->TCustomEdit::SetPasswordChar('#');
  EXPECT_EQ(edit->PasswordChar(), u'#');
}

TEST_F(UniStdCtrlsTest, ComboBoxKeepsWideItemsThroughRecreation) {
  auto* combo = Make<TUniComboBox>();
  combo->SetStyle(csDropDownList);
  TObject marker;
  combo->Items().Add(u"plain");
  combo->AddItem(kCyrillic, &marker);
  combo->Items().Add(kGreek);
  EXPECT_EQ(combo->AnsiItems().Strings(1), "????");
  EXPECT_EQ(combo->Items().IndexOf(kGreek), 2);
  combo->SetItemIndex(1);
  combo->SetStyle(csDropDown);  // the window is made again
  ASSERT_EQ(combo->Items().Count(), 3);
  EXPECT_EQ(combo->Items().Strings(1), kCyrillic);
  EXPECT_EQ(combo->Items().Objects(1), &marker);
  EXPECT_EQ(combo->ItemIndex(), 1);
  EXPECT_EQ(combo->Text(), kCyrillic);
  EXPECT_TRUE(IsWindowUnicode(combo->EditHandle()));
  combo->Items().Clear();
  EXPECT_EQ(combo->Items().Count(), 0);
  EXPECT_EQ(combo->Text(), kCyrillic);
  EXPECT_THROW(combo->Items().Insert(5, u"x"), EOutOfResources);

  // The user's choice gives the wide text, then Change and Select.
  combo->Items().Add(kGreek);
  std::vector<std::u16string> seen;
  combo->OnChange = [&](TObject*) { seen.push_back(combo->Text()); };
  combo->OnSelect = [&](TObject*) { seen.push_back(u"select"); };
  SendMessageW(combo->EditHandle(), WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(seen, (std::vector<std::u16string>{kGreek, u"select"}));
}

TEST_F(UniStdCtrlsTest, WideActionsGiveTheirWideCaptionAndHint) {
  auto* action = new TUniAction(form_);
  action->SetWideCaption(kCyrillic);
  action->SetWideHint(kGreek);
  auto* button = Make<TUniButton>();
  auto* box = Make<TUniCheckBox>(8, 40);
  auto* label = Make<TUniLabel>(8, 70);
  button->SetAction(action);
  box->SetAction(action);
  label->SetAction(action);
  EXPECT_EQ(button->Caption(), kCyrillic);
  EXPECT_EQ(box->Caption(), kCyrillic);
  EXPECT_EQ(label->Caption(), kCyrillic);
  EXPECT_EQ(button->Hint(), kGreek);
  EXPECT_FALSE(IsControlCaptionStored(button));  // the action supplies it
  // A later wide caption of the action reaches the linked controls.
  action->SetWideCaption(u"\u03b4");
  EXPECT_EQ(button->Caption(), u"\u03b4");
  EXPECT_EQ(label->Caption(), u"\u03b4");
}

TEST_F(UniStdCtrlsTest, CopiedSelectionStaysWideWhereItCan) {
  auto* source = Make<TUniComboBox>();
  TObject marker;
  source->AddItem(kCyrillic, &marker);
  auto* wide = Make<TUniComboBox>(8, 40);
  auto* plain = Make<TComboBox>(8, 70);
  source->CopySelection(wide);  // nothing chosen: nothing copied
  EXPECT_EQ(wide->Items().Count(), 0);
  source->SetItemIndex(0);
  source->CopySelection(wide);
  source->CopySelection(plain);
  EXPECT_EQ(wide->Items().Strings(0), kCyrillic);
  EXPECT_EQ(wide->Items().Objects(0), &marker);
  EXPECT_EQ(plain->Items().Strings(0), "????");
  EXPECT_EQ(plain->Items().Objects(0), &marker);
}

TEST_F(UniStdCtrlsTest, DropDownListSearchesWhatIsTypedWithinTheDelay) {
  platform::test_clock::Freeze(100000, 0);
  auto* combo = Make<TUniComboBox>();
  combo->SetStyle(csDropDownList);
  for (const char16_t* item : {u"banana", u"\u0431\u0435\u043b\u044b\u0439", u"\u0431\u0443\u043a", u"bread"}) {
    combo->Items().Add(item);
  }
  int changes = 0;
  combo->OnChange = [&](TObject*) { ++changes; };
  HWND handle = combo->Handle();
  Type(handle, u"\u0431\u0443");  // two letters in quick succession
  EXPECT_EQ(combo->ItemIndex(), 2);
  EXPECT_EQ(combo->Text(), u"\u0431\u0443\u043a");
  EXPECT_EQ(changes, 2);
  platform::test_clock::Advance(1250);
  Type(handle, u"b");  // a new search
  EXPECT_EQ(combo->ItemIndex(), 0);
  platform::test_clock::Advance(100);
  Type(handle, u"r");
  EXPECT_EQ(combo->ItemIndex(), 3);
  Type(handle, u"z");  // no item: the search leaves the choice alone
  EXPECT_EQ(combo->ItemIndex(), 3);
}

TEST_F(UniStdCtrlsTest, DropDownCompletesTheTypedText) {
  auto* combo = Make<TUniComboBox>();
  combo->Items().Add(u"Deutschland");
  combo->Items().Add(u"\u00d6sterreich");
  combo->AutoDropDown = true;
  HWND edit = combo->EditHandle();
  Type(edit, u"\u00f6s");
  EXPECT_EQ(combo->Text(), u"\u00f6sterreich");
  EXPECT_EQ(combo->SelStart(), 2);
  EXPECT_EQ(combo->SelLength(), 8);
  EXPECT_EQ(combo->SelText(), u"terreich");
  EXPECT_TRUE(combo->DroppedDown());
  // Return closes the list instead of reaching the edit.
  SendMessageW(edit, WM_CHAR, VK_RETURN, 0);
  EXPECT_FALSE(combo->DroppedDown());
  EXPECT_EQ(combo->Text(), u"\u00f6sterreich");
}

TEST_F(UniStdCtrlsTest, WideHotKeysAct) {
  const WORD hotKey = u'\u0444';  // the first letter of kCyrillic, lower case
  auto* button = Make<TUniButton>();
  button->SetCaption(u"&" + kCyrillic);
  int clicks = 0;
  button->OnClick = [&](TObject*) { ++clicks; };
  auto* box = Make<TUniCheckBox>(8, 40);
  box->SetCaption(u"&\u03b2eta");
  auto* group = Make<TUniGroupBox>(8, 70);
  group->SetCaption(u"&\u0391lpha");
  auto* inside = new TUniEdit(form_);
  inside->SetParent(group);
  auto* label = Make<TUniLabel>(150, 8);
  label->SetCaption(u"&\u0434ata");
  auto* target = Make<TUniEdit>(150, 40);
  label->SetFocusControl(target);
  form_->Show();

  EXPECT_EQ(form_->Perform(CM_DIALOGCHAR, hotKey, 0), 1);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(form_->Perform(CM_DIALOGCHAR, u'\u0392', 0), 1);
  EXPECT_TRUE(box->Focused());
  EXPECT_TRUE(box->Checked());
  EXPECT_EQ(form_->Perform(CM_DIALOGCHAR, u'\u03b1', 0), 1);
  EXPECT_TRUE(inside->Focused());
  EXPECT_EQ(label->Perform(CM_DIALOGCHAR, u'\u0414', 0), 1);
  EXPECT_TRUE(target->Focused());
  EXPECT_EQ(form_->Perform(CM_DIALOGCHAR, u'q', 0), 0);
  button->SetEnabled(false);
  EXPECT_EQ(form_->Perform(CM_DIALOGCHAR, hotKey, 0), 0);
  EXPECT_EQ(clicks, 1);
}

TEST_F(UniStdCtrlsTest, LabelMeasuresAndShortensItsWideText) {
  auto* label = Make<TUniLabel>();
  label->Font().SetName("Pellix Test Fixed");
  label->SetCaption(u"");
  int line = label->Height();
  EXPECT_GT(line, 0);  // an empty label keeps one line's height
  label->SetCaption(u"&");
  EXPECT_EQ(label->Height(), line);
  label->SetCaption(kCyrillic + u" " + kCyrillic);
  int wide = label->Width();
  label->SetCaption(u"ab");
  EXPECT_GT(wide, label->Width());
}

TEST_F(UniStdCtrlsTest, CommonDialogRunsModallyAndHearsItsWindow) {
  class Dialog : public TUniCommonDialog {
   public:
    using TUniCommonDialog::TUniCommonDialog;
    bool Execute() override { return false; }
  };
  Dialog dialog(nullptr);
  std::vector<std::string> events;
  dialog.OnShow = [&](TObject*) { events.push_back("show"); };
  dialog.OnClose = [&](TObject*) { events.push_back("close"); };
  form_->Show();
  int seven = 7;
  BOOL answer = dialog.TaskModalDialog(
      [&](void* data) -> BOOL {
        EXPECT_EQ(UniCreationDialog, &dialog);
        EXPECT_FALSE(IsWindowEnabled(form_->Handle()));
        HWND window = CreateWindowExA(0, "STATIC", "dialog", WS_POPUP, 0, 0, 10, 10, 0, 0, 0, nullptr);
        dialog.HookWindow(window);
        SendMessageA(window, WM_INITDIALOG, 0, 0);
        DestroyWindow(window);
        return *static_cast<int*>(data) == 7;
      },
      &seven);
  EXPECT_TRUE(answer);
  EXPECT_EQ(events, (std::vector<std::string>{"show", "close"}));
  EXPECT_EQ(dialog.Handle(), 0u);
  EXPECT_TRUE(IsWindowEnabled(form_->Handle()));
  EXPECT_EQ(UniCreationDialog, nullptr);

  // A help request with a help context cannot be served here and says so.
  std::string reported;
  app_->OnException = [&](TObject*, const Exception& error) { reported = error.Message(); };
  TMessage help{CommDlgHelpMessage(), 0, 0, 0};
  EXPECT_FALSE(dialog.MessageHook(help));
  dialog.HelpContext = 12;
  EXPECT_TRUE(dialog.MessageHook(help));
  EXPECT_NE(reported.find("12"), std::string::npos);
}

// The mouse and keyboard as a user works them, through the system's input queue.
TEST_F(UniStdCtrlsTest, UserWorksTheControlsWithMouseAndKeyboard) {
  namespace input = platform::input_driver;
  auto* edit = Make<TUniEdit>(8, 8);
  auto* button = Make<TUniButton>(8, 40);
  button->SetCaption(kCyrillic);
  int clicks = 0;
  button->OnClick = [&](TObject*) { ++clicks; };
  auto* box = Make<TUniCheckBox>(8, 70);
  auto* combo = Make<TUniComboBox>(150, 8);
  combo->SetStyle(csDropDownList);
  for (const std::u16string& item : {kGreek, kCyrillic, std::u16string(u"plain")}) combo->Items().Add(item);
  std::vector<std::u16string> chosen;
  combo->OnSelect = [&](TObject*) { chosen.push_back(combo->Text()); };
  form_->Show();
  input::RunPending();

  input::Click(edit->Handle(), 5, 5, VK_LBUTTON);
  input::Type(u"a" + kGreek);
  input::Key(VK_LEFT);
  input::Key(VK_BACK);
  input::RunPending();
  EXPECT_TRUE(edit->Focused());
  EXPECT_EQ(edit->Text(), u"a\u0391\u03b3");

  input::Click(button->Handle(), 5, 5, VK_LBUTTON);
  input::Key(VK_SPACE);
  input::RunPending();
  EXPECT_EQ(clicks, 2);

  input::Click(box->Handle(), 3, 3, VK_LBUTTON);
  input::RunPending();
  EXPECT_TRUE(box->Checked());
  input::Key(VK_SPACE);
  input::RunPending();
  EXPECT_FALSE(box->Checked());

  // Alt with the hot key of a caption clicks its button.
  button->SetCaption(u"&Save \u0444");
  input::Chord({VK_MENU, 'S'});
  input::RunPending();
  EXPECT_EQ(clicks, 3);

  input::Click(combo->Handle(), 5, 5, VK_LBUTTON);
  input::RunPending();
  ASSERT_TRUE(combo->DroppedDown());
  int row = combo->ItemHeight();
  input::Click(combo->ListHandle(), 5, 1 + row + row / 2, VK_LBUTTON);
  input::RunPending();
  EXPECT_FALSE(combo->DroppedDown());
  input::Key(VK_DOWN);
  input::RunPending();
  EXPECT_EQ(chosen, (std::vector<std::u16string>{kCyrillic, u"plain"}));
}

// The keyboard moves wide text between the wide edits through the clipboard, and Tab
// moves the focus between the wide controls in tab order; a wide password stays put.
TEST_F(UniStdCtrlsTest, ClipboardKeysAndTabWorkInWideEdits) {
  namespace input = platform::input_driver;
  auto* from = Make<TUniEdit>(8, 8);
  auto* to = Make<TUniEdit>(8, 40);
  auto* password = Make<TUniEdit>(8, 70);
  auto* button = Make<TUniButton>(150, 8);
  to->SetTabOrder(0);
  password->SetPasswordChar(u'\u25cf');
  password->SetText(u"secret");
  form_->Show();
  input::RunPending();
  from->SetText(u"x" + kCyrillic);
  from->SetFocus();
  SendMessageW(from->Handle(), EM_SETSEL, 1, -1);
  input::Chord({VK_CONTROL, 'X'});
  input::Chord({VK_SHIFT, VK_TAB});  // back to the edit first in tab order
  input::Chord({VK_CONTROL, 'V'});
  input::Chord({VK_CONTROL, 'V'});
  input::RunPending();
  EXPECT_TRUE(to->Focused());
  EXPECT_EQ(from->Text(), u"x");
  EXPECT_EQ(to->Text(), kCyrillic + kCyrillic);

  password->SetFocus();
  SendMessageW(password->Handle(), EM_SETSEL, 0, -1);
  input::Chord({VK_CONTROL, 'C'});
  input::Key(VK_TAB);
  input::RunPending();
  EXPECT_TRUE(button->Focused());
  to->SetFocus();
  SendMessageW(to->Handle(), EM_SETSEL, 0, -1);
  input::Chord({VK_CONTROL, 'V'});
  input::RunPending();
  EXPECT_EQ(to->Text(), kCyrillic);
}

TEST_F(UniStdCtrlsTest, OwnerDrawnComboBoxDrawsItsWideItems) {
  auto* combo = Make<TUniComboBox>();
  combo->SetStyle(csOwnerDrawFixed);
  combo->Font().SetName("Pellix Test Fixed");
  for (const std::u16string& item : {kGreek, kCyrillic}) combo->Items().Add(item);
  combo->SetItemIndex(1);
  struct Drawn {
    int index;
    UINT state;
    bool operator==(const Drawn&) const = default;
  };
  std::vector<Drawn> drawn;
  combo->OnDrawItem = [&](TWinControl*, int index, const RECT&, UINT state) { drawn.push_back({index, state}); };
  form_->Show();
  app_->ProcessMessages();
  ASSERT_FALSE(drawn.empty());
  EXPECT_EQ(drawn.back(), (Drawn{1, ODS_COMBOBOXEDIT}));  // the selection field
  drawn.clear();
  combo->SetDroppedDown(true);
  UpdateWindow(combo->ListHandle());
  EXPECT_EQ(drawn, (std::vector<Drawn>{{0, 0}, {1, ODS_SELECTED}}));

  // Without a handler the wide item text is drawn on the item's colour.
  combo->OnDrawItem = nullptr;
  InvalidateRect(combo->ListHandle(), nullptr, TRUE);
  UpdateWindow(combo->ListHandle());
  auto picture = platform::gdi::WindowPicture(combo->ListHandle());
  ASSERT_TRUE(picture);
  int row = combo->ItemHeight();
  auto inked = [&](int top, int background) {
    int count = 0;
    for (int y = top; y < top + row; ++y) {
      for (int x = 2; x < 40; ++x) {
        auto p = pellix_test::PixelOf(*picture, x, y);
        if ((p.r | p.g << 8 | p.b << 16) != background) ++count;
      }
    }
    return count;
  };
  EXPECT_GT(inked(1, 0xFFFFFF), 0);
  EXPECT_GT(inked(1 + row, static_cast<int>(ColorToRGB(clHighlight))), 0);
}

TEST_F(UniStdCtrlsTest, GraphicControlsHandTheHintWindowTheirWideHint) {
  auto* label = Make<TUniLabel>();
  label->SetHint(kCyrillic + u"|long part");
  auto* shape = Make<TUniShape>(8, 40);
  shape->SetHint(kGreek);
  for (TControl* control : std::vector<TControl*>{label, shape}) {
    THintInfo info;
    info.HintControl = control;
    info.HintWindowClass = &THintWindow::Class();
    control->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.HintWindowClass, &TUniCustomHintWindow::Class());
    EXPECT_EQ(info.HintData, &info);
    EXPECT_TRUE(IsWideHintData(info.HintData));
  }
  THintInfo info;
  info.HintControl = label;
  info.HintWindowClass = &THintWindow::Class();
  label->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.HintStr, "????");
  EXPECT_EQ(GetWideHintFromHintData(info.HintStr, info.HintData), kCyrillic);
}

TEST_F(UniStdCtrlsTest, PanelBevelsAndGroupBoxPicture) {
  form_->SetColor(clBtnFace);
  form_->SetBounds(10, 10, 200, 120);
  auto* raised = Make<TUniPanel>();
  raised->SetBounds(4, 4, 90, 30);
  raised->Font().SetName("Pellix Test Fixed");
  raised->SetCaption(u"\u03b1\u03b2");
  auto* lowered = Make<TUniPanel>();
  lowered->SetBounds(100, 4, 90, 30);
  lowered->SetBevelOuter(bvLowered);
  lowered->SetBevelInner(bvRaised);
  lowered->SetBevelWidth(2);
  lowered->SetAlignment(taLeftJustify);
  auto* group = Make<TUniGroupBox>();
  group->SetBounds(4, 40, 110, 60);
  group->Font().SetName("Pellix Test Fixed");
  group->SetCaption(kCyrillic);
  auto* check = new TUniCheckBox(form_);
  check->SetParent(group);
  check->SetBounds(8, 20, 90, 17);
  check->Font().SetName("Pellix Test Fixed");
  check->SetCaption(u"\u03b2");
  check->SetChecked(true);
  auto* shape = Make<TUniShape>();
  shape->SetBounds(130, 50, 30, 20);
  shape->Brush().SetColor(clRed);
  shape->Pen().SetColor(clBlue);
  form_->Show();
  app_->ProcessMessages();
  auto picture = platform::gdi::WindowPicture(form_->Handle());
  ASSERT_TRUE(picture);
  EXPECT_EQ(pellix_test::CompareWithExpected(*picture, "uni_panels_and_group_box.png", 0), "");
}

}  // namespace
