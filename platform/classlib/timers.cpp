#include "platform/classlib/timers.h"

#include "platform/classlib/forms.h"

TTimer::TTimer(TComponent* owner) : TComponent(owner) {
  window_ = AllocateHWnd([this](TMessage& message) { WndProc(message); });
  UpdateTimer();
}

TTimer::~TTimer() {
  Destroying();
  KillTimer(window_, 1);
  DeallocateHWnd(window_);
}

void TTimer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  UpdateTimer();
}

void TTimer::SetInterval(unsigned interval) {
  if (interval == interval_) return;
  interval_ = interval;
  UpdateTimer();
}

void TTimer::SetOnTimer(TNotifyEvent handler) {
  onTimer_ = std::move(handler);
  UpdateTimer();
}

void TTimer::UpdateTimer() {
  KillTimer(window_, 1);
  if (interval_ != 0 && enabled_ && onTimer_) {
    if (SetTimer(window_, 1, interval_, nullptr) == 0) throw EOutOfResources("Not enough timers available");
  }
}

void TTimer::WndProc(TMessage& message) {
  if (message.Msg != WM_TIMER) {
    message.Result = DefWindowProcA(window_, message.Msg, message.WParam, message.LParam);
    return;
  }
  if (!onTimer_) return;
  try {
    onTimer_(this);
  } catch (const Exception& error) {
    if (Application == nullptr) throw;
    Application->HandleException(this, error);
  }
}
