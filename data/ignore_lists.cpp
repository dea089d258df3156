#include "data/ignore_lists.h"

#include "data/list_notice.h"

#include <algorithm>
#include <charconv>
#include <mutex>

#include "data/address_helpers.h"
#include "data/data_globals.h"
#include "data/data_items.h"
#include "platform/base/clock.h"
#include "platform/base/text.h"

std::unique_ptr<TIgnoreList> IgnoreList;
std::unique_ptr<TInternalIgnoreList> InternalIgnoreList;

namespace {

// The kind stored as text; 3 (one form) when it is not a number.
int KindOf(std::u16string_view text) {
  std::string ascii = platform::WideToAnsi(text);
  int kind = 0;
  auto [end, error] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), kind);
  return error == std::errc() && end == ascii.data() + ascii.size() ? kind : kIgnoreForm;
}

bool ReadEntry(TStreamReader& reader, TIgnoreItem& item, bool& decoded) {
  std::string record;
  if (!reader.ReadDouble(item.Date) || !ReadStoredString(reader, record)) return false;
  TWideCrypt crypt(true);
  decoded = crypt.Decode(record);
  if (!decoded) return true;
  item.Caption = crypt.GetValue(u"CAPTION");
  item.URL = crypt.GetValue(u"URL");
  item.FormID = crypt.GetValue(u"FORMID");
  item.FormName = crypt.GetValue(u"FORMNAME");
  item.Kind = KindOf(crypt.GetValue(u"IGNORE"));
  return true;
}

bool WriteEntry(TStreamWriter& writer, const TIgnoreItem& item) {
  TWideCrypt crypt(true);
  crypt.SetValue(u"CAPTION", item.Caption);
  crypt.SetValue(u"URL", item.URL);
  crypt.SetValue(u"FORMID", item.FormID);
  crypt.SetValue(u"FORMNAME", item.FormName);
  crypt.SetValue(u"IGNORE", platform::AnsiToWide(std::to_string(item.Kind)));
  std::string record = crypt.Encode();
  return !record.empty() && writer.WriteDouble(item.Date) && writer.WriteString(record);
}

}  // namespace

// TIgnoreList

void TIgnoreList::Lock() { lock_.Enter(); }

void TIgnoreList::Unlock() { lock_.Leave(); }

bool TIgnoreList::ResolvePath() {
  if (FilePath.empty() && !DataFolder.empty()) FilePath = DataFolder + kIgnoreFile;
  return !FilePath.empty();
}

bool TIgnoreList::LoadFromFile() {
  std::scoped_lock hold(lock_);
  if (!ResolvePath()) return false;
  std::vector<TIgnoreItem> loaded;
  const TDataFileLoad load = LoadDataFile(FilePath, [&loaded](TMemoryStreamReader& memory) {
    loaded.clear();
    std::int32_t magic = 0;
    std::int32_t count = 0;
    if (!memory.ReadInteger(magic) || magic != kIgnoreMagic ||
        !ReadRecordCount(memory, sizeof(double) + sizeof(std::int32_t), count)) {
      return false;
    }
    for (std::int32_t i = 0; i < count; ++i) {
      TIgnoreItem item;
      bool decoded = false;
      if (!ReadEntry(memory, item, decoded)) return false;
      if (decoded) loaded.push_back(std::move(item));
    }
    return true;
  });
  loadFailed_ = load == TDataFileLoad::Failed;
  if (loadFailed_) ReportUnreadableList(FilePath);
  if (load == TDataFileLoad::Loaded) items_.insert(items_.end(), loaded.begin(), loaded.end());
  LastAccess = GetTickCount();
  return !loadFailed_;
}

bool TIgnoreList::SaveToFile() {
  std::scoped_lock hold(lock_);
  bool saved = false;
  if (!loadFailed_ && ResolvePath()) {
    TMemoryStreamWriter memory;
    saved = memory.WriteInteger(kIgnoreMagic) && memory.WriteInteger(static_cast<std::int32_t>(items_.size()));
    for (const TIgnoreItem& item : items_) saved = saved && WriteEntry(memory, item);
    saved = saved && WriteDataFile(FilePath, memory.Memory());
    if (saved) LastAccess = GetTickCount();
  }
  return saved;
}

int TIgnoreList::IndexOfMatch(int kind, std::u16string_view url, std::u16string_view formName,
                              std::u16string_view formId) const {
  const std::u16string site = ExtractUrlDomain(url);
  const std::u16string norm = NormalizeUrl(url);
  for (std::size_t i = 0; i < items_.size(); ++i) {
    const TIgnoreItem& item = items_[i];
    if (kind != 0 && item.Kind != kind) continue;
    bool match = (item.Kind == kIgnoreSite && item.URL == site) ||
                 (item.Kind == kIgnorePage && NormalizeUrl(item.URL) == norm) ||
                 (item.Kind == kIgnoreForm && NormalizeUrl(item.URL) == norm && item.FormID == formId &&
                  item.FormName == formName);
    if (match) return static_cast<int>(i);
  }
  return -1;
}

int TIgnoreList::Find(std::u16string_view url, std::u16string_view formName, std::u16string_view formId) {
  std::scoped_lock hold(lock_);
  int index = IndexOfMatch(0, url, formName, formId);
  return index < 0 ? 0 : items_[static_cast<std::size_t>(index)].Kind;
}

bool TIgnoreList::Add(std::u16string_view caption, std::u16string_view url, int kind, std::u16string_view formId,
                      std::u16string_view formName) {
  if (kind < kIgnoreSite || kind > kIgnoreForm) return false;
  std::scoped_lock hold(lock_);
  TIgnoreItem item;
  int index = IndexOfMatch(kind, url, formName, formId);
  if (index >= 0) {
    item = std::move(items_[static_cast<std::size_t>(index)]);
    items_.erase(items_.begin() + index);
  } else {
    item.Kind = kind;
    item.URL = kind == kIgnoreSite ? ExtractUrlDomain(url) : std::u16string(url);
    if (kind == kIgnoreForm) {
      item.FormID = formId;
      item.FormName = formName;
    }
  }
  item.Date = platform::Now();
  item.Caption = caption;
  items_.insert(items_.begin(), std::move(item));
  return SaveToFile();
}

bool TIgnoreList::Remove(const TIgnoreItem& entry) {
  std::scoped_lock hold(lock_);
  const auto found = std::find(items_.begin(), items_.end(), entry);
  if (found == items_.end()) return false;
  items_.erase(found);
  return true;
}

void TIgnoreList::Clear() {
  std::scoped_lock hold(lock_);
  items_.clear();
}

// TInternalIgnoreList

TInternalIgnoreList::TInternalIgnoreList(const TResourceReader& read) {
  std::optional<std::string> bytes = read("INTERNALIGNORELIST");
  if (bytes) Lines.SetText(platform::AnsiToWide(*bytes));
  Lines.SetSorted(true);
}

bool TInternalIgnoreList::Contains(std::u16string_view url) {
  std::scoped_lock hold(lock_);
  int index = 0;
  return Lines.Find(ExtractUrlDomain(url), index);
}
