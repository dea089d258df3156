#include "controls/htmllabel/mk_html_filters.h"

#include <algorithm>

#include "controls/htmllabel/mk_handlers.h"

void TMkTagFilter::Set(TMkFilter startTags, TMkFilter endTags) {
  if (startTags == startTags_ && endTags == endTags_) return;
  startTags_ = startTags;
  endTags_ = endTags;
  if (onChange_) onChange_();
}

TMkTagFilters::TMkTagFilters() : entries_(MkCardinalKeyHandler()) {}

TMkTagFilters::~TMkTagFilters() {
  // Users may remove themselves while hearing of the end: walk a copy.
  auto users = users_;
  for (auto& [user, uses] : users) user->TagFiltersDestroyed(this);
}

void TMkTagFilters::SetFilter(std::uint32_t tagId, TMkFilter value) {
  void* item = entries_.FindOrInsert(&tagId);
  std::uint32_t old = MkCardinalAt(item);
  std::uint32_t entry = (old & 0xFF00) | kMkTagListCodes[value];
  if (entry == old) return;
  MkSetCardinalAt(item, entry);
  auto users = users_;
  for (auto& [user, uses] : users) user->TagFilterChanged(this, tagId);
}

std::uint32_t TMkTagFilters::Entry(std::uint32_t tagId) const {
  const void* item = entries_.Find(&tagId);
  return item != nullptr ? MkCardinalAt(item) : 0;
}

std::vector<std::uint32_t> TMkTagFilters::TagIds() const {
  std::vector<std::uint32_t> ids;
  for (std::int32_t i = 0; i < entries_.EntryCount(); ++i) {
    if (!entries_.IsDeleted(i)) ids.push_back(MkCardinalAt(entries_.EntryKey(i)));
  }
  return ids;
}

void TMkTagFilters::AddUser(IMkTagFiltersUser* user) {
  auto found = std::find_if(users_.begin(), users_.end(), [&](const auto& u) { return u.first == user; });
  if (found != users_.end()) {
    ++found->second;
  } else {
    users_.emplace_back(user, 1);
  }
}

void TMkTagFilters::RemoveUser(IMkTagFiltersUser* user) {
  auto found = std::find_if(users_.begin(), users_.end(), [&](const auto& u) { return u.first == user; });
  if (found != users_.end() && --found->second == 0) users_.erase(found);
}
