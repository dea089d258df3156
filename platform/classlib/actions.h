// Actions and action links: an action carries a command (execute and update events)
// and, for custom actions, a caption, hint and states that it pushes into the
// controls and menu items linked to it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/classlib/component.h"
#include "platform/classlib/menus.h"

class TBasicActionLink;
class TCustomActionList;

class TBasicAction : public TComponent {
 public:
  explicit TBasicAction(TComponent* owner) : TComponent(owner) {}
  ~TBasicAction() override;
  std::string ClassName() const override { return "TBasicAction"; }

  // True when something handled the action.
  virtual bool Execute();
  virtual bool Update();
  TNotifyEvent OnExecute;
  TNotifyEvent OnUpdate;
  TNotifyEvent OnChange;
  TComponent* ActionComponent = nullptr;

  void RegisterChanges(TBasicActionLink* link);
  void UnRegisterChanges(TBasicActionLink* link);
  const std::vector<TBasicActionLink*>& Clients() const { return clients_; }

 protected:
  virtual void Change();

 private:
  std::vector<TBasicActionLink*> clients_;
};

class TContainedAction : public TBasicAction {
 public:
  using TBasicAction::TBasicAction;
  ~TContainedAction() override;
  std::string ClassName() const override { return "TContainedAction"; }
  std::string Category;
  // Executes through its action list first, then the application, then the action's
  // own event, then as CM_ACTIONEXECUTE to the application window.
  bool Execute() override;
  // Updates through its action list first, then the action's own event.
  bool Update() override;
  TCustomActionList* ActionList() const { return actionList_; }
  // Moves the action into a list (null: out of any).
  void SetActionList(TCustomActionList* list);

 private:
  TCustomActionList* actionList_ = nullptr;
};

// A list of actions that may handle their execution and update itself. Ownership: the
// list's owner owns the actions as usual; the list only lists them.
class TCustomActionList : public TComponent {
 public:
  using TComponent::TComponent;
  ~TCustomActionList() override;
  std::string ClassName() const override { return "TCustomActionList"; }
  int ActionCount() const { return static_cast<int>(actions_.size()); }
  TContainedAction* Actions(int index) const { return actions_.at(index); }
  // True when the list's event handled the action.
  virtual bool ExecuteAction(TBasicAction* action);
  virtual bool UpdateAction(TBasicAction* action);
  // Updates every action of the list (the application's idle step calls it).
  void UpdateActions();
  std::function<void(TBasicAction* action, bool& handled)> OnExecute;
  std::function<void(TBasicAction* action, bool& handled)> OnUpdate;

 private:
  friend class TContainedAction;
  std::vector<TContainedAction*> actions_;
};

class TActionList : public TCustomActionList {
 public:
  using TCustomActionList::TCustomActionList;
  std::string ClassName() const override { return "TActionList"; }
};

class TCustomAction : public TContainedAction {
 public:
  explicit TCustomAction(TComponent* owner);
  std::string ClassName() const override { return "TCustomAction"; }
  void Assign(const TPersistent* source) override;
  bool Execute() override;

  const std::string& Caption() const { return caption_; }
  virtual void SetCaption(const std::string& value);
  const std::string& Hint() const { return hint_; }
  virtual void SetHint(const std::string& value);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  bool Checked() const { return checked_; }
  void SetChecked(bool value);
  bool Visible() const { return visible_; }
  void SetVisible(bool value);
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int value);
  TShortCut ShortCut() const { return shortCut_; }
  void SetShortCut(TShortCut value);
  bool AutoCheck = false;
  // Before the hint of a linked control shows: with the application's HintShortCuts
  // the shortcut's text follows in brackets. False refuses the hint.
  virtual bool DoHint(std::string& hint);

 private:
  std::string caption_;
  std::string hint_;
  bool enabled_ = true;
  bool checked_ = false;
  bool visible_ = true;
  int imageIndex_ = -1;
  TShortCut shortCut_ = scNone;
};

class TAction : public TCustomAction {
 public:
  using TCustomAction::TCustomAction;
  std::string ClassName() const override { return "TAction"; }
};

// The action the application executes to show a hint.
class THintAction : public TCustomAction {
 public:
  using TCustomAction::TCustomAction;
  std::string ClassName() const override { return "THintAction"; }
};

// Ownership: a link belongs to its client (control or menu item), which frees it.
class TBasicActionLink : public TObject {
 public:
  TBasicActionLink() = default;
  ~TBasicActionLink() override;
  TBasicActionLink(const TBasicActionLink&) = delete;
  TBasicActionLink& operator=(const TBasicActionLink&) = delete;
  TBasicAction* Action() const { return action_; }
  virtual void SetAction(TBasicAction* action);
  virtual bool Execute(TComponent* component);
  virtual bool Update();

 protected:
  TBasicAction* action_ = nullptr;
};

class TActionLink : public TBasicActionLink {
 public:
  virtual bool IsCaptionLinked() const;
  virtual bool IsHintLinked() const;
  virtual bool IsEnabledLinked() const;
  virtual bool IsCheckedLinked() const;
  virtual bool IsVisibleLinked() const;
  virtual bool IsImageIndexLinked() const;
  virtual bool IsShortCutLinked() const;
  // The linked action's word on a hint about to show (see TCustomAction::DoHint).
  bool DoShowHint(std::string& hint);
  virtual void SetCaption(const std::string&) {}
  virtual void SetHint(const std::string&) {}
  virtual void SetEnabled(bool) {}
  virtual void SetChecked(bool) {}
  virtual void SetVisible(bool) {}
  virtual void SetImageIndex(int) {}
  virtual void SetShortCut(TShortCut) {}

 protected:
  TCustomAction* CustomAction() const { return dynamic_cast<TCustomAction*>(action_); }
};

// A link that keeps a client's caption, hint, enabled and visible states with the
// action's, each only while the client still shows the action's value (a client
// changed by hand keeps its own). Controls and menu items are such clients.
template <typename TClient>
class TClientActionLink : public TActionLink {
 public:
  explicit TClientActionLink(TClient* client) : client_(client) {}
  bool IsCaptionLinked() const override {
    return TActionLink::IsCaptionLinked() && client_->Caption() == CustomAction()->Caption();
  }
  bool IsHintLinked() const override {
    return TActionLink::IsHintLinked() && client_->Hint() == CustomAction()->Hint();
  }
  bool IsEnabledLinked() const override {
    return TActionLink::IsEnabledLinked() && client_->Enabled() == CustomAction()->Enabled();
  }
  bool IsVisibleLinked() const override {
    return TActionLink::IsVisibleLinked() && client_->Visible() == CustomAction()->Visible();
  }
  void SetCaption(const std::string& value) override {
    if (IsCaptionLinked()) client_->SetCaption(value);
  }
  void SetHint(const std::string& value) override {
    if (IsHintLinked()) client_->SetHint(value);
  }
  void SetEnabled(bool value) override {
    if (IsEnabledLinked()) client_->SetEnabled(value);
  }
  void SetVisible(bool value) override {
    if (IsVisibleLinked()) client_->SetVisible(value);
  }
  TClient* Client() const { return client_; }

 protected:
  TClient* client_;
};
