// The windows the main window opens. Windows that this program does not have yet are
// opened through this interface; the recording launcher notes each request in the
// debug log and keeps it, so that a request is never lost silently.
#pragma once

#include <mutex>
#include <string>
#include <vector>

enum class TDialogKind { BookmarkBrowser, HistoryBrowser, PasswordGenerator, Settings, Splash, HelpTopic };

const char* DialogKindName(TDialogKind kind);

class TDialogLauncher {
 public:
  virtual ~TDialogLauncher() = default;
  virtual void Launch(TDialogKind kind, long argument) = 0;
};

struct TDialogRequest {
  TDialogKind Kind;
  long Argument;
  bool operator==(const TDialogRequest&) const = default;
};

class TRecordingLauncher : public TDialogLauncher {
 public:
  void Launch(TDialogKind kind, long argument) override;
  std::vector<TDialogRequest> Requests() const;

 private:
  mutable std::mutex lock_;
  std::vector<TDialogRequest> requests_;
};
