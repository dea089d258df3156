#include "app/help_window.h"

#include <cctype>

#include "app/dialog_launcher.h"
#include "app/form_translation.h"
#include "app/install_actions.h"
#include "app/main_form.h"
#include "app/window_parts.h"
#include "controls/unicode/uni_controls.h"
#include "controls/unicode/uni_ext_ctrls.h"
#include "controls/unicode/uni_std_ctrls.h"
#include "data/app_services.h"
#include "data/data_startup.h"
#include "platform/base/text.h"
#include "platform/browser/default_browser.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/image_control.h"
#include "platform/com/variant.h"
#include "platform/win/atoms.h"
#include "platform/win/message_queue.h"
#include "platform/win/window.h"
#include "support/debug_log.h"
#include "support/translator.h"

namespace {

// The help window's Chromium profile, beside the running program's.
constexpr char kHelpBrowserProfile[] = "help-browser";
constexpr char16_t kBuiltInHelp[] = u"https://pellix.invalid/help?topic=%s";

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

// The help window: a Close button below the page, the page in the browser model's
// window. Frees itself when closed; closing ends the help process.
class THelpForm : public TForm {
 public:
  explicit THelpForm(TComponent* owner) : TForm(owner) {
    SetName("HelpForm");
    SetWideControlText(this, u"Pellix - Help");
    SetBounds(0, 0, 782, 521);
    topicMessage_ = RegisterWindowMessageA(kHelpTopicMessage);
    auto* panel = new TUniPanel(this);
    panel->SetName("Panel1");
    panel->SetParent(this);
    panel->SetBounds(0, 480, 782, 41);
    auto* close = new TUniButton(this);
    close->SetName("Button1");
    close->SetParent(panel);
    close->SetBounds(782 - 75 - 8, 8, 75, 25);
    SetWideControlText(close, u"Close");
    close->OnClick = [this](TObject*) { Close(); };
    OnShow = [this](TObject*) { ShowPending(); };
    OnClose = [](TObject*, TCloseAction& action) { action = TCloseAction::caFree; };
  }
  ~THelpForm() override {
    if (browser_) browser_->Quit();
    if (Application != nullptr) Application->Terminate();
  }
  std::string ClassName() const override { return "THelpForm"; }

  std::string PendingTopic;

 protected:
  // An override, not a hook: while the form is destroyed its window still gets
  // messages, and only virtual dispatch then stops reaching this class.
  void WndProc(TMessage& message) override {
    if (message.Msg == topicMessage_) {
      if (message.LParam != 0) Navigate(std::to_string(message.LParam));
      BringWindowToFront(Handle());
      return;
    }
    TForm::WndProc(message);
  }
  void CreateParams(TCreateParams& params) override {
    TForm::CreateParams(params);
    params.WinClassName = kHelpFormClass;
    params.ExStyle |= WS_EX_TOPMOST;
  }

 private:
  void ShowPending() {
    if (PendingTopic.empty()) return;
    Navigate(PendingTopic);
    PendingTopic.clear();
  }
  void Navigate(const std::string& topic) {
    std::u16string addressTemplate;
    if (Config) Config->ReadString(u"HELP_ID_URL", addressTemplate);
    const std::u16string address = HelpAddress(addressTemplate, std::u16string(topic.begin(), topic.end()));
    if (!browser_) browser_ = platform::browser::OpenBrowserWindow();
    if (!browser_) {
      LogError("help: no browser window for the help page");
      return;
    }
    platform::com::Variant url = platform::com::Variant::Text(address);
    platform::com::Variant none;
    browser_->Navigate2(url.get(), none.get(), none.get(), none.get(), none.get());
    browser_->put_Visible(VARIANT_TRUE);
  }

  UINT topicMessage_ = 0;
  platform::com::ComPtr<IWebBrowser2> browser_;
};

}  // namespace

std::u16string HelpAddress(const std::u16string& addressTemplate, const std::u16string& topic) {
  const std::u16string source = addressTemplate.empty() ? std::u16string(kBuiltInHelp) : addressTemplate;
  std::u16string address;
  for (std::size_t i = 0; i < source.size(); ++i) {
    if (source[i] == u'%' && i + 1 < source.size() && Lower(source[i + 1]) == u's') {
      address += topic;
      ++i;
    } else {
      address += source[i];
    }
  }
  return address;
}

int RunHelpWindow(const std::string& topic) {
  if (topic.empty()) return 0;
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  LoadLanguageSetting();
  platform::browser::UseBrowserProfile(kHelpBrowserProfile);
  platform::browser::InstallBrowser();
  TApplication application(nullptr);
  application.SetTitle(platform::WideToAnsi(Translate("Pellix - Help")));
  auto* form = application.CreateForm<THelpForm>();
  TranslateForm(*form);
  form->PendingTopic = topic;
  form->Show();
  application.Run();
  platform::browser::CloseBrowser();
  CoUninitialize();
  return 0;
}

TImageHelp::TImageHelp(TImage& picture) : picture_(picture), topic_(picture.Tag) {
  LoadResourcePicture(picture_, "HELP_ICON");
  picture_.Cursor = crHandPoint;
  picture_.OnClick = [this](TObject*) { PostToMainWindow(kCmdHelpTopic, static_cast<LPARAM>(topic_)); };
}
