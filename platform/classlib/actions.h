// Actions and action links: an action carries a command (execute and update events)
// and, for custom actions, a caption, hint and states that it pushes into the
// controls and menu items linked to it.
#pragma once

#include <string>
#include <vector>

#include "platform/classlib/component.h"

class TBasicActionLink;

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
  std::string ClassName() const override { return "TContainedAction"; }
  std::string Category;
  // Executes through the application first, then the action's own event, then as
  // CM_ACTIONEXECUTE to the application window.
  bool Execute() override;
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
  bool AutoCheck = false;

 private:
  std::string caption_;
  std::string hint_;
  bool enabled_ = true;
  bool checked_ = false;
  bool visible_ = true;
  int imageIndex_ = -1;
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
  virtual void SetCaption(const std::string&) {}
  virtual void SetHint(const std::string&) {}
  virtual void SetEnabled(bool) {}
  virtual void SetChecked(bool) {}
  virtual void SetVisible(bool) {}
  virtual void SetImageIndex(int) {}

 protected:
  TCustomAction* CustomAction() const { return dynamic_cast<TCustomAction*>(action_); }
};
