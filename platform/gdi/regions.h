// Regions: sets of pixels made of rectangles, named by region handles, combined with
// the RGN_* operations; a device context's clip is one of them.
#pragma once

#include <memory>
#include <vector>

#include "platform/base/types.h"
#include "platform/win/region_kinds.h"

inline constexpr int RGN_AND = 1;
inline constexpr int RGN_OR = 2;
inline constexpr int RGN_XOR = 3;
inline constexpr int RGN_DIFF = 4;
inline constexpr int RGN_COPY = 5;

HRGN CreateRectRgn(int left, int top, int right, int bottom);
HRGN CreateRectRgnIndirect(const RECT* rect);
// `dest` gets `a` combined with `b` (b is not looked at for RGN_COPY); answers the
// kind of the result, ERROR for a handle that is not a region.
int CombineRgn(HRGN dest, HRGN a, HRGN b, int mode);
int OffsetRgn(HRGN region, int x, int y);
int GetRgnBox(HRGN region, RECT* rect);
BOOL PtInRegion(HRGN region, int x, int y);
BOOL SetRectRgn(HRGN region, int left, int top, int right, int bottom);

namespace platform::gdi {

inline constexpr DWORD OBJ_REGION = 8;

// Disjoint rectangles; empty ones are never kept.
class Region {
 public:
  Region() = default;
  explicit Region(const RECT& rect);
  const std::vector<RECT>& Rects() const { return rects_; }
  bool Empty() const { return rects_.empty(); }
  bool Contains(int x, int y) const;
  RECT Box() const;
  // NULLREGION, SIMPLEREGION or COMPLEXREGION.
  int Kind() const;
  void Intersect(const RECT& rect);
  void Intersect(const Region& other);
  void Subtract(const RECT& rect);
  void Subtract(const Region& other);
  void Unite(const Region& other);
  void Offset(int x, int y);

 private:
  std::vector<RECT> rects_;
};

std::shared_ptr<Region> RegionOf(HRGN region);

}  // namespace platform::gdi
