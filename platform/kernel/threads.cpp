#include "platform/kernel/threads.h"

#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/base/errors.h"
#include "platform/base/faults.h"
#include "platform/kernel/waits.h"

namespace {

class ThreadObject : public platform::Waitable {
 public:
  explicit ThreadObject(bool suspended) : suspended_(suspended) {}

  DWORD Wait(DWORD milliseconds) override {
    std::unique_lock hold(lock_);
    auto ended = [this] { return done_; };
    if (milliseconds == INFINITE) {
      changed_.wait(hold, ended);
      return WAIT_OBJECT_0;
    }
    return changed_.wait_for(hold, std::chrono::milliseconds(milliseconds), ended) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
  }

  // Runs on the new thread.
  void Run(LPTHREAD_START_ROUTINE routine, void* parameter) {
    {
      std::unique_lock hold(lock_);
      id_ = static_cast<DWORD>(gettid());
      changed_.notify_all();
      changed_.wait(hold, [this] { return !suspended_; });
    }
    DWORD code = routine(parameter);
    std::lock_guard hold(lock_);
    exitCode_ = code;
    done_ = true;
    changed_.notify_all();
  }

  DWORD Resume() {
    std::lock_guard hold(lock_);
    DWORD previous = suspended_ ? 1 : 0;
    suspended_ = false;
    changed_.notify_all();
    return previous;
  }

  DWORD WaitForId() {
    std::unique_lock hold(lock_);
    changed_.wait(hold, [this] { return id_ != 0; });
    return id_;
  }

  DWORD ExitCode() {
    std::lock_guard hold(lock_);
    return done_ ? exitCode_ : STILL_ACTIVE;
  }

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  bool suspended_;
  bool done_ = false;
  DWORD id_ = 0;
  DWORD exitCode_ = 0;
};

}  // namespace

HANDLE CreateThread(const SECURITY_ATTRIBUTES* /*security*/, std::size_t /*stackSize*/,
                    LPTHREAD_START_ROUTINE routine, void* parameter, DWORD flags, DWORD* threadId) {
  if (platform::faults::ShouldFail("CreateThread")) return 0;
  if (!routine) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  auto object = std::make_shared<ThreadObject>((flags & CREATE_SUSPENDED) != 0);
  try {
    // The thread keeps its object alive until its routine has returned.
    std::thread([object, routine, parameter] { object->Run(routine, parameter); }).detach();
  } catch (const std::system_error&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  DWORD id = object->WaitForId();
  if (threadId) *threadId = id;
  return platform::OpenHandle(object);
}

DWORD ResumeThread(HANDLE thread) {
  auto object = platform::HandleObjectAs<ThreadObject>(thread);
  return object ? object->Resume() : static_cast<DWORD>(-1);
}

BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode) {
  auto object = platform::HandleObjectAs<ThreadObject>(thread);
  if (!object || !exitCode) return FALSE;
  *exitCode = object->ExitCode();
  return TRUE;
}

DWORD GetCurrentThreadId() { return static_cast<DWORD>(gettid()); }
