// Keyboard layouts and key names: virtual keys, scan codes and the characters keys
// type, for the US layout (the default) and the French layout (whose digit row types
// other characters without Shift), switched per thread as the platform does.
#pragma once

#include "platform/base/types.h"

using HKL = std::uint32_t;

inline constexpr HKL kLayoutUnitedStates = 0x04090409;
inline constexpr HKL kLayoutFrench = 0x040C040C;

inline constexpr UINT MAPVK_VK_TO_VSC = 0;
inline constexpr UINT MAPVK_VSC_TO_VK = 1;
inline constexpr UINT MAPVK_VK_TO_CHAR = 2;

inline constexpr int VK_PRIOR = 0x21;
inline constexpr int VK_NEXT = 0x22;
inline constexpr int VK_END = 0x23;
inline constexpr int VK_HOME = 0x24;
inline constexpr int VK_LEFT = 0x25;
inline constexpr int VK_UP = 0x26;
inline constexpr int VK_RIGHT = 0x27;
inline constexpr int VK_DOWN = 0x28;
inline constexpr int VK_INSERT = 0x2D;
inline constexpr int VK_DELETE = 0x2E;
inline constexpr int VK_NUMPAD0 = 0x60;
inline constexpr int VK_MULTIPLY = 0x6A;
inline constexpr int VK_ADD = 0x6B;
inline constexpr int VK_SUBTRACT = 0x6D;
inline constexpr int VK_DIVIDE = 0x6F;
inline constexpr int VK_F1 = 0x70;
inline constexpr int VK_F2 = 0x71;
inline constexpr int VK_F5 = 0x74;
inline constexpr int VK_F24 = 0x87;

// The layout of a thread (0: the calling thread).
HKL GetKeyboardLayout(DWORD threadId);
// Makes a layout the calling thread's; answers the previous one, 0 for an unknown
// layout (ERROR_INVALID_PARAMETER).
HKL ActivateKeyboardLayout(HKL layout, UINT flags);

UINT MapVirtualKeyW(UINT code, UINT mapType);
// lParam holds the scan code in bits 16 to 23.
int GetKeyNameTextW(LONG lParam, char16_t* buffer, int size);
// The virtual key in the low byte and the shift state (1: Shift) in the high byte;
// -1 when no key types the character.
short VkKeyScanW(char16_t character);

namespace platform::win::detail {

// The character a key types on the calling thread's layout, with or without Shift;
// 0 when it types none.
char16_t KeyCharacter(int virtualKey, bool shift);

}  // namespace platform::win::detail
