#include "platform/browser/page_source.h"

#include <fstream>
#include <sstream>

#include "platform/base/text.h"

namespace platform::browser {

std::u16string WithoutFragment(const std::u16string& url) { return url.substr(0, url.find(u'#')); }

void PageMap::Add(const std::u16string& url, std::string html) {
  std::lock_guard guard(lock_);
  pages_[WithoutFragment(url)] = std::move(html);
}

std::optional<std::string> PageMap::Load(const std::u16string& url) {
  std::lock_guard guard(lock_);
  auto found = pages_.find(WithoutFragment(url));
  if (found == pages_.end()) return std::nullopt;
  return found->second;
}

void PageMap::AddRedirect(const std::u16string& from, const std::u16string& to) {
  std::lock_guard guard(lock_);
  redirects_[WithoutFragment(from)] = to;
}

std::optional<std::u16string> PageMap::RedirectOf(const std::u16string& url) {
  std::lock_guard guard(lock_);
  auto found = redirects_.find(WithoutFragment(url));
  if (found == redirects_.end()) return std::nullopt;
  return found->second;
}

std::optional<std::string> PageFolder::Load(const std::u16string& url) {
  std::u16string address = WithoutFragment(url);
  address = address.substr(0, address.find(u'?'));
  std::size_t scheme = address.find(u"://");
  std::size_t pathStart = address.find(u'/', scheme == std::u16string::npos ? 0 : scheme + 3);
  std::u16string path = pathStart == std::u16string::npos ? u"/" : address.substr(pathStart);
  if (path.back() == u'/') path += u"index.html";
  std::filesystem::path relative = std::filesystem::path(WideToUtf8(path.substr(1))).lexically_normal();
  if (relative.empty() || relative.is_absolute() || *relative.begin() == "..") return std::nullopt;
  std::ifstream file(folder_ / relative, std::ios::binary);
  if (!file) return std::nullopt;
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace platform::browser
