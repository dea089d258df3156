#include "platform/classlib/actions.h"

#include <algorithm>

#include "platform/classlib/forms.h"

TBasicAction::~TBasicAction() {
  Destroying();
  while (!clients_.empty()) clients_.back()->SetAction(nullptr);
}

bool TBasicAction::Execute() {
  if (!OnExecute) return false;
  OnExecute(this);
  return true;
}

bool TBasicAction::Update() {
  if (!OnUpdate) return false;
  OnUpdate(this);
  return true;
}

void TBasicAction::RegisterChanges(TBasicActionLink* link) { clients_.push_back(link); }

void TBasicAction::UnRegisterChanges(TBasicActionLink* link) {
  clients_.erase(std::remove(clients_.begin(), clients_.end(), link), clients_.end());
}

// Linked clients hear of each property through their link's setters, not here.
void TBasicAction::Change() {
  if (OnChange) OnChange(this);
}

TContainedAction::~TContainedAction() { SetActionList(nullptr); }

void TContainedAction::SetActionList(TCustomActionList* list) {
  if (list == actionList_) return;
  if (actionList_ != nullptr) {
    auto& actions = actionList_->actions_;
    actions.erase(std::remove(actions.begin(), actions.end(), this), actions.end());
  }
  actionList_ = list;
  if (list != nullptr) list->actions_.push_back(this);
}

bool TContainedAction::Update() {
  if (actionList_ != nullptr && actionList_->UpdateAction(this)) return true;
  return TBasicAction::Update();
}

bool TContainedAction::Execute() {
  if (actionList_ != nullptr && actionList_->ExecuteAction(this)) return true;
  if (Application != nullptr && Application->ExecuteAction(this)) return true;
  if (TBasicAction::Execute()) return true;
  return Application != nullptr && Application->SendAppMessage(CM_ACTIONEXECUTE, 0, reinterpret_cast<LPARAM>(this)) == 1;
}

TCustomAction::TCustomAction(TComponent* owner) : TContainedAction(owner) {}

void TCustomAction::Assign(const TPersistent* source) {
  if (auto* action = dynamic_cast<const TCustomAction*>(source)) {
    SetCaption(action->caption_);
    SetHint(action->hint_);
    SetEnabled(action->enabled_);
    SetChecked(action->checked_);
    SetVisible(action->visible_);
    SetImageIndex(action->imageIndex_);
    SetShortCut(action->shortCut_);
    AutoCheck = action->AutoCheck;
    OnExecute = action->OnExecute;
    OnUpdate = action->OnUpdate;
    return;
  }
  TContainedAction::Assign(source);
}

bool TCustomAction::Execute() {
  Update();
  if (!enabled_) return false;
  if (AutoCheck) SetChecked(!checked_);
  return TContainedAction::Execute();
}

namespace {

// Tells every link of the action, before the action takes the value, so that a link
// can still compare its client with the old value.
template <typename Value>
void TellLinks(const std::vector<TBasicActionLink*>& clients, void (TActionLink::*setter)(Value), Value value) {
  auto copy = clients;
  for (TBasicActionLink* client : copy) {
    if (auto* link = dynamic_cast<TActionLink*>(client)) (link->*setter)(value);
  }
}

}  // namespace

void TCustomAction::SetCaption(const std::string& value) {
  if (value == caption_) return;
  TellLinks<const std::string&>(Clients(), &TActionLink::SetCaption, value);
  caption_ = value;
  Change();
}

void TCustomAction::SetHint(const std::string& value) {
  if (value == hint_) return;
  TellLinks<const std::string&>(Clients(), &TActionLink::SetHint, value);
  hint_ = value;
  Change();
}

void TCustomAction::SetEnabled(bool value) {
  if (value == enabled_) return;
  TellLinks(Clients(), &TActionLink::SetEnabled, value);
  enabled_ = value;
  Change();
}

void TCustomAction::SetChecked(bool value) {
  if (value == checked_) return;
  TellLinks(Clients(), &TActionLink::SetChecked, value);
  checked_ = value;
  Change();
}

void TCustomAction::SetVisible(bool value) {
  if (value == visible_) return;
  TellLinks(Clients(), &TActionLink::SetVisible, value);
  visible_ = value;
  Change();
}

void TCustomAction::SetImageIndex(int value) {
  if (value == imageIndex_) return;
  TellLinks(Clients(), &TActionLink::SetImageIndex, value);
  imageIndex_ = value;
  Change();
}

void TCustomAction::SetShortCut(TShortCut value) {
  if (value == shortCut_) return;
  TellLinks(Clients(), &TActionLink::SetShortCut, value);
  shortCut_ = value;
  Change();
}

bool TCustomAction::DoHint(std::string& hint) {
  if (Application != nullptr && Application->HintShortCuts && shortCut_ != scNone) {
    hint += " (" + ShortCutToText(shortCut_) + ")";
  }
  return true;
}

TCustomActionList::~TCustomActionList() {
  Destroying();
  for (TContainedAction* action : std::vector<TContainedAction*>(actions_)) action->SetActionList(nullptr);
}

bool TCustomActionList::ExecuteAction(TBasicAction* action) {
  bool handled = false;
  if (OnExecute) OnExecute(action, handled);
  return handled;
}

bool TCustomActionList::UpdateAction(TBasicAction* action) {
  bool handled = false;
  if (OnUpdate) OnUpdate(action, handled);
  return handled;
}

void TCustomActionList::UpdateActions() {
  for (TContainedAction* action : std::vector<TContainedAction*>(actions_)) action->Update();
}

TBasicActionLink::~TBasicActionLink() {
  if (action_ != nullptr) action_->UnRegisterChanges(this);
}

void TBasicActionLink::SetAction(TBasicAction* action) {
  if (action == action_) return;
  if (action_ != nullptr) action_->UnRegisterChanges(this);
  action_ = action;
  if (action_ != nullptr) action_->RegisterChanges(this);
}

bool TBasicActionLink::Execute(TComponent* component) {
  if (action_ == nullptr) return false;
  action_->ActionComponent = component;
  bool handled = action_->Execute();
  if (action_ != nullptr) action_->ActionComponent = nullptr;
  return handled;
}

bool TBasicActionLink::Update() { return action_ != nullptr && action_->Update(); }

bool TActionLink::IsCaptionLinked() const { return CustomAction() != nullptr; }
bool TActionLink::IsHintLinked() const { return CustomAction() != nullptr; }
bool TActionLink::IsEnabledLinked() const { return CustomAction() != nullptr; }
bool TActionLink::IsCheckedLinked() const { return CustomAction() != nullptr; }
bool TActionLink::IsVisibleLinked() const { return CustomAction() != nullptr; }
bool TActionLink::IsImageIndexLinked() const { return CustomAction() != nullptr; }
bool TActionLink::IsShortCutLinked() const { return CustomAction() != nullptr; }

bool TActionLink::DoShowHint(std::string& hint) {
  auto* action = CustomAction();
  return action == nullptr || action->DoHint(hint);
}
