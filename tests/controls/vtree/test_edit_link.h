// A scriptable edit link for the tree's tests: it counts what the tree asks of it,
// can refuse to prepare, end or cancel, and remembers where it was placed.
#pragma once

#include "controls/vtree/vt_edit_link.h"

namespace vtree_test {

class TestEditLink : public platform::com::ComObject<IVTEditLink> {
 public:
  bool BeginEdit() override {
    ++begins;
    return agreesToBegin;
  }
  bool CancelEdit() override {
    ++cancels;
    return agreesToCancel;
  }
  bool EndEdit() override {
    ++ends;
    return agreesToEnd;
  }
  bool PrepareEdit(TBaseViewTree* tree, PViewNode node, TColumnIndex column) override {
    ++prepares;
    preparedTree = tree;
    preparedNode = node;
    preparedColumn = column;
    return agreesToPrepare;
  }
  RECT GetBounds() override { return bounds; }
  void ProcessMessage(TMessage& message) override { lastMessage = message.Msg; }
  void SetBounds(RECT r) override { bounds = r; }

  bool agreesToBegin = true, agreesToCancel = true, agreesToEnd = true, agreesToPrepare = true;
  int begins = 0, cancels = 0, ends = 0, prepares = 0;
  TBaseViewTree* preparedTree = nullptr;
  PViewNode preparedNode = nullptr;
  TColumnIndex preparedColumn = -2;
  RECT bounds{};
  UINT lastMessage = 0;
};

using TestEditLinkPtr = platform::com::ComPtr<TestEditLink>;

inline TestEditLinkPtr MakeTestEditLink() { return platform::com::MakeComObject<TestEditLink>(); }

}  // namespace vtree_test
