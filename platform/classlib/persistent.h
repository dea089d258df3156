// The class library's persistent base: assignment between objects and the hook
// through which an object declares extra data for the component streaming system.
#pragma once

#include <functional>
#include <string>

#include "platform/classlib/exceptions.h"
#include "platform/classlib/object.h"
#include "platform/classlib/streams.h"

// "Cannot assign a <source> to a <destination>" and other conversion failures.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// The component streaming system's side of DefineProperties: an object declares a
// binary property by name, with its reader, its writer and whether it has data to store.
class TFiler {
 public:
  virtual ~TFiler() = default;
  virtual void DefineBinaryProperty(const std::string& name, const std::function<void(TStream&)>& read,
                                    const std::function<void(TStream&)>& write, bool hasData) = 0;
};

class TPersistent : public TObject {
 public:
  virtual std::string ClassName() const { return "TPersistent"; }
  // Copies source into this object; the default hands over to the source's AssignTo.
  virtual void Assign(const TPersistent* source);
  virtual void DefineProperties(TFiler& filer);

 protected:
  // The default raises EConvertError for an assignment between unrelated classes.
  virtual void AssignTo(TPersistent* destination) const;
};
