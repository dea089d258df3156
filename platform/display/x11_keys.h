// Keys of the X server as the window system's keys. A key symbol that names a key
// (letters, digits, Enter, arrows, modifiers...) becomes that virtual key, so that
// shortcuts and TranslateMessage work as with any keyboard; a character that the
// thread's layout types with the Shift state now held becomes its virtual key too;
// any other character (an accented letter of the X layout, a symbol) travels as the
// packet key with the character, as input methods do.
#pragma once

#include <cstdint>
#include <string>

namespace platform::display {

struct KeyStroke {
  int virtualKey = 0;        // 0: the symbol stands for no key
  std::u16string packets;    // the characters of a VK_PACKET stroke (two for a surrogate pair)
};

KeyStroke KeyFromSymbol(std::uint32_t keysym, bool shift);

}  // namespace platform::display
