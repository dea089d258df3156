// Which Windows the program runs on, fixed once at start-up, and TProcess: a running
// process described by its id (program file, parent, command line), and the start
// of new processes.
#pragma once

#include <memory>
#include <string>

#include "platform/base/types.h"

// Operating system ids; 3 (NT35) and 7 (WXPSP2) are never produced.
enum : BYTE { W95 = 0, W98 = 1, WME = 2, NT35 = 3, NT40 = 4, W2K = 5, WXP = 6, WXPSP2 = 7, WS03 = 8, VISTA = 9 };

// The id from the version query; WXP when the query fails.
BYTE GetOSId();

// Program-wide values set by InitOSVersion at start-up (it runs when the program
// loads); they do not change afterwards. Tests call InitOSVersion again after giving
// the platform another version.
extern BYTE OSId;
extern bool IsNT;
extern bool IsVista;
void InitOSVersion();

// Owns ProcessHandle and ThreadHandle from CreateForPid or Execute until destruction.
class TProcess {
 public:
  TProcess();  // Create: ShowWindow 1, both handles -1
  ~TProcess();
  TProcess(const TProcess&) = delete;
  TProcess& operator=(const TProcess&) = delete;

  static std::unique_ptr<TProcess> CreateForPid(DWORD pid);

  // Starts ExePath with Params; true on success, with the new process's id and handles.
  bool Execute();
  // The command line of process Pid, or the empty string.
  void GetCommandLine(std::string& commandLine) const;

  std::string ExeName;
  std::string ExePath;
  DWORD Pid = 0;
  DWORD ParentPid = 0;
  std::string Params;
  DWORD ShowWindow = 1;
  HANDLE ProcessHandle = -1;
  HANDLE ThreadHandle = -1;
};

// The full path of a process's program file, or the empty string.
std::string GetProcessImagePath(DWORD pid);

bool RunProgram(const std::string& exePath, const std::string& params, DWORD showWindow);
