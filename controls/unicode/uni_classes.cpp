#include "controls/unicode/uni_classes.h"

#include <random>
#include <utility>

#include "controls/unicode/uni_sysutils.h"
#include "controls/unicode/uni_system.h"
#include "controls/unicode/uni_windows.h"
#include "platform/base/errors.h"
#include "platform/base/handles.h"
#include "platform/base/text.h"
#include "platform/classlib/exceptions.h"
#include "platform/fs/entries.h"

namespace {

// The bytes from the stream's position to its end.
std::string ReadRemaining(TStream& stream) {
  const std::int64_t size = stream.Size() - stream.Position();
  std::string bytes(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  stream.ReadBuffer(bytes.data(), static_cast<std::int32_t>(bytes.size()));
  return bytes;
}

void WriteBytes(TStream& stream, const std::string& bytes) {
  stream.WriteBuffer(bytes.data(), static_cast<std::int32_t>(bytes.size()));
}

[[noreturn]] void RaiseCreateError(std::u16string_view fileName, DWORD error) {
  throw EFCreateError(SFCreateErrorEx, {platform::WideToAnsi(WideExpandFileName(fileName)),
                                        platform::WideToAnsi(WideSysErrorMessage(error))});
}

// A new file beside the one being rewritten, removed again unless it is kept.
class SiblingFile {
 public:
  explicit SiblingFile(std::u16string_view fileName) {
    std::random_device random;
    do {
      name_ = std::u16string(fileName) + u".~" + platform::AnsiToWide(std::to_string(random() % 1000000));
      handle_ = WideCreateFile(name_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, 0);
    } while (handle_ == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS);
  }
  ~SiblingFile() {
    Close();
    if (!kept_) DeleteFileW(name_.c_str());
  }
  SiblingFile(const SiblingFile&) = delete;
  SiblingFile& operator=(const SiblingFile&) = delete;

  HANDLE Handle() const { return handle_; }
  const std::u16string& Name() const { return name_; }
  void Close() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE));
  }
  void Keep() { kept_ = true; }

 private:
  std::u16string name_;
  HANDLE handle_ = INVALID_HANDLE_VALUE;
  bool kept_ = false;
};

// Rewrites a file whole: the bytes go to a new file beside it, which takes the old
// one's place only once it is complete and on disk, so that a failed save never
// leaves a damaged file. Raises EFCreateError when the file cannot be replaced and
// EWriteError when the bytes cannot be written.
void ReplaceFileWhole(std::u16string_view fileName, const TMemoryStream& content) {
  SiblingFile sibling(fileName);
  if (sibling.Handle() == INVALID_HANDLE_VALUE) RaiseCreateError(fileName, GetLastError());
  THandleStream stream(sibling.Handle());
  stream.WriteBuffer(content.Memory().data(), static_cast<std::int32_t>(content.Memory().size()));
  if (!FlushFileBuffers(sibling.Handle())) throw EWriteError(std::string(SWriteError));
  sibling.Close();
  const std::u16string target(fileName);
  if (!MoveFileExW(sibling.Name().c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    RaiseCreateError(fileName, GetLastError());
  }
  sibling.Keep();
}

}  // namespace

// ---- character sets ----

TTextCharSet AutoDetectCharacterSet(TStream& stream) {
  const std::int64_t start = stream.Position();
  const std::int64_t remaining = stream.Size() - start;
  unsigned char mark[3] = {};
  if (remaining >= 2 && stream.Read(mark, 2) == 2) {
    if (mark[0] == 0xFF && mark[1] == 0xFE) return csUnicode;
    if (mark[0] == 0xFE && mark[1] == 0xFF) return csUnicodeSwapped;
  }
  stream.SetPosition(start);
  if (remaining >= 3 && stream.Read(mark, 3) == 3 && mark[0] == 0xEF && mark[1] == 0xBB && mark[2] == 0xBF) {
    return csUtf8;
  }
  stream.SetPosition(start);
  return csAnsi;
}

// ---- TAnsiStrings ----

void TAnsiStrings::LoadFromStream(TStream& stream) { LoadFromStreamEx(stream, CP_ACP); }

void TAnsiStrings::SaveToStream(TStream& stream) const { SaveToStreamEx(stream, CP_ACP); }

TAnsiStringsForWideStringsAdapter::TAnsiStringsForWideStringsAdapter(TWideStrings& wideStrings,
                                                                     UINT adapterCodePage)
    : wideStrings_(wideStrings), adapterCodePage_(adapterCodePage) {}

UINT TAnsiStringsForWideStringsAdapter::AdapterCodePage() const {
  return adapterCodePage_ == 0 ? DefaultCodePage : adapterCodePage_;
}

std::string TAnsiStringsForWideStringsAdapter::Get(int index) const {
  return WideToCodePage(wideStrings_.Get(index), AdapterCodePage());
}

int TAnsiStringsForWideStringsAdapter::GetCount() const { return wideStrings_.GetCount(); }

void TAnsiStringsForWideStringsAdapter::Clear() { wideStrings_.Clear(); }

void TAnsiStringsForWideStringsAdapter::Delete(int index) { wideStrings_.Delete(index); }

void TAnsiStringsForWideStringsAdapter::Insert(int index, const std::string& s) {
  wideStrings_.Insert(index, WideFromCodePage(s, AdapterCodePage()));
}

void TAnsiStringsForWideStringsAdapter::Put(int index, const std::string& s) {
  wideStrings_.Put(index, WideFromCodePage(s, AdapterCodePage()));
}

TObject* TAnsiStringsForWideStringsAdapter::GetObject(int index) const { return wideStrings_.GetObject(index); }

void TAnsiStringsForWideStringsAdapter::PutObject(int index, TObject* object) {
  wideStrings_.PutObject(index, object);
}

void TAnsiStringsForWideStringsAdapter::SetUpdateState(bool updating) {
  if (updating) {
    wideStrings_.BeginUpdate();
  } else {
    wideStrings_.EndUpdate();
  }
}

void TAnsiStringsForWideStringsAdapter::LoadFromStreamEx(TStream& stream, UINT codePage) {
  const std::u16string text = WideFromCodePage(ReadRemaining(stream), codePage);
  TStringsUpdate<std::u16string> update(wideStrings_);
  wideStrings_.SetText(text);
}

void TAnsiStringsForWideStringsAdapter::SaveToStreamEx(TStream& stream, UINT codePage) const {
  WriteBytes(stream, WideToCodePage(wideStrings_.Text(), codePage));
}

// ---- TUniStrings ----

TUniStrings::TUniStrings() : ansiStrings_(std::make_unique<TAnsiStringsForWideStringsAdapter>(*this, 0)) {}

void TUniStrings::SetAnsiStrings(const TStrings& value) { ansiStrings_->Assign(value); }

void TUniStrings::LoadFromFile(std::u16string_view fileName) {
  TUniFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  LastFileCharSet = AutoDetectCharacterSet(stream);
  stream.SetPosition(0);
  LoadFromStream(stream);
}

void TUniStrings::LoadFromStream(TStream& stream) { LoadFromStreamWithBom(stream, true); }

void TUniStrings::LoadFromStreamWithBom(TStream& stream, bool detectBom) {
  TStringsUpdate<std::u16string> update(*this);
  const TTextCharSet charSet = detectBom ? AutoDetectCharacterSet(stream) : csUnicode;
  const std::string bytes = ReadRemaining(stream);
  std::u16string text;
  switch (charSet) {
    case csUnicode:
    case csUnicodeSwapped:
      text = platform::Utf16LeToWide(bytes);
      // Every unit is swapped, NUL units included, so that no part stays big-endian.
      if (charSet == csUnicodeSwapped) SwapUtf16ByteOrder(text.data(), text.size());
      break;
    case csUtf8: text = UTF8ToWideString(bytes); break;
    case csAnsi: text = WideFromCodePage(bytes, DefaultCodePage); break;
  }
  SetText(text);
}

void TUniStrings::SaveToFile(std::u16string_view fileName) const {
  TMemoryStream content;
  SaveToStream(content);
  ReplaceFileWhole(fileName, content);
}

void TUniStrings::SaveToStream(TStream& stream) const { SaveToStreamWithBom(stream, true); }

void TUniStrings::SaveToStreamWithBom(TStream& stream, bool writeBom) const {
  std::string bytes = writeBom ? std::string("\xFF\xFE") : std::string();
  bytes += platform::WideToUtf16Le(Text());
  WriteBytes(stream, bytes);
}

// ---- TUniStringList ----

void TUniStringList::CheckIndex(int index, int limit) const {
  if (index < 0 || index >= limit) Error(SListIndexError, index);
}

std::u16string TUniStringList::Get(int index) const {
  CheckIndex(index, GetCount());
  return items_[static_cast<std::size_t>(index)].string;
}

TObject* TUniStringList::GetObject(int index) const {
  CheckIndex(index, GetCount());
  return items_[static_cast<std::size_t>(index)].object;
}

void TUniStringList::Put(int index, const std::u16string& s) {
  if (sorted_) Error(SSortedListError, 0);
  CheckIndex(index, GetCount());
  Changing();
  items_[static_cast<std::size_t>(index)].string = s;
  Changed();
}

void TUniStringList::PutObject(int index, TObject* object) {
  CheckIndex(index, GetCount());
  Changing();
  items_[static_cast<std::size_t>(index)].object = object;
  Changed();
}

void TUniStringList::SetCapacity(int capacity) {
  if (capacity < GetCount()) Error(SListCapacityError, capacity);
  if (capacity > capacity_) items_.reserve(static_cast<std::size_t>(capacity));
  capacity_ = capacity;
}

void TUniStringList::Grow() {
  const int delta = capacity_ > 64 ? capacity_ / 4 : capacity_ > 8 ? 16 : 4;
  SetCapacity(capacity_ + delta);
}

void TUniStringList::SetUpdateState(bool updating) {
  updating_ = updating;
  if (updating) {
    Changing();
  } else {
    Changed();
  }
}

void TUniStringList::Changed() {
  if (!updating_ && OnChange) OnChange(this);
}

void TUniStringList::Changing() {
  if (!updating_ && OnChanging) OnChanging(this);
}

int TUniStringList::CompareStrings(const std::u16string& a, const std::u16string& b) const {
  return platform::CompareText(a, b, !caseSensitive_);
}

int TUniStringList::Add(const std::u16string& s) { return AddObject(s, nullptr); }

int TUniStringList::AddObject(const std::u16string& s, TObject* object) {
  int index = GetCount();
  if (sorted_ && Find(s, index)) {
    if (Duplicates == dupIgnore) return index;
    if (Duplicates == dupError) Error(SDuplicateString, 0);
  }
  InsertItem(index, s, object);
  return index;
}

void TUniStringList::InsertItem(int index, const std::u16string& s, TObject* object) {
  Changing();
  if (GetCount() == capacity_) Grow();
  items_.insert(items_.begin() + index, Item{s, object});
  Changed();
}

void TUniStringList::Insert(int index, const std::u16string& s) { InsertObject(index, s, nullptr); }

void TUniStringList::InsertObject(int index, const std::u16string& s, TObject* object) {
  if (sorted_) Error(SSortedListError, 0);
  CheckIndex(index, GetCount() + 1);
  InsertItem(index, s, object);
}

void TUniStringList::Clear() {
  if (items_.empty()) return;
  Changing();
  items_.clear();
  items_.shrink_to_fit();
  capacity_ = 0;
  Changed();
}

void TUniStringList::Delete(int index) {
  CheckIndex(index, GetCount());
  Changing();
  items_.erase(items_.begin() + index);
  Changed();
}

void TUniStringList::Exchange(int index1, int index2) {
  CheckIndex(index1, GetCount());
  CheckIndex(index2, GetCount());
  Changing();
  std::swap(items_[static_cast<std::size_t>(index1)], items_[static_cast<std::size_t>(index2)]);
  Changed();
}

bool TUniStringList::Find(const std::u16string& s, int& index) const {
  bool found = false;
  int low = 0;
  int high = GetCount() - 1;
  while (low <= high) {
    const int middle = (low + high) / 2;
    const int order = CompareStrings(items_[static_cast<std::size_t>(middle)].string, s);
    if (order < 0) {
      low = middle + 1;
    } else {
      high = middle - 1;
      if (order == 0) {
        found = true;
        if (Duplicates != dupAccept) low = middle;
      }
    }
  }
  index = low;
  return found;
}

int TUniStringList::IndexOf(const std::u16string& s) const {
  if (!sorted_) return TUniStrings::IndexOf(s);
  int index = 0;
  return Find(s, index) ? index : -1;
}

int TUniStringList::IndexOfName(const std::u16string& name) const {
  if (!sorted_) return TUniStrings::IndexOfName(name);
  std::u16string prefix = name;
  prefix += NameValueSeparator;
  int index = 0;
  Find(prefix, index);
  if (index < GetCount()) {
    const std::u16string& line = items_[static_cast<std::size_t>(index)].string;
    if (line.size() >= prefix.size() && CompareStrings(line.substr(0, prefix.size()), prefix) == 0) return index;
  }
  return -1;
}

void TUniStringList::Sort() {
  CustomSort([](TUniStringList& list, int index1, int index2) {
    return list.CompareStrings(list.items_[static_cast<std::size_t>(index1)].string,
                               list.items_[static_cast<std::size_t>(index2)].string);
  });
}

void TUniStringList::CustomSort(const TUniStringListSortCompare& compare) {
  if (sorted_ || GetCount() < 2) return;
  Changing();
  QuickSort(0, GetCount() - 1, compare);
  Changed();
}

// Hoare partition around the middle item, which is followed when it moves; recursion
// on the left part, iteration on the right. The bounds guard a comparison that is not
// a consistent order.
void TUniStringList::QuickSort(int low, int high, const TUniStringListSortCompare& compare) {
  while (low < high) {
    int i = low;
    int j = high;
    int pivot = (low + high) / 2;
    do {
      while (i < high && compare(*this, i, pivot) < 0) ++i;
      while (j > low && compare(*this, j, pivot) > 0) --j;
      if (i <= j) {
        std::swap(items_[static_cast<std::size_t>(i)], items_[static_cast<std::size_t>(j)]);
        if (pivot == i) {
          pivot = j;
        } else if (pivot == j) {
          pivot = i;
        }
        ++i;
        --j;
      }
    } while (i <= j);
    if (low < j) QuickSort(low, j, compare);
    low = i;
  }
}

void TUniStringList::SetSorted(bool value) {
  if (value == sorted_) return;
  if (value) Sort();
  sorted_ = value;
}

void TUniStringList::SetCaseSensitive(bool value) {
  if (value == caseSensitive_) return;
  caseSensitive_ = value;
  if (sorted_) {
    sorted_ = false;
    Sort();
    sorted_ = true;
  }
}

// ---- TUniFileStream ----

TUniFileStream::TUniFileStream(std::u16string_view fileName, WORD mode)
    : THandleStream(mode == fmCreate ? WideFileCreate(fileName) : WideFileOpen(fileName, mode)) {
  if (handle_ != INVALID_HANDLE_VALUE) return;
  const DWORD error = GetLastError();
  if (mode == fmCreate) RaiseCreateError(fileName, error);
  throw EFOpenError(SFOpenErrorEx, {platform::WideToAnsi(WideExpandFileName(fileName)),
                                    platform::WideToAnsi(WideSysErrorMessage(error))});
}

TUniFileStream::~TUniFileStream() {
  if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
}
