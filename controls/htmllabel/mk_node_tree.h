// The HTML label's node tree: what its small HTML subset builds (bold, italic,
// underline and strike-out, FONT colours, links, line breaks, paragraphs and
// caller-filled DYNAMIC tags), the builder that reads it with the label's parser,
// and the questions the label asks of a painted tree (which link lies under a point,
// the text under a node).
//
// Ownership: a parent node owns its children; a tree owns its root. The positions,
// rectangles, styles and colours kept in the nodes are results of the last render
// (mk_html_renderer.h); a new tree has none, so before its first render no point lies
// over any node.
//
// Hostile text never raises: unknown tags are ignored, end tags that do not close the
// innermost open node are ignored, and start tags that would nest nodes deeper than
// kMkMaxNodeDepth are ignored like unknown tags, so that no walk of the tree can run
// out of stack. One parse (with the dynamic nodes it loads) makes at most
// kMkMaxNodeCount nodes and ignores the rest of the text: dynamic sources that hold
// dynamic tags again would otherwise grow the tree exponentially.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/base/types.h"
#include "platform/classlib/graphics.h"

inline constexpr int kMkMaxNodeDepth = 100;
inline constexpr int kMkMaxNodeCount = 10000;

// Tag and attribute IDs of the parser's tables that the builder acts on.
inline constexpr std::uint32_t kMkTagA = 1;
inline constexpr std::uint32_t kMkTagB = 7;
inline constexpr std::uint32_t kMkTagBr = 15;
inline constexpr std::uint32_t kMkTagFont = 40;
inline constexpr std::uint32_t kMkTagI = 54;
inline constexpr std::uint32_t kMkTagP = 79;
inline constexpr std::uint32_t kMkTagS = 84;
inline constexpr std::uint32_t kMkTagU = 106;
inline constexpr std::uint32_t kMkTagDynamic = 1421;
inline constexpr std::uint32_t kMkAttrColor = 29;
inline constexpr std::uint32_t kMkAttrHref = 52;
inline constexpr std::uint32_t kMkAttrId = 56;

// Colour markers a link answers by its state; the renderer turns them into its link
// colours.
inline constexpr TColor kMkLinkColorNormal = static_cast<TColor>(0x80000400u);
inline constexpr TColor kMkLinkColorClicked = static_cast<TColor>(0x80000401u);
inline constexpr TColor kMkLinkColorHot = static_cast<TColor>(0x80000402u);

// Link states.
inline constexpr std::uint8_t kMkLinkNormal = 0;
inline constexpr std::uint8_t kMkLinkClicked = 1;
inline constexpr std::uint8_t kMkLinkHot = 2;

// Actions.
inline constexpr std::uint8_t kMkActionLineBreak = 0;
inline constexpr std::uint8_t kMkActionParagraph = 1;

class TNode;
class TParentNode;
class TStringNode;
class TDynamicNode;

// Which nodes a search wants: the node is of the class (or derives from it).
using TNodeClass = bool (*)(const TNode& node);
template <class T>
bool IsNodeOf(const TNode& node) {
  return dynamic_cast<const T*>(&node) != nullptr;
}

class TNode {
 public:
  virtual ~TNode() = default;
  // 0 node, 1 parent, 2 area, 3 font, 4 style, 5 link, 6 dynamic, 7 root, 8 string, 9 action.
  virtual std::uint8_t Kind() const { return 0; }
  TParentNode* Parent = nullptr;
};

class TParentNode : public TNode {
 public:
  std::uint8_t Kind() const override { return 1; }
  // Appends the node, which the parent then owns, and answers it.
  TNode* Append(std::unique_ptr<TNode> node);
  std::vector<std::unique_ptr<TNode>> Children;
};

class TAreaNode : public TParentNode {
 public:
  std::uint8_t Kind() const override { return 2; }
  virtual TFontStyles GetStyle() const { return Style; }
  virtual TColor GetColor() const { return Color; }
  // Whether a rectangle of a string node under a top-level descendant of that class
  // contains the point.
  virtual bool HasNodeAt(POINT point, TNodeClass nodeClass) const;
  std::int32_t StartX = 0;
  std::int32_t StartY = 0;
  TFontStyles Style = 0;
  TColor Color = 0;
};

class TFontNode : public TAreaNode {
 public:
  std::uint8_t Kind() const override { return 3; }
};

class TStyleNode : public TAreaNode {
 public:
  explicit TStyleNode(std::uint8_t styleIndex) : StyleIndex(styleIndex) {}
  std::uint8_t Kind() const override { return 4; }
  // 0 bold, 1 italic, 2 underline, 3 strike-out.
  std::uint8_t StyleIndex;
};

class TLinkNode : public TAreaNode {
 public:
  std::uint8_t Kind() const override { return 5; }
  // A marker colour by the state; Color for any other state value.
  TColor GetColor() const override;
  std::uint8_t State = kMkLinkNormal;
  std::u16string Href;
};

class TDynamicNode : public TAreaNode {
 public:
  std::uint8_t Kind() const override { return 6; }
  std::u16string ID;
};

class TRootNode : public TAreaNode {
 public:
  std::uint8_t Kind() const override { return 7; }
  // For links the answer comes from LinkRects alone.
  bool HasNodeAt(POINT point, TNodeClass nodeClass) const override;
  std::vector<RECT> LinkRects;
};

// The measured width of one word, kept so that a repaint only draws.
struct TWordCacheRecord {
  std::uint8_t TrailingBlank;
  std::int32_t BlankWidth;
  std::int32_t Width;
};

class TStringNode : public TNode {
 public:
  explicit TStringNode(std::u16string text) : Text(std::move(text)) {}
  std::uint8_t Kind() const override { return 8; }
  std::u16string Text;
  std::vector<RECT> Rects;
  std::vector<TWordCacheRecord> WordCache;
  // The first word continues the word that the text before it ended with.
  bool Glued = false;
};

class TActionNode : public TNode {
 public:
  explicit TActionNode(std::uint8_t action) : Action(action) {}
  std::uint8_t Kind() const override { return 9; }
  std::uint8_t Action;
};

class TNodeTree {
 public:
  TNodeTree();
  TRootNode& Root() { return root_; }
  const TRootNode& Root() const { return root_; }
  TAreaNode* FindNodeAt(POINT point, TNodeClass nodeClass) const;
  bool HasNodeAt(POINT point, TNodeClass nodeClass) const { return root_.HasNodeAt(point, nodeClass); }
  // Forgets every measured word (the font changed).
  void ClearWordCaches();

 private:
  TRootNode root_;
};

// Walks the descendants of a start node depth-first in child order and returns each
// node of the wanted class, without descending into a returned node.
class TTopLevelNodeEnumerator {
 public:
  TTopLevelNodeEnumerator(const TParentNode& start, TNodeClass nodeClass);
  // The next node, or nil when the walk is done.
  TNode* Next();

 private:
  TNodeClass nodeClass_;
  std::vector<std::pair<const TParentNode*, std::size_t>> stack_;
};

// Every string node under the node, in order.
std::vector<TStringNode*> StringNodesUnder(const TParentNode& node);
// The texts of all string nodes under the node, joined without separators.
std::u16string GetText(const TParentNode& node);
// Among the top-level area nodes under area whose text rectangles hold the point, the
// first of the class; else the search goes on inside each of them; nil when none.
TAreaNode* FindNodeAt(const TAreaNode& area, POINT point, TNodeClass nodeClass);

// Gives a DYNAMIC tag its HTML source (empty: the node stays empty).
class IDynamicNodeHandler {
 public:
  virtual void GetDynamicSource(TDynamicNode& node, std::string& source) = 0;

 protected:
  ~IDynamicNodeHandler() = default;
};

// Builds trees with the label's parser settings: white space normalised, only HTML
// tags and text delivered, the character-set plug-in attached.
class TDefaultParser {
 public:
  explicit TDefaultParser(IDynamicNodeHandler* handler);
  // The tree of an 8-bit text (its bytes are characters 0 to 255 unless the text
  // declares a character set).
  std::unique_ptr<TNodeTree> Parse(const std::string& text);
  // Asks the handler for the node's source and builds it into the node.
  void LoadDynamicNode(TDynamicNode& node);
  // Replaces the node's children by the tree of the source.
  void ParseInto(TDynamicNode& node, const std::string& source);

 private:
  void Build(const std::string& text, TParentNode& parent, bool lineStart);
  // Appends a node unless the parse has made all it may; false when it has.
  bool Add(TParentNode& parent, std::unique_ptr<TNode> node, TNode** added = nullptr);
  IDynamicNodeHandler* handler_;
  int building_ = 0;  // nesting of Build through dynamic nodes
  int nodesLeft_ = 0;
};
