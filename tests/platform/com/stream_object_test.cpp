// Stream objects on global memory: reading, writing and seeking over the block, the
// size growing only when the stream owns its block, clones sharing the bytes, and
// the block freed with the last stream that owns it.
#include <gtest/gtest.h>

#include <string>

#include "platform/com/stream_object.h"

namespace {

using platform::com::ComPtr;

ComPtr<IStream> StreamOn(HGLOBAL block, BOOL owned) {
  IStream* raw = nullptr;
  EXPECT_EQ(CreateStreamOnHGlobal(block, owned, &raw), S_OK);
  ComPtr<IStream> stream(raw);
  if (raw != nullptr) raw->Release();
  return stream;
}

std::string ReadAll(IStream* stream) {
  stream->Seek(LARGE_INTEGER{0}, STREAM_SEEK_SET, nullptr);
  std::string out(64, '\0');
  ULONG read = 0;
  stream->Read(out.data(), static_cast<ULONG>(out.size()), &read);
  out.resize(read);
  return out;
}

ULONGLONG SizeOf(IStream* stream) {
  STATSTG stat{};
  EXPECT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
  EXPECT_EQ(stat.type, STGTY_STREAM);
  return stat.cbSize.QuadPart;
}

TEST(StreamObject, WritesReadsAndSeeksOverItsBytes) {
  ComPtr<IStream> stream = StreamOn(nullptr, TRUE);
  ULONG written = 0;
  ASSERT_EQ(stream->Write("hello world", 11, &written), S_OK);
  EXPECT_EQ(written, 11u);
  ULARGE_INTEGER at{};
  ASSERT_EQ(stream->Seek(LARGE_INTEGER{-5}, STREAM_SEEK_END, &at), S_OK);
  EXPECT_EQ(at.QuadPart, 6u);
  ASSERT_EQ(stream->Write("there", 5, nullptr), S_OK);
  EXPECT_EQ(ReadAll(stream.get()), "hello there");
  EXPECT_EQ(SizeOf(stream.get()), 11u);

  // Reading at the end gives what is left and says so.
  char buffer[8] = {};
  ULONG read = 9;
  stream->Seek(LARGE_INTEGER{9}, STREAM_SEEK_SET, nullptr);
  EXPECT_EQ(stream->Read(buffer, sizeof buffer, &read), S_FALSE);
  EXPECT_EQ(std::string(buffer, read), "re");
  EXPECT_EQ(stream->Read(buffer, sizeof buffer, &read), S_FALSE);
  EXPECT_EQ(read, 0u);

  EXPECT_EQ(stream->Seek(LARGE_INTEGER{-1}, STREAM_SEEK_SET, nullptr), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(stream->Seek(LARGE_INTEGER{0}, 7, nullptr), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(stream->Read(nullptr, 1, nullptr), STG_E_INVALIDPOINTER);

  // Writing past the end fills the gap with zeros; shrinking drops the tail.
  stream->Seek(LARGE_INTEGER{13}, STREAM_SEEK_SET, nullptr);
  ASSERT_EQ(stream->Write("!", 1, nullptr), S_OK);
  EXPECT_EQ(ReadAll(stream.get()), std::string("hello there\0\0!", 14));
  ASSERT_EQ(stream->SetSize(ULARGE_INTEGER{5}), S_OK);
  EXPECT_EQ(ReadAll(stream.get()), "hello");
}

// A block the caller keeps is read and written in place but never moved: the stream
// cannot grow beyond it, and the block outlives the stream.
TEST(StreamObject, ABorrowedBlockKeepsItsSizeAndOutlivesTheStream) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 4);
  {
    ComPtr<IStream> stream = StreamOn(block, FALSE);
    EXPECT_EQ(SizeOf(stream.get()), 4u);
    EXPECT_EQ(stream->Write("abcd", 4, nullptr), S_OK);
    ULONG written = 7;
    EXPECT_EQ(stream->Write("e", 1, &written), STG_E_MEDIUMFULL);
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(stream->SetSize(ULARGE_INTEGER{5}), STG_E_MEDIUMFULL);
  }
  ASSERT_EQ(GlobalSize(block), 4u);
  EXPECT_EQ(std::string(static_cast<const char*>(GlobalLock(block)), 4), "abcd");
  GlobalUnlock(block);
  GlobalFree(block);
}

TEST(StreamObject, ClonesShareTheBytesAndTheLastOneFreesAnOwnedBlock) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 3);
  ComPtr<IStream> stream = StreamOn(block, TRUE);
  stream->Write("xyz", 3, nullptr);
  IStream* raw = nullptr;
  ASSERT_EQ(stream->Clone(&raw), S_OK);
  ComPtr<IStream> clone(raw);
  raw->Release();
  // Each has its own position: the clone starts where the original stood.
  ULARGE_INTEGER at{};
  clone->Seek(LARGE_INTEGER{0}, STREAM_SEEK_CUR, &at);
  EXPECT_EQ(at.QuadPart, 3u);
  clone->Write("!", 1, nullptr);
  EXPECT_EQ(ReadAll(stream.get()), "xyz!");
  stream.Reset();
  EXPECT_EQ(ReadAll(clone.get()), "xyz!");
  clone.Reset();
  // The stream grew, so its bytes moved to a larger block; both are gone now.
  EXPECT_EQ(GlobalSize(block), 0u);
  EXPECT_EQ(GlobalLock(block), nullptr);
}

TEST(StreamObject, CopyToHandsTheRestToAnotherStream) {
  ComPtr<IStream> from = StreamOn(nullptr, TRUE);
  ComPtr<IStream> to = StreamOn(nullptr, TRUE);
  from->Write("0123456789", 10, nullptr);
  from->Seek(LARGE_INTEGER{4}, STREAM_SEEK_SET, nullptr);
  ULARGE_INTEGER read{}, written{};
  ASSERT_EQ(from->CopyTo(to.get(), ULARGE_INTEGER{100}, &read, &written), S_OK);
  EXPECT_EQ(read.QuadPart, 6u);
  EXPECT_EQ(written.QuadPart, 6u);
  EXPECT_EQ(ReadAll(to.get()), "456789");
  EXPECT_EQ(from->CopyTo(nullptr, ULARGE_INTEGER{1}, nullptr, nullptr), STG_E_INVALIDPOINTER);
}

TEST(StreamObject, AnUnknownBlockIsRefused) {
  int notABlock = 0;
  IStream* raw = reinterpret_cast<IStream*>(&notABlock);
  EXPECT_EQ(CreateStreamOnHGlobal(&notABlock, FALSE, &raw), E_INVALIDARG);
  EXPECT_EQ(raw, nullptr);
  EXPECT_EQ(CreateStreamOnHGlobal(nullptr, FALSE, nullptr), E_INVALIDARG);
}

}  // namespace
