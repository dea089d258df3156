// The record editor and the bookmark form, shown through the launcher (and the menu
// command that edits a bookmark) and answered with the mouse and keyboard.
#include "app/record_editor.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "app/main_form.h"
#include "app/list_changes.h"
#include "app/menu_dispatcher.h"
#include "app/shell_windows.h"
#include "data/menu_messages.h"
#include "formfill/app_menus.h"
#include "platform/base/clock.h"

namespace {

using namespace shell_test;
namespace modal = platform::modal_driver;

constexpr char16_t kPassword[] = u"P\u00e4sswort \u20ac\u65e5";

TFormListItem Field(const std::u16string& name, const std::u16string& value, bool password) {
  TFormListItem field;
  field.Name = name;
  field.Value = value;
  field.Generated = password;
  return field;
}

// A stored form with a plain field, a password and an empty password.
void FillForm(TFormItem& item) {
  item.SetCaption(u"Bank \u00fc");
  item.SetURL(u"https://bank.example/login");
  item.Date = 46000.5;
  item.AddFields({Field(u"user", u"anna", false), Field(u"pass", kPassword, true), Field(u"pin", u"", true)});
}

std::u16string FieldValue(TFormItem& item, int index) {
  const bool decoded = item.HasFields();
  if (!decoded) item.DecodeFields();
  const std::u16string value = item.GetField(index)->Value;
  if (!decoded) item.EncodeFields();
  return value;
}

// The caption of a label of the scroll box, or empty.
bool HasLabel(TEditItemForm& form, const std::u16string& caption) {
  for (int i = 0; i < form.UniScrollBox->ControlCount(); ++i) {
    if (auto* label = dynamic_cast<TUniLabel*>(form.UniScrollBox->Controls(i)); label && label->Caption() == caption)
      return true;
  }
  return false;
}

TUniButton* PasswordButton(TEditItemForm& form, int field) {
  TUniEdit* edit = form.FieldEdits[static_cast<std::size_t>(field)];
  for (int i = 0; i < form.UniScrollBox->ControlCount(); ++i) {
    auto* button = dynamic_cast<TUniButton*>(form.UniScrollBox->Controls(i));
    if (button && button->Top() < edit->Top() + edit->Height() && button->Top() + button->Height() > edit->Top())
      return button;
  }
  return nullptr;
}

// Runs Step as the user of the next modal form.
void AnswerAs(std::function<void(TCustomForm&)> step) { modal::Answer(std::move(step)); }

using RecordEditorTest = ShellWindowsTest;

TEST_F(RecordEditorTest, EditingABookmarkKeepsPasswordsThatArePassedThrough) {
  TFormItem item(nullptr);
  FillForm(item);
  item.EncodeFields();
  TDialogLauncher launcher;
  AnswerAs([](TCustomForm& form) {
    auto& editor = dynamic_cast<TEditItemForm&>(form);
    EXPECT_EQ(GetWideControlText(&editor), u"Pellix - Edit Bookmark");
    EXPECT_EQ(editor.mainLabel->Caption(), u"Form Bookmark");
    EXPECT_FALSE(editor.buttBook->Visible());
    EXPECT_TRUE(editor.vaultPanel->Visible());
    EXPECT_FALSE(editor.cbVault->Enabled());
    EXPECT_TRUE(editor.butSave->Enabled());
    ASSERT_EQ(editor.FieldEdits.size(), 3u);
    TUniEdit& user = *editor.FieldEdits[0];
    TUniEdit& pass = *editor.FieldEdits[1];
    TUniEdit& pin = *editor.FieldEdits[2];
    EXPECT_EQ(user.Text(), u"anna");
    EXPECT_EQ(pass.Text(), u"*****");
    EXPECT_EQ(pass.PasswordChar(), u'*');
    EXPECT_EQ(pin.Text(), u"");
    ASSERT_NE(PasswordButton(editor, 2), nullptr);
    EXPECT_FALSE(PasswordButton(editor, 2)->Enabled()) << "nothing stored to show";

    TUniButton& show = *PasswordButton(editor, 1);
    Click(show);
    EXPECT_EQ(pass.Text(), kPassword);
    EXPECT_EQ(show.Caption(), u"Hide Password");
    Click(show);
    EXPECT_EQ(pass.Text(), u"*****");
    EXPECT_EQ(show.Caption(), u"Show Password");

    // Tab through the masked edit: it is emptied for typing, then keeps what it had.
    Click(user);
    input::Key(VK_TAB);
    input::RunPending();
    EXPECT_TRUE(pass.Focused());
    EXPECT_EQ(pass.Text(), u"");
    EXPECT_FALSE(show.Enabled());
    input::Key(VK_TAB);
    input::RunPending();
    EXPECT_EQ(pass.Text(), u"*****");
    EXPECT_TRUE(show.Enabled());

    TypeInto(pin, u"4711 \u00df");
    TypeInto(*editor.recEdit, u"Renamed \u00e9");
    TypeInto(*editor.webEdit, u"https://new.example/");
    Click(*editor.butSave);
  });
  ASSERT_TRUE(launcher.ShowRecordEditor(0, item));
  EXPECT_EQ(item.Caption(), u"Renamed \u00e9");
  EXPECT_EQ(item.URL(), u"https://new.example/");
  EXPECT_FALSE(item.HasFields()) << "the fields stay encoded as they were";
  EXPECT_EQ(FieldValue(item, 0), u"anna");
  EXPECT_EQ(FieldValue(item, 1), kPassword);
  EXPECT_EQ(FieldValue(item, 2), u"4711 \u00df");
}

// A new password typed into a masked edit replaces the stored one; Enter saves it
// though the focus never left the edit.
TEST_F(RecordEditorTest, ANewPasswordIsTypedAndSavedWithEnter) {
  TFormItem item(nullptr);
  FillForm(item);
  TDialogLauncher launcher;
  AnswerAs([](TCustomForm& form) {
    auto& editor = dynamic_cast<TEditItemForm&>(form);
    Click(*editor.FieldEdits[1]);
    input::Type(u"n\u00ebu\n");
    input::RunPending();
  });
  ASSERT_TRUE(launcher.ShowRecordEditor(0, item));
  EXPECT_TRUE(item.HasFields());
  EXPECT_EQ(FieldValue(item, 1), u"n\u00ebu");
  EXPECT_EQ(FieldValue(item, 0), u"anna");
}

TEST_F(RecordEditorTest, AnEmptyAddressDisablesSaveAndCancelChangesNothing) {
  TFormItem item(nullptr);
  FillForm(item);
  TDialogLauncher launcher;
  AnswerAs([](TCustomForm& form) {
    auto& editor = dynamic_cast<TEditItemForm&>(form);
    TypeInto(*editor.recEdit, u"Changed");
    Click(*editor.webEdit);
    input::Key(VK_HOME);
    input::Chord({VK_SHIFT, VK_END});
    input::Key(VK_DELETE);
    input::RunPending();
    EXPECT_FALSE(editor.butSave->Enabled());
    input::Key(VK_ESCAPE);
    input::RunPending();
  });
  EXPECT_FALSE(launcher.ShowRecordEditor(0, item));
  EXPECT_EQ(item.Caption(), u"Bank \u00fc");
  EXPECT_EQ(item.URL(), u"https://bank.example/login");
}

TEST_F(RecordEditorTest, AFormWithoutFieldsSaysSo) {
  TFormItem item(nullptr);
  item.SetURL(u"https://empty.example/");
  TEditItemForm editor(Application);
  EXPECT_FALSE(editor.Execute(item, false, false, false));
  EXPECT_TRUE(HasLabel(editor, u"...no saved fields on this website..."));
  EXPECT_TRUE(editor.FieldEdits.empty());
}

// A history record turns into the bookmark editor in place.
TEST_F(RecordEditorTest, AHistoryRecordCanBeSavedAsABookmark) {
  TFormItem item(nullptr);
  FillForm(item);
  TEditItemForm editor(Application);
  editor.Execute(item, true, false, false);
  EXPECT_EQ(GetWideControlText(&editor), u"Pellix - Edit History Record");
  EXPECT_EQ(editor.mainLabel->Caption(), u"Form History Record");
  EXPECT_TRUE(editor.buttBook->Visible());
  EXPECT_FALSE(editor.vaultPanel->Visible());
  EXPECT_EQ(editor.buttPanel->Top(), editor.vaultPanel->Top());
  editor.Show();
  Click(*editor.buttBook);
  EXPECT_TRUE(editor.SavedAsBookmark);
  EXPECT_EQ(GetWideControlText(&editor), u"Pellix - Edit Bookmark");
  EXPECT_FALSE(editor.buttBook->Visible());
  EXPECT_EQ(editor.buttPanel->Top(), editor.vaultPanel->Top() + editor.vaultPanel->Height());
  EXPECT_EQ(editor.FieldEdits.size(), 3u);
  EXPECT_EQ(editor.FieldEdits[0]->Text(), u"anna");
  EXPECT_EQ(editor.UniScrollBox->ControlCount(), 1 + 3 + 3 + 2) << "the old rows are gone";
}

// The menu's "Edit Bookmark..." edits the stored bookmark, its address included.
TEST_F(RecordEditorTest, TheBookmarkMenuCommandStoresTheEdit) {
  auto* bookmark = static_cast<TFormItem*>(BookmarkList->Add(std::make_unique<TBookmarkItem>(BookmarkList.get())));
  FillForm(*bookmark);
  bookmark->EncodeFields();
  ASSERT_TRUE(BookmarkList->SaveToFile());
  TDialogLauncher launcher;
  TMainForm main(launcher);
  AnswerAs([](TCustomForm& form) {
    auto& editor = dynamic_cast<TEditItemForm&>(form);
    TypeInto(*editor.webEdit, u"https://moved.example/");
    TypeInto(*editor.FieldEdits[0], u"bob");
    Click(*editor.butSave);
  });
  TMenuRequest request;
  request.Command = 8;
  {
    TListChange change(BookmarkList.get());
    request.Item = MenuItemId(bookmark);
  }
  main.Dispatcher().Dispatch(request);
  TBookmarkItems saved;
  ASSERT_TRUE(saved.LoadFromFile());
  ASSERT_EQ(saved.Count(), 1);
  TFormItem& stored = *saved.Form(0);
  EXPECT_EQ(stored.URL(), u"https://moved.example/");
  EXPECT_EQ(FieldValue(stored, 0), u"bob");
  EXPECT_EQ(FieldValue(stored, 1), kPassword);
}

// --- the bookmark form -----------------------------------------------------------------

std::unique_ptr<TMessageItem> Submitted(const std::u16string& caption) {
  auto message = std::make_unique<TMessageItem>();
  message->Caption = caption;
  message->URL = u"https://shop.example/cart?step=2";
  message->FormName = u"order";
  message->FormID = u"f1";
  return message;
}

TEST_F(RecordEditorTest, TheProposedNameIsCutAndMadeUnique) {
  TDialogLauncher launcher;
  TBookmarkChoice choice;
  const std::u16string longCaption = u"0123456789abcdefghij0123456789ABCDEFGHIJ";
  AnswerAs([&](TCustomForm& form) {
    auto& bookmark = dynamic_cast<TBookmarkForm&>(form);
    EXPECT_TRUE(bookmark.PanelAdd->Visible());
    EXPECT_FALSE(bookmark.PanelRepl->Visible());
    EXPECT_EQ(bookmark.messLabel->Caption(), u"You can save this form as a Form Bookmark for future use.");
    EXPECT_EQ(bookmark.txtCaption->Text(), longCaption.substr(0, 35));
    input::Key(VK_RETURN);
    input::RunPending();
  });
  ASSERT_TRUE(launcher.ShowBookmarkDialog(0, *Submitted(longCaption), TBookmarkOffer::SubmittedForm, false, {}, choice));
  EXPECT_EQ(choice.Caption, longCaption.substr(0, 35));
  EXPECT_EQ(choice.Replace, -1);

  AnswerAs([](TCustomForm& form) {
    auto& bookmark = dynamic_cast<TBookmarkForm&>(form);
    EXPECT_TRUE(bookmark.PanelRepl->Visible());
    EXPECT_EQ(bookmark.messLabel->Caption(), u"You have just submitted a form whose URL is already in your bookmarks.");
    EXPECT_EQ(bookmark.nameEdit->Text(), u"Mail (2)");
    EXPECT_EQ(bookmark.cbBookmarks->ItemIndex(), 0);
    EXPECT_TRUE(bookmark.optReplaceExisting->Checked());
    Click(*bookmark.cbBookmarks);
    input::Key(VK_DOWN);
    input::Key(VK_RETURN);
    input::RunPending();
    EXPECT_EQ(bookmark.cbBookmarks->Text(), u"Mail (1)");
    Click(*bookmark.butSave);
  });
  ASSERT_TRUE(launcher.ShowBookmarkDialog(0, *Submitted(u"Mail"), TBookmarkOffer::SubmittedForm, true,
                                          {u"Mail", u"Mail (1)"}, choice));
  EXPECT_EQ(choice.Replace, 1) << "the chosen candidate is replaced";
  EXPECT_EQ(choice.Caption, u"Mail (2)");

  AnswerAs([](TCustomForm& form) {
    auto& bookmark = dynamic_cast<TBookmarkForm&>(form);
    EXPECT_EQ(bookmark.messLabel->Caption(), u"This website is already saved in your Bookmark List.");
    Click(*bookmark.optNewBookmark, 3, 3);
    EXPECT_EQ(bookmark.optNewBookmark->Font().Style(), static_cast<TFontStyles>(fsBold));
    EXPECT_EQ(bookmark.optReplaceExisting->Font().Style(), 0u);
    TypeInto(*bookmark.nameEdit, u"");
    input::Key(VK_DELETE);
    input::RunPending();
    EXPECT_FALSE(bookmark.butSave->Enabled()) << "no name";
    TypeInto(*bookmark.nameEdit, u"Caf\u00e9 \u65e5");
    Click(*bookmark.butSave);
  });
  ASSERT_TRUE(launcher.ShowBookmarkDialog(0, *Submitted(u"Cafe"), TBookmarkOffer::Page, true, {u"Cafe"}, choice));
  EXPECT_EQ(choice.Replace, -1) << "saved as a new bookmark";
  EXPECT_EQ(choice.Caption, u"Caf\u00e9 \u65e5");
}

// "Ignore all forms on this domain" puts the domain on the ignore list and declines.
TEST_F(RecordEditorTest, TheCancelMenuIgnoresTheDomain) {
  TDialogLauncher launcher;
  TBookmarkChoice choice;
  AnswerAs([](TCustomForm& form) {
    auto& bookmark = dynamic_cast<TBookmarkForm&>(form);
    EXPECT_EQ(bookmark.butCancel->DropDownMenu(), bookmark.PopupMenuCancel);
    platform::menu_driver::Pick({3});
    Click(*bookmark.butCancel, bookmark.butCancel->Width() - 5, 12);
  });
  EXPECT_FALSE(launcher.ShowBookmarkDialog(0, *Submitted(u"Shop"), TBookmarkOffer::SubmittedForm, false, {}, choice));
  EXPECT_EQ(choice.IgnoreKind, kIgnoreSite);
  ASSERT_EQ(IgnoreList->Items().size(), 1u);
  EXPECT_EQ(IgnoreList->Items()[0].Kind, kIgnoreSite);
  EXPECT_EQ(IgnoreList->Items()[0].URL, u"shop.example");
  EXPECT_EQ(IgnoreList->Find(u"https://shop.example/other", u"", u""), kIgnoreSite);

  AnswerAs([](TCustomForm&) {
    input::Key(VK_ESCAPE);
    input::RunPending();
  });
  EXPECT_FALSE(launcher.ShowBookmarkDialog(0, *Submitted(u"Shop"), TBookmarkOffer::SubmittedForm, false, {}, choice));
  EXPECT_EQ(choice.IgnoreKind, 0) << "Escape only declines";
  EXPECT_EQ(IgnoreList->Items().size(), 1u);
}

// A form of the history has a plain Cancel: no ignore menu.
TEST_F(RecordEditorTest, AHistoryFormHasAPlainCancel) {
  TDialogLauncher launcher;
  TBookmarkChoice choice;
  AnswerAs([](TCustomForm& form) {
    auto& bookmark = dynamic_cast<TBookmarkForm&>(form);
    EXPECT_EQ(bookmark.butCancel->DropDownMenu(), nullptr);
    Click(*bookmark.butCancel, bookmark.butCancel->Width() - 5, 12);
  });
  EXPECT_FALSE(launcher.ShowBookmarkDialog(0, *Submitted(u"Shop"), TBookmarkOffer::HistoryRecord, true, {}, choice));
  EXPECT_EQ(choice.IgnoreKind, 0);
  EXPECT_TRUE(IgnoreList->Items().empty());
}

TEST_F(RecordEditorTest, Pictures) {
  TFormItem item(nullptr);
  FillForm(item);
  TEditItemForm editor(Application);
  editor.Execute(item, false, false, false);
  editor.Show();
  EXPECT_EQ(Picture(editor, "record_editor.png"), "");
  editor.Hide();

  TBookmarkForm bookmark(Application, 0);
  bookmark.Candidates = {u"Mail", u"Mail (1)"};
  TBookmarkResult result;
  AnswerAs([](TCustomForm& form) { EXPECT_EQ(Picture(dynamic_cast<TWinControl&>(form), "bookmark_form.png"), ""); });
  bookmark.Execute(u"Mail", kBookmarkReplaceSubmitted, false, result);
}

}  // namespace
