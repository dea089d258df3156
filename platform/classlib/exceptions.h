// The class library's exceptions: a base carrying an 8-bit message text, the
// stream and list errors, and the library's own texts for them.
#pragma once

#include <cstdint>
#include <exception>
#include <initializer_list>
#include <string>
#include <string_view>

#include "platform/base/types.h"

// The library's texts; "%s" and "%d" are filled by Format.
inline constexpr std::string_view SReadError = "Stream read error";
inline constexpr std::string_view SWriteError = "Stream write error";
inline constexpr std::string_view SFCreateErrorEx = "Cannot create file \"%s\". %s";
inline constexpr std::string_view SFOpenErrorEx = "Cannot open file \"%s\". %s";
inline constexpr std::string_view SMemoryStreamError = "Out of memory while expanding memory stream";
inline constexpr std::string_view SListIndexError = "List index out of bounds (%d)";
inline constexpr std::string_view SListCapacityError = "List capacity out of bounds (%d)";
inline constexpr std::string_view SSortedListError = "Operation not allowed on sorted list";
inline constexpr std::string_view SDuplicateString = "String list does not allow duplicates";
inline constexpr std::string_view SInvalidPropertyValue = "Invalid property value";
inline constexpr std::string_view SOSError = "System Error.  Code: %d.\r\n%s";
inline constexpr std::string_view SUnkOSError = "A call to an OS function failed";

// Replaces each "%s" or "%d" of the pattern, in order, with the next argument (given
// as text) and "%%" with "%"; a placeholder without an argument stays as it is.
std::string Format(std::string_view pattern, std::initializer_list<std::string_view> args);

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  Exception(std::string_view pattern, std::initializer_list<std::string_view> args)
      : message_(Format(pattern, args)) {}
  const std::string& Message() const { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

class EStreamError : public Exception {
  using Exception::Exception;
};
class EFCreateError : public EStreamError {
  using EStreamError::EStreamError;
};
class EFOpenError : public EStreamError {
  using EStreamError::EStreamError;
};
class EFilerError : public EStreamError {
  using EStreamError::EStreamError;
};
class EReadError : public EFilerError {
  using EFilerError::EFilerError;
};
class EWriteError : public EFilerError {
  using EFilerError::EFilerError;
};
class EListError : public Exception {
  using Exception::Exception;
};
class EStringListError : public Exception {
  using Exception::Exception;
};

// A failed system call: the code and the system's text.
class EOSError : public Exception {
 public:
  EOSError(DWORD code, std::string message) : Exception(std::move(message)), ErrorCode(code) {}
  DWORD ErrorCode;
};

// A failed OLE call: its result code (an HRESULT) and the system's text for it.
class EOleSysError : public Exception {
 public:
  EOleSysError(std::string message, std::int32_t code) : Exception(std::move(message)), ErrorCode(code) {}
  std::int32_t ErrorCode;
};

// The system's text for a code, without the trailing line break and full stop.
std::string SysErrorMessage(DWORD code);

// Raises EOSError for the calling thread's last error.
[[noreturn]] void RaiseLastOSError();

// Raises EOSError unless the call answered TRUE.
void Win32Check(BOOL result);
