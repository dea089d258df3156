#include "controls/htmllabel/mk_html_tags.h"

#include <algorithm>

#include "controls/htmllabel/mk_utils.h"

namespace {

bool WritesBare(const std::u16string& value, std::int32_t mode) {
  if (mode == 1) return TextAllInClass(value, CharIsNameChar);
  if (mode == 2) {
    return value[0] != u'"' && value[0] != u'\'' &&
           !TextAnyInClass(value, [](char16_t c) { return c <= 32 || c == u'>'; });
  }
  return false;
}

}  // namespace

bool TMkTag::KeepsAmpersand(const std::u16string&, std::size_t) const { return false; }

bool TMkHtmlTag::KeepsAmpersand(const std::u16string& value, std::size_t i) const {
  return i + 1 < value.size() && value[i + 1] == u'{';
}

bool TMkTag::AppendAttributeValue(const std::u16string& value, std::int32_t mode, std::u16string& s,
                                  std::int32_t& used) const {
  if (value.empty()) return false;
  ::AppendChar(s, used, u'=');
  if (WritesBare(value, mode)) {
    ::AppendText(value, s, used);
    return true;
  }
  auto doubles = std::count(value.begin(), value.end(), u'"');
  auto singles = std::count(value.begin(), value.end(), u'\'');
  if (doubles == 0 || singles == 0) {
    char16_t quote = doubles == 0 ? u'"' : u'\'';
    ::AppendChar(s, used, quote);
    ::AppendText(value, s, used);
    ::AppendChar(s, used, quote);
    return false;
  }
  char16_t quote = singles < doubles ? u'\'' : u'"';
  ::AppendChar(s, used, quote);
  for (std::size_t i = 0; i < value.size(); ++i) {
    char16_t c = value[i];
    if (c == quote) {
      ::AppendText(quote == u'"' ? u"&quot;" : u"&apos;", s, used);
    } else if (c == u'&' && !KeepsAmpersand(value, i)) {
      ::AppendText(u"&amp;", s, used);
    } else {
      ::AppendChar(s, used, c);
    }
  }
  ::AppendChar(s, used, quote);
  return false;
}
