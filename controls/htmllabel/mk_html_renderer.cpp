#include "controls/htmllabel/mk_html_renderer.h"

#include <algorithm>

#include "controls/htmllabel/mk_utils.h"
#include "platform/classlib/exceptions.h"

namespace {

bool BeginsWithBlank(const std::u16string& text) { return !text.empty() && text.front() == u' '; }
bool EndsWithBlank(const std::u16string& text) { return !text.empty() && text.back() == u' '; }

TStringNode* FirstStringNode(const TParentNode& area) {
  return static_cast<TStringNode*>(TTopLevelNodeEnumerator(area, &IsNodeOf<TStringNode>).Next());
}

// Clears the renderer's handler when the render ends, also by an exception.
class HandlerScope {
 public:
  HandlerScope(TTextHandler*& slot, TTextHandler& handler) : slot_(slot) { slot_ = &handler; }
  ~HandlerScope() { slot_ = nullptr; }
  HandlerScope(const HandlerScope&) = delete;
  HandlerScope& operator=(const HandlerScope&) = delete;

 private:
  TTextHandler*& slot_;
};

}  // namespace

std::u16string TWordEnumerator::GetNext() {
  if (remaining_ == 0) throw Exception("TWordEnumerator.GetNext: No more words to return");
  std::size_t end = text_.find(u' ', position_);
  end = end == std::u16string::npos ? text_.size() : end + 1;
  std::u16string word = text_.substr(position_, end - position_);
  remaining_ -= word.size();
  position_ = end;
  ++count_;
  return word;
}

TTextHandler::TTextHandler(TCanvas& canvas, const RECT& bounds, std::int32_t x, std::int32_t y, std::int32_t offsetY)
    : X(x), Y(y), OffsetY(offsetY), Bounds(bounds), LineHeight(0), canvas_(canvas) {
  // The line height is that of the plain font, whatever style the canvas has now.
  const TFontStyles style = canvas_.Font().Style();
  SetStyle(0);
  canvas_.RequiredState(csHandleValid | csFontValid);
  LineHeight = TextHeightW(canvas_.Handle(), u"fg");
  SetStyle(style);
}

void TTextHandler::AddString(TStringNode* node, TFontStyles style, TColor color) {
  if (node->Text.empty()) return;
  if (BeginsWithBlank(node->Text)) EmptyBuffer();
  elements_.push_back(std::make_unique<TStringElement>(node, style, color));
  if (EndsWithBlank(node->Text)) EmptyBuffer();
}

void TTextHandler::LineBreak() {
  elements_.push_back(std::make_unique<TActionElement>(kMkActionLineBreak));
  EmptyBuffer();
}

void TTextHandler::Paragraph() {
  elements_.push_back(std::make_unique<TActionElement>(kMkActionParagraph));
  EmptyBuffer();
}

void TTextHandler::AddObserver(TAreaNode* area, TStringNode* node) { observers_.emplace_back(area, node); }

void TTextHandler::EmptyBuffer() {
  for (std::size_t i = 0; i < elements_.size(); ++i) LayOut(i);
  elements_.clear();
}

void TTextHandler::LayOutAction(const TActionElement& action) {
  X = Bounds.left;
  // A paragraph's gap is one and a half lines with bit 1 set (an OR, not an addition).
  Y += action.Action == kMkActionLineBreak ? LineHeight : ((LineHeight + LineHeight / 2) | 2);
}

void TTextHandler::LayOut(std::size_t index) {
  TParentTextElement* element = elements_[index].get();
  if (const auto* action = dynamic_cast<const TActionElement*>(element)) {
    LayOutAction(*action);
    return;
  }
  const auto* text = dynamic_cast<const TStringElement*>(element);
  if (text == nullptr) throw Exception("TTextHandler.EmptyBuffer: Unsupported TParentTextElement descendant encountered");
  TStringNode& node = *text->Node;
  NotifyObservers(&node);
  SetStyle(text->Style);
  canvas_.Font().SetColor(text->Color);
  std::u16string line;
  std::int32_t lineWidth = 0;
  node.Rects.clear();
  TWordEnumerator words(node.Text);
  while (words.Remaining() > 0) {
    const std::u16string word = words.GetNext();
    const std::size_t n = words.Count();
    if (node.WordCache.size() < n) node.WordCache.push_back(MeasureWord(index, word, n, words.Remaining() == 0));
    const TWordCacheRecord record = node.WordCache[n - 1];
    lineWidth += record.Width;
    const std::int32_t fit = lineWidth - (record.TrailingBlank ? record.BlankWidth : 0);
    const bool breaks = X + fit >= Bounds.right && word != u" " &&
                        !(X == Bounds.left && Y == Bounds.top && n == 1) && !(node.Glued && n == 1);
    if (breaks) {
      TrimTextRight(line, nullptr);
      DrawLine(node, line);
      X = Bounds.left;
      Y += LineHeight;
      lineWidth = record.Width;
      line = word;
      continue;
    }
    // A glued first word was measured with the word it continues; the words after it
    // need its width on this line.
    if (node.Glued && words.Remaining() > 0 && n == 1) lineWidth += TextWidth(word);
    line += word;
  }
  DrawLine(node, line);
  X += TextWidth(line);
}

TWordCacheRecord TTextHandler::MeasureWord(std::size_t index, const std::u16string& word, std::size_t n, bool last) {
  const auto& current = static_cast<const TStringElement&>(*elements_[index]);
  const bool gluedFirst = current.Node->Glued && n == 1;
  TWordCacheRecord record{};
  record.Width = gluedFirst ? 0 : TextWidth(word);
  record.TrailingBlank = EndsWithBlank(word) ? 1 : 0;
  record.BlankWidth = TextWidth(u" ");
  if (!last || gluedFirst) return record;
  // The word goes on in the pieces that follow without a blank between them.
  for (std::size_t j = index + 1; j < elements_.size(); ++j) {
    const auto* before = dynamic_cast<const TStringElement*>(elements_[j - 1].get());
    const auto* next = dynamic_cast<const TStringElement*>(elements_[j].get());
    if (before == nullptr || next == nullptr || EndsWithBlank(before->Node->Text) ||
        BeginsWithBlank(next->Node->Text)) {
      break;
    }
    SetStyle(next->Style);
    TWordEnumerator words(next->Node->Text);
    const std::u16string first = words.GetNext();
    record.Width += TextWidth(first);
    next->Node->Glued = true;
    if (j + 1 == elements_.size()) {
      record.TrailingBlank = EndsWithBlank(first) ? 1 : 0;
      record.BlankWidth = TextWidth(u" ");
    }
    if (words.Remaining() > 0) break;
  }
  SetStyle(current.Style);
  return record;
}

void TTextHandler::NotifyObservers(const TStringNode* node) {
  std::erase_if(observers_, [&](const std::pair<TAreaNode*, TStringNode*>& observer) {
    if (observer.second != node) return false;
    observer.first->StartX = X;
    observer.first->StartY = Y;
    return true;
  });
}

void TTextHandler::SetStyle(TFontStyles style) { canvas_.Font().SetStyle(style); }

std::int32_t TTextHandler::TextWidth(const std::u16string& text) {
  canvas_.RequiredState(csHandleValid | csFontValid);
  return TextWidthW(canvas_.Handle(), text);
}

void TTextHandler::DrawLine(TStringNode& node, const std::u16string& line) {
  const std::int32_t width = TextWidth(line);
  const std::int32_t top = Y + OffsetY;
  // Lines outside the bounds are laid out but not drawn.
  if (top + LineHeight > 0 && top < Bounds.bottom) {
    canvas_.RequiredState(csHandleValid | csFontValid | csBrushValid | csPenValid);
    ExtTextOutW(canvas_.Handle(), X, top, 0, nullptr, line.data(), static_cast<UINT>(line.size()), nullptr);
  }
  node.Rects.push_back(RECT{X, top, X + width, top + LineHeight});
}

void TMkHtmlRenderer::Render(TCanvas& canvas, const RECT& rect, TNodeTree& tree) {
  TRootNode& root = tree.Root();
  root.StartX = rect.left;
  root.StartY = rect.top;
  RenderArea(canvas, rect, root);
  root.LinkRects.clear();
  TTopLevelNodeEnumerator links(root, &IsNodeOf<TLinkNode>);
  while (TNode* link = links.Next()) {
    for (const TStringNode* text : StringNodesUnder(static_cast<const TParentNode&>(*link))) {
      root.LinkRects.insert(root.LinkRects.end(), text->Rects.begin(), text->Rects.end());
    }
  }
}

void TMkHtmlRenderer::RenderArea(TCanvas& canvas, const RECT& rect, TAreaNode& area) {
  TTextHandler handler(canvas, rect, area.StartX, area.StartY, OffsetY);
  HandlerScope scope(handler_, handler);
  RenderNode(area, area.GetStyle(), area.GetColor());
  handler.EmptyBuffer();
  TextBottom = handler.Y + handler.LineHeight;
}

TColor TMkHtmlRenderer::MapColor(TColor color) const {
  switch (color) {
    case kMkLinkColorNormal:
      return LinkColor;
    case kMkLinkColorClicked:
      return LinkColorClicked;
    case kMkLinkColorHot:
      return LinkColorHot;
    default:
      return color;
  }
}

void TMkHtmlRenderer::RenderNode(TAreaNode& area, TFontStyles style, TColor color) {
  TTextHandler& handler = *handler_;
  if (handler.BufferEmpty()) {
    area.StartX = handler.X;
    area.StartY = handler.Y;
  } else if (TStringNode* first = FirstStringNode(area)) {
    // The area starts where its first text is laid out, once the buffer is emptied.
    handler.AddObserver(&area, first);
  }
  area.Style = style;
  area.Color = color;
  for (const std::unique_ptr<TNode>& child : area.Children) {
    TFontStyles s = style;
    TColor c = MapColor(color);
    if (auto* font = dynamic_cast<TFontNode*>(child.get())) {
      c = font->GetColor();
    } else if (auto* styled = dynamic_cast<TStyleNode*>(child.get())) {
      s = style | (1u << styled->StyleIndex);
    } else if (dynamic_cast<TLinkNode*>(child.get()) != nullptr) {
      s = style | LinkStyle;
      c = LinkColor;
    } else if (auto* text = dynamic_cast<TStringNode*>(child.get())) {
      handler.AddString(text, s, c);
    } else if (auto* action = dynamic_cast<TActionNode*>(child.get())) {
      if (action->Action == kMkActionLineBreak) {
        handler.LineBreak();
      } else {
        handler.Paragraph();
      }
    }
    if (auto* inner = dynamic_cast<TAreaNode*>(child.get())) RenderNode(*inner, s, c);
  }
}
