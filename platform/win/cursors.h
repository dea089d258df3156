// The mouse pointer's shape. The system's own cursors are known by their numbers
// (LoadCursorW with no instance); the screen keeps the one set last. The headless
// screen only records it; the X11 display leaves the pointer to the desktop.
#pragma once

#include "platform/base/types.h"

inline constexpr int IDC_ARROW = 32512;
inline constexpr int IDC_IBEAM = 32513;
inline constexpr int IDC_WAIT = 32514;
inline constexpr int IDC_CROSS = 32515;
inline constexpr int IDC_SIZEWE = 32644;
inline constexpr int IDC_SIZENS = 32645;
inline constexpr int IDC_NO = 32648;
inline constexpr int IDC_HAND = 32649;

// A system cursor by number; 0 with ERROR_RESOURCE_NAME_NOT_FOUND for a number the
// system has no cursor of, and for any instance's own cursors (there are none here).
HCURSOR LoadCursorW(HINSTANCE instance, int id);
// Makes the cursor the pointer's shape; answers the one before.
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();
