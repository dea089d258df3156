// Wide string lists and the wide-named file stream: TUniStrings adds to the class
// library's wide list base loading with byte-order-mark detection, saving as UTF-16LE
// with a mark, and an 8-bit view (AnsiStrings); TUniStringList is the concrete list,
// sortable, with an object beside each string; TUniFileStream opens files by wide name.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/base/types.h"
#include "platform/classlib/streams.h"
#include "platform/classlib/strings.h"

// Character sets of text files.
enum TTextCharSet { csAnsi = 0, csUnicode = 1, csUnicodeSwapped = 2, csUtf8 = 3 };

// The mark at the stream's position: FF FE is UTF-16LE, FE FF UTF-16BE, EF BB BF UTF-8;
// the stream is left after a mark found, else where it was (no mark: csAnsi).
TTextCharSet AutoDetectCharacterSet(TStream& stream);

// An 8-bit string list that also loads and saves its text in a given code page.
class TAnsiStrings : public TStrings {
 public:
  virtual void LoadFromStreamEx(TStream& stream, UINT codePage) = 0;
  virtual void SaveToStreamEx(TStream& stream, UINT codePage) const = 0;
  // In the system code page.
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) const override;
};

// The 8-bit view of a wide list (not owned): each string converted in the adapter's
// code page (0: DefaultCodePage).
class TAnsiStringsForWideStringsAdapter : public TAnsiStrings {
 public:
  TAnsiStringsForWideStringsAdapter(TWideStrings& wideStrings, UINT adapterCodePage);
  std::string Get(int index) const override;
  int GetCount() const override;
  void Clear() override;
  void Delete(int index) override;
  void Insert(int index, const std::string& s) override;
  void Put(int index, const std::string& s) override;
  TObject* GetObject(int index) const override;
  void PutObject(int index, TObject* object) override;
  void SetUpdateState(bool updating) override;
  void LoadFromStreamEx(TStream& stream, UINT codePage) override;
  void SaveToStreamEx(TStream& stream, UINT codePage) const override;
  UINT AdapterCodePage() const;

 private:
  TWideStrings& wideStrings_;
  UINT adapterCodePage_;
};

class TUniStrings : public TWideStrings {
 public:
  TUniStrings();
  TUniStrings(const TUniStrings&) = delete;
  TUniStrings& operator=(const TUniStrings&) = delete;

  // The character set found by the last LoadFromFile (csUnicode until then).
  TTextCharSet LastFileCharSet = csUnicode;

  TAnsiStrings& AnsiStrings() { return *ansiStrings_; }
  // Assigns the given 8-bit list into the view.
  void SetAnsiStrings(const TStrings& value);

  // Opens the file for reading (others may read), notes its character set, and loads
  // it. Raises EFOpenError "Cannot open file "%s". %s".
  void LoadFromFile(std::u16string_view fileName);
  void LoadFromStream(TStream& stream) override;
  // Replaces the list with the text from the stream's position: in the character set
  // its mark names (or UTF-16LE without looking), split into lines.
  virtual void LoadFromStreamWithBom(TStream& stream, bool detectBom);
  // Saves the list as the file's new contents; the old file stays whole until the new
  // one is complete. Raises EFCreateError "Cannot create file "%s". %s" when the file
  // cannot be made or replaced (a folder missing, a handle that does not share it).
  void SaveToFile(std::u16string_view fileName) const;
  void SaveToStream(TStream& stream) const override;
  // FF FE when writeBom, then every string and CR LF in UTF-16LE.
  virtual void SaveToStreamWithBom(TStream& stream, bool writeBom) const;

 private:
  std::unique_ptr<TAnsiStringsForWideStringsAdapter> ansiStrings_;
};

enum TDuplicates { dupIgnore = 0, dupAccept = 1, dupError = 2 };

class TUniStringList;
using TUniStringListSortCompare = std::function<int(TUniStringList& list, int index1, int index2)>;

// The list of wide strings with an object beside each (objects are not owned).
// Index errors raise EStringListError "List index out of bounds (%d)"; inserting or
// replacing in a sorted list raises "Operation not allowed on sorted list".
class TUniStringList : public TUniStrings {
 public:
  std::u16string Get(int index) const override;
  int GetCapacity() const override { return capacity_; }
  int GetCount() const override { return static_cast<int>(items_.size()); }
  TObject* GetObject(int index) const override;
  void Put(int index, const std::u16string& s) override;
  void PutObject(int index, TObject* object) override;
  // Raises "List capacity out of bounds (%d)" below the count.
  void SetCapacity(int capacity) override;
  void SetUpdateState(bool updating) override;
  // Locale order, without case unless CaseSensitive.
  int CompareStrings(const std::u16string& a, const std::u16string& b) const override;
  int Add(const std::u16string& s) override;
  // Sorted lists: an equal string is ignored (answering its index), refused with
  // "String list does not allow duplicates", or accepted, as Duplicates says.
  int AddObject(const std::u16string& s, TObject* object) override;
  void Clear() override;
  void Delete(int index) override;
  void Exchange(int index1, int index2) override;
  int IndexOf(const std::u16string& s) const override;
  int IndexOfName(const std::u16string& name) const override;
  void Insert(int index, const std::u16string& s) override;
  void InsertObject(int index, const std::u16string& s, TObject* object) override;

  // Binary search of a sorted list: true when found; index is the first equal item
  // (unless duplicates are accepted) or the insertion point.
  virtual bool Find(const std::u16string& s, int& index) const;
  virtual void Sort();
  virtual void CustomSort(const TUniStringListSortCompare& compare);

  bool Sorted() const { return sorted_; }
  // Sorts the list at once when it becomes sorted.
  void SetSorted(bool value);
  bool CaseSensitive() const { return caseSensitive_; }
  // A sorted list is sorted again in the new order.
  void SetCaseSensitive(bool value);
  TDuplicates Duplicates = dupIgnore;
  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

 protected:
  virtual void Changed();
  virtual void Changing();
  virtual void InsertItem(int index, const std::u16string& s, TObject* object);

 private:
  struct Item {
    std::u16string string;
    TObject* object;
  };
  void CheckIndex(int index, int limit) const;
  void Grow();
  void QuickSort(int low, int high, const TUniStringListSortCompare& compare);

  std::vector<Item> items_;
  int capacity_ = 0;
  bool updating_ = false;
  bool sorted_ = false;
  bool caseSensitive_ = false;
};

// A stream over a file named by a wide name. fmCreate creates or empties the file;
// other modes open an existing one. Failures raise EFCreateError
// "Cannot create file "%s". %s" or EFOpenError "Cannot open file "%s". %s" with the
// full name and the system's text.
class TUniFileStream : public THandleStream {
 public:
  TUniFileStream(std::u16string_view fileName, WORD mode);
  ~TUniFileStream() override;
  TUniFileStream(const TUniFileStream&) = delete;
  TUniFileStream& operator=(const TUniFileStream&) = delete;
};
