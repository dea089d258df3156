#include <gtest/gtest.h>

#include <string>

#include "platform/classlib/resource_stream.h"
#include "platform/classlib/streams.h"
#include "platform/kernel/resources.h"

namespace {

TEST(ResourceStream, ReadsSeeksAndCopiesAResource) {
  TResourceStream stream(platform::kProgramInstance, "GREETING", RT_RCDATA);
  ASSERT_EQ(stream.Size(), 17);
  char head[5] = {};
  stream.ReadBuffer(head, 5);
  EXPECT_EQ(std::string(head, 5), "Hello");
  EXPECT_EQ(stream.Position(), 5);
  stream.Seek(-1, soEnd);
  char last = 0;
  EXPECT_EQ(stream.Read(&last, 10), 1) << "a read at the end moves what is left";
  EXPECT_EQ(last, '\n');
  EXPECT_EQ(stream.Read(&last, 1), 0);
  EXPECT_THROW(stream.ReadBuffer(&last, 1), EReadError);

  TMemoryStream copy;
  copy.CopyFrom(stream, 0);
  EXPECT_EQ(std::string(copy.Memory().begin(), copy.Memory().end()), "Hello, resources\n");

  TResourceStream byNumber(0, 7, "FF_DATA");
  EXPECT_EQ(byNumber.Size(), 256);
  EXPECT_EQ(byNumber.Memory()[255], 255);
}

TEST(ResourceStream, MissingResourcesAndWritesRaise) {
  try {
    TResourceStream missing(0, "NO_SUCH", RT_RCDATA);
    FAIL() << "a missing resource made a stream";
  } catch (const EResNotFound& e) {
    EXPECT_EQ(e.Message(), "Resource NO_SUCH not found");
  }
  EXPECT_THROW(TResourceStream(0, 99, RT_RCDATA), EResNotFound);
  TResourceStream stream(0, "GREETING", RT_RCDATA);
  EXPECT_THROW(stream.WriteBuffer("x", 1), EStreamError);
  EXPECT_THROW(stream.SetSize(0), EStreamError);
  EXPECT_EQ(stream.Size(), 17) << "the resource is unchanged";
}

}  // namespace
