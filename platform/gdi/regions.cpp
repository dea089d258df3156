#include "platform/gdi/regions.h"

#include <algorithm>
#include <climits>

#include "platform/base/errors.h"
#include "platform/gdi/gdi_objects.h"

namespace platform::gdi {

namespace {

bool IsEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

RECT Overlap(const RECT& a, const RECT& b) {
  return RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom)};
}

// The parts of `a` outside `b`: up to four disjoint rectangles.
void Cut(const RECT& a, const RECT& b, std::vector<RECT>& out) {
  RECT o = Overlap(a, b);
  if (IsEmpty(o)) {
    out.push_back(a);
    return;
  }
  const RECT pieces[] = {{a.left, a.top, a.right, o.top},
                         {a.left, o.bottom, a.right, a.bottom},
                         {a.left, o.top, o.left, o.bottom},
                         {o.right, o.top, a.right, o.bottom}};
  for (const RECT& piece : pieces) {
    if (!IsEmpty(piece)) out.push_back(piece);
  }
}

}  // namespace

Region::Region(const RECT& rect) {
  if (!IsEmpty(rect)) rects_.push_back(rect);
}

bool Region::Contains(int x, int y) const {
  return std::any_of(rects_.begin(), rects_.end(),
                     [&](const RECT& r) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; });
}

RECT Region::Box() const {
  if (rects_.empty()) return RECT{};
  RECT box = rects_.front();
  for (const RECT& r : rects_) {
    box = RECT{std::min(box.left, r.left), std::min(box.top, r.top), std::max(box.right, r.right),
               std::max(box.bottom, r.bottom)};
  }
  return box;
}

int Region::Kind() const {
  if (rects_.empty()) return NULLREGION;
  return rects_.size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

void Region::Intersect(const RECT& rect) {
  std::vector<RECT> kept;
  for (const RECT& r : rects_) {
    RECT o = Overlap(r, rect);
    if (!IsEmpty(o)) kept.push_back(o);
  }
  rects_ = std::move(kept);
}

void Region::Intersect(const Region& other) {
  std::vector<RECT> kept;
  for (const RECT& a : rects_) {
    for (const RECT& b : other.rects_) {
      RECT o = Overlap(a, b);
      if (!IsEmpty(o)) kept.push_back(o);
    }
  }
  rects_ = std::move(kept);
}

void Region::Subtract(const RECT& rect) {
  std::vector<RECT> kept;
  for (const RECT& r : rects_) Cut(r, rect, kept);
  rects_ = std::move(kept);
}

void Region::Subtract(const Region& other) {
  for (const RECT& r : other.rects_) Subtract(r);
}

void Region::Unite(const Region& other) {
  Region added = other;
  added.Subtract(*this);
  rects_.insert(rects_.end(), added.rects_.begin(), added.rects_.end());
}

void Region::Offset(int x, int y) {
  for (RECT& r : rects_) r = RECT{r.left + x, r.top + y, r.right + x, r.bottom + y};
}

std::shared_ptr<Region> RegionOf(HRGN region) {
  return std::static_pointer_cast<Region>(HandleTarget(region, OBJ_REGION));
}

}  // namespace platform::gdi

using platform::gdi::Region;
using platform::gdi::RegionOf;

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
  // The platform orders the corners.
  RECT r{std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
  return platform::gdi::NewHandle(std::make_shared<Region>(r), platform::gdi::OBJ_REGION);
}

HRGN CreateRectRgnIndirect(const RECT* rect) {
  if (rect == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom);
}

int CombineRgn(HRGN dest, HRGN a, HRGN b, int mode) {
  auto to = RegionOf(dest);
  auto first = RegionOf(a);
  auto second = mode == RGN_COPY ? first : RegionOf(b);
  if (!to || !first || !second || mode < RGN_AND || mode > RGN_COPY) return ERROR;
  Region result = *first;
  switch (mode) {
    case RGN_AND: result.Intersect(*second); break;
    case RGN_OR: result.Unite(*second); break;
    case RGN_DIFF: result.Subtract(*second); break;
    case RGN_XOR: {
      Region back = *second;
      back.Subtract(*first);
      result.Subtract(*second);
      result.Unite(back);
      break;
    }
    default: break;
  }
  *to = result;
  return to->Kind();
}

int OffsetRgn(HRGN region, int x, int y) {
  auto r = RegionOf(region);
  if (!r) return ERROR;
  r->Offset(x, y);
  return r->Kind();
}

int GetRgnBox(HRGN region, RECT* rect) {
  auto r = RegionOf(region);
  if (!r || rect == nullptr) return ERROR;
  *rect = r->Box();
  return r->Kind();
}

BOOL PtInRegion(HRGN region, int x, int y) {
  auto r = RegionOf(region);
  return r && r->Contains(x, y) ? TRUE : FALSE;
}

BOOL SetRectRgn(HRGN region, int left, int top, int right, int bottom) {
  auto r = RegionOf(region);
  if (!r) return FALSE;
  *r = Region(RECT{std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)});
  return TRUE;
}
