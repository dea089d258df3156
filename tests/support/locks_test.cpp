#include "support/locks.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "common/test_env.h"
#include "platform/base/clock.h"
#include "platform/base/errors.h"
#include "platform/base/faults.h"
#include "platform/kernel/fresh_home.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/named_objects.h"
#include "platform/kernel/version.h"
#include "support/process_version.h"

namespace {

using support::TCriticalSection;
using support::TEvent;
using support::TMutex;

// Runs the body with the platform answering another version, then restores it.
template <typename Body>
void AsSystem(DWORD platformId, DWORD major, DWORD minor, Body body) {
  platform::ReportedVersion saved = platform::GetReportedVersion();
  platform::ReportedVersion other = saved;
  other.platformId = platformId;
  other.major = major;
  other.minor = minor;
  platform::SetReportedVersion(other);
  InitOSVersion();
  body();
  platform::SetReportedVersion(saved);
  InitOSVersion();
}

// Holds a critical section on another thread until released.
class Holder {
 public:
  explicit Holder(TCriticalSection& section) {
    thread_ = std::thread([this, &section] {
      std::scoped_lock hold(section);
      held_.set_value();
      release_.get_future().wait();
    });
    held_.get_future().wait();
  }
  void Release() {
    release_.set_value();
    thread_.join();
  }

 private:
  std::promise<void> held_;
  std::promise<void> release_;
  std::thread thread_;
};

TEST(CriticalSectionEnter, FiniteTimeoutsPollEveryTenMilliseconds) {
  struct Case {
    ULONGLONG start;
    DWORD timeout;
    ULONGLONG paused;  // one 10 ms pause per try
  };
  const Case cases[] = {
      {1000, 0, 10},
      {1000, 25, 30},
      {0xFFFFFFF1ull, 20, 30},  // the tick count wraps during the wait
  };
  TCriticalSection section;
  Holder holder(section);
  for (const Case& c : cases) {
    platform::test_clock::Freeze(c.start, 45000.0);
    EXPECT_FALSE(section.Enter(c.timeout)) << c.timeout;
    EXPECT_EQ(GetTickCount64() - c.start, c.paused) << c.timeout;
    platform::test_clock::Release();
  }
  holder.Release();
  EXPECT_TRUE(section.Enter(0));
  EXPECT_TRUE(section.Enter(INFINITE));  // re-entry
  section.Leave();
  section.Leave();
}

TEST(CriticalSectionEnter, OutsideTheNtFamilyEveryEnterBlocks) {
  AsSystem(VER_PLATFORM_WIN32_WINDOWS, 4, 10, [] {
    TCriticalSection section;
    Holder holder(section);
    std::atomic<bool> entering{false};
    std::thread releaser([&] {
      while (!entering) std::this_thread::yield();
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      holder.Release();
    });
    entering = true;
    EXPECT_TRUE(section.Enter(0));
    section.Leave();
    releaser.join();
  });
}

const bool kTryMutex = pellix_test::RegisterChildRole("try-mutex", [](const std::vector<std::string>& args) {
  TMutex mutex(args.at(0));
  return mutex.Handle != 0 && mutex.Wait(0) ? 0 : 1;
});

const bool kTakeAndLeave = pellix_test::RegisterChildRole("take-and-leave", [](const std::vector<std::string>& args) {
  TMutex* mutex = new TMutex(args.at(0));  // never released: the process ends owning it
  _exit(mutex->Wait(0) ? 0 : 1);
  return 2;
});

const bool kStopSwitch = pellix_test::RegisterChildRole("stop-switch", [](const std::vector<std::string>&) {
  TEvent stop("RE4Shutdown_PELLIX");
  return stop.Handle != 0 && stop.SetEvent() ? 0 : 1;
});

using Locks = FreshHome;

TEST_F(Locks, MutexIsExclusiveAcrossProcessesAndAbandonedCounts) {
  {
    TMutex mutex("PellixRunMtx");
    ASSERT_NE(mutex.Handle, 0);
    EXPECT_TRUE(mutex.Wait(0));
    EXPECT_TRUE(mutex.Owned);
    EXPECT_EQ(pellix_test::RunChild("try-mutex", {"PellixRunMtx"}), 1);
    mutex.Release();
    EXPECT_TRUE(mutex.Owned);  // Release does not clear it
    EXPECT_EQ(pellix_test::RunChild("try-mutex", {"PellixRunMtx"}), 0);
    EXPECT_TRUE(mutex.Wait(0));
    // Destruction releases once more, as the last Wait succeeded.
  }
  EXPECT_EQ(pellix_test::RunChild("try-mutex", {"PellixRunMtx"}), 0);

  TMutex watcher("InitLang_SetLangID_PX");
  EXPECT_EQ(pellix_test::RunChild("take-and-leave", {"InitLang_SetLangID_PX"}), 0);
  EXPECT_TRUE(watcher.Wait(0));  // the owner ended without releasing
}

TEST_F(Locks, ReleaseAfterReleaseHasNoEffect) {
  TMutex mutex("Log");
  ASSERT_TRUE(mutex.Wait(0));
  mutex.Release();
  mutex.Release();  // not owned any more: fails without effect
  bool otherGotIt = false;
  std::thread([&] {
    TMutex other("Log");
    otherGotIt = other.Wait(0);
    other.Release();
    other.Owned = false;
  }).join();
  EXPECT_TRUE(otherGotIt);
}

// The standard guards hold both lock types, and an exception leaving the scope
// releases them.
TEST_F(Locks, ScopeGuardsReleaseWhenAnExceptionLeavesTheScope) {
  TCriticalSection section;
  TMutex mutex("PellixRunMtx");
  auto otherThreadTakes = [&section] {
    bool taken = false;
    std::thread([&] {
      std::unique_lock hold(section, std::try_to_lock);
      taken = hold.owns_lock();
    }).join();
    return taken;
  };
  EXPECT_THROW(
      {
        std::scoped_lock hold(section);
        std::unique_lock held(mutex, std::chrono::milliseconds(0));
        ASSERT_TRUE(held.owns_lock());
        EXPECT_FALSE(otherThreadTakes());
        EXPECT_EQ(pellix_test::RunChild("try-mutex", {"PellixRunMtx"}), 1);
        throw std::runtime_error("cut short");
      },
      std::runtime_error);
  EXPECT_TRUE(otherThreadTakes());
  EXPECT_EQ(pellix_test::RunChild("try-mutex", {"PellixRunMtx"}), 0);
}

TEST_F(Locks, AMutexThatCannotBeMadeIsNeverHeldByAGuard) {
  platform::faults::FailNext("OpenMutexA", 1, ERROR_FILE_NOT_FOUND);
  platform::faults::FailNext("CreateMutexA", 1, ERROR_ACCESS_DENIED);
  TMutex mutex("Refused");
  ASSERT_EQ(mutex.Handle, 0);
  std::unique_lock timed(mutex, std::chrono::milliseconds(0));
  EXPECT_FALSE(timed.owns_lock());
  EXPECT_THROW(std::scoped_lock hold(mutex), std::system_error);
}

TEST_F(Locks, EventsAreSharedByNameAndStaySetUntilReset) {
  TEvent first("RE4Shutdown_PELLIX");
  TEvent second("RE4Shutdown_PELLIX");
  ASSERT_NE(first.Handle, 0);
  EXPECT_FALSE(second.Wait(0));
  EXPECT_EQ(pellix_test::RunChild("stop-switch"), 0);
  EXPECT_TRUE(first.Wait(0));
  EXPECT_TRUE(second.Wait(0));
  EXPECT_TRUE(first.ResetEvent());
  EXPECT_FALSE(second.Wait(0));
  EXPECT_TRUE(second.SetEvent());
  EXPECT_TRUE(first.Wait(0));
}

TEST_F(Locks, ObjectsThatCannotBeMadeAnswerFalse) {
  platform::faults::FailNext("OpenMutexA", 1, ERROR_FILE_NOT_FOUND);
  platform::faults::FailNext("CreateMutexA", 1, ERROR_ACCESS_DENIED);
  TMutex mutex("Refused");
  EXPECT_EQ(mutex.Handle, 0);
  EXPECT_FALSE(mutex.Wait(0));
  mutex.Release();
  platform::faults::FailNext("OpenEventA", 1, ERROR_FILE_NOT_FOUND);
  platform::faults::FailNext("CreateEventA", 1, ERROR_ACCESS_DENIED);
  TEvent event("Refused");
  EXPECT_EQ(event.Handle, 0);
  EXPECT_FALSE(event.Wait(0));
  EXPECT_FALSE(event.SetEvent());
}

TEST_F(Locks, NewObjectsAskForWorldAccessAndALowLabel) {
  platform::ClearRecordedSecurityCalls();
  TMutex mutex("PellixRunMtx");
  auto calls = platform::RecordedSecurityCalls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0], "CreateMutexA PellixRunMtx dacl allow S-1-1-0 0x1F0001 flags 0x3");
  EXPECT_EQ(calls[1], "SetNamedSecurityInfoA type 6 info 0x10 PellixRunMtx sacl label S-1-16-4096 0x1 flags 0x0");
  // An object that was opened is left as it is.
  platform::ClearRecordedSecurityCalls();
  TMutex again("PellixRunMtx");
  EXPECT_TRUE(platform::RecordedSecurityCalls().empty());
  TEvent event("RE4Stop");
  calls = platform::RecordedSecurityCalls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0], "CreateEventA RE4Stop dacl allow S-1-1-0 0x1F0003 flags 0x3");
}

TEST_F(Locks, IntegrityLabelOnlyWhereTheSystemHasOne) {
  EXPECT_FALSE(support::SetObjectIntegrityLabel("Nothing", SE_KERNEL_OBJECT, SECURITY_MANDATORY_LOW_RID,
                                                SYSTEM_MANDATORY_LABEL_NO_WRITE_UP));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  HANDLE object = CreateEventA(nullptr, TRUE, FALSE, "Labelled");
  platform::faults::FailNext("SetNamedSecurityInfoA", 1, ERROR_ACCESS_DENIED);
  EXPECT_FALSE(support::SetObjectIntegrityLabel("Labelled", SE_KERNEL_OBJECT, 0x1000, 1));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  platform::faults::FailNext("AddMandatoryAce", 1, ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(support::SetObjectIntegrityLabel("Labelled", SE_KERNEL_OBJECT, 0x1000, 1));
  AsSystem(VER_PLATFORM_WIN32_NT, 5, 1, [] {
    platform::ClearRecordedSecurityCalls();
    EXPECT_TRUE(support::SetObjectIntegrityLabel("Nothing", SE_KERNEL_OBJECT, 0x1000, 1));
    EXPECT_TRUE(platform::RecordedSecurityCalls().empty());
  });
  // Where the label call is missing, there is nothing to do either.
  support::FinalizeLocks();
  platform::faults::FailNext("GetProcAddress", 1, ERROR_PROC_NOT_FOUND);
  support::InitLocks();
  EXPECT_TRUE(support::SetObjectIntegrityLabel("Nothing", SE_KERNEL_OBJECT, 0x1000, 1));
  support::FinalizeLocks();
  support::InitLocks();
  CloseHandle(object);
}

TEST(SecurityRoutines, WorldAttributesAndTheirFallbacks) {
  SECURITY_ATTRIBUTES* attributes = support::CreateAllowEveryoneSA(MUTEX_ALL_ACCESS);
  ASSERT_NE(attributes, nullptr);
  EXPECT_EQ(attributes->nLength, sizeof(SECURITY_ATTRIBUTES));
  EXPECT_FALSE(attributes->bInheritHandle);
  BOOL present = FALSE, defaulted = TRUE;
  PACL acl = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorDacl(attributes->lpSecurityDescriptor, &present, &acl, &defaulted));
  EXPECT_TRUE(present);
  EXPECT_FALSE(defaulted);
  EXPECT_EQ(platform::DescribeAcl(acl), "allow S-1-1-0 0x1F0001 flags 0x3");
  support::FreeSecurityAttributes(attributes);

  // A list that cannot be built leaves a present null list.
  platform::faults::FailNext("SetEntriesInAclA", 1, ERROR_NONE_MAPPED);
  attributes = support::CreateAllowEveryoneSA(EVENT_ALL_ACCESS);
  ASSERT_NE(attributes, nullptr);
  ASSERT_TRUE(GetSecurityDescriptorDacl(attributes->lpSecurityDescriptor, &present, &acl, &defaulted));
  EXPECT_TRUE(present);
  EXPECT_EQ(acl, nullptr);
  support::FreeSecurityAttributes(attributes);

  platform::faults::FailNext("InitializeSecurityDescriptor", 1, ERROR_INVALID_PARAMETER);
  EXPECT_EQ(support::CreateAllowEveryoneSA(MUTEX_ALL_ACCESS), nullptr);
  EXPECT_EQ(support::CreateSecurityAttributesFromAcl(nullptr), nullptr);
  support::FreeSecurityAttributes(nullptr);
}

TEST(SecurityRoutines, StartUpBuildsTheFileAttributesAndLooksUpTheWorldName) {
  ASSERT_NE(support::FileAllowEveryoneSA, nullptr);
  BOOL present = FALSE, defaulted = FALSE;
  PACL acl = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorDacl(support::FileAllowEveryoneSA->lpSecurityDescriptor, &present, &acl,
                                        &defaulted));
  ASSERT_NE(acl, nullptr);
  EXPECT_EQ(acl->AclSize, 1024);
  EXPECT_EQ(acl->AclRevision, ACL_REVISION);
  EXPECT_EQ(platform::DescribeAcl(acl), "allow S-1-1-0 0x1F01FF flags 0x3");
  void* ace = nullptr;
  ASSERT_TRUE(GetAce(acl, 0, &ace));
  EXPECT_EQ(static_cast<ACE_HEADER*>(ace)->AceSize, GetLengthSid(support::WorldSid) + 8);
  EXPECT_EQ(support::WorldTrusteeName, "Everyone");

  struct Case {
    const char* systemName;
    bool lookupFails;
    const char* trustee;
  };
  const Case cases[] = {{"Jeder", false, "Jeder"}, {"Jeder", true, "Everyone"}};
  for (const Case& c : cases) {
    platform::SetWorldGroupName(c.systemName);
    support::FinalizeLocks();
    support::WorldTrusteeName = "Everyone";
    if (c.lookupFails) platform::faults::FailNext("LookupAccountSidA", 1, ERROR_NONE_MAPPED);
    support::InitLocks();
    EXPECT_EQ(support::WorldTrusteeName, c.trustee);
  }
  platform::SetWorldGroupName("Everyone");
  support::FinalizeLocks();
  support::WorldTrusteeName = "Everyone";
  support::InitLocks();
}

TEST(SecurityRoutines, AddTrusteeKeepsTheOldEntries) {
  std::vector<BYTE> original = platform::DefaultSecurity(0xF003F);
  PSECURITY_DESCRIPTOR widened = support::AddTrusteeToSecurityDescriptor(original.data(), "Everyone");
  ASSERT_NE(widened, nullptr);
  BOOL present = FALSE, defaulted = FALSE;
  PACL acl = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorDacl(widened, &present, &acl, &defaulted));
  std::string entries = platform::DescribeAcl(acl);
  EXPECT_NE(entries.find("allow S-1-5-21-0-0-0-"), std::string::npos) << entries;
  EXPECT_NE(entries.find("allow S-1-1-0 0x10000000 flags 0x3"), std::string::npos) << entries;
  LocalFree(widened);
  for (const char* step : {"GetSecurityDescriptorDacl", "MakeAbsoluteSD", "SetSecurityDescriptorDacl",
                           "MakeSelfRelativeSD"}) {
    platform::faults::FailNext(step, 2, ERROR_INVALID_PARAMETER);  // a size probe may take the first
    EXPECT_EQ(support::AddTrusteeToSecurityDescriptor(original.data(), "Everyone"), nullptr) << step;
    platform::faults::ClearAll();
  }
}

TEST(Delay, PausesOnTheClock) {
  platform::test_clock::Freeze(5000, 45000.0);
  support::Delay(100);
  EXPECT_EQ(GetTickCount64(), 5100u);
  platform::test_clock::Release();
}

}  // namespace
