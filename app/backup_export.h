// The plain-text backup: the bookmarks that hold a generated value and the whole
// password history, readable, in the wide string list's text format (UTF-16 with a
// byte-order mark, CR LF), as "pellix.txt" on the user's desktop. The file is made
// 0600 and replaces an old one only once it is complete.
#pragma once

#include <string>

#include "app/dialog_launcher.h"
#include "app/security_gate.h"
#include "controls/unicode/uni_classes.h"
#include "data/form_items.h"

inline constexpr char kBackupFileName[] = "pellix.txt";

// The backup's lines from the two lists; marked records are skipped.
void BuildBackupLines(const TBookmarkItems& bookmarks, const TPasswordItems& passwords, TUniStringList& lines);

// Behind the gate: loads both lists from the data folder, writes the file and reports
// it. The path written, or empty with Error telling why nothing was written.
std::string ExportBackupText(HWND owner, TSecurityGate& gate, std::string& error);

// The "backup" switch in a process of its own: asks, reads the security record, makes
// the cipher objects and exports. The process's exit code: 0 when written or when the
// user said no, 1 (with the reason on the error stream) when nothing could be written.
int RunBackup(TDialogLauncher& launcher);
