#include "controls/htmllabel/mk_handlers.h"

#include <cstring>
#include <memory>

#include "controls/htmllabel/mk_streams.h"
#include "controls/htmllabel/mk_utils.h"

namespace {

std::u16string* PointerAt(const void* at) {
  std::u16string* p;
  std::memcpy(&p, at, sizeof p);
  return p;
}

void SetPointerAt(void* at, std::u16string* p) { std::memcpy(at, &p, sizeof p); }

void InitStringAt(void* at) { SetPointerAt(at, nullptr); }

void FreeStringAt(void* at) {
  delete PointerAt(at);
  SetPointerAt(at, nullptr);
}

std::uint8_t* Bytes(void* p) { return static_cast<std::uint8_t*>(p); }
const std::uint8_t* Bytes(const void* p) { return static_cast<const std::uint8_t*>(p); }

TMkBinaryReader& Binary(TMkReader* reader) { return *static_cast<TMkBinaryReader*>(reader); }
TMkBinaryWriter& Binary(TMkWriter* writer) { return *static_cast<TMkBinaryWriter*>(writer); }

// The bytes of an item beyond the fields its handler knows (a descendant item type)
// travel raw after the known fields.
struct ItemShape {
  std::int32_t memorySize;   // bytes of the known fields in memory
  std::int32_t logicalSize;  // their size as the stream format records it
};
constexpr ItemShape kStringShape{static_cast<std::int32_t>(kMkStringFieldSize), 4};
constexpr ItemShape kPairShape{static_cast<std::int32_t>(2 * kMkStringFieldSize + 4), 12};
constexpr ItemShape kCardinalShape{4, 4};

std::int32_t ExtraBytes(TMkContainer* container, const ItemShape& shape) {
  return container->ItemHandler()->ItemSize() - shape.memorySize;
}

template <const ItemShape& Shape>
void WriteHeader(TMkContainer* container, TMkWriter* writer, std::intptr_t) {
  Binary(writer).WriteInteger(Shape.logicalSize + ExtraBytes(container, Shape));
}

template <const ItemShape& Shape>
void ReadHeader(TMkContainer* container, TMkReader* reader, std::intptr_t) {
  std::int32_t size = Binary(reader).ReadInteger();
  if (size != Shape.logicalSize + ExtraBytes(container, Shape)) {
    container->ItemHandler()->RaiseError("Invalid ItemSize (" + std::to_string(size) + ")");
  }
}

template <const ItemShape& Shape>
void WriteExtra(TMkContainer* container, TMkWriter* writer, const void* item) {
  std::int32_t extra = ExtraBytes(container, Shape);
  if (extra > 0) Binary(writer).WriteBuffer(Bytes(item) + Shape.memorySize, extra);
}

template <const ItemShape& Shape>
void ReadExtra(TMkContainer* container, TMkReader* reader, void* item) {
  std::int32_t extra = ExtraBytes(container, Shape);
  if (extra > 0) Binary(reader).ReadBuffer(Bytes(item) + Shape.memorySize, extra);
}

// ---- wide string items ----

void StringCopy(const void* source, void* destination) { MkSetStringAt(destination, MkStringAt(source)); }

void StringWrite(TMkContainer* container, TMkWriter* writer, const void* item, std::intptr_t) {
  Binary(writer).WriteWideString(MkStringAt(item));
  WriteExtra<kStringShape>(container, writer, item);
}

void StringRead(TMkContainer* container, TMkReader* reader, void* item, std::intptr_t) {
  MkSetStringAt(item, Binary(reader).ReadWideString());
  ReadExtra<kStringShape>(container, reader, item);
}

// ---- pair and cardinal items ----

void PairInit(void* item) {
  InitStringAt(Bytes(item) + kMkPairNameOffset);
  InitStringAt(Bytes(item) + kMkPairValueOffset);
  MkSetCardinalAt(Bytes(item) + kMkPairDataOffset, 0);
}

void PairFree(void* item) {
  FreeStringAt(Bytes(item) + kMkPairNameOffset);
  FreeStringAt(Bytes(item) + kMkPairValueOffset);
}

void PairCopy(const void* source, void* destination) {
  MkSetStringAt(Bytes(destination) + kMkPairNameOffset, MkStringAt(Bytes(source) + kMkPairNameOffset));
  MkSetStringAt(Bytes(destination) + kMkPairValueOffset, MkStringAt(Bytes(source) + kMkPairValueOffset));
  MkSetCardinalAt(Bytes(destination) + kMkPairDataOffset, MkCardinalAt(Bytes(source) + kMkPairDataOffset));
}

void PairWrite(TMkContainer* container, TMkWriter* writer, const void* item, std::intptr_t) {
  Binary(writer).WriteWideString(MkStringAt(Bytes(item) + kMkPairNameOffset));
  Binary(writer).WriteWideString(MkStringAt(Bytes(item) + kMkPairValueOffset));
  Binary(writer).WriteCardinal(MkCardinalAt(Bytes(item) + kMkPairDataOffset));
  WriteExtra<kPairShape>(container, writer, item);
}

void PairRead(TMkContainer* container, TMkReader* reader, void* item, std::intptr_t) {
  MkSetStringAt(Bytes(item) + kMkPairNameOffset, Binary(reader).ReadWideString());
  MkSetStringAt(Bytes(item) + kMkPairValueOffset, Binary(reader).ReadWideString());
  MkSetCardinalAt(Bytes(item) + kMkPairDataOffset, Binary(reader).ReadCardinal());
  ReadExtra<kPairShape>(container, reader, item);
}

// ---- cardinal items ----

void CardinalInit(void* item) { MkSetCardinalAt(item, 0); }
void CardinalCopy(const void* source, void* destination) { MkSetCardinalAt(destination, MkCardinalAt(source)); }

void CardinalWrite(TMkContainer* container, TMkWriter* writer, const void* item, std::intptr_t) {
  Binary(writer).WriteCardinal(MkCardinalAt(item));
  WriteExtra<kCardinalShape>(container, writer, item);
}

void CardinalRead(TMkContainer* container, TMkReader* reader, void* item, std::intptr_t) {
  MkSetCardinalAt(item, Binary(reader).ReadCardinal());
  ReadExtra<kCardinalShape>(container, reader, item);
}

// ---- keys ----

std::uint32_t CardinalKeyHash(const void* key) { return MkCardinalHash(MkCardinalAt(key)); }
bool CardinalSameKeys(const void* key, const void* stored) { return MkCardinalAt(key) == MkCardinalAt(stored); }

void CardinalReadKey(TMkContainer*, TMkReader* reader, void* key, std::intptr_t) {
  MkSetCardinalAt(key, Binary(reader).ReadCardinal());
}

void CardinalWriteKey(TMkContainer*, TMkWriter* writer, const void* key, std::intptr_t) {
  Binary(writer).WriteCardinal(MkCardinalAt(key));
}

std::int32_t Length(const std::u16string& s) { return static_cast<std::int32_t>(s.size()); }

std::uint32_t StringKeyHash(const void* key) {
  const std::u16string& s = MkStringAt(key);
  return MkStringHash(s.data(), Length(s));
}

std::uint32_t StringKeyHashNoCase(const void* key) {
  const std::u16string& s = MkStringAt(key);
  return MkStringHashNoCase(s.data(), Length(s));
}

bool StringSameKeys(const void* key, const void* stored) { return TextEquals(MkStringAt(key), MkStringAt(stored)); }

bool StringSameKeysNoCase(const void* key, const void* stored) {
  return TextEqualsNoCase(MkStringAt(key), MkStringAt(stored));
}

bool StringSameKeyBuf(const char16_t* buffer, std::int32_t length, const void* stored) {
  return BufferEqualsText(buffer, length, MkStringAt(stored));
}

bool StringSameKeyBufNoCase(const char16_t* buffer, std::int32_t length, const void* stored) {
  return BufferEqualsTextNoCase(buffer, length, MkStringAt(stored));
}

void StringStoreKey(const void* key, void* destination) {
  InitStringAt(destination);
  MkSetStringAt(destination, MkStringAt(key));
}

void StringStoreKeyBuf(const char16_t* buffer, std::int32_t length, void* destination) {
  InitStringAt(destination);
  MkSetStringAt(destination, std::u16string_view(buffer, static_cast<std::size_t>(length)));
}

void StringReadKey(TMkContainer*, TMkReader* reader, void* key, std::intptr_t) {
  MkSetStringAt(key, Binary(reader).ReadWideString());
}

void StringWriteKey(TMkContainer*, TMkWriter* writer, const void* key, std::intptr_t) {
  Binary(writer).WriteWideString(MkStringAt(key));
}

// Owns a shared handler until the program ends.
template <typename Handler>
struct Shared {
  explicit Shared(void (*configure)(Handler&)) : handler(new Handler) { configure(*handler); }
  // A container still alive at exit keeps its handler: a destructor must not raise.
  ~Shared() {
    if (handler->UseCount() == 0) handler->Free();
  }
  Handler* handler;
};

void ConfigureStringKeys(TMkKeyHandler& h) {
  h.SetKeySize(static_cast<std::int32_t>(kMkStringFieldSize));
  h.SetOnStoreKey(StringStoreKey);
  h.SetOnStoreKeyBuf(StringStoreKeyBuf);
  h.SetOnFreeKey(FreeStringAt);
  h.SetOnReadKey(StringReadKey);
  h.SetOnWriteKey(StringWriteKey);
}

}  // namespace

const std::u16string& MkStringAt(const void* at) {
  static const std::u16string empty;
  const std::u16string* p = PointerAt(at);
  return p != nullptr ? *p : empty;
}

void MkSetStringAt(void* at, std::u16string_view value) {
  std::u16string* p = PointerAt(at);
  if (value.empty()) {
    delete p;
    SetPointerAt(at, nullptr);
  } else if (p != nullptr) {
    p->assign(value);
  } else {
    SetPointerAt(at, new std::u16string(value));
  }
}

std::uint32_t MkCardinalAt(const void* at) {
  std::uint32_t value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

void MkSetCardinalAt(void* at, std::uint32_t value) { std::memcpy(at, &value, sizeof value); }

std::uint32_t MkCardinalHash(std::uint32_t h) {
  h += h << 12;
  h ^= h >> 22;
  h += h << 4;
  h ^= h >> 9;
  h += h << 10;
  h ^= h >> 2;
  h += h << 7;
  h ^= h >> 12;
  return h;
}

std::uint32_t MkStringHash(const char16_t* buffer, std::int32_t length) {
  std::uint32_t h = 0;
  for (std::int32_t i = 0; i < length; ++i) h = h * 31 + buffer[i];
  return h;
}

std::uint32_t MkStringHashNoCase(const char16_t* buffer, std::int32_t length) {
  std::uint32_t h = 0;
  for (std::int32_t i = 0; i < length; ++i) h = h * 31 + CharFoldCase(buffer[i]);
  return h;
}

TMkItemHandler* MkWideStringItemHandler() {
  static Shared<TMkItemHandler> shared([](TMkItemHandler& h) {
    h.SetItemSize(kStringShape.memorySize);
    h.SetOnInitItem(InitStringAt);
    h.SetOnFreeItem(FreeStringAt);
    h.SetOnCopyItem(StringCopy);
    h.SetOnReadItem(StringRead);
    h.SetOnWriteItem(StringWrite);
    h.SetOnReadHeader(ReadHeader<kStringShape>);
    h.SetOnWriteHeader(WriteHeader<kStringShape>);
  });
  return shared.handler;
}

TMkItemHandler* MkWideString2CardinalItemHandler() {
  static Shared<TMkItemHandler> shared([](TMkItemHandler& h) {
    h.SetItemSize(kPairShape.memorySize);
    h.SetOnInitItem(PairInit);
    h.SetOnFreeItem(PairFree);
    h.SetOnCopyItem(PairCopy);
    h.SetOnReadItem(PairRead);
    h.SetOnWriteItem(PairWrite);
    h.SetOnReadHeader(ReadHeader<kPairShape>);
    h.SetOnWriteHeader(WriteHeader<kPairShape>);
  });
  return shared.handler;
}

TMkItemHandler* MkCardinalItemHandler() {
  static Shared<TMkItemHandler> shared([](TMkItemHandler& h) {
    h.SetItemSize(kCardinalShape.memorySize);
    h.SetOnInitItem(CardinalInit);
    h.SetOnCopyItem(CardinalCopy);
    h.SetOnReadItem(CardinalRead);
    h.SetOnWriteItem(CardinalWrite);
    h.SetOnReadHeader(ReadHeader<kCardinalShape>);
    h.SetOnWriteHeader(WriteHeader<kCardinalShape>);
  });
  return shared.handler;
}

TMkKeyHandler* MkCardinalKeyHandler() {
  static Shared<TMkKeyHandler> shared([](TMkKeyHandler& h) {
    h.SetKeySize(4);
    h.SetOnHashKey(CardinalKeyHash);
    h.SetOnSameKeys(CardinalSameKeys);
    h.SetOnStoreKey(CardinalCopy);
    h.SetOnReadKey(CardinalReadKey);
    h.SetOnWriteKey(CardinalWriteKey);
  });
  return shared.handler;
}

TMkKeyHandler* MkWideStringCSKeyHandler() {
  static Shared<TMkKeyHandler> shared([](TMkKeyHandler& h) {
    ConfigureStringKeys(h);
    h.SetOnHashKey(StringKeyHash);
    h.SetOnHashKeyBuf(MkStringHash);
    h.SetOnSameKeys(StringSameKeys);
    h.SetOnSameKeyBuf(StringSameKeyBuf);
  });
  return shared.handler;
}

TMkKeyHandler* MkWideStringCIKeyHandler() {
  static Shared<TMkKeyHandler> shared([](TMkKeyHandler& h) {
    ConfigureStringKeys(h);
    h.SetOnHashKey(StringKeyHashNoCase);
    h.SetOnHashKeyBuf(MkStringHashNoCase);
    h.SetOnSameKeys(StringSameKeysNoCase);
    h.SetOnSameKeyBuf(StringSameKeyBufNoCase);
  });
  return shared.handler;
}
