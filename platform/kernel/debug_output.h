// The system debug output. A debugger or log viewer would read it on the original
// platform; here the text goes to the file named by $PELLIX_DEBUG_OUTPUT (appended,
// one line per call; "-" means standard error), or nowhere when it is not set.
// Tests put a sink of their own in its place.
#pragma once

#include <functional>
#include <string_view>

void OutputDebugStringA(const char* outputString);

namespace platform {

// Replaces where the debug output goes for this process; an empty sink restores the
// default. Calls from any thread reach the sink one at a time.
void SetDebugOutputSink(std::function<void(std::string_view text)> sink);

}  // namespace platform
