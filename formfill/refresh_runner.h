// A job that hands something to the host toolbar on a thread of its own, one thread at
// a time: a request while the job runs is not lost but makes it run once more.
#pragma once

#include <atomic>
#include <functional>

#include "platform/base/types.h"

class TRefreshRunner {
 public:
  explicit TRefreshRunner(std::function<void()> body) : body_(std::move(body)) {}
  TRefreshRunner(const TRefreshRunner&) = delete;
  TRefreshRunner& operator=(const TRefreshRunner&) = delete;

  // Starts the thread, or leaves one more run to the running thread.
  void Request();
  bool Running() const { return running_.load(); }
  // Waits until no thread runs; false when Timeout passed first.
  bool Wait(DWORD timeout) const;

 private:
  void Run();

  std::function<void()> body_;
  // Both atomic: a request may come while the thread finishes.
  std::atomic<bool> running_{false};
  std::atomic<bool> again_{false};
};
