// Values the program prepares for a page (stored and generated passwords, values of
// stored forms and identities) never sit in the page, where any script can read
// attributes. The page's mark "Pellix_Value" holds an opaque token instead: "PXV_"
// and eight hexadecimal digits, naming an entry of this table. Entries belong to one
// browser window (the watcher's window id, "PXID_..."), are found only for that window,
// and are dropped when the window navigates or closes. A token that is unknown, of
// another window or not text counts as no value. The table is shared by the threads
// of the page side and guarded by its own lock.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/browser/mshtml.h"

namespace formfill {

inline constexpr char16_t kPreparedValueMark[] = u"Pellix_Value";

class PreparedValues {
 public:
  static PreparedValues& Instance();

  // Keeps Value for the window and answers its new token (never one in use).
  std::u16string Add(std::u16string_view windowId, std::u16string_view value);
  // The value of a token of the window; false for any other token.
  bool Find(std::u16string_view windowId, std::u16string_view token, std::u16string& value) const;
  // Drops every value of the window (it navigated or closed).
  void DropWindow(std::u16string_view windowId);
  std::size_t Count() const;

 private:
  struct Entry {
    std::u16string windowId;
    std::u16string value;
  };
  mutable std::mutex lock_;
  std::map<std::u16string, Entry, std::less<>> entries_;  // by token
};

// Writes Value into the element's "Pellix_Value" mark as a token of the window.
HRESULT WritePreparedValue(IHTMLElement* element, std::u16string_view windowId, std::u16string_view value);
// The value the element's "Pellix_Value" mark stands for; false (and empty) when the
// mark is missing, not a wide string, or not a token of the window.
bool ReadPreparedValue(IHTMLElement* element, std::u16string_view windowId, std::u16string& value);

}  // namespace formfill
