#include "platform/browser/html_element.h"

#include <utility>

#include "platform/browser/html_rules.h"

namespace platform::browser {

using platform::com::ComPtr;
using platform::com::MakeComObject;
using platform::com::ToText;
using platform::com::Variant;

namespace {

// The inline style of one element; it keeps the element alive.
class HtmlStyle : public ModelObject<IHTMLStyle> {
 public:
  explicit HtmlStyle(ComPtr<HtmlElement> element) : element_(std::move(element)) {}

  HRESULT setAttribute(BSTR name, VARIANT value, LONG) override {
    std::u16string text = Variant::CopyOf(value).AsText();
    return Change([&](Node& node) { SetStyleProperty(node, ToText(name), text); });
  }
  HRESULT getAttribute(BSTR name, LONG, VARIANT* value) override {
    if (value == nullptr) return E_POINTER;
    VariantInit(value);
    std::u16string text;
    HRESULT hr = Read([&](const Node& node) { text = StyleValue(node, ToText(name)); });
    if (FAILED(hr)) return hr;
    *value = Variant::Text(text).Detach();
    return S_OK;
  }
  HRESULT get_background(BSTR* value) override {
    std::u16string text;
    HRESULT hr = Read([&](const Node& node) { text = StyleValue(node, u"background"); });
    return FAILED(hr) ? hr : ReturnText(text, value);
  }
  HRESULT put_background(BSTR value) override {
    return Change([&](Node& node) { SetStyleProperty(node, u"background", ToText(value)); });
  }
  HRESULT get_cssText(BSTR* text) override {
    std::u16string css;
    HRESULT hr = Read([&](const Node& node) { css = StyleText(node); });
    return FAILED(hr) ? hr : ReturnText(css, text);
  }

 private:
  template <typename Work>
  HRESULT Change(Work work) {
    return element_->ChangeNode([&](DocumentTree&, Node& node) {
      work(node);
      return S_OK;
    });
  }
  template <typename Work>
  HRESULT Read(Work work) {
    return element_->WithNode([&](DocumentTree&, Node& node) {
      work(static_cast<const Node&>(node));
      return S_OK;
    });
  }

  ComPtr<HtmlElement> element_;
};

class HtmlEventObj : public ModelObject<IHTMLEventObj> {
 public:
  HtmlEventObj(ComPtr<IHTMLElement> source, std::u16string type)
      : source_(std::move(source)), type_(std::move(type)) {}

  HRESULT get_srcElement(IHTMLElement** element) override {
    return platform::com::ReturnInterface(source_, element);
  }
  HRESULT get_type(BSTR* type) override { return ReturnText(type_, type); }
  HRESULT put_returnValue(VARIANT value) override {
    std::lock_guard guard(lock_);
    return VariantCopy(return_value_.get(), &value);
  }
  HRESULT get_returnValue(VARIANT* value) override {
    if (value == nullptr) return E_POINTER;
    VariantInit(value);
    std::lock_guard guard(lock_);
    return VariantCopy(value, return_value_.get());
  }
  bool ReturnedFalse() {
    std::lock_guard guard(lock_);
    return return_value_.type() == VT_BOOL && return_value_.raw().boolVal == VARIANT_FALSE;
  }

 private:
  ComPtr<IHTMLElement> source_;
  std::u16string type_;
  std::mutex lock_;
  Variant return_value_;
};

IDispatch* AsDispatch(HtmlElement* element) { return static_cast<IHTMLElement*>(element); }

}  // namespace

HtmlElement::HtmlElement(std::weak_ptr<DocumentTree> tree, Node* node)
    : tree_(std::move(tree)), node_(node), kind_(node->kind) {
  if (kind_ == ElementKind::Form) {
    events_ = MakeComObject<platform::com::ConnectionPoint>(DIID_HTMLFormElementEvents2, this);
  } else if (kind_ == ElementKind::Input) {
    events_ = MakeComObject<platform::com::ConnectionPoint>(DIID_HTMLInputTextElementEvents2, this);
  }
}

HtmlElement::~HtmlElement() {
  if (events_) events_->Detach();
}

HtmlElement* HtmlElement::Of(const Node* node) {
  return node ? static_cast<HtmlElement*>(node->object.get()) : nullptr;
}

HRESULT HtmlElement::ReturnElement(const Node* node, IDispatch** out) {
  if (out == nullptr) return E_POINTER;
  *out = node ? AsDispatch(Of(node)) : nullptr;
  if (*out) (*out)->AddRef();
  return S_OK;
}

void* HtmlElement::QueryOther(REFIID iid) {
  if (iid == IID_InProcessElement) return static_cast<IHTMLElement*>(this);
  switch (kind_) {
    case ElementKind::Form:
      if (iid == IID_IHTMLFormElement) return static_cast<IHTMLFormElement*>(this);
      break;
    case ElementKind::Input:
      if (iid == IID_IHTMLInputElement) return static_cast<IHTMLInputElement*>(this);
      if (iid == IID_IHTMLInputTextElement) return static_cast<IHTMLInputTextElement*>(this);
      break;
    case ElementKind::Select:
      if (iid == IID_IHTMLSelectElement) return static_cast<IHTMLSelectElement*>(this);
      break;
    case ElementKind::Option:
      if (iid == IID_IHTMLOptionElement) return static_cast<IHTMLOptionElement*>(this);
      break;
    case ElementKind::Other:
      break;
  }
  return nullptr;
}

HRESULT HtmlElement::setAttribute(BSTR name, VARIANT value, LONG) {
  if (SysStringLen(name) == 0) return E_INVALIDARG;
  return ChangeNode([&](DocumentTree& tree, Node& node) {
    WriteAttribute(node, ToText(name), value);
    if (IsFormAttribute(ToText(name))) ResetFormOwner(tree, node);
    return S_OK;
  });
}

HRESULT HtmlElement::getAttribute(BSTR name, LONG, VARIANT* value) {
  if (value == nullptr) return E_POINTER;
  VariantInit(value);
  return WithNode([&](DocumentTree&, Node& node) {
    *value = ReadAttribute(node, ToText(name)).Detach();
    return S_OK;
  });
}

HRESULT HtmlElement::removeAttribute(BSTR name, LONG, VARIANT_BOOL* removed) {
  return ChangeNode([&](DocumentTree& tree, Node& node) {
    HRESULT hr = ReturnBool(RemoveAttribute(node, ToText(name)), removed);
    if (IsFormAttribute(ToText(name))) ResetFormOwner(tree, node);
    return hr;
  });
}

HRESULT HtmlElement::get_id(BSTR* id) {
  return WithNode([&](DocumentTree&, Node& node) { return ReturnText(ReadAttribute(node, u"id").AsText(), id); });
}

HRESULT HtmlElement::put_id(BSTR id) {
  return ChangeNode([&](DocumentTree&, Node& node) {
    WriteAttribute(node, u"id", Variant::Text(ToText(id)).raw());
    return S_OK;
  });
}

HRESULT HtmlElement::get_tagName(BSTR* name) {
  return WithNode([&](DocumentTree&, Node& node) { return ReturnText(TagName(node), name); });
}

HRESULT HtmlElement::get_parentElement(IHTMLElement** parent) {
  if (parent == nullptr) return E_POINTER;
  *parent = nullptr;
  return WithNode([&](DocumentTree&, Node& node) {
    *parent = node.parent ? static_cast<IHTMLElement*>(Of(node.parent)) : nullptr;
    if (*parent) (*parent)->AddRef();
    return S_OK;
  });
}

HRESULT HtmlElement::get_style(IHTMLStyle** style) {
  if (style == nullptr) return E_POINTER;
  *style = nullptr;
  if (!tree_.lock()) return E_FAIL;
  return platform::com::ReturnInterface(
      ComPtr<IHTMLStyle>(MakeComObject<HtmlStyle>(ComPtr<HtmlElement>(this)).get()), style);
}

HRESULT HtmlElement::get_innerText(BSTR* text) {
  return WithNode([&](DocumentTree&, Node& node) { return ReturnText(TextContent(node), text); });
}

HRESULT HtmlElement::get_outerHTML(BSTR* html) {
  return WithNode([&](DocumentTree&, Node& node) { return ReturnText(OuterHtml(node), html); });
}

HRESULT HtmlElement::get_all(IDispatch** all) {
  if (all == nullptr) return E_POINTER;
  *all = nullptr;
  std::shared_ptr<DocumentTree> tree = tree_.lock();
  if (!tree) return E_FAIL;
  std::lock_guard guard(tree->lock());
  auto collection = CollectElements(tree, ElementsOf(*tree, *node_), [](const Node&) { return true; });
  *all = collection.Detach();
  return S_OK;
}

HRESULT HtmlElement::getElementsByTagName(BSTR tag, IHTMLElementCollection** elements) {
  if (elements == nullptr) return E_POINTER;
  *elements = nullptr;
  std::shared_ptr<DocumentTree> tree = tree_.lock();
  if (!tree) return E_FAIL;
  std::u16string wanted = ToText(tag);
  std::lock_guard guard(tree->lock());
  *elements = CollectElements(tree, tree->Descendants(*node_), [&](const Node& each) {
                return TagMatches(each, wanted);
              }).Detach();
  return S_OK;
}

HRESULT HtmlElement::EnumConnectionPoints(IEnumConnectionPoints** points) {
  if (points) *points = nullptr;
  return E_NOTIMPL;
}

HRESULT HtmlElement::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
  if (point == nullptr) return E_POINTER;
  *point = nullptr;
  IID offered{};
  if (!events_ || FAILED(events_->GetConnectionInterface(&offered)) || !(offered == iid)) {
    return CONNECT_E_NOCONNECTION;
  }
  return platform::com::ReturnInterface(ComPtr<IConnectionPoint>(events_.get()), point);
}

HRESULT HtmlElement::get_name(BSTR* name) {
  return WithNode([&](DocumentTree&, Node& node) { return ReturnText(ReadAttribute(node, u"name").AsText(), name); });
}

HRESULT HtmlElement::get_type(BSTR* type) {
  return WithNode([&](DocumentTree&, Node& node) {
    if (node.kind == ElementKind::Select) {
      return ReturnText(FindAttribute(node, u"multiple") ? u"select-multiple" : u"select-one", type);
    }
    return ReturnText(InputType(node), type);
  });
}

HRESULT HtmlElement::get_value(BSTR* value) {
  return WithNode([&](DocumentTree& tree, Node& node) {
    switch (node.kind) {
      case ElementKind::Select: return ReturnText(SelectValue(tree, node), value);
      case ElementKind::Option: return ReturnText(OptionValue(node), value);
      default: return ReturnText(InputValue(node), value);
    }
  });
}

HRESULT HtmlElement::put_value(BSTR value) {
  return ChangeNode([&](DocumentTree& tree, Node& node) {
    if (node.kind == ElementKind::Select) {
      // Selects the first option of that value; no match leaves none selected.
      for (Node* option : SelectOptions(tree, node)) option->selected = false;
      for (Node* option : SelectOptions(tree, node)) {
        if (OptionValue(*option) == ToText(value)) {
          option->selected = true;
          break;
        }
      }
      return S_OK;
    }
    SetInputValue(node, ToText(value));
    return S_OK;
  });
}

HRESULT HtmlElement::get_form(IHTMLFormElement** form) {
  if (form == nullptr) return E_POINTER;
  *form = nullptr;
  return WithNode([&](DocumentTree&, Node& node) {
    const Node* owner = node.kind == ElementKind::Option && SelectOf(node) ? SelectOf(node) : &node;
    if (Node* found = FormOf(*owner)) {
      *form = static_cast<IHTMLFormElement*>(Of(found));
      (*form)->AddRef();
    }
    return S_OK;
  });
}

HRESULT HtmlElement::get_length(LONG* length) {
  if (length == nullptr) return E_POINTER;
  return WithNode([&](DocumentTree& tree, Node& node) {
    std::size_t count = 0;
    if (node.kind == ElementKind::Select) {
      count = SelectOptions(tree, node).size();
    } else {
      count = FormControls(tree, node).size();
    }
    *length = static_cast<LONG>(count);
    return S_OK;
  });
}

HRESULT HtmlElement::item(VARIANT name, VARIANT index, IDispatch** element) {
  if (element == nullptr) return E_POINTER;
  *element = nullptr;
  std::shared_ptr<DocumentTree> tree = tree_.lock();
  if (!tree) return E_FAIL;
  std::lock_guard guard(tree->lock());
  std::vector<Node*> list;
  if (node_->kind == ElementKind::Select) {
    list = SelectOptions(*tree, *node_);
  } else {
    list = FormControls(*tree, *node_);
  }
  ItemChoice choice = ChooseItem(list, name, index);
  if (FAILED(choice.result)) return choice.result;
  if (!choice.several.empty()) {
    *element = CollectElements(tree, choice.several, [](const Node&) { return true; }).Detach();
    return S_OK;
  }
  return ReturnElement(choice.one, element);
}

HRESULT HtmlElement::get_action(BSTR* action) {
  return WithNode([&](DocumentTree&, Node& node) { return ReturnText(ReadAttribute(node, u"action").AsText(), action); });
}

HRESULT HtmlElement::get_method(BSTR* method) {
  return WithNode([&](DocumentTree&, Node& node) {
    std::u16string written = LowerCaseAscii(ReadAttribute(node, u"method").AsText());
    return ReturnText(written == u"post" ? u"post" : u"get", method);
  });
}

std::u16string HtmlElement::SubmitTarget() {
  std::u16string target;
  WithNode([&](DocumentTree& tree, Node& node) {
    if (node.kind == ElementKind::Form) target = FormTarget(node, tree.url());
    return S_OK;
  });
  return target;
}

HRESULT HtmlElement::submit() {
  std::shared_ptr<DocumentTree> tree = tree_.lock();
  if (!tree) return E_FAIL;
  std::u16string target = SubmitTarget();
  // The navigation is started without the document's lock: the browser takes it.
  if (std::shared_ptr<PageHost> host = tree->Host()) host->SubmitForm(*node_, target);
  return S_OK;
}

HRESULT HtmlElement::get_selectedIndex(LONG* index) {
  if (index == nullptr) return E_POINTER;
  return WithNode([&](DocumentTree& tree, Node& node) {
    *index = -1;
    std::vector<Node*> options = SelectOptions(tree, node);
    for (std::size_t i = 0; i < options.size(); ++i) {
      if (options[i]->selected) {
        *index = static_cast<LONG>(i);
        break;
      }
    }
    return S_OK;
  });
}

HRESULT HtmlElement::put_selected(VARIANT_BOOL selected) {
  return ChangeNode([&](DocumentTree& tree, Node& node) {
    SetOptionSelected(tree, node, selected != VARIANT_FALSE);
    return S_OK;
  });
}

HRESULT HtmlElement::get_selected(VARIANT_BOOL* selected) {
  return WithNode([&](DocumentTree&, Node& node) { return ReturnBool(node.selected, selected); });
}

HRESULT HtmlElement::get_text(BSTR* text) {
  return WithNode([&](DocumentTree&, Node& node) { return ReturnText(OptionText(node), text); });
}

HRESULT HtmlElement::get_index(LONG* index) {
  if (index == nullptr) return E_POINTER;
  return WithNode([&](DocumentTree& tree, Node& node) {
    *index = 0;
    if (Node* select = SelectOf(node)) {
      std::vector<Node*> options = SelectOptions(tree, *select);
      for (std::size_t i = 0; i < options.size(); ++i) {
        if (options[i] == &node) *index = static_cast<LONG>(i);
      }
    }
    return S_OK;
  });
}

bool HtmlElement::FireEvent(DISPID id, std::u16string_view type, bool sinkAnswerCancels) {
  if (!events_) return true;
  auto event = MakeComObject<HtmlEventObj>(ComPtr<IHTMLElement>(this), std::u16string(type));
  std::vector<VARIANT> args(1);
  VariantInit(&args[0]);
  args[0].vt = VT_DISPATCH;
  args[0].pdispVal = event.get();  // held by Event for the whole call
  bool sinkCancelled = false;
  events_->Fire(id, args, [&](const VARIANT& result) {
    if (result.vt == VT_BOOL && result.boolVal == VARIANT_FALSE) sinkCancelled = true;
  });
  return !(event->ReturnedFalse() || (sinkAnswerCancels && sinkCancelled));
}

HtmlCollection::HtmlCollection(std::shared_ptr<DocumentTree> tree, std::vector<Node*> elements)
    : tree_(std::move(tree)), elements_(std::move(elements)) {}

HRESULT HtmlCollection::get_length(LONG* length) {
  if (length == nullptr) return E_POINTER;
  *length = static_cast<LONG>(elements_.size());
  return S_OK;
}

HRESULT HtmlCollection::item(VARIANT name, VARIANT index, IDispatch** element) {
  if (element == nullptr) return E_POINTER;
  *element = nullptr;
  std::lock_guard guard(tree_->lock());
  ItemChoice choice = ChooseItem(elements_, name, index);
  if (FAILED(choice.result)) return choice.result;
  if (!choice.several.empty()) {
    *element = CollectElements(tree_, choice.several, [](const Node&) { return true; }).Detach();
  } else if (choice.one) {
    *element = AsDispatch(HtmlElement::Of(choice.one));
    (*element)->AddRef();
  }
  return S_OK;
}

HRESULT HtmlCollection::tags(VARIANT tag, IDispatch** elements) {
  if (elements == nullptr) return E_POINTER;
  *elements = nullptr;
  std::u16string wanted = Variant::CopyOf(tag).AsText();
  std::lock_guard guard(tree_->lock());
  *elements = CollectElements(tree_, elements_, [&](const Node& each) { return TagMatches(each, wanted); }).Detach();
  return S_OK;
}

void CreateElementObjects(const std::shared_ptr<DocumentTree>& tree) {
  std::lock_guard guard(tree->lock());
  for (Node* node : tree->elements()) {
    node->object = ComPtr<IHTMLElement>(static_cast<IHTMLElement*>(MakeComObject<HtmlElement>(tree, node).get()));
  }
}

ComPtr<HtmlCollection> CollectElements(const std::shared_ptr<DocumentTree>& tree, std::span<Node* const> from,
                                       const std::function<bool(const Node&)>& filter) {
  std::vector<Node*> chosen;
  for (Node* each : from) {
    if (filter(*each)) chosen.push_back(each);
  }
  return MakeComObject<HtmlCollection>(tree, std::move(chosen));
}

}  // namespace platform::browser
