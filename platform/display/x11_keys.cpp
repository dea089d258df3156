#include "platform/display/x11_keys.h"

#include <xkbcommon/xkbcommon.h>

#include <array>
#include <utility>

#include "platform/win/input.h"
#include "platform/win/keyboard.h"

namespace {

// Symbols of keys that type no character, or whose character is not what they mean.
constexpr std::array<std::pair<std::uint32_t, int>, 31> kNamedKeys{{
    {XKB_KEY_BackSpace, VK_BACK},   {XKB_KEY_Tab, VK_TAB},           {XKB_KEY_ISO_Left_Tab, VK_TAB},
    {XKB_KEY_Return, VK_RETURN},    {XKB_KEY_KP_Enter, VK_RETURN},   {XKB_KEY_Escape, VK_ESCAPE},
    {XKB_KEY_Delete, VK_DELETE},    {XKB_KEY_KP_Delete, VK_DELETE},  {XKB_KEY_Insert, VK_INSERT},
    {XKB_KEY_Home, VK_HOME},        {XKB_KEY_End, VK_END},           {XKB_KEY_Prior, VK_PRIOR},
    {XKB_KEY_Next, VK_NEXT},        {XKB_KEY_Left, VK_LEFT},         {XKB_KEY_Right, VK_RIGHT},
    {XKB_KEY_Up, VK_UP},            {XKB_KEY_Down, VK_DOWN},         {XKB_KEY_KP_Home, VK_HOME},
    {XKB_KEY_KP_End, VK_END},       {XKB_KEY_KP_Left, VK_LEFT},      {XKB_KEY_KP_Right, VK_RIGHT},
    {XKB_KEY_KP_Up, VK_UP},         {XKB_KEY_KP_Down, VK_DOWN},      {XKB_KEY_Shift_L, VK_SHIFT},
    {XKB_KEY_Shift_R, VK_SHIFT},    {XKB_KEY_Control_L, VK_CONTROL}, {XKB_KEY_Control_R, VK_CONTROL},
    {XKB_KEY_Alt_L, VK_MENU},       {XKB_KEY_Alt_R, VK_MENU},        {XKB_KEY_Menu, VK_APPS},
    {XKB_KEY_space, VK_SPACE},
}};

int NamedKey(std::uint32_t keysym) {
  for (const auto& [symbol, key] : kNamedKeys) {
    if (symbol == keysym) return key;
  }
  if (keysym >= XKB_KEY_F1 && keysym <= XKB_KEY_F24) return VK_F1 + static_cast<int>(keysym - XKB_KEY_F1);
  if (keysym >= XKB_KEY_a && keysym <= XKB_KEY_z) return 'A' + static_cast<int>(keysym - XKB_KEY_a);
  if (keysym >= XKB_KEY_A && keysym <= XKB_KEY_Z) return 'A' + static_cast<int>(keysym - XKB_KEY_A);
  if (keysym >= XKB_KEY_0 && keysym <= XKB_KEY_9) return '0' + static_cast<int>(keysym - XKB_KEY_0);
  return 0;
}

std::u16string Utf16(char32_t character) {
  if (character < 0x10000) return std::u16string(1, static_cast<char16_t>(character));
  character -= 0x10000;
  return std::u16string{static_cast<char16_t>(0xD800 + (character >> 10)),
                        static_cast<char16_t>(0xDC00 + (character & 0x3FF))};
}

}  // namespace

platform::display::KeyStroke platform::display::KeyFromSymbol(std::uint32_t keysym, bool shift) {
  if (int key = NamedKey(keysym)) return KeyStroke{key, {}};
  char32_t character = xkb_keysym_to_utf32(keysym);
  if (character < 0x20 || (character >= 0x7F && character < 0xA0)) return KeyStroke{};
  if (character < 0x10000) {
    short scan = VkKeyScanW(static_cast<char16_t>(character));
    if (scan != -1 && ((scan & 0x100) != 0) == shift) return KeyStroke{scan & 0xFF, {}};
  }
  return KeyStroke{VK_PACKET, Utf16(character)};
}
