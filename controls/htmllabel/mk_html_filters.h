// Filter values of the HTML parser and its plug-ins, the per-family tag filter
// (start and end tags) and the per-tag filter list that a plug-in keeps.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "controls/htmllabel/mk_typed_containers.h"

enum TMkFilter : std::uint8_t { fiHide = 0, fiShowHidden = 1, fiShowShown = 2, fiShowLocal = 3, fiShow = 4 };

// Low bits of a filter word: $20 delivered, $40 attributes read, low five bits the value's code.
inline constexpr std::uint32_t kMkParserFilterCodes[5] = {0x01, 0x02, 0x04, 0x68, 0x70};
// A plug-in's own value for a piece kind, placed at bit 16 ($20 there: it wants the piece).
inline constexpr std::uint32_t kMkPluginFilterCodes[5] = {0x01, 0x02, 0x04, 0x28, 0x30};
// Per-tag list entries: the parser's codes with $80 marking an explicit entry.
inline constexpr std::uint32_t kMkTagListCodes[5] = {0x81, 0x82, 0x84, 0xE8, 0xF0};

// The filter of one tag family, for start and end tags; a change calls its owner back.
class TMkTagFilter {
 public:
  explicit TMkTagFilter(std::function<void()> onChange) : onChange_(std::move(onChange)) {}
  TMkFilter StartTags() const { return startTags_; }
  TMkFilter EndTags() const { return endTags_; }
  void SetStartTags(TMkFilter value) { Set(value, endTags_); }
  void SetEndTags(TMkFilter value) { Set(startTags_, value); }
  void Set(TMkFilter startTags, TMkFilter endTags);
  void Assign(const TMkTagFilter& source) { Set(source.startTags_, source.endTags_); }

 private:
  std::function<void()> onChange_;
  TMkFilter startTags_ = fiHide;
  TMkFilter endTags_ = fiHide;
};

class TMkTagFilters;

// A user of a per-tag filter list hears of changed entries and of the list's end.
class IMkTagFiltersUser {
 public:
  virtual void TagFilterChanged(TMkTagFilters* list, std::uint32_t tagId) = 0;
  virtual void TagFiltersDestroyed(TMkTagFilters* list) = 0;

 protected:
  ~IMkTagFiltersUser() = default;
};

// A table from tag ID to an entry: a start code in bits 0..7 and an end code in
// bits 8..15, each from kMkTagListCodes or 0 where the list sets nothing.
class TMkTagFilters {
 public:
  TMkTagFilters();
  ~TMkTagFilters();
  TMkTagFilters(const TMkTagFilters&) = delete;
  TMkTagFilters& operator=(const TMkTagFilters&) = delete;

  // Stores the value's code as the tag's start code; tells the users when it changed.
  void SetFilter(std::uint32_t tagId, TMkFilter value);
  // The entry for a tag, 0 when the list has none.
  std::uint32_t Entry(std::uint32_t tagId) const;
  std::vector<std::uint32_t> TagIds() const;
  bool Empty() const { return entries_.Count() == 0; }

  // A user added twice must be removed twice.
  void AddUser(IMkTagFiltersUser* user);
  void RemoveUser(IMkTagFiltersUser* user);

 private:
  TMkCardinalHash entries_;
  std::vector<std::pair<IMkTagFiltersUser*, int>> users_;
};
