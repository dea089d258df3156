// Failures on purpose: a test tells the platform that the next N calls of a named
// operation (such as "CreateFileA") fail with a given error, so that retries and
// error paths run without real contention.
#pragma once

#include <string_view>

#include "platform/base/types.h"

namespace platform::faults {

void FailNext(std::string_view operation, int count, DWORD error);

// Called by the platform at the start of an operation: true when this call must
// fail, with the last error already set to the planned error.
bool ShouldFail(std::string_view operation);

// Calls of the operation still planned to fail.
int Pending(std::string_view operation);

void ClearAll();

}  // namespace platform::faults
