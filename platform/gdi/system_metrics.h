// The non-client metrics of the headless desktop with their fonts; the single
// metrics (GetSystemMetrics) are the window system's. The values are fixed, like the
// system colours, so that layouts do not depend on the machine.
#pragma once

#include "platform/base/types.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/win/metrics.h"

inline constexpr UINT SPI_GETDRAGFULLWINDOWS = 0x0026;
inline constexpr UINT SPI_GETNONCLIENTMETRICS = 0x0029;
inline constexpr UINT SPI_GETWORKAREA = 0x0030;
inline constexpr UINT SPI_GETWHEELSCROLLLINES = 0x0068;

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

// Answers the work area (a RECT: the whole screen), the wheel's lines per notch (a
// UINT: 3), whether windows are dragged whole (a BOOL: TRUE) and the non-client
// metrics, whose structure's cbSize (and `uiParam`, when not 0) must be its size.
// Anything else fails with ERROR_INVALID_PARAMETER.
BOOL SystemParametersInfoW(UINT action, UINT uiParam, void* param, UINT winIni);
