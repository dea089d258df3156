#include "data/list_notice.h"

#include <atomic>
#include <mutex>
#include <set>

#include "data/data_items.h"
#include "platform/base/text.h"
#include "support/debug_log.h"
#include "support/files_folders.h"
#include "support/translator.h"

namespace {

std::atomic<TListNotice*> installed{nullptr};
std::mutex reportedLock;
std::set<std::string> reported;

std::u16string Substitute(std::u16string text, std::u16string_view marker, std::u16string_view value) {
  if (auto at = text.find(marker); at != std::u16string::npos) text.replace(at, marker.size(), value);
  return text;
}

}  // namespace

void InstallListNotice(TListNotice* notice) { installed = notice; }

std::u16string UnreadableListText(const std::string& path) {
  const std::string backup = BackupFileName(path);
  std::u16string text = Substitute(
      Translate("The list file %s could not be read. Changes to this list are not being kept."), u"%s",
      platform::AnsiToWide(path));
  if (IsExistingFile(backup)) {
    text += u" ";
    text += Substitute(Translate("The copy to go back to is %s."), u"%s", platform::AnsiToWide(backup));
  }
  return text;
}

void ReportUnreadableList(const std::string& path) {
  {
    std::lock_guard<std::mutex> hold(reportedLock);
    if (!reported.insert(path).second) return;
  }
  const std::u16string text = UnreadableListText(path);
  LogError(platform::WideToAnsi(text));
  if (TListNotice* notice = installed.load()) notice->ShowListNotice(text);
}
