// BSTR: wide text of the automation calls. The characters are preceded by their
// length in bytes (a 32-bit number) and followed by a NUL; the BSTR points at the
// first character. A null BSTR is an empty text.
#pragma once

#include <string>
#include <string_view>

#include "platform/base/types.h"

using OLECHAR = char16_t;
using BSTR = OLECHAR*;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;

// Null for a null source or when memory (or the planned failure "SysAllocString")
// runs out.
BSTR SysAllocString(LPCOLESTR text);
// Length characters from Text; Text may be null (the characters are then zero).
BSTR SysAllocStringLen(const OLECHAR* text, UINT length);
// Replaces *Target with a copy of Text; FALSE when memory runs out (Target unchanged).
BOOL SysReAllocString(BSTR* target, LPCOLESTR text);
void SysFreeString(BSTR text);
UINT SysStringLen(BSTR text);
UINT SysStringByteLen(BSTR text);

namespace platform::com {

// A BSTR with one owner: frees its text when it goes.
class BString {
 public:
  BString() = default;
  explicit BString(std::u16string_view text);
  BString(const BString&) = delete;
  BString& operator=(const BString&) = delete;
  BString(BString&& other) noexcept;
  BString& operator=(BString&& other) noexcept;
  ~BString();

  BSTR get() const { return text_; }
  // Frees the held text and answers the slot for an out argument.
  BSTR* Put();
  BSTR Detach();
  std::u16string Text() const;

 private:
  BSTR text_ = nullptr;
};

// The text of a BSTR (empty for null).
std::u16string ToText(BSTR text);

// A new BSTR of the text; null when memory runs out.
BSTR AllocText(std::u16string_view text);

}  // namespace platform::com
