// Where the in-process browser finds its pages: a map of addresses to HTML text in
// memory, or a folder of files in which an address's path names the file.
#pragma once

#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace platform::browser {

class PageSource {
 public:
  virtual ~PageSource() = default;
  // The page's HTML (UTF-8) for an address, or nothing when there is no such page.
  virtual std::optional<std::string> Load(const std::u16string& url) = 0;
  // The address the server sends a request on to (a redirect), or nothing.
  virtual std::optional<std::u16string> RedirectOf(const std::u16string&) { return std::nullopt; }
};

// Pages by their exact address (without the part from "#" on).
class PageMap : public PageSource {
 public:
  void Add(const std::u16string& url, std::string html);
  // A request for From is sent on to To (one step; To is not looked up again).
  void AddRedirect(const std::u16string& from, const std::u16string& to);
  std::optional<std::string> Load(const std::u16string& url) override;
  std::optional<std::u16string> RedirectOf(const std::u16string& url) override;

 private:
  std::mutex lock_;
  std::map<std::u16string, std::string> pages_;
  std::map<std::u16string, std::u16string> redirects_;
};

// Pages from a folder: the address's path (after the host, without query and
// fragment) names a file under the folder; "/" names "index.html". Paths that climb
// out of the folder ("..") find nothing.
class PageFolder : public PageSource {
 public:
  explicit PageFolder(std::filesystem::path folder) : folder_(std::move(folder)) {}
  std::optional<std::string> Load(const std::u16string& url) override;

 private:
  std::filesystem::path folder_;
};

// The address without its fragment.
std::u16string WithoutFragment(const std::u16string& url);

}  // namespace platform::browser
