#include "platform/base/file_lock.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <mutex>
#include <stdexcept>

#include "common/test_env.h"

namespace {

using platform::FileLock;

// A lock taken through another open of the same file, as another process would.
bool OtherOpenCanLock(const std::filesystem::path& path) {
  FileLock other(path);
  std::unique_lock hold(other, std::try_to_lock);
  return hold.owns_lock();
}

TEST(FileLock, HeldForTheScopeAndReleasedOnEveryExit) {
  pellix_test::TempDir dir;
  const auto path = dir / "table.lock";
  {
    FileLock lock(path);
    ASSERT_TRUE(lock.Usable());
    std::scoped_lock hold(lock);
    EXPECT_FALSE(OtherOpenCanLock(path));
  }
  EXPECT_TRUE(OtherOpenCanLock(path));
  EXPECT_THROW(
      {
        FileLock lock(path);
        std::scoped_lock hold(lock);
        throw std::runtime_error("cut short");
      },
      std::runtime_error);
  EXPECT_TRUE(OtherOpenCanLock(path));
}

TEST(FileLock, OnADescriptorLocksThatFileAndLeavesTheDescriptorOpen) {
  pellix_test::TempDir dir;
  const auto path = dir / "data";
  pellix_test::WriteBytes(path, "x");
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  {
    FileLock lock = FileLock::OnDescriptor(fd);
    std::scoped_lock hold(lock);
    EXPECT_FALSE(OtherOpenCanLock(path));
  }
  EXPECT_TRUE(OtherOpenCanLock(path));
  EXPECT_EQ(fcntl(fd, F_GETFD), FD_CLOEXEC);  // still the caller's
  close(fd);
}

TEST(FileLock, WithoutAFileItIsNotUsable) {
  pellix_test::TempDir dir;
  for (const std::filesystem::path& path : {std::filesystem::path(), dir / "missing-folder" / "x.lock"}) {
    FileLock lock(path);
    EXPECT_FALSE(lock.Usable()) << path;
    EXPECT_TRUE(lock.try_lock()) << path;  // nothing to wait for
    lock.unlock();
  }
}

}  // namespace
