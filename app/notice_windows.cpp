#include "app/notice_windows.h"

#include <memory>

#include "app/dialog_launcher.h"
#include "app/form_building.h"
#include "app/form_translation.h"
#include "app/install_actions.h"
#include "data/app_services.h"
#include "data/data_startup.h"
#include "formfill/after_navigate.h"
#include "controls/unicode/uni_controls.h"
#include "controls/unicode/uni_ext_ctrls.h"
#include "controls/unicode/uni_std_ctrls.h"
#include "platform/base/text.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/timers.h"
#include "platform/win/message_box.h"
#include "platform/win/metrics.h"
#include "support/translator.h"

namespace {

struct TNoticeText {
  const char* Title;
  const char* Text;
  const char16_t* Setting;
};

constexpr TNoticeText kNotices[] = {
    {"Form Cannot Be Filled In", "There are no forms to be filled in on this webpage.", u"SHOW_MESS_NO_FORMS"},
    {"Form Cannot Be Filled In", "Fields on this webpage do not match fields from the active Identity.",
     u"SHOW_MESS_NO_FILL"},
    {"Form Has Already Been Filled In", "Fields have already been filled in.", u"SHOW_MESS_ALREADY_FILLED"},
    {"No Form Has Been Submitted",
     "Auto-submit is enabled, but there is more than one form to be submitted on the page.",
     u"SHOW_MESS_MORE_FORMS_SUBMIT"},
};

// A boolean setting; Default when there is no settings object or no value.
bool Setting(const char16_t* key, bool fallback) {
  bool value = fallback;
  if (Config) Config->ReadBool(key, value);
  return value;
}

void WriteSetting(const char16_t* key, bool value) {
  if (Config) Config->WriteBool(key, value);
}

// The notice and the question in one window: two panels, one of them shown.
class TMessageForm : public TForm {
 public:
  explicit TMessageForm(TComponent* owner) : TForm(owner) {
    SetName("MessageForm");
    BorderStyle = TFormBorderStyle::bsDialog;
    SetWideControlText(this, u"Pellix - Warning");
    SetBounds(0, 0, 754, 166);
    PanelDef = Place<TUniPanel>(*this, *this, "PanelDef", u"", {60, 0, 680, 160});
    MainLabel = BoldLabel(*this, *PanelDef, "mainLabel", u"Closing Pellix", {8, 8, 600, 20});
    MessLabel = Place<TUniLabel>(*this, *PanelDef, "messLabel", u"", {8, 36, 600, 40});
    NoticeOff = Place<TUniCheckBox>(*this, *PanelDef, "UniCheckBox2", u"Do not show this message again",
                                    {8, 90, 300, 20});
    Button(*this, *PanelDef, "butCancel", u"OK", {520, 120, 75, 25}, mrOk)->SetDefault(true);
    Panel = Place<TUniPanel>(*this, *this, "Panel", u"", {60, 0, 680, 160});
    Panel->SetVisible(false);
    BoldLabel(*this, *Panel, "questionLabel", u"Automatic Information Addition", {8, 8, 600, 20});
    InfoLabel = Place<TUniLabel>(*this, *Panel, "infoLabel", u"", {8, 36, 600, 40});
    QuestionOff = Place<TUniCheckBox>(*this, *Panel, "UniCheckBox1", u"Do not show this message again",
                                      {8, 90, 300, 20});
    Button(*this, *Panel, "butYes", u"Yes", {440, 120, 75, 25}, IDYES)->SetDefault(true);
    Button(*this, *Panel, "butNo", u"No", {520, 120, 75, 25}, IDNO)->Cancel = true;
  }
  std::string ClassName() const override { return "TMessageForm"; }

  // The window's size follows the panel that shows.
  void FitTo(TWinControl& panel) { SetBounds(Left(), Top(), panel.Left() + panel.Width() + 20, panel.Top() + panel.Height()); }

  TUniPanel* PanelDef;
  TUniLabel* MainLabel;
  TUniLabel* MessLabel;
  TUniCheckBox* NoticeOff;
  TUniPanel* Panel;
  TUniLabel* InfoLabel;
  TUniCheckBox* QuestionOff;
};

class TAddHistoryForm : public TForm {
 public:
  explicit TAddHistoryForm(TComponent* owner) : TForm(owner) {
    SetName("AddHistoryForm");
    BorderStyle = TFormBorderStyle::bsSingle;
    SetWideControlText(this, u"Pellix - Bookmarks");
    SetBounds(0, 0, 330, 154);
    BoldLabel(*this, *this, "titleLabel", u"Form Added to Form History", {60, 8, 260, 20});
    Place<TUniLabel>(*this, *this, "textLabel",
                     u"Every submitted form is kept in Form History. You can save it as a bookmark for future use "
                     u"or remove it anytime.",
                     {60, 32, 260, 60});
    XShowEachTime = Place<TUniCheckBox>(*this, *this, "XShowEachTime", u"Show this message every time I submit a form",
                                        {12, 96, 300, 20});
    Button(*this, *this, "butOK", u"OK", {240, 122, 75, 25}, mrOk)->SetDefault(true);
    Button(*this, *this, "butEscape", u"", {0, 0, 0, 0}, mrCancel)->Cancel = true;
  }
  std::string ClassName() const override { return "TAddHistoryForm"; }
  TUniCheckBox* XShowEachTime;
};

class TAutoFillForm : public TForm {
 public:
  explicit TAutoFillForm(TComponent* owner) : TForm(owner) {
    SetName("AutoFillForm");
    BorderStyle = TFormBorderStyle::bsDialog;
    SetWideControlText(this, u"Pellix");
    SetBounds(0, 0, 366, 210);
    BoldLabel(*this, *this, "titleLabel", u"Pellix - Autofill feature", {60, 8, 290, 20});
    Place<TUniLabel>(*this, *this, "filledLabel", u"This form has been automatically filled in by Pellix.",
                     {60, 32, 290, 20});
    Place<TUniLabel>(*this, *this, "enabledLabel",
                     u"Autofill feature is enabled by default and will automatically attempt to fill in web forms "
                     u"for you.",
                     {60, 56, 290, 40});
    auto* more = Place<TUniLabel>(*this, *this, "learnMoreLabel", u"Learn more about Autofill", {60, 100, 290, 20});
    more->Font().SetStyle(fsUnderline);
    more->OnClick = [](TObject*) { PostToMainWindow(kCmdHelpTopic, kHelpTopicAutoFill); };
    KeepEnabled = Place<TUniCheckBox>(*this, *this, "UniCheckBox2", u"Keep Autofill feature enabled",
                                      {60, 130, 290, 20});
    KeepEnabled->Font().SetStyle(fsBold);
    KeepEnabled->SetChecked(true);
    Button(*this, *this, "butOK", u"OK", {280, 176, 75, 25}, mrOk)->SetDefault(true);
  }
  std::string ClassName() const override { return "TAutoFillForm"; }
  TUniCheckBox* KeepEnabled;
};

class TCloseForm : public TForm {
 public:
  explicit TCloseForm(TComponent* owner) : TForm(owner) {
    SetName("CloseForm");
    BorderStyle = TFormBorderStyle::bsDialog;
    SetWideControlText(this, u"Pellix");
    SetBounds(0, 0, 309, 172);
    BoldLabel(*this, *this, "titleLabel", u"Closing Pellix", {60, 8, 240, 20});
    Place<TUniLabel>(*this, *this, "questionLabel", u"Do you really want to close Pellix now?", {60, 32, 240, 20});
    RunAtStartup = Place<TUniCheckBox>(*this, *this, "UniCheckBox1", u"Run Pellix at Windows startup", {12, 70, 280, 20});
    RunAtStartup->SetChecked(true);
    DontAsk = Place<TUniCheckBox>(*this, *this, "UniCheckBox2", u"Don\u2019t show this message again", {12, 94, 280, 20});
    auto* close = Button(*this, *this, "butSave", u"Close", {140, 136, 75, 25}, mrNone);
    close->SetDefault(true);
    close->OnClick = [this](TObject*) { CloseClick(); };
    Button(*this, *this, "butCancel", u"Cancel", {222, 136, 75, 25}, mrCancel)->Cancel = true;
  }
  std::string ClassName() const override { return "TCloseForm"; }

  TUniCheckBox* RunAtStartup;
  TUniCheckBox* DontAsk;

 private:
  void CloseClick() {
    CreateShortcuts(RunAtStartup->Checked(), kShortcutRunEntry);
    WriteSetting(u"RUN_STARTUP", RunAtStartup->Checked());
    WriteSetting(u"SHOW_CLOSE_DIALOG", !DontAsk->Checked());
    ModalResult = mrOk;
  }
};

// Closes itself after three seconds and frees itself.
class TSplashForm : public TForm {
 public:
  explicit TSplashForm(TComponent* owner) : TForm(owner), timer_(this) {
    SetName("SplashForm");
    BorderStyle = TFormBorderStyle::bsNone;
    const int width = 250, height = 70;
    SetBounds(GetSystemMetrics(SM_CXSCREEN) - width - 20, GetSystemMetrics(SM_CYSCREEN) - height - 20, width,
              height);
    ++open_;
    OnClose = [](TObject*, TCloseAction& action) { action = TCloseAction::caFree; };
    timer_.SetInterval(3000);
    timer_.SetOnTimer([this](TObject*) {
      timer_.SetEnabled(false);
      Close();
    });
  }
  ~TSplashForm() override { --open_; }
  std::string ClassName() const override { return "TSplashForm"; }
  static int open_;

 private:
  TTimer timer_;
};

int TSplashForm::open_ = 0;

}  // namespace

void ShowFillNotice(HWND, int code) {
  if (code < kNoticeNoForms || code > kNoticeMoreForms) return;
  const TNoticeText& notice = kNotices[code];
  if (!Setting(notice.Setting, true)) return;
  auto form = std::make_unique<TMessageForm>(Application);
  TranslateForm(*form);
  SetWideControlText(form->MainLabel, Translate(notice.Title));
  SetWideControlText(form->MessLabel, Translate(notice.Text));
  form->FitTo(*form->PanelDef);
  CenterOnWindow(*form, 0);
  form->ShowModal();
  WriteSetting(notice.Setting, !form->NoticeOff->Checked());
}

int AskAddToIdentity(HWND, const std::u16string& identityName) {
  if (!Setting(u"AUTO_ADD_IDENT", true)) return mrCancel;
  auto form = std::make_unique<TMessageForm>(Application);
  TranslateForm(*form);
  form->PanelDef->SetVisible(false);
  form->Panel->SetVisible(true);
  std::u16string info =
      Translate("You have inserted information that can be added to your active identity - %s.") + u"\r\n" +
      Translate("Do you want to automatically add all new information to your active identity?");
  if (const auto at = info.find(u"%s"); at != std::u16string::npos) info.replace(at, 2, identityName);
  SetWideControlText(form->InfoLabel, info);
  form->FitTo(*form->Panel);
  CenterOnWindow(*form, 0);
  const TModalResult result = form->ShowModal();
  if (form->QuestionOff->Checked()) WriteSetting(u"AUTO_ADD_IDENT", false);
  // Escape, and a question no one could answer, count as "No".
  return result == IDYES ? IDYES : IDNO;
}

bool ShowAddedToHistory(HWND, bool& showEachTime) {
  auto form = std::make_unique<TAddHistoryForm>(Application);
  form->XShowEachTime->SetChecked(showEachTime);
  TranslateForm(*form);
  if (form->ShowModal() != mrOk) return false;
  showEachTime = form->XShowEachTime->Checked();
  return true;
}

void ShowAutoFillForm(HWND) {
  if (Setting(u"AUTOFILLMESS", false)) return;
  WriteSetting(u"AUTOFILLMESS", true);
  auto form = std::make_unique<TAutoFillForm>(Application);
  TranslateForm(*form);
  CenterOnWindow(*form, 0);
  form->ShowModal();
  formfill::TPageFillSettings fill = formfill::PageFillSettings();
  fill.AutoFill = form->KeepEnabled->Checked();
  formfill::SetPageFillSettings(fill);
  WriteSetting(u"AUTOFILL", fill.AutoFill);
}

bool AskClose(TDialogLauncher& launcher) {
  if (!Setting(u"SHOW_CLOSE_DIALOG", true)) return true;
  auto form = std::make_unique<TCloseForm>(Application);
  TranslateForm(*form);
  return launcher.RunModalSlot(TDialogSlot::CloseForm, *form, 0) == mrOk;
}

void ShowSplashWindow() {
  auto* splash = new TSplashForm(Application);
  splash->Show();
}

int SplashWindowsOpen() { return TSplashForm::open_; }
