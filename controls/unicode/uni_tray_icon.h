// The notification-area icon: a still or animated icon with a wide tip and balloon,
// whose mouse messages come back through a hidden window of its own and become
// events; the right button's release opens its popup menu.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/classlib/icons.h"
#include "platform/classlib/menu_items.h"
#include "platform/classlib/timers.h"
#include "platform/shell/notify_icon.h"

enum class TBalloonFlags { bfNone = NIIF_NONE, bfInfo = NIIF_INFO, bfWarning = NIIF_WARNING, bfError = NIIF_ERROR };

using TMouseEvent = std::function<void(TObject* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(TObject* sender, TShiftState shift, int x, int y)>;

// Ownership: the owner frees it; it owns its two icons, its timer and its window, and
// refers to Icons and PopupMenu without owning them.
class TUniTrayIcon : public TComponent {
 public:
  static constexpr UINT kCallbackMessage = WM_USER + 1;
  static constexpr UINT kRecordSize = 936;

  explicit TUniTrayIcon(TComponent* owner);
  ~TUniTrayIcon() override;
  std::string ClassName() const override { return "TUniTrayIcon"; }

  bool Visible() const { return visible_; }
  virtual void SetVisible(bool value);
  int IconIndex() const { return iconIndex_; }
  virtual void SetIconIndex(int value);
  TImageList* Icons() const { return icons_; }
  void SetIcons(TImageList* value);
  TIcon& Icon() { return icon_; }
  void SetIcon(const TIcon& value);
  TIcon& CurrentIcon() { return currentIcon_; }
  bool Animate() const { return animate_; }
  void SetAnimate(bool value);
  unsigned AnimateInterval() const { return timer_->Interval(); }
  void SetAnimateInterval(unsigned value) { timer_->SetInterval(value); }
  const std::u16string& Hint() const { return hint_; }
  void SetHint(const std::u16string& value);
  const std::u16string& BalloonHint() const { return balloonHint_; }
  void SetBalloonHint(const std::u16string& value);
  const std::u16string& BalloonTitle() const { return balloonTitle_; }
  void SetBalloonTitle(const std::u16string& value);
  UINT BalloonTimeout() const { return Data.uTimeout; }
  void SetBalloonTimeout(UINT value) { Data.uTimeout = value; }
  TBalloonFlags BalloonFlags = TBalloonFlags::bfNone;
  TPopupMenu* PopupMenu = nullptr;
  TTimer* Timer() const { return timer_.get(); }

  virtual void ShowBalloonHint();
  void Refresh();

  NOTIFYICONDATAW Data{};
  bool IsClicked = false;

  TMouseMoveEvent OnMouseMove;
  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TNotifyEvent OnAnimate;

 protected:
  virtual void WindowProc(TMessage& message);
  virtual void OnAnimateTimer(TObject* sender);
  void Notification(TComponent* component, TOperation operation) override;

 private:
  bool Designing() const { return (ComponentState() & csDesigning) != 0; }
  void SetDefaultIcon();
  void ShowFrame();
  void HandleMouse(UINT mouseMessage);
  bool Notify(DWORD message);

  bool animate_ = false;
  bool visible_ = false;
  int iconIndex_ = 0;
  TIcon currentIcon_;
  TIcon icon_;
  TImageList* icons_ = nullptr;
  std::unique_ptr<TTimer> timer_;
  std::u16string hint_;
  std::u16string balloonHint_;
  std::u16string balloonTitle_;
  HWND window_ = 0;
};
