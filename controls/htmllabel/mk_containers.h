// Generic containers of fixed-size items that never know their item type: each is
// given an item handler (and a hash also a key handler) made of plain function
// pointers that initialise, free, copy, compare, hash and stream one item or key in
// place. Items live in the container's own memory and are addressed by pointers to
// their first byte; adding an item answers that pointer and the caller fills it.
//
// Item and key bytes are moved by raw copies when a block grows or shrinks, so they
// may hold only trivially relocatable data (numbers, plain pointers). Their start is
// not aligned: handlers read and write fields with memcpy (see mk_handlers.h).
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

#include "platform/classlib/persistent.h"

class TMkContainer;
class TMkReader;
class TMkWriter;

// Every container error: "Class " + class name + ": " + text.
class EMkContainerError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TMkErrorObject : public TPersistent {
 public:
  std::string ClassName() const override { return "TMkErrorObject"; }
  [[noreturn]] void RaiseError(const std::string& text) const;
};

using TMkInitItem = void (*)(void* item);
using TMkFreeItem = void (*)(void* item);
using TMkCopyItem = void (*)(const void* source, void* destination);
using TMkReadItem = void (*)(TMkContainer* container, TMkReader* reader, void* item, std::intptr_t arg);
using TMkWriteItem = void (*)(TMkContainer* container, TMkWriter* writer, const void* item,
                              std::intptr_t arg);
using TMkReadHeader = void (*)(TMkContainer* container, TMkReader* reader, std::intptr_t arg);
using TMkWriteHeader = void (*)(TMkContainer* container, TMkWriter* writer, std::intptr_t arg);
// A caller's key is a pointer to a variable laid out like a stored key.
using TMkHashKey = std::uint32_t (*)(const void* key);
using TMkHashKeyBuf = std::uint32_t (*)(const char16_t* buffer, std::int32_t length);
using TMkSameKeys = bool (*)(const void* key, const void* storedKey);
using TMkSameKeyBuf = bool (*)(const char16_t* buffer, std::int32_t length, const void* storedKey);
using TMkStoreKey = void (*)(const void* key, void* destination);
using TMkStoreKeyBuf = void (*)(const char16_t* buffer, std::int32_t length, void* destination);
using TMkFreeKey = void (*)(void* storedKey);
using TMkReadKey = void (*)(TMkContainer* container, TMkReader* reader, void* key, std::intptr_t arg);
using TMkWriteKey = void (*)(TMkContainer* container, TMkWriter* writer, const void* key,
                             std::intptr_t arg);
using TMkSameItems = bool (*)(const void* containerItem, const void* callerItem);
using TMkIterateItems = std::function<void(void* item)>;

// Counts the containers that use a handler; a handler in use cannot change.
class TMkBaseHandler : public TMkErrorObject {
 public:
  ~TMkBaseHandler() override;
  std::int32_t UseCount() const { return useCount_; }
  void AddUse() { ++useCount_; }
  void ReleaseUse() { --useCount_; }
  // Destroys the handler; raises "ItemHandler in use during destruction" instead
  // while a container still holds it (the destructor itself only asserts that).
  void Free();

 protected:
  void CheckUnused(const char* what) const;

 private:
  std::int32_t useCount_ = 0;
};

class TMkItemHandler : public TMkBaseHandler {
 public:
  std::string ClassName() const override { return "TMkItemHandler"; }
  std::int32_t ItemSize() const { return itemSize_; }
  TMkInitItem OnInitItem() const { return onInitItem_; }
  TMkFreeItem OnFreeItem() const { return onFreeItem_; }
  TMkCopyItem OnCopyItem() const { return onCopyItem_; }
  TMkReadItem OnReadItem() const { return onReadItem_; }
  TMkWriteItem OnWriteItem() const { return onWriteItem_; }
  TMkReadHeader OnReadHeader() const { return onReadHeader_; }
  TMkWriteHeader OnWriteHeader() const { return onWriteHeader_; }
  void SetItemSize(std::int32_t value);
  void SetOnInitItem(TMkInitItem value);
  void SetOnFreeItem(TMkFreeItem value);
  void SetOnCopyItem(TMkCopyItem value);
  void SetOnReadItem(TMkReadItem value);
  void SetOnWriteItem(TMkWriteItem value);
  void SetOnReadHeader(TMkReadHeader value);
  void SetOnWriteHeader(TMkWriteHeader value);

 private:
  std::int32_t itemSize_ = 0;
  TMkInitItem onInitItem_ = nullptr;
  TMkFreeItem onFreeItem_ = nullptr;
  TMkCopyItem onCopyItem_ = nullptr;
  TMkReadItem onReadItem_ = nullptr;
  TMkWriteItem onWriteItem_ = nullptr;
  TMkReadHeader onReadHeader_ = nullptr;
  TMkWriteHeader onWriteHeader_ = nullptr;
};

class TMkKeyHandler : public TMkBaseHandler {
 public:
  std::string ClassName() const override { return "TMkKeyHandler"; }
  std::int32_t KeySize() const { return keySize_; }
  TMkHashKey OnHashKey() const { return onHashKey_; }
  TMkHashKeyBuf OnHashKeyBuf() const { return onHashKeyBuf_; }
  TMkSameKeys OnSameKeys() const { return onSameKeys_; }
  TMkSameKeyBuf OnSameKeyBuf() const { return onSameKeyBuf_; }
  TMkStoreKey OnStoreKey() const { return onStoreKey_; }
  TMkStoreKeyBuf OnStoreKeyBuf() const { return onStoreKeyBuf_; }
  TMkFreeKey OnFreeKey() const { return onFreeKey_; }
  TMkReadKey OnReadKey() const { return onReadKey_; }
  TMkWriteKey OnWriteKey() const { return onWriteKey_; }
  void SetKeySize(std::int32_t value);
  void SetOnHashKey(TMkHashKey value);
  void SetOnHashKeyBuf(TMkHashKeyBuf value);
  void SetOnSameKeys(TMkSameKeys value);
  void SetOnSameKeyBuf(TMkSameKeyBuf value);
  void SetOnStoreKey(TMkStoreKey value);
  void SetOnStoreKeyBuf(TMkStoreKeyBuf value);
  void SetOnFreeKey(TMkFreeKey value);
  void SetOnReadKey(TMkReadKey value);
  void SetOnWriteKey(TMkWriteKey value);

 private:
  std::int32_t keySize_ = 0;
  TMkHashKey onHashKey_ = nullptr;
  TMkHashKeyBuf onHashKeyBuf_ = nullptr;
  TMkSameKeys onSameKeys_ = nullptr;
  TMkSameKeyBuf onSameKeyBuf_ = nullptr;
  TMkStoreKey onStoreKey_ = nullptr;
  TMkStoreKeyBuf onStoreKeyBuf_ = nullptr;
  TMkFreeKey onFreeKey_ = nullptr;
  TMkReadKey onReadKey_ = nullptr;
  TMkWriteKey onWriteKey_ = nullptr;
};

// Options of a container load or save.
enum TMkStreamOption : std::uint32_t { StreamMagic = 1, StreamVersion = 2, StreamHeader = 4 };
using TMkStreamOptions = std::uint32_t;
inline constexpr TMkStreamOptions kAllStreamOptions = StreamMagic | StreamVersion | StreamHeader;

// Block sizes of the hash entries and vector items grow in quarter-power-of-two steps.
std::int32_t RoundCapacity(std::int32_t n);
std::int32_t ShrinkLimit(std::int32_t n);

class TMkContainer : public TMkErrorObject {
 public:
  // className names the class in the error for a nil handler (construction cannot ask).
  TMkContainer(TMkItemHandler* itemHandler, const char* className);
  // Descendants clear themselves in their own destructors.
  ~TMkContainer() override;
  TMkContainer(const TMkContainer&) = delete;
  TMkContainer& operator=(const TMkContainer&) = delete;
  std::string ClassName() const override { return "TMkContainer"; }

  TMkItemHandler* ItemHandler() const { return itemHandler_; }
  std::int32_t Count() const { return count_; }

  virtual void Clear() = 0;
  bool HasItem(const void* item, TMkSameItems sameItems) const;
  bool HasItemFromEnd(const void* item, TMkSameItems sameItems) const;
  void Iterate(const TMkIterateItems& iterateItems) const;
  void* LocateItem(const void* item, TMkSameItems sameItems) const;
  void* LocateItemFromEnd(const void* item, TMkSameItems sameItems) const;
  virtual void ReadFromFiler(TMkReader& reader, TMkStreamOptions options, std::intptr_t arg) = 0;
  virtual void WriteToFiler(TMkWriter& writer, TMkStreamOptions options, std::intptr_t arg) const = 0;

  void LoadFromStream(TStream* stream, TMkStreamOptions options, std::intptr_t arg);
  void SaveToStream(TStream* stream, TMkStreamOptions options, std::intptr_t arg) const;
  void DefineProperties(TFiler& filer) override;

 protected:
  // Calls visit on every live item in the container's order (or backwards) until it
  // answers true; answers that item or nil.
  virtual void* Walk(bool fromEnd, const std::function<bool(void*)>& visit) const = 0;
  void InitItem(void* item) const;
  void FreeItem(void* item) const;
  // Raises unless the handler can stream items; writes or checks magic, version, header.
  void WritePreamble(TMkWriter& writer, TMkStreamOptions options, std::intptr_t arg, const char* magic) const;
  void ReadPreamble(TMkReader& reader, TMkStreamOptions options, std::intptr_t arg, const char* magic);

  std::int32_t count_ = 0;

 private:
  TMkItemHandler* itemHandler_;
};

class TMkLinearContainer : public TMkContainer {
 public:
  using TMkContainer::TMkContainer;
  std::string ClassName() const override { return "TMkLinearContainer"; }
  virtual void* InsertFirst() = 0;
  virtual void* InsertFirstUninitialised() = 0;
  virtual void* InsertLast() = 0;
  virtual void* InsertLastUninitialised() = 0;
  virtual void* First() const = 0;
  virtual void* Last() const = 0;

  // Copies a list, tree or vector with the same item handler; anything else goes to
  // the class library's assignment. Assigning a container to itself changes nothing.
  void Assign(const TPersistent* source) override;

 protected:
  virtual void AssignItems(const TMkLinearContainer& source) = 0;
  void CopyItem(const void* source, void* destination) const;
};

class TMkHash : public TMkContainer {
 public:
  TMkHash(TMkItemHandler* itemHandler, TMkKeyHandler* keyHandler);
  ~TMkHash() override;
  std::string ClassName() const override { return "TMkHash"; }

  TMkKeyHandler* KeyHandler() const { return keyHandler_; }
  std::int32_t HashCount() const { return hashCount_; }
  void SetHashCount(std::int32_t n);

  void* Find(const void* key) const;
  void* FindByBuffer(const char16_t* buffer, std::int32_t length) const;
  void* Insert(const void* key);
  void* FindOrInsert(const void* key);
  void Delete(const void* key);
  void Pack();

  std::int32_t EntryCount() const { return entryCount_; }
  bool IsDeleted(std::int32_t index) const;
  void* EntryKey(std::int32_t index) const;

  void Clear() override;
  void ReadFromFiler(TMkReader& reader, TMkStreamOptions options, std::intptr_t arg) override;
  void WriteToFiler(TMkWriter& writer, TMkStreamOptions options, std::intptr_t arg) const override;

 protected:
  void* Walk(bool fromEnd, const std::function<bool(void*)>& visit) const override;

 private:
  std::int32_t EntrySize() const;
  std::uint8_t* EntryAt(std::int32_t index) const;
  std::int32_t LinkOf(std::int32_t index) const;
  void SetLink(std::int32_t index, std::int32_t link);
  void* KeyOf(std::int32_t index) const { return EntryAt(index) + 4; }
  void* ItemOf(std::int32_t index) const;
  // Index of the entry with the key, or negative; previous = the chain entry before it.
  std::int32_t Lookup(const void* key, std::int32_t& previous, std::uint32_t& bucket) const;
  void* Add(const void* key, std::int32_t previous, std::uint32_t bucket);
  void ResizeEntries(std::int32_t capacity);
  void Rehash();

  std::int32_t hashCount_ = 7;
  TMkKeyHandler* keyHandler_;
  std::int32_t freeHead_;
  std::int32_t* buckets_ = nullptr;
  std::uint8_t* entries_ = nullptr;
  std::int32_t entryCount_ = 0;
  std::int32_t capacity_ = 0;
};

class TMkList : public TMkLinearContainer {
 public:
  explicit TMkList(TMkItemHandler* itemHandler) : TMkLinearContainer(itemHandler, "TMkList") {}
  ~TMkList() override;
  std::string ClassName() const override { return "TMkList"; }

  void* InsertFirst() override;
  void* InsertFirstUninitialised() override;
  void* InsertLast() override;
  void* InsertLastUninitialised() override;
  void* First() const override;
  void* Last() const override;
  void* Next(const void* item) const;
  void DeleteLast();

  void Clear() override;
  void ReadFromFiler(TMkReader& reader, TMkStreamOptions options, std::intptr_t arg) override;
  void WriteToFiler(TMkWriter& writer, TMkStreamOptions options, std::intptr_t arg) const override;

 protected:
  void* Walk(bool fromEnd, const std::function<bool(void*)>& visit) const override;
  void AssignItems(const TMkLinearContainer& source) override;

 private:
  struct Node {
    Node* prev;
    Node* next;
  };
  Node* NewNode(bool atHead);
  static void* ItemOf(const Node* node);
  static Node* NodeOf(const void* item);

  Node* head_ = nullptr;
  Node* tail_ = nullptr;
};

class TMkTree : public TMkLinearContainer {
 public:
  explicit TMkTree(TMkItemHandler* itemHandler) : TMkLinearContainer(itemHandler, "TMkTree") {}
  ~TMkTree() override;
  std::string ClassName() const override { return "TMkTree"; }

  void* InsertFirst() override;
  void* InsertFirstUninitialised() override;
  void* InsertLast() override;
  void* InsertLastUninitialised() override;
  void* First() const override;
  void* Last() const override;
  // Appends a node as the last child of parent's node (top level for nil).
  void* AddChild(void* parent);
  // Navigation for callers that walk the hierarchy; nil where there is none.
  void* Parent(const void* item) const;
  void* FirstChild(const void* item) const;
  void* NextSibling(const void* item) const;
  std::int32_t ChildCount(const void* item) const;

  void Clear() override;
  void ReadFromFiler(TMkReader& reader, TMkStreamOptions options, std::intptr_t arg) override;
  void WriteToFiler(TMkWriter& writer, TMkStreamOptions options, std::intptr_t arg) const override;

 protected:
  void* Walk(bool fromEnd, const std::function<bool(void*)>& visit) const override;
  void AssignItems(const TMkLinearContainer& source) override;

 private:
  struct Node {
    Node* parent;
    Node* prevSibling;
    Node* nextSibling;
    Node* firstChild;
    Node* lastChild;
  };
  Node* NewNode(Node* parent, bool first, bool initialise);
  static void* ItemOf(const Node* node);
  Node* NodeOf(const void* item) const;
  Node* PreOrderNext(const Node* node) const;
  Node* PreOrderPrev(const Node* node) const;
  static Node* Deepest(Node* node);

  Node root_{nullptr, nullptr, nullptr, nullptr, nullptr};
};

class TMkVector : public TMkLinearContainer {
 public:
  explicit TMkVector(TMkItemHandler* itemHandler) : TMkLinearContainer(itemHandler, "TMkVector") {}
  ~TMkVector() override;
  std::string ClassName() const override { return "TMkVector"; }

  void* InsertFirst() override;
  void* InsertFirstUninitialised() override;
  void* InsertLast() override;
  void* InsertLastUninitialised() override;
  void* First() const override;
  void* Last() const override;
  void* ItemAt(std::int32_t index) const;
  void Delete(std::int32_t index);
  void SetCount(std::int32_t n);
  std::int32_t IndexOf(const void* item, TMkSameItems sameItems) const;

  void Clear() override;
  void ReadFromFiler(TMkReader& reader, TMkStreamOptions options, std::intptr_t arg) override;
  void WriteToFiler(TMkWriter& writer, TMkStreamOptions options, std::intptr_t arg) const override;

 protected:
  void* Walk(bool fromEnd, const std::function<bool(void*)>& visit) const override;
  void AssignItems(const TMkLinearContainer& source) override;
  void CheckIndex(std::int32_t index) const;

 private:
  std::uint8_t* Slot(std::int32_t index) const;
  void Resize(std::int32_t newCount);

  std::uint8_t* items_ = nullptr;
  std::int32_t capacity_ = 0;
};
