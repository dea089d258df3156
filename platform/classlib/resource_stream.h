// A read-only stream over a resource compiled into the program
// (platform/kernel/resources.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/base/types.h"
#include "platform/classlib/exceptions.h"
#include "platform/classlib/streams.h"

inline constexpr std::string_view SResNotFound = "Resource %s not found";
inline constexpr std::string_view SCantWriteResourceStreamError = "Can't write to a read-only resource stream";

class EResNotFound : public Exception {
  using Exception::Exception;
};

class TResourceStream : public TStream {
 public:
  // Raises EResNotFound "Resource <name> not found" when the module has no such
  // resource of that type.
  TResourceStream(HINSTANCE instance, const std::string& resName, const char* resType);
  TResourceStream(HINSTANCE instance, WORD resId, const char* resType);

  std::int32_t Read(void* buffer, std::int32_t count) override;
  // Raises EStreamError "Can't write to a read-only resource stream".
  std::int32_t Write(const void* buffer, std::int32_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  std::int64_t Size() override { return size_; }
  // The size of a resource is fixed: raises as Write does.
  void SetSize(std::int64_t newSize) override;

  const std::uint8_t* Memory() const { return data_; }

 private:
  void Initialize(HINSTANCE instance, const char* name, const char* type, const std::string& shownName);
  const std::uint8_t* data_ = nullptr;
  std::int64_t size_ = 0;
  std::int64_t position_ = 0;
};
