// Ready-made item and key handlers, one shared object each, created on first request
// and kept (unchangeable while used) until the program ends; all requests come from
// the thread that owns the label.
//
// A wide string inside container memory is one pointer to a heap string that the
// item owns (nil is the empty string), so items stay trivially relocatable. The
// stream format records the logical item sizes 4 (wide string), 12 (two wide strings
// and a cardinal) and 4 (cardinal), whatever the pointer size in memory.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "controls/htmllabel/mk_containers.h"

// Field access inside items and keys (unaligned-safe).
const std::u16string& MkStringAt(const void* at);
void MkSetStringAt(void* at, std::u16string_view value);
std::uint32_t MkCardinalAt(const void* at);
void MkSetCardinalAt(void* at, std::uint32_t value);

// Memory layout of the items of the pair-and-cardinal handler.
inline constexpr std::size_t kMkStringFieldSize = sizeof(std::u16string*);
inline constexpr std::size_t kMkPairNameOffset = 0;
inline constexpr std::size_t kMkPairValueOffset = kMkStringFieldSize;
inline constexpr std::size_t kMkPairDataOffset = 2 * kMkStringFieldSize;

// A caller's key for the wide-string key handlers: laid out like a stored key but
// borrowing the caller's string.
class MkStringKey {
 public:
  explicit MkStringKey(const std::u16string& text) : text_(&text) {}
  const void* Ptr() const { return &text_; }

 private:
  const std::u16string* text_;
};

TMkItemHandler* MkWideStringItemHandler();
TMkItemHandler* MkWideString2CardinalItemHandler();
TMkItemHandler* MkCardinalItemHandler();
TMkKeyHandler* MkCardinalKeyHandler();
TMkKeyHandler* MkWideStringCSKeyHandler();
TMkKeyHandler* MkWideStringCIKeyHandler();

// The hashes the key handlers use.
std::uint32_t MkCardinalHash(std::uint32_t key);
std::uint32_t MkStringHash(const char16_t* buffer, std::int32_t length);
std::uint32_t MkStringHashNoCase(const char16_t* buffer, std::int32_t length);
