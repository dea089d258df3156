// What every tree of the process shares: the one-time set-up that the first tree's
// constructor runs, platform flags, the registry of clipboard formats that trees can
// render, the lock around loading check images, and text shortening.
//
// Tree classes are named by TTreeClass records (a class reference with its parent),
// so that a format registered for a class serves every class derived from it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/base/types.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/com/format_etc.h"
#include "support/locks.h"

struct TTreeClass {
  const char* Name;
  const TTreeClass* Parent;
  // True for this class and every class derived from it.
  bool InheritsFrom(const TTreeClass* ancestor) const;
};

// The tree classes of the control.
extern const TTreeClass BaseViewTreeClass;        // TBaseViewTree
extern const TTreeClass CustomViewStringTreeClass;  // TCustomViewStringTree
extern const TTreeClass ViewStringTreeClass;      // TViewStringTree

struct TClipboardFormatEntry {
  std::string Description;
  const TTreeClass* TreeClass;
  int Priority;
  FORMATETC FormatEtc;
};

// Formats kept in ascending priority (a smaller number is preferred); equal
// priorities keep the order of registration.
class TClipboardFormatList {
 public:
  void Add(const std::string& description, const TTreeClass* treeClass, int priority, const FORMATETC& format);
  // Entries for the class or an ancestor, in registry order; with `allowed`, only
  // entries whose description is listed there.
  std::vector<FORMATETC> EnumerateFormats(const TTreeClass* treeClass,
                                          const std::vector<std::string>* allowed = nullptr) const;
  // Searches from the end (highest priority number first), ASCII case ignored; nil
  // and format 0 when none matches.
  const TTreeClass* FindFormat(const std::string& description, WORD& format) const;
  const std::vector<TClipboardFormatEntry>& Entries() const { return entries_; }

 private:
  std::vector<TClipboardFormatEntry> entries_;
};

// The registry; nil until the first registration.
TClipboardFormatList* ClipboardFormatList();

// Registers the description with the system and in the registry; the format number.
WORD RegisterTreeClipboardFormat(const std::string& description, const TTreeClass* treeClass, int priority,
                                 DWORD tymed = TYMED_HGLOBAL, DVTARGETDEVICE* ptd = nullptr,
                                 DWORD aspect = DVASPECT_CONTENT, LONG lindex = -1);
// Adds a known number: below 17 by the standard description (numbers without one are
// not added), above by the name the system knows for it (empty when none).
void RegisterFormatByNumber(WORD format, const TTreeClass* treeClass, int priority);
// Standard description of formats 1 to 16; empty for others.
std::string StandardFormatDescription(WORD format);

// Process-wide flags and format numbers, set by the one-time set-up.
struct TTreeGlobals {
  bool GlobalsReady = false;
  bool IsWinNT = false;
  bool IsWin2K = false;
  bool IsWinXP = false;
  bool MMXAvailable = false;
  bool OleStarted = false;  // no OLE here: stays false
  WORD CF_VIRTUALTREE = 0;
  WORD CF_VTREFERENCE = 0;
  WORD CF_HTML = 0;
  WORD CF_VRTF = 0;
  WORD CF_VRTFNOOBJS = 0;
  WORD CF_CSV = 0;
};
const TTreeGlobals& TreeGlobals();

// Runs the one-time set-up when it has not run yet (the first tree's constructor).
void InitializeTreeGlobals();

// Serialises the loading of check-image bitmaps; any thread may take it.
support::TCriticalSection& TreeUnitLock();

// How AlphaBlend mixes a source pixel S into a destination pixel D, byte by byte.
enum TBlendMode {
  bmConstantAlpha,          // D + (S - D) * Alpha / 256 + Bias
  bmPerPixelAlpha,          // the same with the source pixel's alpha
  bmMasterAlpha,            // the same with source alpha * Alpha / 256
  bmConstantAlphaAndColor,  // (D * (256 - Alpha) + C * Alpha) / 256, C the colour Bias holds
};

// Blends the rectangle R of the source's bitmap onto the destination's bitmap at R
// moved by Target (both in the DCs' logical coordinates); bmConstantAlphaAndColor
// reads no source (Source may be 0) and takes the colour from Bias as a COLORREF.
// Works on memory DCs with a bitmap selected, clipped to both bitmaps; anything else
// is left as it is. Blue, green and red are mixed and clamped to 0..255; the
// destination's alpha byte stays, since it holds the pixel's opacity here.
void AlphaBlend(HDC source, HDC destination, const RECT& r, POINT target, TBlendMode mode, int alpha, int bias);

// S cut to the longest prefix that fits Width with the ellipsis behind it. Empty for
// an empty S, a Width <= 0 or a Width not above EllipsisWidth (0: the width of "..."
// in the DC).
std::u16string ShortenString(HDC dc, const std::u16string& s, int width, int ellipsisWidth = 0);
