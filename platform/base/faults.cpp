#include "platform/base/faults.h"

#include <atomic>
#include <map>
#include <mutex>
#include <string>

#include "platform/base/errors.h"

namespace platform::faults {
namespace {

struct Plan {
  int count = 0;
  DWORD error = ERROR_SUCCESS;
};

struct Plans {
  std::mutex lock;
  std::map<std::string, Plan, std::less<>> byOperation;
  std::atomic<int> total{0};  // lets ShouldFail skip the lock when nothing is planned
};

Plans& ThePlans() {
  static Plans plans;
  return plans;
}

}  // namespace

void FailNext(std::string_view operation, int count, DWORD error) {
  Plans& plans = ThePlans();
  std::lock_guard guard(plans.lock);
  Plan& plan = plans.byOperation[std::string(operation)];
  plans.total += count - plan.count;
  plan = Plan{count, error};
}

bool ShouldFail(std::string_view operation) {
  Plans& plans = ThePlans();
  if (plans.total.load(std::memory_order_acquire) == 0) return false;
  std::lock_guard guard(plans.lock);
  auto found = plans.byOperation.find(operation);
  if (found == plans.byOperation.end() || found->second.count == 0) return false;
  --found->second.count;
  --plans.total;
  SetLastError(found->second.error);
  return true;
}

int Pending(std::string_view operation) {
  Plans& plans = ThePlans();
  std::lock_guard guard(plans.lock);
  auto found = plans.byOperation.find(operation);
  return found == plans.byOperation.end() ? 0 : found->second.count;
}

void ClearAll() {
  Plans& plans = ThePlans();
  std::lock_guard guard(plans.lock);
  plans.byOperation.clear();
  plans.total = 0;
}

}  // namespace platform::faults
