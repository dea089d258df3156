// The HTML parser's name tables: tag names and attribute names to IDs (compared
// without case; an unknown name gives 0) and character-entity names to characters
// (compared with case). Filled on first use; the label's renderer adds its own tag.
#pragma once

#include <cstdint>
#include <string>

#include "controls/htmllabel/mk_typed_containers.h"

// IDs the parser and its plug-ins test.
inline constexpr std::uint32_t kMkTagMeta = 70;
inline constexpr std::uint32_t kMkTagPre = 81;
inline constexpr std::uint32_t kMkTagScript = 86;
inline constexpr std::uint32_t kMkTagStyle = 93;
inline constexpr std::uint32_t kMkTagTitle = 103;
inline constexpr std::uint32_t kMkAttrContent = 33;
inline constexpr std::uint32_t kMkAttrHttpEquiv = 55;
inline constexpr std::uint32_t kMkAttrLanguage = 60;
inline constexpr std::uint32_t kMkAttrType = 120;

TMkCardinalHash& MkHtmlTagTable();
TMkCardinalHash& MkHtmlAttributeTable();
TMkCardinalHash& MkHtmlEntityTable();

// Adds or replaces a tag name's ID.
void RegisterHtmlTag(const std::u16string& name, std::uint32_t id);
