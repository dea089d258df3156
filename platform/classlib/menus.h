// Menu shortcuts: a key with Shift, Ctrl and Alt bits in one 16-bit value, and its
// text as the class library shows it in menus.
#pragma once

#include <string>

#include "platform/base/types.h"

using TShortCut = WORD;
inline constexpr TShortCut scShift = 0x2000;
inline constexpr TShortCut scCtrl = 0x4000;
inline constexpr TShortCut scAlt = 0x8000;
inline constexpr TShortCut scNone = 0;

enum TShiftStateFlag : unsigned { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32, ssDouble = 64 };
enum class TMouseButton { mbLeft, mbRight, mbMiddle };
using TShiftState = unsigned;

TShortCut ShortCut(WORD key, TShiftState shift);

// "Shift+", "Ctrl+", "Alt+" in that order, then the key's name ("F5", "Del", "A").
std::string ShortCutToText(TShortCut shortCut);
