// Tag objects: a tag is a vector of attribute records (Name, Value, ID) with the
// tag's name, ID and type. One class per tag family; they differ in how an
// attribute value is written back as text.
#pragma once

#include <cstdint>
#include <string>

#include "controls/htmllabel/mk_typed_containers.h"

inline constexpr std::uint8_t kMkStartTag = 0;
inline constexpr std::uint8_t kMkEndTag = 1;
inline constexpr std::uint8_t kMkEmptyElementTag = 2;  // written with "/>"

class TMkTag : public TMkWideString2CardinalVector {
 public:
  std::string ClassName() const override { return "TMkTag"; }
  std::u16string Name;
  std::uint32_t ID = 0;
  std::uint8_t TagType = kMkStartTag;

  // The value of the attribute with that ID; empty when absent.
  std::u16string AttributeValue(std::uint32_t id) const { return ValueOfData(id); }

  // Appends "=" and the value to a string builder (mk_utils.h): bare when mode 1 and
  // the value is all name characters, or mode 2 and it holds no white space or ">"
  // and starts with no quote; quoted otherwise. An empty value appends nothing.
  // Answers whether the value was written bare.
  bool AppendAttributeValue(const std::u16string& value, std::int32_t mode, std::u16string& s,
                            std::int32_t& used) const;

 protected:
  // Whether an "&" at index i stays as written in an escaped quoted value.
  virtual bool KeepsAmpersand(const std::u16string& value, std::size_t i) const;
};

class TMkHtmlTag : public TMkTag {
 public:
  std::string ClassName() const override { return "TMkHtmlTag"; }

 protected:
  // "&{" stays: script entities of old browsers.
  bool KeepsAmpersand(const std::u16string& value, std::size_t i) const override;
};

class TMkCustomTag : public TMkTag {
 public:
  std::string ClassName() const override { return "TMkCustomTag"; }
};

class TMkSsiTag : public TMkTag {
 public:
  std::string ClassName() const override { return "TMkSsiTag"; }
};
