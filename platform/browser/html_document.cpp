#include "platform/browser/html_document.h"

#include "platform/browser/html_element.h"
#include "platform/browser/html_rules.h"

namespace platform::browser {

using platform::com::ComPtr;
using platform::com::ToText;

ComPtr<HtmlDocument> HtmlDocument::Load(std::string_view html, std::u16string url) {
  return Adopt(DocumentTree::Parse(html, std::move(url)));
}

ComPtr<HtmlDocument> HtmlDocument::Adopt(std::shared_ptr<DocumentTree> tree) {
  CreateElementObjects(tree);
  return platform::com::MakeComObject<HtmlDocument>(std::move(tree));
}

HRESULT HtmlDocument::Collect(IHTMLElementCollection** out, const std::function<bool(const Node&)>& filter) {
  if (out == nullptr) return E_POINTER;
  std::lock_guard guard(tree_->lock());
  *out = CollectElements(tree_, tree_->elements(), filter).Detach();
  return S_OK;
}

HRESULT HtmlDocument::ReturnNode(const Node* node, IHTMLElement** out) {
  if (out == nullptr) return E_POINTER;
  *out = node ? static_cast<IHTMLElement*>(HtmlElement::Of(node)) : nullptr;
  if (*out) (*out)->AddRef();
  return S_OK;
}

HRESULT HtmlDocument::get_all(IHTMLElementCollection** all) {
  return Collect(all, [](const Node&) { return true; });
}

HRESULT HtmlDocument::get_body(IHTMLElement** body) {
  std::lock_guard guard(tree_->lock());
  return ReturnNode(tree_->FirstWithTag(u"body"), body);
}

HRESULT HtmlDocument::get_forms(IHTMLElementCollection** forms) {
  return Collect(forms, [](const Node& node) { return node.kind == ElementKind::Form; });
}

HRESULT HtmlDocument::get_title(BSTR* title) {
  std::lock_guard guard(tree_->lock());
  const Node* found = tree_->FirstWithTag(u"title");
  return ReturnText(found ? TextContent(*found) : std::u16string(), title);
}

HRESULT HtmlDocument::get_URL(BSTR* url) { return ReturnText(tree_->url(), url); }

HRESULT HtmlDocument::get_readyState(BSTR* state) { return ReturnText(u"complete", state); }

HRESULT HtmlDocument::getElementsByName(BSTR name, IHTMLElementCollection** elements) {
  std::u16string wanted = ToText(name);
  return Collect(elements, [&](const Node& node) { return NameMatches(node, wanted); });
}

HRESULT HtmlDocument::getElementsByTagName(BSTR tag, IHTMLElementCollection** elements) {
  std::u16string wanted = ToText(tag);
  return Collect(elements, [&](const Node& node) { return TagMatches(node, wanted); });
}

HRESULT HtmlDocument::getElementById(BSTR id, IHTMLElement** element) {
  std::u16string wanted = ToText(id);
  std::lock_guard guard(tree_->lock());
  for (const Node* node : tree_->elements()) {
    const Attribute* own = FindAttribute(*node, u"id");
    if (own && own->value.AsText() == wanted && !wanted.empty()) return ReturnNode(node, element);
  }
  return ReturnNode(nullptr, element);
}

HRESULT HtmlDocument::get_documentElement(IHTMLElement** root) {
  std::lock_guard guard(tree_->lock());
  return ReturnNode(tree_->Root(), root);
}

}  // namespace platform::browser
