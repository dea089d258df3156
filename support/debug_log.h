// The debug log: off unless the registry key "SOFTWARE\RD" exists, then each line goes
// to the debug output or, by WM_COPYDATA, to a viewer window. Lines carry a sequence
// number that every process of the desktop shares (a property of the desktop window)
// and a millisecond time stamp, so a viewer can merge them in order. A viewer may ask
// the writers to hold their lines back (the desktop property "RD2CACHELOG" = 1); each
// thread then queues its own lines until the next line after the hold ends.
// LogDebugMessage is a second, plainer channel that always writes to the debug output.
#pragma once

#include <string>

#include "platform/base/types.h"

void LogMessage(const std::string& text);
void LogError(const std::string& text);
// The running process's and its parent's id and command line.
void LogProcessInfo();
void WriteLog(int category, const std::string& text, bool withThread);
void LogDebugMessage(const std::string& text);

// Reads the settings from the registry; done once when the log is first used, again
// by each call (settings changed later need this or a restart).
void InitDebugLog();
// Delivers the queued lines of every thread, in the order the queues were made, when
// a hold is still in force; the program calls it before it ends.
void FinalizeDebugLog();
