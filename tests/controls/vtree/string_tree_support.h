// A string tree for tests: its texts live in a map the test fills, new texts from
// the editor or a stream go back into it, and the protected requests are reachable.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "controls/vtree/view_trees.h"
#include "platform/classlib/forms.h"

namespace vtree_test {

class TestStringTree : public TViewStringTree {
 public:
  TestStringTree() : TViewStringTree(nullptr) {
    OnGetText = [this](TBaseViewTree*, PViewNode node, TColumnIndex column, TVSTTextType type, std::u16string& text) {
      ++getTextCalls;
      if (type == ttStatic) {
        text = staticTexts[node];
        return;
      }
      auto found = texts.find({node, std::max(column, 0)});
      if (found != texts.end()) text = found->second;
    };
    OnNewText = [this](TBaseViewTree*, PViewNode node, TColumnIndex column, const std::u16string& text) {
      newTexts.push_back(text);
      texts[{node, std::max(column, 0)}] = text;
    };
  }
  ~TestStringTree() override {
    OnGetText = nullptr;
    OnNewText = nullptr;
    OnPaintText = nullptr;
    OnGetHint = nullptr;
    OnShortenString = nullptr;
    OnEdited = nullptr;
    OnEditCancelled = nullptr;
    OnEditing = nullptr;
    OnCreateEditor = nullptr;
    OnIncrementalSearch = nullptr;
    OnGetCellIsEmpty = nullptr;
  }
  PViewNode Add(PViewNode parent, const std::u16string& text, const std::u16string& second = {}) {
    PViewNode node = AppendChildNode(parent);
    texts[{node, 0}] = text;
    if (!second.empty()) texts[{node, 1}] = second;
    return node;
  }
  void SetText(PViewNode node, TColumnIndex column, const std::u16string& text) { texts[{node, column}] = text; }

  std::map<std::pair<PViewNode, TColumnIndex>, std::u16string> texts;
  std::map<PViewNode, std::u16string> staticTexts;
  std::vector<std::u16string> newTexts;
  int getTextCalls = 0;

  IVTEditLinkPtr MakeEditor(PViewNode node, TColumnIndex column) { return DoCreateEditor(node, column); }
  using TViewStringTree::DoGetCellIsEmpty;
  using TViewStringTree::DoGetNodeWidth;
  using TViewStringTree::DoIncrementalSearch;
  using TViewStringTree::FitCellPaintRect;
};

// A string tree with columns "Name", "Date" and "Website" in a shown form.
class ShownStringTree {
 public:
  ShownStringTree(int width, int height, std::vector<int> columnWidths = {90, 60, 60})
      : form(std::make_unique<TForm>(nullptr)), tree(new TestStringTree()) {
    form->SetBounds(0, 0, width + 100, height + 100);
    tree->SetParent(form.get());
    tree->SetBounds(0, 0, width, height);
    tree->Font().SetName("Pellix Test Fixed");
    tree->Font().SetHeight(-8);
    TVTHeader& header = tree->Header();
    header.Font().SetName("Pellix Test Fixed");
    header.Font().SetHeight(-8);
    const char16_t* captions[] = {u"Name", u"Date", u"Website"};
    for (std::size_t i = 0; i < columnWidths.size(); ++i) {
      TViewTreeColumn& column = header.Columns().Add();
      column.SetText(captions[i % 3]);
      column.SetWidth(columnWidths[i]);
    }
    header.SetOptions(hoColumnResize | hoVisible);
    header.SetHeight(17);
    form->HandleNeeded();
    ShowWindow(form->Handle(), SW_SHOW);
  }
  ~ShownStringTree() { delete tree; }
  ShownStringTree(const ShownStringTree&) = delete;
  ShownStringTree& operator=(const ShownStringTree&) = delete;

  std::unique_ptr<TForm> form;
  TestStringTree* tree;
};

}  // namespace vtree_test
