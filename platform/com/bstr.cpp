#include "platform/com/bstr.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

#include "platform/base/faults.h"

namespace {

// The 32-bit byte length sits right before the characters.
std::uint32_t* Header(BSTR text) { return reinterpret_cast<std::uint32_t*>(text) - 1; }

}  // namespace

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
  if (platform::faults::ShouldFail("SysAllocString")) return nullptr;
  if (length > (std::numeric_limits<std::uint32_t>::max() - 16) / sizeof(OLECHAR)) return nullptr;
  std::size_t bytes = std::size_t(length) * sizeof(OLECHAR);
  void* block = std::malloc(sizeof(std::uint32_t) + bytes + sizeof(OLECHAR));
  if (block == nullptr) return nullptr;
  auto* header = static_cast<std::uint32_t*>(block);
  *header = static_cast<std::uint32_t>(bytes);
  BSTR chars = reinterpret_cast<BSTR>(header + 1);
  if (text != nullptr) {
    std::memcpy(chars, text, bytes);
  } else {
    std::memset(chars, 0, bytes);
  }
  chars[length] = u'\0';
  return chars;
}

BSTR SysAllocString(LPCOLESTR text) {
  if (text == nullptr) return nullptr;
  return SysAllocStringLen(text, static_cast<UINT>(std::char_traits<char16_t>::length(text)));
}

BOOL SysReAllocString(BSTR* target, LPCOLESTR text) {
  if (target == nullptr) return FALSE;
  BSTR copy = SysAllocString(text);
  if (copy == nullptr && text != nullptr) return FALSE;
  SysFreeString(*target);
  *target = copy;
  return TRUE;
}

void SysFreeString(BSTR text) {
  if (text != nullptr) std::free(Header(text));
}

UINT SysStringByteLen(BSTR text) { return text == nullptr ? 0 : *Header(text); }

UINT SysStringLen(BSTR text) { return SysStringByteLen(text) / sizeof(OLECHAR); }

namespace platform::com {

BString::BString(std::u16string_view text) : text_(AllocText(text)) {}

BString::BString(BString&& other) noexcept : text_(std::exchange(other.text_, nullptr)) {}

BString& BString::operator=(BString&& other) noexcept {
  std::swap(text_, other.text_);
  return *this;
}

BString::~BString() { SysFreeString(text_); }

BSTR* BString::Put() {
  SysFreeString(std::exchange(text_, nullptr));
  return &text_;
}

BSTR BString::Detach() { return std::exchange(text_, nullptr); }

std::u16string BString::Text() const { return ToText(text_); }

std::u16string ToText(BSTR text) {
  if (text == nullptr) return {};
  return std::u16string(text, SysStringLen(text));
}

BSTR AllocText(std::u16string_view text) {
  return SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

}  // namespace platform::com
