#include "data/data_items.h"

#include <filesystem>
#include <iterator>
#include <mutex>

#include "data/data_globals.h"
#include "data/list_notice.h"
#include "platform/base/clock.h"
#include "platform/base/errors.h"
#include "platform/classlib/exceptions.h"
#include "platform/fs/entries.h"
#include "support/files_folders.h"

namespace {

std::string TemporaryName(const std::string& path) { return path + ".tmp"; }

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

std::int64_t TDataItems::SmallestItemRecord() {
  const std::unique_ptr<TDataItem> probe = CreateItem();
  return sizeof(WORD) + (probe->HasDate ? sizeof(double) : 0) + (probe->HasInteger ? sizeof(std::int32_t) : 0) +
         sizeof(std::int32_t);
}

bool TDataItems::ResolvePath() {
  if (FilePath.empty() && !DataFolder.empty()) FilePath = DataFolder + FileName;
  return !FilePath.empty();
}

bool TDataItems::LoadFromFile() {
  std::scoped_lock hold(lock_);
  if (!ResolvePath()) return false;
  const TDataFileLoad load = LoadDataFile(FilePath, [this](TMemoryStreamReader& memory) {
    fileSize_ = memory.Memory().Size();
    return ReadList(memory);
  });
  loadFailed_ = load == TDataFileLoad::Failed;
  if (loadFailed_) ReportUnreadableList(FilePath);
  LastAccess = GetTickCount();
  return !loadFailed_;
}

bool TDataItems::ReadList(TStreamReader& reader) {
  // Nothing joins the list until the whole file was read.
  std::int32_t magic = 0;
  if (!reader.ReadInteger(magic) || magic != Magic) return false;
  std::int32_t count = 0;
  std::vector<std::u16string> strings;
  if (HasStrings) {
    if (!ReadRecordCount(reader, sizeof(std::int32_t), count)) return false;
    for (std::int32_t i = 0; i < count; ++i) {
      std::string text;
      if (!ReadStoredString(reader, text)) return false;
      strings.push_back(Crypt.DecryptString(text));
    }
  }
  if (!ReadRecordCount(reader, SmallestItemRecord(), count)) return false;
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
  memory.Reserve(fileSize_ + fileSize_ / 8);
  if (!WriteList(memory) || !WriteDataFile(FilePath, memory.Memory())) return false;
  fileSize_ = memory.Memory().Size();
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

std::string BackupFileName(const std::string& path) {
  return std::filesystem::path(path).replace_extension(".bak").string();
}

bool ReadRecordCount(TStreamReader& reader, std::int64_t smallestRecord, std::int32_t& count) {
  return reader.ReadInteger(count) && count >= 0 && count <= reader.Remaining() / smallestRecord;
}

bool ReadDataFile(const std::string& path, TMemoryStreamReader& memory, bool& missing) {
  missing = false;
  TFileReader file;
  if (!file.Open(path)) {
    DWORD error = GetLastError();
    missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    return false;
  }
  DWORD high = 0;
  const DWORD low = GetFileSize(file.Handle, &high);
  const std::int64_t size = static_cast<std::int64_t>(high) << 32 | low;
  bool whole = size <= kMaxDataFileSize && file.ReadToStream(memory.Memory());
  file.Close();
  memory.Memory().SetPosition(0);
  return whole;
}

TDataFileLoad LoadDataFile(const std::string& path, const TDataFileParser& parse) {
  TMemoryStreamReader memory;
  bool missing = false;
  if (ReadDataFile(path, memory, missing)) return parse(memory) ? TDataFileLoad::Loaded : TDataFileLoad::Failed;
  if (!missing) return TDataFileLoad::Failed;
  // No file beside a copy of it: a first save was cut short, or the file was taken
  // away. A whole ".tmp" is the newest content; a cut one was never a save that
  // returned. An empty list beside a backup would replace it at the next save.
  TMemoryStreamReader temporary;
  if (ReadDataFile(TemporaryName(path), temporary, missing) && parse(temporary)) return TDataFileLoad::Loaded;
  TMemoryStreamReader backup;
  if (ReadDataFile(BackupFileName(path), backup, missing) && parse(backup)) return TDataFileLoad::Loaded;
  return missing ? TDataFileLoad::Missing : TDataFileLoad::Failed;
}

bool WriteDataFile(const std::string& path, TMemoryStream& memory) {
  const std::string temporary = TemporaryName(path);
  TFileWriter file;
  bool written = file.Open(temporary) && file.WriteStream(memory) && file.Flush();
  file.Close();
  // One rename puts the new file in place: there is no moment without a whole file.
  if (!written || !BackupDataFile(path) ||
      !MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileA(temporary.c_str());
    return false;
  }
  return true;
}

bool BackupDataFile(const std::string& path) {
  if (!IsExistingFile(path)) return true;
  const std::string backup = BackupFileName(path);
  const std::string link = backup + ".new";
  // An older backup may have been left read-only; it is replaced all the same.
  if (IsExistingFile(backup)) SetFileAttributesA(backup.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(link.c_str());
  // The file keeps its name: the backup is a second name for it.
  if (CreateHardLinkA(link.c_str(), path.c_str(), nullptr) &&
      MoveFileExA(link.c_str(), backup.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    return true;
  }
  DeleteFileA(link.c_str());
  return false;
}
