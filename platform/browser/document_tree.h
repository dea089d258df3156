// The tree of one loaded page, built from its HTML by gumbo into the model's own
// mutable nodes. The structure is fixed once built (pages are replaced whole on
// navigation); attributes, values, selection and inline style change. One lock per
// document guards every node of it; the element objects take it around each call.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/browser/mshtml.h"

namespace platform::browser {

enum class ElementKind { Other, Form, Input, Select, Option };

struct Attribute {
  std::u16string name;  // as written (parsed names are lower-case)
  platform::com::Variant value;
};

struct StyleProperty {
  std::u16string name;  // lower-case
  std::u16string value;
};

struct Node {
  bool isText = false;
  std::u16string text;  // text nodes only
  std::u16string tag;   // lower-case
  ElementKind kind = ElementKind::Other;
  std::vector<Attribute> attributes;
  std::vector<Node*> children;  // elements and text, in order
  Node* parent = nullptr;       // null for the root element
  std::size_t order = 0;        // position among the document's elements
  std::size_t end = 0;          // one past the position of the last element inside
  // Form controls: the form that owns the control, as the parser associated it (the
  // form open in the source when the control's tag came, also where the tree builder
  // moved the form away, as it does with a form inside a table), else the nearest
  // form around it; null for none.
  Node* form = nullptr;
  // Inputs: the value the user or the program set, once set ("dirty").
  std::u16string value;
  bool valueDirty = false;
  // Options: the selectedness.
  bool selected = false;
  std::vector<StyleProperty> style;
  // The element's object (one per element, so identity follows the element).
  platform::com::ComPtr<IHTMLElement> object;
};

class DocumentTree;

// What a document needs of the browser that shows it.
class PageHost {
 public:
  virtual ~PageHost() = default;
  // The program sent a form (submit()): the browser sends it to Target, the form's
  // address (asynchronously, on the browser's thread).
  virtual void SubmitForm(const Node& form, const std::u16string& target) = 0;
  // The program changed an element's attributes, value, selection or style; a browser
  // that shows the page in another process applies the change there. Called under the
  // document's lock; it must not wait.
  virtual void Changed(const DocumentTree&, const Node&) {}
};

class DocumentTree {
 public:
  // Parses HTML text (UTF-8; invalid bytes become U+FFFD).
  static std::shared_ptr<DocumentTree> Parse(std::string_view html, std::u16string url);
  // An empty tree to be built node by node from a page another browser parsed: the
  // nodes come in document order (each after its parent; the first element is the
  // root), then Finish.
  static std::shared_ptr<DocumentTree> Empty(std::u16string url);
  Node* AddElement(Node* parent, std::u16string tag);
  Node* AddText(Node* parent, std::u16string text);
  // Sets each element's range and applies the selection rule of single selects.
  void Finish();

  DocumentTree(const DocumentTree&) = delete;
  DocumentTree& operator=(const DocumentTree&) = delete;

  std::mutex& lock() { return lock_; }
  const std::u16string& url() const { return url_; }
  // Every element in document order; the first is the root element.
  const std::vector<Node*>& elements() const { return elements_; }
  // The elements inside Node, in document order (a view of elements()).
  std::span<Node* const> Descendants(const Node& node) const;
  Node* Root() const { return elements_.empty() ? nullptr : elements_.front(); }
  // The first element with the tag (lower-case), or null.
  Node* FirstWithTag(std::u16string_view tag) const;

  // The form controls that Form owns, in document order. Worked out for every form in
  // one pass and kept until FormsChanged, since a page's form is asked for its controls
  // one index at a time. Callers hold the tree's lock.
  std::vector<Node*> ControlsOf(const Node& form) const;
  // Controls may own other forms now (a page's new state was applied).
  void FormsChanged() { controlsKnown_ = false; }

  void SetHost(std::weak_ptr<PageHost> host) { host_ = std::move(host); }
  std::shared_ptr<PageHost> Host() const { return host_.lock(); }

 private:
  DocumentTree() = default;
  Node* NewNode();

  std::mutex lock_;
  std::u16string url_;
  std::vector<std::unique_ptr<Node>> storage_;
  std::vector<Node*> elements_;
  std::weak_ptr<PageHost> host_;
  mutable bool controlsKnown_ = false;
  mutable std::unordered_map<const Node*, std::vector<Node*>> controls_;
};

}  // namespace platform::browser
