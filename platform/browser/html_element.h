// The element objects of the in-process browser: one object per element, answering
// IHTMLElement, IHTMLElement2 and IConnectionPointContainer, and by its kind
// IHTMLFormElement (form), IHTMLInputElement and IHTMLInputTextElement (every input),
// IHTMLSelectElement (select) or IHTMLOptionElement (option). Forms offer the events
// HTMLFormElementEvents2, inputs HTMLInputTextElementEvents2. Also the collections,
// the inline style and the event object. The browser's rules are in html_rules.h.
//
// Lifetime: the document tree owns each element's object; an element object keeps
// only a weak link to its tree, so an element held after its page is gone answers
// E_FAIL. Collections keep their tree alive.
#pragma once

#include <memory>
#include <span>
#include <vector>

#include "platform/browser/document_tree.h"
#include "platform/browser/model_object.h"

namespace platform::browser {

// Answered only by the in-process browser's elements (with their IHTMLElement), so
// that its driving calls can tell its own elements from another backend's.
inline constexpr IID IID_InProcessElement = {0x5E1C0A10, 0x7D2B, 0x4C55, {0x9A, 0x61, 0x2F, 0x3B, 0x8E, 0x41, 0xC7, 0x09}};

class HtmlElement : public ModelObject<IHTMLElement, IHTMLElement2, IConnectionPointContainer>,
                    public IHTMLFormElement,
                    public IHTMLInputElement,
                    public IHTMLInputTextElement,
                    public IHTMLSelectElement,
                    public IHTMLOptionElement {
 public:
  using Object = ModelObject<IHTMLElement, IHTMLElement2, IConnectionPointContainer>;

  HtmlElement(std::weak_ptr<DocumentTree> tree, Node* node);
  ~HtmlElement() override;

  // The same counting and identity for every interface.
  HRESULT QueryInterface(REFIID iid, void** object) override { return Object::QueryInterface(iid, object); }
  ULONG AddRef() override { return Object::AddRef(); }
  ULONG Release() override { return Object::Release(); }
  HRESULT GetTypeInfoCount(UINT* count) override { return Object::GetTypeInfoCount(count); }
  HRESULT GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {
    return Object::GetTypeInfo(index, locale, info);
  }
  HRESULT GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override {
    return Object::GetIDsOfNames(iid, names, count, locale, ids);
  }
  HRESULT Invoke(DISPID member, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                 EXCEPINFO* exception, UINT* argumentError) override {
    return Object::Invoke(member, iid, locale, flags, params, result, exception, argumentError);
  }

  // IHTMLElement
  HRESULT setAttribute(BSTR name, VARIANT value, LONG flags) override;
  HRESULT getAttribute(BSTR name, LONG flags, VARIANT* value) override;
  HRESULT removeAttribute(BSTR name, LONG flags, VARIANT_BOOL* removed) override;
  HRESULT get_id(BSTR* id) override;
  HRESULT put_id(BSTR id) override;
  HRESULT get_tagName(BSTR* name) override;
  HRESULT get_parentElement(IHTMLElement** parent) override;
  HRESULT get_style(IHTMLStyle** style) override;
  HRESULT get_innerText(BSTR* text) override;
  HRESULT get_outerHTML(BSTR* html) override;
  HRESULT get_all(IDispatch** all) override;
  // IHTMLElement2
  HRESULT getElementsByTagName(BSTR tag, IHTMLElementCollection** elements) override;
  // IConnectionPointContainer
  HRESULT EnumConnectionPoints(IEnumConnectionPoints** points) override;
  HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;
  // Forms, inputs, selects and options (one member serves each interface that has it).
  HRESULT get_name(BSTR* name) override;
  HRESULT get_type(BSTR* type) override;
  HRESULT get_value(BSTR* value) override;
  HRESULT put_value(BSTR value) override;
  HRESULT get_form(IHTMLFormElement** form) override;
  HRESULT get_length(LONG* length) override;
  HRESULT item(VARIANT name, VARIANT index, IDispatch** element) override;
  HRESULT get_action(BSTR* action) override;
  HRESULT get_method(BSTR* method) override;
  HRESULT submit() override;
  HRESULT get_selectedIndex(LONG* index) override;
  HRESULT put_selected(VARIANT_BOOL selected) override;
  HRESULT get_selected(VARIANT_BOOL* selected) override;
  HRESULT get_text(BSTR* text) override;
  HRESULT get_index(LONG* index) override;

  // For the browser: fires one of the element's events with a new event object of the
  // given type; answers false when a sink set the event's returnValue to false, or
  // (with SinkAnswerCancels) when a sink answered VARIANT_FALSE.
  bool FireEvent(DISPID id, std::u16string_view type, bool sinkAnswerCancels);
  // The address a submission of this form goes to (empty when it is not a form or the
  // page is gone).
  std::u16string SubmitTarget();
  std::shared_ptr<DocumentTree> Tree() const { return tree_.lock(); }

  // The element object of a node (every node of a live tree has one).
  static HtmlElement* Of(const Node* node);

  // Runs Work(tree, node) under the document's lock; E_FAIL when the page is gone.
  template <typename Work>
  HRESULT WithNode(Work work) {
    std::shared_ptr<DocumentTree> tree = tree_.lock();
    if (!tree) return E_FAIL;
    std::lock_guard guard(tree->lock());
    return work(*tree, *node_);
  }
  // WithNode for a change: the document's host hears of it afterwards.
  template <typename Work>
  HRESULT ChangeNode(Work work) {
    return WithNode([&](DocumentTree& tree, Node& node) {
      HRESULT hr = work(tree, node);
      std::shared_ptr<PageHost> host = tree.Host();
      if (SUCCEEDED(hr) && host) host->Changed(tree, node);
      return hr;
    });
  }

 protected:
  void* QueryOther(REFIID iid) override;

 private:
  HRESULT ReturnElement(const Node* node, IDispatch** out);

  std::weak_ptr<DocumentTree> tree_;
  Node* node_;
  ElementKind kind_;
  platform::com::ComPtr<platform::com::ConnectionPoint> events_;
};

// A list of elements of one document, taken when asked for.
class HtmlCollection : public ModelObject<IHTMLElementCollection> {
 public:
  HtmlCollection(std::shared_ptr<DocumentTree> tree, std::vector<Node*> elements);
  HRESULT get_length(LONG* length) override;
  HRESULT item(VARIANT name, VARIANT index, IDispatch** element) override;
  HRESULT tags(VARIANT tag, IDispatch** elements) override;

 private:
  std::shared_ptr<DocumentTree> tree_;
  std::vector<Node*> elements_;
};

// Makes the object of every element of a freshly built tree.
void CreateElementObjects(const std::shared_ptr<DocumentTree>& tree);

// A collection of the elements of Tree that pass Filter (called under the tree's lock).
platform::com::ComPtr<HtmlCollection> CollectElements(const std::shared_ptr<DocumentTree>& tree,
                                                      std::span<Node* const> from,
                                                      const std::function<bool(const Node&)>& filter);

}  // namespace platform::browser
