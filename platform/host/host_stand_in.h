// The host toolbar as this program sees it, standing in for the host program: its
// settings store, kept in the user's registry under "Software\Quindle\PlugIns\"
// and the section name (so the settings of section PELLIX, the security record among
// them, lie under "Software\Quindle\PlugIns\PELLIX"), the readiness of that store, and
// the plug-in button, menu and settings window, which here are only recorded.
//
// The host is not installed until InstallHost: then creating its objects answers
// REGDB_E_CLASSNOTREG and the host's server keys are absent from HKEY_CLASSES_ROOT.
//
// Failures on purpose: the operation "HostSettingsStore" makes the next store calls
// (reads, writes and readiness polls) answer the planned error as an HRESULT. A
// restart of the host (RestartHost) disconnects every object made before it: their
// calls answer RPC_E_DISCONNECTED, as after a lost connection, until the caller
// creates new ones.
#pragma once

#include <string>
#include <vector>

#include "platform/host/host_toolbar.h"

namespace platform::host {

// Registers both classes for this process and writes their server keys (the
// LocalServer32 default value names this program's file). False when either could
// not be done; the host then stays uninstalled.
bool InstallHost();
// Revokes the classes and removes their keys; objects already made stay disconnected.
void UninstallHost();
bool HostInstalled();
void RestartHost();

// The next Count readiness polls answer false.
void SetHostNotReady(int count);

// One call into the host's objects: its slot and its arguments as text, in order (a
// VARIANT "nothing" as "<nothing>", out arguments left out).
struct HostCall {
  int Slot = 0;
  std::vector<std::u16string> Args;
};

// The calls since the host was installed or the record cleared, oldest first.
std::vector<HostCall> HostCalls();
void ClearHostCalls();

// Registry key of a section's settings under HKEY_CURRENT_USER.
std::string HostSettingsKey(const std::u16string& section);

}  // namespace platform::host
