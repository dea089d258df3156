#include "data/address_helpers.h"

#include <algorithm>

#include "platform/base/text.h"

namespace {

bool InRange(int start, std::u16string_view s) {
  return start >= 1 && static_cast<std::size_t>(start) <= s.size();
}

bool StartsAtIndex(std::u16string_view sub, std::u16string_view s, int index) {
  return !sub.empty() && s.substr(static_cast<std::size_t>(index - 1)).starts_with(sub);
}

// The segment's name without its extension, by the rule of file names: the text
// before the last "." unless a "\" or ":" comes after it.
std::u16string_view NameWithoutExtension(std::u16string_view segment) {
  std::size_t last = segment.find_last_of(u".\\:");
  if (last == std::u16string_view::npos || segment[last] != u'.') return segment;
  return segment.substr(0, last);
}

}  // namespace

bool WideStartsAt(std::u16string_view sub, const char16_t* p) {
  if (sub.empty() || p == nullptr) return false;
  for (char16_t c : sub) {
    if (*p == 0 || *p != c) return false;
    ++p;
  }
  return true;
}

int WidePosCharFrom(char16_t ch, std::u16string_view s, int start) {
  if (!InRange(start, s)) return 0;
  std::size_t hit = s.find(ch, static_cast<std::size_t>(start - 1));
  return hit == std::u16string_view::npos ? 0 : static_cast<int>(hit + 1);
}

int WidePosFrom(std::u16string_view sub, std::u16string_view s, int start) {
  if (!InRange(start, s)) return 0;
  for (int i = start; static_cast<std::size_t>(i) <= s.size(); ++i) {
    if (StartsAtIndex(sub, s, i)) return i;
  }
  return 0;
}

int WidePosBackFrom(std::u16string_view sub, std::u16string_view s, int start) {
  if (!InRange(start, s)) return 0;
  for (int i = start; i >= 1; --i) {
    if (StartsAtIndex(sub, s, i)) return i;
  }
  return 0;
}

void SplitToList(std::u16string_view text, char16_t sep, TWideStrings& list) {
  list.Clear();
  std::u16string rest(text);
  rest.push_back(sep);
  auto blank = [](char16_t c) { return c <= u' '; };
  do {
    int at = WidePosCharFrom(sep, rest, 1);
    if (at == 0) break;
    if (at > 1) list.Add(rest.substr(0, static_cast<std::size_t>(at - 1)));
    rest.erase(0, static_cast<std::size_t>(at));
  } while (!std::all_of(rest.begin(), rest.end(), blank));
}

void SplitToList(std::u16string_view text, char16_t sep, std::unique_ptr<TUniStringList>& list) {
  if (!list) list = std::make_unique<TUniStringList>();
  SplitToList(text, sep, static_cast<TWideStrings&>(*list));
}

std::u16string NormalizeUrl(std::u16string_view url) {
  std::u16string lower = platform::LowerCase(url);
  std::u16string_view s = lower;
  s = s.substr(0, s.find(u'?'));
  std::u16string result;
  if (std::size_t scheme = s.find(u"//"); scheme != std::u16string_view::npos) {
    result.append(s.substr(0, scheme + 2));
    s.remove_prefix(scheme + 2);
  }
  bool afterSlash = false;
  for (std::size_t slash; (slash = s.find(u'/')) != std::u16string_view::npos;) {
    result.append(s.substr(0, slash + 1));
    s.remove_prefix(slash + 1);
    afterSlash = true;
  }
  std::u16string_view name = NameWithoutExtension(s);
  if (!afterSlash || (name != u"default" && name != u"index")) result.append(s);
  return result;
}

std::u16string ExtractUrlDomain(std::u16string_view url) {
  std::size_t scheme = url.find(u"//");
  std::u16string_view host = scheme == std::u16string_view::npos ? url : url.substr(scheme + 2);
  return platform::LowerCase(host.substr(0, host.find(u'/')));
}
