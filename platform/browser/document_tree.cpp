#include "platform/browser/document_tree.h"

#include <gumbo.h>

#include <algorithm>
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

// A piece of the parsed text: its offset and length.
struct Span {
  std::size_t start = 0;
  std::size_t length = 0;
};

Span SpanOf(const std::string& text, const GumboStringPiece& piece) {
  if (piece.data == nullptr || piece.data < text.data() || piece.data > text.data() + text.size()) return {};
  return {static_cast<std::size_t>(piece.data - text.data()), piece.length};
}

// Where the source closes a form: every end tag "</form" that the tokenizer met as a
// tag. An occurrence inside a start tag (an attribute value), a comment or raw text
// (script, style, textarea ...) is no tag; the parsed nodes cover those.
std::vector<std::size_t> FormEndTags(const std::string& text, std::vector<Span> covered) {
  std::sort(covered.begin(), covered.end(), [](const Span& a, const Span& b) { return a.start < b.start; });
  std::vector<std::size_t> ends;
  std::size_t reach = 0;  // the end of the covered spans that start before the position
  std::size_t next = 0;
  for (std::size_t at = text.find("</"); at != std::string::npos; at = text.find("</", at + 2)) {
    if (text.size() - at < 7) break;
    std::string name = text.substr(at + 2, 4);
    for (char& c : name) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    const char after = text[at + 6];
    if (name != "form" || !(after == '>' || after == '/' || after == ' ' || after == '\t' || after == '\n' ||
                            after == '\r' || after == '\f')) {
      continue;
    }
    while (next < covered.size() && covered[next].start <= at) {
      reach = std::max(reach, covered[next].start + covered[next].length);
      ++next;
    }
    if (at >= reach) ends.push_back(at);
  }
  return ends;
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

// The parser's form element pointer, replayed over the source: a form's start tag sets
// it (the parser makes no form while one is set), an end tag "</form" clears it, and a
// control whose tag comes while it is set belongs to that form. Any other control
// belongs to the nearest form around it.
void AssociateForms(const DocumentTree& tree, std::vector<std::pair<std::size_t, Node*>> forms,
                    const std::vector<std::pair<std::size_t, Node*>>& controls, const std::vector<std::size_t>& ends) {
  for (Node* node : tree.elements()) {
    if (IsFormControl(*node)) node->form = FormAround(*node);
  }
  // The tree builder moves elements (out of tables, for one): the source decides.
  std::sort(forms.begin(), forms.end());
  for (const auto& [at, control] : controls) {
    auto open = std::lower_bound(forms.begin(), forms.end(), at,
                                 [](const auto& form, std::size_t offset) { return form.first < offset; });
    if (open == forms.begin()) continue;
    --open;
    auto closed = std::lower_bound(ends.begin(), ends.end(), open->first);
    if (closed == ends.end() || *closed > at) control->form = open->second;
  }
}

// A control's "form" attribute overrides where the parser put it.
void ApplyFormAttributes(DocumentTree& tree) {
  for (Node* node : tree.elements()) {
    if (FindAttribute(*node, u"form")) ResetFormOwner(tree, *node);
  }
}

}  // namespace

Node* DocumentTree::NewNode() {
  storage_.push_back(std::make_unique<Node>());
  return storage_.back().get();
}

std::shared_ptr<DocumentTree> DocumentTree::Empty(std::u16string url) {
  std::shared_ptr<DocumentTree> tree(new DocumentTree());
  tree->url_ = std::move(url);
  return tree;
}

Node* DocumentTree::AddElement(Node* parent, std::u16string tag) {
  Node* node = NewNode();
  node->kind = KindOf(tag);
  node->tag = std::move(tag);
  node->parent = parent;
  node->order = elements_.size();
  elements_.push_back(node);
  if (parent) parent->children.push_back(node);
  return node;
}

Node* DocumentTree::AddText(Node* parent, std::u16string text) {
  Node* node = NewNode();
  node->isText = true;
  node->text = std::move(text);
  node->parent = parent;
  parent->children.push_back(node);
  return node;
}

void DocumentTree::Finish() {
  // Each element's range ends where the next element outside it begins.
  std::vector<Node*> open;
  for (Node* node : elements_) {
    while (!open.empty() && open.back() != node->parent) {
      open.back()->end = node->order;
      open.pop_back();
    }
    open.push_back(node);
  }
  for (Node* node : open) node->end = elements_.size();
  for (Node* node : elements_) {
    if (node->kind == ElementKind::Select) NormaliseSelection(*this, *node);
  }
}

std::shared_ptr<DocumentTree> DocumentTree::Parse(std::string_view html, std::u16string url) {
  std::shared_ptr<DocumentTree> tree = Empty(std::move(url));
  // Gumbo wants well-formed UTF-8: invalid bytes are replaced first.
  GumboResult parsed(WideToUtf8(Utf8ToWide(html)));

  // Walks the tree without recursion, so that deep nesting cannot exhaust the stack;
  // children are pushed last first, so nodes come off in document order.
  std::vector<std::pair<const GumboNode*, Node*>> pending;
  std::vector<Span> covered;              // start tags, comments and text of the source
  std::vector<std::pair<std::size_t, Node*>> forms, controls;  // by the offset of their tag
  const GumboVector& top = parsed.output->document->v.document.children;
  for (unsigned i = top.length; i-- > 0;) pending.emplace_back(static_cast<const GumboNode*>(top.data[i]), nullptr);
  while (!pending.empty()) {
    auto [source, parent] = pending.back();
    pending.pop_back();
    if (source->type == GUMBO_NODE_TEXT || source->type == GUMBO_NODE_WHITESPACE ||
        source->type == GUMBO_NODE_CDATA || source->type == GUMBO_NODE_COMMENT) {
      covered.push_back(SpanOf(parsed.text, source->v.text.original_text));
      if (parent == nullptr || source->type == GUMBO_NODE_COMMENT) continue;
      tree->AddText(parent, Utf8ToWide(source->v.text.text));
      continue;
    }
    if (source->type != GUMBO_NODE_ELEMENT && source->type != GUMBO_NODE_TEMPLATE) continue;
    const GumboElement& element = source->v.element;
    Node* node = tree->AddElement(parent, TagOf(element));
    for (unsigned i = 0; i < element.attributes.length; ++i) {
      const auto* attribute = static_cast<const GumboAttribute*>(element.attributes.data[i]);
      node->attributes.push_back(
          {Utf8ToWide(attribute->name), platform::com::Variant::Text(Utf8ToWide(attribute->value))});
    }
    LoadParsedState(*node);
    const Span tag = SpanOf(parsed.text, element.original_tag);
    covered.push_back(tag);
    if (tag.length > 0 && node->kind == ElementKind::Form) forms.emplace_back(tag.start, node);
    if (tag.length > 0 && IsFormControl(*node)) controls.emplace_back(tag.start, node);
    for (unsigned i = element.children.length; i-- > 0;) {
      pending.emplace_back(static_cast<const GumboNode*>(element.children.data[i]), node);
    }
  }
  tree->Finish();
  AssociateForms(*tree, forms, controls, FormEndTags(parsed.text, std::move(covered)));
  ApplyFormAttributes(*tree);
  return tree;
}

std::span<Node* const> DocumentTree::Descendants(const Node& node) const {
  return std::span<Node* const>(elements_).subspan(node.order + 1, node.end - node.order - 1);
}

std::vector<Node*> DocumentTree::ControlsOf(const Node& form) const {
  if (!controlsKnown_) {
    controls_.clear();
    for (Node* each : elements_) {
      if (each->form != nullptr && IsFormControl(*each)) controls_[each->form].push_back(each);
    }
    controlsKnown_ = true;
  }
  auto found = controls_.find(&form);
  return found != controls_.end() ? found->second : std::vector<Node*>();
}

Node* DocumentTree::FirstWithTag(std::u16string_view tag) const {
  for (Node* node : elements_) {
    if (node->tag == tag) return node;
  }
  return nullptr;
}

}  // namespace platform::browser
