// The wide-or-8-bit system-call wrappers of the Unicode layer. Each has the wide
// call's signature; as this system is of the wide-call family only, each is the wide
// call itself.
#pragma once

#include "platform/base/types.h"
#include "platform/fs/files.h"
#include "platform/gdi/device_context.h"
#include "platform/win/window.h"

HANDLE WideCreateFile(const char16_t* name, DWORD access, DWORD share, SECURITY_ATTRIBUTES* security,
                      DWORD disposition, DWORD flags, HANDLE templateFile);
BOOL WideGetStringTypeEx(LCID locale, DWORD infoType, const char16_t* text, int count, WORD* types);
DWORD WideGetFullPathName(const char16_t* name, DWORD bufferLength, char16_t* buffer, char16_t** filePart);
BOOL WideSetWindowText(HWND window, const char16_t* text);
int WideDrawText(HDC dc, const char16_t* text, int count, RECT* rect, UINT format);
