// The smallest storage a string list descendant gives: strings only, with the
// update states it was told of.
#pragma once

#include <vector>

#include "platform/classlib/strings.h"

template <typename S>
class VectorStrings : public TBasicStrings<S> {
 public:
  S Get(int index) const override { return items.at(static_cast<std::size_t>(index)); }
  int GetCount() const override { return static_cast<int>(items.size()); }
  void Clear() override { items.clear(); }
  void Delete(int index) override { items.erase(items.begin() + index); }
  void Insert(int index, const S& s) override { items.insert(items.begin() + index, s); }
  void SetUpdateState(bool updating) override { states.push_back(updating); }
  std::vector<S> items;
  std::vector<bool> states;
};
