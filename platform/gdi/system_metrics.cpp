#include "platform/gdi/system_metrics.h"

#include <algorithm>
#include <string_view>

#include "platform/base/errors.h"

namespace {

LOGFONTW Face(std::u16string_view name, LONG height, LONG weight) {
  LOGFONTW font{};
  font.lfHeight = height;
  font.lfWeight = weight;
  font.lfCharSet = DEFAULT_CHARSET;
  std::copy_n(name.begin(), std::min<std::size_t>(name.size(), LF_FACESIZE - 1), font.lfFaceName);
  return font;
}

}  // namespace

BOOL SystemParametersInfoW(UINT action, UINT uiParam, void* param, UINT) {
  if (param == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  switch (action) {
    case SPI_GETWORKAREA:  // the headless desktop has no task bar
      *static_cast<RECT*>(param) = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
      return TRUE;
    case SPI_GETWHEELSCROLLLINES:
      *static_cast<UINT*>(param) = 3;
      return TRUE;
    case SPI_GETDRAGFULLWINDOWS:
      *static_cast<BOOL*>(param) = TRUE;
      return TRUE;
    case SPI_GETNONCLIENTMETRICS: break;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
  }
  auto* metrics = static_cast<NONCLIENTMETRICSW*>(param);
  if (metrics->cbSize != sizeof(NONCLIENTMETRICSW) ||
      (uiParam != 0 && uiParam != sizeof(NONCLIENTMETRICSW))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *metrics = NONCLIENTMETRICSW{};
  metrics->cbSize = sizeof(NONCLIENTMETRICSW);
  metrics->iBorderWidth = GetSystemMetrics(SM_CXBORDER);
  metrics->iScrollWidth = GetSystemMetrics(SM_CXVSCROLL);
  metrics->iScrollHeight = GetSystemMetrics(SM_CYHSCROLL);
  metrics->iCaptionWidth = metrics->iCaptionHeight = 18;
  metrics->lfCaptionFont = Face(u"Tahoma", -11, FW_BOLD);
  metrics->iSmCaptionWidth = metrics->iSmCaptionHeight = 15;
  metrics->lfSmCaptionFont = Face(u"Tahoma", -11, FW_BOLD);
  metrics->iMenuWidth = metrics->iMenuHeight = GetSystemMetrics(SM_CYMENU);
  metrics->lfMenuFont = Face(u"Tahoma", -11, FW_NORMAL);
  metrics->lfStatusFont = Face(u"Tahoma", -11, FW_NORMAL);
  metrics->lfMessageFont = Face(u"Tahoma", -11, FW_NORMAL);
  return TRUE;
}
