// The root of the class library's objects and its plain notification event.
#pragma once

#include <functional>

// Base of every class-library object that can be attached to a list entry or be
// the sender of an event.
class TObject {
 public:
  virtual ~TObject();
};

using TNotifyEvent = std::function<void(TObject* sender)>;
