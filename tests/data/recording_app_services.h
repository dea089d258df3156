// A stand-in for the main window's services that records every call and answers
// what the test sets. Installed for its lifetime.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

#include "data/app_services.h"

struct RecordedCall {
  enum Kind { kPost, kSend, kCheckUnlock, kIsUnlocked, kScanRequest } kind;
  WPARAM command = 0;
  LPARAM argument = 0;
  HWND owner = 0;
  int flag = 0;
  bool mayAsk = false;
};

class RecordingAppServices : public TAppServices {
 public:
  RecordingAppServices() { InstallAppServices(this); }
  ~RecordingAppServices() override { InstallAppServices(nullptr); }

  bool PostToMainWindow(WPARAM command, LPARAM argument) override {
    return Record({RecordedCall::kPost, command, argument}), postAnswer;
  }
  LRESULT SendToMainWindow(WPARAM command, LPARAM argument) override {
    Record({RecordedCall::kSend, command, argument});
    return sendHandler ? sendHandler(command, argument) : sendAnswer.load();
  }
  bool CheckUnlock(HWND ownerWnd, int flag, bool mayAsk) override {
    return Record({RecordedCall::kCheckUnlock, 0, 0, ownerWnd, flag, mayAsk}), unlocked;
  }
  bool IsUnlocked() override { return Record({RecordedCall::kIsUnlocked}), unlocked; }
  bool PostScanRequest() override { return Record({RecordedCall::kScanRequest}), postAnswer; }
  bool InstallerWindowExists() override { return installerWindow.load(); }
  bool AnyDialogOpen() override { return dialogOpen.load(); }

  std::vector<RecordedCall> Calls() {
    std::lock_guard<std::mutex> hold(mutex_);
    return calls_;
  }

  std::atomic<bool> postAnswer{true};
  std::atomic<LRESULT> sendAnswer{0};
  // Answers sent messages instead of SendAnswer when set (set it before any thread
  // can send).
  std::function<LRESULT(WPARAM, LPARAM)> sendHandler;
  std::atomic<bool> unlocked{true};
  std::atomic<bool> installerWindow{false};
  std::atomic<bool> dialogOpen{false};

 private:
  void Record(RecordedCall call) {
    std::lock_guard<std::mutex> hold(mutex_);
    calls_.push_back(call);
  }
  std::mutex mutex_;
  std::vector<RecordedCall> calls_;
};
