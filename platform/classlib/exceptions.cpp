#include "platform/classlib/exceptions.h"

#include "platform/base/errors.h"

std::string Format(std::string_view pattern, std::initializer_list<std::string_view> args) {
  std::string out;
  auto next = args.begin();
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    const char following = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
    if (c == '%' && following == '%') {
      out.push_back('%');
      ++i;
    } else if (c == '%' && (following == 's' || following == 'd') && next != args.end()) {
      out.append(*next++);
      ++i;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::string SysErrorMessage(DWORD code) {
  char buffer[256];
  DWORD length = FormatMessageA(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ARGUMENT_ARRAY,
      nullptr, code, 0, buffer, sizeof buffer, nullptr);
  while (length > 0 && (static_cast<unsigned char>(buffer[length - 1]) <= 32 || buffer[length - 1] == '.')) {
    --length;
  }
  return std::string(buffer, length);
}

void RaiseLastOSError() {
  const DWORD code = GetLastError();
  if (code == ERROR_SUCCESS) throw EOSError(code, std::string(SUnkOSError));
  throw EOSError(code, Format(SOSError, {std::to_string(code), SysErrorMessage(code)}));
}

void Win32Check(BOOL result) {
  if (!result) RaiseLastOSError();
}
