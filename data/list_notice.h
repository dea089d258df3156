// Telling the user that a stored list could not be read. Such a list is never saved
// over the file it could not read, so changes to it are not kept; the user hears so
// once per file and run, with the backup to go back to. The application shell
// installs the receiver at start-up; until then only the debug log hears of it.
#pragma once

#include <string>

class TListNotice {
 public:
  virtual ~TListNotice() = default;
  // Shows Text to the user; called on the thread that loaded the list.
  virtual void ShowListNotice(const std::u16string& text) = 0;
};

// Not owned; the installer keeps it alive until it installs another or nullptr.
void InstallListNotice(TListNotice* notice);

// Logs the unreadable list file at Path and tells the user, once per path.
void ReportUnreadableList(const std::string& path);

// The notice's text for the list file at Path (its backup named when there is one).
std::u16string UnreadableListText(const std::string& path);
