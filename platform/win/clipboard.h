// The clipboard: one store of the process, opened by one thread at a time, holding a
// global memory block per format. Text set in one of CF_TEXT (8-bit code page) and
// CF_UNICODETEXT is handed out in the other as well, converted. This store is the one
// clipboard of the window system; a desktop clipboard, when there is one, sits behind
// these same calls: what the program puts on the clipboard is offered to the desktop
// when the clipboard is closed, and while another program holds the desktop's
// clipboard, its data is what the program reads.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

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
// The formats on the clipboard in turn: the one after `format` (0: the first), 0 at
// the end. Needs the clipboard open.
UINT EnumClipboardFormats(UINT format);

namespace platform::win {

// Formats rendered on request: right after EmptyClipboard the opener may offer formats
// whose data it makes only when someone asks for them (GetClipboardData renders and
// keeps the block). The offer ends at the next EmptyClipboard, which tells the owner
// through `released` (not while the clipboard lock is held), or when withdrawn.
struct ClipboardRenderer {
  std::vector<UINT> formats;
  std::function<HGLOBAL(UINT format)> render;
  std::function<void()> released;
};
// FALSE with ERROR_CLIPBOARD_NOT_OPEN unless this thread has the clipboard open.
BOOL OfferClipboardFormats(ClipboardRenderer renderer);
// Ends the offer without telling its owner; blocks already rendered stay.
void WithdrawClipboardFormats();

// A desktop's clipboard (the display backend installs it). Called without the store's
// lock held, from the thread that has the clipboard open.
class DesktopClipboard {
 public:
  virtual ~DesktopClipboard() = default;
  // True while another program holds the desktop's clipboard.
  virtual bool HeldElsewhere() = 0;
  // Whether that program offers a format, and its data in a new block (null: none).
  virtual bool Offers(UINT format) = 0;
  virtual HGLOBAL Fetch(UINT format) = 0;
  // The program's clipboard has new contents: the desktop's clipboard is the program's.
  virtual void Take() = 0;
};
// nullptr: the store alone.
void SetDesktopClipboard(DesktopClipboard* desktop);
// Every format the store holds, each as its bytes, both text formats included (as
// GetClipboardData would convert them): what the desktop hands other programs. Needs
// no open clipboard.
std::map<UINT, std::string> ClipboardContents();

// Text in a new global block with its terminating zero (null when none can be had),
// and the text of a block up to its terminating zero or its end.
HGLOBAL NewTextBlock(std::u16string_view text);
HGLOBAL NewTextBlock(std::string_view text);
std::u16string WideTextOfBlock(HGLOBAL memory);
std::string AnsiTextOfBlock(HGLOBAL memory);
// The clipboard's text, empty when it holds none or another thread has it open.
std::u16string ClipboardText(HWND owner);

}  // namespace platform::win
