// Values the program prepares for a page (stored and generated passwords, values of
// stored forms and identities) never sit in the page, where any script can read
// attributes. The page's mark "Pellix_Value" holds an opaque token instead: "PXV_"
// and eight hexadecimal digits, naming an entry of this table. Entries belong to one
// document of one browser window (the watcher's window id, "PXID_..."), and are found
// only for that window and document, so a token copied into the next page of the
// window names nothing there. A window's entries are dropped when its page changes
// and when it closes; a closed window gets no new entries (a pass over its last page
// may still be running). A token that is unknown, of another window or document, or
// not text counts as no value. The table is shared by the threads of the page side
// and guarded by its own lock.
#pragma once

#include <map>
#include <mutex>
#include <set>
#include <string>
#include <string_view>

#include "platform/browser/mshtml.h"

namespace formfill {

inline constexpr char16_t kPreparedValueMark[] = u"Pellix_Value";

class PreparedValues {
 public:
  static PreparedValues& Instance();

  // Keeps Value for the window's document and answers its new token (never one in
  // use); empty (nothing kept) for a closed window or without a document.
  std::u16string Add(std::u16string_view windowId, IUnknown* document, std::u16string_view value);
  // The value of a token of the window's document; false for any other token.
  bool Find(std::u16string_view windowId, IUnknown* document, std::u16string_view token,
            std::u16string& value) const;
  // Drops every value of the window (its page changed).
  void DropWindow(std::u16string_view windowId);
  // Drops every value of the window and refuses new ones (the window is gone).
  void CloseWindow(std::u16string_view windowId);
  std::size_t Count() const;

 private:
  struct Entry {
    std::u16string windowId;
    platform::com::ComPtr<IUnknown> document;  // held, so no other document takes its address
    std::u16string value;
  };
  mutable std::mutex lock_;
  std::map<std::u16string, Entry, std::less<>> entries_;  // by token
  std::set<std::u16string, std::less<>> closed_;          // window ids are never used again
};

// The document an element belongs to, as the table tells documents apart: the element
// at the top of its tree; null for no element.
platform::com::ComPtr<IUnknown> DocumentOf(IHTMLElement* element);

// Writes Value into the element's "Pellix_Value" mark as a token of the window and the
// element's document; E_ACCESSDENIED (nothing written) when the table refuses it.
HRESULT WritePreparedValue(IHTMLElement* element, std::u16string_view windowId, std::u16string_view value);
// The value the element's "Pellix_Value" mark stands for; false (and empty) when the
// mark is missing, not a wide string, or not a token of the window and the element's
// document.
bool ReadPreparedValue(IHTMLElement* element, std::u16string_view windowId, std::u16string& value);

}  // namespace formfill
