// Thin typed descendants of the containers that bind a shared handler and add a
// few typed accessors.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "controls/htmllabel/mk_containers.h"

// A hash of wide strings under the given key handler.
class TMkWideStringHash : public TMkHash {
 public:
  explicit TMkWideStringHash(TMkKeyHandler* keyHandler);
  std::string ClassName() const override { return "TMkWideStringHash"; }
};

// A hash of cardinals; with a wide-string key handler it maps names to numbers.
class TMkCardinalHash : public TMkHash {
 public:
  explicit TMkCardinalHash(TMkKeyHandler* keyHandler);
  std::string ClassName() const override { return "TMkCardinalHash"; }
  // The cardinal stored under the key given as a buffer, or 0 when absent.
  std::uint32_t ValueByBuffer(const char16_t* buffer, std::int32_t length) const;
  std::uint32_t ValueOf(std::u16string_view name) const;
  // Adds or replaces the cardinal of a wide-string key.
  void SetValue(const std::u16string& name, std::uint32_t value);
};

class TMkWideStringVector : public TMkVector {
 public:
  TMkWideStringVector();
  std::string ClassName() const override { return "TMkWideStringVector"; }
  const std::u16string& StringAt(std::int32_t index) const;
  void Add(std::u16string_view text);

 protected:
  explicit TMkWideStringVector(TMkItemHandler* itemHandler) : TMkVector(itemHandler) {}
};

// Items of two wide strings, Name and Value, and a cardinal Data.
class TMkWideString2Vector : public TMkWideStringVector {
 public:
  TMkWideString2Vector();
  std::string ClassName() const override { return "TMkWideString2Vector"; }
  const std::u16string& ValueAt(std::int32_t index) const;

 protected:
  explicit TMkWideString2Vector(TMkItemHandler* itemHandler) : TMkWideStringVector(itemHandler) {}
};

class TMkWideString2CardinalVector : public TMkWideString2Vector {
 public:
  TMkWideString2CardinalVector();
  std::string ClassName() const override { return "TMkWideString2CardinalVector"; }
  std::int32_t IndexOfData(std::uint32_t data) const;
  void* FindData(std::uint32_t data) const;
  std::u16string ValueOfData(std::uint32_t data) const;
  // Appends an item and answers its index.
  std::int32_t Add(std::u16string_view name, std::u16string_view value, std::uint32_t data);
  const std::u16string& NameAt(std::int32_t index) const;
  std::uint32_t DataAt(std::int32_t index) const;
  void SetValueAt(std::int32_t index, std::u16string_view value);
};

// Object references; the creator's handler decides whether the vector owns them.
class TMkObjectVector : public TMkVector {
 public:
  explicit TMkObjectVector(TMkItemHandler* itemHandler) : TMkVector(itemHandler) {}
  std::string ClassName() const override { return "TMkObjectVector"; }
  void* GetObject(std::int32_t index) const;
  void AddObject(void* object);
};
