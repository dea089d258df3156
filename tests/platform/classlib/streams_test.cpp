#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "common/test_env.h"
#include "platform/base/errors.h"
#include "platform/base/faults.h"
#include "platform/classlib/exceptions.h"
#include "platform/classlib/streams.h"
#include "platform/fs/files.h"

namespace {

namespace fs = std::filesystem;
using pellix_test::TempDir;

TEST(Format, FillsPlaceholdersInOrder) {
  EXPECT_EQ(Format("List index out of bounds (%d)", {"-1"}), "List index out of bounds (-1)");
  EXPECT_EQ(Format("a %s b %d c %% %s", {"x", "7"}), "a x b 7 c % %s");
}

TEST(MemoryStream, GrowsOnWriteAndStopsReadingAtTheEnd) {
  TMemoryStream stream;
  stream.WriteBuffer("abc", 3);
  EXPECT_EQ(stream.Size(), 3);
  stream.SetPosition(5);
  stream.WriteBuffer("z", 1);  // the gap becomes zero bytes
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(stream.Memory().data()), 6), std::string("abc\0\0z", 6));
  stream.SetPosition(4);
  char buffer[8];
  EXPECT_EQ(stream.Read(buffer, 8), 2);
  EXPECT_EQ(stream.Read(buffer, 8), 0);
  stream.SetPosition(-1);
  EXPECT_EQ(stream.Read(buffer, 1), 0);
  EXPECT_EQ(stream.Write("q", 1), 0);
  stream.SetPosition(6);
  stream.SetSize(2);  // a position beyond the new end moves to it
  EXPECT_EQ(stream.Position(), 2);
  EXPECT_EQ(stream.Seek(INT64_MAX, soCurrent), -1);  // no overflow, no move
  EXPECT_EQ(stream.Position(), 2);
  stream.SetPosition(INT64_MAX - 1);
  EXPECT_EQ(stream.Write("ab", 2), 0);  // no overflow, nothing written
  EXPECT_EQ(stream.Size(), 2);
}

// A write at the end appends, one inside overwrites in place, and one that starts
// inside and runs past the end does both.
TEST(MemoryStream, WritesOverwriteInPlaceAndAppendAtTheEnd) {
  TMemoryStream stream;
  const auto text = [&] { return std::string(stream.Memory().begin(), stream.Memory().end()); };
  EXPECT_EQ(stream.Write("abcd", 4), 4);
  stream.SetPosition(1);
  EXPECT_EQ(stream.Write("XY", 2), 2);
  EXPECT_EQ(text(), "aXYd");
  EXPECT_EQ(stream.Position(), 3);
  EXPECT_EQ(stream.Write("123", 3), 3);
  EXPECT_EQ(text(), "aXY123");
  EXPECT_EQ(stream.Write("!", 1), 1);
  EXPECT_EQ(text(), "aXY123!");
  EXPECT_EQ(stream.Position(), 7);
}

TEST(MemoryStream, CheckedReadsRaiseTheLibraryText) {
  TMemoryStream stream;
  stream.WriteBuffer("ab", 2);
  stream.SetPosition(1);
  char buffer[2];
  EXPECT_EQ(pellix_test::MessageOf<EReadError>([&] { stream.ReadBuffer(buffer, 2); }), "Stream read error");
  stream.ReadBuffer(buffer, 0);  // nothing asked, nothing raised
}

TEST(MemoryStream, CopyFromWithZeroCopiesTheWholeSource) {
  TMemoryStream source, target;
  std::string big(70000, 'x');
  big[69999] = 'y';
  source.WriteBuffer(big.data(), static_cast<std::int32_t>(big.size()));
  EXPECT_EQ(target.CopyFrom(source, 0), 70000);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(target.Memory().data()), 70000), big);
  source.SetPosition(69998);
  EXPECT_EQ(pellix_test::MessageOf<EReadError>([&] { target.CopyFrom(source, 5); }), "Stream read error");
}

TEST(FileStream, CreateWriteReopenAndRead) {
  TempDir dir;
  const std::string name = (dir / "data.bin").string();
  {
    TFileStream out(name, fmCreate);
    out.WriteBuffer("hello", 5);
    out.SetSize(3);
  }
  EXPECT_EQ(pellix_test::ReadBytes(name), "hel");
  TFileStream in(name, fmOpenRead | fmShareDenyWrite);
  EXPECT_EQ(in.Size(), 3);
  TMemoryStream copy;
  copy.LoadFromFile(name);  // others may read: both open at once
  EXPECT_EQ(copy.Size(), 3);
  EXPECT_EQ(pellix_test::MessageOf<EFOpenError>([&] { TFileStream writer(name, fmOpenWrite | fmShareDenyNone); }),
            "Cannot open file \"" + name + "\". The process cannot access the file because it is being used by "
            "another process");
}

TEST(FileStream, OpenAndCreateErrorsNameTheFullPathAndTheReason) {
  TempDir dir;
  fs::current_path(dir.path());
  EXPECT_EQ(pellix_test::MessageOf<EFOpenError>([] { TFileStream s("missing.txt", fmOpenRead); }),
            "Cannot open file \"" + (dir / "missing.txt").string() + "\". The system cannot find the file specified");
  EXPECT_EQ(pellix_test::MessageOf<EFCreateError>([] { TFileStream s("no/such/f.txt", fmCreate); }),
            "Cannot create file \"" + (dir / "no/such/f.txt").string() +
                "\". The system cannot find the path specified");
  fs::current_path("/");
}

TEST(FileStream, ModesOutsideTheKnownValuesAreRefused) {
  TempDir dir;
  std::ofstream(dir / "f") << "x";
  DWORD access = 0, share = 0;
  EXPECT_TRUE(FileModeToAccess(fmOpenReadWrite | fmShareDenyNone, access, share));
  EXPECT_EQ(access, GENERIC_READ | GENERIC_WRITE);
  EXPECT_EQ(share, FILE_SHARE_READ | FILE_SHARE_WRITE);
  EXPECT_TRUE(FileModeToAccess(fmOpenRead | fmShareExclusive, access, share));
  EXPECT_EQ(share, 0u);
  EXPECT_FALSE(FileModeToAccess(3, access, share));
  EXPECT_FALSE(FileModeToAccess(0x50, access, share));
  EXPECT_EQ(FileOpen((dir / "f").string(), 3), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(HandleStream, FailedCallsMoveNothing) {
  TempDir dir;
  TFileStream stream((dir / "f").string(), fmCreate);
  platform::faults::FailNext("WriteFile", 1, ERROR_DISK_FULL);
  EXPECT_EQ(pellix_test::MessageOf<EWriteError>([&] { stream.WriteBuffer("abc", 3); }), "Stream write error");
  platform::faults::FailNext("SetEndOfFile", 1, ERROR_DISK_FULL);
  EXPECT_EQ(pellix_test::MessageOf<EOSError>([&] { stream.SetSize(10); }),
            "System Error.  Code: 112.\r\nThere is not enough space on the disk");
  THandleStream closed(INVALID_HANDLE_VALUE);
  char c;
  EXPECT_EQ(closed.Read(&c, 1), 0);
  EXPECT_EQ(closed.Seek(0, soEnd), -1);
}

}  // namespace
