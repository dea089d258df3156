// The two ignore lists: the user's list of sites, pages and forms never to handle
// ("ignore.pxd"), and the built-in list of hosts (the data resource
// INTERNALIGNORELIST).
//
// "ignore.pxd" (little-endian): Int32 magic 0x01FF4646, Int32 count, then per entry
// the date (8-byte double) and a length-prefixed cipher-bag record (built-in key)
// with "CAPTION", "URL", "FORMID", "FORMNAME" and "IGNORE" (the kind as decimal text).
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "controls/unicode/uni_classes.h"
#include "data/crypt_wide.h"
#include "data/field_dictionary.h"
#include "support/locks.h"

inline constexpr char kIgnoreFile[] = "ignore.pxd";

// Kinds of ignore entries; 0 answers "not ignored".
inline constexpr int kIgnoreSite = 1;
inline constexpr int kIgnorePage = 2;
inline constexpr int kIgnoreForm = 3;

struct TIgnoreItem {
  double Date = 0;
  std::u16string Caption;
  std::u16string URL;
  std::u16string FormID;
  std::u16string FormName;
  int Kind = 0;
  bool operator==(const TIgnoreItem&) const = default;
};

// Owns its entries (newest first). Every operation takes the list's own lock, which
// the same thread may take again.
class TIgnoreList {
 public:
  TIgnoreList() = default;
  TIgnoreList(const TIgnoreList&) = delete;
  TIgnoreList& operator=(const TIgnoreList&) = delete;

  // True when the file was read whole or does not exist; an entry whose record does
  // not decode is dropped. A file that is damaged elsewhere adds nothing, and the list
  // then never saves over it.
  bool LoadFromFile();
  bool SaveToFile();
  // The kind of the first entry that matches: a site entry by the address's host, a
  // page entry by the normalised address, a form entry by that and its id and name.
  int Find(std::u16string_view url, std::u16string_view formName, std::u16string_view formId);
  // Adds or refreshes an entry (date now), puts it at the top and saves the list;
  // nothing for a kind outside 1 to 3. False when the list could not be saved.
  bool Add(std::u16string_view caption, std::u16string_view url, int kind, std::u16string_view formId,
           std::u16string_view formName);

  // Take out the first entry equal to Entry (false when there is none), or every
  // entry; the caller saves.
  bool Remove(const TIgnoreItem& entry);
  void Clear();

  void Lock();
  void Unlock();
  // The standard names, for std::scoped_lock.
  void lock() { Lock(); }
  void unlock() { Unlock(); }
  // Entries are read under the lock.
  const std::vector<TIgnoreItem>& Items() const { return items_; }

  std::string FilePath;
  DWORD LastAccess = 0;

 private:
  bool ResolvePath();
  // The index of the first entry of Kind (any kind when 0) that matches.
  int IndexOfMatch(int kind, std::u16string_view url, std::u16string_view formName, std::u16string_view formId) const;

  std::vector<TIgnoreItem> items_;
  support::TCriticalSection lock_;
  TWideCrypt crypt_{true};
  bool loadFailed_ = false;
};

// The built-in host list, sorted, filled from the resource INTERNALIGNORELIST.
class TInternalIgnoreList {
 public:
  explicit TInternalIgnoreList(const TResourceReader& read);
  TInternalIgnoreList(const TInternalIgnoreList&) = delete;
  TInternalIgnoreList& operator=(const TInternalIgnoreList&) = delete;

  // True when the address's host is on the list (letter case ignored).
  bool Contains(std::u16string_view url);

  TUniStringList Lines;

 private:
  support::TCriticalSection lock_;
};

// Program-wide lists, created when the active identity is opened.
extern std::unique_ptr<TIgnoreList> IgnoreList;
extern std::unique_ptr<TInternalIgnoreList> InternalIgnoreList;
