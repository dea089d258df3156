#include "platform/browser/document_tree.h"

#include <gumbo.h>

#include <utility>

#include "platform/base/text.h"
#include "platform/browser/html_rules.h"

namespace platform::browser {
namespace {

std::u16string FromPiece(const char* text, std::size_t length) {
  return Utf8ToWide(std::string_view(text, length));
}

std::u16string TagOf(const GumboElement& element) {
  if (element.tag != GUMBO_TAG_UNKNOWN) return AnsiToWide(gumbo_normalized_tagname(element.tag));
  GumboStringPiece original = element.original_tag;
  gumbo_tag_from_original_text(&original);
  return LowerCaseAscii(FromPiece(original.data, original.length));
}

ElementKind KindOf(std::u16string_view tag) {
  if (tag == u"form") return ElementKind::Form;
  if (tag == u"input") return ElementKind::Input;
  if (tag == u"select") return ElementKind::Select;
  if (tag == u"option") return ElementKind::Option;
  return ElementKind::Other;
}

// Holds the text and gumbo's output (which points into the text) for the walk, and
// gives the output back in every case.
struct GumboResult {
  explicit GumboResult(std::string html)
      : text(std::move(html)), output(gumbo_parse_with_options(&kGumboDefaultOptions, text.data(), text.size())) {}
  ~GumboResult() { gumbo_destroy_output(&kGumboDefaultOptions, output); }
  std::string text;
  GumboOutput* output;
};

}  // namespace

Node* DocumentTree::NewNode() {
  storage_.push_back(std::make_unique<Node>());
  return storage_.back().get();
}

std::shared_ptr<DocumentTree> DocumentTree::Parse(std::string_view html, std::u16string url) {
  std::shared_ptr<DocumentTree> tree(new DocumentTree());
  tree->url_ = std::move(url);
  // Gumbo wants well-formed UTF-8: invalid bytes are replaced first.
  GumboResult parsed(WideToUtf8(Utf8ToWide(html)));

  // Walks the tree without recursion, so that deep nesting cannot exhaust the stack;
  // children are pushed last first, so nodes come off in document order.
  std::vector<std::pair<const GumboNode*, Node*>> pending;
  const GumboVector& top = parsed.output->document->v.document.children;
  for (unsigned i = top.length; i-- > 0;) pending.emplace_back(static_cast<const GumboNode*>(top.data[i]), nullptr);
  while (!pending.empty()) {
    auto [source, parent] = pending.back();
    pending.pop_back();
    if (source->type == GUMBO_NODE_TEXT || source->type == GUMBO_NODE_WHITESPACE ||
        source->type == GUMBO_NODE_CDATA) {
      if (parent == nullptr) continue;
      Node* text = tree->NewNode();
      text->isText = true;
      text->text = Utf8ToWide(source->v.text.text);
      text->parent = parent;
      parent->children.push_back(text);
      continue;
    }
    if (source->type != GUMBO_NODE_ELEMENT && source->type != GUMBO_NODE_TEMPLATE) continue;
    const GumboElement& element = source->v.element;
    Node* node = tree->NewNode();
    node->tag = TagOf(element);
    node->kind = KindOf(node->tag);
    node->parent = parent;
    node->order = tree->elements_.size();
    tree->elements_.push_back(node);
    if (parent) parent->children.push_back(node);
    for (unsigned i = 0; i < element.attributes.length; ++i) {
      const auto* attribute = static_cast<const GumboAttribute*>(element.attributes.data[i]);
      node->attributes.push_back(
          {Utf8ToWide(attribute->name), platform::com::Variant::Text(Utf8ToWide(attribute->value))});
    }
    LoadParsedState(*node);
    for (unsigned i = element.children.length; i-- > 0;) {
      pending.emplace_back(static_cast<const GumboNode*>(element.children.data[i]), node);
    }
  }
  // Each element's range ends where the next element outside it begins.
  std::vector<Node*> open;
  for (Node* node : tree->elements_) {
    while (!open.empty() && open.back() != node->parent) {
      open.back()->end = node->order;
      open.pop_back();
    }
    open.push_back(node);
  }
  for (Node* node : open) node->end = tree->elements_.size();
  for (Node* node : tree->elements_) {
    if (node->kind == ElementKind::Select) NormaliseSelection(*tree, *node);
  }
  return tree;
}

std::vector<Node*> DocumentTree::Descendants(const Node& node) const {
  return std::vector<Node*>(elements_.begin() + node.order + 1, elements_.begin() + node.end);
}

Node* DocumentTree::FirstWithTag(std::u16string_view tag) const {
  for (Node* node : elements_) {
    if (node->tag == tag) return node;
  }
  return nullptr;
}

}  // namespace platform::browser
