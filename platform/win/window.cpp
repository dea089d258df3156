#include "platform/win/window.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <unordered_map>

#include "platform/base/errors.h"
#include "platform/base/text.h"
#include "platform/win/atoms.h"
#include "platform/win/display.h"
#include "platform/win/input.h"
#include "platform/win/message_queue.h"
#include "platform/win/metrics.h"
#include "platform/win/remote_windows.h"
#include "platform/win/std_controls.h"

namespace {

struct WindowClass {
  std::u16string name;
  ATOM atom = 0;
  UINT style = 0;
  WNDPROC proc = nullptr;
  int clsExtra = 0;
  int wndExtra = 0;
  HINSTANCE instance = 0;
  HICON icon = 0;
  HCURSOR cursor = 0;
  HBRUSH brush = 0;
  std::u16string menuName;
  std::uintptr_t menuId = 0;  // an integer resource in place of a name
  bool unicode = true;
  bool system = false;  // a window's character set follows the call that makes it
  int windows = 0;
};

struct Window {
  HWND handle = 0;
  std::shared_ptr<WindowClass> cls;
  DWORD thread = 0;
  HWND parent = 0;  // 0 for top-level windows
  HWND owner = 0;
  bool messageOnly = false;
  DWORD style = 0;
  DWORD exStyle = 0;
  LONG_PTR id = 0;
  LONG_PTR userData = 0;
  HINSTANCE instance = 0;
  WNDPROC proc = nullptr;
  // The callable behind proc when it is a stub's, found when proc is set, so that a
  // message reaches it without a look in the stub table.
  std::shared_ptr<platform::win::WindowProcStub::Function> stub;
  bool unicode = true;
  std::u16string text;
  RECT rect{};  // in the parent's client coordinates (screen ones for top-level)
  RECT client{};  // the client area within the window (0, 0 at the window's corner)
  std::vector<unsigned char> extra;
  std::map<ATOM, HANDLE> props;
  int flashes = 0;
  std::vector<HWND> children;  // top of the z-order first
  bool destroying = false;
  bool hasUpdate = false;
  bool erase = false;
  bool frameDirty = false;  // the non-client area waits for WM_NCPAINT
  bool givenPicture = false;  // a layered window's picture, given, not painted
  RECT update{};
};

struct ThreadInput {
  HWND focus = 0;
  HWND active = 0;
};

constexpr HWND kDesktop = 0x00010010;
constexpr HWND kFirstHandle = 0x00010014;

struct State {
  std::mutex lock;
  std::unordered_map<HWND, std::shared_ptr<Window>> windows;
  std::vector<HWND> topLevel;  // top of the z-order first
  std::vector<std::shared_ptr<WindowClass>> classes;
  HWND nextHandle = kFirstHandle;
  std::unordered_map<DWORD, ThreadInput> input;
  HWND capture = 0;
  HWND foreground = 0;
  POINT cursor{};
  std::vector<void (*)(HWND)> goneListeners;
  LRESULT (*eraseHandler)(HWND, HDC) = nullptr;
  void (*nonClientPainter)(HWND) = nullptr;
  // The desktop window has no record of its own, but programs keep properties on it.
  std::map<ATOM, HANDLE> desktopProps;
  // Counts, under the lock, each window that goes and each procedure that changes: a
  // thread's earlier look at a window holds while the count is unchanged.
  std::atomic<std::uint64_t> changes{0};
};

State& S() {
  static State state;
  return state;
}

using Lock = std::lock_guard<std::mutex>;

std::shared_ptr<Window> FindLocked(HWND handle) {
  auto& s = S();
  auto found = s.windows.find(handle);
  if (found == s.windows.end()) return nullptr;
  return found->second;
}

std::shared_ptr<Window> Find(HWND handle) {
  Lock guard(S().lock);
  auto window = FindLocked(handle);
  if (!window) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return window;
}

bool Reserved(HWND handle) {
  return handle == 0 || handle == HWND_BROADCAST || handle >= HWND_NOTOPMOST ||
         handle == HWND_MESSAGE || handle == kDesktop;
}

// Handles grow by four and wrap; a handle still in use is skipped, so a handle never
// names two live windows and a stale handle finds nothing until the space wraps.
HWND NewHandleLocked() {
  auto& s = S();
  while (Reserved(s.nextHandle) || s.windows.count(s.nextHandle) != 0) s.nextHandle += 4;
  HWND handle = s.nextHandle;
  s.nextHandle += 4;
  return handle;
}

std::u16string Wide(const char* text) { return text ? platform::AnsiToWide(text) : std::u16string(); }

// Class names: text or an integer atom.
std::u16string ClassKey(const char16_t* name) {
  if (name == nullptr) return {};
  if (IS_INTRESOURCE(name)) {
    auto atom = static_cast<ATOM>(reinterpret_cast<std::uintptr_t>(name));
    return platform::UpperCase(platform::win::AtomName(atom));
  }
  return platform::UpperCase(name);
}

std::shared_ptr<WindowClass> FindClassLocked(const std::u16string& key, HINSTANCE instance) {
  if (key.empty()) return nullptr;
  std::shared_ptr<WindowClass> global;
  for (auto& cls : S().classes) {
    if (platform::UpperCase(cls->name) != key) continue;
    if (cls->instance == instance) return cls;
    if (cls->style & CS_GLOBALCLASS) global = cls;
  }
  return global;
}

// --- procedure stubs -------------------------------------------------------------

struct StubTable {
  std::mutex lock;
  std::unordered_map<WNDPROC, std::shared_ptr<platform::win::WindowProcStub::Function>> stubs;
  std::unordered_map<WNDPROC, bool> unicode;
  std::atomic<std::uint64_t> changes{0};  // grows with every stub made or freed
};

StubTable& Stubs() {
  static StubTable table;
  return table;
}

// The procedure values the calling thread asked about last, and their stubs: a
// message passes through the same few procedures again and again, and then the
// table's lock is not taken. The stubs are not kept alive by these looks. Once the
// thread's objects go (its queue's end still passes messages on) looks are not kept.
thread_local bool tStubLooksGone = false;
struct StubLook {
  WNDPROC proc = nullptr;
  std::uint64_t changes = 0;
  std::weak_ptr<platform::win::WindowProcStub::Function> stub;
};
struct StubLooks {
  std::array<StubLook, 4> looks;
  std::size_t next = 0;  // the look replaced next
  ~StubLooks() { tStubLooksGone = true; }
};
thread_local StubLooks tStubLooks;

// The callable of a stub's procedure value; none for a plain function.
std::shared_ptr<platform::win::WindowProcStub::Function> StubOf(WNDPROC proc) {
  const std::uint64_t changes = Stubs().changes.load(std::memory_order_acquire);
  if (!tStubLooksGone) {
    for (const StubLook& look : tStubLooks.looks) {
      if (look.proc == proc && look.changes == changes) return look.stub.lock();
    }
  }
  Lock guard(Stubs().lock);
  auto found = Stubs().stubs.find(proc);
  auto stub = found == Stubs().stubs.end() ? nullptr : found->second;
  if (!tStubLooksGone) {
    StubLook& look = tStubLooks.looks[tStubLooks.next];
    tStubLooks.next = (tStubLooks.next + 1) % tStubLooks.looks.size();
    look = StubLook{proc, Stubs().changes.load(std::memory_order_relaxed), stub};
  }
  return stub;
}

// Calls a procedure value: the stub's callable when `stub` is set, else the plain function.
LRESULT Call(WNDPROC proc, const platform::win::WindowProcStub::Function* stub, HWND window, UINT message,
             WPARAM wParam, LPARAM lParam) {
  if (stub) return (*stub)(window, message, wParam, lParam);
  if (proc == nullptr) return 0;
  return proc(window, message, wParam, lParam);
}

LRESULT Invoke(WNDPROC proc, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto stub = proc ? StubOf(proc) : nullptr;
  return Call(proc, stub.get(), window, message, wParam, lParam);
}

bool ProcIsUnicode(WNDPROC proc, bool otherwise) {
  Lock guard(Stubs().lock);
  auto found = Stubs().unicode.find(proc);
  return found == Stubs().unicode.end() ? otherwise : found->second;
}

// --- text message conversion -----------------------------------------------------

template <typename From, typename To>
std::basic_string<To> Convert(const From* text) {
  if (text == nullptr) return {};
  if constexpr (sizeof(From) == 1) {
    return platform::AnsiToWide(text);
  } else {
    return platform::WideToAnsi(text);
  }
}

// Callees are taken as they are (not as std::function): a message converted on every
// call should not allocate.
template <typename From, typename To, typename CreateFrom, typename CreateTo, typename Callee>
LRESULT ConvertCreate(LPARAM lParam, const Callee& call) {
  auto* source = reinterpret_cast<const CreateFrom*>(lParam);
  if (source == nullptr) return call(0, 0);
  CreateTo target{};
  std::memcpy(&target, source, sizeof(target));  // same layout apart from the text types
  auto name = Convert<From, To>(source->lpszName);
  target.lpszName = source->lpszName ? name.c_str() : nullptr;
  std::basic_string<To> className;
  if (IS_INTRESOURCE(source->lpszClass)) {
    target.lpszClass = reinterpret_cast<const To*>(source->lpszClass);
  } else {
    className = Convert<From, To>(source->lpszClass);
    target.lpszClass = className.c_str();
  }
  return call(0, reinterpret_cast<LPARAM>(&target));
}

// One character of a message parameter in the other character set.
template <typename From>
WPARAM ConvertChar(WPARAM value) {
  if constexpr (sizeof(From) == 1) {
    char byte = static_cast<char>(value & 0xFF);
    return platform::AnsiToWide(std::string_view(&byte, 1))[0];
  } else {
    char16_t unit = static_cast<char16_t>(value & 0xFFFF);
    return static_cast<unsigned char>(platform::WideToAnsi(std::u16string_view(&unit, 1))[0]);
  }
}

// Text the callee wrote into `temp` (its own units), copied out to the caller's buffer.
template <typename From, typename To>
LRESULT CopyConverted(const std::vector<To>& temp, std::size_t count, From* buffer, std::size_t size) {
  std::basic_string<To> got(temp.data(), std::min(count, temp.size()));
  std::u16string wide;
  if constexpr (sizeof(To) == 1) {
    wide = platform::AnsiToWide(got);
  } else {
    wide = got;
  }
  return static_cast<LRESULT>(platform::win::CopyTextOut(wide, buffer, size));
}

// Calls `call` with the message's parameters in the callee's character set;
// `lengthOf` asks the callee for an item's text length (CB_GETLBTEXTLEN).
template <typename From, typename To, typename Callee, typename LengthOf>
LRESULT ConvertMessage(UINT message, WPARAM wParam, LPARAM lParam, const Callee& call, const LengthOf& lengthOf) {
  switch (message) {
    case EM_REPLACESEL:
    case CB_ADDSTRING:
    case CB_INSERTSTRING:
    case CB_FINDSTRING:
    case CB_FINDSTRINGEXACT:
    case CB_SELECTSTRING: {
      if (lParam == 0) return call(wParam, 0);
      auto text = Convert<From, To>(reinterpret_cast<const From*>(lParam));
      return call(wParam, reinterpret_cast<LPARAM>(text.c_str()));
    }
    case CB_GETLBTEXT: {
      // No size travels with the buffer: the callee's own length sizes the copy.
      LRESULT length = lengthOf(wParam, 0);
      if (length < 0 || lParam == 0) return length < 0 ? length : 0;
      std::vector<To> temp(static_cast<std::size_t>(length) + 1, 0);
      LRESULT got = call(wParam, reinterpret_cast<LPARAM>(temp.data()));
      if (got < 0) return got;
      auto* buffer = reinterpret_cast<From*>(lParam);
      std::vector<From> out(static_cast<std::size_t>(got) * 2 + 2, 0);
      LRESULT copied = CopyConverted<From, To>(temp, static_cast<std::size_t>(got), out.data(), out.size());
      std::copy_n(out.data(), copied + 1, buffer);
      return copied;
    }
    case EM_GETLINE: {
      auto* buffer = reinterpret_cast<From*>(lParam);
      if (buffer == nullptr) return 0;
      WORD size;
      std::memcpy(&size, buffer, sizeof size);
      std::vector<To> temp(std::max<std::size_t>(size, sizeof(WORD)) + 1, 0);
      std::memcpy(temp.data(), &size, sizeof size);
      LRESULT got = call(wParam, reinterpret_cast<LPARAM>(temp.data()));
      // The line is not terminated: copy the converted units without the terminator.
      std::vector<From> out(static_cast<std::size_t>(std::max<LRESULT>(got, 0)) * 2 + 1, 0);
      auto count = static_cast<std::size_t>(
          CopyConverted<From, To>(temp, static_cast<std::size_t>(std::max<LRESULT>(got, 0)), out.data(), out.size()));
      count = std::min<std::size_t>(count, size);
      std::copy_n(out.data(), count, buffer);
      return static_cast<LRESULT>(count);
    }
    case EM_SETPASSWORDCHAR:
      return call(wParam == 0 ? 0 : ConvertChar<From>(wParam), lParam);
    case EM_GETPASSWORDCHAR: {
      LRESULT got = call(wParam, lParam);
      return got == 0 ? 0 : static_cast<LRESULT>(ConvertChar<To>(static_cast<WPARAM>(got)));
    }
    case WM_SETTEXT: {
      if (lParam == 0) return call(wParam, 0);
      auto text = Convert<From, To>(reinterpret_cast<const From*>(lParam));
      return call(wParam, reinterpret_cast<LPARAM>(text.c_str()));
    }
    case WM_GETTEXT: {
      auto* buffer = reinterpret_cast<From*>(lParam);
      if (buffer == nullptr || wParam == 0) return 0;
      std::vector<To> temp(wParam * 2 + 1, 0);
      LRESULT got = call(temp.size(), reinterpret_cast<LPARAM>(temp.data()));
      temp[std::clamp<LRESULT>(got, 0, temp.size() - 1)] = 0;
      std::u16string wide;
      if constexpr (sizeof(To) == 1) {
        wide = platform::AnsiToWide(temp.data());
      } else {
        wide = temp.data();
      }
      return static_cast<LRESULT>(platform::win::CopyTextOut(wide, buffer, wParam));
    }
    case WM_CHAR:
    case WM_SYSCHAR:
      return call(ConvertChar<From>(wParam), lParam);
    case WM_NCCREATE:
    case WM_CREATE:
      if constexpr (sizeof(From) == 1) {
        return ConvertCreate<char, char16_t, CREATESTRUCTA, CREATESTRUCTW>(
            lParam, [&](WPARAM, LPARAM converted) { return call(wParam, converted); });
      } else {
        return ConvertCreate<char16_t, char, CREATESTRUCTW, CREATESTRUCTA>(
            lParam, [&](WPARAM, LPARAM converted) { return call(wParam, converted); });
      }
    default:
      return call(wParam, lParam);
  }
}

LRESULT CallConverted(WNDPROC proc, const platform::win::WindowProcStub::Function* stub, bool procUnicode,
                      bool callerUnicode, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (procUnicode == callerUnicode) return Call(proc, stub, window, message, wParam, lParam);
  auto call = [&](WPARAM w, LPARAM l) { return Call(proc, stub, window, message, w, l); };
  auto lengthOf = [&](WPARAM w, LPARAM l) { return Call(proc, stub, window, CB_GETLBTEXTLEN, w, l); };
  if (callerUnicode) return ConvertMessage<char16_t, char>(message, wParam, lParam, call, lengthOf);
  return ConvertMessage<char, char16_t>(message, wParam, lParam, call, lengthOf);
}

// --- helpers over the tree -------------------------------------------------------

std::vector<HWND>& SiblingsLocked(const Window& window) {
  if (window.parent != 0) {
    auto parent = FindLocked(window.parent);
    if (parent) return parent->children;
  }
  return S().topLevel;
}

void Unlink(std::vector<HWND>& list, HWND handle) {
  list.erase(std::remove(list.begin(), list.end(), handle), list.end());
}

// The window and its descendants, parents before children.
void CollectTreeLocked(HWND handle, std::vector<HWND>& out) {
  auto window = FindLocked(handle);
  if (!window) return;
  out.push_back(handle);
  for (HWND child : window->children) CollectTreeLocked(child, out);
}

bool IsDescendantLocked(HWND ancestor, HWND handle) {
  for (auto window = FindLocked(handle); window; window = FindLocked(window->parent)) {
    if (window->handle == ancestor) return true;
  }
  return false;
}

bool VisibleLocked(const Window& window) {
  for (const Window* w = &window; w != nullptr;) {
    if (!(w->style & WS_VISIBLE)) return false;
    if (w->parent == 0) return true;
    auto parent = FindLocked(w->parent);
    w = parent.get();
  }
  return false;
}

POINT OriginLocked(const Window& window) {
  POINT origin{window.rect.left, window.rect.top};
  for (auto parent = FindLocked(window.parent); parent; parent = FindLocked(parent->parent)) {
    origin.x += parent->rect.left + parent->client.left;
    origin.y += parent->rect.top + parent->client.top;
  }
  return origin;
}

POINT ClientOriginLocked(const Window& window) {
  POINT origin = OriginLocked(window);
  return POINT{origin.x + window.client.left, origin.y + window.client.top};
}

RECT ClientRectOf(const Window& window) {
  return RECT{0, 0, window.client.right - window.client.left, window.client.bottom - window.client.top};
}

// Asks the window where its client area lies (WM_NCCALCSIZE with the window's
// rectangle in its parent's coordinates) and keeps the answer within the window;
// true when the client area's size changed.
bool CalcClient(HWND handle) {
  RECT proposed;
  {
    Lock guard(S().lock);
    auto window = FindLocked(handle);
    if (!window) return false;
    proposed = window->rect;
  }
  platform::win::detail::CallWindow(handle, WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&proposed), true);
  Lock guard(S().lock);
  auto window = FindLocked(handle);
  if (!window) return false;
  const RECT& r = window->rect;
  LONG width = r.right - r.left, height = r.bottom - r.top;
  RECT client{std::clamp<LONG>(proposed.left - r.left, 0, width), std::clamp<LONG>(proposed.top - r.top, 0, height), 0, 0};
  client.right = std::clamp<LONG>(proposed.right - r.left, client.left, width);
  client.bottom = std::clamp<LONG>(proposed.bottom - r.top, client.top, height);
  bool resized = client.right - client.left != window->client.right - window->client.left ||
                 client.bottom - client.top != window->client.bottom - window->client.top;
  window->client = client;
  return resized;
}

RECT Union(const RECT& a, const RECT& b) {
  return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
              std::max(a.bottom, b.bottom)};
}

void NotifyGone(const std::vector<HWND>& gone) {
  std::vector<void (*)(HWND)> listeners;
  {
    Lock guard(S().lock);
    listeners = S().goneListeners;
  }
  for (HWND handle : gone) {
    for (auto listener : listeners) listener(handle);
    platform::win::detail::NotifyDisplayGone(handle);
  }
}

ThreadInput CurrentInput() {
  Lock guard(S().lock);
  auto found = S().input.find(platform::win::ThisThreadId());
  return found == S().input.end() ? ThreadInput{} : found->second;
}

bool Empty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

// --- creation --------------------------------------------------------------------

// The system's own classes exist before any program looks for a class.
void EnsureSystemClasses() {
  static std::once_flag once;
  std::call_once(once, [] { platform::win::detail::RegisterStandardControlClasses(); });
}

template <typename Char, typename Create>
HWND CreateWindowImpl(DWORD exStyle, const Char* className, const Char* windowName, DWORD style,
                      int x, int y, int width, int height, HWND parent, HMENU menu,
                      HINSTANCE instance, void* param) {
  constexpr bool unicodeCaller = sizeof(Char) == 2;
  EnsureSystemClasses();
  std::u16string key;
  if constexpr (unicodeCaller) {
    key = ClassKey(className);
  } else {
    key = IS_INTRESOURCE(className) ? ClassKey(reinterpret_cast<const char16_t*>(className))
                                    : ClassKey(Wide(className).c_str());
  }
  platform::win::detail::EnsureQueue();
  auto window = std::make_shared<Window>();
  {
    Lock guard(S().lock);
    auto cls = FindClassLocked(key, instance);
    if (!cls) {
      SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
      return 0;
    }
    bool child = (style & WS_CHILD) != 0;
    if (parent == HWND_MESSAGE) {
      window->messageOnly = true;
      parent = 0;
    } else if (parent != 0 && !FindLocked(parent)) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    if (child && parent == 0 && !window->messageOnly) {
      SetLastError(ERROR_TLW_WITH_WSCHILD);
      return 0;
    }
    if (x == CW_USEDEFAULT) x = y = child ? 0 : 100;
    if (width == CW_USEDEFAULT) {
      width = child ? 0 : 400;
      height = child ? 0 : 300;
    }
    window->handle = NewHandleLocked();
    window->cls = cls;
    window->thread = platform::win::ThisThreadId();
    if (child) {
      window->parent = parent;
      window->id = static_cast<LONG_PTR>(menu);
    } else if (parent != 0) {
      // A top-level window's "parent" is its owner: the root of the given window.
      HWND root = parent;
      for (auto w = FindLocked(parent); w && w->parent != 0; w = FindLocked(w->parent)) root = w->parent;
      window->owner = root;
    }
    window->style = style & ~WS_VISIBLE;
    window->exStyle = exStyle;
    window->instance = instance;
    window->proc = cls->proc;
    window->stub = StubOf(cls->proc);
    window->unicode = cls->system ? unicodeCaller : cls->unicode;
    window->rect = RECT{x, y, x + std::max(width, 0), y + std::max(height, 0)};
    window->client = RECT{0, 0, std::max(width, 0), std::max(height, 0)};
    window->extra.assign(std::max(cls->wndExtra, 0), 0);
    ++cls->windows;
    S().windows.emplace(window->handle, window);
    if (window->parent != 0) {
      FindLocked(window->parent)->children.push_back(window->handle);
    } else if (!window->messageOnly) {
      S().topLevel.insert(S().topLevel.begin(), window->handle);
    }
  }
  // Other processes can find and post to top-level windows from now on.
  if (window->parent == 0 && !window->messageOnly) platform::win::detail::StartRemoteListener();
  HWND handle = window->handle;
  Create create{};
  create.lpCreateParams = param;
  create.hInstance = instance;
  create.hMenu = menu;
  create.hwndParent = parent;
  create.cy = height;
  create.cx = width;
  create.y = y;
  create.x = x;
  create.style = static_cast<LONG>(style);
  create.lpszName = windowName;
  create.lpszClass = className;
  create.dwExStyle = exStyle;
  auto lParam = reinterpret_cast<LPARAM>(&create);
  bool created = platform::win::detail::CallWindow(handle, WM_NCCREATE, 0, lParam, unicodeCaller) != 0;
  if (created) {
    CalcClient(handle);
    created = platform::win::detail::CallWindow(handle, WM_CREATE, 0, lParam, unicodeCaller) != -1;
  }
  if (!created) {
    DestroyWindow(handle);
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (!IsWindow(handle)) return 0;
  if (style & WS_VISIBLE) ShowWindow(handle, SW_SHOW);
  return handle;
}

template <typename Char, typename Class>
ATOM RegisterClassImpl(const Class* wndClass, bool unicode, bool system = false) {
  if (wndClass == nullptr || wndClass->lpszClassName == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  auto cls = std::make_shared<WindowClass>();
  if (IS_INTRESOURCE(wndClass->lpszClassName)) {
    cls->name = platform::win::AtomName(
        static_cast<ATOM>(reinterpret_cast<std::uintptr_t>(wndClass->lpszClassName)));
  } else if constexpr (sizeof(Char) == 1) {
    cls->name = Wide(wndClass->lpszClassName);
  } else {
    cls->name = wndClass->lpszClassName;
  }
  if (cls->name.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  cls->style = wndClass->style;
  cls->proc = wndClass->lpfnWndProc;
  cls->clsExtra = wndClass->cbClsExtra;
  cls->wndExtra = wndClass->cbWndExtra;
  cls->instance = wndClass->hInstance;
  cls->icon = wndClass->hIcon;
  cls->cursor = wndClass->hCursor;
  cls->brush = wndClass->hbrBackground;
  if (IS_INTRESOURCE(wndClass->lpszMenuName)) {
    cls->menuId = reinterpret_cast<std::uintptr_t>(wndClass->lpszMenuName);
  } else if constexpr (sizeof(Char) == 1) {
    cls->menuName = Wide(wndClass->lpszMenuName);
  } else {
    cls->menuName = wndClass->lpszMenuName;
  }
  cls->unicode = unicode;
  cls->system = system;
  cls->atom = GlobalAddAtomW(cls->name.c_str());
  Lock guard(S().lock);
  auto existing = FindClassLocked(platform::UpperCase(cls->name), cls->instance);
  if (existing && existing->instance == cls->instance) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  S().classes.push_back(cls);
  return cls->atom;
}

BOOL UnregisterClassImpl(const std::u16string& key, HINSTANCE instance) {
  Lock guard(S().lock);
  auto& classes = S().classes;
  for (auto it = classes.begin(); it != classes.end(); ++it) {
    if (platform::UpperCase((*it)->name) != key || (*it)->instance != instance) continue;
    if ((*it)->windows > 0) {
      SetLastError(ERROR_CLASS_HAS_WINDOWS);
      return FALSE;
    }
    classes.erase(it);
    return TRUE;
  }
  SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
  return FALSE;
}

template <typename Class>
void FillClassInfo(const WindowClass& cls, Class* out, std::string& ansiMenu) {
  out->style = cls.style;
  out->lpfnWndProc = cls.proc;
  out->cbClsExtra = cls.clsExtra;
  out->cbWndExtra = cls.wndExtra;
  out->hInstance = cls.instance;
  out->hIcon = cls.icon;
  out->hCursor = cls.cursor;
  out->hbrBackground = cls.brush;
  if constexpr (std::is_same_v<Class, WNDCLASSA>) {
    ansiMenu = platform::WideToAnsi(cls.menuName);
    out->lpszMenuName = cls.menuId ? reinterpret_cast<const char*>(cls.menuId)
                                   : (cls.menuName.empty() ? nullptr : ansiMenu.c_str());
    out->lpszClassName = nullptr;
  } else {
    out->lpszMenuName = cls.menuId ? reinterpret_cast<const char16_t*>(cls.menuId)
                                   : (cls.menuName.empty() ? nullptr : cls.menuName.c_str());
    out->lpszClassName = nullptr;
  }
}

// --- window longs ----------------------------------------------------------------

LONG_PTR GetLongImpl(HWND handle, int index) {
  Lock guard(S().lock);
  auto window = FindLocked(handle);
  if (!window) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  switch (index) {
    case GWL_WNDPROC: return reinterpret_cast<LONG_PTR>(window->proc);
    case GWL_HINSTANCE: return window->instance;
    case GWL_HWNDPARENT: return window->parent ? window->parent : window->owner;
    case GWL_ID: return window->id;
    case GWL_STYLE: return static_cast<LONG>(window->style);
    case GWL_EXSTYLE: return static_cast<LONG>(window->exStyle);
    case GWL_USERDATA: return window->userData;
    default: break;
  }
  if (index < 0 || static_cast<std::size_t>(index) + sizeof(LONG_PTR) > window->extra.size()) {
    if (index >= 0 && static_cast<std::size_t>(index) + sizeof(LONG) <= window->extra.size()) {
      LONG value;
      std::memcpy(&value, window->extra.data() + index, sizeof(value));
      return value;
    }
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  LONG_PTR value;
  std::memcpy(&value, window->extra.data() + index, sizeof(value));
  return value;
}

LONG_PTR StoreLong(HWND handle, int index, LONG_PTR value, bool unicode, std::size_t width) {
  std::unique_lock guard(S().lock);
  auto window = FindLocked(handle);
  if (!window) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  LONG_PTR old = 0;
  switch (index) {
    case GWL_WNDPROC:
      old = reinterpret_cast<LONG_PTR>(window->proc);
      window->proc = reinterpret_cast<WNDPROC>(value);
      window->stub = StubOf(window->proc);
      window->unicode = ProcIsUnicode(window->proc, unicode);
      ++S().changes;
      return old;
    case GWL_HINSTANCE:
      old = window->instance;
      window->instance = static_cast<HINSTANCE>(value);
      return old;
    case GWL_HWNDPARENT:
      if (window->parent != 0) {
        guard.unlock();
        return SetParent(handle, static_cast<HWND>(value));
      }
      old = window->owner;
      window->owner = static_cast<HWND>(value);
      return old;
    case GWL_ID:
      old = window->id;
      window->id = value;
      return old;
    case GWL_STYLE: {
      old = static_cast<LONG>(window->style);
      bool wasVisible = window->style & WS_VISIBLE;
      window->style = static_cast<DWORD>(value);
      if (!wasVisible && (window->style & WS_VISIBLE)) {
        window->hasUpdate = true;
        window->frameDirty = true;
        window->update = ClientRectOf(*window);
      }
      return old;
    }
    case GWL_EXSTYLE:
      old = static_cast<LONG>(window->exStyle);
      window->exStyle = static_cast<DWORD>(value);
      return old;
    case GWL_USERDATA:
      old = window->userData;
      window->userData = value;
      return old;
    default: break;
  }
  if (index < 0 || static_cast<std::size_t>(index) + width > window->extra.size()) {
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  if (width == sizeof(LONG)) {
    LONG oldValue, newValue = static_cast<LONG>(value);
    std::memcpy(&oldValue, window->extra.data() + index, width);
    std::memcpy(window->extra.data() + index, &newValue, width);
    return oldValue;
  }
  std::memcpy(&old, window->extra.data() + index, width);
  std::memcpy(window->extra.data() + index, &value, width);
  return old;
}

// Styles and owner decide how the display shows a top-level window.
LONG_PTR SetLongImpl(HWND handle, int index, LONG_PTR value, bool unicode, std::size_t width) {
  LONG_PTR old = StoreLong(handle, index, value, unicode, width);
  if (index == GWL_STYLE || index == GWL_EXSTYLE || index == GWL_HWNDPARENT) {
    platform::win::detail::NotifyDisplayChanged(handle);
  }
  return old;
}

// --- default procedure -----------------------------------------------------------

template <typename Char>
LRESULT CopyText(const std::u16string& text, Char* buffer, WPARAM size) {
  return static_cast<LRESULT>(platform::win::CopyTextOut(text, buffer, size));
}

template <typename Char>
LRESULT DefWindowProcImpl(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  constexpr bool unicode = sizeof(Char) == 2;
  auto setText = [&](const Char* text) {
    std::u16string wide;
    if constexpr (unicode) {
      wide = text ? std::u16string(text) : std::u16string();
    } else {
      wide = Wide(text);
    }
    {
      Lock guard(S().lock);
      auto window = FindLocked(handle);
      if (!window) return FALSE;
      window->text = std::move(wide);
    }
    platform::win::detail::NotifyDisplayChanged(handle);
    return TRUE;
  };
  auto getText = [&]() {
    Lock guard(S().lock);
    auto window = FindLocked(handle);
    return window ? window->text : std::u16string();
  };
  if (LRESULT result; platform::win::detail::DefInputProc(handle, message, wParam, lParam, result)) return result;
  switch (message) {
    case WM_NCCREATE: {
      using Create = std::conditional_t<unicode, CREATESTRUCTW, CREATESTRUCTA>;
      auto* create = reinterpret_cast<const Create*>(lParam);
      if (create && create->lpszName && !IS_INTRESOURCE(create->lpszName)) setText(create->lpszName);
      return TRUE;
    }
    case WM_SETTEXT:
      return setText(reinterpret_cast<const Char*>(lParam));
    case WM_GETTEXT:
      return CopyText(getText(), reinterpret_cast<Char*>(lParam), wParam);
    case WM_GETTEXTLENGTH: {
      auto text = getText();
      if constexpr (unicode) {
        return static_cast<LRESULT>(text.size());
      } else {
        return static_cast<LRESULT>(platform::WideToAnsi(text).size());
      }
    }
    case WM_NCCALCSIZE: {
      // Windows have no frame here: only scroll bars take room from the client area.
      auto* rect = reinterpret_cast<RECT*>(lParam);
      DWORD style = static_cast<DWORD>(GetWindowLongW(handle, GWL_STYLE));
      if (rect == nullptr) return 0;
      if (style & WS_VSCROLL) {
        if (GetWindowLongW(handle, GWL_EXSTYLE) & WS_EX_LEFTSCROLLBAR) {
          rect->left = std::min(rect->left + GetSystemMetrics(SM_CXVSCROLL), rect->right);
        } else {
          rect->right = std::max(rect->right - GetSystemMetrics(SM_CXVSCROLL), rect->left);
        }
      }
      if (style & WS_HSCROLL) rect->bottom = std::max(rect->bottom - GetSystemMetrics(SM_CYHSCROLL), rect->top);
      return 0;
    }
    case WM_CLOSE:
      DestroyWindow(handle);
      return 0;
    case WM_PAINT:
      ValidateRect(handle, nullptr);
      return 0;
    case WM_NCPAINT: {
      void (*painter)(HWND);
      {
        Lock guard(S().lock);
        painter = S().nonClientPainter;
      }
      if (painter) painter(handle);
      return 0;
    }
    case WM_ERASEBKGND: {
      LRESULT (*handler)(HWND, HDC);
      {
        Lock guard(S().lock);
        handler = S().eraseHandler;
      }
      return handler ? handler(handle, static_cast<HDC>(wParam)) : 0;
    }
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) SendMessageW(handle, WM_CLOSE, 0, 0);
      return 0;
    default:
      return 0;
  }
}

// The property table of a window (the desktop's own for the desktop), or null.
std::map<ATOM, HANDLE>* PropsLocked(HWND handle) {
  if (handle == kDesktop) return &S().desktopProps;
  auto window = FindLocked(handle);
  return window ? &window->props : nullptr;
}

template <typename Char>
HANDLE PropImpl(HWND handle, const Char* name, bool remove) {
  ATOM atom = platform::win::AtomOf(name, false);
  Lock guard(S().lock);
  auto* props = PropsLocked(handle);
  if (!props || atom == 0) return 0;
  auto found = props->find(atom);
  if (found == props->end()) return 0;
  HANDLE value = found->second;
  if (remove) props->erase(found);
  return value;
}

template <typename Char>
BOOL SetPropImpl(HWND handle, const Char* name, HANDLE value) {
  if (handle != kDesktop && !Find(handle)) return FALSE;
  ATOM atom = platform::win::AtomOf(name, true);
  if (atom == 0) return FALSE;
  Lock guard(S().lock);
  auto* props = PropsLocked(handle);
  if (!props) return FALSE;
  (*props)[atom] = value;
  return TRUE;
}

bool NameMatches(const std::u16string& actual, const char16_t* wanted) {
  return wanted == nullptr || actual == wanted;
}

HWND FindWindowImpl(HWND parent, HWND after, const std::u16string& classKey,
                    const char16_t* windowName) {
  Lock guard(S().lock);
  const std::vector<HWND>* list = &S().topLevel;
  if (parent != 0 && parent != kDesktop) {
    auto window = FindLocked(parent);
    if (!window) return 0;
    list = &window->children;
  }
  auto it = list->begin();
  if (after != 0) {
    it = std::find(list->begin(), list->end(), after);
    if (it == list->end()) return 0;
    ++it;
  }
  for (; it != list->end(); ++it) {
    auto window = FindLocked(*it);
    if (!window || window->destroying) continue;
    if (!classKey.empty() && platform::UpperCase(window->cls->name) != classKey) continue;
    if (!NameMatches(window->text, windowName)) continue;
    return window->handle;
  }
  return 0;
}

// Moves and sizes a window; a new size or frame asks for the client area again.
// WM_MOVE carries the client area's position, WM_SIZE its size.
void MoveImpl(HWND handle, const RECT& rect, bool repaint, bool frameChanged = false) {
  bool moved = false, sized = false;
  {
    Lock guard(S().lock);
    auto window = FindLocked(handle);
    if (!window) return;
    moved = rect.left != window->rect.left || rect.top != window->rect.top;
    sized = rect.right - rect.left != window->rect.right - window->rect.left ||
            rect.bottom - rect.top != window->rect.bottom - window->rect.top;
    window->rect = rect;
  }
  sized = ((sized || frameChanged) && CalcClient(handle)) || sized;
  POINT position;
  SIZE size;
  {
    Lock guard(S().lock);
    auto window = FindLocked(handle);
    if (!window) return;
    if (repaint && (moved || sized)) {
      window->hasUpdate = true;
      window->update = ClientRectOf(*window);
    }
    if (sized || frameChanged) window->frameDirty = true;
    position = POINT{window->rect.left + window->client.left, window->rect.top + window->client.top};
    size = SIZE{window->client.right - window->client.left, window->client.bottom - window->client.top};
  }
  if (moved) SendMessageW(handle, WM_MOVE, 0, MAKELONG(static_cast<WORD>(position.x), static_cast<WORD>(position.y)));
  if (sized) SendMessageW(handle, WM_SIZE, 0, MAKELONG(static_cast<WORD>(size.cx), static_cast<WORD>(size.cy)));
  if (repaint && (moved || sized)) platform::win::detail::WakeThread(platform::win::detail::WindowThread(handle));
  platform::win::detail::NotifyDisplayChanged(handle);
}

}  // namespace

// --- stubs -------------------------------------------------------------------------

struct platform::win::WindowProcStub::Entry {
  Function function;
};

platform::win::WindowProcStub::WindowProcStub(Function function, bool unicode)
    : entry_(std::make_shared<Entry>()) {
  entry_->function = std::move(function);
  Lock guard(Stubs().lock);
  Stubs().stubs.emplace(Proc(), std::shared_ptr<Function>(entry_, &entry_->function));
  Stubs().unicode.emplace(Proc(), unicode);
  ++Stubs().changes;
}

platform::win::WindowProcStub::~WindowProcStub() {
  Lock guard(Stubs().lock);
  Stubs().stubs.erase(Proc());
  Stubs().unicode.erase(Proc());
  ++Stubs().changes;
}

WNDPROC platform::win::WindowProcStub::Proc() const {
  return reinterpret_cast<WNDPROC>(entry_.get());
}

// --- platform::win -----------------------------------------------------------------

DWORD platform::win::ThisThreadId() {
  thread_local DWORD id = static_cast<DWORD>(::syscall(SYS_gettid));
  return id;
}

namespace {

// What a message to a window needs of it: its thread and procedure.
struct CallTarget {
  HWND handle = 0;
  std::uint64_t changes = 0;
  DWORD thread = 0;
  WNDPROC proc = nullptr;
  std::shared_ptr<platform::win::WindowProcStub::Function> stub;
  bool unicode = true;
};

// The windows the calling thread looked up last: messages mostly go to the same few
// windows (a control, and the parent it tells of changes) many times over, and then
// the window list's lock is not taken. Once the thread's objects go (its queue's end
// still reaches windows) looks are not kept.
thread_local bool tTargetLooksGone = false;
struct TargetLooks {
  std::array<CallTarget, 4> targets;
  std::size_t next = 0;  // the look replaced next
  ~TargetLooks() { tTargetLooksGone = true; }
};
thread_local TargetLooks tTargetLooks;

// The calling thread's look at a window (kept in `scratch` when looks are no longer
// kept), taken again only when the thread has no look at the handle or a window went
// or changed its procedure since; null when the window is gone. The look is good until
// the thread's next one.
const CallTarget* LookUp(HWND handle, CallTarget& scratch) {
  const std::uint64_t changes = S().changes.load(std::memory_order_acquire);
  if (!tTargetLooksGone && handle != 0) {
    for (const CallTarget& look : tTargetLooks.targets) {
      if (look.handle == handle && look.changes == changes) return &look;
    }
  }
  Lock guard(S().lock);
  auto found = S().windows.find(handle);
  if (found == S().windows.end()) return nullptr;
  const Window& window = *found->second;
  CallTarget& look = tTargetLooksGone ? scratch : tTargetLooks.targets[tTargetLooks.next];
  if (!tTargetLooksGone) tTargetLooks.next = (tTargetLooks.next + 1) % tTargetLooks.targets.size();
  look = CallTarget{handle, S().changes.load(std::memory_order_relaxed), window.thread, window.proc, window.stub,
                    window.unicode};
  return &look;
}

// Calls the window's procedure; with `ownThread` set, only when the window belongs to
// the calling thread (the window's thread is told there either way).
std::optional<LRESULT> CallWindowOf(HWND handle, UINT message, WPARAM wParam, LPARAM lParam, bool unicode,
                                    DWORD* ownThread) {
  CallTarget scratch;
  const CallTarget* target = LookUp(handle, scratch);
  if (ownThread) *ownThread = target ? target->thread : 0;
  if (!target) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return ownThread ? std::nullopt : std::optional<LRESULT>(0);
  }
  if (ownThread && target->thread != platform::win::ThisThreadId()) return std::nullopt;
  // Held for the call: the procedure may look up other windows, or free its stub.
  const WNDPROC proc = target->proc;
  const auto stub = target->stub;
  const bool procUnicode = target->unicode;
  return CallConverted(proc, stub.get(), procUnicode, unicode, handle, message, wParam, lParam);
}

}  // namespace

LRESULT platform::win::detail::CallWindow(HWND handle, UINT message, WPARAM wParam, LPARAM lParam,
                                          bool unicode) {
  return *CallWindowOf(handle, message, wParam, lParam, unicode, nullptr);
}

std::optional<LRESULT> platform::win::detail::CallOwnWindow(HWND handle, UINT message, WPARAM wParam,
                                                            LPARAM lParam, bool unicode, DWORD& thread) {
  return CallWindowOf(handle, message, wParam, lParam, unicode, &thread);
}

DWORD platform::win::detail::WindowThread(HWND handle) {
  CallTarget scratch;
  const CallTarget* target = LookUp(handle, scratch);
  return target ? target->thread : 0;
}

bool platform::win::detail::MatchesFilter(HWND handle, HWND filter) {
  if (filter == 0) return true;
  Lock guard(S().lock);
  return IsDescendantLocked(filter, handle);
}

HWND platform::win::detail::NextWindowToPaint(DWORD threadId, HWND filter) {
  Lock guard(S().lock);
  HWND best = 0;
  for (auto& [handle, window] : S().windows) {
    if (window->thread != threadId || !(window->hasUpdate || window->frameDirty) || window->destroying ||
        window->givenPicture) {
      continue;
    }
    if (!VisibleLocked(*window)) continue;
    if (filter != 0 && !IsDescendantLocked(filter, handle)) continue;
    // The oldest handle first keeps the order stable between runs.
    if (best == 0 || handle < best) best = handle;
  }
  return best;
}

RECT platform::win::detail::TakeUpdateRect(HWND handle, bool* erase) {
  Lock guard(S().lock);
  auto window = FindLocked(handle);
  if (erase) *erase = window && window->erase;
  if (!window || !window->hasUpdate) return RECT{};
  window->hasUpdate = false;
  window->erase = false;
  return window->update;
}

void platform::win::detail::AddWindowGoneListener(void (*listener)(HWND)) {
  Lock guard(S().lock);
  auto& listeners = S().goneListeners;
  if (std::find(listeners.begin(), listeners.end(), listener) == listeners.end()) listeners.push_back(listener);
}

void platform::win::detail::KeepGivenPicture(HWND handle) {
  Lock guard(S().lock);
  auto window = FindLocked(handle);
  if (!window) return;
  window->givenPicture = true;
  window->hasUpdate = false;
  window->frameDirty = false;
}

bool platform::win::detail::TakeFrameDirty(HWND handle) {
  Lock guard(S().lock);
  auto window = FindLocked(handle);
  if (!window || !window->frameDirty) return false;
  window->frameDirty = false;
  return true;
}

void platform::win::detail::SetNonClientPainter(void (*painter)(HWND window)) {
  Lock guard(S().lock);
  S().nonClientPainter = painter;
}

void platform::win::detail::SetEraseBackgroundHandler(LRESULT (*handler)(HWND, HDC)) {
  Lock guard(S().lock);
  S().eraseHandler = handler;
}

void platform::win::detail::ForgetThreadWindows(DWORD threadId) {
  std::vector<HWND> gone;
  {
    Lock guard(S().lock);
    auto& s = S();
    for (auto& [handle, window] : s.windows) {
      if (window->thread == threadId) gone.push_back(handle);
    }
    for (HWND handle : gone) {
      auto window = FindLocked(handle);
      Unlink(SiblingsLocked(*window), handle);
      --window->cls->windows;
    }
    for (HWND handle : gone) s.windows.erase(handle);
    ++s.changes;
    s.input.erase(threadId);
  }
  NotifyGone(gone);
}

HWND platform::win::detail::FindLocalTopLevel(const std::u16string& classKey, const char16_t* windowName) {
  return FindWindowImpl(0, 0, classKey, windowName);
}

std::vector<HWND> platform::win::detail::TopLevelWindows() {
  Lock guard(S().lock);
  return S().topLevel;
}

HWND platform::win::detail::FocusOfThread(DWORD threadId) {
  Lock guard(S().lock);
  auto found = S().input.find(threadId);
  return found == S().input.end() ? 0 : found->second.focus;
}

HWND platform::win::detail::ActiveOfThread(DWORD threadId) {
  Lock guard(S().lock);
  auto found = S().input.find(threadId);
  return found == S().input.end() ? 0 : found->second.active;
}

void platform::win::detail::SetNextHandleForTest(HWND next) {
  Lock guard(S().lock);
  S().nextHandle = next;
}

// --- classes -------------------------------------------------------------------------

ATOM RegisterClassW(const WNDCLASSW* wndClass) { return RegisterClassImpl<char16_t>(wndClass, true); }
ATOM RegisterClassA(const WNDCLASSA* wndClass) { return RegisterClassImpl<char>(wndClass, false); }
ATOM platform::win::detail::RegisterSystemClass(const WNDCLASSW* wndClass) {
  return RegisterClassImpl<char16_t>(wndClass, true, true);
}

BOOL UnregisterClassW(const char16_t* className, HINSTANCE instance) {
  return UnregisterClassImpl(ClassKey(className), instance);
}
BOOL UnregisterClassA(const char* className, HINSTANCE instance) {
  if (IS_INTRESOURCE(className)) return UnregisterClassW(reinterpret_cast<const char16_t*>(className), instance);
  return UnregisterClassImpl(ClassKey(Wide(className).c_str()), instance);
}

BOOL GetClassInfoW(HINSTANCE instance, const char16_t* className, WNDCLASSW* wndClass) {
  EnsureSystemClasses();
  Lock guard(S().lock);
  auto cls = FindClassLocked(ClassKey(className), instance);
  if (!cls || wndClass == nullptr) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  std::string unused;
  FillClassInfo(*cls, wndClass, unused);
  wndClass->lpszClassName = className;
  return TRUE;
}

BOOL GetClassInfoA(HINSTANCE instance, const char* className, WNDCLASSA* wndClass) {
  // The menu name text lives as long as the class; keep one converted copy per thread.
  thread_local std::string ansiMenu;
  EnsureSystemClasses();
  std::u16string key = IS_INTRESOURCE(className)
                           ? ClassKey(reinterpret_cast<const char16_t*>(className))
                           : ClassKey(Wide(className).c_str());
  Lock guard(S().lock);
  auto cls = FindClassLocked(key, instance);
  if (!cls || wndClass == nullptr) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  FillClassInfo(*cls, wndClass, ansiMenu);
  wndClass->lpszClassName = className;
  return TRUE;
}

ULONG_PTR GetClassLongPtrW(HWND handle, int index) {
  auto window = Find(handle);
  if (!window) return 0;
  Lock guard(S().lock);
  const auto& cls = *window->cls;
  switch (index) {
    case GCLP_HBRBACKGROUND: return cls.brush;
    case GCLP_HCURSOR: return cls.cursor;
    case GCLP_HICON: return cls.icon;
    case GCLP_WNDPROC: return reinterpret_cast<ULONG_PTR>(cls.proc);
    case GCL_STYLE: return cls.style;
    default:
      SetLastError(ERROR_INVALID_INDEX);
      return 0;
  }
}

int GetClassNameW(HWND handle, char16_t* buffer, int size) {
  auto window = Find(handle);
  if (!window || size <= 0) return 0;
  return static_cast<int>(CopyText(window->cls->name, buffer, size));
}

int GetClassNameA(HWND handle, char* buffer, int size) {
  auto window = Find(handle);
  if (!window || size <= 0) return 0;
  return static_cast<int>(CopyText(window->cls->name, buffer, size));
}

// --- windows -------------------------------------------------------------------------

HWND CreateWindowExW(DWORD exStyle, const char16_t* className, const char16_t* windowName,
                     DWORD style, int x, int y, int width, int height, HWND parent, HMENU menu,
                     HINSTANCE instance, void* param) {
  return CreateWindowImpl<char16_t, CREATESTRUCTW>(exStyle, className, windowName, style, x, y,
                                                   width, height, parent, menu, instance, param);
}

HWND CreateWindowExA(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                     int x, int y, int width, int height, HWND parent, HMENU menu,
                     HINSTANCE instance, void* param) {
  return CreateWindowImpl<char, CREATESTRUCTA>(exStyle, className, windowName, style, x, y, width,
                                               height, parent, menu, instance, param);
}

BOOL DestroyWindow(HWND handle) {
  std::vector<HWND> tree;
  std::vector<HWND> owned;
  {
    Lock guard(S().lock);
    auto window = FindLocked(handle);
    if (!window) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    if (window->thread != platform::win::ThisThreadId()) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    if (window->destroying) return TRUE;
    CollectTreeLocked(handle, tree);
    for (HWND h : tree) FindLocked(h)->destroying = true;
    window->style &= ~WS_VISIBLE;
    for (auto& [other, w] : S().windows) {
      if (w->owner == handle && !w->destroying) owned.push_back(other);
    }
    auto& s = S();
    for (HWND h : tree) {
      if (s.capture == h) s.capture = 0;
      if (s.foreground == h) s.foreground = 0;
      auto& input = s.input[platform::win::ThisThreadId()];
      if (input.focus == h) input.focus = 0;
      if (input.active == h) input.active = 0;
    }
  }
  for (HWND w : owned) DestroyWindow(w);
  for (HWND h : tree) platform::win::detail::CallWindow(h, WM_DESTROY, 0, 0, true);
  for (auto it = tree.rbegin(); it != tree.rend(); ++it) {
    platform::win::detail::CallWindow(*it, WM_NCDESTROY, 0, 0, true);
  }
  {
    Lock guard(S().lock);
    for (HWND h : tree) {
      auto window = FindLocked(h);
      if (!window) continue;
      Unlink(SiblingsLocked(*window), h);
      --window->cls->windows;
      S().windows.erase(h);
      ++S().changes;
    }
  }
  for (HWND h : tree) platform::win::detail::ForgetWindowTimers(h);
  NotifyGone(tree);
  return TRUE;
}

BOOL IsWindow(HWND handle) {
  if (handle == kDesktop) return TRUE;
  if (platform::win::detail::IsRemoteHandle(handle)) return platform::win::detail::IsRemoteWindow(handle);
  Lock guard(S().lock);
  return FindLocked(handle) != nullptr;
}

BOOL IsWindowUnicode(HWND handle) {
  auto window = Find(handle);
  if (!window) return FALSE;
  Lock guard(S().lock);
  return window->unicode;
}

HWND GetDesktopWindow() { return kDesktop; }

DWORD GetWindowThreadProcessId(HWND handle, DWORD* processId) {
  DWORD thread = platform::win::detail::WindowThread(handle);
  if (thread == 0) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (processId) *processId = static_cast<DWORD>(::getpid());
  return thread;
}

LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcImpl<char16_t>(window, message, wParam, lParam);
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcImpl<char>(window, message, wParam, lParam);
}

// A procedure value is called as it is, as the platform does for procedure
// addresses: text conversion happens where a message enters a window.
LRESULT CallWindowProcW(WNDPROC proc, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return Invoke(proc, window, message, wParam, lParam);
}

LRESULT CallWindowProcA(WNDPROC proc, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return Invoke(proc, window, message, wParam, lParam);
}

LONG_PTR GetWindowLongPtrW(HWND window, int index) { return GetLongImpl(window, index); }
LONG_PTR GetWindowLongPtrA(HWND window, int index) { return GetLongImpl(window, index); }
LONG_PTR SetWindowLongPtrW(HWND window, int index, LONG_PTR value) {
  return SetLongImpl(window, index, value, true, sizeof(LONG_PTR));
}
LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
  return SetLongImpl(window, index, value, false, sizeof(LONG_PTR));
}
LONG GetWindowLongW(HWND window, int index) { return static_cast<LONG>(GetLongImpl(window, index)); }
LONG GetWindowLongA(HWND window, int index) { return static_cast<LONG>(GetLongImpl(window, index)); }
LONG SetWindowLongW(HWND window, int index, LONG value) {
  return static_cast<LONG>(SetLongImpl(window, index, value, true, sizeof(LONG)));
}
LONG SetWindowLongA(HWND window, int index, LONG value) {
  return static_cast<LONG>(SetLongImpl(window, index, value, false, sizeof(LONG)));
}

BOOL SetWindowTextW(HWND window, const char16_t* text) {
  if (!Find(window)) return FALSE;
  return SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) != 0;
}
BOOL SetWindowTextA(HWND window, const char* text) {
  if (!Find(window)) return FALSE;
  return SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) != 0;
}
int GetWindowTextW(HWND window, char16_t* buffer, int size) {
  if (buffer && size > 0) buffer[0] = 0;
  if (!Find(window) || size <= 0) return 0;
  return static_cast<int>(SendMessageW(window, WM_GETTEXT, size, reinterpret_cast<LPARAM>(buffer)));
}
int GetWindowTextA(HWND window, char* buffer, int size) {
  if (buffer && size > 0) buffer[0] = 0;
  if (!Find(window) || size <= 0) return 0;
  return static_cast<int>(SendMessageA(window, WM_GETTEXT, size, reinterpret_cast<LPARAM>(buffer)));
}
int GetWindowTextLengthW(HWND window) {
  return Find(window) ? static_cast<int>(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0)) : 0;
}
int GetWindowTextLengthA(HWND window) {
  return Find(window) ? static_cast<int>(SendMessageA(window, WM_GETTEXTLENGTH, 0, 0)) : 0;
}

BOOL SetPropW(HWND window, const char16_t* name, HANDLE value) { return SetPropImpl(window, name, value); }
BOOL SetPropA(HWND window, const char* name, HANDLE value) { return SetPropImpl(window, name, value); }
HANDLE GetPropW(HWND window, const char16_t* name) { return PropImpl(window, name, false); }
HANDLE GetPropA(HWND window, const char* name) { return PropImpl(window, name, false); }
HANDLE RemovePropW(HWND window, const char16_t* name) { return PropImpl(window, name, true); }
HANDLE RemovePropA(HWND window, const char* name) { return PropImpl(window, name, true); }

// --- family --------------------------------------------------------------------------

HWND GetParent(HWND handle) {
  auto window = Find(handle);
  if (!window) return 0;
  Lock guard(S().lock);
  // As the platform: the parent of a child window, else the owner of a popup.
  if (window->style & WS_CHILD) return window->parent;
  return (window->style & WS_POPUP) ? window->owner : 0;
}

HWND SetParent(HWND handle, HWND newParent) {
  Lock guard(S().lock);
  auto window = FindLocked(handle);
  if (!window || (newParent != 0 && newParent != kDesktop && !FindLocked(newParent)) ||
      (newParent != 0 && IsDescendantLocked(handle, newParent))) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  HWND old = window->parent ? window->parent : kDesktop;
  Unlink(SiblingsLocked(*window), handle);
  window->parent = newParent == kDesktop ? 0 : newParent;
  if (window->parent != 0) {
    FindLocked(window->parent)->children.push_back(handle);
  } else {
    S().topLevel.insert(S().topLevel.begin(), handle);
  }
  return old;
}

HWND GetWindow(HWND handle, UINT command) {
  Lock guard(S().lock);
  auto window = handle == kDesktop ? nullptr : FindLocked(handle);
  if (handle == kDesktop && command == GW_CHILD) {
    return S().topLevel.empty() ? 0 : S().topLevel.front();
  }
  if (!window) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (command == GW_OWNER) return window->owner;
  if (command == GW_CHILD) return window->children.empty() ? 0 : window->children.front();
  auto& siblings = SiblingsLocked(*window);
  auto it = std::find(siblings.begin(), siblings.end(), handle);
  switch (command) {
    case GW_HWNDFIRST: return siblings.empty() ? 0 : siblings.front();
    case GW_HWNDLAST: return siblings.empty() ? 0 : siblings.back();
    case GW_HWNDNEXT: return (it == siblings.end() || it + 1 == siblings.end()) ? 0 : *(it + 1);
    case GW_HWNDPREV: return (it == siblings.end() || it == siblings.begin()) ? 0 : *(it - 1);
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
  }
}

HWND GetAncestor(HWND handle, UINT flags) {
  Lock guard(S().lock);
  auto window = FindLocked(handle);
  if (!window) return 0;
  if (flags == GA_PARENT) return window->parent ? window->parent : kDesktop;
  while (window->parent != 0) window = FindLocked(window->parent);
  return window->handle;
}

BOOL IsChild(HWND parent, HWND handle) {
  Lock guard(S().lock);
  return parent != handle && IsDescendantLocked(parent, handle);
}

int GetDlgCtrlID(HWND handle) {
  auto window = Find(handle);
  if (!window) return 0;
  Lock guard(S().lock);
  return static_cast<int>(window->id);
}

HWND GetDlgItem(HWND dialog, int id) {
  Lock guard(S().lock);
  auto window = FindLocked(dialog);
  if (!window) return 0;
  for (HWND child : window->children) {
    auto c = FindLocked(child);
    if (c && c->id == id) return child;
  }
  return 0;
}

BOOL EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM lParam) {
  std::vector<HWND> tree;
  {
    Lock guard(S().lock);
    if (parent == 0 || parent == kDesktop) {
      for (HWND top : S().topLevel) CollectTreeLocked(top, tree);
    } else {
      CollectTreeLocked(parent, tree);
      if (!tree.empty()) tree.erase(tree.begin());
    }
  }
  for (HWND h : tree) {
    if (IsWindow(h) && !proc(h, lParam)) break;
  }
  return TRUE;
}

BOOL EnumThreadWindows(DWORD threadId, WNDENUMPROC proc, LPARAM lParam) {
  std::vector<HWND> list;
  {
    Lock guard(S().lock);
    for (HWND top : S().topLevel) {
      auto w = FindLocked(top);
      if (w && w->thread == threadId) list.push_back(top);
    }
  }
  for (HWND h : list) {
    if (IsWindow(h) && !proc(h, lParam)) return FALSE;
  }
  return list.empty() ? FALSE : TRUE;
}

// A top-level window of this process first, then one of another process of the user.
HWND FindTopLevel(const std::u16string& classKey, const char16_t* windowName) {
  HWND local = FindWindowImpl(0, 0, classKey, windowName);
  return local != 0 ? local : platform::win::detail::FindRemoteWindow(classKey, windowName);
}

HWND FindWindowW(const char16_t* className, const char16_t* windowName) {
  return FindTopLevel(ClassKey(className), windowName);
}

HWND FindWindowA(const char* className, const char* windowName) {
  std::u16string key = IS_INTRESOURCE(className)
                           ? ClassKey(reinterpret_cast<const char16_t*>(className))
                           : ClassKey(Wide(className).c_str());
  std::u16string name = Wide(windowName);
  return FindTopLevel(key, windowName ? name.c_str() : nullptr);
}

HWND FindWindowExW(HWND parent, HWND childAfter, const char16_t* className,
                   const char16_t* windowName) {
  return FindWindowImpl(parent, childAfter, ClassKey(className), windowName);
}

// --- geometry ------------------------------------------------------------------------

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
  if (!Find(window)) return FALSE;
  MoveImpl(window, RECT{x, y, x + std::max(width, 0), y + std::max(height, 0)}, repaint);
  return TRUE;
}

BOOL SetWindowPos(HWND handle, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  RECT rect;
  {
    Lock guard(S().lock);
    auto window = FindLocked(handle);
    if (!window) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    rect = window->rect;
    if (!(flags & SWP_NOZORDER)) {
      auto& siblings = SiblingsLocked(*window);
      Unlink(siblings, handle);
      if (insertAfter == HWND_TOP || insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST) {
        siblings.insert(siblings.begin(), handle);
      } else if (insertAfter == HWND_BOTTOM) {
        siblings.push_back(handle);
      } else {
        auto it = std::find(siblings.begin(), siblings.end(), insertAfter);
        siblings.insert(it == siblings.end() ? it : it + 1, handle);
      }
      if (insertAfter == HWND_TOPMOST) window->exStyle |= WS_EX_TOPMOST;
      if (insertAfter == HWND_NOTOPMOST) window->exStyle &= ~WS_EX_TOPMOST;
    }
  }
  if (!(flags & SWP_NOMOVE)) {
    rect = RECT{x, y, x + rect.right - rect.left, y + rect.bottom - rect.top};
  }
  if (!(flags & SWP_NOSIZE)) rect = RECT{rect.left, rect.top, rect.left + std::max(cx, 0), rect.top + std::max(cy, 0)};
  MoveImpl(handle, rect, !(flags & SWP_NOREDRAW), (flags & SWP_FRAMECHANGED) != 0);
  if (flags & SWP_SHOWWINDOW) ShowWindow(handle, (flags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
  if (flags & SWP_HIDEWINDOW) ShowWindow(handle, SW_HIDE);
  return TRUE;
}

BOOL GetWindowRect(HWND handle, RECT* rect) {
  if (rect == nullptr) return FALSE;
  if (handle == kDesktop) {
    *rect = RECT{0, 0, platform::win::kScreenWidth, platform::win::kScreenHeight};
    return TRUE;
  }
  Lock guard(S().lock);
  auto window = FindLocked(handle);
  if (!window) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  POINT origin = OriginLocked(*window);
  *rect = RECT{origin.x, origin.y, origin.x + window->rect.right - window->rect.left,
               origin.y + window->rect.bottom - window->rect.top};
  return TRUE;
}

BOOL GetClientRect(HWND handle, RECT* rect) {
  if (rect == nullptr) return FALSE;
  if (handle == kDesktop) return GetWindowRect(handle, rect);
  Lock guard(S().lock);
  auto window = FindLocked(handle);
  if (!window) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  *rect = ClientRectOf(*window);
  return TRUE;
}

// The screen position of a window's client area (the screen's corner for the desktop).
bool ClientOrigin(HWND handle, POINT* origin) {
  if (handle == kDesktop) {
    *origin = POINT{0, 0};
    return true;
  }
  Lock guard(S().lock);
  auto window = FindLocked(handle);
  if (!window) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  *origin = ClientOriginLocked(*window);
  return true;
}

BOOL ClientToScreen(HWND handle, POINT* point) {
  POINT origin;
  if (point == nullptr || !ClientOrigin(handle, &origin)) return FALSE;
  point->x += origin.x;
  point->y += origin.y;
  return TRUE;
}

BOOL ScreenToClient(HWND handle, POINT* point) {
  POINT origin;
  if (point == nullptr || !ClientOrigin(handle, &origin)) return FALSE;
  point->x -= origin.x;
  point->y -= origin.y;
  return TRUE;
}

BOOL ShowWindow(HWND handle, int command) {
  bool wasVisible;
  bool show = command != SW_HIDE;
  {
    Lock guard(S().lock);
    auto window = FindLocked(handle);
    if (!window) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    wasVisible = window->style & WS_VISIBLE;
    // Minimising, maximising and restoring apply to a window already shown as well.
    if (command == SW_SHOWMINIMIZED || command == SW_MINIMIZE) window->style |= WS_MINIMIZE;
    if (command == SW_SHOWMAXIMIZED) window->style |= WS_MAXIMIZE;
    if (command == SW_RESTORE || command == SW_SHOWNORMAL) window->style &= ~(WS_MINIMIZE | WS_MAXIMIZE);
    if (wasVisible == show) return wasVisible;
    if (show) {
      window->style |= WS_VISIBLE;
      window->hasUpdate = true;
      window->frameDirty = true;
      window->erase = true;
      window->update = ClientRectOf(*window);
    } else {
      window->style &= ~WS_VISIBLE;
    }
  }
  SendMessageW(handle, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
  if (show) platform::win::detail::WakeThread(platform::win::detail::WindowThread(handle));
  platform::win::detail::NotifyDisplayChanged(handle);
  return wasVisible;
}

BOOL IsWindowVisible(HWND handle) {
  Lock guard(S().lock);
  auto window = FindLocked(handle);
  return window && VisibleLocked(*window);
}

BOOL EnableWindow(HWND handle, BOOL enable) {
  bool wasDisabled;
  {
    Lock guard(S().lock);
    auto window = FindLocked(handle);
    if (!window) return FALSE;
    wasDisabled = window->style & WS_DISABLED;
    if (wasDisabled == !enable) return wasDisabled;
    if (enable) {
      window->style &= ~WS_DISABLED;
    } else {
      window->style |= WS_DISABLED;
    }
  }
  if (!enable && GetFocus() == handle) SetFocus(0);
  SendMessageW(handle, WM_ENABLE, enable ? TRUE : FALSE, 0);
  return wasDisabled;
}

BOOL IsWindowEnabled(HWND handle) {
  auto window = Find(handle);
  Lock guard(S().lock);
  return window && !(window->style & WS_DISABLED);
}

BOOL IsIconic(HWND handle) { return (GetWindowLongW(handle, GWL_STYLE) & WS_MINIMIZE) != 0; }
BOOL IsZoomed(HWND handle) { return (GetWindowLongW(handle, GWL_STYLE) & WS_MAXIMIZE) != 0; }

// --- focus, activation, capture ------------------------------------------------------

HWND SetFocus(HWND handle) {
  DWORD self = platform::win::ThisThreadId();
  HWND old;
  HWND root = 0;
  {
    Lock guard(S().lock);
    auto& input = S().input[self];
    old = input.focus;
    if (handle != 0) {
      auto window = FindLocked(handle);
      if (!window || window->thread != self || (window->style & WS_DISABLED)) {
        if (!window) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
      }
      root = handle;
      for (auto w = window; w && w->parent != 0; w = FindLocked(w->parent)) root = w->parent;
    }
    if (old == handle) return old;
    input.focus = handle;
  }
  if (root != 0 && GetActiveWindow() != root) SetActiveWindow(root);
  if (old != 0 && IsWindow(old)) SendMessageW(old, WM_KILLFOCUS, handle, 0);
  if (handle != 0 && GetFocus() == handle) SendMessageW(handle, WM_SETFOCUS, old, 0);
  return old;
}

HWND GetFocus() { return CurrentInput().focus; }

HWND SetActiveWindow(HWND handle) {
  DWORD self = platform::win::ThisThreadId();
  HWND old;
  {
    Lock guard(S().lock);
    auto& input = S().input[self];
    old = input.active;
    if (handle != 0) {
      auto window = FindLocked(handle);
      if (!window || window->thread != self) return 0;
    }
    if (old == handle) return old;
    input.active = handle;
    if (handle != 0) S().foreground = handle;
  }
  constexpr WPARAM kInactive = 0, kActive = 1;
  if (old != 0 && IsWindow(old)) SendMessageW(old, WM_ACTIVATE, kInactive, static_cast<LPARAM>(handle));
  if (handle != 0) SendMessageW(handle, WM_ACTIVATE, kActive, static_cast<LPARAM>(old));
  return old;
}

HWND GetActiveWindow() { return CurrentInput().active; }

BOOL SetForegroundWindow(HWND handle) {
  auto window = Find(handle);
  if (!window) return FALSE;
  if (platform::win::detail::WindowThread(handle) == platform::win::ThisThreadId()) {
    SetActiveWindow(GetAncestor(handle, GA_ROOT));
  }
  Lock guard(S().lock);
  S().foreground = handle;
  return TRUE;
}

BOOL BringWindowToTop(HWND window) {
  return SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

BOOL FlashWindow(HWND handle, BOOL) {
  auto window = Find(handle);
  if (!window) return FALSE;
  Lock guard(S().lock);
  ++window->flashes;
  return TRUE;
}

int platform::win::detail::FlashCount(HWND handle) {
  auto window = Find(handle);
  if (!window) return 0;
  Lock guard(S().lock);
  return window->flashes;
}

HWND GetForegroundWindow() {
  Lock guard(S().lock);
  return S().foreground;
}

HWND SetCapture(HWND handle) {
  HWND old;
  {
    Lock guard(S().lock);
    if (!FindLocked(handle)) return 0;
    old = S().capture;
    S().capture = handle;
  }
  if (old != 0 && old != handle) SendMessageW(old, WM_CAPTURECHANGED, 0, static_cast<LPARAM>(handle));
  return old;
}

BOOL ReleaseCapture() {
  HWND old;
  {
    Lock guard(S().lock);
    old = S().capture;
    S().capture = 0;
  }
  if (old != 0) SendMessageW(old, WM_CAPTURECHANGED, 0, 0);
  return TRUE;
}

HWND GetCapture() {
  Lock guard(S().lock);
  return S().capture;
}

BOOL GetCursorPos(POINT* point) {
  if (point == nullptr) return FALSE;
  Lock guard(S().lock);
  *point = S().cursor;
  return TRUE;
}

BOOL SetCursorPos(int x, int y) {
  Lock guard(S().lock);
  S().cursor = POINT{std::clamp(x, 0, platform::win::kScreenWidth - 1), std::clamp(y, 0, platform::win::kScreenHeight - 1)};
  return TRUE;
}

// --- invalidation --------------------------------------------------------------------

BOOL InvalidateRect(HWND handle, const RECT* rect, BOOL erase) {
  DWORD thread;
  {
    Lock guard(S().lock);
    auto window = FindLocked(handle);
    if (!window) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    RECT area = rect ? *rect : ClientRectOf(*window);
    if (Empty(area)) return TRUE;
    window->update = window->hasUpdate ? Union(window->update, area) : area;
    window->hasUpdate = true;
    window->erase = window->erase || erase;
    thread = window->thread;
  }
  platform::win::detail::WakeThread(thread);
  return TRUE;
}

BOOL ValidateRect(HWND handle, const RECT* rect) {
  Lock guard(S().lock);
  auto window = FindLocked(handle);
  if (!window) return FALSE;
  // A rectangle that leaves part of the update area keeps the whole area: the update
  // area is one rectangle here.
  if (rect == nullptr ||
      (rect->left <= window->update.left && rect->top <= window->update.top &&
       rect->right >= window->update.right && rect->bottom >= window->update.bottom)) {
    window->hasUpdate = false;
    window->update = RECT{};
  }
  return TRUE;
}

BOOL GetUpdateRect(HWND handle, RECT* rect, BOOL) {
  Lock guard(S().lock);
  auto window = FindLocked(handle);
  if (!window) return FALSE;
  if (rect) *rect = window->hasUpdate ? window->update : RECT{};
  return window->hasUpdate ? TRUE : FALSE;
}

BOOL UpdateWindow(HWND handle) {
  if (!IsWindowVisible(handle)) return IsWindow(handle);
  if (platform::win::detail::TakeFrameDirty(handle)) SendMessageW(handle, WM_NCPAINT, 1, 0);
  RECT rect;
  if (GetUpdateRect(handle, &rect, FALSE)) SendMessageW(handle, WM_PAINT, 0, 0);
  return TRUE;
}

BOOL RedrawWindow(HWND handle, const RECT* rect, HRGN region, UINT flags) {
  if (!IsWindow(handle)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (region != 0) {
    // Update regions are single rectangles here.
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  RECT client{};
  GetClientRect(handle, &client);
  RECT inside = client;
  if (rect != nullptr) {
    inside = RECT{std::max(rect->left, client.left), std::max(rect->top, client.top),
                  std::min(rect->right, client.right), std::min(rect->bottom, client.bottom)};
  }
  // With RDW_FRAME a rectangle that reaches past the client area takes in the frame.
  const bool frame = (flags & RDW_FRAME) != 0 &&
                     (rect == nullptr || rect->left < client.left || rect->top < client.top ||
                      rect->right > client.right || rect->bottom > client.bottom);
  if (flags & RDW_INVALIDATE) {
    if (!Empty(inside)) InvalidateRect(handle, &inside, (flags & RDW_ERASE) != 0 && !(flags & RDW_NOERASE));
    if (frame) {
      DWORD thread = 0;
      {
        Lock guard(S().lock);
        if (auto window = FindLocked(handle)) {
          window->frameDirty = true;
          thread = window->thread;
        }
      }
      platform::win::detail::WakeThread(thread);
    }
  } else if (flags & RDW_VALIDATE) {
    ValidateRect(handle, rect != nullptr ? &inside : nullptr);
    if (frame) platform::win::detail::TakeFrameDirty(handle);
  }
  if (flags & (RDW_UPDATENOW | RDW_ERASENOW)) UpdateWindow(handle);
  return TRUE;
}
