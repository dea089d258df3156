#include "platform/classlib/menus.h"

#include "platform/base/text.h"
#include "platform/win/keyboard.h"

TShortCut ShortCut(WORD key, TShiftState shift) {
  if (key & 0xFF00) return scNone;
  TShortCut result = key;
  if (shift & ssShift) result |= scShift;
  if (shift & ssCtrl) result |= scCtrl;
  if (shift & ssAlt) result |= scAlt;
  return result;
}

namespace {

// The key's own name when it has no fixed text.
std::string SpecialName(TShortCut shortCut) {
  UINT scan = MapVirtualKeyW(shortCut & 0xFF, MAPVK_VK_TO_VSC);
  char16_t name[256];
  int length = GetKeyNameTextW(static_cast<LONG>(scan << 16), name, 256);
  return length > 0 ? platform::WideToAnsi(std::u16string_view(name, length)) : std::string();
}

}  // namespace

std::string ShortCutToText(TShortCut shortCut) {
  static const char* const kMoveKeys[] = {"Space", "PgUp", "PgDn", "End", "Home", "Left", "Up", "Right", "Down"};
  int key = shortCut & 0xFF;
  std::string name;
  if (key == 0x08) {
    name = "BkSp";
  } else if (key == 0x09) {
    name = "Tab";
  } else if (key == 0x0D) {
    name = "Enter";
  } else if (key == 0x1B) {
    name = "Esc";
  } else if (key >= 0x20 && key <= 0x28) {
    name = kMoveKeys[key - 0x20];
  } else if (key == 0x2D) {
    name = "Ins";
  } else if (key == 0x2E) {
    name = "Del";
  } else if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) {
    name = std::string(1, static_cast<char>(key));
  } else if (key >= 0x60 && key <= 0x69) {
    name = std::string(1, static_cast<char>('0' + key - 0x60));
  } else if (key >= 0x70 && key <= 0x87) {
    name = "F" + std::to_string(key - 0x6F);
  } else {
    name = SpecialName(shortCut);
  }
  if (name.empty()) return {};
  std::string prefix;
  if (shortCut & scShift) prefix += "Shift+";
  if (shortCut & scCtrl) prefix += "Ctrl+";
  if (shortCut & scAlt) prefix += "Alt+";
  return prefix + name;
}
