// The document object of the in-process browser: one loaded page, answering
// IHTMLDocument2 and IHTMLDocument3. It keeps the page's tree alive.
#pragma once

#include <memory>
#include <string_view>

#include "platform/browser/document_tree.h"
#include "platform/browser/model_object.h"

namespace platform::browser {

class HtmlDocument : public ModelObject<IHTMLDocument2, IHTMLDocument3> {
 public:
  // Builds the document of a page from its HTML text (UTF-8).
  static platform::com::ComPtr<HtmlDocument> Load(std::string_view html, std::u16string url);
  // The document of a tree built elsewhere (its element objects are made here).
  static platform::com::ComPtr<HtmlDocument> Adopt(std::shared_ptr<DocumentTree> tree);

  explicit HtmlDocument(std::shared_ptr<DocumentTree> tree) : tree_(std::move(tree)) {}

  HRESULT get_all(IHTMLElementCollection** all) override;
  HRESULT get_body(IHTMLElement** body) override;
  HRESULT get_forms(IHTMLElementCollection** forms) override;
  HRESULT get_title(BSTR* title) override;
  HRESULT get_URL(BSTR* url) override;
  HRESULT get_readyState(BSTR* state) override;
  HRESULT getElementsByName(BSTR name, IHTMLElementCollection** elements) override;
  HRESULT getElementsByTagName(BSTR tag, IHTMLElementCollection** elements) override;
  HRESULT getElementById(BSTR id, IHTMLElement** element) override;
  HRESULT get_documentElement(IHTMLElement** root) override;

  const std::shared_ptr<DocumentTree>& tree() const { return tree_; }

 private:
  HRESULT Collect(IHTMLElementCollection** out, const std::function<bool(const Node&)>& filter);
  HRESULT ReturnNode(const Node* node, IHTMLElement** out);

  std::shared_ptr<DocumentTree> tree_;
};

}  // namespace platform::browser
