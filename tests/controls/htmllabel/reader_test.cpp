// Unicode reader: decoders, line counting, look-ahead, sources and scans.
#include <gtest/gtest.h>

#include <string>

#include "controls/htmllabel/mk_unicode_reader.h"

namespace {

std::u16string ReadAll(TMkUnicodeReader& reader) {
  std::u16string out;
  while (reader.ReadChar()) out.push_back(reader.Char());
  return out;
}

TEST(MkReader, DefaultDecoderMapsBytesOneToOne) {
  TMkUnicodeReader reader;
  reader.SetSourceString("\xC3\xA9" "a\xFF");
  EXPECT_EQ(ReadAll(reader), u"\u00C3\u00A9a\u00FF");
  EXPECT_FALSE(reader.CharValid());
  EXPECT_EQ(reader.Position(), 4u);
}

TEST(MkReader, Utf16LittleEndianDecoder) {
  struct Case {
    const char* what;
    std::string bytes;
    std::u16string chars;
  };
  const Case cases[] = {
      {"plain", std::string("a\0\xE9\0", 4), u"a\u00E9"},
      {"surrogate pair gives one replacement", std::string("\x3D\xD8\x00\xDEx\0", 6), u"\uFFFDx"},
      {"lone low surrogate ends the input", std::string("\x00\xDC" "a\0", 4), u""},
      {"odd trailing byte is dropped", std::string("a\0b", 3), u"a"},
      {"high surrogate at the end", std::string("a\0\x3D\xD8", 4), u"a"},
  };
  for (const Case& c : cases) {
    TMkUnicodeReader reader;
    reader.SetSourceString(c.bytes);
    reader.SetReadMethods(kMkUtf16LEReadMethods);
    EXPECT_EQ(ReadAll(reader), c.chars) << c.what;
  }
  TMkUnicodeReader wide;
  wide.SetSourceWideString(u"\u4E2D\u6587");
  wide.SetReadMethods(kMkUtf16LEReadMethods);
  EXPECT_EQ(ReadAll(wide), u"\u4E2D\u6587");
}

TEST(MkReader, LinesAndColumns) {
  TMkUnicodeReader reader;
  reader.SetSourceString("ab\r\ncd\re\nf");
  std::string trace;
  while (reader.ReadChar()) {
    char c = static_cast<char>(reader.Char());
    if (c == '\r' || c == '\n') continue;
    trace += c + std::to_string(reader.Line()) + ":" + std::to_string(reader.Column()) + " ";
  }
  EXPECT_EQ(trace, "a1:1 b1:2 c2:1 d2:2 e3:1 f4:1 ");
}

TEST(MkReader, PeekDoesNotMoveAndFeedsReading) {
  TMkUnicodeReader reader;
  reader.SetSourceString("xyz");
  ASSERT_TRUE(reader.ReadChar());
  char16_t c = 0;
  EXPECT_TRUE(reader.PeekChar(2, c));
  EXPECT_EQ(c, u'z');
  EXPECT_FALSE(reader.PeekChar(3, c));
  EXPECT_EQ(reader.Char(), u'x');
  EXPECT_EQ(ReadAll(reader), u"yz");
  EXPECT_EQ(reader.Position(), 3u);
}

TEST(MkReader, ScansCollectOrSkip) {
  TMkUnicodeReader reader;
  reader.SetSourceString("   name-1 = 'v' rest");
  reader.ReadChar();
  reader.SkipWhiteSpace();
  reader.AddNameChars();
  EXPECT_EQ(reader.Data(), u"name-1");
  reader.SkipUntil(u'\'');
  reader.ReadChar();
  reader.AddUntil(u'\'', u'"');
  EXPECT_EQ(reader.Data(), u"name-1v");
  reader.ClearData();
  reader.AppendTextNormalized(u"a \t\n b");
  reader.AppendCharNormalized(u'\r');
  EXPECT_EQ(reader.Data(), u"a b ");
  EXPECT_EQ(reader.DataTrimmedLeft(), u"a b ");
}

TEST(MkReader, StreamSourcesAndTheStreamModeGuard) {
  std::string text(10000, 'q');
  text += "END";
  auto* stream = new TMemoryStream;
  stream->Write(text.data(), static_cast<std::int32_t>(text.size()));
  stream->SetPosition(0);
  TMkUnicodeReader reader;
  reader.SetSourceStream(stream, true);  // owned: freed when exhausted or replaced
  try {
    reader.SetSourceString("x");
    ADD_FAILURE();
  } catch (const EMkReaderError& e) {
    EXPECT_STREQ(e.what(), "Class TMkUnicodeReader: Operation not allowed in Source Stream Mode");
  }
  std::u16string all = ReadAll(reader);
  EXPECT_EQ(all.size(), text.size());
  EXPECT_EQ(all.substr(all.size() - 3), u"END");
  reader.SetSourceStream(nullptr, false);
  reader.SetSourceString("ok");
  EXPECT_EQ(ReadAll(reader), u"ok");
}

}  // namespace
