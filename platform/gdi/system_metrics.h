// Metrics of the headless desktop: the screen size, border and menu sizes, and the
// non-client metrics with their fonts. The values are fixed, like the system
// colours, so that layouts do not depend on the machine.
#pragma once

#include "platform/base/types.h"
#include "platform/gdi/gdi_objects.h"

inline constexpr int SM_CXSCREEN = 0;
inline constexpr int SM_CYSCREEN = 1;
inline constexpr int SM_CXBORDER = 5;
inline constexpr int SM_CYBORDER = 6;
inline constexpr int SM_CYMENU = 15;

// 0 for an index the headless desktop does not know.
int GetSystemMetrics(int index);

inline constexpr UINT SPI_GETNONCLIENTMETRICS = 0x0029;

struct NONCLIENTMETRICSW {
  UINT cbSize;
  int iBorderWidth;
  int iScrollWidth;
  int iScrollHeight;
  int iCaptionWidth;
  int iCaptionHeight;
  LOGFONTW lfCaptionFont;
  int iSmCaptionWidth;
  int iSmCaptionHeight;
  LOGFONTW lfSmCaptionFont;
  int iMenuWidth;
  int iMenuHeight;
  LOGFONTW lfMenuFont;
  LOGFONTW lfStatusFont;
  LOGFONTW lfMessageFont;
};

// Only SPI_GETNONCLIENTMETRICS is answered; `param` must point at a structure whose
// cbSize (and `uiParam`) is its size. Anything else fails with
// ERROR_INVALID_PARAMETER.
BOOL SystemParametersInfoW(UINT action, UINT uiParam, void* param, UINT winIni);
