// Wide text services of the Unicode layer: case mapping, replacement with word and
// case options, character types, files by wide name, the system's error texts, and
// the hot-key ("&") services of captions.
#pragma once

#include <string>
#include <string_view>

#include "platform/base/types.h"

// Case mapping of a whole wide string (the length never changes).
std::u16string UpperCaseWide(std::u16string_view s);
std::u16string LowerCaseWide(std::u16string_view s);

// S without leading and trailing blanks and control characters (code 32 and below).
std::u16string WideTrim(std::u16string_view s);

// Flags of WideStringReplace.
inline constexpr int rfReplaceAll = 1;
inline constexpr int rfIgnoreCase = 2;

// S with OldPattern replaced by NewPattern: the first occurrence, or all with
// rfReplaceAll; without case with rfIgnoreCase; with wholeWord only occurrences with a
// word delimiter (or the text's edge) on both sides. An empty pattern never matches.
std::u16string WideStringReplace(std::u16string_view s, std::u16string_view oldPattern,
                                 std::u16string_view newPattern, bool wholeWord, int flags);

// The CT_CTYPE1 (or other) type word of one character in the thread's locale; raises
// EOSError when the system cannot tell.
WORD GetWideCharType(char16_t c, DWORD infoType);
bool IsWideCharSpace(char16_t c);
bool IsWideCharPunct(char16_t c);
// NUL, a space or a punctuation character.
bool IsWideWordDelimiter(char16_t c);
// The 1-based position of the last character of s found in delimiters (a NUL of s
// never matches), 0 when there is none.
int WideLastDelimiter(std::u16string_view delimiters, std::u16string_view s);

// Files by wide name. WideFileCreate creates or empties a file for reading and writing,
// shared with nobody; WideFileOpen opens an existing file with a class-library file
// mode (access 0 to 2 in the low bits, sharing 0 to 4 in bits 4 to 7; other values
// fail with ERROR_INVALID_PARAMETER). Both answer INVALID_HANDLE_VALUE on failure with
// the last error set.
HANDLE WideFileCreate(std::u16string_view name);
HANDLE WideFileOpen(std::u16string_view name, WORD mode);
// The full path of a name; longer paths than 260 characters get a larger buffer.
std::u16string WideExpandFileName(std::u16string_view name);

// The system's text for a code as the system gives it (trailing line break included),
// or "Unspecified error (<code>) from <module name>." when it has none.
std::u16string WideSysErrorMessage(DWORD code);
std::u16string WideModuleErrorMessage(std::u16string_view moduleName, HMODULE module, DWORD code);

// Hot keys of captions: the character after a single "&" ("&&" is a literal "&").
// The 1-based position of the last hot-key character, 0 when there is none.
// A menu shortcut's text with the key names of the current keyboard layout.
std::u16string WideShortCutToText(WORD shortCut);

int WideGetHotKeyPos(std::u16string_view caption);
std::u16string WideGetHotKey(std::u16string_view caption);
// Every single "&" removed, every "&&" made "&".
std::u16string WideStripHotKey(std::u16string_view text);
// The captions without hot keys are equal without case / with case.
bool WideSameCaption(std::u16string_view a, std::u16string_view b);
bool WideSameCaptionStr(std::u16string_view a, std::u16string_view b);
