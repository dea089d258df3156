#include "platform/win/keyboard.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "platform/base/errors.h"
#include "platform/win/message_queue.h"
#include "platform/win/window.h"

namespace {

struct Key {
  int vk;
  UINT scan;
  char16_t plain;  // what the key types without Shift on the US layout (0: nothing)
  const char16_t* name;
};

// Scan codes of set 1 and the names the system gives the keys.
constexpr Key kKeys[] = {
    {VK_BACK, 0x0E, 8, u"Backspace"}, {VK_TAB, 0x0F, 9, u"Tab"},     {VK_RETURN, 0x1C, 13, u"Enter"},
    {VK_SHIFT, 0x2A, 0, u"Shift"},    {VK_CONTROL, 0x1D, 0, u"Ctrl"}, {VK_MENU, 0x38, 0, u"Alt"},
    {VK_ESCAPE, 0x01, 27, u"Esc"},    {VK_SPACE, 0x39, u' ', u"Space"},
    {'1', 0x02, u'1', nullptr},       {'2', 0x03, u'2', nullptr},     {'3', 0x04, u'3', nullptr},
    {'4', 0x05, u'4', nullptr},       {'5', 0x06, u'5', nullptr},     {'6', 0x07, u'6', nullptr},
    {'7', 0x08, u'7', nullptr},       {'8', 0x09, u'8', nullptr},     {'9', 0x0A, u'9', nullptr},
    {'0', 0x0B, u'0', nullptr},       {'Q', 0x10, u'Q', nullptr},     {'W', 0x11, u'W', nullptr},
    {'E', 0x12, u'E', nullptr},       {'R', 0x13, u'R', nullptr},     {'T', 0x14, u'T', nullptr},
    {'Y', 0x15, u'Y', nullptr},       {'U', 0x16, u'U', nullptr},     {'I', 0x17, u'I', nullptr},
    {'O', 0x18, u'O', nullptr},       {'P', 0x19, u'P', nullptr},     {'A', 0x1E, u'A', nullptr},
    {'S', 0x1F, u'S', nullptr},       {'D', 0x20, u'D', nullptr},     {'F', 0x21, u'F', nullptr},
    {'G', 0x22, u'G', nullptr},       {'H', 0x23, u'H', nullptr},     {'J', 0x24, u'J', nullptr},
    {'K', 0x25, u'K', nullptr},       {'L', 0x26, u'L', nullptr},     {'Z', 0x2C, u'Z', nullptr},
    {'X', 0x2D, u'X', nullptr},       {'C', 0x2E, u'C', nullptr},     {'V', 0x2F, u'V', nullptr},
    {'B', 0x30, u'B', nullptr},       {'N', 0x31, u'N', nullptr},     {'M', 0x32, u'M', nullptr},
    {0xBD, 0x0C, u'-', nullptr},      {0xBB, 0x0D, u'=', nullptr},    {0xDB, 0x1A, u'[', nullptr},
    {0xDD, 0x1B, u']', nullptr},      {0xBA, 0x27, u';', nullptr},    {0xDE, 0x28, u'\'', nullptr},
    {0xC0, 0x29, u'`', nullptr},      {0xDC, 0x2B, u'\\', nullptr},   {0xBC, 0x33, u',', nullptr},
    {0xBE, 0x34, u'.', nullptr},      {0xBF, 0x35, u'/', nullptr},
    {VK_NUMPAD0, 0x52, u'0', u"Num 0"}, {VK_NUMPAD0 + 1, 0x4F, u'1', u"Num 1"},
    {VK_NUMPAD0 + 2, 0x50, u'2', u"Num 2"}, {VK_NUMPAD0 + 3, 0x51, u'3', u"Num 3"},
    {VK_NUMPAD0 + 4, 0x4B, u'4', u"Num 4"}, {VK_NUMPAD0 + 5, 0x4C, u'5', u"Num 5"},
    {VK_NUMPAD0 + 6, 0x4D, u'6', u"Num 6"}, {VK_NUMPAD0 + 7, 0x47, u'7', u"Num 7"},
    {VK_NUMPAD0 + 8, 0x48, u'8', u"Num 8"}, {VK_NUMPAD0 + 9, 0x49, u'9', u"Num 9"},
    {VK_F1, 0x3B, 0, u"F1"},  {VK_F1 + 1, 0x3C, 0, u"F2"},  {VK_F1 + 2, 0x3D, 0, u"F3"},
    {VK_F1 + 3, 0x3E, 0, u"F4"},  {VK_F1 + 4, 0x3F, 0, u"F5"},  {VK_F1 + 5, 0x40, 0, u"F6"},
    {VK_F1 + 6, 0x41, 0, u"F7"},  {VK_F1 + 7, 0x42, 0, u"F8"},  {VK_F1 + 8, 0x43, 0, u"F9"},
    {VK_F1 + 9, 0x44, 0, u"F10"}, {VK_F1 + 10, 0x57, 0, u"F11"}, {VK_F1 + 11, 0x58, 0, u"F12"},
};

// The French layout's digit row types these without Shift; Shift gives the digit.
constexpr char16_t kFrenchDigitRow[10] = {u'\u00e0', u'&', u'\u00e9', u'"', u'\'', u'(', u'-', u'\u00e8', u'_', u'\u00e7'};

const Key* ByVk(UINT vk) {
  for (const auto& key : kKeys) {
    if (static_cast<UINT>(key.vk) == vk) return &key;
  }
  return nullptr;
}

const Key* ByScan(UINT scan) {
  for (const auto& key : kKeys) {
    if (key.scan == scan) return &key;
  }
  return nullptr;
}

HKL& ThreadLayout() {
  thread_local HKL layout = kLayoutUnitedStates;
  return layout;
}

char16_t PlainCharacter(const Key& key) {
  if (ThreadLayout() == kLayoutFrench && key.vk >= '0' && key.vk <= '9') return kFrenchDigitRow[key.vk - '0'];
  return key.plain;
}

// What the key types without Shift: letters in lower case.
char16_t UnshiftedCharacter(const Key& key) {
  if (key.vk >= 'A' && key.vk <= 'Z') return static_cast<char16_t>(key.plain + (u'a' - u'A'));
  return PlainCharacter(key);
}

// What the key types with Shift (0: nothing); the numeric pad types nothing then.
char16_t ShiftedCharacter(const Key& key) {
  static constexpr std::u16string_view kUsPlain = u"1234567890-=[];'`\\,./";
  static constexpr std::u16string_view kUsShifted = u"!@#$%^&*()_+{}:\"~|<>?";
  if (key.vk >= VK_NUMPAD0 && key.vk <= VK_NUMPAD0 + 9) return 0;
  if (key.vk >= 'A' && key.vk <= 'Z') return key.plain;
  if (ThreadLayout() == kLayoutFrench && key.vk >= '0' && key.vk <= '9') return key.plain;
  if (key.plain != 0 && key.plain <= u' ') return key.plain;
  auto at = kUsPlain.find(key.plain);
  return at == std::u16string_view::npos ? 0 : kUsShifted[at];
}

}  // namespace

HKL GetKeyboardLayout(DWORD threadId) {
  if (threadId != 0 && threadId != platform::win::ThisThreadId()) return kLayoutUnitedStates;
  return ThreadLayout();
}

HKL ActivateKeyboardLayout(HKL layout, UINT) {
  if (layout != kLayoutUnitedStates && layout != kLayoutFrench) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  HKL previous = ThreadLayout();
  ThreadLayout() = layout;
  return previous;
}

UINT MapVirtualKeyW(UINT code, UINT mapType) {
  switch (mapType) {
    case MAPVK_VK_TO_VSC: {
      const Key* key = ByVk(code);
      return key ? key->scan : 0;
    }
    case MAPVK_VSC_TO_VK: {
      const Key* key = ByScan(code);
      return key ? static_cast<UINT>(key->vk) : 0;
    }
    case MAPVK_VK_TO_CHAR: {
      const Key* key = ByVk(code);
      return key ? PlainCharacter(*key) : 0;
    }
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
  }
}

int GetKeyNameTextW(LONG lParam, char16_t* buffer, int size) {
  if (buffer == nullptr || size <= 0) return 0;
  const Key* key = ByScan((static_cast<UINT>(lParam) >> 16) & 0xFF);
  std::u16string name;
  if (key != nullptr) name = key->name ? std::u16string(key->name) : std::u16string(1, PlainCharacter(*key));
  int count = std::min<int>(static_cast<int>(name.size()), size - 1);
  std::copy_n(name.begin(), count, buffer);
  buffer[count] = 0;
  return count;
}

short VkKeyScanW(char16_t character) {
  constexpr short kShift = 0x100;
  for (const auto& key : kKeys) {
    if (key.vk >= VK_NUMPAD0 && key.vk <= VK_NUMPAD0 + 9) continue;
    if (UnshiftedCharacter(key) == character) return static_cast<short>(key.vk);
  }
  for (const auto& key : kKeys) {
    if (ShiftedCharacter(key) == character) return static_cast<short>(key.vk | kShift);
  }
  return -1;
}

char16_t platform::win::detail::KeyCharacter(int virtualKey, bool shift) {
  const Key* key = ByVk(static_cast<UINT>(virtualKey));
  if (key == nullptr) return 0;
  return shift ? ShiftedCharacter(*key) : UnshiftedCharacter(*key);
}
