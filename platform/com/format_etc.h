// The description of one data format that a data object offers (clipboard and drag
// and drop): format number, target device, aspect, page index and storage medium.
#pragma once

#include "platform/base/types.h"
#include "platform/win/clipboard.h"

struct DVTARGETDEVICE;

struct FORMATETC {
  WORD cfFormat;
  DVTARGETDEVICE* ptd;
  DWORD dwAspect;
  LONG lindex;
  DWORD tymed;
};

inline constexpr DWORD DVASPECT_CONTENT = 1;
inline constexpr DWORD TYMED_HGLOBAL = 1;
