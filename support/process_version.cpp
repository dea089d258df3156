#include "support/process_version.h"

#include <cstring>
#include <string_view>
#include <vector>

#include "platform/base/handles.h"
#include "platform/base/text.h"
#include "platform/kernel/modules.h"
#include "platform/kernel/process.h"
#include "platform/kernel/security.h"
#include "platform/kernel/toolhelp.h"
#include "platform/kernel/version.h"

BYTE OSId = WXP;
bool IsNT = true;
bool IsVista = false;

namespace {

constexpr DWORD kShow = 5;  // SW_SHOW

const bool kStarted = (InitOSVersion(), true);

bool IsOpen(HANDLE handle) { return handle != 0 && handle != INVALID_HANDLE_VALUE; }

// The file name after the path's last separator; '/' is this system's own.
std::string FileNamePart(const std::string& path) { return path.substr(path.find_last_of("\\:/") + 1); }

void RemoveAll(std::string& text, std::string_view part) {
  for (size_t at; (at = text.find(part)) != std::string::npos;) text.erase(at, part.size());
}

using QueryImageName = BOOL (*)(HANDLE, DWORD, char*, DWORD*);

QueryImageName BoundQueryImageName() {
  static const QueryImageName bound = reinterpret_cast<QueryImageName>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "QueryFullProcessImageNameA"));
  return bound;
}

std::string QueryInto(QueryImageName query, HANDLE process, DWORD capacity, bool& ok) {
  std::vector<char> buffer(capacity + 1, 0);
  DWORD size = capacity;
  ok = query(process, 0, buffer.data(), &size) != FALSE;
  return ok ? std::string(buffer.data(), size) : std::string();
}

}  // namespace

BYTE GetOSId() {
  OSVERSIONINFOEXA info{};
  info.dwOSVersionInfoSize = sizeof info;
  if (!GetVersionExA(&info)) return WXP;
  if (info.dwPlatformId == VER_PLATFORM_WIN32_NT) {
    if (info.dwMajorVersion < 5) return NT40;
    if (info.dwMajorVersion == 5) {
      if (info.dwMinorVersion == 0) return W2K;
      return info.wProductType == VER_NT_WORKSTATION ? WXP : WS03;
    }
    return VISTA;
  }
  if (info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS && info.dwMajorVersion == 4) {
    if (info.dwMinorVersion == 10) return W98;
    if (info.dwMinorVersion == 90) return WME;
  }
  return W95;
}

void InitOSVersion() {
  OSId = GetOSId();
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  IsNT = GetVersionExA(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT;
  IsVista = OSId == VISTA;
}

TProcess::TProcess() = default;  // ShowWindow 1 is SW_SHOWNORMAL

TProcess::~TProcess() {
  if (IsOpen(ProcessHandle)) CloseHandle(ProcessHandle);
  if (IsOpen(ThreadHandle)) CloseHandle(ThreadHandle);
}

std::unique_ptr<TProcess> TProcess::CreateForPid(DWORD pid) {
  auto process = std::make_unique<TProcess>();
  process->Pid = pid;
  if (HANDLE handle = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid)) {
    PROCESS_BASIC_INFORMATION basic{};
    ULONG length = 0;
    if (NtQueryInformationProcess(handle, ProcessBasicInformation, &basic, sizeof basic, &length) == STATUS_SUCCESS) {
      process->ParentPid = static_cast<DWORD>(basic.InheritedFromUniqueProcessId);
    }
    CloseHandle(handle);
  }
  process->ExePath = GetProcessImagePath(pid);
  process->ExeName = FileNamePart(process->ExePath);
  process->ShowWindow = kShow;
  process->ProcessHandle = 0;
  for (DWORD access : {SYNCHRONIZE | PROCESS_QUERY_INFORMATION, SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION,
                       SYNCHRONIZE}) {
    process->ProcessHandle = OpenProcess(access, FALSE, pid);
    if (process->ProcessHandle) break;
  }
  process->ThreadHandle = 0;
  return process;
}

bool TProcess::Execute() {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = LOWORD(ShowWindow);
  std::string line = !ExePath.empty() && ExePath[0] == '"' ? ExePath : "\"" + ExePath + "\"";
  if (!Params.empty()) line += " " + Params;
  PROCESS_INFORMATION started{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NEW_PROCESS_GROUP | NORMAL_PRIORITY_CLASS,
                      nullptr, nullptr, &startup, &started)) {
    return false;
  }
  // Handles of an earlier start are not lost.
  if (IsOpen(ProcessHandle)) CloseHandle(ProcessHandle);
  if (IsOpen(ThreadHandle)) CloseHandle(ThreadHandle);
  ProcessHandle = started.hProcess;
  ThreadHandle = started.hThread;
  Pid = started.dwProcessId;
  return true;
}

// The platform hands out another process's command line through the process
// information query, so no memory of the process is read.
void TProcess::GetCommandLine(std::string& commandLine) const {
  commandLine.clear();
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, Pid);
  if (!process) return;
  using Query = NTSTATUS (*)(HANDLE, PROCESSINFOCLASS, void*, ULONG, ULONG*);
  auto query = reinterpret_cast<Query>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess"));
  ULONG needed = 0;
  if (query && query(process, ProcessCommandLineInformation, nullptr, 0, &needed) == STATUS_INFO_LENGTH_MISMATCH) {
    std::vector<BYTE> buffer(needed);
    if (query(process, ProcessCommandLineInformation, buffer.data(), needed, &needed) == STATUS_SUCCESS) {
      UNICODE_STRING text;
      std::memcpy(&text, buffer.data(), sizeof text);
      commandLine = platform::WideToAnsi(std::u16string_view(text.Buffer, text.Length / sizeof(char16_t)));
    }
  }
  CloseHandle(process);
}

std::string GetProcessImagePath(DWORD pid) {
  std::string answer;
  if (IsVista) {
    if (QueryImageName query = BoundQueryImageName()) {
      if (HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid)) {
        bool ok = false;
        answer = QueryInto(query, process, 255, ok);
        // A name too long for the first buffer is kept from a second try, and the
        // module query below may still replace it.
        if (ok) {
          CloseHandle(process);
          return answer;
        }
        answer = QueryInto(query, process, 260, ok);
        CloseHandle(process);
      }
    }
  }
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
  if (!process) return answer;
  char buffer[260];
  DWORD length = GetModuleFileNameExA(process, 0, buffer, sizeof buffer);
  if (length != 0) answer.assign(buffer, length);
  CloseHandle(process);
  if (answer.empty()) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
    if (snapshot != INVALID_HANDLE_VALUE) {
      MODULEENTRY32 module{};
      module.dwSize = sizeof module;
      if (Module32First(snapshot, &module)) {
        answer.assign(module.szExePath, strnlen(module.szExePath, sizeof module.szExePath));
        RemoveAll(answer, "\\??\\");
      }
      CloseHandle(snapshot);
    }
  }
  return answer;
}

bool RunProgram(const std::string& exePath, const std::string& params, DWORD showWindow) {
  TProcess process;
  process.ExePath = exePath;
  process.Params = params;
  process.ShowWindow = showWindow;
  return process.Execute();
}
