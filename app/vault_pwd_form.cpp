#include "app/vault_pwd_form.h"

#include "app/main_form.h"
#include "controls/unicode/uni_sysutils.h"
#include "support/translator.h"

namespace {

// The form's components keep the form's font.
template <typename Control>
Control* Make(TVaultPwdForm* form, TWinControl* parent, int left, int top, int width, int height) {
  auto* control = new Control(form);
  control->SetParent(parent);
  control->SetBounds(left, top, width, height);
  control->Font().Assign(&form->Font());
  return control;
}

void AppendReference(std::string& out, std::uint32_t code) { out += "&#" + std::to_string(code) + ";"; }

}  // namespace

TVaultPwdForm::TVaultPwdForm(TComponent* owner, HWND ownerWindow) : TForm(owner), ownerWindow_(ownerWindow) {
  SetName("VaultPwdForm");
  BorderStyle = TFormBorderStyle::bsDialog;
  SetCaption("Pellix - Enter Password");
  Font().SetName("Tahoma");
  Font().SetSize(8);
  SetBounds(0, 0, 328, 144);
  txtPassword = Make<TUniEdit>(this, this, 64, 78, 251, 21);
  txtPassword->SetName("txtPassword");
  txtPassword->SetPasswordChar(u'*');
  txtPassword->OnChange = [this](TObject* sender) { txtPasswordChange(sender); };
  butUnlock = Make<TUniButton>(this, this, 160, 110, 75, 25);
  butUnlock->SetName("butUnlock");
  butUnlock->SetCaption(u"Unlock");
  butUnlock->SetDefault(true);
  butUnlock->SetEnabled(false);
  butUnlock->ModalResult = mrOk;
  butCancel = Make<TUniButton>(this, this, 240, 110, 75, 25);
  butCancel->SetName("butCancel");
  butCancel->SetCaption(u"Cancel");
  butCancel->Cancel = true;
  butCancel->ModalResult = mrCancel;
  lblPassword = Make<TUniLabel>(this, this, 64, 60, 251, 14);
  lblPassword->SetName("lblPassword");
  lblPassword->SetCaption(u"Password:");
  lblPassword->Font().SetStyle(fsBold);
  lblPassword->Tag = 666;  // left alone by the form translation
  ImgMaster = Make<TImage>(this, this, 0, 0, 32, 32);
  ImgMaster->SetName("ImgMaster");
  ImgMaster->SetVisible(false);
  ImgVault = Make<TImage>(this, this, 0, 0, 32, 32);
  ImgVault->SetName("ImgVault");
  ImgVault->SetVisible(false);
  pnlCaption = Make<TPanel>(this, this, 64, 14, 251, 37);
  pnlCaption->SetName("pnlCaption");
  pnlCaption->SetBevelOuter(bvNone);
  lblCaption = Make<TMkHtmlLabel>(this, pnlCaption, 0, 0, 251, 37);
  lblCaption->SetName("lblCaption");
  lblCaption->SetColor(pnlCaption->Color());
  lblCaption->SetAlign(alClient);
}

void TVaultPwdForm::CreateParams(TCreateParams& params) {
  TForm::CreateParams(params);
  params.WndParent = ownerWindow_ != 0 ? ownerWindow_ : FindWindowA(kMainFormClass, nullptr);
  params.ExStyle |= WS_EX_TOPMOST;
  ownerWindow_ = 0;
}

void TVaultPwdForm::txtPasswordChange(TObject*) { butUnlock->SetEnabled(!txtPassword->Text().empty()); }

void TVaultPwdForm::PrepareTexts() {
  lblCaption->SetCaption(VaultPromptCaption(IsMaster, VaultName));
  lblPassword->SetCaption(Translate(IsMaster ? "Master Password:" : "Password:"));
  butUnlock->SetCaption(Translate(IsMaster ? "OK" : "Unlock"));
  TImage* image = IsMaster ? ImgMaster : ImgVault;
  image->SetBounds(18, 18, image->Width(), image->Height());
  image->SetVisible(true);
}

std::u16string HtmlEscape(std::u16string_view text) {
  std::u16string out;
  for (char16_t c : text) {
    switch (c) {
      case u'&': out += u"&amp;"; break;
      case u'<': out += u"&lt;"; break;
      case u'>': out += u"&gt;"; break;
      case u'"': out += u"&quot;"; break;
      case u'\'': out += u"&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string HtmlAsciiText(std::u16string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      AppendReference(out, 0x10000 + ((static_cast<std::uint32_t>(c) - 0xD800) << 10) + (text[++i] - 0xDC00));
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      AppendReference(out, 0xFFFD);
    } else {
      AppendReference(out, c);
    }
  }
  return out;
}

std::string VaultPromptCaption(bool isMaster, const std::u16string& vaultName) {
  if (isMaster) return HtmlAsciiText(Translate("Enter Your <b>Master Password</b> to unlock the application."));
  const std::u16string text = Translate("Enter your password to unlock the \"<b>%VAULT_NAME</b>\" vault.");
  return HtmlAsciiText(WideStringReplace(text, u"%VAULT_NAME", HtmlEscape(vaultName), false,
                                         rfReplaceAll | rfIgnoreCase));
}
