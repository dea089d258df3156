#include "support/typed_streams.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "common/test_env.h"
#include "platform/base/clock.h"
#include "platform/base/errors.h"
#include "platform/base/faults.h"
#include "platform/base/handles.h"
#include "platform/fs/files.h"

namespace {

std::string Bytes(TStream& stream) {
  std::string bytes(static_cast<std::size_t>(stream.Size()), '\0');
  stream.SetPosition(0);
  bytes.resize(static_cast<std::size_t>(stream.Read(bytes.data(), static_cast<std::int32_t>(bytes.size()))));
  return bytes;
}

// Each typed write produces exactly these bytes, and reading them back gives the value.
TEST(TypedStreamsTest, EveryTypedWriteHasItsGoldenBytes) {
  struct Case {
    const char* what;
    std::function<bool(TStreamWriter&)> write;
    std::string bytes;
    std::function<bool(TStreamReader&)> readsBack;
  };
  const Case cases[] = {
      {"raw string", [](TStreamWriter& w) { return w.WriteRawString("ab\0c"); }, std::string("ab"),
       [](TStreamReader& r) { std::string s; return r.ReadRawString(s) && s == "ab"; }},
      {"line", [](TStreamWriter& w) { return w.WriteLine("abc"); }, "abc\r\n",
       [](TStreamReader& r) { std::string s = "x"; return r.ReadLine(s) && s == "abc\r\n"; }},
      {"string", [](TStreamWriter& w) { return w.WriteString("hi\xE9"); },
       std::string("\x03\0\0\0hi\xE9", 7),
       [](TStreamReader& r) { std::string s; return r.ReadString(s) && s == "hi\xE9"; }},
      {"empty string", [](TStreamWriter& w) { return w.WriteString(""); }, std::string(4, '\0'),
       [](TStreamReader& r) { std::string s = "x"; return !r.ReadString(s) && s.empty(); }},
      {"integer", [](TStreamWriter& w) { return w.WriteInteger(-2); }, "\xFE\xFF\xFF\xFF",
       [](TStreamReader& r) { std::int32_t i; return r.ReadInteger(i) && i == -2; }},
      {"integer order", [](TStreamWriter& w) { return w.WriteInteger(0x0B324646); }, "FF2\x0B",
       [](TStreamReader& r) { std::int32_t i; return r.ReadInteger(i) && i == 0x0B324646; }},
      {"boolean", [](TStreamWriter& w) { return w.WriteBoolean(true); }, "\x01",
       [](TStreamReader& r) { bool b; return r.ReadBoolean(b) && b; }},
      {"double", [](TStreamWriter& w) { return w.WriteDouble(1.5); },
       std::string("\0\0\0\0\0\0\xF8\x3F", 8),
       [](TStreamReader& r) { double d; return r.ReadDouble(d) && d == 1.5; }},
      {"byte", [](TStreamWriter& w) { return w.WriteByte(0xA5); }, "\xA5",
       [](TStreamReader& r) { std::uint8_t b; return r.ReadByte(b) && b == 0xA5; }},
      {"word", [](TStreamWriter& w) { return w.WriteWord(0x1234); }, "\x34\x12",
       [](TStreamReader& r) { std::uint16_t v; return r.ReadWord(v) && v == 0x1234; }},
      {"buffer", [](TStreamWriter& w) { return w.WriteBuffer("xyz", 2); }, "xy",
       [](TStreamReader& r) { char b[2]; return r.ReadBuffer(b, 2) && b[0] == 'x' && b[1] == 'y'; }},
  };
  for (const Case& c : cases) {
    TMemoryStreamWriter writer;
    ASSERT_TRUE(c.write(writer)) << c.what;
    EXPECT_EQ(Bytes(writer.Memory()), c.bytes) << c.what;
    TMemoryStreamReader reader;
    reader.Memory().Write(c.bytes.data(), static_cast<std::int32_t>(c.bytes.size()));
    reader.Memory().SetPosition(0);
    EXPECT_TRUE(c.readsBack(reader)) << c.what;
  }
}

TEST(TypedStreamsTest, ShortReadsAnswerFalseWithZeroedTargets) {
  TMemoryStreamReader reader;
  reader.Memory().Write("\x01\x02", 2);
  struct Case {
    const char* what;
    std::function<bool(TStreamReader&)> readIsZeroAndFalse;
  };
  const Case cases[] = {
      {"integer", [](TStreamReader& r) { std::int32_t i = 7; return !r.ReadInteger(i) && i == 0; }},
      {"double", [](TStreamReader& r) { double d = 7; return !r.ReadDouble(d) && d == 0; }},
      {"word of three", [](TStreamReader& r) { std::uint16_t w = 7; r.Stream()->SetPosition(1);
         return !r.ReadWord(w) && w == 0; }},
      {"byte at end", [](TStreamReader& r) { std::uint8_t b = 7; r.Stream()->SetPosition(2);
         return !r.ReadByte(b) && b == 0; }},
      {"boolean at end", [](TStreamReader& r) { bool b = true; r.Stream()->SetPosition(2);
         return !r.ReadBoolean(b) && !b; }},
  };
  for (const Case& c : cases) {
    reader.Memory().SetPosition(0);
    EXPECT_TRUE(c.readIsZeroAndFalse(reader)) << c.what;
  }
}

// A memory reader reads its own memory stream directly; a plain reader over a memory
// stream goes through its buffer slot. Cut anywhere, the same bytes give both the same
// answers, values and positions.
TEST(TypedStreamsTest, MemoryAndPlainReadersAgreeAtEveryCut) {
  TMemoryStreamWriter writer;
  ASSERT_TRUE(writer.WriteWord(0xBEEF) && writer.WriteDouble(-2.25) && writer.WriteInteger(-7) &&
              writer.WriteString("text") && writer.WriteByte(0x80) && writer.WriteBoolean(true) &&
              writer.WriteInteger(0x7FFFFFFF));
  const std::string whole = Bytes(writer.Memory());
  const auto readAll = [](TStreamReader& r) {
    std::uint16_t w = 1;
    double d = 1;
    std::int32_t i = 1, j = 1;
    std::string s = "x";
    std::uint8_t b = 1;
    bool flag = false;
    std::ostringstream out;
    out << r.ReadWord(w) << ' ' << w << ' ' << r.ReadDouble(d) << ' ' << d << ' ' << r.ReadInteger(i) << ' ' << i
        << ' ' << r.ReadString(s) << ' ' << s << ' ' << r.ReadByte(b) << ' ' << int{b} << ' ' << r.ReadBoolean(flag)
        << ' ' << flag << ' ' << r.ReadInteger(j) << ' ' << j << " at " << r.Stream()->Position();
    return out.str();
  };
  for (std::size_t cut = 0; cut <= whole.size(); ++cut) {
    TMemoryStreamReader memory;
    memory.Memory().Write(whole.data(), static_cast<std::int32_t>(cut));
    memory.Memory().SetPosition(0);
    TMemoryStream stream;
    stream.Write(whole.data(), static_cast<std::int32_t>(cut));
    stream.SetPosition(0);
    TStreamReader plain(&stream);
    const std::string answers = readAll(memory);
    EXPECT_EQ(answers, readAll(plain)) << cut;
    if (cut == whole.size()) {
      EXPECT_EQ(answers, "1 48879 1 -2.25 1 -7 1 text 1 128 1 1 1 2147483647 at 28");
    }
  }
}

// A damaged length prefix must never make the reader allocate or read past the end.
TEST(TypedStreamsTest, ReadStringRejectsLengthsTheStreamCannotHold) {
  const std::string cases[] = {
      std::string("\xFF\xFF\xFF\x7F" "abc", 7),   // huge
      std::string("\xFE\xFF\xFF\xFF" "abc", 7),   // negative
      std::string("\x04\0\0\0" "abc", 7),         // one more than remains
      std::string("\x03\0", 2),                   // prefix cut short
  };
  for (const std::string& bytes : cases) {
    TMemoryStreamReader reader;
    reader.Memory().Write(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    reader.Memory().SetPosition(0);
    std::string s = "old";
    EXPECT_FALSE(reader.ReadString(s));
    EXPECT_EQ(s, "");
  }
}

TEST(TypedStreamsTest, WithoutAStreamEverythingAnswersFalse) {
  TStreamWriter writer;
  TStreamReader reader;
  std::int32_t i = 5;
  std::string s = "x";
  TMemoryStream other;
  EXPECT_EQ(writer.GetSize(), -1);
  EXPECT_FALSE(writer.HasStream());
  EXPECT_FALSE(writer.WriteInteger(1));
  EXPECT_FALSE(writer.WriteStream(other));
  EXPECT_FALSE(reader.ReadInteger(i));
  EXPECT_FALSE(reader.ReadString(s));
  EXPECT_FALSE(reader.ReadToStream(other));
  TFileWriter file;
  EXPECT_FALSE(file.Flush());
  file.Close();
}

TEST(TypedStreamsTest, StreamsMoveWholeAndRemainders) {
  TMemoryStreamWriter writer;
  writer.WriteRawString("head");
  TMemoryStream source;
  source.Write("body", 4);
  EXPECT_TRUE(writer.WriteStream(source));
  EXPECT_TRUE(writer.CopyFromStream(source));
  EXPECT_EQ(Bytes(writer.Memory()), "headbodybody");

  TMemoryStreamReader reader;
  reader.Memory().Write("0123456", 7);
  reader.Memory().SetPosition(3);
  TMemoryStream rest;
  EXPECT_TRUE(reader.ReadToStream(rest));
  EXPECT_EQ(Bytes(rest), "3456");
  TMemoryStream none;
  EXPECT_TRUE(reader.ReadToStream(none));
  EXPECT_EQ(none.Size(), 0);
  TMemoryStream whole;
  EXPECT_TRUE(reader.CopyToStream(whole));
  EXPECT_EQ(Bytes(whole), "0123456");
}

// Room asked for ahead is only room: what is written lands at the start, not after it.
TEST(TypedStreamsTest, RoomReservedAheadLeavesTheStreamEmpty) {
  TMemoryStreamWriter writer;
  EXPECT_TRUE(writer.Reserve(1 << 20));
  EXPECT_EQ(writer.Memory().Size(), 0);
  EXPECT_GE(writer.Memory().Memory().capacity(), std::size_t{1} << 20);
  EXPECT_TRUE(writer.WriteRawString("list"));
  EXPECT_EQ(Bytes(writer.Memory()), "list");
}

TEST(TypedStreamsTest, FileWriterCreatesFoldersAppendsAndFileReaderReadsBack) {
  pellix_test::TempDir dir;
  const std::string path = (dir / "a/b/list.pxd").string();
  {
    TFileWriter writer;
    ASSERT_TRUE(writer.Open(path));
    EXPECT_TRUE(writer.WriteInteger(0x41424344));
    EXPECT_TRUE(writer.Flush());
  }
  {
    TFileWriter writer;
    writer.Append = true;
    ASSERT_TRUE(writer.Open(path));
    EXPECT_TRUE(writer.WriteRawString("tail"));
    writer.Close();
    EXPECT_EQ(writer.Handle, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(writer.WriteByte(1));
  }
  EXPECT_EQ(pellix_test::ReadBytes(path), "DCBAtail");
  EXPECT_EQ(std::filesystem::status(dir / "a/b").permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_all);

  TFileReader reader;
  ASSERT_TRUE(reader.Open(path));
  TMemoryStreamReader memory;
  ASSERT_TRUE(reader.ReadToStream(memory.Memory()));
  memory.Memory().SetPosition(0);
  std::int32_t magic = 0;
  EXPECT_TRUE(memory.ReadInteger(magic));
  EXPECT_EQ(magic, 0x41424344);
}

TEST(TypedStreamsTest, MissingFileFailsAtOnceWithoutRetrying) {
  pellix_test::TempDir dir;
  platform::test_clock::Freeze(1000, 45000.0);
  TFileReader reader;
  EXPECT_FALSE(reader.Open((dir / "missing.pxd").string()));
  EXPECT_EQ(GetTickCount(), 1000u);
  EXPECT_EQ(reader.Handle, INVALID_HANDLE_VALUE);
  platform::test_clock::Release();
}

// A file locked by another handle is retried every 100 ms; access denied and sharing
// and lock violations all count as locked.
TEST(TypedStreamsTest, LockedFilesAreRetriedThenGivenUp) {
  pellix_test::TempDir dir;
  const std::string path = (dir / "locked.pxd").string();
  pellix_test::WriteBytes(path, "data");
  for (DWORD error : {ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION, ERROR_LOCK_VIOLATION}) {
    platform::test_clock::Freeze(0, 45000.0);
    platform::faults::FailNext("CreateFileA", 3, error);
    TFileReader reader;
    EXPECT_TRUE(reader.Open(path)) << error;
    EXPECT_EQ(GetTickCount(), 300u) << error;
    platform::test_clock::Release();
  }

  platform::test_clock::Freeze(0, 45000.0);
  HANDLE holder = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, 0);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  TFileWriter writer;
  EXPECT_FALSE(writer.Open(path));
  EXPECT_EQ(GetTickCount(), 800u);
  CloseHandle(holder);
  EXPECT_TRUE(writer.Open(path));
  platform::test_clock::Release();
  platform::faults::ClearAll();
}

TEST(TypedStreamsTest, FailedWritesAndFlushesAreReported) {
  pellix_test::TempDir dir;
  TFileWriter writer;
  ASSERT_TRUE(writer.Open((dir / "full.pxd").string()));
  platform::faults::FailNext("WriteFile", 1, ERROR_DISK_FULL);
  EXPECT_FALSE(writer.WriteInteger(1));
  platform::faults::FailNext("FlushFileBuffers", 1, ERROR_WRITE_FAULT);
  EXPECT_FALSE(writer.Flush());
  platform::faults::ClearAll();
}

}  // namespace
