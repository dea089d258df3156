// Lays out and paints the HTML label's node tree: text runs go to a text handler
// that buffers the pieces that touch without a blank between them, measures their
// words once (the widths stay cached in the string nodes), wraps lines at the right
// edge of the bounds and draws each line with ExtTextOutW. A word that continues
// across a style change is measured and wrapped as one unit. Every drawn line's
// rectangle is kept in its string node; after a render the root holds the
// rectangles of all link text, for hit testing.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "controls/htmllabel/mk_node_tree.h"
#include "platform/classlib/graphics.h"

// Returns the words of a text one by one: each runs up to and including the next
// blank (U+0020 only), or to the end; two blanks in a row give a word that is one blank.
class TWordEnumerator {
 public:
  explicit TWordEnumerator(const std::u16string& text) : text_(text), remaining_(text.size()) {}
  // Raises std::logic_error when no characters remain.
  std::u16string GetNext();
  std::size_t Remaining() const { return remaining_; }
  std::size_t Count() const { return count_; }

 private:
  const std::u16string& text_;
  std::size_t position_ = 0;
  std::size_t remaining_;
  std::size_t count_ = 0;
};

// A buffered piece: a string node with its effective style and colour, or an action.
struct TParentTextElement {
  virtual ~TParentTextElement() = default;
};

struct TStringElement : TParentTextElement {
  TStringElement(TStringNode* node, TFontStyles style, TColor color) : Node(node), Style(style), Color(color) {}
  TStringNode* Node;
  TFontStyles Style;
  TColor Color;
};

struct TActionElement : TParentTextElement {
  explicit TActionElement(std::uint8_t action) : Action(action) {}
  std::uint8_t Action;
};

class TTextHandler {
 public:
  TTextHandler(TCanvas& canvas, const RECT& bounds, std::int32_t x, std::int32_t y, std::int32_t offsetY);
  void AddString(TStringNode* node, TFontStyles style, TColor color);
  void LineBreak();
  void Paragraph();
  // Lays out and draws every buffered element, then empties the buffer.
  void EmptyBuffer();
  // When the string node is laid out, the area's start point becomes the pen there.
  void AddObserver(TAreaNode* area, TStringNode* node);
  bool BufferEmpty() const { return elements_.empty(); }

  std::int32_t X, Y;
  const std::int32_t OffsetY;
  const RECT Bounds;
  std::int32_t LineHeight;

 private:
  void LayOut(std::size_t index);
  void LayOutAction(const TActionElement& action);
  // Word n (1-based) of element index: its record, with the widths of the glued
  // beginnings of the elements that follow it added to the last word.
  TWordCacheRecord MeasureWord(std::size_t index, const std::u16string& word, std::size_t n, bool last);
  void NotifyObservers(const TStringNode* node);
  void SetStyle(TFontStyles style);
  std::int32_t TextWidth(const std::u16string& text);
  void DrawLine(TStringNode& node, const std::u16string& line);

  TCanvas& canvas_;
  std::vector<std::unique_ptr<TParentTextElement>> elements_;
  std::vector<std::pair<TAreaNode*, TStringNode*>> observers_;
};

class TMkHtmlRenderer {
 public:
  virtual ~TMkHtmlRenderer() = default;
  // Lays out and paints the whole tree from the rectangle's top-left corner, then
  // collects the rectangles of the link text in the root.
  void Render(TCanvas& canvas, const RECT& rect, TNodeTree& tree);
  // Paints one area again from its start point of the last render (a link in the
  // colour of its state).
  void RenderArea(TCanvas& canvas, const RECT& rect, TAreaNode& area);
  TColor MapColor(TColor color) const;

  TColor LinkColor = clBlue;
  TColor LinkColorClicked = clRed;
  TColor LinkColorHot = 0x800080;
  TFontStyles LinkStyle = fsUnderline;
  // Bottom of the last line of the last render, from the top of the canvas.
  std::int32_t TextBottom = 0;
  std::int32_t OffsetY = 0;

 protected:
  virtual void RenderNode(TAreaNode& area, TFontStyles style, TColor color);

 private:
  TTextHandler* handler_ = nullptr;
};
