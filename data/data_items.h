// Item lists: the base of every stored record and of every list, and the list file.
//
// List file (little-endian): Int32 magic; when the list has a string block, Int32
// count and that many length-prefixed enciphered strings; Int32 item count; the item
// records. Item record: UInt16 vault id; the date (double) when the class has one;
// Int32 extra integer when the class has one; Int32 length and the Base64 text of the
// enciphered record.
//
// Files are built whole in memory and rewritten atomically (WriteDataFile), keeping
// the previous file as the one backup ("<name>.bak"). A list whose load failed is
// never saved over the file it could not read.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "controls/unicode/uni_classes.h"
#include "data/crypt_wide.h"
#include "platform/base/types.h"
#include "support/locks.h"
#include "support/typed_streams.h"

// Magic numbers of the list files; the low two bytes spell "FF" on disk.
inline constexpr std::int32_t kVaultsMagic = 0x0A774646;
inline constexpr std::int32_t kHistoryMagic = 0x041A4646;
inline constexpr std::int32_t kBookmarksMagic = 0x0B324646;
inline constexpr std::int32_t kPasswordsMagic = 0x07774646;
inline constexpr std::int32_t kIdentitiesMagic = 0x01DE4646;
inline constexpr std::int32_t kIdentityMagic = 0x01DA4646;
inline constexpr std::int32_t kIgnoreMagic = 0x01FF4646;

class TDataItems;

// Base of every stored record. Owned by the list that holds it (Owner).
class TDataItem {
 public:
  explicit TDataItem(TDataItems* owner) : Owner(owner) {}
  virtual ~TDataItem() = default;
  TDataItem(const TDataItem&) = delete;
  TDataItem& operator=(const TDataItem&) = delete;

  // Reads the item record; true when it was read whole (an empty record included),
  // false when the stream ended or a length could not be right.
  virtual bool LoadFromStream(TStreamReader& reader, TWideCrypt* crypt);
  // Writes the item record with the cached RecordText; subclasses first rebuild it
  // when it is empty. False when the record could not be built or written.
  virtual bool SaveToStream(TStreamWriter& writer, TWideCrypt* crypt);

  const std::u16string& Caption() const { return caption_; }
  // A changed caption drops the cached record.
  void SetCaption(std::u16string_view text);
  // For dated items: sets the date and moves the item to its place (newest first)
  // under the owner's lock.
  void SetDate(double date);

  bool HasDate = false;
  bool HasInteger = false;
  TDataItems* Owner;
  WORD VaultID = 0;
  double Date = 0;
  // The enciphered record as stored; empty means "rebuild before saving".
  std::string RecordText;
  std::int32_t IntValue = -1;
  bool SiteDefault = false;
  // Run-time only, never stored: marked records are skipped by the list windows and
  // by the backup export.
  bool Marked = false;

 protected:
  std::u16string caption_;
};

// Base of every list; owns its items, its cipher object and its string block.
class TDataItems {
 public:
  TDataItems() = default;
  virtual ~TDataItems() = default;
  TDataItems(const TDataItems&) = delete;
  TDataItems& operator=(const TDataItems&) = delete;

  // Adds the items of the list file to the list. True when the file was read whole
  // or does not exist yet. False when it could not be opened or read (locked, foreign
  // magic, damaged): then nothing of the file joins the list, and the list will not
  // save over that file.
  bool LoadFromFile();
  // Rewrites the list file. False, with the file and its backup as they were, when
  // the new file could not be built or written, or when the load had failed.
  bool SaveToFile();

  // The list's lock; the same thread may take it again. Lock waits without limit.
  bool Lock();
  void Unlock();
  // The standard names, for std::scoped_lock.
  void lock() { Lock(); }
  void unlock() { Unlock(); }

  // Takes a dated item out and puts it before the first item with an earlier date.
  void MoveByDate(TDataItem* item);

  int Count() const { return static_cast<int>(items_.size()); }
  // None when the index is out of range.
  TDataItem* Item(int index) const;
  int IndexOf(const TDataItem* item) const;
  TDataItem* Add(std::unique_ptr<TDataItem> item);
  // Raises EListError for an index outside 0..Count.
  TDataItem* Insert(int index, std::unique_ptr<TDataItem> item);
  // Frees the item; raises EListError for an index outside 0..Count-1.
  void Delete(int index);

  bool LoadFailed() const { return loadFailed_; }

  std::string FileName;
  std::int32_t Magic = 0;
  bool HasStrings = false;
  // Full path; set from the data folder and FileName on first load or save.
  std::string FilePath;
  TUniStringList Strings;
  TWideCrypt Crypt{true};
  // Tick count of the last load or save: the list's change stamp.
  DWORD LastAccess = 0;

 protected:
  // Makes one empty item of the list's class for loading.
  virtual std::unique_ptr<TDataItem> CreateItem();

 private:
  bool ResolvePath();
  // The bytes of an item record with an empty record text.
  std::int64_t SmallestItemRecord();
  bool ReadList(TStreamReader& reader);
  bool WriteList(TStreamWriter& writer);

  support::TCriticalSection lock_;
  std::vector<std::unique_ptr<TDataItem>> items_;
  bool loadFailed_ = false;
  // The size of the list's file as last read or written: a save makes room for it at
  // once, since a buffer that grows as it goes copies itself and takes fresh memory at
  // every step.
  std::int64_t fileSize_ = 0;
};

// A length-prefixed string where a zero length is an empty value, not a failure;
// false only when the stream ends or the length cannot be right.
bool ReadStoredString(TStreamReader& reader, std::string& text);
// Reads a record count: false for a negative count or one larger than the records of
// SmallestRecord bytes that the rest of the stream could hold, so that no loader
// makes room for records that cannot be there.
bool ReadRecordCount(TStreamReader& reader, std::int64_t smallestRecord, std::int32_t& count);

// No list file is anywhere near this; a larger file is refused before it is read.
inline constexpr std::int64_t kMaxDataFileSize = 64 * 1024 * 1024;

// Reads the whole file into Memory (positioned at 0). False when it cannot be opened,
// is larger than kMaxDataFileSize or cannot be read whole; Missing tells a file or
// folder that does not exist.
bool ReadDataFile(const std::string& path, TMemoryStreamReader& memory, bool& missing);

enum class TDataFileLoad { Loaded, Missing, Failed };
// Takes a file read whole into memory; true when it was read whole and taken.
using TDataFileParser = std::function<bool(TMemoryStreamReader&)>;
// Reads the file at Path and hands it to Parse. A missing file is recovered from the
// first copy that Parse takes, its ".tmp" (the newer) or its backup; it is a failed
// load when a backup is there that Parse does not take, and Missing otherwise (a cut
// ".tmp" is a save that never returned).
TDataFileLoad LoadDataFile(const std::string& path, const TDataFileParser& parse);

// Writes Memory as the file's new content so that a crash at any moment leaves the
// old or the new file whole: "<file>.tmp" is written and synced, the current file
// gets a second name that replaces the backup ("<name>.bak"), one rename puts the new
// file in place and the folder is synced. False with the file as it was when any step
// failed.
bool WriteDataFile(const std::string& path, TMemoryStream& memory);
// The backup's name: Path with its extension replaced by ".bak".
std::string BackupFileName(const std::string& path);
// Makes the file at Path its backup as well (extension replaced by ".bak"), replacing
// an older backup; the file itself stays. True when there was nothing to back up or
// the backup was made.
bool BackupDataFile(const std::string& path);
