#include "platform/kernel/named_objects.h"

#include <fcntl.h>
#include <linux/futex.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/base/errors.h"
#include "platform/base/faults.h"
#include "platform/base/file_lock.h"
#include "platform/base/state_root.h"
#include "platform/kernel/process.h"
#include "platform/kernel/security.h"

namespace {

constexpr std::uint32_t kMagic = 0x4F584C50;  // marks a region whose set-up finished
enum class Kind : std::uint32_t { kMutex = 1, kEvent = 2 };

// A process that has the object open; the start time tells a reused pid apart.
struct Holder {
  std::int32_t pid;
  std::uint64_t startTime;
};
constexpr int kHolders = 128;

// The shared memory of one object; both kinds share the layout.
struct Shared {
  std::uint32_t magic;
  Kind kind;
  Holder holders[kHolders];
  pthread_mutex_t mutex;
  // The owning thread and its depth, written only by the owner: a release by another
  // thread is refused without touching the lock.
  std::atomic<std::int32_t> ownerThread;
  std::uint32_t depth;
  std::atomic<std::uint32_t> signalled;
  std::uint32_t manualReset;
};
static_assert(std::atomic<std::uint32_t>::is_always_lock_free);

std::uint64_t Fnv1a(const std::string& text) {
  std::uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ull;
  return hash;
}

std::string Hex(std::uint64_t value) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
  return text;
}

// A folder of the user's own that no one else may write in (lstat: no link followed).
bool IsPrivateFolder(const std::filesystem::path& folder) {
  struct stat status{};
  return ::lstat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode) && status.st_uid == ::geteuid() &&
         (status.st_mode & 077) == 0;
}

// The user's runtime folder when it is a usable one; empty otherwise.
std::filesystem::path RuntimeFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime == nullptr || *runtime != '/' || !IsPrivateFolder(runtime)) return {};
  return runtime;
}

// The folder of the objects of one user under one state root, so that test programs
// running side by side never meet: in the user's runtime folder, else in the state root.
std::filesystem::path FolderPath() {
  const std::filesystem::path root = platform::StateRoot();
  if (root.empty()) return {};
  const std::filesystem::path runtime = RuntimeFolder();
  return (runtime.empty() ? root : runtime) / ("pellix-" + Hex(Fnv1a(root.string())));
}

// The folder, made when missing. Empty with the last error when there is none, or when
// someone else owns it or may write in it: objects found there could have been put
// there by another user.
std::filesystem::path ObjectFolder() {
  const std::filesystem::path folder = FolderPath();
  if (folder.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return {};
  }
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    platform::SetLastErrorFromErrno();
    return {};
  }
  if (!IsPrivateFolder(folder)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return {};
  }
  return folder;
}

// Removes the folder once its last object is gone.
void RemoveEmptyFolder(const std::filesystem::path& folder) { ::rmdir(folder.c_str()); }

// Turns an object name into the name of its file; empty (with the last error) when it
// is not a valid object name.
std::string FileName(const char* name) {
  std::string text(name);
  for (const char* scope : {"Global\\", "Local\\"}) {
    if (text.rfind(scope, 0) == 0) text.erase(0, std::strlen(scope));
  }
  if (text.find('\\') != std::string::npos || text.size() > 260) {
    SetLastError(ERROR_BAD_PATHNAME);
    return {};
  }
  std::string encoded;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '_' || c == '-') {
      encoded += static_cast<char>(c);
    } else {
      char escape[4];
      std::snprintf(escape, sizeof escape, "%%%02X", c);
      encoded += escape;
    }
  }
  if (encoded.size() > 160) encoded = "~" + Hex(Fnv1a(text));
  return "o." + encoded;
}

// The file behind an open object: a regular file of the user's. One of another owner
// is refused, never used or removed.
bool IsOwnObjectFile(int fd, struct stat& status) {
  if (::fstat(fd, &status) != 0) {
    platform::SetLastErrorFromErrno();
    return false;
  }
  if (!S_ISREG(status.st_mode) || status.st_uid != ::geteuid()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  return true;
}

// Removes the file at Path when it is still the one opened (it may have been replaced
// by a new object of the same name since).
void UnlinkIfSame(const std::string& path, dev_t device, ino_t inode) {
  struct stat status{};
  if (::lstat(path.c_str(), &status) == 0 && status.st_dev == device && status.st_ino == inode) ::unlink(path.c_str());
}

long Futex(std::atomic<std::uint32_t>* word, int operation, std::uint32_t value, const timespec* timeout) {
  return syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(word), operation, value, timeout, nullptr, 0);
}

// One mapped object in this process; every handle to it shares this.
class Region {
 public:
  Region(Shared* shared, std::string path, dev_t device, ino_t inode)
      : shared_(shared), path_(std::move(path)), device_(device), inode_(inode) {}
  ~Region();
  Shared* shared() const { return shared_; }
  std::atomic<int>& ownedHere() { return ownedHere_; }
  // Lets go of the object as this process ends: no holder any more, and the file gone
  // when no one else holds it. Called with the namespace lock held.
  void Leave();

 private:
  Shared* shared_;
  std::string path_;  // empty for an unnamed object
  dev_t device_;
  ino_t inode_;
  bool left_ = false;
  std::atomic<int> ownedHere_{0};  // how often threads of this process hold the mutex
};

// The regions open in this process and the lock that orders set-up and removal of
// objects, within the process and (by a file lock) between processes.
struct Table {
  std::mutex lock;
  std::map<std::string, std::weak_ptr<Region>> regions;
};

// Never freed: the process's end reads it after static objects are gone.
Table& TheTable() {
  static Table* table = new Table;
  return *table;
}

// The lock file lives in the state root, so that it goes with the root.
std::filesystem::path NamespaceLockFile() {
  std::filesystem::path root = platform::StateRoot();
  return root.empty() ? root : root / "named-objects.lock";
}

// The lock file for taking objects down: a root that was taken away (a test's, say) is
// not made again for it, and then no one can be making objects under it.
std::filesystem::path TeardownLockFile() {
  return platform::StateRootExists() ? NamespaceLockFile() : std::filesystem::path();
}

bool HolderAlive(const Holder& holder) {
  return holder.pid > 0 && platform::ProcessStartTime(static_cast<DWORD>(holder.pid)) == holder.startTime;
}

bool AnyLiveHolder(const Shared* shared) {
  for (const Holder& holder : shared->holders) {
    if (HolderAlive(holder)) return true;
  }
  return false;
}

void DropHolder(Shared* shared, int pid) {
  for (Holder& holder : shared->holders) {
    if (holder.pid == pid) holder = Holder{};
  }
}

bool AddHolder(Shared* shared) {
  int self = getpid();
  for (Holder& holder : shared->holders) {
    if (holder.pid == self) return true;
  }
  for (Holder& holder : shared->holders) {
    if (!HolderAlive(holder)) {
      holder = Holder{self, platform::ProcessStartTime(static_cast<DWORD>(self))};
      return true;
    }
  }
  return false;
}

void InitShared(Shared* shared, Kind kind, bool manualReset, bool signalled) {
  std::memset(static_cast<void*>(shared), 0, sizeof(Shared));
  shared->kind = kind;
  pthread_mutexattr_t attributes;
  pthread_mutexattr_init(&attributes);
  pthread_mutexattr_setpshared(&attributes, PTHREAD_PROCESS_SHARED);
  pthread_mutexattr_setrobust(&attributes, PTHREAD_MUTEX_ROBUST);
  pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(&shared->mutex, &attributes);
  pthread_mutexattr_destroy(&attributes);
  shared->signalled.store(signalled ? 1 : 0);
  shared->manualReset = manualReset ? 1 : 0;
  shared->magic = kMagic;
}

void Region::Leave() {
  if (left_ || path_.empty()) return;
  left_ = true;
  DropHolder(shared_, getpid());
  if (AnyLiveHolder(shared_)) return;
  UnlinkIfSame(path_, device_, inode_);
  RemoveEmptyFolder(std::filesystem::path(path_).parent_path());
}

Region::~Region() {
  if (!path_.empty()) {
    platform::FileLock namespaceFile(TeardownLockFile());
    std::scoped_lock hold(TheTable().lock, namespaceFile);
    Leave();
  }
  // A mutex still held by a thread of this process stays mapped: the kernel marks it
  // abandoned through that mapping when the thread ends.
  if (ownedHere_ == 0) munmap(shared_, sizeof(Shared));
}

Shared* MapShared(int fd) {
  void* memory = mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  return memory == MAP_FAILED ? nullptr : static_cast<Shared*>(memory);
}

// Opens the file of an object: an existing one, or a new one when Create is set and
// there is none (Fresh then tells so). -1 with the last error on failure.
int OpenObjectFile(const std::string& path, bool create, bool& fresh, struct stat& status) {
  fresh = false;
  int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0 && errno == ENOENT && create) {
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    fresh = true;
  }
  if (fd < 0) {
    // A link in the object's place was put there by someone: refused like a stranger's file.
    SetLastError(errno == ENOENT ? ERROR_FILE_NOT_FOUND
                 : errno == ELOOP ? ERROR_ACCESS_DENIED
                                  : platform::ErrorFromErrno(errno));
    return -1;
  }
  if (!IsOwnObjectFile(fd, status)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool IsSized(const struct stat& status) { return status.st_size >= static_cast<off_t>(sizeof(Shared)); }

struct Opened {
  std::shared_ptr<Region> region;
  bool existed = false;
};

Opened OpenUnnamed(Kind kind, bool manualReset, bool signalled) {
  Opened result;
  void* memory = mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) {
    platform::SetLastErrorFromErrno();
    return result;
  }
  InitShared(static_cast<Shared*>(memory), kind, manualReset, signalled);
  result.region = std::make_shared<Region>(static_cast<Shared*>(memory), std::string(), 0, 0);
  return result;
}

// The object at Path, opened or made; called with the namespace lock held. Null
// region with the last error on failure.
Opened OpenNamed(const std::string& path, Kind kind, bool create, bool manualReset, bool signalled) {
  Opened result;
  Table& table = TheTable();
  if (auto live = table.regions[path].lock()) {
    if (live->shared()->kind != kind) {
      SetLastError(ERROR_INVALID_HANDLE);
      return result;
    }
    result.region = live;
    result.existed = true;
    return result;
  }
  bool fresh = false;
  struct stat status{};
  const int fd = OpenObjectFile(path, create, fresh, status);
  if (fd < 0) return result;
  if (!IsSized(status) && ftruncate(fd, sizeof(Shared)) != 0) {
    platform::SetLastErrorFromErrno();
    close(fd);
    return result;
  }
  Shared* shared = MapShared(fd);
  close(fd);
  if (!shared) {
    platform::SetLastErrorFromErrno();
    return result;
  }
  // A region that nobody alive holds is left over from processes that ended: it
  // counts as gone, as the object would be once its last handle closed.
  bool stale = fresh || shared->magic != kMagic || !AnyLiveHolder(shared);
  if (stale && !create) {
    UnlinkIfSame(path, status.st_dev, status.st_ino);
    munmap(shared, sizeof(Shared));
    SetLastError(ERROR_FILE_NOT_FOUND);
    return result;
  }
  if (stale) InitShared(shared, kind, manualReset, signalled);
  if (shared->kind != kind) {
    munmap(shared, sizeof(Shared));
    SetLastError(ERROR_INVALID_HANDLE);
    return result;
  }
  if (!AddHolder(shared)) {
    munmap(shared, sizeof(Shared));
    SetLastError(ERROR_TOO_MANY_OPEN_FILES);
    return result;
  }
  result.region = std::make_shared<Region>(shared, path, status.st_dev, status.st_ino);
  result.existed = !stale;
  table.regions[path] = result.region;
  platform::AtProcessEnd(platform::RemoveOwnNamedObjects);
  return result;
}

// True when the file at Path holds an object that a live process holds.
bool IsLiveObjectFile(const std::string& path) {
  bool fresh = false;
  struct stat status{};
  const int fd = OpenObjectFile(path, false, fresh, status);
  if (fd < 0) return false;
  Shared* shared = IsSized(status) ? MapShared(fd) : nullptr;
  ::close(fd);
  const bool alive = shared && shared->magic == kMagic && AnyLiveHolder(shared);
  if (shared) munmap(shared, sizeof(Shared));
  return alive;
}

// Opens the object of a name, or creates it when Create is set. Null region with the
// last error on failure.
Opened OpenRegion(const char* name, Kind kind, bool create, bool manualReset, bool signalled) {
  if (!name || !*name) return OpenUnnamed(kind, manualReset, signalled);
  const std::string fileName = FileName(name);
  if (fileName.empty()) return {};
  platform::FileLock namespaceFile(NamespaceLockFile());
  std::scoped_lock hold(TheTable().lock, namespaceFile);
  const std::filesystem::path folder = ObjectFolder();
  if (folder.empty()) return {};
  Opened opened = OpenNamed((folder / fileName).string(), kind, create, manualReset, signalled);
  if (!opened.region) RemoveEmptyFolder(folder);
  return opened;
}

class MutexObject : public platform::Waitable {
 public:
  explicit MutexObject(std::shared_ptr<Region> region) : region_(std::move(region)) {}

  DWORD Wait(DWORD milliseconds) override {
    pthread_mutex_t* mutex = &region_->shared()->mutex;
    int result;
    if (milliseconds == INFINITE) {
      result = pthread_mutex_lock(mutex);
    } else {
      // A wait with a limit tries every millisecond: the timed lock call cannot tell
      // every tool that it took over the lock of an owner that died.
      platform::Deadline deadline(milliseconds);
      while ((result = pthread_mutex_trylock(mutex)) == EBUSY && deadline.Remaining() > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    }
    Shared* shared = region_->shared();
    switch (result) {
      case 0:
        ++region_->ownedHere();
        if (shared->ownerThread.load() == gettid()) {
          ++shared->depth;
        } else {
          shared->ownerThread.store(gettid());
          shared->depth = 1;
        }
        return WAIT_OBJECT_0;
      case EOWNERDEAD:
        pthread_mutex_consistent(mutex);
        ++region_->ownedHere();
        shared->ownerThread.store(gettid());
        shared->depth = 1;
        return WAIT_ABANDONED;
      case EBUSY:
        return WAIT_TIMEOUT;
      default:
        SetLastError(platform::ErrorFromErrno(result));
        return WAIT_FAILED;
    }
  }

  BOOL Release() {
    Shared* shared = region_->shared();
    if (shared->ownerThread.load() != gettid()) {
      SetLastError(ERROR_NOT_OWNER);
      return FALSE;
    }
    if (--shared->depth == 0) shared->ownerThread.store(0);
    if (pthread_mutex_unlock(&shared->mutex) != 0) {
      SetLastError(ERROR_NOT_OWNER);
      return FALSE;
    }
    --region_->ownedHere();
    return TRUE;
  }

 private:
  std::shared_ptr<Region> region_;
};

class EventObject : public platform::Waitable {
 public:
  explicit EventObject(std::shared_ptr<Region> region) : region_(std::move(region)) {}

  DWORD Wait(DWORD milliseconds) override {
    Shared* shared = region_->shared();
    platform::Deadline deadline(milliseconds);
    for (;;) {
      std::uint32_t set = 1;
      bool taken = shared->manualReset ? shared->signalled.load() == 1
                                       : shared->signalled.compare_exchange_strong(set, 0);
      if (taken) return WAIT_OBJECT_0;
      DWORD left = deadline.Remaining();
      if (left == 0) return WAIT_TIMEOUT;
      timespec timeout{static_cast<time_t>(left / 1000), static_cast<long>(left % 1000) * 1000000L};
      Futex(&shared->signalled, FUTEX_WAIT, 0, deadline.infinite() ? nullptr : &timeout);
    }
  }

  void Set() {
    region_->shared()->signalled.store(1);
    Futex(&region_->shared()->signalled, FUTEX_WAKE, INT_MAX, nullptr);
  }

  void Reset() { region_->shared()->signalled.store(0); }

 private:
  std::shared_ptr<Region> region_;
};

void RecordSecurity(const char* call, const char* name, const SECURITY_ATTRIBUTES* security) {
  if (!security || !security->lpSecurityDescriptor) return;
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL acl = nullptr;
  if (!GetSecurityDescriptorDacl(security->lpSecurityDescriptor, &present, &acl, &defaulted)) return;
  platform::RecordSecurityCall(std::string(call) + " " + (name ? name : "") + " dacl " +
                               (present ? platform::DescribeAcl(acl) : std::string("absent")));
}

template <typename Object>
HANDLE Create(const char* call, const SECURITY_ATTRIBUTES* security, Kind kind, bool manualReset, bool signalled,
              const char* name, bool* existed) {
  if (platform::faults::ShouldFail(call)) return 0;
  Opened opened = OpenRegion(name, kind, true, manualReset, signalled);
  if (!opened.region) return 0;
  RecordSecurity(call, name, security);
  *existed = opened.existed;
  HANDLE handle = platform::OpenHandle(std::make_shared<Object>(opened.region));
  SetLastError(opened.existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return handle;
}

template <typename Object>
HANDLE Open(const char* call, Kind kind, const char* name) {
  if (platform::faults::ShouldFail(call)) return 0;
  if (!name || !*name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  Opened opened = OpenRegion(name, kind, false, false, false);
  if (!opened.region) return 0;
  return platform::OpenHandle(std::make_shared<Object>(opened.region));
}

}  // namespace

HANDLE CreateMutexA(const SECURITY_ATTRIBUTES* security, BOOL initialOwner, const char* name) {
  bool existed = false;
  HANDLE handle = Create<MutexObject>("CreateMutexA", security, Kind::kMutex, false, false, name, &existed);
  if (handle && initialOwner && !existed) {
    platform::HandleObjectAs<MutexObject>(handle)->Wait(0);
    SetLastError(ERROR_SUCCESS);
  }
  return handle;
}

HANDLE OpenMutexA(DWORD /*access*/, BOOL /*inheritHandle*/, const char* name) {
  return Open<MutexObject>("OpenMutexA", Kind::kMutex, name);
}

BOOL ReleaseMutex(HANDLE mutex) {
  auto object = platform::HandleObjectAs<MutexObject>(mutex);
  return object ? object->Release() : FALSE;
}

HANDLE CreateEventA(const SECURITY_ATTRIBUTES* security, BOOL manualReset, BOOL initialState, const char* name) {
  bool existed = false;
  return Create<EventObject>("CreateEventA", security, Kind::kEvent, manualReset, initialState, name, &existed);
}

HANDLE OpenEventA(DWORD /*access*/, BOOL /*inheritHandle*/, const char* name) {
  return Open<EventObject>("OpenEventA", Kind::kEvent, name);
}

BOOL SetEvent(HANDLE event) {
  auto object = platform::HandleObjectAs<EventObject>(event);
  if (!object) return FALSE;
  object->Set();
  return TRUE;
}

BOOL ResetEvent(HANDLE event) {
  auto object = platform::HandleObjectAs<EventObject>(event);
  if (!object) return FALSE;
  object->Reset();
  return TRUE;
}

namespace platform {

bool NamedObjectExists(const char* name) {
  if (!name || !*name) return false;
  const std::string fileName = FileName(name);
  if (fileName.empty()) return false;
  platform::FileLock namespaceFile(NamespaceLockFile());
  std::scoped_lock hold(TheTable().lock, namespaceFile);
  const std::filesystem::path folder = FolderPath();
  if (folder.empty() || !IsPrivateFolder(folder)) return false;
  const std::string path = (folder / fileName).string();
  auto known = TheTable().regions.find(path);
  if (known != TheTable().regions.end() && known->second.lock()) return true;
  return IsLiveObjectFile(path);
}

std::filesystem::path NamedObjectFolder() { return FolderPath(); }

std::filesystem::path NamedObjectPath(const char* name) {
  const std::string fileName = FileName(name != nullptr ? name : "");
  const std::filesystem::path folder = FolderPath();
  return fileName.empty() || folder.empty() ? std::filesystem::path() : folder / fileName;
}

void RemoveOwnNamedObjects() {
  platform::FileLock namespaceFile(TeardownLockFile());
  std::scoped_lock hold(TheTable().lock, namespaceFile);
  for (auto& [path, known] : TheTable().regions) {
    if (auto region = known.lock()) region->Leave();
  }
}

void RemoveStaleNamedObjects() {
  platform::FileLock namespaceFile(NamespaceLockFile());
  std::scoped_lock hold(TheTable().lock, namespaceFile);
  const std::filesystem::path folder = FolderPath();
  if (folder.empty() || !IsPrivateFolder(folder)) return;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    const std::string path = entry.path().string();
    auto known = TheTable().regions.find(path);
    if (known != TheTable().regions.end() && known->second.lock()) continue;
    struct stat status{};
    if (::lstat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_uid != ::geteuid()) continue;
    if (!IsLiveObjectFile(path)) UnlinkIfSame(path, status.st_dev, status.st_ino);
  }
  RemoveEmptyFolder(folder);
}

}  // namespace platform
