#include "controls/unicode/uni_actions.h"

#include "controls/unicode/uni_controls.h"
#include "platform/base/text.h"

namespace {

std::u16string Widen(const std::string& text) { return platform::AnsiToWide(text); }
std::string Narrow(const std::u16string& text) { return platform::WideToAnsi(text); }

TCustomActionHelper* HelperOf(TCustomAction* action) {
  for (int i = 0; i < action->ComponentCount(); ++i) {
    if (auto* helper = dynamic_cast<TCustomActionHelper*>(action->Components(i))) return helper;
  }
  return new TCustomActionHelper(action);
}

// The caption and hint work alike; these name the helper's fields of one of them.
struct WideText {
  std::u16string TCustomActionHelper::*wide;
  bool TCustomActionHelper::*setting;
  std::u16string TCustomActionHelper::*old;
  std::string TCustomActionHelper::*newAnsi;
  const std::string& (TCustomAction::*get)() const;
  void (TCustomAction::*set)(const std::string&);
};

constexpr WideText kCaption{&TCustomActionHelper::WideCaption, &TCustomActionHelper::SettingNewCaption,
                            &TCustomActionHelper::OldWideCaption, &TCustomActionHelper::NewAnsiCaption,
                            &TCustomAction::Caption, &TCustomAction::SetCaption};
constexpr WideText kHint{&TCustomActionHelper::WideHint, &TCustomActionHelper::SettingNewHint,
                         &TCustomActionHelper::OldWideHint, &TCustomActionHelper::NewAnsiHint,
                         &TCustomAction::Hint, &TCustomAction::SetHint};

std::u16string Get(TBasicAction* action, const WideText& text) {
  auto* custom = dynamic_cast<TCustomAction*>(action);
  if (custom == nullptr) return {};
  if (!IsWideAction(action)) return Widen((custom->*text.get)());
  TCustomActionHelper* helper = HelperOf(custom);
  // Clients told in the middle of a change still read the old wide text.
  if (helper->*text.setting && (custom->*text.get)() != helper->*text.newAnsi) return helper->*text.old;
  return GetSyncedWideString(helper->*text.wide, (custom->*text.get)());
}

void Set(TBasicAction* action, const std::u16string& value, const WideText& text) {
  auto* custom = dynamic_cast<TCustomAction*>(action);
  if (custom == nullptr) return;
  if (!IsWideAction(action)) {
    (custom->*text.set)(Narrow(value));
    return;
  }
  TCustomActionHelper* helper = HelperOf(custom);
  helper->*text.old = Get(action, text);
  helper->*text.newAnsi = Narrow(value);
  helper->*text.setting = true;
  SetSyncedWideString(value, helper->*text.wide, (custom->*text.get)(), [&](const std::string& ansi) {
    if (ansi.empty() && !(helper->*text.newAnsi).empty()) (helper->*text.old).clear();
    (custom->*text.set)(ansi);
  });
  helper->*text.setting = false;
}

std::u16string GetNew(TBasicAction* action, const std::u16string& defaultValue, const WideText& text) {
  auto* custom = dynamic_cast<TCustomAction*>(action);
  if (custom == nullptr || !IsWideAction(action)) return defaultValue;
  TCustomActionHelper* helper = HelperOf(custom);
  return helper->*text.setting ? helper->*text.wide : defaultValue;
}

// After the class library's assignment, the wide texts come across whole.
void AssignWide(TBasicAction* target, const TPersistent* source) {
  if (auto* action = dynamic_cast<const TCustomAction*>(source)) {
    auto* from = const_cast<TCustomAction*>(action);
    UniActionSetCaption(target, UniActionGetCaption(from));
    UniActionSetHint(target, UniActionGetHint(from));
  } else if (auto* control = dynamic_cast<const TControl*>(source)) {
    auto* from = const_cast<TControl*>(control);
    UniActionSetCaption(target, GetWideControlText(from));
    UniActionSetHint(target, GetWideControlHint(from));
  }
}

}  // namespace

bool IsWideAction(TBasicAction* action) { return dynamic_cast<IWideCustomAction*>(action) != nullptr; }

std::u16string UniActionGetCaption(TBasicAction* action) { return Get(action, kCaption); }
void UniActionSetCaption(TBasicAction* action, const std::u16string& value) { Set(action, value, kCaption); }
std::u16string UniActionGetHint(TBasicAction* action) { return Get(action, kHint); }
void UniActionSetHint(TBasicAction* action, const std::u16string& value) { Set(action, value, kHint); }
std::u16string UniActionGetNewCaption(TBasicAction* action, const std::u16string& defaultValue) {
  return GetNew(action, defaultValue, kCaption);
}
std::u16string UniActionGetNewHint(TBasicAction* action, const std::u16string& defaultValue) {
  return GetNew(action, defaultValue, kHint);
}

std::u16string TUniAction::WideCaption() { return UniActionGetCaption(this); }
void TUniAction::SetWideCaption(const std::u16string& value) { UniActionSetCaption(this, value); }
std::u16string TUniAction::WideHint() { return UniActionGetHint(this); }
void TUniAction::SetWideHint(const std::u16string& value) { UniActionSetHint(this, value); }

void TUniAction::Assign(const TPersistent* source) {
  if (dynamic_cast<const TControl*>(source) == nullptr) TAction::Assign(source);
  AssignWide(this, source);
}

std::u16string TUniHintAction::WideHint() { return UniActionGetHint(this); }
void TUniHintAction::SetWideHint(const std::u16string& value) { UniActionSetHint(this, value); }

void TUniHintAction::Assign(const TPersistent* source) {
  THintAction::Assign(source);
  AssignWide(this, source);
}

void UniControlActionChange(TControl* control, TBasicAction* action, bool checkDefaults) {
  if (!IsWideAction(action) || dynamic_cast<TCustomAction*>(action) == nullptr) return;
  std::u16string text = GetWideControlText(control);
  if (!checkDefaults || text.empty() || text == Widen(control->Name())) {
    SetWideControlText(control, UniActionGetCaption(action));
  }
  if (!checkDefaults || GetWideControlHint(control).empty()) SetWideControlHint(control, UniActionGetHint(action));
}

namespace {

// Linked as the class library sees it (8-bit texts).
bool ClassLibraryCaptionLinked(const TControlActionLink& link) { return link.TControlActionLink::IsCaptionLinked(); }
bool ClassLibraryHintLinked(const TControlActionLink& link) { return link.TControlActionLink::IsHintLinked(); }

}  // namespace

bool UniActionLinkIsCaptionLinked(const TControlActionLink& link) {
  return ClassLibraryCaptionLinked(link) && UniActionGetCaption(link.Action()) == GetWideControlText(link.Client());
}

bool UniActionLinkIsHintLinked(const TControlActionLink& link) {
  return ClassLibraryHintLinked(link) && UniActionGetHint(link.Action()) == GetWideControlHint(link.Client());
}

void UniActionLinkSetCaption(TControlActionLink& link, const std::string& value) {
  if (link.IsCaptionLinked()) SetWideControlText(link.Client(), UniActionGetNewCaption(link.Action(), Widen(value)));
}

void UniActionLinkSetHint(TControlActionLink& link, const std::string& value) {
  if (link.IsHintLinked()) SetWideControlHint(link.Client(), UniActionGetNewHint(link.Action(), Widen(value)));
}

namespace {

template <typename Kind, typename Link>
std::unique_ptr<TControlActionLink> LinkFor(TControl* control) {
  return dynamic_cast<Kind*>(control) != nullptr ? std::make_unique<Link>(control) : nullptr;
}

}  // namespace

std::unique_ptr<TControlActionLink> UniControlGetActionLinkClass(TControl* control) {
  using Chooser = std::unique_ptr<TControlActionLink> (*)(TControl*);
  static constexpr Chooser kInOrder[] = {
      LinkFor<TCustomListView, TUniListViewActionLink>, LinkFor<TSpeedButton, TUniSpeedButtonActionLink>,
      LinkFor<TBitBtn, TUniBitBtnActionLink>,           LinkFor<TToolButton, TUniToolButtonActionLink>,
      LinkFor<TButtonControl, TUniButtonActionLink>,    LinkFor<TWinControl, TUniWinControlActionLink>,
  };
  for (Chooser choose : kInOrder) {
    if (auto link = choose(control)) return link;
  }
  return std::make_unique<TUniControlActionLink>(control);
}
