#include "platform/kernel/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/base/errors.h"
#include "platform/base/faults.h"
#include "platform/base/text.h"
#include "platform/kernel/command_line.h"
#include "platform/kernel/waits.h"

extern char** environ;

namespace {

constexpr HANDLE kCurrentProcess = -1;
// Carries the command line from CreateProcessA to the new process, so that it and
// anyone who asks read back the line exactly as it was given.
constexpr const char kCommandLineVariable[] = "PELLIX_COMMAND_LINE";

class ProcessObject : public platform::Waitable {
 public:
  ProcessObject(DWORD pid, int pidfd, bool child) : pid_(pid), pidfd_(pidfd), child_(child) {}
  ~ProcessObject() override {
    // A child nobody waits for any more is reaped once it has ended, so that none
    // is left behind as a zombie.
    if (child_) {
      pid_t pid = static_cast<pid_t>(pid_);
      if (Ended()) {
        waitpid(pid, nullptr, WNOHANG);
      } else {
        std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
      }
    }
    if (pidfd_ >= 0) close(pidfd_);
  }

  DWORD pid() const { return pid_; }

  DWORD Wait(DWORD milliseconds) override {
    if (pidfd_ < 0) return WaitForSingleObject(kCurrentProcess, milliseconds);
    platform::Deadline deadline(milliseconds);
    for (;;) {
      DWORD left = deadline.Remaining();
      int timeout = deadline.infinite() ? -1 : static_cast<int>(std::min<DWORD>(left, INT_MAX));
      pollfd wait{pidfd_, POLLIN, 0};
      int ready = poll(&wait, 1, timeout);
      if (ready > 0) return WAIT_OBJECT_0;
      if (ready == 0 && deadline.Remaining() == 0) return WAIT_TIMEOUT;
      if (ready < 0 && errno != EINTR) {
        platform::SetLastErrorFromErrno();
        return WAIT_FAILED;
      }
    }
  }

  bool Ended() const {
    pollfd wait{pidfd_, POLLIN, 0};
    return pidfd_ >= 0 && poll(&wait, 1, 0) > 0;
  }

  BOOL ExitCode(DWORD* code) {
    if (!Ended()) {
      *code = STILL_ACTIVE;
      return TRUE;
    }
    if (!child_) {
      SetLastError(ERROR_NOT_SUPPORTED);
      return FALSE;
    }
    siginfo_t info{};
    if (waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) != 0) {
      platform::SetLastErrorFromErrno();
      return FALSE;
    }
    std::lock_guard guard(lock_);
    *code = info.si_code == CLD_EXITED ? static_cast<DWORD>(info.si_status)
            : terminateCode_             ? *terminateCode_
                                         : 128u + static_cast<DWORD>(info.si_status);
    return TRUE;
  }

  BOOL Terminate(UINT code) {
    if (pidfd_ < 0 || syscall(SYS_pidfd_send_signal, pidfd_, SIGKILL, nullptr, 0) != 0) {
      SetLastError(pidfd_ < 0 ? ERROR_ACCESS_DENIED : platform::ErrorFromErrno(errno));
      return FALSE;
    }
    std::lock_guard guard(lock_);
    terminateCode_ = code;
    return TRUE;
  }

 private:
  DWORD pid_;
  int pidfd_;
  bool child_;
  std::mutex lock_;
  std::optional<DWORD> terminateCode_;
};

// The first thread of a process this one started; it ends with its process.
class MainThreadObject : public platform::Waitable {
 public:
  explicit MainThreadObject(std::shared_ptr<ProcessObject> process) : process_(std::move(process)) {}
  DWORD Wait(DWORD milliseconds) override { return process_->Wait(milliseconds); }

 private:
  std::shared_ptr<ProcessObject> process_;
};

std::shared_ptr<ProcessObject> ProcessOf(HANDLE handle) {
  if (handle == kCurrentProcess) return std::make_shared<ProcessObject>(static_cast<DWORD>(getpid()), -1, false);
  return platform::HandleObjectAs<ProcessObject>(handle);
}

std::string ReadProcFile(DWORD pid, const char* name) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/" + name, std::ios::binary);
  try {
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  } catch (const std::ios_base::failure&) {
    // The process ended between the open and the read (ESRCH), which the stream
    // library throws: it reads as a process that is gone.
    return {};
  }
}

std::vector<std::string> SplitAtZeros(const std::string& text) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\0', start);
    if (end == std::string::npos) end = text.size();
    parts.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

// Fields of /proc/<pid>/stat after the program name, which may itself hold blanks.
std::vector<std::string> StatFields(DWORD pid) {
  std::string stat = ReadProcFile(pid, "stat");
  size_t close = stat.rfind(')');
  std::vector<std::string> fields;
  if (close == std::string::npos) return fields;
  std::istringstream rest(stat.substr(close + 1));
  for (std::string field; rest >> field;) fields.push_back(field);
  return fields;
}

// The command line of a process in the 8-bit code page; empty when it cannot be read.
std::string CommandLineOf(DWORD pid) {
  std::vector<std::string> arguments;
  for (const std::string& argument : SplitAtZeros(ReadProcFile(pid, "cmdline"))) {
    arguments.push_back(platform::Utf8ToAnsi(argument));
  }
  if (arguments.empty()) return {};
  std::string prefix = std::string(kCommandLineVariable) + "=";
  for (const std::string& variable : SplitAtZeros(ReadProcFile(pid, "environ"))) {
    if (variable.rfind(prefix, 0) != 0) continue;
    // A line inherited from a starter further up no longer matches the arguments.
    std::string given = platform::Utf8ToAnsi(variable.substr(prefix.size()));
    if (platform::SplitCommandLine(given) == arguments) return given;
  }
  return platform::JoinCommandLine(arguments);
}

// The program file of a process as UTF-8; empty with the last error set on failure.
std::string ImagePath(DWORD pid) {
  char buffer[PATH_MAX + 1];
  ssize_t length = readlink(("/proc/" + std::to_string(pid) + "/exe").c_str(), buffer, PATH_MAX);
  if (length <= 0) {
    SetLastError(errno == ENOENT ? ERROR_INVALID_HANDLE : platform::ErrorFromErrno(errno));
    return {};
  }
  return std::string(buffer, static_cast<size_t>(length));
}

std::vector<std::string> EnvironmentFor(const void* block, const std::string& commandLine) {
  std::vector<std::string> variables;
  if (block) {
    for (const char* entry = static_cast<const char*>(block); *entry; entry += std::strlen(entry) + 1) {
      variables.push_back(platform::AnsiToUtf8(entry));
    }
  } else {
    for (char** entry = environ; *entry; ++entry) variables.emplace_back(*entry);
  }
  std::string prefix = std::string(kCommandLineVariable) + "=";
  std::erase_if(variables, [&](const std::string& variable) { return variable.rfind(prefix, 0) == 0; });
  variables.push_back(prefix + platform::AnsiToUtf8(commandLine));
  return variables;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

DWORD SpawnError(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR: return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM: return ERROR_ACCESS_DENIED;
    case ENOEXEC: return ERROR_BAD_EXE_FORMAT;
    default: return platform::ErrorFromErrno(error);
  }
}

// Copies a path into a caller's buffer whose size counts characters with the zero.
BOOL PutPath(const std::string& path, char* name, DWORD* size) {
  if (!name || !size) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (*size <= path.size()) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(name, path.c_str(), path.size() + 1);
  *size = static_cast<DWORD>(path.size());
  return TRUE;
}

// Writes as much of the path as fits, always ending with a zero; answers the count.
DWORD PutTruncated(const std::string& path, char* name, DWORD size) {
  if (!name || size == 0) return 0;
  DWORD count = static_cast<DWORD>(std::min<size_t>(path.size(), size - 1));
  std::memcpy(name, path.data(), count);
  name[count] = 0;
  if (count < path.size()) SetLastError(ERROR_INSUFFICIENT_BUFFER);
  return count;
}

}  // namespace

HANDLE GetCurrentProcess() { return kCurrentProcess; }

DWORD GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }

const char* GetCommandLineA() {
  static const std::string line = CommandLineOf(static_cast<DWORD>(getpid()));
  return line.c_str();
}

HANDLE OpenProcess(DWORD /*access*/, BOOL /*inheritHandle*/, DWORD processId) {
  if (platform::faults::ShouldFail("OpenProcess")) return 0;
  int pidfd = processId == 0 ? -1 : static_cast<int>(syscall(SYS_pidfd_open, static_cast<pid_t>(processId), 0));
  if (pidfd < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return platform::OpenHandle(std::make_shared<ProcessObject>(processId, pidfd, false));
}

BOOL GetExitCodeProcess(HANDLE process, DWORD* exitCode) {
  auto object = ProcessOf(process);
  if (!object || !exitCode) return FALSE;
  return object->ExitCode(exitCode);
}

BOOL TerminateProcess(HANDLE process, UINT exitCode) {
  auto object = ProcessOf(process);
  return object ? object->Terminate(exitCode) : FALSE;
}

namespace {

struct EndRoutines {
  std::mutex lock;
  std::vector<void (*)()> routines;
  bool hooked = false;
  bool ran = false;
};

// Never freed: it is read while the process ends.
EndRoutines& TheEndRoutines() {
  static EndRoutines* routines = new EndRoutines;
  return *routines;
}

void RunEndRoutines() {
  EndRoutines& end = TheEndRoutines();
  std::vector<void (*)()> routines;
  {
    std::lock_guard guard(end.lock);
    if (end.ran) return;
    end.ran = true;
    routines.swap(end.routines);
  }
  for (auto routine = routines.rbegin(); routine != routines.rend(); ++routine) (*routine)();
}

}  // namespace

void ExitProcess(UINT exitCode) {
  RunEndRoutines();
  std::fflush(nullptr);
  std::_Exit(static_cast<int>(exitCode));
}

namespace platform {

void AtProcessEnd(void (*routine)()) {
  EndRoutines& end = TheEndRoutines();
  std::lock_guard guard(end.lock);
  if (!end.hooked) end.hooked = std::atexit(RunEndRoutines) == 0;
  if (std::find(end.routines.begin(), end.routines.end(), routine) == end.routines.end()) {
    end.routines.push_back(routine);
  }
}

}  // namespace platform

DWORD GetProcessId(HANDLE process) {
  auto object = ProcessOf(process);
  return object ? object->pid() : 0;
}

BOOL CreateProcessA(const char* applicationName, char* commandLine, const SECURITY_ATTRIBUTES* /*processSecurity*/,
                    const SECURITY_ATTRIBUTES* /*threadSecurity*/, BOOL inheritHandles, DWORD creationFlags,
                    void* environment, const char* currentDirectory, STARTUPINFOA* startupInfo,
                    PROCESS_INFORMATION* processInformation) {
  if (platform::faults::ShouldFail("CreateProcessA")) return FALSE;
  if ((!applicationName && !commandLine) || !startupInfo || !processInformation) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (inheritHandles || (creationFlags & (CREATE_SUSPENDED | DEBUG_PROCESS))) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  std::string line = commandLine ? commandLine : platform::QuoteArgument(applicationName);
  std::vector<std::string> arguments = platform::SplitCommandLine(line);
  if (arguments.empty() || (!applicationName && arguments[0].empty())) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  std::string program = platform::AnsiToUtf8(applicationName ? applicationName : arguments[0]);
  for (std::string& argument : arguments) argument = platform::AnsiToUtf8(argument);
  std::vector<std::string> variables = EnvironmentFor(environment, line);
  std::vector<char*> argv = Pointers(arguments);
  std::vector<char*> envp = Pointers(variables);

  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  short spawnFlags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  sigaddset(&defaults, SIGCHLD);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  if (creationFlags & CREATE_NEW_PROCESS_GROUP) {
    spawnFlags |= POSIX_SPAWN_SETPGROUP;
    posix_spawnattr_setpgroup(&attributes, 0);
  }
  posix_spawnattr_setflags(&attributes, spawnFlags);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  std::string folder = currentDirectory ? platform::AnsiToUtf8(currentDirectory) : std::string();
  if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  pid_t pid = 0;
  bool searchPath = program.find('/') == std::string::npos;
  int error = searchPath ? posix_spawnp(&pid, program.c_str(), &actions, &attributes, argv.data(), envp.data())
                         : posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (error != 0) {
    SetLastError(SpawnError(error));
    return FALSE;
  }
  int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  auto process = std::make_shared<ProcessObject>(static_cast<DWORD>(pid), pidfd, true);
  // The start returns a moment before the new program has its arguments in place;
  // wait for them (or its end), so that the process reads as started from here on.
  for (int tries = 0; tries < 10000 && ReadProcFile(static_cast<DWORD>(pid), "cmdline").empty() && !process->Ended();
       ++tries) {
    std::this_thread::sleep_for(std::chrono::microseconds(100));
  }
  processInformation->hProcess = platform::OpenHandle(process);
  processInformation->hThread = platform::OpenHandle(std::make_shared<MainThreadObject>(process));
  processInformation->dwProcessId = static_cast<DWORD>(pid);
  processInformation->dwThreadId = static_cast<DWORD>(pid);  // the first thread's id is the process id
  return TRUE;
}

BOOL QueryFullProcessImageNameA(HANDLE process, DWORD /*flags*/, char* name, DWORD* size) {
  if (platform::faults::ShouldFail("QueryFullProcessImageNameA")) return FALSE;
  auto object = ProcessOf(process);
  if (!object) return FALSE;
  std::string path = ImagePath(object->pid());
  if (path.empty()) return FALSE;
  std::string ansi;
  if (!platform::NativeToAnsiName(path, ansi)) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return FALSE;
  }
  return PutPath(ansi, name, size);
}

DWORD GetModuleFileNameExA(HANDLE process, HMODULE module, char* name, DWORD size) {
  if (platform::faults::ShouldFail("GetModuleFileNameExA")) return 0;
  auto object = ProcessOf(process);
  if (!object) return 0;
  if (module != 0) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  std::string path = ImagePath(object->pid());
  std::string ansi;
  if (path.empty()) return 0;
  if (!platform::NativeToAnsiName(path, ansi)) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return 0;
  }
  return PutTruncated(ansi, name, size);
}

DWORD GetModuleFileNameA(HMODULE module, char* name, DWORD size) {
  return GetModuleFileNameExA(kCurrentProcess, module, name, size);
}

NTSTATUS NtQueryInformationProcess(HANDLE process, PROCESSINFOCLASS infoClass, void* info, ULONG length,
                                   ULONG* returnLength) {
  if (platform::faults::ShouldFail("NtQueryInformationProcess")) return STATUS_ACCESS_DENIED;
  auto object = ProcessOf(process);
  if (!object) return STATUS_INVALID_HANDLE;
  DWORD pid = object->pid();
  if (infoClass == ProcessBasicInformation) {
    if (returnLength) *returnLength = sizeof(PROCESS_BASIC_INFORMATION);
    if (!info || length < sizeof(PROCESS_BASIC_INFORMATION)) return STATUS_INFO_LENGTH_MISMATCH;
    if (platform::ProcessStartTime(pid) == 0) return STATUS_ACCESS_DENIED;
    PROCESS_BASIC_INFORMATION basic{};
    basic.ExitStatus = object->Ended() ? 0 : static_cast<NTSTATUS>(STILL_ACTIVE);
    basic.UniqueProcessId = pid;
    basic.InheritedFromUniqueProcessId = platform::ProcessParentId(pid);
    std::memcpy(info, &basic, sizeof basic);
    return STATUS_SUCCESS;
  }
  if (infoClass == ProcessCommandLineInformation) {
    std::u16string text = platform::AnsiToWide(CommandLineOf(pid));
    size_t bytes = text.size() * sizeof(char16_t);
    if (bytes + sizeof(char16_t) > 0xFFFF) return STATUS_INFO_LENGTH_MISMATCH;
    ULONG needed = static_cast<ULONG>(sizeof(UNICODE_STRING) + bytes + sizeof(char16_t));
    if (returnLength) *returnLength = needed;
    if (!info || length < needed) return STATUS_INFO_LENGTH_MISMATCH;
    auto* header = static_cast<UNICODE_STRING*>(info);
    auto* buffer = reinterpret_cast<char16_t*>(header + 1);
    std::memcpy(buffer, text.c_str(), bytes + sizeof(char16_t));
    header->Length = static_cast<WORD>(bytes);
    header->MaximumLength = static_cast<WORD>(bytes + sizeof(char16_t));
    header->Buffer = buffer;
    return STATUS_SUCCESS;
  }
  return STATUS_INVALID_INFO_CLASS;
}

namespace platform {

std::uint64_t ProcessStartTime(DWORD processId) {
  std::vector<std::string> fields = StatFields(processId);
  // After the name: the state is field 3 of the file, the start time field 22. A
  // process that has ended but is not yet reaped counts as gone.
  if (fields.size() <= 19 || fields[0] == "Z" || fields[0] == "X") return 0;
  return std::strtoull(fields[19].c_str(), nullptr, 10);
}

DWORD ProcessParentId(DWORD processId) {
  std::vector<std::string> fields = StatFields(processId);
  return fields.size() > 1 ? static_cast<DWORD>(std::strtoul(fields[1].c_str(), nullptr, 10)) : 0;
}

}  // namespace platform
