#include "controls/htmllabel/mk_containers.h"

#include <cassert>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "controls/htmllabel/mk_streams.h"

namespace {

constexpr std::int32_t kNone = INT32_MIN;  // 0x80000000: no entry
constexpr std::int32_t kDeletedBit = 0x40000000;
constexpr std::int32_t kFirstHashCount = 7;
constexpr char kHashMagic[] = "MKHC";
constexpr char kListMagic[] = "MKLC";
constexpr char kTreeMagic[] = "MKTC";
constexpr char kVectorMagic[] = "MKVC";

std::string IndexMessage(std::int32_t index) {
  return "List index out of bounds (" + std::to_string(index) + ")";
}

// realloc that answers the new block or raises; size 0 frees and answers nil.
void* Reallocate(void* block, std::size_t size) {
  if (size == 0) {
    std::free(block);
    return nullptr;
  }
  void* grown = std::realloc(block, size);
  if (grown == nullptr) throw std::bad_alloc();
  return grown;
}

std::int32_t LargestPowerOfTwoAtMost(std::int32_t n) {
  std::int32_t p = 1;
  while (p <= n / 2) p *= 2;
  return p;
}

}  // namespace

void TMkErrorObject::RaiseError(const std::string& text) const {
  throw EMkContainerError("Class " + ClassName() + ": " + text);
}

std::int32_t RoundCapacity(std::int32_t n) {
  if (n <= 0) return 0;
  std::int32_t p = LargestPowerOfTwoAtMost(n);
  if (p == n) return p;
  std::int32_t step = std::max(p / 4, 2);
  for (std::int32_t k = 1; k <= 4; ++k) {
    if (p + k * step >= n) return p + k * step;
  }
  return n;
}

std::int32_t ShrinkLimit(std::int32_t n) {
  if (n < 3) return n;
  std::int32_t p = LargestPowerOfTwoAtMost(n - 1);
  std::int32_t step = std::max(p / 4, 2);
  std::int32_t t = n - step;
  const std::int32_t candidates[] = {p - step + 1, p + 1, p + 1 + step, p + 1 + 2 * step, p + 1 + 3 * step};
  for (std::int32_t c : candidates) {
    if (c > t) return c;
  }
  return n;
}

// ---- handlers ----

TMkBaseHandler::~TMkBaseHandler() { assert(useCount_ == 0); }

void TMkBaseHandler::Free() {
  if (useCount_ != 0) RaiseError("ItemHandler in use during destruction");
  delete this;
}

void TMkBaseHandler::CheckUnused(const char* what) const {
  if (useCount_ != 0) RaiseError(std::string("ItemHandler in use while ") + what);
}

#define MK_SETTER(Class, Name, Type, field)           \
  void Class::Set##Name(Type value) {                 \
    CheckUnused("assigning " #Name);                  \
    field = value;                                    \
  }

void TMkItemHandler::SetItemSize(std::int32_t value) {
  CheckUnused("setting ItemSize");
  itemSize_ = value;
}
MK_SETTER(TMkItemHandler, OnInitItem, TMkInitItem, onInitItem_)
MK_SETTER(TMkItemHandler, OnFreeItem, TMkFreeItem, onFreeItem_)
MK_SETTER(TMkItemHandler, OnCopyItem, TMkCopyItem, onCopyItem_)
MK_SETTER(TMkItemHandler, OnReadItem, TMkReadItem, onReadItem_)
MK_SETTER(TMkItemHandler, OnWriteItem, TMkWriteItem, onWriteItem_)
MK_SETTER(TMkItemHandler, OnReadHeader, TMkReadHeader, onReadHeader_)
MK_SETTER(TMkItemHandler, OnWriteHeader, TMkWriteHeader, onWriteHeader_)

void TMkKeyHandler::SetKeySize(std::int32_t value) {
  CheckUnused("setting KeySize");
  keySize_ = value;
}
MK_SETTER(TMkKeyHandler, OnHashKey, TMkHashKey, onHashKey_)
MK_SETTER(TMkKeyHandler, OnHashKeyBuf, TMkHashKeyBuf, onHashKeyBuf_)
MK_SETTER(TMkKeyHandler, OnSameKeys, TMkSameKeys, onSameKeys_)
MK_SETTER(TMkKeyHandler, OnSameKeyBuf, TMkSameKeyBuf, onSameKeyBuf_)
MK_SETTER(TMkKeyHandler, OnStoreKey, TMkStoreKey, onStoreKey_)
MK_SETTER(TMkKeyHandler, OnStoreKeyBuf, TMkStoreKeyBuf, onStoreKeyBuf_)
MK_SETTER(TMkKeyHandler, OnFreeKey, TMkFreeKey, onFreeKey_)
MK_SETTER(TMkKeyHandler, OnReadKey, TMkReadKey, onReadKey_)
MK_SETTER(TMkKeyHandler, OnWriteKey, TMkWriteKey, onWriteKey_)
#undef MK_SETTER

// ---- container ----

TMkContainer::TMkContainer(TMkItemHandler* itemHandler, const char* className) : itemHandler_(itemHandler) {
  if (itemHandler == nullptr) throw EMkContainerError(std::string("Class ") + className + ": ItemHandler is nil");
  itemHandler_->AddUse();
}

TMkContainer::~TMkContainer() { itemHandler_->ReleaseUse(); }

void TMkContainer::InitItem(void* item) const {
  if (itemHandler_->OnInitItem() != nullptr) itemHandler_->OnInitItem()(item);
}

void TMkContainer::FreeItem(void* item) const {
  if (itemHandler_->OnFreeItem() != nullptr) itemHandler_->OnFreeItem()(item);
}

bool TMkContainer::HasItem(const void* item, TMkSameItems sameItems) const {
  return LocateItem(item, sameItems) != nullptr;
}

bool TMkContainer::HasItemFromEnd(const void* item, TMkSameItems sameItems) const {
  return LocateItemFromEnd(item, sameItems) != nullptr;
}

void* TMkContainer::LocateItem(const void* item, TMkSameItems sameItems) const {
  if (sameItems == nullptr) RaiseError("SameItems not assigned");
  return Walk(false, [&](void* candidate) { return sameItems(candidate, item); });
}

void* TMkContainer::LocateItemFromEnd(const void* item, TMkSameItems sameItems) const {
  if (sameItems == nullptr) RaiseError("SameItems not assigned");
  return Walk(true, [&](void* candidate) { return sameItems(candidate, item); });
}

void TMkContainer::Iterate(const TMkIterateItems& iterateItems) const {
  if (!iterateItems) RaiseError("IterateItems not assigned");
  Walk(false, [&](void* item) {
    iterateItems(item);
    return false;
  });
}

void TMkContainer::WritePreamble(TMkWriter& writer, TMkStreamOptions options, std::intptr_t arg,
                                 const char* magic) const {
  if (itemHandler_->OnWriteItem() == nullptr) RaiseError("OnWriteItem not assigned");
  auto& binary = static_cast<TMkBinaryWriter&>(writer);
  if (options & StreamMagic) binary.WriteBuffer(magic, 4);
  if (options & StreamVersion) binary.WriteCardinal(1);
  if ((options & StreamHeader) && itemHandler_->OnWriteHeader() != nullptr) {
    itemHandler_->OnWriteHeader()(const_cast<TMkContainer*>(this), &writer, arg);
  }
}

void TMkContainer::ReadPreamble(TMkReader& reader, TMkStreamOptions options, std::intptr_t arg,
                                const char* magic) {
  if (itemHandler_->OnReadItem() == nullptr) RaiseError("OnReadItem not assigned");
  auto& binary = static_cast<TMkBinaryReader&>(reader);
  if (options & StreamMagic) {
    char found[4];
    binary.ReadBuffer(found, 4);
    if (std::memcmp(found, magic, 4) != 0) RaiseError("Invalid stream format");
  }
  if ((options & StreamVersion) && binary.ReadCardinal() != 1) RaiseError("Invalid stream format");
  if ((options & StreamHeader) && itemHandler_->OnReadHeader() != nullptr) {
    itemHandler_->OnReadHeader()(this, &reader, arg);
  }
}

void TMkContainer::LoadFromStream(TStream* stream, TMkStreamOptions options, std::intptr_t arg) {
  if (stream == nullptr) RaiseError("Stream is nil");
  TMkBinaryReader reader(stream, kMkFilerBufferSize);
  ReadFromFiler(reader, options, arg);
}

void TMkContainer::SaveToStream(TStream* stream, TMkStreamOptions options, std::intptr_t arg) const {
  if (stream == nullptr) RaiseError("Stream is nil");
  TMkBinaryWriter writer(stream, kMkFilerBufferSize);
  WriteToFiler(writer, options, arg);
  writer.Flush();
}

void TMkContainer::DefineProperties(TFiler& filer) {
  filer.DefineBinaryProperty(
      ClassName(), [this](TStream& stream) { LoadFromStream(&stream, kAllStreamOptions, 0); },
      [this](TStream& stream) { SaveToStream(&stream, kAllStreamOptions, 0); }, count_ != 0);
}

// ---- linear containers ----

void TMkLinearContainer::Assign(const TPersistent* source) {
  const auto* linear = dynamic_cast<const TMkLinearContainer*>(source);
  if (linear == nullptr) {
    TMkContainer::Assign(source);
    return;
  }
  if (linear->ItemHandler() != ItemHandler()) RaiseError("Itemhandlers do not match");
  if (ItemHandler()->OnCopyItem() == nullptr) RaiseError("OnCopyItems not assigned");
  if (linear == this) return;
  AssignItems(*linear);
}

void TMkLinearContainer::CopyItem(const void* source, void* destination) const {
  ItemHandler()->OnCopyItem()(source, destination);
}

// ---- hash ----

TMkHash::TMkHash(TMkItemHandler* itemHandler, TMkKeyHandler* keyHandler)
    : TMkContainer(itemHandler, "TMkHash"), keyHandler_(keyHandler), freeHead_(kNone) {
  if (keyHandler == nullptr) RaiseError("KeyHandler is nil");
  keyHandler_->AddUse();
  buckets_ = static_cast<std::int32_t*>(Reallocate(nullptr, sizeof(std::int32_t) * kFirstHashCount));
  for (std::int32_t i = 0; i < kFirstHashCount; ++i) buckets_[i] = kNone;
}

TMkHash::~TMkHash() {
  Clear();
  std::free(buckets_);
  keyHandler_->ReleaseUse();
}

std::int32_t TMkHash::EntrySize() const { return 4 + keyHandler_->KeySize() + ItemHandler()->ItemSize(); }

std::uint8_t* TMkHash::EntryAt(std::int32_t index) const {
  return entries_ + static_cast<std::size_t>(index) * static_cast<std::size_t>(EntrySize());
}

std::int32_t TMkHash::LinkOf(std::int32_t index) const {
  std::int32_t link;
  std::memcpy(&link, EntryAt(index), 4);
  return link;
}

void TMkHash::SetLink(std::int32_t index, std::int32_t link) { std::memcpy(EntryAt(index), &link, 4); }

void* TMkHash::ItemOf(std::int32_t index) const { return EntryAt(index) + 4 + keyHandler_->KeySize(); }

bool TMkHash::IsDeleted(std::int32_t index) const {
  if (index < 0 || index >= entryCount_) RaiseError(IndexMessage(index));
  return (LinkOf(index) & kDeletedBit) != 0;
}

void* TMkHash::EntryKey(std::int32_t index) const {
  if (IsDeleted(index)) RaiseError("Item is deleted");
  return KeyOf(index);
}

void TMkHash::ResizeEntries(std::int32_t capacity) {
  entries_ = static_cast<std::uint8_t*>(
      Reallocate(entries_, static_cast<std::size_t>(capacity) * static_cast<std::size_t>(EntrySize())));
  capacity_ = capacity;
}

std::int32_t TMkHash::Lookup(const void* key, std::int32_t& previous, std::uint32_t& bucket) const {
  if (keyHandler_->OnHashKey() == nullptr) keyHandler_->RaiseError("OnHashKey not assigned");
  if (keyHandler_->OnSameKeys() == nullptr) keyHandler_->RaiseError("OnSameKeys not assigned");
  bucket = keyHandler_->OnHashKey()(key) % static_cast<std::uint32_t>(hashCount_);
  previous = kNone;
  std::int32_t index = buckets_[bucket];
  while (index >= 0 && !keyHandler_->OnSameKeys()(key, KeyOf(index))) {
    previous = index;
    index = LinkOf(index);
  }
  return index;
}

void* TMkHash::Find(const void* key) const {
  std::int32_t previous;
  std::uint32_t bucket;
  std::int32_t index = Lookup(key, previous, bucket);
  return index >= 0 ? ItemOf(index) : nullptr;
}

void* TMkHash::FindByBuffer(const char16_t* buffer, std::int32_t length) const {
  if (keyHandler_->OnHashKeyBuf() == nullptr) keyHandler_->RaiseError("OnHashKeyBuf not assigned");
  if (keyHandler_->OnSameKeyBuf() == nullptr) keyHandler_->RaiseError("OnSameKeyBuf not assigned");
  std::uint32_t bucket = keyHandler_->OnHashKeyBuf()(buffer, length) % static_cast<std::uint32_t>(hashCount_);
  for (std::int32_t index = buckets_[bucket]; index >= 0; index = LinkOf(index)) {
    if (keyHandler_->OnSameKeyBuf()(buffer, length, KeyOf(index))) return ItemOf(index);
  }
  return nullptr;
}

void* TMkHash::Add(const void* key, std::int32_t previous, std::uint32_t bucket) {
  if (keyHandler_->OnStoreKey() == nullptr) keyHandler_->RaiseError("OnStoreKey not assigned");
  std::int32_t index;
  if (freeHead_ >= 0) {
    index = freeHead_;
    freeHead_ = LinkOf(index) & ~kDeletedBit;
  } else {
    if (entryCount_ + 1 > capacity_) ResizeEntries(RoundCapacity(entryCount_ + 1));
    index = entryCount_++;
  }
  if (previous >= 0) {
    SetLink(previous, index);
  } else {
    buckets_[bucket] = index;
  }
  SetLink(index, kNone);
  keyHandler_->OnStoreKey()(key, KeyOf(index));
  InitItem(ItemOf(index));
  ++count_;
  void* item = ItemOf(index);
  if (count_ >= hashCount_) {
    SetHashCount(RoundCapacity(count_));
    item = ItemOf(index);
  }
  return item;
}

void* TMkHash::Insert(const void* key) {
  std::int32_t previous;
  std::uint32_t bucket;
  if (Lookup(key, previous, bucket) >= 0) return nullptr;
  return Add(key, previous, bucket);
}

void* TMkHash::FindOrInsert(const void* key) {
  std::int32_t previous;
  std::uint32_t bucket;
  std::int32_t index = Lookup(key, previous, bucket);
  if (index >= 0) return ItemOf(index);
  return Add(key, previous, bucket);
}

void TMkHash::Delete(const void* key) {
  std::int32_t previous;
  std::uint32_t bucket;
  std::int32_t index = Lookup(key, previous, bucket);
  if (index < 0) return;
  if (previous >= 0) {
    SetLink(previous, LinkOf(index));
  } else {
    buckets_[bucket] = LinkOf(index);
  }
  SetLink(index, freeHead_ | kDeletedBit);
  freeHead_ = index;
  if (keyHandler_->OnFreeKey() != nullptr) keyHandler_->OnFreeKey()(KeyOf(index));
  FreeItem(ItemOf(index));
  --count_;
  if (ShrinkLimit(entryCount_) > count_) Pack();
}

void TMkHash::SetHashCount(std::int32_t n) {
  if (n < count_) RaiseError("Invalid HashCount (" + std::to_string(n) + ")");
  n |= 7;
  if (n == hashCount_) return;
  buckets_ = static_cast<std::int32_t*>(Reallocate(buckets_, sizeof(std::int32_t) * static_cast<std::size_t>(n)));
  hashCount_ = n;
  Rehash();
}

void TMkHash::Rehash() {
  for (std::int32_t i = 0; i < hashCount_; ++i) buckets_[i] = kNone;
  if (entryCount_ == 0) return;
  if (keyHandler_->OnHashKey() == nullptr) keyHandler_->RaiseError("OnHashKey not assigned");
  for (std::int32_t index = 0; index < entryCount_; ++index) {
    if (LinkOf(index) & kDeletedBit) continue;
    std::uint32_t bucket = keyHandler_->OnHashKey()(KeyOf(index)) % static_cast<std::uint32_t>(hashCount_);
    SetLink(index, buckets_[bucket]);
    buckets_[bucket] = index;
  }
}

void TMkHash::Pack() {
  if (freeHead_ == kNone) return;
  std::int32_t live = 0;
  const auto size = static_cast<std::size_t>(EntrySize());
  for (std::int32_t index = 0; index < entryCount_; ++index) {
    if (LinkOf(index) & kDeletedBit) continue;
    if (live != index) std::memmove(EntryAt(live), EntryAt(index), size);
    ++live;
  }
  entryCount_ = live;
  freeHead_ = kNone;
  if (RoundCapacity(live) < capacity_) ResizeEntries(RoundCapacity(live));
  Rehash();
}

void TMkHash::Clear() {
  for (std::int32_t index = 0; index < entryCount_; ++index) {
    if (LinkOf(index) & kDeletedBit) continue;
    if (keyHandler_->OnFreeKey() != nullptr) keyHandler_->OnFreeKey()(KeyOf(index));
    FreeItem(ItemOf(index));
  }
  ResizeEntries(0);
  entryCount_ = 0;
  count_ = 0;
  freeHead_ = kNone;
  buckets_ = static_cast<std::int32_t*>(Reallocate(buckets_, sizeof(std::int32_t) * kFirstHashCount));
  hashCount_ = kFirstHashCount;
  for (std::int32_t i = 0; i < kFirstHashCount; ++i) buckets_[i] = kNone;
}

void* TMkHash::Walk(bool fromEnd, const std::function<bool(void*)>& visit) const {
  for (std::int32_t i = 0; i < entryCount_; ++i) {
    std::int32_t index = fromEnd ? entryCount_ - 1 - i : i;
    if (LinkOf(index) & kDeletedBit) continue;
    if (visit(ItemOf(index))) return ItemOf(index);
  }
  return nullptr;
}

void TMkHash::WriteToFiler(TMkWriter& writer, TMkStreamOptions options, std::intptr_t arg) const {
  if (keyHandler_->OnWriteKey() == nullptr) keyHandler_->RaiseError("OnWriteKey not assigned");
  WritePreamble(writer, options, arg, kHashMagic);
  static_cast<TMkBinaryWriter&>(writer).WriteCardinal(static_cast<std::uint32_t>(count_));
  auto* self = const_cast<TMkHash*>(this);
  for (std::int32_t index = 0; index < entryCount_; ++index) {
    if (LinkOf(index) & kDeletedBit) continue;
    keyHandler_->OnWriteKey()(self, &writer, KeyOf(index), arg);
    ItemHandler()->OnWriteItem()(self, &writer, ItemOf(index), arg);
  }
}

void TMkHash::ReadFromFiler(TMkReader& reader, TMkStreamOptions options, std::intptr_t arg) {
  if (keyHandler_->OnReadKey() == nullptr) keyHandler_->RaiseError("OnReadKey not assigned");
  ReadPreamble(reader, options, arg, kHashMagic);
  Clear();
  std::uint32_t n = static_cast<TMkBinaryReader&>(reader).ReadCardinal();
  try {
    for (std::uint32_t i = 0; i < n; ++i) {
      if (entryCount_ + 1 > capacity_) ResizeEntries(RoundCapacity(entryCount_ + 1));
      std::int32_t index = entryCount_;
      // Zeroed and counted before reading, so a damaged stream leaves entries that
      // Clear can free (a zero key or item owns nothing).
      std::memset(EntryAt(index), 0, static_cast<std::size_t>(EntrySize()));
      SetLink(index, kNone);
      InitItem(ItemOf(index));
      ++entryCount_;
      ++count_;
      keyHandler_->OnReadKey()(this, &reader, KeyOf(index), arg);
      ItemHandler()->OnReadItem()(this, &reader, ItemOf(index), arg);
    }
  } catch (...) {
    Rehash();  // keep the chains whole for what was read, then let the error pass
    throw;
  }
  if (count_ >= hashCount_) {
    SetHashCount(RoundCapacity(count_));
  } else {
    Rehash();
  }
}

// ---- list ----

TMkList::~TMkList() { Clear(); }

void* TMkList::ItemOf(const Node* node) {
  return const_cast<std::uint8_t*>(reinterpret_cast<const std::uint8_t*>(node) + sizeof(Node));
}

TMkList::Node* TMkList::NodeOf(const void* item) {
  return reinterpret_cast<Node*>(const_cast<std::uint8_t*>(static_cast<const std::uint8_t*>(item) - sizeof(Node)));
}

TMkList::Node* TMkList::NewNode(bool atHead) {
  auto* node = static_cast<Node*>(Reallocate(nullptr, sizeof(Node) + static_cast<std::size_t>(ItemHandler()->ItemSize())));
  if (atHead) {
    node->prev = nullptr;
    node->next = head_;
    (head_ ? head_->prev : tail_) = node;
    head_ = node;
  } else {
    node->prev = tail_;
    node->next = nullptr;
    (tail_ ? tail_->next : head_) = node;
    tail_ = node;
  }
  ++count_;
  return node;
}

void* TMkList::InsertFirst() {
  void* item = ItemOf(NewNode(true));
  InitItem(item);
  return item;
}

void* TMkList::InsertFirstUninitialised() { return ItemOf(NewNode(true)); }

void* TMkList::InsertLast() {
  void* item = ItemOf(NewNode(false));
  InitItem(item);
  return item;
}

void* TMkList::InsertLastUninitialised() { return ItemOf(NewNode(false)); }

void* TMkList::First() const { return head_ ? ItemOf(head_) : nullptr; }

void* TMkList::Last() const { return tail_ ? ItemOf(tail_) : nullptr; }

void* TMkList::Next(const void* item) const {
  if (item == nullptr) return nullptr;
  Node* next = NodeOf(item)->next;
  return next ? ItemOf(next) : nullptr;
}

void TMkList::DeleteLast() {
  if (tail_ == nullptr) RaiseError("Container is empty");
  Node* node = tail_;
  FreeItem(ItemOf(node));
  tail_ = node->prev;
  (tail_ ? tail_->next : head_) = nullptr;
  std::free(node);
  --count_;
}

void TMkList::Clear() {
  while (head_ != nullptr) {
    Node* node = head_;
    head_ = node->next;
    FreeItem(ItemOf(node));
    std::free(node);
  }
  tail_ = nullptr;
  count_ = 0;
}

void* TMkList::Walk(bool fromEnd, const std::function<bool(void*)>& visit) const {
  for (Node* node = fromEnd ? tail_ : head_; node != nullptr; node = fromEnd ? node->prev : node->next) {
    if (visit(ItemOf(node))) return ItemOf(node);
  }
  return nullptr;
}

void TMkList::AssignItems(const TMkLinearContainer& source) {
  Clear();
  source.Iterate([this](void* item) { CopyItem(item, InsertLast()); });
}

void TMkList::WriteToFiler(TMkWriter& writer, TMkStreamOptions options, std::intptr_t arg) const {
  WritePreamble(writer, options, arg, kListMagic);
  static_cast<TMkBinaryWriter&>(writer).WriteInteger(count_);
  auto* self = const_cast<TMkList*>(this);
  for (Node* node = head_; node != nullptr; node = node->next) {
    ItemHandler()->OnWriteItem()(self, &writer, ItemOf(node), arg);
  }
}

void TMkList::ReadFromFiler(TMkReader& reader, TMkStreamOptions options, std::intptr_t arg) {
  ReadPreamble(reader, options, arg, kListMagic);
  Clear();
  std::int32_t n = static_cast<TMkBinaryReader&>(reader).ReadInteger();
  for (std::int32_t i = 0; i < n; ++i) ItemHandler()->OnReadItem()(this, &reader, InsertLast(), arg);
}

// ---- tree ----

TMkTree::~TMkTree() { Clear(); }

void* TMkTree::ItemOf(const Node* node) {
  return const_cast<std::uint8_t*>(reinterpret_cast<const std::uint8_t*>(node) + sizeof(Node));
}

TMkTree::Node* TMkTree::NodeOf(const void* item) const {
  if (item == nullptr) return const_cast<Node*>(&root_);
  return reinterpret_cast<Node*>(const_cast<std::uint8_t*>(static_cast<const std::uint8_t*>(item) - sizeof(Node)));
}

TMkTree::Node* TMkTree::NewNode(Node* parent, bool first, bool initialise) {
  auto* node = static_cast<Node*>(Reallocate(nullptr, sizeof(Node) + static_cast<std::size_t>(ItemHandler()->ItemSize())));
  node->parent = parent;
  node->firstChild = node->lastChild = nullptr;
  if (first) {
    node->prevSibling = nullptr;
    node->nextSibling = parent->firstChild;
    (parent->firstChild ? parent->firstChild->prevSibling : parent->lastChild) = node;
    parent->firstChild = node;
  } else {
    node->nextSibling = nullptr;
    node->prevSibling = parent->lastChild;
    (parent->lastChild ? parent->lastChild->nextSibling : parent->firstChild) = node;
    parent->lastChild = node;
  }
  ++count_;
  if (initialise) InitItem(ItemOf(node));
  return node;
}

void* TMkTree::InsertFirst() { return ItemOf(NewNode(&root_, true, true)); }
void* TMkTree::InsertFirstUninitialised() { return ItemOf(NewNode(&root_, true, false)); }
void* TMkTree::InsertLast() { return ItemOf(NewNode(&root_, false, true)); }
void* TMkTree::InsertLastUninitialised() { return ItemOf(NewNode(&root_, false, false)); }
void* TMkTree::AddChild(void* parent) { return ItemOf(NewNode(NodeOf(parent), false, true)); }

void* TMkTree::First() const { return root_.firstChild ? ItemOf(root_.firstChild) : nullptr; }

TMkTree::Node* TMkTree::Deepest(Node* node) {
  while (node->lastChild != nullptr) node = node->lastChild;
  return node;
}

void* TMkTree::Last() const {
  return root_.lastChild ? ItemOf(Deepest(root_.lastChild)) : nullptr;
}

void* TMkTree::Parent(const void* item) const {
  Node* parent = NodeOf(item)->parent;
  return parent == nullptr || parent == &root_ ? nullptr : ItemOf(parent);
}

void* TMkTree::FirstChild(const void* item) const {
  Node* child = NodeOf(item)->firstChild;
  return child ? ItemOf(child) : nullptr;
}

void* TMkTree::NextSibling(const void* item) const {
  Node* next = item ? NodeOf(item)->nextSibling : nullptr;
  return next ? ItemOf(next) : nullptr;
}

std::int32_t TMkTree::ChildCount(const void* item) const {
  std::int32_t n = 0;
  for (Node* child = NodeOf(item)->firstChild; child != nullptr; child = child->nextSibling) ++n;
  return n;
}

TMkTree::Node* TMkTree::PreOrderNext(const Node* node) const {
  if (node->firstChild != nullptr) return node->firstChild;
  while (node != &root_) {
    if (node->nextSibling != nullptr) return node->nextSibling;
    node = node->parent;
  }
  return nullptr;
}

TMkTree::Node* TMkTree::PreOrderPrev(const Node* node) const {
  if (node->prevSibling != nullptr) return Deepest(node->prevSibling);
  return node->parent == &root_ ? nullptr : node->parent;
}

void* TMkTree::Walk(bool fromEnd, const std::function<bool(void*)>& visit) const {
  if (root_.firstChild == nullptr) return nullptr;
  for (Node* node = fromEnd ? Deepest(root_.lastChild) : root_.firstChild; node != nullptr;
       node = fromEnd ? PreOrderPrev(node) : PreOrderNext(node)) {
    if (visit(ItemOf(node))) return ItemOf(node);
  }
  return nullptr;
}

void TMkTree::Clear() {
  // Children before their parent, without recursion: a deep tree cannot exhaust the stack.
  Node* node = root_.firstChild;
  while (node != nullptr) {
    if (node->firstChild != nullptr) {
      node = node->firstChild;
      continue;
    }
    Node* parent = node->parent;
    parent->firstChild = node->nextSibling;
    FreeItem(ItemOf(node));
    std::free(node);
    node = parent->firstChild ? parent->firstChild : (parent == &root_ ? nullptr : parent);
  }
  root_.firstChild = root_.lastChild = nullptr;
  count_ = 0;
}

void TMkTree::AssignItems(const TMkLinearContainer& source) {
  Clear();
  const auto* tree = dynamic_cast<const TMkTree*>(&source);
  if (tree == nullptr) {
    source.Iterate([this](void* item) { CopyItem(item, InsertLast()); });
    return;
  }
  // Pre-order walk of the source; copies[k] is the copy of the source node's ancestor at depth k.
  std::vector<Node*> copies{&root_};
  for (Node* from = tree->root_.firstChild; from != nullptr; from = tree->PreOrderNext(from)) {
    std::size_t depth = 0;
    for (Node* up = from->parent; up != &tree->root_; up = up->parent) ++depth;
    copies.resize(depth + 1);
    Node* copy = NewNode(copies[depth], false, true);
    CopyItem(ItemOf(from), ItemOf(copy));
    copies.push_back(copy);
  }
}

void TMkTree::WriteToFiler(TMkWriter& writer, TMkStreamOptions options, std::intptr_t arg) const {
  WritePreamble(writer, options, arg, kTreeMagic);
  auto& binary = static_cast<TMkBinaryWriter&>(writer);
  binary.WriteInteger(ChildCount(nullptr));
  auto* self = const_cast<TMkTree*>(this);
  for (Node* node = root_.firstChild; node != nullptr; node = PreOrderNext(node)) {
    binary.WriteInteger(ChildCount(ItemOf(node)));
    ItemHandler()->OnWriteItem()(self, &writer, ItemOf(node), arg);
  }
}

void TMkTree::ReadFromFiler(TMkReader& reader, TMkStreamOptions options, std::intptr_t arg) {
  ReadPreamble(reader, options, arg, kTreeMagic);
  Clear();
  auto& binary = static_cast<TMkBinaryReader&>(reader);
  // Each pending level: the parent and how many children it still expects. Kept on
  // the heap, so a deeply nested stream cannot exhaust the stack.
  struct Level {
    Node* parent;
    std::int32_t remaining;
  };
  std::vector<Level> levels{{&root_, binary.ReadInteger()}};
  while (!levels.empty()) {
    if (levels.back().remaining <= 0) {
      levels.pop_back();
      continue;
    }
    --levels.back().remaining;
    std::int32_t children = binary.ReadInteger();
    Node* node = NewNode(levels.back().parent, false, true);
    ItemHandler()->OnReadItem()(this, &reader, ItemOf(node), arg);
    levels.push_back({node, children});
  }
}

// ---- vector ----

TMkVector::~TMkVector() { Clear(); }

std::uint8_t* TMkVector::Slot(std::int32_t index) const {
  return items_ + static_cast<std::size_t>(index) * static_cast<std::size_t>(ItemHandler()->ItemSize());
}

void TMkVector::Resize(std::int32_t newCount) {
  std::int32_t wanted = capacity_;
  if (newCount > capacity_) {
    wanted = RoundCapacity(newCount);
  } else if (newCount < ShrinkLimit(count_)) {
    wanted = RoundCapacity(newCount);
  }
  if (wanted != capacity_) {
    items_ = static_cast<std::uint8_t*>(
        Reallocate(items_, static_cast<std::size_t>(wanted) * static_cast<std::size_t>(ItemHandler()->ItemSize())));
    capacity_ = wanted;
  }
}

void TMkVector::CheckIndex(std::int32_t index) const {
  if (index < 0 || index >= count_) RaiseError(IndexMessage(index));
}

void* TMkVector::InsertFirstUninitialised() {
  Resize(count_ + 1);
  std::memmove(Slot(1), Slot(0), static_cast<std::size_t>(count_) * static_cast<std::size_t>(ItemHandler()->ItemSize()));
  ++count_;
  return Slot(0);
}

void* TMkVector::InsertFirst() {
  void* item = InsertFirstUninitialised();
  InitItem(item);
  return item;
}

void* TMkVector::InsertLastUninitialised() {
  Resize(count_ + 1);
  return Slot(count_++);
}

void* TMkVector::InsertLast() {
  void* item = InsertLastUninitialised();
  InitItem(item);
  return item;
}

void* TMkVector::First() const { return ItemAt(0); }

void* TMkVector::Last() const {
  if (count_ == 0) RaiseError(IndexMessage(0));
  return Slot(count_ - 1);
}

void* TMkVector::ItemAt(std::int32_t index) const {
  CheckIndex(index);
  return Slot(index);
}

void TMkVector::Delete(std::int32_t index) {
  CheckIndex(index);
  FreeItem(Slot(index));
  std::memmove(Slot(index), Slot(index + 1),
               static_cast<std::size_t>(count_ - index - 1) * static_cast<std::size_t>(ItemHandler()->ItemSize()));
  Resize(count_ - 1);
  --count_;
}

void TMkVector::SetCount(std::int32_t n) {
  if (n < 0) RaiseError(IndexMessage(n));
  if (n > count_) {
    Resize(n);
    while (count_ < n) InitItem(Slot(count_++));
    return;
  }
  for (std::int32_t index = count_ - 1; index >= n; --index) FreeItem(Slot(index));
  Resize(n);
  count_ = n;
}

std::int32_t TMkVector::IndexOf(const void* item, TMkSameItems sameItems) const {
  if (sameItems == nullptr) RaiseError("SameItems not assigned");
  for (std::int32_t index = 0; index < count_; ++index) {
    if (sameItems(Slot(index), item)) return index;
  }
  return -1;
}

void TMkVector::Clear() { SetCount(0); }

void* TMkVector::Walk(bool fromEnd, const std::function<bool(void*)>& visit) const {
  for (std::int32_t i = 0; i < count_; ++i) {
    std::uint8_t* item = Slot(fromEnd ? count_ - 1 - i : i);
    if (visit(item)) return item;
  }
  return nullptr;
}

void TMkVector::AssignItems(const TMkLinearContainer& source) {
  const auto* vector = dynamic_cast<const TMkVector*>(&source);
  if (vector == nullptr) Clear();
  SetCount(source.Count());
  std::int32_t index = 0;
  source.Iterate([&](void* item) { CopyItem(item, Slot(index++)); });
}

void TMkVector::WriteToFiler(TMkWriter& writer, TMkStreamOptions options, std::intptr_t arg) const {
  WritePreamble(writer, options, arg, kVectorMagic);
  static_cast<TMkBinaryWriter&>(writer).WriteInteger(count_);
  auto* self = const_cast<TMkVector*>(this);
  for (std::int32_t index = 0; index < count_; ++index) {
    ItemHandler()->OnWriteItem()(self, &writer, Slot(index), arg);
  }
}

void TMkVector::ReadFromFiler(TMkReader& reader, TMkStreamOptions options, std::intptr_t arg) {
  ReadPreamble(reader, options, arg, kVectorMagic);
  Clear();
  std::int32_t n = static_cast<TMkBinaryReader&>(reader).ReadInteger();
  for (std::int32_t i = 0; i < n; ++i) ItemHandler()->OnReadItem()(this, &reader, InsertLast(), arg);
}
