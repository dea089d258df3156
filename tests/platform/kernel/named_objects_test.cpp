#include "platform/kernel/named_objects.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "common/test_env.h"
#include "platform/base/errors.h"
#include "platform/kernel/critical_section.h"
#include "platform/kernel/fresh_home.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/process.h"
#include "platform/kernel/registry.h"
#include "platform/kernel/security.h"
#include "platform/kernel/threads.h"

namespace {

constexpr DWORD kLong = 20000;  // a bound for waits that must succeed; never reached when all is well

struct Handle {
  explicit Handle(HANDLE value) : value(value) {}
  ~Handle() {
    if (value) CloseHandle(value);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE value;
};

// Child roles. Each tells the parent by an event that it has reached its point.
const bool kHoldMutex = pellix_test::RegisterChildRole("hold-mutex", [](const std::vector<std::string>& args) {
  // args: mutex name, ready event, release event ("" to hold until killed)
  Handle mutex(CreateMutexA(nullptr, FALSE, args.at(0).c_str()));
  Handle ready(OpenEventA(EVENT_ALL_ACCESS, FALSE, args.at(1).c_str()));
  if (!mutex.value || !ready.value || WaitForSingleObject(mutex.value, 0) != WAIT_OBJECT_0) return 2;
  SetEvent(ready.value);
  if (args.at(2).empty()) {
    for (;;) pause();
  }
  Handle release(OpenEventA(EVENT_ALL_ACCESS, FALSE, args.at(2).c_str()));
  if (!release.value || WaitForSingleObject(release.value, kLong) != WAIT_OBJECT_0) return 3;
  return ReleaseMutex(mutex.value) ? 0 : 4;
});

const bool kWaitEvent = pellix_test::RegisterChildRole("wait-event", [](const std::vector<std::string>& args) {
  Handle event(OpenEventA(EVENT_ALL_ACCESS, FALSE, args.at(0).c_str()));
  Handle ready(OpenEventA(EVENT_ALL_ACCESS, FALSE, args.at(1).c_str()));
  if (!event.value || !ready.value) return 2;
  SetEvent(ready.value);
  return WaitForSingleObject(event.value, kLong) == WAIT_OBJECT_0 ? 0 : 1;
});

const bool kOpenObjects = pellix_test::RegisterChildRole("open-objects", [](const std::vector<std::string>& args) {
  Handle mutex(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, args.at(0).c_str()));
  Handle event(OpenEventA(EVENT_ALL_ACCESS, FALSE, args.at(1).c_str()));
  if (!mutex.value || !event.value) return 1;
  return WaitForSingleObject(mutex.value, 0) == WAIT_OBJECT_0 && ReleaseMutex(mutex.value) ? 0 : 3;
});

const bool kSetAndDie = pellix_test::RegisterChildRole("set-and-die", [](const std::vector<std::string>& args) {
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, args.at(0).c_str());
  if (!event) return 2;
  SetEvent(event);
  kill(getpid(), SIGKILL);  // ends without closing anything
  return 3;
});

// Makes objects, then ends: by ExitProcess with code 3 ("exit"), or by returning with a
// handle never closed ("return").
const bool kEndWithObjects = pellix_test::RegisterChildRole("end-with-objects", [](const std::vector<std::string>& args) {
  HANDLE mutex = CreateMutexA(nullptr, TRUE, "PellixRunMtx");
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, "RE4Stop");
  if (!mutex || !event) return 2;
  if (args.at(0) == "exit") ExitProcess(3);
  return 0;
});

using NamedObjects = FreshHome;

// Sets (or, with null, removes) an environment variable for the life of the object.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) {
    const char* previous = std::getenv(name);
    if (previous) previous_ = previous;
    had_ = previous != nullptr;
    value ? setenv(name, value, 1) : unsetenv(name);
  }
  ~ScopedVariable() { had_ ? setenv(name_, previous_.c_str(), 1) : unsetenv(name_); }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  const char* name_;
  std::string previous_;
  bool had_ = false;
};

std::vector<std::string> FilesIn(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) names.push_back(entry.path().filename());
  return names;
}

// A process that ends, at once or by returning from main, takes its objects with it;
// objects that another process still holds stay.
TEST_F(NamedObjects, AnEndingProcessRemovesItsObjects) {
  EXPECT_EQ(pellix_test::RunChild("end-with-objects", {"exit"}), 3);
  EXPECT_EQ(pellix_test::RunChild("end-with-objects", {"return"}), 0);
  EXPECT_FALSE(std::filesystem::exists(platform::NamedObjectFolder())) << testing::PrintToString(FilesIn(platform::NamedObjectFolder()));
  Handle kept(CreateEventA(nullptr, TRUE, FALSE, "RE4Stop"));
  EXPECT_EQ(pellix_test::RunChild("end-with-objects", {"exit"}), 3);
  EXPECT_TRUE(platform::NamedObjectExists("RE4Stop"));
  EXPECT_FALSE(platform::NamedObjectExists("PellixRunMtx"));
  EXPECT_EQ(FilesIn(platform::NamedObjectFolder()).size(), 1u);
}

// What a killed process left is removed by the sweep; objects alive stay.
TEST_F(NamedObjects, TheSweepRemovesWhatAKilledProcessLeft) {
  Handle alive(CreateMutexA(nullptr, FALSE, "alive"));
  EXPECT_EQ(pellix_test::RunChild("set-and-die", {"RE4Stop"}), 128 + SIGKILL);
  ASSERT_TRUE(std::filesystem::exists(platform::NamedObjectPath("RE4Stop")));
  pellix_test::WriteBytes(platform::NamedObjectFolder() / "o.cut-short", "");
  platform::RemoveStaleNamedObjects();
  EXPECT_EQ(FilesIn(platform::NamedObjectFolder()), std::vector<std::string>{platform::NamedObjectPath("alive").filename()});
  EXPECT_EQ(WaitForSingleObject(alive.value, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(ReleaseMutex(alive.value));
}

// Another user could have made an object first, or the folder, or made them open to
// others: any of these is refused with ERROR_ACCESS_DENIED and left as it is.
TEST_F(NamedObjects, AnObjectOrFolderThatIsNotTheUsersOwnIsRefused) {
  constexpr uid_t kOtherUser = 4242;
  ScopedVariable noRuntime("XDG_RUNTIME_DIR", nullptr);
  struct Case {
    const char* what;
    std::function<bool(const std::filesystem::path& folder, const std::filesystem::path& object)> plant;
  };
  const Case cases[] = {
      {"object of another user",
       [](const auto&, const auto& object) {
         pellix_test::WriteBytes(object, std::string(4096, 'x'));
         return ::chown(object.c_str(), kOtherUser, kOtherUser) == 0;
       }},
      {"object that is a link",
       [](const auto& folder, const auto& object) {
         pellix_test::WriteBytes(folder.parent_path() / "elsewhere", std::string(4096, 'x'));
         std::filesystem::create_symlink(folder.parent_path() / "elsewhere", object);
         return true;
       }},
      {"folder of another user",
       [](const auto& folder, const auto&) { return ::chown(folder.c_str(), kOtherUser, kOtherUser) == 0; }},
      {"folder open to others", [](const auto& folder, const auto&) { return ::chmod(folder.c_str(), 0777) == 0; }},
  };
  for (const Case& c : cases) {
    platform::registry::CloseDatabase();
    pellix_test::TempDir home;
    setenv("PELLIX_HOME", home.path().c_str(), 1);
    const std::filesystem::path folder = platform::NamedObjectFolder();
    const std::filesystem::path object = platform::NamedObjectPath("PellixRunMtx");
    std::filesystem::create_directory(folder);
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
    if (!c.plant(folder, object)) {
      std::printf("skipped (needs root): %s\n", c.what);
      continue;
    }
    const std::string planted = pellix_test::ReadBytes(object);
    SetLastError(0);
    EXPECT_EQ(CreateMutexA(nullptr, FALSE, "PellixRunMtx"), 0) << c.what;
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED) << c.what;
    EXPECT_EQ(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, "PellixRunMtx"), 0) << c.what;
    EXPECT_FALSE(platform::NamedObjectExists("PellixRunMtx")) << c.what;
    platform::RemoveStaleNamedObjects();
    EXPECT_EQ(pellix_test::ReadBytes(object), planted) << c.what;
    ::chown(folder.c_str(), geteuid(), getegid());
  }
}

// The user's runtime folder holds the objects when it is private; one that others may
// enter is passed over for the state root.
TEST_F(NamedObjects, ObjectsLiveInAPrivateRuntimeFolder) {
  pellix_test::TempDir runtime;
  ScopedVariable inRuntime("XDG_RUNTIME_DIR", runtime.path().c_str());
  EXPECT_EQ(platform::NamedObjectFolder().parent_path(), runtime.path());
  {
    Handle mutex(CreateMutexA(nullptr, FALSE, "PellixRunMtx"));
    EXPECT_TRUE(std::filesystem::exists(platform::NamedObjectPath("PellixRunMtx")));
  }
  EXPECT_TRUE(std::filesystem::is_empty(runtime.path())) << "the last object takes its folder with it";
  std::filesystem::permissions(runtime.path(), std::filesystem::perms::all);
  EXPECT_EQ(platform::NamedObjectFolder().parent_path(), home());
}

TEST_F(NamedObjects, MutexHeldByALiveChildIsNotAcquired) {
  Handle ready(CreateEventA(nullptr, TRUE, FALSE, "ready"));
  Handle release(CreateEventA(nullptr, TRUE, FALSE, "release"));
  int child = pellix_test::StartChild("hold-mutex", {"PellixRunMtx", "ready", "release"});
  ASSERT_EQ(WaitForSingleObject(ready.value, kLong), WAIT_OBJECT_0);
  Handle mutex(CreateMutexA(nullptr, FALSE, "PellixRunMtx"));
  ASSERT_NE(mutex.value, 0);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(WaitForSingleObject(mutex.value, 0), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(mutex.value, 30), WAIT_TIMEOUT);
  SetEvent(release.value);
  EXPECT_EQ(pellix_test::WaitChild(child), 0);
  EXPECT_EQ(WaitForSingleObject(mutex.value, kLong), WAIT_OBJECT_0);
  EXPECT_TRUE(ReleaseMutex(mutex.value));
}

TEST_F(NamedObjects, MutexOfAKilledOwnerIsAcquiredAsAbandoned) {
  Handle ready(CreateEventA(nullptr, TRUE, FALSE, "ready"));
  int child = pellix_test::StartChild("hold-mutex", {"InitLang_SetLangID_PX", "ready", ""});
  ASSERT_EQ(WaitForSingleObject(ready.value, kLong), WAIT_OBJECT_0);
  Handle mutex(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, "InitLang_SetLangID_PX"));
  ASSERT_NE(mutex.value, 0);
  EXPECT_EQ(WaitForSingleObject(mutex.value, 0), WAIT_TIMEOUT);
  kill(child, SIGKILL);
  EXPECT_EQ(pellix_test::WaitChild(child), 128 + SIGKILL);
  EXPECT_EQ(WaitForSingleObject(mutex.value, kLong), WAIT_ABANDONED);
  // Now owned, and re-entered by the owner; the next owner finds it clean.
  EXPECT_EQ(WaitForSingleObject(mutex.value, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(ReleaseMutex(mutex.value));
  EXPECT_TRUE(ReleaseMutex(mutex.value));
  EXPECT_EQ(WaitForSingleObject(mutex.value, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(ReleaseMutex(mutex.value));
}

TEST_F(NamedObjects, EventSetInOneProcessWakesAWaiterInAnother) {
  Handle stop(CreateEventA(nullptr, TRUE, FALSE, "RE4Shutdown_PELLIX"));
  Handle ready(CreateEventA(nullptr, TRUE, FALSE, "ready"));
  int child = pellix_test::StartChild("wait-event", {"RE4Shutdown_PELLIX", "ready"});
  ASSERT_EQ(WaitForSingleObject(ready.value, kLong), WAIT_OBJECT_0);
  EXPECT_TRUE(SetEvent(stop.value));
  EXPECT_EQ(pellix_test::WaitChild(child), 0);
  // Manual reset: it stays set until reset.
  EXPECT_EQ(WaitForSingleObject(stop.value, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(ResetEvent(stop.value));
  EXPECT_EQ(WaitForSingleObject(stop.value, 0), WAIT_TIMEOUT);
}

TEST_F(NamedObjects, ObjectsOpenToAnotherProcessOfTheUserButStayPrivate) {
  // World access asked for: recorded, never applied.
  char world[] = "Everyone";
  EXPLICIT_ACCESS_A access;
  BuildExplicitAccessWithNameA(&access, world, MUTEX_ALL_ACCESS, GRANT_ACCESS, SUB_CONTAINERS_AND_OBJECTS_INHERIT);
  PACL acl = nullptr;
  ASSERT_EQ(SetEntriesInAclA(1, &access, nullptr, &acl), ERROR_SUCCESS);
  SECURITY_DESCRIPTOR descriptor;
  InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE);
  SECURITY_ATTRIBUTES attributes{sizeof attributes, &descriptor, FALSE};
  platform::ClearRecordedSecurityCalls();
  Handle mutex(CreateMutexA(&attributes, FALSE, "Shared Mutex"));
  Handle event(CreateEventA(&attributes, TRUE, FALSE, "Shared Event"));
  LocalFree(acl);
  ASSERT_NE(mutex.value, 0);
  ASSERT_NE(event.value, 0);
  auto calls = platform::RecordedSecurityCalls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0], "CreateMutexA Shared Mutex dacl allow S-1-1-0 0x1F0001 flags 0x3");

  EXPECT_EQ(pellix_test::RunChild("open-objects", {"Shared Mutex", "Shared Event"}), 0);
  const std::filesystem::path folder = platform::NamedObjectFolder();
  struct stat status{};
  ASSERT_EQ(::lstat(folder.c_str(), &status), 0) << folder;
  EXPECT_EQ(status.st_mode & 0777, 0700u);
  EXPECT_EQ(status.st_uid, geteuid());
  int objects = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    ASSERT_EQ(::lstat(entry.path().c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u) << entry.path();
    EXPECT_EQ(status.st_uid, geteuid());
    ++objects;
  }
  EXPECT_EQ(objects, 2);
}

TEST_F(NamedObjects, ObjectsLeftByAKilledProcessStartAfresh) {
  EXPECT_EQ(pellix_test::RunChild("set-and-die", {"RE4Stop"}), 128 + SIGKILL);
  EXPECT_FALSE(platform::NamedObjectExists("RE4Stop"));
  SetLastError(0);
  Handle event(CreateEventA(nullptr, TRUE, FALSE, "RE4Stop"));
  ASSERT_NE(event.value, 0);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  EXPECT_EQ(WaitForSingleObject(event.value, 0), WAIT_TIMEOUT);
}

TEST_F(NamedObjects, NamesAndKinds) {
  Handle mutex(CreateMutexA(nullptr, FALSE, "Name"));
  ASSERT_NE(mutex.value, 0);
  struct Case {
    const char* what;
    std::function<HANDLE()> call;
    DWORD error;
  };
  const Case cases[] = {
      {"event over a mutex name", [] { return CreateEventA(nullptr, TRUE, FALSE, "Name"); }, ERROR_INVALID_HANDLE},
      {"open a missing mutex", [] { return OpenMutexA(MUTEX_ALL_ACCESS, FALSE, "Missing"); }, ERROR_FILE_NOT_FOUND},
      {"open a missing event", [] { return OpenEventA(EVENT_ALL_ACCESS, FALSE, "Missing"); }, ERROR_FILE_NOT_FOUND},
      {"backslash in a name", [] { return CreateMutexA(nullptr, FALSE, "a\\b"); }, ERROR_BAD_PATHNAME},
      {"open without a name", [] { return OpenEventA(EVENT_ALL_ACCESS, FALSE, ""); }, ERROR_INVALID_PARAMETER},
  };
  for (const Case& c : cases) {
    SetLastError(0);
    EXPECT_EQ(c.call(), 0) << c.what;
    EXPECT_EQ(GetLastError(), c.error) << c.what;
  }
  // Any other characters are allowed, and long names stay apart.
  std::vector<std::unique_ptr<Handle>> kept;
  for (const std::string& name : {std::string("with/slash and %25 signs"), std::string(250, 'L'),
                                   std::string(249, 'L') + "M"}) {
    kept.push_back(std::make_unique<Handle>(CreateMutexA(nullptr, FALSE, name.c_str())));
    ASSERT_NE(kept.back()->value, 0) << name;
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS) << name;  // new, not one of the others
    Handle opened(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, name.c_str()));
    EXPECT_NE(opened.value, 0) << name;
  }
  EXPECT_EQ(CreateMutexA(nullptr, FALSE, std::string(261, 'L').c_str()), 0);
  EXPECT_EQ(GetLastError(), ERROR_BAD_PATHNAME);
  // The session prefixes name the same object.
  Handle local(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, "Local\\Name"));
  EXPECT_NE(local.value, 0);
  EXPECT_EQ(WaitForSingleObject(12345, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(NamedObjects, ExistingEventKeepsItsModeAndState) {
  Handle first(CreateEventA(nullptr, FALSE, TRUE, "Auto"));
  Handle second(CreateEventA(nullptr, TRUE, FALSE, "Auto"));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  // Still set (the second's state is ignored) and still auto-reset (one wait takes it).
  EXPECT_EQ(WaitForSingleObject(second.value, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(first.value, 0), WAIT_TIMEOUT);
}

TEST_F(NamedObjects, LastCloseRemovesTheObject) {
  HANDLE event = CreateEventA(nullptr, TRUE, TRUE, "Gone");
  EXPECT_TRUE(platform::NamedObjectExists("Gone"));
  CloseHandle(event);
  EXPECT_FALSE(platform::NamedObjectExists("Gone"));
  Handle again(CreateEventA(nullptr, TRUE, FALSE, "Gone"));
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  EXPECT_EQ(WaitForSingleObject(again.value, 0), WAIT_TIMEOUT);
}

TEST_F(NamedObjects, MutexBelongsToTheThreadThatWaited) {
  Handle mutex(CreateMutexA(nullptr, TRUE, nullptr));  // unnamed, owned by this thread
  EXPECT_EQ(WaitForSingleObject(mutex.value, 0), WAIT_OBJECT_0);  // re-entry
  DWORD otherWait = 0;
  BOOL otherRelease = TRUE;
  DWORD otherError = 0;
  std::thread other([&] {
    otherWait = WaitForSingleObject(mutex.value, 0);
    otherRelease = ReleaseMutex(mutex.value);
    otherError = GetLastError();
  });
  other.join();
  EXPECT_EQ(otherWait, WAIT_TIMEOUT);
  EXPECT_FALSE(otherRelease);
  EXPECT_EQ(otherError, ERROR_NOT_OWNER);
  EXPECT_TRUE(ReleaseMutex(mutex.value));
  EXPECT_TRUE(ReleaseMutex(mutex.value));
  EXPECT_FALSE(ReleaseMutex(mutex.value));
  // A thread that ends while owning leaves the mutex abandoned.
  std::thread([&] { otherWait = WaitForSingleObject(mutex.value, 0); }).join();
  EXPECT_EQ(otherWait, WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(mutex.value, kLong), WAIT_ABANDONED);
  EXPECT_TRUE(ReleaseMutex(mutex.value));
}

TEST_F(NamedObjects, AutoResetEventReleasesOneWaiterPerSet) {
  Handle event(CreateEventA(nullptr, FALSE, FALSE, nullptr));
  std::atomic<int> woken{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 3; ++i) {
    waiters.emplace_back([&] {
      if (WaitForSingleObject(event.value, kLong) == WAIT_OBJECT_0) ++woken;
    });
  }
  // Sets do not add up, so each waits until one waiter has taken the last.
  for (int i = 1; i <= 3; ++i) {
    SetEvent(event.value);
    while (woken < i) std::this_thread::yield();
  }
  for (auto& waiter : waiters) waiter.join();
  EXPECT_EQ(woken, 3);
  EXPECT_EQ(WaitForSingleObject(event.value, 0), WAIT_TIMEOUT);
}

TEST(CriticalSection, ReentrantForTheHolderOnly) {
  CRITICAL_SECTION section;
  InitializeCriticalSection(&section);
  EnterCriticalSection(&section);
  EXPECT_TRUE(TryEnterCriticalSection(&section));
  BOOL other = TRUE;
  std::thread([&] { other = TryEnterCriticalSection(&section); }).join();
  EXPECT_FALSE(other);
  LeaveCriticalSection(&section);
  LeaveCriticalSection(&section);
  std::thread([&] {
    other = TryEnterCriticalSection(&section);
    if (other) LeaveCriticalSection(&section);
  }).join();
  EXPECT_TRUE(other);
  DeleteCriticalSection(&section);
}

DWORD Twice(void* parameter) {
  auto* value = static_cast<std::atomic<DWORD>*>(parameter);
  *value = GetCurrentThreadId();
  return 42;
}

TEST(Threads, RunSuspendedUntilResumedAndReportTheirExitCode) {
  std::atomic<DWORD> ranOn{0};
  DWORD id = 0;
  Handle thread(CreateThread(nullptr, 0, &Twice, &ranOn, CREATE_SUSPENDED, &id));
  ASSERT_NE(thread.value, 0);
  EXPECT_NE(id, 0u);
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeThread(thread.value, &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  EXPECT_EQ(ranOn, 0u);
  EXPECT_EQ(ResumeThread(thread.value), 1u);
  EXPECT_EQ(WaitForSingleObject(thread.value, kLong), WAIT_OBJECT_0);
  EXPECT_EQ(ranOn, id);
  EXPECT_TRUE(GetExitCodeThread(thread.value, &code));
  EXPECT_EQ(code, 42u);
  EXPECT_EQ(ResumeThread(thread.value), 0u);
}

}  // namespace
