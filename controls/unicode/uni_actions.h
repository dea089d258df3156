// Wide actions and action links: actions with a wide caption and hint kept in a
// helper component, and links that compare and set the wide texts of the controls
// they serve.
#pragma once

#include <memory>
#include <string>

#include "platform/classlib/actions.h"
#include "platform/classlib/buttons.h"
#include "platform/classlib/com_ctrls.h"
#include "platform/classlib/controls.h"
#include "platform/classlib/std_ctrls.h"

// The wide action interface {59D0AE37-8161-4AD6-9102-14B28E5761EB}: an action that
// offers it keeps wide texts.
class IWideCustomAction {
 public:
  virtual ~IWideCustomAction() = default;
};

// Owned by its action (found among the action's components).
class TCustomActionHelper : public TComponent {
 public:
  explicit TCustomActionHelper(TCustomAction* action) : TComponent(action), Action(action) {}
  std::string ClassName() const override { return "TCustomActionHelper"; }
  TCustomAction* Action;
  std::u16string WideCaption;
  bool SettingNewCaption = false;
  std::u16string OldWideCaption;
  std::string NewAnsiCaption;
  std::u16string WideHint;
  bool SettingNewHint = false;
  std::u16string OldWideHint;
  std::string NewAnsiHint;
};

class TUniAction : public TAction, public IWideCustomAction {
 public:
  using TAction::TAction;
  std::string ClassName() const override { return "TUniAction"; }
  std::u16string WideCaption();
  void SetWideCaption(const std::u16string& value);
  std::u16string WideHint();
  void SetWideHint(const std::u16string& value);
  void Assign(const TPersistent* source) override;
};

class TUniHintAction : public THintAction, public IWideCustomAction {
 public:
  using THintAction::THintAction;
  std::string ClassName() const override { return "TUniHintAction"; }
  std::u16string WideHint();
  void SetWideHint(const std::u16string& value);
  void Assign(const TPersistent* source) override;
};

std::u16string UniActionGetCaption(TBasicAction* action);
void UniActionSetCaption(TBasicAction* action, const std::u16string& value);
std::u16string UniActionGetHint(TBasicAction* action);
void UniActionSetHint(TBasicAction* action, const std::u16string& value);
std::u16string UniActionGetNewCaption(TBasicAction* action, const std::u16string& defaultValue);
std::u16string UniActionGetNewHint(TBasicAction* action, const std::u16string& defaultValue);

// Whether the action offers the wide action interface.
bool IsWideAction(TBasicAction* action);

// Run by every wide control before the class library's own action change.
void UniControlActionChange(TControl* control, TBasicAction* action, bool checkDefaults);

// The generic wide link rules, shared by every wide link class.
bool UniActionLinkIsCaptionLinked(const TControlActionLink& link);
bool UniActionLinkIsHintLinked(const TControlActionLink& link);
void UniActionLinkSetCaption(TControlActionLink& link, const std::string& value);
void UniActionLinkSetHint(TControlActionLink& link, const std::string& value);

// The generic wide rules over one of the class library's links.
template <typename Base>
class TUniActionLinkRules : public Base {
 public:
  using Base::Base;
  bool IsCaptionLinked() const override { return UniActionLinkIsCaptionLinked(*this); }
  bool IsHintLinked() const override { return UniActionLinkIsHintLinked(*this); }
  void SetCaption(const std::string& value) override { UniActionLinkSetCaption(*this, value); }
  void SetHint(const std::string& value) override { UniActionLinkSetHint(*this, value); }
};

// Speed and bitmap buttons keep the picture they have: their image index counts as
// linked whenever the action is a custom action, and the action never sets it.
template <typename Base>
class TUniImageKeepingActionLink : public TUniActionLinkRules<Base> {
 public:
  using TUniActionLinkRules<Base>::TUniActionLinkRules;
  bool IsImageIndexLinked() const override { return this->TActionLink::IsImageIndexLinked(); }
  void SetImageIndex(int) override {}
};

class TUniListViewActionLink : public TUniActionLinkRules<TListViewActionLink> {
 public:
  using TUniActionLinkRules::TUniActionLinkRules;
};

class TUniSpeedButtonActionLink : public TUniImageKeepingActionLink<TSpeedButtonActionLink> {
 public:
  using TUniImageKeepingActionLink::TUniImageKeepingActionLink;
};

class TUniBitBtnActionLink : public TUniImageKeepingActionLink<TBitBtnActionLink> {
 public:
  using TUniImageKeepingActionLink::TUniImageKeepingActionLink;
};

class TUniToolButtonActionLink : public TUniActionLinkRules<TToolButtonActionLink> {
 public:
  using TUniActionLinkRules::TUniActionLinkRules;
};

class TUniButtonActionLink : public TUniActionLinkRules<TButtonActionLink> {
 public:
  using TUniActionLinkRules::TUniActionLinkRules;
};

class TUniWinControlActionLink : public TUniActionLinkRules<TWinControlActionLink> {
 public:
  using TUniActionLinkRules::TUniActionLinkRules;
};

class TUniControlActionLink : public TUniActionLinkRules<TControlActionLink> {
 public:
  using TUniActionLinkRules::TUniActionLinkRules;
};

// The link a wide control gets, by its kind: list view, speed button, bitmap button,
// tool button, button control, other windowed control, other control.
std::unique_ptr<TControlActionLink> UniControlGetActionLinkClass(TControl* control);
