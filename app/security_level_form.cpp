#include "app/security_level_form.h"

#include <charconv>
#include <string>

#include "app/form_translation.h"
#include "platform/base/text.h"
#include "platform/win/keyboard.h"
#include "support/translator.h"

namespace {

constexpr long kHelpTopicSecurityLevel = 2614;
constexpr int kMaxLevel = 3;
constexpr int kTextLeft = 76;

struct TLevelTexts {
  const char* Caption;
  const char* Definition;
  const char* Description[2];
  bool Expires;
};

constexpr TLevelTexts kLevels[] = {
    {"Password Protection Disabled",
     "",
     {"Application is not protected, and all personal data can be accessed without any password.",
      "This setting is not recommended unless you're the only user of the computer."},
     false},
    {"Password Required Upon Application Start Only",
     "",
     {"Password is required upon start of application only.",
      "All data is available until the application is restarted."},
     false},
    {"Time Expiring Password",
     "(Default)",
     {"Password is required upon start of application and expires after a set period determined by you.", nullptr},
     true},
    {"Constant Password Protection",
     "",
     {"Password is required to access any part of the application as well as perform any action.", nullptr},
     true},
};

// The edit's number, when it holds one.
bool MinutesOf(const std::u16string& text, std::int32_t& minutes) {
  const std::string digits = platform::WideToAnsi(text);
  std::int32_t value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) return false;
  minutes = value;
  return true;
}

// Only digits reach the edit; navigation and editing keys pass.
void DigitsOnlyKeyDown(TObject*, WORD& key, TShiftState) {
  const bool digit = (key >= '0' && key <= '9') || (key >= VK_NUMPAD0 && key <= VK_NUMPAD0 + 9);
  if (key > VK_DOWN && !digit && key != VK_DELETE) key = 0;
}

void DigitsOnlyKeyPress(TObject*, char& key) {
  if (static_cast<unsigned char>(key) >= ' ' && (key < '0' || key > '9')) key = 0;
}

}  // namespace

TSecurityLevel::TSecurityLevel(TComponent* owner, HWND ownerWindow) : TOwnedDialog(owner, ownerWindow) {
  SetName("SecurityLevel");
  BorderStyle = TFormBorderStyle::bsSingle;
  SetWideControlText(this, u"Pellix");
  SetBounds(0, 0, 402, 272);
  PlaceBoldLabel(*this, *this, "lblTitle", u"Master Password Security Level", 12, 12);
  PlaceLabel(*this, *this, "lblIntro", u"Move the slider to set the security level of your Master Password.", 12, 32);
  trackSecLevel = PlaceControl<TTrackBar>(*this, *this, "trackSecLevel", 16, 60, 45, 150);
  trackSecLevel->Orientation = TTrackBarOrientation::trVertical;
  trackSecLevel->TickMarks = TTickMark::tmBoth;
  trackSecLevel->PageSize = 1;
  trackSecLevel->SetRange(0, kMaxLevel);
  trackSecLevel->OnChange = [this](TObject*) { ShowLevel(trackSecLevel->Position()); };
  lblLevelCaption = PlaceBoldLabel(*this, *this, "lblLevelCaption", u"", kTextLeft, 64);
  lblLevelDef = PlaceLabel(*this, *this, "lblLevelDef", u"", kTextLeft, 64);
  helpImage = PlaceControl<TImage>(*this, *this, "helpImage", kTextLeft, 62, 16, 16);
  helpImage->Tag = kHelpTopicSecurityLevel;
  help_ = std::make_unique<TImageHelp>(*helpImage);
  lblLevelDesc = PlaceWrappedLabel(*this, *this, "lblLevelDesc", u"", kTextLeft, 88, 310, 70);
  txtExpires = PlaceEdit(*this, *this, "txtExpires", kTextLeft, 170, 36);
  txtExpires->SetMaxLength(3);
  txtExpires->SetText(u"30");
  txtExpires->OnKeyDown = DigitsOnlyKeyDown;
  txtExpires->OnKeyPress = DigitsOnlyKeyPress;
  lblExpire = PlaceLabel(*this, *this, "lblExpire", u"minutes to expire", kTextLeft + 42, 173);
  TUniPanel* bottom = PlaceBottomPanel(*this, "pnlBottom", 41);
  butDefault = PlaceButton(*this, *bottom, "butDefault", u"Default", 12, 8, mrNone);
  butDefault->OnClick = [this](TObject*) {
    ShowLevel(2);
    txtExpires->SetText(u"60");
  };
  butOK = PlaceButton(*this, *bottom, "butOK", u"OK", 232, 8, mrOk);
  butOK->SetDefault(true);
  butCancel = PlaceButton(*this, *bottom, "butCancel", u"Cancel", 315, 8, mrCancel);
  butCancel->Cancel = true;
  FocusOnShow(*this);
  TranslateForm(*this);
  ShowLevel(0);
}

void TSecurityLevel::ShowLevel(int level) {
  if (level < 0 || level > kMaxLevel) return;
  if (trackSecLevel->Position() != level) trackSecLevel->SetPosition(level);  // comes back here
  const TLevelTexts& texts = kLevels[level];
  lblLevelCaption->SetCaption(Translate(texts.Caption));
  lblLevelDef->SetCaption(texts.Definition[0] != '\0' ? Translate(texts.Definition) : u"");
  std::u16string description = Translate(texts.Description[0]);
  if (texts.Description[1] != nullptr) description += u" " + Translate(texts.Description[1]);
  lblLevelDesc->SetCaption(description);
  txtExpires->SetEnabled(texts.Expires);
  lblExpire->SetEnabled(texts.Expires);
  lblLevelDef->SetBounds(lblLevelCaption->Left() + lblLevelCaption->Width() + 5, lblLevelDef->Top(),
                         lblLevelDef->Width(), lblLevelDef->Height());
  helpImage->SetBounds(lblLevelDef->Left() + lblLevelDef->Width() + 6, helpImage->Top(), helpImage->Width(),
                       helpImage->Height());
}

bool ChooseSecurityLevel(HWND owner, std::int32_t& level, std::int32_t& minutes) {
  auto form = std::make_unique<TSecurityLevel>(Application, owner);
  form->ShowLevel(level);
  form->txtExpires->SetText(platform::AnsiToWide(std::to_string(minutes)));
  if (form->ShowModal() != mrOk) return false;
  level = form->trackSecLevel->Position();
  MinutesOf(form->txtExpires->Text(), minutes);
  return true;
}
