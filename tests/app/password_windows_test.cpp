// The password display, the generator and the password history, opened through the
// launcher and worked with the mouse and keyboard.
#include "app/password_windows.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "app/shell_windows.h"
#include "formfill/after_navigate.h"
#include "formfill/password_inputs.h"
#include "platform/base/clock.h"
#include "platform/win/common_controls.h"

namespace {

using namespace shell_test;
namespace boxes = platform::message_box_driver;

constexpr char16_t kSecret[] = u"S3cr\u00e9t \u20ac\u65e5";

std::shared_ptr<formfill::TInputPasswordContext> InputContext() {
  return std::make_shared<formfill::TInputPasswordContext>(nullptr, u"PXID_00000007", 7);
}

class PasswordWindowsTest : public ShellWindowsTest {
 protected:
  void SetUp() override {
    ShellWindowsTest::SetUp();
    settings_ = formfill::PageFillSettings();
  }
  void TearDown() override {
    formfill::SetPageFillSettings(settings_);
    ShellWindowsTest::TearDown();
  }

  TPasswordGen* Generator() { return SlotForm<TPasswordGen>(launcher_, TDialogSlot::PasswordGenerator); }
  TFormPasswordHistory* History() { return SlotForm<TFormPasswordHistory>(launcher_, TDialogSlot::PasswordHistory); }

  // A record of the password history, saved.
  void AddPassword(const std::u16string& caption, const std::u16string& url, const std::u16string& password,
                   double date, bool marked = false) {
    auto* record = static_cast<TPasswordItem*>(PasswordList->Add(std::make_unique<TPasswordItem>(PasswordList.get())));
    record->SetCaption(caption);
    record->SetURL(url);
    record->SetPassword(password);
    record->Date = date;
    record->Marked = marked;
    ASSERT_TRUE(PasswordList->SaveToFile());
  }

  TDialogLauncher launcher_;
  formfill::TPageFillSettings settings_;
};

int RowY(int row) { return platform::win::kListHeaderHeight + platform::win::kListRowHeight * row + 3; }

TEST_F(PasswordWindowsTest, TheDisplayShowsCopiesAndComesBackToTheFront) {
  ASSERT_TRUE(launcher_.ShowPasswordWindow(0, nullptr, kSecret));
  auto* shown = SlotForm<TPasswordShow>(launcher_, TDialogSlot::PasswordShow);
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(shown->txtPassword->Text(), kSecret);
  EXPECT_TRUE(shown->txtPassword->ReadOnly());
  EXPECT_FALSE(shown->butEdit->Enabled()) << "no password input to edit";
  Click(*shown->butCopyCLip);
  EXPECT_EQ(ClipboardText(), kSecret);

  const int forms = Screen().FormCount();
  ASSERT_TRUE(launcher_.ShowPasswordWindow(0, nullptr, u"other"));
  EXPECT_EQ(Screen().FormCount(), forms) << "the open window comes to the front";
  EXPECT_EQ(shown->txtPassword->Text(), kSecret);

  Click(*shown->butOK);
  EXPECT_EQ(launcher_.Slot(TDialogSlot::PasswordShow), 0u);
  EXPECT_EQ(Screen().FormCount(), forms - 1) << "the window freed itself";
}

TEST_F(PasswordWindowsTest, EditOpensTheGeneratorOnTheSamePasswordInput) {
  std::vector<std::shared_ptr<formfill::TInputPasswordContext>> queued;
  launcher_.QueuePasswordFill = [&](auto context) { queued.push_back(std::move(context)); };
  ASSERT_TRUE(launcher_.ShowPasswordWindow(0, InputContext(), kSecret));
  auto* shown = SlotForm<TPasswordShow>(launcher_, TDialogSlot::PasswordShow);
  ASSERT_TRUE(shown->butEdit->Enabled());
  Click(*shown->butEdit);
  EXPECT_EQ(launcher_.Slot(TDialogSlot::PasswordShow), 0u);
  ASSERT_NE(Generator(), nullptr);
  EXPECT_EQ(Generator()->txtPassword->Text(), kSecret);
  Click(*Generator()->butFillIn);
  ASSERT_EQ(queued.size(), 1u);
  EXPECT_EQ(queued[0]->NewValue(), kSecret);
  EXPECT_EQ(queued[0]->Watcher(), 7u);
}

TEST_F(PasswordWindowsTest, GeneratedPasswordsFollowTheChosenClassesAndGoToTheClipboard) {
  formfill::SetPageFillSettings({});
  ASSERT_TRUE(launcher_.ShowPasswordGeneratorWindow(0, nullptr, u""));
  TPasswordGen* gen = Generator();
  ASSERT_NE(gen, nullptr);
  EXPECT_FALSE(gen->butFillIn->Enabled()) << "no password input to fill";
  EXPECT_EQ(gen->txtLen->Text(), u"8");
  Click(*gen->XUpper, 3, 3);
  Click(*gen->XNum, 3, 3);
  Click(*gen->XCopyClipboard, 3, 3);
  Click(*gen->butGenerate);
  const std::u16string password = gen->txtPassword->Text();
  ASSERT_EQ(password.size(), 8u);
  for (char16_t c : password) EXPECT_TRUE(c >= u'a' && c <= u'z') << "only (a-z) is chosen";
  EXPECT_EQ(ClipboardText(), password);
  EXPECT_EQ(gen->txtPassword->PasswordChar(), u'*');
  Click(*gen->XShowPassword, 3, 3);
  EXPECT_EQ(gen->txtPassword->PasswordChar(), 0);
  EXPECT_TRUE(boxes::Shown().empty());
}

TEST_F(PasswordWindowsTest, TheLastCharacterClassCannotBeUnchecked) {
  formfill::SetPageFillSettings({});
  ASSERT_TRUE(launcher_.ShowPasswordGeneratorWindow(0, nullptr, u""));
  TPasswordGen* gen = Generator();
  Click(*gen->XUpper, 3, 3);
  Click(*gen->XLower, 3, 3);
  EXPECT_TRUE(boxes::Shown().empty());
  Click(*gen->XNum, 3, 3);
  EXPECT_TRUE(gen->XNum->Checked()) << "checked again";
  ASSERT_EQ(boxes::Shown().size(), 1u);
  EXPECT_EQ(boxes::Shown()[0].Text,
            u"You need to select at least one character type in order to generate a password.");
  EXPECT_EQ(boxes::Shown()[0].Owner, gen->Handle());
  EXPECT_EQ(boxes::Shown()[0].Type & MB_ICONERROR, MB_ICONERROR);
}

TEST_F(PasswordWindowsTest, TheLengthStaysBetweenFiveAndFifty) {
  ASSERT_TRUE(launcher_.ShowPasswordGeneratorWindow(0, nullptr, u""));
  TPasswordGen* gen = Generator();
  const int arrow = gen->XUpDown->Height();
  for (int i = 0; i < 6; ++i) Click(*gen->XUpDown, 8, arrow - 4);
  EXPECT_EQ(gen->txtLen->Text(), u"5");
  for (int i = 0; i < 50; ++i) Click(*gen->XUpDown, 8, 3);
  EXPECT_EQ(gen->txtLen->Text(), u"50");
  Click(*gen->butGenerate);
  EXPECT_EQ(gen->txtPassword->Text().size(), 50u);
}

// Close stores the choices at once; the window's own close box does not.
TEST_F(PasswordWindowsTest, CloseStoresTheSettingsAndTheCloseBoxDoesNot) {
  formfill::SetPageFillSettings({});
  ASSERT_TRUE(launcher_.ShowPasswordGeneratorWindow(0, nullptr, u""));
  Click(*Generator()->XSymbols, 3, 3);
  PostMessageW(Generator()->Handle(), WM_CLOSE, 0, 0);
  input::RunPending();
  EXPECT_EQ(launcher_.Slot(TDialogSlot::PasswordGenerator), 0u);
  EXPECT_FALSE(formfill::PageFillSettings().PwdSymb);

  ASSERT_TRUE(launcher_.ShowPasswordGeneratorWindow(0, nullptr, u""));
  TPasswordGen* gen = Generator();
  EXPECT_FALSE(gen->XSymbols->Checked());
  Click(*gen->XSymbols, 3, 3);
  Click(*gen->XAvoidSimilar, 3, 3);
  Click(*gen->XUpDown, 8, 3);
  Click(*gen->butClose);
  EXPECT_EQ(launcher_.Slot(TDialogSlot::PasswordGenerator), 0u);
  const formfill::TPageFillSettings stored = formfill::PageFillSettings();
  EXPECT_TRUE(stored.PwdSymb);
  EXPECT_TRUE(stored.PwdAvoid);
  EXPECT_EQ(stored.PwdLen, 9);
  std::int32_t length = 0;
  bool symbols = false;
  ASSERT_TRUE(Config->ReadInteger(u"PWD_LEN", length));
  ASSERT_TRUE(Config->ReadBool(u"PWD_SYMB", symbols));
  EXPECT_EQ(length, 9);
  EXPECT_TRUE(symbols);
}

// Each "Fill In Form" queues a context of its own: a later password cannot change a
// fill that waits, and the window's own context goes with the window.
TEST_F(PasswordWindowsTest, EachFillQueuesACopyOfTheContext) {
  std::vector<std::shared_ptr<formfill::TInputPasswordContext>> queued;
  launcher_.QueuePasswordFill = [&](auto context) { queued.push_back(std::move(context)); };
  auto context = InputContext();
  ASSERT_TRUE(launcher_.ShowPasswordGeneratorWindow(0, context, u"first"));
  TPasswordGen* gen = Generator();
  ASSERT_TRUE(gen->butFillIn->Enabled());
  Click(*gen->butFillIn);
  TypeInto(*gen->txtPassword, u"second \u00fc");
  Click(*gen->butFillIn);
  ASSERT_EQ(queued.size(), 2u);
  EXPECT_NE(queued[0], context);
  EXPECT_NE(queued[0], queued[1]);
  EXPECT_EQ(queued[0]->NewValue(), u"first");
  EXPECT_EQ(queued[1]->NewValue(), u"second \u00fc");
  EXPECT_EQ(context->NewValue(), u"");
  EXPECT_GT(context.use_count(), 1);
  Click(*gen->butClose);
  EXPECT_EQ(context.use_count(), 1) << "the window let its context go";
}

// The history opened from the generator belongs to it; while a history is open, a
// generator opened then has its history button off.
TEST_F(PasswordWindowsTest, TheHistoryButtonIsOffWhileTheHistoryIsOpen) {
  ASSERT_TRUE(launcher_.ShowPasswordGeneratorWindow(0, nullptr, u""));
  EXPECT_TRUE(Generator()->butHistory->Enabled());
  Click(*Generator()->butHistory);
  ASSERT_NE(History(), nullptr);
  EXPECT_EQ(GetWindow(History()->Handle(), GW_OWNER), Generator()->Handle());
  Click(*History()->BtnClose);
  EXPECT_EQ(History(), nullptr);
  Click(*Generator()->butClose);
  EXPECT_EQ(Generator(), nullptr);

  ASSERT_TRUE(launcher_.ShowPasswordHistoryWindow(0));
  History()->SetBounds(0, 0, History()->Width(), History()->Height());
  ASSERT_TRUE(launcher_.ShowPasswordGeneratorWindow(0, nullptr, u""));
  EXPECT_FALSE(Generator()->butHistory->Enabled());
}

TEST_F(PasswordWindowsTest, TheHistoryListsCopiesDeletesAndClears) {
  AddPassword(u"Mail", u"https://mail.example/login", kSecret, 46000.5);
  AddPassword(u"Hidden", u"https://hidden.example/", u"x", 46001.5, true);
  AddPassword(u"Bank \u20ac", u"https://bank.example/", u"p2", 46002.5);
  ASSERT_TRUE(launcher_.ShowPasswordHistoryWindow(0));
  TFormPasswordHistory* history = History();
  ASSERT_NE(history, nullptr);
  TUniListView& rows = *history->ListViewHistory;
  ASSERT_EQ(rows.Items().Count(), 2) << "a marked record is left out";
  EXPECT_EQ(rows.Items().Item(0)->SubItems().Get(0), u"*****");
  EXPECT_EQ(rows.Items().Item(0)->SubItems().Get(1), u"Mail");
  EXPECT_EQ(rows.Items().Item(1)->SubItems().Get(2), u"https://bank.example/");
  EXPECT_FALSE(history->btnCopyPassword->Enabled());
  EXPECT_TRUE(history->btnClearList->Enabled());

  Click(*history->UniCheckBox1, 3, 3);
  EXPECT_EQ(rows.Items().Item(0)->SubItems().Get(0), kSecret);
  Click(*history->UniCheckBox1, 3, 3);
  EXPECT_EQ(rows.Items().Item(1)->SubItems().Get(0), u"*****");

  Click(rows, 20, RowY(0));
  EXPECT_TRUE(history->btnCopyPassword->Enabled());
  Click(*history->btnCopyPassword);
  EXPECT_EQ(ClipboardText(), kSecret);

  boxes::Answer(IDNO);
  input::RightClickAndPick(rows.Handle(), 20, RowY(0), {2});
  input::RunPending();
  EXPECT_EQ(PasswordList->Count(), 3);
  platform::test_clock::Advance(1000);  // the next right click is no double click
  boxes::Answer(IDYES);
  input::RightClickAndPick(rows.Handle(), 20, RowY(0), {2});
  input::RunPending();
  ASSERT_EQ(boxes::Shown().size(), 2u);
  EXPECT_EQ(boxes::Shown()[1].Text, u"Are you sure you want to delete this record from the Password Usage History?");
  EXPECT_EQ(boxes::Shown()[1].Caption, u"Pellix - Password History");
  EXPECT_EQ(PasswordList->Count(), 2);
  EXPECT_EQ(rows.Items().Count(), 1);
  TPasswordItems saved;
  ASSERT_TRUE(saved.LoadFromFile());
  EXPECT_EQ(saved.Count(), 2) << "the deletion was saved";

  boxes::Answer(IDYES);
  Click(*history->btnClearList);
  EXPECT_EQ(PasswordList->Count(), 0);
  EXPECT_EQ(rows.Items().Count(), 0);
  EXPECT_FALSE(history->btnClearList->Enabled());
  EXPECT_FALSE(history->btnCopyPassword->Enabled());
}

// A record deleted elsewhere is not copied; the change is noticed when the window is
// activated again, and the list reloads.
TEST_F(PasswordWindowsTest, ChangesMadeElsewhereReloadAfterTheNextActivation) {
  AddPassword(u"Mail", u"https://mail.example/", kSecret, 46000.5);
  ASSERT_TRUE(launcher_.ShowPasswordHistoryWindow(0));
  TFormPasswordHistory* history = History();
  platform::test_clock::Advance(1000);
  app_.ProcessMessages();
  EXPECT_TRUE(boxes::Shown().empty()) << "activated, but nothing changed";

  Click(*history->ListViewHistory, 20, RowY(0));
  platform::test_clock::Advance(50);
  PasswordList->Delete(0);
  ASSERT_TRUE(PasswordList->SaveToFile());
  ASSERT_TRUE(OpenClipboard(0));
  EmptyClipboard();
  CloseClipboard();
  Click(*history->btnCopyPassword);
  EXPECT_EQ(ClipboardText(), u"") << "the record is gone";

  TForm other(nullptr);
  other.Show();
  input::RunPending();
  platform::test_clock::Advance(1000);
  app_.ProcessMessages();
  EXPECT_TRUE(boxes::Shown().empty()) << "not activated since";
  Click(*history->ListViewHistory, 20, RowY(3));
  platform::test_clock::Advance(1000);
  app_.ProcessMessages();
  ASSERT_EQ(boxes::Shown().size(), 1u);
  EXPECT_EQ(boxes::Shown()[0].Text, u"Data has been changed. Your Password History needs to reload all data.");
  EXPECT_EQ(boxes::Shown()[0].Caption, u"Pellix - Password History");
  EXPECT_EQ(history->ListViewHistory->Items().Count(), 0);
  platform::test_clock::Advance(2000);
  app_.ProcessMessages();
  EXPECT_EQ(boxes::Shown().size(), 1u) << "the reload remembered the new stamp";
}

TEST_F(PasswordWindowsTest, Pictures) {
  formfill::SetPageFillSettings({});
  ASSERT_TRUE(launcher_.ShowPasswordWindow(0, nullptr, u"P\u00e4ssw\u00f6rd \u20ac"));
  EXPECT_EQ(Picture(*SlotForm<TPasswordShow>(launcher_, TDialogSlot::PasswordShow), "password_show.png"), "");
  ASSERT_TRUE(launcher_.ShowPasswordGeneratorWindow(0, InputContext(), u"Gen3rated!"));
  EXPECT_EQ(Picture(*Generator(), "password_generator.png"), "");
  AddPassword(u"Mail", u"https://mail.example/login", u"x", 46000.5);
  AddPassword(u"Bank \u20ac", u"https://bank.example/", u"p2", 46002.25);
  ASSERT_TRUE(launcher_.ShowPasswordHistoryWindow(0));
  EXPECT_EQ(Picture(*History(), "password_history.png"), "");
}

}  // namespace
