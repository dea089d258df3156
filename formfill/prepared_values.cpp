#include "formfill/prepared_values.h"

#include <random>

namespace formfill {
namespace {

using platform::com::BString;
using platform::com::ComPtr;
using platform::com::Variant;

std::u16string TokenText(std::uint32_t number) {
  constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  std::u16string token = u"PXV_";
  for (int shift = 28; shift >= 0; shift -= 4) token += kDigits[(number >> shift) & 0xF];
  return token;
}

}  // namespace

PreparedValues& PreparedValues::Instance() {
  static PreparedValues table;
  return table;
}

std::u16string PreparedValues::Add(std::u16string_view windowId, IUnknown* document, std::u16string_view value) {
  // Tokens are drawn at random, so that a page cannot name other entries by counting;
  // the window and document checks stop the rest.
  static thread_local std::mt19937 draw{std::random_device{}()};
  std::lock_guard guard(lock_);
  if (document == nullptr || closed_.count(windowId) != 0) return {};
  std::u16string token;
  do {
    token = TokenText(static_cast<std::uint32_t>(draw()));
  } while (entries_.count(token) != 0);
  entries_[token] = Entry{std::u16string(windowId), platform::com::ComPtr<IUnknown>(document), std::u16string(value)};
  return token;
}

bool PreparedValues::Find(std::u16string_view windowId, IUnknown* document, std::u16string_view token,
                          std::u16string& value) const {
  value.clear();
  std::lock_guard guard(lock_);
  auto found = entries_.find(token);
  if (found == entries_.end() || found->second.windowId != windowId || document == nullptr ||
      found->second.document.get() != document) {
    return false;
  }
  value = found->second.value;
  return true;
}

void PreparedValues::DropWindow(std::u16string_view windowId) {
  std::map<std::u16string, Entry, std::less<>> dropped;  // released outside the lock
  std::lock_guard guard(lock_);
  for (auto it = entries_.begin(); it != entries_.end();) {
    auto next = std::next(it);
    if (it->second.windowId == windowId) dropped.insert(entries_.extract(it));
    it = next;
  }
}

void PreparedValues::CloseWindow(std::u16string_view windowId) {
  {
    std::lock_guard guard(lock_);
    closed_.emplace(windowId);
  }
  DropWindow(windowId);
}

std::size_t PreparedValues::Count() const {
  std::lock_guard guard(lock_);
  return entries_.size();
}

ComPtr<IUnknown> DocumentOf(IHTMLElement* element) {
  ComPtr<IHTMLElement> top(element);
  for (ComPtr<IHTMLElement> up = top; up;) {
    top = up;
    ComPtr<IHTMLElement> parent;
    if (FAILED(up->get_parentElement(parent.Put()))) break;
    up = parent;
  }
  ComPtr<IUnknown> document;
  if (top) top->QueryInterface(IID_IUnknown, document.PutVoid());
  return document;
}

HRESULT WritePreparedValue(IHTMLElement* element, std::u16string_view windowId, std::u16string_view value) {
  if (element == nullptr) return E_POINTER;
  std::u16string token = PreparedValues::Instance().Add(windowId, DocumentOf(element).get(), value);
  if (token.empty()) return E_ACCESSDENIED;
  return element->setAttribute(BString(kPreparedValueMark).get(), Variant::Text(token).raw(), 0);
}

bool ReadPreparedValue(IHTMLElement* element, std::u16string_view windowId, std::u16string& value) {
  value.clear();
  if (element == nullptr) return false;
  Variant mark;
  if (FAILED(element->getAttribute(BString(kPreparedValueMark).get(), 0, mark.Put()))) return false;
  if (mark.type() != VT_BSTR) return false;
  return PreparedValues::Instance().Find(windowId, DocumentOf(element).get(), mark.StringValue(), value);
}

}  // namespace formfill
