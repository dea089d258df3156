#include "platform/win/clipboard.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/base/errors.h"
#include "platform/base/text.h"
#include "platform/win/window.h"

namespace {

struct Store {
  std::mutex lock;
  DWORD openThread = 0;  // 0: closed
  HWND openWindow = 0;
  HWND owner = 0;
  // Each format's block; a converted text block was made here from the other text.
  struct Entry {
    HGLOBAL memory = nullptr;
    bool converted = false;
  };
  std::map<UINT, Entry> data;
  bool emptied = false;  // since it was opened: the contents are new
  // Blocks read from the desktop's clipboard, valid until the clipboard is closed.
  std::vector<HGLOBAL> fetched;
  platform::win::DesktopClipboard* desktop = nullptr;
  platform::win::ClipboardRenderer renderer;
};

Store& S() {
  static Store store;
  return store;
}

bool IsText(UINT format) { return format == CF_TEXT || format == CF_UNICODETEXT; }

bool OpenedHere(const Store& store) {
  if (store.openThread != 0 && store.openThread == platform::win::ThisThreadId()) return true;
  SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
  return false;
}

void FreeAll(Store& store) {
  for (auto& [format, entry] : store.data) GlobalFree(entry.memory);
  store.data.clear();
}

// The other text format, converted, kept beside the one that was set.
HGLOBAL Converted(Store& store, UINT format) {
  HGLOBAL memory = nullptr;
  if (format == CF_TEXT && store.data.count(CF_UNICODETEXT)) {
    memory = platform::win::NewTextBlock(
        platform::WideToAnsi(platform::win::WideTextOfBlock(store.data[CF_UNICODETEXT].memory)));
  } else if (format == CF_UNICODETEXT && store.data.count(CF_TEXT)) {
    memory = platform::win::NewTextBlock(
        platform::AnsiToWide(platform::win::AnsiTextOfBlock(store.data[CF_TEXT].memory)));
  }
  if (memory != nullptr) store.data[format] = Store::Entry{memory, true};
  return memory;
}

template <typename Char>
std::basic_string<Char> TextOf(HGLOBAL memory) {
  auto* chars = static_cast<const Char*>(GlobalLock(memory));
  if (chars == nullptr) return {};
  std::size_t most = GlobalSize(memory) / sizeof(Char), length = 0;
  while (length < most && chars[length] != 0) ++length;
  std::basic_string<Char> text(chars, length);
  GlobalUnlock(memory);
  return text;
}

template <typename Char>
HGLOBAL BlockOf(std::basic_string_view<Char> text) {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(Char));
  if (memory == nullptr) return nullptr;
  auto* chars = static_cast<Char*>(GlobalLock(memory));
  std::memcpy(chars, text.data(), text.size() * sizeof(Char));
  chars[text.size()] = 0;
  GlobalUnlock(memory);
  return memory;
}

}  // namespace

HGLOBAL platform::win::NewTextBlock(std::u16string_view text) { return BlockOf(text); }
HGLOBAL platform::win::NewTextBlock(std::string_view text) { return BlockOf(text); }
std::u16string platform::win::WideTextOfBlock(HGLOBAL memory) { return TextOf<char16_t>(memory); }

std::u16string platform::win::ClipboardText(HWND owner) {
  if (!OpenClipboard(owner)) return {};
  std::u16string text = WideTextOfBlock(GetClipboardData(CF_UNICODETEXT));
  CloseClipboard();
  return text;
}
std::string platform::win::AnsiTextOfBlock(HGLOBAL memory) { return TextOf<char>(memory); }

BOOL OpenClipboard(HWND owner) {
  Store& store = S();
  std::lock_guard guard(store.lock);
  DWORD thread = platform::win::ThisThreadId();
  if (store.openThread != 0 && store.openThread != thread) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  store.openThread = thread;
  store.openWindow = owner;
  return TRUE;
}

BOOL CloseClipboard() {
  Store& store = S();
  platform::win::DesktopClipboard* tell = nullptr;
  {
    std::lock_guard guard(store.lock);
    if (!OpenedHere(store)) return FALSE;
    store.openThread = 0;
    store.openWindow = 0;
    for (HGLOBAL memory : store.fetched) GlobalFree(memory);
    store.fetched.clear();
    if (std::exchange(store.emptied, false)) tell = store.desktop;
  }
  if (tell != nullptr) tell->Take();
  return TRUE;
}

BOOL EmptyClipboard() {
  Store& store = S();
  platform::win::ClipboardRenderer previous;
  {
    std::lock_guard guard(store.lock);
    if (!OpenedHere(store)) return FALSE;
    FreeAll(store);
    store.owner = store.openWindow;
    store.emptied = true;
    previous = std::exchange(store.renderer, {});
  }
  if (previous.released) previous.released();
  return TRUE;
}

// The replaced offer is dropped after the lock is let go: dropping it may release
// objects that use the clipboard themselves.
BOOL platform::win::OfferClipboardFormats(ClipboardRenderer renderer) {
  Store& store = S();
  std::lock_guard guard(store.lock);
  if (!OpenedHere(store)) return FALSE;
  std::swap(store.renderer, renderer);
  return TRUE;
}

void platform::win::WithdrawClipboardFormats() {
  Store& store = S();
  platform::win::ClipboardRenderer previous;
  std::lock_guard guard(store.lock);
  std::swap(store.renderer, previous);
}

void platform::win::SetDesktopClipboard(DesktopClipboard* desktop) {
  Store& store = S();
  std::lock_guard guard(store.lock);
  store.desktop = desktop;
}

std::map<UINT, std::string> platform::win::ClipboardContents() {
  Store& store = S();
  std::lock_guard guard(store.lock);
  for (UINT text : {CF_TEXT, CF_UNICODETEXT}) {
    if (!store.data.count(text)) Converted(store, text);
  }
  std::map<UINT, std::string> contents;
  for (const auto& [format, entry] : store.data) {
    const auto* bytes = static_cast<const char*>(GlobalLock(entry.memory));
    if (bytes == nullptr) continue;
    contents[format].assign(bytes, GlobalSize(entry.memory));
    GlobalUnlock(entry.memory);
  }
  return contents;
}

namespace {

// The desktop's clipboard while another program holds it; nullptr otherwise.
platform::win::DesktopClipboard* HeldElsewhere(Store& store) {
  platform::win::DesktopClipboard* desktop;
  {
    std::lock_guard guard(store.lock);
    desktop = store.desktop;
  }
  return desktop != nullptr && desktop->HeldElsewhere() ? desktop : nullptr;
}

}  // namespace

HGLOBAL SetClipboardData(UINT format, HGLOBAL memory) {
  Store& store = S();
  std::lock_guard guard(store.lock);
  if (!OpenedHere(store)) return nullptr;
  if (memory == nullptr || GlobalLock(memory) == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  GlobalUnlock(memory);
  // A text set anew makes the other text's converted form stale.
  UINT other = format == CF_TEXT ? CF_UNICODETEXT : CF_TEXT;
  if (auto it = store.data.find(other); IsText(format) && it != store.data.end() && it->second.converted) {
    GlobalFree(it->second.memory);
    store.data.erase(it);
  }
  if (auto it = store.data.find(format); it != store.data.end() && it->second.memory != memory) {
    GlobalFree(it->second.memory);
  }
  store.data[format] = Store::Entry{memory, false};
  return memory;
}

namespace {

bool Offered(const Store& store, UINT format) {
  return std::find(store.renderer.formats.begin(), store.renderer.formats.end(), format) !=
         store.renderer.formats.end();
}

// Asks the renderer for an offered format that has no block yet, without holding the
// lock (rendering may read the clipboard itself), and keeps what it made. True when
// the format has a block afterwards.
bool RenderOffered(Store& store, UINT format) {
  std::function<HGLOBAL(UINT)> render;
  {
    std::lock_guard guard(store.lock);
    if (store.data.count(format)) return true;
    if (!Offered(store, format)) return false;
    render = store.renderer.render;
  }
  HGLOBAL memory = render ? render(format) : nullptr;
  if (memory == nullptr) return false;
  std::lock_guard guard(store.lock);
  if (store.data.count(format) || !Offered(store, format)) {
    GlobalFree(memory);
    return store.data.count(format) != 0;
  }
  store.data[format] = Store::Entry{memory, false};
  return true;
}

}  // namespace

HGLOBAL GetClipboardData(UINT format) {
  Store& store = S();
  {
    std::lock_guard guard(store.lock);
    if (!OpenedHere(store)) return nullptr;
  }
  if (auto* desktop = HeldElsewhere(store)) {
    HGLOBAL memory = desktop->Fetch(format);
    std::lock_guard guard(store.lock);
    if (memory == nullptr) {
      SetLastError(ERROR_SUCCESS);
      return nullptr;
    }
    store.fetched.push_back(memory);
    return memory;
  }
  if (!RenderOffered(store, format) && IsText(format)) RenderOffered(store, format == CF_TEXT ? CF_UNICODETEXT : CF_TEXT);
  std::lock_guard guard(store.lock);
  if (auto it = store.data.find(format); it != store.data.end()) return it->second.memory;
  if (IsText(format)) {
    if (HGLOBAL memory = Converted(store, format)) return memory;
  }
  SetLastError(ERROR_SUCCESS);
  return nullptr;
}

BOOL IsClipboardFormatAvailable(UINT format) {
  Store& store = S();
  if (auto* desktop = HeldElsewhere(store)) return desktop->Offers(format) ? TRUE : FALSE;
  std::lock_guard guard(store.lock);
  if (store.data.count(format) || Offered(store, format)) return TRUE;
  return IsText(format) && (store.data.count(CF_TEXT) || store.data.count(CF_UNICODETEXT)) ? TRUE : FALSE;
}

HWND GetClipboardOwner() {
  Store& store = S();
  std::lock_guard guard(store.lock);
  return store.owner;
}

UINT EnumClipboardFormats(UINT format) {
  Store& store = S();
  std::lock_guard guard(store.lock);
  if (!OpenedHere(store)) return 0;
  std::vector<UINT> formats = store.renderer.formats;
  for (const auto& [stored, entry] : store.data) formats.push_back(stored);
  std::sort(formats.begin(), formats.end());
  formats.erase(std::unique(formats.begin(), formats.end()), formats.end());
  auto next = format == 0 ? formats.begin() : std::upper_bound(formats.begin(), formats.end(), format);
  SetLastError(ERROR_SUCCESS);
  return next == formats.end() ? 0 : *next;
}
