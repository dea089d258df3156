// Object ids: objects that travel between threads, processes, messages, property
// stores or texts travel as 32-bit ids, never as pointers. An id is never 0 and is
// never reused while its object is alive; the receiver looks it up and gets nothing
// for an id that is unknown, dead, or names an object of another type.
#pragma once

#include <cstdint>
#include <memory>
#include <typeindex>

namespace platform {

using ObjectId = std::uint32_t;

namespace detail {
ObjectId AddObject(std::shared_ptr<void> object, std::type_index type, bool owned);
std::shared_ptr<void> FindObject(ObjectId id, std::type_index type, bool take);
}  // namespace detail

// Registers an object that lives elsewhere: the registry holds only a weak reference,
// and the id answers nothing once the object is gone.
template <typename T>
ObjectId RegisterObject(const std::shared_ptr<T>& object) {
  return detail::AddObject(std::static_pointer_cast<void>(object), typeid(T), false);
}

// Hands an object over: the registry owns it until a receiver takes it with
// TakeObject (or it is dropped by ForgetObject).
template <typename T>
ObjectId HandOverObject(std::shared_ptr<T> object) {
  return detail::AddObject(std::static_pointer_cast<void>(std::move(object)), typeid(T), true);
}

// The object of a live id registered as T, or null.
template <typename T>
std::shared_ptr<T> LookupObject(ObjectId id) {
  return std::static_pointer_cast<T>(detail::FindObject(id, typeid(T), false));
}

// Looks the object up and removes its id: the caller now holds the only reference
// that the registry had.
template <typename T>
std::shared_ptr<T> TakeObject(ObjectId id) {
  return std::static_pointer_cast<T>(detail::FindObject(id, typeid(T), true));
}

// Removes an id; a handed-over object that nobody took is released.
void ForgetObject(ObjectId id);

// Number of ids in the table (live or not yet cleaned); for tests of leaks.
std::size_t RegisteredObjectCount();

}  // namespace platform
