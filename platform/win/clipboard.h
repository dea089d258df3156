// The clipboard: one store of the process, opened by one thread at a time, holding a
// global memory block per format. Text set in one of CF_TEXT (8-bit code page) and
// CF_UNICODETEXT is handed out in the other as well, converted. This store is the one
// clipboard of the window system; a desktop clipboard, when there is one, sits behind
// these same calls.
#pragma once

#include <string>
#include <string_view>

#include "platform/base/types.h"
#include "platform/kernel/memory.h"

inline constexpr UINT CF_TEXT = 1;
inline constexpr UINT CF_UNICODETEXT = 13;

// FALSE with ERROR_ACCESS_DENIED while another thread has the clipboard open.
BOOL OpenClipboard(HWND owner);
// The calls below fail with ERROR_CLIPBOARD_NOT_OPEN unless this thread has it open.
BOOL CloseClipboard();
// Frees every format's data; the window that opened the clipboard becomes its owner.
BOOL EmptyClipboard();
// Takes the block (a block from GlobalAlloc; the clipboard frees it) as the format's
// data, replacing what the format held. A null block (data rendered on request) is
// not offered here: ERROR_INVALID_PARAMETER.
HGLOBAL SetClipboardData(UINT format, HGLOBAL memory);
// The format's block, owned by the clipboard (valid until it is emptied or the format
// set again); null with ERROR_CLIPBOARD_NOT_OPEN or when the format is not there.
HGLOBAL GetClipboardData(UINT format);
// Needs no open clipboard.
BOOL IsClipboardFormatAvailable(UINT format);
HWND GetClipboardOwner();

namespace platform::win {

// Text in a new global block with its terminating zero (null when none can be had),
// and the text of a block up to its terminating zero or its end.
HGLOBAL NewTextBlock(std::u16string_view text);
HGLOBAL NewTextBlock(std::string_view text);
std::u16string WideTextOfBlock(HGLOBAL memory);
std::string AnsiTextOfBlock(HGLOBAL memory);

}  // namespace platform::win
