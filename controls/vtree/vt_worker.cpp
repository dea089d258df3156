#include "controls/vtree/vt_worker.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "controls/vtree/vt_object.h"
#include "platform/win/message_queue.h"

namespace {

struct Job {
  TViewTreeObject* tree;
  HWND window;
};

// The one worker: its thread, its waiting list and the work signal (an automatic
// reset: one signal wakes the worker once).
class TWorkerThread {
 public:
  TWorkerThread() : thread_([this] { Run(); }) {}
  ~TWorkerThread() {
    {
      std::lock_guard guard(lock_);
      terminated_ = true;
      signalled_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  TWorkerThread(const TWorkerThread&) = delete;
  TWorkerThread& operator=(const TWorkerThread&) = delete;

  int References = 0;

  void Queue(TViewTreeObject& tree, HWND window) {
    {
      std::lock_guard guard(lock_);
      auto known = std::find_if(waiting_.begin(), waiting_.end(), [&](const Job& job) { return job.tree == &tree; });
      if (known == waiting_.end()) {
        waiting_.push_back(Job{&tree, window});
      } else {
        known->window = window;
      }
      signalled_ = true;
    }
    wake_.notify_all();
  }

  bool Unqueue(TViewTreeObject& tree) {
    std::lock_guard guard(lock_);
    return std::erase_if(waiting_, [&](const Job& job) { return job.tree == &tree; }) > 0;
  }

  bool Holds(const TViewTreeObject& tree) {
    std::lock_guard guard(lock_);
    return current_ == &tree;
  }

 private:
  void Run() {
    for (;;) {
      Job job{};
      {
        std::unique_lock guard(lock_);
        wake_.wait(guard, [this] { return signalled_; });
        signalled_ = false;
        if (terminated_) return;
        if (waiting_.empty()) continue;
        job = waiting_.front();
        waiting_.pop_front();
        current_ = job.tree;
        if (!waiting_.empty()) signalled_ = true;
      }
      Validate(job);
      std::lock_guard guard(lock_);
      current_ = nullptr;
    }
  }

  // The tree stays alive while it is the current tree: its release waits for that.
  static void Validate(const Job& job) {
    SendMessageA(job.window, WM_CHANGESTATE, ChangeValidating, ChangeUseCache);
    unsigned enter = 0;
    if (!job.tree->ValidationStopped() && job.tree->DoValidateCache()) enter = ChangeUseCache;
    const unsigned leave = ChangeStopValidation | ChangeValidating | (enter != 0 ? ChangeValidationNeeded : 0u);
    SendMessageA(job.window, WM_CHANGESTATE, enter, leave);
  }

  std::mutex lock_;
  std::condition_variable wake_;
  bool signalled_ = false;
  bool terminated_ = false;
  std::deque<Job> waiting_;
  TViewTreeObject* current_ = nullptr;
  std::thread thread_;
};

// Trees live on their own threads but acquire and release the worker there; the
// guard keeps the worker's life and reference count consistent.
std::mutex& WorkerLock() {
  static std::mutex lock;
  return lock;
}

std::unique_ptr<TWorkerThread>& Worker() {
  static std::unique_ptr<TWorkerThread> worker;
  return worker;
}

TWorkerThread* CurrentWorker() {
  std::lock_guard guard(WorkerLock());
  return Worker().get();
}

}  // namespace

void AcquireValidationWorker() {
  std::lock_guard guard(WorkerLock());
  if (!Worker()) Worker() = std::make_unique<TWorkerThread>();
  ++Worker()->References;
}

void ReleaseValidationWorker(TViewTreeObject& tree) {
  tree.StopCacheValidation();
  std::unique_ptr<TWorkerThread> ending;
  {
    std::lock_guard guard(WorkerLock());
    if (!Worker()) return;
    if (--Worker()->References == 0) ending = std::move(Worker());
  }
  // Joined outside the lock: the worker never takes it.
  ending.reset();
}

void QueueTreeForValidation(TViewTreeObject& tree, HWND window) {
  if (TWorkerThread* worker = CurrentWorker()) worker->Queue(tree, window);
}

bool UnqueueTree(TViewTreeObject& tree) {
  TWorkerThread* worker = CurrentWorker();
  return worker != nullptr && worker->Unqueue(tree);
}

bool WorkerHoldsTree(const TViewTreeObject& tree) {
  TWorkerThread* worker = CurrentWorker();
  return worker != nullptr && worker->Holds(tree);
}

bool ValidationWorkerRunning() { return CurrentWorker() != nullptr; }
