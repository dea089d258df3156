#include "platform/display/x11_keys.h"

#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon-keysyms.h>

#include "platform/win/input.h"
#include "platform/win/keyboard.h"
#include "platform/win/message_queue.h"

namespace {

struct KeyCase {
  const char* name;
  std::uint32_t keysym;
  bool shift;
  int virtualKey;
  std::u16string packets;
};

TEST(X11Keys, SymbolsBecomeVirtualKeysOrPacketCharacters) {
  const KeyCase cases[] = {
      {"letter", XKB_KEY_a, false, 'A', u""},
      {"capital letter", XKB_KEY_A, true, 'A', u""},
      {"digit", XKB_KEY_7, false, '7', u""},
      {"enter", XKB_KEY_Return, false, VK_RETURN, u""},
      {"keypad enter", XKB_KEY_KP_Enter, false, VK_RETURN, u""},
      {"shift-tab", XKB_KEY_ISO_Left_Tab, true, VK_TAB, u""},
      {"arrow", XKB_KEY_Left, false, VK_LEFT, u""},
      {"function key", XKB_KEY_F5, false, VK_F5, u""},
      {"modifier", XKB_KEY_Control_R, false, VK_CONTROL, u""},
      {"punctuation the layout types alike", XKB_KEY_minus, false, 0xBD, u""},
      {"punctuation typed with other shift state", XKB_KEY_slash, true, VK_PACKET, u"/"},
      {"accented letter", XKB_KEY_eacute, false, VK_PACKET, u"é"},
      {"cyrillic", XKB_KEY_Cyrillic_zhe, false, VK_PACKET, u"ж"},
      {"beyond the basic plane", 0x0101F600, false, VK_PACKET, u"\U0001F600"},
      {"no character", XKB_KEY_Caps_Lock, false, 0, u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto stroke = platform::display::KeyFromSymbol(c.keysym, c.shift);
    EXPECT_EQ(stroke.virtualKey, c.virtualKey);
    EXPECT_EQ(stroke.packets, c.packets);
  }
}

}  // namespace
