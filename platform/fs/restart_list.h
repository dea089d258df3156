// The list of renames and deletions that wait for the next restart
// (MoveFileExA with MOVEFILE_DELAY_UNTIL_REBOOT). There is no system restart hook
// here: the list is kept in the file "pending-restart" under the state root, shared by
// every process of the user, and the program carries it out at its next start with
// RunPendingRestartOperations.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/base/types.h"

namespace platform {

// One waiting operation on native names; an empty target means deletion.
struct RestartOperation {
  std::string source;
  std::string target;
};

// Adds an operation at the end of the list; false with the last error set when the
// list cannot be rewritten.
bool ScheduleAtRestart(const RestartOperation& operation);

// The waiting operations in the order they were added. A damaged list (an entry cut
// short) yields the whole entries before the damage.
std::vector<RestartOperation> PendingRestartOperations();

// Carries out every waiting operation in order (a deletion removes a file, a link or
// an empty folder; a rename replaces its target) and empties the list. Answers the
// number of operations that succeeded.
int RunPendingRestartOperations();

}  // namespace platform
