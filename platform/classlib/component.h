// Components: objects with a name, an owner that frees them, and free notification
// so that a component holding a reference to another hears when that one goes.
#pragma once

#include <string>
#include <vector>

#include "platform/classlib/persistent.h"

enum class TOperation { opInsert, opRemove };

// Component state flags.
inline constexpr unsigned csLoading = 0x01;
inline constexpr unsigned csDestroying = 0x08;
inline constexpr unsigned csDesigning = 0x10;

// Ownership: a component belongs to its owner, which frees it in its own destructor;
// a component without an owner belongs to whoever made it. Freeing a component
// removes it from its owner and tells every component that asked for a free
// notification.
class TComponent : public TPersistent {
 public:
  explicit TComponent(TComponent* owner);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  std::string ClassName() const override { return "TComponent"; }

  TComponent* Owner() const { return owner_; }
  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const { return components_.at(index); }
  TComponent* FindComponent(const std::string& name) const;
  const std::string& Name() const { return name_; }
  virtual void SetName(const std::string& name);
  unsigned ComponentState() const { return state_; }
  long Tag = 0;

  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);
  // Frees the owned components, the last first.
  void DestroyComponents();

  // Asks to be told (Notification with opRemove) when `component` is freed.
  void FreeNotification(TComponent* component);
  void RemoveFreeNotification(TComponent* component);

  // Sets csLoading around reading, then calls Loaded.
  void BeginLoading();
  void EndLoading();

 protected:
  virtual void Notification(TComponent* component, TOperation operation);
  virtual void Loaded();
  // Marks the component as being destroyed; derived destructors call it first.
  void Destroying();

 private:
  TComponent* owner_ = nullptr;
  std::string name_;
  unsigned state_ = 0;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> freeNotifies_;  // both ways: each side keeps the other
};
