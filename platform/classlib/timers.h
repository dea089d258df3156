// The timer component: OnTimer every Interval milliseconds while Enabled, through a
// hidden window of its own and the window system's timers.
#pragma once

#include "platform/classlib/controls.h"

class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* owner);
  ~TTimer() override;
  std::string ClassName() const override { return "TTimer"; }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  unsigned Interval() const { return interval_; }
  void SetInterval(unsigned interval);
  // The timer runs only while it has a handler.
  void SetOnTimer(TNotifyEvent handler);

 private:
  TNotifyEvent onTimer_;
  void UpdateTimer();
  void WndProc(TMessage& message);
  HWND window_ = 0;
  bool enabled_ = true;
  unsigned interval_ = 1000;
};
