#include "controls/htmllabel/mk_typed_containers.h"

#include <cstring>

#include "controls/htmllabel/mk_handlers.h"

namespace {

const std::uint8_t* Bytes(const void* p) { return static_cast<const std::uint8_t*>(p); }
std::uint8_t* Bytes(void* p) { return static_cast<std::uint8_t*>(p); }

bool SameData(const void* containerItem, const void* callerItem) {
  return MkCardinalAt(Bytes(containerItem) + kMkPairDataOffset) == MkCardinalAt(callerItem);
}

}  // namespace

TMkWideStringHash::TMkWideStringHash(TMkKeyHandler* keyHandler) : TMkHash(MkWideStringItemHandler(), keyHandler) {}

TMkCardinalHash::TMkCardinalHash(TMkKeyHandler* keyHandler) : TMkHash(MkCardinalItemHandler(), keyHandler) {}

std::uint32_t TMkCardinalHash::ValueByBuffer(const char16_t* buffer, std::int32_t length) const {
  const void* item = FindByBuffer(buffer, length);
  return item != nullptr ? MkCardinalAt(item) : 0;
}

std::uint32_t TMkCardinalHash::ValueOf(std::u16string_view name) const {
  return ValueByBuffer(name.data(), static_cast<std::int32_t>(name.size()));
}

void TMkCardinalHash::SetValue(const std::u16string& name, std::uint32_t value) {
  MkSetCardinalAt(FindOrInsert(MkStringKey(name).Ptr()), value);
}

TMkWideStringVector::TMkWideStringVector() : TMkVector(MkWideStringItemHandler()) {}

const std::u16string& TMkWideStringVector::StringAt(std::int32_t index) const { return MkStringAt(ItemAt(index)); }

void TMkWideStringVector::Add(std::u16string_view text) { MkSetStringAt(InsertLast(), text); }

TMkWideString2Vector::TMkWideString2Vector() : TMkWideStringVector(MkWideString2CardinalItemHandler()) {}

const std::u16string& TMkWideString2Vector::ValueAt(std::int32_t index) const {
  return MkStringAt(Bytes(ItemAt(index)) + kMkPairValueOffset);
}

TMkWideString2CardinalVector::TMkWideString2CardinalVector()
    : TMkWideString2Vector(MkWideString2CardinalItemHandler()) {}

std::int32_t TMkWideString2CardinalVector::IndexOfData(std::uint32_t data) const { return IndexOf(&data, SameData); }

void* TMkWideString2CardinalVector::FindData(std::uint32_t data) const { return LocateItem(&data, SameData); }

std::u16string TMkWideString2CardinalVector::ValueOfData(std::uint32_t data) const {
  const void* item = FindData(data);
  return item != nullptr ? MkStringAt(Bytes(item) + kMkPairValueOffset) : std::u16string();
}

std::int32_t TMkWideString2CardinalVector::Add(std::u16string_view name, std::u16string_view value,
                                              std::uint32_t data) {
  void* item = InsertLast();
  MkSetStringAt(Bytes(item) + kMkPairNameOffset, name);
  MkSetStringAt(Bytes(item) + kMkPairValueOffset, value);
  MkSetCardinalAt(Bytes(item) + kMkPairDataOffset, data);
  return Count() - 1;
}

const std::u16string& TMkWideString2CardinalVector::NameAt(std::int32_t index) const {
  return MkStringAt(Bytes(ItemAt(index)) + kMkPairNameOffset);
}

std::uint32_t TMkWideString2CardinalVector::DataAt(std::int32_t index) const {
  return MkCardinalAt(Bytes(ItemAt(index)) + kMkPairDataOffset);
}

void TMkWideString2CardinalVector::SetValueAt(std::int32_t index, std::u16string_view value) {
  MkSetStringAt(Bytes(ItemAt(index)) + kMkPairValueOffset, value);
}

void* TMkObjectVector::GetObject(std::int32_t index) const {
  void* object;
  std::memcpy(&object, ItemAt(index), sizeof object);
  return object;
}

void TMkObjectVector::AddObject(void* object) { std::memcpy(InsertLast(), &object, sizeof object); }
