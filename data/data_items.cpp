#include "data/data_items.h"

#include <filesystem>
#include <iterator>
#include <mutex>

#include "data/data_globals.h"
#include "platform/base/clock.h"
#include "platform/base/errors.h"
#include "platform/classlib/exceptions.h"
#include "platform/fs/entries.h"
#include "support/files_folders.h"

namespace {

bool MovePath(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

std::string BackupName(const std::string& path) {
  return std::filesystem::path(path).replace_extension(".bak").string();
}

[[noreturn]] void IndexError(int index) {
  throw EListError(SListIndexError, {std::to_string(index)});
}

}  // namespace

bool TDataItem::LoadFromStream(TStreamReader& reader, TWideCrypt* /*crypt*/) {
  if (!reader.ReadWord(VaultID)) return false;
  if (HasDate && !reader.ReadDouble(Date)) return false;
  if (HasInteger && !reader.ReadInteger(IntValue)) return false;
  return ReadStoredString(reader, RecordText);
}

bool TDataItem::SaveToStream(TStreamWriter& writer, TWideCrypt* /*crypt*/) {
  return writer.WriteWord(VaultID) && (!HasDate || writer.WriteDouble(Date)) &&
         (!HasInteger || writer.WriteInteger(IntValue)) && writer.WriteString(RecordText);
}

void TDataItem::SetCaption(std::u16string_view text) {
  if (text == caption_) return;
  caption_ = text;
  RecordText.clear();
}

void TDataItem::SetDate(double date) {
  if (!HasDate) return;
  if (Owner == nullptr) {
    Date = date;
    return;
  }
  // The date changes under the lock too: a save on another thread reads it.
  std::scoped_lock hold(*Owner);
  Date = date;
  Owner->MoveByDate(this);
}

bool TDataItems::Lock() { return lock_.Enter(); }

void TDataItems::Unlock() { lock_.Leave(); }

TDataItem* TDataItems::Item(int index) const {
  return index < 0 || index >= Count() ? nullptr : items_[static_cast<std::size_t>(index)].get();
}

int TDataItems::IndexOf(const TDataItem* item) const {
  for (int i = 0; i < Count(); ++i) {
    if (items_[static_cast<std::size_t>(i)].get() == item) return i;
  }
  return -1;
}

TDataItem* TDataItems::Add(std::unique_ptr<TDataItem> item) { return Insert(Count(), std::move(item)); }

TDataItem* TDataItems::Insert(int index, std::unique_ptr<TDataItem> item) {
  if (index < 0 || index > Count()) IndexError(index);
  item->Owner = this;
  return items_.insert(items_.begin() + index, std::move(item))->get();
}

void TDataItems::Delete(int index) {
  if (index < 0 || index >= Count()) IndexError(index);
  items_.erase(items_.begin() + index);
}

void TDataItems::MoveByDate(TDataItem* item) {
  int from = IndexOf(item);
  if (from < 0 || !item->HasDate) return;
  std::unique_ptr<TDataItem> moving = std::move(items_[static_cast<std::size_t>(from)]);
  items_.erase(items_.begin() + from);
  auto place = std::find_if(items_.begin(), items_.end(),
                            [&](const auto& other) { return other->Date < moving->Date; });
  items_.insert(place, std::move(moving));
}

std::unique_ptr<TDataItem> TDataItems::CreateItem() { return std::make_unique<TDataItem>(this); }

bool TDataItems::ResolvePath() {
  if (FilePath.empty() && !DataFolder.empty()) FilePath = DataFolder + FileName;
  return !FilePath.empty();
}

bool TDataItems::LoadFromFile() {
  std::scoped_lock hold(lock_);
  if (!ResolvePath()) return false;
  TMemoryStreamReader memory;
  bool missing = false;
  bool whole = ReadDataFile(FilePath, memory, missing);
  if (missing) {
    loadFailed_ = false;
    return true;
  }
  whole = whole && ReadList(memory);
  loadFailed_ = !whole;
  LastAccess = GetTickCount();
  return whole;
}

bool TDataItems::ReadList(TStreamReader& reader) {
  // Nothing joins the list until the whole file was read.
  std::int32_t magic = 0;
  if (!reader.ReadInteger(magic) || magic != Magic) return false;
  std::int32_t count = 0;
  std::vector<std::u16string> strings;
  if (HasStrings) {
    if (!reader.ReadInteger(count) || count < 0) return false;
    for (std::int32_t i = 0; i < count; ++i) {
      std::string text;
      if (!ReadStoredString(reader, text)) return false;
      strings.push_back(Crypt.DecryptString(text));
    }
  }
  if (!reader.ReadInteger(count) || count < 0) return false;
  std::vector<std::unique_ptr<TDataItem>> loaded;
  for (std::int32_t i = 0; i < count; ++i) {
    std::unique_ptr<TDataItem> item = CreateItem();
    if (!item->LoadFromStream(reader, &Crypt)) return false;
    loaded.push_back(std::move(item));
  }
  for (const std::u16string& text : strings) Strings.Add(text);
  std::move(loaded.begin(), loaded.end(), std::back_inserter(items_));
  return true;
}

bool TDataItems::WriteList(TStreamWriter& writer) {
  if (!writer.WriteInteger(Magic)) return false;
  if (HasStrings) {
    if (!writer.WriteInteger(Strings.Count())) return false;
    for (int i = 0; i < Strings.Count(); ++i) {
      std::u16string text = Strings.Strings(i);
      std::string sealed = Crypt.EncryptString(text);
      if ((sealed.empty() && !text.empty()) || !writer.WriteString(sealed)) return false;
    }
  }
  if (!writer.WriteInteger(Count())) return false;
  for (const auto& item : items_) {
    if (!item->SaveToStream(writer, &Crypt)) return false;
  }
  return true;
}

bool TDataItems::SaveToFile() {
  std::scoped_lock hold(lock_);
  if (loadFailed_ || !ResolvePath()) return false;
  TMemoryStreamWriter memory;
  if (!WriteList(memory) || !WriteDataFile(FilePath, memory.Memory())) return false;
  LastAccess = GetTickCount();
  return true;
}

bool ReadStoredString(TStreamReader& reader, std::string& text) {
  std::int32_t length = 0;
  text.clear();
  if (!reader.ReadInteger(length) || length < 0 || length > reader.Remaining()) return false;
  text.assign(static_cast<std::size_t>(length), '\0');
  return length == 0 || reader.ReadBuffer(text.data(), length);
}

bool ReadDataFile(const std::string& path, TMemoryStreamReader& memory, bool& missing) {
  missing = false;
  TFileReader file;
  if (!file.Open(path)) {
    DWORD error = GetLastError();
    missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    return false;
  }
  bool whole = file.ReadToStream(memory.Memory());
  file.Close();
  memory.Memory().SetPosition(0);
  return whole;
}

bool WriteDataFile(const std::string& path, TMemoryStream& memory) {
  const std::string temporary = path + ".tmp";
  TFileWriter file;
  bool written = file.Open(temporary) && file.WriteStream(memory) && file.Flush();
  file.Close();
  if (!written || !BackupDataFile(path)) {
    DeleteFileA(temporary.c_str());
    return false;
  }
  if (!MovePath(temporary, path)) {
    // Put the previous file back in place; the new content stays in the .tmp file.
    MovePath(BackupName(path), path);
    return false;
  }
  return true;
}

bool BackupDataFile(const std::string& path) {
  if (!IsExistingFile(path)) return true;
  const std::string backup = BackupName(path);
  // An older backup may have been left read-only; it is replaced all the same.
  if (IsExistingFile(backup)) SetFileAttributesA(backup.c_str(), FILE_ATTRIBUTE_NORMAL);
  return MovePath(path, backup);
}
