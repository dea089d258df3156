#include "controls/vtree/vt_columns.h"

#include <algorithm>
#include <thread>

#include "controls/vtree/vt_globals.h"
#include "controls/vtree/vt_header.h"
#include "controls/vtree/vt_object.h"
#include "platform/classlib/exceptions.h"
#include "platform/gdi/device_context.h"
#include "platform/gdi/window_picture.h"

// --- stream helpers ---

std::int32_t ReadStreamInt(TStream& stream) {
  std::int32_t value = 0;
  stream.ReadBuffer(&value, sizeof value);
  return value;
}

void WriteStreamInt(TStream& stream, std::int32_t value) { stream.WriteBuffer(&value, sizeof value); }

std::int64_t StreamRemaining(TStream& stream) { return std::max<std::int64_t>(stream.Size() - stream.Position(), 0); }

[[noreturn]] void RefuseStream(const char* what) { throw EReadError(std::string("Stream read error: ") + what); }

namespace {

std::u16string ReadWideString(TStream& stream) {
  const std::int32_t length = ReadStreamInt(stream);
  if (length < 0 || static_cast<std::int64_t>(length) * 2 > StreamRemaining(stream)) RefuseStream("bad text length");
  std::u16string text(static_cast<std::size_t>(length), u'\0');
  if (length > 0) stream.ReadBuffer(text.data(), length * 2);
  return text;
}

void WriteWideString(TStream& stream, const std::u16string& text) {
  WriteStreamInt(stream, static_cast<std::int32_t>(text.size()));
  if (!text.empty()) stream.WriteBuffer(text.data(), static_cast<std::int32_t>(text.size() * 2));
}

// Options of older streams: bits 4..6 moved up by one (bit 4, coParentColor, came
// later), and so did the bits from 15.
TVTColumnOptions ConvertOptions(std::uint32_t options, int version) {
  if (version >= 3) return static_cast<TVTColumnOptions>(options);
  if (version == 2) return static_cast<TVTColumnOptions>(options & 0xFF);
  const std::uint32_t converted = (options & 0x0F) | ((options & 0x70) << 1) | ((options & ~0x7FFFu) << 1);
  return static_cast<TVTColumnOptions>(converted);
}

// The smallest column record of a stream version, for refusing counts the stream
// cannot hold.
int MinimalColumnRecord(int version) { return 4 * (12 + (version >= 1 ? 2 : 0) + (version >= 2 ? 1 : 0)); }

}  // namespace

// --- TViewTreeColumn ---

TViewTreeColumn::TViewTreeColumn(TViewTreeColumns& owner) : owner_(owner) {
  index_ = owner_.Count();
  position_ = static_cast<TColumnPosition>(index_);
  owner_.items_.emplace_back(this);
  TakeTreeReadingOrder();
  TakeTreeColour();
  owner_.Update(nullptr);
}

TViewTreeColumn::~TViewTreeColumn() {
  if (owner_.Clearing()) return;
  owner_.ColumnIndexChanged(index_, NoColumn);
  auto follow = [this](TColumnIndex& reference) {
    if (reference == index_) {
      reference = NoColumn;
    } else if (reference > index_) {
      --reference;
    }
  };
  follow(owner_.HoverIndex);
  follow(owner_.DownIndex);
  follow(owner_.TrackIndex);
  follow(owner_.ClickIndex);
  TVTHeader& header = owner_.Header();
  follow(header.autoSizeIndex_);
  follow(header.sortColumn_);
  // The main column keeps naming a column: the one after the dying one takes its
  // place, the last when it was the last; later columns keep their column.
  if (header.mainColumn_ > index_) --header.mainColumn_;
}

int TViewTreeColumn::Left() const {
  if (Has(coVisible) && Has(coFixed)) return left_;
  return left_ - owner_.Header().Treeview().EffectiveOffsetX();
}

RECT TViewTreeColumn::HeaderCellRect() const {
  RECT r = owner_.Header().Treeview().HeaderRect();
  r.left += left_;
  r.right = r.left + width_;
  return r;
}

void TViewTreeColumn::Changed() { owner_.Update(this); }

void TViewTreeColumn::RepaintTree() const { owner_.Header().Treeview().InvalidateTree(); }

void TViewTreeColumn::SetText(const std::u16string& value) {
  if (text_ == value) return;
  text_ = value;
  Changed();
}

void TViewTreeColumn::SetAlignment(TAlignment value) {
  if (alignment_ == value) return;
  alignment_ = value;
  Changed();
  RepaintTree();
}

void TViewTreeColumn::SetBiDiMode(TBiDiMode value) {
  if (biDiMode_ == value) return;
  biDiMode_ = value;
  options_ &= static_cast<TVTColumnOptions>(~coParentBidiMode);
  Changed();
  RepaintTree();
}

void TViewTreeColumn::SetColor(TColor value) {
  if (color_ == value) return;
  color_ = value;
  options_ &= static_cast<TVTColumnOptions>(~coParentColor);
  Changed();
  RepaintTree();
}

void TViewTreeColumn::SetImageIndex(int value) {
  if (imageIndex_ == value) return;
  imageIndex_ = value;
  Changed();
}

void TViewTreeColumn::SetLayout(TVTHeaderColumnLayout value) {
  if (layout_ == value) return;
  layout_ = value;
  Changed();
}

void TViewTreeColumn::SetSpacing(int value) {
  if (spacing_ == value) return;
  spacing_ = value;
  Changed();
}

void TViewTreeColumn::SetStyle(TViewTreeColumnStyle value) {
  if (style_ == value) return;
  style_ = value;
  Changed();
}

void TViewTreeColumn::SetMargin(int value) {
  if (value < 0) value = 4;
  if (margin_ == value) return;
  margin_ = value;
  Changed();
}

void TViewTreeColumn::SetMinWidth(int value) {
  value = std::clamp(value, 0, maxWidth_);
  if (minWidth_ == value) return;
  minWidth_ = value;
  Changed();
  SetWidth(width_);
}

void TViewTreeColumn::SetMaxWidth(int value) {
  value = std::max(value, minWidth_);
  if (!TreeGlobals().IsWinNT) value = std::min(value, 10000);
  if (maxWidth_ == value) return;
  maxWidth_ = value;
  Changed();
  SetWidth(width_);
}

void TViewTreeColumn::SetWidth(int value) {
  if (value < minWidth_) value = minWidth_;
  if (value > maxWidth_) value = maxWidth_;
  if (value == width_) return;
  lastWidth_ = width_;
  TVTHeader& header = owner_.Header();
  TViewTreeObject& tree = header.Treeview();
  const bool autoSized = (header.Options() & hoAutoResize) != 0 && header.AutoSizeIndex() == index_;
  if (!autoSized) {
    width_ = value;
    owner_.RecalculateLefts(false);
  }
  if (!tree.IsLoading() && owner_.UpdateCount() == 0) {
    if ((header.Options() & hoAutoResize) != 0) owner_.ResizeAutoSizeColumn(false);
    tree.DoColumnResize(index_);
    if (tree.HandleAllocated()) {
      tree.UpdateHorizontalScrollBar(false);
      header.InvalidateHeader();
      tree.InvalidateTree();
    }
  }
}

void TViewTreeColumn::SetOptions(TVTColumnOptions value) {
  const TVTColumnOptions old = options_;
  if (value == old) return;
  options_ = value;
  const TVTColumnOptions added = value & ~old;
  if ((added & coParentBidiMode) != 0) TakeTreeReadingOrder();
  if ((added & coParentColor) != 0) TakeTreeColour();
  if ((added & coAutoSpring) != 0) SpringRest = 0;
  Changed();
  TViewTreeObject& tree = owner_.Header().Treeview();
  const bool visibility = ((old ^ value) & coVisible) != 0;
  if (!tree.IsLoading() && (visibility || (added & coParentColor) != 0) && tree.UpdateCount() == 0 &&
      tree.HandleAllocated()) {
    tree.InvalidateTree();
    if (visibility) tree.UpdateHorizontalScrollBar(false);
  }
}

void TViewTreeColumn::SetPosition(TColumnPosition value) {
  TViewTreeObject& tree = owner_.Header().Treeview();
  if (tree.IsLoading()) {
    position_ = value;
    return;
  }
  if (value >= static_cast<TColumnPosition>(owner_.Count())) value = static_cast<TColumnPosition>(owner_.Count() - 1);
  if (value == position_) return;
  owner_.SyncPositionArray();
  tree.CancelEditNode();
  owner_.MovePositionEntry(*this, value);
  Changed();
  if (owner_.UpdateCount() == 0 && tree.HandleAllocated()) {
    owner_.InvalidateCell(index_);
    tree.InvalidateTree();
  }
  // A column takes the fixed flag of its neighbour, so fixed columns stay together
  // at the left.
  const bool lookLeft = Has(coFixed) && position_ > 0;
  const TColumnIndex neighbour = owner_.ColumnAtPosition(lookLeft ? position_ - 1 : position_ + 1);
  if (neighbour < 0) return;
  const bool fixed = owner_.Items(neighbour).Has(coFixed);
  SetOptions(fixed ? (options_ | coFixed) : (options_ & static_cast<TVTColumnOptions>(~coFixed)));
}

void TViewTreeColumn::TakeTreeReadingOrder() {
  const TBiDiMode tree = owner_.Header().Treeview().BiDiMode();
  if (!Has(coParentBidiMode) || biDiMode_ == tree) return;
  biDiMode_ = tree;
  Changed();
}

void TViewTreeColumn::TakeTreeColour() {
  const TColor tree = owner_.Header().Treeview().Color();
  if (!Has(coParentColor) || color_ == tree) return;
  color_ = tree;
  Changed();
}

void TViewTreeColumn::RestorePreviousWidth() { owner_.ResizeAnimated(index_, lastWidth_); }

std::u16string TViewTreeColumn::DisplayName() const {
  if (std::all_of(text_.begin(), text_.end(), [](char16_t c) { return c <= 255; })) return text_;
  std::u16string name = u"Column ";
  for (char c : std::to_string(index_)) name += static_cast<char16_t>(c);
  return name;
}

bool TViewTreeColumn::IsEqual(const TViewTreeColumn& o) const {
  return biDiMode_ == o.biDiMode_ && imageIndex_ == o.imageIndex_ && layout_ == o.layout_ && margin_ == o.margin_ &&
         maxWidth_ == o.maxWidth_ && minWidth_ == o.minWidth_ && position_ == o.position_ && spacing_ == o.spacing_ &&
         style_ == o.style_ && text_ == o.text_ && Hint == o.Hint && width_ == o.width_ &&
         alignment_ == o.alignment_ && color_ == o.color_ && Tag == o.Tag && options_ == o.options_;
}

void TViewTreeColumn::Assign(const TViewTreeColumn& source) {
  const TVTColumnOptions kept = options_;
  options_ = 0;
  SetBiDiMode(source.biDiMode_);
  SetImageIndex(source.imageIndex_);
  SetLayout(source.layout_);
  SetMargin(source.margin_);
  SetMaxWidth(source.maxWidth_);
  SetMinWidth(source.minWidth_);
  SetPosition(source.position_);
  SetSpacing(source.spacing_);
  SetStyle(source.style_);
  SetText(source.text_);
  Hint = source.Hint;
  SetWidth(source.width_);
  SetAlignment(source.alignment_);
  SetColor(source.color_);
  Tag = source.Tag;
  options_ = kept;
  SetOptions(source.options_);
  Changed();
}

void TViewTreeColumn::ComputeHeaderLayout(HDC dc, const RECT& client, bool useHeaderGlyph, bool useSortGlyph,
                                          POINT& glyphPos, POINT& sortGlyphPos, RECT& textBounds) const {
  const TVTHeader& header = owner_.Header();
  const int w = client.right - client.left, h = client.bottom - client.top;
  SIZE g{0, 0}, s{0, 0}, t{0, 0};
  if (useHeaderGlyph && header.Images() != nullptr) g = SIZE{header.Images()->Width(), header.Images()->Height()};
  if (useSortGlyph) s = SIZE{UtilityImageSize, UtilityImageSize};
  if (!text_.empty()) {
    GetTextExtentPoint32W(dc, text_.data(), static_cast<int>(text_.size()), &t);
    t.cx += 2;
  }
  const int ts = text_.empty() ? 0 : spacing_;
  glyphPos = POINT{0, 0};
  sortGlyphPos = POINT{0, 0};
  textBounds = RECT{};
  if (text_.empty() && !useHeaderGlyph && !useSortGlyph) return;
  TAlignment alignment = alignment_;
  if (biDiMode_ != bdLeftToRight && alignment != taCenter) {
    alignment = alignment == taLeftJustify ? taRightJustify : taLeftJustify;
  }
  const bool rtl = biDiMode_ != bdLeftToRight;
  sortGlyphPos.y = (h - s.cy) / 2;
  POINT textPos{0, 0};
  if (text_.empty() && !useHeaderGlyph && useSortGlyph) {
    sortGlyphPos.x = (w - s.cx) / 2;
  } else {
    const bool sideways = !useHeaderGlyph || layout_ == blGlyphLeft || layout_ == blGlyphRight;
    if (sideways) {
      glyphPos.y = (h - g.cy) / 2;
      textPos.y = (h - t.cy) / 2;
    } else if (layout_ == blGlyphTop) {
      glyphPos.y = (h - g.cy - t.cy - ts) / 2;
      textPos.y = glyphPos.y + g.cy + ts;
    } else {
      textPos.y = (h - g.cy - t.cy - ts) / 2;
      glyphPos.y = textPos.y + t.cy + ts;
    }
    if (alignment == taLeftJustify) {
      int l = margin_;
      if (useSortGlyph && rtl) {
        sortGlyphPos.x = l;
        l += s.cx + spacing_;
      }
      if (sideways) {
        if (layout_ == blGlyphLeft && useHeaderGlyph) {
          glyphPos.x = l;
          l += g.cx + spacing_;
        }
        textPos.x = l;
        l = textPos.x + t.cx + ts;
        if (layout_ == blGlyphRight && useHeaderGlyph) {
          glyphPos.x = l;
          l += g.cx + spacing_;
        }
      } else {
        textPos.x = l;
        glyphPos.x = std::max<int>((w - g.cx) / 2, l);
        l = std::max<int>(textPos.x + t.cx + ts, glyphPos.x + g.cx + spacing_);
      }
      if (useSortGlyph && !rtl) sortGlyphPos.x = l;
    } else if (alignment == taCenter) {
      if (sideways) {
        textPos.x = (w - g.cx - ts - t.cx) / 2;
        if (layout_ == blGlyphLeft && useHeaderGlyph) {
          glyphPos.x = textPos.x;
          textPos.x += g.cx + ts;
        } else if (useHeaderGlyph) {
          glyphPos.x = textPos.x + t.cx + ts;
        }
      } else {
        glyphPos.x = (w - g.cx) / 2;
        textPos.x = (w - t.cx) / 2;
        if (useSortGlyph) {
          glyphPos.x -= s.cx / 2;
          textPos.x -= s.cx / 2;
        }
      }
      const int from = useHeaderGlyph ? std::min(glyphPos.x, textPos.x) : textPos.x;
      const int to = useHeaderGlyph ? std::max<int>(glyphPos.x + g.cx, textPos.x + t.cx) : textPos.x + t.cx;
      if (useSortGlyph) sortGlyphPos.x = rtl ? from - spacing_ - s.cx : to + spacing_;
    } else {
      int r = w - margin_;
      if (useSortGlyph && !rtl) {
        sortGlyphPos.x = r - s.cx;
        r = sortGlyphPos.x - spacing_;
      }
      if (sideways) {
        if (layout_ == blGlyphRight && useHeaderGlyph) {
          glyphPos.x = r - g.cx;
          r = glyphPos.x - spacing_;
        }
        textPos.x = r - t.cx;
        if (layout_ == blGlyphLeft && useHeaderGlyph) glyphPos.x = textPos.x - ts - g.cx;
      } else {
        textPos.x = r - t.cx;
        glyphPos.x = std::min<int>((w - g.cx) / 2, r - spacing_ - g.cx);
      }
      if (useSortGlyph && rtl) {
        const int leftmost = useHeaderGlyph ? std::min<int>(textPos.x - ts, glyphPos.x - spacing_) : textPos.x - ts;
        sortGlyphPos.x = leftmost - s.cx;
      }
    }
  }
  // Keep everything within the margins.
  int l = margin_, r = w - margin_;
  if (useSortGlyph) {
    if (!rtl) {
      if (sortGlyphPos.x + s.cx > r) sortGlyphPos.x = r - s.cx;
      r = sortGlyphPos.x - spacing_;
    }
    if (sortGlyphPos.x < l) sortGlyphPos.x = l;
    if (rtl) l = sortGlyphPos.x + s.cx + spacing_;
  }
  if (useHeaderGlyph) {
    if (glyphPos.x + g.cx > r) glyphPos.x = r - g.cx;
    if (layout_ == blGlyphRight) r = glyphPos.x - spacing_;
    if (glyphPos.x < l) glyphPos.x = l;
    if (layout_ == blGlyphLeft) l = glyphPos.x + g.cx + spacing_;
  }
  if (textPos.x < l) textPos.x = l;
  textBounds = RECT{textPos.x, textPos.y, std::min<int>(textPos.x + t.cx, r), textPos.y + t.cy};
  glyphPos.x += client.left;
  glyphPos.y += client.top;
  sortGlyphPos.x += client.left;
  sortGlyphPos.y += client.top;
  textBounds = RECT{textBounds.left + client.left, textBounds.top + client.top, textBounds.right + client.left,
                    textBounds.bottom + client.top};
}

void TViewTreeColumn::LoadFromStream(TStream& stream, int version) {
  SetText(ReadWideString(stream));
  Hint = ReadWideString(stream);
  const int width = ReadStreamInt(stream);
  const int minWidth = ReadStreamInt(stream);
  const int maxWidth = ReadStreamInt(stream);
  // Limits first, from wide to narrow, so that none is cut by the old ones.
  SetMaxWidth(std::max(maxWidth, 0));
  SetMinWidth(minWidth);
  SetMaxWidth(maxWidth);
  SetWidth(width);
  const std::int32_t style = ReadStreamInt(stream);
  SetStyle(style == vsOwnerDraw ? vsOwnerDraw : vsText);
  SetImageIndex(ReadStreamInt(stream));
  SetLayout(static_cast<TVTHeaderColumnLayout>(std::clamp(ReadStreamInt(stream), 0, 3)));
  SetMargin(ReadStreamInt(stream));
  SetSpacing(ReadStreamInt(stream));
  SetBiDiMode(static_cast<TBiDiMode>(std::clamp(ReadStreamInt(stream), 0, 3)));
  SetOptions(ConvertOptions(static_cast<std::uint32_t>(ReadStreamInt(stream)), version));
  if (version >= 1) {
    Tag = ReadStreamInt(stream);
    SetAlignment(static_cast<TAlignment>(std::clamp(ReadStreamInt(stream), 0, 2)));
  }
  if (version >= 2) SetColor(ReadStreamInt(stream));
}

void TViewTreeColumn::SaveToStream(TStream& stream) const {
  WriteWideString(stream, text_);
  WriteWideString(stream, Hint);
  for (std::int32_t value : {width_, minWidth_, maxWidth_, static_cast<int>(style_), imageIndex_,
                             static_cast<int>(layout_), margin_, spacing_, static_cast<int>(biDiMode_),
                             static_cast<int>(options_), Tag, static_cast<int>(alignment_), color_}) {
    WriteStreamInt(stream, value);
  }
}

// --- TViewTreeColumns ---

TViewTreeColumns::TViewTreeColumns(TVTHeader& header) : header_(header) {}

TViewTreeColumns::~TViewTreeColumns() { Clear(); }

TViewTreeColumn& TViewTreeColumns::Items(TColumnIndex index) const {
  if (!IsValidColumn(index)) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  return *items_[static_cast<std::size_t>(index)];
}

TViewTreeColumn& TViewTreeColumns::Add() {
  auto* column = new TViewTreeColumn(*this);
  return *column;
}

void TViewTreeColumns::Delete(TColumnIndex index) {
  Items(index);
  std::unique_ptr<TViewTreeColumn> dying = std::move(items_[static_cast<std::size_t>(index)]);
  dying.reset();
  items_.erase(items_.begin() + index);
  for (std::size_t i = static_cast<std::size_t>(index); i < items_.size(); ++i) items_[i]->index_ = static_cast<int>(i);
  if (header_.mainColumn_ >= Count()) header_.mainColumn_ = Count() - 1;
  Update(nullptr);
}

void TViewTreeColumns::Clear() {
  clearing_ = true;
  HoverIndex = DownIndex = TrackIndex = ClickIndex = NoColumn;
  if (!header_.InHeaderState(hstLoading)) {
    header_.autoSizeIndex_ = NoColumn;
    header_.mainColumn_ = NoColumn;
    header_.sortColumn_ = NoColumn;
  }
  items_.clear();
  positionToIndex_.clear();
  clearing_ = false;
}

void TViewTreeColumns::Assign(const TViewTreeColumns& source) {
  BeginUpdate();
  Clear();
  for (const auto& column : source.items_) Add().Assign(*column);
  positionToIndex_ = source.positionToIndex_;
  NeedPositionsFix = false;
  RecalculateLefts(true);
  EndUpdate();
}

void TViewTreeColumns::EndUpdate() {
  if (updateCount_ > 0 && --updateCount_ == 0) Update(nullptr);
}

void TViewTreeColumns::Update(TViewTreeColumn* item) {
  if (updateCount_ > 0) return;
  SyncPositionArray();
  TViewTreeObject& tree = header_.Treeview();
  if (tree.IsLoading()) {
    NeedPositionsFix = true;
  } else {
    RecalculateLefts(false);
  }
  if (Count() > 0 && header_.mainColumn_ < 0) header_.mainColumn_ = 0;
  if (tree.IsLoading() || header_.InHeaderState(hstLoading)) return;
  if ((header_.Options() & hoAutoResize) != 0) ResizeAutoSizeColumn(false);
  if (!tree.HandleAllocated()) return;
  if (item == nullptr) {
    tree.UpdateHorizontalScrollBar(false);
    header_.InvalidateHeader();
    tree.InvalidateTree();
  } else {
    InvalidateCell(item->index_);
  }
}

void TViewTreeColumns::InvalidateCell(TColumnIndex column) const { header_.InvalidateHeader(column); }

void TViewTreeColumns::SyncPositionArray() {
  const std::size_t count = items_.size();
  const std::size_t old = positionToIndex_.size();
  if (old == count) return;
  positionToIndex_.resize(count);
  if (count > old) {
    for (std::size_t p = old; p < count; ++p) positionToIndex_[p] = static_cast<TColumnIndex>(p);
    return;
  }
  const auto limit = static_cast<TColumnIndex>(count);
  while (std::any_of(positionToIndex_.begin(), positionToIndex_.end(), [&](TColumnIndex i) { return i >= limit; })) {
    for (TColumnIndex& i : positionToIndex_) {
      if (i >= limit) --i;
    }
  }
}

void TViewTreeColumns::RecalculateLefts(bool force) {
  if (NeedPositionsFix || (!force && updateCount_ > 0)) return;
  int sum = 0;
  for (std::size_t p = 0; p < positionToIndex_.size(); ++p) {
    TViewTreeColumn& column = *items_[static_cast<std::size_t>(positionToIndex_[p])];
    column.position_ = static_cast<TColumnPosition>(p);
    column.left_ = sum;
    if (column.Has(coVisible)) sum += column.width_;
  }
}

void TViewTreeColumns::MovePositionEntry(TViewTreeColumn& column, TColumnPosition position) {
  const TColumnPosition old = column.position_;
  if (old < position) {
    std::copy(positionToIndex_.begin() + old + 1, positionToIndex_.begin() + position + 1,
              positionToIndex_.begin() + old);
  } else if (old > position) {
    std::copy_backward(positionToIndex_.begin() + position, positionToIndex_.begin() + old,
                       positionToIndex_.begin() + old + 1);
  }
  positionToIndex_[position] = column.index_;
}

void TViewTreeColumns::ColumnIndexChanged(TColumnIndex oldIndex, TColumnIndex newIndex) {
  if (newIndex == NoColumn) {
    std::erase(positionToIndex_, oldIndex);
    for (TColumnIndex& i : positionToIndex_) {
      if (i > oldIndex) --i;
    }
    return;
  }
  for (TColumnIndex& i : positionToIndex_) {
    if (i == oldIndex) {
      i = newIndex;
    } else if (oldIndex > newIndex && i >= newIndex && i < oldIndex) {
      ++i;
    } else if (oldIndex < newIndex && i > oldIndex && i <= newIndex) {
      --i;
    }
  }
}

void TViewTreeColumns::RebuildPositions() {
  SyncPositionArray();
  for (const auto& column : items_) {
    if (column->position_ < positionToIndex_.size()) positionToIndex_[column->position_] = column->index_;
  }
  NeedPositionsFix = false;
  RecalculateLefts(true);
}

void TViewTreeColumns::ResetPositions(bool rightToLeft) {
  const std::size_t count = positionToIndex_.size();
  for (std::size_t p = 0; p < count; ++p) {
    positionToIndex_[p] = static_cast<TColumnIndex>(rightToLeft ? count - 1 - p : p);
  }
  RecalculateLefts(true);
}

TColumnIndex TViewTreeColumns::ColumnAtPosition(TColumnPosition position) const {
  return position < positionToIndex_.size() ? positionToIndex_[position] : NoColumn;
}

TColumnIndex TViewTreeColumns::Walk(POINT p, bool relative, int* left, int* right) const {
  TViewTreeObject& tree = header_.Treeview();
  if (p.x < 0 || p.y < 0 || p.y > tree.Height()) return InvalidColumn;
  int edge = 0;
  if (relative && p.x > FixedColumnsTotalWidth()) edge = -tree.EffectiveOffsetX();
  for (TColumnIndex index : positionToIndex_) {
    const TViewTreeColumn& column = *items_[static_cast<std::size_t>(index)];
    if (!column.Has(coVisible)) continue;
    const int start = edge;
    edge += column.width_;
    if (edge > p.x) {
      if (left) *left = start;
      if (right) *right = edge;
      return index;
    }
  }
  return InvalidColumn;
}

TColumnIndex TViewTreeColumns::ColumnAtPoint(POINT p, bool relative) const { return Walk(p, relative, nullptr, nullptr); }

TColumnIndex TViewTreeColumns::ColumnAtX(POINT p, bool relative, int& left, int& right) const {
  return Walk(p, relative, &left, &right);
}

void TViewTreeColumns::ColumnBounds(TColumnIndex column, int& left, int& right) const {
  if (column == NoColumn || !IsValidColumn(column)) {
    left = 0;
    right = header_.Treeview().TreeClientRect().right;
    return;
  }
  const TViewTreeColumn& c = Items(column);
  left = c.Left();
  right = left + c.width_;
}

TColumnIndex TViewTreeColumns::FirstVisibleColumn() const {
  for (TColumnIndex index : positionToIndex_) {
    if (items_[static_cast<std::size_t>(index)]->Has(coVisible)) return index;
  }
  return InvalidColumn;
}

TColumnIndex TViewTreeColumns::LastVisibleColumn() const {
  for (auto it = positionToIndex_.rbegin(); it != positionToIndex_.rend(); ++it) {
    if (items_[static_cast<std::size_t>(*it)]->Has(coVisible)) return *it;
  }
  return InvalidColumn;
}

TColumnIndex TViewTreeColumns::NextColumn(TColumnIndex column) const {
  if (!IsValidColumn(column)) return InvalidColumn;
  const TColumnPosition next = items_[static_cast<std::size_t>(column)]->position_ + 1;
  return next < positionToIndex_.size() ? positionToIndex_[next] : InvalidColumn;
}

TColumnIndex TViewTreeColumns::PreviousColumn(TColumnIndex column) const {
  if (!IsValidColumn(column)) return InvalidColumn;
  const TColumnPosition position = items_[static_cast<std::size_t>(column)]->position_;
  return position > 0 && position <= positionToIndex_.size() ? positionToIndex_[position - 1] : InvalidColumn;
}

TColumnIndex TViewTreeColumns::NextVisibleColumn(TColumnIndex column) const {
  do {
    column = NextColumn(column);
  } while (column >= 0 && !items_[static_cast<std::size_t>(column)]->Has(coVisible));
  return column;
}

TColumnIndex TViewTreeColumns::PreviousVisibleColumn(TColumnIndex column) const {
  do {
    column = PreviousColumn(column);
  } while (column >= 0 && !items_[static_cast<std::size_t>(column)]->Has(coVisible));
  return column;
}

std::vector<TColumnIndex> TViewTreeColumns::VisibleColumns() const {
  std::vector<TColumnIndex> visible;
  for (TColumnIndex index : positionToIndex_) {
    if (items_[static_cast<std::size_t>(index)]->Has(coVisible)) visible.push_back(index);
  }
  return visible;
}

int TViewTreeColumns::FixedColumnsTotalWidth() const {
  int sum = 0;
  for (const auto& column : items_) {
    if (column->Has(coVisible) && column->Has(coFixed)) sum += column->width_;
  }
  return sum;
}

int TViewTreeColumns::TotalWidth() const {
  const TColumnIndex last = LastVisibleColumn();
  if (last < 0) return 0;
  const TViewTreeColumn& column = *items_[static_cast<std::size_t>(last)];
  return column.left_ + column.width_;
}

bool TViewTreeColumns::IsEqual(const TViewTreeColumns& other) const {
  if (Count() != other.Count() || positionToIndex_ != other.positionToIndex_) return false;
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (!items_[i]->IsEqual(*other.items_[i])) return false;
  }
  return true;
}

void TViewTreeColumns::ResizeAutoSizeColumn(bool force) {
  if (Count() < 1) return;
  TColumnIndex index = header_.AutoSizeIndex();
  if (!IsValidColumn(index)) index = Count() - 1;
  TViewTreeColumn& column = *items_[static_cast<std::size_t>(index)];
  TViewTreeObject& tree = header_.Treeview();
  int available = tree.HandleAllocated() ? tree.TreeClientRect().right : tree.Width();
  for (const auto& other : items_) {
    if (other.get() != &column && other->Has(coVisible)) available -= other->width_;
  }
  available = std::min(available, column.maxWidth_);
  available = std::max(available, column.minWidth_);
  if (!force && available == column.width_) return;
  column.width_ = available;
  RecalculateLefts(false);
  tree.DoColumnResize(index);
}

void TViewTreeColumns::ResizeAnimated(TColumnIndex column, int newWidth) {
  TViewTreeColumn& c = Items(column);
  newWidth = std::clamp(newWidth, c.minWidth_, c.maxWidth_);
  if (newWidth == c.width_) return;
  TViewTreeObject& tree = header_.Treeview();
  // 32 steps of about a millisecond, each moving what lies right of the column's edge
  // by a 32nd of the change; the width setter then paints the result exactly.
  const int step = (newWidth - c.width_) / 32;
  if (tree.HandleAllocated() && step != 0) {
    HDC dc = GetWindowDC(tree.Handle());
    // Window coordinates: the header rows lie above the client area.
    RECT window{};
    GetWindowRect(tree.Handle(), &window);
    POINT client{0, 0};
    ClientToScreen(tree.Handle(), &client);
    const int dx = client.x - window.left, dy = client.y - window.top;
    const RECT clientArea = tree.TreeClientRect();
    const RECT header = tree.HeaderRect();
    int edge = dx + c.StoredLeft() + c.width_ - (c.Has(coFixed) ? 0 : tree.EffectiveOffsetX());
    const int right = dx + clientArea.right;
    HBRUSH treeBrush = CreateSolidBrush(ColorToRGB(tree.Color()));
    HBRUSH headerBrush = CreateSolidBrush(ColorToRGB(header_.Background()));
    for (int i = 0; i < 32; ++i) {
      const RECT headerRows{edge, header.top, right, header.bottom};
      const RECT clientRows{edge, dy, right, dy + clientArea.bottom};
      ScrollDC(dc, step, 0, &headerRows, &headerRows, 0, nullptr);
      ScrollDC(dc, step, 0, &clientRows, &clientRows, 0, nullptr);
      if (step > 0) {
        // The strip the move uncovered belongs to the growing column.
        const RECT headerStrip{edge, headerRows.top, edge + step, headerRows.bottom};
        const RECT clientStrip{edge, clientRows.top, edge + step, clientRows.bottom};
        FillRect(dc, &headerStrip, headerBrush);
        FillRect(dc, &clientStrip, treeBrush);
      }
      edge += step;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    DeleteObject(treeBrush);
    DeleteObject(headerBrush);
    ReleaseDC(tree.Handle(), dc);
  }
  c.SetWidth(newWidth);
}

void TViewTreeColumns::LoadFromStream(TStream& stream, int version) {
  Clear();
  const std::int32_t count = ReadStreamInt(stream);
  if (count < 0 || static_cast<std::int64_t>(count) * (MinimalColumnRecord(version) + 4) > StreamRemaining(stream)) {
    RefuseStream("bad column count");
  }
  if (count == 0) return;
  BeginUpdate();
  try {
    for (std::int32_t i = 0; i < count; ++i) Add().LoadFromStream(stream, version);
    std::vector<TColumnIndex> positions(static_cast<std::size_t>(count));
    for (TColumnIndex& entry : positions) entry = ReadStreamInt(stream);
    std::vector<TColumnIndex> sorted = positions;
    std::sort(sorted.begin(), sorted.end());
    for (std::int32_t i = 0; i < count; ++i) {
      if (sorted[static_cast<std::size_t>(i)] != i) RefuseStream("bad column positions");
    }
    positionToIndex_ = std::move(positions);
    RecalculateLefts(true);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TViewTreeColumns::SaveToStream(TStream& stream) const {
  WriteStreamInt(stream, Count());
  if (Count() == 0) return;
  for (const auto& column : items_) column->SaveToStream(stream);
  for (TColumnIndex index : positionToIndex_) WriteStreamInt(stream, index);
}

// --- header mouse bookkeeping ---

bool TViewTreeColumns::HandleHeaderClick(POINT p, TMouseButton button, bool dblClick, bool force) {
  const TColumnIndex column = ColumnAtPoint(POINT{p.x, p.y + static_cast<LONG>(header_.Height())}, true);
  if (column < 0 || !items_[static_cast<std::size_t>(column)]->Has(coAllowClick) ||
      (column != DownIndex && !force)) {
    ClickIndex = NoColumn;
    return false;
  }
  ClickIndex = column;
  TViewTreeObject& tree = header_.Treeview();
  TShiftState shift = KeyboardShiftState() & (ssShift | ssCtrl | ssAlt);
  if (dblClick) shift |= ssDouble;
  if (tree.OnHeaderClick) tree.OnHeaderClick(&header_, column, button, shift, p.x, p.y + static_cast<int>(header_.Height()));
  InvalidateCell(column);
  return true;
}

bool TViewTreeColumns::UpdateHoverColumn(POINT p) {
  const TColumnIndex column = ColumnAtPoint(POINT{p.x, p.y + static_cast<LONG>(header_.Height())}, true);
  if (column == HoverIndex) return false;
  InvalidateCell(HoverIndex);
  HoverIndex = column;
  InvalidateCell(HoverIndex);
  return true;
}

TColumnIndex TViewTreeColumns::UpdateDownColumn(POINT p) {
  const TColumnIndex column = ColumnAtPoint(POINT{p.x, p.y + static_cast<LONG>(header_.Height())}, true);
  if (column >= 0 && column != DownIndex && items_[static_cast<std::size_t>(column)]->Has(coAllowClick) &&
      items_[static_cast<std::size_t>(column)]->Has(coEnabled)) {
    InvalidateCell(DownIndex);
    DownIndex = column;
    InvalidateCell(DownIndex);
  }
  return column;
}
