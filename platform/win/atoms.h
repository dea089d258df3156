// Atoms: names numbered the same way in every process of the user. Global atoms and
// registered window messages share one table, kept in a small file under the state
// root and guarded by a file lock, so that a second instance of the program gets the
// same numbers as the first.
#pragma once

#include <string>

#include "platform/base/types.h"

// Integer atoms travel in place of a name pointer, as the platform does.
inline const char* MAKEINTATOMA(WORD atom) {
  return reinterpret_cast<const char*>(static_cast<std::uintptr_t>(atom));
}
inline const char16_t* MAKEINTATOMW(WORD atom) {
  return reinterpret_cast<const char16_t*>(static_cast<std::uintptr_t>(atom));
}
template <typename Char>
constexpr bool IS_INTRESOURCE(const Char* name) {
  return (reinterpret_cast<std::uintptr_t>(name) >> 16) == 0;
}

inline constexpr ATOM MAXINTATOM = 0xC000;

// Names are compared without case. A name "#123" or an integer atom below MAXINTATOM
// names that integer. 0 with ERROR_INVALID_PARAMETER for an empty or over-long name.
ATOM GlobalAddAtomW(const char16_t* name);
ATOM GlobalAddAtomA(const char* name);
ATOM GlobalFindAtomW(const char16_t* name);
ATOM GlobalFindAtomA(const char* name);
UINT GlobalGetAtomNameW(ATOM atom, char16_t* buffer, int size);
UINT GlobalGetAtomNameA(ATOM atom, char* buffer, int size);
// Drops this process's reference; the name keeps its number for the user's session.
ATOM GlobalDeleteAtom(ATOM atom);

// One message number (0xC000 to 0xFFFF) per name, the same in every process.
UINT RegisterWindowMessageW(const char16_t* name);
UINT RegisterWindowMessageA(const char* name);

// Clipboard formats registered by name share the atom table (0xC000 to 0xFFFF), as on
// the platform. GetClipboardFormatNameA answers 0 for standard and unknown numbers.
UINT RegisterClipboardFormatA(const char* name);
int GetClipboardFormatNameA(UINT format, char* buffer, int size);

namespace platform::win {

// The atom of a name or integer atom (0 when none), adding it when asked.
ATOM AtomOf(const char16_t* name, bool add);
ATOM AtomOf(const char* name, bool add);

// The name of a table atom; empty for integer atoms and unknown numbers.
std::u16string AtomName(ATOM atom);

// Copies text into a caller's buffer of `size` units as the platform's text calls do:
// cut to size - 1 and terminated; answers the units copied (0 without a buffer). The
// 8-bit form is converted to the code page.
std::size_t CopyTextOut(std::u16string_view text, char16_t* buffer, std::size_t size);
std::size_t CopyTextOut(std::u16string_view text, char* buffer, std::size_t size);

}  // namespace platform::win
