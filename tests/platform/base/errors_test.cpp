#include "platform/base/errors.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <thread>

namespace {

TEST(LastError, IsKeptPerThread) {
  SetLastError(ERROR_ACCESS_DENIED);
  DWORD seenByOther = 1;
  std::thread([&] { seenByOther = GetLastError(); }).join();
  EXPECT_EQ(seenByOther, ERROR_SUCCESS);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST(FormatMessage, SystemTextEndsWithLineBreak) {
  char16_t buffer[256];
  DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                ERROR_FILE_NOT_FOUND, 0, buffer, 256, nullptr);
  EXPECT_EQ(std::u16string(buffer, length), u"The system cannot find the file specified.\r\n");
}

TEST(FormatMessage, UnknownCodeAndSmallBufferFail) {
  char buffer[8];
  EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 987654, 0, buffer, 8, nullptr), 0u);
  EXPECT_EQ(GetLastError(), ERROR_MR_MID_NOT_FOUND);
  EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_FILE_NOT_FOUND, 0, buffer, 8, nullptr), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

TEST(ErrnoMapping, CommonErrors) {
  struct Case {
    int errnoValue;
    DWORD code;
  };
  const Case cases[] = {{ENOENT, ERROR_FILE_NOT_FOUND}, {ENOTDIR, ERROR_PATH_NOT_FOUND},
                        {EACCES, ERROR_ACCESS_DENIED},  {EEXIST, ERROR_ALREADY_EXISTS},
                        {ENOSPC, ERROR_DISK_FULL},      {ENOTEMPTY, ERROR_DIR_NOT_EMPTY}};
  for (const auto& c : cases) EXPECT_EQ(platform::ErrorFromErrno(c.errnoValue), c.code) << c.errnoValue;
}

}  // namespace
