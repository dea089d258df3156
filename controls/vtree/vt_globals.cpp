#include "controls/vtree/vt_globals.h"

#include <algorithm>
#include <array>

#include "platform/gdi/device_context.h"
#include "platform/kernel/version.h"
#include "platform/win/atoms.h"

const TTreeClass BaseViewTreeClass{"TBaseViewTree", nullptr};
const TTreeClass CustomViewStringTreeClass{"TCustomViewStringTree", &BaseViewTreeClass};
const TTreeClass ViewStringTreeClass{"TViewStringTree", &CustomViewStringTreeClass};

bool TTreeClass::InheritsFrom(const TTreeClass* ancestor) const {
  for (const TTreeClass* c = this; c != nullptr; c = c->Parent) {
    if (c == ancestor) return true;
  }
  return false;
}

namespace {

bool SameAsciiText(const std::string& a, const std::string& b) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [&](char x, char y) { return lower(x) == lower(y); });
}

std::unique_ptr<TClipboardFormatList>& FormatListSlot() {
  static std::unique_ptr<TClipboardFormatList> list;
  return list;
}

TClipboardFormatList& FormatList() {
  auto& slot = FormatListSlot();
  if (!slot) slot = std::make_unique<TClipboardFormatList>();
  return *slot;
}

TTreeGlobals& MutableGlobals() {
  static TTreeGlobals globals;
  return globals;
}

FORMATETC GlobalMemoryFormat(WORD format) { return FORMATETC{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}; }

// CPUID with the MMX bit; every 64-bit x86 processor has both.
bool ProcessorHasMmx() {
#if defined(__x86_64__) || defined(__i386__)
  return __builtin_cpu_supports("mmx");
#else
  return false;
#endif
}

}  // namespace

void TClipboardFormatList::Add(const std::string& description, const TTreeClass* treeClass, int priority,
                               const FORMATETC& format) {
  auto at = std::upper_bound(entries_.begin(), entries_.end(), priority,
                             [](int p, const TClipboardFormatEntry& e) { return p < e.Priority; });
  entries_.insert(at, TClipboardFormatEntry{description, treeClass, priority, format});
}

std::vector<FORMATETC> TClipboardFormatList::EnumerateFormats(const TTreeClass* treeClass,
                                                              const std::vector<std::string>* allowed) const {
  std::vector<FORMATETC> result;
  for (const auto& entry : entries_) {
    if (treeClass == nullptr || !treeClass->InheritsFrom(entry.TreeClass)) continue;
    if (allowed != nullptr && std::find(allowed->begin(), allowed->end(), entry.Description) == allowed->end()) {
      continue;
    }
    result.push_back(entry.FormatEtc);
  }
  return result;
}

const TTreeClass* TClipboardFormatList::FindFormat(const std::string& description, WORD& format) const {
  for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
    if (SameAsciiText(it->Description, description)) {
      format = it->FormatEtc.cfFormat;
      return it->TreeClass;
    }
  }
  format = 0;
  return nullptr;
}

TClipboardFormatList* ClipboardFormatList() { return FormatListSlot().get(); }

WORD RegisterTreeClipboardFormat(const std::string& description, const TTreeClass* treeClass, int priority,
                                 DWORD tymed, DVTARGETDEVICE* ptd, DWORD aspect, LONG lindex) {
  auto& list = FormatList();
  WORD format = static_cast<WORD>(RegisterClipboardFormatA(description.c_str()));
  list.Add(description, treeClass, priority, FORMATETC{format, ptd, aspect, lindex, tymed});
  return format;
}

std::string StandardFormatDescription(WORD format) {
  static const std::array<const char*, 17> names{
      "",          "Plain text",     "Windows bitmap",  "Windows metafile",         "Symbolic link",
      "Data interchange format",     "Tiff image",      "OEM text",                 "DIB image",
      "Palette data",                "Pen data",        "Riff audio data",          "Wav audio data",
      "Unicode text",                "Enhanced metafile image", "File name(s)",      "Locale descriptor"};
  return format < names.size() ? names[format] : "";
}

void RegisterFormatByNumber(WORD format, const TTreeClass* treeClass, int priority) {
  auto& list = FormatList();
  std::string description;
  if (format < 17) {
    description = StandardFormatDescription(format);
    if (description.empty()) return;
  } else {
    std::string buffer(2048, '\0');
    int length = GetClipboardFormatNameA(format, buffer.data(), static_cast<int>(buffer.size()));
    description.assign(buffer.data(), static_cast<std::size_t>(std::max(length, 0)));
  }
  list.Add(description, treeClass, priority, GlobalMemoryFormat(format));
}

const TTreeGlobals& TreeGlobals() { return MutableGlobals(); }

void InitializeTreeGlobals() {
  TTreeGlobals& g = MutableGlobals();
  if (g.GlobalsReady) return;
  g.GlobalsReady = true;
  g.MMXAvailable = ProcessorHasMmx();
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
  if (GetVersionExA(&version)) {
    g.IsWinNT = version.dwPlatformId == 2;
    g.IsWin2K = version.dwMajorVersion == 5 && version.dwMinorVersion == 0;
    g.IsWinXP = version.dwMajorVersion == 5 && version.dwMinorVersion == 1;
  }
  g.CF_VTREFERENCE = static_cast<WORD>(RegisterClipboardFormatA("View Tree Reference"));
  g.CF_VIRTUALTREE = RegisterTreeClipboardFormat("View Tree Data", &BaseViewTreeClass, 50);
  g.CF_HTML = RegisterTreeClipboardFormat("HTML Format", &CustomViewStringTreeClass, 80);
  g.CF_VRTFNOOBJS = RegisterTreeClipboardFormat("Rich Text Format Without Objects", &CustomViewStringTreeClass, 84);
  g.CF_VRTF = RegisterTreeClipboardFormat("Rich Text Format", &CustomViewStringTreeClass, 85);
  g.CF_CSV = RegisterTreeClipboardFormat("CSV", &CustomViewStringTreeClass, 90);
  RegisterFormatByNumber(CF_TEXT, &CustomViewStringTreeClass, 100);
  RegisterFormatByNumber(CF_UNICODETEXT, &CustomViewStringTreeClass, 95);
}

support::TCriticalSection& TreeUnitLock() {
  static support::TCriticalSection lock;
  return lock;
}

std::u16string ShortenString(HDC dc, const std::u16string& s, int width, int ellipsisWidth) {
  if (s.empty() || width <= 0) return {};
  auto extent = [dc](const char16_t* text, std::size_t length) {
    SIZE size{};
    GetTextExtentPoint32W(dc, text, static_cast<int>(length), &size);
    return static_cast<int>(size.cx);
  };
  if (ellipsisWidth == 0) ellipsisWidth = extent(u"...", 3);
  if (width <= ellipsisWidth) return {};
  std::size_t low = 0, high = s.size() - 1;
  while (low < high) {
    std::size_t n = (low + high + 1) / 2;
    if (extent(s.data(), n) + ellipsisWidth > width) {
      high = n - 1;
    } else {
      low = n;
    }
  }
  return s.substr(0, low) + u"...";
}

namespace {

// The bitmap behind a memory DC and the pixel rectangle that R in its logical
// coordinates covers, cut to the bitmap; nullptr for anything else.
std::shared_ptr<platform::gdi::Bitmap> PixelsOf(HDC dc, RECT& r) {
  if (dc == 0 || platform::gdi::WindowOfDC(dc) != 0) return nullptr;
  auto bitmap = platform::gdi::TargetOf(dc);
  if (!bitmap) return nullptr;
  POINT origin{};
  GetViewportOrgEx(dc, &origin);
  r = RECT{std::max<LONG>(r.left + origin.x, 0), std::max<LONG>(r.top + origin.y, 0),
           std::min<LONG>(r.right + origin.x, bitmap->width()), std::min<LONG>(r.bottom + origin.y, bitmap->height())};
  return bitmap;
}

std::uint8_t Mixed(int d, int s, int alpha, int bias) {
  // Shifts floor as the packed arithmetic does.
  return static_cast<std::uint8_t>(std::clamp(d + (((s - d) * alpha) >> 8) + bias, 0, 255));
}

}  // namespace

void AlphaBlend(HDC source, HDC destination, const RECT& r, POINT target, TBlendMode mode, int alpha, int bias) {
  RECT to{r.left + target.x, r.top + target.y, r.right + target.x, r.bottom + target.y};
  auto into = PixelsOf(destination, to);
  if (!into) return;
  RECT from = r;
  std::shared_ptr<platform::gdi::Bitmap> out;
  if (mode != bmConstantAlphaAndColor) {
    out = PixelsOf(source, from);
    if (!out) return;
    // Both cuts hold: the source's moves the destination's and the other way round.
    POINT sourceOrigin{}, destinationOrigin{};
    GetViewportOrgEx(source, &sourceOrigin);
    GetViewportOrgEx(destination, &destinationOrigin);
    const int dx = (target.x + destinationOrigin.x) - sourceOrigin.x, dy = (target.y + destinationOrigin.y) - sourceOrigin.y;
    to = RECT{std::max<LONG>(to.left, from.left + dx), std::max<LONG>(to.top, from.top + dy),
              std::min<LONG>(to.right, from.right + dx), std::min<LONG>(to.bottom, from.bottom + dy)};
    from = RECT{to.left - dx, to.top - dy, to.right - dx, to.bottom - dy};
  }
  if (to.right <= to.left || to.bottom <= to.top) return;
  const int color[3] = {GetBValue(static_cast<COLORREF>(bias)), GetGValue(static_cast<COLORREF>(bias)),
                        GetRValue(static_cast<COLORREF>(bias))};
  for (int y = to.top; y < to.bottom; ++y) {
    std::uint8_t* d = into->Row(y) + to.left * 4;
    const std::uint8_t* s = out ? out->Row(from.top + (y - to.top)) + from.left * 4 : nullptr;
    for (int x = to.left; x < to.right; ++x, d += 4) {
      if (mode == bmConstantAlphaAndColor) {
        for (int byte = 0; byte < 3; ++byte) d[byte] = static_cast<std::uint8_t>((d[byte] * (256 - alpha) + color[byte] * alpha) >> 8);
        continue;
      }
      const int a = mode == bmConstantAlpha ? alpha : mode == bmPerPixelAlpha ? s[3] : (s[3] * alpha) >> 8;
      for (int byte = 0; byte < 3; ++byte) d[byte] = Mixed(d[byte], s[byte], a, bias);
      s += 4;
    }
  }
  into->Surface();
}
