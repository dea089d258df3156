#include "platform/base/object_registry.h"

#include <mutex>
#include <unordered_map>

namespace platform {
namespace {

struct Entry {
  std::type_index type;
  std::shared_ptr<void> owned;  // set for handed-over objects
  std::weak_ptr<void> watched;  // set for registered objects
};

struct Registry {
  std::mutex lock;
  std::unordered_map<ObjectId, Entry> entries;
  ObjectId next = 1;
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

}  // namespace

namespace detail {

ObjectId AddObject(std::shared_ptr<void> object, std::type_index type, bool owned) {
  if (!object) return 0;
  Registry& registry = TheRegistry();
  std::lock_guard guard(registry.lock);
  // Dead registrations give their ids back only here, so an id is never reused
  // while a lookup could still reach its object.
  for (;;) {
    ObjectId id = registry.next++;
    if (id == 0) continue;
    auto found = registry.entries.find(id);
    if (found != registry.entries.end()) {
      if (found->second.owned || !found->second.watched.expired()) continue;
      registry.entries.erase(found);
    }
    Entry entry{type, nullptr, {}};
    if (owned) {
      entry.owned = std::move(object);
    } else {
      entry.watched = object;
    }
    registry.entries.emplace(id, std::move(entry));
    return id;
  }
}

std::shared_ptr<void> FindObject(ObjectId id, std::type_index type, bool take) {
  Registry& registry = TheRegistry();
  std::lock_guard guard(registry.lock);
  auto found = registry.entries.find(id);
  if (found == registry.entries.end() || found->second.type != type) return nullptr;
  std::shared_ptr<void> object = found->second.owned ? found->second.owned : found->second.watched.lock();
  if (!object || take) registry.entries.erase(found);
  return object;
}

}  // namespace detail

void ForgetObject(ObjectId id) {
  std::shared_ptr<void> released;
  Registry& registry = TheRegistry();
  std::lock_guard guard(registry.lock);
  auto found = registry.entries.find(id);
  if (found == registry.entries.end()) return;
  released = std::move(found->second.owned);
  registry.entries.erase(found);
}

std::size_t RegisteredObjectCount() {
  Registry& registry = TheRegistry();
  std::lock_guard guard(registry.lock);
  return registry.entries.size();
}

}  // namespace platform
