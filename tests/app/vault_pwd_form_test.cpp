// The vault password prompt: its caption with hostile vault names (read back through
// the label's own parser, so that nothing is markup and nothing is lost), its texts for
// the master password, the unlock button's state, the keys that end it, and the
// launcher that shows it.
#include "app/vault_pwd_form.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/dialog_launcher.h"
#include "platform/classlib/forms.h"
#include "platform/gdi/picture_compare.h"
#include "platform/gdi/window_picture.h"
#include "platform/win/input.h"
#include "platform/win/keyboard.h"

namespace {

class Names : public IDynamicNodeHandler {
 public:
  void GetDynamicSource(TDynamicNode&, std::string& source) override { source = "<b>injected</b>"; }
};

TEST(VaultPromptCaption, HostileNamesStayTextAndKeepEveryCharacter) {
  struct Case {
    std::u16string name;
    std::u16string shown;  // as the label shows it
  };
  const Case cases[] = {
      {u"Work", u"Work"},
      {u"<b>bold</b> & <a href=x>link</a>", u"<b>bold</b> & <a href=x>link</a>"},
      {u"Tom & Jerry's \"vault\"", u"Tom & Jerry's \"vault\""},
      {u"&amp; &#60; &lt;", u"&amp; &#60; &lt;"},
      {u"<dynamic id=x></dynamic>", u"<dynamic id=x></dynamic>"},
      {u"Zo\u00eb \u20ac \u65e5\u672c \U0001F600", u"Zo\u00eb \u20ac \u65e5\u672c \U0001F600"},
      {u"%VAULT_NAME and %vault_name", u"%VAULT_NAME and %vault_name"},
      {u"a\tb\r\n c", u"a b c"},
      {std::u16string(u"lone ") + char16_t(0xD800) + u" half", u"lone \uFFFD half"},
      {u"</b><script>x</script>", u"</b><script>x</script>"},
  };
  for (const Case& c : cases) {
    const std::string caption = VaultPromptCaption(false, c.name);
    for (char byte : caption) ASSERT_TRUE(byte >= 0x20 && byte < 0x7F) << caption;
    Names handler;
    auto tree = TDefaultParser(&handler).Parse(caption);
    const std::u16string& expected = c.shown;
    EXPECT_EQ(GetText(tree->Root()), u"Enter your password to unlock the \"" + expected + u"\" vault.")
        << caption;
    // The name is the text of the one bold node, whatever it holds.
    ASSERT_EQ(tree->Root().Children.size(), 3u) << caption;
    const auto* bold = dynamic_cast<const TStyleNode*>(tree->Root().Children[1].get());
    ASSERT_NE(bold, nullptr) << caption;
    EXPECT_EQ(GetText(*bold), expected) << caption;
  }
}

TEST(VaultPromptCaption, EscapesAndReferences) {
  EXPECT_EQ(HtmlEscape(u"<a href=\"x\">'&'</a>"), u"&lt;a href=&quot;x&quot;&gt;&#39;&amp;&#39;&lt;/a&gt;");
  EXPECT_EQ(HtmlAsciiText(u"a\u00e9\u20ac\U0001F600\xDC00\n"), "a&#233;&#8364;&#128512;&#65533;&#10;");
  EXPECT_EQ(VaultPromptCaption(true, u"ignored"), "Enter Your <b>Master Password</b> to unlock the application.");
}

class VaultPwdFormTest : public testing::Test {
 protected:
  void SetUp() override { app_ = new TApplication(nullptr); }
  void TearDown() override { delete app_; }
  TApplication* app_ = nullptr;
};

TEST_F(VaultPwdFormTest, TextsForTheMasterPasswordAndForAVault) {
  TVaultPwdForm form(nullptr, 0);
  form.IsMaster = true;
  form.PrepareTexts();
  EXPECT_EQ(form.lblPassword->Caption(), u"Master Password:");
  EXPECT_EQ(form.butUnlock->Caption(), u"OK");
  EXPECT_TRUE(form.ImgMaster->Visible());
  EXPECT_FALSE(form.ImgVault->Visible());
  EXPECT_EQ(form.ImgMaster->Left(), 18);
  EXPECT_EQ(form.lblCaption->Align(), alClient);

  TVaultPwdForm vault(nullptr, 0);
  vault.VaultName = u"Bank";
  vault.PrepareTexts();
  EXPECT_EQ(vault.lblPassword->Caption(), u"Password:");
  EXPECT_EQ(vault.butUnlock->Caption(), u"Unlock");
  EXPECT_TRUE(vault.ImgVault->Visible());
  EXPECT_EQ(vault.lblCaption->Caption(), "Enter your password to unlock the \"<b>Bank</b>\" vault.");
}

TEST_F(VaultPwdFormTest, UnlockIsEnabledExactlyWhileThereIsAPassword) {
  TVaultPwdForm form(nullptr, 0);
  form.PrepareTexts();
  EXPECT_FALSE(form.butUnlock->Enabled());
  HWND edit = form.txtPassword->Handle();
  SendMessageW(edit, WM_CHAR, u's', 0);
  EXPECT_TRUE(form.butUnlock->Enabled());
  SendMessageW(edit, WM_CHAR, VK_BACK, 0);
  EXPECT_EQ(form.txtPassword->Text(), u"");
  EXPECT_FALSE(form.butUnlock->Enabled());
  form.txtPassword->SetText(u"pasted");
  EXPECT_TRUE(form.butUnlock->Enabled());
}

TEST_F(VaultPwdFormTest, EscapeCancelsAndEnterWithAPasswordUnlocks) {
  struct Case {
    std::u16string typed;
    WPARAM key;
    bool ok;
  };
  const Case cases[] = {{u"", VK_ESCAPE, false}, {u"secret \u00e9", VK_ESCAPE, false}, {u"secret \u00e9", VK_RETURN, true}};
  for (const Case& c : cases) {
    TVaultPwdForm form(nullptr, 0);
    form.PrepareTexts();
    form.txtPassword->SetText(c.typed);
    PostMessageW(form.txtPassword->Handle(), WM_KEYDOWN, c.key, 0);
    const TModalResult result = form.ShowModal();
    EXPECT_EQ(result, c.ok ? mrOk : mrCancel);
    EXPECT_EQ(form.txtPassword->Text(), c.typed);
  }
}

// The launcher shows the prompt in its slot with the texts of the request and answers
// the password typed there; a cancelled prompt answers nothing.
TEST_F(VaultPwdFormTest, TheLauncherShowsThePromptAndAnswersTheTypedPassword) {
  TDialogLauncher launcher;
  HWND slot = 0;
  std::string caption;
  platform::modal_driver::Answer([&](TCustomForm& shown) {
    auto& prompt = dynamic_cast<TVaultPwdForm&>(shown);
    slot = launcher.Slot(TDialogSlot::VaultPassword);
    caption = prompt.lblCaption->Caption();
    prompt.txtPassword->SetText(u"s\u00e9cret");
    prompt.butUnlock->Click();
  });
  platform::modal_driver::Answer([](TCustomForm& shown) { shown.ModalResult = mrCancel; });
  std::u16string password;
  EXPECT_TRUE(launcher.AskVaultPassword(0, false, u"M\u00fcller & <Co>", password));
  EXPECT_EQ(password, u"s\u00e9cret");
  EXPECT_NE(slot, HWND(0));
  EXPECT_EQ(caption, "Enter your password to unlock the \"<b>M&#252;ller &amp; &lt;Co&gt;</b>\" vault.");
  EXPECT_FALSE(launcher.AskVaultPassword(0, true, u"", password));
  EXPECT_TRUE(password.empty());
  EXPECT_EQ(launcher.Unavailable(), 0);
  EXPECT_EQ(platform::modal_driver::Shown(), (std::vector<std::string>{"TVaultPwdForm", "TVaultPwdForm"}));
  platform::modal_driver::Clear();
}

TEST_F(VaultPwdFormTest, Picture) {
  TVaultPwdForm form(nullptr, 0);
  form.VaultName = u"Caf\u00e9 <Bank> & Co., a name that wraps";
  form.PrepareTexts();
  form.Show();
  app_->ProcessMessages();
  auto picture = platform::gdi::WindowPicture(form.Handle());
  ASSERT_TRUE(picture);
  EXPECT_EQ(pellix_test::CompareWithExpected(*picture, "../app/vault_prompt.png", 2), "");
}

}  // namespace
