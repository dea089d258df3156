#include "controls/htmllabel/mk_node_tree.h"

#include "controls/htmllabel/mk_html_colors.h"
#include "controls/htmllabel/mk_html_names.h"
#include "controls/htmllabel/mk_html_parser.h"
#include "controls/htmllabel/mk_html_plugin.h"
#include "controls/htmllabel/mk_utils.h"

namespace {

bool Contains(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

bool TextUnderContains(const TParentNode& node, POINT point) {
  for (const TStringNode* text : StringNodesUnder(node)) {
    for (const RECT& r : text->Rects) {
      if (Contains(r, point)) return true;
    }
  }
  return false;
}

int Depth(const TParentNode& node) {
  int depth = 0;
  for (const TParentNode* p = &node; p->Parent != nullptr; p = p->Parent) ++depth;
  return depth;
}

std::u16string WithoutLeadingSpace(const std::u16string& text) {
  std::size_t start = 0;
  while (start < text.size() && CharIsSpace(text[start])) ++start;
  return text.substr(start);
}

// The node a start tag makes; nil for a tag the label ignores.
std::unique_ptr<TNode> NodeOfTag(const TMkTag& tag) {
  switch (tag.ID) {
    case kMkTagA: {
      auto link = std::make_unique<TLinkNode>();
      link->Href = tag.AttributeValue(kMkAttrHref);
      return link;
    }
    case kMkTagB:
      return std::make_unique<TStyleNode>(0);
    case kMkTagI:
      return std::make_unique<TStyleNode>(1);
    case kMkTagU:
      return std::make_unique<TStyleNode>(2);
    case kMkTagS:
      return std::make_unique<TStyleNode>(3);
    case kMkTagBr:
      return std::make_unique<TActionNode>(kMkActionLineBreak);
    case kMkTagP:
      return std::make_unique<TActionNode>(kMkActionParagraph);
    case kMkTagFont: {
      TColor color = 0;
      if (!ColorFromHtml(tag.AttributeValue(kMkAttrColor), color)) return nullptr;
      auto font = std::make_unique<TFontNode>();
      font->Color = color;
      return font;
    }
    case kMkTagDynamic: {
      auto dynamic = std::make_unique<TDynamicNode>();
      dynamic->ID = tag.AttributeValue(kMkAttrId);
      return dynamic;
    }
    default:
      return nullptr;
  }
}

// Whether an end tag closes the innermost open node.
bool Closes(std::uint32_t tagId, const TParentNode& open) {
  if (const auto* style = dynamic_cast<const TStyleNode*>(&open)) {
    static constexpr std::uint32_t kStyleTags[4] = {kMkTagB, kMkTagI, kMkTagU, kMkTagS};
    return tagId == kStyleTags[style->StyleIndex];
  }
  if (tagId == kMkTagA) return dynamic_cast<const TLinkNode*>(&open) != nullptr;
  if (tagId == kMkTagFont) return dynamic_cast<const TFontNode*>(&open) != nullptr;
  return false;
}

void RegisterDynamicTagOnce() {
  static const bool registered = [] {
    RegisterHtmlTag(u"DYNAMIC", kMkTagDynamic);
    return true;
  }();
  (void)registered;
}

}  // namespace

TNode* TParentNode::Append(std::unique_ptr<TNode> node) {
  node->Parent = this;
  Children.push_back(std::move(node));
  return Children.back().get();
}

bool TAreaNode::HasNodeAt(POINT point, TNodeClass nodeClass) const {
  TTopLevelNodeEnumerator nodes(*this, nodeClass);
  while (TNode* node = nodes.Next()) {
    if (TextUnderContains(static_cast<const TParentNode&>(*node), point)) return true;
  }
  return false;
}

TColor TLinkNode::GetColor() const {
  switch (State) {
    case kMkLinkNormal:
      return kMkLinkColorNormal;
    case kMkLinkClicked:
      return kMkLinkColorClicked;
    case kMkLinkHot:
      return kMkLinkColorHot;
    default:
      return Color;
  }
}

bool TRootNode::HasNodeAt(POINT point, TNodeClass nodeClass) const {
  if (nodeClass != &IsNodeOf<TLinkNode>) return TAreaNode::HasNodeAt(point, nodeClass);
  for (const RECT& r : LinkRects) {
    if (Contains(r, point)) return true;
  }
  return false;
}

TNodeTree::TNodeTree() { root_.Color = clWindowText; }

TAreaNode* TNodeTree::FindNodeAt(POINT point, TNodeClass nodeClass) const {
  return ::FindNodeAt(root_, point, nodeClass);
}

void TNodeTree::ClearWordCaches() {
  for (TStringNode* text : StringNodesUnder(root_)) {
    text->WordCache.clear();
    text->Glued = false;
  }
}

TTopLevelNodeEnumerator::TTopLevelNodeEnumerator(const TParentNode& start, TNodeClass nodeClass)
    : nodeClass_(nodeClass) {
  stack_.emplace_back(&start, 0);
}

TNode* TTopLevelNodeEnumerator::Next() {
  while (!stack_.empty()) {
    auto& [parent, index] = stack_.back();
    if (index >= parent->Children.size()) {
      stack_.pop_back();
      continue;
    }
    TNode* node = parent->Children[index++].get();
    if (nodeClass_(*node)) return node;
    if (const auto* inner = dynamic_cast<const TParentNode*>(node)) stack_.emplace_back(inner, 0);
  }
  return nullptr;
}

std::vector<TStringNode*> StringNodesUnder(const TParentNode& node) {
  std::vector<TStringNode*> texts;
  TTopLevelNodeEnumerator nodes(node, &IsNodeOf<TStringNode>);
  while (TNode* text = nodes.Next()) texts.push_back(static_cast<TStringNode*>(text));
  return texts;
}

std::u16string GetText(const TParentNode& node) {
  std::u16string text;
  for (const TStringNode* part : StringNodesUnder(node)) text += part->Text;
  return text;
}

TAreaNode* FindNodeAt(const TAreaNode& area, POINT point, TNodeClass nodeClass) {
  std::vector<TAreaNode*> hits;
  TTopLevelNodeEnumerator areas(area, &IsNodeOf<TAreaNode>);
  while (TNode* node = areas.Next()) {
    auto* hit = static_cast<TAreaNode*>(node);
    if (!TextUnderContains(*hit, point)) continue;
    if (nodeClass(*hit)) return hit;
    hits.push_back(hit);
  }
  for (TAreaNode* hit : hits) {
    if (TAreaNode* found = FindNodeAt(*hit, point, nodeClass)) return found;
  }
  return nullptr;
}

TDefaultParser::TDefaultParser(IDynamicNodeHandler* handler) : handler_(handler) { RegisterDynamicTagOnce(); }

std::unique_ptr<TNodeTree> TDefaultParser::Parse(const std::string& text) {
  auto tree = std::make_unique<TNodeTree>();
  Build(text, tree->Root(), true);
  return tree;
}

void TDefaultParser::LoadDynamicNode(TDynamicNode& node) {
  std::string source;
  if (handler_ != nullptr) handler_->GetDynamicSource(node, source);
  if (!source.empty()) ParseInto(node, source);
}

void TDefaultParser::ParseInto(TDynamicNode& node, const std::string& source) {
  node.Children.clear();
  Build(source, node, false);
}

// Start tags open nodes, matching end tags close them; an open node closes only by
// its own end tag at the innermost level, or at the end of the text.
void TDefaultParser::Build(const std::string& text, TParentNode& parent, bool lineStart) {
  TMkHtmlParser parser;
  parser.SetNormalizeWhiteSpace(true);
  parser.FilterHtmlTags().Set(fiShow, fiShow);
  parser.SetFilter(pkText, fiShow);
  parser.SetSourceString(text);
  TMkHtmlCharSetPlugin plugin;
  plugin.SetHtmlParser(&parser);
  // The outermost call starts the parse's node budget.
  struct Nesting {
    explicit Nesting(TDefaultParser& owner) : parser_(owner) {
      if (parser_.building_++ == 0) parser_.nodesLeft_ = kMkMaxNodeCount;
    }
    ~Nesting() { --parser_.building_; }
    TDefaultParser& parser_;
  } nesting(*this);
  TParentNode* open = &parent;
  int depth = Depth(parent);
  while (parser.ReadNextPiece()) {
    if (parser.PieceKind() == pkText) {
      std::u16string piece = parser.PieceText();
      if (lineStart) piece = WithoutLeadingSpace(piece);
      lineStart = false;
      if (!Add(*open, std::make_unique<TStringNode>(std::move(piece)))) return;
      continue;
    }
    const TMkTag* tag = parser.Tag();
    if (parser.PieceKind() != pkHtmlTag || tag == nullptr) continue;
    if (tag->TagType == kMkEndTag) {
      if (open != &parent && Closes(tag->ID, *open)) {
        open = open->Parent;
        --depth;
      }
      continue;
    }
    if (tag->TagType != kMkStartTag) continue;
    std::unique_ptr<TNode> node = NodeOfTag(*tag);
    if (!node) continue;
    const bool opens = dynamic_cast<TParentNode*>(node.get()) != nullptr;
    if (opens && depth >= kMkMaxNodeDepth) continue;
    if (!opens) lineStart = true;
    TNode* added = nullptr;
    if (!Add(*open, std::move(node), &added)) return;
    if (auto* dynamic = dynamic_cast<TDynamicNode*>(added)) {
      LoadDynamicNode(*dynamic);
    } else if (opens) {
      open = static_cast<TParentNode*>(added);
      ++depth;
    }
  }
}

bool TDefaultParser::Add(TParentNode& parent, std::unique_ptr<TNode> node, TNode** added) {
  if (nodesLeft_ <= 0) return false;
  --nodesLeft_;
  TNode* appended = parent.Append(std::move(node));
  if (added != nullptr) *added = appended;
  return true;
}
