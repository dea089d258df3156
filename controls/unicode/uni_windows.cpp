#include "controls/unicode/uni_windows.h"

#include "platform/base/text.h"

HANDLE WideCreateFile(const char16_t* name, DWORD access, DWORD share, SECURITY_ATTRIBUTES* security,
                      DWORD disposition, DWORD flags, HANDLE templateFile) {
  return CreateFileW(name, access, share, security, disposition, flags, templateFile);
}

BOOL WideGetStringTypeEx(LCID locale, DWORD infoType, const char16_t* text, int count, WORD* types) {
  return GetStringTypeExW(locale, infoType, text, count, types);
}

DWORD WideGetFullPathName(const char16_t* name, DWORD bufferLength, char16_t* buffer, char16_t** filePart) {
  return GetFullPathNameW(name, bufferLength, buffer, filePart);
}

BOOL WideSetWindowText(HWND window, const char16_t* text) { return SetWindowTextW(window, text); }

int WideDrawText(HDC dc, const char16_t* text, int count, RECT* rect, UINT format) {
  return DrawTextW(dc, text, count, rect, format);
}
