// The program's start: one job for a job switch, or one running instance per user. A
// second instance hands its request to the first by a posted "PellixMessage" and ends;
// the first prepares the data layer and the hidden main window and runs the message
// loop until the program ends.
#pragma once

#include <string>
#include <vector>

#include "app/dialog_launcher.h"

inline constexpr char kRunMutex[] = "PellixRunMtx";

// Flags read once by the main window's creation.
extern bool PlainStart;
extern bool LogonStart;

// Arguments after the program's name; the answer is the process's exit code.
int StartApplication(const std::vector<std::string>& arguments, TDialogLauncher& launcher);

// True when the plug-in's interface is registered and this program (compared by its
// short path, without case) is the registered local server of the plug-in object.
bool IsComServerRegistered();
// True when the host toolbar's class has an in-process server.
bool IsInprocServerRegistered();

// Sets the shutdown event for two seconds, long enough for a running instance to see it.
void SignalStop();
