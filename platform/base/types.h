// Scalar and handle types of the platform the program was written for, with their
// usual names, so that program code reads as it would there.
#pragma once

#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = std::uint32_t;
using ULONG = std::uint32_t;
using LONG = std::int32_t;
using INT = std::int32_t;
using BOOL = std::int32_t;
using LONGLONG = std::int64_t;
using ULONGLONG = std::uint64_t;
using WCHAR = char16_t;
using LCID = DWORD;
using LANGID = WORD;
using ATOM = WORD;

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using UINT_PTR = std::uintptr_t;
using INT_PTR = std::intptr_t;
using LONG_PTR = std::intptr_t;
using ULONG_PTR = std::uintptr_t;
using DWORD_PTR = std::uintptr_t;

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;

// Kernel object handles (files, mutexes, events, threads, processes, searches).
// Values are small multiples of four; 0 and INVALID_HANDLE_VALUE never name an object.
using HANDLE = std::intptr_t;
inline constexpr HANDLE INVALID_HANDLE_VALUE = -1;

// Window-system and drawing handles are 32-bit numbers that are never reused while
// the object they name is alive; 0 names nothing.
using HWND = std::uint32_t;
using HMENU = std::uint32_t;
using HDC = std::uint32_t;
using HGDIOBJ = std::uint32_t;
using HBITMAP = std::uint32_t;
using HBRUSH = std::uint32_t;
using HPEN = std::uint32_t;
using HFONT = std::uint32_t;
using HICON = std::uint32_t;
using HCURSOR = std::uint32_t;
using HRGN = std::uint32_t;
using HINSTANCE = std::uint32_t;
using HMODULE = std::uint32_t;
using HKEY = std::uint32_t;

struct POINT {
  LONG x;
  LONG y;
};

struct SIZE {
  LONG cx;
  LONG cy;
};

struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};

using COLORREF = DWORD;

// 100-nanosecond intervals since 1601-01-01, split in two halves.
struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};

// Security attributes handed to the calls that create files, folders, keys and
// named objects; the descriptor's layout is kept by platform/kernel/security.h.
using PSECURITY_DESCRIPTOR = void*;
struct SECURITY_ATTRIBUTES {
  DWORD nLength;
  PSECURITY_DESCRIPTOR lpSecurityDescriptor;
  BOOL bInheritHandle;
};

struct LARGE_INTEGER {
  LONGLONG QuadPart;
};

struct ULARGE_INTEGER {
  ULONGLONG QuadPart;
};

struct SYSTEMTIME {
  WORD wYear;
  WORD wMonth;
  WORD wDayOfWeek;
  WORD wDay;
  WORD wHour;
  WORD wMinute;
  WORD wSecond;
  WORD wMilliseconds;
};

constexpr WORD LOWORD(DWORD value) { return static_cast<WORD>(value & 0xFFFF); }
constexpr WORD HIWORD(DWORD value) { return static_cast<WORD>((value >> 16) & 0xFFFF); }
constexpr BYTE LOBYTE(WORD value) { return static_cast<BYTE>(value & 0xFF); }
constexpr BYTE HIBYTE(WORD value) { return static_cast<BYTE>((value >> 8) & 0xFF); }
constexpr DWORD MAKELONG(WORD low, WORD high) { return DWORD(low) | (DWORD(high) << 16); }
